#pragma once

class QWidget;
class SettingsStore;

// The main window's placement in section "Config" (keys in ConfigKeys): Top,
// Left, Width, Height in twips (1/1440 inch) and State ("0" normal, "2"
// maximised).
namespace WindowPlacement {

// Minimised: writes nothing. Maximised: only State "2". Normal: Top, Left,
// Height, Width and State "0".
void Save(SettingsStore& store, const QWidget& window);

// Every stored, readable value replaces the window's own; empty or unreadable
// values leave it as it is. A stored State "2" maximises the window over the
// stored normal rectangle. Under Wayland, where the compositor places
// windows, only the size is restored, and Save keeps the stored position.
void Restore(const SettingsStore& store, QWidget& window);

// Pixels of the window's screen to twips and back, per direction.
double TwipsPerPixelX(const QWidget& window);
double TwipsPerPixelY(const QWidget& window);

} // namespace WindowPlacement

// Centres the window on its screen, keeping its size (not under Wayland).
void CenterForm(QWidget& window);
