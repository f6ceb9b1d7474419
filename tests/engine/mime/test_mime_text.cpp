#include "engine/mime/mime_header_fields.h"
#include "support/header_fields.h"
#include "engine/mime/mime_html_text.h"
#include "engine/mime/mime_message.h"
#include "engine/mime/mime_words.h"
#include "support/fail_on_warning.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray ReadSample(const QString& name) {
    QFile file(QStringLiteral(LARKWATCH_TESTDATA_MAIL "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", qPrintable(name));
    return file.readAll();
}

} // namespace

class TestMimeText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void decodesHeaderValues_data();
    void decodesHeaderValues();
    void handMadeSamples_data();
    void handMadeSamples();
    void everySample_data();
    void everySample();
    void bodies_data();
    void bodies();
    void htmlToText();
    void headerBlockAndOddLines();
};

void TestMimeText::decodesHeaderValues_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("adjacent B words with padding decode one by one")
        << QByteArray("=?UTF-8?B?Sm9zw6k=?= =?UTF-8?B?IE11w7Fveg==?=") << "José Muñoz";
    QTest::newRow("unknown charset stays raw")
        << QByteArray("=?x-unknown?Q?J=FCrg_Wei=DF?= <j@example.ch>")
        << "=?x-unknown?Q?J=FCrg_Wei=DF?= <j@example.ch>";
    QTest::newRow("bytes invalid in their charset stay raw")
        << QByteArray("a =?UTF-8?Q?=FF=FE?= b") << "a =?UTF-8?Q?=FF=FE?= b";
    QTest::newRow("white space between word and text stays")
        << QByteArray("Re: =?ISO-8859-1?Q?Caf=E9?= au lait") << "Re: Café au lait";
    QTest::newRow("Q underscore and =5F") << QByteArray("=?iso-8859-1?q?a_b=5Fc?=") << "a b_c";
    QTest::newRow("not an encoded word")
        << QByteArray("cost =? 5 ?= maybe") << "cost =? 5 ?= maybe";
    QTest::newRow("raw UTF-8") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                             "e")
                               << "Grüße";
    QTest::newRow("raw Latin-1") << QByteArray("Caf\xE9") << "Café";
}

void TestMimeText::decodesHeaderValues() {
    QFETCH(QByteArray, raw);
    QTEST(MimeDecodeHeaderValue(raw), "expected");
}

void TestMimeText::handMadeSamples_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("subjects"); // any one of them is right
    QTest::addColumn<QString>("fromName");
    QTest::addColumn<QString>("fromAddress");

    auto row = [](const char* file, QStringList subjects, const QString& name,
                  const char* address) {
        QTest::newRow(file) << QString::fromLatin1(file) + ".eml" << subjects << name
                            << QString::fromLatin1(address);
    };
    row("hand-subject-utf8-base64", {"Grüße aus München – Ihr Termin am 5. März 📅"}, "Zoë Ålander",
        "zoe.alander@example.se");
    row("hand-subject-utf8-quoted-printable", {"Café crème – Menü für Freitag"}, "Renée Dupont",
        "renee.dupont@example.fr");
    row("hand-subject-latin1-q-underscores", {"Café und Käsekuchen am Samstag (Raum B_2)"},
        "Jörg Müller", "joerg.mueller@example.de");
    row("hand-windows-1252-smart-quotes-euro", {"“Quarterly report” – €500 budget approved"},
        "Zoë O’Brien", "zoe.obrien@example.ie");
    row("hand-koi8-r-subject-from-body", {"Отчёт за первый квартал"}, "Иван Петров",
        "ivan.petrov@example.ru");
    row("hand-shift-jis-subject-body", {"ソフトウェア開発会議の議事録（４月）"}, "山田太郎",
        "taro.yamada@example.jp");
    row("hand-gb2312-subject-from-body", {"关于下周项目会议的通知"}, "张伟",
        "zhang.wei@example.cn");
    row("hand-adjacent-encoded-words-whitespace", {"Ihre Auftragsbestätigung für März Nr. 4711"},
        "José Muñoz", "jose.munoz@example.es");
    row("hand-from-encoded-word-in-quoted-name", {"Re: Déjeuner jeudi"}, "François Lefèvre",
        "francois.lefevre@example.fr");
    row("hand-malformed-encoded-words-raw",
        {"Invoice Überweisung pending", "Invoice =?UTF-8?B?w5xiZXJ3ZWlzdW5n*X?= pending"},
        "=?x-unknown?Q?J=FCrg_Wei=DF?=", "juerg.weiss@example.ch");
    row("hand-raw-8bit-utf8-subject", {"Präsentation für Dienstag – Büro Zürich 東京"},
        "Jürgen Groß", "juergen.gross@example.de");
    row("hand-raw-8bit-latin1-subject", {"Résumé für Jürgen (Bewerbung, Straße 5)"},
        "Françoise Müller", "francoise.mueller@example.de");
    row("hand-subject-folded-three-lines-tab",
        {"Reminder: the quarterly planning meeting has been moved\tfrom Thursday afternoon to "
         "Friday morning because the main conference room is unavailable"},
        "Office Manager", "office@example.org");
    row("hand-long-from-many-recipients-folded",
        {"Scheduled maintenance on 23 March 2024 (all regions)"},
        "Customer Support Team of Example International Holdings Ltd. (Do Not Reply)",
        "no-reply.customer-support@notifications.example-international.com");
    row("hand-no-message-id", {"Nightly backup finished: 0 errors"}, "Backup Daemon",
        "backup@nas.example.net");
    row("hand-odd-case-header-names", {"Quartalszahlen Q1 – Entwurf"}, "Dana Scully",
        "dana.scully@example.org");
    row("hand-header-no-space-after-colon", {"Re: Meeting moved to 15:00"}, "Alice Example",
        "alice@example.org");
    row("hand-html-only-script-remote-image", {"Your weekly summary – 3 new offers"},
        "Example Deals", "deals@news.example.com");
    row("hand-multipart-alternative-text-html", {"Your order #10472 has shipped"}, "Example Shop",
        "orders@shop.example.com");
    row("hand-pdf-attachment-utf8-filename-star", {"Rechnung März 2024"},
        "Buchhaltung Example GmbH", "buchhaltung@example.de");
    row("hand-body-lines-leading-dot", {"Deploy log: lines beginning with a dot"}, "CI Deploy",
        "deploy@ci.example.org");
    row("hand-bare-lf-line-endings", {"Server report for 2024-03-15"}, "Monitoring",
        "monitor@ops.example.net");
}

void TestMimeText::handMadeSamples() {
    QFETCH(QString, file);
    QFETCH(QStringList, subjects);
    QFETCH(QString, fromName);
    QFETCH(QString, fromAddress);
    const QList<HeaderField> fields = MimeParseHeaderFields(MimeHeaderBlock(ReadSample(file)));
    const QString subject = FieldValue(fields, QStringLiteral("Subject"));
    QVERIFY2(subjects.contains(subject), qPrintable(subject));
    const QString from = FieldValue(fields, QStringLiteral("From"));
    QVERIFY2(from.contains(fromName), qPrintable(from));
    QVERIFY2(from.contains(u'<' + fromAddress + u'>') || from == fromAddress, qPrintable(from));
}

void TestMimeText::everySample_data() {
    QTest::addColumn<QString>("file");
    const QStringList files =
        QDir(QStringLiteral(LARKWATCH_TESTDATA_MAIL)).entryList({QStringLiteral("*.eml")});
    QVERIFY(files.size() >= 50);
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << file;
}

void TestMimeText::everySample() {
    QFETCH(QString, file);
    const QByteArray raw = ReadSample(file);

    const QList<HeaderField> fields = MimeParseHeaderFields(MimeHeaderBlock(raw));
    QVERIFY(!fields.isEmpty());
    for (const HeaderField& field : fields) {
        QVERIFY(!field.Name.isEmpty());
        QVERIFY(!field.Name.contains(u':') && !field.Name.contains(u' '));
        for (const QString& part : {field.Name, field.Value}) {
            QVERIFY2(!part.contains(u'\r') && !part.contains(u'\n'), qPrintable(part));
            QVERIFY(part.isValidUtf16());
        }
    }

    const QString text = MimeReadableMessage(raw);
    QVERIFY(text.isValidUtf16());
    QVERIFY(!text.contains(u'\r'));
    QVERIFY(!text.contains(QChar(0)));
    QVERIFY(!text.contains(QChar(0xFFFD)));
    // Something besides the header block, and no HTML markup left over.
    const QString body = text.mid(text.indexOf(QStringLiteral("\n\n")) + 1);
    QVERIFY2(!body.trimmed().isEmpty(), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("</p>"), Qt::CaseInsensitive), qPrintable(text));
}

void TestMimeText::bodies_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    QTest::newRow("HTML only: text, no script, style or remote address")
        << "hand-html-only-script-remote-image.eml"
        << QStringList{"Hello Jürgen,",
                       "This week’s offers: 3 new items & a 20 % discount – "
                       "only €15.",
                       "Unsubscribe"}
        << QStringList{"document.location", "font-family", "tracker.example.com", "<p", "&amp;",
                       "Weekly summary"};
    QTest::newRow("alternative: the plain part only")
        << "hand-multipart-alternative-text-html.eml" << QStringList{"Hi Zoë,", "total €49.90"}
        << QStringList{"Track your parcel"};
    QTest::newRow("PDF attachment with RFC 2231 name")
        << "hand-pdf-attachment-utf8-filename-star.eml"
        << QStringList{"[Attachment: Rechnung März 2024.pdf, application/pdf, 232 bytes]"}
        << QStringList{"JVBER"};
    QTest::newRow("bare LF with CSV attachment")
        << "hand-bare-lf-line-endings.eml"
        << QStringList{"Subject: Server report for 2024-03-15",
                       "[Attachment: report-2024-03-15.csv, text/csv, 44 bytes]"}
        << QStringList{};
    QTest::newRow("quoted-printable soft break inside a character")
        << "hand-subject-utf8-quoted-printable.eml"
        << QStringList{"crème brûlée et café", "auprès de"} << QStringList{"=C3"};
    QTest::newRow("KOI8-R body") << "hand-koi8-r-subject-from-body.eml"
                                 << QStringList{"Отчёт за первый квартал готов"} << QStringList{};
    QTest::newRow("Shift_JIS body")
        << "hand-shift-jis-subject-body.eml" << QStringList{"表"} << QStringList{};
    QTest::newRow("GB2312 body") << "hand-gb2312-subject-from-body.eml" << QStringList{"张伟"}
                                 << QStringList{};
    QTest::newRow("ISO-2022-JP body and subject")
        << "mk-iso-2022-jp-subject-and-body.eml"
        << QStringList{"Subject: 日本語メールテスト (testing Japanese emails)", "日本語が",
                       "送れているか"}
        << QStringList{"\x1b"};
    QTest::newRow("Windows-1252 body")
        << "hand-windows-1252-smart-quotes-euro.eml" << QStringList{"€", "„"} << QStringList{};
    QTest::newRow("GIF attachment")
        << "py-multipart-mixed-gif-attachment-base64.eml"
        << QStringList{"[Attachment: dingusfish.gif, image/gif, "} << QStringList{"R0lGODdh"};
    QTest::newRow("forwarded message shows its own header")
        << "py-message-rfc822-top-level.eml" << QStringList{"From: ", "Subject: "} << QStringList{};
}

void TestMimeText::bodies() {
    QFETCH(QString, file);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QString text = MimeReadableMessage(ReadSample(file));
    for (const QString& wanted : present)
        QVERIFY2(text.contains(wanted), qPrintable(wanted + "\n---\n" + text));
    for (const QString& unwanted : absent)
        QVERIFY2(!text.contains(unwanted), qPrintable(unwanted + "\n---\n" + text));
}

void TestMimeText::htmlToText() {
    QCOMPARE(MimeHtmlToText(QStringLiteral(
                 "<p>One<br>two</p><div style=\"display: none\">gone<div>x</div></div>"
                 "<!-- note --><p>a &lt;b&gt; &#x20AC; &unknown; <img src=x>c</p>")),
             QStringLiteral("One\ntwo\n\na <b> € &unknown; c\n"));
}

void TestMimeText::headerBlockAndOddLines() {
    // A body line right after the fields ends the header; a broken line in
    // the middle of the header continues the field before it.
    const QList<HeaderField> noBlank =
        MimeParseHeaderFields(ReadSample(QStringLiteral("py-no-blank-line-after-headers.eml")));
    QCOMPARE(noBlank.size(), 3);
    QCOMPARE(noBlank.last().Value, QStringLiteral("here's something interesting"));

    const QList<HeaderField> fields = MimeParseHeaderFields(
        "\xEF\xBB\xBFSubject: a\r\n b\r\nbroken line\r\nTo: x\r\n\r\nBody: no\r\n");
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields.at(0).Value, QStringLiteral("a b broken line"));
    QCOMPARE(fields.at(1).Name, QStringLiteral("To"));
}

QTEST_GUILESS_MAIN(TestMimeText)
#include "test_mime_text.moc"
