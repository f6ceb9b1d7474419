#include "commands/text_box_rules.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kBlank = 32;

// Applies the two rules to the box it watches.
class TextBoxRules : public QObject {
public:
    explicit TextBoxRules(QLineEdit& box) : QObject(&box), m_box(box) {
        box.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_box)
            return false;
        if (event->type() == QEvent::FocusIn) {
            SelectAllOnFocus(m_box);
            // A click places the caret after the focus arrives: select again
            // once the click has been handled.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
                QPointer<QLineEdit> box(&m_box);
                QTimer::singleShot(0, this, [box] {
                    if (box && box->hasFocus())
                        SelectAllOnFocus(*box);
                });
            }
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->text() == QLatin1String(" ")) {
                int keyAscii = kBlank;
                RefuseLeadingSpace(m_box, keyAscii);
                if (keyAscii == 0)
                    return true;
            }
        }
        return false;
    }

private:
    QLineEdit& m_box;
};

} // namespace

void SelectAllOnFocus(QLineEdit& box) {
    const int length = int(box.text().size());
    // Selected from the end back to the start: the caret stands at the start.
    box.setSelection(length, -length);
}

void RefuseLeadingSpace(const QLineEdit& box, int& keyAscii) {
    if (keyAscii != kBlank)
        return;
    const int caret = box.hasSelectedText() ? box.selectionStart() : box.cursorPosition();
    const QString before = box.text().left(caret);
    bool onlyBlanks = true;
    for (const QChar c : before) {
        if (c != QLatin1Char(' ')) {
            onlyBlanks = false;
            break;
        }
    }
    if (onlyBlanks)
        keyAscii = 0;
}

void ApplyTextBoxRules(QLineEdit& box) {
    new TextBoxRules(box); // owned by the box
}
