#include "support/dovecot_fixture.h"

#include <QFile>
#include <QRegularExpression>

DovecotFixture DovecotFixture::Load() {
    DovecotFixture fixture;
    const QString path = qEnvironmentVariable("LARKWATCH_DOVECOT_ENV");
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
