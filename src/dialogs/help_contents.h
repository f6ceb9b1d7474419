#pragma once

#include <QString>
#include <functional>

class QUrl;
class QWidget;

// The name of Larkwatch's help file, one HTML page.
inline constexpr const char* kHelpFileName = "larkwatch-help.html";

// Where the help file is for a program in `programFolder`: beside the program
// (as in the build tree), or under share/larkwatch/ of the folder above it (as
// installed, bin/larkwatch). Empty text when neither place holds it.
QString FindHelpFile(const QString& programFolder);

// Opens a URL in the desktop's viewer; true when the viewer was started.
using OpenUrlFn = std::function<bool(const QUrl&)>;

// "&Contents": opens the help file through the desktop and returns at once.
// When there is no help file or no viewer could be started, says so in the
// message box "Error running WinHelp" titled "Larkwatch Help".
void ShowHelpContents(QWidget* owner, const QString& programFolder, const OpenUrlFn& openUrl);
