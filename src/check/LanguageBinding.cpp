#include "check/Services.h"
#include "language/FormulaLanguage.h"

namespace check {

DecodeFn decodeWith(language::FormulaLanguage& language) {
    return [&language](const QString& text, bool checkMode) { return language.decodeToken(text, checkMode); };
}

} // namespace check
