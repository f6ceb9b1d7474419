#pragma once

#include <QTreeView>

class AccountTreeModel;

// The tree "AccntList" over an AccountTreeModel. It shows the model's
// expanded flags, drop highlight and selected node, and reports the user's
// mouse actions and expand/collapse clicks as the designed events.
class AccountTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit AccountTreeView(AccountTreeModel& model, QWidget* parent = nullptr);

    AccountTreeModel& Model() const { return m_model; }
    // The key of the node at a point of the viewport, or empty (hit test).
    QString KeyAt(const QPoint& viewportPoint) const;

Q_SIGNALS:
    // A mouse button went down at a point of the viewport.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, const QPoint& point);
    // The left button was clicked (anywhere in the tree, empty space included).
    void Click();
    void DblClick();
    // The user expanded or collapsed a node (not the program setting the flag).
    void NodeExpanded(const QString& key);
    void NodeCollapsed(const QString& key);
    // The user moved the current node with the keyboard (arrows, Home, End,
    // page keys, type-ahead): the keyboard's click on that node.
    void KeyboardMoved(const QString& key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void FollowExpanded(const QString& key, bool expanded);
    void FollowSelected(const QString& key);
    void OnViewExpandedChanged(const QModelIndex& index, bool expanded);
    void OnRowsInserted(const QModelIndex& parent, int first, int last);

    AccountTreeModel& m_model;
    bool m_following = false;        // the view is being set from the model
    bool m_afterDoubleClick = false; // the release ending a double click is no click
};
