#pragma once

#include "engine/pop/pop_client.h"

// The value of the first field with this name, in any letter case, or empty.
inline QString FieldValue(const QList<HeaderField>& fields, const QString& name) {
    for (const HeaderField& field : fields) {
        if (field.Name.compare(name, Qt::CaseInsensitive) == 0)
            return field.Value;
    }
    return {};
}
