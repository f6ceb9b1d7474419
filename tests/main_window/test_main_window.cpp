#include "engine/pop/pop_client.h"
#include "main_window/account_tree_view.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "main_window/window_placement.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/fake_password_vault.h"
#include "support/fake_pop3_server.h"
#include "support/temp_state.h"
#include "tree/account_tree_model.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

// Returns once every zero-time timer queued before the call has run.
bool FlushZeroTimers() {
    bool done = false;
    QTimer::singleShot(0, [&done] { done = true; });
    return QTest::qWaitFor([&done] { return done; }, 5000);
}

// The window's collaborators, each noting its calls in one list of events.
class RecordingCollaborators : public MailMemory, public TrayArea, public NewMailNotice {
public:
    RecordingCollaborators(QStringList& events, const bool& trayAvailable)
        : m_events(events), m_trayAvailable(trayAvailable) {}
    QWidget* Window = nullptr;

    void LoadHistory() override {
        m_events << QString("LoadHistory shown=%1").arg(Window && Window->isVisible());
    }
    void AcknowledgeShownMessages() override { m_events << "AcknowledgeShownMessages"; }
    void SaveHistory() override { m_events << "SaveHistory"; }
    void MarkAllRead() override { m_events << "MarkAllRead"; }
    bool Available() const override { return m_trayAvailable; }
    void SetInTray(bool on) override { m_events << QString("SetInTray %1").arg(on); }
    void SetPicture(TrayPicture picture, int newMessages) override {
        m_events << QString("TrayPicture %1").arg(int(picture)) +
                        (newMessages ? QString(" count %1").arg(newMessages) : QString());
    }
    void Show(bool) override {}
    void Close() override { m_events << "CloseNewMailDialog"; }

private:
    QStringList& m_events;
    const bool& m_trayAvailable;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startUpSequence();
    void startWithStoredPlacement_data();
    void startWithStoredPlacement();
    void placementRoundTrip();
    void closingMaximisedStoresOnlyState();
    void closingMinimisedStoresNothing();
    void exitQuestion_data();
    void exitQuestion();
    void busyConnectionRefusesExitOnce();
    void exitPendingClosesWithoutQuestionOrBusyTest();
    void sessionEndClosesWithoutQuestion();
    void countdownBoxFollowsResize_data();
    void countdownBoxFollowsResize();
    void minimise_data();
    void minimise();
    void restoreRecordsStateAndClosesNewMailDialog();
    void autoMinStart_data();
    void autoMinStart();
    void busyCursorStaysBalanced();
    void trayPictureCarriesCount_data();
    void trayPictureCarriesCount();
    void startMovesPasswordsAsKeyringOptionSays_data();
    void startMovesPasswordsAsKeyringOptionSays();

private:
    void Write(const QString& key, const QString& value, const QString& section = "Config");
    QString Stored(const QString& key) const;
    MainWindow& Load();
    // Connects the window's POP client to a server, so that it holds a connection.
    void HoldConnection(MainWindow& w);

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_events;
    bool m_trayAvailable = false;
    std::unique_ptr<RecordingCollaborators> m_parts;
    std::unique_ptr<FakePop3Server> m_server;
};

void TestMainWindow::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    m_events.clear();
    m_trayAvailable = false;
    m_server.reset();
    Write("Total", "2", "Accounts");
    Write("Title1", "Work", "Accounts");
    Write("Title2", "Old", "Accounts");
    Write("Disabled2", "True", "Accounts");
}

void TestMainWindow::cleanup() {
    m_window.reset();
    m_parts.reset();
    m_server.reset();
    m_temp.reset();
}

void TestMainWindow::Write(const QString& key, const QString& value, const QString& section) {
    m_temp->State->Store.WriteSetting(section, key, value);
}

QString TestMainWindow::Stored(const QString& key) const {
    return m_temp->State->Store.ReadSetting("Config", key, "(none)");
}

// A window with every collaborator recording its call, loaded as the program
// loads it.
MainWindow& TestMainWindow::Load() {
    m_parts = std::make_unique<RecordingCollaborators>(m_events, m_trayAvailable);
    WindowCollaborators parts;
    parts.Memory = m_parts.get();
    parts.Tray = m_parts.get();
    parts.NewMail = m_parts.get();
    m_window = std::make_unique<MainWindow>(*m_temp->State, parts);
    m_parts->Window = m_window.get();
    m_window->Form_Load();
    return *m_window;
}

void TestMainWindow::HoldConnection(MainWindow& w) {
    m_server = std::make_unique<FakePop3Server>();
    QVERIFY(m_server->Listen());
    PopClient& pop = w.POP();
    pop.ServerHost = "127.0.0.1";
    pop.ServerPort = m_server->Port();
    pop.Connect();
    QTRY_VERIFY(!pop.Busy());
    QCOMPARE(pop.ConnectionState(), qint16(PopClient::ConnectionIdle));
}

void TestMainWindow::startUpSequence() {
    Write("PoolingTime", "7");
    Write("RunInTray", "True");
    AppState& s = *m_temp->State;
    s.CurrentAccount = 3;
    s.NoDialogOpen = false;
    s.SeenHeaders.Append("stale", "stale");
    MainWindow& w = Load();

    QVERIFY(w.isVisible());
    QCOMPARE(w.windowTitle(), QString("Larkwatch"));
    QVERIFY(!w.StartingUp());
    QCOMPARE(w.Model().Keys().size(), 2);
    QCOMPARE(w.Model().Text(s.Account(1).NodeKey), QString("Work --- Unchecked."));
    QCOMPARE(w.Model().Text(s.Account(2).NodeKey), QString("Old--- Disabled."));
    QCOMPARE(s.CurrentAccount, qint16(0));
    QCOMPARE(s.SeenHeaders.Size(), 0);
    QVERIFY(s.NoDialogOpen);
    QVERIFY(!w.Menus().Action("mnuModifyAccount")->isEnabled());
    QCOMPARE(w.Tag(), QString("0"));
    QCOMPARE(s.SecondsLeft, 5);
    QCOMPARE(s.PollMinutes, 7);
    QVERIFY(w.PoolingEvent().isActive());
    QCOMPARE(w.PoolingEvent().interval(), 1000);
    QCOMPARE(w.findChild<QTimer*>("PoolingEvent"), &w.PoolingEvent());
    // Tray, then history with the window already shown, then the layout.
    QCOMPARE(m_events, QStringList({"SetInTray 1", "LoadHistory shown=1", "TrayPicture 0"}));
}

void TestMainWindow::startWithStoredPlacement_data() {
    QTest::addColumn<QStringList>("stored"); // key=value pairs
    QTest::addColumn<QRect>("expected");     // null: the designed size, centred
    QTest::addColumn<bool>("maximised");
    QTest::newRow("nothing stored") << QStringList() << QRect() << false;
    QTest::newRow("normal rectangle")
        << QStringList({"Top=1500", "Left=3000", "Width=6000", "Height=4500", "State=0"})
        << QRect(200, 100, 400, 300) << false;
    QTest::newRow("maximised over stored rectangle")
        << QStringList({"Top=1500", "Left=3000", "Width=6000", "Height=4500", "State=2"}) << QRect()
        << true;
    QTest::newRow("unreadable and empty values leave the designed ones")
        << QStringList({"Top=abc", "Left=", "Width=7.5e", "State=x"}) << QRect() << false;
    QTest::newRow("fractional twips")
        << QStringList({"Top=1507.5", "Left=3000", "Width=6000.25", "Height=4500"})
        << QRect(200, 101, 400, 300) << false;
    QTest::newRow("placement on no screen is centred")
        << QStringList({"Top=-900000", "Left=-900000", "Width=6000", "Height=4500"})
        << QRect(-1, -1, 400, 300) << false;
}

void TestMainWindow::startWithStoredPlacement() {
    QFETCH(QStringList, stored);
    QFETCH(QRect, expected);
    QFETCH(bool, maximised);
    for (const QString& pair : stored)
        Write(pair.section('=', 0, 0), pair.section('=', 1));
    MainWindow& w = Load();
    // The placement is written in twips of a 96 dpi screen in this table.
    QCOMPARE(WindowPlacement::TwipsPerPixelX(w), 15.0);
    QCOMPARE(WindowPlacement::TwipsPerPixelY(w), 15.0);
    const QRect screen = w.screen()->geometry();
    QCOMPARE(w.isMaximized(), maximised);
    if (maximised) {
        QCOMPARE(w.Tag(), QString("2"));
        w.showNormal();
        QCOMPARE(QRect(w.pos(), w.size()), QRect(200, 100, 400, 300));
        return;
    }
    const QSize size = expected.isNull() ? QSize(640, 420) : expected.size();
    QCOMPARE(w.size(), size);
    if (expected.isNull() || expected.topLeft() == QPoint(-1, -1))
        QCOMPARE(w.pos(), QPoint((screen.width() - size.width()) / 2,
                                 (screen.height() - size.height()) / 2));
    else
        QCOMPARE(w.pos(), expected.topLeft());
}

void TestMainWindow::placementRoundTrip() {
    MainWindow& w = Load();
    // Top and Left are the window's outer corner, Width and Height its size.
    w.move(50, 60);
    w.resize(500, 300);
    MessageBoxAnswerer yes(QMessageBox::Yes);
    QVERIFY(w.close());
    QCOMPARE(Stored("Top"), QString("900"));
    QCOMPARE(Stored("Left"), QString("750"));
    QCOMPARE(Stored("Width"), QString("7500"));
    QCOMPARE(Stored("Height"), QString("4500"));
    QCOMPARE(Stored("State"), QString("0"));

    // The next start reads what this one wrote.
    m_window.reset();
    m_temp->State = m_temp->Reopen();
    MainWindow& again = Load();
    QCOMPARE(again.pos(), QPoint(50, 60));
    QCOMPARE(again.size(), QSize(500, 300));
    QVERIFY(!again.isMaximized());
}

void TestMainWindow::closingMaximisedStoresOnlyState() {
    MainWindow& w = Load();
    w.move(50, 60);
    w.resize(500, 300);
    w.showMaximized();
    QCOMPARE(w.Tag(), QString("2"));
    MessageBoxAnswerer yes(QMessageBox::Yes);
    QVERIFY(w.close());
    QCOMPARE(Stored("State"), QString("2"));
    QCOMPARE(Stored("Top"), QString("900"));
    QCOMPARE(Stored("Width"), QString("7500"));

    m_window.reset();
    m_temp->State = m_temp->Reopen();
    MainWindow& again = Load();
    QVERIFY(again.isMaximized());
    again.showNormal();
    QCOMPARE(again.pos(), QPoint(50, 60));
    QCOMPARE(again.size(), QSize(500, 300));
}

void TestMainWindow::closingMinimisedStoresNothing() {
    MainWindow& w = Load();
    w.showMinimized();
    QVERIFY(w.IsMinimized());
    // Whatever the last normal close left must survive a close while minimised.
    for (const char* key : {"Top", "Left", "Width", "Height", "State"})
        Write(key, "left alone");
    MessageBoxAnswerer yes(QMessageBox::Yes);
    QVERIFY(w.close());
    for (const char* key : {"Top", "Left", "Width", "Height", "State"})
        QCOMPARE(Stored(key), QString("left alone"));
}

void TestMainWindow::exitQuestion_data() {
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Exit menu, Yes") << true << true;
    QTest::newRow("Exit menu, No") << true << false;
    QTest::newRow("window closed, Yes") << false << true;
    QTest::newRow("window closed, No") << false << false;
}

void TestMainWindow::exitQuestion() {
    QFETCH(bool, fromMenu);
    QFETCH(bool, yes);
    MainWindow& w = Load();
    m_events.clear();
    QSignalSpy unloaded(&w, &MainWindow::Unloaded);
    MessageBoxAnswerer answer(yes ? QMessageBox::Yes : QMessageBox::No);
    if (fromMenu)
        w.Menus().Action("mnuExit")->trigger();
    else
        w.close();

    QCOMPARE(answer.Answered().size(), 1);
    const MessageBoxAnswerer::Box& box = answer.Answered().at(0);
    QCOMPARE(box.Text, QString("Exit Larkwatch ?"));
    QCOMPARE(box.Title, QString("Larkwatch"));
    QCOMPARE(box.Icon, QMessageBox::Information);
    QCOMPARE(box.Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(unloaded.count(), yes ? 1 : 0);
    QCOMPARE(w.isVisible(), !yes);
    QCOMPARE(w.PoolingEvent().isActive(), !yes);
    QCOMPARE(m_events,
             yes ? QStringList({"AcknowledgeShownMessages", "SaveHistory"}) : QStringList());
}

void TestMainWindow::busyConnectionRefusesExitOnce() {
    MainWindow& w = Load();
    m_events.clear();
    QSignalSpy unloaded(&w, &MainWindow::Unloaded);
    Write("State", "(cleared)");
    HoldConnection(w);
    {
        MessageBoxAnswerer yes(QMessageBox::Yes);
        w.Menus().Action("mnuExit")->trigger();
        QCOMPARE(yes.Answered().size(), 1);
    }
    QVERIFY(w.isVisible());
    QCOMPARE(unloaded.count(), 0);
    QVERIFY(m_events.isEmpty());             // nothing acknowledged or written
    QCOMPARE(Stored("State"), QString("0")); // but the placement was saved

    // Once the connection has ended the next exit goes through.
    QTRY_COMPARE(w.POP().ConnectionState(), qint16(PopClient::ConnectionClosed));
    MessageBoxAnswerer yes(QMessageBox::Yes);
    w.Menus().Action("mnuExit")->trigger();
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!w.isVisible());
}

void TestMainWindow::exitPendingClosesWithoutQuestionOrBusyTest() {
    MainWindow& w = Load();
    m_events.clear();
    QSignalSpy unloaded(&w, &MainWindow::Unloaded);
    HoldConnection(w);
    m_temp->State->ExitPending = true;
    MessageBoxAnswerer boxes; // none expected
    w.Unload();
    QVERIFY(boxes.Answered().isEmpty());
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(m_events, QStringList({"AcknowledgeShownMessages", "SaveHistory"}));
}

void TestMainWindow::sessionEndClosesWithoutQuestion() {
    MainWindow& w = Load();
    m_events.clear();
    QSignalSpy unloaded(&w, &MainWindow::Unloaded);
    HoldConnection(w); // even a running check does not hold up the session's end
    MessageBoxAnswerer boxes; // none expected
    w.CloseForSessionEnd();
    QVERIFY(boxes.Answered().isEmpty());
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(m_events, QStringList({"AcknowledgeShownMessages", "SaveHistory"}));
}

void TestMainWindow::countdownBoxFollowsResize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("small") << QSize(260, 160);
    QTest::newRow("wide and low") << QSize(1000, 200);
    QTest::newRow("large") << QSize(900, 700);
}

void TestMainWindow::countdownBoxFollowsResize() {
    QFETCH(QSize, size);
    MainWindow& w = Load();
    w.resize(size);
    const QRect tree = w.Tree().geometry();
    const QRect box = w.TimeLeftBox().geometry();
    QCOMPARE(w.TimeLeftBox().parentWidget(), w.Tree().parentWidget());
    QCOMPARE(w.Tree().parentWidget(), w.centralWidget());
    QCOMPARE(tree, w.centralWidget()->rect()); // the tree fills the client area
    QCOMPARE(box.top(), tree.top() + 1);
    QCOMPARE(box.left(), tree.left() + tree.width() - box.width() - 3);
    QCOMPARE(w.TimeLeftBox().objectName(), QString("txtTimeLeft"));
    QCOMPARE(w.TimeLeftBox().toolTip(), QString("Min:Sec left to check email"));
    QVERIFY(w.TimeLeftBox().isVisible());
    // The box is drawn over the tree, not under it.
    QWidget* top = w.centralWidget()->childAt(box.center());
    QVERIFY(top == &w.TimeLeftBox() || w.TimeLeftBox().isAncestorOf(top));
}

void TestMainWindow::minimise_data() {
    QTest::addColumn<bool>("runInTray");
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("menusEnabled"); // else a check or command holds them
    QTest::addColumn<QStringList>("events");
    const QStringList marked = {"MarkAllRead", "TrayPicture 0"};
    QTest::newRow("RunInTray with a tray: hidden") << true << true << true << true << marked;
    QTest::newRow("RunInTray without a tray: on the task bar")
        << true << false << false << true << marked;
    QTest::newRow("no RunInTray: on the task bar") << false << true << false << true << marked;
    QTest::newRow("menus held: nothing marked read")
        << false << true << false << false << QStringList{"TrayPicture 0"};
}

void TestMainWindow::minimise() {
    QFETCH(bool, runInTray);
    QFETCH(bool, trayAvailable);
    QFETCH(bool, hidden);
    QFETCH(bool, menusEnabled);
    QFETCH(QStringList, events);
    Write("RunInTray", runInTray ? "True" : "False");
    m_trayAvailable = trayAvailable;
    MainWindow& w = Load();
    w.SetTopMenusEnabled(menusEnabled);
    m_events.clear();
    w.showMinimized();
    QVERIFY(w.IsMinimized());
    QVERIFY(FlushZeroTimers());
    QCOMPARE(w.isVisible(), !hidden);
    QCOMPARE(m_events, events);
    QCOMPARE(w.Tag(), QString("0"));
}

void TestMainWindow::restoreRecordsStateAndClosesNewMailDialog() {
    m_trayAvailable = true;
    MainWindow& w = Load();
    w.showMaximized();
    QCOMPARE(w.Tag(), QString("2"));
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible()); // in the tray
    m_events.clear();
    m_temp->State->NewMailDialogOpen = true;
    w.ShowInRecordedState();
    QVERIFY(w.isVisible());
    QVERIFY(w.isMaximized());
    QVERIFY(!w.IsMinimized());
    QVERIFY(m_events.contains("CloseNewMailDialog"));
    QCOMPARE(w.Tag(), QString("2"));

    w.showNormal();
    QCOMPARE(w.Tag(), QString("0"));
}

void TestMainWindow::trayPictureCarriesCount_data() {
    QTest::addColumn<QString>("trayCount");
    QTest::addColumn<int>("newMailCount");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("count on, 12 new") << "True" << 12 << QStringList({"TrayPicture 2 count 12"});
    QTest::newRow("count on, none new") << "True" << 0 << QStringList({"TrayPicture 2"});
    QTest::newRow("count off") << "False" << 12 << QStringList({"TrayPicture 2"});
    QTest::newRow("key absent: on") << "" << 150 << QStringList({"TrayPicture 2 count 150"});
}

// The window hands the tray the count of the pass with the new-mail picture,
// unless the user switched the count off.
void TestMainWindow::trayPictureCarriesCount() {
    QFETCH(QString, trayCount);
    QFETCH(int, newMailCount);
    QFETCH(QStringList, events);
    if (!trayCount.isEmpty())
        Write("TrayCount", trayCount);
    MainWindow& w = Load();
    m_events.clear();
    m_temp->State->NewMailCount = qint16(newMailCount);
    w.SetTrayPicture(TrayPicture::NewMail);
    QCOMPARE(m_events, events);
}

void TestMainWindow::autoMinStart_data() {
    QTest::addColumn<bool>("runInTray");
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<bool>("visible");
    QTest::newRow("AutoMin and RunInTray: only the tray icon") << true << true << false;
    QTest::newRow("AutoMin and RunInTray without a tray: task bar") << true << false << true;
    QTest::newRow("AutoMin alone: task bar") << false << true << true;
}

void TestMainWindow::autoMinStart() {
    QFETCH(bool, runInTray);
    QFETCH(bool, trayAvailable);
    QFETCH(bool, visible);
    Write("AutoMin", "True");
    Write("RunInTray", runInTray ? "True" : "False");
    m_trayAvailable = trayAvailable;
    MainWindow& w = Load();
    QVERIFY(w.IsMinimized());
    QVERIFY(FlushZeroTimers());
    QCOMPARE(w.isVisible(), visible);
    QVERIFY(w.PoolingEvent().isActive());
}

void TestMainWindow::busyCursorStaysBalanced() {
    MainWindow& w = Load();
    QVERIFY(!QApplication::overrideCursor());
    w.SetBusyCursor(true);
    w.SetBusyCursor(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    w.SetBusyCursor(false);
    QVERIFY(!QApplication::overrideCursor());
    w.SetBusyCursor(false);
    // A window that goes away while busy leaves no pointer behind.
    w.SetBusyCursor(true);
    m_window.reset();
    QVERIFY(!QApplication::overrideCursor());
}

void TestMainWindow::startMovesPasswordsAsKeyringOptionSays_data() {
    QTest::addColumn<bool>("keyringOn");
    QTest::newRow("on: into the keyring") << true;
    QTest::newRow("off: back into the settings file") << false;
}

// A start moves passwords to where the Keyring option wants them, before the
// first check needs them.
void TestMainWindow::startMovesPasswordsAsKeyringOptionSays() {
    QFETCH(bool, keyringOn);
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    m_temp->State->Vault = std::make_unique<FakePasswordVault>(keyring);
    Write("User1", "ann", "Accounts");
    Write("Host1", "pop.example.org", "Accounts");
    const QString entry = "ann@pop.example.org:110";
    if (keyringOn) {
        Write("Password1", EncodePassword("pw-work"), "Accounts");
    } else {
        Write("Keyring", "False");
        Write("Password1", kKeyringMarker, "Accounts");
        keyring->insert(entry, "pw-work");
    }
    Load();
    QCOMPARE(m_temp->State->Account(1).Password, QString("pw-work"));
    QCOMPARE(m_temp->State->Store.ReadSetting("Accounts", "Password1", QString()),
             keyringOn ? kKeyringMarker : EncodePassword("pw-work"));
    QCOMPARE(keyring->contains(entry), keyringOn);
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
