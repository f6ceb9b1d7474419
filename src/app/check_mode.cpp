#include "app/check_mode.h"

#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "app/headless_host.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "tree/account_tree_model.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"
#include "records/rule_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString outcomeName(MessageOutcome outcome) {
    switch (outcome) {
    case MessageOutcome::FirstSeen:
        return QStringLiteral("new");
    case MessageOutcome::Known:
        return QStringLiteral("seen");
    case MessageOutcome::Deleted:
        return QStringLiteral("deleted");
    case MessageOutcome::Failed:
        break;
    }
    return QStringLiteral("error");
}

bool failedToConnectOrLogOn(const QString& text) {
    return text.endsWith(AccountStatus::ErrorConnecting) ||
           text.endsWith(AccountStatus::BadLogon) || text.endsWith(AccountStatus::SignInNeeded);
}
} // namespace

int RunCheckMode(AppState& state, bool json, QTextStream& out) {
    LoadAccounts(state);
    LoadGeneralOptions(state);
    LoadFilters(state);
    LoadWavActions(state);
    LoadHistory(state);
    state.PollMinutes = state.AppSettings.PoolingTime;

    AccountTreeModel tree;
    PopClient pop;
    HeadlessHost host;
    MailEngine engine(state, tree, pop, host);
    QTimer poolingEvent;
    Scheduler scheduler(state, tree, engine, host, poolingEvent);
    if (state.AccountCount() > 0)
        scheduler.RunPass();
    scheduler.PoolingEvent.stop();
    SaveHistory(state);

    bool allChecked = true;
    QJsonArray accounts;
    for (int n = 1; n <= state.AccountCount(); ++n) {
        const MailAccount& account = state.Account(n);
        const QString key = account.NodeKey;
        if (!tree.HasNode(key)) {
            // The pass stopped early (AutoExit after a failed connection).
            allChecked = allChecked && account.Disabled;
            continue;
        }
        const QString status = tree.Text(key);
        if (failedToConnectOrLogOn(status))
            allChecked = false;
        QJsonArray messages;
        if (!json)
            out << status << '\n';
        for (const QString& child : tree.ChildKeys(key)) {
            const QString text = tree.Text(child);
            if (!json) {
                out << "  " << text << '\n';
                continue;
            }
            const MessageReport report = engine.Reports.value(child);
            messages.append(QJsonObject{
                {QStringLiteral("number"), report.Number},
                {QStringLiteral("size"), report.Size},
                {QStringLiteral("subject"), report.Subject},
                {QStringLiteral("from"), report.From},
                {QStringLiteral("state"), outcomeName(report.Outcome)},
                {QStringLiteral("text"), text},
            });
        }
        if (json) {
            const QString error = engine.AccountErrors.value(key);
            accounts.append(QJsonObject{
                {QStringLiteral("title"), account.Title},
                {QStringLiteral("status"), status},
                {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : QJsonValue(error)},
                {QStringLiteral("messages"), messages},
            });
        }
    }
    if (json)
        out << QJsonDocument(QJsonObject{{QStringLiteral("accounts"), accounts}})
                   .toJson(QJsonDocument::Indented);
    out.flush();
    return allChecked ? 0 : 1;
}
