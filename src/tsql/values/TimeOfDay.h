#pragma once

// The time data type ("time (Transact-SQL)"): a time of day without a date, kept as ticks of
// 100 ns since midnight (Value::i) with a precision of 0 to 7 digits of a second (scale). Not
// part of the engine's interface.

#include "tsql/values/DateSettings.h"

namespace tsql {

inline constexpr qint64 kTicksPerMillisecond = 10'000;
inline constexpr qint64 kTicksPerSecond = 10'000'000;
inline constexpr qint64 kTicksPerDay = 864'000'000'000;

// Ticks rounded half up to the precision `scale`. A time that rounds to midnight of the next day
// is refused by name: the documentation does not say what the server makes of it.
qint64 roundedTime(qint64 ticks, int scale);

// hh:mm:ss followed by as many decimals of a second as the precision has (none for 0).
QString timeText(qint64 ticks, int scale);

// A text read as time(n): a time of day (hh:mm[:ss[.fffffff]] with AM or PM, hh AM), after a
// date or alone; a date alone is midnight. Msg 241 for a text that is no time, Msg 9808 for a
// date under DATEFORMAT ydm; a style fixes the order of the date's numbers.
Value timeFromText(const Value& text, const SqlType& to, std::optional<DateOrder> order = std::nullopt);

// The time of day of a datetime, smalldatetime or datetime2 (datetime counts 1/300 seconds:
// .003 is .0033333), rounded to the target's precision.
Value timeFromDate(const Value& v, const SqlType& to);

// A time as datetime, smalldatetime or datetime2 on 1900-01-01, rounded as the target rounds.
Value timeToDate(const Value& v, const SqlType& to);

// A time written in a CONVERT style; refused by name for the styles whose text for a time the
// documentation does not give.
QString formatTime(const Value& v, int style);

} // namespace tsql
