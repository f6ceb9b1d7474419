#include "engine/discovery/autoconfig_document.h"

#include "records/mail_account.h"

#include <QList>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

struct ServerEntry {
    QString Host;
    QString Port;
    QString SocketType;
    QString User;
    QStringList Authentications;
};

// The entry's child elements up to its end tag.
ServerEntry readServer(QXmlStreamReader& xml) {
    ServerEntry entry;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        if (name == QLatin1String("hostname"))
            entry.Host = text;
        else if (name == QLatin1String("port"))
            entry.Port = text;
        else if (name == QLatin1String("socketType"))
            entry.SocketType = text;
        else if (name == QLatin1String("username"))
            entry.User = text;
        else if (name == QLatin1String("authentication"))
            entry.Authentications.append(text);
    }
    return entry;
}

int portOf(const QString& text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    const bool digitsOnly =
        !text.isEmpty() && text.size() <= 5 &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    return ok && digitsOnly && port >= 1 && port <= 65535 ? port : 0;
}

QString userOf(const QString& pattern, const MailAddress& address) {
    QString user = pattern;
    user.replace(QStringLiteral("%EMAILADDRESS%"), address.Text)
        .replace(QStringLiteral("%EMAILLOCALPART%"), address.LocalPart)
        .replace(QStringLiteral("%EMAILDOMAIN%"), address.Domain);
    const bool printable = std::none_of(
        user.begin(), user.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
    return printable && !user.contains(QLatin1Char('%')) ? user : QString();
}

bool oauthOnly(const QStringList& authentications) {
    return authentications.contains(QStringLiteral("OAuth2"), Qt::CaseInsensitive) &&
           !authentications.contains(QStringLiteral("password-cleartext"), Qt::CaseInsensitive) &&
           !authentications.contains(QStringLiteral("password-encrypted"), Qt::CaseInsensitive);
}

} // namespace

std::optional<FoundSettings> ReadAutoconfigDocument(const QByteArray& document,
                                                    const MailAddress& address) {
    if (document.size() > kAutoconfigMaxBytes)
        return std::nullopt;
    QList<ServerEntry> entries;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("incomingServer") &&
            xml.attributes().value(QLatin1String("type")) == QLatin1String("pop3"))
            entries.append(readServer(xml));
    }
    if (xml.hasError())
        return std::nullopt;

    for (const char* socketType : {"SSL", "STARTTLS"}) {
        for (const ServerEntry& entry : entries) {
            const int port = portOf(entry.Port);
            if (entry.SocketType.compare(QLatin1String(socketType), Qt::CaseInsensitive) != 0 ||
                !IsHostName(entry.Host) || port == 0)
                continue;
            FoundSettings found;
            found.Found = true;
            found.Source = SettingsSource::PublishedConfig;
            found.Host = entry.Host;
            found.Port = port;
            found.Security = qstrcmp(socketType, "SSL") == 0 ? Security::Tls : Security::StartTls;
            const QString user = userOf(entry.User, address);
            found.User = user == address.Text ? QString() : user;
            if (oauthOnly(entry.Authentications))
                found.SignIn = SignInMethod::OAuth2;
            return found;
        }
    }
    return std::nullopt;
}
