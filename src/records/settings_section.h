#pragma once

#include "records/settings_keys.h"

#include <QString>
#include <optional>

class SettingsStore;

// One section of the settings file, read or written key by key through the
// key tables: each key in its own form, with its own default. position is the
// entry's number for a list key (appended to the stem), 0 for a plain key.
class SectionReader {
public:
    SectionReader(const SettingsStore& store, const char* section);

    bool Read(const BooleanKey& key, int position = 0) const;
    qint64 Read(const WholeKey& key, int position = 0) const;
    QString Read(const TextKey& key, int position = 0) const;
    // Text whose default depends on where Larkwatch keeps its files.
    QString ReadOr(const TextKey& key, const QString& defaultValue) const;
    qint16 Read(const CountKey& key) const;
    // Absent or unreadable: nothing, whatever the key's default.
    std::optional<qint64> Find(const WholeKey& key) const;
    std::optional<float> Find(const RealKey& key) const;

private:
    const SettingsStore& m_store;
    const QString m_section;
};

// Each write goes to disk at once unless a SettingsStore::Batch is open.
class SectionWriter {
public:
    SectionWriter(SettingsStore& store, const char* section);

    void Write(const BooleanKey& key, bool value, int position = 0);
    void Write(const WholeKey& key, qint64 value, int position = 0);
    void Write(const TextKey& key, const QString& value, int position = 0);
    void Write(const RealKey& key, float value);
    void Write(const CountKey& key, qint64 count);

private:
    SettingsStore& m_store;
    const QString m_section;
};
