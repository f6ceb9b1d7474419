#pragma once

class MainWindow;

// Connects the window's menus to the commands of the folders above it: the
// account and message commands and the dialogs. Called once, right after the
// window is made and before it is loaded.
void ConnectCommandGroups(MainWindow& window);
