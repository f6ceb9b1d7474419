#pragma once

#include "records/mail_account.h"

// An account whose fields all follow from its title: host
// "<title in lower case>.example.org", user "user-<title>".
inline MailAccount SampleAccount(const QString& title, const QString& password = "secret",
                                 qint32 port = 110) {
    MailAccount a;
    a.Title = title;
    a.Host = title.toLower() + ".example.org";
    a.User = "user-" + title;
    a.Password = password;
    a.Port = port;
    return a;
}

// An account "ann" (password "secret") on a fake POP3 server on loopback at
// `port`; with an empty node key the account gets one when it is loaded.
inline MailAccount FakeServerAccount(const QString& title, const QString& nodeKey, quint16 port) {
    MailAccount a;
    a.Title = title;
    a.Host = QStringLiteral("127.0.0.1");
    a.Port = port;
    a.User = QStringLiteral("ann");
    a.Password = QStringLiteral("secret");
    a.NodeKey = nodeKey;
    return a;
}
inline MailAccount FakeServerAccount(const QString& title, quint16 port) {
    return FakeServerAccount(title, QString(), port);
}
