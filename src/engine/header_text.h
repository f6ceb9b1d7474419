#pragma once

#include "engine/mime/header_field.h"

#include <QList>
#include <QString>

// The header text of one message: one line per header field, in the order the
// server gave them, each the field name, " : ", the value and CR LF. It is the
// Tag of a message node, the text of a mail log entry and of a history entry.

inline const QString HeaderLineEnd = QStringLiteral("\r\n");
inline const QString MessageIdPrefix = QStringLiteral("Message-Id : ");

// Builds the header text from the fields the POP client delivered. A line
// break inside a name or value (an encoded word can carry one) becomes a
// blank, so a field can never forge further header lines.
QString BuildHeaderText(const QList<HeaderField>& fields);

// The whole first line (prefix included, CR LF excluded) that begins with
// `prefix`, compared ignoring letter case; the empty text when there is none.
// The search stops at the first empty line.
QString GetHeaderLine(const QString& prefix, const QString& headerText);

// What tells one message from another: its "Message-Id : " line, compared
// exactly. A header without a Message-Id line is identified by its whole text,
// so two such messages only count as one when their headers are the same.
QString MessageIdentity(const QString& headerText);
