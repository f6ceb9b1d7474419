#include "commands/server_session.h"

#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "records/mail_account.h"

void ServerSession::UseAccount(const MailAccount& account, const QString& accessToken) {
    m_pop.ServerHost = account.Host;
    m_pop.ServerPort = account.Port;
    m_pop.UserName = account.User;
    m_pop.UserPassword = account.UsesOAuth() ? accessToken : account.Password;
    m_pop.BearerToken = account.UsesOAuth();
    m_pop.Security = account.Security;
    m_pop.CertSHA256 = account.CertSHA256;
}

void ServerSession::WaitWhileBusy() {
    WaitUntilIdle(m_pop);
}

bool ServerSession::Connect() {
    m_pop.Connect();
    WaitWhileBusy();
    return m_pop.LogonState() == PopClient::Connected &&
           m_pop.ConnectionState() == PopClient::ConnectionIdle;
}

bool ServerSession::Authenticate() {
    m_pop.Authenticate();
    WaitWhileBusy();
    return LoggedOnAndIdle();
}

bool ServerSession::LoggedOnAndIdle() const {
    return ::LoggedOnAndIdle(m_pop);
}

bool ServerSession::ConnectionGone() const {
    return ::ConnectionGone(m_pop);
}

void ServerSession::Close() {
    if (m_pop.Busy())
        m_pop.Cancel();
    else if (m_pop.ConnectionState() != PopClient::ConnectionClosed)
        m_pop.Quit();
}

void ServerSession::CloseAndWait() {
    Close();
    WaitWhileBusy();
}
