#include "engine/seen_messages.h"

#include "engine/header_text.h"

#include <QSet>
#include <algorithm>

void AppendHeader(HeaderList& list, const QString& headerText) {
    list.Append(MessageIdentity(headerText), headerText);
}

bool IsSeenHeader(const AppState& state, const QString& headerText) {
    return state.SeenHeaders.Contains(MessageIdentity(headerText));
}

bool IsAcknowledgedHeader(const AppState& state, const QString& headerText) {
    return state.AcknowledgedHeaders.Contains(MessageIdentity(headerText));
}

// Keeps at most `limit` entries in their order, dropping the oldest entries
// whose identity is not in `keep` first, then the oldest of the rest.
static void trimKeeping(HeaderList& list, const QSet<QString>& keep, qsizetype limit) {
    qsizetype excess = list.Size() - limit;
    if (excess <= 0)
        return;
    const QStringList identities = list.Identities();
    const QStringList texts = list.Texts();
    QList<bool> dropped(identities.size(), false);
    for (qsizetype i = 0; i < identities.size() && excess > 0; ++i) {
        if (!keep.contains(identities[i])) {
            dropped[i] = true;
            --excess;
        }
    }
    list.Clear();
    for (qsizetype i = 0; i < identities.size(); ++i) {
        if (!dropped[i])
            list.Append(identities[i], texts[i]);
    }
    list.KeepLast(limit); // only when the kept ones alone are too many
}

void RememberShownMessages(AppState& state, const QStringList& messageTags) {
    QSet<QString> shown;
    for (const QString& tag : messageTags) {
        if (tag.isEmpty())
            continue;
        const QString identity = MessageIdentity(tag);
        shown.insert(identity);
        if (!state.SeenHeaders.Contains(identity))
            state.SeenHeaders.Append(identity, tag);
    }
    trimKeeping(state.SeenHeaders, shown, std::max(SeenHeadersMinimum, messageTags.size()));
}

void AcknowledgeShownMessages(AppState& state, const QStringList& messageTags) {
    RememberShownMessages(state, messageTags);
    state.AcknowledgedHeaders.Clear();
    for (const QString& tag : messageTags) {
        if (!tag.isEmpty())
            AppendHeader(state.AcknowledgedHeaders, tag);
    }
    state.NewMailCount = 0;
}
