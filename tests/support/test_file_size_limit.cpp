#include "support/fail_on_warning.h"
#include "support/file_size_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The full disk that the file-writing tests use: writes beyond the limit fail
// without ending the process, and everything is as before once it is gone.
class TestFileSizeLimit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void limitsWritesAndRestoresEverything();
};

void TestFileSizeLimit::limitsWritesAndRestoresEverything() {
    struct rlimit before {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    struct sigaction handlerBefore {};
    QCOMPARE(sigaction(SIGXFSZ, nullptr, &handlerBefore), 0);

    QTemporaryDir dir;
    QFile file(dir.filePath("big"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    {
        FileSizeLimit fullDisk(100);
        QVERIFY(fullDisk.Active());
        struct sigaction during {};
        QCOMPARE(sigaction(SIGXFSZ, nullptr, &during), 0);
        QVERIFY(during.sa_handler == SIG_IGN);
        QCOMPARE(file.write(QByteArray(60, 'x')), qint64(60));
        // The rest of a write that crosses the limit, then nothing at all.
        QCOMPARE(file.write(QByteArray(60, 'y')), qint64(40));
        QCOMPARE(file.write(QByteArray(1, 'z')), qint64(-1));
    }
    QCOMPARE(file.write(QByteArray(10, 'w')), qint64(10));
    file.close();
    QCOMPARE(QFileInfo(file).size(), qint64(110));

    struct rlimit after {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &after), 0);
    QCOMPARE(after.rlim_cur, before.rlim_cur);
    QCOMPARE(after.rlim_max, before.rlim_max);
    struct sigaction handlerAfter {};
    QCOMPARE(sigaction(SIGXFSZ, nullptr, &handlerAfter), 0);
    QVERIFY(handlerAfter.sa_handler == handlerBefore.sa_handler);
}

QTEST_GUILESS_MAIN(TestFileSizeLimit)
#include "test_file_size_limit.moc"
