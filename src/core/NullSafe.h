#pragma once

#include "core/Variant.h"

namespace core {

// Right trim that tolerates missing values: Empty, Null and "" give "", anything else is
// converted to text and loses its trailing blanks (leading blanks stay).
Variant RTrimN(const Variant& expression);

// Decimal conversion that tolerates missing values: Empty, Null and "" give the 16-bit
// integer 0; anything else is converted to Decimal (texts with the regional separators).
// Throws ComError 13 (type mismatch) for text that is no number.
Variant CDecN(const Variant& expression);

} // namespace core
