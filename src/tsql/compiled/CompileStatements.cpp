// Statements compiled into nodes that run as the executor runs them (run/Executor.cpp): entered
// one by one (traced, the clock looked at), a failure placed at the statement's line, IF ... ELSE
// IF chains followed in a loop, WHILE counted against the loop limit.

#include "tsql/compiled/ProgramNodes.h"

#include "tsql/base/Messages.h"

namespace tsql::compiled {

void StmtNode::enter(Frame& f) const {
    if (f.lineTrace && m_line > 0) {
        std::vector<bool>& lines = *f.lineTrace;
        if (std::size_t(m_line) >= lines.size())
            lines.resize(std::size_t(m_line) + 1);
        lines[std::size_t(m_line)] = true;
    }
    f.budget.tick();
}

void StmtNode::failed(SqlError& e) const {
    if (e.error.line == 0) {
        e.error.line = m_line;
        e.error.column = m_column;
    }
}

Flow StmtNode::run(Frame& f) const {
    try {
        enter(f);
        return execute(f);
    } catch (SqlError& e) {
        failed(e);
        throw;
    }
}

namespace {

// The variable of an assignment: its slot, and the operator of a compound one.
struct Target {
    std::size_t slot;
    std::optional<ArithmeticOp> compound;

    void assign(Frame& f, const Value& v) const {
        storeVariable(f.vars[slot], f.varMemory[slot],
                      assignedValue(f.vars[slot], compound, v, f.types[slot]));
    }
    // The same for a value the statement has no more use of: kept as it is when it needs no
    // conversion.
    void assign(Frame& f, Operand& v) const {
        if (!compound && unchangedBy(*v, f.types[slot]))
            storeVariable(f.vars[slot], f.varMemory[slot], v.take());
        else
            assign(f, *v);
    }
};

class Set final : public StmtNode {
public:
    Set(const Stmt& s, Target target, ExprNodeP value, const SqlType& variableType)
        : StmtNode(s.line, s.column)
        , m_target(target)
        , m_value(std::move(value))
        , m_lane(!target.compound && variableType.id == TypeId::Decimal && m_value->laneType()) {}

protected:
    Flow execute(Frame& f) const override {
        if (!m_lane || !assignNumber(f)) {
            Operand value(*m_value, f);
            m_target.assign(f, value);
        }
        f.rowCount = 1;
        return Flow::Normal;
    }

private:
    // A decimal variable given a number of the lane: stored in place as the assignment would
    // store it (converted to the variable's type, nothing held besides the number); false when
    // the conversion does not fit or the variable holds anything else, for the assignment to
    // convert or raise as always.
    bool assignNumber(Frame& f) const {
        std::optional<Numeric> n;
        if (!m_value->number(f, n))
            return false;
        const std::size_t slot = m_target.slot;
        const SqlType& type = f.types[slot];
        if (n && !decimalOfType(*n, type, n))
            return false;
        if (!setScalarsInPlace(f.vars[slot], type, n))
            return false;
        f.varMemory[slot].clear();
        return true;
    }

    Target m_target;
    ExprNodeP m_value;
    bool m_lane; // a decimal variable set to a number of the decimal lane
};

// SET @v = constant: the constant converted to the variable's type once, when compiled.
class SetConstant final : public StmtNode {
public:
    SetConstant(const Stmt& s, std::size_t slot, Value value)
        : StmtNode(s.line, s.column)
        , m_slot(slot)
        , m_value(std::move(value)) {}

protected:
    Flow execute(Frame& f) const override {
        storeVariable(f.vars[m_slot], f.varMemory[m_slot], m_value);
        f.rowCount = 1;
        return Flow::Normal;
    }

private:
    std::size_t m_slot;
    Value m_value;
};

// DECLARE with initial values: each assigned in turn; @@ROWCOUNT stays.
class Declare final : public StmtNode {
public:
    Declare(const Stmt& s, std::vector<std::pair<Target, ExprNodeP>> inits)
        : StmtNode(s.line, s.column)
        , m_inits(std::move(inits)) {}

protected:
    Flow execute(Frame& f) const override {
        for (const auto& [target, value] : m_inits)
            target.assign(f, *Operand(*value, f));
        return Flow::Normal;
    }

private:
    std::vector<std::pair<Target, ExprNodeP>> m_inits;
};

// SELECT @a = x, @b = y: the row is computed first, then assigned item by item.
class SelectAssign final : public StmtNode {
public:
    SelectAssign(const Stmt& s, std::vector<std::pair<Target, ExprNodeP>> items, int scratch)
        : StmtNode(s.line, s.column)
        , m_items(std::move(items))
        , m_scratch(std::size_t(scratch)) {}

protected:
    Flow execute(Frame& f) const override {
        std::vector<Value>& row = f.scratch[m_scratch];
        row.clear();
        MemoryCharge work;
        for (const auto& item : m_items)
            row.push_back(item.second->value(f));
        work.add(rowBytes(row));
        for (std::size_t k = 0; k < m_items.size(); ++k)
            m_items[k].first.assign(f, row[k]);
        row.clear();
        f.rowCount = 1;
        return Flow::Normal;
    }

private:
    std::vector<std::pair<Target, ExprNodeP>> m_items;
    std::size_t m_scratch;
};

class Block final : public StmtNode {
public:
    Block(int line, int column, std::vector<StmtNodeP> body)
        : StmtNode(line, column)
        , m_body(std::move(body)) {}

protected:
    Flow execute(Frame& f) const override {
        for (const StmtNodeP& s : m_body) {
            const Flow flow = s->run(f);
            if (flow != Flow::Normal)
                return flow;
        }
        return Flow::Normal;
    }

private:
    std::vector<StmtNodeP> m_body;
};

// A statement that only ends its block or loop: BREAK, CONTINUE, RETURN; or does nothing.
class Jump final : public StmtNode {
public:
    Jump(const Stmt& s, Flow flow)
        : StmtNode(s.line, s.column)
        , m_flow(flow) {}

protected:
    Flow execute(Frame&) const override { return m_flow; }

private:
    Flow m_flow;
};

// IF ... ELSE IF ... ELSE: one link for each IF of the chain; the links after the first are
// entered as statements of their own.
class If final : public StmtNode {
public:
    struct Link {
        int line, column;
        ExprNodeP condition;
        StmtNodeP then;
    };
    If(const Stmt& s, std::vector<Link> links, StmtNodeP otherwise)
        : StmtNode(s.line, s.column)
        , m_links(std::move(links))
        , m_else(std::move(otherwise)) {}

protected:
    Flow execute(Frame& f) const override {
        for (std::size_t k = 0; k < m_links.size(); ++k) {
            const Link& link = m_links[k];
            Tri t;
            if (k == 0) {
                t = link.condition->truth(f);
            } else {
                const LinkEntry entered(link);
                try {
                    entered.enter(f);
                    t = link.condition->truth(f);
                } catch (SqlError& e) {
                    entered.failed(e);
                    throw;
                }
            }
            if (t == Tri::True)
                return link.then->run(f);
        }
        return m_else ? m_else->run(f) : Flow::Normal;
    }

private:
    // A link entered on its own: its place, for the trace and its failure.
    class LinkEntry final : public StmtNode {
    public:
        explicit LinkEntry(const Link& link)
            : StmtNode(link.line, link.column) {}

    protected:
        Flow execute(Frame&) const override { return Flow::Normal; }
    };
    std::vector<Link> m_links;
    StmtNodeP m_else;
};

class While final : public StmtNode {
public:
    While(const Stmt& s, ExprNodeP condition, StmtNodeP body)
        : StmtNode(s.line, s.column)
        , m_condition(std::move(condition))
        , m_body(std::move(body)) {}

protected:
    Flow execute(Frame& f) const override {
        while (m_condition->truth(f) == Tri::True) {
            countIteration(f.loopCount, f.loopLimit, f.budget);
            const Flow flow = m_body->run(f);
            if (flow == Flow::Break)
                break;
            if (flow == Flow::Return)
                return flow;
        }
        return Flow::Normal;
    }

private:
    ExprNodeP m_condition;
    StmtNodeP m_body;
};

// The statements a program does not run, named as a formula author knows them.
QString refusedStatement(const Stmt& s) {
    switch (s.kind) {
    case SK::SetOption:
        return QStringLiteral("SET %1").arg(s.var.isEmpty() ? s.options.join(QStringLiteral(", ")) : s.var);
    case SK::Update:
        return QStringLiteral("UPDATE");
    case SK::Insert:
        return QStringLiteral("INSERT");
    case SK::Delete:
        return QStringLiteral("DELETE");
    case SK::Print:
        return QStringLiteral("PRINT");
    case SK::BeginTran:
        return QStringLiteral("BEGIN TRANSACTION");
    case SK::Commit:
        return QStringLiteral("COMMIT");
    case SK::Rollback:
        return QStringLiteral("ROLLBACK");
    case SK::Exec:
    case SK::ExecString:
        return QStringLiteral("EXEC");
    case SK::ExecSql:
        return QStringLiteral("sp_executesql");
    case SK::Label:
        return QStringLiteral("a label");
    case SK::Goto:
        return QStringLiteral("GOTO");
    case SK::Raiserror:
        return QStringLiteral("RAISERROR");
    case SK::Throw:
        return QStringLiteral("THROW");
    case SK::TryCatch:
        return QStringLiteral("TRY ... CATCH");
    case SK::CreateTable:
        return QStringLiteral("CREATE TABLE");
    case SK::DropTable:
        return QStringLiteral("DROP TABLE");
    default:
        return {};
    }
}

// The target of an assignment to a variable; an xml variable is refused, as the look-ups read
// the row's nodes of the category and variant documents rather than the variables.
std::optional<Target> target(int slot, const QString& op, int line, int column, CompileState& state) {
    if (slot < 0 || std::size_t(slot) >= state.types.size()) {
        state.refuse(QStringLiteral("the assignment"), line, column);
        return std::nullopt;
    }
    if (state.types[std::size_t(slot)].id == TypeId::Xml) {
        state.refuse(QStringLiteral("an assignment to an xml variable"), line, column);
        return std::nullopt;
    }
    if (std::size_t(slot) < state.named.size()) {
        state.named[std::size_t(slot)] = true;
        state.assigned[std::size_t(slot)] = true;
    }
    if (op == u"=")
        return Target{std::size_t(slot), std::nullopt};
    return Target{std::size_t(slot), arithmeticOpOf(op.left(1))};
}

StmtNodeP compileSelect(const Stmt& s, CompileState& state) {
    const Select& sel = *s.select;
    for (const TableSource* source : sel.flatSources)
        if (source->kind == SourceKind::Table) {
            state.refuse(QStringLiteral("a query over the table %1").arg(source->nameParts.join(u'.')),
                         s.line, s.column);
            return nullptr;
        }
    const bool plain = sel.assigns && sel.from.empty() && !sel.where && !sel.distinct && !sel.top &&
                       sel.groupBy.empty() && !sel.having && sel.orderBy.empty() && !sel.unionNext &&
                       !sel.offset && !sel.fetch && sel.ctes.empty() && !sel.hasAggregate;
    if (!plain) {
        state.refuse(sel.assigns ? QStringLiteral("SELECT with clauses")
                                 : QStringLiteral("SELECT returning rows"),
                     s.line, s.column);
        return nullptr;
    }
    std::vector<std::pair<Target, ExprNodeP>> items;
    for (const SelectItem& item : sel.items) {
        std::optional<Target> t = target(item.slot, item.assignOp, item.line, item.column, state);
        ExprNodeP value = t ? compileExpr(*item.expr, state) : nullptr;
        if (!value)
            return nullptr;
        items.emplace_back(*t, std::move(value));
    }
    return std::make_unique<SelectAssign>(s, std::move(items), state.scratch());
}

StmtNodeP compileDeclare(const Stmt& s, CompileState& state) {
    std::vector<std::pair<Target, ExprNodeP>> inits;
    for (const VarDecl& d : s.decls) {
        if (d.table) {
            state.refuse(QStringLiteral("a table variable"), d.line, d.column);
            return nullptr;
        }
        if (!d.init)
            continue;
        std::optional<Target> t = target(d.slot, QStringLiteral("="), d.line, d.column, state);
        ExprNodeP value = t ? compileExpr(*d.init, state) : nullptr;
        if (!value)
            return nullptr;
        inits.emplace_back(*t, std::move(value));
    }
    return std::make_unique<Declare>(s, std::move(inits));
}

StmtNodeP compileIf(const Stmt& first, CompileState& state) {
    std::vector<If::Link> links;
    StmtNodeP otherwise;
    for (const Stmt* s = &first; s;) {
        ExprNodeP condition = compileExpr(*s->expr, state);
        StmtNodeP then = condition ? compileStmt(*s->thenStmt, state) : nullptr;
        if (!then)
            return nullptr;
        links.push_back({s->line, s->column, std::move(condition), std::move(then)});
        const Stmt* next = s->elseStmt.get();
        if (next && next->kind != SK::If) {
            otherwise = compileStmt(*next, state);
            if (!otherwise)
                return nullptr;
            next = nullptr;
        }
        s = next;
    }
    return std::make_unique<If>(first, std::move(links), std::move(otherwise));
}

StmtNodeP compileKind(const Stmt& s, CompileState& state);

} // namespace

StmtNodeP compileBlock(const std::vector<StmtP>& body, int line, int column, CompileState& state) {
    std::vector<StmtNodeP> nodes;
    for (const StmtP& s : body) {
        nodes.push_back(compileStmt(*s, state));
        if (!nodes.back())
            return nullptr;
    }
    return std::make_unique<Block>(line, column, std::move(nodes));
}

StmtNodeP compileStmt(const Stmt& s, CompileState& state) {
    if (state.fallback)
        return nullptr;
    if (const QString refused = refusedStatement(s); !refused.isEmpty()) {
        state.refuse(refused, s.line, s.column);
        return nullptr;
    }
    StmtNodeP node = compileKind(s, state);
    // A table the statement names that the binder did not find (every one, as a program has no
    // database) fails when the statement runs: left to the engine.
    if (node && s.deferred) {
        state.refuse(QStringLiteral("a query over a table"), s.line, s.column);
        return nullptr;
    }
    return node;
}

namespace {

StmtNodeP compileKind(const Stmt& s, CompileState& state) {
    switch (s.kind) {
    case SK::Set: {
        std::optional<Target> t = target(s.slot, s.op, s.varLine, s.varColumn, state);
        ExprNodeP value = t ? compileExpr(*s.expr, state) : nullptr;
        if (value && !t->compound && value->constant())
            if (std::optional<Value> v = assignedConstant(*value->constant(), state.types[t->slot]))
                return std::make_unique<SetConstant>(s, t->slot, std::move(*v));
        return value ? std::make_unique<Set>(s, *t, std::move(value), state.types[t->slot]) : nullptr;
    }
    case SK::Declare:
        return compileDeclare(s, state);
    case SK::Select:
        return compileSelect(s, state);
    case SK::If:
        return compileIf(s, state);
    case SK::While: {
        ExprNodeP condition = compileExpr(*s.expr, state);
        StmtNodeP body = condition ? compileStmt(*s.thenStmt, state) : nullptr;
        return body ? std::make_unique<While>(s, std::move(condition), std::move(body)) : nullptr;
    }
    case SK::Block:
        return compileBlock(s.body, s.line, s.column, state);
    case SK::Break:
        return std::make_unique<Jump>(s, Flow::Break);
    case SK::Continue:
        return std::make_unique<Jump>(s, Flow::Continue);
    case SK::Return:
        return std::make_unique<Jump>(s, Flow::Return);
    case SK::Empty:
        return std::make_unique<Jump>(s, Flow::Normal);
    default:
        state.refuse(QStringLiteral("the statement"), s.line, s.column);
        return nullptr;
    }
}

} // namespace

} // namespace tsql::compiled
