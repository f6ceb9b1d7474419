#pragma once

#include "engine/pop/pop_header_cache.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QThread;

// Keeps the POP client's header memory in the file "headers.dat" of the data
// folder from one run to the next, so a restart reads no header it has read
// before. The file is read and written on a thread of its own, so a large
// memory never holds up the event loop: Load() starts the reading, and
// WaitLoaded() (which yields to the event loop) hands the entries to the
// cache. SaveIfChanged() writes a copy of the cache in the background;
// the destructor waits for the last write. The file is owner-only and
// replaced whole; a damaged one is ignored with a warning.
class HeaderMemory : public QObject {
    Q_OBJECT
public:
    // An empty path keeps the memory in the process only.
    HeaderMemory(const QString& path, PopHeaderCache& cache, QObject* parent = nullptr);
    ~HeaderMemory() override;

    static QString FileName() { return QStringLiteral("headers.dat"); }

    void Load();
    void WaitLoaded();
    void SaveIfChanged();
    // Waits (yielding to the event loop) until no write is running or due.
    void WaitSaved();

private:
    struct Job;
    void StartSave();
    void OnSaved(std::shared_ptr<Job> job); // by value: the caller may pass m_saveJob

    QString m_path;
    PopHeaderCache& m_cache;
    QPointer<QThread> m_loader;
    std::shared_ptr<Job> m_loadJob;
    QPointer<QThread> m_saver;
    std::shared_ptr<Job> m_saveJob;
    bool m_loaded = false;
    bool m_saveDue = false;
    quint64 m_savedRevision = 0;
    bool m_failureReported = false;
};
