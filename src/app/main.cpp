#include "app/check_mode.h"
#include "app/command_groups.h"
#include "app/command_line.h"
#include "app/dbus_service.h"
#include "app/remote_client.h"
#include "app/sign_in_mode.h"
#include "app/termination_signals.h"
#include "app/window_remote.h"
#include "main_window/display_check.h"
#include "main_window/first_account_panel.h"
#include "main_window/larkwatch_icons.h"
#include "main_window/main_window.h"
#include "main_window/single_instance.h"
#include "notify/desktop_notifier.h"
#include "notify/launcher_count.h"
#include "notify/launcher_tray.h"
#include "notify/notifications.h"
#include "records/app_state.h"
#include "records/keychain_vault.h"

#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <memory>

static void setApplicationNames() {
    // Only the application name, so the data folder is $XDG_DATA_HOME/Larkwatch/.
    QCoreApplication::setApplicationName(QStringLiteral("Larkwatch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LARKWATCH_VERSION));
}

// The windowless runs that read and write the settings and the history: one
// pass, or one sign-in. The window's single-instance rule holds for them too.
static int runWindowless(int argc, char* argv[],
                         const std::function<int(AppState&, QTextStream&)>& run) {
    QCoreApplication app(argc, argv);
    setApplicationNames();
    SingleInstance instance;
    if (instance.AnotherInstanceRunning()) {
        std::fprintf(stderr, "Larkwatch is already running in the tray!\n");
        return 2;
    }
    AppState state;
    state.Vault = std::make_unique<KeychainVault>();
    QTextStream out(stdout);
    return run(state, out);
}

// --status and --check-now: the running program asked over the session bus.
static int runRemote(int argc, char* argv[], const CommandLine& line) {
    QCoreApplication app(argc, argv);
    setApplicationNames();
    QTextStream out(stdout);
    QTextStream err(stderr);
    return line.Run == CommandLine::Mode::Status ? RemoteClient::Status(line.Json, out, err)
                                                 : RemoteClient::CheckNow(out, err);
}

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = CommandLine::Parse(arguments);
    switch (line.Run) {
    case CommandLine::Mode::Help:
        std::fputs(qPrintable(CommandLine::Usage()), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::printf("larkwatch %s\n", LARKWATCH_VERSION);
        return 0;
    case CommandLine::Mode::UsageError:
        std::fprintf(stderr, "larkwatch: %s\n%s", qPrintable(line.Error),
                     qPrintable(CommandLine::Usage()));
        return 2;
    case CommandLine::Mode::Check:
        return runWindowless(argc, argv, [&line](AppState& state, QTextStream& out) {
            return RunCheckMode(state, line.Json, out);
        });
    case CommandLine::Mode::Status:
    case CommandLine::Mode::CheckNow:
        return runRemote(argc, argv, line);
    case CommandLine::Mode::SignIn:
        return runWindowless(argc, argv, [&line](AppState& state, QTextStream& out) {
            return RunSignInMode(state, line.SignInTitle, out, OpenInDesktopBrowser);
        });
    case CommandLine::Mode::Window:
        break;
    }

    const auto display = DisplayCheck::PrepareDisplay();
    std::unique_ptr<QApplication> app;
    if (display != DisplayCheck::Preparation::NoDisplayConfigured) {
        DisplayCheck::QuietPlatformProbe quiet;
        app = std::make_unique<QApplication>(argc, argv);
    }
    if (DisplayCheck::NoDisplay(display)) {
        std::fprintf(stderr, "%s\n", qPrintable(DisplayCheck::NoDisplayMessage()));
        return 1;
    }

    setApplicationNames();
    QApplication::setWindowIcon(LarkwatchIcons::ApplicationIcon());
    // The window may live hidden in the tray; the program ends when it unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (instance.AnotherInstanceRunning()) {
        ShowAlreadyRunning();
        return 0;
    }

    AppState state;
    state.Vault = std::make_unique<KeychainVault>();
    // The dialog, the sounds and the tray icon outlive the window that uses them.
    Notifications notifications(state);
    // The tray's count goes to the desktop's launcher too, tray or none.
    LauncherCount launcher;
    WindowCollaborators parts = notifications.Collaborators();
    LauncherTray tray(*parts.Tray, launcher);
    parts.Tray = &tray;
    MainWindow window(state, parts);
    ConnectCommandGroups(window);
    notifications.Attach(window);

    // Other programs and the notification's buttons reach the window here.
    WindowRemote remote(window);
    DBusService service(state, remote);
    service.Register();
    QObject::connect(&window, &MainWindow::NewMailFound, &service,
                     [&service] { service.PassFoundNewMail(); });
    tray.PictureSet = [&service] { service.PublishCount(); };
    QObject::connect(&notifications.Desktop(), &DesktopNotifier::MarkReadChosen, &window,
                     [&remote] { remote.MarkAllRead(); });
    QObject::connect(&window, &MainWindow::Unloaded, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Received, &window,
                     [&] { EndWindowProgram(window, state); });
    const bool firstStart = IsFirstStart(state);
    window.Form_Load();
    if (firstStart)
        OfferFirstAccount(window);
    const int status = app->exec();
    tray.PictureSet = nullptr; // the service goes before the window
    return status;
}
