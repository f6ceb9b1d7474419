#include "commands/message_numbering.h"
#include "support/fail_on_warning.h"
#include "tree/account_tree_model.h"
#include "tree/node_texts.h"

#include <QtTest>

// The number a command reads from a message node, and the renumbering after
// Delete Message, on the tree model alone.
class TestMessageNumbering : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void numberOfANode_data();
    void numberOfANode();
    void renumbering_data();
    void renumbering();
};

void TestMessageNumbering::numberOfANode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("two digits") << "#12 --- 2,048 bytes --- Subject : Hi" << 12;
    QTest::newRow("just added") << "#3 --- " << 3;
    QTest::newRow("digits then more") << "#7x --- " << 7;
    QTest::newRow("deleted") << "(Deleted) --- Subject : Hi" << 0;
    QTest::newRow("no digits") << "# --- " << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("beyond 16 bits") << "#40000 --- " << 0;
    QTest::newRow("largest") << "#32767 --- " << 32767;
    QTest::newRow("other digits") << QString("#\u0663 --- ") << 0; // Arabic-Indic three
}

void TestMessageNumbering::numberOfANode() {
    QFETCH(QString, text);
    QTEST(int(MessageNumberOf(text)), "number");
}

void TestMessageNumbering::renumbering_data() {
    QTest::addColumn<QStringList>("before"); // "D" marks a node already deleted
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("second of four") << QStringList{"#1 a", "#2 b", "#3 c", "#4 d"} << 1
                                    << QStringList{"#1 a", "(Deleted) b", "#2 c", "#3 d"};
    QTest::newRow("the new second") << QStringList{"#1 a", "D(Deleted) b", "#2 c", "#3 d"} << 2
                                    << QStringList{"#1 a", "(Deleted) b", "(Deleted) c", "#2 d"};
    QTest::newRow("first, next to a filter deletion")
        << QStringList{"#1 a", "D(Deleted) --- b", "#2 c", "#3 d"} << 0
        << QStringList{"(Deleted) a", "(Deleted) --- b", "#1 c", "#2 d"};
    QTest::newRow("the last") << QStringList{"#1 a", "#2 b"} << 1
                              << QStringList{"#1 a", "(Deleted) b"};
}

void TestMessageNumbering::renumbering() {
    QFETCH(QStringList, before);
    QFETCH(int, row);
    AccountTreeModel tree;
    tree.AddAccountNode("P1", "Home", NodeImage::NoMail);
    tree.AddAccountNode("P2", "Work", NodeImage::NoMail);
    QStringList keys;
    for (int i = 0; i < before.size(); ++i) {
        const QString key = "C" + QString::number(100 + i);
        const bool deleted = before[i].startsWith('D');
        tree.AddMessageNode("P1", key, deleted ? before[i].mid(1) : before[i],
                            deleted ? NodeImage::Deleted : NodeImage::NewMail);
        keys.append(key);
    }
    tree.AddMessageNode("P2", "C9", "#1 other account", NodeImage::NewMail);
    MarkDeletedAndRenumber(tree, keys[row], MessageNumberOf(tree.Text(keys[row])));
    QStringList after;
    for (const QString& key : keys)
        after.append(tree.Text(key));
    QTEST(after, "after");
    QCOMPARE(tree.Image(keys[row]), NodeImage::Deleted);
    QCOMPARE(tree.Text("C9"), QString("#1 other account"));
}

QTEST_MAIN(TestMessageNumbering)
#include "test_message_numbering.moc"
