#include "records/general_options_store.h"
#include "records/value_forms.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QFile>
#include <QSettings>
#include <QtTest>
#include <sys/stat.h>

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void booleanForms_data();
    void booleanForms();
    void wholeNumberForms_data();
    void wholeNumberForms();
    void wholeNumbersAtTheEdgesOfTheWidestRange_data();
    void wholeNumbersAtTheEdgesOfTheWidestRange();
    void realForms();
    void neverWrittenStoreGivesDefaults();
    void optionsRoundTripAndCountdownRestart();
    void awkwardTextRoundTripsThroughFile();
    void fileIsPrivate();
};

void TestSettingsStore::booleanForms_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("True") << "True" << false << true;
    QTest::newRow("lower-case false") << "false" << true << false;
    QTest::newRow("upper-case TRUE") << "TRUE" << false << true;
    QTest::newRow("one") << "1" << false << true;
    QTest::newRow("minus one") << "-1" << false << true;
    QTest::newRow("zero") << "0" << true << false;
    QTest::newRow("real number") << "0.5" << false << true;
    QTest::newRow("garbage keeps default true") << "yes please" << true << true;
    QTest::newRow("garbage keeps default false") << "maybe" << false << false;
    QTest::newRow("empty keeps default") << "" << true << true;
}

void TestSettingsStore::booleanForms() {
    QFETCH(QString, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    TempState t;
    t.State->Store.WriteSetting("Config", "AutoExpand", stored);
    QCOMPARE(t.State->Store.ReadBoolean("Config", "AutoExpand", defaultValue), expected);
}

void TestSettingsStore::wholeNumberForms_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("plain") << "15" << qint64(15);
    QTest::newRow("negative") << "-3" << qint64(-3);
    QTest::newRow("rounded half to even") << "2.5" << qint64(2);
    QTest::newRow("rounded up") << "7.6" << qint64(8);
    QTest::newRow("blanks around") << " 9 " << qint64(9);
    QTest::newRow("too wide for 16 bits") << "40000" << qint64(77);
    QTest::newRow("not a number") << "ten" << qint64(77);
    QTest::newRow("empty") << "" << qint64(77);
}

void TestSettingsStore::wholeNumberForms() {
    QFETCH(QString, stored);
    QFETCH(qint64, expected);
    TempState t;
    t.State->Store.WriteSetting("Config", "N", stored);
    QCOMPARE(t.State->Store.ReadWhole("Config", "N", 77, -32768, 32767), expected);
}

void TestSettingsStore::wholeNumbersAtTheEdgesOfTheWidestRange_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<std::optional<qint64>>("expected");
    const qint64 lowest = std::numeric_limits<qint64>::min();
    const qint64 highest = std::numeric_limits<qint64>::max();
    QTest::newRow("highest") << "9223372036854775807" << std::optional(highest);
    QTest::newRow("lowest") << " -9223372036854775808 " << std::optional(lowest);
    QTest::newRow("one above the highest") << "9223372036854775808" << std::optional<qint64>();
    QTest::newRow("2^63 as a real") << "9.223372036854775808e18" << std::optional<qint64>();
    QTest::newRow("far beyond") << "-1e300" << std::optional<qint64>();
    QTest::newRow("exact beyond 53 bits")
        << "9007199254740993" << std::optional<qint64>(9007199254740993);
}

// The whole range of the type: no text reads as a number that does not fit.
void TestSettingsStore::wholeNumbersAtTheEdgesOfTheWidestRange() {
    QFETCH(QString, stored);
    QFETCH(std::optional<qint64>, expected);
    QCOMPARE(ValueForms::ParseWhole(stored, std::numeric_limits<qint64>::min(),
                                    std::numeric_limits<qint64>::max()),
             expected);
}

void TestSettingsStore::realForms() {
    TempState t;
    SettingsStore& s = t.State->Store;
    s.WriteSetting("Config", "Top", ValueForms::FormatReal(1234.5f));
    s.WriteSetting("Config", "Left", "");
    s.WriteSetting("Config", "Width", "wide");
    QCOMPARE(s.ReadReal("Config", "Top").value_or(-1), 1234.5f);
    QVERIFY(!s.ReadReal("Config", "Left"));
    QVERIFY(!s.ReadReal("Config", "Width"));
    QVERIFY(!s.ReadReal("Config", "Height"));
}

void TestSettingsStore::neverWrittenStoreGivesDefaults() {
    TempState t;
    AppState& s = *t.State;
    s.AppSettings = GeneralOptions{};
    s.AppSettings.PoolingTime = 99; // must be replaced by the default
    LoadGeneralOptions(s);
    const GeneralOptions& o = s.AppSettings;
    QCOMPARE(o.PoolingTime, 5);
    QVERIFY(o.AutoExpand);
    QVERIFY(o.AutoDialog);
    QCOMPARE(o.DialogMessage, QString("You have # new message[s]"));
    QVERIFY(!o.PlayWav && !o.RandomPlayWAV);
    QVERIFY(o.WavFile.isEmpty() && o.WavFolder.isEmpty());
    QVERIFY(o.RunInTray);
    QVERIFY(!o.AutoMarkRead && !o.AutoExit && !o.AutoMin);
    QCOMPARE(o.LogFilesPath, s.Paths.DataFolder + "Logs/");
    QVERIFY(o.LogFilesPath.endsWith("/Larkwatch/Logs/"));
    QVERIFY(o.LogDisabled);
    QVERIFY(o.LogAllInOne);
    QVERIFY(!QFile::exists(s.Paths.SettingsFile)); // reading never creates the file
}

void TestSettingsStore::optionsRoundTripAndCountdownRestart() {
    TempState t;
    AppState& s = *t.State;
    GeneralOptions& o = s.AppSettings;
    o.PoolingTime = 12;
    o.AutoExpand = false;
    o.DialogMessage = "Post: # Brief[e], a=b; c";
    o.PlayWav = true;
    o.WavFile = "/home/u/sounds/ding.wav";
    o.RunInTray = false;
    o.AutoExit = true;
    o.AutoMin = true; // not written by SaveGeneralOptions
    int restarted = 0;
    s.CountdownRestarted = [&] { ++restarted; };
    s.SecondsLeft = 3;
    SaveGeneralOptions(s);
    QCOMPARE(restarted, 1);
    QCOMPARE(s.PollMinutes, 12);
    QCOMPARE(s.SecondsLeft, 720);

    QSettings raw(s.Paths.SettingsFile, QSettings::IniFormat);
    for (const char* key :
         {"PoolingTime", "AutoExpand", "AutoDialog", "DialogMessage", "PlayWav", "RandomPlayWAV",
          "WavFile", "WavFolder", "RunInTray", "AutoMarkRead", "AutoExit"})
        QVERIFY2(raw.contains(QString("Config/") + key), key);
    QVERIFY(!raw.contains("Config/AutoMin"));
    QCOMPARE(raw.value("Config/AutoExpand").toString(), QString("False"));
    QCOMPARE(raw.value("Config/PoolingTime").toString(), QString("12"));

    auto reopened = t.Reopen();
    LoadGeneralOptions(*reopened);
    GeneralOptions expected = o;
    expected.AutoMin = false;
    const GeneralOptions& r = reopened->AppSettings;
    QCOMPARE(r.PoolingTime, expected.PoolingTime);
    QCOMPARE(r.AutoExpand, expected.AutoExpand);
    QCOMPARE(r.DialogMessage, expected.DialogMessage);
    QCOMPARE(r.PlayWav, expected.PlayWav);
    QCOMPARE(r.WavFile, expected.WavFile);
    QCOMPARE(r.RunInTray, expected.RunInTray);
    QCOMPARE(r.AutoExit, expected.AutoExit);
    QCOMPARE(r.AutoMin, false);

    // An interval whose seconds do not fit 32 bits is held at the largest countdown.
    s.AppSettings.PoolingTime = 40000000;
    SaveGeneralOptions(s);
    QCOMPARE(s.SecondsLeft, std::numeric_limits<qint32>::max());
}

void TestSettingsStore::awkwardTextRoundTripsThroughFile() {
    const QStringList values = {
        "a,b",   "a, b, c",    "@at start",  "semi;colon",   "x=y", "back\\slash", "[section]",
        "#hash", "\"quoted\"", "  blanks  ", "Grüße 東京 📅", "",    "True"};
    TempState t;
    for (int i = 0; i < values.size(); ++i)
        t.State->Store.WriteSetting("Config", QString("V%1").arg(i), values[i]);
    auto reopened = t.Reopen();
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(reopened->Store.ReadSetting("Config", QString("V%1").arg(i), "absent"), values[i]);
}

void TestSettingsStore::fileIsPrivate() {
    TempState t;
    t.State->Store.WriteSetting("Config", "AutoMin", "True");
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(t.State->Paths.SettingsFile).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    // Still private after QSettings rewrote the file for a second save.
    t.State->Store.WriteSetting("Config", "AutoMin", "False");
    QCOMPARE(::stat(QFile::encodeName(t.State->Paths.SettingsFile).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
