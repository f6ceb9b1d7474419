#pragma once

#include <QString>

class MainWindow;

// Steps the account and message commands share.

// Starts the polling timer again unless monitoring is suspended.
void RestartPollingUnlessSuspended(MainWindow& window);

// Checks one account at once, as after adding or changing it: the account's
// message nodes go, its node becomes the drop highlight and is selected, the
// count of new mail
// starts again, the engine checks the account (nothing happens for a disabled
// account or while monitoring is suspended), and the messages on display are
// acknowledged afterwards.
void CheckAccountNow(MainWindow& window, const QString& accountKey);
