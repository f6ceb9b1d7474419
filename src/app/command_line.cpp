#include "app/command_line.h"

CommandLine CommandLine::Parse(const QStringList& arguments) {
    CommandLine line;
    bool check = false;
    for (const QString& argument : arguments) {
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
        else if (argument == QLatin1String("--json"))
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
    line.Run = check ? Mode::Check : Mode::Window;
    return line;
}

QString CommandLine::Usage() {
    return QStringLiteral(
        "Usage: larkwatch [--check [--json]] [--help] [--version]\n"
        "\n"
        "Without options Larkwatch opens its window and watches your POP3 accounts.\n"
        "\n"
        "  --check     check every account once, as a timer pass does (filters delete\n"
        "              on the server, the mail log and the history are written), print\n"
        "              each account's line and its messages indented below it, and exit;\n"
        "              no display is needed\n"
        "  --json      with --check: print one JSON object instead\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Exit status of --check: 0 every enabled account was checked, 1 an account\n"
        "could not be connected to or logged on to, 2 a usage error or another\n"
        "Larkwatch is running.\n");
}
