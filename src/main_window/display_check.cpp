#include "main_window/display_check.h"

#include <QGuiApplication>
#include <QtGlobal>

namespace {

const char kPlatformVariable[] = "QT_QPA_PLATFORM";
const QString kFallbackPlatform = QStringLiteral("offscreen");
QtMessageHandler g_previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrncmp(context.category, "qt.qpa", 6) == 0)
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

namespace DisplayCheck {

Preparation PrepareDisplay() {
    if (qEnvironmentVariableIsSet(kPlatformVariable))
        return Preparation::UserChoice;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!x11 && !wayland)
        return Preparation::NoDisplayConfigured;
    // Try the desktop's platforms first; the last entry only lets us notice
    // that none of them could be reached.
    QString platforms = x11 ? QStringLiteral("xcb;") : QString();
    if (wayland)
        platforms += QStringLiteral("wayland;");
    platforms += kFallbackPlatform;
    qputenv(kPlatformVariable, platforms.toUtf8());
    return Preparation::FallbackArmed;
}

bool NoDisplay(Preparation preparation) {
    switch (preparation) {
    case Preparation::NoDisplayConfigured:
        return true;
    case Preparation::UserChoice:
        return false;
    case Preparation::FallbackArmed:
        qunsetenv(kPlatformVariable);
        return QGuiApplication::platformName() == kFallbackPlatform;
    }
    return false;
}

QuietPlatformProbe::QuietPlatformProbe() {
    g_previousHandler = qInstallMessageHandler(quietHandler);
}

QuietPlatformProbe::~QuietPlatformProbe() {
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
}

QString NoDisplayMessage() {
    return QStringLiteral("larkwatch: no graphical display found (DISPLAY/WAYLAND_DISPLAY); "
                          "to check the accounts without one, run: larkwatch --check");
}

} // namespace DisplayCheck
