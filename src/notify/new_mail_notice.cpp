#include "notify/new_mail_notice.h"

#include "main_window/main_window.h"
#include "notify/new_mail_dialog.h"
#include "records/app_state.h"

NewMailDialogNotice::~NewMailDialogNotice() {
    delete m_dialog.data();
}

NewMailDialog* NewMailDialogNotice::Dialog() const {
    return m_dialog && m_dialog->IsLoaded() ? m_dialog.data() : nullptr;
}

void NewMailDialogNotice::Show(bool focusOpenDialog) {
    if (NewMailDialog* open = Dialog()) {
        if (focusOpenDialog) {
            if (open->isMinimized())
                open->showNormal();
            open->raise();
            open->activateWindow();
        }
        open->Update();
        return;
    }
    if (!m_main || m_state.NewMailCount < 1)
        return;
    m_dialog = new NewMailDialog(m_state, *m_main);
    m_dialog->Form_Load();
    m_dialog->show();
}

void NewMailDialogNotice::Close() {
    if (NewMailDialog* open = Dialog())
        open->Unload();
}
