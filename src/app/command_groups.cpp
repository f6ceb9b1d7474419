#include "app/command_groups.h"

#include "commands/window_commands.h"
#include "dialogs/dialog_commands.h"

void ConnectCommandGroups(MainWindow& window) {
    ConnectWindowCommands(window);
    ConnectDialogCommands(window);
}
