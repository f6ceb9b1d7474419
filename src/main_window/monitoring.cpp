#include "main_window/monitoring.h"

#include "engine/history_file.h"
#include "engine/mail_engine.h"
#include "engine/scheduler.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"

#include <QAction>

Monitoring::Monitoring(MainWindow& window)
    : m_window(window),
      m_engine(std::make_unique<MailEngine>(window.State(), window.Model(), window.POP(), *this)),
      m_scheduler(std::make_unique<Scheduler>(window.State(), window.Model(), *m_engine, *this,
                                              window.PoolingEvent())) {
    AppState& state = window.State();
    MainWindowHooks& hooks = window.Hooks;
    hooks.LoadHistory = [&state] { LoadHistory(state); };
    hooks.AcknowledgeShownMessages = [this] { m_engine->AcknowledgeShownMessages(); };
    hooks.SaveHistory = [&state] { SaveHistory(state); };
    hooks.MarkAllRead = [this] { m_engine->MarkAllRead(); };
    hooks.PoolingEventTick = [this] { m_scheduler->PoolingEvent_Timer(); };

    const MainMenus& menus = window.Menus();
    auto onTrigger = [&](const char* name, void (Scheduler::*command)()) {
        if (QAction* action = menus.Action(QLatin1String(name)))
            connect(action, &QAction::triggered, this,
                    [this, command] { (m_scheduler.get()->*command)(); });
    };
    onTrigger("mnuUpdateNow", &Scheduler::mnuUpdateNow_Click);
    onTrigger("mnuSuspend", &Scheduler::mnuSuspend_Click);
    onTrigger("mnuResume", &Scheduler::mnuResume_Click);
}

Monitoring::~Monitoring() = default;

void Monitoring::SetTopMenusEnabled(bool enabled) {
    m_window.SetTopMenusEnabled(enabled);
}

void Monitoring::SetBusyCursor(bool busy) {
    m_window.SetBusyCursor(busy);
}

void Monitoring::SetCaption(const QString& caption) {
    m_window.SetCaption(caption);
}

void Monitoring::SetTimeLeftText(const QString& text) {
    m_window.SetTimeLeftText(text);
}

void Monitoring::SetTrayPicture(int picture) {
    if (m_window.Hooks.SetTrayPicture)
        m_window.Hooks.SetTrayPicture(picture);
}

bool Monitoring::IsMinimized() const {
    return m_window.IsMinimized();
}

void Monitoring::BringBackWindow() {
    m_window.ShowInRecordedState();
}

void Monitoring::HideSelection() {
    m_window.HideSelection();
}

void Monitoring::SetUpdateNowEnabled(bool enabled) {
    m_window.SetUpdateNowEnabled(enabled);
}

void Monitoring::UpdateMenus() {
    m_window.UpdateMenus();
}

void Monitoring::CloseProgram() {
    m_window.Unload();
}
