#pragma once

#include <QString>

// One header field as the server sent it: name as given, value unfolded and
// decoded to Unicode.
struct HeaderField {
    QString Name;
    QString Value;
};
