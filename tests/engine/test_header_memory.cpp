#include "engine/header_memory.h"
#include "engine/pop/pop_header_file.h"
#include "support/fail_on_warning.h"
#include "support/file_contents.h"
#include "support/temp_state.h"
#include "engine_rig.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

// The header memory across program runs: a later run reads from the server
// only the headers no earlier run read, shows exactly what a run without any
// memory shows, and keeps in the file only the messages still on the server.
class TestHeaderMemory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void laterRuns_data();
    void laterRuns();
    void writesInTheBackground();
};

namespace {

enum Change { Nothing, DamagedFile, NoFile, NewIds, IdsSwapped, MessagesGone, NewMessages };

QStringList Tops(const FakePop3Server& server) {
    return server.Transcript.filter(QRegularExpression(QStringLiteral("^TOP ")));
}

// What one program run shows: the texts of the account's nodes.
QStringList RunOnce(TempState& t, quint16 port, int* tops, FakePop3Server& server) {
    const qsizetype before = Tops(server).size();
    std::unique_ptr<AppState> state = t.Reopen();
    state->Accounts = {FakeServerAccount("Home", "P1", port)};
    EngineRig rig(*state);
    rig.RunPass();
    *tops = int(Tops(server).size() - before);
    return rig.Texts(QStringLiteral("P1"));
}

QStringList FileKeys(const QString& path) {
    PopHeaderCache cache;
    QString error;
    if (!DecodeHeaderMemory(ReadWholeFile(path), &cache, &error))
        return {error};
    QStringList uids;
    cache.ForEach([&uids](const QString& key, const PopHeaderCache::Entry&) {
        uids.append(key.section(QChar(u'\n'), 3));
    });
    uids.sort();
    return uids;
}

QStringList Uids(const QByteArray& prefix, QList<int> numbers) {
    QStringList uids;
    for (const int n : numbers)
        uids.append(QString::fromLatin1(prefix) + QString::number(n));
    uids.sort();
    return uids;
}

} // namespace

void TestHeaderMemory::laterRuns_data() {
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("tops");         // headers the second run reads
    QTest::addColumn<QStringList>("kept"); // unique ids in the file after it
    const QList<int> all{1, 2, 3, 4, 5, 6};
    QTest::newRow("nothing changed") << int(Nothing) << 0 << Uids("home-uid-", all);
    QTest::newRow("damaged file") << int(DamagedFile) << 6 << Uids("home-uid-", all);
    QTest::newRow("file removed") << int(NoFile) << 6 << Uids("home-uid-", all);
    QTest::newRow("every unique id new") << int(NewIds) << 6 << Uids("renamed-", all);
    // A server that gave the ids of messages 1 and 2 to each other: the sizes
    // differ, so both headers are read again.
    QTest::newRow("ids swapped") << int(IdsSwapped) << 2 << Uids("home-uid-", all);
    QTest::newRow("messages deleted elsewhere")
        << int(MessagesGone) << 0 << Uids("home-uid-", {1, 3, 5, 6});
    QTest::newRow("new messages") << int(NewMessages) << 2
                                  << Uids("home-uid-", {1, 2, 3, 4, 5, 6, 7, 8});
}

void TestHeaderMemory::laterRuns() {
    QFETCH(int, change);
    QFETCH(int, tops);
    QFETCH(QStringList, kept);

    FakePop3Server server;
    QVERIFY(server.Listen());
    FillMailbox(server, "home", 6);
    server.Mailbox[1].Raw.replace("Body of", "The longer body of");
    TempState t;
    const QString path = t.State->Paths.DataFolder + HeaderMemory::FileName();

    int read = 0;
    const QStringList first = RunOnce(t, server.Port(), &read, server);
    QCOMPARE(read, 6);
    QCOMPARE(first.size(), 6);
    QCOMPARE(FileKeys(path), Uids("home-uid-", {1, 2, 3, 4, 5, 6}));
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther;
    QCOMPARE(QFile::permissions(path) & others, QFileDevice::Permissions());

    switch (Change(change)) {
    case Nothing:
        break;
    case DamagedFile: {
        QByteArray bytes = ReadWholeFile(path);
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 0x55);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Larkwatch: header memory file .*headers\\.dat "
                                                "ignored: checksum does not match$"));
        break;
    }
    case NoFile:
        QVERIFY(QFile::remove(path));
        break;
    case NewIds:
        for (qsizetype i = 0; i < server.Mailbox.size(); ++i)
            server.Mailbox[i].UniqueId = "renamed-" + QByteArray::number(i + 1);
        break;
    case IdsSwapped:
        std::swap(server.Mailbox[0].UniqueId, server.Mailbox[1].UniqueId);
        break;
    case MessagesGone:
        server.Mailbox.removeAt(3);
        server.Mailbox.removeAt(1);
        break;
    case NewMessages:
        server.AddMessage(NumberedMail("home", 7), "home-uid-7");
        server.AddMessage(NumberedMail("home", 8), "home-uid-8");
        break;
    }

    const QStringList second = RunOnce(t, server.Port(), &read, server);
    QCOMPARE(read, tops);
    QCOMPARE(FileKeys(path), kept);

    // What a run with no memory at all shows.
    TempState fresh;
    int unused = 0;
    QCOMPARE(second, RunOnce(fresh, server.Port(), &unused, server));

    // And the run after reads nothing again.
    RunOnce(t, server.Port(), &read, server);
    QCOMPARE(read, 0);
}

// A large memory written in the background: changes made meanwhile are
// written next, the last one at the latest when the memory goes, and the file
// reads back whole.
void TestHeaderMemory::writesInTheBackground() {
    TempState t;
    const QString path = t.State->Paths.DataFolder + HeaderMemory::FileName();
    PopHeaderCache cache;
    const QList<HeaderField> fields{{QStringLiteral("Subject"), QString(1000, u's')},
                                    {QStringLiteral("From"), QStringLiteral("a@example.org")}};
    for (int n = 0; n < 10000; ++n)
        cache.Insert(QStringLiteral("host\n110\nann\nuid-%1").arg(n), fields, n);
    {
        HeaderMemory memory(path, cache);
        memory.WaitLoaded();
        memory.SaveIfChanged();
        // Changes made while the file is written wait for the next write.
        cache.Insert(QStringLiteral("host\n110\nann\nlate"), fields, 1);
        memory.SaveIfChanged();
        memory.WaitSaved();
        QCOMPARE(FileKeys(path).size(), 10001);
        cache.Insert(QStringLiteral("host\n110\nann\nlast"), fields, 1);
        memory.SaveIfChanged();
    } // the destructor waits for the write
    QCOMPARE(FileKeys(path).size(), 10002);

    PopHeaderCache reloaded;
    HeaderMemory memory(path, reloaded);
    memory.Load();
    memory.WaitLoaded();
    QCOMPARE(reloaded.Size(), 10002);
    QCOMPARE(reloaded.Bytes(), cache.Bytes());
}

QTEST_GUILESS_MAIN(TestHeaderMemory)
#include "test_header_memory.moc"
