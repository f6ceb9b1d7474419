#include "records/app_state.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

static QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

StatePaths StatePaths::Standard() {
    // The data folder carries only the application name: ~/.local/share/Larkwatch/.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/Larkwatch");
    return {SettingsStore::StandardFilePath(), withSlash(data)};
}

StatePaths StatePaths::Under(const QString& folder) {
    const QString root = withSlash(folder);
    return {root + QStringLiteral("config/Larkwatch/Larkwatch.ini"),
            root + QStringLiteral("data/Larkwatch/")};
}

AppState::AppState(StatePaths paths)
    : Paths(std::move(paths)), Store(Paths.SettingsFile),
      Random(quint32(QDateTime::currentMSecsSinceEpoch() ^
                     quint64(QDateTime::currentSecsSinceEpoch()))) {
    AppSettings.LogFilesPath = DefaultLogFilesPath(Paths.DataFolder);
}
