#include "engine/pop/pop_header_cache.h"
#include "engine/pop/pop_header_file.h"
#include "support/fail_on_warning.h"

#include <QTest>

namespace {

QList<HeaderField> Fields(int n) {
    return {{QStringLiteral("Subject"), QStringLiteral("Caf\u00e9 note %1").arg(n)},
            {QStringLiteral("From"), QStringLiteral("Sender %1 <s%1@example.org>").arg(n)}};
}

QString AnnKey(const QByteArray& uid) {
    return PopHeaderCache::Key(QStringLiteral("Mail.Example.org"), 110, QStringLiteral("ann"), uid);
}

// Every entry as "key|size|name=value|...", oldest first.
QStringList Dump(const PopHeaderCache& cache) {
    QStringList lines;
    cache.ForEach([&lines](const QString& key, const PopHeaderCache::Entry& entry) {
        QString line = QString(key).replace(QChar(u'\n'), QChar(u'/')) + QLatin1Char('|') +
                       QString::number(entry.Size);
        for (const HeaderField& field : entry.Fields)
            line += QLatin1Char('|') + field.Name + QLatin1Char('=') + field.Value;
        lines.append(line);
    });
    return lines;
}

PopHeaderCache ThreeEntries() {
    PopHeaderCache cache;
    for (int n = 1; n <= 3; ++n)
        cache.Insert(AnnKey("uid-" + QByteArray::number(n)), Fields(n), 1000 + n);
    return cache;
}

} // namespace

class TestPopHeaderFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void roundTrip();
    void damagedFilesFillNothing_data();
    void damagedFilesFillNothing();
    void boundedByBytes();
    void keepOnlyTouchesOneAccount();
    void sizeMustAgree();
};

void TestPopHeaderFile::roundTrip() {
    const PopHeaderCache cache = ThreeEntries();
    PopHeaderCache loaded;
    QString error;
    QVERIFY(DecodeHeaderMemory(EncodeHeaderMemory(cache), &loaded, &error));
    QCOMPARE(error, QString());
    const QStringList expected{
        QStringLiteral("mail.example.org/110/ann/uid-1|1001|Subject=Caf\u00e9 note 1|"
                       "From=Sender 1 <s1@example.org>"),
        QStringLiteral("mail.example.org/110/ann/uid-2|1002|Subject=Caf\u00e9 note 2|"
                       "From=Sender 2 <s2@example.org>"),
        QStringLiteral("mail.example.org/110/ann/uid-3|1003|Subject=Caf\u00e9 note 3|"
                       "From=Sender 3 <s3@example.org>"),
    };
    QCOMPARE(Dump(loaded), expected);
    QCOMPARE(loaded.Bytes(), cache.Bytes());

    // An empty memory is a valid file too.
    QVERIFY(DecodeHeaderMemory(EncodeHeaderMemory(PopHeaderCache()), &loaded, &error));
    QCOMPARE(loaded.Size(), 0);
}

void TestPopHeaderFile::damagedFilesFillNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const QByteArray good = EncodeHeaderMemory(ThreeEntries());
    const QString notOurs = QStringLiteral("not a header memory file");
    const QString checksum = QStringLiteral("checksum does not match");

    QTest::newRow("empty") << QByteArray() << notOurs;
    QTest::newRow("other file") << QByteArray("    3    5hello").leftJustified(200, ' ') << notOurs;
    QTest::newRow("cut in the prefix") << good.left(15) << notOurs;
    QTest::newRow("cut short") << good.chopped(1)
                               << QStringLiteral("%1 bytes of entries announced, %2 found")
                                      .arg(good.size() - 52)
                                      .arg(good.size() - 53);
    QTest::newRow("bytes after the end")
        << good + "x"
        << QStringLiteral("%1 bytes of entries announced, %2 found")
               .arg(good.size() - 52)
               .arg(good.size() - 51);
    QByteArray version = good;
    version[11] = 2;
    QTest::newRow("newer version") << version << QStringLiteral("version 2 is not known");
    QByteArray entry = good;
    entry[good.size() / 2] = char(entry.at(good.size() / 2) ^ 0x20);
    QTest::newRow("a byte of an entry changed") << entry << checksum;
    QByteArray sum = good;
    sum[good.size() - 1] = char(sum.at(good.size() - 1) ^ 1);
    QTest::newRow("a byte of the checksum changed") << sum << checksum;
    QByteArray zeros = good;
    zeros.replace(20, good.size() - 52, QByteArray(good.size() - 52, '\0'));
    QTest::newRow("entries zeroed") << zeros << checksum;
}

void TestPopHeaderFile::damagedFilesFillNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    PopHeaderCache cache = ThreeEntries();
    QString reason;
    QVERIFY(!DecodeHeaderMemory(bytes, &cache, &reason));
    QCOMPARE(reason, error);
    QCOMPARE(cache.Size(), 0);
}

void TestPopHeaderFile::boundedByBytes() {
    const qint64 one = PopHeaderCache::EntryBytes(AnnKey("uid-1"), {Fields(1), 1001});
    PopHeaderCache cache(3 * one + one / 2);
    for (int n = 1; n <= 5; ++n)
        cache.Insert(AnnKey("uid-" + QByteArray::number(n)), Fields(n), 1000 + n);
    // The oldest went first; the total stays under the bound.
    QCOMPARE(cache.Size(), 3);
    QVERIFY(cache.Bytes() <= cache.MaxBytes());
    QVERIFY(!cache.Find(AnnKey("uid-2")));
    QVERIFY(cache.Find(AnnKey("uid-3")));
    // Read again, an entry counts as new.
    cache.Insert(AnnKey("uid-3"), Fields(3), 1003);
    cache.Insert(AnnKey("uid-6"), Fields(6), 1006);
    QVERIFY(cache.Find(AnnKey("uid-3")));
    QVERIFY(!cache.Find(AnnKey("uid-4")));
    // One entry larger than the whole bound is not kept, and pushes none out.
    QList<HeaderField> huge{{QStringLiteral("Subject"), QString(int(cache.MaxBytes()), u'x')}};
    cache.Insert(AnnKey("uid-7"), huge);
    QVERIFY(!cache.Find(AnnKey("uid-7")));
    QCOMPARE(cache.Size(), 3);
}

void TestPopHeaderFile::keepOnlyTouchesOneAccount() {
    PopHeaderCache cache = ThreeEntries();
    const QString bobKey = PopHeaderCache::Key(QStringLiteral("mail.example.org"), 110,
                                               QStringLiteral("bob"), "uid-1");
    cache.Insert(bobKey, Fields(9));
    const quint64 revision = cache.Revision();
    const QString prefix = PopHeaderCache::AccountPrefix(QStringLiteral("MAIL.example.org"), 110,
                                                         QStringLiteral("ann"));
    QVERIFY(cache.KeepOnly(prefix, {AnnKey("uid-2"), AnnKey("uid-9")}));
    QCOMPARE(cache.Size(), 2);
    QVERIFY(cache.Find(AnnKey("uid-2")));
    QVERIFY(cache.Find(bobKey));
    QVERIFY(cache.Revision() != revision);
    QVERIFY(!cache.KeepOnly(prefix, {AnnKey("uid-2")}));
    QCOMPARE(cache.Bytes(), PopHeaderCache::EntryBytes(AnnKey("uid-2"), {Fields(2), 1002}) +
                                PopHeaderCache::EntryBytes(bobKey, {Fields(9), -1}));
}

void TestPopHeaderFile::sizeMustAgree() {
    const PopHeaderCache cache = ThreeEntries();
    QVERIFY(cache.Find(AnnKey("uid-1"), 1001));
    QVERIFY(cache.Find(AnnKey("uid-1"), -1));
    QVERIFY(!cache.Find(AnnKey("uid-1"), 1002)); // the id now names another message
}

QTEST_GUILESS_MAIN(TestPopHeaderFile)
#include "test_pop_header_file.moc"
