#include "tsql/Session.h"

#include "tsql/Binder.h"
#include "tsql/Functions.h"
#include "tsql/Parser.h"
#include "tsql/SqlText.h"
#include "tsql/SqliteFunctions.h"
#include "tsql/Transactions.h"
#include "tsql/Xml.h"

#include <sqlite3.h>

#include <algorithm>
#include <list>
#include <map>
#include <utility>

namespace tsql {

namespace {

enum class Flow { Normal, Break, Continue, Return };

} // namespace

struct Session::Impl final : ValueSource {
    QSqlDatabase db;
    Catalog catalog;
    Transactions transactions;
    qint64 loopLimit = 0;
    qint64 loopCount = 0;
    Limits limits;
    BatchBudget budget;
    std::vector<Value> vars;
    std::vector<SqlType> varTypes;
    std::vector<MemoryCharge> varMemory; // what the value of each variable takes
    RunResult* out = nullptr;
    qint64 rowCount = 0;
    bool functionsRegistered = false;
    std::optional<ServerError> caught; // the error a CATCH block handles

    explicit Impl(QSqlDatabase d)
        : db(d)
        , catalog(d)
        , transactions(d) {
        setLockWait(sqliteHandle(db), limits.lockWaitMs);
    }

    // Batches parsed and bound, the most recently run first: running a batch leaves its tree as
    // it was, so a batch sent again while the schema is unchanged is run from here.
    using GeneratedSql = std::map<std::pair<const Select*, qint64>, std::pair<QString, QVariantList>>;
    struct CompiledBatch {
        QString text;
        qint64 schemaVersion;
        Batch batch;
        std::vector<SqlType> variableTypes;
        GeneratedSql generated; // SQL of its queries that read no value, by query and row limit
    };
    static constexpr std::size_t kCompiledBatches = 16;
    static constexpr qsizetype kLongestCompiledBatch = 100000; // characters
    std::list<std::shared_ptr<CompiledBatch>> batchCache;
    CompiledBatch* currentBatch = nullptr; // the batch running

    std::shared_ptr<CompiledBatch> compile(const QString& text) {
        const qint64 version = catalog.schemaVersion();
        auto it = std::find_if(batchCache.begin(), batchCache.end(),
                               [&](const auto& c) { return c->schemaVersion == version && c->text == text; });
        if (it != batchCache.end()) {
            batchCache.splice(batchCache.begin(), batchCache, it);
            return batchCache.front();
        }
        auto compiled =
            std::make_shared<CompiledBatch>(CompiledBatch{text, version, parseBatch(text), {}, {}});
        bindBatch(compiled->batch, catalog, compiled->variableTypes);
        if (version >= 0 && text.size() <= kLongestCompiledBatch) {
            if (batchCache.size() >= kCompiledBatches)
                batchCache.pop_back();
            batchCache.push_front(compiled);
        }
        return compiled;
    }

    // Prepared statements of generated texts, the most recently used first: the editor sends
    // the same look-ups and the same declarations over and over, and a statement found here is
    // run again without being compiled again. SQLite compiles one anew by itself when the
    // schema has changed since.
    struct CachedStatement {
        QString sql;
        std::unique_ptr<SqliteStatement> statement;
        bool inUse = false;
    };
    static constexpr std::size_t kCachedStatements = 32;
    std::list<CachedStatement> statementCache;

    // A generated statement under way: its first step is taken when it is prepared, so that a
    // failing statement raises there; `state` is the last step's answer. A statement from the
    // cache is reset when this ends, which also ends its read of the database.
    class Prepared {
    public:
        Prepared(SqliteStatement* kept, bool* inUse)
            : statement(kept)
            , m_inUse(inUse) {
            *m_inUse = true;
        }
        explicit Prepared(std::unique_ptr<SqliteStatement> own)
            : statement(own.get())
            , m_own(std::move(own)) {}
        Prepared(const Prepared&) = delete;
        Prepared& operator=(const Prepared&) = delete;
        ~Prepared() {
            if (m_inUse) {
                statement->reset();
                *m_inUse = false;
            }
        }
        SqliteStatement* statement;
        int state = 0;

    private:
        bool* m_inUse = nullptr;
        std::unique_ptr<SqliteStatement> m_own; // a statement not kept in the cache
    };

    std::unique_ptr<Prepared> prepared(const QString& sql, const QVariantList& params) {
        ensureFunctions();
        std::unique_ptr<Prepared> p;
        auto it = std::find_if(statementCache.begin(), statementCache.end(),
                               [&](const CachedStatement& c) { return !c.inUse && c.sql == sql; });
        if (it != statementCache.end()) {
            statementCache.splice(statementCache.begin(), statementCache, it);
            p = std::make_unique<Prepared>(statementCache.front().statement.get(),
                                           &statementCache.front().inUse);
        } else {
            auto statement = std::make_unique<SqliteStatement>(sqliteHandle(db), sql);
            if (!statement->prepared())
                sqliteFailure(*statement);
            if (statementCache.size() >= kCachedStatements && statementCache.back().inUse) {
                // Every statement kept is under way (queries nested that deep): this one is not kept.
                p = std::make_unique<Prepared>(std::move(statement));
            } else {
                if (statementCache.size() >= kCachedStatements)
                    statementCache.pop_back();
                statementCache.push_front({sql, std::move(statement), false});
                p = std::make_unique<Prepared>(statementCache.front().statement.get(),
                                               &statementCache.front().inUse);
            }
        }
        if (const int rc = p->statement->bind(params); rc != SQLITE_OK) {
            if ((rc & 0xff) == SQLITE_TOOBIG)
                budget.memoryExceeded();
            raise(50000, 16, QStringLiteral("A value of the statement could not be bound."));
        }
        clearPendingError();
        p->state = p->statement->step();
        if (p->state != SQLITE_ROW && p->state != SQLITE_DONE)
            sqliteFailure(*p->statement);
        return p;
    }

    [[noreturn]] void sqliteFailure(const SqliteStatement& q) {
        if (auto pending = takePendingError())
            throw SqlError{*pending};
        const int code = q.errorCode() & 0xff;
        if (code == SQLITE_INTERRUPT && budget.expired())
            BatchBudget::timeoutExpired();
        if (isLockFailure(code))
            lockRequestTimedOut();
        if (code == SQLITE_TOOBIG)
            budget.memoryExceeded();
        if (code == SQLITE_NOMEM)
            outOfMemory();
        QString text = q.errorText();
        // The text generated for an expression nests as deep as the expression: SQLite refuses
        // one deeper than its parser or its expression trees allow, as SQL Server would.
        if (text.contains(QStringLiteral("parser stack overflow")) ||
            text.contains(QStringLiteral("Expression tree is too large")))
            raise(191, 15,
                  QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or "
                                 "break it up into smaller queries."));
        if (text.contains(QStringLiteral("UNIQUE constraint failed")) ||
            text.contains(QStringLiteral("PRIMARY KEY")))
            raise(2627, 14,
                  QStringLiteral("Violation of PRIMARY KEY constraint. Cannot insert duplicate key. (%1)")
                      .arg(text));
        if (text.contains(QStringLiteral("NOT NULL constraint failed")))
            raise(
                515, 16,
                QStringLiteral("Cannot insert the value NULL into column '%1'; column does not allow nulls. "
                               "INSERT fails.")
                    .arg(text.section(u'.', -1)));
        raise(50000, 16, text.isEmpty() ? QStringLiteral("Unable to execute statement") : text);
    }

    static ServerError insufficientMemory() {
        ServerError e;
        e.number = 701;
        e.level = 17;
        e.line = 0; // the statement that ran out tells its line
        e.message = QStringLiteral(
            "There is insufficient system memory in resource pool 'default' to run this query.");
        return e;
    }
    [[noreturn]] static void outOfMemory() { throw SqlError{insufficientMemory()}; }

    void ensureFunctions() {
        if (!functionsRegistered) {
            registerSqliteFunctions(db);
            functionsRegistered = true;
        }
    }

    // A value read from SQLite (integer, float, text or null), given the type the query says
    // it has.
    static Value fromSqlite(Value raw, const SqlType& t) {
        if (raw.null)
            return Value::nullOf(t);
        if (t.id == TypeId::Unknown) {
            if (raw.type.id == TypeId::BigInt && raw.i >= std::numeric_limits<qint32>::min() &&
                raw.i <= std::numeric_limits<qint32>::max())
                raw.type = SqlType::of(TypeId::Int);
            return raw;
        }
        try {
            if (t.id == TypeId::Decimal && raw.type.id == TypeId::Float) {
                auto n = Numeric::fromDouble(raw.f, t.scale);
                if (n) {
                    Value v;
                    v.type = t;
                    v.null = false;
                    v.n = *n;
                    return v;
                }
            }
            SqlType target = t;
            if (target.isString())
                target.length = -1;
            Value v = convert(raw, target, true);
            v.type = t;
            return v;
        } catch (const SqlError&) {
            return raw;
        }
    }

    void checkTables(const Select& sel) {
        for (const TableSource* s : sel.flatSources)
            if (s->kind == SourceKind::Table && !s->exists)
                raise(208, 16, QStringLiteral("Invalid object name '%1'.").arg(s->nameParts.join(u'.')),
                      s->line, s->column);
    }

    ResultSet runSql(Select& sel, const RowCtx* ctx, qint64 limit) {
        std::function<void(const Select&)> check = [&](const Select& s) {
            checkTables(s);
            if (s.unionNext)
                check(*s.unionNext);
        };
        check(sel);
        if (sel.topPercent)
            raise(40000, 16, QStringLiteral("TOP ... PERCENT is not supported by the embedded server."));
        // The text generated for a query that reads no value of the batch (variables, outer
        // rows) is the same every time the batch runs: it is kept with the compiled batch.
        QVariantList params;
        QString sql;
        GeneratedSql* kept = currentBatch && !ctx ? &currentBatch->generated : nullptr;
        const auto key = std::make_pair(static_cast<const Select*>(&sel), limit);
        const auto known = kept ? kept->find(key) : GeneratedSql::iterator();
        if (kept && known != kept->end()) {
            sql = known->second.first;
            params = known->second.second;
        } else {
            // Queries run while generating (sub-queries evaluated here) keep their own account.
            const bool outerReads = std::exchange(sqlReadsValues, false);
            sql = selectSql(*this, sel, ctx, params, limit);
            const bool reads = sqlReadsValues;
            sqlReadsValues = outerReads || reads;
            if (kept && !reads)
                kept->emplace(key, std::make_pair(sql, params));
        }
        const auto q = prepared(sql, params);
        ResultSet rs;
        for (const SelectItem& it : sel.items) {
            rs.columns << itemName(it);
            rs.types.push_back(it.expr->type);
        }
        int n = int(sel.items.size());
        for (; q->state == SQLITE_ROW; q->state = q->statement->step()) {
            std::vector<Value> row;
            row.reserve(size_t(n));
            for (int k = 0; k < n; ++k)
                row.push_back(fromSqlite(q->statement->column(k), rs.types[size_t(k)]));
            rs.memory.add(rowBytes(row));
            rs.rows.push_back(std::move(row));
        }
        if (q->state != SQLITE_DONE)
            sqliteFailure(*q->statement);
        if (auto pending = takePendingError())
            throw SqlError{*pending};
        return rs;
    }

    // ---------------- in-engine queries (no tables: constants, variables, xml) ----------------

    std::shared_ptr<const XmlDoc> document(const Value& v) {
        if (v.doc)
            return v.doc;
        return parseXml(v.s);
    }

    // A row of an in-engine query takes its time and its memory: every one made is counted, so
    // that a query that combines too many rows stops at the batch's limits.
    static qint64 ctxBytes(const RowCtx& c) {
        qint64 n = qint64(sizeof(RowCtx));
        for (const auto& r : c.rows)
            n += rowBytes(r.second);
        return n;
    }
    void counted(MemoryCharge& work, const RowCtx& c) {
        budget.tick();
        work.add(ctxBytes(c));
    }

    void sourceRows(TableSource& s, const RowCtx* outer, std::vector<RowCtx>& combos, MemoryCharge& work) {
        switch (s.kind) {
        case SourceKind::XmlNodes: {
            std::vector<RowCtx> next;
            for (RowCtx& c : combos) {
                c.outer = outer;
                Value target = eval(*s.xmlTarget, &c);
                if (target.null)
                    continue;
                XmlNodeRef context;
                if (target.type.id == TypeId::XmlNode) {
                    context = *target.node;
                } else {
                    auto doc = document(target);
                    context = XmlNodeRef{doc, &doc->root, -1};
                }
                for (const XmlNodeRef& n : xpathSelect(context, s.xpath)) {
                    RowCtx r = c;
                    Value nv;
                    nv.type = SqlType::of(TypeId::XmlNode);
                    nv.null = false;
                    nv.node = std::make_shared<XmlNodeRef>(n);
                    r.rows.push_back({&s, {nv}});
                    counted(work, r);
                    next.push_back(std::move(r));
                }
            }
            combos = std::move(next);
            break;
        }
        case SourceKind::Derived: {
            ResultSet rs = query(*s.derived, outer, -1);
            std::vector<RowCtx> next;
            for (const RowCtx& c : combos)
                for (const auto& row : rs.rows) {
                    RowCtx r = c;
                    r.rows.push_back({&s, row});
                    counted(work, r);
                    next.push_back(std::move(r));
                }
            combos = std::move(next);
            break;
        }
        case SourceKind::Join: {
            sourceRows(*s.left, outer, combos, work);
            if (s.joinType == u"INNER" || s.joinType == u"CROSS") {
                sourceRows(*s.right, outer, combos, work);
                if (s.on) {
                    std::vector<RowCtx> kept;
                    for (RowCtx& c : combos) {
                        budget.tick();
                        c.outer = outer;
                        if (condition(*s.on, &c) == Tri::True)
                            kept.push_back(std::move(c));
                    }
                    combos = std::move(kept);
                }
            } else {
                raise(40000, 16, QStringLiteral("Outer joins over xml sources are not supported."), s.line,
                      s.column);
            }
            break;
        }
        case SourceKind::Table:
            raise(40000, 16, QStringLiteral("Tables cannot be combined with xml sources in one query."),
                  s.line, s.column);
        }
    }

    ResultSet localQuery(Select& sel, const RowCtx* outer, qint64 limit) {
        MemoryCharge work; // the rows combined on the way
        std::vector<RowCtx> combos(1);
        combos[0].outer = outer;
        for (auto& f : sel.from)
            sourceRows(*f, outer, combos, work);
        for (RowCtx& c : combos)
            c.outer = outer;
        if (sel.where) {
            std::vector<RowCtx> kept;
            for (RowCtx& c : combos) {
                budget.tick();
                if (condition(*sel.where, &c) == Tri::True)
                    kept.push_back(std::move(c));
            }
            combos = std::move(kept);
        }
        ResultSet rs;
        for (const SelectItem& it : sel.items) {
            rs.columns << itemName(it);
            rs.types.push_back(it.expr->type);
        }
        struct Out {
            std::vector<Value> values;
            std::vector<Value> keys;
        };
        std::vector<Out> outRows;
        auto project = [&](RowCtx& ctx) {
            budget.tick();
            Out o;
            for (SelectItem& it : sel.items)
                o.values.push_back(eval(*it.expr, &ctx));
            work.add(rowBytes(o.values));
            ctx.items = &o.values;
            for (OrderItem& ob : sel.orderBy) {
                if (ob.expr->kind == EK::Literal && ob.expr->value.type.id == TypeId::Int &&
                    ob.expr->value.i >= 1 && size_t(ob.expr->value.i) <= o.values.size())
                    o.keys.push_back(o.values[size_t(ob.expr->value.i - 1)]);
                else
                    o.keys.push_back(eval(*ob.expr, &ctx));
            }
            ctx.items = nullptr;
            outRows.push_back(std::move(o));
        };
        if (sel.hasAggregate) {
            std::vector<std::vector<RowCtx>> groups;
            if (sel.groupBy.empty()) {
                groups.push_back(std::move(combos));
            } else {
                std::vector<std::vector<Value>> keys;
                for (RowCtx& c : combos) {
                    counted(work, c);
                    std::vector<Value> k;
                    for (auto& gexpr : sel.groupBy)
                        k.push_back(eval(*gexpr, &c));
                    size_t gi = 0;
                    for (; gi < keys.size(); ++gi) {
                        budget.tick();
                        bool same = true;
                        for (size_t j = 0; j < k.size() && same; ++j) {
                            if (k[j].null != keys[gi][j].null)
                                same = false;
                            else if (!k[j].null)
                                same = compareValues(k[j], keys[gi][j]).value_or(1) == 0;
                        }
                        if (same)
                            break;
                    }
                    if (gi == keys.size()) {
                        keys.push_back(k);
                        groups.emplace_back();
                    }
                    groups[gi].push_back(c);
                }
            }
            for (auto& grp : groups) {
                RowCtx gctx = grp.empty() ? RowCtx() : grp.front();
                gctx.outer = outer;
                gctx.group = &grp;
                if (sel.having && condition(*sel.having, &gctx) != Tri::True)
                    continue;
                project(gctx);
            }
        } else {
            for (RowCtx& c : combos)
                project(c);
        }
        if (sel.distinct) {
            std::vector<Out> unique;
            for (Out& o : outRows) {
                bool dup = false;
                for (const Out& u : unique) {
                    budget.tick();
                    bool same = true;
                    for (size_t j = 0; j < o.values.size() && same; ++j) {
                        const Value &x = o.values[j], &y = u.values[j];
                        same = x.null == y.null && (x.null || compareValues(x, y).value_or(1) == 0);
                    }
                    if (same) {
                        dup = true;
                        break;
                    }
                }
                if (!dup)
                    unique.push_back(std::move(o));
            }
            outRows = std::move(unique);
        }
        if (!sel.orderBy.empty()) {
            std::stable_sort(outRows.begin(), outRows.end(), [&](const Out& a, const Out& b) {
                budget.tick();
                for (size_t k = 0; k < sel.orderBy.size(); ++k) {
                    const Value &x = a.keys[k], &y = b.keys[k];
                    int c;
                    if (x.null || y.null)
                        c = x.null == y.null ? 0 : (x.null ? -1 : 1);
                    else
                        c = compareValues(x, y).value_or(0);
                    if (c != 0)
                        return sel.orderBy[k].desc ? c > 0 : c < 0;
                }
                return false;
            });
        }
        qint64 n = limit;
        if (sel.top) {
            qint64 t = topCount(*this, *sel.top, outer);
            n = n < 0 ? t : std::min(n, t);
        }
        for (Out& o : outRows) {
            if (n >= 0 && qint64(rs.rows.size()) >= n)
                break;
            rs.memory.add(rowBytes(o.values));
            rs.rows.push_back(std::move(o.values));
        }
        if (sel.unionNext) {
            ResultSet more = query(*sel.unionNext, outer, -1);
            for (auto& r : more.rows) {
                rs.memory.add(rowBytes(r));
                rs.rows.push_back(std::move(r));
            }
            if (!sel.unionAll) {
                std::vector<std::vector<Value>> unique;
                for (auto& r : rs.rows) {
                    bool dup = false;
                    for (const auto& u : unique) {
                        budget.tick();
                        bool same = true;
                        for (size_t j = 0; j < r.size() && same; ++j)
                            same = r[j].null == u[j].null &&
                                   (r[j].null || compareValues(r[j], u[j]).value_or(1) == 0);
                        dup = dup || same;
                    }
                    if (!dup)
                        unique.push_back(r);
                }
                rs.rows = std::move(unique);
            }
        }
        return rs;
    }

    ResultSet query(Select& sel, const RowCtx* outer, qint64 limit) {
        if (sel.usesTables)
            return runSql(sel, outer, limit);
        return localQuery(sel, outer, limit);
    }

    // ---------------- expressions ----------------

    const std::vector<Value>* findRow(const RowCtx* ctx, const TableSource* src) {
        for (const RowCtx* c = ctx; c; c = c->outer)
            for (const auto& r : c->rows)
                if (r.first == src)
                    return &r.second;
        return nullptr;
    }

    Value aggregate(Expr& e, const RowCtx* ctx) {
        const std::vector<RowCtx>* group = nullptr;
        for (const RowCtx* c = ctx; c && !group; c = c->outer)
            group = c->group;
        std::vector<RowCtx> single;
        if (!group) {
            single.push_back(ctx ? *ctx : RowCtx());
            group = &single;
        }
        bool star = e.args[0]->kind == EK::Star;
        std::vector<Value> vals;
        MemoryCharge held;
        for (const RowCtx& r : *group) {
            budget.tick();
            if (star) {
                vals.push_back(Value::integer(1));
                continue;
            }
            Value v = eval(*e.args[0], &r);
            if (v.null)
                continue;
            if (e.distinct) {
                bool dup = false;
                for (const Value& x : vals) {
                    budget.tick();
                    dup = dup || compareValues(x, v).value_or(1) == 0;
                }
                if (dup)
                    continue;
            }
            held.add(valueBytes(v));
            vals.push_back(v);
        }
        return e.function->eval.fold(*e.function, vals, e.type);
    }

    Value scalarSubquery(Select& sub, const RowCtx* ctx, const SqlType& type) {
        ResultSet rs = query(sub, ctx, 2);
        if (rs.rows.size() > 1)
            raise(512, 16,
                  QStringLiteral("Subquery returned more than 1 value. This is not permitted when the "
                                 "subquery follows =, !=, <, <= , >, >= or when the subquery is used as an "
                                 "expression."));
        if (rs.rows.empty())
            return Value::nullOf(type);
        return rs.rows[0][0];
    }

    Value xmlMethod(Expr& e, const RowCtx* ctx) {
        Value target = eval(*e.args[0], ctx);
        if (target.null)
            return Value::nullOf(e.type);
        XmlNodeRef context;
        if (target.type.id == TypeId::XmlNode) {
            context = *target.node;
        } else {
            auto doc = document(target);
            context = XmlNodeRef{doc, &doc->root, -1};
        }
        std::vector<XmlNodeRef> found = xpathSelect(context, e.args[1]->value.s);
        if (e.name == u"exist")
            return Value::boolean(!found.empty());
        if (e.name == u"query") {
            QString s;
            for (const XmlNodeRef& n : found) {
                s += xmlSerialize(n);
                checkStringSize(s.size(), SqlType::varchar(-1));
            }
            Value v = Value::str(s);
            v.type = SqlType::of(TypeId::Xml);
            return v;
        }
        if (found.empty())
            return Value::nullOf(e.type);
        Value text = Value::str(xmlStringValue(found[0]), true);
        return convert(text, e.type, true);
    }

    // The date format of a CONVERT style: the year in four digits from style 100 on, in two
    // below; empty for a style without one.
    static QString styleFormat(int style) {
        if (style == 126) // ISO 8601, always with the century
            return QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz");
        const bool century = style >= 100;
        switch (style % 100) {
        case 3:
            return century ? QStringLiteral("dd/MM/yyyy") : QStringLiteral("dd/MM/yy");
        case 12:
            return century ? QStringLiteral("yyyyMMdd") : QStringLiteral("yyMMdd");
        case 20:
            return QStringLiteral("yyyy-MM-dd HH:mm:ss");
        case 21:
            return QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
        case 4:
            return century ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("dd.MM.yy");
        case 1:
            return century ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("MM/dd/yy");
        case 5:
            return century ? QStringLiteral("dd-MM-yyyy") : QStringLiteral("dd-MM-yy");
        default:
            return QString();
        }
    }

    Value castValue(Expr& e, const Value& v) {
        const SqlType& t = e.castType;
        int style = -1;
        if (e.args.size() > 1) {
            Value s = eval(*e.args[1], nullptr);
            if (!s.null)
                style = int(convert(s, SqlType::of(TypeId::Int)).i);
        }
        if (style >= 0 && !v.null && v.type.isDate() && t.isString()) {
            const QString f = styleFormat(style);
            if (!f.isEmpty())
                return convert(Value::str(v.dt.toString(f)), t, true);
        }
        if (style >= 0 && !v.null && v.type.isString() && t.isDate()) {
            const bool read = style == 103 || style == 104 || style == 112 || style == 101;
            const QString f = read ? styleFormat(style) : QString();
            if (!f.isEmpty()) {
                QDateTime d = QDateTime::fromString(v.s.trimmed().left(f.size()), f);
                if (!d.isValid())
                    raise(241, 16,
                          QStringLiteral(
                              "Conversion failed when converting date and/or time from character string."));
                d.setTimeSpec(Qt::UTC);
                return Value::datetime(d, t.id);
            }
        }
        return convert(v, t, true);
    }

    // eval and condition recurse once per level of the expression tree: each only dispatches,
    // and the work on a node, with its locals, is done in a function of its own.
    Value eval(Expr& e, const RowCtx* ctx) override {
        switch (e.kind) {
        case EK::Literal:
            return e.value;
        case EK::Variable:
            return vars[size_t(e.slot)];
        case EK::SysVar:
            return systemVariable(e);
        case EK::Column:
            return columnValue(e, ctx);
        case EK::Star:
            return Value::integer(1);
        case EK::Unary:
            return unaryValue(e, ctx);
        case EK::Binary:
            return binaryValue(e, ctx);
        case EK::Cast:
            return castExpr(e, ctx);
        case EK::Function:
            return functionValue(e, ctx);
        case EK::Subquery:
            return scalarSubquery(*e.sub, ctx, e.type);
        case EK::XmlMethod:
            return xmlMethod(e, ctx);
        case EK::Case:
            return caseValue(e, ctx);
        default:
            return truthValue(condition(e, ctx));
        }
    }

    static Value truthValue(Tri t) {
        if (t == Tri::Unknown)
            return Value::nullOf(SqlType::of(TypeId::Bit));
        return Value::boolean(t == Tri::True);
    }

    Value systemVariable(const Expr& e) {
        if (e.name == u"@@TRANCOUNT")
            return Value::integer(transactions.count());
        if (e.name == u"@@ROWCOUNT")
            return Value::integer(rowCount);
        if (e.name == u"@@VERSION")
            return Value::str(QStringLiteral("Embedded T-SQL server over SQLite"), true);
        if (e.name == u"@@SPID")
            return Value::integer(1, TypeId::SmallInt);
        if (e.name == u"@@DATEFIRST")
            return Value::integer(7, TypeId::TinyInt);
        if (e.name == u"@@SERVERNAME" || e.name == u"@@LANGUAGE")
            return Value::str(
                e.name == u"@@LANGUAGE" ? QStringLiteral("us_english") : QStringLiteral("EMBEDDED"), true);
        if (e.name == u"@@IDENTITY")
            return Value::nullOf(e.type);
        return Value::integer(0);
    }

    Value columnValue(const Expr& e, const RowCtx* ctx) {
        if (e.depth == -1 && ctx) {
            for (const RowCtx* c = ctx; c; c = c->outer)
                if (c->items)
                    return (*c->items)[size_t(e.columnIndex)];
        }
        const std::vector<Value>* row = e.src ? findRow(ctx, e.src) : nullptr;
        if (!row)
            raise(207, 16, QStringLiteral("Invalid column name '%1'.").arg(e.parts.last()), e.line, e.column);
        return (*row)[size_t(e.columnIndex)];
    }

    Value unaryValue(Expr& e, const RowCtx* ctx) {
        Value v = eval(*e.args[0], ctx);
        if (e.op == u"-")
            return negate(v);
        if (e.op == u"~")
            return bitNot(v);
        return v;
    }

    Value binaryValue(Expr& e, const RowCtx* ctx) {
        Value a = eval(*e.args[0], ctx);
        Value b = eval(*e.args[1], ctx);
        return arithmetic(e.op, a, b);
    }

    Value castExpr(Expr& e, const RowCtx* ctx) {
        Value v = eval(*e.args[0], ctx);
        if (e.tryCast) {
            try {
                return castValue(e, v);
            } catch (const SqlError&) {
                return Value::nullOf(e.castType);
            }
        }
        return castValue(e, v);
    }

    // What IIF, CHOOSE and the ERROR_ functions see of their call.
    struct Call final : CallSite {
        Impl& impl;
        Expr& e;
        const RowCtx* ctx;
        Call(Impl& i, Expr& x, const RowCtx* c)
            : impl(i)
            , e(x)
            , ctx(c) {}
        std::size_t argumentCount() const override { return e.args.size(); }
        Value argument(std::size_t k) override { return impl.eval(*e.args[k], ctx); }
        bool isTrue(std::size_t k) override { return impl.condition(*e.args[k], ctx) == Tri::True; }
        const ServerError* caughtError() const override { return impl.caught ? &*impl.caught : nullptr; }
    };

    Value functionValue(Expr& e, const RowCtx* ctx) {
        const FunctionDef& f = *e.function;
        if (f.eval.fold)
            return aggregate(e, ctx);
        if (f.eval.lazy) {
            Call call(*this, e, ctx);
            return f.eval.lazy(f, call, e.type);
        }
        std::vector<Value> args;
        args.reserve(e.args.size());
        for (auto& a : e.args)
            args.push_back(eval(*a, ctx));
        return callScalar(f, args, e.type);
    }

    Value caseValue(Expr& e, const RowCtx* ctx) {
        size_t k = 0;
        Value input;
        if (e.hasInput) {
            input = eval(*e.args[0], ctx);
            k = 1;
        }
        size_t end = e.args.size() - (e.hasElse ? 1 : 0);
        for (; k < end; k += 2) {
            bool hit;
            if (e.hasInput)
                hit = compareValues(input, eval(*e.args[k], ctx)).value_or(1) == 0;
            else
                hit = condition(*e.args[k], ctx) == Tri::True;
            if (hit)
                return convert(eval(*e.args[k + 1], ctx), e.type);
        }
        if (e.hasElse)
            return convert(eval(*e.args.back(), ctx), e.type);
        return Value::nullOf(e.type);
    }

    static Tri fromCompare(std::optional<int> c, const QString& op) {
        if (!c)
            return Tri::Unknown;
        int v = *c;
        bool r = false;
        if (op == u"=")
            r = v == 0;
        else if (op == u"<>" || op == u"!=")
            r = v != 0;
        else if (op == u"<" || op == u"!>")
            r = op == u"<" ? v < 0 : v <= 0;
        else if (op == u">" || op == u"!<")
            r = op == u">" ? v > 0 : v >= 0;
        else if (op == u"<=")
            r = v <= 0;
        else if (op == u">=")
            r = v >= 0;
        return r ? Tri::True : Tri::False;
    }

    Tri condition(Expr& e, const RowCtx* ctx) override {
        switch (e.kind) {
        case EK::Compare:
            return comparison(e, ctx);
        case EK::And: {
            const Tri a = condition(*e.args[0], ctx);
            if (a == Tri::False)
                return Tri::False;
            const Tri b = condition(*e.args[1], ctx);
            if (b == Tri::False)
                return Tri::False;
            return (a == Tri::True && b == Tri::True) ? Tri::True : Tri::Unknown;
        }
        case EK::Or: {
            const Tri a = condition(*e.args[0], ctx);
            if (a == Tri::True)
                return Tri::True;
            const Tri b = condition(*e.args[1], ctx);
            if (b == Tri::True)
                return Tri::True;
            return (a == Tri::False && b == Tri::False) ? Tri::False : Tri::Unknown;
        }
        case EK::Not:
            return triNot(condition(*e.args[0], ctx));
        case EK::IsNull:
            return isNull(e, ctx);
        case EK::Between:
            return between(e, ctx);
        case EK::In:
            return inList(e, ctx);
        case EK::Like:
            return like(e, ctx);
        case EK::Exists:
            return exists(e, ctx);
        default:
            raise(4145, 15,
                  QStringLiteral("An expression of non-boolean type specified in a context where a condition "
                                 "is expected."),
                  e.line, e.column);
        }
    }

    Tri comparison(Expr& e, const RowCtx* ctx) {
        Value a = eval(*e.args[0], ctx);
        Value b = eval(*e.args[1], ctx);
        return fromCompare(compareValues(a, b), e.op);
    }

    Tri isNull(Expr& e, const RowCtx* ctx) {
        const bool null = eval(*e.args[0], ctx).null;
        return (null != e.negated) ? Tri::True : Tri::False;
    }

    Tri between(Expr& e, const RowCtx* ctx) {
        Value v = eval(*e.args[0], ctx);
        Value lo = eval(*e.args[1], ctx);
        Value hi = eval(*e.args[2], ctx);
        Tri a = fromCompare(compareValues(v, lo), QStringLiteral(">="));
        Tri b = fromCompare(compareValues(v, hi), QStringLiteral("<="));
        Tri r = (a == Tri::False || b == Tri::False) ? Tri::False
                : (a == Tri::True && b == Tri::True) ? Tri::True
                                                     : Tri::Unknown;
        return e.negated ? triNot(r) : r;
    }

    Tri inList(Expr& e, const RowCtx* ctx) {
        Value v = eval(*e.args[0], ctx);
        std::vector<Value> list;
        if (e.sub) {
            ResultSet rs = query(*e.sub, ctx, -1);
            for (auto& r : rs.rows)
                list.push_back(std::move(r[0]));
        } else {
            for (size_t k = 1; k < e.args.size(); ++k)
                list.push_back(eval(*e.args[k], ctx));
        }
        Tri r = Tri::False;
        for (const Value& x : list) {
            budget.tick();
            auto c = compareValues(v, x);
            if (!c)
                r = Tri::Unknown;
            else if (*c == 0) {
                r = Tri::True;
                break;
            }
        }
        return e.negated ? triNot(r) : r;
    }

    Tri like(Expr& e, const RowCtx* ctx) {
        Value v = eval(*e.args[0], ctx);
        Value p = eval(*e.args[1], ctx);
        QChar esc;
        if (e.args.size() > 2) {
            Value x = eval(*e.args[2], ctx);
            if (x.null)
                return Tri::Unknown;
            QString xs = convert(x, SqlType::varchar(-1)).s;
            if (xs.size() != 1)
                raise(506, 16,
                      QStringLiteral("The invalid escape character \"%1\" was specified in a LIKE predicate.")
                          .arg(xs));
            esc = xs[0];
        }
        if (v.null || p.null)
            return Tri::Unknown;
        QString vs = convert(v, SqlType::varchar(-1)).s;
        QString ps = convert(p, SqlType::varchar(-1)).s;
        while (vs.endsWith(u' ') && !ps.endsWith(u' '))
            vs.chop(1);
        bool m = likeMatch(vs, ps, esc);
        return (m != e.negated) ? Tri::True : Tri::False;
    }

    Tri exists(Expr& e, const RowCtx* ctx) {
        ResultSet rs = query(*e.sub, ctx, 1);
        return rs.rows.empty() ? Tri::False : Tri::True;
    }

    // ---------------- statements ----------------

    void assign(int slot, const QString& op, const Value& v) {
        const SqlType& t = varTypes[size_t(slot)];
        Value nv = v;
        if (op != u"=")
            nv = arithmetic(op.left(1), vars[size_t(slot)], v);
        nv = convert(nv, t);
        if (nv.s.isEmpty()) {
            vars[size_t(slot)] = std::move(nv);
            varMemory[size_t(slot)].clear();
            return;
        }
        // The variable's new text is counted before it replaces the old one.
        MemoryCharge held;
        held.add(valueBytes(nv));
        vars[size_t(slot)] = std::move(nv);
        varMemory[size_t(slot)] = std::move(held);
    }

    void resultSet(ResultSet rs) {
        rowCount = qint64(rs.rows.size());
        rs.memory.keep(); // held by the batch's result until the batch ends
        out->resultSets.push_back(std::move(rs));
    }

    void print(const QString& text) {
        budget.charge(qint64(text.size()) * qint64(sizeof(QChar)) + qint64(sizeof(QString)));
        out->messages << text;
    }

    // Every statement counts towards a look at the clock (each one that can take long looks at
    // it on its own: loops at every iteration, SQLite and the engine's row loops as they go)
    // and, inside a fence, looks at the fence.
    void enter(const Stmt& s) {
        budget.tick();
        transactions.checkFence();
        if (s.deferred)
            throw SqlError{*s.deferred};
    }

    // A failure of the statement `s`: it is told where it happened; inside a fence that SQLite
    // has ended because of it, it becomes the error that stops the batch.
    void failed(SqlError& e, const Stmt& s) {
        if (e.error.level < 20 && transactions.fenced()) {
            try {
                transactions.checkFence();
            } catch (SqlError& lost) {
                e = lost;
            }
        }
        if (e.error.line == 0) {
            e.error.line = s.line;
            e.error.column = s.column;
        }
    }

    Flow run(Stmt& s) {
        try {
            enter(s);
            return runInner(s);
        } catch (SqlError& e) {
            failed(e, s);
            throw;
        }
    }

    // IF ... ELSE IF ... ELSE: the chain is followed in a loop, however long it is.
    Flow runIf(Stmt& first) {
        for (Stmt* s = &first;;) {
            Tri t;
            try {
                if (s != &first)
                    enter(*s);
                t = condition(*s->expr, nullptr);
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

    Flow runInner(Stmt& s) {
        switch (s.kind) {
        case SK::Declare:
            for (VarDecl& d : s.decls)
                if (d.init)
                    vars[size_t(d.slot)] = convert(eval(*d.init, nullptr), d.type);
            return Flow::Normal;
        case SK::Set:
            assign(s.slot, s.op, eval(*s.expr, nullptr));
            rowCount = 1;
            return Flow::Normal;
        case SK::SetOption:
        case SK::Empty:
            return Flow::Normal;
        case SK::Select: {
            Select& sel = *s.select;
            ResultSet rs = query(sel, nullptr, -1);
            if (sel.assigns) {
                for (const auto& row : rs.rows)
                    for (size_t k = 0; k < sel.items.size(); ++k)
                        assign(sel.items[k].slot, sel.items[k].assignOp, row[k]);
                rowCount = qint64(rs.rows.size());
            } else {
                resultSet(std::move(rs));
            }
            return Flow::Normal;
        }
        case SK::If:
            return runIf(s);
        case SK::While:
            while (condition(*s.expr, nullptr) == Tri::True) {
                ++loopCount;
                if (loopLimit > 0 && loopCount > loopLimit)
                    raise(40001, 16,
                          QStringLiteral("The batch was stopped after %1 loop iterations.").arg(loopLimit));
                budget.checkTime();
                Flow f = run(*s.thenStmt);
                if (f == Flow::Break)
                    break;
                if (f == Flow::Return)
                    return f;
            }
            return Flow::Normal;
        case SK::Block:
            for (auto& c : s.body) {
                Flow f = run(*c);
                if (f != Flow::Normal)
                    return f;
            }
            return Flow::Normal;
        case SK::TryCatch: {
            try {
                for (auto& c : s.body) {
                    Flow f = run(*c);
                    if (f != Flow::Normal)
                        return f;
                }
                return Flow::Normal;
            } catch (const SqlError& e) {
                // Name resolution of the same scope and severe errors are not caught.
                if (e.error.number == 208 || e.error.level > 19)
                    throw;
                auto saved = caught;
                caught = e.error;
                Flow f = run(*s.elseStmt);
                caught = saved;
                return f;
            }
        }
        case SK::Break:
            return Flow::Break;
        case SK::Continue:
            return Flow::Continue;
        case SK::Return:
            return Flow::Return;
        case SK::Print: {
            Value v = eval(*s.expr, nullptr);
            print(v.null ? QString() : convert(v, SqlType::varchar(-1)).s);
            return Flow::Normal;
        }
        case SK::BeginTran:
            beginTransaction();
            return Flow::Normal;
        case SK::Commit:
            if (transactions.count() == 0)
                raise(
                    3902, 16,
                    QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            commitTransaction();
            return Flow::Normal;
        case SK::Rollback:
            if (transactions.count() == 0)
                raise(3903, 16,
                      QStringLiteral(
                          "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            rollbackTransaction();
            return Flow::Normal;
        case SK::Exec:
            raise(2812, 16, QStringLiteral("Could not find stored procedure '%1'.").arg(s.procName));
        case SK::Update:
        case SK::Insert:
        case SK::Delete:
            dml(s);
            return Flow::Normal;
        }
        return Flow::Normal;
    }

    void dml(Stmt& s) {
        TableSource& t = *s.target;
        if (!t.exists)
            raise(208, 16, QStringLiteral("Invalid object name '%1'.").arg(t.nameParts.join(u'.')), t.line,
                  t.column);
        QString target = quoteIdent(t.realName);
        QString sql;
        QVariantList params;
        if (s.kind == SK::Insert) {
            QStringList cols = s.insertColumns.isEmpty() ? t.columns : s.insertColumns;
            std::vector<SqlType> types;
            for (const QString& c : cols) {
                int k = int(t.columns.indexOf(c));
                for (int j = 0; k < 0 && j < t.columns.size(); ++j)
                    if (t.columns[j].compare(c, Qt::CaseInsensitive) == 0)
                        k = j;
                types.push_back(k >= 0 ? t.columnTypes[size_t(k)] : SqlType());
            }
            QStringList quoted;
            for (const QString& c : cols)
                quoted << quoteIdent(c);
            QString head =
                QStringLiteral("INSERT INTO %1 (%2) ").arg(target, quoted.join(QStringLiteral(", ")));
            if (s.defaultValues) {
                sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(target);
            } else if (!s.values.empty()) {
                QStringList rows;
                for (auto& row : s.values) {
                    QStringList vals;
                    for (size_t k = 0; k < row.size(); ++k) {
                        if (!row[k]) {
                            vals << QStringLiteral("NULL");
                            continue;
                        }
                        Value v = convert(eval(*row[k], nullptr), types[k]);
                        params << toParam(v);
                        vals << QStringLiteral("?");
                    }
                    rows << u'(' + vals.join(QStringLiteral(", ")) + u')';
                }
                sql = head + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
            } else if (s.select->usesTables) {
                checkTables(*s.select);
                sql = head + selectSql(*this, *s.select, nullptr, params, -1);
            } else {
                ResultSet rs = localQuery(*s.select, nullptr, -1);
                QStringList rows;
                for (auto& row : rs.rows) {
                    QStringList vals;
                    for (size_t k = 0; k < row.size(); ++k) {
                        params << toParam(convert(row[k], types[k]));
                        vals << QStringLiteral("?");
                    }
                    rows << u'(' + vals.join(QStringLiteral(", ")) + u')';
                }
                if (rows.isEmpty()) {
                    out->recordsAffected = 0;
                    rowCount = 0;
                    return;
                }
                sql = head + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
            }
        } else {
            checkTables(*s.select);
            sql = updateOrDeleteSql(*this, s, params);
        }
        transactions.checkFence(); // nothing is written unless the fence still stands
        const auto q = prepared(sql, params);
        while (q->state == SQLITE_ROW)
            q->state = q->statement->step();
        if (q->state != SQLITE_DONE)
            sqliteFailure(*q->statement);
        qint64 n = q->statement->changes();
        out->recordsAffected = n;
        rowCount = n;
    }

    // ---------------- transactions ----------------

    void beginTransaction() { transactions.begin(); }
    void commitTransaction() { transactions.commit(); }
    void rollbackTransaction() { transactions.rollback(); }

    // ---------------- batches ----------------

    RunResult runBatch(const QString& batch) {
        RunResult result;
        out = &result;
        loopCount = 0;
        budget.start(limits);
        const CurrentBudget current(&budget);
        const SqliteBatchScope sqliteLimits(sqliteHandle(db), budget);
        try {
            catalog.refresh();
            const std::shared_ptr<CompiledBatch> compiled = compile(batch);
            currentBatch = compiled.get();
            varTypes = compiled->variableTypes;
            vars.clear();
            varMemory.clear();
            for (const SqlType& t : varTypes)
                vars.push_back(Value::nullOf(t));
            varMemory.resize(varTypes.size());
            for (auto& s : compiled->batch.statements)
                if (run(*s) == Flow::Return)
                    break;
        } catch (const SqlError& e) {
            result.error = e.error;
        } catch (const std::bad_alloc&) {
            result.error = insufficientMemory();
            result.error->line = 1;
        }
        transactions.forgetEndedTransaction();
        currentBatch = nullptr;
        out = nullptr;
        // The values of the variables can be large: they go with the batch.
        vars.clear();
        varMemory.clear();
        return result;
    }

    IsolatedRun runIsolated(const QString& batch, bool writeLock) {
        IsolatedRun r;
        if (transactions.count() > 0 || transactions.fenced()) {
            ServerError e;
            e.number = 40004;
            e.message =
                QStringLiteral("An isolated batch cannot run while a transaction of the connection is open.");
            r.result.error = e;
            r.transactionCountAfter = transactions.count();
            return r;
        }
        // The caller's lock wait applies to taking the write lock, before the batch's clock starts.
        setLockWait(sqliteHandle(db), limits.lockWaitMs);
        try {
            transactions.raiseFence(writeLock);
        } catch (const SqlError& e) {
            r.result.error = e.error;
            r.transactionCountAfter = 0;
            return r;
        }
        struct Lower {
            Transactions& t;
            ~Lower() { t.lowerFence(); }
        } lower{transactions};
        r.result = runBatch(batch);
        r.transactionCountAfter = transactions.count();
        return r;
    }
};

Session::Session(QSqlDatabase db)
    : d(std::make_unique<Impl>(db)) {}
Session::~Session() = default;

std::optional<ServerError> Session::compile(const QString& batch) {
    try {
        Batch b = parseBatch(batch);
        d->catalog.refresh();
        std::vector<SqlType> types;
        bindBatch(b, d->catalog, types);
    } catch (const SqlError& e) {
        return e.error;
    }
    return std::nullopt;
}

RunResult Session::run(const QString& batch) {
    return d->runBatch(batch);
}

IsolatedRun Session::runIsolated(const QString& batch, bool writeLock) {
    return d->runIsolated(batch, writeLock);
}

void Session::setLimits(const Limits& limits) {
    d->limits = limits;
    setLockWait(sqliteHandle(d->db), limits.lockWaitMs);
}

const Limits& Session::limits() const {
    return d->limits;
}

void Session::beginTransaction() {
    d->beginTransaction();
}
void Session::commitTransaction() {
    d->commitTransaction();
}
void Session::rollbackTransaction() {
    d->rollbackTransaction();
}
int Session::transactionCount() const {
    return d->transactions.count();
}
void Session::setLoopLimit(qint64 iterations) {
    d->loopLimit = iterations;
}
void Session::setTimeout(qint64 milliseconds) {
    d->limits.timeoutMs = milliseconds;
}

} // namespace tsql
