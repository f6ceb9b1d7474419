#pragma once

#include "records/app_state.h"

#include <QString>
#include <QStringList>

// The two lists of known messages that decide whether a listed message is new:
// SeenHeaders (messages met by an earlier check, kept across runs) and
// AcknowledgedHeaders (messages on display when the user last acknowledged).
// Both answer by message identity in constant time.
//
// The seen list remembers, per message, the mailboxes it was found in. A
// mailbox's messages are forgotten only when a check that listed that whole
// mailbox no longer finds them: a failed or partial check, a disabled account
// or a pass that leaves an account out forgets nothing, so mail seen before an
// outage is never announced and logged again after it.

// The most entries the seen list keeps per mailbox: as many messages as one
// check can list.
inline constexpr qsizetype SeenPerMailbox = 32766;

// Appends a header text to a list under its message identity.
void AppendHeader(HeaderList& list, const QString& headerText);
void AppendHeader(SeenHeaderList& list, const QString& headerText);

// The mailbox an account reads, as the seen list names it: the user, the
// host (letter case ignored) and the port. Renaming an account or changing its
// password or security keeps the name.
QString MailboxName(const MailAccount& account);

bool IsSeenHeader(const AppState& state, const QString& headerText);
bool IsAcknowledgedHeader(const AppState& state, const QString& headerText);

// After a check of `account`: remembers every message it found (`foundTags`,
// the Tags of its message nodes; empty ones are passed over) as held by the
// account's mailbox. When the check listed the whole mailbox
// (`wholeMailbox`), the mailbox's entries it did not find are forgotten.
// Keeps the list within SeenPerMailbox entries per configured mailbox.
void RememberCheckedMessages(AppState& state, const MailAccount& account,
                             const QStringList& foundTags, bool wholeMailbox);

// Adds the headers of the messages on display to SeenHeaders, as held by
// `mailbox` when one is given. Nothing is forgotten here.
void RememberShownMessages(AppState& state, const QStringList& messageTags,
                           const QString& mailbox = QString());

// Remembers the messages on display, makes them the acknowledged ones and ends
// the count of new mail.
void AcknowledgeShownMessages(AppState& state, const QStringList& messageTags);
