#pragma once

#include <QString>

namespace tsql {

// The text in upper case as QString::toUpper writes it. Names are mostly ASCII and mostly written
// in upper case already: an ASCII text is upper-cased here (only a to z change) and shared as it
// is when it has no lower-case letter; another text goes to QString::toUpper.
QString upperCased(const QString& text);

} // namespace tsql
