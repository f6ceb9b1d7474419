#pragma once

#include <QDialog>

class AppState;
class QCheckBox;
class QLineEdit;

// "Larkwatch --- Log File": the folder of the mail logs, whether the log is
// kept at all, and whether all accounts share one master log. OK stores the
// three settings itself; a folder is stored with a trailing "/", and an empty
// box keeps the folder in force.
class LogFileDialog : public QDialog {
    Q_OBJECT
public:
    explicit LogFileDialog(AppState& state, QWidget* parent = nullptr);

private:
    void butBrowse_Click();
    void butOK_Click();

    AppState& m_state;
    QLineEdit* m_txtLogLoc;
    QCheckBox* m_chkDisLog;
    QCheckBox* m_chkOneLog;
};
