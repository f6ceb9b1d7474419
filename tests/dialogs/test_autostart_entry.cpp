#include "dialogs/autostart_entry.h"
#include "support/fail_on_warning.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The log-in entry: where it lives, how the program's path is written in it,
// and writing and removing it.
class TestAutostartEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void entryLivesInTheConfigurationFolder();
    void programPathIsOneExecArgument_data();
    void programPathIsOneExecArgument();
    void writtenAndRemoved();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    QByteArray m_savedConfigHome;
};

namespace {
QString contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

// What desktop-file-validate says of an entry; empty when it is content or
// the tool is missing.
QString validatorComplaints(const QString& file) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        return QString();
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(tool, {file});
    if (!validate.waitForFinished(30000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString said = QString::fromUtf8(validate.readAll()).trimmed();
    return validate.exitCode() == 0 && said.isEmpty() ? QString() : said;
}
} // namespace

void TestAutostartEntry::init() {
    FailOnUnexpectedWarnings();
    m_config = std::make_unique<QTemporaryDir>();
    m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
}

void TestAutostartEntry::cleanup() {
    qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    m_config.reset();
}

void TestAutostartEntry::entryLivesInTheConfigurationFolder() {
    QCOMPARE(AutostartEntryFile(), m_config->path() + "/autostart/larkwatch.desktop");
}

void TestAutostartEntry::programPathIsOneExecArgument_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec"); // empty: refused
    QTest::newRow("plain") << "/usr/bin/larkwatch" << "Exec=/usr/bin/larkwatch";
    QTest::newRow("blank") << "/opt/Lark Watch/larkwatch" << "Exec=\"/opt/Lark Watch/larkwatch\"";
    QTest::newRow("shell characters")
        << "/home/u/$HOME/a\"b`c\\d/larkwatch"
        << "Exec=\"/home/u/\\\\$HOME/a\\\\\"b\\\\`c\\\\\\\\d/larkwatch\"";
    QTest::newRow("percent sign") << "/home/u/100%/larkwatch" << "Exec=/home/u/100%%/larkwatch";
    QTest::newRow("non-ASCII") << "/home/jürgen/bin/larkwatch" << "Exec=/home/jürgen/bin/larkwatch";
    QTest::newRow("line break") << "/tmp/a\nExec=evil" << "";
    QTest::newRow("empty") << "" << "";
}

// The whole entry for a plain path; for the others its Exec line, and the
// desktop's validator accepts every entry written.
void TestAutostartEntry::programPathIsOneExecArgument() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const QString text = AutostartEntryText(program);
    if (exec.isEmpty()) {
        QCOMPARE(text, QString());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Larkwatch: no autostart entry"));
        QVERIFY(!SetAutostart(true, program));
        QVERIFY(!QFile::exists(AutostartEntryFile()));
        return;
    }
    QCOMPARE(text, QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Larkwatch\n"
                                  "Comment=Watch POP3 mailboxes for new mail\n"
                                  "%1\n"
                                  "Icon=larkwatch\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n")
                       .arg(exec));
    QVERIFY(SetAutostart(true, program));
    QCOMPARE(contents(AutostartEntryFile()), text);
    const QString complaints = validatorComplaints(AutostartEntryFile());
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints));
}

void TestAutostartEntry::writtenAndRemoved() {
    const QString file = AutostartEntryFile();
    // Off with no entry: nothing to do, and no folder made.
    QVERIFY(SetAutostart(false, "/usr/bin/larkwatch"));
    QVERIFY(!QFile::exists(m_config->path() + "/autostart"));
    // On: the folder is made; on again replaces the entry.
    QVERIFY(SetAutostart(true, "/usr/bin/larkwatch"));
    QVERIFY(SetAutostart(true, "/opt/larkwatch"));
    QCOMPARE(contents(file), AutostartEntryText("/opt/larkwatch"));
    QVERIFY(SetAutostart(false, "/opt/larkwatch"));
    QVERIFY(!QFile::exists(file));

    // An autostart folder that cannot be made is reported, not passed over.
    QVERIFY(QDir(m_config->path() + "/autostart").removeRecursively());
    QFile blocker(m_config->path() + "/autostart");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Larkwatch: autostart entry .* not written"));
    QVERIFY(!SetAutostart(true, "/usr/bin/larkwatch"));
}

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "test_autostart_entry.moc"
