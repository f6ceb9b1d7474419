#pragma once

#include "dialogs/dialog_commands.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "notify/recording_sound_device.h"
#include "notify/sound_player.h"
#include "support/temp_state.h"

#include <QLineEdit>
#include <QStringList>
#include <memory>

// A notification area that notes whether the icon was put in or taken out.
class RecordingTray final : public TrayArea {
public:
    bool Available() const override { return false; }
    void SetInTray(bool inTray) override { InTray.append(inTray); }
    void SetPicture(TrayPicture, int) override {}

    QList<bool> InTray;
};

// The real main window, loaded, with a sound player on a recording device
// and a recording tray.
struct WindowRig {
    WindowRig() {
        window = std::make_unique<MainWindow>(
            state, WindowCollaborators{
                       .Memory = nullptr, .Tray = &tray, .NewMail = nullptr, .Sounds = &sounds});
        ConnectDialogCommands(*window);
        window->Form_Load();
        tray.InTray.clear();
    }
    ~WindowRig() {
        state.ExitPending = true; // no exit question
        window.reset();
    }
    QAction* Action(const char* name) const { return window->Menus().Action(name); }

    TempState t;
    AppState& state = *t.State;
    RecordingSoundDevice device;
    SoundPlayer sounds{state, device};
    RecordingTray tray;
    std::unique_ptr<MainWindow> window;
};

// The named child of a dialog, failing the test plainly when it is missing.
template <typename Control> Control* Child(const QWidget* dialog, const char* name) {
    auto* control = dialog->findChild<Control*>(QLatin1String(name));
    if (!control)
        qFatal("no control %s", name);
    return control;
}
