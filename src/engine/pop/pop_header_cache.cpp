#include "engine/pop/pop_header_cache.h"

QString PopHeaderCache::Key(const QString& host, qint32 port, const QString& user,
                            const QByteArray& uniqueId) {
    // Host names are case-insensitive; user names and unique ids are not.
    return host.toLower() + QChar(u'\n') + QString::number(port) + QChar(u'\n') + user +
           QChar(u'\n') + QString::fromLatin1(uniqueId);
}

const QList<HeaderField>* PopHeaderCache::Find(const QString& key) const {
    const auto it = m_entries.constFind(key);
    return it == m_entries.constEnd() ? nullptr : &it.value();
}

void PopHeaderCache::Insert(const QString& key, const QList<HeaderField>& fields) {
    if (m_capacity <= 0)
        return;
    if (!m_entries.contains(key)) {
        while (m_entries.size() >= m_capacity && !m_order.isEmpty())
            m_entries.remove(m_order.dequeue());
        m_order.enqueue(key);
    }
    m_entries.insert(key, fields);
}

void PopHeaderCache::Clear() {
    m_entries.clear();
    m_order.clear();
}
