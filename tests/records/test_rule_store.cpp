#include "records/rule_store.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QSettings>
#include <QtTest>

class TestRuleStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void emptyStoreDefaults();
    void partialRuleLoadsWithDefaults();
    void filtersRoundTripAndDeleteLeavesStaleKeys();
    void wavActionsRoundTrip();
    void hostileTotals();
};

static FilterRule rule(const QString& sender, const QString& subject, bool active) {
    FilterRule r;
    r.SenderText = sender;
    r.SenderMatch = false;
    r.SubjectText = subject;
    r.SubjectMatch = true;
    r.AND = false;
    r.Active = active;
    return r;
}

void TestRuleStore::emptyStoreDefaults() {
    TempState t;
    AppState& s = *t.State;
    s.FilterList = {rule("x", "y", true)};
    s.AutoPrompt = false;
    s.UseFieldTO = true;
    s.FilterTO = "stale";
    LoadFilters(s);
    LoadWavActions(s);
    QCOMPARE(s.FilterCount(), qint16(0));
    QCOMPARE(s.WavActionCount(), qint16(0));
    QVERIFY(s.AutoPrompt);
    QVERIFY(!s.UseFieldTO);
    QVERIFY(s.FilterTO.isEmpty());
}

void TestRuleStore::partialRuleLoadsWithDefaults() {
    TempState t;
    SettingsStore& st = t.State->Store;
    st.WriteSetting("Filters", "TotalFilters", "2");
    st.WriteSetting("Filters", "SenderText1", "spam@example.com");
    st.WriteSetting("Filters", "SenderMatch1", "False");
    st.WriteSetting("Filters", "Disabled1", "True");
    LoadFilters(*t.State);
    QCOMPARE(t.State->FilterCount(), qint16(2));
    const FilterRule& first = t.State->FilterList[0];
    QCOMPARE(first.SenderText, QString("spam@example.com"));
    QVERIFY(!first.SenderMatch);
    QVERIFY(first.Active);
    const FilterRule empty; // empty texts, exact matching, AND, not in force
    QCOMPARE(t.State->FilterList[1], empty);
}

void TestRuleStore::filtersRoundTripAndDeleteLeavesStaleKeys() {
    TempState t;
    AppState& s = *t.State;
    s.FilterList = {rule("a", "", true), rule("", "b; c=d", false), rule("e", "f", true)};
    s.AutoPrompt = false;
    s.UseFieldTO = true; // written by the Filter dialog itself, not by SaveFilters
    SaveFilters(s);
    s.FilterList.removeFirst();
    SaveFilters(s);

    QSettings raw(s.Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Filters/TotalFilters").toString(), QString("2"));
    QCOMPARE(raw.value("Filters/AutoPrompt").toString(), QString("False"));
    QCOMPARE(raw.value("Filters/Disabled2").toString(), QString("True"));
    QCOMPARE(raw.value("Filters/SenderText3").toString(), QString("e")); // left behind
    QVERIFY(!raw.contains("Filters/UseFieldTO"));

    auto reopened = t.Reopen();
    LoadFilters(*reopened);
    QCOMPARE(reopened->FilterList, s.FilterList);
    QVERIFY(!reopened->AutoPrompt);
}

void TestRuleStore::wavActionsRoundTrip() {
    TempState t;
    AppState& s = *t.State;
    WavAction withFile;
    static_cast<FilterRule&>(withFile) = rule("boss@example.com", "", true);
    withFile.WavFile = "/home/u/sounds/boss.wav";
    WavAction noFile;
    static_cast<FilterRule&>(noFile) = rule("", "urgent", false);
    s.WavActionList = {withFile, noFile};
    SaveWavActions(s);
    QSettings raw(s.Paths.SettingsFile, QSettings::IniFormat);
    QVERIFY(raw.contains("Actions/WavFile2"));
    QCOMPARE(raw.value("Actions/WavFile2").toString(), QString());
    auto reopened = t.Reopen();
    LoadWavActions(*reopened);
    QCOMPARE(reopened->WavActionList, s.WavActionList);
}

void TestRuleStore::hostileTotals() {
    TempState t;
    t.State->Store.WriteSetting("Filters", "TotalFilters", "-1");
    t.State->Store.WriteSetting("Actions", "TotalActions", "lots");
    LoadFilters(*t.State);
    LoadWavActions(*t.State);
    QCOMPARE(t.State->FilterCount(), qint16(0));
    QCOMPARE(t.State->WavActionCount(), qint16(0));
}

QTEST_GUILESS_MAIN(TestRuleStore)
#include "test_rule_store.moc"
