#pragma once

#include <QString>
#include <optional>

// An e-mail address taken apart: the part before the "@" and the domain,
// the domain in lower case.
struct MailAddress {
    QString Text; // the whole address as given
    QString LocalPart;
    QString Domain;
};

// The address in `text` (leading and trailing blanks ignored): exactly one
// "@" with something before it and a host name after it. Anything else is
// no address, and nothing is looked up for it.
std::optional<MailAddress> SplitMailAddress(const QString& text);

// True for a DNS host name: dot-separated labels of letters, digits and
// inner hyphens, each at most 63 characters, 253 in all; one trailing dot
// allowed. Names from the network are checked with it before use.
bool IsHostName(const QString& name);
