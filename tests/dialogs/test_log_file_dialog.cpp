#include "dialogs/log_file_dialog.h"
#include "records/account_store.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/fake_pop3_server.h"
#include "dialog_rig.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The Log File dialog, and the log of the next pass going where it says.
class TestLogFileDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void opensWithTheSettingsInForce();
    void okStoresTheFolderWithATrailingSlash_data();
    void okStoresTheFolderWithATrailingSlash();
    void browseStartsInTheFolderAndFillsTheBox_data();
    void browseStartsInTheFolderAndFillsTheBox();
    void cancelChangesNothing();
    void nextPassLogsIntoTheChosenFolder();
};

namespace {
QString stored(const AppState& state, const char* key) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value(QStringLiteral("Config/") + QLatin1String(key), "<absent>").toString();
}
QPushButton* button(const QWidget* dialog, const char* name) {
    return Child<QPushButton>(dialog, name);
}
} // namespace

void TestLogFileDialog::opensWithTheSettingsInForce() {
    TempState t;
    AppState& state = *t.State;
    LogFileDialog dialog(state);
    QCOMPARE(dialog.windowTitle(), QString("Larkwatch --- Log File"));
    // Never set: the data folder's Logs/, logging off, one master log.
    QCOMPARE(Child<QLineEdit>(&dialog, "txtLogLoc")->text(), state.Paths.DataFolder + "Logs/");
    QVERIFY(Child<QCheckBox>(&dialog, "chkDisLog")->isChecked());
    QVERIFY(Child<QCheckBox>(&dialog, "chkOneLog")->isChecked());
}

void TestLogFileDialog::okStoresTheFolderWithATrailingSlash_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::newRow("without a slash") << "/home/u/mail logs"
                                     << "/home/u/mail logs/";
    QTest::newRow("with a slash") << "/home/u/logs/"
                                  << "/home/u/logs/";
    QTest::newRow("empty keeps the folder in force") << ""
                                                     << "/old/logs/";
}

void TestLogFileDialog::okStoresTheFolderWithATrailingSlash() {
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    TempState t;
    AppState& state = *t.State;
    state.AppSettings.LogFilesPath = "/old/logs/";
    LogFileDialog dialog(state);
    Child<QLineEdit>(&dialog, "txtLogLoc")->setText(typed);
    Child<QCheckBox>(&dialog, "chkDisLog")->setChecked(false);
    Child<QCheckBox>(&dialog, "chkOneLog")->setChecked(false);
    button(&dialog, "butOK")->click();
    QVERIFY(state.DialogAccepted);
    QCOMPARE(state.AppSettings.LogFilesPath, folder);
    QVERIFY(!state.AppSettings.LogDisabled);
    QVERIFY(!state.AppSettings.LogAllInOne);
    QCOMPARE(stored(state, "LogFilesPath"), folder);
    QCOMPARE(stored(state, "LogDisabled"), QString("False"));
    QCOMPARE(stored(state, "LogAllInOne"), QString("False"));
}

void TestLogFileDialog::browseStartsInTheFolderAndFillsTheBox_data() {
    QTest::addColumn<QString>("current"); // below a temporary folder
    QTest::newRow("an existing folder") << "/";
    QTest::newRow("a folder not made yet") << "/Logs/2024/";
}

void TestLogFileDialog::browseStartsInTheFolderAndFillsTheBox() {
    QFETCH(QString, current);
    QTemporaryDir place;
    QVERIFY(QDir(place.path()).mkdir("chosen"));
    TempState t;
    AppState& state = *t.State;
    state.AppSettings.LogFilesPath = place.path() + current;
    LogFileDialog dialog(state);
    FileDialogAnswerer folders;
    folders.AnswerPath(place.filePath("chosen"));
    button(&dialog, "butBrowse")->click();
    QCOMPARE(folders.Answered().size(), 1);
    QCOMPARE(folders.Answered().at(0).Title, QString("Select Log Files Location"));
    QCOMPARE(folders.Answered().at(0).Directory, place.path());
    QCOMPARE(Child<QLineEdit>(&dialog, "txtLogLoc")->text(), place.filePath("chosen"));
    button(&dialog, "butOK")->click();
    QCOMPARE(state.AppSettings.LogFilesPath, place.filePath("chosen") + "/");
}

void TestLogFileDialog::cancelChangesNothing() {
    TempState t;
    AppState& state = *t.State;
    state.AppSettings.LogFilesPath = "/old/logs/";
    LogFileDialog dialog(state);
    Child<QLineEdit>(&dialog, "txtLogLoc")->setText("/elsewhere");
    Child<QCheckBox>(&dialog, "chkDisLog")->setChecked(false);
    button(&dialog, "butCancel")->click();
    QVERIFY(!state.DialogAccepted);
    QCOMPARE(state.AppSettings.LogFilesPath, QString("/old/logs/"));
    QVERIFY(state.AppSettings.LogDisabled);
    QCOMPARE(stored(state, "LogFilesPath"), QString("<absent>"));
}

void TestLogFileDialog::nextPassLogsIntoTheChosenFolder() {
    FakePop3Server server;
    QVERIFY(server.Listen());
    server.AddMessage(
        "Subject: Hello\r\nFrom: Ann <ann@example.org>\r\nMessage-ID: <1@x>\r\n\r\nHi\r\n");
    QTemporaryDir logs;
    WindowRig rig;
    MailAccount account;
    account.Title = "Home";
    account.Host = "127.0.0.1";
    account.Port = server.Port();
    account.User = "ann";
    account.Password = "secret";
    account.NodeKey = "P1";
    rig.state.Accounts = {account};
    SaveAccounts(rig.state);

    AnswerNextModal logFile("Logs", [&](QWidget* dialog) {
        Child<QLineEdit>(dialog, "txtLogLoc")->setText(logs.path());
        Child<QCheckBox>(dialog, "chkDisLog")->setChecked(false);
        button(dialog, "butOK")->click();
    });
    rig.Action("mnuLogFile")->trigger();
    QVERIFY(logFile.Answered());
    QVERIFY(rig.window->PoolingEvent().isActive());

    rig.Action("mnuUpdateNow")->trigger();
    QFile master(logs.filePath("Master.doc"));
    QVERIFY2(master.open(QIODevice::ReadOnly), qPrintable(logs.filePath("Master.doc")));
    QVERIFY(master.readAll().contains("Subject : Hello"));
}

QTEST_MAIN(TestLogFileDialog)
#include "test_log_file_dialog.moc"
