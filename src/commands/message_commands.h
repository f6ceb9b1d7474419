#pragma once

#include <QString>

class MainWindow;

// The "&Messages" menu's commands on one message of the tree: view it (fetched
// over a connection of its own), show the header lines the last check kept,
// and delete it on the server. View and delete first make sure the message
// number still names the message on display; when it does not, nothing is
// shown or deleted and the account is checked again at once.
namespace MessageCommands {
void mnuViewMessage_Click(MainWindow& window);
void mnuProperties_Click(MainWindow& window);
void mnuDeleteMessage_Click(MainWindow& window);
} // namespace MessageCommands

// The lines the message window ends with when it does not show the whole
// message.
namespace MessageWindowNote {
inline const QString ConnectionLost =
    QStringLiteral("[Connection lost: the message is incomplete]");
QString MailboxChanged(qint16 number);
QString TooLarge(qint64 limitBytes);
QString NotSent(const QString& reason);
} // namespace MessageWindowNote

// Connects "&View Message", "&Properties" and "&Delete Message".
void ConnectMessageCommands(MainWindow& window);
