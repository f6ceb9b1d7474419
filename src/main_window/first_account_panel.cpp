#include "main_window/first_account_panel.h"

#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/app_state.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kNoAccountText = QStringLiteral("No mailbox is watched yet.");
const QString kAddAccountCaption = QStringLiteral("Add Account...");
} // namespace

FirstAccountPanel::FirstAccountPanel(const QAbstractItemModel& tree, QAction& addAccount,
                                     QWidget& treeArea)
    : QWidget(&treeArea), m_tree(tree) {
    setObjectName(QStringLiteral("FirstAccountPanel"));
    auto* line = new QLabel(kNoAccountText, this);
    line->setObjectName(QStringLiteral("lblNoAccount"));
    line->setAlignment(Qt::AlignCenter);
    auto* button = new QPushButton(kAddAccountCaption, this);
    button->setObjectName(QStringLiteral("butAddFirstAccount"));
    button->setEnabled(addAccount.isEnabled());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line);
    layout->addWidget(button, 0, Qt::AlignHCenter);

    // The button is the menu command's other face: it runs it and is
    // available exactly when the command is.
    connect(button, &QPushButton::clicked, &addAccount, &QAction::trigger);
    connect(&addAccount, &QAction::changed, button,
            [button, &addAccount] { button->setEnabled(addAccount.isEnabled()); });
    connect(&tree, &QAbstractItemModel::rowsInserted, this, &FirstAccountPanel::ShowWhileTreeEmpty);
    connect(&tree, &QAbstractItemModel::rowsRemoved, this, &FirstAccountPanel::ShowWhileTreeEmpty);
    connect(&tree, &QAbstractItemModel::modelReset, this, &FirstAccountPanel::ShowWhileTreeEmpty);
    treeArea.installEventFilter(this);
    ShowWhileTreeEmpty();
}

void FirstAccountPanel::ShowWhileTreeEmpty() {
    const bool empty = m_tree.rowCount() == 0;
    setVisible(empty);
    if (empty) {
        Centre();
        raise();
    }
}

void FirstAccountPanel::Centre() {
    adjustSize();
    const QSize area = parentWidget()->size();
    move((area.width() - width()) / 2, (area.height() - height()) / 2);
}

bool FirstAccountPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        Centre();
    return QWidget::eventFilter(watched, event);
}

bool IsFirstStart(const AppState& state) {
    return !QFileInfo::exists(state.Paths.SettingsFile);
}

void OfferFirstAccount(MainWindow& window) {
    QAction* add = window.Menus().Action(QStringLiteral("mnuNewAccount"));
    QTimer::singleShot(0, add, &QAction::trigger);
}
