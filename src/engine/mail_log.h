#pragma once

#include "records/general_options.h"

#include <QFile>
#include <QString>

// The mail log: for the user, the header of every message the checks see for
// the first time, one file per account ("Title.doc") or one "Master.doc" for
// all of them, in LogFilesPath. Entries are appended as UTF-8 text with CR LF
// line ends:
//   [Begin Header]
//   <header text, one line per field>
//   [End Header]

// The account title made safe as a file name: "/", NUL and control characters
// become "_", and so does every character of a title that is "." or "..", so
// no title can name a file outside the log folder.
QString SafeFileName(const QString& title);

// The full path of the log an account's check writes to.
QString MailLogFilePath(const GeneralOptions& options, const QString& accountTitle);

// One open mail log for the length of one account check. A log that cannot be
// opened or written never stops the check: writing is then a no-op and
// ErrorText() says why, for the account node's tool tip.
class MailLog {
public:
    // Opens the log of the account titled `accountTitle` (or the master log)
    // for appending, creating LogFilesPath when it is missing. What it creates
    // only the user may read: a log file 0600, folders 0700. Does nothing
    // and returns false when logging is off (LogDisabled).
    bool Open(const GeneralOptions& options, const QString& accountTitle);
    bool IsOpen() const { return m_file.isOpen(); }
    // Appends one entry; a no-op while the log is not open.
    void WriteEntry(const QString& headerText);
    void Close();
    // Why the log could not be opened or written; empty when all went well.
    QString ErrorText() const { return m_errorText; }

private:
    QFile m_file;
    QString m_errorText;
};
