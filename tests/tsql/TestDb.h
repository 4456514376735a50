#pragma once

#include "tsql/Session.h"
#include "tsql/base/Limits.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

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

// A connection of its own to the database file `path`, closed and removed when it goes. Declare it
// before the engine or session that uses it, which then goes first.
class FileConnection {
public:
    explicit FileConnection(const QString& path)
        : m_db(openFile(path)) {}
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;
    ~FileConnection() {
        const QString name = m_db.connectionName();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase& db() { return m_db; }
    bool exec(const QString& sql) { return QSqlQuery(m_db).exec(sql); }
    // The first value of the first row `sql` gives, empty when it gives none.
    QString scalar(const QString& sql) {
        QSqlQuery q(m_db);
        return q.exec(sql) && q.next() ? q.value(0).toString() : QString();
    }

private:
    QSqlDatabase m_db;
};

// Another connection, on a thread of its own, takes the write lock of the file `path` with a row
// of its own, holds it for `holdMs` and ends with `end` (COMMIT or ROLLBACK). The constructor
// returns once the lock is held; the destructor waits for the end.
class WriteLockHolder {
public:
    WriteLockHolder(const QString& path, int holdMs, const QString& end) {
        std::atomic<bool> locked{false};
        m_thread = std::thread([&locked, path, holdMs, end] {
            FileConnection c(path);
            c.exec(QStringLiteral("BEGIN IMMEDIATE"));
            c.exec(QStringLiteral("INSERT INTO T100 VALUES (500)"));
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            c.exec(end);
        });
        while (!locked)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    WriteLockHolder(const WriteLockHolder&) = delete;
    WriteLockHolder& operator=(const WriteLockHolder&) = delete;
    ~WriteLockHolder() { m_thread.join(); }

private:
    std::thread m_thread;
};

// Creates the database file `path` with the editor's tables, in the journal mode given
// (WAL, DELETE, ...), and a table T100 of the numbers 1 to 100.
inline void createFile(const QString& path, const QString& journalMode) {
    FileConnection c(path);
    runAll(c.db(), {QStringLiteral("PRAGMA journal_mode = %1").arg(journalMode)});
    runAll(c.db(), editorTables());
    runAll(c.db(),
           {QStringLiteral("CREATE TABLE T100 (n INTEGER NOT NULL)"),
            QStringLiteral("INSERT INTO T100 WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                           "WHERE n < 100) SELECT n FROM c")});
}

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kResidentMeasurable = false;
#else
inline constexpr bool kResidentMeasurable = true;
#endif
#else
inline constexpr bool kResidentMeasurable = true;
#endif

// The process's resident memory (`field` VmRSS) or its peak since the last reset (VmHWM), in
// bytes; -1 when unknown. Under AddressSanitizer resident memory also holds its shadow and the
// freed blocks it keeps in quarantine: the figure says nothing of the engine's own use there.
inline qint64 resident(const char* field) {
    if (!kResidentMeasurable)
        return -1;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const auto m =
        QRegularExpression(QStringLiteral("%1:\\s*(\\d+) kB").arg(QLatin1String(field))).match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() * 1024 : -1;
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

    // A batch the embedded server refuses by name: Msg 40000, whose text names the construct
    // (`names` is a part of it) and says that the engine does not support it.
    void expectRefusedByName(const char* batch, const char* names) {
        QString message;
        EXPECT_EQ(error(QString::fromUtf8(batch), &message), 40000) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(names))) << message.toStdString();
        EXPECT_TRUE(message.endsWith(QStringLiteral("not supported by the embedded server.")))
            << message.toStdString();
    }
};

// A session with the table T100 of the numbers 1 to 100, limits set per test, and the process's
// resident memory measured around a batch.
class LimitedSessionTest : public SessionTest {
protected:
    void SetUp() override {
        runAll(db, {QStringLiteral("CREATE TABLE T100 (n INTEGER NOT NULL)"),
                    QStringLiteral("INSERT INTO T100 WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL "
                                   "SELECT n + 1 FROM c WHERE n < 100) SELECT n FROM c")});
    }

    void limit(qint64 timeoutMs, qint64 memoryBytes) {
        tsql::Limits l;
        l.timeoutMs = timeoutMs;
        l.memoryBytes = memoryBytes;
        session.setLimits(l);
    }

    // The session answers a plain query after whatever went before.
    void expectUsable() {
        tsql::RunResult r = session.run(QStringLiteral("SELECT COUNT(*) FROM T100"));
        ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
        EXPECT_EQ(firstCell(r), QStringLiteral("100"));
        EXPECT_EQ(session.transactionCount(), 0);
    }

    // Gives freed memory back to the system and starts the peak (VmHWM) again from what is
    // resident now, which it returns.
    static qint64 startMeasuring() {
        malloc_trim(0);
        QFile refs(QStringLiteral("/proc/self/clear_refs"));
        if (refs.open(QIODevice::WriteOnly))
            refs.write("5");
        return resident("VmRSS");
    }
};

} // namespace tsqltest

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
