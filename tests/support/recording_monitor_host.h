#pragma once

#include "engine/monitor_host.h"

#include <QStringList>
#include <functional>

// A window stand-in that records what the engine asks of it.
class RecordingMonitorHost : public MonitorHost {
public:
    void SetTopMenusEnabled(bool enabled) override { MenusEnabled = enabled; }
    void SetBusyCursor(bool busy) override { BusyPointer += busy ? 1 : -1; }
    void SetCaption(const QString& caption) override { Caption = caption; }
    void SetTimeLeftText(const QString& text) override { TimeLeft = text; }
    void SetTrayPicture(TrayPicture picture) override { TrayPictures.append(int(picture)); }
    bool IsMinimized() const override { return Minimized; }
    void BringBackWindow() override { ++BringBacks; }
    void HideSelection() override {}
    void SetUpdateNowEnabled(bool enabled) override { UpdateNowEnabled = enabled; }
    void UpdateMenus() override { ++MenuUpdates; }
    void ShowNewMailDialog(bool focus) override { DialogCalls.append(focus); }
    void AnnounceNewMail() override {}
    void PlaySounds(const QStringList& files) override {
        Sounds.append(files);
        if (WhileSoundsPlay)
            WhileSoundsPlay();
    }
    void CloseProgram() override { ++CloseRequests; }

    bool Minimized = false;
    int BringBacks = 0;
    bool MenusEnabled = true;
    int BusyPointer = 0;
    QString Caption;
    QString TimeLeft;
    QList<int> TrayPictures;
    bool UpdateNowEnabled = true;
    int MenuUpdates = 0;
    QList<bool> DialogCalls;
    QList<QStringList> Sounds;
    // Runs inside PlaySounds, as the user's input does while a player waits.
    std::function<void()> WhileSoundsPlay;
    int CloseRequests = 0;
};
