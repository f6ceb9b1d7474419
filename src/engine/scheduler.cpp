#include "engine/scheduler.h"

#include "engine/mail_engine.h"
#include "engine/monitor_host.h"
#include "engine/rule_matching.h"
#include "engine/seen_messages.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"
#include "records/app_state.h"
#include "records/general_options_store.h"

#include <algorithm>
#include <utility>

namespace {
const QString kCaption = QStringLiteral("Larkwatch");
constexpr int kTickMs = 1000;

QString lastTwo(qint64 value) {
    return (QLatin1Char('0') + QString::number(value)).right(2);
}
} // namespace

QString CountdownText(qint32 secondsLeft) {
    return lastTwo(secondsLeft / 60) + QLatin1Char(':') + lastTwo(secondsLeft % 60);
}

Scheduler::Scheduler(AppState& state, AccountTreeModel& tree, MailEngine& engine, MonitorHost& host,
                     QTimer& poolingEvent, QObject* parent)
    : QObject(parent), PoolingEvent(poolingEvent), m_state(state), m_tree(tree), m_engine(engine),
      m_host(host) {
    PoolingEvent.setInterval(kTickMs);
    m_state.CountdownRestarted = [this] { RestartCountdown(); };
}

Scheduler::~Scheduler() {
    m_state.CountdownRestarted = nullptr;
}

void Scheduler::ResetCountdown() {
    PoolingEvent.stop();
    m_state.SecondsLeft = PollSeconds(m_state.PollMinutes);
    if (PoolingEvent.interval() != kTickMs)
        PoolingEvent.setInterval(kTickMs);
}

void Scheduler::RestartCountdown() {
    const bool wasRunning = PoolingEvent.isActive();
    ResetCountdown();
    m_host.SetTimeLeftText(CountdownText(m_state.SecondsLeft));
    if (wasRunning)
        PoolingEvent.start();
}

void Scheduler::PoolingEvent_Timer() {
    // A command that ended while the pass yields (a dialog closed while its
    // sounds play) may have started the timer again: no pass starts inside
    // another, and the pass starts the timer itself when it ends.
    if (m_passRunning) {
        PoolingEvent.stop();
        return;
    }
    --m_state.SecondsLeft;
    m_host.SetTimeLeftText(CountdownText(m_state.SecondsLeft));
    if (m_state.SecondsLeft > 0) {
        if (m_state.ExitPending) {
            PoolingEvent.stop();
            m_host.CloseProgram();
        }
        return;
    }
    if (m_state.AccountCount() == 0) {
        m_state.SecondsLeft = PollSeconds(m_state.PollMinutes);
        return;
    }
    RunPass();
}

void Scheduler::RunPass() {
    const GeneralOptions& options = m_state.AppSettings;
    m_passRunning = true;
    m_host.SetUpdateNowEnabled(false);
    PoolingEvent.stop();
    PoolingEvent.setInterval(kTickMs);
    if (options.RunInTray)
        m_host.SetTrayPicture(TrayPicture::Checking);
    if (m_host.IsMinimized() && !options.RunInTray)
        m_host.SetCaption(kCaption + QStringLiteral(" (checking)"));

    m_state.NewMailCount = 0;
    m_engine.MessagesListed = 0;
    m_engine.FirstSeenCount = 0;

    CheckAllAccounts();

    // The pass's end remembered every message it shows.
    m_host.HideSelection();
    m_host.SetCaption(kCaption);

    if (!m_state.ExitPending) {
        if (NewMailDialogWanted())
            m_host.ShowNewMailDialog(true);
        if (options.RunInTray) {
            const bool announce = m_engine.MessagesListed != 0 &&
                                  (m_engine.FirstSeenCount != 0 || options.AutoDialog);
            m_host.SetTrayPicture(announce ? TrayPicture::NewMail : TrayPicture::NoNewMail);
        }
        if (m_engine.FirstSeenCount > 0)
            m_host.AnnounceNewMail();
        if ((options.PlayWav || options.RandomPlayWAV) && m_engine.FirstSeenCount > 0)
            m_host.PlaySounds(WavFilesForPass(m_state, m_tree));
    }

    m_state.SecondsLeft = SecondsAfterPass();
    // Suspend may have been chosen while the sounds played.
    if (!m_state.MonitoringSuspended)
        PoolingEvent.start();
    m_host.SetUpdateNowEnabled(true);
}

qint32 Scheduler::SecondsAfterPass() {
    m_passRunning = false;
    if (std::exchange(m_freshPassWanted, false))
        return SoonSeconds;
    return PollSeconds(m_state.PollMinutes);
}

void Scheduler::CheckSoon() {
    if (m_state.MonitoringSuspended || m_state.ExitPending)
        return;
    if (m_passRunning) {
        m_freshPassWanted = true;
        m_engine.CancelConnection();
        return;
    }
    m_state.SecondsLeft = std::min(m_state.SecondsLeft, SoonSeconds);
    m_host.SetTimeLeftText(CountdownText(m_state.SecondsLeft));
}

void Scheduler::DropConnection() {
    // A check it cuts short makes CheckAllAccounts ask for the fresh pass.
    m_engine.CancelConnection();
}

// After a pass: an open dialog is refreshed, a closed one shown for new mail.
bool Scheduler::NewMailDialogWanted() const {
    return m_state.AppSettings.AutoDialog &&
           (m_state.NewMailDialogOpen || m_state.NewMailCount >= 1);
}

void Scheduler::CheckAllAccounts() {
    m_engine.BeginPass();
    m_tree.Clear();
    for (int n = 1; n <= m_state.AccountCount(); ++n) {
        const MailAccount& account = m_state.Account(n);
        AddAccountNodeFor(m_tree, account, AccountStatus::Checking);
        m_tree.SetDropHighlight(account.NodeKey);
        m_tree.SetSelectedKey(account.NodeKey);
        if (account.Disabled)
            continue;
        m_state.CurrentAccount = qint16(n);
        m_engine.CheckAccount();
        if (m_state.ExitPending)
            break;
        if (m_engine.CheckCancelled()) {
            // A fresh pass follows in seconds; until then the accounts not
            // reached stand unchecked.
            m_freshPassWanted = true;
            for (int rest = n + 1; rest <= m_state.AccountCount(); ++rest)
                AddAccountNodeFor(m_tree, m_state.Account(rest), AccountStatus::Unchecked);
            break;
        }
    }
    m_engine.EndPass();
}

QStringList WavFilesForPass(const AppState& state, const AccountTreeModel& tree) {
    QStringList files;
    const bool onlyNew = state.AppSettings.AutoMarkRead;
    for (const QString& key : tree.Keys()) {
        const QString tag = tree.Tag(key);
        const bool unacknowledged =
            tree.Image(key) == NodeImage::NewMail && !IsAcknowledgedHeader(state, tag);
        if (unacknowledged || !onlyNew) {
            if (const auto wavFile = MatchWavAction(state, tag))
                files.append(*wavFile);
        }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

void Scheduler::mnuUpdateNow_Click() {
    if (m_passRunning)
        return;
    ResetCountdown();
    m_passRunning = true;
    m_host.BringBackWindow();
    m_engine.MarkAllRead();
    m_engine.AcknowledgeShownMessages();
    CheckAllAccounts();
    if (NewMailDialogWanted())
        m_host.ShowNewMailDialog(false);
    m_engine.AcknowledgeShownMessages();
    m_host.HideSelection();
    const qint32 secondsLeft = SecondsAfterPass();
    if (secondsLeft != m_state.SecondsLeft) {
        m_state.SecondsLeft = secondsLeft;
        m_host.SetTimeLeftText(CountdownText(secondsLeft));
    }
    PoolingEvent.start();
}

void Scheduler::mnuSuspend_Click() {
    PoolingEvent.stop();
    m_state.MonitoringSuspended = true;
    if (m_state.AppSettings.RunInTray)
        m_host.SetTrayPicture(TrayPicture::Suspended);
    m_host.SetCaption(kCaption + QStringLiteral(" (Suspended)"));
    m_host.UpdateMenus();
    m_host.HideSelection();
}

void Scheduler::mnuResume_Click() {
    PoolingEvent.start();
    m_state.MonitoringSuspended = false;
    if (m_state.AppSettings.RunInTray)
        m_host.SetTrayPicture(TrayPicture::NoNewMail);
    m_host.SetCaption(kCaption);
    m_host.UpdateMenus();
}
