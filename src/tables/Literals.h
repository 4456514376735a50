#pragma once

#include "core/Variant.h"

#include <QString>

namespace tables {

// A T-SQL string literal holding `value`: quotes around it, quotes inside doubled, so the value
// can never end the literal early.
QString sqlLiteral(const QString& value);

// The identifier of a record as the statements write it: the plain text of CDecN(id). Throws
// ComError 13 for an identifier that is no number.
QString identifierText(const core::Variant& id);

} // namespace tables
