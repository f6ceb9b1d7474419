#pragma once

#include <csignal>
#include <sys/resource.h>

// A full disk for the code under test: while this object lives, no file of
// the process may grow past `maxBytes`, and a write beyond that fails (EFBIG)
// as it would on a full disk, even for root. SIGXFSZ, which the kernel sends
// on such a write and which would end the process, is ignored meanwhile. The
// limit and the signal's handling are restored on destruction.
//
//     {
//         FileSizeLimit fullDisk(1024);
//         QVERIFY(fullDisk.Active());
//         ok = SaveHistory(state, &reason);
//     }
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t maxBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set; nothing is changed then.
    bool Active() const { return m_active; }

private:
    struct rlimit m_savedLimit {};
    struct sigaction m_savedAction {};
    bool m_active = false;
};
