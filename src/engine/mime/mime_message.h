#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The one place that talks to GMime.

// Bytes in the named charset as Unicode, or nothing when the charset is
// unknown or the bytes are not valid in it.
std::optional<QString> MimeConvertCharset(const QByteArray& bytes, const QByteArray& charset);

// A whole raw message as readable text: a short block of the decoded From,
// To, Cc, Date and Subject lines and an empty line, then the body: text/plain
// parts in their charset, an HTML-only body as plain text, and one line
// "[Attachment: name, type, size]" per attachment. Lines end with "\n".
QString MimeReadableMessage(const QByteArray& rawMessage);
