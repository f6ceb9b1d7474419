#include "app/dbus_service.h"
#include "app/window_remote.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"
#include "tree/account_tree_model.h"
#include "tree/node_texts.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

// The running program on a private session bus (the test runs under
// dbus-run-session): the window of this process with its service, asked by
// a client on a connection of its own, and by the real `larkwatch --status`
// and `--check-now`.
class TestDBusService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void interfaceAsInstalled();
    void passStatusAndMarkAllRead();
    void checkNowRunsUpdateNow();
    void refusedWhenTheCommandCouldNotRun_data();
    void refusedWhenTheCommandCouldNotRun();
    void commandLine_data();
    void commandLine();
};

namespace {

QByteArray Mail(int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Ann <ann@example.org>\r\nSubject: Note " + number + "\r\nMessage-ID: <" + number +
           "@bus.example>\r\n\r\nBody " + number + "\r\n";
}

// What the client hears on the bus.
class Listener : public QObject {
    Q_OBJECT
public:
    explicit Listener(QDBusConnection& bus) {
        bus.connect(DBusService::kService, DBusService::kPath, DBusService::kInterface, "NewMail",
                    this, SLOT(OnNewMail(uint)));
        bus.connect(DBusService::kService, DBusService::kPath, "org.freedesktop.DBus.Properties",
                    "PropertiesChanged", this,
                    SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
    }
    QList<uint> NewMail;
    QList<QVariantMap> Changed;
Q_SIGNALS:
    void Heard();
private Q_SLOTS:
    void OnNewMail(uint count) {
        NewMail << count;
        Q_EMIT Heard();
    }
    void OnPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
        Changed << changed;
        Q_EMIT Heard();
    }
};

// The window over one account on the fake server, its service on the
// session bus, and a client connection.
struct BusRig {
    explicit BusRig(quint16 port)
        : client(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client")) {
        t.State->Accounts = {FakeServerAccount("Home", port)};
        SaveAccounts(*t.State);
        window = std::make_unique<MainWindow>(*t.State);
        window->Form_Load();
        window->PoolingEvent().stop(); // the test runs the passes
        remote = std::make_unique<WindowRemote>(*window);
        service = std::make_unique<DBusService>(*t.State, *remote);
        QObject::connect(window.get(), &MainWindow::NewMailFound, service.get(),
                         [this] { service->PassFoundNewMail(); });
    }
    ~BusRig() {
        service.reset();
        QDBusConnection::disconnectFromBus("client");
    }
    QDBusMessage Call(const QString& method, const QString& interface = DBusService::kInterface,
                      const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            DBusService::kService, DBusService::kPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message, 10000);
        QDBusPendingCallWatcher watcher(pending);
        QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
        if (!pending.isFinished())
            finished.wait(15000);
        return pending.reply();
    }
    uint NewMailCount() {
        const QDBusMessage reply = Call("Get", "org.freedesktop.DBus.Properties",
                                        {DBusService::kInterface, QStringLiteral("NewMailCount")});
        return reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
    }
    QJsonObject Status() {
        const QDBusMessage reply = Call("GetStatus");
        return QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).object();
    }
    int Sessions(const FakePop3Server& server) const { return server.Transcript.count("QUIT"); }

    TempState t;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<WindowRemote> remote;
    std::unique_ptr<DBusService> service;
    QDBusConnection client;
};

// The members of the interface in an introspection text, one line each, in
// order: "method GetStatus(>s)", "signal NewMail(u)", "property NewMailCount u read".
QStringList Members(const QString& xml) {
    QXmlStreamReader reader(xml);
    QStringList members;
    bool inside = false;
    QString current;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString element = reader.name().toString();
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.isStartElement()) {
            if (element == "interface")
                inside = a.value("name") == DBusService::kInterface;
            else if (inside && (element == "method" || element == "signal"))
                current = element + " " + a.value("name").toString() + "(";
            else if (inside && element == "arg")
                current +=
                    (current.startsWith("method") && a.value("direction") == u"out" ? QString(">")
                                                                                    : QString()) +
                    a.value("type").toString();
            else if (inside && element == "property")
                members << "property " + a.value("name").toString() + " " +
                               a.value("type").toString() + " " + a.value("access").toString();
        } else if (reader.isEndElement() && inside) {
            if (element == "method" || element == "signal")
                members << current + ")";
            else if (element == "interface")
                inside = false;
        }
    }
    members.sort();
    return members;
}

} // namespace

void TestDBusService::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under dbus-run-session");
}

void TestDBusService::init() {
    FailOnUnexpectedWarnings();
}

// The object shows other programs exactly the interface the installed file
// describes.
void TestDBusService::interfaceAsInstalled() {
    BusRig rig(FakePop3Server::ClosedPort());
    QVERIFY(rig.service->Register());
    QFile installed(LARKWATCH_DBUS_XML);
    QVERIFY(installed.open(QIODevice::ReadOnly));
    const QStringList described = Members(QString::fromUtf8(installed.readAll()));
    QCOMPARE(described,
             QStringList({"method CheckNow()", "method GetStatus(>s)", "method MarkAllRead()",
                          "method Show()", "property NewMailCount u read", "signal NewMail(u)"}));
    const QDBusMessage reply = rig.Call("Introspect", "org.freedesktop.DBus.Introspectable");
    QCOMPARE(Members(reply.arguments().value(0).toString()), described);
}

// A pass with new mail: the signal, the property and the status; then
// MarkAllRead acknowledges as minimising does.
void TestDBusService::passStatusAndMarkAllRead() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(Mail(1));
    server.AddMessage(Mail(2));
    BusRig rig(server.Port());
    QVERIFY(rig.service->Register());
    Listener listener(rig.client);
    QSignalSpy heard(&listener, &Listener::Heard);
    QCOMPARE(rig.NewMailCount(), 0u);

    rig.window->Passes().RunPass();
    rig.window->PoolingEvent().stop();
    QTRY_COMPARE(listener.NewMail, QList<uint>{2});
    const QList<QVariantMap> two{{{"NewMailCount", 2u}}};
    QTRY_COMPARE(listener.Changed, two);
    QCOMPARE(rig.NewMailCount(), 2u);

    const QJsonObject status = rig.Status();
    QCOMPARE(status.value("newMailCount").toInt(), 2);
    QCOMPARE(status.value("secondsLeft").toInt(), int(rig.t.State->SecondsLeft));
    QCOMPARE(status.value("suspended").toBool(true), false);
    QCOMPARE(status.value("checking").toBool(true), false);
    const QJsonArray accounts = status.value("accounts").toArray();
    QCOMPARE(accounts.size(), 1);
    const QJsonObject home = accounts.at(0).toObject();
    QCOMPARE(home.value("title").toString(), QString("Home"));
    QCOMPARE(home.value("status").toString(),
             rig.window->Model().Text(rig.t.State->Account(1).NodeKey));
    QVERIFY(home.value("error").isNull());
    const QJsonArray messages = home.value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(1).toObject().value("subject").toString(), QString("Note 2"));
    QCOMPARE(messages.at(1).toObject().value("state").toString(), QString("new"));

    QCOMPARE(rig.Call("MarkAllRead").type(), QDBusMessage::ReplyMessage);
    QCOMPARE(rig.NewMailCount(), 0u);
    QTRY_COMPARE(listener.Changed.size(), 2);
    QCOMPARE(listener.Changed.at(1), (QVariantMap{{"NewMailCount", 0u}}));
    const AccountTreeModel& tree = rig.window->Model();
    for (const QString& key : tree.ChildKeys(rig.t.State->Account(1).NodeKey))
        QCOMPARE(tree.Image(key), NodeImage::Mail);

    rig.window->showMinimized();
    QCOMPARE(rig.Call("Show").type(), QDBusMessage::ReplyMessage);
    QVERIFY(!rig.window->isMinimized());
}

// CheckNow answers at once and then runs Update Now: a pass over the accounts.
void TestDBusService::checkNowRunsUpdateNow() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(Mail(1));
    BusRig rig(server.Port());
    QVERIFY(rig.service->Register());
    QSignalSpy updateNow(rig.window->Menus().Action("mnuUpdateNow"), &QAction::triggered);
    QCOMPARE(rig.Sessions(server), 0);
    QCOMPARE(rig.Call("CheckNow").type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(rig.Sessions(server), 1);
    QCOMPARE(updateNow.size(), 1);
}

void TestDBusService::refusedWhenTheCommandCouldNotRun_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("refusal");
    const QString checking = "Larkwatch is checking for mail.";
    const QString dialog = "A Larkwatch dialog is open.";
    QTest::newRow("CheckNow during a check") << "checking"
                                             << "CheckNow" << checking;
    QTest::newRow("MarkAllRead during a check") << "checking"
                                                << "MarkAllRead" << checking;
    QTest::newRow("CheckNow under a dialog") << "dialog"
                                             << "CheckNow" << dialog;
    QTest::newRow("MarkAllRead under a dialog") << "dialog"
                                                << "MarkAllRead" << dialog;
    QTest::newRow("CheckNow while suspended") << "suspended"
                                              << "CheckNow"
                                              << "Monitoring is suspended.";
}

// Each method is refused, with the reason, when its menu command could not run.
void TestDBusService::refusedWhenTheCommandCouldNotRun() {
    QFETCH(QString, situation);
    QFETCH(QString, method);
    QFETCH(QString, refusal);
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(Mail(1));
    server.AddMessage(Mail(2));
    BusRig rig(server.Port());
    QVERIFY(rig.service->Register());
    rig.window->Passes().RunPass(); // two new messages on display
    rig.window->PoolingEvent().stop();
    QCOMPARE(rig.t.State->NewMailCount, qint16(2));

    QDBusMessage reply;
    if (situation == "checking") {
        server.NoReplyTo = "LIST";
        rig.window->POP().CommandTimeoutMs = 3600 * 1000;
        QTimer watch; // asks once the check talks to the server
        connect(&watch, &QTimer::timeout, [&] {
            if (MainMenus::IsMenuEnabled(rig.window->Menus().Monitoring()))
                return;
            watch.stop();
            reply = rig.Call(method);
            rig.window->Passes().DropConnection();
        });
        watch.start(10);
        rig.window->Passes().RunPass();
        rig.window->PoolingEvent().stop();
    } else if (situation == "dialog") {
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            reply = rig.Call(method);
            // "Exit Larkwatch ?" answered No.
            qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->reject();
        });
        rig.window->Menus().Action("mnuExit")->trigger();
    } else {
        rig.window->Menus().Action("mnuSuspend")->trigger();
        reply = rig.Call(method);
    }

    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(reply.errorName(), DBusService::kBusyError);
    QCOMPARE(reply.errorMessage(), refusal);
    // Nothing was done: no further check, nothing acknowledged.
    QTest::qWait(0);
    QCOMPARE(rig.Sessions(server), 1);
    if (situation != "checking")
        QCOMPARE(rig.t.State->NewMailCount, qint16(2));
}

void TestDBusService::commandLine_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("suspended");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString none = "Larkwatch is not running.\n";
    const QString tree =
        "Home --- 2 messages --- Totaling 170 bytes.\n"
        "  #1 --- 85 bytes --- Subject : Note 1 --- From : Ann <ann@example.org>\n"
        "  #2 --- 85 bytes --- Subject : Note 2 --- From : Ann <ann@example.org>\n";
    QTest::newRow("status, none running")
        << false << false << QStringList{"--status"} << 3 << "" << none;
    QTest::newRow("status json, none running")
        << false << false << QStringList{"--status", "--json"} << 3 << "" << none;
    QTest::newRow("check now, none running")
        << false << false << QStringList{"--check-now"} << 3 << "" << none;
    QTest::newRow("status") << true << false << QStringList{"--status"} << 0
                            << tree + "New mail: 2\nNext check in 05:00\n"
                            << "";
    QTest::newRow("status, suspended") << true << true << QStringList{"--status"} << 0
                                       << tree + "New mail: 2\nMonitoring suspended\n"
                                       << "";
    QTest::newRow("status json") << true << false << QStringList{"--status", "--json"} << 0
                                 << "JSON"
                                 << "";
    QTest::newRow("check now") << true << false << QStringList{"--check-now"} << 0
                               << "A check has started.\n"
                               << "";
    QTest::newRow("check now, suspended") << true << true << QStringList{"--check-now"} << 1 << ""
                                          << "larkwatch: Monitoring is suspended.\n";
}

// The real program asks the window of this process over the bus.
void TestDBusService::commandLine() {
    QFETCH(bool, running);
    QFETCH(bool, suspended);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(Mail(1));
    server.AddMessage(Mail(2));
    BusRig rig(server.Port());
    if (running)
        QVERIFY(rig.service->Register());
    rig.window->Passes().RunPass();
    rig.window->PoolingEvent().stop();
    rig.t.State->SecondsLeft = 300;
    if (suspended)
        rig.window->Menus().Action("mnuSuspend")->trigger();

    QProcess program;
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(LARKWATCH_BINARY, arguments);
    QVERIFY(finished.wait(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), err);
    QString printed = QString::fromUtf8(program.readAllStandardOutput());
    if (out == "JSON") {
        const QJsonObject status = QJsonDocument::fromJson(printed.toUtf8()).object();
        QCOMPARE(status.value("newMailCount").toInt(), 2);
        QCOMPARE(status.value("secondsLeft").toInt(), 300);
        QCOMPARE(
            status.value("accounts").toArray().at(0).toObject().value("messages").toArray().size(),
            2);
        return;
    }
    QCOMPARE(printed, out);
    if (arguments == QStringList{"--check-now"} && exitCode == 0)
        QTRY_COMPARE(rig.Sessions(server), 2);
}

QTEST_MAIN(TestDBusService)
#include "test_dbus_service.moc"
