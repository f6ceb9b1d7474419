#include "engine/pop/pop_header_cache.h"

QString PopHeaderCache::AccountPrefix(const QString& host, qint32 port, const QString& user) {
    // Host names are case-insensitive; user names and unique ids are not.
    return host.toLower() + QChar(u'\n') + QString::number(port) + QChar(u'\n') + user +
           QChar(u'\n');
}

QString PopHeaderCache::Key(const QString& host, qint32 port, const QString& user,
                            const QByteArray& uniqueId) {
    return AccountPrefix(host, port, user) + QString::fromLatin1(uniqueId);
}

qint64 PopHeaderCache::EntryBytes(const QString& key, const Entry& entry) {
    // UTF-16 text and a rough allowance for the containers around it.
    qint64 bytes = 96 + 2 * key.size();
    for (const HeaderField& field : entry.Fields)
        bytes += 48 + 2 * (field.Name.size() + field.Value.size());
    return bytes;
}

const QList<HeaderField>* PopHeaderCache::Find(const QString& key, qint32 size) const {
    const auto it = m_entries.constFind(key);
    if (it == m_entries.constEnd())
        return nullptr;
    if (size >= 0 && it->Data.Size >= 0 && size != it->Data.Size)
        return nullptr;
    return &it->Data.Fields;
}

void PopHeaderCache::Remove(QHash<QString, Stored>::iterator it) {
    m_bytes -= it->Bytes;
    m_order.remove(it->Order);
    m_entries.erase(it);
    ++m_revision;
}

void PopHeaderCache::Insert(const QString& key, const QList<HeaderField>& fields, qint32 size) {
    const Entry entry{fields, size};
    const qint64 bytes = EntryBytes(key, entry);
    if (auto it = m_entries.find(key); it != m_entries.end())
        Remove(it);
    if (bytes > m_maxBytes)
        return;
    while (m_bytes + bytes > m_maxBytes && !m_order.isEmpty())
        Remove(m_entries.find(m_order.first()));
    const qint64 order = m_nextOrder++;
    m_entries.insert(key, Stored{entry, order, bytes});
    m_order.insert(order, key);
    m_bytes += bytes;
    ++m_revision;
}

bool PopHeaderCache::KeepOnly(const QString& accountPrefix, const QSet<QString>& keep) {
    bool removed = false;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it.key().startsWith(accountPrefix) && !keep.contains(it.key())) {
            m_bytes -= it->Bytes;
            m_order.remove(it->Order);
            it = m_entries.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (removed)
        ++m_revision;
    return removed;
}

void PopHeaderCache::Clear() {
    if (m_entries.isEmpty())
        return;
    m_entries.clear();
    m_order.clear();
    m_bytes = 0;
    ++m_revision;
}
