#include "main_window/main_window.h"
#include "main_window/window_placement.h"
#include "notify/new_mail_dialog.h"
#include "notify/new_mail_notice.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <cmath>

// The modeless NewMail window: its sentence, its size, and its two buttons.
class TestNewMailDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void formatDialogText_data();
    void formatDialogText();
    void loadShowsTheConfiguredSentenceAsPlainText_data();
    void loadShowsTheConfiguredSentenceAsPlainText();
    void sentenceWithoutNumberKeepsItsFirstChoice();
    void widthFollowsTheSentenceWithAMinimum_data();
    void widthFollowsTheSentenceWithAMinimum();
    void oneDialogUpdatedByLaterPasses();
    void updateWithNoNewMailCloses();
    void okCloses();
    void viewMailBringsBackAWindowHiddenInTheTray();
    void takesTheFocusAfterLoad();
    void goesWithTheMainWindow();

private:
    NewMailDialog& Open(qint16 count);

    std::unique_ptr<TempState> m_temp;
    std::unique_ptr<NewMailDialogNotice> m_notice;
    std::unique_ptr<MainWindow> m_window;
};

// A notification area that says the icon is shown, so the window can hide.
class ShownTray final : public TrayArea {
public:
    bool Available() const override { return true; }
    void SetInTray(bool) override {}
    void SetPicture(TrayPicture, int) override {}
};

static ShownTray shownTray;

void TestNewMailDialog::init() {
    FailOnUnexpectedWarnings();
    m_temp = std::make_unique<TempState>();
    m_notice = std::make_unique<NewMailDialogNotice>(*m_temp->State);
    WindowCollaborators parts;
    parts.Tray = &shownTray;
    parts.NewMail = m_notice.get();
    m_window = std::make_unique<MainWindow>(*m_temp->State, parts);
    m_notice->Attach(*m_window);
    m_window->Form_Load();
}

void TestNewMailDialog::cleanup() {
    m_window.reset();
    m_notice.reset();
    m_temp.reset();
}

NewMailDialog& TestNewMailDialog::Open(qint16 count) {
    m_temp->State->NewMailCount = count;
    m_notice->Show(true);
    NewMailDialog* dialog = m_notice->Dialog();
    if (!dialog)
        qFatal("the new-mail dialog did not open");
    return *dialog;
}

void TestNewMailDialog::formatDialogText_data() {
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("sentence");
    const QString standard = "You have # new message[s]";
    QTest::newRow("default, 1") << standard << 1 << "You have 1 new message";
    QTest::newRow("default, 3") << standard << 3 << "You have 3 new messages";
    QTest::newRow("default, 12") << standard << 12 << "You have 12 new messages";
    QTest::newRow("default, 0 is singular") << standard << 0 << "You have 0 new message";
    QTest::newRow("design sentence, 2") << "You have # message[s]" << 2 << "You have 2 messages";
    QTest::newRow("no #: only the plural") << "New mail[s]!" << 2 << "New mails!";
    QTest::newRow("] before [: brackets untouched")
        << "You have # ]new[ message" << 2 << "You have 2 ]new[ message";
    QTest::newRow("only the first # and the first pair") << "# of # [a][b]" << 5 << "5 of # a[b]";
    QTest::newRow("the count may stand in the brackets") << "Mail[ (#)]" << 4 << "Mail (4)";
    QTest::newRow("[ without ]") << "# message[s" << 2 << "2 message[s";
    QTest::newRow("empty ending") << "# item[]" << 2 << "2 item";
}

void TestNewMailDialog::formatDialogText() {
    QFETCH(QString, templateText);
    QFETCH(int, count);
    QFETCH(QString, sentence);
    // The caption before is the template, as at the first display.
    QCOMPARE(FormatDialogText(templateText, templateText, count), sentence);
}

void TestNewMailDialog::loadShowsTheConfiguredSentenceAsPlainText_data() {
    QTest::addColumn<QString>("dialogMessage");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("default") << "You have # new message[s]"
                             << "You have 2 new messages";
    QTest::newRow("empty: the design sentence") << ""
                                                << "You have 2 messages";
    QTest::newRow("markup is text") << "<b>#</b> new <i>mail</i>"
                                    << "<b>2</b> new <i>mail</i>";
}

void TestNewMailDialog::loadShowsTheConfiguredSentenceAsPlainText() {
    QFETCH(QString, dialogMessage);
    QFETCH(QString, sentence);
    m_temp->State->AppSettings.DialogMessage = dialogMessage;
    NewMailDialog& dialog = Open(2);
    QVERIFY(m_temp->State->NewMailDialogOpen);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QVERIFY(dialog.isWindow());
    QCOMPARE(dialog.windowTitle(), QString("Larkwatch"));
    auto* label = dialog.findChild<QLabel*>("lblMsg");
    QVERIFY(label);
    QCOMPARE(label->text(), sentence);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.Sentence(), sentence);
    auto* ok = dialog.findChild<QPushButton*>("ButOK");
    auto* view = dialog.findChild<QPushButton*>("butView");
    QVERIFY(ok && view);
    QCOMPARE(ok->text(), QString("OK"));
    QCOMPARE(ok->toolTip(), QString("Click here to return"));
    QCOMPARE(view->text(), QString("View Mail"));
    QCOMPARE(view->toolTip(), QString("View the message window"));
    QVERIFY(dialog.findChild<QLabel*>("Image1"));
}

void TestNewMailDialog::sentenceWithoutNumberKeepsItsFirstChoice() {
    m_temp->State->AppSettings.DialogMessage = "New mail[s]!";
    NewMailDialog& dialog = Open(1);
    QCOMPARE(dialog.Sentence(), QString("New mail!"));
    m_temp->State->NewMailCount = 3;
    dialog.Update();
    QCOMPARE(dialog.Sentence(), QString("New mail!"));
}

void TestNewMailDialog::widthFollowsTheSentenceWithAMinimum_data() {
    QTest::addColumn<QString>("dialogMessage");
    QTest::newRow("very short sentence") << "Hi";
    QTest::newRow("long sentence") << QString("You have # new messages waiting on the server, "
                                              "in every one of your accounts[s]");
}

void TestNewMailDialog::widthFollowsTheSentenceWithAMinimum() {
    QFETCH(QString, dialogMessage);
    m_temp->State->AppSettings.DialogMessage = dialogMessage;
    NewMailDialog& dialog = Open(2);
    const double tx = WindowPlacement::TwipsPerPixelX(dialog);
    auto px = [tx](double twips) { return int(std::lround(twips / tx)); };
    const QLabel* label = dialog.findChild<QLabel*>("lblMsg");
    QCOMPARE(dialog.width(), std::max(label->width() + px(1335), px(3615)));
    if (dialogMessage == "Hi")
        QCOMPARE(dialog.width(), px(3615));
    else
        QVERIFY(dialog.width() > px(3615));
    QVERIFY(label->geometry().right() < dialog.width());

    // OK on the left, View Mail on the right, three equal gaps (to a pixel).
    const QRect ok = dialog.findChild<QPushButton*>("ButOK")->geometry();
    const QRect view = dialog.findChild<QPushButton*>("butView")->geometry();
    const int gap = (dialog.width() - ok.width() - view.width()) / 3;
    QCOMPARE(ok.left(), gap);
    QCOMPARE(view.left(), ok.left() + ok.width() + gap);
    QVERIFY(dialog.width() - (view.left() + view.width()) - gap <= 2);
    QCOMPARE(ok.top(), view.top());
    QVERIFY(ok.top() > label->geometry().bottom());
    QVERIFY(ok.bottom() < dialog.height());

    // Centred on the screen.
    const QRect screen = dialog.screen()->geometry();
    QVERIFY(std::abs(dialog.x() - (screen.width() - dialog.width()) / 2) <= 1);
}

void TestNewMailDialog::oneDialogUpdatedByLaterPasses() {
    NewMailDialog& dialog = Open(1);
    QCOMPARE(dialog.Sentence(), QString("You have 1 new message"));
    m_temp->State->NewMailCount = 4;
    m_notice->Show(false);
    QCOMPARE(m_notice->Dialog(), &dialog);
    QCOMPARE(dialog.Sentence(), QString("You have 4 new messages"));
    int shown = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        shown += qobject_cast<NewMailDialog*>(window) && window->isVisible();
    QCOMPARE(shown, 1);

    // Nothing is opened for no new mail.
    m_notice->Close();
    QVERIFY(!m_temp->State->NewMailDialogOpen);
    m_temp->State->NewMailCount = 0;
    m_notice->Show(true);
    QVERIFY(!m_notice->Dialog());
    QVERIFY(!m_temp->State->NewMailDialogOpen);
}

void TestNewMailDialog::updateWithNoNewMailCloses() {
    QPointer<NewMailDialog> dialog = &Open(3);
    m_temp->State->NewMailCount = 0;
    dialog->Update();
    QVERIFY(!m_temp->State->NewMailDialogOpen);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!m_notice->Dialog());
    QTRY_VERIFY(dialog.isNull()); // gone once the event loop runs
    QVERIFY(m_window->isVisible());
}

void TestNewMailDialog::okCloses() {
    QPointer<NewMailDialog> dialog = &Open(3);
    QTest::mouseClick(dialog->findChild<QPushButton*>("ButOK"), Qt::LeftButton);
    QVERIFY(!m_temp->State->NewMailDialogOpen);
    QTRY_VERIFY(dialog.isNull());
    // A later pass opens a fresh one.
    m_notice->Show(true);
    QVERIFY(m_notice->Dialog());
    QVERIFY(m_temp->State->NewMailDialogOpen);
}

void TestNewMailDialog::viewMailBringsBackAWindowHiddenInTheTray() {
    MainWindow& w = *m_window;
    w.showMaximized();
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible()); // in the tray
    QPointer<NewMailDialog> dialog = &Open(2);
    QVERIFY(dialog->isVisible());

    QTest::mouseClick(dialog->findChild<QPushButton*>("butView"), Qt::LeftButton);
    QVERIFY(w.isVisible());
    QVERIFY(w.isMaximized());
    QVERIFY(!w.IsMinimized());
    QVERIFY(!m_temp->State->NewMailDialogOpen);
    QTRY_VERIFY(dialog.isNull());
}

void TestNewMailDialog::takesTheFocusAfterLoad() {
    NewMailDialog& dialog = Open(2);
    auto* timer = dialog.findChild<QTimer*>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 100);
    QTRY_VERIFY(!timer->isActive());
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    QCOMPARE(QApplication::focusWidget(), dialog.findChild<QPushButton*>("ButOK"));
}

void TestNewMailDialog::goesWithTheMainWindow() {
    QPointer<NewMailDialog> dialog = &Open(2);
    m_window.reset();
    QVERIFY(dialog.isNull());
    QVERIFY(!m_temp->State->NewMailDialogOpen);
}

QTEST_MAIN(TestNewMailDialog)
#include "test_new_mail_dialog.moc"
