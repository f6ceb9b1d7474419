#pragma once

#include <QString>

class QWidget;

// The two common dialogs of the option dialogs. Both start in the folder of
// the text currently in the box when that folder exists, and in the home
// folder otherwise.

// The folder picker: the chosen folder's full path (without a trailing "/"),
// or empty text when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& current = {});

// The open-file dialog for a sound: "WAV Files (*.wav)" or "All Files (*)",
// an existing file only, preset to the current text. The chosen file's full
// path, or empty text when the user cancels.
QString ChooseWavFile(QWidget* owner, const QString& current);
