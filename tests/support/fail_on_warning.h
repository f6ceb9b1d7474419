#pragma once

#include <QRegularExpression>
#include <QTest>

// Makes the running test function fail on every warning it causes. Called
// from each test class's init(): the rule lasts one test function (one data
// row). Where a warning is the point of a test, QTest::ignoreMessage() before
// it lets that one through.
//
// The one warning let through is the offscreen platform's note that it cannot
// hand a window's size limits to a window system it does not have, which Qt
// prints whenever a dialog with a layout is shown there.
inline void FailOnUnexpectedWarnings() {
    static const QRegularExpression anyButPlatformNotes(
        QStringLiteral("^(?!This plugin does not support propagateSizeHints\\(\\)$)"));
    QTest::failOnWarning(anyButPlatformNotes);
}
