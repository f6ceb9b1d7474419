#pragma once

#include <QDialog>

// "About Larkwatch": the program's name and icon, its version, what it does,
// and one button, OK.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // "Version 2.3": the same version as `larkwatch --version` prints.
    static QString VersionLine();
};
