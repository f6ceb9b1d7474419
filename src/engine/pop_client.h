#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One header field as the server sent it: name as given, value unfolded and
// decoded to Unicode.
struct HeaderField {
    QString Name;
    QString Value;
};

// What a header or message request delivers through PopClient::DocOutput.
class PopDocument {
public:
    enum : qint16 { HeadersReady = 2, DataReady = 3, Failed = 4 };
    qint16 State = Failed;
    QList<HeaderField> Headers; // State 2
    // State 3: the chunk of readable text this event carries.
    QString GetData() const { return m_data; }
    void SetData(const QString& data) { m_data = data; }

private:
    QString m_data;
};

// Larkwatch's asynchronous POP3 client. A caller sets the properties, starts an
// operation, yields to the event loop until Busy() is false, and reads
// ConnectionState() and LogonState() for the outcome. Events are emitted from
// the event loop, never from inside a call.
class PopClient : public QObject {
    Q_OBJECT
public:
    enum : qint16 { ConnectionIdle = 4, ConnectionClosed = 6 };
    enum : qint16 { NotConnected = 0, Connected = 1, LoggedOn = 2 };

    explicit PopClient(QObject* parent = nullptr);
    ~PopClient() override;

    QString ServerHost;
    qint32 ServerPort = 110;
    QString UserName;
    QString UserPassword;
    QString Security = QStringLiteral("None"); // "None", "STARTTLS", "TLS"
    QString CertSHA256;                         // pinned certificate, may be empty

    void Connect();
    void Authenticate();
    void RequestMessageSize(qint16 number);
    void RetrieveHeaders(qint16 number);
    void RetrieveMessage(qint16 number);
    void DeleteMessage(qint16 number);
    void Quit();
    void Cancel();

    bool Busy() const;
    qint16 ConnectionState() const;
    qint16 LogonState() const;
    qint16 MessageCount() const;
    QString LastError() const;
    QString PeerCertificateSHA256() const;

Q_SIGNALS:
    void MessageSize(qint32 size);
    void Delete();
    void DocOutput(const PopDocument& document);
};
