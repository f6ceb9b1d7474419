#include "main_window/window_placement.h"

#include "records/settings_section.h"
#include "records/settings_store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

namespace K = ConfigKeys;
constexpr double kTwipsPerInch = 1440.0;

QScreen* screenOf(const QWidget& window) {
    QScreen* screen = window.screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

int toPixels(float twips, double twipsPerPixel) {
    const double pixels = std::round(double(twips) / twipsPerPixel);
    // Absurd stored numbers must not wrap around into nonsense geometry.
    constexpr double limit = 1 << 24;
    return int(std::clamp(pixels, -limit, limit));
}

// Wayland leaves the position of a window to the compositor: a program can
// neither place its window nor learn where it is.
bool compositorPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

namespace WindowPlacement {

double TwipsPerPixelX(const QWidget& window) {
    const QScreen* screen = screenOf(window);
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

double TwipsPerPixelY(const QWidget& window) {
    const QScreen* screen = screenOf(window);
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

void Save(SettingsStore& store, const QWidget& window) {
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized)
        return;
    SectionWriter config(store, K::Section);
    if (state & Qt::WindowMaximized) {
        config.Write(K::State, K::StateMaximized);
        return;
    }
    const double tx = TwipsPerPixelX(window);
    const double ty = TwipsPerPixelY(window);
    auto twips = [](int pixels, double perPixel) { return float(pixels * perPixel); };
    SettingsStore::Batch batch(store);
    // Where the position is unknown, the one stored (under X11) is kept.
    if (!compositorPlacesWindows()) {
        config.Write(K::Top, twips(window.y(), ty));
        config.Write(K::Left, twips(window.x(), tx));
    }
    config.Write(K::Height, twips(window.height(), ty));
    config.Write(K::Width, twips(window.width(), tx));
    config.Write(K::State, K::StateNormal);
}

void Restore(const SettingsStore& store, QWidget& window) {
    const SectionReader config(store, K::Section);
    const double tx = TwipsPerPixelX(window);
    const double ty = TwipsPerPixelY(window);
    QPoint position = window.pos();
    QSize size = window.size();
    if (const auto top = config.Find(K::Top))
        position.setY(toPixels(*top, ty));
    if (const auto left = config.Find(K::Left))
        position.setX(toPixels(*left, tx));
    if (const auto width = config.Find(K::Width))
        size.setWidth(std::max(1, toPixels(*width, tx)));
    if (const auto height = config.Find(K::Height))
        size.setHeight(std::max(1, toPixels(*height, ty)));
    window.resize(size);
    if (!compositorPlacesWindows()) {
        window.move(position);
        // A placement left on a screen that is gone would put the window out of reach.
        const QRect placed(position, size);
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens())
            onScreen = onScreen || screen->availableGeometry().intersects(placed);
        if (!onScreen)
            CenterForm(window);
    }

    if (const auto state = config.Find(K::State)) {
        // Only the two states a close can leave behind mean anything here; a
        // minimised start is the AutoMin option's business.
        if (*state == K::StateMaximized)
            window.setWindowState(Qt::WindowMaximized);
        else if (*state == K::StateNormal)
            window.setWindowState(Qt::WindowNoState);
    }
}

} // namespace WindowPlacement

void CenterForm(QWidget& window) {
    const QScreen* screen = screenOf(window);
    if (!screen || compositorPlacesWindows())
        return;
    const QRect area = screen->geometry();
    window.move(area.x() + (area.width() - window.width()) / 2,
                area.y() + (area.height() - window.height()) / 2);
}
