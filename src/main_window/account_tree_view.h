#pragma once

#include "main_window/frame_pacer.h"

#include <QHash>
#include <QSet>
#include <QTreeView>

class AccountTreeModel;

// The tree "AccntList" over an AccountTreeModel. It shows the model's
// expanded flags, drop highlight and selected node, and reports the user's
// mouse actions and expand/collapse clicks as the designed events.
//
// A check adds and rewrites nodes far faster than a screen shows them: the
// view follows the model at the pace of the screen (FramePacer), with one
// layout, one column fit, one scroll to the node last asked for and one paint
// per frame, whatever number of nodes changed in it.
class AccountTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit AccountTreeView(AccountTreeModel& model, QWidget* parent = nullptr);

    AccountTreeModel& Model() const { return m_model; }
    // The key of the node at a point of the viewport, or empty (hit test).
    QString KeyAt(const QPoint& viewportPoint) const;
    FramePacer& Pacer() { return m_pacer; }

    // Rows a frame still holds back are laid out before any of these answers.
    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

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
    void rowsInserted(const QModelIndex& parent, int first, int last) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = {}) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void FollowExpanded(const QString& key, bool expanded);
    void FollowSelected(const QString& key);
    void OnViewExpandedChanged(const QModelIndex& index, bool expanded);
    void OnRowsInserted(const QModelIndex& parent, int first, int last);
    // Something to show changed: shown now, or at the frame's end with the
    // tree's painting held until then.
    void Follow();
    void CatchUp();
    void HoldPaint();
    // Lays out the rows added during the frame.
    void Settle() const;
    void ScrollToKey(const QString& key);
    // The one column as wide as the widest row shown (long rows scroll
    // sideways): widened for the rows that changed, measured afresh over
    // every shown row when rows went or a node opened or closed. A frame
    // measures for kFitBudgetMs (and at least kRowsFittedAtLeast rows); the
    // rest wait for the next. True when the width changed.
    bool FitColumn();
    int RowWidth(const QModelIndex& index) const;
    // The width of a node's text in the tree's font, remembered.
    int TextWidth(const QString& text);

    AccountTreeModel& m_model;
    bool m_following = false;        // the view is being set from the model
    bool m_afterDoubleClick = false; // the release ending a double click is no click

    FramePacer m_pacer;
    mutable bool m_layoutDue = false; // rows were added that the layout does not hold yet
    bool m_quietQueries = false;      // Qt's own per-change queries: no settling for them
    bool m_paintHeld = false;         // updates are off until the frame's end
    QString m_scrollKey;              // the node last asked to be in view, when waiting
    QSet<QString> m_widthDue;         // nodes whose text changed since the column was fitted
    bool m_widthAfresh = true;        // the column is to be measured over every shown row
    int m_afreshWidth = -1;           // while measuring afresh: the widest row so far
    QHash<QString, int> m_textWidths; // node texts measured lately

    static constexpr qint64 kFitBudgetMs = 6;
    static constexpr int kRowsFittedAtLeast = 1000;
};
