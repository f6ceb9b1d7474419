#pragma once

#include "engine/mime/header_field.h"

#include <QByteArray>
#include <QList>

// The header fields of a message (or of a header block alone, as TOP gives
// it): unfolded, values decoded to Unicode, names as written, no CR or LF in
// a name or value. Reading stops at the first empty line. A leading byte-order
// mark or mbox "From " line is skipped. A line that is neither indented nor a
// "Name:" field continues the field before it when more header follows, and
// otherwise ends the header (a body that was not separated by an empty line).
QList<HeaderField> MimeParseHeaderFields(const QByteArray& raw);

// The header block of a raw message as MimeParseHeaderFields reads it: up to
// and including the first empty line, or up to the first body line when no
// empty line separates them.
QByteArray MimeHeaderBlock(const QByteArray& rawMessage);
