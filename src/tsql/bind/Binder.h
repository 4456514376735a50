#pragma once

#include "tsql/functions/Functions.h"
#include "tsql/text/Ast.h"
#include "tsql/values/SqliteStatement.h"

#include <QHash>
#include <QSqlDatabase>

#include <memory>

namespace tsql {

// Whether a table named with a database part is one of this database (named `current`): true
// for none written, this database's name, and tempdb for a temporary table; false for one of
// the databases every server has (Msg 208 when the statement runs); any other database is
// Msg 911 "Database '...' does not exist.", raised here.
bool knownDatabase(const TableSource& ts, const QString& current);

struct TableInfo {
    QString name; // as the database spells it
    QStringList columns;
    std::vector<SqlType> types;    // declared types, one a column
    std::vector<ColumnRule> rules; // what INSERT and UPDATE enforce, one a column
    // The table as the server's messages name it ("db.dbo.T", "@t"); empty: the database's
    // name, dbo and `name`.
    QString messageName;
};

// The type a column's declaration in SQLite's schema stands for ("INT IDENTITY(1,1)",
// "nvarchar(80)"), with the IDENTITY property, its seed and increment, put into `rule`.
SqlType declaredColumnType(QString declaration, ColumnRule& rule);

// Table and column metadata read from SQLite's schema, looked up case-insensitively.
class Catalog final : public ObjectCatalog {
public:
    explicit Catalog(const QSqlDatabase& db);
    // A catalogue of no database: no table exists, and its schema (version 0) never changes.
    // It binds batches that read no table without touching SQLite.
    Catalog();
    ~Catalog();
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;
    const TableInfo* find(const QString& name);
    // The object id of a table or view (type "U" or "V"; empty for either), nullopt for none.
    std::optional<qint64> objectId(const QString& name, const QString& type) override;
    std::optional<QString> objectName(qint64 id) override;
    // The database's name (its file's, as a server names a database after its files; "master"
    // for one in memory), the first part of a three-part name of its tables.
    QString databaseName() const override;
    const ServerIdentity& server() const override { return m_server; }
    void setServer(const ServerIdentity& server) { m_server = server; }
    // A table of the database as the server's messages name it: "<database>.dbo.<table>".
    QString qualifiedName(const QString& table) const;
    // Keeps what was read while the database's schema is unchanged (SQLite's schema version,
    // which any connection's DDL raises); called at the start of every batch.
    void refresh();
    // The schema version read by the last refresh (of the database and of the session's
    // temporary tables), -1 when it could not be read.
    qint64 schemaVersion() const { return m_schemaVersion; }

    // A table a batch makes (CREATE TABLE #t, DECLARE @t TABLE) as find() reads it once it is
    // made: its columns, their types and rules, and its name in the server's messages. The text
    // of a default is left to find(): the batch computes it when it makes the table.
    static TableInfo definedTable(const TableDef& def);

private:
    QSqlDatabase m_db;
    ServerIdentity m_server;
    QHash<QString, std::optional<TableInfo>> m_cache;
    qint64 m_schemaVersion = -1;
    std::unique_ptr<SqliteStatement> m_versionQuery; // prepared once
    std::unique_ptr<SqliteStatement> m_tempVersionQuery;
    std::unique_ptr<SqliteStatement> m_tableQuery; // find(), prepared on first use
    std::unique_ptr<SqliteStatement> m_tempTableQuery;
};

// The variables that the leading declarations of a batch declare, for binding the rest of a
// batch that starts with the same declarations.
struct DeclaredScope {
    QHash<QString, int> variables; // by upper-case name
    std::vector<SqlType> types;    // by slot
    int statements = 0;            // Stmt::order of the last declaration
};

// Resolves names and types of a parsed batch: variables (Msg 137, 134), columns (207, 209,
// 4104), tables (208, deferred to run time), functions (195, 174, 189) and operand types (402).
// Fills the variable slots; throws SqlError on the first compile-time error. With a `scope`,
// the batch is the rest of one after those declarations: `variableTypes` ends up holding the
// declarations' variables and then the batch's own.
void bindBatch(Batch& batch, Catalog& catalog, std::vector<SqlType>& variableTypes,
               const DeclaredScope& scope = {});

// True for expression kinds that yield a truth value rather than a scalar.
inline bool isCondition(EK k) {
    return k == EK::Compare || k == EK::And || k == EK::Or || k == EK::Not || k == EK::IsNull ||
           k == EK::In || k == EK::Between || k == EK::Like || k == EK::Exists;
}

// Name of an output column: its alias, the column name, or "" for an unnamed expression.
QString itemName(const SelectItem& item);

// Refuses by name a SET of a session option away from the connection's default where that would
// change what the batch computes (Msg 40000): the options that take effect when the batch is
// parsed (`parseTime`), or those that take effect when the SET runs.
void refuseSetting(const Stmt& s, bool parseTime);

} // namespace tsql
