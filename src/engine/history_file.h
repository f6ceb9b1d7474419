#pragma once

#include "records/app_state.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The history file "log.tmp" in the data folder keeps SeenHeaders from one
// run to the next. Its format: a 5-character count of entries, then per entry
// a 5-character length and that many bytes of UTF-8 header text; numbers are
// decimal, right-aligned and padded on the left with blanks.
//
// After the last entry may follow the mailboxes each entry was found in, which
// a reader of the plain format never reaches: the marker "LWMBX", a count of
// mailbox names, each name as a length and its bytes, then per entry the
// number of its mailboxes and their positions in the names (from 1), all in
// the same 5-character fields. A file without it (written by an older
// Larkwatch) loads with no mailboxes; a damaged one is ignored as a whole.

inline constexpr int HistoryFieldWidth = 5;
inline constexpr qsizetype HistoryFieldLimit = 99999;
inline const QByteArray HistoryMailboxMarker = QByteArrayLiteral("LWMBX");

// One entry of the file: a header text and the mailboxes it was found in.
struct HistoryEntry {
    QString Text;
    QStringList Mailboxes;
    bool operator==(const HistoryEntry&) const = default;
};

QString HistoryFilePath(const AppState& state);

// The file's bytes for these entries. A text longer than the length field can
// say is left out; the count covers the texts written. The mailbox part is
// written only when an entry names a mailbox.
QByteArray EncodeHistory(const QList<HistoryEntry>& entries);
QByteArray EncodeHistory(const QStringList& headerTexts);
// The entries of a history file. A short or damaged file gives the whole
// entries before the damage; a count of 0 or a blank one gives none.
QList<HistoryEntry> DecodeHistoryEntries(const QByteArray& bytes);
QStringList DecodeHistory(const QByteArray& bytes);

// Replaces SeenHeaders with the entries of log.tmp; a missing file gives an
// empty list.
void LoadHistory(AppState& state);

// Writes SeenHeaders to log.tmp (owner-only: it holds message headers),
// creating the data folder when needed. The file is replaced atomically: a
// write that fails, or a kill at any moment, leaves the old file as it was.
// With no entries, log.tmp is removed. Returns false, with the reason in
// `errorText` when given, when the file could not be written or removed; the
// first failure in a row is reported with qWarning, the rest are not.
bool SaveHistory(AppState& state, QString* errorText = nullptr);

// SaveHistory, only when SeenHeaders changed since it was loaded or last
// saved (or the last save failed). Called after every pass and every command
// that may change the list, so a program that does not end normally loses
// nothing it has seen.
bool SaveHistoryIfChanged(AppState& state);
