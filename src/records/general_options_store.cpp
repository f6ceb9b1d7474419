#include "records/general_options_store.h"

#include "records/app_state.h"
#include "records/value_forms.h"

#include <algorithm>
#include <limits>

namespace {
const QString kConfig = QStringLiteral("Config");
constexpr qint64 kInt32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
} // namespace

void LoadGeneralOptions(AppState& state) {
    const SettingsStore& s = state.Store;
    GeneralOptions& o = state.AppSettings;
    const GeneralOptions defaults;
    auto readBool = [&](const char* key, bool def) {
        return s.ReadBoolean(kConfig, QLatin1String(key), def);
    };
    auto readText = [&](const char* key, const QString& def) {
        return s.ReadSetting(kConfig, QLatin1String(key), def);
    };

    o.AutoMin = readBool("AutoMin", defaults.AutoMin);
    o.PoolingTime = qint32(s.ReadWhole(kConfig, QStringLiteral("PoolingTime"), defaults.PoolingTime,
                                       kInt32Min, kInt32Max));
    o.AutoExpand = readBool("AutoExpand", defaults.AutoExpand);
    o.AutoDialog = readBool("AutoDialog", defaults.AutoDialog);
    o.DialogMessage = readText("DialogMessage", defaults.DialogMessage);
    o.PlayWav = readBool("PlayWav", defaults.PlayWav);
    o.RandomPlayWAV = readBool("RandomPlayWAV", defaults.RandomPlayWAV);
    o.WavFile = readText("WavFile", QString());
    o.WavFolder = readText("WavFolder", QString());
    o.RunInTray = readBool("RunInTray", defaults.RunInTray);
    o.AutoMarkRead = readBool("AutoMarkRead", defaults.AutoMarkRead);
    o.AutoExit = readBool("AutoExit", defaults.AutoExit);
    o.LogFilesPath = readText("LogFilesPath", state.Paths.DataFolder + QStringLiteral("Logs/"));
    o.LogDisabled = readBool("LogDisabled", defaults.LogDisabled);
    o.LogAllInOne = readBool("LogAllInOne", defaults.LogAllInOne);
}

qint32 PollSeconds(qint32 minutes) {
    const qint64 seconds = qint64(minutes) * 60;
    return qint32(std::clamp<qint64>(seconds, kInt32Min, kInt32Max));
}

void SaveGeneralOptions(AppState& state) {
    const GeneralOptions& o = state.AppSettings;
    {
        SettingsStore::Batch batch(state.Store);
        auto writeBool = [&](const char* key, bool value) {
            state.Store.WriteSetting(kConfig, QLatin1String(key), ValueForms::FormatBoolean(value));
        };
        auto writeText = [&](const char* key, const QString& value) {
            state.Store.WriteSetting(kConfig, QLatin1String(key), value);
        };
        writeText("PoolingTime", ValueForms::FormatWhole(o.PoolingTime));
        writeBool("AutoExpand", o.AutoExpand);
        writeBool("AutoDialog", o.AutoDialog);
        writeText("DialogMessage", o.DialogMessage);
        writeBool("PlayWav", o.PlayWav);
        writeBool("RandomPlayWAV", o.RandomPlayWAV);
        writeText("WavFile", o.WavFile);
        writeText("WavFolder", o.WavFolder);
        writeBool("RunInTray", o.RunInTray);
        writeBool("AutoMarkRead", o.AutoMarkRead);
        writeBool("AutoExit", o.AutoExit);
    }
    // A fresh full interval, whether or not the interval changed.
    state.PollMinutes = o.PoolingTime;
    state.SecondsLeft = PollSeconds(o.PoolingTime);
    if (state.CountdownRestarted)
        state.CountdownRestarted();
}
