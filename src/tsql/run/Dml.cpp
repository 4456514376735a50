// Data changes: INSERT, UPDATE and DELETE, written as SQLite text and run inside the batch's
// transaction. @@ROWCOUNT and the records affected are the rows SQLite changed. Every value
// written goes through the rules of its column (ColumnRules.h), from the catalog's declared
// types: a statement that breaks one fails as a whole and changes nothing.

#include "tsql/sql/ColumnRules.h"

#include "tsql/base/Messages.h"
#include "tsql/run/Executor.h"

#include "tsql/bind/Binder.h"

#include "tsql/sql/StatementCache.h"
#include "tsql/sql/Transactions.h"

#include <sqlite3.h>

#include <algorithm>

namespace tsql {

namespace {

int columnIndex(const TableSource& t, const QString& c) {
    for (int j = 0; j < t.columns.size(); ++j)
        if (t.columns[j].compare(c, Qt::CaseInsensitive) == 0)
            return j;
    return -1;
}

int identityColumn(const TableSource& t) {
    for (size_t k = 0; k < t.columnRules.size(); ++k)
        if (t.columnRules[k].identity)
            return int(k);
    return -1;
}

// The columns an INSERT leaves out that it must fill: the identity column, numbered by the
// engine, and those that take no NULL and have no default (Msg 515 once a row is written).
struct Omitted {
    int identity = -1;
    std::vector<int> required;
};

Omitted omittedColumns(const TableSource& t, const std::vector<int>& named) {
    Omitted o;
    for (int k = 0; k < int(t.columns.size()); ++k) {
        if (std::find(named.begin(), named.end(), k) != named.end())
            continue;
        const ColumnRule& r = t.columnRules[size_t(k)];
        if (r.identity)
            o.identity = k;
        else if (r.notNull && !r.hasDefault)
            o.required.push_back(k);
    }
    return o;
}

} // namespace

void Executor::dml(Stmt& s) {
    // Table variables and temporary tables are the connection's own: only a table of the
    // database asks for its write lock, before anything of the statement is read (a transaction
    // may start again to wait for the lock, and what it reads must come after).
    if (s.target && s.target->sqlSchema.isEmpty())
        m_transactions.beforeDatabaseWrite();
    QString sql;
    QVariantList params;
    if (s.kind == SK::Insert) {
        m_evaluator.checkTable(*s.target);
        sql = insertSql(s, params);
        if (sql.isEmpty()) { // INSERT ... SELECT of no row
            m_state.out->recordsAffected = 0;
            m_state.rowCount = 0;
            return;
        }
    } else {
        // The target is the first of the sources of UPDATE and DELETE.
        m_evaluator.checkTables(*s.select);
        sql = updateOrDeleteSql(m_evaluator, s, params);
    }
    write(sql, params);
}

// The columns an INSERT names, or every column but the identity one when it names none. An
// identity column takes a value only while IDENTITY_INSERT is ON for its table, and then only
// from a list of columns (Msg 544, 8101).
std::vector<int> Executor::insertColumns(const Stmt& s) const {
    const TableSource& t = *s.target;
    const int identity = identityColumn(t);
    const bool explicitIdentity =
        identity >= 0 && m_state.identityInsert.compare(t.realName, Qt::CaseInsensitive) == 0;
    std::vector<int> cols;
    if (s.insertColumns.isEmpty()) {
        if (explicitIdentity)
            raise<Msg::ExplicitValueIdentityColumn>(t.realName);
        for (int k = 0; k < int(t.columns.size()); ++k)
            if (k != identity)
                cols.push_back(k);
        return cols;
    }
    for (const QString& c : s.insertColumns) {
        const int k = columnIndex(t, c);
        if (k == identity && !explicitIdentity)
            raise<Msg::InsertExplicitValueIdentity>(t.realName);
        cols.push_back(k);
    }
    return cols;
}

// The next value of an identity column: its seed in an empty table, else one increment past
// the greatest value it holds.
qint64 Executor::nextIdentity(const TableSource& t, int column) {
    const ColumnRule& r = t.columnRules[size_t(column)];
    const auto q = m_statements.run(
        QStringLiteral("SELECT MAX(%1) FROM %2").arg(quoteIdent(t.columns[column]), sqlTableName(t)), {});
    const Value v = q->state == SQLITE_ROW ? q->statement->column(0) : Value();
    q->statement->reset();
    if (v.null)
        return r.seed;
    return convert(v, SqlType::of(TypeId::BigInt)).i + r.increment;
}

// The text of an INSERT. Values computed here are checked against their columns and sent as
// parameters; INSERT ... SELECT over tables is left to SQLite, each value through tsql_store.
// Empty for a SELECT of no row.
QString Executor::insertSql(Stmt& s, QVariantList& params) {
    TableSource& t = *s.target;
    const std::vector<int> cols = insertColumns(s);
    const Omitted omitted = omittedColumns(t, cols);
    if (s.defaultValues || !s.values.empty() || !s.select->usesTables)
        return insertRowsSql(s, cols, omitted.identity, omitted.required, params);
    QStringList quoted;
    for (int k : cols)
        quoted << quoteIdent(t.columns[k]);
    m_evaluator.checkTables(*s.select);
    const QString rows = selectSql(m_evaluator, *s.select, nullptr, params, -1);
    QStringList items;
    for (size_t i = 0; i < cols.size(); ++i)
        items << storeCall(QStringLiteral("q.\"c%1\"").arg(i), StoreTarget{&t, cols[i], false}, false);
    for (int k : omitted.required) {
        quoted << quoteIdent(t.columns[k]);
        items << storeCall(QStringLiteral("NULL"), StoreTarget{&t, k, false}, false);
    }
    if (omitted.identity >= 0) {
        const ColumnRule& r = t.columnRules[size_t(omitted.identity)];
        const QString column = quoteIdent(t.columns[omitted.identity]);
        quoted << column;
        items << QStringLiteral("(SELECT COALESCE(MAX(%1), %2) FROM %3) + %4 * ROW_NUMBER() OVER ()")
                     .arg(column, QString::number(r.seed - r.increment), sqlTableName(t),
                          QString::number(r.increment));
    }
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM (%4) AS q")
        .arg(sqlTableName(t), quoted.join(QStringLiteral(", ")), items.join(QStringLiteral(", ")), rows);
}

// An INSERT whose rows are computed here (VALUES, DEFAULT VALUES, a SELECT without tables).
QString Executor::insertRowsSql(Stmt& s, const std::vector<int>& cols, int identity,
                                const std::vector<int>& required, QVariantList& params) {
    TableSource& t = *s.target;
    std::vector<std::vector<std::optional<Value>>> rows; // nullopt: DEFAULT
    if (s.defaultValues) {
        // Every column takes its default (NULL when it has none).
        rows.emplace_back(cols.size(), std::nullopt);
    } else if (!s.values.empty()) {
        for (auto& row : s.values) {
            rows.emplace_back();
            for (auto& x : row)
                rows.back().push_back(x ? std::optional<Value>(m_evaluator.eval(*x, nullptr)) : std::nullopt);
        }
    } else {
        ResultSet rs = m_evaluator.localQuery(*s.select, nullptr, -1);
        for (auto& row : rs.rows)
            rows.emplace_back(row.begin(), row.end());
    }
    if (rows.empty())
        return QString();
    if (!required.empty())
        nullNotAllowed(t.columns[required.front()], t.messageName, false);
    QStringList quoted;
    for (int k : cols)
        quoted << quoteIdent(t.columns[k]);
    qint64 next = 0;
    if (identity >= 0) {
        quoted << quoteIdent(t.columns[identity]);
        next = nextIdentity(t, identity);
    }
    if (quoted.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(sqlTableName(t));
    QStringList texts;
    for (const auto& row : rows) {
        QStringList vals;
        for (size_t i = 0; i < row.size(); ++i) {
            const StoreTarget target{&t, cols[i], false};
            if (row[i]) {
                params << toParam(storeValue(*row[i], target));
                vals << QStringLiteral("?");
            } else {
                vals << defaultSql(target);
            }
        }
        if (identity >= 0) {
            params << QVariant(next);
            vals << QStringLiteral("?");
            next += t.columnRules[size_t(identity)].increment;
        }
        texts << u'(' + vals.join(QStringLiteral(", ")) + u')';
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(sqlTableName(t), quoted.join(QStringLiteral(", ")), texts.join(QStringLiteral(", ")));
}

// DEFAULT in VALUES: the column's default, else NULL, which a NOT NULL column refuses. The text
// of the default of a table the batch made is the one the catalog reads once it is made.
QString Executor::defaultSql(const StoreTarget& target) {
    const TableSource& t = *target.table;
    const ColumnRule& r = t.columnRules[size_t(target.column)];
    if (r.hasDefault && !r.defaultSql.isEmpty())
        return u'(' + r.defaultSql + u')';
    if (r.hasDefault && m_catalog) {
        m_catalog->refresh();
        const TableInfo* made = m_catalog->find(t.realName);
        if (made && size_t(target.column) < made->rules.size() &&
            !made->rules[size_t(target.column)].defaultSql.isEmpty())
            return u'(' + made->rules[size_t(target.column)].defaultSql + u')';
    }
    if (r.notNull)
        nullNotAllowed(target.table->columns[target.column], target.table->messageName, false);
    return QStringLiteral("NULL");
}

// SET IDENTITY_INSERT table ON | OFF: one table of the session at a time (Msg 8107), a table
// with an identity column (Msg 8106) that exists (Msg 1088).
void Executor::setIdentityInsert(const Stmt& s) {
    const TableSource& t = *s.target;
    if (!t.exists)
        raise<Msg::ObjectNotFound>(t.nameParts.join(u'.'));
    if (identityColumn(t) < 0)
        raise<Msg::TableDoesNotIdentity>(t.realName);
    const bool on = s.op == u"ON";
    if (!on) {
        if (m_state.identityInsert.compare(t.realName, Qt::CaseInsensitive) == 0)
            m_state.identityInsert.clear();
        return;
    }
    if (!m_state.identityInsert.isEmpty() &&
        m_state.identityInsert.compare(t.realName, Qt::CaseInsensitive) != 0)
        raise<Msg::IdentityInsertAlreadyTable>(m_state.identityInsert, t.realName);
    m_state.identityInsert = t.realName;
}

void Executor::write(const QString& sql, const QVariantList& params) {
    m_transactions.checkFence(); // nothing is written unless the fence still stands
    const auto q = m_statements.run(sql, params);
    while (q->state == SQLITE_ROW)
        q->state = q->statement->step();
    if (q->state != SQLITE_DONE)
        m_statements.failure(*q->statement);
    qint64 n = q->statement->changes();
    m_state.out->recordsAffected = n;
    m_state.rowCount = n;
}

} // namespace tsql
