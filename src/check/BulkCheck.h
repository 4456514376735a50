#pragma once

#include "language/StoredFormulas.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ado {
class Connection;
}

namespace check {

// The outcome of one stored formula. Stale: it refers to a category id or a variant code
// that no longer exists, so its display form keeps the raw sub-query; it wins over Error.
// Unchecked: the server could not judge the formula (busy, too slow, connection lost or never
// made); its message says why. Stale wins over it: it is found before the server is asked.
// Case: the formula is correct, but one of the record's test cases gives another value than the
// one it expects; the message names the first such case and its first differing output.
enum class Verdict { Ok, Error, Stale, Unchecked, Case };

// "OK", "ERROR", "STALE", "UNCHECKED", "CASE": the words of the tool's output, never translated.
QString verdictName(Verdict verdict);

// One field of a CSV row of the results: quoted when it holds a separator, a quote or a line
// break (the tool's --format csv and the verification window's export).
QString csvField(const QString& text);

// The texts the verification shows, in Italian (through the host's translation service).
namespace bulkmsg {
inline const QString Unshowable =
    QStringLiteral("La formula memorizzata non si lascia mostrare nella forma di visualizzazione");
inline const QString MissingCategories = QStringLiteral("Categorie che non esistono più: %1");
inline const QString MissingVariants = QStringLiteral("Varianti che non esistono più: %1");
inline const QString NoConnection = QStringLiteral("Connessione non riuscita: %1");
// %1 the case's name, %2 its first difference.
inline const QString CaseDiffers = QStringLiteral("caso di prova «%1»: %2");
} // namespace bulkmsg

// What the check of one stored formula found.
struct CheckedFormula {
    int context = 0;
    qint64 id = 0;
    QString description;
    Verdict verdict = Verdict::Ok;
    QString message; // the server's first message, why the formula cannot be shown, the missing ids
    int line = 0;    // the formula's line the message refers to, from 1; 0 when unknown
};

using TranslateText = std::function<QString(const QString&)>;

// How a stored formula is judged. AsProduction: the stored SQL form as production runs it
// (check::runAsProduction: the declarations, the two xml variables, the sub-queries). AsEditor:
// the window's check of its display form, where categories and variants are placeholders.
enum class Judgement { AsProduction, AsEditor };

// One stored formula on one connection: the stored SQL form to the display form (apostrophes as
// the window shows them), which finds the stale and the unshowable ones; then the judgement
// (runGuarded either way: nothing the formula does stays).
class FormulaChecker {
public:
    // `connection` must outlive the checker.
    // `cases`: a formula judged correct runs the test cases of its record too (a database
    // without their table has none).
    FormulaChecker(ado::Connection& connection, TranslateText translate,
                   Judgement judgement = Judgement::AsProduction, bool cases = false);
    ~FormulaChecker();
    FormulaChecker(const FormulaChecker&) = delete;
    FormulaChecker& operator=(const FormulaChecker&) = delete;

    CheckedFormula check(const language::StoredFormula& record);

    // Answers the look-ups of the display forms of `records` in advance, in a few statements
    // for all of them, for their checks that follow. The answers are kept for the checker's
    // life (a bounded number of them): the check changes no data, and a run of the bulk check
    // reads the categories and variants as they were when it read them first.
    void prefetch(const std::vector<language::StoredFormula>& records);

    // Records a run hands to the checker at a time, their look-ups answered together.
    static constexpr std::size_t PrefetchRecords = 64;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

// Counts of a run.
struct BulkSummary {
    qint64 ok = 0;
    qint64 error = 0;
    qint64 stale = 0;
    qint64 unchecked = 0;
    qint64 cases = 0;
    bool cancelled = false;
    qint64 total() const { return ok + error + stale + unchecked + cases; }
    void add(Verdict verdict);
};

struct BulkCheckOptions {
    QString connectionString;        // what the parallel jobs open, one connection each
    std::optional<int> context;      // nullopt: the three contexts
    int jobs = 1;                    // connections checking at the same time (1 to 64)
    TranslateText translate;         // the host's translation service; unset: Italian
    std::function<bool()> cancelled; // asked between records
    Judgement judgement = Judgement::AsProduction;
    // Go on after this record (context, id) of an interrupted run; nullopt: from the start.
    std::optional<std::pair<int, qint64>> after;
    // Run the test cases of every record whose formula is correct (verdict Case when one differs).
    bool cases = false;
};

// The check of every stored formula (not NULL) of the three tables, in the order context then
// id. The records are read forward only, a page at a time; with jobs > 1 each job is a thread
// with its own connection, and the results still come out in record order, at most a few
// pages ahead of the slowest job.
class BulkCheck {
public:
    explicit BulkCheck(BulkCheckOptions options);

    // Reads the records on `connection` (which also checks them when jobs is 1) and hands
    // every result to `each` on the calling thread. Throws core::ComError when reading fails.
    BulkSummary run(ado::Connection& connection, const std::function<void(const CheckedFormula&)>& each);

    // How many stored formulas the run will check (one count statement per table).
    static qint64 countRecords(ado::Connection& connection, std::optional<int> context);

private:
    BulkSummary runParallel(ado::Connection& connection,
                            const std::function<void(const CheckedFormula&)>& each);

    BulkCheckOptions m_options;
};

} // namespace check
