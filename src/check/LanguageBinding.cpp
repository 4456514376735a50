#include "check/Services.h"
#include "language/FormulaLanguage.h"

namespace check {

DecodeFn decodeWith(language::FormulaLanguage& language) {
    return [&language](const QString& text, bool checkMode) {
        Translation t;
        t.text = language.decodeToken(text, checkMode, &t.map);
        t.failed = language.lastErrorCount() > 0;
        t.overLimit = language.lastOverLimit();
        return t;
    };
}

CanEncodeFn canEncodeWith(language::FormulaLanguage& language) {
    return [&language](const QString& sql) {
        const core::ErrorAnswerFn abort = [](const QString&, const core::ErrorInfo&) {
            return static_cast<int>(core::Answer::Abort);
        };
        language.encodeToken(sql, abort);
        return language.lastErrorCount() == 0;
    };
}

} // namespace check
