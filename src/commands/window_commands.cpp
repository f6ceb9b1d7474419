#include "commands/window_commands.h"

#include "commands/account_commands.h"
#include "commands/message_commands.h"

void ConnectWindowCommands(MainWindow& window) {
    ConnectAccountCommands(window);
    ConnectMessageCommands(window);
}
