#include "notify/tray_commands.h"

#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "notify/sys_tray.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>

TrayCommands::TrayCommands(SysTray& tray, MainWindow& window)
    : QObject(&window), m_tray(tray), m_window(window), m_mnuTimer(new QTimer(&window)) {
    m_mnuTimer->setObjectName(QStringLiteral("mnuTimer"));
    m_mnuTimer->setInterval(100);
    m_mnuTimer->setSingleShot(true);
    connect(m_mnuTimer, &QTimer::timeout, this, &TrayCommands::mnuTimer_Timer);
    connect(&m_tray, &SysTray::MouseUp, this, &TrayCommands::cSysTray_MouseUp);
    connect(&m_tray, &SysTray::AvailabilityChanged, this, &TrayCommands::TrayAvailabilityChanged);
}

void TrayCommands::cSysTray_MouseUp(qint16 Button, qint32) {
    if (Button == 1) {
        m_window.ShowInRecordedState();
        m_window.HideSelection();
    } else if (Button == 2) {
        // Not from inside the icon's own click: the menu opens a moment later.
        m_mnuTimer->start();
    }
}

void TrayCommands::mnuTimer_Timer() {
    m_mnuTimer->stop();
    QMenu* monitoring = m_window.Menus().Monitoring();
    // While a check holds the menus, there is nothing to offer.
    if (!MainMenus::IsMenuEnabled(monitoring))
        return;
    monitoring->popup(QCursor::pos());
}

void TrayCommands::TrayAvailabilityChanged(bool available) {
    if (!available && !m_window.isVisible())
        m_window.ShowInRecordedState();
}
