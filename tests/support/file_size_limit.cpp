#include "support/file_size_limit.h"

FileSizeLimit::FileSizeLimit(rlim_t maxBytes) {
    if (getrlimit(RLIMIT_FSIZE, &m_savedLimit) != 0)
        return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGXFSZ, &ignore, &m_savedAction) != 0)
        return;
    struct rlimit small = m_savedLimit;
    small.rlim_cur = maxBytes;
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
        sigaction(SIGXFSZ, &m_savedAction, nullptr);
        return;
    }
    m_active = true;
}

FileSizeLimit::~FileSizeLimit() {
    if (!m_active)
        return;
    // The limit first: with it gone, no write can raise the signal any more.
    setrlimit(RLIMIT_FSIZE, &m_savedLimit);
    sigaction(SIGXFSZ, &m_savedAction, nullptr);
}
