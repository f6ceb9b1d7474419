#pragma once

#include <QString>

// The general options of section "Config", held in memory for the whole run.
struct GeneralOptions {
    qint32 PoolingTime = 5; // minutes between two passes
    bool AutoExpand = true;
    bool AutoDialog = true;
    QString DialogMessage = QStringLiteral("You have # new message[s]");
    bool PlayWav = false;
    bool RandomPlayWAV = false;
    QString WavFile;
    QString WavFolder;
    bool RunInTray = true;
    bool AutoMarkRead = false;
    bool AutoExit = false;
    bool AutoMin = false;
    QString LogFilesPath; // always ends with "/" when set by the Log File dialog
    bool LogDisabled = true;
    bool LogAllInOne = true;
};
