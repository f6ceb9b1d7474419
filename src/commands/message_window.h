#pragma once

#include <QDialog>

class QPlainTextEdit;

// "MsgInfo": the modal window that shows a retrieved message or the header
// lines of one. Its one control, "MsgProp", is read-only, takes the text as
// plain text only (a message is never read as markup) and fills the window
// whatever its size.
class MsgInfo : public QDialog {
    Q_OBJECT
public:
    explicit MsgInfo(const QString& text, QWidget* parent = nullptr);

    QPlainTextEdit& MsgProp() const { return *m_text; }

private:
    QPlainTextEdit* m_text;
};
