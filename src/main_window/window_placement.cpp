#include "main_window/window_placement.h"

#include "records/settings_store.h"
#include "records/value_forms.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kConfig = QStringLiteral("Config");
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
    if (state & Qt::WindowMaximized) {
        store.WriteSetting(kConfig, QStringLiteral("State"), QStringLiteral("2"));
        return;
    }
    const double tx = TwipsPerPixelX(window);
    const double ty = TwipsPerPixelY(window);
    auto twips = [](int pixels, double perPixel) {
        return ValueForms::FormatReal(float(pixels * perPixel));
    };
    SettingsStore::Batch batch(store);
    store.WriteSetting(kConfig, QStringLiteral("Top"), twips(window.y(), ty));
    store.WriteSetting(kConfig, QStringLiteral("Left"), twips(window.x(), tx));
    store.WriteSetting(kConfig, QStringLiteral("Height"), twips(window.height(), ty));
    store.WriteSetting(kConfig, QStringLiteral("Width"), twips(window.width(), tx));
    store.WriteSetting(kConfig, QStringLiteral("State"), QStringLiteral("0"));
}

void Restore(const SettingsStore& store, QWidget& window) {
    const double tx = TwipsPerPixelX(window);
    const double ty = TwipsPerPixelY(window);
    QPoint position = window.pos();
    QSize size = window.size();
    if (const auto top = store.ReadReal(kConfig, QStringLiteral("Top")))
        position.setY(toPixels(*top, ty));
    if (const auto left = store.ReadReal(kConfig, QStringLiteral("Left")))
        position.setX(toPixels(*left, tx));
    if (const auto width = store.ReadReal(kConfig, QStringLiteral("Width")))
        size.setWidth(std::max(1, toPixels(*width, tx)));
    if (const auto height = store.ReadReal(kConfig, QStringLiteral("Height")))
        size.setHeight(std::max(1, toPixels(*height, ty)));
    window.move(position);
    window.resize(size);
    // A placement left on a screen that is gone would put the window out of reach.
    const QRect placed(position, size);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(placed);
    if (!onScreen)
        CenterForm(window);

    const QString stored = store.ReadSetting(kConfig, QStringLiteral("State"), QString());
    if (const auto state = ValueForms::ParseWhole(stored, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max())) {
        // Only the two states a close can leave behind mean anything here; a
        // minimised start is the AutoMin option's business.
        if (*state == 2)
            window.setWindowState(Qt::WindowMaximized);
        else if (*state == 0)
            window.setWindowState(Qt::WindowNoState);
    }
}

} // namespace WindowPlacement

void CenterForm(QWidget& window) {
    const QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window.move(area.x() + (area.width() - window.width()) / 2,
                area.y() + (area.height() - window.height()) / 2);
}
