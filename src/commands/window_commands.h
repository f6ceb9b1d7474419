#pragma once

class MainWindow;

// Connects the account and message commands of this folder to the window's
// menus.
void ConnectWindowCommands(MainWindow& window);
