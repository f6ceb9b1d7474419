#pragma once

#include <QTextStream>

// `larkwatch --status [--json]` and `larkwatch --check-now`: the running
// Larkwatch asked over the session bus. Each returns the exit status:
// 0 done, 1 the running program refused or failed to answer (the reason is
// printed), 3 no Larkwatch is running.
namespace RemoteClient {
constexpr int kNotRunning = 3;

// Prints the running program's state: its JSON text with `json`, else the
// tree of the last pass, the count of new mail and the time to the next check.
int Status(bool json, QTextStream& out, QTextStream& err);
// Asks the running program for a check now (Monitoring > Update Now).
int CheckNow(QTextStream& out, QTextStream& err);
} // namespace RemoteClient
