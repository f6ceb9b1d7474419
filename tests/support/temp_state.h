#pragma once

#include "records/app_state.h"

#include <QTemporaryDir>
#include <memory>

// A fresh AppState whose settings file and data folder live in a temporary
// folder that goes away with it.
struct TempState {
    TempState();
    // A second state over the same files, as a restart of the program sees them.
    std::unique_ptr<AppState> Reopen() const;

    QTemporaryDir Dir;
    std::unique_ptr<AppState> State;
};
