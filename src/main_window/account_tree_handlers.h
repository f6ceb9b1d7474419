#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class AccountTreeView;
class AppState;
class MainMenus;
class QMenu;

// The account tree's event handlers: they keep CurrentAccount and
// CurrentMessage in step with the node the user points at, pop up the menus
// as context menus, and clear the selection display.
class AccountTreeHandlers : public QObject {
    Q_OBJECT
public:
    AccountTreeHandlers(AppState& state, AccountTreeView& tree, MainMenus& menus,
                        QObject* parent = nullptr);

    // Shows a menu as a pop-up and returns when it closes. By default at the
    // mouse pointer; tests record the call instead.
    std::function<void(QMenu* menu)> PopupMenu;

    void AccntList_MouseDown(Qt::MouseButton button, const QPoint& point);
    void AccntList_Click();
    void AccntList_DblClick();
    void AccntList_Expand(const QString& key);
    void AccntList_Collapse(const QString& key);

    // Clears the selected node and the drop highlight, unless a dialog is open.
    void HideSelection();
    void UpdateMenus();

private:
    void SelectNode(const QString& key);
    // Makes the node the selected and drop-highlighted one and sets
    // CurrentAccount and CurrentMessage for it, as a click on it does.
    void ActOnNode(const QString& key);

    AppState& m_state;
    AccountTreeView& m_tree;
    MainMenus& m_menus;
};
