#pragma once

#include "tsql/Session.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>

namespace tsqltest {

// The editor's tables and a few rows.
inline const QStringList& editorTables() {
    static const QStringList ddl = {
        "CREATE TABLE LP01_PROVIDER (LP01_ID INTEGER NOT NULL PRIMARY KEY, LP01_DESCRIZIONE VARCHAR(80), "
        "LP01_FORMULE TEXT, LP01_DITTA_CG18 DECIMAL(5,0) NOT NULL DEFAULT 1)",
        "CREATE TABLE LP14_CAMPI (LP14_INDELEMENTO INTEGER NOT NULL PRIMARY KEY, LP14_DESCRIZIONE "
        "VARCHAR(80) NOT "
        "NULL, LP14_PARENT INTEGER NULL, LP14_ISATTIVO SMALLINT NOT NULL DEFAULT 1, LP14_PROGVISUA INTEGER "
        "NOT NULL "
        "DEFAULT 0)",
        "CREATE TABLE CM01_CATEGORIECOMM (CM01_IDCATEGORIA DECIMAL(10,0) NOT NULL PRIMARY KEY, "
        "CM01_DITTA_CG18 "
        "DECIMAL(5,0) NOT NULL DEFAULT 1, CM01_CODICE CHAR(10) NOT NULL, CM01_DESCR VARCHAR(80) NOT NULL "
        "DEFAULT '', "
        "CM01_INDTIPODATO SMALLINT NOT NULL DEFAULT 0)",
        "CREATE TABLE MG5F_DIMECONF (MG5F_DITTA_CG18 DECIMAL(5,0) NOT NULL DEFAULT 1, MG5F_CODICEVAR "
        "CHAR(20) NOT "
        "NULL, MG5F_DESCR_VAR VARCHAR(80) NOT NULL DEFAULT '', PRIMARY KEY (MG5F_DITTA_CG18, "
        "MG5F_CODICEVAR))",
        "INSERT INTO LP01_PROVIDER VALUES (42, 'Listino', 'SET @OUTPREZZO = 25', 1)",
        "INSERT INTO LP14_CAMPI VALUES (1, 'Documento', NULL, 1, 2), (2, 'Articolo', NULL, 1, 1), "
        "(3, 'Spento', NULL, 0, 3), (10, 'Famiglia', 2, 1, 1)",
        "INSERT INTO CM01_CATEGORIECOMM VALUES (123, 1, 'C01       ', 'Colore    ', 0), (124, 1, 'c02', "
        "'Peso', 1), "
        "(125, 2, 'C03', 'Altra ditta', 2)",
        "INSERT INTO MG5F_DIMECONF VALUES (1, 'V01                 ', 'Colore scocca  '), "
        "(1, 'V02', 'Motore')",
    };
    return ddl;
}

inline void runAll(const QSqlDatabase& db, const QStringList& statements) {
    for (const QString& s : statements) {
        QSqlQuery q(db);
        q.exec(s);
    }
}

// A private in-memory SQLite database with the editor's tables and a few rows.
inline QSqlDatabase makeDb() {
    static std::atomic<int> counter{0};
    QString name = QStringLiteral("tsql_test_%1").arg(counter++);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(QStringLiteral(":memory:"));
    db.open();
    runAll(db, editorTables());
    return db;
}

// A connection to the database file `path` under a name of its own.
inline QSqlDatabase openFile(const QString& path) {
    static std::atomic<int> counter{0};
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tsql_file_%1").arg(counter++));
    db.setDatabaseName(path);
    db.open();
    return db;
}

// Creates the database file `path` with the editor's tables, in the journal mode given
// (WAL, DELETE, ...), and a table T100 of the numbers 1 to 100.
inline void createFile(const QString& path, const QString& journalMode) {
    QSqlDatabase db = openFile(path);
    const QString name = db.connectionName();
    runAll(db, {QStringLiteral("PRAGMA journal_mode = %1").arg(journalMode)});
    runAll(db, editorTables());
    runAll(db,
           {QStringLiteral("CREATE TABLE T100 (n INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO T100 WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                           "WHERE n < 100) SELECT n FROM c")});
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

// A value as the tests write it: <NULL> for NULL, else its text.
inline QString cellText(const tsql::Value& v) {
    return v.null ? QStringLiteral("<NULL>") : tsql::toText(v);
}

// The rows of a result set, each as its cells joined with '|'.
inline QStringList rowTexts(const tsql::ResultSet& set) {
    QStringList out;
    for (const auto& row : set.rows) {
        QStringList cells;
        for (const auto& v : row)
            cells << cellText(v);
        out << cells.join(u'|');
    }
    return out;
}

// Stands for the last result set of a batch, whichever its number.
inline constexpr std::size_t kLastSet = static_cast<std::size_t>(-1);

// The result set `set` of `r` (kLastSet: the last one), or null where the batch returned no such set.
inline const tsql::ResultSet* resultSet(const tsql::RunResult& r, std::size_t set) {
    if (set == kLastSet)
        return r.resultSets.empty() ? nullptr : &r.resultSets.back();
    return set < r.resultSets.size() ? &r.resultSets[set] : nullptr;
}

// The rows of result set `set` of `r` as rowTexts gives them; none where there is no such set.
inline QStringList rowTexts(const tsql::RunResult& r, std::size_t set = 0) {
    const tsql::ResultSet* s = resultSet(r, set);
    return s ? rowTexts(*s) : QStringList();
}

// The first cell of result set `set` of `r`, or <no row> where that set has no row.
inline QString firstCell(const tsql::RunResult& r, std::size_t set = 0) {
    const tsql::ResultSet* s = resultSet(r, set);
    if (!s || s->rows.empty())
        return QStringLiteral("<no row>");
    return cellText(s->rows[0][0]);
}

// A fixture with a session on a private database of its own (makeDb), and the ways its tests
// run a batch.
class SessionTest : public ::testing::Test {
protected:
    QSqlDatabase db = makeDb();
    tsql::Session session{db};

    // Runs a batch that must not fail.
    tsql::RunResult ok(const QString& batch) {
        tsql::RunResult r = session.run(batch);
        EXPECT_FALSE(r.error.has_value()) << batch.toStdString() << " -> " << r.error->message.toStdString();
        return r;
    }

    // Runs a batch that must fail, and gives its error.
    tsql::ServerError failed(const QString& batch) {
        tsql::RunResult r = session.run(batch);
        EXPECT_TRUE(r.error.has_value()) << batch.toStdString();
        return r.error.value_or(tsql::ServerError{});
    }

    // The number of the error a batch stops with, 0 where it runs through; its text in `message`.
    int error(const QString& batch, QString* message = nullptr) {
        tsql::RunResult r = session.run(batch);
        if (message && r.error)
            *message = r.error->message;
        return r.error ? r.error->number : 0;
    }
};

} // namespace tsqltest

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
