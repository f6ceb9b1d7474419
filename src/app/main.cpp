#include "main_window/display_check.h"
#include "main_window/larkwatch_icons.h"
#include "main_window/main_window.h"
#include "main_window/single_instance.h"
#include "records/app_state.h"

#include <QApplication>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    // The headless "--check" run joins here, before any display is needed.
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

    // Only the application name, so the data folder is $XDG_DATA_HOME/Larkwatch/.
    QApplication::setApplicationName(QStringLiteral("Larkwatch"));
    QApplication::setApplicationVersion(QStringLiteral(LARKWATCH_VERSION));
    QApplication::setWindowIcon(LarkwatchIcons::ApplicationIcon());
    // The window may live hidden in the tray; the program ends when it unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.TryAcquire()) {
        ShowAlreadyRunning();
        return 0;
    }

    AppState state;
    MainWindow window(state);
    QObject::connect(&window, &MainWindow::Unloaded, app.get(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.Form_Load();
    return app->exec();
}
