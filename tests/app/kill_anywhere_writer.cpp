// Writes the settings file and the history file over and over, each time
// wholly in one of two versions, until its own alarm ends it at a moment the
// caller chose (SIGALRM's default action: the process ends on the spot, as
// under a kill). Used by test_kill_anywhere.
//
//   kill_anywhere_writer FOLDER MICROSECONDS
//
// Prints "ready" once both files hold the first version, which must take
// less than 20 seconds.

#include "engine/header_text.h"
#include "engine/history_file.h"
#include "records/account_store.h"
#include "records/app_state.h"

#include <QCoreApplication>
#include <cstdio>
#include <sys/time.h>

static void writeVersion(AppState& state, char version) {
    const QString v(QChar::fromLatin1(version));
    state.Accounts.clear();
    for (int n = 1; n <= 20; ++n) {
        MailAccount a;
        a.Title = v + QStringLiteral("-title-%1").arg(n);
        a.Host = v + QStringLiteral(".example.org");
        a.User = v + QStringLiteral("-user");
        a.Password = v + QStringLiteral("-password-%1").arg(n);
        a.NodeKey = QStringLiteral("P%1").arg(n);
        state.Accounts.append(a);
    }
    SaveAccounts(state);
    state.SeenHeaders.Clear();
    for (int n = 1; n <= 300; ++n) {
        const QString header = QStringLiteral("Subject : %1 %2\r\nMessage-Id : <%1.%2@x>\r\n")
                                   .arg(v)
                                   .arg(n)
                                   .repeated(3);
        state.SeenHeaders.Remember(MessageIdentity(header), header, v + QStringLiteral("@box"));
    }
    SaveHistory(state);
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    AppState state(StatePaths::Under(QString::fromLocal8Bit(argv[1])));
    // The first write must not wait for what an earlier kill left behind
    // (a stale lock would hold it up for half a minute): no "ready" then.
    itimerval watchdog{};
    watchdog.it_value.tv_sec = 20;
    setitimer(ITIMER_REAL, &watchdog, nullptr);
    writeVersion(state, 'A');
    std::printf("ready\n");
    std::fflush(stdout);
    itimerval alarm{};
    const long microseconds = std::strtol(argv[2], nullptr, 10);
    alarm.it_value.tv_sec = microseconds / 1000000;
    alarm.it_value.tv_usec = microseconds % 1000000;
    setitimer(ITIMER_REAL, &alarm, nullptr);
    for (int i = 1;; ++i)
        writeVersion(state, i % 2 ? 'B' : 'A');
}
