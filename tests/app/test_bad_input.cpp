#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "app/check_mode.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"
#include "tree/account_tree_model.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

// Files a person may have edited by hand, or that were damaged: the program
// starts with what it can read, keeps what it could not, and writes nothing
// outside its own folders whatever an account is called.
class TestBadInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void damagedSettingsStartTheWindow_data();
    void damagedSettingsStartTheWindow();
    void checkModeLeavesDamagedSettingsAlone();
    void mailLogStaysInItsFolder();
};

void TestBadInput::init() {
    FailOnUnexpectedWarnings();
}

namespace {

QByteArray RandomBytes(int count, quint32 seed) {
    QByteArray bytes;
    QRandomGenerator generator(seed);
    for (int i = 0; i < count; ++i)
        bytes.append(char(generator.bounded(256)));
    return bytes;
}

void WriteRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadRaw(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

const QByteArray HugeTitle(1 << 20, 'T');

} // namespace

void TestBadInput::damagedSettingsStartTheWindow_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("setAside");        // not readable in full: kept as it was
    QTest::addColumn<QStringList>("accounts"); // the account nodes' texts after start-up

    const QString unchecked = " --- Unchecked.";
    QTest::newRow("random bytes") << RandomBytes(16384, 7) << true << QStringList();
    QTest::newRow("a Total of 10^11")
        << QByteArray("[Accounts]\nTotal=100000000000\nTitle1=Home\n") << false << QStringList();
    QTest::newRow("absurd values")
        << "[Accounts]\nTotal=2\nTitle1=Home\nPort1=-1\nDisabled1=maybe\nTitle2=" + HugeTitle +
               "\nPort2=99999999999\n[Config]\nPoolingTime=100000000000\nTop=1e30\nLeft=-1e30\n"
               "Width=0\nHeight=-5\nState=7\nAutoMin=2\n"
        << false << QStringList{"Home" + unchecked, QString(HugeTitle) + unchecked};
    QTest::newRow("readable parts around a damaged one")
        << "[Accounts]\nTotal=1\nTitle1=Work\n" + RandomBytes(64, 9).replace('\n', ' ') +
               "\n[Config]\nAutoExpand=False\n"
        << true << QStringList{"Work" + unchecked};
}

void TestBadInput::damagedSettingsStartTheWindow() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, setAside);
    QFETCH(QStringList, accounts);
    TempState t;
    const QString path = t.State->Paths.SettingsFile;
    WriteRaw(path, bytes);
    auto state = t.Reopen();
    if (setAside)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be read in full"));

    {
        MainWindow window(*state);
        window.Form_Load();
        window.PoolingEvent().stop();
        QVERIFY(window.isVisible());
        QStringList texts;
        for (const QString& key : window.Model().Keys())
            texts.append(window.Model().Text(key));
        QCOMPARE(texts, accounts);
        QCOMPARE(state->PollMinutes, 5); // an absurd interval is not taken
        QVERIFY(window.width() > 0 && window.height() > 0);
        QSignalSpy unloaded(&window, &MainWindow::Unloaded);
        state->ExitPending = true; // no question
        window.Unload();
        QCOMPARE(unloaded.count(), 1);
    }

    // The window's placement was written; nothing it could not read is lost.
    QCOMPARE(ReadRaw(path + ".unreadable"), setAside ? bytes : QByteArray("(no file)"));
    const QByteArray after = ReadRaw(path);
    QVERIFY(after.contains("State=0\n"));
    if (!setAside) {
        for (const QByteArray& line : bytes.split('\n')) {
            if (!line.startsWith("Top=") && !line.startsWith("Left=") &&
                !line.startsWith("Width=") && !line.startsWith("Height=") &&
                !line.startsWith("State="))
                QVERIFY2(after.contains(line + '\n'), line.left(60).constData());
        }
    }
}

void TestBadInput::checkModeLeavesDamagedSettingsAlone() {
    TempState t;
    const QByteArray bytes = RandomBytes(16384, 11);
    WriteRaw(t.State->Paths.SettingsFile, bytes);
    auto state = t.Reopen();
    QString out;
    QTextStream stream(&out);
    QCOMPARE(RunCheckMode(*state, false, stream), 0); // no account: nothing failed
    QVERIFY(out.isEmpty());
    QCOMPARE(ReadRaw(t.State->Paths.SettingsFile), bytes); // the check never writes settings
}

// However an account is called, its mail log goes into LogFilesPath.
void TestBadInput::mailLogStaysInItsFolder() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(
        "Subject: Hi\r\nFrom: Ann <ann@example.org>\r\nMessage-ID: <1@x>\r\n\r\nHi\r\n");
    TempState t;
    const QStringList titles = {"../../x", "/etc/passwd", "..", "a/../../b", "~/y", "c\\..\\d"};
    for (int n = 0; n < titles.size(); ++n) {
        t.State->Accounts.append(FakeServerAccount(titles[n], server.Port()));
    }
    SaveAccounts(*t.State);
    const QString logs = t.Dir.path() + "/deep/down/logs/";
    t.State->Store.WriteSetting("Config", "LogDisabled", "False");
    t.State->Store.WriteSetting("Config", "LogAllInOne", "False");
    t.State->Store.WriteSetting("Config", "LogFilesPath", logs);
    auto state = t.Reopen();
    QString out;
    QTextStream stream(&out);
    QCOMPARE(RunCheckMode(*state, false, stream), 0);

    QStringList files;
    QDirIterator it(t.Dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(t.Dir.path()).relativeFilePath(it.next()));
    files.sort();
    QCOMPARE(files, (QStringList{"config/Larkwatch/Larkwatch.ini", "data/Larkwatch/headers.dat",
                                 "data/Larkwatch/log.tmp", "deep/down/logs/.._.._x.doc",
                                 "deep/down/logs/__.doc", "deep/down/logs/_etc_passwd.doc",
                                 "deep/down/logs/a_.._.._b.doc", "deep/down/logs/c\\..\\d.doc",
                                 "deep/down/logs/~_y.doc"}));
}

QTEST_MAIN(TestBadInput)
#include "test_bad_input.moc"
