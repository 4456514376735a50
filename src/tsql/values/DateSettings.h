#pragma once

// The session's date settings and the reading and writing of date texts ("SET DATEFORMAT",
// "SET LANGUAGE", "SET DATEFIRST", "CAST and CONVERT (Transact-SQL)" date and time styles). The
// settings belong to the batch running on this thread: every batch starts in us_english (mdy,
// weeks from Sunday), and SET DATEFORMAT, SET LANGUAGE and SET DATEFIRST change them for the rest
// of it. Not part of the engine's interface.

#include "tsql/values/Value.h"

#include <array>
#include <optional>

namespace tsql {

// The order in which a date written as three numbers gives its day, month and year.
enum class DateOrder { Mdy, Dmy, Ymd, Ydm, Myd, Dym };

// A language of the server (sys.syslanguages): its names, date order, first day of the week and
// the names of months and days it reads and writes.
struct Language {
    const char* name;
    const char* alias;
    DateOrder order;
    int dateFirst; // 1 Monday ... 7 Sunday
    std::array<const char*, 12> months;
    std::array<const char*, 12> shortMonths;
    std::array<const char*, 7> days; // Monday first
};

struct DateSettings {
    DateOrder order = DateOrder::Mdy;
    const Language* language = nullptr; // us_english when null
    int dateFirst = 7;

    const Language& lang() const;
};

// The settings of the batch running on this thread (the defaults outside a batch).
const DateSettings& dateSettings();

// Gives the batch on this thread the default settings for the scope's lifetime.
class BatchDateSettings {
public:
    BatchDateSettings();
    ~BatchDateSettings();
    BatchDateSettings(const BatchDateSettings&) = delete;
    BatchDateSettings& operator=(const BatchDateSettings&) = delete;

private:
    DateSettings m_previous;
};

// Keeps the settings as they are for the scope's lifetime: what a dynamic batch sets (EXEC, sp_
// executesql) ends with it, as the server restores a SET option after a dynamic batch.
class KeptDateSettings {
public:
    KeptDateSettings();
    ~KeptDateSettings();
    KeptDateSettings(const KeptDateSettings&) = delete;
    KeptDateSettings& operator=(const KeptDateSettings&) = delete;

private:
    DateSettings m_kept;
};

// SET DATEFORMAT mdy|dmy|ymd|ydm|myd|dym (any case); Msg 2741 for anything else.
void setDateFormat(const QString& order);
// SET LANGUAGE name-or-alias: the date order and first day of the language too; Msg 2740 for a
// language the server does not have.
void setLanguage(const QString& name);
// SET DATEFIRST 1..7; Msg 2742 outside.
void setDateFirst(qint64 day);

// ---- date texts (DateText.cpp) ----

enum class DateReading {
    Date,       // read
    OutOfRange, // a date's shape with values outside the type (Msg 242)
    NotADate,   // no date the server reads (Msg 241)
    YdmRefused, // three numbers for date or datetime2 under DATEFORMAT ydm (Msg 9808)
};

struct DateRead {
    DateReading status = DateReading::NotADate;
    QDateTime value;
};

// A text read as a value of the date type `target` under the session's settings, or under the
// order of a CONVERT style. The ISO forms (yyyymmdd, yyyy-mm-ddThh:mi:ss) read alike under any
// setting, and date and datetime2 read yyyy-mm-dd as ISO too; datetime reads it in the order of
// the setting (yyyy-dd-mm under dmy). An empty text is 1900-01-01.
DateRead readDate(const QString& text, TypeId target, std::optional<DateOrder> order = std::nullopt);

// A time as the date type `id` keeps it ("datetime (Transact-SQL)", "smalldatetime
// (Transact-SQL)"): datetime in steps of 1/300 second, shown .000, .003 and .007 (.999 is the
// next second, 23:59:59.999 the next day); smalldatetime to the minute, 29.998 seconds down and
// 29.999 up; date without its time. Other types keep the time as it is.
QDateTime roundedFor(const QDateTime& d, TypeId id);

// A text converted to the date type `to` (Conversion.cpp): Msg 242 for a date's shape out of the
// type's range, Msg 241 for a text that is no date.
Value dateFromText(const Value& text, const SqlType& to, std::optional<DateOrder> order = std::nullopt);

// True when the type holds the date (datetime from 1753, smalldatetime from 1900 to 2079-06-06,
// date and datetime2 from the year 1 to 9999).
bool dateInRange(const QDateTime& d, TypeId target);

// The date and time styles of CONVERT (0 to 14, 20 to 25, 100 to 114, 120, 121, 126, 127, 130,
// 131).
bool dateStyleExists(int style);
// The order in which a style reads three numbers, for the styles that fix one.
std::optional<DateOrder> styleOrder(int style);
// A date or time value written in a style; a null string for a style without a format of its
// own (the value's text is used).
QString formatDate(const Value& v, int style);
// The name of a month (1-12) and of a day of the week (1 Monday - 7 Sunday) in the session's
// language.
QString monthName(int month, bool shortForm = false);
QString dayName(int isoDay);

} // namespace tsql
