#pragma once

class AppState;

// Filter rules and the To-field settings in section "Filters"; WAV actions in
// section "Actions".
void LoadFilters(AppState& state);
void LoadWavActions(AppState& state);
// Writes the count, "AutoPrompt" and every rule; not "UseFieldTO"/"FilterTO",
// which the Filter dialog writes itself.
void SaveFilters(AppState& state);
void SaveWavActions(AppState& state);
