#include "main_window/default_collaborators.h"

#include "engine/history_file.h"
#include "engine/mail_engine.h"

void EngineMailMemory::LoadHistory() {
    ::LoadHistory(m_state);
}

void EngineMailMemory::AcknowledgeShownMessages() {
    m_engine.AcknowledgeShownMessages();
}

void EngineMailMemory::SaveHistory() {
    ::SaveHistory(m_state);
}

void EngineMailMemory::MarkAllRead() {
    m_engine.MarkAllRead();
}

bool IconlessTrayArea::Available() const {
    // No icon of ours is shown, so nothing could bring a hidden window back.
    return false;
}
