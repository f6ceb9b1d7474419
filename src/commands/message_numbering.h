#pragma once

#include <QString>

class AccountTreeModel;

// The message number a message node's text begins with: the characters from
// the second one up to the first blank, as a decimal number ("#12 --- …" gives
// 12). Leading digits count, the rest is ignored; no digits, or a number
// beyond 32767, gives 0.
qint16 MessageNumberOf(const QString& nodeText);

// After message `number` was deleted on the server: its node shows
// "(Deleted)" and its former text from the first blank on, with image
// "Deleted", and the later messages of its account are numbered as the
// server will number them on the next connection (nodes already marked
// deleted are passed over and count as gone).
void MarkDeletedAndRenumber(AccountTreeModel& tree, const QString& messageKey, qint16 number);
