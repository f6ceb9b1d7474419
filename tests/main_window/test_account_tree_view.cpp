#include "main_window/account_tree_view.h"
#include "tree/account_nodes.h"
#include "tree/account_tree_model.h"
#include "support/fail_on_warning.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QtTest>

namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

QString messageText(int n, int extra = 0) {
    return QStringLiteral(
               "#%1 --- 1 KB bytes --- Subject : Note %1 --- From : Ann <ann@example.org>")
               .arg(n) +
           QString(extra, QLatin1Char('x'));
}

} // namespace

// The whole height of the row shows in the viewport.
static bool RowInView(const QTreeView& view, const QModelIndex& index) {
    const QRect row = view.visualRect(index);
    return row.isValid() && row.top() >= 0 && row.bottom() < view.viewport()->height();
}

// How the tree follows its model: at the screen's pace, with its one column
// as wide as the widest row shown.
class TestAccountTreeView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void burstOfMessagesIsShownOncePerFrame();
    void columnFitsTheWidestShownRow();
    void columnFitOverManyRowsTakesSeveralFrames();

private:
    // Qt's own measure of the column's rows (the one its header uses to fit
    // a column to its contents).
    int FittedWidth() const {
        m_view->header()->setResizeContentsPrecision(-1); // every row, not the first 1,000
        const QAbstractItemView& view = *m_view;
        return std::max(m_view->header()->minimumSectionSize(), view.sizeHintForColumn(0));
    }
    // Shows what waits for the frame's end, as the frame's end does.
    void EndFrame() {
        m_view->Pacer().EndFrame();
        QCoreApplication::processEvents();
    }
    // Ends frames until nothing waits; the column's width after each.
    QList<int> EndFramesUntilQuiet() {
        QList<int> widths;
        do {
            EndFrame();
            widths.append(m_view->header()->sectionSize(0));
        } while (m_view->Pacer().Waiting() && widths.size() < 100);
        return widths;
    }

    std::unique_ptr<AccountTreeModel> m_model;
    std::unique_ptr<AccountTreeView> m_view;
};

void TestAccountTreeView::init() {
    FailOnUnexpectedWarnings();
    m_model = std::make_unique<AccountTreeModel>();
    m_view = std::make_unique<AccountTreeView>(*m_model);
    m_model->AddAccountNode("P1", "Home --- Checking", NodeImage::NoMail);
    m_view->resize(300, 200);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestAccountTreeView::cleanup() {
    m_view.reset();
    m_model.reset();
}

// A check adds, expands, scrolls to and rewrites each message node while
// yielding to the event loop between messages: none of it is laid out or
// painted until the frame ends, and then all of it at once.
void TestAccountTreeView::burstOfMessagesIsShownOncePerFrame() {
    FramePacer& pacer = m_view->Pacer();
    pacer.SetMinimumFrameMs(60 * 60 * 1000);         // no frame ends by itself here
    m_model->SetText("P1", "Home --- 300 messages"); // shown at once; opens the frame
    QCoreApplication::processEvents();
    PaintCounter counter(m_view->viewport());
    QSignalSpy resized(m_view->header(), &QHeaderView::sectionResized);

    QString newest;
    for (int n = 1; n <= 300; ++n) {
        newest = QStringLiteral("C%1").arg(n);
        m_model->AddMessageNode("P1", newest, QStringLiteral("#%1 --- ").arg(n),
                                NodeImage::NewMail);
        m_model->SetExpanded("P1", true);
        m_model->EnsureVisible(newest);
        m_model->SetText(newest, messageText(n));
        QCoreApplication::processEvents();
    }
    QCOMPARE(counter.Paints, 0);
    QCOMPARE(resized.size(), 0);
    QVERIFY(pacer.Waiting());

    EndFrame();
    QVERIFY(m_view->updatesEnabled()); // painting again
    QCOMPARE(resized.size(), 1);
    QVERIFY(m_view->isExpanded(m_model->IndexForKey("P1")));
    const QModelIndex newestIndex = m_model->IndexForKey(newest);
    QTRY_VERIFY(RowInView(*m_view, newestIndex));
    QCOMPARE(m_view->header()->sectionSize(0), FittedWidth());
}

// Long rows scroll sideways: the column fits the rows shown, through
// rewrites, removals, a second account and collapsing.
void TestAccountTreeView::columnFitsTheWidestShownRow() {
    m_model->SetExpanded("P1", true);
    for (int n = 1; n <= 5; ++n)
        m_model->AddMessageNode("P1", QStringLiteral("C%1").arg(n), messageText(n),
                                NodeImage::Mail);
    EndFrame();
    const int fiveMessages = m_view->header()->sectionSize(0);
    QCOMPARE(fiveMessages, FittedWidth());

    m_model->SetText("C3", messageText(3, 200)); // the widest now
    EndFrame();
    QCOMPARE(m_view->header()->sectionSize(0), FittedWidth());
    QVERIFY(m_view->header()->sectionSize(0) > fiveMessages);
    QVERIFY(m_view->horizontalScrollBar()->maximum() > 0);

    m_model->AddAccountNode("P2", "Work --- Unchecked.", NodeImage::NoMail);
    m_model->AddMessageNode("P2", "C9", messageText(9, 400), NodeImage::Mail); // not shown
    EndFrame();
    QCOMPARE(m_view->header()->sectionSize(0), FittedWidth());
    const int withWorkCollapsed = m_view->header()->sectionSize(0);

    m_model->SetExpanded("P2", true);
    EndFrame();
    QCOMPARE(m_view->header()->sectionSize(0), FittedWidth());
    QVERIFY(m_view->header()->sectionSize(0) > withWorkCollapsed);

    m_model->SetExpanded("P2", false);
    m_model->RemoveNode("C3");
    EndFrame();
    QCOMPARE(m_view->header()->sectionSize(0), fiveMessages);
}

// A frame measures only so many rows; the others wait for the next frames.
// Measured afresh, the column keeps its width until every row is measured,
// and a new font measures every text again.
void TestAccountTreeView::columnFitOverManyRowsTakesSeveralFrames() {
    m_view->Pacer().SetMinimumFrameMs(60 * 60 * 1000);
    m_model->SetExpanded("P1", true);
    for (int n = 1; n <= 2500; ++n)
        m_model->AddMessageNode("P1", QStringLiteral("C%1").arg(n),
                                messageText(n, n == 2000 ? 300 : 0), NodeImage::Mail);
    const QList<int> growing = EndFramesUntilQuiet();
    QVERIFY2(growing.size() >= 2, "2,500 rows measured in one frame");
    const int wide = m_view->header()->sectionSize(0);
    QCOMPARE(wide, FittedWidth());

    m_model->RemoveNode("C2000");
    const QList<int> narrowing = EndFramesUntilQuiet();
    const int narrow = m_view->header()->sectionSize(0);
    QCOMPARE(narrow, FittedWidth());
    QVERIFY(narrow < wide);
    for (const int width : narrowing)
        QVERIFY2(width == wide || width == narrow, "narrowed before every row was measured");

    QFont larger = m_view->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.5);
    m_view->setFont(larger);
    EndFramesUntilQuiet();
    QCOMPARE(m_view->header()->sectionSize(0), FittedWidth());
    QVERIFY(m_view->header()->sectionSize(0) > narrow);
}

QTEST_MAIN(TestAccountTreeView)
#include "test_account_tree_view.moc"
