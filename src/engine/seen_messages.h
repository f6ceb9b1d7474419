#pragma once

#include "records/app_state.h"

#include <QString>
#include <QStringList>

// The two lists of known messages that decide whether a listed message is new:
// SeenHeaders (messages met by an earlier check, kept across runs) and
// AcknowledgedHeaders (messages on display when the user last acknowledged).
// Both answer by message identity in constant time.

// The fewest entries the seen list keeps after trimming.
inline constexpr qsizetype SeenHeadersMinimum = 100;

// Appends a header text to a list under its message identity.
void AppendHeader(HeaderList& list, const QString& headerText);

bool IsSeenHeader(const AppState& state, const QString& headerText);
bool IsAcknowledgedHeader(const AppState& state, const QString& headerText);

// Adds the headers of the messages on display to SeenHeaders, then trims it to
// max(100, number of message nodes) entries. `messageTags` holds the Tag of
// every message node, in tree index order (a node whose header never arrived
// has an empty Tag and is passed over). Trimming drops the oldest entries
// whose message is not on display first, so a message still listed is never
// forgotten and announced again.
void RememberShownMessages(AppState& state, const QStringList& messageTags);

// Remembers the messages on display, makes them the acknowledged ones and ends
// the count of new mail.
void AcknowledgeShownMessages(AppState& state, const QStringList& messageTags);
