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

private:
    void CheckAllAccounts();
    bool NewMailDialogWanted() const;

    AppState& m_state;
    AccountTreeModel& m_tree;
    MailEngine& m_engine;
    MonitorHost& m_host;
};
