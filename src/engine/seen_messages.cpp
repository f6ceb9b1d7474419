#include "engine/seen_messages.h"

#include "engine/header_text.h"

#include <QSet>

void AppendHeader(HeaderList& list, const QString& headerText) {
    list.Append(MessageIdentity(headerText), headerText);
}

void AppendHeader(SeenHeaderList& list, const QString& headerText) {
    list.Append(MessageIdentity(headerText), headerText);
}

QString MailboxName(const MailAccount& account) {
    return account.User + QLatin1Char('@') + account.Host.trimmed().toLower() + QLatin1Char(':') +
           QString::number(account.Port);
}

bool IsSeenHeader(const AppState& state, const QString& headerText) {
    return state.SeenHeaders.Contains(MessageIdentity(headerText));
}

bool IsAcknowledgedHeader(const AppState& state, const QString& headerText) {
    return state.AcknowledgedHeaders.Contains(MessageIdentity(headerText));
}

void RememberCheckedMessages(AppState& state, const MailAccount& account,
                             const QStringList& foundTags, bool wholeMailbox) {
    const QString mailbox = MailboxName(account);
    QSet<QString> found;
    for (const QString& tag : foundTags) {
        if (tag.isEmpty())
            continue;
        const QString identity = MessageIdentity(tag);
        found.insert(identity);
        state.SeenHeaders.Remember(identity, tag, mailbox);
    }
    if (wholeMailbox)
        state.SeenHeaders.ForgetNotFound(mailbox, found);
    QSet<QString> configured;
    for (const MailAccount& a : state.Accounts)
        configured.insert(MailboxName(a));
    state.SeenHeaders.Bound(configured, SeenPerMailbox);
}

void RememberShownMessages(AppState& state, const QStringList& messageTags,
                           const QString& mailbox) {
    for (const QString& tag : messageTags) {
        if (!tag.isEmpty())
            state.SeenHeaders.Remember(MessageIdentity(tag), tag, mailbox);
    }
}

void AcknowledgeShownMessages(AppState& state, const QStringList& messageTags) {
    state.AcknowledgedHeaders.Clear();
    for (const QString& tag : messageTags) {
        if (tag.isEmpty())
            continue;
        const QString identity = MessageIdentity(tag);
        state.SeenHeaders.Remember(identity, tag, QString());
        state.AcknowledgedHeaders.Append(identity, tag);
    }
    state.NewMailCount = 0;
}
