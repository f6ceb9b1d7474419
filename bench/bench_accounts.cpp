// Writes the settings of a benchmark run under ROOT, as a user's own files
// would be with XDG_CONFIG_HOME=ROOT/config and XDG_DATA_HOME=ROOT/data:
//
//   bench_accounts ROOT MINUTES HOST:PORT:USER:PASSWORD...
//
// one account per argument (titles "Bench 1", "Bench 2", ...), the given
// minutes between passes, the mail log off.
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: bench_accounts ROOT MINUTES HOST:PORT:USER:PASSWORD...\n");
        return 2;
    }
    AppState state(StatePaths::Under(args.at(1)));
    LoadGeneralOptions(state);
    state.AppSettings.PoolingTime = args.at(2).toInt();
    state.AppSettings.LogDisabled = true;
    SaveGeneralOptions(state);
    for (qsizetype i = 3; i < args.size(); ++i) {
        const QStringList parts = args.at(i).split(QLatin1Char(':'));
        if (parts.size() != 4) {
            std::fprintf(stderr, "not HOST:PORT:USER:PASSWORD: %s\n", qPrintable(args.at(i)));
            return 2;
        }
        MailAccount account;
        account.Title = QStringLiteral("Bench %1").arg(i - 2);
        account.Host = parts.at(0);
        account.Port = parts.at(1).toInt();
        account.User = parts.at(2);
        account.Password = parts.at(3);
        account.NodeKey = NewAccountKey(state);
        state.Accounts.append(account);
    }
    SaveAccounts(state);
    return 0;
}
