#include "app/remote_client.h"

#include "app/dbus_service.h"
#include "engine/scheduler.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr int kCallTimeoutMs = 10000;

bool running(const QDBusConnection& bus) {
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(DBusService::kService).value();
}

// One call of the running program's interface; the reply, or an error message.
QDBusMessage call(const QDBusConnection& bus, const QString& method) {
    const QDBusMessage message = QDBusMessage::createMethodCall(
        DBusService::kService, DBusService::kPath, DBusService::kInterface, method);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

int notRunning(QTextStream& err) {
    err << "Larkwatch is not running.\n";
    err.flush();
    return RemoteClient::kNotRunning;
}

int failed(const QDBusMessage& reply, QTextStream& err) {
    err << "larkwatch: " << reply.errorMessage() << '\n';
    err.flush();
    return 1;
}

void printText(const QJsonObject& status, QTextStream& out) {
    for (const QJsonValue& value : status.value(QStringLiteral("accounts")).toArray()) {
        const QJsonObject account = value.toObject();
        out << account.value(QStringLiteral("status")).toString() << '\n';
        for (const QJsonValue& message : account.value(QStringLiteral("messages")).toArray())
            out << "  " << message.toObject().value(QStringLiteral("text")).toString() << '\n';
    }
    out << "New mail: " << status.value(QStringLiteral("newMailCount")).toInt() << '\n';
    if (status.value(QStringLiteral("checking")).toBool())
        out << "Checking now\n";
    else if (status.value(QStringLiteral("suspended")).toBool())
        out << "Monitoring suspended\n";
    else
        out << "Next check in "
            << CountdownText(status.value(QStringLiteral("secondsLeft")).toInt()) << '\n';
}
} // namespace

int RemoteClient::Status(bool json, QTextStream& out, QTextStream& err) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!running(bus))
        return notRunning(err);
    const QDBusMessage reply = call(bus, QStringLiteral("GetStatus"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return failed(reply, err);
    const QString text = reply.arguments().first().toString();
    const QJsonObject status = QJsonDocument::fromJson(text.toUtf8()).object();
    if (json)
        out << QJsonDocument(status).toJson(QJsonDocument::Indented);
    else
        printText(status, out);
    out.flush();
    return 0;
}

int RemoteClient::CheckNow(QTextStream& out, QTextStream& err) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!running(bus))
        return notRunning(err);
    const QDBusMessage reply = call(bus, QStringLiteral("CheckNow"));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return failed(reply, err);
    out << "A check has started.\n";
    out.flush();
    return 0;
}
