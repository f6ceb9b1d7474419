#pragma once

#include <QHash>
#include <QIcon>
#include <QStandardItemModel>
#include <QStringList>
#include <functional>

// The account tree's nodes, addressed by key: one top-level node per account
// ("P…") and under it one node per message ("C…"). The checking engine and the
// headless check write here without any widget; the tree view follows it.
//
// Every node has a text (plain text, never interpreted as markup), an image
// key, an expanded image key, a tag (a message's header text), an expanded
// flag, and may be the tree's one drop-highlighted or one selected node.
// Nodes are numbered from 1 in the order they were added (accounts and
// messages alike); removing a node closes the gap.
class AccountTreeModel : public QStandardItemModel {
    Q_OBJECT
public:
    enum Role {
        KeyRole = Qt::UserRole + 1,
        ImageRole,
        ExpandedImageRole,
        TagRole,
        ExpandedRole,
        DropHighlightRole,
        SelectedRole,
        ToolTipTextRole, // plain text; shown escaped as the node's tool tip
        UniqueIdRole,    // a message's unique id on the server (UIDL), when it has one
    };

    // Turns an image key into its picture; set by the widget layer. Without one
    // the nodes have no decoration.
    using IconProvider = std::function<QIcon(const QString& imageKey)>;

    explicit AccountTreeModel(QObject* parent = nullptr);

    void SetIconProvider(IconProvider provider);

    bool HasNode(const QString& key) const;
    // A top-level node, collapsed, with expanded image "HaveMail". False (and
    // nothing added) when the key is empty or already in the tree.
    bool AddAccountNode(const QString& key, const QString& text, const QString& image);
    // A child of the node parentKey. False when the parent is missing or the
    // key is empty or already in the tree.
    bool AddMessageNode(const QString& parentKey, const QString& key, const QString& text,
                        const QString& image);
    // Removes the node and its children; no effect for an unknown key.
    void RemoveNode(const QString& key);
    // Removes every node.
    void Clear();

    // Getters give an empty text (false) for an unknown key; setters ignore one.
    QString Text(const QString& key) const;
    void SetText(const QString& key, const QString& text);
    QString Image(const QString& key) const;
    void SetImage(const QString& key, const QString& image);
    QString ExpandedImage(const QString& key) const;
    void SetExpandedImage(const QString& key, const QString& image);
    QString Tag(const QString& key) const;
    void SetTag(const QString& key, const QString& tag);
    // A note shown when the pointer rests on the node (why a check failed).
    QString ToolTip(const QString& key) const;
    void SetToolTip(const QString& key, const QString& text);
    // The unique id the server gave the message when the check listed it, so
    // a later command can tell whether its number still names that message.
    QString UniqueId(const QString& key) const;
    void SetUniqueId(const QString& key, const QString& uniqueId);
    bool Expanded(const QString& key) const;
    void SetExpanded(const QString& key, bool expanded);

    // The one drop-highlighted node, or empty. An unknown key clears it.
    QString DropHighlight() const { return m_dropHighlight; }
    void SetDropHighlight(const QString& key);
    // The one selected node, or empty. An unknown key clears it.
    QString SelectedKey() const { return m_selected; }
    void SetSelectedKey(const QString& key);

    // Asks every view to scroll the node into view.
    void EnsureVisible(const QString& key);

    // Every key in node order (1-based positions in IndexOf/KeyOf).
    const QStringList& Keys() const { return m_order; }
    QStringList ChildKeys(const QString& parentKey) const;
    // The tags of those children, in the same order, read in one walk.
    QStringList ChildTags(const QString& parentKey) const;
    // Empty for a top-level or unknown node.
    QString ParentKey(const QString& key) const;
    int NodeCount() const { return int(m_order.size()); }
    // The node's position from 1, or 0 for an unknown key.
    int IndexOf(const QString& key) const;
    // The key at position index (from 1), or empty when out of range.
    QString KeyOf(int index) const;

    QModelIndex IndexForKey(const QString& key) const;
    QString KeyForIndex(const QModelIndex& index) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void ExpandedChanged(const QString& key, bool expanded);
    void DropHighlightChanged(const QString& key);
    void SelectedChanged(const QString& key);
    void EnsureVisibleRequested(const QString& key);

private:
    QStandardItem* Item(const QString& key) const;
    QStandardItem* MakeItem(const QString& key, const QString& text, const QString& image) const;
    void Forget(QStandardItem* item);
    void SetRole(const QString& key, int role, const QVariant& value);
    void SetMarker(QString& marker, int role, const QString& key);

    QHash<QString, QStandardItem*> m_items;
    QStringList m_order;
    QString m_dropHighlight;
    QString m_selected;
    IconProvider m_iconProvider;
};
