#include "engine/discovery/host_names.h"

#include <QRegularExpression>

bool IsHostName(const QString& name) {
    static const QRegularExpression labels(
        QStringLiteral("^(?:[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.)*"
                       "[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.?$"));
    return name.size() <= 253 && labels.match(name).hasMatch();
}

std::optional<MailAddress> SplitMailAddress(const QString& text) {
    const QString address = text.trimmed();
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || address.count(QLatin1Char('@')) != 1)
        return std::nullopt;
    const QString local = address.left(at);
    const QString domain = address.mid(at + 1).toLower();
    if (local.contains(QLatin1Char(' ')) || !IsHostName(domain) ||
        domain.endsWith(QLatin1Char('.')))
        return std::nullopt;
    return MailAddress{address, local, domain};
}
