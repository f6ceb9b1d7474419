#pragma once

class MainWindow;

// Connects the main window's Options, Message Filtering, Log File, Contents
// and About items to their dialogs.
void ConnectDialogCommands(MainWindow& window);

// The commands. Each one that opens a modal dialog pauses the polling timer
// while the dialog is open (a pass never runs with half-edited settings) and
// starts it again afterwards unless monitoring is suspended.

// Options: on OK stores the general options, restarts the countdown with the
// full interval and puts the icon in the tray or takes it out.
void mnuOptions_Click(MainWindow& window);
void mnuFilter_Click(MainWindow& window);
void mnuLogFile_Click(MainWindow& window);
// Opens the help file through the desktop; the timer keeps running.
void mnuHelpContents_Click(MainWindow& window);
void mnuAbout_Click(MainWindow& window);
