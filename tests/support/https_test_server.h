#pragma once

#include <QByteArray>
#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTcpServer>

// A small HTTPS server for tests, on 127.0.0.1 and a free port, with the test
// certificate (made for 127.0.0.1 and localhost; trust Certificate() to
// verify it). It answers GET requests from a table of paths, 404 otherwise,
// one request per connection.
class HttpsTestServer : public QTcpServer {
    Q_OBJECT
public:
    explicit HttpsTestServer(QObject* parent = nullptr);

    bool Listen();
    QString Base() const; // "https://127.0.0.1:PORT"
    QSslCertificate Certificate() const { return m_certificate; }

    // The body served at each path ("/autoconfig.example.org/mail/...").
    QHash<QString, QByteArray> Documents;
    bool Silent = false; // take requests (recorded), never answer them

    QStringList Requested; // paths, in order
    int ConnectionsClosed = 0;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};
