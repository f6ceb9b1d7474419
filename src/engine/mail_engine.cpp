#include "engine/mail_engine.h"

#include "engine/monitor_host.h"
#include "engine/header_text.h"
#include "engine/history_file.h"
#include "engine/oauth_access.h"
#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "engine/rule_matching.h"
#include "engine/seen_messages.h"
#include "engine/size_format.h"
#include "tree/account_tree_model.h"
#include "records/account_store.h"
#include "records/app_state.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <utility>

namespace {
constexpr int kMaxMessageKeys = 32766;

void raise(qint16& counter) {
    if (counter < std::numeric_limits<qint16>::max())
        ++counter;
}
} // namespace

MailEngine::MailEngine(AppState& state, AccountTreeModel& tree, PopClient& pop, MonitorHost& host,
                       QObject* parent)
    : QObject(parent), m_state(state), m_tree(tree), m_pop(pop), m_host(host),
      m_headerMemory(state.Paths.DataFolder.isEmpty()
                         ? QString()
                         : state.Paths.DataFolder + HeaderMemory::FileName(),
                     pop.HeaderCache()) {
    m_headerMemory.Load(); // read while the program starts; the first check waits for it
    connect(&m_pop, &PopClient::DocOutput, this, &MailEngine::POP_DocOutput);
    connect(&m_pop, &PopClient::MessageSize, this, &MailEngine::POP_MessageSize);
    connect(&m_pop, &PopClient::Delete, this, &MailEngine::POP_Delete);
}

void MailEngine::POP_DocOutput(const PopDocument& document) {
    switch (document.State) {
    case PopDocument::HeadersReady:
        m_headerBuffer = BuildHeaderText(document.Headers);
        break;
    case PopDocument::DataReady:
        if (m_state.ViewingMessage)
            m_state.ViewedText += document.GetData();
        break;
    case PopDocument::Failed:
        m_headerBuffer.clear();
        break;
    default:
        break;
    }
}

void MailEngine::POP_MessageSize(qint32 size) {
    m_reportedSize = size;
}

void MailEngine::POP_Delete() {
    m_deleteConfirmed = 1;
}

// Yields to the event loop while the component works, then reads its outcome.
// The component always ends an operation and emits its event before it stops
// being busy, so an outcome that is neither success nor failure once it is idle
// can only be a failure; waiting on would never end.
template <typename Success> bool MailEngine::Succeeded(Success success) {
    WaitUntilIdle(m_pop);
    return success();
}

bool MailEngine::LoggedOnAndIdle() const {
    return ::LoggedOnAndIdle(m_pop);
}

bool MailEngine::ConnectionGone() const {
    return ::ConnectionGone(m_pop);
}

void MailEngine::NoteAccountError(const QString& key, const QString& error) {
    if (error.isEmpty())
        return;
    AccountErrors.insert(key, error);
    m_tree.SetToolTip(key, error);
}

void MailEngine::SetStatus(const QString& key, const QString& title, const QString& status) {
    m_tree.SetText(key, title + status);
}

QString MailEngine::NewMessageKey() {
    // Random keys as designed while free ones are easy to find; a full scan
    // from a random start afterwards, so a crowded tree never loops for ever.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QString candidate =
            QLatin1Char('C') + QString::number(int(m_state.Rnd() * kMaxMessageKeys + 1));
        if (!m_tree.HasNode(candidate))
            return candidate;
    }
    const int start = int(m_state.Rnd() * kMaxMessageKeys);
    for (int offset = 0; offset < kMaxMessageKeys; ++offset) {
        const QString candidate =
            QLatin1Char('C') + QString::number((start + offset) % kMaxMessageKeys + 1);
        if (!m_tree.HasNode(candidate))
            return candidate;
    }
    return QString();
}

void MailEngine::CheckAccount() {
    m_checkCancelled = false;
    if (m_state.MonitoringSuspended)
        return;
    const QString accountKey = m_tree.DropHighlight();
    if (accountKey.isEmpty())
        return;
    const qint16 position = FindAccountByKey(m_state, accountKey);
    if (position == 0)
        return;
    const int titleFrom =
        m_state.CurrentAccount >= 1 && m_state.CurrentAccount <= m_state.AccountCount()
            ? m_state.CurrentAccount
            : position;
    const QString title = m_state.Account(titleFrom).Title;
    m_state.CurrentAccount = position;
    const MailAccount& account = m_state.Account(position);
    if (account.Disabled)
        return;

    // Reports of nodes an earlier pass showed go: a long run keeps only those on display.
    Reports.removeIf(
        [this](QHash<QString, MessageReport>::iterator it) { return !m_tree.HasNode(it.key()); });

    m_checkRunning = true;
    m_host.SetBusyCursor(true);
    m_host.SetTopMenusEnabled(false);
    AccountErrors.remove(accountKey);
    UntrustedCertificates.remove(accountKey);
    m_tree.SetToolTip(accountKey, QString());

    // A check that ends before the server is asked.
    auto endUnasked = [&](const QString& status, const QString& reason) {
        m_tree.SetExpanded(accountKey, false);
        SetStatus(accountKey, title, status);
        NoteAccountError(accountKey, reason);
        RememberCheckedAccount(accountKey, account, -1);
        m_host.SetTopMenusEnabled(true);
        m_host.SetBusyCursor(false);
        m_checkRunning = false;
    };
    QString secret = account.Password;
    if (account.UsesOAuth()) {
        if (account.Security == Security::None) {
            // A token is as good as a password while it lives.
            endUnasked(AccountStatus::ErrorConnecting,
                       QStringLiteral("OAuth2 needs a TLS connection (STARTTLS or TLS)"));
            return;
        }
        SetStatus(accountKey, title, AccountStatus::Connecting);
        const AccessTokenOutcome access =
            TakeAccessToken(m_state, m_state.Account(position), m_network);
        if (access.Result != AccessTokenOutcome::Outcome::Ready) {
            endUnasked(access.Result == AccessTokenOutcome::Outcome::SignInNeeded
                           ? AccountStatus::SignInNeeded
                           : AccountStatus::ErrorConnecting,
                       access.Reason);
            return;
        }
        if (access.RefreshTokenChanged)
            SaveAccounts(m_state);
        secret = access.Token;
    } else if (!account.PasswordProblem.isEmpty()) {
        // The settings file points at a keyring entry that could not be read:
        // with no password to log on with, the server is not asked.
        endUnasked(AccountStatus::BadLogon, account.PasswordProblem);
        return;
    }

    m_headerMemory.WaitLoaded();
    m_pop.ServerHost = account.Host;
    m_pop.ServerPort = account.Port;
    m_pop.UserName = account.User;
    m_pop.UserPassword = secret;
    m_pop.BearerToken = account.UsesOAuth();
    m_pop.Security = account.Security;
    m_pop.CertSHA256 = account.CertSHA256;
    qint16 listedCount = -1; // the messages the server reported, once logged on
    QList<MarkedDeletion> markedForDeletion;

    m_tree.SetExpanded(accountKey, false);
    SetStatus(accountKey, title, AccountStatus::Connecting);
    m_pop.Connect();
    const bool connected = Succeeded([this] {
        return m_pop.LogonState() == PopClient::Connected &&
               m_pop.ConnectionState() == PopClient::ConnectionIdle;
    });
    if (!connected) {
        SetStatus(accountKey, title, AccountStatus::ErrorConnecting);
        NoteAccountError(accountKey, m_pop.LastError());
        if (const QString untrusted = m_pop.UntrustedCertificateSHA256(); !untrusted.isEmpty())
            UntrustedCertificates.insert(accountKey, untrusted);
        if (m_state.AppSettings.AutoExit && !m_checkCancelled) {
            // The program is about to close: the menus stay as they are.
            m_state.ExitPending = true;
            CloseConnection();
            m_host.SetBusyCursor(false);
            m_checkRunning = false;
            return;
        }
    } else {
        SetStatus(accountKey, title, AccountStatus::Connected);
        SetStatus(accountKey, title, AccountStatus::Verifying);
        m_pop.Authenticate();
        if (!Succeeded([this] { return LoggedOnAndIdle(); })) {
            SetStatus(accountKey, title, AccountStatus::BadLogon);
            NoteAccountError(accountKey, m_pop.LastError());
            if (account.UsesOAuth())
                DropAccessToken(m_state, account); // the next check asks for a fresh one
        } else {
            SetStatus(accountKey, title, AccountStatus::Passed);
            const qint16 count = m_pop.MessageCount();
            listedCount = count;
            if (count == 0) {
                SetStatus(accountKey, title, AccountStatus::NoMessages);
            } else {
                SetStatus(accountKey, title,
                          QStringLiteral(" --- %1 message%2")
                              .arg(count)
                              .arg(count > 1 ? QStringLiteral("s") : QString()));
                MailLog log;
                log.Open(m_state.AppSettings, title); // does nothing while logging is off
                markedForDeletion = CheckMessages(accountKey, title, log);
                log.Close();
                // A log that could not be written leaves the check going; the
                // reason shows on the account node.
                NoteAccountError(accountKey, log.ErrorText());
            }
        }
    }
    const bool wholeMailbox = listedCount >= 0 && m_pop.ListingsAgree() && !m_checkCancelled;
    CloseConnection();
    SettleDeletions(accountKey, markedForDeletion);
    if (m_checkCancelled)
        NoteAccountError(accountKey, QStringLiteral("The connection was ended to check afresh."));
    // Headers of messages gone from the server are forgotten only after a
    // check that saw the whole mailbox.
    if (wholeMailbox)
        m_pop.PruneHeaderCache();
    m_headerMemory.SaveIfChanged();
    RememberCheckedAccount(accountKey, account, wholeMailbox ? listedCount : -1);
    m_host.SetTopMenusEnabled(true);
    m_host.SetBusyCursor(false);
    m_checkRunning = false;
}

QList<MailEngine::MarkedDeletion> MailEngine::CheckMessages(const QString& accountKey,
                                                            const QString& title, MailLog& log) {
    QList<MarkedDeletion> markedForDeletion;
    // A failed step keeps the component's reason for the account's tool tip.
    auto failMessage = [&](const QString& key, const QString& text) {
        m_tree.SetText(key, text);
        if (!m_pop.LastError().isEmpty())
            NoteAccountError(accountKey, m_pop.LastError());
    };
    qint16 displayNumber = 0;
    qint64 total = 0;
    const qint16 count = m_pop.MessageCount();
    for (qint16 number = 1; number >= 1 && number <= count && !m_checkCancelled; ++number) {
        ++displayNumber;
        QString label = QStringLiteral("#%1 --- ").arg(displayNumber);
        const QString key = NewMessageKey();
        if (key.isEmpty()) {
            SetStatus(accountKey, title, AccountStatus::TooManyMessages);
            return markedForDeletion;
        }
        m_tree.AddMessageNode(accountKey, key, label, NodeImage::NewMail);
        if (m_state.AppSettings.AutoExpand) {
            m_tree.SetExpanded(accountKey, true);
            m_tree.EnsureVisible(key);
        }
        m_tree.SetTag(key, QString());
        MessageReport& report = Reports[key];
        report = MessageReport{};
        report.Number = displayNumber;

        if (ConnectionGone()) {
            m_tree.SetText(key, label + MessageStatus::InvalidMessage);
            continue;
        }

        m_reportedSize = -1;
        m_pop.RequestMessageSize(number);
        if (!Succeeded([&] { return LoggedOnAndIdle() && m_reportedSize > 0; })) {
            failMessage(key, label + MessageStatus::InvalidMessage);
            continue;
        }
        report.Size = m_reportedSize;
        total += m_reportedSize;
        label += FormatByteCount(m_reportedSize) + QStringLiteral(" bytes --- ");
        m_tree.SetText(key, label);

        m_headerBuffer.clear();
        m_pop.RetrieveHeaders(number);
        const bool headerRead =
            Succeeded([&] { return LoggedOnAndIdle() && !m_headerBuffer.isEmpty(); });
        // Read with the header: the later message commands check by it that
        // the number still names this message.
        m_tree.SetUniqueId(key, m_pop.UniqueId(number));
        if (!headerRead) {
            failMessage(key, label + MessageStatus::HeaderError);
            continue;
        }
        const QString header = m_headerBuffer;
        const QString subject = GetHeaderLine(QStringLiteral("Subject : "), header);
        const QString from = GetHeaderLine(QStringLiteral("From : "), header);
        m_tree.SetText(key, label + subject + QStringLiteral(" --- ") + from);
        m_tree.SetTag(key, header);
        report.Subject = subject.mid(10);
        report.From = from.mid(7);

        const bool remove = MatchFilters(m_state, header);
        raise(MessagesListed);
        if (remove) {
            m_tree.SetText(key,
                           MessageStatus::DeletedPrefix + subject + QStringLiteral(" --- ") + from);
            m_tree.SetImage(key, NodeImage::Deleted);
            m_deleteConfirmed = -1;
            m_pop.DeleteMessage(number);
            Succeeded([&] { return LoggedOnAndIdle() && m_deleteConfirmed == 1; });
            --displayNumber;
            if (m_deleteConfirmed == -1)
                failMessage(key, label + MessageStatus::DeleteError);
            else
                markedForDeletion.append({key, label});
        } else if (IsSeenHeader(m_state, header)) {
            if (IsAcknowledgedHeader(m_state, header))
                m_tree.SetImage(key, NodeImage::Mail);
            else
                raise(m_state.NewMailCount);
            report.Outcome = MessageOutcome::Known;
        } else {
            log.WriteEntry(header);
            raise(FirstSeenCount);
            raise(m_state.NewMailCount);
            report.Outcome = MessageOutcome::FirstSeen;
        }
    }
    m_tree.SetText(accountKey, m_tree.Text(accountKey) + QStringLiteral(" --- Totaling ") +
                                   FormatByteCount(total) + QStringLiteral(" bytes."));
    return markedForDeletion;
}

void MailEngine::SettleDeletions(const QString& accountKey,
                                 const QList<MarkedDeletion>& markedForDeletion) {
    if (markedForDeletion.isEmpty())
        return;
    if (!m_pop.QuitAccepted()) {
        for (const MarkedDeletion& marked : markedForDeletion)
            m_tree.SetText(marked.Key, marked.Label + MessageStatus::DeleteError);
        NoteAccountError(accountKey, m_pop.LastError());
        return;
    }
    for (const MarkedDeletion& marked : markedForDeletion)
        Reports[marked.Key].Outcome = MessageOutcome::Deleted;
}

void MailEngine::CancelConnection() {
    if (m_checkRunning)
        m_checkCancelled = true;
    if (m_pop.Busy() || !ConnectionGone())
        m_pop.Cancel();
}

void MailEngine::CloseConnection() {
    if (m_pop.Busy())
        m_pop.Cancel();
    else if (m_pop.ConnectionState() != PopClient::ConnectionClosed)
        m_pop.Quit();
    WaitUntilIdle(m_pop);
}

void MailEngine::RememberCheckedAccount(const QString& accountKey, const MailAccount& account,
                                        qint16 listedCount) {
    // The check listed the whole mailbox when every message the server
    // reported has its node and its header; only then may the seen list forget
    // the mailbox's messages it did not find.
    const QStringList tags = m_tree.ChildTags(accountKey);
    const bool everyHeader =
        tags.size() == listedCount &&
        std::none_of(tags.begin(), tags.end(), [](const QString& tag) { return tag.isEmpty(); });
    if (m_passRunning) {
        m_checkedInPass.append({account, tags, everyHeader});
        return;
    }
    ::RememberCheckedMessages(m_state, account, tags, everyHeader);
    SaveHistoryIfChanged(m_state);
}

void MailEngine::BeginPass() {
    m_passRunning = true;
    m_checkedInPass.clear();
}

void MailEngine::EndPass() {
    m_passRunning = false;
    for (const CheckedMailbox& checked : std::exchange(m_checkedInPass, {}))
        ::RememberCheckedMessages(m_state, checked.Account, checked.Tags, checked.Whole);
    // Over many thousands of messages remembering and saving take tens of
    // milliseconds each: the window gets its turn between them.
    QCoreApplication::processEvents();
    SaveHistoryIfChanged(m_state);
}

QStringList MailEngine::MessageTags() const {
    QStringList tags;
    for (const QString& key : m_tree.Keys()) {
        if (IsMessageKey(key))
            tags.append(m_tree.Tag(key));
    }
    return tags;
}

void MailEngine::RememberShownMessages() {
    for (const QString& key : m_tree.Keys()) {
        if (!IsAccountKey(key))
            continue;
        const qint16 position = FindAccountByKey(m_state, key);
        ::RememberShownMessages(m_state, m_tree.ChildTags(key),
                                position ? MailboxName(m_state.Account(position)) : QString());
    }
    SaveHistoryIfChanged(m_state);
}

void MailEngine::AcknowledgeShownMessages() {
    RememberShownMessages();
    ::AcknowledgeShownMessages(m_state, MessageTags());
}

void MailEngine::MarkAllRead() {
    if (m_checkRunning)
        return;
    AcknowledgeShownMessages();
    for (const QString& key : m_tree.Keys()) {
        if (m_tree.Image(key) == NodeImage::NewMail)
            m_tree.SetImage(key, NodeImage::Mail);
    }
}
