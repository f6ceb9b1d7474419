#include "dialogs/wav_action_edit_dialog.h"
#include "dialogs/wav_actions_dialog.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "dialog_rig.h"

#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The Advance WAV Settings and Add/Modify WAV Action dialogs.
class TestWavActionDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void okNeedsATextAndAFile_data();
    void okNeedsATextAndAFile();
    void testPlaysTheTypedFileAndRestoresSettings();
    void selectPutsTheChosenFileInTheBox();
    void addFromTheOptionsDialogTicksAndStores();
    void modifyShowsTheActionAndKeepsItsTick();
};

namespace {
QString stored(const AppState& state, const QString& key) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value("Actions/" + key, "<absent>").toString();
}
QPushButton* button(const QWidget* dialog, const char* name) {
    return Child<QPushButton>(dialog, name);
}
QLineEdit* text(const QWidget* dialog, const char* name) {
    return Child<QLineEdit>(dialog, name);
}
} // namespace

void TestWavActionDialogs::okNeedsATextAndAFile_data() {
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("test");
    QTest::newRow("nothing") << ""
                             << ""
                             << "" << false << false;
    QTest::newRow("both texts, no file") << "ann"
                                         << "lunch"
                                         << "" << false << false;
    QTest::newRow("a file, no text") << ""
                                     << ""
                                     << "/s/a.wav" << false << true;
    QTest::newRow("sender and file") << "ann"
                                     << ""
                                     << "/s/a.wav" << true << true;
    QTest::newRow("subject and file") << ""
                                      << "lunch"
                                      << "/s/a.wav" << true << true;
}

void TestWavActionDialogs::okNeedsATextAndAFile() {
    QFETCH(QString, sender);
    QFETCH(QString, subject);
    QFETCH(QString, file);
    QFETCH(bool, ok);
    QFETCH(bool, test);
    TempState t;
    WavActionEditDialog dialog(*t.State, nullptr);
    QCOMPARE(dialog.windowTitle(), QString("Larkwatch --- Add WAV Action"));
    text(&dialog, "TxtSnd")->setText(sender);
    text(&dialog, "txtSub")->setText(subject);
    text(&dialog, "txtWavFile")->setText(file);
    QCOMPARE(button(&dialog, "ButOK")->isEnabled(), ok);
    QCOMPARE(button(&dialog, "butTestWav")->isEnabled(), test);

    // A blank cannot begin what is typed, here as in the rule texts.
    text(&dialog, "txtWavFile")->clear();
    QTest::keyClicks(text(&dialog, "txtWavFile"), " /s/b.wav");
    QCOMPARE(text(&dialog, "txtWavFile")->text(), QString("/s/b.wav"));
}

void TestWavActionDialogs::testPlaysTheTypedFileAndRestoresSettings() {
    TempState t;
    AppState& state = *t.State;
    GeneralOptions& o = state.AppSettings;
    o.PlayWav = false; // no general sound, or random play
    o.RandomPlayWAV = false;
    o.WavFile = "/stored/file.wav";
    o.WavFolder = "/stored/folder";
    RecordingSoundDevice device;
    SoundPlayer player(state, device);
    QStringList seen; // the settings at the moment of the play
    WavActionEditDialog dialog(state, [&] {
        seen << o.WavFile << o.WavFolder << (o.PlayWav ? "single" : "random");
        player.PlayMessage();
    });
    text(&dialog, "txtWavFile")->setText("/s/typed.wav");
    button(&dialog, "butTestWav")->click();
    QCOMPARE(seen, QStringList({"/s/typed.wav", "", "single"}));
    QCOMPARE(device.Played(), QStringList{"/s/typed.wav"});
    QCOMPARE(o.WavFile, QString("/stored/file.wav"));
    QCOMPARE(o.WavFolder, QString("/stored/folder"));
    QVERIFY(!o.PlayWav);
}

void TestWavActionDialogs::selectPutsTheChosenFileInTheBox() {
    QTemporaryDir sounds;
    for (const char* name : {"old.wav", "new.wav"}) {
        QFile file(sounds.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TempState t;
    WavActionEditDialog dialog(*t.State, nullptr);
    text(&dialog, "txtWavFile")->setText(sounds.filePath("old.wav"));
    FileDialogAnswerer files;
    files.AnswerPath(sounds.filePath("new.wav"));
    button(&dialog, "butSelWAV")->click();
    QCOMPARE(files.Answered().size(), 1);
    QCOMPARE(files.Answered().at(0).Directory, sounds.path()); // the folder of the current file
    QCOMPARE(files.Answered().at(0).NameFilters,
             QStringList({"WAV Files (*.wav)", "All Files (*)"}));
    QCOMPARE(text(&dialog, "txtWavFile")->text(), sounds.filePath("new.wav"));

    files.Cancel();
    button(&dialog, "butSelWAV")->click();
    QCOMPARE(text(&dialog, "txtWavFile")->text(), sounds.filePath("new.wav"));
}

void TestWavActionDialogs::addFromTheOptionsDialogTicksAndStores() {
    WindowRig rig;
    QStringList listed;
    AnswerNextModal options("Options", [&](QWidget* optionsDialog) {
        AnswerNextModal advanced("AdvWAV", [&](QWidget* list) {
            QCOMPARE(list->windowTitle(), QString("Larkwatch --- Advance WAV Settings"));
            QCOMPARE(list->parentWidget(), optionsDialog);
            AnswerNextModal edit("AdvAction", [](QWidget* action) {
                text(action, "TxtSnd")->setText("boss");
                text(action, "txtWavFile")->setText("/s/alarm.wav");
                button(action, "ButOK")->click();
            });
            button(list, "ButAdd")->click();
            QVERIFY(edit.Answered());
            auto* entries = Child<QListWidget>(list, "LstWAV");
            for (int k = 0; k < entries->count(); ++k)
                listed << entries->item(k)->text() +
                              (entries->item(k)->checkState() == Qt::Checked ? " [x]" : " [ ]");
            button(list, "ButOK")->click();
        });
        button(optionsDialog, "butAdv")->click();
        QVERIFY(advanced.Answered());
        button(optionsDialog, "butCancel")->click();
    });
    rig.Action("mnuOptions")->trigger();
    QVERIFY(options.Answered());
    QCOMPARE(listed, QStringList{R"(Sender include "boss" Play "/s/alarm.wav" [x])"});
    QCOMPARE(rig.state.WavActionCount(), qint16(1));
    QCOMPARE(stored(rig.state, "TotalActions"), QString("1"));
    QCOMPARE(stored(rig.state, "Disabled1"), QString("True"));
    QCOMPARE(stored(rig.state, "WavFile1"), QString("/s/alarm.wav"));
}

void TestWavActionDialogs::modifyShowsTheActionAndKeepsItsTick() {
    TempState t;
    AppState& state = *t.State;
    WavAction action;
    action.SubjectText = "invoice";
    action.SubjectMatch = false;
    action.WavFile = "/s/cash.wav";
    action.Active = false;
    state.WavActionList = {action};
    AdvanceWavSettingsDialog dialog(state, nullptr);
    Child<QListWidget>(&dialog, "LstWAV")->setCurrentRow(0);
    QString title, shownFile;
    AnswerNextModal edit("AdvAction", [&](QWidget* d) {
        title = d->windowTitle();
        shownFile = text(d, "txtWavFile")->text();
        text(d, "txtWavFile")->setText("/s/coins.wav");
        button(d, "ButOK")->click();
    });
    button(&dialog, "ButModify")->click();
    QVERIFY(edit.Answered());
    QCOMPARE(title, QString("Larkwatch --- Modify WAV Action"));
    QCOMPARE(shownFile, QString("/s/cash.wav"));
    const auto* entry = Child<QListWidget>(&dialog, "LstWAV")->item(0);
    QCOMPARE(entry->text(), QString(R"(Subject include "invoice" Play "/s/coins.wav")"));
    QCOMPARE(entry->checkState(), Qt::Unchecked);
    QCOMPARE(stored(state, "WavFile1"), QString("/s/coins.wav"));
    QCOMPARE(stored(state, "Disabled1"), QString("False"));
}

QTEST_MAIN(TestWavActionDialogs)
#include "test_wav_action_dialogs.moc"
