#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class AppState;
class AccountTreeModel;
class MailEngine;
class MonitorHost;

// The countdown text "mm:ss" for a number of seconds left; minutes above 99
// show their last two digits.
QString CountdownText(qint32 secondsLeft);

// The sound files a pass plays for the messages on display: the files of the
// WAV actions matching them (only unacknowledged new ones with AutoMarkRead),
// each distinct file once, in ordinal order. Empty: play the configured sound.
QStringList WavFilesForPass(const AppState& state, const AccountTreeModel& tree);

// Runs a pass over all accounts every PollMinutes, shows the time left, and
// announces new mail after each pass. Also the Monitoring menu's commands.
class Scheduler : public QObject {
    Q_OBJECT
public:
    // poolingEvent: the one-second timer; its owner routes each tick to
    // PoolingEvent_Timer.
    Scheduler(AppState& state, AccountTreeModel& tree, MailEngine& engine, MonitorHost& host,
              QTimer& poolingEvent, QObject* parent = nullptr);
    ~Scheduler() override;

    QTimer& PoolingEvent;

    // Neither a tick nor Update Now starts a pass while one runs: each does
    // nothing then (a tick stops the timer, which the pass starts at its end).
    void PoolingEvent_Timer();
    void mnuUpdateNow_Click();
    void mnuSuspend_Click();
    void mnuResume_Click();
    void ResetCountdown();
    // Saving the general options starts a fresh full interval: the timer is
    // stopped, the countdown set from PollMinutes and shown, and the timer
    // given back the running state it had. Hooked into
    // AppState::CountdownRestarted for as long as the scheduler lives.
    void RestartCountdown();
    // One pass as a timer tick runs it, from the clearing of the tree to the
    // restart of the countdown.
    void RunPass();

    // How soon a fresh check follows a resume or the network's return.
    static constexpr qint32 SoonSeconds = 5;
    // Fresh mail state is wanted soon (the machine woke, the network came
    // back). Unless monitoring is suspended or the program is closing: the
    // countdown is brought down to SoonSeconds and shown, the timer keeping
    // its state (a command that stopped it starts it again when it ends); a
    // pass in progress has its connection ended and is followed by a fresh
    // one SoonSeconds after it. Several calls before that pass give one pass.
    void CheckSoon();
    // The connection the POP client holds was open across a suspend, or is
    // about to be: it is ended at once, and a pass it cuts short is followed
    // by a fresh one SoonSeconds after it.
    void DropConnection();

private:
    void CheckAllAccounts();
    bool NewMailDialogWanted() const;
    // The countdown after a pass: the full interval, or SoonSeconds when the
    // pass was cut short for a fresh one.
    qint32 SecondsAfterPass();

    AppState& m_state;
    AccountTreeModel& m_tree;
    MailEngine& m_engine;
    MonitorHost& m_host;
    bool m_passRunning = false;
    bool m_freshPassWanted = false;
};
