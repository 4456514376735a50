#pragma once

#include "core/Error.h"
#include "language/PositionMap.h"

#include <QString>

#include <functional>

namespace ado {
class Connection;
}
namespace language {
class FormulaLanguage;
}

namespace check {

// What a translation gave: its text, and whether it reported an error on the way (the text is
// then what it returned after the user's answer: possibly empty, possibly cut short).
struct Translation {
    QString text;
    bool failed = false;
    // The translation failed because a pass's text went over the limit (see msg::OverTextLimit).
    bool overLimit = false;
    // Where each piece of `text` came from in the display form (recorded by decodeWith).
    language::PositionMap map;
};

// The display-to-SQL translation: (display text, check mode) -> SQL form. decodeWith() binds
// the formula language of the window.
using DecodeFn = std::function<Translation(const QString& text, bool checkMode)>;

// Whether a stored SQL form can be shown again (translated back to the display form without an
// error); asks nobody. canEncodeWith() binds the formula language of the window.
using CanEncodeFn = std::function<bool(const QString& sql)>;

// Where the check leaves the server's message for an administrator (the host log file).
using LogFn = std::function<void(const QString& message)>;

// decodeToken of `language`, which must outlive the returned function.
DecodeFn decodeWith(language::FormulaLanguage& language);
// encodeToken of `language` with an error answer that aborts silently.
CanEncodeFn canEncodeWith(language::FormulaLanguage& language);

// Message-box answers and codes used here.
namespace answer {
inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace answer

} // namespace check
