#include "dialogs/leading_space_filter.h"

#include "commands/text_box_rules.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {
constexpr int kBlank = 32;

class LeadingSpaceFilter : public QObject {
public:
    explicit LeadingSpaceFilter(QLineEdit& box) : QObject(&box), m_box(box) {
        box.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_box || event->type() != QEvent::KeyPress)
            return false;
        if (static_cast<QKeyEvent*>(event)->text() != QLatin1String(" "))
            return false;
        int keyAscii = kBlank;
        RefuseLeadingSpace(m_box, keyAscii);
        return keyAscii == 0; // swallowed
    }

private:
    QLineEdit& m_box;
};
} // namespace

void RefuseLeadingSpaceWhileTyping(QLineEdit& box) {
    new LeadingSpaceFilter(box); // owned by the box
}
