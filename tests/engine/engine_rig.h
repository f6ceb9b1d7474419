#pragma once

#include "engine/mail_engine.h"
#include "engine/pop/pop_client.h"
#include "engine/scheduler.h"
#include "records/app_state.h"
#include "support/checked_tree_model.h"
#include "support/fake_pop3_server.h"
#include "support/recording_monitor_host.h"
#include "support/sample_account.h"

#include <QTimer>

// A window stand-in that also keeps the order of the menu and pointer calls.
class OrderRecordingHost : public RecordingMonitorHost {
public:
    void SetTopMenusEnabled(bool enabled) override {
        RecordingMonitorHost::SetTopMenusEnabled(enabled);
        MenuStates.append(enabled);
    }
    void SetBusyCursor(bool busy) override {
        RecordingMonitorHost::SetBusyCursor(busy);
        BusyStates.append(busy);
    }
    QList<bool> MenuStates;
    QList<bool> BusyStates;
};

// The engine and scheduler of one program run over a given state, as the
// window wires them, with no window; the tree runs under the model checker.
struct EngineRig {
    explicit EngineRig(AppState& s) : state(s) {
        pop.ConnectTimeoutMs = 5000;
        pop.CommandTimeoutMs = 5000;
    }

    AppState& state;
    CheckedTreeModel tree;
    PopClient pop;
    OrderRecordingHost host;
    MailEngine engine{state, tree, pop, host};
    QTimer poolingEvent;
    Scheduler scheduler{state, tree, engine, host, poolingEvent};

    // One timer pass; the countdown it restarts is stopped again so that no
    // tick runs while a later step of the test yields.
    void RunPass() {
        host.MenuStates.clear();
        host.BusyStates.clear();
        scheduler.RunPass();
        poolingEvent.stop();
    }
    QStringList Texts(const QString& accountKey) const {
        QStringList texts;
        for (const QString& key : tree.ChildKeys(accountKey))
            texts.append(tree.Text(key));
        return texts;
    }
    QStringList Images(const QString& accountKey) const {
        QStringList images;
        for (const QString& key : tree.ChildKeys(accountKey))
            images.append(tree.Image(key));
        return images;
    }
    QList<MessageOutcome> Outcomes(const QString& accountKey) const {
        QList<MessageOutcome> outcomes;
        for (const QString& key : tree.ChildKeys(accountKey))
            outcomes.append(engine.Reports.value(key).Outcome);
        return outcomes;
    }
};

// Message `n` of a mailbox `box`: a short mail with its own Message-ID.
inline QByteArray NumberedMail(const QByteArray& box, int n) {
    const QByteArray number = QByteArray::number(n);
    return "From: Sender " + number + " <s" + number + "@example.org>\r\nTo: ann@example.org\r\n" +
           "Subject: " + box + " note " + number + "\r\nMessage-ID: <" + number + "." + box +
           "@example.org>\r\n\r\nBody of " + box + " " + number + ".\r\n";
}

inline void FillMailbox(FakePop3Server& server, const QByteArray& box, int count) {
    for (int n = 1; n <= count; ++n)
        server.AddMessage(NumberedMail(box, n), box + "-uid-" + QByteArray::number(n));
}
