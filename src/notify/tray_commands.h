#pragma once

#include <QObject>

class MainWindow;
class QTimer;
class SysTray;

// The main window's side of the tray icon, alive as long as the window.
class TrayCommands : public QObject {
    Q_OBJECT
public:
    // The one-shot timer "mnuTimer" is made as the window's child.
    TrayCommands(SysTray& tray, MainWindow& window);

    // Left button: the window back in the state of its Tag, shown, focused.
    // Right button: the Monitoring menu 100 ms later (mnuTimer).
    void cSysTray_MouseUp(qint16 Button, qint32 Id);
    // Pops up the Monitoring menu at the pointer.
    void mnuTimer_Timer();
    QTimer& MenuTimer() const { return *m_mnuTimer; }

private:
    // The notification area has gone: a window hidden in it comes back.
    void TrayAvailabilityChanged(bool available);

    SysTray& m_tray;
    MainWindow& m_window;
    QTimer* m_mnuTimer;
};
