#pragma once

#include "tsql/Ast.h"
#include "tsql/SqliteFunctions.h"

#include <QHash>
#include <QSqlDatabase>

#include <memory>

namespace tsql {

struct TableInfo {
    QString name; // as the database spells it
    QStringList columns;
    std::vector<SqlType> types;
    std::vector<bool> notNull; // declared NOT NULL
    int identityColumn = -1;   // the column with the IDENTITY property, -1 none
    qint64 identitySeed = 1, identityIncrement = 1;
};

// The IDENTITY property of a table the session created, and the last value it gave.
struct IdentityState {
    int column = -1;
    qint64 seed = 1, increment = 1;
    std::optional<qint64> last;
};

// Table and column metadata read from SQLite's schema, looked up case-insensitively.
class Catalog {
public:
    explicit Catalog(QSqlDatabase db);
    ~Catalog();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;
    const TableInfo* find(const QString& name);
    // Keeps what was read while the database's schema is unchanged (SQLite's schema version,
    // which any connection's DDL raises); called at the start of every batch.
    void refresh();
    // The schema version read by the last refresh (of the database and of the session's
    // temporary tables), -1 when it could not be read.
    qint64 schemaVersion() const { return m_schemaVersion; }

    // The IDENTITY property of a table the session creates (by its SQLite name, schema
    // included); kept as the server keeps it, whatever a rollback does to the table's rows.
    void setIdentity(const QString& table, const IdentityState& state);
    void forgetIdentity(const QString& table);
    // The identity values of `rows` rows about to be inserted: the first one; the next insert
    // continues after the last.
    qint64 takeIdentity(const QString& table, qint64 rows);

private:
    QSqlDatabase m_db;
    QHash<QString, std::optional<TableInfo>> m_cache;
    qint64 m_schemaVersion = -1;
    std::unique_ptr<SqliteStatement> m_versionQuery; // prepared once
    std::unique_ptr<SqliteStatement> m_tempVersionQuery;
    QHash<QString, IdentityState> m_identities;
};

// Resolves names and types of a parsed batch: variables (Msg 137, 134), columns (207, 209,
// 4104), tables (208, deferred to run time), functions (195, 174, 189) and operand types (402).
// Fills the variable slots; throws SqlError on the first compile-time error.
void bindBatch(Batch& batch, Catalog& catalog, std::vector<SqlType>& variableTypes);

// True for expression kinds that yield a truth value rather than a scalar.
inline bool isCondition(EK k) {
    return k == EK::Compare || k == EK::And || k == EK::Or || k == EK::Not || k == EK::IsNull ||
           k == EK::In || k == EK::Between || k == EK::Like || k == EK::Exists;
}

// Name of an output column: its alias, the column name, or "" for an unnamed expression.
QString itemName(const SelectItem& item);

} // namespace tsql
