// The impact preview's run: both formulas on every row, the rows the compiled evaluator takes on
// two threads (a runner of each formula per thread), the others through the trial's guarded,
// rolled-back run on the caller's thread; then the figures of every output, row by row in the
// order of the rows.

#include "check/CompiledRows.h"
#include "check/FormulaEvaluation.h"
#include "check/Impact.h"
#include "check/ImpactStatistics.h"

#include <QSet>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace check {

namespace {

namespace compiled = tsql::compiled;
using compiledrows::CompiledTrial;

constexpr size_t BatchRows = 256;
// The reader stays this far ahead of the rows it compares: with the workers and the reader
// sharing the processors, a batch a worker was slow on would otherwise leave the reader waiting
// and a processor idle (2,048 rows in flight took a fifth longer over a million rows than these
// 16,384, which hold about 45 MB).
constexpr size_t BatchesInFlight = 64;
constexpr int Workers = 2;

// One formula made ready for the preview.
struct Formula {
    explicit Formula(const QString& text)
        : sql(text)
        , evaluation(text) {}
    QString sql;
    FormulaEvaluation evaluation;
    TrialPath path;
    CompiledTrial trial;     // the compiled path's program
    std::vector<bool> named; // by slot: the variables the program reads and writes
    bool compiled() const { return path.path == EvaluationPath::Compiled && trial.compiled.program; }
};

const tsql::SqlType& trialText() {
    static const tsql::SqlType text = *tsql::parseTypeName(QStringLiteral("NVARCHAR(100)"));
    return text;
}

// A value as the trial's CONVERT(NVARCHAR(100), x) writes it.
std::optional<QString> textOf(const tsql::Value& v) {
    if (v.null)
        return std::nullopt;
    try {
        return tsql::convert(v, trialText(), true).s;
    } catch (const tsql::SqlError&) {
        return tsql::toText(v);
    }
}

std::optional<double> numberOf(const tsql::Value& v) {
    if (v.null)
        return std::nullopt;
    if (v.type.id == tsql::TypeId::Decimal || v.type.id == tsql::TypeId::Money ||
        v.type.id == tsql::TypeId::SmallMoney)
        return v.n.toDouble();
    if (v.type.isInteger())
        return double(v.i);
    if (v.type.id == tsql::TypeId::Float || v.type.id == tsql::TypeId::Real)
        return v.f;
    return std::nullopt;
}

std::optional<double> numberOf(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double d = text->toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

// What the figures of an output that did not change need of its value: whether it is a number
// (nullopt otherwise) and whether it is zero (1 for any other number), found without making a
// double of it.
std::optional<double> zeroOrNot(const tsql::Value& v) {
    if (!v.null && (v.type.id == tsql::TypeId::Decimal || v.type.id == tsql::TypeId::Money ||
                    v.type.id == tsql::TypeId::SmallMoney))
        return v.n.v == 0 ? 0 : 1;
    const std::optional<double> n = numberOf(v);
    return n ? std::optional<double>(*n == 0 ? 0 : 1) : std::nullopt;
}

bool sameValue(const tsql::Value& a, const tsql::Value& b) {
    if (a.null || b.null)
        return a.null == b.null;
    if (a.type.id == tsql::TypeId::Decimal && b.type.id == tsql::TypeId::Decimal && a.n.scale == b.n.scale)
        return a.n.v == b.n.v;
    return textOf(a) == textOf(b);
}

// One formula's run of one row.
struct Side {
    bool ran = false;
    bool engine = false; // left to the engine, on the caller's thread
    QString message;
    bool typed = false;
    // typed: the reported outputs after the formula; those that differ alone when the row is
    // paired (Work::compared)
    std::vector<tsql::Value> values;
    QList<std::optional<QString>> texts; // otherwise: as the trial writes them

    // Ready for another row, keeping its lists' storage.
    void clear() {
        ran = engine = typed = false;
        message.clear();
        values.clear();
        texts.clear();
    }
};

// A reported output of a row both formulas ran on the compiled path, compared on the worker: its
// values as numbers, or when it did not change only what zeroOrNot tells of them.
struct Compared {
    bool equal = false;
    std::optional<double> before, after;
};

struct Work {
    ImpactRow row;
    Side side[2];
    // Both sides ran on the compiled path: their outputs compared, by reported output, and only
    // the values that differ kept in the sides (what the rows that move most show).
    bool paired = false;
    std::vector<Compared> compared;
};

// Batches are used again and so are their rows, each with the storage of its lists: a row
// allocates no list it had before.
struct Batch {
    std::vector<Work> rows; // the first `count` are this batch's rows
    size_t count = 0;
    bool done = false;

    Work* begin() { return rows.data(); }
    Work* end() { return rows.data() + count; }
    // The next row's place, its sides ready and its row as the last one there left it (a source
    // fills it in, using its lists again); drop() gives it back when no row came.
    Work& add() {
        if (count == rows.size())
            rows.emplace_back();
        Work& w = rows[count++];
        w.side[0].clear();
        w.side[1].clear();
        w.paired = false;
        w.compared.clear();
        return w;
    }
    void drop() { --count; }
};

// The trial's message of an error the compiled evaluator stopped at (its line is the formula's).
QString compiledFailure(const tsql::ServerError& error, const TrialTranslateFn& translate) {
    GuardedOutcome outcome;
    outcome.errors << ado::embeddedError(error);
    return describeFailure(outcome, 0, translate);
}

// The values of coded rows' texts, each text of a column converted once (under the declarations
// of the formula it was converted for), and the documents of their references, each read once
// for the codes of the reference columns. A row's values are then found by declaration slot,
// where they are kept: the programs' rows borrow them, none is copied before a program runs.
class CodedInputs {
public:
    // Reads the row: false when it must go to the engine.
    bool fill(const CompiledTrial& formula, const ImpactRow& row, const TrialTranslateFn& translate);
    // Asks for the conversions a later row of the same file will read (after a fill).
    void prefetchConverted(const ImpactRow& row) const;
    // The value of the row's variable in `slot` (null: the variable's NULL), until the next row.
    const tsql::Value* valueOf(int slot) const { return m_bySlot[size_t(slot)]; }
    const compiled::NodeList& nodes(TrialElement::Kind kind) const {
        return m_nodes[kind == TrialElement::Kind::Category ? 0 : 1];
    }

private:
    using Converted = compiledrows::ConvertedInputs::Converted;
    static constexpr qsizetype MaxDocuments = 4096;
    struct Document {
        bool none = false; // no reference has a text: no document
        std::optional<compiledrows::ReadDocument> read;
    };
    const Document& document(const CompiledTrial& formula, const ImpactRow& row, TrialElement::Kind kind);
    // The plain number the row carries for column `i`, if any (`next`: where the search goes on,
    // the numbers being in column order).
    static const tsql::Value* numberOf(const ImpactRow& row, qsizetype i, size_t& next) {
        while (next < row.numbers.size() && row.numbers[next].first < i)
            ++next;
        return next < row.numbers.size() && row.numbers[next].first == i ? &row.numbers[next].second
                                                                         : nullptr;
    }
    const Converted& converted(const CompiledTrial& formula, const ImpactRow& row, qsizetype i,
                               const TrialTranslateFn& translate);
    void set(int slot, const tsql::Value* value) {
        if (!m_bySlot[size_t(slot)])
            m_setSlots.push_back(slot);
        m_bySlot[size_t(slot)] = value;
        // The formulas read it soon: its type and number are asked for from memory now, while
        // the row's other values are found.
        __builtin_prefetch(value);
    }

    std::shared_ptr<const compiledrows::Slots> m_slots;
    const ImpactColumns* m_columns = nullptr;
    // By column, by code, in chunks that never move (a column's codes grow as the file is read).
    struct Chunk {
        static constexpr size_t Size = 256;
        std::optional<Converted> at[Size];
    };
    std::vector<std::vector<std::unique_ptr<Chunk>>> m_values;
    std::vector<int> m_columnSlots;             // by column: its variable's slot
    QHash<QByteArray, Document> m_documents[2]; // categories, variants
    QByteArray m_key;
    std::vector<const tsql::Value*> m_bySlot; // the row's values
    std::vector<int> m_setSlots;              // the slots given a value for the row
    std::vector<Converted> m_once;            // the row's texts its columns do not keep, converted
    compiled::NodeList m_nodes[2];
};

const CodedInputs::Document& CodedInputs::document(const CompiledTrial& formula, const ImpactRow& row,
                                                   TrialElement::Kind kind) {
    const ImpactColumns& columns = *row.columns;
    m_key.resize(0);
    for (qsizetype i = 0; i < columns.elements.size(); ++i) {
        if (columns.elements.at(i).kind != kind)
            continue;
        const qint32 code = row.codes[size_t(i)];
        m_key.append(reinterpret_cast<const char*>(&code), sizeof code);
        if (code < 0) {
            const QString& text = row.cells.at(i);
            const qint32 length = qint32(text.size());
            m_key.append(reinterpret_cast<const char*>(&length), sizeof length);
            m_key.append(reinterpret_cast<const char*>(text.constData()),
                         text.size() * qsizetype(sizeof(QChar)));
        }
    }
    QHash<QByteArray, Document>& known = m_documents[kind == TrialElement::Kind::Category ? 0 : 1];
    if (const auto it = known.constFind(m_key); it != known.constEnd())
        return *it;
    if (known.size() >= MaxDocuments)
        known.clear();
    QList<TrialInput> references;
    for (qsizetype i = 0; i < columns.elements.size(); ++i)
        if (columns.elements.at(i).kind == kind)
            references.append({columns.elements.at(i), columns.text(row, i)});
    Document made;
    const QString xml = trialReferenceXml(references, kind);
    made.none = xml.isEmpty();
    if (!made.none)
        made.read = compiledrows::readDocument(formula, kind, xml);
    return *known.emplace(m_key, std::move(made));
}

// The conversions the row's coded columns keep, asked for from memory (for the next row, while
// this one runs).
void CodedInputs::prefetchConverted(const ImpactRow& row) const {
    for (size_t i = 0; i < m_values.size() && i < row.codes.size(); ++i) {
        const qint32 code = row.codes[i];
        const std::vector<std::unique_ptr<Chunk>>& chunks = m_values[i];
        const size_t chunk = size_t(code) / Chunk::Size;
        if (code < 0 || chunk >= chunks.size() || !chunks[chunk])
            continue;
        const char* at = reinterpret_cast<const char*>(&chunks[chunk]->at[size_t(code) % Chunk::Size]);
        __builtin_prefetch(at);
        __builtin_prefetch(at + 64);
    }
}

// The conversion of column `i`'s text: kept with the column's code, or made for this row alone.
const CodedInputs::Converted& CodedInputs::converted(const CompiledTrial& formula, const ImpactRow& row,
                                                     qsizetype i, const TrialTranslateFn& translate) {
    const ImpactColumns& columns = *row.columns;
    const TrialElement& element = columns.elements.at(i);
    const qint32 code = row.codes[size_t(i)];
    if (code >= 0) {
        std::vector<std::unique_ptr<Chunk>>& chunks = m_values[size_t(i)];
        const size_t chunk = size_t(code) / Chunk::Size;
        if (chunks.size() <= chunk)
            chunks.resize(chunk + 1);
        if (!chunks[chunk])
            chunks[chunk] = std::make_unique<Chunk>();
        std::optional<Converted>& value = chunks[chunk]->at[size_t(code) % Chunk::Size];
        if (!value)
            value = compiledrows::convertedInput(formula, {element, columns.texts[size_t(i)].at(code)},
                                                 translate);
        return *value;
    }
    // Reserved for every column: the values set before stay where they are.
    m_once.push_back(compiledrows::convertedInput(formula, {element, row.cells.at(i)}, translate));
    return m_once.back();
}

bool CodedInputs::fill(const CompiledTrial& formula, const ImpactRow& row,
                       const TrialTranslateFn& translate) {
    const ImpactColumns& columns = *row.columns;
    if (m_slots != formula.slotMap || m_columns != &columns) {
        m_slots = formula.slotMap; // other declarations or another file: other values
        m_columns = &columns;
        m_values.clear();
        m_values.resize(size_t(columns.elements.size()));
        m_columnSlots.clear();
        for (const TrialElement& element : columns.elements)
            m_columnSlots.push_back(
                element.kind == TrialElement::Kind::Variable ? formula.variableSlots().of(element.key) : -1);
        for (auto& documents : m_documents)
            documents.clear();
        m_bySlot.assign(formula.compiled.program->variables().size(), nullptr);
        m_setSlots.clear();
        m_once.reserve(size_t(columns.elements.size()));
    }
    for (int slot : m_setSlots)
        m_bySlot[size_t(slot)] = nullptr;
    m_setSlots.clear();
    m_once.clear();
    m_nodes[0] = m_nodes[1] = {};
    bool references[2] = {false, false};
    size_t nextNumber = 0;
    for (qsizetype i = 0; i < columns.elements.size(); ++i) {
        const TrialElement::Kind kind = columns.elements.at(i).kind;
        if (kind != TrialElement::Kind::Variable) {
            references[kind == TrialElement::Kind::Category ? 0 : 1] = true;
            continue;
        }
        // A plain number the file gave, read already, is its variable's value as it is.
        if (row.codes[size_t(i)] < 0)
            if (const tsql::Value* number = numberOf(row, i, nextNumber);
                number && compiledrows::plainNumberFits(formula, m_columnSlots[size_t(i)], *number)) {
                set(m_columnSlots[size_t(i)], number);
                continue;
            }
        const Converted& input = converted(formula, row, i, translate);
        const std::optional<const tsql::Value*> value = compiledrows::valueSet(input);
        if (!value)
            return false;
        if (*value)
            set(input.slot, *value);
    }
    for (const TrialElement::Kind kind : {TrialElement::Kind::Category, TrialElement::Kind::Variant}) {
        if (!references[kind == TrialElement::Kind::Category ? 0 : 1])
            continue;
        const Document& doc = document(formula, row, kind);
        if (doc.none)
            continue;
        const int slot = compiledrows::documentSlot(formula, kind);
        if (!doc.read || slot < 0)
            return false;
        set(slot, &doc.read->value);
        m_nodes[kind == TrialElement::Kind::Category ? 0 : 1] = doc.read->nodes;
    }
    return compiledrows::outputsKnown(formula);
}

// Runs the compiled sides of rows; everything it reads is set before the threads start.
class RowRunner {
public:
    RowRunner(Formula* formulas[2], const std::vector<int>& reported, const ImpactOptions& options)
        : m_reported(reported)
        , m_translate(options.trial.translate) {
        const compiled::RunOptions run{ado::embeddedLimits(options.trial.limits), 0, false};
        for (int s = 0; s < 2; ++s) {
            m_formulas[s] = formulas[s];
            if (formulas[s]->compiled())
                m_runners[s] = std::make_unique<compiled::Runner>(formulas[s]->trial.compiled.program, run);
        }
    }
    void cancel() {
        for (auto& r : m_runners)
            if (r)
                r->cancel();
    }
    // Runs `w`; `next`, the row that follows it, if any, has what it reads asked for meanwhile.
    void run(Work& w, const Work* next = nullptr);

private:
    void keepOutputs(Work& w);

    Formula* m_formulas[2];
    std::unique_ptr<compiled::Runner> m_runners[2];
    compiled::Row m_rows[2];
    std::vector<const tsql::Value*> m_outputs[2]; // a side's reported outputs, where they are
    compiledrows::InitialValues m_initial;        // the row's values, its vectors reused row after row
    compiledrows::ConvertedInputs m_converted;
    CodedInputs m_coded;
    const std::vector<int>& m_reported;
    TrialTranslateFn m_translate;
};

void RowRunner::run(Work& w, const Work* next) {
    const CompiledTrial* any = m_runners[0]   ? &m_formulas[0]->trial
                               : m_runners[1] ? &m_formulas[1]->trial
                                              : nullptr;
    const bool coded = w.row.coded();
    const bool read = any && (coded ? m_coded.fill(*any, w.row, m_translate)
                                    : compiledrows::fillInitialValues(*any, w.row.inputs, m_translate,
                                                                      m_initial, m_converted));
    if (read && coded && next && next->row.columns == w.row.columns)
        m_coded.prefetchConverted(next->row);
    for (int s = 0; s < 2; ++s) {
        Side& side = w.side[s];
        if (!m_runners[s] || !read) {
            side.engine = true;
            continue;
        }
        const Formula& f = *m_formulas[s];
        const compiled::Program& program = *f.trial.compiled.program;
        compiled::Row& row = m_rows[s];
        if (coded) {
            row.values.clear();
            row.borrowed.clear();
            for (int slot : program.inputs())
                row.borrowed.push_back(m_coded.valueOf(slot));
            row.categories = m_coded.nodes(TrialElement::Kind::Category);
            row.variants = m_coded.nodes(TrialElement::Kind::Variant);
        } else {
            compiledrows::fillProgramRow(program, m_initial, row);
        }
        const compiled::Outcome& outcome = m_runners[s]->run(row);
        if (outcome.error) {
            side.message = compiledFailure(*outcome.error, m_translate);
            continue;
        }
        side.ran = true;
        side.typed = true;
        std::vector<const tsql::Value*>& outputs = m_outputs[s];
        outputs.clear();
        for (int out : m_reported) {
            const int slot = f.trial.outputSlots[size_t(out)];
            if (f.named[size_t(slot)])
                outputs.push_back(&outcome.value(size_t(slot)));
            else if (!coded)
                outputs.push_back(&m_initial.initial[size_t(slot)]);
            else if (const tsql::Value* given = m_coded.valueOf(slot))
                outputs.push_back(given);
            else // a variable the program never names holds its NULL
                outputs.push_back(&outcome.value(size_t(slot)));
        }
    }
    keepOutputs(w);
}

// Compares the outputs of a row both sides ran here, keeping the values of those that differ;
// otherwise keeps every output of a side that ran, for the comparison on the caller's thread.
void RowRunner::keepOutputs(Work& w) {
    if (w.side[0].typed && w.side[1].typed) {
        w.paired = true;
        for (size_t k = 0; k < m_reported.size(); ++k) {
            const tsql::Value& before = *m_outputs[0][k];
            const tsql::Value& after = *m_outputs[1][k];
            if (sameValue(before, after)) {
                const std::optional<double> kind = zeroOrNot(before);
                w.compared.push_back({true, kind, kind});
                continue;
            }
            w.compared.push_back({false, numberOf(before), numberOf(after)});
            w.side[0].values.push_back(before);
            w.side[1].values.push_back(after);
        }
        return;
    }
    for (int s = 0; s < 2; ++s)
        if (w.side[s].typed)
            for (const tsql::Value* v : m_outputs[s])
                w.side[s].values.push_back(*v);
}

// Two threads that run batches of rows in the order they are queued.
class Pool {
public:
    Pool(Formula* formulas[2], const std::vector<int>& reported, const ImpactOptions& options,
         const std::atomic_bool* cancel)
        : m_cancel(cancel) {
        for (int i = 0; i < Workers; ++i)
            m_runners.push_back(std::make_unique<RowRunner>(formulas, reported, options));
        for (int i = 0; i < Workers; ++i)
            m_threads.emplace_back([this, i] { loop(*m_runners[size_t(i)]); });
    }
    ~Pool() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_work.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    void queue(Batch* batch) {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(batch);
        }
        m_work.notify_one();
    }
    // Waits for `batch`; false when the preview was cancelled meanwhile (the runs are stopped).
    bool wait(Batch* batch) {
        std::unique_lock lock(m_mutex);
        while (!batch->done) {
            if (m_cancel && m_cancel->load()) {
                for (auto& r : m_runners)
                    r->cancel();
                return false;
            }
            m_done.wait_for(lock, std::chrono::milliseconds(50));
        }
        return true;
    }

private:
    void loop(RowRunner& runner) {
        while (true) {
            Batch* batch = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                batch = m_queue.front();
                m_queue.pop_front();
            }
            for (Work* w = batch->begin(); w != batch->end(); ++w) {
                if (m_stop || (m_cancel && m_cancel->load()))
                    break;
                // The reader wrote the rows from another processor: the row after the next is
                // asked for now, the next one's values while this one runs.
                if (batch->end() - w > 2) {
                    __builtin_prefetch(w[2].row.codes.data());
                    __builtin_prefetch(w[2].row.numbers.data());
                }
                runner.run(*w, w + 1 != batch->end() ? w + 1 : nullptr);
            }
            {
                std::lock_guard lock(m_mutex);
                batch->done = true;
            }
            m_done.notify_all();
        }
    }

    const std::atomic_bool* m_cancel;
    std::vector<std::unique_ptr<RowRunner>> m_runners;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_work, m_done;
    std::deque<Batch*> m_queue;
    bool m_stop = false;
};

// The figures of one output.
struct OutputFigures {
    explicit OutputFigures(int top)
        : movers(top) {}
    qint64 evaluated = 0, changed = 0;
    impactstats::Distribution absolute, percent;
    impactstats::Movers movers;
};

struct ImpactRunState {
    ado::Connection& connection;
    const ImpactOptions& options;
    Formula* formulas[2];
    std::vector<int> reported; // indexes into trialOutputs()
    std::vector<OutputFigures> figures;
    ImpactReport report;
    qint64 index = 0;

    void finish(Work& w);
    void compare(const Work& w);
};

void ImpactRunState::finish(Work& w) {
    for (int s = 0; s < 2; ++s) {
        Side& side = w.side[s];
        if (!side.engine)
            continue;
        completeRow(w.row);
        const TrialResult r = formulas[s]->evaluation.run(connection, w.row.inputs, options.trial);
        if (!r.ran) {
            side.message = r.message;
            continue;
        }
        side.ran = true;
        for (int out : reported)
            side.texts.append(r.outputs.at(out).after);
    }
    ++report.rows;
    const bool oldRan = w.side[0].ran, newRan = w.side[1].ran;
    if (oldRan && newRan) {
        compare(w);
    } else if (!oldRan && !newRan) {
        ++report.failedBoth;
    } else {
        ++(oldRan ? report.failedNew : report.failedOld);
        if (report.failures.size() < options.maxFailures) {
            report.failures.append({w.row, w.side[0].message, w.side[1].message});
            completeRow(report.failures.last().row);
        }
    }
    ++index;
}

void ImpactRunState::compare(const Work& w) {
    const Side& a = w.side[0];
    const Side& b = w.side[1];
    size_t differing = 0; // paired: the kept values of the next output that differs
    for (size_t k = 0; k < reported.size(); ++k) {
        OutputFigures& f = figures[k];
        bool equal;
        std::optional<double> before, after;
        std::optional<QString> beforeText, afterText;
        bool texts = false;
        size_t kept = k; // where the sides keep this output's values
        if (w.paired) {
            const Compared& c = w.compared[k];
            equal = c.equal;
            before = c.before;
            after = c.after;
            if (!equal)
                kept = differing++;
        } else if (a.typed && b.typed) {
            equal = sameValue(a.values[k], b.values[k]);
            before = numberOf(a.values[k]);
            after = numberOf(b.values[k]);
        } else {
            beforeText = a.typed ? textOf(a.values[k]) : a.texts.at(qsizetype(k));
            afterText = b.typed ? textOf(b.values[k]) : b.texts.at(qsizetype(k));
            texts = true;
            equal = beforeText == afterText;
            before = numberOf(beforeText);
            after = numberOf(afterText);
        }
        ++f.evaluated;
        const double change = after.value_or(0) - before.value_or(0);
        std::optional<double> percent;
        if (before && *before != 0)
            percent = change / std::abs(*before) * 100;
        f.absolute.add(equal ? 0 : change);
        if (percent)
            f.percent.add(equal ? 0 : *percent);
        if (equal)
            continue;
        ++f.changed;
        ImpactMover mover{{}, std::nullopt, std::nullopt, change, percent};
        if (!f.movers.wanted(mover, index))
            continue;
        mover.row = w.row;
        completeRow(mover.row);
        mover.before = texts ? beforeText : textOf(a.values[kept]);
        mover.after = texts ? afterText : textOf(b.values[kept]);
        f.movers.add(std::move(mover), index);
    }
}

// The outputs either formula names, as indexes into trialOutputs().
std::vector<int> reportedOutputs(const QString& oldSql, const QString& newSql) {
    QSet<QString> named;
    for (const QString& sql : {oldSql, newSql})
        for (const TrialElement& e : trialElements(sql))
            if (e.output)
                named.insert(e.key);
    std::vector<int> out;
    for (qsizetype i = 0; i < trialOutputs().size(); ++i)
        if (named.contains(trialOutputs().at(i).key))
            out.push_back(int(i));
    return out;
}

void prepare(Formula& f, ado::Connection& connection, const TrialOptions& options) {
    f.path = f.evaluation.plan(connection, options);
    if (f.path.path != EvaluationPath::Compiled)
        return;
    f.trial = compiledrows::compileTrial(f.sql);
    if (!f.trial.compiled.program)
        return;
    f.named.assign(f.trial.compiled.program->variables().size(), false);
    for (int slot : f.trial.compiled.program->inputs())
        f.named[size_t(slot)] = true;
}

} // namespace

ImpactReport runImpact(ado::Connection& connection, const QString& oldSql, const QString& newSql,
                       ImpactSource& rows, const ImpactOptions& options) {
    Formula oldFormula(oldSql), newFormula(newSql);
    prepare(oldFormula, connection, options.trial);
    prepare(newFormula, connection, options.trial);
    ImpactRunState state{connection, options, {&oldFormula, &newFormula}, reportedOutputs(oldSql, newSql), {},
                         {},         0};
    state.report.oldPath = oldFormula.path;
    state.report.newPath = newFormula.path;
    for (size_t k = 0; k < state.reported.size(); ++k)
        state.figures.emplace_back(options.top);
    auto cancelled = [&] { return options.cancel && options.cancel->load(); };
    if (!oldFormula.compiled() || !newFormula.compiled()) {
        if (std::optional<ImpactInputError> flaw = rows.check()) {
            state.report.inputError = flaw;
            return std::move(state.report);
        }
    }

    // The batches are declared before the threads, which end first, whatever ends the run (an
    // engine's row may throw).
    std::deque<std::unique_ptr<Batch>> inFlight;
    std::vector<std::unique_ptr<Batch>> spare;
    std::optional<Pool> pool;
    std::optional<RowRunner> inline_;
    if (oldFormula.compiled() || newFormula.compiled())
        pool.emplace(state.formulas, state.reported, options, options.cancel);
    else
        inline_.emplace(state.formulas, state.reported, options);
    bool ended = false;
    while (!state.report.cancelled) {
        while (!ended && inFlight.size() < BatchesInFlight && !cancelled()) {
            std::unique_ptr<Batch> batch;
            if (spare.empty()) {
                batch = std::make_unique<Batch>();
                batch->rows.reserve(BatchRows);
            } else {
                batch = std::move(spare.back());
                spare.pop_back();
            }
            while (batch->count < BatchRows) {
                if (!rows.nextInto(batch->add().row)) {
                    batch->drop();
                    ended = true;
                    break;
                }
            }
            if (batch->count == 0)
                break;
            if (pool)
                pool->queue(batch.get());
            inFlight.push_back(std::move(batch));
        }
        if (inFlight.empty())
            break;
        Batch* front = inFlight.front().get();
        if (pool ? !pool->wait(front) : cancelled()) {
            state.report.cancelled = true;
            break;
        }
        for (Work& w : *front) {
            if (cancelled()) {
                state.report.cancelled = true;
                break;
            }
            if (inline_)
                inline_->run(w);
            state.finish(w);
        }
        if (state.report.cancelled)
            break;
        front->count = 0;
        front->done = false;
        spare.push_back(std::move(inFlight.front()));
        inFlight.pop_front();
        if (options.progress)
            options.progress(state.report.rows, rows.size());
    }
    pool.reset(); // the threads end before the batches they may still hold
    if (std::optional<ImpactInputError> flaw = rows.failure()) {
        // The rows run so far came from an input that cannot be read: none of them is reported.
        ImpactReport refused;
        refused.oldPath = state.report.oldPath;
        refused.newPath = state.report.newPath;
        refused.inputError = std::move(flaw);
        return refused;
    }
    if (cancelled())
        state.report.cancelled = true;
    for (size_t k = 0; k < state.reported.size(); ++k) {
        OutputFigures& f = state.figures[k];
        ImpactOutput out;
        out.element = trialOutputs().at(state.reported[k]);
        out.evaluated = f.evaluated;
        out.changed = f.changed;
        out.absolute = f.absolute.quantiles();
        out.percent = f.percent.quantiles();
        out.histogram = f.percent.histogram(options.bins);
        out.movers = f.movers.take();
        state.report.outputs.append(std::move(out));
    }
    return std::move(state.report);
}

} // namespace check
