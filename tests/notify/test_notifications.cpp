#include "main_window/larkwatch_icons.h"
#include "main_window/main_window.h"
#include "engine/scheduler.h"
#include "notify/new_mail_dialog.h"
#include "notify/new_mail_notice.h"
#include "notify/notifications.h"
#include "notify/sys_tray.h"
#include "records/account_store.h"
#include "records/general_options_store.h"
#include "records/rule_store.h"
#include "recording_sound_device.h"
#include "support/fake_pop3_server.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QtTest>

// A pass of the real window with the program's notifications: the dialog, the
// tray picture and the sounds chosen for the mail that came.
class TestNotifications : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void passAnnouncesNewMail_data();
    void passAnnouncesNewMail();
    void passWithoutNewMailIsQuiet();
    void desktopIsToldOfMailFirstSeen_data();
    void desktopIsToldOfMailFirstSeen();
};

void TestNotifications::init() {
    FailOnUnexpectedWarnings();
}

// The desktop's notification, recorded: one line per announcement.
struct RecordingDesktop final : DesktopNotice {
    bool Announce(int count, const QList<NoticeMessage>& messages) override {
        QStringList listed;
        for (const NoticeMessage& m : messages)
            listed << m.From + " / " + m.Subject;
        Log << QString("%1: %2").arg(count).arg(listed.join("; "));
        return true;
    }
    QStringList Log;
};

struct PassRig {
    explicit PassRig(GeneralOptions options) {
        QVERIFY(server.Listen());
        MailAccount account;
        account.Title = "Home";
        account.Host = "127.0.0.1";
        account.Port = server.Port();
        account.User = "ann";
        account.Password = "secret";
        state.Accounts = {account};
        SaveAccounts(state);
        auto action = [](const QString& sender, const QString& file) {
            WavAction a;
            a.SenderText = sender;
            a.SenderMatch = false;
            a.Active = true;
            a.WavFile = file;
            return a;
        };
        state.WavActionList = {action("ann@", "/s/ann.wav"), action("bob@", "/s/bob.wav")};
        SaveWavActions(state);
        state.AppSettings = options;
        SaveGeneralOptions(state);

        auto device = std::make_unique<RecordingSoundDevice>();
        sounds = device.get();
        notifications = std::make_unique<Notifications>(state, std::move(device));
        WindowCollaborators parts = notifications->Collaborators();
        parts.Desktop = &desktop;
        window = std::make_unique<MainWindow>(state, parts);
        notifications->Attach(*window);
        window->Form_Load();
    }
    void Mail(const QByteArray& from, const QByteArray& id, const QByteArray& subject = "Hello") {
        server.AddMessage("Subject: " + subject + "\r\nFrom: " + from + "\r\nMessage-ID: <" + id +
                          "@x>\r\n\r\nHi\r\n");
    }
    NewMailDialog* Dialog() const { return notifications->NewMail().Dialog(); }
    QImage TrayImage() const { return notifications->Tray().TrayIcon().pixmap(16).toImage(); }

    TempState t;
    AppState& state = *t.State;
    FakePop3Server server;
    RecordingDesktop desktop;
    RecordingSoundDevice* sounds = nullptr;
    std::unique_ptr<Notifications> notifications;
    std::unique_ptr<MainWindow> window;
};

static QImage picture(int index) {
    return LarkwatchIcons::SmallIconPic(index).pixmap(16).toImage();
}

void TestNotifications::passAnnouncesNewMail_data() {
    QTest::addColumn<bool>("playWav");
    QTest::addColumn<bool>("randomPlay");
    QTest::addColumn<bool>("withActions"); // mail from senders with a WAV action
    QTest::addColumn<QStringList>("played");
    QTest::newRow("single play, actions: each action's file once, in order")
        << true << false << true << QStringList{"/s/ann.wav", "/s/bob.wav"};
    QTest::newRow("single play, no action: the configured file")
        << true << false << false << QStringList{"/s/single.wav"};
    QTest::newRow("random play, no action: a file of the folder")
        << false << true << false << QStringList{"(folder)/only.wav"};
    QTest::newRow("random play, actions: the actions' files")
        << false << true << true << QStringList{"/s/ann.wav", "/s/bob.wav"};
    QTest::newRow("no sound option: silence") << false << false << true << QStringList{};
}

void TestNotifications::passAnnouncesNewMail() {
    QFETCH(bool, playWav);
    QFETCH(bool, randomPlay);
    QFETCH(bool, withActions);
    QFETCH(QStringList, played);
    QTemporaryDir folder;
    QFile only(folder.filePath("only.wav"));
    QVERIFY(only.open(QIODevice::WriteOnly));
    played.replaceInStrings("(folder)", folder.path());

    GeneralOptions options;
    options.DialogMessage = "Larks: # letter[s] for you";
    options.PlayWav = playWav;
    options.RandomPlayWAV = randomPlay;
    options.WavFile = "/s/single.wav";
    options.WavFolder = folder.path();
    options.RunInTray = true;
    PassRig rig(options);
    if (withActions) {
        rig.Mail("Bob <bob@example.org>", "1");
        rig.Mail("Ann <ann@example.org>", "2");
        rig.Mail("Ann <ann@example.org>", "3");
    } else {
        rig.Mail("Carl <carl@example.org>", "1");
        rig.Mail("Dora <dora@example.org>", "2");
        rig.Mail("Eve <eve@example.org>", "3");
    }

    rig.window->Passes().RunPass();
    QCOMPARE(rig.sounds->Played(), played);
    QCOMPARE(rig.state.AppSettings.WavFile, QString("/s/single.wav"));
    QCOMPARE(rig.state.AppSettings.PlayWav, playWav);
    QVERIFY(rig.Dialog());
    QCOMPARE(rig.Dialog()->Sentence(), QString("Larks: 3 letters for you"));
    QVERIFY(rig.Dialog()->isVisible());
    QCOMPARE(rig.TrayImage(), LarkwatchIcons::NewMailPicture(3).pixmap(16).toImage());
    QVERIFY(rig.window->PoolingEvent().isActive());
}

void TestNotifications::passWithoutNewMailIsQuiet() {
    GeneralOptions options;
    options.PlayWav = true;
    options.WavFile = "/s/single.wav";
    options.RunInTray = true;
    options.AutoDialog = true;
    PassRig rig(options);
    rig.Mail("Ann <ann@example.org>", "1");
    rig.window->Passes().RunPass();
    QCOMPARE(rig.sounds->Played(), QStringList{"/s/ann.wav"});
    QVERIFY(rig.Dialog());
    QCOMPARE(rig.Dialog()->Sentence(), QString("You have 1 new message"));

    // Minimising acknowledges the mail: the next pass finds nothing new, so no
    // sound; the open dialog is updated and, with no new mail, closes.
    rig.window->showMinimized();
    QVERIFY(rig.window->isVisible()); // no notification area here
    rig.sounds->Log.clear();
    rig.window->Passes().RunPass();
    QVERIFY(rig.sounds->Played().isEmpty());
    QVERIFY(!rig.Dialog());
    QVERIFY(!rig.state.NewMailDialogOpen);
    // Messages listed and AutoDialog on: the picture still says mail.
    QCOMPARE(rig.TrayImage(), picture(2));

    rig.state.AppSettings.AutoDialog = false;
    rig.window->Passes().RunPass();
    QCOMPARE(rig.TrayImage(), picture(0));
}

void TestNotifications::desktopIsToldOfMailFirstSeen_data() {
    QTest::addColumn<bool>("desktopNotify");
    QTest::addColumn<bool>("trayCount");
    QTest::newRow("on") << true << true;
    QTest::newRow("off, and no count on the icon") << false << false;
}

// A pass that finds mail not seen before tells the desktop (the count, then
// the messages in the tree's order); a pass that finds only known mail does
// not; mail arriving later is announced with the new count. The tray picture
// carries the same count unless that is off.
void TestNotifications::desktopIsToldOfMailFirstSeen() {
    QFETCH(bool, desktopNotify);
    QFETCH(bool, trayCount);
    GeneralOptions options;
    options.RunInTray = true;
    options.DesktopNotify = desktopNotify;
    options.TrayCount = trayCount;
    PassRig rig(options);
    rig.Mail("Ann <ann@example.org>", "1", "Lunch & <cake>");
    rig.Mail("Bob <bob@example.org>", "2", "Re: plans");
    rig.window->Passes().RunPass();
    rig.window->Passes().RunPass(); // nothing new
    rig.Mail("Cy <cy@example.org>", "3", "Hi");
    rig.window->Passes().RunPass();
    const QStringList told = {
        "2: Ann <ann@example.org> / Lunch & <cake>; Bob <bob@example.org> / Re: plans",
        "3: Ann <ann@example.org> / Lunch & <cake>; Bob <bob@example.org> / Re: plans; "
        "Cy <cy@example.org> / Hi"};
    QCOMPARE(rig.desktop.Log, desktopNotify ? told : QStringList());
    QCOMPARE(rig.TrayImage(), trayCount ? LarkwatchIcons::NewMailPicture(3).pixmap(16).toImage()
                                        : picture(2));
}

QTEST_MAIN(TestNotifications)
#include "test_notifications.moc"
