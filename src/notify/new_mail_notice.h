#pragma once

#include "main_window/window_collaborators.h"

#include <QPointer>

class AppState;
class MainWindow;
class NewMailDialog;

// The window's new-mail dialog: at most one NewMail window at a time.
class NewMailDialogNotice final : public NewMailNotice {
public:
    explicit NewMailDialogNotice(AppState& state) : m_state(state) {}
    ~NewMailDialogNotice();

    // The owner of the dialogs; until it is given, nothing is shown.
    void Attach(MainWindow& main) { m_main = &main; }

    // Open: focused when asked, then updated. Closed: shown, without
    // blocking, when there is new mail.
    void Show(bool focusOpenDialog) override;
    void Close() override;

    // The open dialog, or nullptr.
    NewMailDialog* Dialog() const;

private:
    AppState& m_state;
    MainWindow* m_main = nullptr;
    QPointer<NewMailDialog> m_dialog;
};
