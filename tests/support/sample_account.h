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
