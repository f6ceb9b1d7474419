#pragma once

#include "engine/discovery/srv_step.h"

#include <QHash>
#include <QStringList>
#include <QTimer>

// Answers SRV questions from a table of names, from the event loop as a
// resolver does; a name not in the table has no records.
class FakeSrvAnswerer : public SrvAnswerer {
public:
    QHash<QString, QList<SrvRecord>> Records;
    QStringList Asked;

    void Ask(const QString& name, QObject* context,
             std::function<void(const QList<SrvRecord>&)> done) override {
        Asked.append(name);
        QTimer::singleShot(0, context, [done, records = Records.value(name)] { done(records); });
    }
};
