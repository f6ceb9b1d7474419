#include "records/seen_header_list.h"

qsizetype SeenHeaderList::PositionFor(const QString& identity, const QString& headerText) {
    if (const auto found = m_positions.constFind(identity); found != m_positions.constEnd())
        return found.value();
    m_positions.insert(identity, m_texts.size());
    m_identities.append(identity);
    m_texts.append(headerText);
    m_mailboxes.append(QStringList());
    m_changed = true;
    return m_texts.size() - 1;
}

void SeenHeaderList::AddMailbox(qsizetype position, const QString& mailbox) {
    QStringList& names = m_mailboxes[position];
    if (!mailbox.isEmpty() && !names.contains(mailbox)) {
        names.append(mailbox);
        m_changed = true;
    }
}

void SeenHeaderList::Append(const QString& identity, const QString& headerText,
                            const QStringList& mailboxes) {
    const qsizetype position = PositionFor(identity, headerText);
    for (const QString& mailbox : mailboxes)
        AddMailbox(position, mailbox);
}

void SeenHeaderList::Remember(const QString& identity, const QString& headerText,
                              const QString& mailbox) {
    // Called for every message of every pass: no list is made for the one mailbox.
    AddMailbox(PositionFor(identity, headerText), mailbox);
}

QStringList SeenHeaderList::MailboxesOf(const QString& identity) const {
    const auto found = m_positions.constFind(identity);
    return found == m_positions.constEnd() ? QStringList() : m_mailboxes.at(found.value());
}

qsizetype SeenHeaderList::CountOf(const QString& mailbox) const {
    qsizetype count = 0;
    for (const QStringList& names : m_mailboxes)
        count += names.contains(mailbox) ? 1 : 0;
    return count;
}

void SeenHeaderList::Compact(const QList<bool>& drop) {
    if (!drop.contains(true))
        return;
    QStringList identities, texts;
    QList<QStringList> mailboxes;
    for (qsizetype i = 0; i < m_texts.size(); ++i) {
        if (drop.at(i))
            continue;
        identities.append(m_identities.at(i));
        texts.append(m_texts.at(i));
        mailboxes.append(m_mailboxes.at(i));
    }
    m_identities = std::move(identities);
    m_texts = std::move(texts);
    m_mailboxes = std::move(mailboxes);
    m_positions.clear();
    for (qsizetype i = 0; i < m_identities.size(); ++i)
        m_positions.insert(m_identities.at(i), i);
    m_changed = true;
}

void SeenHeaderList::ForgetNotFound(const QString& mailbox, const QSet<QString>& found) {
    QList<bool> drop(m_texts.size(), false);
    for (qsizetype i = 0; i < m_texts.size(); ++i) {
        QStringList& names = m_mailboxes[i];
        if (found.contains(m_identities.at(i)) || !names.removeOne(mailbox))
            continue;
        m_changed = true;
        drop[i] = names.isEmpty();
    }
    Compact(drop);
}

void SeenHeaderList::Bound(const QSet<QString>& mailboxes, qsizetype limit) {
    QHash<QString, qsizetype> excess;
    for (const QString& mailbox : mailboxes) {
        const qsizetype over = CountOf(mailbox) - limit;
        if (over > 0)
            excess.insert(mailbox, over);
    }
    QList<bool> drop(m_texts.size(), false);
    for (qsizetype i = 0; i < m_texts.size() && !excess.isEmpty(); ++i) {
        QStringList& names = m_mailboxes[i];
        for (qsizetype n = names.size() - 1; n >= 0; --n) {
            const auto over = excess.find(names.at(n));
            if (over == excess.end())
                continue;
            names.removeAt(n);
            m_changed = true;
            if (--over.value() == 0)
                excess.erase(over);
            drop[i] = names.isEmpty();
        }
    }
    // The entries none of those mailboxes names: from an older history file,
    // or of accounts no longer configured.
    auto unclaimed = [&](qsizetype i) {
        for (const QString& name : m_mailboxes.at(i)) {
            if (mailboxes.contains(name))
                return false;
        }
        return true;
    };
    qsizetype count = 0;
    for (qsizetype i = 0; i < m_texts.size(); ++i)
        count += !drop.at(i) && unclaimed(i) ? 1 : 0;
    for (qsizetype i = 0; i < m_texts.size() && count > limit; ++i) {
        if (!drop.at(i) && unclaimed(i)) {
            drop[i] = true;
            --count;
        }
    }
    Compact(drop);
}

void SeenHeaderList::Clear() {
    if (!m_texts.isEmpty())
        m_changed = true;
    m_identities.clear();
    m_texts.clear();
    m_mailboxes.clear();
    m_positions.clear();
}
