// How long an account check of a large mailbox takes over a slow link, with
// and without the POP client's speed-ups, and how much it reads.
//
//   bench_pop_check [messages (1000)] [delay per reply in ms (25)]
//
// The fake server answers every command after the delay, as a distant server
// would. The check is driven as the account check drives the client: for
// each message the size, then the header fields, each call awaited.

#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "support/fake_pop3_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

QByteArray MakeMessage(int n) {
    // Header fields of the size real mail carries (relays, authentication).
    QByteArray m;
    const QByteArray id = QByteArray::number(n);
    for (int hop = 0; hop < 4; ++hop) {
        m += "Received: from relay" + QByteArray::number(hop) + ".example.net (relay" +
             QByteArray::number(hop) + ".example.net [198.51.100." + QByteArray::number(hop) +
             "])\r\n\tby mx.example.com (Postfix) with ESMTPS id 4Tz" + id +
             "\r\n\tfor <ann@example.com>; Mon, 18 Mar 2024 10:00:00 +0100 (CET)\r\n";
    }
    m += "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.org; s=mail;\r\n"
         "\th=from:to:subject:date:message-id; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
         "\tb=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBidXQgaXQgaGFzIHRoZSBzaXplIG9mIG9uZQ==\r\n";
    m += "Date: Mon, 18 Mar 2024 10:00:00 +0100\r\n";
    m += "From: =?UTF-8?Q?Sender_M=C3=BCller_" + id + "?= <sender" + id + "@example.org>\r\n";
    m += "To: Ann <ann@example.com>\r\n";
    m += "Subject: Weekly report number " + id + "\r\n";
    m += "Message-ID: <" + id + ".bench@example.org>\r\n";
    m += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int line = 0; line < 40; ++line)
        m += "Body text line " + QByteArray::number(line) + " of message " + id + ".\r\n";
    return m;
}

struct PassResult {
    qint64 Ms = 0;
    qint64 Bytes = 0;
    QStringList Lines; // what the check would show per message
    bool Ok = true;
};

bool Await(PopClient& client) {
    return WaitUntilIdle(client, 120000);
}

PassResult CheckAccount(PopClient& client) {
    PassResult result;
    qint32 size = 0;
    QString subject;
    auto onSize = QObject::connect(&client, &PopClient::MessageSize, [&](qint32 s) { size = s; });
    auto onDoc = QObject::connect(&client, &PopClient::DocOutput, [&](const PopDocument& d) {
        subject.clear();
        for (const HeaderField& f : d.Headers) {
            if (f.Name == QLatin1String("Subject"))
                subject = f.Value;
        }
    });
    const qint64 bytesBefore = client.BytesRead();
    QElapsedTimer timer;
    timer.start();
    client.Connect();
    result.Ok = Await(client) && client.LogonState() == PopClient::Connected;
    client.Authenticate();
    result.Ok = result.Ok && Await(client) && client.LogonState() == PopClient::LoggedOn;
    for (qint16 i = 1; result.Ok && i <= client.MessageCount(); ++i) {
        size = -1;
        client.RequestMessageSize(i);
        Await(client);
        subject.clear();
        client.RetrieveHeaders(i);
        Await(client);
        result.Lines << QStringLiteral("#%1 %2 %3").arg(i).arg(size).arg(subject);
    }
    client.Quit();
    Await(client);
    result.Ms = timer.elapsed();
    result.Bytes = client.BytesRead() - bytesBefore;
    QObject::disconnect(onSize);
    QObject::disconnect(onDoc);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int messages = args.size() > 1 ? args.at(1).toInt() : 1000;
    const int delay = args.size() > 2 ? args.at(2).toInt() : 25;

    FakePop3Server server;
    if (!server.Listen()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    server.ReplyDelayMs = delay;
    for (int n = 1; n <= messages; ++n)
        server.AddMessage(MakeMessage(n));

    auto setUp = [&](PopClient& client, bool speedUps) {
        client.ServerHost = QStringLiteral("127.0.0.1");
        client.ServerPort = server.Port();
        client.UserName = QStringLiteral("ann");
        client.UserPassword = QStringLiteral("secret");
        client.SpeedUps = speedUps;
    };
    std::printf("Mailbox: %d messages, %d ms per reply\n", messages, delay);
    std::fflush(stdout);

    PopClient plain;
    setUp(plain, false);
    const PassResult without = CheckAccount(plain);
    std::printf("Without speed-ups: %8.2f s, %10lld bytes read\n", without.Ms / 1000.0,
                static_cast<long long>(without.Bytes));
    std::fflush(stdout);

    PopClient fast;
    setUp(fast, true);
    const PassResult with = CheckAccount(fast);
    std::printf("With speed-ups:    %8.2f s, %10lld bytes read\n", with.Ms / 1000.0,
                static_cast<long long>(with.Bytes));
    const PassResult repeat = CheckAccount(fast);
    std::printf("Repeat pass:       %8.2f s, %10lld bytes read\n", repeat.Ms / 1000.0,
                static_cast<long long>(repeat.Bytes));

    const double ratio = with.Ms > 0 ? double(without.Ms) / double(with.Ms) : 0.0;
    const double share = with.Bytes > 0 ? 100.0 * double(repeat.Bytes) / double(with.Bytes) : 0.0;
    std::printf("Speed-up: %.1fx (aim: at least 10x)\n", ratio);
    std::printf("Repeat pass reads %.2f%% of the first pass's bytes (aim: under 5%%)\n", share);

    const bool same = without.Ok && with.Ok && repeat.Ok && without.Lines == with.Lines &&
                      with.Lines == repeat.Lines && with.Lines.size() == messages;
    std::printf("Outcomes identical in all passes: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}
