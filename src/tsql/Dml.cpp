// Data changes: INSERT, UPDATE and DELETE, written as SQLite text and run inside the batch's
// transaction. @@ROWCOUNT and the records affected are the rows SQLite changed.

#include "tsql/Executor.h"

#include "tsql/StatementCache.h"
#include "tsql/Transactions.h"

#include <sqlite3.h>

namespace tsql {

namespace {

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
    if (!t.exists)
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
    } else {
        m_evaluator.checkTables(*s.select);
        sql = updateOrDeleteSql(m_evaluator, s, params);
    }
    write(sql, params);
}

// The text of an INSERT: values computed here are converted to the columns' types and sent as
// parameters; INSERT ... SELECT over tables is left to SQLite. Empty for a SELECT of no row.
QString Executor::insertSql(Stmt& s, QVariantList& params) {
    TableSource& t = *s.target;
    const QString target = quoteIdent(t.realName);
    if (s.defaultValues)
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(target);
    const QStringList cols = s.insertColumns.isEmpty() ? t.columns : s.insertColumns;
    const std::vector<SqlType> types = insertTypes(t, cols);
    QStringList quoted;
    for (const QString& c : cols)
        quoted << quoteIdent(c);
    const QString head =
        QStringLiteral("INSERT INTO %1 (%2) ").arg(target, quoted.join(QStringLiteral(", ")));
    QStringList rows;
    if (!s.values.empty()) {
        for (auto& row : s.values) {
            QStringList vals;
            for (size_t k = 0; k < row.size(); ++k) {
                if (!row[k]) {
                    vals << QStringLiteral("NULL");
                    continue;
                }
                Value v = convert(m_evaluator.eval(*row[k], nullptr), types[k]);
                params << toParam(v);
                vals << QStringLiteral("?");
            }
            rows << u'(' + vals.join(QStringLiteral(", ")) + u')';
        }
        return head + QStringLiteral("VALUES ") + rows.join(QStringLiteral(", "));
    }
    if (s.select->usesTables) {
        m_evaluator.checkTables(*s.select);
        return head + selectSql(m_evaluator, *s.select, nullptr, params, -1);
    }
    ResultSet rs = m_evaluator.localQuery(*s.select, nullptr, -1);
    for (auto& row : rs.rows) {
        QStringList vals;
        for (size_t k = 0; k < row.size(); ++k) {
            params << toParam(convert(row[k], types[k]));
            vals << QStringLiteral("?");
        }
        rows << u'(' + vals.join(QStringLiteral(", ")) + u')';
    }
    if (rows.isEmpty())
        return QString();
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
