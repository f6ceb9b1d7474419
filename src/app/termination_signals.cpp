#include "app/termination_signals.h"

#include "engine/mail_engine.h"
#include "main_window/main_window.h"
#include "records/app_state.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the signal handler; -1 while none is set up.
volatile sig_atomic_t g_writeEnd = -1;
int g_readEnd = -1;

extern "C" void onTerminationSignal(int signalNumber) {
    const int savedErrno = errno;
    const int fd = g_writeEnd;
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_writeEnd >= 0) {
        qWarning("Larkwatch: the termination signals are already being handled");
        return;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        qWarning("Larkwatch: cannot watch for termination signals: %s", std::strerror(errno));
        return;
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::ReadPipe);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (const int signalNumber : kSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            qWarning("Larkwatch: cannot handle signal %d: %s", signalNumber, std::strerror(errno));
            m_installed = false;
        }
    }
}

TerminationSignals::~TerminationSignals() {
    if (g_readEnd < 0 || !m_notifier)
        return;
    RestoreDefaults();
    const int writeEnd = g_writeEnd;
    g_writeEnd = -1;
    delete m_notifier;
    ::close(writeEnd);
    ::close(g_readEnd);
    g_readEnd = -1;
}

void TerminationSignals::RestoreDefaults() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

void TerminationSignals::ReadPipe() {
    unsigned char bytes[16];
    ssize_t got;
    QList<int> received;
    while ((got = ::read(g_readEnd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < got; ++i)
            received.append(bytes[i]);
    }
    if (received.isEmpty())
        return;
    RestoreDefaults();
    for (const int signalNumber : received)
        Q_EMIT Received(signalNumber);
}

void EndWindowProgram(MainWindow& window, AppState& state) {
    // A dialog's half-edited data is dropped, as at the end of a session. The
    // window closes once control is back in the event loop, when the dialogs'
    // own loops have ended.
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    QTimer::singleShot(0, &window, [&window, &state] {
        // A check under way asks for no further message (with its connection
        // merely cut, it would go on through every message left, listing each
        // as unreadable); the pass stops after it.
        window.Engine().CancelConnection();
        window.CloseForSessionEnd();
        state.ExitPending = true;
    });
}
