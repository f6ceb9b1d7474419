#include "dialogs/help_contents.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

QString FindHelpFile(const QString& programFolder) {
    const QDir folder(programFolder);
    const QString name = QLatin1String(kHelpFileName);
    for (const QString& candidate :
         {folder.filePath(name), folder.filePath(QStringLiteral("../share/larkwatch/") + name)}) {
        const QFileInfo info(candidate);
        if (info.isFile())
            return info.canonicalFilePath();
    }
    return QString();
}

void ShowHelpContents(QWidget* owner, const QString& programFolder, const OpenUrlFn& openUrl) {
    const QString helpFile = FindHelpFile(programFolder);
    if (!helpFile.isEmpty() && openUrl(QUrl::fromLocalFile(helpFile)))
        return;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Larkwatch Help"),
                    QStringLiteral("Error running WinHelp"), QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("HelpError"));
    box.exec();
}
