#pragma once

// How the engine's values travel in result sets: the TDS type of each column (chosen from
// the engine's type and, for strings and decimals, from the values the column holds) and the
// bytes of each value.

#include "tds/Wire.h"
#include "tsql/values/Value.h"

#include <vector>

namespace tsql {
struct ResultSet;
}

namespace tds {

struct ColumnFormat {
    quint8 wire = 0x26; // TDS type
    int length = 4;     // byte length of the fixed kinds; maximum bytes of strings
    int precision = 0;
    int scale = 0;
    bool chunked = false; // (max) strings and xml: sent in chunks (PLP)
};

std::vector<ColumnFormat> columnFormats(const tsql::ResultSet& rs);
void writeTypeInfo(Writer& w, const ColumnFormat& f);
void writeValue(Writer& w, const ColumnFormat& f, const tsql::Value& v);

} // namespace tds
