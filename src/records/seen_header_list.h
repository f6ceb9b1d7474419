#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The seen list: the headers of the messages earlier checks met, oldest first,
// with constant-time membership by message identity. Each entry also names the
// mailboxes it was found in, so that a mailbox's entries can be forgotten when
// (and only when) a check of that mailbox no longer finds them; a check that
// fails, or a mailbox that is not checked, forgets nothing.
//
// An entry without any mailbox (read from a history file that did not record
// them) stays until a check claims it or the list's bound for such entries
// drops it as the oldest.
class SeenHeaderList {
public:
    bool Contains(const QString& identity) const { return m_positions.contains(identity); }

    // Adds a header under its identity with these mailboxes; an identity
    // already in the list only gains the mailboxes it lacked.
    void Append(const QString& identity, const QString& headerText,
                const QStringList& mailboxes = {});
    // Remembers that `mailbox` holds the message (an empty mailbox names none).
    void Remember(const QString& identity, const QString& headerText, const QString& mailbox);

    // Forgets `mailbox` in every entry whose identity is not in `found`; an
    // entry left with no mailbox is dropped.
    void ForgetNotFound(const QString& mailbox, const QSet<QString>& found);

    // Keeps at most `limit` entries per mailbox of `mailboxes` (the oldest
    // lose that mailbox first), and at most `limit` entries that belong to none
    // of them (the oldest go first).
    void Bound(const QSet<QString>& mailboxes, qsizetype limit);

    void Clear();
    qsizetype Size() const { return m_texts.size(); }

    // Position by position, oldest first.
    const QStringList& Texts() const { return m_texts; }
    const QStringList& Identities() const { return m_identities; }
    const QList<QStringList>& Mailboxes() const { return m_mailboxes; }
    // The mailboxes of the entry with this identity; empty for none or no entry.
    QStringList MailboxesOf(const QString& identity) const;
    // How many entries name `mailbox`.
    qsizetype CountOf(const QString& mailbox) const;

    // Whether the list changed since MarkSaved() (or since it was made).
    bool ChangedSinceSave() const { return m_changed; }
    void MarkSaved() { m_changed = false; }

private:
    // The entry with this identity, made (with no mailbox) when there is none.
    qsizetype PositionFor(const QString& identity, const QString& headerText);
    // Names `mailbox` (unless empty) in the entry at `position`.
    void AddMailbox(qsizetype position, const QString& mailbox);
    // Drops the entries marked in `drop`, keeping the order of the rest.
    void Compact(const QList<bool>& drop);

    QStringList m_identities;
    QStringList m_texts;
    QList<QStringList> m_mailboxes;
    QHash<QString, qsizetype> m_positions;
    bool m_changed = false;
};
