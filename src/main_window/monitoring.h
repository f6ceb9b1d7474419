#pragma once

#include "engine/monitor_host.h"

#include <QObject>
#include <memory>

class MailEngine;
class MainWindow;
class Scheduler;

// Puts the checking engine to work in the main window: the passes on the
// window's PoolingEvent timer, the Monitoring menu's commands, the history
// file at start-up and exit, and acknowledging mail on minimise.
class Monitoring : public QObject, public MonitorHost {
    Q_OBJECT
public:
    // Fills the window's hooks; call before the window's Form_Load.
    explicit Monitoring(MainWindow& window);
    ~Monitoring() override;

    MailEngine& Engine() const { return *m_engine; }
    Scheduler& Passes() const { return *m_scheduler; }

    // MonitorHost
    void SetTopMenusEnabled(bool enabled) override;
    void SetBusyCursor(bool busy) override;
    void SetCaption(const QString& caption) override;
    void SetTimeLeftText(const QString& text) override;
    void SetTrayPicture(int picture) override;
    bool IsMinimized() const override;
    void BringBackWindow() override;
    void HideSelection() override;
    void SetUpdateNowEnabled(bool enabled) override;
    void UpdateMenus() override;
    void CloseProgram() override;

private:
    MainWindow& m_window;
    std::unique_ptr<MailEngine> m_engine;
    std::unique_ptr<Scheduler> m_scheduler;
};
