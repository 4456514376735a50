// Compiling a formula: the engine's own parser and binder read the declarations and the formula
// (the declarations once per distinct text, through the engine's batch cache), then the bound
// statements become nodes (CompileStatements.cpp, CompileExpressions.cpp, Lookups.cpp). Binding
// uses a catalogue of no database: a formula that names a table is left to the engine.

#include "tsql/compiled/CompiledFormula.h"

#include "tsql/compiled/Lookups.h"
#include "tsql/compiled/ProgramNodes.h"

#include "tsql/run/BatchCache.h"
#include "tsql/sql/StatementCache.h"
#include "tsql/values/DateSettings.h"
#include "tsql/xml/Xml.h"

#include <QSet>

#include <list>

namespace tsql::compiled {

namespace {

class CompiledProgram final : public Program {
public:
    const std::vector<Variable>& variables() const override { return m_variables; }
    const std::vector<int>& inputs() const override { return m_inputs; }

    std::vector<Variable> m_variables;
    std::vector<int> m_inputs;
    // The inputs, as (input, slot): those the formula assigns (copied from the row) and those it
    // only reads (read in the row).
    std::vector<std::pair<std::size_t, std::size_t>> m_copied, m_readOnly;
    std::vector<std::size_t> m_assigned; // every slot an assignment may charge memory to
    std::vector<SqlType> m_types;        // every slot: the declarations', then the formula's own
    std::vector<StmtNodeP> m_statements;
    int m_scratchLists = 0;
    std::vector<KeyList> m_keyLists;
    int m_lookups = 0;
    int m_declarationLines = 0;
};

// `v` made the NULL of `type`: in place when it holds nothing but its scalars (a number, as the
// outputs do from row to row), which a new value would build and move in whole.
void makeNull(Value& v, const SqlType& type) {
    if (!setScalarsInPlace(v, type, std::nullopt))
        v = Value::nullOf(type);
}

Compiled fallback(const QString& construct, int line = 0, int column = 0) {
    return {nullptr, Fallback{construct, line, column}};
}

// What compiling keeps on each thread: the engine's batch cache (the declarations read once per
// distinct text) and the declarations' variable names. A program keeps nothing of the batch it
// was compiled from, and its caller keeps the program: the cache keeps only the last batch, for
// the same text compiled again at once (a batch kept longer is freed from memory gone cold, which
// costs as much as reading it when every text comes once, as in the bulk check).
struct ThreadCompiler {
    Catalog catalog;
    BatchCache batches{1};
    std::list<std::pair<QString, std::vector<QString>>> names; // by declarations' text, latest first
    QString linesOf;          // the declarations whose line breaks are counted in `declarationLines`
    int declarationLines = 0; // counted once per distinct text: a long block costs a formula's read

    int lines(const QString& declarations) {
        if (linesOf.isNull() || linesOf != declarations) {
            linesOf = declarations;
            declarationLines = int(declarations.count(u'\n'));
        }
        return declarationLines;
    }

    // The variables the declarations declare, in their order (their slots); throws SqlError.
    const std::vector<QString>& declared(const QString& declarations) {
        for (auto it = names.begin(); it != names.end(); ++it)
            if (it->first == declarations) {
                names.splice(names.begin(), names, it);
                return names.front().second;
            }
        std::vector<QString> list;
        const Batch batch = parseBatch(declarations);
        for (const StmtP& s : batch.statements) {
            if (s->kind != SK::Declare)
                throw SqlError{ServerError{0, 16, 1, s->line, s->column, {}}};
            for (const VarDecl& d : s->decls) {
                if (d.init || d.table)
                    throw SqlError{ServerError{0, 16, 1, d.line, d.column, {}}};
                list.push_back(d.name.toUpper());
            }
        }
        if (names.size() >= 4)
            names.pop_back();
        names.emplace_front(declarations, std::move(list));
        return names.front().second;
    }
};

ThreadCompiler& threadCompiler() {
    thread_local ThreadCompiler compiler;
    return compiler;
}

Compiled compileBatch(const QString& declarations, const QString& formula, ReadRest* formulaRead) {
    ThreadCompiler& compiler = threadCompiler();
    const int declarationLines = compiler.lines(declarations);
    std::vector<QString> names;
    try {
        names = compiler.declared(declarations);
    } catch (const SqlError&) {
        return fallback(QStringLiteral("the declarations"));
    }
    std::shared_ptr<CompiledBatch> batch;
    try {
        batch = compiler.batches.compile(declarations + formula, compiler.catalog, formulaRead);
    } catch (const SqlError& e) {
        const int line = e.error.line - declarationLines;
        return fallback(QStringLiteral("a compile error"), std::max(line, 0), line > 0 ? e.error.column : 0);
    }
    if (names.size() > batch->variableTypes.size())
        return fallback(QStringLiteral("the declarations"));
    auto program = std::make_shared<CompiledProgram>();
    CompileState state;
    state.types = batch->variableTypes;
    state.named.assign(names.size(), false);
    state.assigned.assign(names.size(), false);
    state.declarationLines = declarationLines;
    for (const StmtP& s : batch->batch.statements) {
        // The declarations themselves, when the batch was read whole.
        if (s->line <= declarationLines)
            continue;
        program->m_statements.push_back(compileStmt(*s, state));
        if (state.fallback)
            return {nullptr, state.fallback};
        if (s->kind == SK::Set || (s->kind == SK::Select && s->select->assigns))
            state.rowCountSet = true;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        program->m_variables.push_back({names[k], state.types[k]});
        if (state.named[k]) {
            (state.assigned[k] ? program->m_copied : program->m_readOnly)
                .emplace_back(program->m_inputs.size(), k);
            program->m_inputs.push_back(int(k));
        }
        if (state.assigned[k])
            program->m_assigned.push_back(k);
    }
    for (std::size_t k = names.size(); k < state.types.size(); ++k)
        program->m_assigned.push_back(k); // the formula's own variables
    program->m_types = std::move(state.types);
    program->m_scratchLists = state.scratchLists;
    program->m_keyLists = std::move(state.keyLists);
    program->m_lookups = int(state.lookups.size());
    program->m_declarationLines = declarationLines;
    return {std::move(program), std::nullopt};
}

} // namespace

// Whatever goes wrong while compiling leaves the formula to the engine.
Compiled compile(const QString& declarations, const QString& formula, ReadRest* formulaRead) {
    if (!declarations.isEmpty() && !declarations.endsWith(u'\n'))
        return fallback(QStringLiteral("the declarations"));
    try {
        return compileBatch(declarations, formula, formulaRead);
    } catch (const SqlError&) {
        return fallback(QStringLiteral("a compile error"));
    } catch (const std::bad_alloc&) {
        return fallback(QStringLiteral("a compile error"));
    }
}

// The engine reads the nodes of a document with //ROOT/ELEMENT from the document, and a node's
// attributes with value('@NAME', ...): so are they read here. A document too large to be sure
// the engine's memory budget would take it is left to the engine.
std::optional<std::vector<Node>> nodesOf(const QString& xml, const QString& root, const QString& element,
                                         const QString& keyAttribute) {
    constexpr std::size_t kMostNodes = 10000;
    try {
        const std::shared_ptr<const XmlDoc> doc = parseXml(xml);
        const XmlNodeRef top{doc, &doc->root, -1};
        const std::vector<XmlNodeRef> found = xpathSelect(top, QStringLiteral("//") + root + u'/' + element);
        if (found.size() > kMostNodes)
            return std::nullopt;
        static const QString valueAttribute = QStringLiteral("VALORE");
        // An element's first attribute of that name, as value('@NAME', ...) reads it.
        const auto attribute = [](const XmlElement& e, const QString& name) -> const QString* {
            for (const auto& [attributeName, text] : e.attributes)
                if (attributeName == name)
                    return &text;
            return nullptr;
        };
        // The keys of a file's documents repeat from one document to the next: each text is held
        // once, so that a look-up finds the keys it converted for another document by their place.
        thread_local QSet<QString> keys;
        if (keys.size() > 4096)
            keys.clear();
        std::vector<Node> nodes;
        nodes.reserve(found.size());
        for (const XmlNodeRef& n : found) {
            Node node;
            if (const QString* key = attribute(*n.element, keyAttribute))
                node.key = *keys.insert(*key);
            if (const QString* value = attribute(*n.element, valueAttribute))
                node.value = *value;
            nodes.push_back(std::move(node));
        }
        return nodes;
    } catch (const SqlError&) {
        return std::nullopt;
    }
}

struct Runner::Impl {
    std::shared_ptr<const CompiledProgram> program;
    RunOptions options;
    Outcome outcome;
    std::vector<MemoryCharge> varMemory;
    std::vector<std::vector<Value>> scratch;
    std::vector<ConvertedKeys> keys;
    std::vector<LookupResult> lookups;
    std::vector<bool> lines;
    BatchBudget budget;
    quint64 evaluations = 0;

    void runStatements(const Row& row);
    void finishOutcome();
};

Runner::Runner(std::shared_ptr<const Program> program, RunOptions options)
    : d(std::make_unique<Impl>()) {
    d->program = std::dynamic_pointer_cast<const CompiledProgram>(std::move(program));
    d->options = options;
    if (d->program) {
        d->varMemory.resize(d->program->m_types.size());
        d->scratch.resize(std::size_t(d->program->m_scratchLists));
        d->keys.resize(d->program->m_keyLists.size());
        d->lookups.resize(std::size_t(d->program->m_lookups));
    }
}

Runner::~Runner() = default;

void Runner::Impl::runStatements(const Row& row) {
    const CompiledProgram& p = *program;
    std::vector<Value>& vars = outcome.held;
    std::vector<const Value*>& read = outcome.read;
    // The variables the formula never names stay NULL from the first row on: only the others
    // start again. An input the formula assigns is copied from the row; one it only reads is read
    // where the row holds it (its own slot, never assigned, holds its NULL for a row that gives
    // none).
    if (vars.size() != p.m_types.size()) {
        vars.clear();
        for (const SqlType& t : p.m_types)
            vars.push_back(Value::nullOf(t));
        read.clear();
        for (const Value& v : vars)
            read.push_back(&v);
    } else {
        for (std::size_t k = p.m_variables.size(); k < p.m_types.size(); ++k)
            makeNull(vars[k], p.m_types[k]);
    }
    for (const auto& [k, slot] : p.m_copied) {
        if (const Value* v = row.input(k))
            vars[slot] = *v;
        else
            makeNull(vars[slot], p.m_types[slot]);
    }
    for (const auto& [k, slot] : p.m_readOnly) {
        const Value* v = row.input(k);
        read[slot] = v ? v : &vars[slot];
    }
    Frame f{vars, read, varMemory, p.m_types, budget, row, scratch, keys, lookups};
    f.evaluation = ++evaluations;
    f.loopLimit = options.loopLimit;
    if (options.trace) {
        lines.assign(lines.size(), false);
        f.lineTrace = &lines;
    }
    for (const StmtNodeP& s : p.m_statements)
        if (s->run(f) != Flow::Normal)
            break;
}

// Lines as the formula counts them.
void Runner::Impl::finishOutcome() {
    const int before = program->m_declarationLines;
    if (outcome.error && outcome.error->line > before)
        outcome.error->line -= before;
    for (std::size_t line = 0; line < lines.size(); ++line)
        if (lines[line] && int(line) > before)
            outcome.executedLines.push_back(int(line) - before);
}

const Outcome& Runner::run(const Row& row) {
    Outcome& out = d->outcome;
    out.error.reset();
    out.executedLines.clear();
    if (!d->program) {
        out.held.clear();
        out.read.clear();
        return out;
    }
    d->budget.start(d->options.limits);
    {
        const CurrentBudget current(&d->budget);
        const BatchDateSettings dates;
        try {
            d->runStatements(row);
        } catch (const SqlError& e) {
            out.error = e.error;
        } catch (const std::bad_alloc&) {
            out.error = insufficientMemory();
            out.error->line = 1;
        }
    }
    for (const std::size_t slot : d->program->m_assigned)
        d->varMemory[slot].clear();
    d->budget.finish();
    d->finishOutcome();
    return out;
}

void Runner::cancel() {
    d->budget.cancel();
}

} // namespace tsql::compiled
