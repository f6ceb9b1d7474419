#include "app/window_remote.h"

#include "app/pass_report.h"
#include "engine/mail_engine.h"
#include "main_window/main_menus.h"
#include "main_window/main_window.h"
#include "records/app_state.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace {
const QString kUpdateNow = QStringLiteral("mnuUpdateNow");
} // namespace

bool WindowRemote::Checking() const {
    // A check holds the top menus while it talks to a server; a pass keeps
    // Update Now off from its start to its end.
    const MainMenus& menus = m_window.Menus();
    const QAction* updateNow = menus.Action(kUpdateNow);
    return !MainMenus::IsMenuEnabled(menus.Monitoring()) ||
           (!m_window.State().MonitoringSuspended && updateNow && !updateNow->isEnabled());
}

QString WindowRemote::Refusal() const {
    if (Checking())
        return QStringLiteral("Larkwatch is checking for mail.");
    if (QApplication::activeModalWidget() || !m_window.State().NoDialogOpen)
        return QStringLiteral("A Larkwatch dialog is open.");
    return {};
}

QString WindowRemote::CheckNow() {
    if (QString refusal = Refusal(); !refusal.isEmpty())
        return refusal;
    QAction* updateNow = m_window.Menus().Action(kUpdateNow);
    if (m_window.State().MonitoringSuspended || !updateNow->isEnabled())
        return QStringLiteral("Monitoring is suspended.");
    QPointer<QAction> action(updateNow);
    QTimer::singleShot(0, &m_window, [remote = *this, action] {
        // Whatever opened in the meantime wins.
        if (action && action->isEnabled() && remote.Refusal().isEmpty())
            action->trigger();
    });
    return {};
}

void WindowRemote::Show() {
    m_window.ShowInRecordedState();
    m_window.HideSelection();
}

QString WindowRemote::MarkAllRead() {
    if (QString refusal = Refusal(); !refusal.isEmpty())
        return refusal;
    m_window.Engine().MarkAllRead();
    m_window.Tray().SetPicture(TrayPicture::NoNewMail, 0);
    return {};
}

QJsonObject WindowRemote::Status() const {
    const AppState& state = m_window.State();
    return QJsonObject{
        {QStringLiteral("accounts"), PassAccountsJson(state, m_window.Model(), m_window.Engine())},
        {QStringLiteral("newMailCount"), int(state.NewMailCount)},
        {QStringLiteral("secondsLeft"), int(state.SecondsLeft)},
        {QStringLiteral("suspended"), state.MonitoringSuspended},
        {QStringLiteral("checking"), Checking()},
    };
}
