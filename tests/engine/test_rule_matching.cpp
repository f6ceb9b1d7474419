#include "engine/rule_matching.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QtTest>

Q_DECLARE_METATYPE(FilterRule)

class TestRuleMatching : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void matchFilters_data();
    void matchFilters();
    void firstMatchingRuleOfSeveral();
    void wavActionFirstInListOrder();
};

// A header text with the lines given; a null text leaves the line out.
static QString header(const QString& from, const QString& subject, const QString& to = {}) {
    QString text = "Message-Id : <1@example.org>\r\n";
    if (!from.isNull())
        text += "From : " + from + "\r\n";
    if (!subject.isNull())
        text += "Subject : " + subject + "\r\n";
    if (!to.isNull())
        text += "To : " + to + "\r\n";
    return text;
}

static FilterRule rule(const QString& sender, bool senderExact, const QString& subject,
                       bool subjectExact, bool andBoth, bool active = true) {
    FilterRule r;
    r.SenderText = sender;
    r.SenderMatch = senderExact;
    r.SubjectText = subject;
    r.SubjectMatch = subjectExact;
    r.AND = andBoth;
    r.Active = active;
    return r;
}

void TestRuleMatching::matchFilters_data() {
    QTest::addColumn<FilterRule>("filter");
    QTest::addColumn<bool>("useTo");
    QTest::addColumn<QString>("filterTo");
    QTest::addColumn<QString>("headerText");
    QTest::addColumn<bool>("deleted");

    const bool exact = true, contained = false, AND = true, OR = false;
    const FilterRule none = rule("", exact, "", exact, AND); // never matches
    const QString fromAnn = "Ann Lee <ann@example.org>";

    // Sender and subject, exact and contained.
    QTest::newRow("contained sender, other letter case")
        << rule("smith", contained, "", exact, AND) << false << "" << header("John SMITH", "Hi")
        << true;
    QTest::newRow("exact sender compares the whole value")
        << rule("smith", exact, "", exact, AND) << false << "" << header("John SMITH", "Hi")
        << false;
    QTest::newRow("exact sender equal ignoring case")
        << rule("john smith", exact, "", exact, AND) << false << "" << header("John SMITH", "Hi")
        << true;
    QTest::newRow("contained subject") << rule("", exact, "Offer", contained, AND) << false << ""
                                       << header(fromAnn, "Special offer inside") << true;
    QTest::newRow("exact subject compares the whole value")
        << rule("", exact, "Offer", exact, AND) << false << ""
        << header(fromAnn, "Special offer inside") << false;
    QTest::newRow("non-ASCII letters ignoring case")
        << rule("", exact, "çà", contained, AND) << false << "" << header(fromAnn, "Voilà ÇÀ")
        << true;
    QTest::newRow("field name in capitals is still read")
        << rule("ann", contained, "", exact, AND) << false << ""
        << "FROM : Ann\r\nSUBJECT : x\r\n"
        << true;
    QTest::newRow("missing From line")
        << rule("ann", contained, "", exact, AND) << false << "" << header({}, "ann") << false;

    // AND and OR.
    QTest::newRow("AND: both hold") << rule("ann", contained, "lunch", contained, AND) << false
                                    << "" << header(fromAnn, "Lunch today?") << true;
    QTest::newRow("AND: only the sender holds") << rule("ann", contained, "lunch", contained, AND)
                                                << false << "" << header(fromAnn, "Work") << false;
    QTest::newRow("AND: only the subject holds")
        << rule("ann", contained, "lunch", contained, AND) << false << ""
        << header("Bob <bob@example.org>", "Lunch") << false;
    QTest::newRow("OR: only the subject holds")
        << rule("ann", contained, "lunch", contained, OR) << false << ""
        << header("Bob <bob@example.org>", "Lunch") << true;
    QTest::newRow("OR: neither holds") << rule("ann", contained, "lunch", contained, OR) << false
                                       << "" << header("Bob", "Work") << false;
    QTest::newRow("AND with only a sender text") << rule("ann", contained, "", exact, AND) << false
                                                 << "" << header(fromAnn, "anything") << true;
    QTest::newRow("AND with only a subject text")
        << rule("", exact, "work", contained, AND) << false << "" << header("Bob", "Work") << true;
    QTest::newRow("both texts empty") << none << false << "" << header("", "") << false;
    QTest::newRow("rule not active") << rule("ann", contained, "", exact, OR, false) << false << ""
                                     << header(fromAnn, "Hi") << false;

    // The To test.
    const QString mine = "me@home.org work.com";
    QTest::newRow("To: first fragment")
        << none << true << mine << header(fromAnn, "Hi", "Me@Home.org") << false;
    QTest::newRow("To: second fragment")
        << none << true << mine << header(fromAnn, "Hi", "Bob <bob@work.com>") << false;
    QTest::newRow("To: neither fragment")
        << none << true << mine << header(fromAnn, "Hi", "other@example.org") << true;
    QTest::newRow("To: no To line") << none << true << mine << header(fromAnn, "Hi") << false;
    QTest::newRow("To: To value only blanks")
        << none << true << mine << header(fromAnn, "Hi", "   ") << false;
    QTest::newRow("To: option off")
        << none << false << mine << header(fromAnn, "Hi", "other@example.org") << false;
    QTest::newRow("To: no fragments")
        << none << true << "" << header(fromAnn, "Hi", "other@example.org") << false;
    QTest::newRow("To: fragments after a double blank are not looked at")
        << none << true << "a.org  b.org" << header(fromAnn, "Hi", "x@b.org") << true;
    QTest::newRow("To: fragments before a double blank count")
        << none << true << "a.org  b.org" << header(fromAnn, "Hi", "x@a.org") << false;
    QTest::newRow("To: trailing blank")
        << none << true << "a.org " << header(fromAnn, "Hi", "x@b.org") << true;
    QTest::newRow("To: leading blank gives no test and deletes nothing")
        << none << true << " a.org" << header(fromAnn, "Hi", "x@b.org") << false;
    QTest::newRow("To passes, a rule still deletes")
        << rule("ann", contained, "", exact, AND) << true << mine
        << header(fromAnn, "Hi", "me@home.org") << true;
}

void TestRuleMatching::matchFilters() {
    QFETCH(FilterRule, filter);
    QFETCH(bool, useTo);
    QFETCH(QString, filterTo);
    QFETCH(QString, headerText);
    QFETCH(bool, deleted);
    TempState t;
    AppState& s = *t.State;
    s.FilterList = {filter};
    s.UseFieldTO = useTo;
    s.FilterTO = filterTo;
    QCOMPARE(MatchFilters(s, headerText), deleted);
}

void TestRuleMatching::firstMatchingRuleOfSeveral() {
    TempState t;
    AppState& s = *t.State;
    const QString h = header("Ann", "Lunch");
    QVERIFY(!MatchFilters(s, h)); // no rules
    s.FilterList = {rule("bob", true, "", true, true), rule("ann", false, "", true, true, false)};
    QVERIFY(!MatchFilters(s, h));
    s.FilterList.append(rule("", true, "lunch", true, true));
    QVERIFY(MatchFilters(s, h));
}

void TestRuleMatching::wavActionFirstInListOrder() {
    TempState t;
    AppState& s = *t.State;
    auto action = [](const FilterRule& r, const QString& file) {
        WavAction a;
        static_cast<FilterRule&>(a) = r;
        a.WavFile = file;
        return a;
    };
    const QString h = header("Ann <ann@example.org>", "Lunch today");
    QCOMPARE(MatchWavAction(s, h), std::nullopt);
    s.WavActionList = {action(rule("ann", false, "", true, true, false), "/snd/inactive.wav"),
                       action(rule("bob", false, "", true, true), "/snd/bob.wav"),
                       action(rule("", true, "lunch", false, true), "/snd/lunch.wav"),
                       action(rule("ann", false, "", true, true), "/snd/ann.wav")};
    QCOMPARE(MatchWavAction(s, h), std::optional<QString>("/snd/lunch.wav"));
    QCOMPARE(MatchWavAction(s, header("Carl", "Work")), std::nullopt);
    // An action that matches without a file still matches.
    s.WavActionList = {action(rule("carl", false, "", true, true), "")};
    QCOMPARE(MatchWavAction(s, header("Carl", "Work")), std::optional<QString>(""));
}

QTEST_GUILESS_MAIN(TestRuleMatching)
#include "test_rule_matching.moc"
