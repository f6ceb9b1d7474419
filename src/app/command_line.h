#pragma once

#include <QStringList>

// What the command line asks for. Larkwatch's own options are few; anything
// else is left to the toolkit (window-system options such as -display).
struct CommandLine {
    enum class Mode { Window, Check, Status, CheckNow, SignIn, Help, Version, UsageError };
    Mode Run = Mode::Window;
    bool Json = false;
    QString SignInTitle; // --sign-in TITLE
    QString Error;       // for a usage error

    static CommandLine Parse(const QStringList& arguments);
    static QString Usage();
};
