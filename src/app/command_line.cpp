#include "app/command_line.h"

CommandLine CommandLine::Parse(const QStringList& arguments) {
    CommandLine line;
    bool check = false;
    bool status = false;
    bool checkNow = false;
    bool signIn = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.Run = Mode::Help;
            return line;
        }
        if (argument == QLatin1String("--version")) {
            line.Run = Mode::Version;
            return line;
        }
        if (argument == QLatin1String("--check"))
            check = true;
        else if (argument == QLatin1String("--status"))
            status = true;
        else if (argument == QLatin1String("--check-now"))
            checkNow = true;
        else if (argument == QLatin1String("--sign-in")) {
            if (i + 1 >= arguments.size()) {
                line.Run = Mode::UsageError;
                line.Error = QStringLiteral("--sign-in needs the title of an account");
                return line;
            }
            signIn = true;
            line.SignInTitle = arguments.at(++i);
        } else if (argument == QLatin1String("--json"))
            line.Json = true;
        else if (argument.startsWith(QLatin1String("--"))) {
            line.Run = Mode::UsageError;
            line.Error = QStringLiteral("unknown option %1").arg(argument);
            return line;
        }
    }
    if (int(check) + int(status) + int(checkNow) + int(signIn) > 1) {
        line.Run = Mode::UsageError;
        line.Error = QStringLiteral("--check, --status, --check-now and --sign-in go alone");
        return line;
    }
    if (line.Json && !check && !status) {
        line.Run = Mode::UsageError;
        line.Error = QStringLiteral("--json goes with --check or --status");
        return line;
    }
    line.Run = check      ? Mode::Check
               : status   ? Mode::Status
               : checkNow ? Mode::CheckNow
               : signIn   ? Mode::SignIn
                          : Mode::Window;
    return line;
}

QString CommandLine::Usage() {
    return QStringLiteral(
        "Usage: larkwatch [--check [--json] | --status [--json] | --check-now |\n"
        "                  --sign-in TITLE] [--help] [--version]\n"
        "\n"
        "Without options Larkwatch opens its window and watches your POP3 accounts.\n"
        "\n"
        "  --check     check every account once, as a timer pass does (filters delete\n"
        "              on the server, the mail log and the history are written), print\n"
        "              each account's line and its messages indented below it, and exit;\n"
        "              no display is needed\n"
        "  --json      with --check or --status: print one JSON object instead\n"
        "  --status    print the state of the running Larkwatch: the last pass, the\n"
        "              count of new mail and the time to the next check\n"
        "  --check-now ask the running Larkwatch to check now, as Update Now does\n"
        "  --sign-in TITLE\n"
        "              sign the OAuth2 account TITLE in through the browser, without a\n"
        "              window; the address to open is printed too. Exit status 0 when\n"
        "              signed in, 1 otherwise\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Exit status of --check: 0 every enabled account was checked, 1 an account\n"
        "could not be connected to or logged on to, 2 a usage error or another\n"
        "Larkwatch is running. Of --status and --check-now: 0 done, 1 the running\n"
        "Larkwatch refused (it is checking, or a dialog is open), 3 none is running.\n");
}
