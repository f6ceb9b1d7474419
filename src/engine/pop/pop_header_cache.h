#pragma once

#include "engine/mime/header_field.h"

#include <QHash>
#include <QList>
#include <QQueue>
#include <QString>

// Header fields already read, by account (host, port, user) and the server's
// unique id of the message, so a later connection need not ask again. Holds at
// most Capacity entries; the oldest entry goes first.
class PopHeaderCache {
public:
    explicit PopHeaderCache(qsizetype capacity = 50000) : m_capacity(capacity) {}

    static QString Key(const QString& host, qint32 port, const QString& user,
                       const QByteArray& uniqueId);

    const QList<HeaderField>* Find(const QString& key) const;
    void Insert(const QString& key, const QList<HeaderField>& fields);
    qsizetype Size() const { return m_entries.size(); }
    void Clear();

private:
    qsizetype m_capacity;
    QHash<QString, QList<HeaderField>> m_entries;
    QQueue<QString> m_order;
};
