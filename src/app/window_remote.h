#pragma once

#include <QJsonObject>
#include <QString>

class MainWindow;

// What other programs ask of the running window (over the session bus, from
// the desktop's notification), each done as the window's own command does it
// and only when that command could run now: not while a check talks to a
// server, nor while a dialog of the program waits for an answer.
class WindowRemote {
public:
    explicit WindowRemote(MainWindow& window) : m_window(window) {}

    // Why no command may run now ("Larkwatch is checking for mail.", "A
    // Larkwatch dialog is open."); empty when one may.
    QString Refusal() const;
    // Monitoring > Update Now, once control is back in the event loop (the
    // caller has its answer first). Returns the refusal, empty when the
    // check was started.
    QString CheckNow();
    // Brings the window back as the new-mail dialog's View Mail does: in its
    // recorded state, shown again if hidden in the tray. Always allowed.
    void Show();
    // Every message on display counts as acknowledged, as when the window is
    // minimised: the new-mail pictures go, and with them the tray's count.
    // Returns the refusal, empty when done.
    QString MarkAllRead();
    // The last pass as `larkwatch --check --json` prints it, with
    // newMailCount, secondsLeft, suspended and checking.
    QJsonObject Status() const;

private:
    bool Checking() const;

    MainWindow& m_window;
};
