#include "dialogs/dialog_commands.h"

#include "dialogs/about_dialog.h"
#include "dialogs/autostart_entry.h"
#include "dialogs/filter_dialog.h"
#include "dialogs/help_contents.h"
#include "dialogs/log_file_dialog.h"
#include "dialogs/options_dialog.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QTimer>

namespace {
// Stops the polling timer for its lifetime; afterwards starts it again
// (unless monitoring is suspended) and clears the tree's selection display.
class PollingPause {
public:
    explicit PollingPause(MainWindow& window) : m_window(window) { m_window.PoolingEvent().stop(); }
    ~PollingPause() {
        if (!m_window.State().MonitoringSuspended)
            m_window.PoolingEvent().start();
        m_window.HideSelection();
    }
    PollingPause(const PollingPause&) = delete;
    PollingPause& operator=(const PollingPause&) = delete;

private:
    MainWindow& m_window;
};

// The new-mail sound as the options describe it, through the window's player.
PlayMessageFn playMessageOf(MainWindow& window) {
    return [&window] { window.PlaySounds({}); };
}
} // namespace

void mnuOptions_Click(MainWindow& window) {
    PollingPause pause(window);
    if (window.IsMinimized())
        window.ShowInRecordedState();
    if (!window.isVisible())
        window.show();
    AppState& state = window.State();
    const bool autostartBefore = state.AppSettings.Autostart;
    {
        OptionsDialog dialog(state, playMessageOf(window), &window);
        dialog.exec();
    }
    if (state.DialogAccepted) {
        SaveGeneralOptions(state);
        window.Tray().SetInTray(state.AppSettings.RunInTray);
        // The entry is rewritten at each OK while wanted (the program may have
        // moved), and removed only when the user turned it off: an entry of
        // the user's own making is left alone otherwise.
        if (state.AppSettings.Autostart || autostartBefore)
            SetAutostart(state.AppSettings.Autostart, QCoreApplication::applicationFilePath());
        // The passwords move to the keyring, or back to the settings file.
        MovePasswordsAsChosen(state);
        state.PollMinutes = state.AppSettings.PoolingTime;
    }
}

void mnuFilter_Click(MainWindow& window) {
    PollingPause pause(window);
    FilterDialog dialog(window.State(), &window);
    dialog.exec();
}

void mnuLogFile_Click(MainWindow& window) {
    PollingPause pause(window);
    LogFileDialog dialog(window.State(), &window);
    dialog.exec();
}

void mnuHelpContents_Click(MainWindow& window) {
    ShowHelpContents(&window, QApplication::applicationDirPath(),
                     [](const QUrl& url) { return QDesktopServices::openUrl(url); });
}

void mnuAbout_Click(MainWindow& window) {
    PollingPause pause(window);
    AppState& state = window.State();
    state.NoDialogOpen = false;
    {
        AboutDialog about(&window);
        about.exec();
    }
    state.NoDialogOpen = true;
}

void ConnectDialogCommands(MainWindow& window) {
    auto onTrigger = [&window](const char* name, void (*command)(MainWindow&)) {
        if (QAction* action = window.Menus().Action(QLatin1String(name)))
            QObject::connect(action, &QAction::triggered, &window, [&window, command] {
                // The tray icon's menu stays usable while a dialog is open:
                // the open dialog is brought forward instead of a second one.
                if (QWidget* open = QApplication::activeModalWidget()) {
                    open->activateWindow();
                    return;
                }
                command(window);
            });
    };
    onTrigger("mnuOptions", &mnuOptions_Click);
    onTrigger("mnuFilter", &mnuFilter_Click);
    onTrigger("mnuLogFile", &mnuLogFile_Click);
    onTrigger("mnuHelpContents", &mnuHelpContents_Click);
    onTrigger("mnuAbout", &mnuAbout_Click);
}
