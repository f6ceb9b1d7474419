#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

// The answerers that the widget tests lean on: answered dialogs return as
// after a user's click, and every kind of unexpected dialog fails the test
// (shown here as an expected failure) and is closed instead of hanging.
class TestDialogAnswerers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void messageBoxesAnsweredInOrder();
    void messageBoxFaults_data();
    void messageBoxFaults();
    void fileDialogAnswered_data();
    void fileDialogAnswered();
    void fileDialogFaults_data();
    void fileDialogFaults();
    void modalAnsweredByName();
    void modalFaults_data();
    void modalFaults();

private:
    QTemporaryDir m_dir;
};

void TestDialogAnswerers::init() {
    FailOnUnexpectedWarnings();
}

void TestDialogAnswerers::messageBoxesAnsweredInOrder() {
    MessageBoxAnswerer boxes{QMessageBox::No, QMessageBox::Yes};
    boxes.Answer(QMessageBox::Cancel);
    QCOMPARE(QMessageBox::question(nullptr, "Larkwatch", "Exit Larkwatch ?"), QMessageBox::No);
    QCOMPARE(QMessageBox::question(nullptr, "Larkwatch", "Exit Larkwatch ?"), QMessageBox::Yes);
    QMessageBox box(QMessageBox::Warning, "Delete", "Delete 3 messages?",
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setInformativeText("They are gone for good.");
    QCOMPARE(box.exec(), int(QMessageBox::Cancel));

    QCOMPARE(boxes.UnusedAnswers(), 0);
    QCOMPARE(boxes.Answered().size(), 3);
    const MessageBoxAnswerer::Box& first = boxes.Answered().at(0);
    QCOMPARE(first.Title, QString("Larkwatch"));
    QCOMPARE(first.Text, QString("Exit Larkwatch ?"));
    QCOMPARE(first.Icon, QMessageBox::Question);
    QCOMPARE(first.Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(first.Pressed, QMessageBox::No);
    const MessageBoxAnswerer::Box& last = boxes.Answered().at(2);
    QCOMPARE(last.Title, QString("Delete"));
    QCOMPARE(last.Text, QString("Delete 3 messages?"));
    QCOMPARE(last.InformativeText, QString("They are gone for good."));
    QCOMPARE(last.Icon, QMessageBox::Warning);
    QCOMPARE(last.Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(last.Pressed, QMessageBox::Cancel);
}

void TestDialogAnswerers::messageBoxFaults_data() {
    QTest::addColumn<int>("scripted"); // a button, or NoButton for none
    QTest::addColumn<bool>("boxShown");
    QTest::newRow("box with nothing scripted") << int(QMessageBox::NoButton) << true;
    QTest::newRow("scripted button the box lacks") << int(QMessageBox::Yes) << true;
    QTest::newRow("scripted answer never used") << int(QMessageBox::Yes) << false;
}

void TestDialogAnswerers::messageBoxFaults() {
    QFETCH(int, scripted);
    QFETCH(bool, boxShown);
    QList<MessageBoxAnswerer::Box> seen;
    QEXPECT_FAIL("", "the answerer fails the test", Continue);
    {
        MessageBoxAnswerer boxes;
        if (scripted != QMessageBox::NoButton)
            boxes.Answer(QMessageBox::StandardButton(scripted));
        if (boxShown) {
            // The box is closed, so the call returns.
            QCOMPARE(QMessageBox::information(nullptr, "Larkwatch", "Nobody expects me."),
                     QMessageBox::Ok);
        }
        seen = boxes.Answered();
    }
    // Reached only with the failure reported above, or this is an XPASS.
    QCOMPARE(seen.size(), boxShown ? 1 : 0);
    if (boxShown) {
        QCOMPARE(seen.at(0).Text, QString("Nobody expects me."));
        QCOMPARE(seen.at(0).Pressed, QMessageBox::NoButton);
    }
}

void TestDialogAnswerers::fileDialogAnswered_data() {
    QTest::addColumn<bool>("folder");    // choose a folder, else open a file
    QTest::addColumn<QString>("answer"); // below the temporary folder; empty: cancel
    QTest::newRow("open a file") << false << "sounds/ding.wav";
    QTest::newRow("open a file, cancelled") << false << "";
    QTest::newRow("choose a folder") << true << "sounds";
    QTest::newRow("choose a folder, cancelled") << true << "";
}

void TestDialogAnswerers::fileDialogAnswered() {
    QFETCH(bool, folder);
    QFETCH(QString, answer);
    QVERIFY(QDir(m_dir.path()).mkpath("sounds"));
    QFile sound(m_dir.filePath("sounds/ding.wav"));
    QVERIFY(sound.open(QIODevice::WriteOnly));
    sound.close();
    const QString path = answer.isEmpty() ? QString() : m_dir.filePath(answer);

    FileDialogAnswerer files;
    if (answer.isEmpty())
        files.Cancel();
    else
        files.AnswerPath(path);
    const QString chosen =
        folder ? QFileDialog::getExistingDirectory(nullptr, "Log folder", m_dir.path())
               : QFileDialog::getOpenFileName(nullptr, "Sound", m_dir.path(), "Sounds (*.wav)");

    QCOMPARE(chosen, path);
    QCOMPARE(files.UnusedAnswers(), 0);
    QCOMPARE(files.Answered().size(), 1);
    const FileDialogAnswerer::Dialog& seen = files.Answered().at(0);
    QCOMPARE(seen.Title, QString(folder ? "Log folder" : "Sound"));
    QCOMPARE(seen.Directory, m_dir.path());
    QCOMPARE(seen.Mode, folder ? QFileDialog::Directory : QFileDialog::ExistingFile);
    QCOMPARE(seen.AcceptMode, QFileDialog::AcceptOpen);
    if (!folder)
        QCOMPARE(seen.NameFilters, QStringList{"Sounds (*.wav)"});
    QCOMPARE(seen.Chosen, answer.isEmpty() ? std::optional<QString>() : path);
    QVERIFY(seen.Expected);
}

void TestDialogAnswerers::fileDialogFaults_data() {
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("answer"); // below the temporary folder; empty: nothing scripted
    QTest::newRow("dialog with nothing scripted") << false << "";
    QTest::newRow("file to open is missing") << false << "missing.wav";
    QTest::newRow("file where a folder is wanted") << true << "plain.txt";
}

void TestDialogAnswerers::fileDialogFaults() {
    QFETCH(bool, folder);
    QFETCH(QString, answer);
    QFile plain(m_dir.filePath("plain.txt"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    FileDialogAnswerer files;
    if (!answer.isEmpty())
        files.AnswerPath(m_dir.filePath(answer));
    QString chosen;
    QEXPECT_FAIL("", "the answerer fails the test", Continue);
    // The dialog is cancelled, so the call returns.
    chosen = folder ? QFileDialog::getExistingDirectory(nullptr, "Log folder", m_dir.path())
                    : QFileDialog::getOpenFileName(nullptr, "Sound", m_dir.path());
    // Reached only with the failure reported above, or this is an XPASS.
    QCOMPARE(chosen, QString());
    QCOMPARE(files.Answered().size(), 1);
    QVERIFY(!files.Answered().at(0).Chosen);
    QCOMPARE(files.Answered().at(0).Expected, !answer.isEmpty());
}

void TestDialogAnswerers::modalAnsweredByName() {
    QDialog dialog;
    dialog.setObjectName("AccountDialog");
    auto* server = new QLineEdit(&dialog);
    server->setObjectName("txtServer");
    (new QVBoxLayout(&dialog))->addWidget(server);

    AnswerNextModal account("AccountDialog", [](QWidget* shown) {
        shown->findChild<QLineEdit*>("txtServer")->setText("pop.example.org");
        qobject_cast<QDialog*>(shown)->accept();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(account.Answered());
    QCOMPARE(server->text(), QString("pop.example.org"));
}

void TestDialogAnswerers::modalFaults_data() {
    QTest::addColumn<QString>("opened"); // objectName of the dialog opened; empty: none
    QTest::newRow("another dialog opens instead") << "OptionsDialog";
    QTest::newRow("the answer leaves it open") << "AccountDialog";
    QTest::newRow("it never opens") << "";
}

void TestDialogAnswerers::modalFaults() {
    QFETCH(QString, opened);
    QDialog dialog;
    dialog.setObjectName(opened);
    QEXPECT_FAIL("", "the answerer fails the test", Continue);
    {
        // The answer does nothing, a fault of its own when the dialog is found.
        AnswerNextModal account(
            "AccountDialog", [](QWidget*) {}, 300);
        if (!opened.isEmpty()) {
            // The dialog is closed, so exec() returns.
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        }
    }
    // Reached only with the failure reported above, or this is an XPASS.
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestDialogAnswerers)
#include "test_dialog_answerers.moc"
