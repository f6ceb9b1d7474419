#include "notify/sort_array.h"

#include <utility>

void SortArray(qint32 Low, qint32 High, QStringList& cArray) {
    if (Low >= High)
        return;
    const QString pivot = cArray.at(High);
    qint32 i = Low - 1;
    qint32 j = High;
    // Both scans stay inside [Low, High]: i never passes j and j never
    // passes i, so each index is tested before the text it names is read.
    for (;;) {
        ++i;
        while (i < j && cArray.at(i) < pivot)
            ++i;
        --j;
        while (j > i && cArray.at(j) > pivot)
            --j;
        if (j <= i)
            break;
        cArray.swapItemsAt(i, j);
    }
    if (i != High)
        cArray.swapItemsAt(i, High);
    SortArray(Low, i - 1, cArray);
    SortArray(i + 1, High, cArray);
}
