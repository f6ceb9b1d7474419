#include "dialogs/autostart_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The program as one argument of an Exec line: quoted when it holds a
// character the launcher would read as a separator or shell syntax, with
// the four characters that stay special inside quotes escaped.
QString execArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : path)
        quote = quote || reserved.contains(c);
    QString argument;
    for (QChar c : path) {
        if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                      c == QLatin1Char('\\')))
            argument += QLatin1Char('\\');
        argument += c;
        if (c == QLatin1Char('%')) // a field code otherwise
            argument += QLatin1Char('%');
    }
    return quote ? QLatin1Char('"') + argument + QLatin1Char('"') : argument;
}

// A value of the entry file: a backslash is itself escaped there.
QString entryValue(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

} // namespace

QString AutostartEntryFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/larkwatch.desktop");
}

QString AutostartEntryText(const QString& programPath) {
    for (QChar c : programPath)
        if (c.category() == QChar::Other_Control)
            return QString();
    if (programPath.isEmpty())
        return QString();
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Larkwatch\n"
                          "Comment=Watch POP3 mailboxes for new mail\n"
                          "Exec=%1\n"
                          "Icon=larkwatch\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(entryValue(execArgument(programPath)));
}

bool SetAutostart(bool on, const QString& programPath) {
    const QString file = AutostartEntryFile();
    if (!on) {
        if (!QFileInfo::exists(file) || QFile::remove(file))
            return true;
        qWarning("Larkwatch: autostart entry %s not removed", qPrintable(file));
        return false;
    }
    const QString text = AutostartEntryText(programPath);
    if (text.isEmpty()) {
        qWarning("Larkwatch: no autostart entry for the program at %s", qPrintable(programPath));
        return false;
    }
    QSaveFile entry(file);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !entry.open(QIODevice::WriteOnly) ||
        entry.write(text.toUtf8()) < 0 || !entry.commit()) {
        qWarning("Larkwatch: autostart entry %s not written: %s", qPrintable(file),
                 qPrintable(entry.errorString()));
        return false;
    }
    return true;
}
