// Data changes: INSERT, UPDATE and DELETE, written as SQLite text and run inside the batch's
// transaction. @@ROWCOUNT and the records affected are the rows SQLite changed.

#include "tsql/Executor.h"

#include "tsql/Binder.h"

#include "tsql/StatementCache.h"
#include "tsql/Transactions.h"

#include <sqlite3.h>

namespace tsql {

namespace {

QString identityName(const TableSource& t) {
    return (t.sqlSchema.isEmpty() ? QStringLiteral("main") : t.sqlSchema) + u'.' + t.realName;
}

// Question marks for `n` parameters, in parentheses.
QString marks(qsizetype n) {
    QStringList m;
    for (qsizetype k = 0; k < n; ++k)
        m << QStringLiteral("?");
    return u'(' + m.join(QStringLiteral(", ")) + u')';
}

// The types of the target's columns named by an INSERT (all of them when it names none).
std::vector<SqlType> insertTypes(const TableSource& t, const QStringList& cols) {
    std::vector<SqlType> types;
    for (const QString& c : cols) {
        int k = int(t.columns.indexOf(c));
        for (int j = 0; k < 0 && j < t.columns.size(); ++j)
            if (t.columns[j].compare(c, Qt::CaseInsensitive) == 0)
                k = j;
        types.push_back(k >= 0 ? t.columnTypes[size_t(k)] : SqlType());
    }
    return types;
}

} // namespace

void Executor::dml(Stmt& s) {
    TableSource& t = *s.target;
    if (!t.exists || (t.checkExists && !m_evaluator.tableExists(t)))
        raise(208, 16, QStringLiteral("Invalid object name '%1'.").arg(t.nameParts.join(u'.')), t.line,
              t.column);
    QString sql;
    QVariantList params;
    if (s.kind == SK::Insert) {
        sql = insertSql(s, params);
        if (sql.isEmpty()) { // INSERT ... SELECT of no row
            m_state.out->recordsAffected = 0;
            m_state.rowCount = 0;
            return;
        }
        if (t.identityColumn >= 0 && s.values.empty() && s.select && s.select->usesTables) {
            write(sql, params);
            m_catalog.takeIdentity(identityName(t), m_state.rowCount);
            return;
        }
    } else {
        m_evaluator.checkTables(*s.select);
        sql = updateOrDeleteSql(m_evaluator, s, params);
    }
    write(sql, params);
}

// The text of an INSERT: values computed here are converted to the columns' types and sent as
// parameters; INSERT ... SELECT over tables is left to SQLite. Empty for a SELECT of no row. The
// identity column, named by no INSERT (Msg 544 when it is), takes the table's next values.
QString Executor::insertSql(Stmt& s, QVariantList& params) {
    TableSource& t = *s.target;
    const QString target = sqlTableName(t);
    const int identity = t.identityColumn;
    QStringList cols = s.insertColumns.isEmpty() ? t.columns : s.insertColumns;
    if (identity >= 0) {
        if (!s.insertColumns.isEmpty() && s.insertColumns.contains(t.columns[identity], Qt::CaseInsensitive))
            raise(544, 16,
                  QStringLiteral("Cannot insert explicit value for identity column in table '%1' when "
                                 "IDENTITY_INSERT is set to OFF.")
                      .arg(t.nameParts.last()));
        if (s.insertColumns.isEmpty())
            cols.removeAt(identity);
    }
    if (s.defaultValues) {
        if (identity < 0)
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(target);
        params << m_catalog.takeIdentity(identityName(t), 1);
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(target, quoteIdent(t.columns[identity]));
    }
    const std::vector<SqlType> types = insertTypes(t, cols);
    QStringList quoted;
    for (const QString& c : cols)
        quoted << quoteIdent(c);
    if (identity >= 0)
        quoted << quoteIdent(t.columns[identity]);
    const QString head =
        QStringLiteral("INSERT INTO %1 (%2) ").arg(target, quoted.join(QStringLiteral(", ")));
    if (!s.values.empty())
        return insertValues(s, head, types, params);
    if (!s.select->usesTables)
        return insertLocalRows(s, head, types, params);
    m_evaluator.checkTables(*s.select);
    QVariantList selectParams;
    const QString select = selectSql(m_evaluator, *s.select, nullptr, selectParams, -1);
    if (identity < 0) {
        params << selectParams;
        return head + select;
    }
    // Each row takes the next identity value, in the order the query gives them; the values
    // taken are counted once the rows are in (see dml).
    params << m_catalog.takeIdentity(identityName(t), 0) << t.identityIncrement << selectParams;
    return head + QStringLiteral("SELECT *, ? + (ROW_NUMBER() OVER () - 1) * ? FROM (%1)").arg(select);
}

QString Executor::insertValues(Stmt& s, const QString& head, const std::vector<SqlType>& types,
                               QVariantList& params) {
    const TableSource& t = *s.target;
    qint64 next =
        t.identityColumn >= 0 ? m_catalog.takeIdentity(identityName(t), qsizetype(s.values.size())) : 0;
    QStringList rows;
    for (auto& row : s.values) {
        QStringList cells;
        for (size_t k = 0; k < row.size(); ++k) {
            if (!row[k]) {
                cells << QStringLiteral("NULL");
                continue;
            }
            params << toParam(convert(m_evaluator.eval(*row[k], nullptr), types[k]));
            cells << QStringLiteral("?");
        }
        if (t.identityColumn >= 0) {
            params << next;
            next += t.identityIncrement;
            cells << QStringLiteral("?");
        }
        rows << u'(' + cells.join(QStringLiteral(", ")) + u')';
    }
    return head + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
}

QString Executor::insertLocalRows(Stmt& s, const QString& head, const std::vector<SqlType>& types,
                                  QVariantList& params) {
    const TableSource& t = *s.target;
    ResultSet rs = m_evaluator.localQuery(*s.select, nullptr, -1);
    if (rs.rows.empty())
        return QString();
    qint64 next =
        t.identityColumn >= 0 ? m_catalog.takeIdentity(identityName(t), qsizetype(rs.rows.size())) : 0;
    QStringList rows;
    for (auto& row : rs.rows) {
        for (size_t k = 0; k < row.size(); ++k)
            params << toParam(convert(row[k], types[k]));
        if (t.identityColumn >= 0) {
            params << next;
            next += t.identityIncrement;
        }
        rows << marks(qsizetype(row.size()) + (t.identityColumn >= 0 ? 1 : 0));
    }
    return head + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
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
