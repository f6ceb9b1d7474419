#include "main_window/account_tree_view.h"

#include "tree/account_tree_model.h"
#include "main_window/larkwatch_icons.h"

#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <memory>

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
    : QTreeView(parent), m_model(model) {
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

    // Long message lines scroll sideways instead of being cut.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
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
            [this](const QString& key) { scrollTo(m_model.IndexForKey(key)); });
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &AccountTreeView::OnRowsInserted);
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { OnViewExpandedChanged(index, true); });
    connect(this, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { OnViewExpandedChanged(index, false); });
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
    // A node may be marked expanded before or after its children arrive.
    ScopedFlag following(m_following);
    if (parent.isValid() && parent.data(AccountTreeModel::ExpandedRole).toBool())
        setExpanded(parent, true);
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model.index(row, 0, parent);
        if (index.data(AccountTreeModel::ExpandedRole).toBool())
            setExpanded(index, true);
    }
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
