#include "records/general_options_store.h"

#include "records/app_state.h"
#include "records/settings_section.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kInt32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
} // namespace

void LoadGeneralOptions(AppState& state) {
    namespace K = ConfigKeys;
    const SectionReader config(state.Store, K::Section);
    GeneralOptions& o = state.AppSettings;
    o.AutoMin = config.Read(K::AutoMin);
    o.PoolingTime = qint32(config.Read(K::PoolingTime));
    o.AutoExpand = config.Read(K::AutoExpand);
    o.AutoDialog = config.Read(K::AutoDialog);
    o.DialogMessage = config.Read(K::DialogMessage);
    o.PlayWav = config.Read(K::PlayWav);
    o.RandomPlayWAV = config.Read(K::RandomPlayWAV);
    o.WavFile = config.Read(K::WavFile);
    o.WavFolder = config.Read(K::WavFolder);
    o.RunInTray = config.Read(K::RunInTray);
    o.AutoMarkRead = config.Read(K::AutoMarkRead);
    o.AutoExit = config.Read(K::AutoExit);
    o.LogFilesPath = config.ReadOr(K::LogFilesPath, DefaultLogFilesPath(state.Paths.DataFolder));
    o.LogDisabled = config.Read(K::LogDisabled);
    o.LogAllInOne = config.Read(K::LogAllInOne);
    o.TrayCount = config.Read(K::TrayCount);
    o.Autostart = config.Read(K::Autostart);
    o.DesktopNotify = config.Read(K::DesktopNotify);
    o.Keyring = config.Read(K::Keyring);
}

qint32 PollSeconds(qint32 minutes) {
    const qint64 seconds = qint64(minutes) * 60;
    return qint32(std::clamp<qint64>(seconds, kInt32Min, kInt32Max));
}

void SaveGeneralOptions(AppState& state) {
    const GeneralOptions& o = state.AppSettings;
    {
        namespace K = ConfigKeys;
        SettingsStore::Batch batch(state.Store);
        SectionWriter config(state.Store, K::Section);
        config.Write(K::PoolingTime, o.PoolingTime);
        config.Write(K::AutoExpand, o.AutoExpand);
        config.Write(K::AutoDialog, o.AutoDialog);
        config.Write(K::DialogMessage, o.DialogMessage);
        config.Write(K::PlayWav, o.PlayWav);
        config.Write(K::RandomPlayWAV, o.RandomPlayWAV);
        config.Write(K::WavFile, o.WavFile);
        config.Write(K::WavFolder, o.WavFolder);
        config.Write(K::RunInTray, o.RunInTray);
        config.Write(K::AutoMarkRead, o.AutoMarkRead);
        config.Write(K::AutoExit, o.AutoExit);
        config.Write(K::TrayCount, o.TrayCount);
        config.Write(K::Autostart, o.Autostart);
        config.Write(K::DesktopNotify, o.DesktopNotify);
        config.Write(K::Keyring, o.Keyring);
    }
    // A fresh full interval, whether or not the interval changed.
    state.PollMinutes = o.PoolingTime;
    state.SecondsLeft = PollSeconds(o.PoolingTime);
    if (state.CountdownRestarted)
        state.CountdownRestarted();
}
