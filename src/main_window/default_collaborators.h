#pragma once

#include "main_window/window_collaborators.h"

class AppState;
class MailEngine;

// The engine's own seen memory and history file.
class EngineMailMemory final : public MailMemory {
public:
    EngineMailMemory(AppState& state, MailEngine& engine) : m_state(state), m_engine(engine) {}
    void LoadHistory() override;
    void AcknowledgeShownMessages() override;
    void SaveHistory() override;
    void MarkAllRead() override;

private:
    AppState& m_state;
    MailEngine& m_engine;
};

// A notification area that shows no icon: the window is never hidden for it,
// since nothing could bring it back.
class IconlessTrayArea final : public TrayArea {
public:
    bool Available() const override;
    void SetInTray(bool) override {}
    void SetPicture(TrayPicture, int) override {}
};

// No new-mail dialog and no sound.
class SilentNewMailNotice final : public NewMailNotice {
public:
    void Show(bool) override {}
    void Close() override {}
};
class SilentSoundOutput final : public SoundOutput {
public:
    void PlaySounds(const QStringList&) override {}
};
