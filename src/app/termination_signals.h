#pragma once

#include <QObject>

class AppState;
class MainWindow;
class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a log-out, `kill`, Ctrl-C in a terminal, a
// closed terminal) as a Qt signal from the event loop. The signal handler
// only writes the signal's number into a pipe; the event loop reads it there
// and emits Received, so nothing but that one write happens inside the
// handler. After the first one the signals get their default action again,
// so a program that does not end when asked can still be ended by a second.
//
// The handler reaches the pipe through one descriptor of this file: only one
// TerminationSignals may exist at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up (reported with
    // qWarning); the signals then keep their default action.
    bool Installed() const { return m_installed; }

Q_SIGNALS:
    void Received(int signalNumber);

private:
    void ReadPipe();
    void RestoreDefaults();

    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

// Ends the window program as the end of the desktop session does: dialogs
// left open are dismissed, then the window unloads without the exit question
// (window placement, acknowledging the mail on display, the history file). A
// check running at that moment is cut off and the pass goes no further.
void EndWindowProgram(MainWindow& window, AppState& state);
