#include "records/rule_store.h"

#include "records/app_state.h"
#include "records/settings_section.h"

namespace K = RuleKeys;

namespace {
void loadRule(const SectionReader& section, int n, FilterRule& rule) {
    rule.SenderText = section.Read(K::SenderText, n);
    rule.SubjectText = section.Read(K::SubjectText, n);
    rule.SenderMatch = section.Read(K::SenderMatch, n);
    rule.SubjectMatch = section.Read(K::SubjectMatch, n);
    rule.AND = section.Read(K::AND, n);
    rule.Active = section.Read(K::Disabled, n);
}

void saveRule(SectionWriter& section, int n, const FilterRule& rule) {
    section.Write(K::SenderText, rule.SenderText, n);
    section.Write(K::SubjectText, rule.SubjectText, n);
    section.Write(K::SenderMatch, rule.SenderMatch, n);
    section.Write(K::SubjectMatch, rule.SubjectMatch, n);
    section.Write(K::AND, rule.AND, n);
    section.Write(K::Disabled, rule.Active, n);
}
} // namespace

void LoadFilters(AppState& state) {
    const SectionReader filters(state.Store, K::FiltersSection);
    const auto count = filters.Read(K::TotalFilters);
    state.AutoPrompt = filters.Read(K::AutoPrompt);
    state.FilterList.clear();
    state.FilterList.resize(count);
    for (int n = 1; n <= count; ++n)
        loadRule(filters, n, state.FilterList[n - 1]);
    state.UseFieldTO = filters.Read(K::UseFieldTO);
    state.FilterTO = filters.Read(K::FilterTO);
}

void LoadWavActions(AppState& state) {
    const SectionReader actions(state.Store, K::ActionsSection);
    const auto count = actions.Read(K::TotalActions);
    state.WavActionList.clear();
    state.WavActionList.resize(count);
    for (int n = 1; n <= count; ++n) {
        WavAction& action = state.WavActionList[n - 1];
        loadRule(actions, n, action);
        action.WavFile = actions.Read(K::WavFile, n);
    }
}

void SaveFilters(AppState& state) {
    SettingsStore::Batch batch(state.Store);
    SectionWriter filters(state.Store, K::FiltersSection);
    filters.Write(K::TotalFilters, state.FilterCount());
    filters.Write(K::AutoPrompt, state.AutoPrompt);
    for (int n = 1; n <= state.FilterCount(); ++n)
        saveRule(filters, n, state.FilterList[n - 1]);
}

void SaveWavActions(AppState& state) {
    SettingsStore::Batch batch(state.Store);
    SectionWriter actions(state.Store, K::ActionsSection);
    actions.Write(K::TotalActions, state.WavActionCount());
    for (int n = 1; n <= state.WavActionCount(); ++n) {
        const WavAction& action = state.WavActionList[n - 1];
        saveRule(actions, n, action);
        actions.Write(K::WavFile, action.WavFile, n);
    }
}
