#pragma once

#include <QString>

// The entry that has the desktop start Larkwatch when the user logs in:
// larkwatch.desktop in the autostart folder of the user's configuration
// ($XDG_CONFIG_HOME/autostart/, by default ~/.config/autostart/).
QString AutostartEntryFile();

// The entry's text for the program at programPath; empty when that path
// cannot be written in an entry (a control character in it).
QString AutostartEntryText(const QString& programPath);

// Writes the entry (on) or removes it (off). False, with a warning, when the
// entry could not be written or removed; removing an absent entry succeeds.
bool SetAutostart(bool on, const QString& programPath);
