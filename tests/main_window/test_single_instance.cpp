#include "main_window/single_instance.h"
#include "support/fail_on_warning.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <unistd.h>

// One Larkwatch per user, and the program's refusals at start.
class TestSingleInstance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void initTestCase();
    void secondInstanceRefused();
    void lockOfCrashedInstanceIsTakenOver();
    void lockThatCannotBeMadeKeepsNoneOut_data();
    void lockThatCannotBeMadeKeepsNoneOut();
    void checkStartsWithoutALock();
    void alreadyRunningMessage();
    void noDisplaySaysSoInOneLine_data();
    void noDisplaySaysSoInOneLine();
    void lockLivesInRuntimeFolder();
};

void TestSingleInstance::initTestCase() {
    // The user's runtime folder exists on a desktop, private to the user.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QVERIFY(!runtime.isEmpty());
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner));
}

void TestSingleInstance::secondInstanceRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("larkwatch.lock");
    auto first = std::make_unique<SingleInstance>(path);
    QVERIFY(first->TryAcquire());
    QVERIFY(first->TryAcquire()); // asking again changes nothing
    SingleInstance second(path);
    QVERIFY(!second.TryAcquire());
    QVERIFY(second.AnotherInstanceRunning());
    // When the first one ends, the next start succeeds.
    first.reset();
    QVERIFY(second.TryAcquire());
}

void TestSingleInstance::lockOfCrashedInstanceIsTakenOver() {
    QTemporaryDir dir;
    const QString path = dir.filePath("larkwatch.lock");
    // A lock whose owner process has ended without removing it.
    QProcess ended;
    ended.start("true");
    QVERIFY(ended.waitForStarted());
    const qint64 deadPid = ended.processId();
    QVERIFY(ended.waitForFinished());
    QByteArray contents;
    {
        QLockFile probe(path);
        QVERIFY(probe.tryLock(0));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
        probe.unlock();
    }
    contents = QByteArray::number(deadPid) + contents.mid(contents.indexOf('\n'));
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(contents);
    stale.close();

    SingleInstance instance(path);
    QVERIFY(instance.TryAcquire());
}

// Only a lock that another running Larkwatch holds keeps this one from
// starting; a lock that cannot be made is a warning.
void TestSingleInstance::lockThatCannotBeMadeKeepsNoneOut_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("runtime folder missing, a file in its place")
        << "file in place of the folder"
        << "its folder is missing and cannot be made";
    QTest::newRow("runtime folder read-only") << "read-only folder"
                                              << "its folder cannot be written";
    QTest::newRow("no runtime folder at all") << "no path"
                                              << "there is no runtime folder";
    QTest::newRow("a lock file that is no lock") << "empty lock file"
                                                 << "a file that is no lock stands in its place";
}

void TestSingleInstance::lockThatCannotBeMadeKeepsNoneOut() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath("run/larkwatch.lock");
    QVERIFY(QDir().mkpath(dir.filePath("run")));
    if (fault == "file in place of the folder") {
        QFile blocker(dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        path = dir.filePath("blocker/run/larkwatch.lock");
    } else if (fault == "read-only folder") {
        if (::geteuid() == 0)
            QSKIP("the superuser writes into a read-only folder");
        QVERIFY(QFile::setPermissions(dir.filePath("run"),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (fault == "no path") {
        path.clear();
    } else {
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    const QString named = path.isEmpty() ? "larkwatch.lock" : path;
    QTest::ignoreMessage(QtWarningMsg, "Larkwatch: the lock file " + named.toUtf8() +
                                           " cannot be made (" + reason.toUtf8() +
                                           "); a second Larkwatch will not be kept from starting");
    SingleInstance instance(path);
    QVERIFY(!instance.AnotherInstanceRunning());
    QFile::setPermissions(dir.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The program itself: a lock file that is no lock (as a full runtime folder
// can leave) is said on standard error, and the check runs (no account:
// nothing to check, nothing wrong).
void TestSingleInstance::checkStartsWithoutALock() {
    QTemporaryDir dir;
    const QString runtime = dir.filePath("run");
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner));
    QFile empty(runtime + "/larkwatch.lock");
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("HOME", dir.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(LARKWATCH_PROGRAM, {"--check"});
    QVERIFY(program.waitForFinished(20000));
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, qPrintable(err));
    QCOMPARE(err, "Larkwatch: the lock file " + runtime +
                      "/larkwatch.lock cannot be made (a file that is no lock stands in its "
                      "place); a second Larkwatch will not be kept from starting\n");
}

void TestSingleInstance::alreadyRunningMessage() {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    ShowAlreadyRunning();
    QCOMPARE(text, QString("Larkwatch is already running in the tray!"));
    QCOMPARE(title, QString("Larkwatch"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::Ok);
}

void TestSingleInstance::noDisplaySaysSoInOneLine_data() {
    QTest::addColumn<QString>("display");
    QTest::newRow("no display configured") << QString();
    QTest::newRow("display that cannot be reached") << QString(":93");
}

void TestSingleInstance::noDisplaySaysSoInOneLine() {
    QFETCH(QString, display);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.remove("DISPLAY");
    if (!display.isEmpty())
        env.insert("DISPLAY", display);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(LARKWATCH_PROGRAM, QStringList());
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    const QString err = QString::fromUtf8(program.readAllStandardError()).trimmed();
    QVERIFY2(!err.contains('\n'), qPrintable(err));
    QVERIFY2(err.contains("no graphical display"), qPrintable(err));
    QVERIFY2(err.contains("--check"), qPrintable(err));
}

void TestSingleInstance::lockLivesInRuntimeFolder() {
    const QString path = SingleInstance::StandardLockFilePath();
    QVERIFY(path.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/"));
}

QTEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
