#include "records/settings_store.h"

#include "records/private_file.h"
#include "records/value_forms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

static constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

SettingsStore::SettingsStore(const QString& filePath)
    : m_filePath(filePath),
      m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() {
    if (!m_unwritten.isEmpty())
        Sync(); // one more try for what a failed write left
}

QString SettingsStore::StandardFilePath() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Larkwatch"),
                     QStringLiteral("Larkwatch"))
        .fileName();
}

static QString sectionKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

QString SettingsStore::ReadSetting(const QString& section, const QString& key,
                                   const QString& defaultValue) const {
    const QVariant value = m_settings->value(sectionKey(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma comes back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void SettingsStore::WriteSetting(const QString& section, const QString& key, const QString& value) {
    m_settings->setValue(sectionKey(section, key), QVariant(value));
    m_changed = true;
    if (m_batchDepth == 0)
        Sync();
}

QStringList SettingsStore::Keys(const QString& section) const {
    m_settings->beginGroup(section);
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    return keys;
}

bool SettingsStore::ReadBoolean(const QString& section, const QString& key,
                                bool defaultValue) const {
    const QString text = ReadSetting(section, key, QString());
    return ValueForms::ParseBoolean(text).value_or(defaultValue);
}

qint64 SettingsStore::ReadWhole(const QString& section, const QString& key, qint64 defaultValue,
                                qint64 min, qint64 max) const {
    const QString text = ReadSetting(section, key, QString());
    return ValueForms::ParseWhole(text, min, max).value_or(defaultValue);
}

qint16 SettingsStore::ReadCount(const QString& section, const QString& key) const {
    bool ok = false;
    const int count = ReadSetting(section, key, QString()).trimmed().toInt(&ok);
    return ok && count >= 0 && count <= 32766 ? qint16(count) : qint16(0);
}

std::optional<float> SettingsStore::ReadReal(const QString& section, const QString& key) const {
    return ValueForms::ParseReal(ReadSetting(section, key, QString()));
}

QString SettingsStore::EnsurePrivateFile() {
    // Create the file owner-only before anything is written to it, so the
    // passwords are never readable by others, not even for a moment.
    QFileInfo info(m_filePath);
    if (info.exists())
        return QString();
    QDir().mkpath(info.absolutePath());
    QFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly, kOwnerOnly))
        return QStringLiteral("cannot create it: ") + file.errorString();
    return QString();
}

// Whether a written settings file is whole: it ends with a line end and has a
// line for every one of `keys` ("Section/Key") that is a plain name, as all of
// Larkwatch's own keys are. The settings writer does not notice when the disk
// takes only part of the file, and would leave it cut short.
static bool holdsEveryKey(const QByteArray& bytes, const QStringList& keys) {
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        return false;
    QSet<QString> written;
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
            if (section == QLatin1String("General"))
                section.clear();
        } else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0) {
            const QString key = line.left(equals).trimmed();
            written.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key);
        }
    }
    static const QRegularExpression plain(QStringLiteral("^([A-Za-z0-9_]+/)?[A-Za-z0-9_]+$"));
    for (const QString& key : keys) {
        if (!written.contains(key) && plain.match(key).hasMatch())
            return false;
    }
    return true;
}

// Whether every line of an INI file is something the settings reader takes in:
// UTF-8 text of empty lines, whole section headers and key=value lines.
// Anything else (a comment too) the reader passes over, and a rewrite would
// lose it.
static bool readableInFull(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || text.contains(QChar(0)))
        return false;
    bool continued = false; // the line before ended in a backslash
    for (QStringView line : QStringView(text).split(u'\n')) {
        const bool wasContinued = std::exchange(continued, line.trimmed().endsWith(u'\\'));
        line = line.trimmed();
        if (wasContinued || line.isEmpty())
            continue;
        if (line.startsWith(u'[') ? !line.contains(u']') : !line.contains(u'='))
            return false;
    }
    return true;
}

void SettingsStore::SetAsideUnreadableFile() {
    // A file Larkwatch cannot read in full is kept as it was before the
    // first write replaces it with what could be read, so nothing of it is
    // lost; absurd values in a readable file are left for the reader to
    // refuse and stay as they are.
    QFile file(m_filePath);
    if (!file.exists())
        return;
    QString reason;
    if (!file.open(QIODevice::ReadOnly)) {
        // Nothing of it could be read: move it aside whole.
        QFile::remove(SetAsidePath());
        if (!QFile::rename(m_filePath, SetAsidePath()))
            reason = QStringLiteral("it could not be read, nor moved aside");
    } else {
        const QByteArray bytes = file.readAll();
        file.close();
        if (readableInFull(bytes))
            return;
        QSaveFile copy(SetAsidePath());
        if (!copy.open(QIODevice::WriteOnly) ||
            !copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
            copy.write(bytes) != bytes.size() || !copy.commit())
            reason = QStringLiteral("a copy could not be kept: ") + copy.errorString();
    }
    if (reason.isEmpty())
        qWarning("Larkwatch: the settings file %s could not be read in full; it is kept as it "
                 "was in %s",
                 qPrintable(m_filePath), qPrintable(SetAsidePath()));
    else
        qWarning("Larkwatch: the settings file %s could not be read in full and %s",
                 qPrintable(m_filePath), qPrintable(reason));
}

void SettingsStore::Sync() {
    if (!std::exchange(m_changed, false) && m_unwritten.isEmpty())
        return; // nothing to write (a batch that wrote nothing)
    if (!std::exchange(m_fileChecked, true)) {
        SetAsideUnreadableFile();
        // Only one Larkwatch of a user runs, and the settings writer holds
        // its lock only while it writes: a lock file found now was left by a
        // run that was killed while writing. Left in place, an empty one
        // would hold up this write for half a minute.
        QFile::remove(m_filePath + QStringLiteral(".lock"));
    }
    // What an earlier write did not get to disk is written now.
    for (auto it = m_unwritten.cbegin(); it != m_unwritten.cend(); ++it)
        m_settings->setValue(it.key(), it.value());
    QHash<QString, QVariant> wanted;
    for (const QString& key : m_settings->allKeys())
        wanted.insert(key, m_settings->value(key));

    QString reason = EnsurePrivateFile();
    const QByteArray path = QFile::encodeName(m_filePath);
    // The file the write starts from. The settings writer makes its new file
    // beside the old one and renames it over it, so a file this write
    // produced always has another inode.
    struct stat before {};
    const bool existed = reason.isEmpty() && ::stat(path.constData(), &before) == 0;
    // The file as it was, to come back to should the write be cut short: under
    // a second name (a hard link takes no room on the disk), or where no link
    // can be made (a file system without them, something in the way) in
    // memory, to be written back.
    const QByteArray previous = path + ".previous";
    ::unlink(previous.constData());
    const bool kept = existed && ::link(path.constData(), previous.constData()) == 0;
    std::optional<QByteArray> oldBytes;
    if (existed && !kept) {
        QFile old(m_filePath);
        if (old.open(QIODevice::ReadOnly))
            oldBytes = old.readAll();
    }
    if (reason.isEmpty()) {
        // The settings writer's status tells only its first error ever, and
        // a write the disk took only in part passes for a good one: the file
        // itself tells whether this write replaced it, and replaced it whole.
        m_settings->sync();
        struct stat after {};
        const bool replaced =
            ::stat(path.constData(), &after) == 0 &&
            (!existed || after.st_ino != before.st_ino || after.st_dev != before.st_dev);
        QFile written(m_filePath);
        if (!replaced) {
            reason = QStringLiteral("the file could not be replaced");
        } else if (!written.open(QIODevice::ReadOnly) ||
                   !holdsEveryKey(written.readAll(), wanted.keys())) {
            reason = QStringLiteral("the disk took only part of it");
            // Back to the whole file it was, or else to none: the cut-short
            // file is this write's own (an old file is never removed here).
            const bool restored =
                kept ? ::rename(previous.constData(), path.constData()) == 0
                     : oldBytes && ReplacePrivateFile(m_filePath, *oldBytes).isEmpty();
            if (!restored)
                QFile::remove(m_filePath);
        }
    }
    if (kept)
        ::unlink(previous.constData());

    // A full or read-only disk is reported once, not at every write; what the
    // file held stays as it was, and what was set is written by the next
    // write that succeeds.
    if (reason.isEmpty()) {
        m_unwritten.clear();
        m_failureReported = false;
    } else {
        m_unwritten = wanted;
        if (!std::exchange(m_failureReported, true))
            qWarning("Larkwatch: writing the settings file %s failed: %s", qPrintable(m_filePath),
                     qPrintable(reason));
    }
    constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (QFile::exists(m_filePath) && (QFile::permissions(m_filePath) & kOthers))
        QFile::setPermissions(m_filePath, kOwnerOnly);
}
