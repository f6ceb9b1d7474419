#include "app/check_mode.h"

#include "app/headless_host.h"
#include "app/pass_report.h"
#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "tree/account_tree_model.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"
#include "records/rule_store.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
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
        if (json)
            continue;
        out << status << '\n';
        for (const QString& child : tree.ChildKeys(key))
            out << "  " << tree.Text(child) << '\n';
    }
    if (json) {
        const QJsonObject report{
            {QStringLiteral("accounts"), PassAccountsJson(state, tree, engine)}};
        out << QJsonDocument(report).toJson(QJsonDocument::Indented);
    }
    out.flush();
    return allChecked ? 0 : 1;
}
