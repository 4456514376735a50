// Tables a batch makes: CREATE TABLE and DROP TABLE of temporary tables, and the table variables
// of the batch. Both live in SQLite's temp schema of the connection, never in the database
// file: a temporary table stays for the session (and goes with the transaction that made it,
// as DDL does on the server); a table variable exists while its batch runs and keeps its rows
// whatever ROLLBACK does ("table (Transact-SQL)": table variables are not affected by rollback).

#include "tsql/run/Executor.h"

#include "tsql/base/Messages.h"

#include "tsql/bind/Binder.h"
#include "tsql/sql/StatementCache.h"
#include "tsql/sql/Transactions.h"

#include <sqlite3.h>

namespace tsql {

namespace {

// The type as SQLite keeps it in the table's declaration, read back by the catalogue. SQLite's
// grammar takes only numbers in a type's parentheses: a (max) type is written as one quoted name,
// which SQLite keeps without the quotes (and reads as text by its "CHAR").
QString typeDeclaration(const SqlType& t) {
    QString name = t.name();
    if (t.isString())
        return t.length < 0 ? QStringLiteral("\"%1(max)\"").arg(name)
                            : name + QStringLiteral("(%1)").arg(t.length);
    if (t.id == TypeId::Decimal)
        return name + QStringLiteral("(%1,%2)").arg(t.precision).arg(t.scale);
    if (t.isTime())
        return name + QStringLiteral("(%1)").arg(t.scale);
    return name;
}

QString literalText(const Value& v) {
    if (v.null)
        return QStringLiteral("NULL");
    if (v.type.isNumeric())
        return toText(v);
    return quoteString(toParam(v).toString());
}

} // namespace

QString Executor::qualifiedName(const QString& schema, const QString& table) {
    return schema.isEmpty() ? quoteIdent(table) : schema + u'.' + quoteIdent(table);
}

bool Executor::exists(const QString& schema, const QString& table) {
    TableSource ts;
    ts.sqlSchema = schema;
    ts.realName = table;
    return m_evaluator.tableExists(ts);
}

// The table in SQLite: its columns with their declared types (with the IDENTITY property, its
// seed and increment), NOT NULL and DEFAULT values, PRIMARY KEY and UNIQUE keys. The catalog
// reads the columns' rules back from there, as it reads those of the database's tables.
void Executor::makeTable(const TableDef& def, const QString& schema) {
    QStringList parts;
    for (const ColumnDef& c : def.columns) {
        QString d = quoteIdent(c.name) + u' ' + typeDeclaration(c.type);
        if (c.identity)
            d += QStringLiteral(" IDENTITY(%1,%2)").arg(c.seed).arg(c.increment);
        if (c.notNull || c.identity)
            d += QStringLiteral(" NOT NULL");
        if (c.defaultValue)
            d += QStringLiteral(" DEFAULT ") +
                 literalText(convert(m_evaluator.eval(*c.defaultValue, nullptr), c.type));
        parts << d;
    }
    for (const QStringList& key : def.keys) {
        QStringList cols;
        for (const QString& k : key)
            if (!k.isEmpty())
                cols << quoteIdent(k);
        const bool primary = !key.isEmpty() && key.first().isEmpty();
        parts << (primary ? QStringLiteral("PRIMARY KEY (%1)") : QStringLiteral("UNIQUE (%1)"))
                     .arg(cols.join(QStringLiteral(", ")));
    }
    if (schema.isEmpty())
        m_transactions.beforeDatabaseWrite();
    execute(QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(qualifiedName(schema, def.name), parts.join(QStringLiteral(", "))));
}

void Executor::execute(const QString& sql, const QVariantList& params) {
    m_transactions.checkFence();
    const auto q = m_statements.run(sql, params);
    while (q->state == SQLITE_ROW)
        q->state = q->statement->step();
}

// CREATE TABLE: Msg 2714 when the session has a table of that name already.
void Executor::createTable(Stmt& s) {
    const TableDef& def = *s.tableDef;
    const QString schema = def.name.startsWith(u'#') ? QStringLiteral("temp") : QString();
    if (exists(schema, def.name))
        raise<Msg::ObjectExists>(def.name);
    makeTable(def, schema);
}

// DROP TABLE [IF EXISTS]: Msg 3701 for a table that does not exist, unless IF EXISTS.
void Executor::dropTables(Stmt& s) {
    for (const auto& ts : s.drops) {
        const QString& name = ts->nameParts.last();
        const QString schema = name.startsWith(u'#') ? QStringLiteral("temp") : QString();
        // Another database's table is never dropped in its place (see the binder's names).
        const bool here = !m_catalog || knownDatabase(*ts, m_catalog->databaseName());
        const QString schemaPart =
            ts->nameParts.size() < 2 ? QString() : ts->nameParts[ts->nameParts.size() - 2];
        const bool dbo = here && (schemaPart.isEmpty() ||
                                  schemaPart.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0);
        if (!dbo || !exists(schema, name)) {
            if (s.ifExists)
                continue;
            raiseAt<Msg::CannotDropTable>(ts->line, ts->column, ts->nameParts.join(u'.'));
        }
        if (schema.isEmpty())
            m_transactions.beforeDatabaseWrite();
        execute(QStringLiteral("DROP TABLE %1").arg(qualifiedName(schema, name)));
    }
}

// CREATE INDEX: Msg 208 for a table that does not exist, Msg 1913 for a name an index of the
// database has already (SQLite names indexes database-wide, the server table by table).
void Executor::createIndex(Stmt& s) {
    TableSource& t = *s.target;
    if (!t.exists || !exists(t.sqlSchema, t.realName))
        raiseAt<Msg::InvalidObjectName>(t.line, t.column, t.nameParts.join(u'.'));
    const QString schema = t.sqlSchema.isEmpty() ? QStringLiteral("main") : t.sqlSchema;
    const auto q = m_statements.run(
        QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type = 'index' AND name = ? COLLATE NOCASE")
            .arg(schema),
        {s.var});
    if (q->state == SQLITE_ROW)
        raise<Msg::IndexAlreadyExists>(s.var, t.realName);
    QStringList columns;
    for (const QString& k : s.options)
        columns << quoteIdent(k);
    if (t.sqlSchema.isEmpty())
        m_transactions.beforeDatabaseWrite();
    execute(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                .arg(s.op.isEmpty() ? QString() : QStringLiteral("UNIQUE "), qualifiedName(schema, s.var),
                     quoteIdent(t.realName), columns.join(QStringLiteral(", "))));
}

// The table variables of a batch exist from its start (a declaration is no statement that runs);
// those of a dynamic batch join the ones of the batches that run it.
void Executor::createTableVariables(const std::vector<TableDef*>& tables) {
    for (const TableDef* def : tables) {
        m_tableVariables.push_back(def);
        execute(
            QStringLiteral("DROP TABLE IF EXISTS %1").arg(qualifiedName(QStringLiteral("temp"), def->name)));
        makeTable(*def, QStringLiteral("temp"));
    }
}

// At the end of the batch its table variables go: all of them, or those made after the first
// `keep` (the ones of a dynamic batch). Never throws. The batches that declared them are still
// there.
void Executor::dropTableVariables(size_t keep) {
    sqlite3* h = sqliteHandle(m_statements.database());
    for (size_t k = keep; k < m_tableVariables.size(); ++k) {
        const QString& name = m_tableVariables[k]->name;
        if (h) {
            const QByteArray sql = QStringLiteral("DROP TABLE IF EXISTS %1")
                                       .arg(qualifiedName(QStringLiteral("temp"), name))
                                       .toUtf8();
            sqlite3_exec(h, sql.constData(), nullptr, nullptr, nullptr);
        }
    }
    if (keep < m_tableVariables.size())
        m_tableVariables.resize(keep);
}

// ROLLBACK undoes what the transaction did to tables, but not to table variables: their rows
// are read before and put back after.
void Executor::rollbackKeepingTableVariables() {
    std::vector<std::vector<std::vector<Value>>> saved;
    for (const TableDef* def : m_tableVariables) {
        std::vector<std::vector<Value>> rows;
        const auto q = m_statements.run(
            QStringLiteral("SELECT * FROM %1").arg(qualifiedName(QStringLiteral("temp"), def->name)), {});
        for (; q->state == SQLITE_ROW; q->state = q->statement->step()) {
            std::vector<Value> row;
            row.reserve(def->columns.size());
            for (int k = 0; k < int(def->columns.size()); ++k)
                row.push_back(q->statement->column(k));
            rows.push_back(std::move(row));
        }
        saved.push_back(std::move(rows));
    }
    m_transactions.rollback();
    for (size_t t = 0; t < m_tableVariables.size(); ++t) {
        const TableDef& def = *m_tableVariables[t];
        const QString name = qualifiedName(QStringLiteral("temp"), def.name);
        if (!exists(QStringLiteral("temp"), def.name))
            makeTable(def, QStringLiteral("temp"));
        execute(QStringLiteral("DELETE FROM %1").arg(name));
        for (const auto& row : saved[t]) {
            QVariantList params;
            QStringList marks;
            for (const Value& v : row) {
                params << toParam(v);
                marks << QStringLiteral("?");
            }
            execute(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(name, marks.join(QStringLiteral(", "))),
                    params);
        }
    }
}

} // namespace tsql
