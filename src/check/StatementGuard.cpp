#include "check/StatementGuard.h"

#include "check/Messages.h"
#include "tsql/text/Parser.h"

#include <variant>
#include <vector>

namespace check {

namespace {

using namespace tsql;

// The nodes still to look at. The tree is walked with a stack of its own, so a deep tree costs
// memory, not the thread's stack.
using Node = std::variant<const Stmt*, const Expr*, const Select*, const TableSource*>;

// Dynamic batches inside one another the server runs, as the guard reads them.
constexpr int kMaxDynamicNesting = 32;

GuardVerdict judge(const QString& sql, DynamicBatches dynamic, int nesting);

class Walker {
public:
    Walker(DynamicBatches dynamic, int nesting)
        : m_dynamic(dynamic)
        , m_nesting(nesting) {}

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
            tableDefinition(*s.tableDef);
            return;
        case SK::DropTable:
            for (const auto& t : s.drops)
                if (!localTemporary(t->nameParts.last()) || t->nameParts.size() > 3) {
                    refuse(QStringLiteral("DROP TABLE ") + t->nameParts.join(u'.'), s.line, s.column,
                           msg::PermanentTable);
                    return;
                }
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
        case SK::Label:
        case SK::Goto:
            return;
        case SK::Raiserror:
        case SK::Throw:
            for (const ExprP& a : s.args)
                push(a);
            return;
        case SK::ExecString:
            dynamicBatch(s);
            return;
        case SK::CreateIndex:
            break; // an index outlives the check: refused below
        case SK::Update:
        case SK::Insert:
        case SK::Delete:
            verdict.writes = verdict.writes || !writesOwnTable(s);
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
            // Every option of a list (SET NOCOUNT, IMPLICIT_TRANSACTIONS ON) is judged.
            for (const QString& option : s.options.isEmpty() ? QStringList{s.var} : s.options) {
                if (!sessionOption(option)) {
                    refuse(QStringLiteral("SET ") + option, s.line, s.column, msg::OutlivesBatch);
                    return;
                }
            }
            push(s.expr);
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
        case SK::ExecSql:
            refuse(QStringLiteral("EXECUTE ") + s.procName, s.line, s.column,
                   m_dynamic == DynamicBatches::Refused ? msg::DynamicInFormula : msg::RunsOutOfSight);
            return;
        }
        refuse(QString(), s.line, s.column, msg::UnknownStatement);
    }

    // The session options a formula may set: those production runs formulas with, which the
    // connection puts back after the check (the embedded engine keeps them for one batch; the SQL
    // Server back end reads them before the run and sets them again after it).
    static bool sessionOption(const QString& option) {
        static const QStringList allowed = {QStringLiteral("NOCOUNT"),
                                            QStringLiteral("XACT_ABORT"),
                                            QStringLiteral("ANSI_WARNINGS"),
                                            QStringLiteral("ARITHABORT"),
                                            QStringLiteral("CONCAT_NULL_YIELDS_NULL"),
                                            QStringLiteral("DATEFORMAT"),
                                            QStringLiteral("DATEFIRST"),
                                            QStringLiteral("LANGUAGE")};
        return allowed.contains(option);
    }

    static bool localTemporary(const QString& name) {
        return name.startsWith(u'#') && !name.startsWith(QStringLiteral("##"));
    }

    // Whether INSERT, UPDATE or DELETE writes only a table of the connection's own (a table
    // variable or a local temporary table), which takes no lock another connection waits for.
    // A target that a source of the statement's FROM could stand for (an alias of that name) may
    // be a table of the database: that counts as one (fail closed).
    static bool writesOwnTable(const Stmt& s) {
        if (!s.target || s.target->kind != SourceKind::Table || s.target->nameParts.size() != 1)
            return false;
        const QString& name = s.target->nameParts.first();
        if (!name.startsWith(u'@') && !localTemporary(name))
            return false;
        if (!s.select)
            return true;
        std::vector<const TableSource*> sources;
        for (const auto& source : s.select->from)
            sources.push_back(source.get());
        while (!sources.empty()) {
            const TableSource* t = sources.back();
            sources.pop_back();
            if (!t)
                continue;
            if (t->alias.compare(name, Qt::CaseInsensitive) == 0 &&
                !(t->kind == SourceKind::Table && t->nameParts.size() == 1 &&
                  t->nameParts.first().compare(name, Qt::CaseInsensitive) == 0))
                return false;
            sources.push_back(t->left.get());
            sources.push_back(t->right.get());
        }
        return true;
    }

    void tableDefinition(const TableDef& def) {
        for (const ColumnDef& c : def.columns)
            push(c.defaultValue);
    }

    // EXEC (string): see DynamicBatches. The text read is guarded with its own lines; a refusal
    // inside it is told at the line of the EXEC, an unreadable text with the parser's message.
    void dynamicBatch(const Stmt& s) {
        if (m_dynamic == DynamicBatches::Refused) {
            refuse(QStringLiteral("EXECUTE"), s.line, s.column, msg::DynamicInFormula);
            return;
        }
        QString text;
        for (const ExprP& piece : s.args) {
            if (piece->kind != EK::Literal) {
                refuse(QStringLiteral("EXECUTE (%1)").arg(piece->name), s.line, s.column,
                       msg::DynamicTextUnknown);
                return;
            }
            text += piece->value.s;
        }
        if (m_nesting >= kMaxDynamicNesting) {
            refuse(QStringLiteral("EXECUTE"), s.line, s.column, msg::DynamicTooDeep);
            return;
        }
        GuardVerdict inner = judge(text, m_dynamic, m_nesting + 1);
        verdict.writes = verdict.writes || inner.writes;
        if (inner.refused && !inner.refused->statement.isEmpty()) {
            inner.refused->line = s.line;
            inner.refused->column = s.column;
        }
        verdict.refused = inner.refused;
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
        for (const ExprP& a : t.functionArgs)
            push(a);
        push(t.left);
        push(t.right);
        push(t.on);
    }

    std::vector<Node> m_stack;
    DynamicBatches m_dynamic;
    int m_nesting;
};

// A line end other than LF and CR LF: a vertical tab, a form feed, a CR alone, NEL (U+0085),
// LINE SEPARATOR (U+2028), PARAGRAPH SEPARATOR (U+2029). Readers differ on whether one ends a
// -- comment (the engine's lexer ends it at LF only), so what is a comment to the guard could be
// a statement to the server: a text holding one is not run (fail closed). `firstLine` is the
// line of the batch at `from`; the refusal names the character, its line and its column.
std::optional<RefusedStatement> strayLineEnd(const QString& sql, qsizetype from, int firstLine) {
    int line = firstLine;
    qsizetype lineStart = from;
    for (qsizetype i = from; i < sql.size(); ++i) {
        const char16_t c = sql[i].unicode();
        if (c > u'\r' && c < 0x85)
            continue; // the run of a text: no line end of any kind
        if (c == u'\n') {
            ++line;
            lineStart = i + 1;
            continue;
        }
        const char* name = nullptr;
        switch (c) {
        case u'\r':
            if (i + 1 < sql.size() && sql[i + 1] == u'\n')
                continue;
            name = "CR";
            break;
        case 0x0b:
            name = "VT";
            break;
        case 0x0c:
            name = "FF";
            break;
        case 0x85:
            name = "NEL";
            break;
        case 0x2028:
            name = "LS";
            break;
        case 0x2029:
            name = "PS";
            break;
        default:
            continue;
        }
        const QString what = QStringLiteral("U+%1 (%2)")
                                 .arg(uint(c), 4, 16, QLatin1Char('0'))
                                 .toUpper()
                                 .arg(QLatin1String(name));
        return RefusedStatement{what, line, int(i - lineStart) + 1, 0, msg::StrayLineEnd};
    }
    return std::nullopt;
}

// The verdict on a text that cannot be read.
GuardVerdict unreadable(const ServerError& error) {
    GuardVerdict verdict;
    verdict.refused = RefusedStatement{QString(), error.line, error.column, error.number, error.message};
    return verdict;
}

GuardVerdict unreadable() {
    GuardVerdict verdict;
    verdict.refused = RefusedStatement{QString(), 1, 0, 0, msg::UnknownStatement};
    return verdict;
}

GuardVerdict judgeStatements(const Batch& batch, DynamicBatches dynamic, int nesting) {
    Walker walker(dynamic, nesting);
    walker.walk(batch);
    return walker.verdict;
}

// The verdict on one text, read afresh.
GuardVerdict judge(const QString& sql, DynamicBatches dynamic, int nesting) {
    if (std::optional<RefusedStatement> stray = strayLineEnd(sql, 0, 1)) {
        GuardVerdict verdict;
        verdict.refused = std::move(stray);
        return verdict;
    }
    Batch batch;
    try {
        batch = parseBatch(sql);
    } catch (const SqlError& e) {
        return unreadable(e.error);
    } catch (...) {
        return unreadable();
    }
    return judgeStatements(batch, dynamic, nesting);
}

// The verdict on a batch's rest read at `place` as the engine reads it there, with the statements
// read when they are let through; nullopt when the rest does not read the same on its own (the
// engine reads such a rest with what precedes it). Lines are those of the whole batch.
std::optional<GuardVerdict> judgeRest(const QString& rest, const BatchPlace& place, DynamicBatches dynamic,
                                      std::vector<Token> tokens) {
    auto read = std::make_shared<ReadRest>();
    try {
        std::optional<Batch> statements =
            tokens.empty() ? parseStandaloneRest(rest, place) : parseStandaloneRest(std::move(tokens), place);
        if (!statements)
            return std::nullopt;
        read->statements = std::move(*statements);
    } catch (const SqlError& e) {
        return unreadable(e.error);
    } catch (...) {
        GuardVerdict verdict = unreadable();
        verdict.refused->line += place.lines;
        return verdict;
    }
    GuardVerdict verdict = judgeStatements(read->statements, dynamic, 0);
    if (!verdict.refused) {
        read->text = rest;
        read->place = place;
        verdict.read = std::move(read);
    }
    return verdict;
}

// The last verdict of this thread, kept for the same text judged again the same way (the check
// of an unchanged formula, the save after a check); its lines are those of the text itself.
struct LastVerdict {
    QString text;
    DynamicBatches dynamic = DynamicBatches::Refused;
    GuardVerdict verdict;
    bool known = false;

    const GuardVerdict* find(const QString& sql, DynamicBatches way) const {
        return known && dynamic == way && text == sql ? &verdict : nullptr;
    }
    void keep(const QString& sql, DynamicBatches way, GuardVerdict judged, int lineOffset = 0) {
        judged.read.reset(); // the statements read go to one run only
        if (judged.refused)
            judged.refused->line -= lineOffset;
        text = sql;
        dynamic = way;
        verdict = std::move(judged);
        known = true;
    }
};

thread_local LastVerdict lastVerdict;

} // namespace

GuardVerdict guardBatch(const QString& sql, DynamicBatches dynamic) {
    if (const GuardVerdict* known = lastVerdict.find(sql, dynamic))
        return *known;
    GuardVerdict verdict = judge(sql, dynamic, 0);
    lastVerdict.keep(sql, dynamic, verdict);
    return verdict;
}

GuardVerdict guardBatch(const QString& sql, qsizetype trustedPrefix, int trustedLines,
                        DynamicBatches dynamic) {
    return guardRest(sql.mid(trustedPrefix), trustedPrefix, trustedLines, dynamic);
}

GuardVerdict guardRest(const QString& rest, qsizetype trustedPrefix, int trustedLines, DynamicBatches dynamic,
                       std::vector<Token> tokens) {
    if (std::optional<RefusedStatement> stray = strayLineEnd(rest, 0, trustedLines + 1)) {
        GuardVerdict verdict;
        verdict.refused = std::move(stray);
        return verdict;
    }
    if (!lastVerdict.find(rest, dynamic)) {
        // The check's declarations end no statement with a `;`; a `;` would not change how a rest
        // starting with a statement keyword reads, only whether the engine takes the statements.
        const BatchPlace place{static_cast<int>(trustedPrefix), trustedLines, false};
        if (std::optional<GuardVerdict> verdict = judgeRest(rest, place, dynamic, std::move(tokens))) {
            lastVerdict.keep(rest, dynamic, *verdict, trustedLines);
            return std::move(*verdict);
        }
    }
    GuardVerdict verdict = guardBatch(rest, dynamic);
    if (verdict.refused)
        verdict.refused->line += trustedLines;
    return verdict;
}

} // namespace check
