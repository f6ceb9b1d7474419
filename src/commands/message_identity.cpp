#include "commands/message_identity.h"

#include "commands/server_session.h"
#include "engine/header_text.h"
#include "engine/pop/pop_client.h"
#include "tree/account_tree_model.h"

#include <QObject>
#include <optional>

namespace {

MessageMatch byUniqueId(ServerSession& session, const QString& kept, qint16 number) {
    std::optional<QString> answer;
    QObject context;
    QObject::connect(&session.Pop(), &PopClient::UniqueIdReply, &context,
                     [&answer, number](qint16 n, const QString& id) {
                         if (n == number)
                             answer = id;
                     });
    session.Pop().RequestUniqueId(number);
    session.WaitWhileBusy();
    if (session.ConnectionGone())
        return MessageMatch::ConnectionGone;
    return answer && *answer == kept ? MessageMatch::Same : MessageMatch::Changed;
}

MessageMatch byHeader(ServerSession& session, const QString& keptHeader, qint16 number) {
    if (keptHeader.isEmpty())
        return MessageMatch::Changed;
    std::optional<QString> header;
    QObject context;
    QObject::connect(&session.Pop(), &PopClient::DocOutput, &context,
                     [&header](const PopDocument& document) {
                         if (document.State == PopDocument::HeadersReady)
                             header = BuildHeaderText(document.Headers);
                     });
    session.Pop().RetrieveHeaders(number);
    session.WaitWhileBusy();
    if (session.ConnectionGone())
        return MessageMatch::ConnectionGone;
    return header && MessageIdentity(*header) == MessageIdentity(keptHeader)
               ? MessageMatch::Same
               : MessageMatch::Changed;
}

} // namespace

MessageMatch CheckMessageNumber(ServerSession& session, const AccountTreeModel& tree,
                                const QString& messageKey, qint16 number) {
    if (number < 1)
        return MessageMatch::Changed;
    const QString uniqueId = tree.UniqueId(messageKey);
    if (!uniqueId.isEmpty())
        return byUniqueId(session, uniqueId, number);
    return byHeader(session, tree.Tag(messageKey), number);
}
