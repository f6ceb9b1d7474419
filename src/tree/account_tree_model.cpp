#include "tree/account_tree_model.h"

#include "tree/account_nodes.h"

AccountTreeModel::AccountTreeModel(QObject* parent) : QStandardItemModel(parent) {
    setColumnCount(1);
}

void AccountTreeModel::SetIconProvider(IconProvider provider) {
    m_iconProvider = std::move(provider);
    if (rowCount() > 0)
        Q_EMIT layoutChanged();
}

bool AccountTreeModel::HasNode(const QString& key) const {
    return m_items.contains(key);
}

QStandardItem* AccountTreeModel::Item(const QString& key) const {
    return m_items.value(key, nullptr);
}

QStandardItem* AccountTreeModel::MakeItem(const QString& key, const QString& text,
                                          const QString& image) const {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(key, KeyRole);
    item->setData(image, ImageRole);
    item->setData(QString(), ExpandedImageRole);
    item->setData(QString(), TagRole);
    item->setData(false, ExpandedRole);
    return item;
}

bool AccountTreeModel::AddAccountNode(const QString& key, const QString& text,
                                      const QString& image) {
    if (key.isEmpty() || HasNode(key))
        return false;
    QStandardItem* item = MakeItem(key, text, image);
    item->setData(NodeImage::HaveMail, ExpandedImageRole);
    // Register first: views asking about the new row already find its key.
    m_items.insert(key, item);
    m_order.append(key);
    appendRow(item); // the model owns the item from here on
    return true;
}

bool AccountTreeModel::AddMessageNode(const QString& parentKey, const QString& key,
                                      const QString& text, const QString& image) {
    QStandardItem* parent = Item(parentKey);
    if (!parent || key.isEmpty() || HasNode(key))
        return false;
    QStandardItem* item = MakeItem(key, text, image);
    m_items.insert(key, item);
    m_order.append(key);
    parent->appendRow(item); // owned by its parent item
    return true;
}

void AccountTreeModel::Forget(QStandardItem* item) {
    for (int row = 0; row < item->rowCount(); ++row)
        Forget(item->child(row));
    const QString key = item->data(KeyRole).toString();
    m_items.remove(key);
    m_order.removeOne(key);
    if (m_dropHighlight == key)
        SetDropHighlight(QString());
    if (m_selected == key)
        SetSelectedKey(QString());
}

void AccountTreeModel::RemoveNode(const QString& key) {
    QStandardItem* item = Item(key);
    if (!item)
        return;
    Forget(item);
    const QModelIndex index = item->index();
    removeRow(index.row(), index.parent());
}

void AccountTreeModel::Clear() {
    SetDropHighlight(QString());
    SetSelectedKey(QString());
    m_items.clear();
    m_order.clear();
    removeRows(0, rowCount());
}

QString AccountTreeModel::Text(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->text() : QString();
}

void AccountTreeModel::SetText(const QString& key, const QString& text) {
    if (QStandardItem* item = Item(key))
        item->setText(text);
}

QString AccountTreeModel::Image(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->data(ImageRole).toString() : QString();
}

void AccountTreeModel::SetRole(const QString& key, int role, const QVariant& value) {
    if (QStandardItem* item = Item(key))
        item->setData(value, role);
}

void AccountTreeModel::SetImage(const QString& key, const QString& image) {
    SetRole(key, ImageRole, image);
}

QString AccountTreeModel::ExpandedImage(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->data(ExpandedImageRole).toString() : QString();
}

void AccountTreeModel::SetExpandedImage(const QString& key, const QString& image) {
    SetRole(key, ExpandedImageRole, image);
}

QString AccountTreeModel::Tag(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->data(TagRole).toString() : QString();
}

void AccountTreeModel::SetTag(const QString& key, const QString& tag) {
    SetRole(key, TagRole, tag);
}

QString AccountTreeModel::ToolTip(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->data(ToolTipTextRole).toString() : QString();
}

void AccountTreeModel::SetToolTip(const QString& key, const QString& text) {
    SetRole(key, ToolTipTextRole, text);
}

QString AccountTreeModel::UniqueId(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->data(UniqueIdRole).toString() : QString();
}

void AccountTreeModel::SetUniqueId(const QString& key, const QString& uniqueId) {
    SetRole(key, UniqueIdRole, uniqueId);
}

bool AccountTreeModel::Expanded(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item && item->data(ExpandedRole).toBool();
}

void AccountTreeModel::SetExpanded(const QString& key, bool expanded) {
    if (!HasNode(key) || Expanded(key) == expanded)
        return;
    SetRole(key, ExpandedRole, expanded);
    Q_EMIT ExpandedChanged(key, expanded);
}

void AccountTreeModel::SetMarker(QString& marker, int role, const QString& key) {
    const QString wanted = HasNode(key) ? key : QString();
    if (marker == wanted)
        return;
    const QString old = marker;
    marker = wanted;
    // Tell views about both rows so they repaint the marker's old and new place.
    for (const QString& changed : {old, wanted}) {
        if (const QModelIndex index = IndexForKey(changed); index.isValid())
            Q_EMIT dataChanged(index, index, {role});
    }
}

void AccountTreeModel::SetDropHighlight(const QString& key) {
    const QString before = m_dropHighlight;
    SetMarker(m_dropHighlight, DropHighlightRole, key);
    if (m_dropHighlight != before)
        Q_EMIT DropHighlightChanged(m_dropHighlight);
}

void AccountTreeModel::SetSelectedKey(const QString& key) {
    const QString before = m_selected;
    SetMarker(m_selected, SelectedRole, key);
    if (m_selected != before)
        Q_EMIT SelectedChanged(m_selected);
}

void AccountTreeModel::EnsureVisible(const QString& key) {
    if (HasNode(key))
        Q_EMIT EnsureVisibleRequested(key);
}

QStringList AccountTreeModel::ChildKeys(const QString& parentKey) const {
    QStringList keys;
    if (const QStandardItem* parent = Item(parentKey)) {
        for (int row = 0; row < parent->rowCount(); ++row)
            keys.append(parent->child(row)->data(KeyRole).toString());
    }
    return keys;
}

QStringList AccountTreeModel::ChildTags(const QString& parentKey) const {
    QStringList tags;
    if (const QStandardItem* parent = Item(parentKey)) {
        tags.reserve(parent->rowCount());
        for (int row = 0; row < parent->rowCount(); ++row)
            tags.append(parent->child(row)->data(TagRole).toString());
    }
    return tags;
}

QString AccountTreeModel::ParentKey(const QString& key) const {
    const QStandardItem* item = Item(key);
    const QStandardItem* parent = item ? item->parent() : nullptr;
    return parent ? parent->data(KeyRole).toString() : QString();
}

int AccountTreeModel::IndexOf(const QString& key) const {
    if (!HasNode(key))
        return 0;
    return int(m_order.indexOf(key)) + 1;
}

QString AccountTreeModel::KeyOf(int index) const {
    if (index < 1 || index > m_order.size())
        return QString();
    return m_order.at(index - 1);
}

QModelIndex AccountTreeModel::IndexForKey(const QString& key) const {
    const QStandardItem* item = Item(key);
    return item ? item->index() : QModelIndex();
}

QString AccountTreeModel::KeyForIndex(const QModelIndex& index) const {
    return index.isValid() ? index.data(KeyRole).toString() : QString();
}

QVariant AccountTreeModel::data(const QModelIndex& index, int role) const {
    switch (role) {
    case Qt::DecorationRole: {
        if (!m_iconProvider)
            return QVariant();
        const QString expandedImage = index.data(ExpandedImageRole).toString();
        const bool expanded = index.data(ExpandedRole).toBool();
        const QString shown =
            expanded && !expandedImage.isEmpty() ? expandedImage : index.data(ImageRole).toString();
        return shown.isEmpty() ? QVariant() : QVariant(m_iconProvider(shown));
    }
    case Qt::ToolTipRole: {
        // Text from a server is never markup: escape it and keep its lines.
        const QString text = index.data(ToolTipTextRole).toString();
        if (text.isEmpty())
            return QVariant();
        return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
               QStringLiteral("</p>");
    }
    case DropHighlightRole:
        return index.isValid() && KeyForIndex(index) == m_dropHighlight &&
               !m_dropHighlight.isEmpty();
    case SelectedRole:
        return index.isValid() && KeyForIndex(index) == m_selected && !m_selected.isEmpty();
    default:
        return QStandardItemModel::data(index, role);
    }
}
