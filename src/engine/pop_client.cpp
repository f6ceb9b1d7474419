#include "engine/pop_client.h"

// Interface only so far: every operation fails at once, as with a server that
// cannot be reached. The protocol engine replaces this.
PopClient::PopClient(QObject* parent) : QObject(parent) {}
PopClient::~PopClient() = default;
void PopClient::Connect() {}
void PopClient::Authenticate() {}
void PopClient::RequestMessageSize(qint16) {}
void PopClient::RetrieveHeaders(qint16) {}
void PopClient::RetrieveMessage(qint16) {}
void PopClient::DeleteMessage(qint16) {}
void PopClient::Quit() {}
void PopClient::Cancel() {}
bool PopClient::Busy() const { return false; }
qint16 PopClient::ConnectionState() const { return ConnectionClosed; }
qint16 PopClient::LogonState() const { return NotConnected; }
qint16 PopClient::MessageCount() const { return 0; }
QString PopClient::LastError() const { return QStringLiteral("Not implemented"); }
QString PopClient::PeerCertificateSHA256() const { return {}; }
