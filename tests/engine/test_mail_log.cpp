#include "engine/mail_log.h"
#include "support/file_contents.h"
#include "support/file_size_limit.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QDir>
#include <sys/stat.h>
#include <QtTest>

class TestMailLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void fileName_data();
    void fileName();
    void appendsEntriesAsUtf8WithCrLf();
    void disabledLogTouchesNothing();
    void createsAMissingLogFolder_data();
    void createsAMissingLogFolder();
    void unopenableLogKeepsTheReason_data();
    void unopenableLogKeepsTheReason();
    void failedWriteStopsWritingWithTheReason();
};

void TestMailLog::fileName_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("allInOne");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("per account") << "Work" << false << "Work.doc";
    QTest::newRow("master file") << "Work" << true << "Master.doc";
    QTest::newRow("non-ASCII title kept") << "Büro München" << false << "Büro München.doc";
    QTest::newRow("parent folder") << "../x" << false << ".._x.doc";
    QTest::newRow("slash") << "a/b" << false << "a_b.doc";
    QTest::newRow("absolute path") << "/etc/passwd" << false << "_etc_passwd.doc";
    QTest::newRow("dot") << "." << false << "_.doc";
    QTest::newRow("dot dot") << ".." << false << "__.doc";
    QTest::newRow("control characters")
        << QString("a\tb\nc") + QChar(0x7f) + QChar(0x1b) << false << "a_b_c__.doc";
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b" << false << "a_b.doc";
}

// The name is as expected and the file it makes lies in the log folder.
void TestMailLog::fileName() {
    QFETCH(QString, title);
    QFETCH(bool, allInOne);
    QFETCH(QString, fileName);
    TempState t;
    GeneralOptions options = t.State->AppSettings;
    options.LogDisabled = false;
    options.LogAllInOne = allInOne;
    const QString folder = options.LogFilesPath;
    QVERIFY(folder.endsWith('/'));
    QCOMPARE(MailLogFilePath(options, title), folder + fileName);

    MailLog log;
    QVERIFY2(log.Open(options, title), qPrintable(log.ErrorText()));
    log.WriteEntry("Subject : x\r\n");
    log.Close();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{fileName});
    // Nothing else appeared beside the log folder.
    QCOMPARE(QDir(folder + "..").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"Logs"});
}

void TestMailLog::appendsEntriesAsUtf8WithCrLf() {
    TempState t;
    GeneralOptions options = t.State->AppSettings;
    options.LogDisabled = false;
    options.LogAllInOne = false;
    options.LogFilesPath.chop(1); // a typed path without the final slash
    const QString first = "Subject : Grüße\r\nFrom : Ann\r\n";
    const QString second = "Subject : two\r\nFrom : Bob"; // no final line end

    MailLog log;
    QVERIFY(log.Open(options, "Home"));
    QVERIFY(log.IsOpen());
    log.WriteEntry(first);
    log.Close();
    QVERIFY(!log.IsOpen());
    QVERIFY(log.Open(options, "Home")); // a later check appends
    log.WriteEntry(second);
    log.Close();
    QVERIFY(log.ErrorText().isEmpty());

    const QByteArray expected = "[Begin Header]\r\n"
                                "Subject : Gr\xc3\xbc\xc3\x9f"
                                "e\r\nFrom : Ann\r\n"
                                "[End Header]\r\n"
                                "[Begin Header]\r\n"
                                "Subject : two\r\nFrom : Bob\r\n"
                                "[End Header]\r\n";
    QCOMPARE(ReadWholeFile(options.LogFilesPath + "/Home.doc"), expected);

    options.LogAllInOne = true;
    QVERIFY(log.Open(options, "Home"));
    log.WriteEntry(first);
    log.Close();
    QVERIFY(ReadWholeFile(options.LogFilesPath + "/Master.doc")
                .startsWith("[Begin Header]\r\nSubject"));
}

void TestMailLog::disabledLogTouchesNothing() {
    TempState t;
    GeneralOptions options = t.State->AppSettings;
    QVERIFY(options.LogDisabled); // off until the user turns it on
    MailLog log;
    QVERIFY(!log.Open(options, "Work"));
    QVERIFY(!log.IsOpen());
    QVERIFY(log.ErrorText().isEmpty());
    log.WriteEntry("Subject : x\r\n");
    log.Close();
    QVERIFY(!QFileInfo::exists(options.LogFilesPath));
}

namespace {
// The usual umask, for the length of a test, whatever the test runs under.
class UsualUmask {
public:
    UsualUmask() : m_saved(::umask(022)) {}
    ~UsualUmask() { ::umask(m_saved); }
    UsualUmask(const UsualUmask&) = delete;
    UsualUmask& operator=(const UsualUmask&) = delete;

private:
    mode_t m_saved;
};

// The permission bits in octal, as ls and chmod write them.
QString modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return "(none)";
    return QString::number(info.st_mode & 0777, 8);
}
} // namespace

// The logs hold the headers of the user's mail: what Larkwatch creates for
// them only the user may read; a folder that exists keeps its mode.
void TestMailLog::createsAMissingLogFolder_data() {
    QTest::addColumn<QString>("existing"); // made beforehand, 0755
    QTest::newRow("every folder missing") << QString();
    QTest::newRow("the folder above exists") << QString("deep/er");
    QTest::newRow("the log folder exists") << QString("deep/er/logs");
}

void TestMailLog::createsAMissingLogFolder() {
    QFETCH(QString, existing);
    UsualUmask umask;
    TempState t;
    const QDir top(t.Dir.path());
    if (!existing.isEmpty())
        QVERIFY(top.mkpath(existing));
    GeneralOptions options = t.State->AppSettings;
    options.LogDisabled = false;
    options.LogFilesPath = top.filePath("deep/er/logs/");
    MailLog log;
    QVERIFY2(log.Open(options, "Work"), qPrintable(log.ErrorText()));
    log.WriteEntry("Subject : x\r\n");
    log.Close();
    QVERIFY(QFileInfo::exists(options.LogFilesPath + "Master.doc"));

    for (const QString folder : {"deep", "deep/er", "deep/er/logs"}) {
        const bool madeBefore = existing == folder || existing.startsWith(folder + "/");
        QCOMPARE(modeOf(top.filePath(folder)), QString(madeBefore ? "755" : "700"));
    }
    QCOMPARE(modeOf(options.LogFilesPath + "Master.doc"), QString("600"));
}

void TestMailLog::unopenableLogKeepsTheReason_data() {
    QTest::addColumn<QString>("logFolder"); // under the temporary folder
    QTest::addColumn<QString>("reasonNames");
    // A regular file where a folder should be works even for root.
    QTest::newRow("folder under a regular file") << "plain-file/logs/"
                                                 << "plain-file/logs";
    QTest::newRow("folder is a regular file") << "plain-file/"
                                              << "plain-file";
    QTest::newRow("log file is a folder") << "logs/"
                                          << "Master.doc";
}

void TestMailLog::unopenableLogKeepsTheReason() {
    QFETCH(QString, logFolder);
    QFETCH(QString, reasonNames);
    TempState t;
    QFile plain(t.Dir.filePath("plain-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(t.Dir.path()).mkpath("logs/Master.doc"));

    GeneralOptions options = t.State->AppSettings;
    options.LogDisabled = false;
    options.LogFilesPath = t.Dir.filePath(logFolder);
    MailLog log;
    QVERIFY(!log.Open(options, "Work"));
    QVERIFY(!log.IsOpen());
    QVERIFY2(log.ErrorText().startsWith("Mail log not written: "), qPrintable(log.ErrorText()));
    QVERIFY2(log.ErrorText().contains(reasonNames), qPrintable(log.ErrorText()));
    log.WriteEntry("Subject : x\r\n"); // a no-op, the check goes on
    log.Close();
    QCOMPARE(QFileInfo(t.Dir.filePath("plain-file")).size(), qint64(0));
}

// A write the disk refuses midway (the file size limit holds even for root)
// ends the writing for this check and keeps the reason.
void TestMailLog::failedWriteStopsWritingWithTheReason() {
    TempState t;
    GeneralOptions options = t.State->AppSettings;
    options.LogDisabled = false;
    MailLog log;
    QVERIFY(log.Open(options, "Work"));

    {
        FileSizeLimit fullDisk(100);
        QVERIFY(fullDisk.Active());
        log.WriteEntry("Subject : " + QString(200, 'x') + "\r\n");
        log.WriteEntry("Subject : second\r\n");
    }

    QVERIFY(!log.IsOpen());
    QVERIFY2(log.ErrorText().startsWith("Mail log not written: "), qPrintable(log.ErrorText()));
    log.WriteEntry("Subject : third\r\n"); // still a no-op
    log.Close();
    QCOMPARE(QFileInfo(MailLogFilePath(options, "Work")).size(), qint64(100));
}

QTEST_GUILESS_MAIN(TestMailLog)
#include "test_mail_log.moc"
