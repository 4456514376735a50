#pragma once

// Values typed for a trial as a user's language writes them: numbers with the language's
// thousands and decimal separators, dates day first (Italian) or month first (English). The test
// cases keep their values in texts that read the same whatever the language: numbers as the C
// locale writes them, dates as yyyy-mm-dd.

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

namespace check {

// How a value typed for a trial is read.
enum class TrialReading {
    // As the test cases keep their values and as the rows of a preview come: numbers as the C
    // locale writes them or with a single decimal comma (the cases kept before the values were
    // kept in one form were typed so), dates gg/mm/aaaa, yyyy-mm-dd, yyyymmdd or what the engine
    // converts.
    Stored,
    // An Italian user: 1.000,50 and 31/12/2026 (with an optional time H:mm or H:mm:ss); numbers
    // without grouping as the C locale writes them (-12.5, 1000) and yyyy-mm-dd, yyyymmdd too.
    Italian,
    // An English user: 1,000.50 and 12/31/2026; the same plain numbers and dates.
    English,
};

// The reading of a user of `language` ("en": English; any other: Italian, the product's own).
TrialReading readingOf(const QString& language);

// A number typed in a language reading, as the C locale writes it ("1.000,50" in Italian,
// "1,000.50" in English: "1000.50"). A single thousands separator after one to three digits (the
// first not 0) followed by three digits and no decimal separator ("1.000" in Italian, "1,000" in
// English) is ambiguous: a user of the other language means a decimal by it. In Italian a point
// that groups no thousands is the C locale's decimal point ("0.500", "1000.500").
struct TypedNumber {
    enum class Status { Number, NotANumber, Ambiguous };
    Status status = Status::NotANumber;
    QString text;      // Number: the C-locale text
    QString thousands; // Ambiguous: the text read as grouped thousands ("1000")
    QString decimal;   // Ambiguous: the text read as a decimal, in the language ("1,000" in Italian)
};
// `reading` Italian or English; `text` without blanks at its ends.
TypedNumber typedNumber(const QString& text, TrialReading reading);

// A date typed in `reading`: the language's d/m/y form (gg/mm/aaaa for Stored and Italian,
// mm/dd/yyyy for English) with an optional time H:mm or H:mm:ss, or yyyy-mm-dd or yyyymmdd with an
// optional time ("T" or a blank, then HH:mm, HH:mm:ss or HH:mm:ss.fff). A wall-clock time with no
// zone (UTC); nullopt when the text is none of these or no real date. Read by hand: a preview
// reads it for every new text of a file's column.
std::optional<QDateTime> typedDate(QStringView text, TrialReading reading);

// The text a test case keeps for a date: yyyy-mm-dd, with THH:mm:ss (and .zzz) when it has a time.
QString storedDateText(const QDateTime& dt);
// A date as a user of `reading` types it: dd/MM/yyyy in Italian, MM/dd/yyyy in English, with
// " HH:mm:ss" when it has a time (the stored form when it has milliseconds, which the d/m/y form
// does not take).
QString typedDateText(const QDateTime& dt, TrialReading reading);

} // namespace check
