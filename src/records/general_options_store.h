#pragma once

#include <QtGlobal>

class AppState;

// Fills AppState::AppSettings from section "Config", every key with its default.
void LoadGeneralOptions(AppState& state);
// Writes the eleven options the Options dialog edits, then restarts the
// countdown to the next pass with a full interval.
void SaveGeneralOptions(AppState& state);
// PoolingTime minutes as countdown seconds, limited so it fits 32 bits.
qint32 PollSeconds(qint32 minutes);
