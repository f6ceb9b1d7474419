#include "dialogs/file_choosers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
const QString kWavFilters = QStringLiteral("WAV Files (*.wav);;All Files (*)");

// The folder a picker opens in for a box holding `current`: that folder
// itself when it is one, else the folder the text names a file in; when that
// does not exist (yet), the nearest folder above it that does.
QString startingFolder(const QString& current) {
    if (current.trimmed().isEmpty())
        return QDir::homePath();
    const QFileInfo info(QDir::cleanPath(QFileInfo(current).absoluteFilePath()));
    if (info.isDir())
        return info.absoluteFilePath();
    QString folder = info.absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString above = QFileInfo(folder).absolutePath();
        if (above == folder)
            return QDir::homePath();
        folder = above;
    }
    return folder;
}
} // namespace

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& current) {
    return QFileDialog::getExistingDirectory(owner, title, startingFolder(current),
                                             QFileDialog::ShowDirsOnly);
}

QString ChooseWavFile(QWidget* owner, const QString& current) {
    QString start = startingFolder(current);
    // Preset the file's name too, so the dialog opens on the current file.
    const QFileInfo info(current);
    if (!current.trimmed().isEmpty() && !info.isDir() && info.absolutePath() == start)
        start = info.absoluteFilePath();
    return QFileDialog::getOpenFileName(owner, QStringLiteral("Select a WAV File"), start,
                                        kWavFilters);
}
