#include "app/command_line.h"

CommandLine CommandLine::Parse(const QStringList& arguments) {
    CommandLine line;
    bool check = false;
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
    if (line.Json && !check) {
        line.Run = Mode::UsageError;
        line.Error = QStringLiteral("--json goes with --check");
        return line;
    }
    if (signIn && check) {
        line.Run = Mode::UsageError;
        line.Error = QStringLiteral("--sign-in and --check go separately");
        return line;
    }
    line.Run = signIn ? Mode::SignIn : check ? Mode::Check : Mode::Window;
    return line;
}

QString CommandLine::Usage() {
    return QStringLiteral(
        "Usage: larkwatch [--check [--json]] [--sign-in TITLE] [--help] [--version]\n"
        "\n"
        "Without options Larkwatch opens its window and watches your POP3 accounts.\n"
        "\n"
        "  --check     check every account once, as a timer pass does (filters delete\n"
        "              on the server, the mail log and the history are written), print\n"
        "              each account's line and its messages indented below it, and exit;\n"
        "              no display is needed\n"
        "  --json      with --check: print one JSON object instead\n"
        "  --sign-in TITLE\n"
        "              sign the OAuth2 account TITLE in through the browser, without a\n"
        "              window; the address to open is printed too. Exit status 0 when\n"
        "              signed in, 1 otherwise\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Exit status of --check: 0 every enabled account was checked, 1 an account\n"
        "could not be connected to or logged on to, 2 a usage error or another\n"
        "Larkwatch is running.\n");
}
