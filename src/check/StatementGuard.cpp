#include "check/StatementGuard.h"

#include "check/Messages.h"
#include "tsql/Parser.h"

#include <variant>
#include <vector>

namespace check {

namespace {

using namespace tsql;

// The nodes still to look at. The tree is walked with a stack of its own, so a deep tree costs
// memory, not the thread's stack.
using Node = std::variant<const Stmt*, const Expr*, const Select*, const TableSource*>;

class Walker {
public:
    GuardVerdict verdict;

    void walk(const Batch& batch) {
        for (auto it = batch.statements.rbegin(); it != batch.statements.rend(); ++it)
            push(it->get());
        while (!m_stack.empty() && !verdict.refused) {
            const Node node = m_stack.back();
            m_stack.pop_back();
            std::visit([this](auto* n) { visit(*n); }, node);
        }
    }

private:
    template <typename T> void push(const T* node) {
        if (node)
            m_stack.emplace_back(node);
    }
    template <typename T> void push(const std::unique_ptr<T>& node) { push(node.get()); }

    void refuse(const QString& statement, int line, int column, const QString& reason) {
        verdict.refused = RefusedStatement{statement, line, column, 0, reason};
    }

    void visit(const Stmt& s) {
        switch (s.kind) {
        case SK::Declare:
            for (const VarDecl& d : s.decls) {
                push(d.init);
                if (d.table)
                    tableDefinition(*d.table);
            }
            return;
        case SK::CreateTable:
            // A local temporary table lives in the session and goes with the check's rollback;
            // any other table (of the database, or ## global to every session) would not.
            if (!localTemporary(s.tableDef->name)) {
                refuse(QStringLiteral("CREATE TABLE ") + s.tableDef->name, s.line, s.column,
                       msg::PermanentTable);
                return;
            }
            verdict.writes = true;
            tableDefinition(*s.tableDef);
            return;
        case SK::DropTable:
            for (const auto& t : s.drops)
                if (!localTemporary(t->nameParts.last()) || t->nameParts.size() > 3) {
                    refuse(QStringLiteral("DROP TABLE ") + t->nameParts.join(u'.'), s.line, s.column,
                           msg::PermanentTable);
                    return;
                }
            verdict.writes = true;
            return;
        case SK::Set:
        case SK::Print:
        case SK::Return:
            push(s.expr);
            return;
        case SK::Select:
            push(s.select);
            return;
        case SK::If:
        case SK::While:
        case SK::Block:
        case SK::TryCatch:
            push(s.expr);
            push(s.thenStmt);
            push(s.elseStmt);
            for (const StmtP& c : s.body)
                push(c);
            return;
        case SK::Break:
        case SK::Continue:
        case SK::Empty:
            return;
        case SK::Update:
        case SK::Insert:
        case SK::Delete:
            verdict.writes = true;
            push(s.target);
            push(s.select);
            push(s.top);
            for (const Assignment& a : s.sets)
                push(a.value);
            for (const auto& row : s.values)
                for (const ExprP& v : row)
                    push(v);
            return;
        case SK::SetOption:
            if (s.var != u"NOCOUNT")
                refuse(QStringLiteral("SET ") + s.var, s.line, s.column, msg::OutlivesBatch);
            return;
        case SK::BeginTran:
            refuse(QStringLiteral("BEGIN TRANSACTION"), s.line, s.column, msg::SplitsTransaction);
            return;
        case SK::Commit:
            refuse(QStringLiteral("COMMIT"), s.line, s.column, msg::EndsTransaction);
            return;
        case SK::Rollback:
            refuse(QStringLiteral("ROLLBACK"), s.line, s.column, msg::EndsTransaction);
            return;
        case SK::Exec:
            refuse(QStringLiteral("EXECUTE ") + s.procName, s.line, s.column, msg::RunsOutOfSight);
            return;
        }
        refuse(QString(), s.line, s.column, msg::UnknownStatement);
    }

    static bool localTemporary(const QString& name) {
        return name.startsWith(u'#') && !name.startsWith(QStringLiteral("##"));
    }

    void tableDefinition(const TableDef& def) {
        for (const ColumnDef& c : def.columns)
            push(c.defaultValue);
    }

    void visit(const Expr& e) {
        for (const ExprP& a : e.args)
            push(a);
        push(e.sub);
    }

    void visit(const Select& sel) {
        for (const auto& c : sel.ctes)
            push(c->select);
        push(sel.top);
        for (const SelectItem& item : sel.items)
            push(item.expr);
        for (const auto& source : sel.from)
            push(source);
        push(sel.where);
        for (const ExprP& g : sel.groupBy)
            push(g);
        push(sel.having);
        for (const OrderItem& o : sel.orderBy)
            push(o.expr);
        push(sel.unionNext);
    }

    void visit(const TableSource& t) {
        if (t.kind == SourceKind::Table && t.nameParts.size() > 3) {
            refuse(t.nameParts.join(u'.'), t.line, t.column, msg::LinkedServer);
            return;
        }
        push(t.xmlTarget);
        push(t.derived);
        for (const auto& row : t.valueRows)
            for (const ExprP& v : row)
                push(v);
        push(t.left);
        push(t.right);
        push(t.on);
    }

    std::vector<Node> m_stack;
};

// The verdict on one text, read afresh.
GuardVerdict judge(const QString& sql) {
    Batch batch;
    try {
        batch = parseBatch(sql);
    } catch (const SqlError& e) {
        GuardVerdict verdict;
        verdict.refused =
            RefusedStatement{QString(), e.error.line, e.error.column, e.error.number, e.error.message};
        return verdict;
    } catch (...) {
        GuardVerdict verdict;
        verdict.refused = RefusedStatement{QString(), 1, 0, 0, msg::UnknownStatement};
        return verdict;
    }
    Walker walker;
    walker.walk(batch);
    return walker.verdict;
}

} // namespace

GuardVerdict guardBatch(const QString& sql) {
    // The verdict is a function of the text: the last one is kept for the same text judged
    // again (the check of an unchanged formula, the save after a check).
    thread_local QString lastText;
    thread_local GuardVerdict lastVerdict;
    thread_local bool haveLast = false;
    if (haveLast && lastText == sql)
        return lastVerdict;
    GuardVerdict verdict = judge(sql);
    lastText = sql;
    lastVerdict = verdict;
    haveLast = true;
    return verdict;
}

GuardVerdict guardBatch(const QString& sql, qsizetype trustedPrefix, int trustedLines) {
    GuardVerdict verdict = guardBatch(sql.mid(trustedPrefix));
    if (verdict.refused)
        verdict.refused->line += trustedLines;
    return verdict;
}

} // namespace check
