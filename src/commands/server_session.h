#pragma once

#include <QString>

class PopClient;
struct MailAccount;

// A message command's own connection to the server of one account, on the
// window's POP client. Every wait yields to the event loop until the client
// is idle, so its events reach their handlers; the client ends every
// operation, so no wait lasts for ever.
class ServerSession {
public:
    explicit ServerSession(PopClient& pop) : m_pop(pop) {}

    // Host, port, user name, password, security and trusted certificate; an
    // OAuth2 account logs on with `accessToken` instead of a password.
    void UseAccount(const MailAccount& account, const QString& accessToken = QString());
    // Connect and wait: true when connected and not yet logged on.
    bool Connect();
    // Log on and wait: true when logged on.
    bool Authenticate();
    // Yields until the client is idle.
    void WaitWhileBusy();
    bool LoggedOnAndIdle() const;
    bool ConnectionGone() const;
    // Ends the conversation (Cancel while busy, else QUIT) without waiting.
    void Close();
    // Ends it and waits until the connection is closed.
    void CloseAndWait();

    PopClient& Pop() const { return m_pop; }

private:
    PopClient& m_pop;
};
