#pragma once

// The cultures FORMAT, PARSE and TRY_PARSE write and read with ("FORMAT (Transact-SQL)", the
// culture argument): the invariant culture ('' or 'iv'), en-US and it-IT, with the separators,
// names and patterns the .NET Framework gives them. What a culture's data may give differently
// from one installation of the server to another (the negative currency pattern, the percent
// pattern, it-IT's currency and AM/PM designators) is marked unsupported, so that the function
// refuses it by name rather than guess. Not part of the engine's interface.

#include <QString>

#include <array>

namespace tsql {

struct Culture {
    const char* name; // as the server names it in messages
    QChar decimal;
    QChar group;
    const char16_t* currency; // null: currency formats are not supported for the culture
    bool currencySymbolFirst; // $n rather than n $
    bool negativeCurrency;    // the negative currency pattern is known: (¤n)
    bool percent;             // the percent patterns are known: n %, -n %
    bool designators;         // AM and PM are known
    const char* shortDate;    // d
    const char* longDate;     // D
    const char* shortTime;    // t
    const char* longTime;     // T
    const char* monthDay;     // M, m (null: unsupported)
    const char* yearMonth;    // Y, y (null: unsupported)
    std::array<const char16_t*, 12> months;
    std::array<const char16_t*, 12> shortMonths;
    std::array<const char16_t*, 7> days; // Sunday first, as .NET counts them
    std::array<const char16_t*, 7> shortDays;
};

// The culture a FORMAT, PARSE or TRY_PARSE call names: Msg 9818 for a name that is no culture,
// Msg 40000 for a culture the engine does not write; a null name is the session's language
// (us_english: en-US, Italiano: it-IT).
const Culture& cultureNamed(const QString* name);

} // namespace tsql
