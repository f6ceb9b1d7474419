#include "records/settings_store.h"

#include "records/value_forms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

static constexpr QFileDevice::Permissions kOwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

SettingsStore::SettingsStore(const QString& filePath)
    : m_filePath(filePath),
      m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

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
    if (m_batchDepth == 0)
        Sync();
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

void SettingsStore::EnsurePrivateFile() {
    // Create the file owner-only before anything is written to it, so the
    // passwords are never readable by others, not even for a moment.
    QFileInfo info(m_filePath);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(m_filePath);
        if (!file.open(QIODevice::WriteOnly, kOwnerOnly))
            qWarning("Cannot create the settings file %s: %s", qPrintable(m_filePath),
                     qPrintable(file.errorString()));
    }
}

void SettingsStore::Sync() {
    EnsurePrivateFile();
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qWarning("Writing the settings file %s failed", qPrintable(m_filePath));
    constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (QFile::exists(m_filePath) && (QFile::permissions(m_filePath) & kOthers))
        QFile::setPermissions(m_filePath, kOwnerOnly);
}
