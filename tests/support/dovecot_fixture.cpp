#include "support/dovecot_fixture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

static QString fixtureEnvFile() {
    return qEnvironmentVariable("LARKWATCH_DOVECOT_ENV");
}

// Runs the fixture script; it works on the maildirs, so it ends quickly even on
// a loaded machine, but gets a generous time.
static QString runScript(const QStringList& arguments) {
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(LARKWATCH_DOVECOT_SCRIPT), arguments);
    if (!script.waitForFinished(120000)) {
        script.kill();
        script.waitForFinished();
        return QStringLiteral("the Dovecot fixture script did not finish: ") +
               arguments.join(QLatin1Char(' '));
    }
    if (script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        return QStringLiteral("the Dovecot fixture script failed: ") +
               arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
               QString::fromLocal8Bit(script.readAll()).trimmed();
    return QString();
}

QString DovecotFixture::RefillMailbox(const QString& user) const {
    return runScript({QStringLiteral("refill"), fixtureEnvFile(), user});
}

QString DovecotFixture::AddMessage(const QString& user, const QString& file) const {
    return runScript({QStringLiteral("add-message"), fixtureEnvFile(), user, file});
}

DovecotFixture DovecotFixture::Load() {
    DovecotFixture fixture;
    const QString path = fixtureEnvFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fixture.Error = QStringLiteral("no Dovecot fixture file at ") + path;
        return fixture;
    }
    static const QRegularExpression line(QStringLiteral("^([A-Za-z0-9_]+)='(.*)'$"));
    for (const QString& text : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch())
            fixture.Values.insert(match.captured(1), match.captured(2));
    }
    fixture.SkipReason = fixture.Value(QStringLiteral("SKIP"));
    if (fixture.SkipReason.isEmpty() && !fixture.Values.contains(QStringLiteral("POP3_PORT")))
        fixture.Error = QStringLiteral("the Dovecot fixture file names no port");
    return fixture;
}
