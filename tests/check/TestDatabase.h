#pragma once

// An embedded database in a temporary folder with the three formula tables and a few rows,
// an ADO connection on it, and direct SQLite access to read back what the tests wrote
// (independently of the engine under test).

#include "ado/Ado.h"
#include "check/Declarations.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace checktest {

inline void ensureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "check_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

class TestDatabase {
public:
    TestDatabase() {
        ensureApplication();
        static int counter = 0;
        m_name = QStringLiteral("check-test-%1").arg(++counter);
        m_path = m_dir.filePath(QStringLiteral("check.sqlite"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(m_path);
            db.open();
            QSqlQuery q(db);
            const QStringList ddl = {
                QStringLiteral("CREATE TABLE LP01_PROVIDER (LP01_ID INTEGER NOT NULL PRIMARY KEY, "
                               "LP01_DESCRIZIONE VARCHAR(80) NULL, LP01_FORMULE TEXT NULL)"),
                QStringLiteral("CREATE TABLE LP07_QUOTAZIONI (LP07_ID INTEGER NOT NULL PRIMARY KEY, "
                               "LP07_DESCRIZIONE VARCHAR(80) NULL, LP07_FORMULE TEXT NULL)"),
                QStringLiteral("CREATE TABLE LP17_FORMULEMANUT (LP17_ID INTEGER NOT NULL PRIMARY KEY, "
                               "LP17_DESCRIZIONE VARCHAR(80) NULL, LP17_FORMULA TEXT NULL)"),
                QStringLiteral(
                    "CREATE TABLE MG5F_DIMECONF (MG5F_DITTA_CG18 DECIMAL(5,0) NOT NULL DEFAULT 1, "
                    "MG5F_CODICEVAR CHAR(20) NOT NULL, MG5F_DESCR_VAR VARCHAR(80) NOT NULL DEFAULT '', "
                    "PRIMARY KEY (MG5F_DITTA_CG18, MG5F_CODICEVAR))"),
                QStringLiteral(
                    "CREATE TABLE LP31_VERSIONI (LP31_CONTESTO SMALLINT NOT NULL, LP31_IDFORMULA "
                    "BIGINT NOT NULL, LP31_VERSIONE INTEGER NOT NULL, LP31_FORMULA NVARCHAR(-1) NULL, "
                    "LP31_UTENTE NVARCHAR(128) NULL, LP31_DATA VARCHAR(20) NOT NULL, LP31_ORIGINE "
                    "VARCHAR(10) NOT NULL, LP31_COMMENTO NVARCHAR(400) NULL, LP31_HASH CHAR(64) "
                    "NULL, PRIMARY KEY (LP31_CONTESTO, LP31_IDFORMULA, LP31_VERSIONE))"),
                QStringLiteral(
                    "INSERT INTO LP01_PROVIDER VALUES (12, 'Condizione 12', 'SET @OUTPREZZO = 1')"),
                QStringLiteral("INSERT INTO LP01_PROVIDER VALUES (13, 'Condizione 13', NULL)"),
                QStringLiteral("INSERT INTO LP07_QUOTAZIONI VALUES (12, 'Listino 12', 'SET @OUTPREZZO = 2')"),
                QStringLiteral(
                    "INSERT INTO LP17_FORMULEMANUT VALUES (12, 'Manutenzione 12', 'SET @OUTPREZZO = 3')"),
                QStringLiteral("INSERT INTO MG5F_DIMECONF VALUES (1, 'V01', 'Colore')"),
            };
            for (const QString& s : ddl) {
                if (!q.exec(s))
                    qFatal("test database: %s", qPrintable(s));
            }
        }
        m_connectionString = QStringLiteral("Provider=Embedded;Data Source=") + m_path;
        connection = std::make_unique<ado::Connection>();
        connection->Open(m_connectionString);
    }

    ~TestDatabase() {
        connection.reset();
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    const QString& connectionString() const { return m_connectionString; }
    // The QtSql connection name of the direct SQLite access.
    const QString& rawName() const { return m_name; }

    // The formula column of a record, read straight from SQLite (a null QVariant for NULL).
    QVariant formula(int context, int id) const {
        static const char* sql[] = {"SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = ?",
                                    "SELECT LP07_FORMULE FROM LP07_QUOTAZIONI WHERE LP07_ID = ?",
                                    "SELECT LP17_FORMULA FROM LP17_FORMULEMANUT WHERE LP17_ID = ?"};
        QSqlQuery q(QSqlDatabase::database(m_name));
        q.prepare(QLatin1String(sql[context]));
        q.addBindValue(id);
        if (!q.exec() || !q.next())
            return QVariant(QStringLiteral("<no row>"));
        return q.value(0);
    }

    // Every table with every row, in a stable order: equal dumps mean nothing changed.
    QString dump() const {
        QSqlDatabase db = QSqlDatabase::database(m_name);
        QSqlQuery tables(db);
        tables.exec(QStringLiteral("SELECT name, sql FROM sqlite_master ORDER BY name"));
        QString out;
        while (tables.next()) {
            const QString table = tables.value(0).toString();
            out += QStringLiteral("== ") + table + u' ' + tables.value(1).toString() + u'\n';
            if (table.startsWith(QStringLiteral("sqlite_")) || tables.value(1).toString().isEmpty())
                continue;
            QSqlQuery rows(db);
            rows.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(table));
            while (rows.next()) {
                QStringList values;
                for (int i = 0; i < rows.record().count(); ++i)
                    values << (rows.value(i).isNull() ? QStringLiteral("NULL") : rows.value(i).toString());
                out += values.join(u'|') + u'\n';
            }
        }
        return out;
    }

    // Whether the embedded engine runs the declaration block; the reason when it does not.
    QString engineGap() {
        try {
            connection->Execute(check::CheckDeclarations() + QStringLiteral("SET @OUTPREZZO = 1"));
            return {};
        } catch (const core::ComError& e) {
            return e.description();
        }
    }

    std::unique_ptr<ado::Connection> connection;

private:
    QTemporaryDir m_dir;
    QString m_name;
    QString m_path;
    QString m_connectionString;
};

// Skips a test that needs the engine to run declared T-SQL, naming what it cannot do yet.
#define CHECK_REQUIRE_ENGINE(db)                                                                             \
    do {                                                                                                     \
        const QString gap = (db).engineGap();                                                                \
        if (!gap.isEmpty())                                                                                  \
            GTEST_SKIP() << "the embedded engine does not run the declaration block yet: "                   \
                         << gap.toStdString();                                                               \
    } while (0)

// Short limits so that endless batches end quickly here; the shipped ones are longer.
inline ado::CommandLimits shortLimits() {
    ado::CommandLimits limits;
    limits.timeoutMs = 300;
    limits.memoryBytes = 64LL << 20;
    limits.lockWaitMs = 2000;
    return limits;
}

// Another connection to the same file, on a thread of its own, that writes a table of the
// database and holds the write lock for a while (another user's save in progress), then commits
// or rolls back.
class OtherWriter {
public:
    enum class End { Commit, Rollback };
    OtherWriter(const QString& connectionString, int holdMs, End end = End::Commit)
        : m_thread([this, connectionString, holdMs, end] {
            ado::Connection c;
            c.Open(connectionString);
            c.BeginTrans();
            c.Execute(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'other' WHERE LP07_ID = 12"));
            m_holding = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            if (end == End::Commit)
                c.CommitTrans();
            else
                c.RollbackTrans();
            c.Close();
        }) {
        while (!m_holding)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~OtherWriter() { m_thread.join(); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

private:
    std::atomic<bool> m_holding{false};
    std::thread m_thread;
};

} // namespace checktest
