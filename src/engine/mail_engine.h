#pragma once

#include "engine/header_memory.h"
#include "engine/mail_log.h"
#include "records/mail_account.h"
#include "tree/account_nodes.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

class AppState;
class AccountTreeModel;
class MonitorHost;
class PopClient;
class PopDocument;

// How a check classed a message, for the headless report. Deleted: removed by
// a filter rule, counted once the server answered QUIT and so removed it.
enum class MessageOutcome { FirstSeen, Known, Deleted, Failed };

struct MessageReport {
    qint16 Number = 0; // the display number
    qint32 Size = 0;
    QString Subject; // the field values, without their labels
    QString From;
    MessageOutcome Outcome = MessageOutcome::Failed;
};

// The mail checking engine: checks one account on the POP client and writes
// what it finds into the tree, and keeps the seen and acknowledged lists in
// step with the tree.
class MailEngine : public QObject {
    Q_OBJECT
public:
    MailEngine(AppState& state, AccountTreeModel& tree, PopClient& pop, MonitorHost& host,
               QObject* parent = nullptr);

    // Checks the account of the drop-highlighted node (CurrentAccount names the
    // title to show). Returns when the connection is closed again.
    void CheckAccount();
    // A message node key "C1".."C32766" no node has, or empty when all are taken.
    QString NewMessageKey();

    // A pass over the accounts: every message of the pass is classed against
    // the seen list as it stood when the pass began, so a message found in
    // two of its mailboxes is first seen in both. What each check found joins
    // the seen list at EndPass. A check outside a pass hands it over at once.
    void BeginPass();
    void EndPass();

    // Walks the message nodes of the tree.
    void RememberShownMessages();
    void AcknowledgeShownMessages();
    void MarkAllRead();

    bool CheckRunning() const { return m_checkRunning; }
    // Ends whatever conversation the POP client holds at once, without QUIT
    // (a deletion asked for on it does not take effect). A check in progress
    // then ends as a failed one, asks for no further message and never closes
    // the program for AutoExit.
    void CancelConnection();
    // The last check was cut short by CancelConnection.
    bool CheckCancelled() const { return m_checkCancelled; }
    // For OAuth2 token requests, the engine's and the message commands'.
    QNetworkAccessManager& Network() { return m_network; }
    // The headers read before, kept in the data folder between runs.
    HeaderMemory& Headers() { return m_headerMemory; }

    // Counters of a timer pass; the scheduler resets them.
    qint16 MessagesListed = 0;
    qint16 FirstSeenCount = 0;
    // How each message node of the checks so far fared, by node key.
    QHash<QString, MessageReport> Reports;
    // Why the account's last check failed (connect, log-on, a message step, the
    // mail log), by node key; also the account node's tool tip.
    QHash<QString, QString> AccountErrors;
    // The fingerprint of the certificate an account's server presented when
    // its last check failed because the certificate is not trusted, by node
    // key; the account dialog offers to trust it.
    QHash<QString, QString> UntrustedCertificates;

    // The component's events.
    void POP_DocOutput(const PopDocument& document);
    void POP_MessageSize(qint32 size);
    void POP_Delete();

private:
    // Yields while the component works; then whether the outcome is a success.
    template <typename Success> bool Succeeded(Success success);
    void SetStatus(const QString& key, const QString& title, const QString& status);
    void NoteAccountError(const QString& key, const QString& error);
    // The component's two outcomes: logged on and idle, or the connection gone.
    bool LoggedOnAndIdle() const;
    bool ConnectionGone() const;
    // A filter deletion the server confirmed with DELE; it takes effect only
    // when the server answers QUIT.
    struct MarkedDeletion {
        QString Key;
        QString Label; // the node's label: "#", display number, size
    };
    QList<MarkedDeletion> CheckMessages(const QString& accountKey, const QString& title,
                                        MailLog& log);
    void CloseConnection();
    // After the connection closed: the marked messages count as deleted when
    // the server accepted QUIT; otherwise it kept them, and their nodes say
    // "Unable to Delete message!".
    void SettleDeletions(const QString& accountKey, const QList<MarkedDeletion>& markedForDeletion);
    // Hands what the check of the account found to the seen list and keeps
    // the history file up to date; listedCount is -1 unless the server's
    // listings of the mailbox were whole and agreed.
    void RememberCheckedAccount(const QString& accountKey, const MailAccount& account,
                                qint16 listedCount);
    QStringList MessageTags() const;

    // What one check of a pass found, handed to the seen list at EndPass.
    struct CheckedMailbox {
        MailAccount Account;
        QStringList Tags;
        bool Whole = false;
    };
    bool m_passRunning = false;
    QList<CheckedMailbox> m_checkedInPass;

    AppState& m_state;
    AccountTreeModel& m_tree;
    PopClient& m_pop;
    MonitorHost& m_host;
    bool m_checkRunning = false;
    bool m_checkCancelled = false;

    qint32 m_reportedSize = -1;
    QString m_headerBuffer;
    qint16 m_deleteConfirmed = -1;
    HeaderMemory m_headerMemory;
    QNetworkAccessManager m_network; // OAuth2 token requests
};
