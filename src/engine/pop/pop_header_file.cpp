#include "engine/pop/pop_header_file.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

namespace {
const QByteArray kMagic = QByteArrayLiteral("LWHDRMEM");
constexpr quint32 kVersion = 1;
constexpr qsizetype kPrefixBytes = 8 + 4 + 8;
constexpr qsizetype kChecksumBytes = 32;

QByteArray Checksum(QByteArrayView entries) {
    return QCryptographicHash::hash(entries, QCryptographicHash::Sha256);
}
} // namespace

QByteArray EncodeHeaderMemory(const PopHeaderCache& cache) {
    QByteArray entries;
    {
        QDataStream out(&entries, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << quint32(cache.Size());
        cache.ForEach([&out](const QString& key, const PopHeaderCache::Entry& entry) {
            out << key << qint32(entry.Size) << quint32(entry.Fields.size());
            for (const HeaderField& field : entry.Fields)
                out << field.Name << field.Value;
        });
    }
    QByteArray bytes;
    bytes.reserve(kPrefixBytes + entries.size() + kChecksumBytes);
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.writeRawData(kMagic.constData(), int(kMagic.size()));
    out << kVersion << quint64(entries.size());
    bytes += entries;
    bytes += Checksum(entries);
    return bytes;
}

bool DecodeHeaderMemory(const QByteArray& bytes, PopHeaderCache* cache, QString* error) {
    cache->Clear();
    auto fail = [error](const QString& reason) {
        *error = reason;
        return false;
    };
    if (bytes.size() < kPrefixBytes + kChecksumBytes || !bytes.startsWith(kMagic))
        return fail(QStringLiteral("not a header memory file"));
    QDataStream prefix(bytes.mid(kMagic.size(), 12));
    quint32 version = 0;
    quint64 length = 0;
    prefix >> version >> length;
    if (version != kVersion)
        return fail(QStringLiteral("version %1 is not known").arg(version));
    if (length != quint64(bytes.size() - kPrefixBytes - kChecksumBytes))
        return fail(QStringLiteral("%1 bytes of entries announced, %2 found")
                        .arg(length)
                        .arg(bytes.size() - kPrefixBytes - kChecksumBytes));
    const QByteArrayView entries = QByteArrayView(bytes).sliced(kPrefixBytes, qsizetype(length));
    if (Checksum(entries) != QByteArrayView(bytes).last(kChecksumBytes))
        return fail(QStringLiteral("checksum does not match"));

    const QByteArray copy = entries.toByteArray();
    QDataStream in(copy);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 count = 0;
    in >> count;
    PopHeaderCache loaded(cache->MaxBytes());
    for (quint32 n = 0; n < count && in.status() == QDataStream::Ok; ++n) {
        QString key;
        qint32 size = -1;
        quint32 fieldCount = 0;
        in >> key >> size >> fieldCount;
        QList<HeaderField> fields;
        for (quint32 f = 0; f < fieldCount && in.status() == QDataStream::Ok; ++f) {
            HeaderField field;
            in >> field.Name >> field.Value;
            fields.append(field);
        }
        loaded.Insert(key, fields, size);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return fail(QStringLiteral("entries do not match their count"));
    *cache = loaded;
    return true;
}
