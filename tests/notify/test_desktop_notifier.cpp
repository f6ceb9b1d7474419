#include "notify/desktop_notifier.h"
#include "support/fail_on_warning.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QtTest>

// A notification service of the test's own on the private session bus the
// test runs in (dbus-run-session), on a connection of its own, so that every
// call goes through the bus as it does on a desktop.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString AppName;
        uint ReplacesId;
        QString Icon;
        QString Summary;
        QString Body;
        QStringList Actions;
        QVariantMap Hints;
        int Timeout;
    };

    explicit FakeNotificationService(const QString& connectionName)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)) {}
    ~FakeNotificationService() override {
        m_bus.unregisterService("org.freedesktop.Notifications");
        QDBusConnection::disconnectFromBus(m_bus.name());
    }
    bool Register() {
        return m_bus.registerObject("/org/freedesktop/Notifications", this,
                                    QDBusConnection::ExportAllSlots) &&
               m_bus.registerService("org.freedesktop.Notifications");
    }
    void Emit(const char* signal, uint id, const QVariant& second) {
        QDBusMessage message = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                          "org.freedesktop.Notifications", signal);
        message << id << second;
        QVERIFY(m_bus.send(message));
    }

    QList<Call> Calls;

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout) {
        Calls.append({appName, replacesId, icon, summary, body, actions, hints, timeout});
        return replacesId != 0 ? replacesId : ++m_lastId;
    }
    QStringList GetCapabilities() { return Capabilities; }

public:
    QStringList Capabilities{"actions", "body", "body-markup"};

private:
    QDBusConnection m_bus;
    uint m_lastId = 40;
};

class TestDesktopNotifier : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void body_data();
    void body();
    void announcementsReplaceEachOther();
    void clickOnTheNotificationActivates();
    void actionsWhereTheServiceShowsThem_data();
    void actionsWhereTheServiceShowsThem();
    void offWhenNoServiceAnswers();
};

void TestDesktopNotifier::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under dbus-run-session");
}

void TestDesktopNotifier::init() {
    FailOnUnexpectedWarnings();
}

void TestDesktopNotifier::body_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<NoticeMessage>>("messages");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    const NoticeMessage ann{"Ann <ann@example.org>", "Lunch & <b>cake</b>"};
    const NoticeMessage bob{"Bob", "Re: 2 > 1"};
    const NoticeMessage blank{"  ", ""};
    const NoticeMessage folded{"Cy\r\n Dee", "a\tb"};
    QTest::newRow("one, escaped")
        << 1 << QList<NoticeMessage>{ann} << "Larkwatch: 1 new message"
        << "Ann &lt;ann@example.org&gt;: Lunch &amp; &lt;b&gt;cake&lt;/b&gt;";
    QTest::newRow("three listed, one line each")
        << 3 << QList<NoticeMessage>{bob, blank, folded} << "Larkwatch: 3 new messages"
        << "Bob: Re: 2 &gt; 1\n(no sender): (no subject)\nCy   Dee: a b";
    QTest::newRow("the rest counted")
        << 12 << QList<NoticeMessage>{ann, bob, bob, ann, bob} << "Larkwatch: 12 new messages"
        << "Ann &lt;ann@example.org&gt;: Lunch &amp; &lt;b&gt;cake&lt;/b&gt;\n"
           "Bob: Re: 2 &gt; 1\nBob: Re: 2 &gt; 1\nand 9 more";
}

void TestDesktopNotifier::body() {
    QFETCH(int, count);
    QFETCH(QList<NoticeMessage>, messages);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    QCOMPARE(DesktopNotifier::Summary(count), summary);
    QCOMPARE(DesktopNotifier::Body(count, messages), body);
}

// The whole call as the service sees it; the next pass's notification
// replaces the shown one, and one closed on the desktop is not replaced.
void TestDesktopNotifier::announcementsReplaceEachOther() {
    FakeNotificationService service("replace");
    QVERIFY(service.Register());
    DesktopNotifier notifier;
    QSignalSpy answered(&notifier, &DesktopNotifier::Answered);

    QVERIFY(!notifier.Announce(0, {})); // nothing new: nothing sent
    QVERIFY(notifier.Announce(2, {{"Ann", "Hello"}, {"Bob", "<x>"}}));
    QVERIFY(answered.wait());
    QCOMPARE(answered.takeFirst(), QVariantList{true});
    QCOMPARE(service.Calls.size(), 1);
    const FakeNotificationService::Call& first = service.Calls.at(0);
    QCOMPARE(first.AppName, QString("Larkwatch"));
    QCOMPARE(first.ReplacesId, 0u);
    QCOMPARE(first.Icon, QString("larkwatch"));
    QCOMPARE(first.Summary, QString("Larkwatch: 2 new messages"));
    QCOMPARE(first.Body, QString("Ann: Hello\nBob: &lt;x&gt;"));
    QCOMPARE(first.Actions, QStringList({"default", "View Mail", "view", "View Mail", "mark-read",
                                         "Mark as read"}));
    QCOMPARE(first.Hints.value("desktop-entry").toString(),
             QString("io.github.larkwatch.Larkwatch"));
    QCOMPARE(first.Hints.value("category").toString(), QString("email.arrived"));
    QCOMPARE(first.Timeout, -1);
    QCOMPARE(notifier.ShownId(), 41u);

    notifier.Announce(3, {{"Ann", "Hello"}, {"Bob", "<x>"}, {"Cy", "Hi"}});
    QVERIFY(answered.wait());
    QCOMPARE(service.Calls.size(), 2);
    QCOMPARE(service.Calls.at(1).ReplacesId, 41u);
    QCOMPARE(service.Calls.at(1).Summary, QString("Larkwatch: 3 new messages"));

    service.Emit("NotificationClosed", 41, QVariant::fromValue(2u)); // dismissed
    QTRY_COMPARE(notifier.ShownId(), 0u);
    notifier.Announce(1, {{"Dee", "Later"}});
    QVERIFY(answered.wait());
    QCOMPARE(service.Calls.at(2).ReplacesId, 0u);
    QCOMPARE(notifier.ShownId(), 42u);
}

void TestDesktopNotifier::clickOnTheNotificationActivates() {
    FakeNotificationService service("click");
    QVERIFY(service.Register());
    DesktopNotifier notifier;
    QSignalSpy answered(&notifier, &DesktopNotifier::Answered);
    QSignalSpy activated(&notifier, &DesktopNotifier::Activated);
    notifier.Announce(1, {{"Ann", "Hello"}});
    QVERIFY(answered.wait());
    const uint id = notifier.ShownId();

    // Another program's notification and another action do nothing.
    service.Emit("ActionInvoked", id + 100, QString("default"));
    service.Emit("ActionInvoked", id, QString("other"));
    service.Emit("ActionInvoked", id, QString("default"));
    QVERIFY(activated.wait());
    QCOMPARE(activated.size(), 1);
}

// "View Mail" and "Mark as read" where the service lists "actions"; only the
// click where it does not. Each action chosen raises its own signal.
void TestDesktopNotifier::actionsWhereTheServiceShowsThem_data() {
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("activated");
    QTest::addColumn<int>("markRead");
    const QStringList all{"default", "View Mail", "view", "View Mail", "mark-read", "Mark as read"};
    const QStringList clickOnly{"default", "Show Larkwatch"};
    QTest::newRow("click") << QStringList{"actions"} << all << "default" << 1 << 0;
    QTest::newRow("View Mail") << QStringList{"body", "actions"} << all << "view" << 1 << 0;
    QTest::newRow("Mark as read") << QStringList{"actions"} << all << "mark-read" << 0 << 1;
    QTest::newRow("no actions shown") << QStringList{"body"} << clickOnly << "default" << 1 << 0;
}

void TestDesktopNotifier::actionsWhereTheServiceShowsThem() {
    QFETCH(QStringList, capabilities);
    QFETCH(QStringList, actions);
    QFETCH(QString, chosen);
    QFETCH(int, activated);
    QFETCH(int, markRead);
    FakeNotificationService service("actions");
    service.Capabilities = capabilities;
    QVERIFY(service.Register());
    DesktopNotifier notifier;
    QSignalSpy answered(&notifier, &DesktopNotifier::Answered);
    QSignalSpy activations(&notifier, &DesktopNotifier::Activated);
    QSignalSpy markings(&notifier, &DesktopNotifier::MarkReadChosen);
    notifier.Announce(1, {{"Ann", "Hello"}});
    QVERIFY(answered.wait());
    QCOMPARE(service.Calls.at(0).Actions, actions);

    service.Emit("ActionInvoked", notifier.ShownId() + 1, chosen); // not ours
    service.Emit("ActionInvoked", notifier.ShownId(), chosen);
    QTRY_COMPARE(activations.size() + markings.size(), 1);
    QCOMPARE(activations.size(), activated);
    QCOMPARE(markings.size(), markRead);
}

// With no service on the bus the first call fails, and nothing is sent after.
void TestDesktopNotifier::offWhenNoServiceAnswers() {
    QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
        "org.freedesktop.Notifications"));
    DesktopNotifier notifier;
    QSignalSpy answered(&notifier, &DesktopNotifier::Answered);
    QVERIFY(notifier.Available());
    notifier.Announce(1, {{"Ann", "Hello"}});
    QVERIFY(answered.wait());
    QCOMPARE(answered.takeFirst(), QVariantList{false});
    QVERIFY(!notifier.Available());

    FakeNotificationService service("late");
    QVERIFY(service.Register());
    QVERIFY(!notifier.Announce(1, {{"Ann", "Hello"}}));

    // A bus that is not connected at all: off from the start.
    DesktopNotifier unconnected(QDBusConnection(QStringLiteral("no such connection")));
    QVERIFY(!unconnected.Available());
}

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "test_desktop_notifier.moc"
