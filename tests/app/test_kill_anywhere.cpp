#include "engine/history_file.h"
#include "records/account_store.h"
#include "support/temp_state.h"

#include <QProcess>
#include <QtTest>

// The settings file and the history file survive a kill at any moment: a
// writer ended at many different points of its writes leaves each file whole,
// in one version or the other, never a mix or a stump.
class TestKillAnywhere : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filesStayWhole();
};

void TestKillAnywhere::filesStayWhole() {
    TempState t;
    QStringList versions;
    for (int run = 0; run < 24; ++run) {
        // Spread over the first 60 ms of writing, each run at another moment.
        const int microseconds = 500 + run * 2500 + (run * 7919) % 1000;
        QProcess writer;
        writer.start(KILL_ANYWHERE_WRITER, {t.Dir.path(), QString::number(microseconds)});
        QVERIFY(writer.waitForStarted());
        QVERIFY(writer.waitForFinished(60000));
        QCOMPARE(writer.readAllStandardOutput(), QByteArray("ready\n"));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit); // ended by its alarm

        auto state = t.Reopen();
        LoadAccounts(*state);
        QCOMPARE(state->AccountCount(), qint16(20));
        const QChar version = state->Account(1).Title.at(0);
        for (const MailAccount& a : state->Accounts) {
            QCOMPARE(a.Title.at(0), version);
            QCOMPARE(a.Password.at(0), version);
        }
        LoadHistory(*state);
        QCOMPARE(state->SeenHeaders.Size(), qsizetype(300));
        const QChar seenVersion = state->SeenHeaders.Texts().first().at(10);
        for (qsizetype i = 0; i < state->SeenHeaders.Size(); ++i) {
            QCOMPARE(state->SeenHeaders.Texts().at(i).at(10), seenVersion);
            QCOMPARE(state->SeenHeaders.Mailboxes().at(i),
                     QStringList{QString(seenVersion) + "@box"});
        }
        versions.append(QString(version) + seenVersion);
    }
    qInfo("versions found after the kills: %s", qPrintable(versions.join(' ')));
    qInfo(
        "left in the folders: %s",
        qPrintable((QDir(t.Dir.path() + "/config/Larkwatch").entryList(QDir::Files | QDir::Hidden) +
                    QDir(t.Dir.path() + "/data/Larkwatch").entryList(QDir::Files | QDir::Hidden))
                       .join(' ')));
}

QTEST_GUILESS_MAIN(TestKillAnywhere)
#include "test_kill_anywhere.moc"
