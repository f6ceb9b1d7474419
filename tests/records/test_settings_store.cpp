#include "records/general_options_store.h"
#include "records/value_forms.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>
#include <sys/stat.h>

#include <limits>
#include <csignal>

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
    void pollingMinutesAsRead_data();
    void pollingMinutesAsRead();
    void optionsRoundTripAndCountdownRestart();
    void awkwardTextRoundTripsThroughFile();
    void fileIsPrivate();
    void fileNotReadableInFullIsKeptAsItWas_data();
    void fileNotReadableInFullIsKeptAsItWas();
    void failedWritesAreReportedOnceAndLoseNothing_data();
    void failedWritesAreReportedOnceAndLoseNothing();
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
    // The largest float is written rounded up, a little above itself, and
    // must read back; what no float can hold is refused.
    const float largest = std::numeric_limits<float>::max();
    QCOMPARE(ValueForms::ParseReal(ValueForms::FormatReal(largest)), largest);
    QCOMPARE(ValueForms::ParseReal(ValueForms::FormatReal(-largest)), -largest);
    QVERIFY(!ValueForms::ParseReal("3.4028236e+38"));
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

// A hand-edited interval below one minute would log on to every account
// every second: it reads as the default, as text that is no number does.
void TestSettingsStore::pollingMinutesAsRead_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("minutes");
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("rounded to one") << "0.5001" << 1;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("zero") << "0" << 5;
    QTest::newRow("rounded to zero") << "0.4" << 5;
    QTest::newRow("negative") << "-3" << 5;
    QTest::newRow("lowest") << "-2147483648" << 5;
    QTest::newRow("not a number") << "often" << 5;
}

void TestSettingsStore::pollingMinutesAsRead() {
    QFETCH(QString, stored);
    TempState t;
    t.State->Store.WriteSetting("Config", "PoolingTime", stored);
    LoadGeneralOptions(*t.State);
    QTEST(int(t.State->AppSettings.PoolingTime), "minutes");
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
    o.TrayCount = false;
    o.Keyring = false;
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
          "WavFile", "WavFolder", "RunInTray", "AutoMarkRead", "AutoExit", "TrayCount", "Keyring"})
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
    QCOMPARE(r.TrayCount, false);
    QCOMPARE(r.Keyring, false);
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

static void writeRaw(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

static QByteArray readRaw(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// What Larkwatch could not read of a settings file it keeps, byte for byte,
// before it first writes the file; what it could read it keeps using.
void TestSettingsStore::fileNotReadableInFullIsKeptAsItWas_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("setAside");
    QTest::addColumn<QString>("autoMin"); // Config/AutoMin as read, "" when unreadable

    QByteArray random;
    QRandomGenerator generator(20240318);
    for (int i = 0; i < 8192; ++i)
        random.append(char(generator.bounded(256)));
    const QByteArray good = "[Config]\nAutoMin=True\n";
    QTest::newRow("random bytes") << random << true << "";
    QTest::newRow("a line that is no setting")
        << good + "this is not a setting\n[Accounts]\nTotal=0\n"
        << true << "True";
    QTest::newRow("a comment") << "; written by hand\n" + good << true << "True";
    QTest::newRow("text that is not UTF-8") << good + "DialogMessage=Gr\xfc\xdf Gott\n"
                                            << true << "True";
    QTest::newRow("a section header without its end") << good + "[Accounts\nTotal=1\n"
                                                      << true << "True";
    QTest::newRow("a NUL byte") << good + QByteArray("WavFile=a\0b\n", 12) << true << "True";
    // Readable, only absurd: kept in the file as they are, for the readers to refuse.
    QTest::newRow("absurd values")
        << "[Accounts]\nTotal=100000000000\nPort1=-1\nTitle1=" + QByteArray(1 << 20, 'x') +
               "\n[Config]\nAutoMin=True\nPoolingTime=-99999999999\n"
        << false << "True";
}

void TestSettingsStore::fileNotReadableInFullIsKeptAsItWas() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, setAside);
    TempState t;
    const QString path = t.State->Paths.SettingsFile;
    writeRaw(path, bytes);
    auto state = t.Reopen();
    SettingsStore& s = state->Store;
    QTEST(s.ReadSetting("Config", "AutoMin", QString()), "autoMin");

    if (setAside)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be read in full"));
    QTest::failOnWarning(QRegularExpression("."));
    s.WriteSetting("Config", "State", "0");
    s.WriteSetting("Config", "Top", "15"); // one warning, one copy

    QCOMPARE(readRaw(s.SetAsidePath()), setAside ? bytes : QByteArray("(no file)"));
    if (setAside) {
        QCOMPARE(QFile::permissions(s.SetAsidePath()) & 0x0077, QFileDevice::Permissions());
    } else {
        // Nothing the program did not change was rewritten in another form.
        for (const QByteArray& line : bytes.split('\n'))
            QVERIFY2(readRaw(path).contains(line + '\n'), line.left(60).constData());
    }
    auto reopened = t.Reopen();
    QCOMPARE(reopened->Store.ReadSetting("Config", "State", "(absent)"), QString("0"));
    QTEST(reopened->Store.ReadSetting("Config", "AutoMin", QString()), "autoMin");
}

// A disk that takes no more, or a folder that cannot be written: reported
// once, and what the file held stays; what was set is written by the next
// write that succeeds.
void TestSettingsStore::failedWritesAreReportedOnceAndLoseNothing_data() {
    QTest::addColumn<bool>("fullDisk"); // else the folder's place is taken by a file
    // The old file cannot be kept under a second name (as on a file system
    // without hard links): a folder stands where the link would go.
    QTest::addColumn<bool>("noHardLink");
    // The disk takes not one byte more, else the new file is cut short.
    QTest::addColumn<bool>("nothingFits");
    QTest::newRow("disk full") << true << false << false;
    QTest::newRow("disk full, no hard link") << true << true << false;
    QTest::newRow("disk full to the last byte, no hard link") << true << true << true;
    QTest::newRow("folder cannot be made") << false << false << false;
}

void TestSettingsStore::failedWritesAreReportedOnceAndLoseNothing() {
    QFETCH(bool, fullDisk);
    QFETCH(bool, noHardLink);
    QFETCH(bool, nothingFits);
    QTemporaryDir dir;
    const QString folder = dir.filePath("config");
    const QString path = folder + "/Larkwatch.ini";
    if (noHardLink)
        QVERIFY(QDir().mkpath(path + ".previous"));
    auto store = std::make_unique<SettingsStore>(path);
    if (fullDisk) {
        // Room enough for the settings writer's lock file, none for the file
        // grown by 400 bytes: the writer itself would leave it cut short.
        store->WriteSetting("Config", "AutoMin", "True");
        store->WriteSetting("Config", "Padding", QString(1000, 'p'));
    } else {
        writeRaw(folder, "a file where the folder should be");
    }
    const QByteArray before = readRaw(path);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("writing the settings file .* failed"));
    QTest::failOnWarning(QRegularExpression("."));
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    // No room for a value of 400 bytes more.
    small.rlim_cur = nothingFits ? 0 : rlim_t(before.size() + 64);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (fullDisk)
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int n = 0; n < 3; ++n)
        store->WriteSetting("Config", QString("Big%1").arg(n), QString(400, QChar('a' + n)));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    QCOMPARE(readRaw(path), before);
    QCOMPARE(QDir(fullDisk ? folder : dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{fullDisk ? "Larkwatch.ini" : "config"}); // no half-written file

    if (!fullDisk)
        return;
    // Room again: everything set meanwhile is written.
    store->WriteSetting("Config", "AutoExit", "True");
    store.reset();
    SettingsStore reopened(path);
    QCOMPARE(reopened.ReadSetting("Config", "AutoMin", ""), QString("True"));
    QCOMPARE(reopened.ReadSetting("Config", "Padding", ""), QString(1000, 'p'));
    QCOMPARE(reopened.ReadSetting("Config", "Big2", ""), QString(400, 'c'));
    QCOMPARE(reopened.ReadSetting("Config", "AutoExit", ""), QString("True"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
