#include "support/temp_state.h"

TempState::TempState() : State(Reopen()) {
    State->Random.seed(12345);
}

std::unique_ptr<AppState> TempState::Reopen() const {
    return std::make_unique<AppState>(StatePaths::Under(Dir.path()));
}
