// Writes the settings of a benchmark run under ROOT, as a user's own files
// would be with XDG_CONFIG_HOME=ROOT/config and XDG_DATA_HOME=ROOT/data:
//
//   bench_accounts ROOT MINUTES HOST:PORT:USER:PASSWORD...
//
// one account per argument (titles "Bench 1", "Bench 2", ...), the given
// minutes between passes, the mail log off.
//
//   bench_accounts --start-up [COUNT...]
//
// times the loading of the account list at start-up for each COUNT of
// accounts (1000, 4000, 8000 and the largest allowed, 32766, unless given):
// the time per account, and its ratio to the time per account of the first
// COUNT, measured in the same run. A load that grows with the count alone
// keeps the ratio near 1.
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

// Microseconds LoadAccounts takes over a settings file of `count` accounts.
static double startUpMicroseconds(int count) {
    QTemporaryDir dir;
    {
        AppState written(StatePaths::Under(dir.path()));
        written.AppSettings.Keyring = false;
        for (int n = 1; n <= count; ++n) {
            MailAccount account;
            account.Title = QStringLiteral("Account %1").arg(n);
            account.Host = QStringLiteral("pop%1.example.org").arg(n);
            account.User = QStringLiteral("user%1").arg(n);
            account.Password = QStringLiteral("password %1").arg(n);
            account.Port = 110;
            written.Accounts.append(account);
        }
        SaveAccounts(written);
    }
    AppState state(StatePaths::Under(dir.path()));
    QElapsedTimer clock;
    clock.start();
    LoadAccounts(state);
    const double microseconds = double(clock.nsecsElapsed()) / 1000.0;
    if (state.AccountCount() != count) {
        std::fprintf(stderr, "loaded %d accounts of %d\n", int(state.AccountCount()), count);
        return -1;
    }
    return microseconds;
}

static int benchStartUp(QStringList counts) {
    if (counts.isEmpty())
        counts = {QStringLiteral("1000"), QStringLiteral("4000"), QStringLiteral("8000"),
                  QString::number(kMaxAccounts)};
    std::printf("%8s %12s %16s %22s\n", "accounts", "load ms", "us per account",
                "ratio to the first");
    double baseline = 0;
    for (const QString& text : counts) {
        bool ok = false;
        const int count = text.toInt(&ok);
        if (!ok || count < 1 || count > kMaxAccounts) {
            std::fprintf(stderr, "not a count from 1 to %d: %s\n", kMaxAccounts, qPrintable(text));
            return 2;
        }
        const double microseconds = startUpMicroseconds(count);
        if (microseconds < 0)
            return 1;
        const double perAccount = microseconds / count;
        if (baseline == 0)
            baseline = perAccount;
        std::printf("%8d %12.1f %16.2f %22.2f\n", count, microseconds / 1000.0, perAccount,
                    perAccount / baseline);
        std::fflush(stdout);
    }
    return 0;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args.at(1) == QStringLiteral("--start-up"))
        return benchStartUp(args.mid(2));
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
