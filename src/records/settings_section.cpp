#include "records/settings_section.h"

#include "records/settings_store.h"
#include "records/value_forms.h"

static QString keyName(const char* name, int position) {
    QString key = QLatin1String(name);
    if (position > 0)
        key += QString::number(position);
    return key;
}

SectionReader::SectionReader(const SettingsStore& store, const char* section)
    : m_store(store), m_section(QLatin1String(section)) {}

bool SectionReader::Read(const BooleanKey& key, int position) const {
    return m_store.ReadBoolean(m_section, keyName(key.Name, position), key.Default);
}

qint64 SectionReader::Read(const WholeKey& key, int position) const {
    return m_store.ReadWhole(m_section, keyName(key.Name, position), key.Default, key.Min, key.Max);
}

QString SectionReader::Read(const TextKey& key, int position) const {
    return m_store.ReadSetting(m_section, keyName(key.Name, position), DefaultText(key));
}

QString SectionReader::ReadOr(const TextKey& key, const QString& defaultValue) const {
    return m_store.ReadSetting(m_section, keyName(key.Name, 0), defaultValue);
}

qint16 SectionReader::Read(const CountKey& key) const {
    return m_store.ReadCount(m_section, keyName(key.Name, 0));
}

std::optional<qint64> SectionReader::Find(const WholeKey& key) const {
    return ValueForms::ParseWhole(m_store.ReadSetting(m_section, keyName(key.Name, 0), QString()),
                                  key.Min, key.Max);
}

std::optional<float> SectionReader::Find(const RealKey& key) const {
    return m_store.ReadReal(m_section, keyName(key.Name, 0));
}

SectionWriter::SectionWriter(SettingsStore& store, const char* section)
    : m_store(store), m_section(QLatin1String(section)) {}

void SectionWriter::Write(const BooleanKey& key, bool value, int position) {
    m_store.WriteSetting(m_section, keyName(key.Name, position), ValueForms::FormatBoolean(value));
}

void SectionWriter::Write(const WholeKey& key, qint64 value, int position) {
    m_store.WriteSetting(m_section, keyName(key.Name, position), ValueForms::FormatWhole(value));
}

void SectionWriter::Write(const TextKey& key, const QString& value, int position) {
    m_store.WriteSetting(m_section, keyName(key.Name, position), value);
}

void SectionWriter::Write(const RealKey& key, float value) {
    m_store.WriteSetting(m_section, keyName(key.Name, 0), ValueForms::FormatReal(value));
}

void SectionWriter::Write(const CountKey& key, qint64 count) {
    m_store.WriteSetting(m_section, keyName(key.Name, 0), ValueForms::FormatWhole(count));
}
