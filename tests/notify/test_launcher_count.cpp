#include "engine/scheduler.h"
#include "main_window/main_window.h"
#include "notify/launcher_count.h"
#include "notify/launcher_tray.h"
#include "notify/sys_tray.h"
#include "records/account_store.h"
#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QtTest>

#include <memory>

// The count of new mail on the desktop's launcher, heard as a dock hears it:
// a listener on the private session bus the test runs in (dbus-run-session).
class TestLauncherCount : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void followsTheTrayCount_data();
    void followsTheTrayCount();
    void countOfAPassClearedByMinimising();
};

namespace {

// Every Update on the bus, as "uri count visible".
class LauncherListener : public QObject {
    Q_OBJECT
public:
    LauncherListener()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "listener")) {
        m_bus.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", this,
                      SLOT(OnUpdate(QString, QVariantMap)));
    }
    ~LauncherListener() override { QDBusConnection::disconnectFromBus("listener"); }
    QStringList Heard;
Q_SIGNALS:
    void Updated();
private Q_SLOTS:
    void OnUpdate(const QString& uri, const QVariantMap& properties) {
        const QVariant count = properties.value("count");
        Heard << QString("%1 %2%3 %4")
                     .arg(uri)
                     .arg(count.toLongLong())
                     .arg(count.typeId() == QMetaType::LongLong ? "" : " (not int64)")
                     .arg(properties.value("count-visible").toBool() ? "visible" : "hidden");
        Q_EMIT Updated();
    }

private:
    QDBusConnection m_bus;
};

// The tray area of a window that records the pictures it is given.
class RecordingTray : public TrayArea {
public:
    bool Available() const override { return false; }
    void SetInTray(bool) override {}
    void SetPicture(TrayPicture picture, int newMessages) override {
        Pictures << QString("%1:%2").arg(int(picture)).arg(newMessages);
    }
    QStringList Pictures;
};

const QString kUri = "application://io.github.larkwatch.Larkwatch.desktop";

QByteArray Mail(int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Ann <ann@example.org>\r\nSubject: Note " + number + "\r\nMessage-ID: <" + number +
           "@launcher.example>\r\n\r\nBody\r\n";
}

} // namespace

void TestLauncherCount::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under dbus-run-session");
}

void TestLauncherCount::init() {
    FailOnUnexpectedWarnings();
}

// Pictures in order, each "picture:count" ("2:3" the new-mail picture with
// 3), and the updates the launcher hears: only changes, checking leaves the
// count, every other picture clears it.
void TestLauncherCount::followsTheTrayCount_data() {
    QTest::addColumn<QStringList>("pictures");
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("new mail, then none")
        << QStringList{"2:3", "0:0"} << QStringList{kUri + " 3 visible", kUri + " 0 hidden"};
    QTest::newRow("checking keeps the count, the same count is not sent again")
        << QStringList{"2:2", "1:0", "2:2", "1:0", "2:5"}
        << QStringList{kUri + " 2 visible", kUri + " 5 visible"};
    QTest::newRow("suspended clears")
        << QStringList{"2:1", "3:0"} << QStringList{kUri + " 1 visible", kUri + " 0 hidden"};
    QTest::newRow("nothing to clear at first") << QStringList{"0:0", "1:0", "0:0"} << QStringList{};
    QTest::newRow("the picture without its count (TrayCount off)")
        << QStringList{"2:0"} << QStringList{};
}

void TestLauncherCount::followsTheTrayCount() {
    QFETCH(QStringList, pictures);
    QFETCH(QStringList, heard);
    LauncherListener listener;
    QSignalSpy updated(&listener, &LauncherListener::Updated);
    RecordingTray inner;
    LauncherCount launcher;
    LauncherTray tray(inner, launcher);
    int told = 0; // whoever publishes the count hears of every picture
    tray.PictureSet = [&told] { ++told; };
    for (const QString& picture : pictures)
        tray.SetPicture(TrayPicture(picture.section(':', 0, 0).toInt()),
                        picture.section(':', 1).toInt());
    QCOMPARE(inner.Pictures, pictures); // the tray itself sees every one
    QCOMPARE(told, int(pictures.size()));
    // A last update of our own marks the end of what was sent.
    launcher.Show(99);
    QTRY_COMPARE(listener.Heard.size(), heard.size() + 1);
    QCOMPARE(listener.Heard.mid(0, heard.size()), heard);
}

// The window with no notification area: a pass with new mail puts its count
// on the launcher, minimising (the mail acknowledged) takes it away.
void TestLauncherCount::countOfAPassClearedByMinimising() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    for (int n = 1; n <= 3; ++n)
        server.AddMessage(Mail(n));
    TempState t;
    t.State->Accounts = {FakeServerAccount("Home", server.Port())};
    SaveAccounts(*t.State);
    LauncherListener listener;
    SysTray sysTray;
    LauncherCount launcher;
    LauncherTray tray(sysTray, launcher);
    WindowCollaborators parts;
    parts.Tray = &tray;
    MainWindow window(*t.State, parts);
    window.Form_Load();
    window.PoolingEvent().stop();
    QVERIFY(!tray.Available());

    window.Passes().RunPass();
    QTRY_COMPARE(listener.Heard, QStringList{kUri + " 3 visible"});
    window.showMinimized();
    QTRY_COMPARE(listener.Heard, QStringList({kUri + " 3 visible", kUri + " 0 hidden"}));
    QCOMPARE(t.State->NewMailCount, qint16(0));
}

QTEST_MAIN(TestLauncherCount)
#include "test_launcher_count.moc"
