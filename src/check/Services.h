#pragma once

#include "core/Error.h"

#include <QString>

#include <functional>

namespace ado {
class Connection;
}
namespace language {
class FormulaLanguage;
}

namespace check {

// The connection the check and the save run on (the window's own connection). May return null
// (no connection): the check then reports the formula as not correct, the save raises error 91.
using ConnectionFn = std::function<ado::Connection*()>;

// What a translation gave: its text, and whether it reported an error on the way (the text is
// then what it returned after the user's answer: possibly empty, possibly cut short).
struct Translation {
    QString text;
    bool failed = false;
};

// The display-to-SQL translation: (display text, check mode) -> SQL form. decodeWith() binds
// the formula language of the window.
using DecodeFn = std::function<Translation(const QString& text, bool checkMode)>;

// Whether a stored SQL form can be shown again (translated back to the display form without an
// error); asks nobody. canEncodeWith() binds the formula language of the window.
using CanEncodeFn = std::function<bool(const QString& sql)>;

// The host message box: prompt, message-box code (4 Yes/No, 16 critical, 32 question,
// 48 exclamation, 64 information, 256 second button default), title; returns the button
// pressed (1 OK, 6 Yes, 7 No).
using MessageBoxFn = std::function<int(const QString& prompt, int code, const QString& title)>;

// Where the check leaves the server's message for an administrator (the host log file).
using LogFn = std::function<void(const QString& message)>;

// The host translation service for the texts shown in message boxes (identity when unset).
using TranslateFn = std::function<QString(const QString& italianText)>;

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
