#include "notify/sort_array.h"
#include "notify/sound_effect_device.h"
#include "notify/sound_player.h"
#include "recording_sound_device.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QSet>
#include <QtEndian>
#include <QtTest>
#include <algorithm>

// PlayMessage, its Done, random play from a folder, the pass's sounds, and
// the sort that puts the files in order.
class TestSoundPlayer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void initTestCase();
    void sortArray_data();
    void sortArray();
    void sortArrayAgreesWithAnOrdinalSort();
    void randomIndex_data();
    void randomIndex();
    void listsWavFilesOfAnyCaseByName();
    void twoPlaysInARowPlayOneAfterTheOther();
    void waitGivesUpWhenDoneNeverComes();
    void randomPlayCoversEveryFileAndNoOther();
    void unlistableFolderBeepsAndReplaysThePreviousFile_data();
    void unlistableFolderBeepsAndReplaysThePreviousFile();
    void emptyFolderNamesTheFolderAlone();
    void passSoundsPlayEachDistinctFileOnceInOrder_data();
    void passSoundsPlayEachDistinctFileOnceInOrder();
    void effectDeviceEndsEveryPlay();
};

void TestSoundPlayer::init() {
    FailOnUnexpectedWarnings();
}

struct PlayerRig {
    PlayerRig() { player.SetIdleTimeout(60000); }
    TempState t;
    AppState& state = *t.State;
    RecordingSoundDevice device;
    SoundPlayer player{state, device};

    // A folder of the temporary state with the given empty files.
    QString Folder(const QString& name, const QStringList& files) const {
        const QString folder = t.Dir.filePath(name);
        QDir().mkpath(folder);
        for (const QString& file : files) {
            if (file.endsWith('/')) {
                QDir().mkpath(folder + '/' + file);
                continue;
            }
            QFile f(folder + '/' + file);
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(f.fileName()));
        }
        return folder;
    }
};

void TestSoundPlayer::initTestCase() {
    // The audio service reports once whether it could connect (not at all on
    // a machine without sound): let it do so here, outside the tests.
    QMediaDevices::audioOutputs();
}

void TestSoundPlayer::sortArray_data() {
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("b a b A: capitals first, equal texts together")
        << QStringList{"b", "a", "b", "A"} << 0 << 3 << QStringList{"A", "a", "b", "b"};
    QTest::newRow("one-element range changes nothing")
        << QStringList{"b", "a"} << 1 << 1 << QStringList{"b", "a"};
    QTest::newRow("low above high changes nothing")
        << QStringList{"b", "a"} << 1 << 0 << QStringList{"b", "a"};
    QTest::newRow("empty list, empty range") << QStringList{} << 0 << -1 << QStringList{};
    QTest::newRow("only the range is sorted")
        << QStringList{"z", "d", "c", "b", "a"} << 1 << 3 << QStringList{"z", "b", "c", "d", "a"};
    QTest::newRow("already in order") << QStringList{"/s/a.wav", "/s/b.wav", "/s/c.wav"} << 0 << 2
                                      << QStringList{"/s/a.wav", "/s/b.wav", "/s/c.wav"};
    QTest::newRow("all equal") << QStringList{"x", "x", "x", "x", "x"} << 0 << 4
                               << QStringList{"x", "x", "x", "x", "x"};
    QTest::newRow("ordinal, not by locale")
        << QStringList{"é", "z", "Z", "e"} << 0 << 3 << QStringList{"Z", "e", "z", "é"};
}

void TestSoundPlayer::sortArray() {
    QFETCH(QStringList, input);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QStringList, sorted);
    SortArray(low, high, input);
    QCOMPARE(input, sorted);
}

void TestSoundPlayer::sortArrayAgreesWithAnOrdinalSort() {
    // Many small lists with many repeats: every index path of the partition.
    QRandomGenerator random(2024);
    for (int round = 0; round < 2000; ++round) {
        QStringList texts;
        const int size = random.bounded(12);
        for (int n = 0; n < size; ++n)
            texts << QString(QChar(u'a' + random.bounded(4)));
        QStringList expected = texts;
        std::sort(expected.begin(), expected.end());
        SortArray(0, qint32(texts.size()) - 1, texts);
        QCOMPARE(texts, expected);
    }
}

void TestSoundPlayer::randomIndex_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("r");
    QTest::addColumn<int>("index");
    QTest::newRow("one file, any number") << 1 << 0.999 << 0;
    QTest::newRow("zero picks the first") << 3 << 0.0 << 0;
    QTest::newRow("just above a third") << 3 << 0.34 << 1;
    QTest::newRow("largest number below one picks the last") << 3 << std::nextafter(1.0, 0.0) << 2;
    QTest::newRow("many files, largest number") << 1000003 << std::nextafter(1.0, 0.0) << 1000002;
}

void TestSoundPlayer::randomIndex() {
    QFETCH(int, n);
    QFETCH(double, r);
    QFETCH(int, index);
    QCOMPARE(RandomIndex(n, r), qsizetype(index));
}

void TestSoundPlayer::listsWavFilesOfAnyCaseByName() {
    PlayerRig rig;
    const QString folder =
        rig.Folder("sounds", {"b.WAV", "a.wav", "C.Wav", "readme.txt", "wav", "d.wav/"});
    QCOMPARE(ListWavFiles(folder), QStringList({"C.Wav", "a.wav", "b.WAV"}));
    QCOMPARE(ListWavFiles(folder + "/missing"), std::nullopt);
    QCOMPARE(ListWavFiles(QString()), std::nullopt);
    QCOMPARE(ListWavFiles(folder + "/readme.txt"), std::nullopt);
}

void TestSoundPlayer::twoPlaysInARowPlayOneAfterTheOther() {
    PlayerRig rig;
    rig.device.AutoDone = false;
    rig.state.AppSettings.PlayWav = true;
    rig.state.AppSettings.WavFile = "/s/first.wav";
    rig.player.PlayMessage();
    QVERIFY(!rig.player.SoundIdle());
    QCOMPARE(rig.device.Log, QStringList({"Close", "Play /s/first.wav"}));

    // The second play waits for the first to end, with the event loop running.
    QTimer::singleShot(20, &rig.device, [&] {
        rig.device.Log << "(first sound ends)";
        rig.device.Finish();
    });
    rig.state.AppSettings.WavFile = "/s/second.wav";
    rig.player.PlayMessage();
    QCOMPARE(rig.device.Log, QStringList({"Close", "Play /s/first.wav", "(first sound ends)",
                                          "Done", "Close", "Play /s/second.wav"}));
    rig.device.Finish();
    QVERIFY(rig.player.SoundIdle());
}

void TestSoundPlayer::waitGivesUpWhenDoneNeverComes() {
    PlayerRig rig;
    rig.device.AutoDone = false;
    rig.player.SetIdleTimeout(50);
    rig.state.AppSettings.PlayWav = true;
    rig.state.AppSettings.WavFile = "/s/stuck.wav";
    rig.player.PlayMessage();
    rig.state.AppSettings.WavFile = "/s/next.wav";
    rig.player.PlayMessage();
    // The stuck sound is closed (which ends it) and the next one plays.
    QCOMPARE(rig.device.Log,
             QStringList({"Close", "Play /s/stuck.wav", "Close", "Done", "Play /s/next.wav"}));
    QVERIFY(!rig.player.SoundIdle());
}

void TestSoundPlayer::randomPlayCoversEveryFileAndNoOther() {
    PlayerRig rig;
    const QString folder = rig.Folder("sounds", {"one.wav", "two.WAV", "three.wav", "four.txt"});
    rig.state.AppSettings.PlayWav = false;
    rig.state.AppSettings.RandomPlayWAV = true;
    rig.state.AppSettings.WavFolder = folder;
    rig.state.Random.seed(7);
    for (int n = 0; n < 60; ++n)
        rig.player.PlayMessage();
    const QStringList played = rig.device.Played();
    QCOMPARE(played.size(), 60);
    const QSet<QString> distinct(played.begin(), played.end());
    QCOMPARE(distinct,
             QSet<QString>({folder + "/one.wav", folder + "/three.wav", folder + "/two.WAV"}));
    QVERIFY(!rig.device.Log.contains("Beep"));

    // A folder of one file always plays that file.
    rig.state.AppSettings.WavFolder = rig.Folder("single", {"only.wav"});
    rig.device.Log.clear();
    for (int n = 0; n < 5; ++n)
        rig.player.PlayMessage();
    QCOMPARE(rig.device.Played(), QStringList(5, rig.state.AppSettings.WavFolder + "/only.wav"));
}

void TestSoundPlayer::unlistableFolderBeepsAndReplaysThePreviousFile_data() {
    QTest::addColumn<QString>("folder"); // below the temporary folder; "" for none at all
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("no folder set") << "";
    QTest::newRow("a file, not a folder") << "sounds/one.wav";
}

void TestSoundPlayer::unlistableFolderBeepsAndReplaysThePreviousFile() {
    QFETCH(QString, folder);
    PlayerRig rig;
    const QString sounds = rig.Folder("sounds", {"one.wav"});
    rig.state.AppSettings.PlayWav = false;
    rig.state.AppSettings.WavFolder = folder.isEmpty() ? "" : rig.t.Dir.filePath(folder);

    // With nothing played before, the beep is all there is; the empty play
    // still ends.
    rig.player.PlayMessage();
    QCOMPARE(rig.device.Log, QStringList({"Close", "Beep", "Play "}));

    rig.state.AppSettings.WavFolder = sounds;
    rig.player.PlayMessage();
    rig.state.AppSettings.WavFolder = folder.isEmpty() ? "" : rig.t.Dir.filePath(folder);
    rig.player.PlayMessage();
    QCOMPARE(rig.device.Log,
             QStringList({"Close", "Beep", "Play ", "Done", "Close", "Play " + sounds + "/one.wav",
                          "Done", "Close", "Beep", "Play " + sounds + "/one.wav"}));
}

void TestSoundPlayer::emptyFolderNamesTheFolderAlone() {
    PlayerRig rig;
    rig.state.AppSettings.PlayWav = false;
    rig.state.AppSettings.WavFolder = rig.Folder("empty", {"notes.txt"});
    rig.player.PlayMessage();
    QCOMPARE(rig.device.Played(), QStringList({rig.state.AppSettings.WavFolder + "/"}));
    QVERIFY(!rig.device.Log.contains("Beep"));
}

void TestSoundPlayer::passSoundsPlayEachDistinctFileOnceInOrder_data() {
    QTest::addColumn<bool>("playWav");
    QTest::addColumn<QStringList>("actionFiles");
    QTest::addColumn<QStringList>("played");
    QTest::newRow("no action matched: the configured sound once")
        << true << QStringList{} << QStringList{"/s/configured.wav"};
    QTest::newRow("sorted, each file once")
        << true << QStringList{"/s/b.wav", "/s/a.wav", "/s/b.wav", "/s/B.wav"}
        << QStringList{"/s/B.wav", "/s/a.wav", "/s/b.wav"};
    QTest::newRow("random play, no action matched: one file of the folder")
        << false << QStringList{} << QStringList{}; // filled in below
    QTest::newRow("an action's own file also under random play")
        << false << QStringList{"/s/b.wav", "/s/a.wav"} << QStringList{"/s/a.wav", "/s/b.wav"};
}

void TestSoundPlayer::passSoundsPlayEachDistinctFileOnceInOrder() {
    QFETCH(bool, playWav);
    QFETCH(QStringList, actionFiles);
    QFETCH(QStringList, played);
    PlayerRig rig;
    GeneralOptions& options = rig.state.AppSettings;
    options.PlayWav = playWav;
    options.RandomPlayWAV = !playWav;
    options.WavFile = "/s/configured.wav";
    options.WavFolder = rig.Folder("sounds", {"random.wav"});
    if (!playWav && actionFiles.isEmpty())
        played = {options.WavFolder + "/random.wav"};
    // Between the plays the program takes input (a dialog may open): the
    // options it finds then are the user's own.
    QStringList optionsSeen;
    connect(&rig.device, &SoundDevice::Done, this,
            [&] { optionsSeen << options.WavFile + (options.PlayWav ? " single" : " random"); });
    rig.player.PlaySounds(actionFiles);
    const QString userOptions = QString("/s/configured.wav") + (playWav ? " single" : " random");
    QCOMPARE(optionsSeen, QStringList(played.size() - 1, userOptions));
    QCOMPARE(rig.device.Played(), played);
    // Each play began after the one before it had ended.
    QCOMPARE(rig.device.Log.count("Done"), played.size() - 1);
    QCOMPARE(options.WavFile, QString("/s/configured.wav"));
    QCOMPARE(options.PlayWav, playWav);
}

// A short PCM WAV file of silence.
static void writeSilentWav(const QString& path) {
    const quint32 rate = 8000;
    const QByteArray samples(800, '\0'); // 50 ms of 16-bit mono
    QByteArray wav;
    auto u32 = [&wav](quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        wav.append(bytes, 4);
    };
    auto u16 = [&wav](quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        wav.append(bytes, 2);
    };
    wav.append("RIFF");
    u32(36 + quint32(samples.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(quint32(samples.size()));
    wav.append(samples);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(wav), qint64(wav.size()));
}

void TestSoundPlayer::effectDeviceEndsEveryPlay() {
    // Without an audio device the play fails at once; with one, the sound
    // plays to its end. Either way each play ends exactly once.
    QTemporaryDir dir;
    const QString wav = dir.filePath("silence.wav");
    writeSilentWav(wav);
    SoundEffectDevice device;
    QSignalSpy done(&device, &SoundDevice::Done);
    device.Play(dir.filePath("missing.wav"));
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 30000);
    device.Play(wav);
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 30000);
    device.Play(QString());
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 3, 30000);
    device.Play(dir.path()); // a folder
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 4, 30000);
    // Closing a finished play, or twice, adds nothing.
    device.Close();
    device.Close();
    QCoreApplication::processEvents();
    QCOMPARE(done.count(), 4);

    // A play closed before its end ends there, and only there.
    device.Play(wav);
    device.Close();
    QCOMPARE(done.count(), 5);
    QCoreApplication::processEvents();
    QCOMPARE(done.count(), 5);
}

QTEST_MAIN(TestSoundPlayer)
#include "test_sound_player.moc"
