#include "main_window/account_tree_view.h"

#include "tree/account_tree_model.h"
#include "main_window/larkwatch_icons.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Paints the drop-highlighted node as highlighted, as the selected one is.
class DropHighlightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(AccountTreeModel::DropHighlightRole).toBool())
            option->state |= QStyle::State_Selected;
    }
};

class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = m_old; }

private:
    bool& m_flag;
    bool m_old;
};

} // namespace

AccountTreeView::AccountTreeView(AccountTreeModel& model, QWidget* parent)
    : QTreeView(parent), m_model(model), m_pacer([this] { CatchUp(); }) {
    setObjectName(QStringLiteral("AccntList"));
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(true);
    // The menus pop up from the mouse-down handler; no other context menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setItemDelegate(new DropHighlightDelegate(this));

    // Long message lines scroll sideways instead of being cut: the column is
    // fitted to the rows by FitColumn.
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto icons = std::make_shared<QHash<QString, QIcon>>();
    m_model.SetIconProvider([icons](const QString& key) {
        auto found = icons->find(key);
        if (found == icons->end())
            found = icons->insert(key, LarkwatchIcons::TreeImage(key));
        return *found;
    });
    setModel(&m_model);

    connect(&m_model, &AccountTreeModel::ExpandedChanged, this, &AccountTreeView::FollowExpanded);
    connect(&m_model, &AccountTreeModel::SelectedChanged, this, &AccountTreeView::FollowSelected);
    connect(&m_model, &AccountTreeModel::EnsureVisibleRequested, this,
            &AccountTreeView::ScrollToKey);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &AccountTreeView::OnRowsInserted);
    const auto measureAfresh = [this] {
        m_widthAfresh = true;
        Follow();
    };
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, measureAfresh);
    connect(&m_model, &QAbstractItemModel::modelReset, this, measureAfresh);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, measureAfresh);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        OnViewExpandedChanged(index, true);
        m_widthAfresh = true;
        Follow();
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        OnViewExpandedChanged(index, false);
        m_widthAfresh = true;
        Follow();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_following)
                    m_model.SetSelectedKey(m_model.KeyForIndex(current));
            });
}

QString AccountTreeView::KeyAt(const QPoint& viewportPoint) const {
    return m_model.KeyForIndex(indexAt(viewportPoint));
}

void AccountTreeView::FollowExpanded(const QString& key, bool expanded) {
    const QModelIndex index = m_model.IndexForKey(key);
    if (!index.isValid() || isExpanded(index) == expanded)
        return;
    ScopedFlag following(m_following);
    setExpanded(index, expanded);
}

void AccountTreeView::FollowSelected(const QString& key) {
    ScopedFlag following(m_following);
    const QModelIndex index = m_model.IndexForKey(key);
    if (index.isValid()) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

void AccountTreeView::OnViewExpandedChanged(const QModelIndex& index, bool expanded) {
    const QString key = m_model.KeyForIndex(index);
    if (m_following || key.isEmpty())
        return;
    m_model.SetExpanded(key, expanded);
    Q_EMIT expanded ? NodeExpanded(key) : NodeCollapsed(key);
}

void AccountTreeView::OnRowsInserted(const QModelIndex& parent, int first, int last) {
    {
        // A node may be marked expanded before or after its children arrive.
        ScopedFlag following(m_following);
        if (parent.isValid() && parent.data(AccountTreeModel::ExpandedRole).toBool())
            setExpanded(parent, true);
        for (int row = first; row <= last; ++row) {
            const QModelIndex index = m_model.index(row, 0, parent);
            m_widthDue.insert(m_model.KeyForIndex(index));
            if (index.data(AccountTreeModel::ExpandedRole).toBool())
                setExpanded(index, true);
        }
    }
    Follow();
}

void AccountTreeView::rowsInserted(const QModelIndex& parent, int first, int last) {
    if (!isVisible() || m_pacer.ShowNow()) {
        QTreeView::rowsInserted(parent, first, last);
        return;
    }
    // Under an open node every insertion costs a layout of the whole tree:
    // the rows join the layout at the frame's end, and until then the view
    // neither shows nor paints them.
    QAbstractItemView::rowsInserted(parent, first, last);
    m_layoutDue = true;
    HoldPaint();
}

void AccountTreeView::Settle() const {
    if (!std::exchange(m_layoutDue, false))
        return;
    auto* self = const_cast<AccountTreeView*>(this);
    self->scheduleDelayedItemsLayout();
    self->executeDelayedItemsLayout();
}

QRect AccountTreeView::visualRect(const QModelIndex& index) const {
    if (!m_quietQueries)
        Settle();
    return QTreeView::visualRect(index);
}

QModelIndex AccountTreeView::indexAt(const QPoint& point) const {
    Settle();
    return QTreeView::indexAt(point);
}

void AccountTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    Settle();
    QTreeView::scrollTo(index, hint);
}

void AccountTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles) {
    if (!m_paintHeld || QAccessible::isActive()) {
        // The view asks where the row is to repaint it; a row the layout
        // does not hold yet is painted at the frame's end anyway.
        ScopedFlag quiet(m_quietQueries);
        QTreeView::dataChanged(topLeft, bottomRight, roles);
    }
    // Else the whole tree is repainted at the frame's end: the view's own
    // handling, a search of its rows for the changed one, would cost a walk
    // of the whole tree per change.
    if (topLeft.parent() == bottomRight.parent()) {
        for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
            m_widthDue.insert(m_model.KeyForIndex(m_model.index(row, 0, topLeft.parent())));
    }
    Follow();
}

void AccountTreeView::ScrollToKey(const QString& key) {
    m_scrollKey = key;
    Follow();
}

void AccountTreeView::Follow() {
    if (m_pacer.ShowNow())
        CatchUp();
    else
        HoldPaint();
}

void AccountTreeView::HoldPaint() {
    if (!m_paintHeld) {
        m_paintHeld = true;
        setUpdatesEnabled(false);
    }
}

void AccountTreeView::CatchUp() {
    Settle();
    const bool widthChanged = FitColumn();
    if (!m_widthDue.isEmpty())
        m_pacer.Postpone(); // the rows the frame had no time to measure
    if (const QString key = std::exchange(m_scrollKey, QString()); !key.isEmpty()) {
        if (!widthChanged) {
            scrollTo(m_model.IndexForKey(key));
        } else {
            // A wider column may bring the horizontal scroll bar, which
            // takes its height from the viewport once the event loop turns:
            // the scroll waits for it.
            updateGeometries();
            QMetaObject::invokeMethod(
                this, [this, key] { scrollTo(m_model.IndexForKey(key)); }, Qt::QueuedConnection);
        }
    }
    if (std::exchange(m_paintHeld, false))
        setUpdatesEnabled(true);
}

int AccountTreeView::RowWidth(const QModelIndex& index) const {
    const int level = (index.parent().isValid() ? 1 : 0) + (rootIsDecorated() ? 1 : 0);
    return sizeHintForIndex(index).width() + level * indentation();
}

int AccountTreeView::TextWidth(const QString& text) {
    if (const auto found = m_textWidths.constFind(text); found != m_textWidths.constEnd())
        return found.value();
    // The texts of the nodes on display and those they had lately: a pass
    // writes the same texts again, and a fit afresh finds them all here.
    if (m_textWidths.size() > 2 * qsizetype(m_model.NodeCount()) + 1024)
        m_textWidths.clear();
    const int width = fontMetrics().horizontalAdvance(text);
    m_textWidths.insert(text, width);
    return width;
}

bool AccountTreeView::FitColumn() {
    if (std::exchange(m_widthAfresh, false)) {
        // Every shown row is measured again, over as many frames as that
        // takes; the column narrows once they all are.
        m_widthDue.clear();
        for (int row = 0; row < m_model.rowCount(); ++row) {
            const QModelIndex top = m_model.index(row, 0);
            m_widthDue.insert(m_model.KeyForIndex(top));
            if (!isExpanded(top))
                continue;
            for (int child = 0; child < m_model.rowCount(top); ++child)
                m_widthDue.insert(m_model.KeyForIndex(m_model.index(child, 0, top)));
        }
        m_afreshWidth = header()->minimumSectionSize();
    }
    // Every row has the same font and picture size: the row whose text and
    // indentation reach furthest is the widest, and only that one is measured
    // in full by the delegate. A text takes some microseconds to measure, so
    // a frame measures what its share of time allows and leaves the rest to
    // the next.
    QElapsedTimer clock;
    clock.start();
    QModelIndex widest;
    int reach = -1;
    int considered = 0;
    for (auto due = m_widthDue.begin(); due != m_widthDue.end();) {
        if (considered >= kRowsFittedAtLeast && clock.elapsed() >= kFitBudgetMs)
            break;
        const QModelIndex index = m_model.IndexForKey(*due);
        due = m_widthDue.erase(due);
        if (!index.isValid() || (index.parent().isValid() && !isExpanded(index.parent())))
            continue;
        ++considered;
        const int level = index.parent().isValid() ? 1 : 0;
        const int textReach =
            TextWidth(index.data(Qt::DisplayRole).toString()) + level * indentation();
        if (textReach > reach) {
            reach = textReach;
            widest = index;
        }
    }
    int width = header()->sectionSize(0);
    if (widest.isValid()) {
        const int rowWidth = RowWidth(widest);
        width = std::max(width, rowWidth);
        if (m_afreshWidth >= 0)
            m_afreshWidth = std::max(m_afreshWidth, rowWidth);
    }
    if (m_widthDue.isEmpty() && m_afreshWidth >= 0)
        width = std::exchange(m_afreshWidth, -1);
    if (width == header()->sectionSize(0))
        return false;
    header()->resizeSection(0, width);
    return true;
}

void AccountTreeView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_textWidths.clear();
        m_widthAfresh = true;
        Follow();
    }
    QTreeView::changeEvent(event);
}

bool AccountTreeView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::Paint)
        return QTreeView::viewportEvent(event);
    // A paint is part of what following costs.
    QElapsedTimer clock;
    clock.start();
    const bool handled = QTreeView::viewportEvent(event);
    m_pacer.NoteWork(clock.elapsed());
    return handled;
}

void AccountTreeView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        Q_EMIT KeyboardMoved(m_model.KeyForIndex(after));
}

void AccountTreeView::mousePressEvent(QMouseEvent* event) {
    m_afterDoubleClick = false;
    QTreeView::mousePressEvent(event);
    Q_EMIT MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void AccountTreeView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && !m_afterDoubleClick)
        Q_EMIT Click();
    m_afterDoubleClick = false;
}

void AccountTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_afterDoubleClick = true;
        Q_EMIT DblClick();
    }
}
