#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// An ordered list of message headers with constant-time membership by message
// identity. The header texts are kept (the seen list is written to the
// history file as texts); the identities decide membership. The order is kept
// so the oldest entries can be trimmed first.
class HeaderList {
public:
    bool Contains(const QString& identity) const { return m_identitySet.contains(identity); }
    void Append(const QString& identity, const QString& headerText) {
        m_identities.append(identity);
        m_texts.append(headerText);
        m_identitySet.insert(identity);
    }
    // Keeps only the last `count` entries.
    void KeepLast(qsizetype count) {
        if (m_texts.size() <= count)
            return;
        const qsizetype drop = m_texts.size() - count;
        m_identities.remove(0, drop);
        m_texts.remove(0, drop);
        m_identitySet = QSet<QString>(m_identities.begin(), m_identities.end());
    }
    void Clear() {
        m_identities.clear();
        m_texts.clear();
        m_identitySet.clear();
    }
    qsizetype Size() const { return m_texts.size(); }
    // Header texts and their identities, oldest first, position by position.
    const QStringList& Texts() const { return m_texts; }
    const QStringList& Identities() const { return m_identities; }

private:
    QStringList m_identities;
    QStringList m_texts;
    QSet<QString> m_identitySet;
};
