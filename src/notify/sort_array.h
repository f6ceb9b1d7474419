#pragma once

#include <QStringList>

// Sorts cArray from index Low to index High (both included) into ascending
// ordinal order (UTF-16 code unit by code unit, case-sensitive), in place: a
// recursive quicksort with the last element as pivot. Equal texts end up next
// to each other in no particular order. Low not below High changes nothing.
void SortArray(qint32 Low, qint32 High, QStringList& cArray);
