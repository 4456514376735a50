#pragma once

// Numbers written as the .NET Framework writes them for FORMAT: the standard numeric formats
// (C, D, E, F, G, N, P, X with a precision) and the custom ones (0 # . , % ‰ ; quotes and
// escapes). Not part of the engine's interface.

#include "tsql/functions/Cultures.h"
#include "tsql/values/Value.h"

#include <optional>

namespace tsql {

// The value written in the format and culture; nullopt for a format the Framework refuses
// (FORMAT gives NULL then). Msg 40000 for a format whose output the engine cannot give exactly.
std::optional<QString> formatNumber(const Value& v, const QString& format, const Culture& culture);

} // namespace tsql
