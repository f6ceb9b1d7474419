#include "dialogs/autostart_entry.h"
#include "dialogs/options_dialog.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "support/fake_password_vault.h"
#include "records/account_store.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"
#include "dialog_rig.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The Options dialog: validation, the play-mode pair, the Test button, the
// start-minimised box, and the Options command storing the options and
// restarting the countdown.
class TestOptionsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void validation_data();
    void validation();
    void playModePairAndDependentControls();
    void bothPlayModesStoredOpensWithSinglePlay();
    void testPlaysWhatIsEditedAndRestoresSettings_data();
    void testPlaysWhatIsEditedAndRestoresSettings();
    void autoMinIsStoredAtOnceEvenOnCancel();
    void okWithoutChangesStoresElevenKeysAndRestartsCountdown_data();
    void okWithoutChangesStoresElevenKeysAndRestartsCountdown();
    void changedIntervalShowsInTheCountdownAtOnce();
    void cancelStoresNothingAndResumesTheCountdown();
    void desktopBoxesAreStoredOnOk_data();
    void desktopBoxesAreStoredOnOk();
    void keyringBoxMovesPasswordsOnOk();
    void autostartBoxWritesAndRemovesTheEntry();
};

namespace {
const char* const kElevenKeys[] = {"PoolingTime", "AutoExpand",    "AutoDialog", "DialogMessage",
                                   "PlayWav",     "RandomPlayWAV", "WavFile",    "WavFolder",
                                   "RunInTray",   "AutoMarkRead",  "AutoExit"};

QCheckBox* box(const QWidget* dialog, const char* name) {
    return Child<QCheckBox>(dialog, name);
}
QLineEdit* text(const QWidget* dialog, const char* name) {
    return Child<QLineEdit>(dialog, name);
}
QPushButton* button(const QWidget* dialog, const char* name) {
    return Child<QPushButton>(dialog, name);
}

QString stored(const AppState& state, const char* key) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value(QStringLiteral("Config/") + QLatin1String(key), QStringLiteral("<absent>"))
        .toString();
}

// XDG_CONFIG_HOME pointed at a fresh folder for the lifetime of the object.
struct TemporaryConfigHome {
    TemporaryConfigHome() : saved(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    }
    ~TemporaryConfigHome() { qputenv("XDG_CONFIG_HOME", saved); }
    QTemporaryDir folder;
    QByteArray saved;
};

// Answers the Options dialog that the menu opens with `answer`.
[[nodiscard]] std::unique_ptr<AnswerNextModal> answerOptions(std::function<void(QWidget*)> answer) {
    return std::make_unique<AnswerNextModal>(QStringLiteral("Options"), std::move(answer));
}
} // namespace

void TestOptionsDialog::validation_data() {
    QTest::addColumn<QString>("pooling");
    QTest::addColumn<bool>("showDialog");
    QTest::addColumn<QString>("dialogMessage");
    QTest::addColumn<bool>("singlePlay");
    QTest::addColumn<QString>("wavFile");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("minutes");

    const QString pooling = "Pooling must not be less then 1 minute";
    const QString sentence = "You have # new message[s]";
    auto row = [&](const char* name, const QString& typed) -> QTestData& {
        return QTest::newRow(name) << typed << true << sentence << false << QString();
    };
    row("zero", "0") << pooling << "txtPooling" << 0;
    row("letters only", "abc") << pooling << "txtPooling" << 0;
    row("empty", "") << pooling << "txtPooling" << 0;
    row("below one", "0.4") << pooling << "txtPooling" << 0;
    row("negative", "-5") << pooling << "txtPooling" << 0;
    row("a number then letters", "5x") << pooling << "txtPooling" << 0;
    row("minutes whose seconds do not fit 32 bits", "35791395") << pooling << "txtPooling" << 0;
    row("one", "1") << QString() << QString() << 1;
    row("fraction rounds up", "2.6") << QString() << QString() << 3;
    row("blanks around the number", " 7 ") << QString() << QString() << 7;
    row("the largest interval", "35791394") << QString() << QString() << 35791394;
    QTest::newRow("dialog on without a sentence") << "5" << true << "" << false << ""
                                                  << "You must enter a dialog message or disable it"
                                                  << "txtDlgMsg" << 0;
    QTest::newRow("dialog off without a sentence")
        << "5" << false << "" << false << "" << QString() << QString() << 5;
    QTest::newRow("single play without a file") << "5" << true << sentence << true << ""
                                                << "You must enter a WAV file name or disable it"
                                                << "txtWavFile" << 0;
    QTest::newRow("interval checked first")
        << "0" << true << "" << true << "" << pooling << "txtPooling" << 0;
}

void TestOptionsDialog::validation() {
    QFETCH(QString, pooling);
    QFETCH(bool, showDialog);
    QFETCH(QString, dialogMessage);
    QFETCH(bool, singlePlay);
    QFETCH(QString, wavFile);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(int, minutes);

    TempState t;
    AppState& state = *t.State;
    state.AppSettings.PoolingTime = 9;
    OptionsDialog dialog(state, nullptr);
    dialog.show();
    text(&dialog, "txtPooling")->setText(pooling);
    box(&dialog, "chkShowDialog")->setChecked(showDialog);
    text(&dialog, "txtDlgMsg")->setText(dialogMessage);
    box(&dialog, "chkPlayWAV0")->setChecked(singlePlay);
    text(&dialog, "txtWavFile")->setText(wavFile);

    MessageBoxAnswerer boxes;
    if (!message.isEmpty())
        boxes.Answer(QMessageBox::Ok);
    button(&dialog, "butOK")->click();

    if (message.isEmpty()) {
        QVERIFY(boxes.Answered().isEmpty());
        QVERIFY(state.DialogAccepted);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(state.AppSettings.PoolingTime, minutes);
        QCOMPARE(state.AppSettings.DialogMessage, dialogMessage);
        QCOMPARE(state.AppSettings.AutoDialog, showDialog);
        return;
    }
    QCOMPARE(boxes.Answered().size(), 1);
    QCOMPARE(boxes.Answered().at(0).Title, QString("Option Error"));
    QCOMPARE(boxes.Answered().at(0).Text, message);
    QCOMPARE(boxes.Answered().at(0).Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(dialog.isVisible()); // left open, nothing taken
    QVERIFY(!state.DialogAccepted);
    QCOMPARE(state.AppSettings.PoolingTime, 9);
    // The field the user is sent back to holds the dialog's focus.
    QVERIFY(dialog.focusWidget());
    QCOMPARE(dialog.focusWidget()->objectName(), focus);
}

void TestOptionsDialog::playModePairAndDependentControls() {
    TempState t;
    AppState& state = *t.State;
    state.AppSettings.WavFile = "/s/ding.wav";
    state.AppSettings.WavFolder = "/s/chimes";
    OptionsDialog dialog(state, nullptr);
    QCheckBox* single = box(&dialog, "chkPlayWAV0");
    QCheckBox* random = box(&dialog, "chkPlayWAV1");
    QLineEdit* file = text(&dialog, "txtWavFile");
    QPushButton* select = button(&dialog, "butSelWAV");
    QPushButton* test = button(&dialog, "butTestWav");
    QCheckBox* mark = box(&dialog, "chkMark");

    // Neither mode: the design state, with the mark box still offered.
    QCOMPARE(file->text(), QString());
    QVERIFY(!file->isEnabled() && !select->isEnabled() && !test->isEnabled());
    QCOMPARE(select->text(), QString("Select &WAV file..."));
    QVERIFY(mark->isEnabled());

    single->click();
    QCOMPARE(select->text(), QString("Select &WAV File..."));
    QVERIFY(file->isEnabled() && select->isEnabled() && test->isEnabled() && mark->isEnabled());
    QCOMPARE(file->text(), QString("/s/ding.wav"));
    QVERIFY(state.AppSettings.PlayWav && !state.AppSettings.RandomPlayWAV);

    // Typing changes only the file being edited.
    file->setText("/s/other.wav");
    QCOMPARE(dialog.ChosenWavFile(), QString("/s/other.wav"));
    QCOMPARE(dialog.ChosenWavFolder(), QString("/s/chimes"));

    random->click();
    QVERIFY(!single->isChecked());
    QCOMPARE(select->text(), QString("Select &WAV Folder..."));
    QCOMPARE(file->text(), QString("/s/chimes"));
    QVERIFY(!state.AppSettings.PlayWav && state.AppSettings.RandomPlayWAV);

    single->click();
    QVERIFY(!random->isChecked());
    QCOMPARE(file->text(), QString("/s/other.wav"));

    // Emptying the box leaves nothing to test.
    file->clear();
    QVERIFY(!test->isEnabled());
    file->setText("/s/other.wav");
    QVERIFY(test->isEnabled());

    // Unticking the mode switches the sound controls off, but changes no flag.
    single->click();
    QVERIFY(!file->isEnabled() && !select->isEnabled() && !test->isEnabled() && !mark->isEnabled());
    QVERIFY(state.AppSettings.PlayWav);

    // The mode chosen last stays in force after Cancel; the file does not.
    random->click();
    dialog.reject();
    QVERIFY(!state.AppSettings.PlayWav && state.AppSettings.RandomPlayWAV);
    QCOMPARE(state.AppSettings.WavFile, QString("/s/ding.wav"));
    QVERIFY(!state.DialogAccepted);
}

void TestOptionsDialog::bothPlayModesStoredOpensWithSinglePlay() {
    TempState t;
    AppState& state = *t.State;
    state.AppSettings.PlayWav = true;
    state.AppSettings.RandomPlayWAV = true;
    state.AppSettings.WavFile = "/s/ding.wav";
    OptionsDialog dialog(state, nullptr);
    QVERIFY(box(&dialog, "chkPlayWAV0")->isChecked());
    QVERIFY(!box(&dialog, "chkPlayWAV1")->isChecked());
    QCOMPARE(text(&dialog, "txtWavFile")->text(), QString("/s/ding.wav"));
    QVERIFY(!state.AppSettings.RandomPlayWAV);
}

void TestOptionsDialog::testPlaysWhatIsEditedAndRestoresSettings_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("single play") << "chkPlayWAV0";
    QTest::newRow("random play") << "chkPlayWAV1";
}

// Through the menu, as a user does it: the Test button plays through the
// window's sound player.
void TestOptionsDialog::testPlaysWhatIsEditedAndRestoresSettings() {
    QFETCH(QString, mode);
    QTemporaryDir sounds;
    QFile chime(sounds.filePath("chime.WAV"));
    QVERIFY(chime.open(QIODevice::WriteOnly));
    chime.close();
    const QString typedFile = sounds.filePath("typed.wav");
    const QString expected = mode == "chkPlayWAV0" ? typedFile : sounds.filePath("chime.WAV");

    WindowRig rig;
    GeneralOptions& o = rig.state.AppSettings;
    o.WavFile = "/stored/file.wav";
    o.WavFolder = "/stored/folder";
    QStringList playedInside;
    auto answer = answerOptions([&](QWidget* dialog) {
        box(dialog, qPrintable(mode))->click();
        text(dialog, "txtWavFile")->setText(mode == "chkPlayWAV0" ? typedFile : sounds.path());
        button(dialog, "butTestWav")->click();
        playedInside = rig.device.Played();
        // What is stored stays in force for the next pass.
        QCOMPARE(o.WavFile, QString("/stored/file.wav"));
        QCOMPARE(o.WavFolder, QString("/stored/folder"));
        button(dialog, "butCancel")->click();
    });
    rig.Action("mnuOptions")->trigger();
    QVERIFY(answer->Answered());
    QCOMPARE(playedInside, QStringList{expected});
    QCOMPARE(o.WavFile, QString("/stored/file.wav"));
    QCOMPARE(o.WavFolder, QString("/stored/folder"));
}

void TestOptionsDialog::autoMinIsStoredAtOnceEvenOnCancel() {
    TempState t;
    AppState& state = *t.State;
    {
        OptionsDialog dialog(state, nullptr);
        QCOMPARE(stored(state, "AutoMin"), QString("<absent>")); // opening writes nothing
        box(&dialog, "chkAutoMin")->click();
        QCOMPARE(stored(state, "AutoMin"), QString("True"));
        QVERIFY(state.AppSettings.AutoMin);
        button(&dialog, "butCancel")->click();
    }
    QCOMPARE(stored(state, "AutoMin"), QString("True"));
    for (const char* key : kElevenKeys)
        QCOMPARE(stored(state, key), QString("<absent>"));

    OptionsDialog again(state, nullptr);
    QVERIFY(box(&again, "chkAutoMin")->isChecked());
    box(&again, "chkAutoMin")->click();
    QCOMPARE(stored(state, "AutoMin"), QString("False"));
}

void TestOptionsDialog::okWithoutChangesStoresElevenKeysAndRestartsCountdown_data() {
    QTest::addColumn<bool>("suspended");
    QTest::newRow("monitoring") << false;
    QTest::newRow("suspended") << true;
}

void TestOptionsDialog::okWithoutChangesStoresElevenKeysAndRestartsCountdown() {
    QFETCH(bool, suspended);
    WindowRig rig;
    if (suspended)
        rig.Action("mnuSuspend")->trigger();
    rig.state.SecondsLeft = 17; // part of the interval has gone by
    bool timerPaused = false;
    auto answer = answerOptions([&](QWidget* dialog) {
        timerPaused = !rig.window->PoolingEvent().isActive();
        QVERIFY(!rig.state.NoDialogOpen);
        // Chosen again from the tray icon's menu: the open dialog stays the only one.
        rig.Action("mnuOptions")->trigger();
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        button(dialog, "butOK")->click();
    });
    rig.Action("mnuOptions")->trigger();
    QVERIFY(answer->Answered());
    QVERIFY(timerPaused);
    QVERIFY(rig.state.NoDialogOpen);

    for (const char* key : kElevenKeys)
        QVERIFY2(stored(rig.state, key) != "<absent>", key);
    QCOMPARE(stored(rig.state, "PoolingTime"), QString("5"));
    QCOMPARE(stored(rig.state, "RunInTray"), QString("True"));
    QCOMPARE(stored(rig.state, "AutoMin"), QString("<absent>"));
    QCOMPARE(rig.state.SecondsLeft, 5 * 60);
    QCOMPARE(rig.window->TimeLeftBox().text(), QString("05:00"));
    QCOMPARE(rig.window->PoolingEvent().isActive(), !suspended);
    QCOMPARE(rig.tray.InTray, QList<bool>{true});
}

void TestOptionsDialog::changedIntervalShowsInTheCountdownAtOnce() {
    WindowRig rig;
    auto answer = answerOptions([&](QWidget* dialog) {
        text(dialog, "txtPooling")->setText("12");
        box(dialog, "chkTray")->setChecked(false);
        button(dialog, "butOK")->click();
    });
    rig.Action("mnuOptions")->trigger();
    QVERIFY(answer->Answered());
    QCOMPARE(rig.state.PollMinutes, 12);
    QCOMPARE(rig.state.SecondsLeft, 12 * 60);
    QCOMPARE(rig.window->TimeLeftBox().text(), QString("12:00"));
    QCOMPARE(rig.tray.InTray, QList<bool>{false});

    // The countdown goes on from the new interval, and a pass after it
    // starts the next one with the same interval.
    QVERIFY(QMetaObject::invokeMethod(&rig.window->PoolingEvent(), "timeout"));
    QCOMPARE(rig.window->TimeLeftBox().text(), QString("11:59"));
    rig.state.SecondsLeft = 1;
    QVERIFY(QMetaObject::invokeMethod(&rig.window->PoolingEvent(), "timeout"));
    QCOMPARE(rig.state.SecondsLeft, 12 * 60);
}

void TestOptionsDialog::cancelStoresNothingAndResumesTheCountdown() {
    WindowRig rig;
    rig.window->showMinimized();
    rig.state.SecondsLeft = 42;
    auto answer = answerOptions([&](QWidget* dialog) {
        text(dialog, "txtPooling")->setText("30");
        button(dialog, "butCancel")->click();
    });
    rig.Action("mnuOptions")->trigger();
    QVERIFY(answer->Answered());
    QVERIFY(!rig.window->isMinimized()); // brought back for the dialog
    QCOMPARE(rig.state.SecondsLeft, 42);
    QCOMPARE(rig.state.AppSettings.PoolingTime, 5);
    QCOMPARE(stored(rig.state, "PoolingTime"), QString("<absent>"));
    QVERIFY(rig.window->PoolingEvent().isActive());
    QVERIFY(rig.tray.InTray.isEmpty());
}

void TestOptionsDialog::desktopBoxesAreStoredOnOk_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("byDefault");
    QTest::newRow("desktop notification") << "chkNotify" << "DesktopNotify" << true;
    QTest::newRow("count on the tray icon") << "chkTrayCount" << "TrayCount" << true;
    QTest::newRow("start at log-in") << "chkAutostart" << "Autostart" << false;
    QTest::newRow("passwords in the keyring") << "chkKeyring" << "Keyring" << true;
}

// Each box opens with its key's default, is taken on OK and stored with the
// other options, opens with the stored value next time, and Cancel keeps it.
void TestOptionsDialog::desktopBoxesAreStoredOnOk() {
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(bool, byDefault);
    TemporaryConfigHome config; // where an autostart entry goes
    const QByteArray boxName = name.toLatin1();
    WindowRig rig;
    bool shown = false;
    auto flip = [&](const char* closeWith) {
        auto answer = answerOptions([&](QWidget* dialog) {
            shown = box(dialog, boxName)->isChecked();
            box(dialog, boxName)->click();
            button(dialog, closeWith)->click();
        });
        rig.Action("mnuOptions")->trigger();
        QVERIFY(answer->Answered());
    };
    const QString flipped = byDefault ? "False" : "True";
    flip("butOK");
    QCOMPARE(shown, byDefault);
    QCOMPARE(stored(rig.state, key.toLatin1()), flipped);
    flip("butCancel");
    QCOMPARE(shown, !byDefault);
    QCOMPARE(stored(rig.state, key.toLatin1()), flipped);
    const GeneralOptions& o = rig.state.AppSettings;
    const bool inMemory = key == "TrayCount"   ? o.TrayCount
                          : key == "Autostart" ? o.Autostart
                          : key == "Keyring"   ? o.Keyring
                                               : o.DesktopNotify;
    QCOMPARE(inMemory, !byDefault);
}

// OK moves the passwords out of the keyring when the box was unticked, and
// back in when it is ticked again.
void TestOptionsDialog::keyringBoxMovesPasswordsOnOk() {
    WindowRig rig;
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    rig.state.Vault = std::make_unique<FakePasswordVault>(keyring);
    MailAccount work;
    work.Title = "Work";
    work.Host = "pop.example.org";
    work.User = "ann";
    work.Password = "pw-work";
    rig.state.Accounts = {work};
    SaveAccounts(rig.state);
    auto password = [&] { return rig.state.Store.ReadSetting("Accounts", "Password1", ""); };
    QCOMPARE(password(), kKeyringMarker);
    auto setBox = [&](bool on) {
        auto answer = answerOptions([&](QWidget* dialog) {
            box(dialog, "chkKeyring")->setChecked(on);
            button(dialog, "butOK")->click();
        });
        rig.Action("mnuOptions")->trigger();
        QVERIFY(answer->Answered());
    };
    setBox(false);
    QCOMPARE(password(), EncodePassword("pw-work"));
    QVERIFY(keyring->isEmpty());
    setBox(true);
    QCOMPARE(password(), kKeyringMarker);
    QCOMPARE(keyring->value("ann@pop.example.org:110"), QString("pw-work"));
}

// Ticked, OK writes the entry for this program; OK again keeps it; unticked,
// OK removes it. With the box off all along, an entry of the user's own is
// left alone.
void TestOptionsDialog::autostartBoxWritesAndRemovesTheEntry() {
    TemporaryConfigHome config;
    const QString entry = config.folder.path() + "/autostart/larkwatch.desktop";
    QCOMPARE(AutostartEntryFile(), entry);
    WindowRig rig;
    auto options = [&](std::function<void(QWidget*)> change) {
        auto answer = answerOptions([&](QWidget* dialog) {
            change(dialog);
            button(dialog, "butOK")->click();
        });
        rig.Action("mnuOptions")->trigger();
        QVERIFY(answer->Answered());
    };
    auto entryText = [&] {
        QFile f(entry);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<none>");
    };

    options([](QWidget*) {});
    QCOMPARE(entryText(), QString("<none>"));
    options([](QWidget* dialog) { box(dialog, "chkAutostart")->setChecked(true); });
    QCOMPARE(entryText(), AutostartEntryText(QCoreApplication::applicationFilePath()));
    options([](QWidget*) {});
    QCOMPARE(entryText(), AutostartEntryText(QCoreApplication::applicationFilePath()));
    options([](QWidget* dialog) { box(dialog, "chkAutostart")->setChecked(false); });
    QCOMPARE(entryText(), QString("<none>"));
    QCOMPARE(stored(rig.state, "Autostart"), QString("False"));

    QVERIFY(QDir().mkpath(config.folder.path() + "/autostart"));
    QFile own(entry);
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("[Desktop Entry]\nType=Application\nName=Mine\nExec=larkwatch\n");
    own.close();
    options([](QWidget*) {});
    QCOMPARE(entryText(), QString("[Desktop Entry]\nType=Application\nName=Mine\nExec=larkwatch\n"));
}

QTEST_MAIN(TestOptionsDialog)
#include "test_options_dialog.moc"
