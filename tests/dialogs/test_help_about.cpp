#include "dialogs/about_dialog.h"
#include "dialogs/help_contents.h"
#include "main_window/main_menus.h"
#include "support/dialog_answerers.h"
#include "support/fail_on_warning.h"
#include "dialog_rig.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

// Receives the URLs the program asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;
public Q_SLOTS:
    void Open(const QUrl& url) { Opened.append(url); }
};

// Help > Contents, the help page itself, and the About box.
class TestHelpAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void helpFileIsFoundBesideOrUnderShare_data();
    void helpFileIsFoundBesideOrUnderShare();
    void contentsOpensTheHelpFileThroughTheDesktop();
    void contentsReportsWhatCannotBeOpened_data();
    void contentsReportsWhatCannotBeOpened();
    void helpPageDescribesEveryMenuCommand();
    void contentsFromTheMenuKeepsPolling();
    void aboutShowsTheVersionAndPausesPolling_data();
    void aboutShowsTheVersionAndPausesPolling();
    void versionOptionPrintsTheAboutVersion();
};

namespace {
void writeFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
}

// The folder of the program as built, which holds the help page too.
QString programFolder() {
    return QFileInfo(QStringLiteral(LARKWATCH_PROGRAM)).absolutePath();
}
} // namespace

void TestHelpAbout::helpFileIsFoundBesideOrUnderShare_data() {
    QTest::addColumn<QStringList>("present"); // relative to a prefix; the program is in bin/
    QTest::addColumn<QString>("found");
    QTest::newRow("beside the program")
        << QStringList{"bin/larkwatch-help.html"} << "bin/larkwatch-help.html";
    QTest::newRow("installed under share") << QStringList{"share/larkwatch/larkwatch-help.html"}
                                           << "share/larkwatch/larkwatch-help.html";
    QTest::newRow("beside wins") << QStringList{"share/larkwatch/larkwatch-help.html",
                                                "bin/larkwatch-help.html"}
                                 << "bin/larkwatch-help.html";
    QTest::newRow("nowhere") << QStringList{"share/larkwatch-help.html"} << "";
}

void TestHelpAbout::helpFileIsFoundBesideOrUnderShare() {
    QFETCH(QStringList, present);
    QFETCH(QString, found);
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkdir("bin"));
    for (const QString& file : present)
        writeFile(prefix.filePath(file));
    const QString expected =
        found.isEmpty() ? QString() : QFileInfo(prefix.filePath(found)).canonicalFilePath();
    QCOMPARE(FindHelpFile(prefix.filePath("bin")), expected);
}

void TestHelpAbout::contentsOpensTheHelpFileThroughTheDesktop() {
    QTemporaryDir folder;
    writeFile(folder.filePath("larkwatch-help.html"));
    QList<QUrl> opened;
    MessageBoxAnswerer boxes; // none expected
    ShowHelpContents(nullptr, folder.path(), [&](const QUrl& url) {
        opened << url;
        return true;
    });
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(
                         QFileInfo(folder.filePath("larkwatch-help.html")).canonicalFilePath())});
    QVERIFY(boxes.Answered().isEmpty());
}

void TestHelpAbout::contentsReportsWhatCannotBeOpened_data() {
    QTest::addColumn<bool>("helpPresent");
    QTest::addColumn<bool>("viewerStarts");
    QTest::addColumn<int>("opens");
    QTest::newRow("no help file") << false << true << 0;
    QTest::newRow("no viewer") << true << false << 1;
}

void TestHelpAbout::contentsReportsWhatCannotBeOpened() {
    QFETCH(bool, helpPresent);
    QFETCH(bool, viewerStarts);
    QFETCH(int, opens);
    QTemporaryDir folder;
    if (helpPresent)
        writeFile(folder.filePath("larkwatch-help.html"));
    int tries = 0;
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    ShowHelpContents(nullptr, folder.path(), [&](const QUrl&) {
        ++tries;
        return viewerStarts;
    });
    QCOMPARE(tries, opens);
    QCOMPARE(boxes.Answered().size(), 1);
    QCOMPARE(boxes.Answered().at(0).Title, QString("Larkwatch Help"));
    QCOMPARE(boxes.Answered().at(0).Text, QString("Error running WinHelp"));
    QCOMPARE(boxes.Answered().at(0).Icon, QMessageBox::Critical);
    QCOMPARE(boxes.Answered().at(0).Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

// The page that the build puts beside the program tells of every command of
// the menus, under the caption the menu shows.
void TestHelpAbout::helpPageDescribesEveryMenuCommand() {
    const QString helpFile = FindHelpFile(programFolder());
    QVERIFY2(!helpFile.isEmpty(), qPrintable(programFolder()));
    QFile file(helpFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    for (const MenuDefinition& menu : MainMenuTable()) {
        for (const MenuEntry& entry : menu.Entries) {
            const QString caption = QString::fromUtf8(entry.Caption).remove('&');
            if (!caption.isEmpty())
                QVERIFY2(page.contains(caption), qPrintable(caption));
        }
    }
    for (const char* topic : {"--check", "Single Play", "Random Play", "Auto Minimize at startup",
                              "Delete if TO does not contain:", "Master.doc", "tray"})
        QVERIFY2(page.contains(QLatin1String(topic)), topic);
}

void TestHelpAbout::contentsFromTheMenuKeepsPolling() {
    WindowRig rig;
    UrlRecorder desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "Open");
    // The test program has no help page beside it: the menu tells so.
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    rig.Action("mnuHelpContents")->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(boxes.Answered().size(), 1);
    QCOMPARE(boxes.Answered().at(0).Text, QString("Error running WinHelp"));
    QVERIFY(desktop.Opened.isEmpty());
    QVERIFY(rig.window->PoolingEvent().isActive());
}

void TestHelpAbout::aboutShowsTheVersionAndPausesPolling_data() {
    QTest::addColumn<bool>("suspended");
    QTest::newRow("monitoring") << false;
    QTest::newRow("suspended") << true;
}

void TestHelpAbout::aboutShowsTheVersionAndPausesPolling() {
    QFETCH(bool, suspended);
    WindowRig rig;
    if (suspended)
        rig.Action("mnuSuspend")->trigger();
    rig.state.SecondsLeft = 99;
    QStringList shown;
    bool paused = false;
    bool dialogOpen = false;
    AnswerNextModal about("frmAbout", [&](QWidget* dialog) {
        paused = !rig.window->PoolingEvent().isActive();
        dialogOpen = !rig.state.NoDialogOpen;
        shown << dialog->windowTitle();
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            if (!label->text().isEmpty())
                shown << label->text();
        auto* ok = Child<QPushButton>(dialog, "Command1");
        shown << ok->text() << ok->toolTip() << (ok->isDefault() ? "default" : "not default");
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    rig.Action("mnuAbout")->trigger();
    QVERIFY(about.Answered());
    QCOMPARE(shown.mid(0, 3), QStringList({"About Larkwatch", "Larkwatch", "Version 2.3"}));
    QCOMPARE(shown.mid(4), QStringList({"OK", "Click here to return", "default"}));
    QVERIFY(paused && dialogOpen);
    QVERIFY(rig.state.NoDialogOpen);
    QCOMPARE(rig.state.SecondsLeft, 99); // the countdown goes on where it stopped
    QCOMPARE(rig.window->PoolingEvent().isActive(), !suspended);
}

void TestHelpAbout::versionOptionPrintsTheAboutVersion() {
    QProcess program;
    program.start(QStringLiteral(LARKWATCH_PROGRAM), {"--version"});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    QCOMPARE(printed, QString("larkwatch 2.3"));
    QCOMPARE(AboutDialog::VersionLine(), "Version " + printed.section(' ', 1));
}

QTEST_MAIN(TestHelpAbout)
#include "test_help_about.moc"
