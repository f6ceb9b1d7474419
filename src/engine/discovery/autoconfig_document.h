#pragma once

#include "engine/discovery/found_settings.h"
#include "engine/discovery/host_names.h"

#include <QByteArray>
#include <optional>

// The largest configuration document read; a longer one is ignored.
inline constexpr qint64 kAutoconfigMaxBytes = 1024 * 1024;

// The POP3 settings of a published mail configuration document
// (config-v1.1.xml): among its incomingServer entries of type "pop3", the
// first over SSL, else the first with STARTTLS; never one in clear. An entry
// whose host name or port is not one is passed over. The user name pattern's
// %EMAILADDRESS%, %EMAILLOCALPART% and %EMAILDOMAIN% are filled in from
// `address`. Nothing for malformed XML or a document with no usable entry.
std::optional<FoundSettings> ReadAutoconfigDocument(const QByteArray& document,
                                                    const MailAddress& address);
