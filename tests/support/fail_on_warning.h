#pragma once

#include <QRegularExpression>
#include <QTest>

// Makes the running test function fail on every warning it causes. Called
// from each test class's init(): the rule lasts one test function (one data
// row). Where a warning is the point of a test, QTest::ignoreMessage() before
// it lets that one through.
//
// Let through are only the offscreen platform's notes on what it cannot do
// without a window system ("This plugin does not support raise()",
// "... propagateSizeHints()", "... grabbing the keyboard"), which Qt prints
// whenever a window is raised, a dialog with a layout is shown or a pop-up
// menu opens there.
inline void FailOnUnexpectedWarnings() {
    static const QRegularExpression anyButPlatformNotes(
        QStringLiteral("^(?!This plugin does not support (\\w+\\(\\)|grabbing the \\w+)$)"));
    QTest::failOnWarning(anyButPlatformNotes);
}
