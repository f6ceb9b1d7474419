#include "engine/header_memory.h"

#include "engine/pop/pop_header_file.h"
#include "records/private_file.h"

#include <QEventLoop>
#include <QFile>
#include <QThread>

struct HeaderMemory::Job {
    PopHeaderCache Cache;
    quint64 Revision = 0;
    QString Error; // empty when the file was read or written
};

namespace {

void ReadFile(const QString& path, PopHeaderCache* cache, QString* error) {
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return;
    }
    DecodeHeaderMemory(file.readAll(), cache, error);
}

void WriteFile(const QString& path, const PopHeaderCache& cache, QString* error) {
    if (cache.Size() == 0) {
        if (QFile::exists(path) && !QFile::remove(path))
            *error = QStringLiteral("cannot remove %1").arg(path);
        return;
    }
    *error = ReplacePrivateFile(path, EncodeHeaderMemory(cache));
}

// Yields to the event loop until `thread` has finished.
void WaitFor(QThread* thread) {
    if (!thread || thread->isFinished())
        return;
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    if (!thread->isFinished())
        loop.exec();
}

} // namespace

HeaderMemory::HeaderMemory(const QString& path, PopHeaderCache& cache, QObject* parent)
    : QObject(parent), m_path(path), m_cache(cache) {}

HeaderMemory::~HeaderMemory() {
    if (m_loader)
        m_loader->wait();
    m_saveDue = false; // written below, here, rather than on a thread of its own
    if (m_saver) {
        m_saver->wait();
        OnSaved(m_saveJob);
    }
    if (!m_path.isEmpty() && m_loaded && m_cache.Revision() != m_savedRevision) {
        QString error;
        WriteFile(m_path, m_cache, &error);
        if (!error.isEmpty() && !m_failureReported)
            qWarning("Larkwatch: header memory not saved: %s", qPrintable(error));
    }
}

void HeaderMemory::Load() {
    if (m_loaded || m_loadJob)
        return;
    if (m_path.isEmpty()) {
        m_loaded = true;
        m_savedRevision = m_cache.Revision();
        return;
    }
    auto job = std::make_shared<Job>();
    m_loadJob = job;
    QThread* thread =
        QThread::create([job, path = m_path] { ReadFile(path, &job->Cache, &job->Error); });
    m_loader = thread;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void HeaderMemory::WaitLoaded() {
    if (m_loaded)
        return;
    Load();
    if (m_loaded)
        return;
    WaitFor(m_loader);
    if (m_loader)
        m_loader->wait(); // finished has been emitted; the thread is ending
    const std::shared_ptr<Job> job = std::exchange(m_loadJob, nullptr);
    m_loaded = true;
    if (!job->Error.isEmpty())
        qWarning("Larkwatch: header memory file %s ignored: %s", qPrintable(m_path),
                 qPrintable(job->Error));
    else if (m_cache.Size() == 0)
        m_cache = job->Cache;
    m_savedRevision = m_cache.Revision();
}

void HeaderMemory::SaveIfChanged() {
    if (m_path.isEmpty() || !m_loaded || m_cache.Revision() == m_savedRevision)
        return;
    if (m_saver) {
        m_saveDue = true;
        return;
    }
    StartSave();
}

void HeaderMemory::StartSave() {
    auto job = std::make_shared<Job>();
    job->Cache = m_cache; // shares the entries; the cache copies them when it changes
    job->Revision = m_cache.Revision();
    m_saveJob = job;
    QThread* thread =
        QThread::create([job, path = m_path] { WriteFile(path, job->Cache, &job->Error); });
    m_saver = thread;
    connect(thread, &QThread::finished, this, [this, job] { OnSaved(job); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void HeaderMemory::OnSaved(std::shared_ptr<Job> job) {
    if (!job || job != m_saveJob)
        return; // handled already
    m_saveJob = nullptr;
    m_saver = nullptr;
    if (job->Error.isEmpty()) {
        m_savedRevision = job->Revision;
        m_failureReported = false;
    } else if (!m_failureReported) {
        qWarning("Larkwatch: header memory not saved: %s", qPrintable(job->Error));
        m_failureReported = true;
    }
    if (std::exchange(m_saveDue, false))
        SaveIfChanged();
}

void HeaderMemory::WaitSaved() {
    while (m_saver) {
        QThread* thread = m_saver;
        WaitFor(thread);
        if (m_saver == thread) {
            thread->wait();
            OnSaved(m_saveJob); // the queued call then finds it handled
        }
    }
}
