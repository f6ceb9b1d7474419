#pragma once

#include "records/app_state.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The history file "log.tmp" in the data folder keeps SeenHeaders from one
// run to the next. Its format: a 5-character count of entries, then per entry
// a 5-character length and that many bytes of UTF-8 header text; numbers are
// decimal, right-aligned and padded on the left with blanks.

inline constexpr int HistoryFieldWidth = 5;
inline constexpr qsizetype HistoryFieldLimit = 99999;

QString HistoryFilePath(const AppState& state);

// The file's bytes for these header texts. A text longer than the length field
// can say is left out; the count covers the texts written.
QByteArray EncodeHistory(const QStringList& headerTexts);
// The entries of a history file. A short or damaged file gives the whole
// entries before the damage; a count of 0 or a blank one gives none.
QStringList DecodeHistory(const QByteArray& bytes);

// Replaces SeenHeaders with the entries of log.tmp; a missing file gives an
// empty list.
void LoadHistory(AppState& state);

// Writes SeenHeaders to log.tmp, creating the data folder when needed. The
// file is replaced atomically: a write that fails leaves the old file as it
// was. With no entries, log.tmp is removed. Returns false, with the reason in
// `errorText` when given, when the file could not be written or removed.
bool SaveHistory(const AppState& state, QString* errorText = nullptr);
