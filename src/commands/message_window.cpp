#include "commands/message_window.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
// The designed client area, 441 × 297 pixels.
constexpr QSize kDesignedSize(441, 297);
} // namespace

MsgInfo::MsgInfo(const QString& text, QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("MsgInfo"));
    setWindowTitle(QStringLiteral("Larkwatch --- Message Properties"));
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);

    m_text->setObjectName(QStringLiteral("MsgProp"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Header lines end with CR LF; the box wants one line break per line.
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_text->setPlainText(lines);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(kDesignedSize);
}
