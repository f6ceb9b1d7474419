#pragma once

#include <QByteArray>
#include <QString>

// Turns a raw, unfolded header field value into Unicode text: RFC 2047 encoded
// words are decoded one by one (white space between two adjacent encoded
// words is dropped), an encoded word in an unknown charset or with bytes that
// are not valid in its charset is kept as it was written, and raw 8-bit bytes
// are read as UTF-8 when the whole value is valid UTF-8, otherwise as Latin-1.
QString MimeDecodeHeaderValue(const QByteArray& raw);

// Raw bytes of unknown charset as text: UTF-8 when valid, otherwise Latin-1.
QString MimeBytesToText(const QByteArray& bytes);
