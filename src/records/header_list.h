#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// An ordered list of message identities with constant-time membership. The
// order is kept so the oldest entries can be trimmed first.
class HeaderList {
public:
    bool Contains(const QString& identity) const { return m_set.contains(identity); }
    void Append(const QString& identity) {
        m_items.append(identity);
        m_set.insert(identity);
    }
    // Keeps only the last `count` entries.
    void KeepLast(qsizetype count) {
        if (m_items.size() <= count)
            return;
        m_items.erase(m_items.begin(), m_items.end() - count);
        m_set = QSet<QString>(m_items.begin(), m_items.end());
    }
    void Clear() {
        m_items.clear();
        m_set.clear();
    }
    qsizetype Size() const { return m_items.size(); }
    const QStringList& Items() const { return m_items; }

private:
    QStringList m_items;
    QSet<QString> m_set;
};
