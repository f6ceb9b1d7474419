#include "engine/header_text.h"
#include "engine/history_file.h"
#include "support/file_contents.h"
#include "engine/seen_messages.h"
#include "support/file_size_limit.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QtTest>

class TestHistoryFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void writesTheDesignedFormat();
    void roundTripAcrossARestart();
    void decodeDamaged_data();
    void decodeDamaged();
    void leavesOutEntriesTooLongForTheLengthField();
    void keepsTheNewestEntriesTheCountCanSay();
    void missingFileGivesAnEmptyList();
    void emptyListLeavesNoFile();
    void createsTheDataFolder();
    void failedWriteKeepsTheOldFile();
    void unwritableDataFolderIsReported();
    void mailboxesAfterTheEntries();
    void damagedMailboxPartLeavesTheEntries_data();
    void damagedMailboxPartLeavesTheEntries();
    void fileIsPrivate();
    void savesOnlyWhenChanged();
};

static void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestHistoryFile::writesTheDesignedFormat() {
    // Lengths count UTF-8 bytes: "é" is two.
    QCOMPARE(EncodeHistory({"ab", QString::fromUtf8("\xc3\xa9")}),
             QByteArray("    2    2ab    2\xc3\xa9"));
    const QStringList twelve(12, "x");
    QVERIFY(EncodeHistory(twelve).startsWith("   12    1x    1x"));
    QCOMPARE(EncodeHistory(QStringList{}), QByteArray("    0"));
}

void TestHistoryFile::roundTripAcrossARestart() {
    TempState t;
    const QStringList texts = {
        "Subject : Grüße aus Köln\r\nFrom : Jürgen <j@example.de>\r\nMessage-Id : <1@x>\r\n",
        "Subject : 日本語の件名\r\nFrom : 山田\r\n", // no Message-Id
        "Subject : plain\r\nMessage-Id : <3@x>\r\n"};
    for (const QString& h : texts)
        AppendHeader(t.State->SeenHeaders, h);
    QVERIFY(SaveHistory(*t.State));

    auto restarted = t.Reopen();
    AppendHeader(restarted->SeenHeaders, "Subject : stale\r\n"); // replaced by the load
    LoadHistory(*restarted);
    QCOMPARE(restarted->SeenHeaders.Texts(), texts);
    QCOMPARE(restarted->SeenHeaders.Identities(), t.State->SeenHeaders.Identities());
    for (const QString& h : texts)
        QVERIFY(IsSeenHeader(*restarted, h));
    QVERIFY(!IsSeenHeader(*restarted, "Subject : stale\r\n"));
}

void TestHistoryFile::decodeDamaged_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("count field cut short") << QByteArray("  2") << QStringList();
    QTest::newRow("blank count") << QByteArray("         1a") << QStringList();
    QTest::newRow("count 0") << QByteArray("    0    1a") << QStringList();
    QTest::newRow("count not a number") << QByteArray("  x 2    1a    1b") << QStringList();
    QTest::newRow("negative count") << QByteArray("   -1    1a") << QStringList();
    QTest::newRow("whole file") << QByteArray("    2    1a    2bc") << QStringList{"a", "bc"};
    QTest::newRow("bytes after the last entry ignored")
        << QByteArray("    1    1agarbage") << QStringList{"a"};
    QTest::newRow("fewer entries than counted")
        << QByteArray("    3    1a    2bc") << QStringList{"a", "bc"};
    QTest::newRow("last entry cut short") << QByteArray("    2    1a    5bc") << QStringList{"a"};
    QTest::newRow("length field cut short") << QByteArray("    2    1a  ") << QStringList{"a"};
    QTest::newRow("length not a number")
        << QByteArray("    3    1a  zz1b    1c") << QStringList{"a"};
    QTest::newRow("negative length") << QByteArray("    2    1a   -1b") << QStringList{"a"};
}

void TestHistoryFile::decodeDamaged() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QCOMPARE(DecodeHistory(bytes), entries);

    // Loading a damaged file is just as safe and keeps what it could read.
    TempState t;
    QVERIFY(QDir().mkpath(t.State->Paths.DataFolder));
    writeFile(HistoryFilePath(*t.State), bytes);
    LoadHistory(*t.State);
    QCOMPARE(t.State->SeenHeaders.Texts(), entries);
}

void TestHistoryFile::leavesOutEntriesTooLongForTheLengthField() {
    TempState t;
    const QString longest(99999, 'a');
    const QString tooLong = QString(99998, 'b') + QString::fromUtf8("\xc3\xa9"); // 100000 bytes
    AppendHeader(t.State->SeenHeaders, "Subject : first\r\n");
    AppendHeader(t.State->SeenHeaders, tooLong);
    AppendHeader(t.State->SeenHeaders, longest);
    QVERIFY(SaveHistory(*t.State));
    auto restarted = t.Reopen();
    LoadHistory(*restarted);
    QCOMPARE(restarted->SeenHeaders.Texts(), (QStringList{"Subject : first\r\n", longest}));
}

// More entries than the count field can say: the newest that fit are kept,
// with one too long for its length field among them left out.
void TestHistoryFile::keepsTheNewestEntriesTheCountCanSay() {
    QList<HistoryEntry> entries;
    for (int i = 0; i < HistoryFieldLimit + 3; ++i)
        entries.append(HistoryEntry{QString::number(i), {}});
    entries[HistoryFieldLimit].Text = QString(HistoryFieldLimit + 1, 'z');
    QStringList expected;
    for (qsizetype i = 3; i < entries.size(); ++i) {
        if (i != HistoryFieldLimit)
            expected.append(QString::number(i));
    }
    expected.prepend(QStringLiteral("2"));
    const QByteArray bytes = EncodeHistory(entries);
    QVERIFY(bytes.startsWith("99999    12    13    14"));
    QCOMPARE(DecodeHistory(bytes), expected);
}

void TestHistoryFile::missingFileGivesAnEmptyList() {
    TempState t;
    AppendHeader(t.State->SeenHeaders, "Subject : x\r\n");
    LoadHistory(*t.State);
    QCOMPARE(t.State->SeenHeaders.Size(), qsizetype(0));
}

void TestHistoryFile::emptyListLeavesNoFile() {
    TempState t;
    AppendHeader(t.State->SeenHeaders, "Subject : x\r\n");
    QVERIFY(SaveHistory(*t.State));
    QVERIFY(QFileInfo::exists(HistoryFilePath(*t.State)));
    t.State->SeenHeaders.Clear();
    QVERIFY(SaveHistory(*t.State));
    QVERIFY(!QFileInfo::exists(HistoryFilePath(*t.State)));
    QVERIFY(SaveHistory(*t.State)); // and nothing to remove is fine
}

void TestHistoryFile::createsTheDataFolder() {
    TempState t;
    QVERIFY(!QFileInfo::exists(t.State->Paths.DataFolder));
    AppendHeader(t.State->SeenHeaders, "Subject : x\r\n");
    QVERIFY(SaveHistory(*t.State));
    QCOMPARE(ReadWholeFile(HistoryFilePath(*t.State)), QByteArray("    1   13Subject : x\r\n"));
}

// A write that fails midway (here: the file size limit, which holds even for
// root) leaves the old history file as it was.
void TestHistoryFile::failedWriteKeepsTheOldFile() {
    TempState t;
    AppendHeader(t.State->SeenHeaders, "Subject : old\r\n");
    QVERIFY(SaveHistory(*t.State));
    const QByteArray old = ReadWholeFile(HistoryFilePath(*t.State));

    for (int n = 0; n < 100; ++n)
        AppendHeader(t.State->SeenHeaders, QString("Subject : %1\r\n").arg(n).repeated(10));

    QString reason;
    bool saved_ok = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Larkwatch: history not saved: "));
    {
        FileSizeLimit fullDisk(1024);
        QVERIFY(fullDisk.Active());
        saved_ok = SaveHistory(*t.State, &reason);
    }

    QVERIFY(!saved_ok);
    QVERIFY(!reason.isEmpty());
    QCOMPARE(ReadWholeFile(HistoryFilePath(*t.State)), old);
    // No half-written file was left beside it.
    QCOMPARE(QDir(t.State->Paths.DataFolder).entryList(QDir::Files | QDir::Hidden),
             QStringList{"log.tmp"});
}

void TestHistoryFile::unwritableDataFolderIsReported() {
    QTemporaryDir dir;
    writeFile(dir.filePath("plain-file"), "x");
    AppState state(StatePaths{dir.filePath("config/Larkwatch.ini"),
                              dir.filePath("plain-file/data/Larkwatch/")});
    AppendHeader(state.SeenHeaders, "Subject : x\r\n");
    QString reason;
    // Reported once, not at every pass while the disk stays unwritable.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^Larkwatch: history not saved: .*plain-file/data"));
    QTest::failOnWarning(QRegularExpression("history not saved"));
    QVERIFY(!SaveHistory(state, &reason));
    QVERIFY2(reason.contains("plain-file/data"), qPrintable(reason));
    AppendHeader(state.SeenHeaders, "Subject : y\r\n");
    QVERIFY(!SaveHistoryIfChanged(state));
    QVERIFY(state.SeenHeaders.ChangedSinceSave()); // tried again next time
    LoadHistory(state);                            // and loading from there is simply empty
    QCOMPARE(state.SeenHeaders.Size(), qsizetype(0));
}

// A reader of the plain format reads the count and the entries and stops: what
// follows them is the record of the mailboxes.
static QByteArray plainPart(const QByteArray& bytes) {
    qsizetype position = HistoryFieldWidth;
    const int count = bytes.left(HistoryFieldWidth).trimmed().toInt();
    for (int i = 0; i < count; ++i)
        position += HistoryFieldWidth + bytes.mid(position, HistoryFieldWidth).trimmed().toInt();
    return bytes.left(position);
}

void TestHistoryFile::mailboxesAfterTheEntries() {
    const QList<HistoryEntry> entries = {
        {"Message-Id : <1@x>\r\n", {"ann@pop.example.org:110"}},
        {"Message-Id : <2@x>\r\n", {"ann@pop.example.org:110", "bob@mail.example.org:995"}},
        {"Message-Id : <3@x>\r\n", {}}, // from an older file: no mailbox
        {QString::fromUtf8("Subject : caf\xc3\xa9\r\n"), {"bob@mail.example.org:995"}},
    };
    const QByteArray bytes = EncodeHistory(entries);
    QCOMPARE(bytes, plainPart(bytes) +
                        "LWMBX    2   23ann@pop.example.org:110   24bob@mail.example.org:995"
                        "    1    1    2    1    2    0    1    2");
    // Today's reader of the plain format reads every entry and nothing more.
    QStringList texts;
    for (const HistoryEntry& entry : entries)
        texts.append(entry.Text);
    QCOMPARE(plainPart(bytes), EncodeHistory(texts));
    QCOMPARE(DecodeHistory(bytes), texts);
    QCOMPARE(DecodeHistoryEntries(bytes), entries);

    // Through the files of two runs.
    TempState t;
    for (const HistoryEntry& entry : entries)
        t.State->SeenHeaders.Append(MessageIdentity(entry.Text), entry.Text, entry.Mailboxes);
    QVERIFY(SaveHistory(*t.State));
    QCOMPARE(ReadWholeFile(HistoryFilePath(*t.State)), bytes);
    auto restarted = t.Reopen();
    LoadHistory(*restarted);
    QCOMPARE(restarted->SeenHeaders.Texts(), texts);
    QCOMPARE(restarted->SeenHeaders.Mailboxes(), t.State->SeenHeaders.Mailboxes());
    QVERIFY(!restarted->SeenHeaders.ChangedSinceSave());
}

void TestHistoryFile::damagedMailboxPartLeavesTheEntries_data() {
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("no mailbox part") << QByteArray();
    QTest::newRow("another marker") << QByteArray("XXXXX    1    1a    1    1");
    QTest::newRow("cut in the names") << QByteArray("LWMBX    1   10ann");
    QTest::newRow("cut in the owners") << QByteArray("LWMBX    1    1a    1    1    1");
    QTest::newRow("owner out of range") << QByteArray("LWMBX    1    1a    1    2    0");
    QTest::newRow("owner 0") << QByteArray("LWMBX    1    1a    1    0    0");
    QTest::newRow("more owners than names") << QByteArray("LWMBX    1    1a    2    1    1    0");
    QTest::newRow("not a number") << QByteArray("LWMBX    1    1a    x    0");
}

void TestHistoryFile::damagedMailboxPartLeavesTheEntries() {
    QFETCH(QByteArray, tail);
    const QByteArray bytes = EncodeHistory(QStringList{"one", "two"}) + tail;
    QCOMPARE(DecodeHistoryEntries(bytes), (QList<HistoryEntry>{{"one", {}}, {"two", {}}}));
}

void TestHistoryFile::fileIsPrivate() {
    TempState t;
    AppendHeader(t.State->SeenHeaders, "Subject : x\r\n");
    QVERIFY(SaveHistory(*t.State));
    QCOMPARE(QFile::permissions(HistoryFilePath(*t.State)),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
}

void TestHistoryFile::savesOnlyWhenChanged() {
    TempState t;
    AppState& s = *t.State;
    const QString path = HistoryFilePath(s);
    QVERIFY(SaveHistoryIfChanged(s)); // nothing yet: no file
    QVERIFY(!QFileInfo::exists(path));
    AppendHeader(s.SeenHeaders, "Subject : x\r\n");
    QVERIFY(SaveHistoryIfChanged(s));
    QCOMPARE(ReadWholeFile(path), QByteArray("    1   13Subject : x\r\n"));
    QFile::remove(path);
    QVERIFY(SaveHistoryIfChanged(s)); // unchanged since: not written again
    QVERIFY(!QFileInfo::exists(path));
    s.SeenHeaders.Remember(MessageIdentity("Subject : x\r\n"), "Subject : x\r\n", "ann@h:110");
    QVERIFY(SaveHistoryIfChanged(s)); // a mailbox more is a change
    QVERIFY(QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "test_history_file.moc"
