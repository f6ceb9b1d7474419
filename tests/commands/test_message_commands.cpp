#include "command_rig.h"
#include "commands/message_commands.h"
#include "commands/message_window.h"
#include "support/fake_auth_server.h"
#include "tree/node_texts.h"

#include <QPlainTextEdit>
#include <QtTest>

// View Message, Properties and Delete Message through the menus of the real
// window against the fake server: node texts before and after, the message
// window's text, what the server saw, and the mailbox changing under a
// command.
class TestMessageCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void viewShowsTheMessage();
    void viewOfAnOAuth2Account_data();
    void viewOfAnOAuth2Account();
    void viewThatFails_data();
    void viewThatFails();
    void viewOfAMessageCutShort_data();
    void viewOfAMessageCutShort();
    void viewWhenTheMailboxChanged_data();
    void viewWhenTheMailboxChanged();
    void properties_data();
    void properties();
    void messageWindowFillsItselfAndReadsNoMarkup();
    void deleteRenumbersTheLaterMessages();
    void deleteNextToAFilterDeletedMessage();
    void deleteTheLastMessage();
    void deleteThatFails_data();
    void deleteThatFails();
    void deleteWhenTheMailboxChanged_data();
    void deleteWhenTheMailboxChanged();
};

namespace {

// Answers the next message window: notes its text and closes it.
struct WindowText {
    explicit WindowText(CommandRig& rig)
        : answer(
              "MsgInfo",
              [this, &rig](QWidget* window) {
                  Text = window->findChild<QPlainTextEdit*>("MsgProp")->toPlainText();
                  Caption = window->windowTitle();
                  ReadOnly = window->findChild<QPlainTextEdit*>("MsgProp")->isReadOnly();
                  AccountText = rig.Tree().Text(rig.Key(1));
                  Viewing = rig.State().ViewingMessage;
                  TimerStopped = !rig.Window->PoolingEvent().isActive();
                  BusyPointer = QApplication::overrideCursor() != nullptr;
                  qobject_cast<QDialog*>(window)->reject();
              },
              kDialogWaitMs) {}
    QString Text, Caption, AccountText;
    bool ReadOnly = false, Viewing = false, TimerStopped = false, BusyPointer = false;
    AnswerNextModal answer;
};

QString subjectOf(const QByteArray& raw) {
    const qsizetype at = raw.indexOf("Subject: ");
    return QString::fromLatin1(raw.mid(at + 9, raw.indexOf('\r', at) - at - 9));
}

QStringList serverSubjects(const FakePop3Server& server) {
    QStringList subjects;
    for (const FakePop3Server::Message& message : server.Mailbox)
        subjects.append(subjectOf(message.Raw));
    return subjects;
}

// The node texts from their number (or "(Deleted)") up to the size.
QStringList numbers(const QStringList& texts) {
    QStringList heads;
    for (const QString& text : texts)
        heads.append(text.section(" --- Subject", 0, 0).section(" --- ", 0, 0) + " " +
                     text.section("Subject : ", 1).section(" --- ", 0, 0));
    return heads;
}

} // namespace

void TestMessageCommands::viewShowsTheMessage() {
    CommandRig rig;
    rig.AddMail(1);
    rig.Server.AddMessage("From: =?UTF-8?Q?J=C3=BCrgen?= <j@example.org>\r\n"
                          "Subject: =?UTF-8?B?R3LDvMOfZQ==?=\r\nMessage-ID: <m2@x>\r\n"
                          "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                          "Erste Zeile\r\n.punkt\r\n");
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString account = rig.Key(1);
    const QString before = rig.Tree().Text(account);
    const QString message = rig.Child(1, 1);
    rig.Click(message);
    QStringList texts = {before};
    QObject context;
    QObject::connect(&rig.Tree(), &QAbstractItemModel::dataChanged, &context,
                     [&](const QModelIndex& index) {
                         if (rig.Tree().KeyForIndex(index) == account &&
                             texts.last() != rig.Tree().Text(account))
                             texts.append(rig.Tree().Text(account));
                     });
    {
        WindowText shown(rig);
        rig.Action("mnuViewMessage")->trigger();
        QCOMPARE(shown.Caption, QString("Larkwatch --- Message Properties"));
        QVERIFY(shown.ReadOnly);
        QVERIFY(shown.Viewing);
        QVERIFY(shown.TimerStopped);
        QVERIFY(!shown.BusyPointer); // the user reads with the normal pointer
        QCOMPARE(shown.AccountText, before);
        QCOMPARE(shown.Text, QString("From: Jürgen <j@example.org>\nSubject: Grüße\n\n"
                                     "Erste Zeile\n.punkt\n"));
    }
    QCOMPARE(texts, QStringList({before, "Home --- Retrieving message #2", before}));
    QCOMPARE(rig.Tree().Text(account), before);
    QCOMPARE(rig.Tree().DropHighlight(), message);
    QCOMPARE(rig.Tree().SelectedKey(), message);
    QVERIFY(!rig.State().ViewingMessage);
    QVERIFY(window.PoolingEvent().isActive());
    QVERIFY(window.AccountsMenuEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(rig.SessionCommands().contains("RETR 2"));
    QVERIFY(rig.SessionCommands().contains("QUIT"));
    QTRY_COMPARE(window.POP().ConnectionState(), PopClient::ConnectionClosed);
}

void TestMessageCommands::viewOfAnOAuth2Account_data() {
    QTest::addColumn<bool>("revoked");
    QTest::newRow("a fresh access token for the command") << false;
    QTest::newRow("the sign-in ended meanwhile") << true;
}

// A message command logs on as the check does: with an access token, a fresh
// one when the one held is gone.
void TestMessageCommands::viewOfAnOAuth2Account() {
    QFETCH(bool, revoked);
    FakeAuthServer auth;
    QVERIFY(auth.Listen());
    CommandRig rig;
    rig.Server.ImplicitTls = true;
    rig.Server.SaslMechanisms = {"PLAIN", "XOAUTH2"};
    rig.Server.AcceptToken = [&](const QByteArray&, const QByteArray& token) {
        return auth.AccessTokens.contains(QString::fromLatin1(token));
    };
    rig.AddMail(1);
    MailAccount account = rig.Account("Outlook");
    account.Password.clear();
    account.Security = Security::Tls;
    account.CertSHA256 = rig.Server.CertificateSha256();
    account.Auth = SignIn::OAuth2;
    account.OAuth.TokenUrl = auth.Url("token");
    account.OAuth.ClientId = auth.ClientId;
    account.OAuthToken = "refresh-stored";
    auth.RefreshTokens.insert("refresh-stored");
    rig.Start({account});
    rig.UpdateNow();
    QCOMPARE(rig.Tree().Text(rig.Key(1)), QString("Outlook --- 1 message --- Totaling 115 bytes."));
    rig.State().AccessTokens.clear(); // as if it had run out
    if (revoked)
        auth.Revoke("refresh-stored");
    const QString message = rig.Child(1, 0);
    rig.Click(message);
    if (revoked) {
        rig.Action("mnuViewMessage")->trigger();
        QCOMPARE(rig.Tree().Text(rig.Key(1)), QString("Outlook --- Sign-in needed"));
        QVERIFY(rig.Tree().ToolTip(rig.Key(1)).contains("invalid_grant"));
    } else {
        WindowText shown(rig);
        rig.Action("mnuViewMessage")->trigger();
        QVERIFY(shown.Text.endsWith("Hello there\n"));
        QCOMPARE(rig.SessionCommands().mid(0, 3), (QStringList{"<TLS>", "CAPA", "AUTH XOAUTH2"}));
    }
    QCOMPARE(auth.Refreshes, 2);
}

void TestMessageCommands::viewThatFails_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status");
    QTest::newRow("wrong password") << "password"
                                    << "Home --- Bad user ID or Password!";
    QTest::newRow("no server") << "port"
                               << "Home --- Error Connecting!";
}

void TestMessageCommands::viewThatFails() {
    QFETCH(QString, fault);
    CommandRig rig;
    rig.AddMail(1);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString message = rig.Child(1, 0);
    const QString tag = rig.Tree().Tag(message);
    if (fault == "password")
        rig.Server.Password = "changed meanwhile";
    else
        rig.State().Account(1).Port = FakePop3Server::ClosedPort();
    rig.Click(message);
    rig.Action("mnuViewMessage")->trigger(); // no window: a test answerer would fail it
    QTEST(rig.Tree().Text(rig.Key(1)), "status");
    QCOMPARE(rig.Tree().DropHighlight(), message);
    QVERIFY(window.PoolingEvent().isActive());
    QVERIFY(window.AccountsMenuEnabled());
    QVERIFY(!rig.State().ViewingMessage);
    // Properties shows the header lines the check kept, not message text.
    {
        WindowText shown(rig);
        rig.Action("mnuProperties")->trigger();
        QCOMPARE(shown.Text, QString(tag).replace("\r\n", "\n"));
    }
    QVERIFY(tag.startsWith("From : Sender 1 <s@example.org>\r\nTo : ann@example.org\r\n"));
}

void TestMessageCommands::viewOfAMessageCutShort_data() {
    QTest::addColumn<bool>("tooLarge"); // else the connection drops half-way
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("connection lost") << false << "[Connection lost: the message is incomplete]";
    QTest::newRow("larger than the cap")
        << true << "[The message is larger than 4,000 bytes: only its beginning is shown]";
}

void TestMessageCommands::viewOfAMessageCutShort() {
    QFETCH(bool, tooLarge);
    QFETCH(QString, lastLine);
    CommandRig rig;
    QByteArray body;
    for (int i = 1; i <= 1000; ++i)
        body += "line " + QByteArray::number(i) + "\r\n";
    rig.AddMail(1, body);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString before = rig.Tree().Text(rig.Key(1));
    if (tooLarge)
        window.POP().MaxMessageBytes = 4000;
    else
        rig.Server.DropMidReplyOn = "RETR";
    rig.Click(rig.Child(1, 0));
    WindowText shown(rig);
    rig.Action("mnuViewMessage")->trigger();
    QVERIFY2(shown.Text.startsWith("From: Sender 1 <s@example.org>\nTo: ann@example.org\n"
                                   "Subject: Mail 1\n\nline 1\nline 2\n"),
             qPrintable(shown.Text));
    QVERIFY(!shown.Text.contains("line 1000"));
    QCOMPARE(shown.Text.section('\n', -1), lastLine);
    QCOMPARE(shown.Text.count(lastLine), 1);
    QCOMPARE(rig.Tree().Text(rig.Key(1)), before);
    QVERIFY(window.AccountsMenuEnabled());
}

void TestMessageCommands::viewWhenTheMailboxChanged_data() {
    QTest::addColumn<bool>("uidl"); // else told by the Message-Id
    QTest::newRow("by unique id") << true;
    QTest::newRow("by Message-Id") << false;
}

void TestMessageCommands::viewWhenTheMailboxChanged() {
    QFETCH(bool, uidl);
    CommandRig rig;
    rig.Server.OfferUidl = uidl;
    for (int n = 1; n <= 3; ++n)
        rig.AddMail(n);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    QCOMPARE(rig.Tree().UniqueId(rig.Child(1, 1)), uidl ? QString("uid-2") : QString());
    // Another program removes the first message; #2 is now the third.
    rig.Server.Mailbox.removeFirst();
    rig.Click(rig.Child(1, 1));
    {
        WindowText shown(rig);
        rig.Action("mnuViewMessage")->trigger();
        QCOMPARE(shown.Text, MessageWindowNote::MailboxChanged(2));
        QVERIFY(!shown.BusyPointer);
        QVERIFY(!shown.Text.contains('\n'));
    }
    // Nothing was fetched; the account was listed again as the server numbers it.
    QVERIFY(!rig.Server.Transcript.join(' ').contains("RETR"));
    QCOMPARE(numbers(rig.ChildTexts(1)), QStringList({"#1 Mail 2", "#2 Mail 3"}));
    QVERIFY(rig.Tree().Text(rig.Key(1)).startsWith("Home --- 2 messages --- Totaling "));
    QCOMPARE(rig.State().CurrentMessage, qint16(0));
    QVERIFY(!rig.Action("mnuViewMessage")->isEnabled());
    QVERIFY(window.PoolingEvent().isActive());
}

void TestMessageCommands::properties_data() {
    QTest::addColumn<QString>("select"); // the message, nothing, or a message without header
    QTest::addColumn<bool>("empty");
    QTest::newRow("a message") << "message" << false;
    QTest::newRow("nothing drop-highlighted") << "nothing" << true;
    QTest::newRow("header never arrived") << "no header" << true;
}

void TestMessageCommands::properties() {
    QFETCH(QString, select);
    QFETCH(bool, empty);
    CommandRig rig;
    rig.AddMail(1);
    if (select == "no header")
        rig.Server.ErrOn = "TOP";
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString message = rig.Child(1, 0);
    if (select == "nothing") {
        rig.Click(message);
        rig.Tree().SetDropHighlight(QString()); // as HideSelection leaves it
        QVERIFY(rig.Action("mnuProperties")->isEnabled());
    } else {
        rig.Click(message);
    }
    const int connections = rig.Server.Transcript.count("<CONNECT>");
    {
        WindowText shown(rig);
        rig.Action("mnuProperties")->trigger();
        QVERIFY(shown.TimerStopped);
        QVERIFY(!shown.Viewing);
        QVERIFY(!shown.BusyPointer);
        QCOMPARE(shown.Text.isEmpty(), empty);
        if (!empty)
            QVERIFY(shown.Text.startsWith("From : Sender 1 <s@example.org>\nTo : ann@example.org\n"
                                          "Subject : Mail 1\nMessage-ID : <m1@example.org>"));
    }
    QCOMPARE(rig.Server.Transcript.count("<CONNECT>"), connections); // the server is not asked
    QVERIFY(window.PoolingEvent().isActive());
}

void TestMessageCommands::messageWindowFillsItselfAndReadsNoMarkup() {
    MsgInfo window("<b>not bold</b>\r\nline two\r\n");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPlainTextEdit* text = window.findChild<QPlainTextEdit*>("MsgProp");
    QCOMPARE(text->toPlainText(), QString("<b>not bold</b>\nline two\n"));
    QCOMPARE(window.size(), QSize(441, 297));
    QCOMPARE(text->geometry(), window.rect());
    window.resize(700, 500);
    QTRY_COMPARE(text->geometry(), window.rect());
    window.showMinimized();
    window.showNormal();
    QTRY_COMPARE(text->geometry(), window.rect());
    QCOMPARE(text->size(), QSize(700, 500));
}

void TestMessageCommands::deleteRenumbersTheLaterMessages() {
    CommandRig rig;
    for (int n = 1; n <= 4; ++n)
        rig.AddMail(n);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString account = rig.Key(1);
    const QString before = rig.Tree().Text(account);
    const QString second = rig.Child(1, 1);
    const QString secondText = rig.Tree().Text(second);
    rig.Click(second);
    rig.Action("mnuDeleteMessage")->trigger();
    QCOMPARE(rig.Tree().Text(second), "(Deleted)" + secondText.mid(secondText.indexOf(' ')));
    QCOMPARE(rig.Tree().Image(second), QString("Deleted"));
    QCOMPARE(numbers(rig.ChildTexts(1)),
             QStringList({"#1 Mail 1", "(Deleted) Mail 2", "#2 Mail 3", "#3 Mail 4"}));
    QCOMPARE(serverSubjects(rig.Server), QStringList({"Mail 1", "Mail 3", "Mail 4"}));
    QCOMPARE(rig.Tree().Text(account), before);
    QCOMPARE(rig.Tree().DropHighlight(), account);
    QCOMPARE(rig.State().CurrentMessage, qint16(0));
    QVERIFY(!rig.Action("mnuDeleteMessage")->isEnabled());
    QVERIFY(window.PoolingEvent().isActive());
    QVERIFY(window.AccountsMenuEnabled());

    // The new #2, by its number on the next connection.
    rig.Click(rig.Child(1, 2));
    rig.Action("mnuDeleteMessage")->trigger();
    QCOMPARE(numbers(rig.ChildTexts(1)),
             QStringList({"#1 Mail 1", "(Deleted) Mail 2", "(Deleted) Mail 3", "#2 Mail 4"}));
    QCOMPARE(serverSubjects(rig.Server), QStringList({"Mail 1", "Mail 4"}));
    QVERIFY(rig.Server.Transcript.contains("DELE 2"));
    // A deleted node is no message to act on.
    rig.Click(rig.Child(1, 1));
    QCOMPARE(rig.State().CurrentMessage, qint16(0));

    // The numbers shown are the server's.
    rig.UpdateNow();
    QCOMPARE(numbers(rig.ChildTexts(1)), QStringList({"#1 Mail 1", "#2 Mail 4"}));
}

void TestMessageCommands::deleteNextToAFilterDeletedMessage() {
    CommandRig rig;
    for (int n = 1; n <= 4; ++n)
        rig.AddMail(n);
    FilterRule rule;
    rule.SubjectText = "Mail 2";
    rule.Active = true;
    rig.Start({rig.Account("Home")});
    rig.State().FilterList = {rule}; // after the start-up, which loads the stored rules
    rig.UpdateNow();
    QCOMPARE(numbers(rig.ChildTexts(1)),
             QStringList({"#1 Mail 1", "(Deleted) Mail 2", "#2 Mail 3", "#3 Mail 4"}));
    rig.State().FilterList.clear();
    rig.Click(rig.Child(1, 0));
    rig.Action("mnuDeleteMessage")->trigger();
    QCOMPARE(numbers(rig.ChildTexts(1)),
             QStringList({"(Deleted) Mail 1", "(Deleted) Mail 2", "#1 Mail 3", "#2 Mail 4"}));
    QCOMPARE(serverSubjects(rig.Server), QStringList({"Mail 3", "Mail 4"}));
}

void TestMessageCommands::deleteTheLastMessage() {
    CommandRig rig;
    for (int n = 1; n <= 3; ++n)
        rig.AddMail(n);
    rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    rig.Click(rig.Child(1, 2));
    rig.Action("mnuDeleteMessage")->trigger();
    QCOMPARE(numbers(rig.ChildTexts(1)),
             QStringList({"#1 Mail 1", "#2 Mail 2", "(Deleted) Mail 3"}));
}

void TestMessageCommands::deleteThatFails_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status");
    QTest::newRow("wrong password") << "password"
                                    << "Home --- Bad user ID or Password!";
    QTest::newRow("no server") << "port"
                               << "Home --- Error Connecting!";
    QTest::newRow("DELE refused") << "dele"
                                  << "Home --- Error deleting message #2";
    QTest::newRow("connection lost at DELE") << "drop"
                                             << "Home --- Error deleting message #2";
    // DELE answered, but the server removes the message only at QUIT's +OK.
    QTest::newRow("QUIT refused") << "quit"
                                  << "Home --- Error deleting message #2";
    QTest::newRow("connection lost at QUIT") << "drop at quit"
                                             << "Home --- Error deleting message #2";
}

void TestMessageCommands::deleteThatFails() {
    QFETCH(QString, fault);
    CommandRig rig;
    for (int n = 1; n <= 3; ++n)
        rig.AddMail(n);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QStringList texts = rig.ChildTexts(1);
    if (fault == "password")
        rig.Server.Password = "changed meanwhile";
    else if (fault == "port")
        rig.State().Account(1).Port = FakePop3Server::ClosedPort();
    else if (fault == "dele")
        rig.Server.ErrOn = "DELE";
    else if (fault == "quit")
        rig.Server.ErrOn = "QUIT";
    else if (fault == "drop at quit")
        rig.Server.DropOn = "QUIT";
    else
        rig.Server.DropMidReplyOn = "DELE";
    rig.Click(rig.Child(1, 1));
    rig.Action("mnuDeleteMessage")->trigger();
    QTEST(rig.Tree().Text(rig.Key(1)), "status");
    QCOMPARE(rig.ChildTexts(1), texts);
    QCOMPARE(rig.Server.Mailbox.size(), 3);
    QCOMPARE(rig.State().CurrentMessage, qint16(0));
    QVERIFY(window.PoolingEvent().isActive());
    QVERIFY(window.AccountsMenuEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestMessageCommands::deleteWhenTheMailboxChanged_data() {
    QTest::addColumn<bool>("uidl");
    QTest::newRow("by unique id") << true;
    QTest::newRow("by Message-Id") << false;
}

void TestMessageCommands::deleteWhenTheMailboxChanged() {
    QFETCH(bool, uidl);
    CommandRig rig;
    rig.Server.OfferUidl = uidl;
    for (int n = 1; n <= 3; ++n)
        rig.AddMail(n);
    MainWindow& window = rig.Start({rig.Account("Home")});
    rig.UpdateNow();
    const QString account = rig.Key(1);
    // A phone removes the first message; #2 on the server is now "Mail 3".
    rig.Server.Mailbox.removeFirst();
    QStringList texts;
    QObject context;
    QObject::connect(&rig.Tree(), &QAbstractItemModel::dataChanged, &context,
                     [&](const QModelIndex& index) {
                         if (rig.Tree().KeyForIndex(index) == account &&
                             (texts.isEmpty() || texts.last() != rig.Tree().Text(account)))
                             texts.append(rig.Tree().Text(account));
                     });
    rig.Click(rig.Child(1, 1));
    rig.Action("mnuDeleteMessage")->trigger();

    // Nothing was deleted on the server.
    QVERIFY(!rig.Server.Transcript.join(' ').contains("DELE"));
    QCOMPARE(serverSubjects(rig.Server), QStringList({"Mail 2", "Mail 3"}));
    QVERIFY(texts.contains("Home --- Error deleting message #2"));
    // Checked again at once: the tree follows the server's numbering.
    QVERIFY(rig.Tree().Text(account).startsWith("Home --- 2 messages --- Totaling "));
    QCOMPARE(numbers(rig.ChildTexts(1)), QStringList({"#1 Mail 2", "#2 Mail 3"}));
    QCOMPARE(rig.Tree().ToolTip(account),
             QString("Message #2 was not deleted: the mailbox had changed since the last check."));
    QCOMPARE(rig.State().CurrentMessage, qint16(0));
    QVERIFY(!rig.Action("mnuDeleteMessage")->isEnabled());
    QVERIFY(window.PoolingEvent().isActive());
}

QTEST_MAIN(TestMessageCommands)
#include "test_message_commands.moc"
