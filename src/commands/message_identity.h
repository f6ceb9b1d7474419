#pragma once

#include <QString>

class AccountTreeModel;
class ServerSession;

// Whether a message number still names the message a node shows.
enum class MessageMatch { Same, Changed, ConnectionGone };

// Message numbers hold only within one connection: between the check that
// listed a message and a later command another program may have removed
// messages, so number n may now be another message. Asks the server, on a
// logged-on session, whether message `number` is still the one the node
// `messageKey` shows: by the unique id kept with the node ("UIDL n") where
// the check read one, otherwise by its header's identity (its "Message-Id : "
// line) against the header the server gives now ("TOP n 0"). A node that has
// neither cannot be vouched for and counts as changed.
MessageMatch CheckMessageNumber(ServerSession& session, const AccountTreeModel& tree,
                                const QString& messageKey, qint16 number);
