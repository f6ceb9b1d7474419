#pragma once

#include <QHash>
#include <QString>

// What the private test Dovecot's start script wrote about itself (ports, the
// certificate's fingerprint, users and passwords): the KEY='value' lines of the
// file named by LARKWATCH_DOVECOT_ENV.
struct DovecotFixture {
    QHash<QString, QString> Values;
    QString Error;      // the file could not be read
    QString SkipReason; // the server could not be started here (not root, not CI)

    QString Value(const QString& key) const { return Values.value(key); }
    static DovecotFixture Load();

    // Empties user's mailbox and delivers the fixture's messages again
    // (MESSAGES_<user> of them), so that a test finds the same mail however
    // often it ran before. Returns what went wrong, or nothing.
    QString RefillMailbox(const QString& user) const;
    // Delivers the whole message in file into user's mailbox, as new mail.
    QString AddMessage(const QString& user, const QString& file) const;
};

// In initTestCase: fails on a missing fixture, and under CI also on a skipped
// one (CI must talk to the real server); otherwise skips the test case.
#define LARKWATCH_REQUIRE_DOVECOT(fixture)                                                         \
    do {                                                                                           \
        QVERIFY2((fixture).Error.isEmpty(), qPrintable((fixture).Error));                          \
        if (!(fixture).SkipReason.isEmpty()) {                                                     \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                               \
                QFAIL(qPrintable("CI must run the Dovecot test: " + (fixture).SkipReason));        \
            QSKIP(qPrintable((fixture).SkipReason));                                               \
        }                                                                                          \
    } while (false)
