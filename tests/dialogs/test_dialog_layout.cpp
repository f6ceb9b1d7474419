#include "dialogs/about_dialog.h"
#include "dialogs/filter_dialog.h"
#include "dialogs/filter_edit_dialog.h"
#include "dialogs/log_file_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/wav_action_edit_dialog.h"
#include "dialogs/wav_actions_dialog.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QAbstractButton>
#include <QLabel>
#include <QtTest>
#include <functional>
#include <memory>

// How each dialog meets the user: the tab order, and no caption cut off.
class TestDialogLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void tabOrderAndCaptions_data();
    void tabOrderAndCaptions();
};

using MakeDialog = std::function<std::unique_ptr<QDialog>(AppState&)>;
Q_DECLARE_METATYPE(MakeDialog)

void TestDialogLayout::tabOrderAndCaptions_data() {
    QTest::addColumn<MakeDialog>("make");
    QTest::addColumn<QStringList>("tabOrder");
    const QStringList rule = {"TxtSnd",   "optSender0", "optSender1",  "optBool0",
                              "optBool1", "txtSub",     "optSubject0", "optSubject1"};
    QTest::newRow("Options") << MakeDialog([](AppState& s) {
        return std::make_unique<OptionsDialog>(s, nullptr);
    }) << QStringList{"txtPooling",   "chkAutoExpand", "chkShowDialog", "txtDlgMsg",
                      "chkPlayWAV0",  "chkPlayWAV1",   "txtWavFile",    "butSelWAV",
                      "butTestWav",   "chkMark",       "butAdv",        "chkTray",
                      "chkAutoMin",   "chkAutoExit",   "chkNotify",     "chkTrayCount",
                      "chkAutostart", "chkKeyring",    "butOK",         "butCancel"};
    QTest::newRow("Message Filtering")
        << MakeDialog([](AppState& s) { return std::make_unique<FilterDialog>(s); })
        << QStringList{"LstFilter", "ButAdd", "ButModify", "ButDelete", "ButOK", "chkTO", "txtTO"};
    QTest::newRow("Add Filter") << MakeDialog([](AppState& s) {
        return std::make_unique<FilterEditDialog>(s);
    }) << rule + QStringList{"ButOK", "butCancel"};
    QTest::newRow("Advance WAV Settings") << MakeDialog([](AppState& s) {
        return std::make_unique<AdvanceWavSettingsDialog>(s, nullptr);
    }) << QStringList{"LstWAV", "ButAdd", "ButModify", "ButDelete", "ButOK"};
    QTest::newRow("Add WAV Action")
        << MakeDialog([](AppState& s) { return std::make_unique<WavActionEditDialog>(s, nullptr); })
        << rule + QStringList{"txtWavFile", "butSelWAV", "butTestWav", "ButOK", "butCancel"};
    QTest::newRow("Log File") << MakeDialog([](AppState& s) {
        return std::make_unique<LogFileDialog>(s);
    }) << QStringList{"txtLogLoc", "butBrowse", "chkDisLog", "chkOneLog", "butOK", "butCancel"};
    QTest::newRow("About") << MakeDialog([](AppState&) { return std::make_unique<AboutDialog>(); })
                           << QStringList{"Command1"};
}

void TestDialogLayout::tabOrderAndCaptions() {
    QFETCH(MakeDialog, make);
    QFETCH(QStringList, tabOrder);
    TempState t;
    // Long texts in the boxes must not widen anything out of shape either.
    t.State->AppSettings.WavFile = "/home/someone/sounds/a rather long folder name/new mail.wav";
    std::unique_ptr<QDialog> dialog = make(*t.State);
    dialog->show();

    // The controls that Tab visits, in the order it visits them.
    QWidget* first = dialog->findChild<QWidget*>(tabOrder.first());
    QVERIFY(first);
    QStringList visited;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->window() == dialog.get() &&
            !widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            visited << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first);
    QCOMPARE(visited, tabOrder);

    // Every caption is shown whole.
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->wordWrap() && label->pixmap().isNull())
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    }
    for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
}

QTEST_MAIN(TestDialogLayout)
#include "test_dialog_layout.moc"
