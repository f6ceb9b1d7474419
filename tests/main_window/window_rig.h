#pragma once

#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/sample_account.h"
#include "support/temp_state.h"

#include <QAction>

#include <memory>

// The real window, loaded, over one account "Home" (ann, "secret") on a fake
// POP3 server on loopback at `port`; settings and data in a temporary folder.
struct WindowRig {
    explicit WindowRig(quint16 port) {
        t.State->Accounts = {FakeServerAccount("Home", port)};
        SaveAccounts(*t.State);
        window = std::make_unique<MainWindow>(*t.State);
        window->Form_Load();
    }
    QAction* Action(const char* name) const { return window->Menus().Action(name); }
    QString Key() const { return t.State->Account(1).NodeKey; }

    TempState t;
    std::unique_ptr<MainWindow> window;
};
