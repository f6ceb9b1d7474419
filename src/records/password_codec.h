#pragma once

#include <QByteArray>
#include <QString>

// The scrambled form in which account passwords are stored: every byte
// inverted, then written six bits at a time as the characters ";" to "z".
// Passwords are taken as their UTF-8 bytes.
QString EncodePassword(const QString& password);
QString DecodePassword(const QString& stored);
// The older keyed form, read only.
QString DecodeLegacyPassword(const QString& stored, const QString& key);
// True when the stored text is in the older form (a character outside ";".."z").
bool IsLegacyPasswordForm(const QString& stored);

// The byte-level codec under EncodePassword/DecodePassword.
QString EncodePasswordBytes(const QByteArray& bytes);
QByteArray DecodePasswordBytes(const QString& stored);
