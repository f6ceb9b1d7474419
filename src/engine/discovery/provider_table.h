#pragma once

#include "engine/discovery/found_settings.h"

#include <optional>

// One provider: the domains of its addresses (separated by blanks), its POP3
// server (none where it offers no POP3), how to sign in and what it needs
// before Larkwatch can watch a mailbox there.
struct ProviderEntry {
    const char* Domains;
    const char* Host; // nullptr: the provider offers no POP3
    int Port;
    const char* Security;
    SignInMethod SignIn;
    const char* OAuthProvider; // "Google", "Microsoft" or ""
    const char* Needs;
};

// The largest providers, as their own help pages give their settings.
extern const ProviderEntry kProviders[];
extern const std::size_t kProviderCount;

// The table's settings for `domain` (lower case), or nothing for a domain it
// does not list.
std::optional<FoundSettings> FromProviderTable(const QString& domain);
