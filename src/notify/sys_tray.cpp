#include "notify/sys_tray.h"

#include "main_window/larkwatch_icons.h"
#include "notify/tray_pictures.h"

#include <QSystemTrayIcon>
#include <QTextDocument>

namespace {
// The icon identifier the mouse events carry; the program has one icon.
constexpr qint32 kIconId = 0;
constexpr int kWatchIntervalMs = 2000;

// Tool tips may be taken for rich text; the tip is always shown as it reads.
QString plainToolTip(const QString& tip) {
    return Qt::mightBeRichText(tip)
               ? QStringLiteral("<qt>") + tip.toHtmlEscaped() + QStringLiteral("</qt>")
               : tip;
}
} // namespace

SysTray::SysTray(QObject* parent)
    : QObject(parent), m_trayIcon(new QSystemTrayIcon(this)),
      m_icon(LarkwatchIcons::ApplicationIcon()), m_tip(QStringLiteral("Larkwatch")) {
    setObjectName(QStringLiteral("cSysTray"));
    m_trayIcon->setIcon(m_icon);
    m_trayIcon->setToolTip(plainToolTip(m_tip));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    Q_EMIT MouseDown(1, kIconId);
                    Q_EMIT MouseUp(1, kIconId);
                    break;
                case QSystemTrayIcon::Context:
                    Q_EMIT MouseDown(2, kIconId);
                    Q_EMIT MouseUp(2, kIconId);
                    break;
                case QSystemTrayIcon::DoubleClick:
                    Q_EMIT MouseDblClick(1, kIconId);
                    break;
                default: // the middle button and the rest raise nothing
                    break;
                }
            });
    m_watch.setInterval(kWatchIntervalMs);
    connect(&m_watch, &QTimer::timeout, this, &SysTray::WatchArea);
}

SysTray::~SysTray() {
    // The icon leaves the notification area with the control.
    if (m_inTray)
        SetInTray(false);
}

bool SysTray::DesktopHasArea() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SysTray::SetInTray(bool Show) {
    if (Show == m_inTray)
        return;
    if (Show) {
        m_areaSeen = DesktopHasArea();
        ShowIcon();
        m_watch.start();
    } else {
        m_watch.stop();
        if (m_iconAdded) {
            m_trayIcon->hide();
            m_iconAdded = false;
        }
    }
    m_inTray = Show;
}

void SysTray::ShowIcon() {
    // Only where there is an area to show it in; the watch adds it when one
    // appears later.
    if (m_iconAdded || !m_areaSeen)
        return;
    m_trayIcon->show();
    m_iconAdded = true;
}

void SysTray::WatchArea() {
    const bool present = DesktopHasArea();
    if (present == m_areaSeen)
        return;
    m_areaSeen = present;
    if (present) {
        ShowIcon();
    } else if (m_iconAdded) {
        m_trayIcon->hide();
        m_iconAdded = false;
    }
    Q_EMIT AvailabilityChanged(Available());
}

bool SysTray::Available() const {
    return m_inTray && m_iconAdded && DesktopHasArea();
}

void SysTray::SetTrayIcon(const QIcon& Icon) {
    if (Icon.isNull())
        return;
    m_icon = Icon;
    m_trayIcon->setIcon(m_icon);
}

void SysTray::SetTrayTip(const QString& Tip) {
    m_tip = Tip.left(kMaxTipLength);
    m_trayIcon->setToolTip(plainToolTip(m_tip));
}

void SysTray::SetPicture(TrayPicture picture, int newMessages) {
    SetTrayIcon(TrayPictures::Icon(picture, newMessages));
}
