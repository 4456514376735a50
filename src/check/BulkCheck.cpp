#include "check/BulkCheck.h"

#include "ado/Ado.h"
#include "check/FormulaEvaluation.h"
#include "check/ProductionRun.h"
#include "check/SyntaxCheck.h"
#include "check/TestCases.h"
#include "core/TextBox.h"
#include "language/FormulaLanguage.h"
#include "language/References.h"
#include "language/StoredFormulas.h"

#include <QHash>
#include <QPair>
#include <QStringList>

#include <algorithm>
#include <exception>

namespace check {

namespace {

using language::refs::Kind;

// The values of the sub-queries of one kind left in a display form, each once, in text order.
QStringList leftReferences(const QString& shown, Kind kind) {
    QStringList values;
    for (const QString& value : language::refs::markerValues(shown, kind)) {
        const QString trimmed = language::refs::trimBlanks(value);
        if (!values.contains(trimmed))
            values.append(trimmed);
    }
    return values;
}

// The line (from 1) of the first sub-query left in a display form.
int firstReferenceLine(const QString& shown) {
    qsizetype pos = shown.size();
    for (const QStringView marker :
         {QStringView(language::refs::CategoryMarker), QStringView(language::refs::VariantMarker)}) {
        const qsizetype at = shown.indexOf(marker);
        if (at >= 0)
            pos = std::min(pos, at);
    }
    return static_cast<int>(QStringView(shown).left(pos).count(u'\n')) + 1;
}

// The next records of `reader`, at most FormulaChecker::PrefetchRecords of them (none at the
// end); `failure` receives what a reading that failed threw, after the records read before it.
void readAhead(language::StoredFormulaReader& reader, std::vector<language::StoredFormula>& records,
               std::exception_ptr& failure) {
    records.clear();
    try {
        while (records.size() < FormulaChecker::PrefetchRecords) {
            std::optional<language::StoredFormula> record = reader.next();
            if (!record)
                return;
            records.push_back(std::move(*record));
        }
    } catch (...) {
        failure = std::current_exception();
    }
}

} // namespace

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return QStringLiteral("OK");
    case Verdict::Error:
        return QStringLiteral("ERROR");
    case Verdict::Stale:
        return QStringLiteral("STALE");
    case Verdict::Unchecked:
        return QStringLiteral("UNCHECKED");
    case Verdict::Case:
        return QStringLiteral("CASE");
    }
    return {};
}

void BulkSummary::add(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        ++ok;
        break;
    case Verdict::Error:
        ++error;
        break;
    case Verdict::Stale:
        ++stale;
        break;
    case Verdict::Unchecked:
        ++unchecked;
        break;
    case Verdict::Case:
        ++cases;
        break;
    }
}

struct FormulaChecker::Parts {
    Parts(ado::Connection& on, TranslateText translate, Judgement judged, bool withCases)
        : judgement(judged)
        , cases(withCases)
        , connection(on)
        , store(on)
        , services({.connection = [&on] { return &on; },
                    .translate = std::move(translate),
                    .messageBox = {},
                    .errorAnswer = {},
                    .context = {},
                    .id = {}})
        , language(language::Services{&services, {}, &answers})
        , check(box, services, {.decode = decodeWith(language)}) {}

    // Answers kept at most, about 200 bytes each: beyond, they are dropped before a prefetch.
    static constexpr qsizetype kAnswersKept = 2048;

    Judgement judgement;
    bool cases;
    ado::Connection& connection;
    TestCaseStore store;
    std::optional<bool> storeAvailable;
    // The cases of the records of the last prefetch, and which ids it covered in each context.
    QHash<QPair<int, qint64>, QList<TestCase>> recordCases;
    QHash<int, QPair<qint64, qint64>> covered;

    // A record's cases, or why they could not be read.
    struct RecordCases {
        QList<TestCase> cases;
        std::optional<QString> unread;
    };
    QList<TestCase> casesOf(const language::StoredFormula& record);
    RecordCases loadCases(const language::StoredFormula& record);
    ProductionVerdict asProduction(FormulaEvaluation& evaluation, bool compiling);
    void judgeCases(const RecordCases& own, FormulaEvaluation& evaluation, CheckedFormula& result);
    core::FunctionServices services;
    language::refs::LookupAnswers answers;
    language::FormulaLanguage language;
    core::StringTextBox box;
    SyntaxCheck check;
};

QList<TestCase> FormulaChecker::Parts::casesOf(const language::StoredFormula& record) {
    if (!storeAvailable)
        storeAvailable = store.available();
    if (!*storeAvailable)
        return {};
    const auto range = covered.constFind(record.context);
    if (range != covered.constEnd() && record.id >= range->first && record.id <= range->second)
        return recordCases.value({record.context, record.id});
    return store.load(record.context, record.id);
}

FormulaChecker::Parts::RecordCases FormulaChecker::Parts::loadCases(const language::StoredFormula& record) {
    try {
        return {casesOf(record), std::nullopt};
    } catch (const core::ComError& e) {
        return {{}, e.description()};
    }
}

// A formula its cases compile anyway: production's run takes the same program where the compiled
// evaluator gives the engine's verdict, so that the formula is read and bound once. Otherwise, and
// where the engine must run it, the batch goes to the connection.
ProductionVerdict FormulaChecker::Parts::asProduction(FormulaEvaluation& evaluation, bool compiling) {
    if (compiling)
        if (std::optional<ProductionVerdict> verdict =
                evaluation.asProduction(connection, services.f.translate))
            return *verdict;
    return runAsProduction(connection, evaluation.sql(), services.f.translate);
}

void FormulaChecker::Parts::judgeCases(const RecordCases& own, FormulaEvaluation& evaluation,
                                       CheckedFormula& result) {
    if (own.unread) {
        result.verdict = Verdict::Unchecked;
        result.message = *own.unread;
        return;
    }
    if (own.cases.isEmpty())
        return;
    TrialOptions options;
    options.translate = services.f.translate;
    for (const CaseOutcome& outcome : runCases(connection, evaluation, own.cases, options)) {
        if (outcome.passed)
            continue;
        result.verdict = Verdict::Case;
        result.message = services.translate(bulkmsg::CaseDiffers).arg(outcome.name, outcome.difference);
        return;
    }
}

FormulaChecker::FormulaChecker(ado::Connection& connection, TranslateText translate, Judgement judgement,
                               bool cases)
    : m_parts(std::make_unique<Parts>(connection, std::move(translate), judgement, cases)) {}

FormulaChecker::~FormulaChecker() = default;

void FormulaChecker::prefetch(const std::vector<language::StoredFormula>& records) {
    Parts& p = *m_parts;
    if (p.answers.size() > Parts::kAnswersKept)
        p.answers.clear();
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(records.size()));
    for (const language::StoredFormula& record : records)
        texts.append(record.sql);
    p.language.prefetchDisplayLookups(texts);
    if (!p.cases || records.empty())
        return;
    p.recordCases.clear();
    p.covered.clear();
    try {
        if (!p.storeAvailable)
            p.storeAvailable = p.store.available();
        if (!*p.storeAvailable)
            return;
        for (const language::StoredFormula& record : records) {
            auto range = p.covered.find(record.context);
            if (range == p.covered.end())
                p.covered.insert(record.context, {record.id, record.id});
            else
                *range = {std::min(range->first, record.id), std::max(range->second, record.id)};
        }
        for (auto it = p.covered.constBegin(); it != p.covered.constEnd(); ++it)
            for (TestCase& c : p.store.loadRange(it.key(), it->first, it->second))
                p.recordCases[{c.context, c.id}].append(std::move(c));
    } catch (const core::ComError&) {
        // Each record then reads its own cases, and says why when that fails too.
        p.recordCases.clear();
        p.covered.clear();
    }
}

CheckedFormula FormulaChecker::check(const language::StoredFormula& record) {
    CheckedFormula result{record.context, record.id, record.description, Verdict::Ok, {}, 0};
    Parts& p = *m_parts;
    // The window's first activation: the stored form shown again, with a silent error display.
    const core::ErrorAnswerFn abort = [](const QString&, const core::ErrorInfo&) {
        return static_cast<int>(core::Answer::Abort);
    };
    QString shown = p.language.encodeToken(record.sql, abort);
    if (p.language.lastErrorCount() > 0) {
        result.verdict = Verdict::Error;
        result.message = p.services.translate(bulkmsg::Unshowable);
        return result;
    }
    const QStringList categories = leftReferences(shown, Kind::Category);
    const QStringList variants = leftReferences(shown, Kind::Variant);
    if (!categories.isEmpty() || !variants.isEmpty()) {
        QStringList parts;
        if (!categories.isEmpty())
            parts << p.services.translate(bulkmsg::MissingCategories)
                         .arg(categories.join(QStringLiteral(", ")));
        if (!variants.isEmpty())
            parts << p.services.translate(bulkmsg::MissingVariants).arg(variants.join(QStringLiteral(", ")));
        result.verdict = Verdict::Stale;
        result.message = parts.join(QStringLiteral("; "));
        result.line = firstReferenceLine(shown);
        return result;
    }
    FormulaEvaluation evaluation(record.sql);
    std::optional<Parts::RecordCases> own;
    if (p.cases)
        own = p.loadCases(record);
    if (p.judgement == Judgement::AsProduction) {
        const ProductionVerdict verdict = p.asProduction(evaluation, own && !own->cases.isEmpty());
        if (!verdict.correct) {
            result.verdict = verdict.busy ? Verdict::Unchecked : Verdict::Error;
            result.message = verdict.message;
            result.line = verdict.formulaLine;
        }
    } else {
        p.box.setText(language::singledQuotes(shown));
        if (p.check.CheckFormula(false).isEmpty()) {
            result.verdict = p.check.lastServerBusy() ? Verdict::Unchecked : Verdict::Error;
            result.message = p.check.lastServerMessage();
            result.line = p.check.lastFormulaLine();
        }
    }
    if (result.verdict == Verdict::Ok && own)
        p.judgeCases(*own, evaluation, result);
    return result;
}

BulkCheck::BulkCheck(BulkCheckOptions options)
    : m_options(std::move(options)) {
    m_options.jobs = std::clamp(m_options.jobs, 1, 64);
}

qint64 BulkCheck::countRecords(ado::Connection& connection, std::optional<int> context) {
    return language::StoredFormulaReader::count(connection, context);
}

BulkSummary BulkCheck::run(ado::Connection& connection,
                           const std::function<void(const CheckedFormula&)>& each) {
    if (m_options.jobs > 1)
        return runParallel(connection, each);
    BulkSummary summary;
    language::StoredFormulaReader reader(connection, m_options.context);
    if (m_options.after)
        reader.startAfter(m_options.after->first, m_options.after->second);
    FormulaChecker checker(connection, m_options.translate, m_options.judgement, m_options.cases);
    const auto cancelled = [&] { return summary.cancelled = m_options.cancelled && m_options.cancelled(); };
    std::vector<language::StoredFormula> records;
    while (!cancelled()) {
        // A reading that fails stops the run after the records read before it, as it would
        // have stopped reading them one at a time.
        std::exception_ptr failure;
        readAhead(reader, records, failure);
        if (!records.empty())
            checker.prefetch(records);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i > 0 && cancelled())
                return summary;
            const CheckedFormula result = checker.check(records[i]);
            summary.add(result.verdict);
            if (each)
                each(result);
        }
        if (failure)
            std::rethrow_exception(failure);
        if (records.empty())
            break;
    }
    return summary;
}

} // namespace check
