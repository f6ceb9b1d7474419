#include "records/rule_store.h"

#include "records/app_state.h"
#include "records/value_forms.h"

namespace {
const QString kFilters = QStringLiteral("Filters");
const QString kActions = QStringLiteral("Actions");

QString numbered(const char* stem, int n) {
    return QLatin1String(stem) + QString::number(n);
}

void loadRule(const SettingsStore& s, const QString& section, int n, FilterRule& rule) {
    rule.SenderText = s.ReadSetting(section, numbered("SenderText", n), QString());
    rule.SubjectText = s.ReadSetting(section, numbered("SubjectText", n), QString());
    rule.SenderMatch = s.ReadBoolean(section, numbered("SenderMatch", n), true);
    rule.SubjectMatch = s.ReadBoolean(section, numbered("SubjectMatch", n), true);
    rule.AND = s.ReadBoolean(section, numbered("AND", n), true);
    rule.Active = s.ReadBoolean(section, numbered("Disabled", n), false);
}

void saveRule(SettingsStore& s, const QString& section, int n, const FilterRule& rule) {
    using ValueForms::FormatBoolean;
    s.WriteSetting(section, numbered("SenderText", n), rule.SenderText);
    s.WriteSetting(section, numbered("SubjectText", n), rule.SubjectText);
    s.WriteSetting(section, numbered("SenderMatch", n), FormatBoolean(rule.SenderMatch));
    s.WriteSetting(section, numbered("SubjectMatch", n), FormatBoolean(rule.SubjectMatch));
    s.WriteSetting(section, numbered("AND", n), FormatBoolean(rule.AND));
    s.WriteSetting(section, numbered("Disabled", n), FormatBoolean(rule.Active));
}
} // namespace

void LoadFilters(AppState& state) {
    const SettingsStore& s = state.Store;
    const auto count = s.ReadCount(kFilters, QStringLiteral("TotalFilters"));
    state.AutoPrompt = s.ReadBoolean(kFilters, QStringLiteral("AutoPrompt"), true);
    state.FilterList.clear();
    state.FilterList.resize(count);
    for (int n = 1; n <= count; ++n)
        loadRule(s, kFilters, n, state.FilterList[n - 1]);
    state.UseFieldTO = s.ReadBoolean(kFilters, QStringLiteral("UseFieldTO"), false);
    state.FilterTO = s.ReadSetting(kFilters, QStringLiteral("FilterTO"), QString());
}

void LoadWavActions(AppState& state) {
    const SettingsStore& s = state.Store;
    const auto count = s.ReadCount(kActions, QStringLiteral("TotalActions"));
    state.WavActionList.clear();
    state.WavActionList.resize(count);
    for (int n = 1; n <= count; ++n) {
        WavAction& action = state.WavActionList[n - 1];
        loadRule(s, kActions, n, action);
        action.WavFile = s.ReadSetting(kActions, numbered("WavFile", n), QString());
    }
}

void SaveFilters(AppState& state) {
    SettingsStore::Batch batch(state.Store);
    SettingsStore& s = state.Store;
    s.WriteSetting(kFilters, QStringLiteral("TotalFilters"),
                   ValueForms::FormatWhole(state.FilterCount()));
    s.WriteSetting(kFilters, QStringLiteral("AutoPrompt"),
                   ValueForms::FormatBoolean(state.AutoPrompt));
    for (int n = 1; n <= state.FilterCount(); ++n)
        saveRule(s, kFilters, n, state.FilterList[n - 1]);
}

void SaveWavActions(AppState& state) {
    SettingsStore::Batch batch(state.Store);
    SettingsStore& s = state.Store;
    s.WriteSetting(kActions, QStringLiteral("TotalActions"),
                   ValueForms::FormatWhole(state.WavActionCount()));
    for (int n = 1; n <= state.WavActionCount(); ++n) {
        const WavAction& action = state.WavActionList[n - 1];
        saveRule(s, kActions, n, action);
        s.WriteSetting(kActions, numbered("WavFile", n), action.WavFile);
    }
}
