// Statements: declarations and assignments, SELECT, control of flow, TRY ... CATCH, PRINT and the
// transaction statements. Data changes are in Dml.cpp.

#include "tsql/run/Executor.h"

#include "tsql/base/Messages.h"
#include "tsql/bind/Binder.h"
#include "tsql/sql/Transactions.h"
#include "tsql/values/DateSettings.h"

namespace tsql {

namespace {

// What the allocator takes for one small block (a text, a list's array) beyond its contents.
constexpr qint64 kBlockBytes = 48;

} // namespace

// Every statement counts towards a look at the clock (each one that can take long looks at it on
// its own: loops at every iteration, SQLite and the engine's row loops as they go) and, inside a
// fence, looks at the fence. A statement naming a table that does not exist fails here, when it
// runs, with the Msg 208 the binder kept for it (deferred name resolution).
void Executor::enter(const Stmt& s) {
    m_errorFromInner = false;
    if (m_state.lineTrace && m_nesting == 0 && s.line > 0)
        traceLine(s.line);
    m_budget.tick();
    m_transactions.checkFence();
    if (s.deferred)
        throw SqlError{*s.deferred};
}

void Executor::traceLine(int line) {
    std::vector<bool>& lines = *m_state.lineTrace;
    if (size_t(line) >= lines.size())
        lines.resize(size_t(line) + 1);
    lines[size_t(line)] = true;
}

// A failure of the statement `s`: it is told where it happened; inside a fence that SQLite has
// ended because of it, it becomes the error that stops the batch.
void Executor::failed(SqlError& e, const Stmt& s) {
    if (e.error.level < 20 && m_transactions.fenced()) {
        try {
            m_transactions.checkFence();
        } catch (SqlError& lost) {
            // A full disk is the cause the user can act on: it stays in the message.
            if (e.error.number == 1105)
                lost.error.message = e.error.message + u' ' + lost.error.message;
            e = lost;
        }
    }
    if (e.error.line == 0) {
        e.error.line = s.line;
        e.error.column = s.column;
    }
}

void Executor::runBatch(std::vector<StmtP>& statements) {
    const char top = 0;
    m_stackTop = reinterpret_cast<std::uintptr_t>(&top);
    runBlock(statements);
}

// A statement that holds the label a GOTO goes to is entered at that label (Jumps.cpp).
Flow Executor::run(Stmt& s) {
    if (m_jump)
        return seek(s);
    try {
        enter(s);
        return runInner(s);
    } catch (SqlError& e) {
        failed(e, s);
        throw;
    }
}

// Statements run by recursion once per level of nesting (blocks, IF, WHILE, TRY): the parser
// bounds that nesting.
Flow Executor::runInner(Stmt& s) {
    switch (s.kind) {
    case SK::Declare:
        for (VarDecl& d : s.decls)
            if (d.init)
                assign(d.slot, QStringLiteral("="), m_evaluator.eval(*d.init, nullptr));
        return Flow::Normal;
    case SK::Set:
        assign(s.slot, s.op, m_evaluator.eval(*s.expr, nullptr));
        m_state.rowCount = 1;
        return Flow::Normal;
    case SK::SetOption:
        if (s.target)
            setIdentityInsert(s);
        else
            setOption(s);
        return Flow::Normal;
    case SK::Empty:
    case SK::Label:
        return Flow::Normal;
    case SK::Goto:
        return jump(s);
    case SK::Raiserror:
        raiseError(s);
        return Flow::Normal;
    case SK::Throw:
        throwError(s);
        return Flow::Normal;
    case SK::ExecString:
        execString(s);
        return Flow::Normal;
    case SK::ExecSql:
        execSql(s);
        return Flow::Normal;
    case SK::Select:
        runSelect(s);
        return Flow::Normal;
    case SK::If:
        return runIf(s);
    case SK::While:
        return runWhile(s);
    case SK::Block:
        return runBlock(s.body);
    case SK::TryCatch:
        return runTryCatch(s);
    case SK::Break:
        return Flow::Break;
    case SK::Continue:
        return Flow::Continue;
    case SK::Return:
        return Flow::Return;
    case SK::Print: {
        Value v = m_evaluator.eval(*s.expr, nullptr);
        print({.text = v.null ? QString() : convert(v, SqlType::varchar(-1)).s, .line = s.line});
        return Flow::Normal;
    }
    case SK::BeginTran:
        m_transactions.begin();
        return Flow::Normal;
    case SK::Commit:
    case SK::Rollback:
        endTransaction(s);
        return Flow::Normal;
    case SK::Exec:
        if (systemProcedure(s))
            return Flow::Normal;
        raise<Msg::ProcedureNotFound>(s.procName);
    case SK::Update:
    case SK::Insert:
    case SK::Delete:
        dml(s);
        return Flow::Normal;
    case SK::CreateTable:
        createTable(s);
        return Flow::Normal;
    case SK::CreateIndex:
        createIndex(s);
        return Flow::Normal;
    case SK::DropTable:
        dropTables(s);
        return Flow::Normal;
    }
    return Flow::Normal;
}

// IF ... ELSE IF ... ELSE: the chain is followed in a loop, however long it is. A condition that
// is unknown (NULL) takes the ELSE branch, as a false one.
Flow Executor::runIf(Stmt& first) {
    for (Stmt* s = &first;;) {
        Tri t;
        try {
            if (s != &first)
                enter(*s);
            t = m_evaluator.condition(*s->expr, nullptr);
        } catch (SqlError& e) {
            failed(e, *s);
            throw;
        }
        if (t == Tri::True)
            return run(*s->thenStmt);
        Stmt* next = s->elseStmt.get();
        if (!next)
            return Flow::Normal;
        if (next->kind != SK::If)
            return run(*next);
        s = next;
    }
}

// A WHILE entered by a GOTO to a label in its body runs the body from there before it looks at
// the condition again.
Flow Executor::runWhile(Stmt& s, bool entering) {
    while (entering || m_evaluator.condition(*s.expr, nullptr) == Tri::True) {
        if (!entering)
            iteration();
        entering = false;
        Flow f = run(*s.thenStmt);
        while (f == Flow::Goto && holds(*s.thenStmt))
            f = run(*s.thenStmt);
        if (f == Flow::Break)
            break;
        if (f == Flow::Return || f == Flow::Goto)
            return f;
    }
    return Flow::Normal;
}

// One more round of a loop, made by WHILE or by a GOTO: counted against the loop limit, and the
// clock looked at.
void Executor::iteration() {
    countIteration(m_loopCount, m_loopLimit, m_budget);
}

void countIteration(qint64& count, qint64 limit, const BatchBudget& budget) {
    ++count;
    if (limit > 0 && count > limit)
        raise<Msg::BatchStoppedAfterLoop>(limit);
    budget.checkTime();
}

// The statements of a block from `from` on. A GOTO to a label inside the block goes on from the
// statement that holds the label; one to a label elsewhere ends the block.
Flow Executor::runBlock(std::vector<StmtP>& body, size_t from) {
    for (size_t k = from; k < body.size();) {
        Flow f = run(*body[k]);
        if (f == Flow::Goto) {
            k = childHolding(body);
            if (k == body.size())
                return f;
            continue;
        }
        if (f != Flow::Normal)
            return f;
        ++k;
    }
    return Flow::Normal;
}

// BEGIN TRY ... END TRY BEGIN CATCH ... END CATCH ("TRY...CATCH (Transact-SQL)"): an error in the
// TRY block passes control to the CATCH block, where the ERROR_ functions describe it. Not
// caught, as on the server: errors of severity 20 and above, which end the batch (the engine's
// time limit, Msg 3617 of level 25, and a lost fence, Msg 40003 of level 20), and the
// name-resolution error of a table that does not exist (Msg 208), raised at the level of the
// statement that names it.
Flow Executor::runTryCatch(Stmt& s, size_t from) {
    try {
        return runBlock(s.body, from);
    } catch (const SqlError& e) {
        // Msg 208 from a dynamic batch is an error of a lower level, which the CATCH block handles.
        // Nor does it catch a construct the engine refuses by name (Msg 40000): the batch would go
        // on where the server's would have done something else.
        if ((e.error.number == 208 && !m_errorFromInner) || e.error.level > 19 || e.error.number == 40000)
            throw;
        if (m_xactAbort && m_transactions.count() > 0)
            raise<Msg::XactAbortCatchNotSupported>();
        m_errorFromInner = false;
        auto saved = m_state.caught;
        m_state.caught = e.error;
        Flow f = run(*s.elseStmt);
        m_state.caught = saved;
        return f;
    }
}

// A SELECT either assigns its values to variables (the last row's values stay) or returns rows.
void Executor::runSelect(Stmt& s) {
    Select& sel = *s.select;
    ResultSet rs = m_evaluator.query(sel, nullptr, -1);
    if (sel.assigns) {
        for (const auto& row : rs.rows)
            for (size_t k = 0; k < sel.items.size(); ++k)
                assign(sel.items[k].slot, sel.items[k].assignOp, row[k]);
        m_state.rowCount = qint64(rs.rows.size());
    } else {
        resultSet(std::move(rs));
    }
}

// COMMIT and ROLLBACK need an open transaction (Msg 3902, 3903); see Transactions for nesting.
void Executor::endTransaction(const Stmt& s) {
    if (s.kind == SK::Commit) {
        if (m_transactions.count() == 0)
            raise<Msg::CommitTransactionRequestNo>();
        m_transactions.commit();
        return;
    }
    if (m_transactions.count() == 0)
        raise<Msg::RollbackTransactionRequestNo>();
    rollbackKeepingTableVariables();
}

// SET @v = x and SET @v += x: the value is converted to the variable's declared type (a char(n)
// variable cuts and pads, a decimal one rounds).
void Executor::assign(int slot, const QString& op, const Value& v) {
    const std::optional<ArithmeticOp> compound =
        op == u"=" ? std::nullopt : std::optional(arithmeticOpOf(op.left(1)));
    storeVariable(m_state.vars[size_t(slot)], m_state.varMemory[size_t(slot)],
                  assignedValue(m_state.vars[size_t(slot)], compound, v, m_state.varTypes[size_t(slot)]));
}

Value assignedValue(const Value& current, std::optional<ArithmeticOp> compound, const Value& v,
                    const SqlType& t) {
    if (compound)
        return convert(arithmetic(*compound, current, v), t);
    return convert(v, t);
}

void storeVariable(Value& variable, MemoryCharge& memory, Value v) {
    if (v.s.isEmpty()) {
        variable = std::move(v);
        memory.clear();
        return;
    }
    MemoryCharge held;
    held.add(valueBytes(v));
    variable = std::move(v);
    memory = std::move(held);
}

// A result set and a message are held by the batch's result until the batch ends. Besides its
// rows a result counts its own structure, twice its slot in the list (which grows by doubling),
// and the copy a client's connection makes of its rows (the ADO layer converts them); a message
// its text and twice its slot. So a batch that returns or prints in a loop stops at its budget.
void Executor::resultSet(ResultSet rs) {
    m_state.rowCount = qint64(rs.rows.size());
    qint64 bytes = 2 * qint64(sizeof(ResultSet)) + 3 * kBlockBytes + rs.memory.bytes();
    for (const QString& c : rs.columns)
        bytes += qint64(sizeof(QString)) + kBlockBytes + qint64(c.size()) * qint64(sizeof(QChar));
    bytes += qint64(rs.types.size()) * qint64(sizeof(SqlType));
    m_budget.charge(bytes);
    rs.memory.keep();
    m_state.out->resultSets.push_back(std::move(rs));
}

void Executor::print(InfoMessage message) {
    m_budget.charge(2 * qint64(sizeof(InfoMessage)) + kBlockBytes +
                    qint64(message.text.size()) * qint64(sizeof(QChar)));
    m_state.out->messages.push_back(std::move(message));
}

// SET DATEFORMAT, SET LANGUAGE and SET DATEFIRST change how the rest of the batch reads and
// writes dates ("SET DATEFORMAT", "SET LANGUAGE", "SET DATEFIRST"); a NULL value leaves the
// setting as it is. Of the ON/OFF options, those the engine keeps the server's default of:
// - ANSI_WARNINGS and CONCAT_NULL_YIELDS_NULL OFF would change values (a division by zero or
//   an overflow gives NULL, 'a' + NULL gives 'a'): the binder refuses them by name;
// - ARITHABORT OFF changes nothing while ANSI_WARNINGS is ON, at compatibility level 90 and
//   above ("SET ARITHABORT": ANSI_WARNINGS ON implies ARITHABORT ON), and it always is here;
// - NOCOUNT changes only the row counts a client is told;
// - XACT_ABORT ON ends the batch at a run-time error, as the engine always does; an error a
//   CATCH block catches inside a transaction would doom it, which the engine does not model:
//   that is refused when it happens (runTryCatch).
// The other options change nothing (the check's guard lets none of them through).
// SET LOCK_TIMEOUT n: a statement waits n milliseconds at most for another connection's lock
// (0: not at all), then fails with Msg 1222; -1 waits as long as the engine lets it (its own
// lock wait, 15 s). The setting lasts for the session ("SET LOCK_TIMEOUT (Transact-SQL)").
void Executor::setLockTimeout(const Stmt& s) {
    bool number = false;
    const qint64 ms = s.op.toLongLong(&number);
    if (!number || ms < -1 || ms > std::numeric_limits<int>::max())
        raise<Msg::SetOptionNotSupported>(s.var, s.op);
    m_lockTimeoutMs = int(ms);
    if (m_lockWait)
        m_lockWait->setLimit(lockWaitMs(m_budget.limits().lockWaitMs));
}

void Executor::setOption(Stmt& s) {
    refuseSetting(s, false);
    if (s.var == u"LOCK_TIMEOUT") {
        setLockTimeout(s);
        return;
    }
    if (!s.expr) {
        const bool on = s.op == u"ON";
        for (const QString& option : s.options) {
            if (option == u"XACT_ABORT")
                m_xactAbort = on;
        }
        return;
    }
    const Value v = m_evaluator.eval(*s.expr, nullptr);
    if (v.null)
        return;
    if (s.var == u"DATEFIRST")
        setDateFirst(convert(v, SqlType::of(TypeId::Int)).i);
    else if (s.var == u"DATEFORMAT")
        setDateFormat(toText(v));
    else
        setLanguage(toText(v));
}

} // namespace tsql
