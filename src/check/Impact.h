#pragma once

// The impact preview: two formulas (the stored one and a changed one) run over many rows of input
// values, and for every output what the change does to it: how many rows move, by how much
// (absolute and percent), the rows that move most, and the rows one formula fails on and the
// other does not. Nothing is written: the rows run on the compiled evaluator where it may run the
// formula (it has no tables) and through the check's guarded, rolled-back run otherwise, each with
// the check's limits; a row that loops or fails gets its message and the preview goes on.

#include "check/TestCases.h"
#include "check/TrialRun.h"

#include <QList>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

class QIODevice;

namespace ado {
class Connection;
}
namespace language {
class FormulaLanguage;
}

namespace check {

struct ImpactColumns;

// One row of input values, and where it came from as the user reads it ("caso «Base»",
// "riga 12", "riga generata 5").
//
// Rows are made by the hundred thousand and most are never shown: a source may give a row in a
// cheaper form, completed (completeRow) only when the row is reported or must run on the engine.
//   - `origin` may still hold "%1" for `number` (its line, its count);
//   - a row read from a file's columns may leave `inputs` empty and name its texts instead: the
//     text of column i is columns->texts[i][codes[i]], or cells[i] where codes[i] is -1.
struct ImpactRow {
    QList<TrialInput> inputs;
    QString origin;
    qint64 number = -1; // -1: `origin` is complete
    std::shared_ptr<const ImpactColumns> columns;
    std::vector<qint32> codes;
    QStringList cells;
    // Of the cells the row carries, those written as plain numbers (trialPlainNumber): their
    // column and the value they give their variable, read once with the file.
    std::vector<std::pair<qint32, tsql::Value>> numbers;
    bool coded() const { return columns != nullptr; }
};

// The texts a file's column keeps, each once, in the order they were met: a coded row names
// them by their place. Texts are only ever added, by the thread that reads the file, and keep
// their place and storage: the threads that run rows read the texts of the rows handed to them
// while later rows add others (a row is handed over after its texts were added).
class ColumnTextStore {
public:
    static constexpr qsizetype ChunkTexts = 1024;
    static constexpr qsizetype MaxTexts = 1 << 16;

    const QString& at(qint32 code) const {
        return m_chunks[size_t(code) / ChunkTexts][size_t(code) % ChunkTexts];
    }
    // The texts added so far: only the reading thread may ask.
    qsizetype size() const { return m_size; }
    // Adds `text` as the next code; false when the column holds MaxTexts already.
    bool append(const QString& text);

private:
    std::array<std::unique_ptr<QString[]>, MaxTexts / ChunkTexts> m_chunks;
    qsizetype m_size = 0;
};

// The elements of a file's columns and the texts each column keeps, as a coded row names them.
struct ImpactColumns {
    QList<TrialElement> elements;
    std::vector<ColumnTextStore> texts;
    // The text of column `column` in `row`.
    const QString& text(const ImpactRow& row, qsizetype column) const {
        const qint32 code = row.codes[size_t(column)];
        return code < 0 ? row.cells.at(column) : texts[size_t(column)].at(code);
    }
};

// `row` in its complete form: its inputs listed and its origin written out.
void completeRow(ImpactRow& row);

// What cannot be read in the rows a user gave (a CSV cell, a generation spec): where (1-based
// line and column; 0 when the whole input), and why, in the user's language.
struct ImpactInputError {
    int line = 0;
    int column = 0;
    QString message;
};

// The rows of a preview, read once and in order: sources stream, they never hold every row.
class ImpactSource {
public:
    virtual ~ImpactSource() = default;
    // The next row, nullopt at the end.
    virtual std::optional<ImpactRow> next() = 0;
    // The same into `row`, whose lists' storage a source may use again: false at the end.
    virtual bool nextInto(ImpactRow& row) {
        std::optional<ImpactRow> given = next();
        if (given)
            row = std::move(*given);
        return given.has_value();
    }
    // How many rows the source gives (-1: not known ahead), for the progress; a file read as its
    // rows are given tells an estimate from the bytes read so far.
    virtual qint64 size() const = 0;
    // The flaw that ended the rows before their end (a CSV cell that cannot be read), if any.
    virtual std::optional<ImpactInputError> failure() const { return std::nullopt; }
    // Reads every row ahead and says its first flaw, before any row is given: for a run that must
    // not start a row before the whole input is known to be readable. The rows are then given
    // from the first.
    virtual std::optional<ImpactInputError> check() { return std::nullopt; }

protected:
    // next() of a source that fills rows in place (its nextInto).
    std::optional<ImpactRow> nextFilled() {
        ImpactRow row;
        return nextInto(row) ? std::optional<ImpactRow>(std::move(row)) : std::nullopt;
    }
};

// The element a column header or a generation spec names in display form
// ("[Prezzo lordo - CURR]", "[Quantità 1]", "{C01 - Colore}", "|V01 - Colore scocca|"), or nullopt.
// The host binds it to the formula language of the record (its categories and variants).
using ImpactElementFn = std::function<std::optional<TrialElement>(const QString& displayName)>;

// The binding of a record's formula language: a variable by its label or name (elementNamed, in
// the language of `translate`), a category or a variant by the translation of the name alone to
// SQL form (the language looks its code and description up). `language` must outlive the function
// and should answer its errors silently (an unknown name is nullopt, not a message).
ImpactElementFn languageElements(language::FormulaLanguage& language, const TrialTranslateFn& translate = {});

// How the numbers and dates of a CSV are written: the C locale (1234.5, yyyy-MM-dd) or the
// user's language (1.234,5 and dd/MM/yyyy in Italian, 1,234.5 and MM/dd/yyyy in English; yyyy-MM-dd
// in both). A CSV may state it in its own first line ("#locale=C", "#locale=it", "#locale=en"),
// which then holds over the option.
enum class ImpactNumbers { C, Language };

// The record's test cases as rows ("caso «name»").
std::unique_ptr<ImpactSource> caseRows(const QList<TestCase>& cases, const TrialTranslateFn& translate = {});

// A CSV's rows: the header names inputs in display form, every other line is a row. The header
// is read here (an unknown or repeated name is reported with its line and column); the rows are
// read, checked and given one at a time, and the first that cannot be read (a number that is
// none, a row of another width) ends them as the source's failure(), which runImpact reports
// instead of any figure. `device` must be open, seekable, and outlive the source. `language`: the
// user's (Italian or English), which ImpactNumbers::Language names. The rows' values come as the
// stored reading reads them (numbers as the C locale writes them, the language's dates as
// yyyy-mm-dd).
std::variant<std::unique_ptr<ImpactSource>, ImpactInputError>
csvRows(QIODevice* device, const ImpactElementFn& elements, ImpactNumbers numbers,
        const TrialTranslateFn& translate = {}, TrialReading language = TrialReading::Italian);

// Rows generated from one range per input, every combination of their values:
// "[Prezzo lordo - CURR]=da 10 a 100 passo 10; [Quantità 1]=5 casuali da 1 a 1000 seme 7"
// (in English "from 10 to 100 step 10", "5 random from 1 to 1000 seed 7"). The same seed gives
// the same rows. At most MaxGeneratedRows rows.
inline constexpr qint64 MaxGeneratedRows = 10'000'000;
std::variant<std::unique_ptr<ImpactSource>, ImpactInputError>
generatedRows(const QString& spec, const ImpactElementFn& elements, const TrialTranslateFn& translate = {});

// The sources one after the other.
std::unique_ptr<ImpactSource> chainedRows(std::vector<std::unique_ptr<ImpactSource>> sources);

// min, p5, p25, median, p75, p95, max of a distribution (nearest rank); all 0 when it is empty.
struct ImpactQuantiles {
    double min = 0, p5 = 0, p25 = 0, median = 0, p75 = 0, p95 = 0, max = 0;
};
// The quantiles of `values` (any order): the p-quantile is the value of rank ceil(p * n) in
// ascending order (the first for p = 0).
ImpactQuantiles impactQuantiles(std::vector<double> values);

// The separator of a CSV's fields: ';' when the header line has a ';' and no ',' outside quotes
// (as spreadsheets write CSV in Italian), a tab when it has only tabs, ',' otherwise.
// A CSV's line (record) holds at most this many characters.
inline constexpr qsizetype MaxCsvRecordChars = 1'000'000;

// The percent changes of an output in equal bins from `from`, each `width` wide.
struct ImpactHistogram {
    double from = 0;
    double width = 0;
    QList<qint64> counts;
};

// A row that moves an output: its inputs, the output's value before (the old formula's) and
// after (the new one's), as the trial panel shows them, and the change.
struct ImpactMover {
    ImpactRow row;
    std::optional<QString> before;
    std::optional<QString> after;
    double change = 0;
    std::optional<double> percent; // nullopt: the old value is 0 or NULL
};

// What the change does to one output, over the rows both formulas ran on.
struct ImpactOutput {
    TrialElement element;
    qint64 evaluated = 0; // rows both formulas ran on
    qint64 changed = 0;   // of those, rows whose value differs (NULL against a value included)
    ImpactQuantiles absolute;
    ImpactQuantiles percent;
    ImpactHistogram histogram; // of the percent change
    QList<ImpactMover> movers; // the rows that move most (largest absolute percent change first)
};

// A row one formula fails on and the other does not (the message of the one that failed; empty
// for the one that ran).
struct ImpactFailure {
    ImpactRow row;
    QString oldMessage;
    QString newMessage;
};

struct ImpactReport {
    qint64 rows = 0;      // rows read
    qint64 failedOld = 0; // rows the old formula fails on and the new one does not
    qint64 failedNew = 0; // rows the new formula fails on and the old one does not
    qint64 failedBoth = 0;
    QList<ImpactFailure> failures; // the first ones
    QList<ImpactOutput> outputs;   // every output either formula sets, in block order
    std::optional<TrialPath> oldPath, newPath;
    bool cancelled = false; // stopped before the end: the figures are of the rows read so far
    // A row of the input could not be read: the preview reports nothing else (every figure empty).
    std::optional<ImpactInputError> inputError;
};

struct ImpactOptions {
    int top = 10;  // movers kept per output
    int bins = 20; // histogram bins
    int maxFailures = 100;
    TrialOptions trial; // the limits per row, the translation, compiled or not
    // Called now and then from the thread that runs the preview: rows done, rows in all (-1: unknown).
    std::function<void(qint64 done, qint64 total)> progress;
    const std::atomic_bool* cancel = nullptr; // set from any thread: the preview stops soon after
};

// Runs both formulas (SQL forms, normal mode, as stored) over every row of `rows`. Throws ComError
// when a row must run on the engine and the connection cannot run it in isolation. Rows that only
// the compiled evaluator runs start while later rows are still read (it reads and writes nothing:
// a flaw found later only discards their figures); when a formula goes to the engine, the whole
// input is checked first (ImpactSource::check), so that no row reaches it from an input that
// cannot be read.
ImpactReport runImpact(ado::Connection& connection, const QString& oldSql, const QString& newSql,
                       ImpactSource& rows, const ImpactOptions& options = {});

} // namespace check
