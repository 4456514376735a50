#pragma once

#include "core/Variant.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace core {

// A materialised result set: column names and rows of values (SQL NULL as a Null variant).
struct RowSet {
    QStringList columns;
    QList<QList<Variant>> rows;
};

} // namespace core
