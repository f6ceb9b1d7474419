#include "main_window/account_tree_handlers.h"

#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "records/account_store.h"
#include "records/app_state.h"

#include <QCursor>
#include <QMenu>

AccountTreeHandlers::AccountTreeHandlers(AppState& state, AccountTreeView& tree, MainMenus& menus,
                                         QObject* parent)
    : QObject(parent), m_state(state), m_tree(tree), m_menus(menus) {
    PopupMenu = [](QMenu* menu) { menu->exec(QCursor::pos()); };

    connect(&m_tree, &AccountTreeView::MouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint& point) {
                AccntList_MouseDown(button, point);
            });
    // A node reached with the keyboard is the node the commands act on, as
    // if clicked: the highlighted node is always the one Delete Account or
    // Delete Message takes.
    connect(&m_tree, &AccountTreeView::KeyboardMoved, this, [this](const QString& key) {
        ActOnNode(key);
        UpdateMenus();
    });
    connect(&m_tree, &AccountTreeView::Click, this, &AccountTreeHandlers::AccntList_Click);
    connect(&m_tree, &AccountTreeView::DblClick, this, &AccountTreeHandlers::AccntList_DblClick);
    connect(&m_tree, &AccountTreeView::NodeExpanded, this, &AccountTreeHandlers::AccntList_Expand);
    connect(&m_tree, &AccountTreeView::NodeCollapsed, this,
            &AccountTreeHandlers::AccntList_Collapse);
}

void AccountTreeHandlers::SelectNode(const QString& key) {
    AccountTreeModel& model = m_tree.Model();
    model.SetSelectedKey(key);
    model.SetDropHighlight(key);
}

void AccountTreeHandlers::ActOnNode(const QString& key) {
    const AccountTreeModel& model = m_tree.Model();
    SelectNode(key);
    if (IsAccountKey(key)) {
        m_state.CurrentAccount = FindAccountByKey(m_state, key);
        m_state.CurrentMessage = 0;
    } else {
        m_state.CurrentMessage =
            model.Image(key) != NodeImage::Deleted ? FindMessageNode(model, key) : qint16(0);
        m_state.CurrentAccount = FindAccountByKey(m_state, model.ParentKey(key));
    }
}

void AccountTreeHandlers::AccntList_MouseDown(Qt::MouseButton button, const QPoint& point) {
    AccountTreeModel& model = m_tree.Model();
    const QString key = m_tree.KeyAt(point);
    if (key.isEmpty()) {
        model.SetDropHighlight(QString());
        m_state.CurrentAccount = 0;
        m_state.CurrentMessage = 0;
        if (button == Qt::RightButton && MainMenus::IsMenuEnabled(m_menus.Monitoring()))
            PopupMenu(m_menus.Monitoring());
        return;
    }

    ActOnNode(key);
    if (button != Qt::RightButton)
        return;
    UpdateMenus();
    QMenu* menu = m_state.CurrentMessage < 1 ? m_menus.Accounts() : m_menus.Messages();
    if (MainMenus::IsMenuEnabled(menu))
        PopupMenu(menu);
}

void AccountTreeHandlers::AccntList_Click() {
    UpdateMenus();
    if (m_state.CurrentAccount == 0 && m_state.CurrentMessage == 0)
        HideSelection();
}

void AccountTreeHandlers::AccntList_DblClick() {
    if (m_state.CurrentAccount != 0 || m_state.CurrentMessage != 0)
        UpdateMenus();
    else
        HideSelection();
}

void AccountTreeHandlers::AccntList_Expand(const QString& key) {
    SelectNode(key);
    m_state.CurrentAccount = FindAccountByKey(m_state, key);
    m_state.CurrentMessage = 0;
    UpdateMenus();
}

void AccountTreeHandlers::AccntList_Collapse(const QString& key) {
    AccntList_Expand(key);
}

void AccountTreeHandlers::HideSelection() {
    if (!m_state.NoDialogOpen)
        return;
    AccountTreeModel& model = m_tree.Model();
    model.SetSelectedKey(QString());
    model.SetDropHighlight(QString());
}

void AccountTreeHandlers::UpdateMenus() {
    ::UpdateMenus(m_state, m_menus);
}
