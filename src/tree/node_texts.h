#pragma once

#include <QString>

// Every fixed text and image key the account tree shows, in one place.

// The six image keys of the account tree.
namespace NodeImage {
inline const QString NoMail = QStringLiteral("NoMail");     // account, collapsed
inline const QString HaveMail = QStringLiteral("HaveMail"); // account, expanded
inline const QString Closed = QStringLiteral("Closed");     // disabled account
inline const QString Mail = QStringLiteral("Mail");         // known, acknowledged message
inline const QString NewMail = QStringLiteral("NewMail");   // new message
inline const QString Deleted = QStringLiteral("Deleted");   // message deleted on the server
} // namespace NodeImage

// Account node status texts; each follows the title.
namespace AccountStatus {
inline const QString Unchecked = QStringLiteral(" --- Unchecked.");
inline const QString Checking = QStringLiteral(" --- Checking...");
// Written straight after the title, without a blank.
inline const QString Disabled = QStringLiteral("--- Disabled.");
inline const QString Connecting = QStringLiteral(" --- Connecting...");
inline const QString Connected = QStringLiteral(" --- Connected.");
inline const QString Verifying = QStringLiteral(" --- Verifying...");
inline const QString Passed = QStringLiteral(" --- Passed.");
inline const QString BadLogon = QStringLiteral(" --- Bad user ID or Password!");
inline const QString ErrorConnecting = QStringLiteral(" --- Error Connecting!");
// An OAuth2 account without a usable sign-in: none yet, or the provider ended it.
inline const QString SignInNeeded = QStringLiteral(" --- Sign-in needed");
inline const QString NoMessages = QStringLiteral(" --- No messages.");
inline const QString TooManyMessages = QStringLiteral(" --- Too many messages!");
// The message commands; each is followed by the message number.
inline const QString RetrievingMessage = QStringLiteral(" --- Retrieving message #");
inline const QString DeletingMessage = QStringLiteral(" --- Deleting message #");
inline const QString ErrorDeletingMessage = QStringLiteral(" --- Error deleting message #");
} // namespace AccountStatus

// Texts a message node ends with when a step for it failed.
namespace MessageStatus {
inline const QString InvalidMessage = QStringLiteral("Invalid message!");
inline const QString HeaderError = QStringLiteral("Error retrieving header!");
inline const QString DeleteError = QStringLiteral("Unable to Delete message!");
inline const QString DeletedPrefix = QStringLiteral("(Deleted) --- ");
// Deleted by the Delete Message command: followed by the former text from its
// first blank on.
inline const QString DeletedMark = QStringLiteral("(Deleted)");
} // namespace MessageStatus
