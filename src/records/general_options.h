#pragma once

#include "records/settings_keys.h"

#include <QString>

// The general options of section "Config", held in memory for the whole run.
// Each starts at its key's default.
struct GeneralOptions {
    qint32 PoolingTime = qint32(ConfigKeys::PoolingTime.Default); // minutes between two passes
    bool AutoExpand = ConfigKeys::AutoExpand.Default;
    bool AutoDialog = ConfigKeys::AutoDialog.Default;
    QString DialogMessage = DefaultText(ConfigKeys::DialogMessage);
    bool PlayWav = ConfigKeys::PlayWav.Default;
    bool RandomPlayWAV = ConfigKeys::RandomPlayWAV.Default;
    QString WavFile = DefaultText(ConfigKeys::WavFile);
    QString WavFolder = DefaultText(ConfigKeys::WavFolder);
    bool RunInTray = ConfigKeys::RunInTray.Default;
    bool AutoMarkRead = ConfigKeys::AutoMarkRead.Default;
    bool AutoExit = ConfigKeys::AutoExit.Default;
    bool AutoMin = ConfigKeys::AutoMin.Default;
    // Always ends with "/" when set by the Log File dialog; the state object
    // sets the default, which lies in its data folder.
    QString LogFilesPath;
    bool LogDisabled = ConfigKeys::LogDisabled.Default;
    bool LogAllInOne = ConfigKeys::LogAllInOne.Default;
    bool TrayCount = ConfigKeys::TrayCount.Default;
    bool Autostart = ConfigKeys::Autostart.Default;
    bool DesktopNotify = ConfigKeys::DesktopNotify.Default;
    bool Keyring = ConfigKeys::Keyring.Default;
};

// The log folder used while none is stored: "Logs/" in the data folder.
inline QString DefaultLogFilesPath(const QString& dataFolder) {
    return dataFolder + DefaultText(ConfigKeys::LogFilesPath);
}
