#pragma once

#include <functional>

// Places where parts of Larkwatch that the main window does not own join its
// start-up, layout and shut-down. Each is filled by the part that provides it;
// an empty one is skipped (that part is not in the program yet).
struct MainWindowHooks {
    // Start-up: read the seen-message history "log.tmp" into SeenHeaders.
    std::function<void()> LoadHistory;
    // Exit: add the messages on display to the seen list (AcknowledgeShownMessages).
    std::function<void()> AcknowledgeShownMessages;
    // Exit, after the above: replace "log.tmp" by SeenHeaders (none when empty).
    std::function<void()> SaveHistory;
    // Minimising: every message shown counts as acknowledged.
    std::function<void()> MarkAllRead;
    // Restoring while the new-mail dialog is open: close it.
    std::function<void()> CloseNewMailDialog;
    // Start-up: put the icon in the notification area, or take it away.
    std::function<void(bool inTray)> SetInTray;
    // The notification-area picture (0 idle, 1 checking, 2 new mail, 3 suspended).
    std::function<void(int picture)> SetTrayPicture;
    // Every tick of the polling timer PoolingEvent: the scheduler's work.
    std::function<void()> PoolingEventTick;

    // Whether a notification area exists; without one the window is never
    // hidden. Defaults to asking the desktop.
    std::function<bool()> TrayAvailable;
    // Whether the POP client still holds a connection (LogonState not 0 or
    // ConnectionState not 6). Defaults to asking the window's client.
    std::function<bool()> PopHoldsConnection;
};
