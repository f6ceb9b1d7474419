#pragma once

#include <QHash>
#include <QSettings>
#include <QVariant>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The per-user settings tree of Larkwatch: (section, key) -> text, kept in an
// INI file that only its owner may read (it holds the account passwords).
// Every value is written and read as plain text; a key is never deleted.
//
// Writes go to disk at once. A save operation that writes many keys wraps them
// in a Batch so the file is written once, when the batch ends.
class SettingsStore {
public:
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The file the platform gives Larkwatch's per-user settings.
    static QString StandardFilePath();

    QString ReadSetting(const QString& section, const QString& key,
                        const QString& defaultValue) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

    // The keys the section holds, in no particular order.
    QStringList Keys(const QString& section) const;

    // Typed reads: the default is used for an absent key and for text that is
    // not of the expected form or does not fit the range.
    bool ReadBoolean(const QString& section, const QString& key, bool defaultValue) const;
    qint64 ReadWhole(const QString& section, const QString& key, qint64 defaultValue, qint64 min,
                     qint64 max) const;
    // A list count: a whole number from 0 to 32766, anything else reads as 0.
    qint16 ReadCount(const QString& section, const QString& key) const;
    // Absent, empty or unreadable: nothing.
    std::optional<float> ReadReal(const QString& section, const QString& key) const;

    QString FilePath() const { return m_filePath; }
    // True when the file holds every value set so far (no write has failed
    // since the last good one). Meaningful outside a batch.
    bool AllWritten() const { return m_unwritten.isEmpty() && !m_changed; }

    class Batch {
    public:
        explicit Batch(SettingsStore& store) : m_store(store) { ++m_store.m_batchDepth; }
        ~Batch() {
            if (--m_store.m_batchDepth == 0)
                m_store.Sync();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SettingsStore& m_store;
    };

    // Where the settings file is set aside, as it was, before Larkwatch first
    // writes over a file it could not read in full.
    QString SetAsidePath() const { return m_filePath + QStringLiteral(".unreadable"); }

private:
    void Sync();
    // Empty, or why the file could not be made.
    QString EnsurePrivateFile();
    void SetAsideUnreadableFile();

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
    int m_batchDepth = 0;
    bool m_changed = false;               // a value was set since the last write
    bool m_fileChecked = false;           // the file was looked at before the first write
    bool m_failureReported = false;       // a failed write was reported; cleared by a good one
    QHash<QString, QVariant> m_unwritten; // every value, while a write has failed
};
