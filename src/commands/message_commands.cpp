#include "commands/message_commands.h"

#include "commands/command_steps.h"
#include "commands/message_identity.h"
#include "commands/message_numbering.h"
#include "commands/message_window.h"
#include "commands/server_session.h"
#include "engine/mail_engine.h"
#include "engine/oauth_access.h"
#include "engine/pop/pop_client.h"
#include "engine/size_format.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"

#include <QAction>
#include <QObject>
#include <QTimer>
#include <optional>

namespace MessageWindowNote {

QString MailboxChanged(qint16 number) {
    return QStringLiteral("The mailbox has changed since the last check: message #%1 on the "
                          "server is no longer the one in the list. The account is checked again "
                          "when you close this window.")
        .arg(number);
}

QString TooLarge(qint64 limitBytes) {
    return QStringLiteral("[The message is larger than %1 bytes: only its beginning is shown]")
        .arg(FormatByteCount(limitBytes));
}

QString NotSent(const QString& reason) {
    return reason.isEmpty()
               ? QStringLiteral("[The server did not send the message]")
               : QStringLiteral("[The server did not send the message: %1]").arg(reason);
}

} // namespace MessageWindowNote

namespace {

// The message a command works on: the drop-highlighted node, when it is a
// message node not marked deleted, with its account.
struct Target {
    QString MessageKey;
    QString AccountKey;
    qint16 Number = 0;
    qint16 Position = 0; // of the account
    MailAccount Account;
};

std::optional<Target> dropHighlightedMessage(MainWindow& window) {
    const AccountTreeModel& tree = window.Model();
    Target target;
    target.MessageKey = tree.DropHighlight();
    if (!IsMessageKey(target.MessageKey) || tree.Image(target.MessageKey) == NodeImage::Deleted)
        return std::nullopt;
    target.AccountKey = tree.ParentKey(target.MessageKey);
    target.Position = FindAccountByKey(window.State(), target.AccountKey);
    if (target.Position == 0)
        return std::nullopt;
    target.Number = MessageNumberOf(tree.Text(target.MessageKey));
    target.Account = window.State().Account(target.Position);
    return target;
}

// The start every server command shares: no pass meanwhile, the busy
// pointer, the four top menus off, the account node as drop highlight.
void beginServerCommand(MainWindow& window, const Target& target) {
    window.PoolingEvent().stop();
    window.SetBusyCursor(true);
    window.SetTopMenusEnabled(false);
    window.State().CurrentAccount = target.Position;
    window.Model().SetDropHighlight(target.AccountKey);
    window.Model().SetSelectedKey(target.AccountKey);
}

void setStatus(MainWindow& window, const Target& target, const QString& status) {
    window.Model().SetText(target.AccountKey, target.Account.Title + status);
}

// Connects and logs on; on failure the account node says why.
bool logOn(MainWindow& window, ServerSession& session, const Target& target) {
    QString accessToken;
    if (target.Account.UsesOAuth()) {
        AppState& state = window.State();
        const qint16 position = FindAccountByKey(state, target.AccountKey);
        if (position == 0 || target.Account.Security == Security::None) {
            setStatus(window, target, AccountStatus::ErrorConnecting);
            window.Model().SetToolTip(
                target.AccountKey,
                QStringLiteral("OAuth2 needs a TLS connection (STARTTLS or TLS)"));
            return false;
        }
        const AccessTokenOutcome access =
            TakeAccessToken(state, state.Account(position), window.Engine().Network());
        if (access.Result != AccessTokenOutcome::Outcome::Ready) {
            setStatus(window, target,
                      access.Result == AccessTokenOutcome::Outcome::SignInNeeded
                          ? AccountStatus::SignInNeeded
                          : AccountStatus::ErrorConnecting);
            window.Model().SetToolTip(target.AccountKey, access.Reason);
            return false;
        }
        if (access.RefreshTokenChanged)
            SaveAccounts(state);
        accessToken = access.Token;
    }
    session.UseAccount(target.Account, accessToken);
    if (!session.Connect()) {
        setStatus(window, target, AccountStatus::ErrorConnecting);
        window.Model().SetToolTip(target.AccountKey, session.Pop().LastError());
        // A certificate changed since the check: the account dialog offers it.
        if (const QString untrusted = session.Pop().UntrustedCertificateSHA256();
            !untrusted.isEmpty())
            window.Engine().UntrustedCertificates.insert(target.AccountKey, untrusted);
        return false;
    }
    if (!session.Authenticate()) {
        setStatus(window, target, AccountStatus::BadLogon);
        window.Model().SetToolTip(target.AccountKey, session.Pop().LastError());
        return false;
    }
    return true;
}

// The server's numbering differs from the tree's: list the account afresh.
void recheck(MainWindow& window, const Target& target) {
    CheckAccountNow(window, target.AccountKey);
    window.State().CurrentMessage = 0;
    window.UpdateMenus();
}

// Retrieves the message on a logged-on session into ViewedText and returns
// the text the window shows: the message, or what arrived of it followed by
// a line that says why the rest is missing.
QString retrieve(MainWindow& window, ServerSession& session, const Target& target,
                 MessageMatch match) {
    AppState& state = window.State();
    PopClient& pop = session.Pop();
    if (match == MessageMatch::Same) {
        pop.RetrieveMessage(target.Number);
        session.WaitWhileBusy();
    }
    QString text = state.ViewedText;
    auto endWith = [&text](const QString& line) {
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        text += line;
    };
    if (session.ConnectionGone())
        endWith(pop.MessageOverLimit() ? MessageWindowNote::TooLarge(pop.MaxMessageBytes)
                                       : MessageWindowNote::ConnectionLost);
    else if (text.isEmpty())
        endWith(MessageWindowNote::NotSent(pop.LastError()));
    return text;
}

} // namespace

namespace MessageCommands {

void mnuViewMessage_Click(MainWindow& window) {
    const std::optional<Target> target = dropHighlightedMessage(window);
    if (!target)
        return;
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    state.ViewingMessage = true;
    state.ViewedText.clear();
    beginServerCommand(window, *target);
    const QString formerText = tree.Text(target->AccountKey);
    setStatus(window, *target, AccountStatus::RetrievingMessage + QString::number(target->Number));

    ServerSession session(window.POP());
    bool show = false;
    bool changed = false;
    QString text;
    if (logOn(window, session, *target)) {
        const MessageMatch match =
            CheckMessageNumber(session, tree, target->MessageKey, target->Number);
        changed = match == MessageMatch::Changed;
        text = changed ? MessageWindowNote::MailboxChanged(target->Number)
                       : retrieve(window, session, *target, match);
        show = true;
        tree.SetText(target->AccountKey, formerText);
    }
    if (show) {
        // The window opens while the server says goodbye.
        session.Close();
        // The user reads with the normal pointer; the menus stay off.
        window.SetBusyCursor(false);
        MsgInfo viewer(text, &window);
        viewer.exec();
        session.WaitWhileBusy();
    } else {
        session.CloseAndWait();
    }

    state.ViewingMessage = false;
    state.ViewedText.clear();
    window.SetTopMenusEnabled(true);
    tree.SetDropHighlight(target->MessageKey);
    tree.SetSelectedKey(target->MessageKey);
    window.SetBusyCursor(false);
    if (changed)
        recheck(window, *target);
    RestartPollingUnlessSuspended(window);
}

void mnuProperties_Click(MainWindow& window) {
    window.PoolingEvent().stop();
    const AccountTreeModel& tree = window.Model();
    // Without a drop-highlighted node there is nothing to show: an empty window.
    MsgInfo properties(tree.Tag(tree.DropHighlight()), &window);
    properties.exec();
    RestartPollingUnlessSuspended(window);
}

void mnuDeleteMessage_Click(MainWindow& window) {
    const std::optional<Target> target = dropHighlightedMessage(window);
    if (!target)
        return;
    AppState& state = window.State();
    AccountTreeModel& tree = window.Model();
    beginServerCommand(window, *target);
    const QString formerText = tree.Text(target->AccountKey);
    setStatus(window, *target, AccountStatus::DeletingMessage + QString::number(target->Number));

    ServerSession session(window.POP());
    bool markedForDeletion = false;
    bool changed = false;
    const bool loggedOn = logOn(window, session, *target);
    if (loggedOn) {
        const MessageMatch match =
            CheckMessageNumber(session, tree, target->MessageKey, target->Number);
        changed = match == MessageMatch::Changed;
        if (match == MessageMatch::Same) {
            qint16 deleteConfirmed = -1;
            QObject context;
            QObject::connect(&session.Pop(), &PopClient::Delete, &context,
                             [&deleteConfirmed] { deleteConfirmed = 1; });
            session.Pop().DeleteMessage(target->Number);
            session.WaitWhileBusy();
            markedForDeletion = deleteConfirmed == 1 && session.LoggedOnAndIdle();
        }
    }
    // The server removes the message only when it answers QUIT with +OK: a
    // refused QUIT or a connection lost before that answer keeps the message.
    session.CloseAndWait();
    const bool deleted = markedForDeletion && session.Pop().QuitAccepted();
    if (deleted) {
        tree.SetText(target->AccountKey, formerText);
        MarkDeletedAndRenumber(tree, target->MessageKey, target->Number);
    } else if (loggedOn) {
        setStatus(window, *target,
                  AccountStatus::ErrorDeletingMessage + QString::number(target->Number));
        if (markedForDeletion)
            tree.SetToolTip(target->AccountKey, session.Pop().LastError());
    }

    window.SetTopMenusEnabled(true);
    window.SetBusyCursor(false);
    if (changed) {
        recheck(window, *target);
        if (tree.ToolTip(target->AccountKey).isEmpty())
            tree.SetToolTip(target->AccountKey,
                            QStringLiteral("Message #%1 was not deleted: the mailbox had changed "
                                           "since the last check.")
                                .arg(target->Number));
    }
    // The account node stays the drop highlight: no message is current.
    state.CurrentMessage = 0;
    window.UpdateMenus();
    RestartPollingUnlessSuspended(window);
}

} // namespace MessageCommands

void ConnectMessageCommands(MainWindow& window) {
    auto onTrigger = [&window](const char* name, void (*command)(MainWindow&)) {
        if (QAction* action = window.Menus().Action(QLatin1String(name)))
            QObject::connect(action, &QAction::triggered, &window,
                             [&window, command] { command(window); });
    };
    onTrigger("mnuViewMessage", &MessageCommands::mnuViewMessage_Click);
    onTrigger("mnuProperties", &MessageCommands::mnuProperties_Click);
    onTrigger("mnuDeleteMessage", &MessageCommands::mnuDeleteMessage_Click);
}
