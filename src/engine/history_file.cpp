#include "engine/history_file.h"

#include "engine/seen_messages.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtDebug>
#include <algorithm>

QString HistoryFilePath(const AppState& state) {
    return state.Paths.DataFolder + QStringLiteral("log.tmp");
}

static QByteArray numberField(qsizetype number) {
    return QByteArray::number(number).rightJustified(HistoryFieldWidth, ' ');
}

QByteArray EncodeHistory(const QStringList& headerTexts) {
    QList<QByteArray> entries;
    for (const QString& text : headerTexts) {
        QByteArray entry = text.toUtf8();
        if (entry.size() <= HistoryFieldLimit)
            entries.append(std::move(entry));
    }
    // The count field cannot say more: keep the newest entries.
    if (entries.size() > HistoryFieldLimit)
        entries.remove(0, entries.size() - HistoryFieldLimit);

    QByteArray bytes = numberField(entries.size());
    for (const QByteArray& entry : entries)
        bytes += numberField(entry.size()) + entry;
    return bytes;
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

QStringList DecodeHistory(const QByteArray& bytes) {
    QStringList texts;
    qsizetype position = 0;
    const qsizetype count = readNumberField(bytes, position);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype length = readNumberField(bytes, position);
        if (length < 0 || bytes.size() - position < length)
            break;
        texts.append(QString::fromUtf8(bytes.mid(position, length)));
        position += length;
    }
    return texts;
}

void LoadHistory(AppState& state) {
    state.SeenHeaders.Clear();
    QFile file(HistoryFilePath(state));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Larkwatch: cannot read the history file %s: %s", qPrintable(file.fileName()),
                 qPrintable(file.errorString()));
        return;
    }
    for (const QString& text : DecodeHistory(file.readAll())) {
        if (!text.isEmpty())
            AppendHeader(state.SeenHeaders, text);
    }
}

bool SaveHistory(const AppState& state, QString* errorText) {
    const QString path = HistoryFilePath(state);
    QString reason;
    if (state.SeenHeaders.Size() == 0) {
        if (QFile::exists(path) && !QFile::remove(path))
            reason = QStringLiteral("cannot remove %1").arg(path);
    } else if (!QDir().mkpath(state.Paths.DataFolder)) {
        reason = QStringLiteral("cannot create the folder %1").arg(state.Paths.DataFolder);
    } else {
        // Unbuffered, so a write the disk takes only in part shows in the count
        // written: Qt would otherwise commit the short file as a whole one.
        QSaveFile file(path);
        const QByteArray bytes = EncodeHistory(state.SeenHeaders.Texts());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            reason = QStringLiteral("%1: %2").arg(path, file.errorString());
        } else if (const qint64 written = file.write(bytes); written != bytes.size()) {
            reason = QStringLiteral("%1: only %2 of %3 bytes written")
                         .arg(path)
                         .arg(std::max<qint64>(written, 0))
                         .arg(bytes.size());
            file.cancelWriting();
        } else if (!file.commit()) {
            reason = QStringLiteral("%1: %2").arg(path, file.errorString());
        }
    }
    if (reason.isEmpty())
        return true;
    qWarning("Larkwatch: history not saved: %s", qPrintable(reason));
    if (errorText)
        *errorText = reason;
    return false;
}
