#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `bytes` as a whole or not at all: written
// beside it and renamed over it, readable by its owner only, its folder made
// when missing. Empty when done, otherwise why not (the old file then stays).
QString ReplacePrivateFile(const QString& path, const QByteArray& bytes);
