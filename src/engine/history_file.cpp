#include "engine/history_file.h"

#include "engine/header_text.h"
#include "records/private_file.h"

#include <QFile>
#include <QHash>
#include <QVarLengthArray>
#include <QtDebug>
#include <algorithm>
#include <cstdio>

QString HistoryFilePath(const AppState& state) {
    return state.Paths.DataFolder + QStringLiteral("log.tmp");
}

// A number right-aligned in a field of HistoryFieldWidth characters (wider
// when it needs more), written straight into the file's bytes.
static void appendNumberField(QByteArray& bytes, qsizetype number) {
    char field[32];
    const int length = std::snprintf(field, sizeof field, "%*lld", HistoryFieldWidth,
                                     static_cast<long long>(number));
    bytes.append(field, length);
}

// The entries' texts go straight into the file's bytes, each behind a length
// field filled in once its text is there: the history of a large mailbox is
// megabytes, and every copy of it costs fresh memory while the window waits.
QByteArray EncodeHistory(const QList<HistoryEntry>& entries) {
    // Beyond what the count field can say, only the newest entries are kept.
    qsizetype first = 0;
    if (entries.size() > HistoryFieldLimit) {
        qsizetype kept = 0;
        for (first = entries.size(); first > 0 && kept < HistoryFieldLimit; --first)
            kept += entries.at(first - 1).Text.toUtf8().size() <= HistoryFieldLimit ? 1 : 0;
    }
    qsizetype estimate = HistoryFieldWidth;
    for (qsizetype i = first; i < entries.size(); ++i)
        estimate += HistoryFieldWidth + entries.at(i).Text.size() * 3 / 2;
    QByteArray bytes;
    bytes.reserve(estimate);
    bytes.append(HistoryFieldWidth, ' ');
    QList<const HistoryEntry*> written;
    written.reserve(entries.size() - first);
    for (qsizetype i = first; i < entries.size(); ++i) {
        const qsizetype field = bytes.size();
        bytes.append(HistoryFieldWidth, ' ');
        bytes += entries.at(i).Text.toUtf8();
        const qsizetype length = bytes.size() - field - HistoryFieldWidth;
        if (length > HistoryFieldLimit) {
            bytes.truncate(field);
            continue;
        }
        const QByteArray number = QByteArray::number(length);
        bytes.replace(field + HistoryFieldWidth - number.size(), number.size(), number);
        written.append(&entries.at(i));
    }
    const QByteArray count = QByteArray::number(written.size());
    bytes.replace(HistoryFieldWidth - count.size(), count.size(), count);

    // The mailboxes, by position in a table of their names; the positions
    // of each entry follow the table.
    QList<QByteArray> names;
    QHash<QString, qsizetype> positions;
    QByteArray owners;
    owners.reserve(written.size() * 2 * HistoryFieldWidth);
    QVarLengthArray<qsizetype, 4> own;
    for (const HistoryEntry* entry : written) {
        own.clear();
        for (const QString& mailbox : entry->Mailboxes) {
            auto found = positions.constFind(mailbox);
            if (found == positions.constEnd()) {
                const QByteArray name = mailbox.toUtf8();
                if (name.isEmpty() || name.size() > HistoryFieldLimit ||
                    names.size() >= HistoryFieldLimit)
                    continue;
                names.append(name);
                found = positions.insert(mailbox, names.size());
            }
            if (!own.contains(found.value()))
                own.append(found.value());
        }
        appendNumberField(owners, own.size());
        for (const qsizetype position : own)
            appendNumberField(owners, position);
    }
    if (names.isEmpty())
        return bytes;
    bytes += HistoryMailboxMarker;
    appendNumberField(bytes, names.size());
    for (const QByteArray& name : names) {
        appendNumberField(bytes, name.size());
        bytes += name;
    }
    bytes += owners;
    return bytes;
}

QByteArray EncodeHistory(const QStringList& headerTexts) {
    QList<HistoryEntry> entries;
    for (const QString& text : headerTexts)
        entries.append(HistoryEntry{text, {}});
    return EncodeHistory(entries);
}

// Reads one number field at `position`; -1 when the file ends first or the
// field is not a number.
static qsizetype readNumberField(const QByteArray& bytes, qsizetype& position) {
    if (bytes.size() - position < HistoryFieldWidth)
        return -1;
    const QByteArray field = bytes.mid(position, HistoryFieldWidth).trimmed();
    position += HistoryFieldWidth;
    if (field.isEmpty())
        return 0;
    bool ok = false;
    const int number = field.toInt(&ok);
    return ok && number >= 0 ? number : -1;
}

// The mailbox part after the entries, when it is there and whole; nothing
// otherwise.
static QList<QStringList> decodeMailboxes(const QByteArray& bytes, qsizetype position,
                                          qsizetype entryCount) {
    if (bytes.mid(position, HistoryMailboxMarker.size()) != HistoryMailboxMarker)
        return {};
    position += HistoryMailboxMarker.size();
    const qsizetype nameCount = readNumberField(bytes, position);
    if (nameCount < 0)
        return {};
    QStringList names;
    for (qsizetype i = 0; i < nameCount; ++i) {
        const qsizetype length = readNumberField(bytes, position);
        if (length < 0 || bytes.size() - position < length)
            return {};
        names.append(QString::fromUtf8(bytes.mid(position, length)));
        position += length;
    }
    QList<QStringList> owners;
    for (qsizetype i = 0; i < entryCount; ++i) {
        const qsizetype count = readNumberField(bytes, position);
        if (count < 0 || count > nameCount)
            return {};
        QStringList own;
        for (qsizetype k = 0; k < count; ++k) {
            const qsizetype index = readNumberField(bytes, position);
            if (index < 1 || index > nameCount)
                return {};
            own.append(names.at(index - 1));
        }
        owners.append(own);
    }
    return owners;
}

QList<HistoryEntry> DecodeHistoryEntries(const QByteArray& bytes) {
    QList<HistoryEntry> entries;
    qsizetype position = 0;
    const qsizetype count = readNumberField(bytes, position);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype length = readNumberField(bytes, position);
        if (length < 0 || bytes.size() - position < length)
            return entries; // damaged: no mailbox part can follow
        entries.append(HistoryEntry{QString::fromUtf8(bytes.mid(position, length)), {}});
        position += length;
    }
    const QList<QStringList> owners = decodeMailboxes(bytes, position, entries.size());
    for (qsizetype i = 0; i < owners.size(); ++i)
        entries[i].Mailboxes = owners.at(i);
    return entries;
}

QStringList DecodeHistory(const QByteArray& bytes) {
    QStringList texts;
    for (const HistoryEntry& entry : DecodeHistoryEntries(bytes))
        texts.append(entry.Text);
    return texts;
}

void LoadHistory(AppState& state) {
    state.SeenHeaders.Clear();
    state.SeenHeaders.MarkSaved();
    QFile file(HistoryFilePath(state));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Larkwatch: cannot read the history file %s: %s", qPrintable(file.fileName()),
                 qPrintable(file.errorString()));
        return;
    }
    for (const HistoryEntry& entry : DecodeHistoryEntries(file.readAll())) {
        if (!entry.Text.isEmpty())
            state.SeenHeaders.Append(MessageIdentity(entry.Text), entry.Text, entry.Mailboxes);
    }
    state.SeenHeaders.MarkSaved();
}

static QList<HistoryEntry> entriesOf(const SeenHeaderList& list) {
    QList<HistoryEntry> entries;
    entries.reserve(list.Size());
    for (qsizetype i = 0; i < list.Size(); ++i)
        entries.append(HistoryEntry{list.Texts().at(i), list.Mailboxes().at(i)});
    return entries;
}

bool SaveHistory(AppState& state, QString* errorText) {
    const QString path = HistoryFilePath(state);
    QString reason;
    if (state.SeenHeaders.Size() == 0) {
        if (QFile::exists(path) && !QFile::remove(path))
            reason = QStringLiteral("cannot remove %1").arg(path);
    } else {
        reason = ReplacePrivateFile(path, EncodeHistory(entriesOf(state.SeenHeaders)));
    }
    if (reason.isEmpty()) {
        state.SeenHeaders.MarkSaved();
        state.HistoryFailureReported = false;
        return true;
    }
    if (!state.HistoryFailureReported)
        qWarning("Larkwatch: history not saved: %s", qPrintable(reason));
    state.HistoryFailureReported = true;
    if (errorText)
        *errorText = reason;
    return false;
}

bool SaveHistoryIfChanged(AppState& state) {
    if (!state.SeenHeaders.ChangedSinceSave())
        return true;
    return SaveHistory(state);
}
