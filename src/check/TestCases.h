#pragma once

#include "check/TrialRun.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace ado {
class Connection;
}

namespace check {

class FormulaEvaluation;

// The texts of the test cases, in Italian as the user sees them; the host's translation service
// gives the other languages (data/translations/cases_en.ts).
namespace casemsg {
// %1 the output's label, %2 the expected value, %3 the computed one (NULL when there is none).
inline const QString Differs = QStringLiteral("%1: atteso %2, calcolato %3");
// %1 why the formula did not run.
inline const QString NotRun = QStringLiteral("la formula non è stata eseguita: %1");
// %1 the output's label, %2 the stored value, %3 why it does not fit the output's type.
inline const QString BadExpected = QStringLiteral("valore atteso non valido per %1 («%2»): %3");
// %1 the stored key of an input.
inline const QString UnknownInput = QStringLiteral("il caso dà un valore a %1, che non è un elemento noto");
// %1 the stored key of an input, as the user knows it.
inline const QString InputNotRead =
    QStringLiteral("%1 non è più letto dalla formula: il suo valore è ignorato");
inline const QString UnreadableInputs = QStringLiteral("i valori del caso non si lasciano leggere");
// The strip after the check: %1 cases, %2 differing ones.
inline const QString Summary = QStringLiteral("%1 casi di prova: 1 diverso");
inline const QString SummaryMany = QStringLiteral("%1 casi di prova: %2 diversi");
inline const QString SummaryOne = QStringLiteral("1 caso di prova: 1 diverso");
inline const QString SummaryOneNone = QStringLiteral("1 caso di prova: 0 diversi");
// Names and the store.
inline const QString NameEmpty = QStringLiteral("Il nome del caso di prova è vuoto");
// %1 the limit.
inline const QString NameTooLong = QStringLiteral("Il nome del caso di prova supera i %1 caratteri");
inline const QString NameLineBreak = QStringLiteral("Il nome del caso di prova non può andare a capo");
// %1 the name.
inline const QString NameTaken =
    QStringLiteral("Esiste già un caso di prova di nome «%1» per questa formula");
inline const QString NoSuchCase =
    QStringLiteral("Non esiste un caso di prova di nome «%1» per questa formula");
inline const QString NoRecord = QStringLiteral("la formula del caso non esiste più (contesto %1, id %2)");
inline const QString NoTable = QStringLiteral(
    "Il database non ha la tabella dei casi di prova (LP30_CASIPROVA): esegui formule init-db");
} // namespace casemsg

// One test case of a record: the values given to the formula's inputs (as the trial panel takes
// them: "@ATTPREZZO", "C:123" for a category, "V:V01" for a variant) and the value every output
// is expected to have after the run, as the trial panel shows it (nullopt: NULL).
struct TestCase {
    int context = 0;
    qint64 id = 0;
    QString name;
    QHash<QString, QString> inputs;
    QList<std::optional<QString>> expected; // one per trialOutputs(), in their order
    QString author;
    QDateTime created; // whole seconds, local time as the host keeps it

    bool operator==(const TestCase&) const = default;
};

// The longest name a case may have.
inline constexpr qsizetype MaxCaseNameLength = 80;

// Why `name` cannot name a case ("" when it can): empty, too long or on several lines. The name
// is compared without its blanks at both ends.
QString caseNameProblem(const QString& name, const TrialTranslateFn& translate = {});

// The inputs of a case as the trial run takes them. Keys that name no element are left out and
// reported in `unknown`.
struct CaseInputs {
    QList<TrialInput> inputs;
    QStringList unknown;
};
CaseInputs caseInputs(const TestCase& testCase);

// The key an input has in a case and in the trial panel ("@ATTPREZZO", "C:123", "V:V01").
QString inputKey(const TrialElement& element);

// A case made from the values given and the outputs of a run that ran.
TestCase caseFromRun(int context, qint64 id, const QString& name, const QHash<QString, QString>& inputs,
                     const TrialResult& result);

// The test cases kept with the formulas, in the table LP30_CASIPROVA: one row per case, keyed by
// context, record and name. Every call is one statement on the connection; each throws
// core::ComError when the database refuses it (a missing table: see available()).
class TestCaseStore {
public:
    explicit TestCaseStore(ado::Connection& connection);

    // Whether the database has the table (a database made before it: formule init-db adds it).
    bool available();
    // The cases of a record, by name.
    QList<TestCase> load(int context, qint64 id);
    // The cases of the records of `context` whose ids are between `first` and `last`, by id and
    // name; of every context when it is nullopt (then the ids are not restricted either).
    QList<TestCase> loadRange(std::optional<int> context, qint64 first, qint64 last);
    QList<TestCase> loadAll(std::optional<int> context, std::optional<qint64> id);
    // Adds a case; a name already used by a case of the record (in any case of letters) is
    // refused with NameTaken, a name that cannot be one with its problem. Throws ComError.
    void add(const TestCase& testCase, const TrialTranslateFn& translate = {});
    // Replaces the values and the expected outputs of the case of the same name.
    void update(const TestCase& testCase, const TrialTranslateFn& translate = {});
    void rename(int context, qint64 id, const QString& from, const QString& to,
                const TrialTranslateFn& translate = {});
    void remove(int context, qint64 id, const QString& name, const TrialTranslateFn& translate = {});

private:
    QList<TestCase> select(const QString& where);
    bool exists(int context, qint64 id, const QString& name);
    ado::Connection& m_connection;
};

// One output of a case, expected against computed.
struct CaseComparison {
    TrialElement element;
    std::optional<QString> expected;
    std::optional<QString> computed;
    bool differs = false;
};

// The outcome of one case: it passes when the formula ran and every output has the value
// expected, text for text. `difference` names the first output that differs, or why the case
// could not be judged; `notes` the inputs the formula no longer reads.
struct CaseOutcome {
    QString name;
    bool passed = false;
    QString difference;
    QStringList notes;
    QList<CaseComparison> outputs;
};

// Compares what a run gave with what the case expects.
CaseOutcome compareCase(const TestCase& testCase, const TrialResult& result, const QString& sql,
                        const TrialTranslateFn& translate = {});

// Runs a case through `evaluation` (the formula's SQL form as stored) and compares. Throws
// ComError as FormulaEvaluation::run does.
CaseOutcome runCase(FormulaEvaluation& evaluation, ado::Connection& connection, const TestCase& testCase,
                    const TrialOptions& options = {});

// Runs the cases of one record on its formula, one evaluation for all of them. A case that the
// connection cannot run in isolation fails with the reason.
QList<CaseOutcome> runCases(ado::Connection& connection, const QString& sql, const QList<TestCase>& cases,
                            const TrialOptions& options = {});
// The same through an evaluation of the formula its caller has made already.
QList<CaseOutcome> runCases(ado::Connection& connection, FormulaEvaluation& evaluation,
                            const QList<TestCase>& cases, const TrialOptions& options = {});

// The stored SQL form of a record (trailing blanks removed; "" for NULL), nullopt when the
// record does not exist or the context is none of 0, 1 and 2. Throws ComError.
std::optional<QString> storedFormula(ado::Connection& connection, int context, qint64 id);

// The strip's line after the cases ran: "3 casi di prova: 1 diverso".
QString casesSummary(qsizetype cases, qsizetype differing, const TrialTranslateFn& translate = {});

} // namespace check
