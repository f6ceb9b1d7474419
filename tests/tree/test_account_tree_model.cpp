#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"
#include "records/app_state.h"
#include "support/temp_state.h"
#include "support/checked_tree_model.h"
#include "support/fail_on_warning.h"

#include <QSignalSpy>
#include <QtTest>

// The node model the engine writes, used here without any widget.
class TestAccountTreeModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void nodesAreAddressedByKeyInAdditionOrder();
    void refusedAdditions_data();
    void refusedAdditions();
    void removingAnAccountRemovesItsMessages();
    void dropHighlightAndSelectionNameOneNode();
    void decorationFollowsExpandedFlag();
    void unknownKeysAreIgnored();
    void showAccountsUnchecked();
    void findMessageNode();
};

// P1 with C11 and C12, P2 with C21, added interleaved as a check adds them.
static void fill(AccountTreeModel& m) {
    QVERIFY(m.AddAccountNode("P1", "Work --- Checking...", NodeImage::NoMail));
    QVERIFY(m.AddMessageNode("P1", "C11", "#1 --- ", NodeImage::NewMail));
    QVERIFY(m.AddAccountNode("P2", "Home --- Checking...", NodeImage::NoMail));
    QVERIFY(m.AddMessageNode("P2", "C21", "#1 --- ", NodeImage::NewMail));
    QVERIFY(m.AddMessageNode("P1", "C12", "#2 --- ", NodeImage::Mail));
}

void TestAccountTreeModel::nodesAreAddressedByKeyInAdditionOrder() {
    CheckedTreeModel m;
    fill(m);
    QCOMPARE(m.Keys(), QStringList({"P1", "C11", "P2", "C21", "C12"}));
    QCOMPARE(m.NodeCount(), 5);
    QCOMPARE(m.IndexOf("P2"), 3);
    QCOMPARE(m.IndexOf("C12"), 5);
    QCOMPARE(m.IndexOf("C99"), 0);
    QCOMPARE(m.KeyOf(4), QString("C21"));
    QCOMPARE(m.KeyOf(0), QString());
    QCOMPARE(m.KeyOf(6), QString());
    QCOMPARE(m.ChildKeys("P1"), QStringList({"C11", "C12"}));
    QCOMPARE(m.ParentKey("C21"), QString("P2"));
    QCOMPARE(m.ParentKey("P2"), QString());
    // Tree rows as a view sees them.
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.rowCount(m.IndexForKey("P1")), 2);
    QCOMPARE(m.KeyForIndex(m.index(1, 0, m.IndexForKey("P1"))), QString("C12"));

    QCOMPARE(m.Text("C12"), QString("#2 --- "));
    QCOMPARE(m.Image("C12"), NodeImage::Mail);
    QCOMPARE(m.ExpandedImage("P1"), NodeImage::HaveMail);
    QCOMPARE(m.ExpandedImage("C11"), QString());
    QVERIFY(!m.Expanded("P1"));
    QCOMPARE(m.Tag("C11"), QString());

    const QString header = "Subject : <b>Hi</b>\r\nFrom : Ann\r\n";
    m.SetTag("C11", header);
    m.SetText("C11", "#1 --- 1,234 bytes --- Subject : <b>Hi</b> --- From : Ann");
    m.SetImage("C11", NodeImage::Deleted);
    QCOMPARE(m.Tag("C11"), header);
    QCOMPARE(m.data(m.IndexForKey("C11")).toString(),
             QString("#1 --- 1,234 bytes --- Subject : <b>Hi</b> --- From : Ann"));
    QCOMPARE(m.Image("C11"), NodeImage::Deleted);
}

void TestAccountTreeModel::refusedAdditions_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("key");
    QTest::newRow("account key already used") << ""
                                              << "P1";
    QTest::newRow("message key used by an account") << "P1"
                                                    << "P2";
    QTest::newRow("message key already used") << "P2"
                                              << "C11";
    QTest::newRow("message under missing account") << "P9"
                                                   << "C77";
    QTest::newRow("empty account key") << ""
                                       << "";
    QTest::newRow("empty message key") << "P1"
                                       << "";
}

void TestAccountTreeModel::refusedAdditions() {
    QFETCH(QString, parent);
    QFETCH(QString, key);
    CheckedTreeModel m;
    fill(m);
    const QStringList before = m.Keys();
    const bool added = parent.isEmpty() ? m.AddAccountNode(key, "x", NodeImage::NoMail)
                                        : m.AddMessageNode(parent, key, "x", NodeImage::NewMail);
    QVERIFY(!added);
    QCOMPARE(m.Keys(), before);
    QCOMPARE(m.rowCount(), 2);
}

void TestAccountTreeModel::removingAnAccountRemovesItsMessages() {
    CheckedTreeModel m;
    fill(m);
    m.SetDropHighlight("C12");
    m.SetSelectedKey("C11");
    m.RemoveNode("P1");
    QCOMPARE(m.Keys(), QStringList({"P2", "C21"}));
    QVERIFY(!m.HasNode("C11"));
    QVERIFY(!m.HasNode("C12"));
    QCOMPARE(m.IndexOf("C21"), 2);
    QCOMPARE(m.DropHighlight(), QString());
    QCOMPARE(m.SelectedKey(), QString());
    QCOMPARE(m.rowCount(), 1);
    // The key is free again.
    QVERIFY(m.AddMessageNode("P2", "C11", "#2 --- ", NodeImage::NewMail));

    m.RemoveNode("C21");
    QCOMPARE(m.Keys(), QStringList({"P2", "C11"}));
    m.Clear();
    QCOMPARE(m.NodeCount(), 0);
    QCOMPARE(m.rowCount(), 0);
    QVERIFY(m.AddAccountNode("P2", "Home", NodeImage::NoMail));
}

void TestAccountTreeModel::dropHighlightAndSelectionNameOneNode() {
    CheckedTreeModel m;
    fill(m);
    QSignalSpy highlight(&m, &AccountTreeModel::DropHighlightChanged);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.SetDropHighlight("P2");
    m.SetDropHighlight("C11");
    QCOMPARE(m.DropHighlight(), QString("C11"));
    QVERIFY(m.data(m.IndexForKey("C11"), AccountTreeModel::DropHighlightRole).toBool());
    QVERIFY(!m.data(m.IndexForKey("P2"), AccountTreeModel::DropHighlightRole).toBool());
    QCOMPARE(highlight.count(), 2);
    QVERIFY(changed.count() >= 3); // P2 on, P2 off, C11 on
    m.SetDropHighlight("C11");
    QCOMPARE(highlight.count(), 2);
    m.SetDropHighlight("C404"); // an unknown key clears it
    QCOMPARE(m.DropHighlight(), QString());

    m.SetSelectedKey("P1");
    QVERIFY(m.data(m.IndexForKey("P1"), AccountTreeModel::SelectedRole).toBool());
    m.Clear();
    QCOMPARE(m.SelectedKey(), QString());
}

void TestAccountTreeModel::decorationFollowsExpandedFlag() {
    CheckedTreeModel m;
    QStringList asked;
    m.SetIconProvider([&asked](const QString& key) {
        asked << key;
        return QIcon();
    });
    fill(m);
    QSignalSpy expandedSpy(&m, &AccountTreeModel::ExpandedChanged);
    auto shown = [&](const QString& key) {
        asked.clear();
        m.data(m.IndexForKey(key), Qt::DecorationRole);
        return asked.value(0);
    };
    QCOMPARE(shown("P1"), NodeImage::NoMail);
    m.SetExpanded("P1", true);
    QCOMPARE(shown("P1"), NodeImage::HaveMail);
    QCOMPARE(expandedSpy.count(), 1);
    m.SetExpanded("P1", true);
    QCOMPARE(expandedSpy.count(), 1);
    m.SetExpanded("P1", false);
    QCOMPARE(shown("P1"), NodeImage::NoMail);
    // A message has no expanded image.
    m.SetExpanded("C11", true);
    QCOMPARE(shown("C11"), NodeImage::NewMail);
}

void TestAccountTreeModel::unknownKeysAreIgnored() {
    CheckedTreeModel m;
    fill(m);
    m.SetText("C404", "x");
    m.SetImage("C404", NodeImage::Mail);
    m.SetTag("C404", "x");
    m.SetExpanded("C404", true);
    m.RemoveNode("C404");
    QCOMPARE(m.NodeCount(), 5);
    QCOMPARE(m.Text("C404"), QString());
    QVERIFY(!m.Expanded("C404"));
    QCOMPARE(m.ChildKeys("C404"), QStringList());
}

void TestAccountTreeModel::showAccountsUnchecked() {
    TempState t;
    AppState& s = *t.State;
    for (auto [title, key, disabled] :
         {std::tuple{"Work", "P7", false}, std::tuple{"Old <i>box</i>", "P31", true},
          std::tuple{"Home", "P2", false}}) {
        MailAccount a;
        a.Title = title;
        a.NodeKey = key;
        a.Disabled = disabled;
        s.Accounts.append(a);
    }
    CheckedTreeModel m;
    QVERIFY(m.AddAccountNode("P99", "stale", NodeImage::NoMail));
    QVERIFY(m.AddMessageNode("P99", "C1", "stale", NodeImage::NoMail));
    ShowAccountsUnchecked(s, m);
    QCOMPARE(m.Keys(), QStringList({"P7", "P31", "P2"}));
    QCOMPARE(m.Text("P7"), QString("Work --- Unchecked."));
    QCOMPARE(m.Image("P7"), NodeImage::NoMail);
    QCOMPARE(m.Text("P31"), QString("Old <i>box</i>--- Disabled."));
    QCOMPARE(m.Image("P31"), NodeImage::Closed);
    QCOMPARE(m.ExpandedImage("P31"), NodeImage::HaveMail);
    QVERIFY(!m.Expanded("P2"));

    // The same node for a pass, as the scheduler adds it.
    m.Clear();
    QVERIFY(AddAccountNodeFor(m, s.Account(1), AccountStatus::Checking));
    QCOMPARE(m.Text("P7"), QString("Work --- Checking..."));
}

void TestAccountTreeModel::findMessageNode() {
    CheckedTreeModel m;
    fill(m);
    QCOMPARE(FindMessageNode(m, "C11"), qint16(1));
    QCOMPARE(FindMessageNode(m, "C12"), qint16(4));
    QCOMPARE(FindMessageNode(m, "C404"), qint16(0));
    QCOMPARE(FindMessageNode(m, ""), qint16(0));
}

QTEST_GUILESS_MAIN(TestAccountTreeModel)
#include "test_account_tree_model.moc"
