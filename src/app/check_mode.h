#pragma once

#include <QTextStream>

class AppState;

// `larkwatch --check [--json]`: one pass over all accounts exactly as a timer
// pass runs it (filters delete on the server, the mail log and the history file
// are written), with no window. Prints the tree, or one JSON object with
// `json`. Returns 0 when every enabled account was checked without a connect
// or log-on failure, 1 otherwise.
int RunCheckMode(AppState& state, bool json, QTextStream& out);
