#include "dialogs/filter_dialog.h"
#include "dialogs/filter_edit_dialog.h"
#include "dialogs/rule_description.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "dialog_rig.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QtTest>

// The Message Filtering and Add/Modify Filter dialogs, and how rules are
// described in the rule lists.
class TestFilterDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void describeRule_data();
    void describeRule();
    void emptyListOffersNoModifyOrDelete();
    void addTicksTheRuleAndStoresIt();
    void untickIsStoredAndShownOnReopening();
    void modifyKeepsTheTick();
    void deleteTheMiddleOfThree();
    void editDialogOffersWhatTheTextsAllow();
    void editDialogCancelLeavesTheRule();
    void typedLeadingBlanksAreRefused();
    void exitStoresTheNormalisedToRule();
    void exitDisabledWhileTheToBoxIsEmpty_data();
    void exitDisabledWhileTheToBoxIsEmpty();
    void closeBoxKeepsTheStoredToRule();
    void menuOpensTheDialogAndPausesPolling();
};

namespace {
FilterRule rule(const QString& sender, bool senderMatch, const QString& subject, bool subjectMatch,
                bool both, bool active = true) {
    FilterRule r;
    r.SenderText = sender;
    r.SenderMatch = senderMatch;
    r.SubjectText = subject;
    r.SubjectMatch = subjectMatch;
    r.AND = both;
    r.Active = active;
    return r;
}

QString stored(const AppState& state, const QString& key) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value("Filters/" + key, "<absent>").toString();
}

// Each entry's text with "[x] " or "[ ] " for its tick.
QStringList entries(const QWidget* dialog) {
    const auto* list = Child<QListWidget>(dialog, "LstFilter");
    QStringList texts;
    for (int k = 0; k < list->count(); ++k)
        texts << QString(list->item(k)->checkState() == Qt::Checked ? "[x] " : "[ ] ") +
                     list->item(k)->text();
    return texts;
}

QPushButton* button(const QWidget* dialog, const char* name) {
    return Child<QPushButton>(dialog, name);
}

// Answers the Add/Modify Filter dialog with the texts given and OK.
[[nodiscard]] std::unique_ptr<AnswerNextModal>
answerEdit(const QString& sender, const QString& subject, QString* title = nullptr) {
    return std::make_unique<AnswerNextModal>("AddFilter", [=](QWidget* dialog) {
        if (title)
            *title = dialog->windowTitle();
        Child<QLineEdit>(dialog, "TxtSnd")->setText(sender);
        Child<QLineEdit>(dialog, "txtSub")->setText(subject);
        button(dialog, "ButOK")->click();
    });
}
} // namespace

void TestFilterDialogs::describeRule_data() {
    QTest::addColumn<FilterRule>("rule");
    QTest::addColumn<QString>("text");
    QTest::newRow("sender contains OR subject exact")
        << rule("news", false, "Offer", true, false)
        << R"(Sender include "news" OR Subject equal "Offer")";
    QTest::newRow("sender exact AND subject contains")
        << rule("ann@example.org", true, "lunch", false, true)
        << R"(Sender equal "ann@example.org" AND Subject include "lunch")";
    QTest::newRow("subject only, no connector")
        << rule("", true, "Win", false, true) << R"(Subject include "Win")";
    QTest::newRow("sender only, no connector")
        << rule("spam", true, "", true, false) << R"(Sender equal "spam")";
    QTest::newRow("no texts") << rule("", true, "", true, true) << "";
}

void TestFilterDialogs::describeRule() {
    QFETCH(FilterRule, rule);
    QFETCH(QString, text);
    QCOMPARE(DescribeRule(rule), text);
    WavAction action;
    static_cast<FilterRule&>(action) = rule;
    QCOMPARE(DescribeWavAction(action), text); // without a file nothing is added
    action.WavFile = "/s/bell.wav";
    QCOMPARE(DescribeWavAction(action), text + R"( Play "/s/bell.wav")");
}

void TestFilterDialogs::emptyListOffersNoModifyOrDelete() {
    TempState t;
    FilterDialog dialog(*t.State);
    QCOMPARE(dialog.windowTitle(), QString("Larkwatch --- Message Filtering"));
    QCOMPARE(entries(&dialog), QStringList());
    QVERIFY(!button(&dialog, "ButModify")->isEnabled());
    QVERIFY(!button(&dialog, "ButDelete")->isEnabled());
    QVERIFY(button(&dialog, "ButOK")->isEnabled());
    QVERIFY(!Child<QLineEdit>(&dialog, "txtTO")->isEnabled());
}

void TestFilterDialogs::addTicksTheRuleAndStoresIt() {
    TempState t;
    AppState& state = *t.State;
    state.FilterList = {rule("old", true, "", true, true)};
    FilterDialog dialog(state);
    QString title;
    auto edit = answerEdit("news", "", &title);
    button(&dialog, "ButAdd")->click();
    QVERIFY(edit->Answered());
    QCOMPARE(title, QString("Larkwatch --- Add Filter"));

    QCOMPARE(entries(&dialog),
             QStringList({R"([x] Sender equal "old")", R"([x] Sender include "news")"}));
    QCOMPARE(state.FilterCount(), qint16(2));
    QVERIFY(state.FilterList.at(1).Active);
    // Stored at once, before the dialog is left.
    QCOMPARE(stored(state, "TotalFilters"), QString("2"));
    QCOMPARE(stored(state, "SenderText2"), QString("news"));
    QCOMPARE(stored(state, "SenderMatch2"), QString("False"));
    QCOMPARE(stored(state, "Disabled2"), QString("True"));
}

void TestFilterDialogs::untickIsStoredAndShownOnReopening() {
    TempState t;
    AppState& state = *t.State;
    state.FilterList = {rule("a", true, "", true, true), rule("b", true, "", true, true)};
    {
        FilterDialog dialog(state);
        Child<QListWidget>(&dialog, "LstFilter")->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(stored(state, "Disabled2"), QString("False"));
        QCOMPARE(stored(state, "Disabled1"), QString("True"));
        QVERIFY(!state.FilterList.at(1).Active);
    }
    FilterDialog reopened(state);
    QCOMPARE(entries(&reopened),
             QStringList({R"([x] Sender equal "a")", R"([ ] Sender equal "b")"}));
}

void TestFilterDialogs::modifyKeepsTheTick() {
    TempState t;
    AppState& state = *t.State;
    state.FilterList = {rule("a", true, "", true, true, false)};
    FilterDialog dialog(state);
    auto* list = Child<QListWidget>(&dialog, "LstFilter");
    list->setCurrentRow(0);
    QVERIFY(button(&dialog, "ButModify")->isEnabled());
    QString title;
    auto edit = answerEdit("a", "Deal", &title);
    button(&dialog, "ButModify")->click();
    QVERIFY(edit->Answered());
    QCOMPARE(title, QString("Larkwatch --- Modify Filter"));
    QCOMPARE(entries(&dialog), QStringList({R"([ ] Sender equal "a" AND Subject equal "Deal")"}));
    QVERIFY(!state.FilterList.at(0).Active);
    QCOMPARE(stored(state, "SubjectText1"), QString("Deal"));
    QCOMPARE(stored(state, "Disabled1"), QString("False"));
}

void TestFilterDialogs::deleteTheMiddleOfThree() {
    TempState t;
    AppState& state = *t.State;
    state.FilterList = {rule("one", true, "", true, true, true),
                        rule("two", true, "", true, true, true),
                        rule("three", false, "", true, true, false)};
    FilterDialog dialog(state);
    Child<QListWidget>(&dialog, "LstFilter")->setCurrentRow(1);
    button(&dialog, "ButDelete")->click();

    QCOMPARE(entries(&dialog),
             QStringList({R"([x] Sender equal "one")", R"([ ] Sender include "three")"}));
    QCOMPARE(state.FilterCount(), qint16(2));
    QCOMPARE(state.FilterList.at(1).SenderText, QString("three"));
    QVERIFY(!button(&dialog, "ButModify")->isEnabled());
    QVERIFY(!button(&dialog, "ButDelete")->isEnabled());
    QCOMPARE(stored(state, "TotalFilters"), QString("2"));
    QCOMPARE(stored(state, "SenderText2"), QString("three"));
    QCOMPARE(stored(state, "Disabled2"), QString("False"));
}

void TestFilterDialogs::editDialogOffersWhatTheTextsAllow() {
    TempState t;
    AppState& state = *t.State;
    state.EditFilter = FilterRule{};
    FilterEditDialog dialog(state);
    auto* sender = Child<QLineEdit>(&dialog, "TxtSnd");
    auto* subject = Child<QLineEdit>(&dialog, "txtSub");
    auto option = [&](const char* name) { return Child<QRadioButton>(&dialog, name); };
    auto* ok = button(&dialog, "ButOK");

    // The design state: nothing typed, "Can be anywhere" and AND chosen.
    QVERIFY(!ok->isEnabled());
    QVERIFY(option("optSender0")->isChecked() && option("optSubject0")->isChecked() &&
            option("optBool0")->isChecked());
    QVERIFY(!option("optSender0")->isEnabled() && !option("optBool0")->isEnabled());

    sender->setText("ann");
    QVERIFY(ok->isEnabled());
    QVERIFY(option("optSender1")->isEnabled());
    QVERIFY(!option("optSubject1")->isEnabled() && !option("optBool1")->isEnabled());
    subject->setText("lunch");
    QVERIFY(option("optSubject1")->isEnabled() && option("optBool1")->isEnabled());

    // OR chosen while both texts are there, then the subject emptied: the
    // pair is no longer offered but keeps its choice.
    option("optBool1")->setChecked(true);
    option("optSender1")->setChecked(true);
    subject->clear();
    QVERIFY(!option("optBool1")->isEnabled());
    state.EditFilter.Active = true;
    ok->click();
    QVERIFY(state.DialogAccepted);
    QCOMPARE(state.EditFilter, rule("ann", true, "", false, false, true));
}

void TestFilterDialogs::editDialogCancelLeavesTheRule() {
    TempState t;
    AppState& state = *t.State;
    const FilterRule before = rule("x", false, "y", true, false, true);
    state.EditFilter = before;
    FilterEditDialog dialog(state);
    QCOMPARE(Child<QLineEdit>(&dialog, "txtSub")->text(), QString("y"));
    QVERIFY(Child<QRadioButton>(&dialog, "optBool1")->isChecked());
    Child<QLineEdit>(&dialog, "TxtSnd")->setText("changed");
    button(&dialog, "butCancel")->click();
    QVERIFY(!state.DialogAccepted);
    QCOMPARE(state.EditFilter, before);
}

void TestFilterDialogs::typedLeadingBlanksAreRefused() {
    TempState t;
    FilterEditDialog dialog(*t.State);
    for (const char* name : {"TxtSnd", "txtSub"}) {
        auto* box = Child<QLineEdit>(&dialog, name);
        QTest::keyClicks(box, "  ann smith");
        QCOMPARE(box->text(), QString("ann smith"));
    }
}

void TestFilterDialogs::exitStoresTheNormalisedToRule() {
    TempState t;
    AppState& state = *t.State;
    FilterDialog dialog(state);
    auto* to = Child<QLineEdit>(&dialog, "txtTO");
    Child<QCheckBox>(&dialog, "chkTO")->click();
    QVERIFY(to->isEnabled());
    to->setText("  ann@example.org   @work.example  b ");
    button(&dialog, "ButOK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(state.FilterTO, QString("ann@example.org @work.example b"));
    QVERIFY(state.UseFieldTO);
    QCOMPARE(stored(state, "FilterTO"), QString("ann@example.org @work.example b"));
    QCOMPARE(stored(state, "UseFieldTO"), QString("True"));
}

void TestFilterDialogs::exitDisabledWhileTheToBoxIsEmpty_data() {
    QTest::addColumn<bool>("useTo");
    QTest::newRow("To rule on") << true;
    QTest::newRow("To rule off") << false;
}

void TestFilterDialogs::exitDisabledWhileTheToBoxIsEmpty() {
    QFETCH(bool, useTo);
    TempState t;
    AppState& state = *t.State;
    state.UseFieldTO = useTo;
    state.FilterTO = "me@example.org";
    FilterDialog dialog(state);
    auto* to = Child<QLineEdit>(&dialog, "txtTO");
    auto* exit = button(&dialog, "ButOK");
    QCOMPARE(to->text(), QString("me@example.org"));
    QCOMPARE(to->isEnabled(), useTo);
    QVERIFY(exit->isEnabled());
    to->clear();
    QVERIFY(!exit->isEnabled());
    to->setText("m");
    QVERIFY(exit->isEnabled());
}

void TestFilterDialogs::closeBoxKeepsTheStoredToRule() {
    TempState t;
    AppState& state = *t.State;
    state.FilterTO = "me@example.org";
    FilterDialog dialog(state);
    Child<QLineEdit>(&dialog, "txtTO")->setText("other");
    dialog.show();
    QVERIFY(dialog.close());
    QCOMPARE(state.FilterTO, QString("me@example.org"));
    QCOMPARE(stored(state, "FilterTO"), QString("<absent>"));
}

void TestFilterDialogs::menuOpensTheDialogAndPausesPolling() {
    WindowRig rig;
    bool paused = false;
    AnswerNextModal filter("Filter", [&](QWidget* dialog) {
        paused = !rig.window->PoolingEvent().isActive();
        auto edit = answerEdit("", "Cheap pills");
        button(dialog, "ButAdd")->click();
        QVERIFY(edit->Answered());
        button(dialog, "ButOK")->click();
    });
    rig.Action("mnuFilter")->trigger();
    QVERIFY(filter.Answered());
    QVERIFY(paused);
    QVERIFY(rig.window->PoolingEvent().isActive());
    QCOMPARE(rig.state.FilterCount(), qint16(1));
    QCOMPARE(stored(rig.state, "SubjectText1"), QString("Cheap pills"));
}

QTEST_MAIN(TestFilterDialogs)
#include "test_filter_dialogs.moc"
