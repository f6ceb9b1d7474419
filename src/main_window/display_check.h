#pragma once

#include <QString>

// Larkwatch needs a graphical desktop. Without one the toolkit would abort
// with its own message; these say it plainly in one line instead.
namespace DisplayCheck {

enum class Preparation {
    NoDisplayConfigured, // neither DISPLAY nor WAYLAND_DISPLAY: nothing to try
    UserChoice,          // QT_QPA_PLATFORM is set: the toolkit does as told
    FallbackArmed,       // the desktop's platforms, then a display-less one
};

// Call before the application object exists. When the user has not chosen a
// platform, makes the toolkit fall back to a display-less one instead of
// aborting, so NoDisplay() can tell afterwards.
Preparation PrepareDisplay();

// After the application object exists: true when no real display was reached.
// Also takes the fallback out of the environment again, so programs started
// from Larkwatch see the user's own setting.
bool NoDisplay(Preparation preparation);

// Silences the toolkit's own complaints about the failed display while the
// application object is made; ends with the object's life.
class QuietPlatformProbe {
public:
    QuietPlatformProbe();
    ~QuietPlatformProbe();
    QuietPlatformProbe(const QuietPlatformProbe&) = delete;
    QuietPlatformProbe& operator=(const QuietPlatformProbe&) = delete;
};

// The one line written to stderr.
QString NoDisplayMessage();

} // namespace DisplayCheck
