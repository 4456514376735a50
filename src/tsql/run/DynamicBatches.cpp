// Dynamic batches: EXEC (string) and sp_executesql ("EXECUTE (Transact-SQL)", "sp_executesql
// (Transact-SQL)"). The text is a batch of its own, compiled when the statement runs: its own
// variables (the caller's are not declared in it), its own labels, its errors with the lines of
// its own text; it shares the caller's transaction, results, messages and limits. Batches run
// inside one another at most 32 deep (Msg 217).

#include "tsql/bind/Binder.h"

#include "tsql/base/Messages.h"
#include "tsql/run/Executor.h"
#include "tsql/text/Parser.h"
#include "tsql/values/DateSettings.h"

namespace tsql {

namespace {

constexpr int kMaxNesting = 32;
// Stack the dynamic batches running inside one another may take, whatever their depth: each
// new one may take as much again as a batch sent by the client.
constexpr std::uintptr_t kNestedStackBytes = 1u << 20;

[[noreturn]] void tooDeep() {
    raise<Msg::MaximumStoredProcedureFunction>(kMaxNesting);
}

// sp_executesql takes its statement and its parameters' definitions as Unicode text (Msg 214).
void unicodeArgument(const Value& v, const char* parameter) {
    if (v.type.isUnicode() || v.type.id == TypeId::Unknown)
        return;
    raise<Msg::ProcedureExpectsParameterType>(QLatin1String(parameter));
}

// The caller's variables and compiled batch, put aside while a dynamic batch runs with its own.
struct SetAside {
    BatchState& state;
    std::vector<Value> vars;
    std::vector<SqlType> varTypes;
    std::vector<MemoryCharge> varMemory;
    CompiledBatch* compiled;

    SetAside(BatchState& s, CompiledBatch& inner)
        : state(s)
        , vars(std::move(s.vars))
        , varTypes(std::move(s.varTypes))
        , varMemory(std::move(s.varMemory))
        , compiled(s.compiled) {
        state.compiled = &inner;
        state.startVariables(inner.variableTypes);
    }
    ~SetAside() {
        state.vars = std::move(vars);
        state.varTypes = std::move(varTypes);
        state.varMemory = std::move(varMemory);
        state.compiled = compiled;
    }
    SetAside(const SetAside&) = delete;
    SetAside& operator=(const SetAside&) = delete;
};

} // namespace

// EXEC (piece + piece ...): a NULL piece adds nothing.
void Executor::execString(Stmt& s) {
    QString text;
    for (auto& a : s.args) {
        const Value v = m_evaluator.eval(*a, nullptr);
        if (!v.null)
            text += toText(v);
    }
    runDynamic(text, {}, {});
}

// EXEC sp_executesql @stmt [, @params [, value | @name = value ...]].
void Executor::execSql(Stmt& s) {
    Expr* statement = nullptr;
    Expr* definitions = nullptr;
    std::vector<std::pair<QString, Expr*>> given;
    for (size_t k = 0; k < s.args.size(); ++k) {
        const QString& name = s.argNames.value(qsizetype(k));
        if (name.compare(u"@stmt", Qt::CaseInsensitive) == 0 || (name.isEmpty() && k == 0))
            statement = s.args[k].get();
        else if (name.compare(u"@params", Qt::CaseInsensitive) == 0 || (name.isEmpty() && k == 1))
            definitions = s.args[k].get();
        else
            given.emplace_back(name, s.args[k].get());
    }
    if (!statement)
        raise<Msg::ProcedureFunctionExpectsParameter>();
    const Value text = m_evaluator.eval(*statement, nullptr);
    unicodeArgument(text, "@statement");
    QString defText;
    if (definitions) {
        const Value d = m_evaluator.eval(*definitions, nullptr);
        unicodeArgument(d, "@params");
        defText = d.null ? QString() : toText(d);
    }
    std::vector<VarDecl> parameters = parseParameters(defText);
    std::vector<Value> values(parameters.size());
    std::vector<bool> supplied(parameters.size(), false);
    size_t position = 0;
    for (auto& [name, e] : given) {
        size_t k = position++;
        if (!name.isEmpty()) {
            k = 0;
            while (k < parameters.size() && parameters[k].name.compare(name, Qt::CaseInsensitive) != 0)
                ++k;
        }
        if (k >= parameters.size())
            raise<Msg::ProcedureFunctionSpExecutesql>();
        values[k] = m_evaluator.eval(*e, nullptr);
        supplied[k] = true;
    }
    for (size_t k = 0; k < parameters.size(); ++k) {
        if (supplied[k])
            continue;
        if (!parameters[k].init)
            raise<Msg::ParameterizedQueryExpectsParameter>(defText, text.null ? QString() : toText(text),
                                                           parameters[k].name);
        values[k] = m_evaluator.eval(*parameters[k].init, nullptr);
    }
    if (text.null)
        return;
    runDynamic(toText(text), std::move(parameters), values);
}

// Compiles and runs a dynamic batch; its parameters come first, declared with their values.
// An error of the dynamic batch, compile errors included, is an error of a lower level for the
// caller, which a CATCH block of the caller handles.
void Executor::runDynamic(const QString& text, std::vector<VarDecl> parameters,
                          const std::vector<Value>& values) {
    const char here = 0;
    if (m_nesting >= kMaxNesting || m_stackTop - reinterpret_cast<std::uintptr_t>(&here) > kNestedStackBytes)
        tooDeep();
    CompiledBatch inner{text, 0, {}, {}, {}};
    try {
        inner.batch = parseBatch(text);
        if (!parameters.empty()) {
            auto declare = std::make_unique<Stmt>();
            declare->kind = SK::Declare;
            for (VarDecl& d : parameters)
                d.init.reset();
            declare->decls = std::move(parameters);
            inner.batch.statements.insert(inner.batch.statements.begin(), std::move(declare));
        }
        m_catalog->refresh();
        bindBatch(inner.batch, *m_catalog, inner.variableTypes);
        struct Tables {
            Executor& ex;
            size_t outer;
            ~Tables() { ex.dropTableVariables(outer); }
        } tables{*this, m_tableVariables.size()};
        createTableVariables(inner.batch.tableVariables);
        SetAside aside(m_state, inner);
        for (size_t k = 0; k < values.size(); ++k)
            m_state.vars[k] = convert(values[k], m_state.varTypes[k]);
        ++m_nesting;
        // The SET options of a dynamic batch end with it, as on the server.
        const KeptDateSettings dates;
        struct Leave {
            int& n;
            bool& xactAbort;
            bool kept;
            ~Leave() {
                --n;
                xactAbort = kept;
            }
        } leave{m_nesting, m_xactAbort, m_xactAbort};
        runBlock(inner.batch.statements);
    } catch (SqlError&) {
        m_errorFromInner = true;
        throw;
    }
}

} // namespace tsql
