#pragma once

#include "engine/pop/pop_header_cache.h"

#include <QByteArray>
#include <QString>

// The bytes of the header memory file: the magic "LWHDRMEM", a 4-byte format
// version, an 8-byte length of the entries that follow, the entries, and the
// SHA-256 of the entries. Each entry: its key, the listed size of the message
// and its header fields, oldest entry first (all in QDataStream's Qt 6.4
// form). Numbers are big-endian.
QByteArray EncodeHeaderMemory(const PopHeaderCache& cache);

// Fills `cache` (emptied first) with the entries of `bytes`. A file of
// another version, cut short, longer than it says or with a wrong checksum
// fills nothing and returns false with the reason in `error`.
bool DecodeHeaderMemory(const QByteArray& bytes, PopHeaderCache* cache, QString* error);
