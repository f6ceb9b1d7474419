#include "engine/mail_log.h"

#include "engine/header_text.h"

#include <QDir>
#include <QFileInfo>

QString SafeFileName(const QString& title) {
    const QChar replacement = QLatin1Char('_');
    if (title == QStringLiteral(".") || title == QStringLiteral(".."))
        return QString(title.size(), replacement);
    QString name = title;
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control)
            c = replacement;
    }
    return name;
}

static QString folderWithSlash(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString MailLogFilePath(const GeneralOptions& options, const QString& accountTitle) {
    const QString name =
        options.LogAllInOne ? QStringLiteral("Master") : SafeFileName(accountTitle);
    return folderWithSlash(options.LogFilesPath) + name + QStringLiteral(".doc");
}

// Makes the folder and every missing folder above it readable by the user
// only, as the logs are: they hold the headers of the user's mail. A folder
// that exists keeps its mode.
static bool makePrivateFolder(const QString& folder) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !makePrivateFolder(parent))
        return false;
    constexpr QFileDevice::Permissions kOwnerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    return QDir().mkdir(path, kOwnerOnly) || QFileInfo(path).isDir();
}

bool MailLog::Open(const GeneralOptions& options, const QString& accountTitle) {
    Close();
    m_errorText.clear();
    if (options.LogDisabled)
        return false;
    const QString path = MailLogFilePath(options, accountTitle);
    const QString folder = folderWithSlash(options.LogFilesPath);
    if (folder.isEmpty()) {
        m_errorText = QStringLiteral("Mail log not written: no log folder is set.");
        return false;
    }
    if (!makePrivateFolder(folder)) {
        m_errorText = QStringLiteral("Mail log not written: cannot create the folder %1.")
                          .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        m_errorText = QStringLiteral("Mail log not written: %1: %2")
                          .arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    return true;
}

void MailLog::WriteEntry(const QString& headerText) {
    if (!m_file.isOpen())
        return;
    QString entry = QStringLiteral("[Begin Header]") + HeaderLineEnd + headerText;
    if (!headerText.isEmpty() && !headerText.endsWith(HeaderLineEnd))
        entry += HeaderLineEnd; // keeps the end marker on a line of its own
    entry += QStringLiteral("[End Header]") + HeaderLineEnd;
    const QByteArray bytes = entry.toUtf8();
    const qint64 written = m_file.write(bytes);
    if (written != bytes.size()) {
        const QString why = written < 0 ? m_file.errorString()
                                        : QStringLiteral("the disk took only part of an entry");
        m_errorText = QStringLiteral("Mail log not written: %1: %2")
                          .arg(QDir::toNativeSeparators(m_file.fileName()), why);
        m_file.close();
    }
}

void MailLog::Close() {
    m_file.close(); // unbuffered: every entry is already written
}
