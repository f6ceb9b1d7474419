#pragma once

#include "engine/discovery/found_settings.h"
#include "engine/discovery/host_names.h"

#include <QObject>

// One step of the settings look-up. It works in the background once started,
// ends with Done exactly once (settings, the domain's "no POP3", or neither:
// the next step's turn), and stops whatever it has under way when deleted.
class LookupStep : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void Start(const MailAddress& address) = 0;
    // What the step has when its time is up (it is deleted right after).
    virtual FoundSettings AtTimeOut() const { return {}; }

Q_SIGNALS:
    void Done(const FoundSettings& result);
};
