// Writes the application's picture into an icon theme folder at the given
// sizes: FOLDER/NxN/apps/NAME.png. Run at build time for the installed icons.
//   larkwatch_icon_export FOLDER NAME SIZE...

#include "main_window/larkwatch_icons.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FOLDER NAME SIZE...\n", argv[0]);
        return 2;
    }
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            std::fprintf(stderr, "bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = theme.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!theme.mkpath(folder) || !LarkwatchIcons::ApplicationPicture(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
