#include "app/pass_report.h"

#include "engine/mail_engine.h"
#include "records/app_state.h"
#include "tree/account_tree_model.h"

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
} // namespace

QJsonArray PassAccountsJson(const AppState& state, const AccountTreeModel& tree,
                            const MailEngine& engine) {
    QJsonArray accounts;
    for (const MailAccount& account : state.Accounts) {
        const QString key = account.NodeKey;
        if (!tree.HasNode(key))
            continue;
        QJsonArray messages;
        for (const QString& child : tree.ChildKeys(key)) {
            const MessageReport report = engine.Reports.value(child);
            messages.append(QJsonObject{
                {QStringLiteral("number"), report.Number},
                {QStringLiteral("size"), report.Size},
                {QStringLiteral("subject"), report.Subject},
                {QStringLiteral("from"), report.From},
                {QStringLiteral("state"), outcomeName(report.Outcome)},
                {QStringLiteral("text"), tree.Text(child)},
            });
        }
        const QString error = engine.AccountErrors.value(key);
        accounts.append(QJsonObject{
            {QStringLiteral("title"), account.Title},
            {QStringLiteral("status"), tree.Text(key)},
            {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : QJsonValue(error)},
            {QStringLiteral("messages"), messages},
        });
    }
    return accounts;
}
