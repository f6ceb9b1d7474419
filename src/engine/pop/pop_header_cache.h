#pragma once

#include "engine/mime/header_field.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

// Header fields already read, by account (host, port, user) and the server's
// unique id of the message, so a later connection (or a later run, through
// the header memory file) need not ask again. Each entry also keeps the size
// the server listed for the message: a server that gives an id to another
// message is caught by the size in most cases. Holds at most MaxBytes of
// entries (as counted by EntryBytes); the oldest entry goes first.
//
// Copies share their data until one of them changes, so a copy taken for
// writing the file costs next to nothing.
class PopHeaderCache {
public:
    struct Entry {
        QList<HeaderField> Fields;
        qint32 Size = -1; // listed size of the message; -1 when not known
    };

    static constexpr qint64 DefaultMaxBytes = 64 * 1024 * 1024;
    explicit PopHeaderCache(qint64 maxBytes = DefaultMaxBytes) : m_maxBytes(maxBytes) {}

    // An account's keys all start with AccountPrefix.
    static QString AccountPrefix(const QString& host, qint32 port, const QString& user);
    static QString Key(const QString& host, qint32 port, const QString& user,
                       const QByteArray& uniqueId);
    static qint64 EntryBytes(const QString& key, const Entry& entry);

    // The fields under `key`, unless the entry's size and `size` are both
    // known and differ.
    const QList<HeaderField>* Find(const QString& key, qint32 size = -1) const;
    void Insert(const QString& key, const QList<HeaderField>& fields, qint32 size = -1);
    // Of the entries whose key starts with `accountPrefix`, keeps only those
    // in `keep`. Returns whether any went.
    bool KeepOnly(const QString& accountPrefix, const QSet<QString>& keep);
    void Clear();

    qsizetype Size() const { return m_entries.size(); }
    qint64 Bytes() const { return m_bytes; }
    qint64 MaxBytes() const { return m_maxBytes; }
    // Counts every change, so a writer knows whether the file is behind.
    quint64 Revision() const { return m_revision; }

    // Every entry, oldest first.
    template <typename Visit> void ForEach(Visit visit) const {
        for (auto it = m_order.cbegin(); it != m_order.cend(); ++it)
            visit(it.value(), m_entries.value(it.value()).Data);
    }

private:
    struct Stored {
        Entry Data;
        qint64 Order = 0;
        qint64 Bytes = 0;
    };
    void Remove(QHash<QString, Stored>::iterator it);

    qint64 m_maxBytes;
    qint64 m_bytes = 0;
    qint64 m_nextOrder = 0;
    quint64 m_revision = 0;
    QHash<QString, Stored> m_entries;
    QMap<qint64, QString> m_order; // oldest first
};
