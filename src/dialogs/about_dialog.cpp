#include "dialogs/about_dialog.h"

#include "dialogs/dialog_controls.h"
#include "main_window/larkwatch_icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kDescription = QStringLiteral(
    "Larkwatch watches your POP3 mailboxes and tells you when new mail has arrived, "
    "without downloading it. It lists every waiting message with its size, subject and "
    "sender, announces new mail with a dialog, a sound and its icon in the notification "
    "area, and deletes unwanted mail on the server by your filter rules.");
} // namespace

QString AboutDialog::VersionLine() {
    return QStringLiteral("Version ") + QStringLiteral(LARKWATCH_VERSION);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    UseDialogFrame(*this);
    setWindowTitle(QStringLiteral("About Larkwatch"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(LarkwatchIcons::ApplicationIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QStringLiteral("Larkwatch"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(VersionLine(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* description = new QLabel(kDescription, this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    description->setMinimumWidth(description->fontMetrics().averageCharWidth() * 58);
    for (QLabel* label : {title, version, description})
        label->setTextFormat(Qt::PlainText);

    auto* command1 = NamedButton(this, "Command1", QStringLiteral("OK"), "Click here to return");
    command1->setDefault(true);
    connect(command1, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(description);
    texts->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addSpacing(8);
    body->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(ButtonRow({command1}));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
