#include "ado/Ado.h"
#include "ado/Setup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Tables are made on the file itself: the embedded provider speaks T-SQL for data, not DDL.
void createTables(const QString& path, const QStringList& ddl) {
    const QString name = QStringLiteral("connection-test-ddl");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& statement : ddl) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class EmbeddedConnection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("test.sqlite"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)); // an empty file is an empty SQLite database
    }
    QString connectionString() const { return ado::setup::embeddedConnectionString(path); }

    QTemporaryDir dir;
    QString path;
};

struct OpenFailureCase {
    QString connectionString;
    qint32 number;
    QString description;
};

} // namespace

TEST_F(EmbeddedConnection, OpenFailuresNameTheKeyAndWriteNothing) {
    const QString missing = dir.filePath(QStringLiteral("missing.sqlite"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("these are notes, not a database, and they are long enough to have a header"));
    }
    const QByteArray textHash = fileHash(text);
    const OpenFailureCase cases[] = {
        {QStringLiteral("Provider=Embedded;Data Source=") + missing, core::err::ConnectionFailed,
         QStringLiteral("The database file \"%1\" does not exist (key Data Source)").arg(missing)},
        {QStringLiteral("Provider=Embedded"), core::err::ConnectionFailed,
         QStringLiteral("Provider=Embedded needs the Data Source key (the database file)")},
        {QStringLiteral("Provider=Embedded;Data Source=  "), core::err::ConnectionFailed,
         QStringLiteral("Provider=Embedded needs the Data Source key (the database file)")},
        {QStringLiteral("Provider=Embedded;Data Source=") + dir.path(), core::err::ConnectionFailed,
         QStringLiteral("\"%1\" is a directory, not a database file (key Data Source)").arg(dir.path())},
        {QStringLiteral("Provider=Nope;Data Source=") + path, core::err::ProviderNotFound,
         QStringLiteral(
             "Provider \"Nope\" cannot be found (key Provider); use Embedded, MSOLEDBSQL or SQLOLEDB")},
        {QStringLiteral("Provider=Embedded;Data Source"), ado::adoerr::InvalidArgument,
         QStringLiteral("Invalid connection string: \"Data Source\" has no '=' after the key")},
        {QStringLiteral("   "), core::err::ConnectionFailed,
         QStringLiteral("The connection string is empty (expected Provider=...;Data Source=...)")},
        {ado::setup::embeddedConnectionString(path) + QStringLiteral(";Mode=Write"),
         core::err::ConnectionFailed, QStringLiteral("Mode must be Read or ReadWrite, not \"Write\"")},
    };
    for (const OpenFailureCase& c : cases) {
        ado::Connection conn;
        try {
            conn.Open(c.connectionString);
            ADD_FAILURE() << "opened " << c.connectionString.toStdString();
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.number(), c.number) << c.connectionString.toStdString();
            EXPECT_EQ(e.description(), c.description);
        }
        EXPECT_EQ(conn.State(), 0);
        ASSERT_GE(conn.GetErrors().Count(), 1);
        EXPECT_EQ(conn.GetErrors().Item(0).description, c.description);
        EXPECT_EQ(conn.GetErrors().Item(0).number, c.number);
    }
    EXPECT_FALSE(QFile::exists(missing));

    // A file that is not a database is reported and left as it was.
    ado::Connection conn;
    try {
        conn.Open(ado::setup::embeddedConnectionString(text));
        ADD_FAILURE() << "opened a text file";
    } catch (const core::ComError& e) {
        EXPECT_TRUE(e.description().startsWith(
            QStringLiteral("\"%1\" cannot be opened as a database (key Data Source): ").arg(text)))
            << e.description().toStdString();
    }
    EXPECT_GE(conn.GetErrors().Count(), 1);
    EXPECT_EQ(fileHash(text), textHash);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(EmbeddedConnection, ClosedConnectionRefusesWork) {
    ado::Connection conn;
    auto number = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const core::ComError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number([&] { conn.Execute(QStringLiteral("SELECT 1")); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(number([&] { conn.Close(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(number([&] { conn.BeginTrans(); }), core::err::AdoOperationNotAllowed);
    EXPECT_EQ(conn.TransactionCount(), 0);
    EXPECT_EQ(conn.statementCount(), 0);
    conn.Open(connectionString());
    EXPECT_EQ(conn.State(), 1);
    EXPECT_EQ(number([&] { conn.Open(connectionString()); }), ado::adoerr::OperationNotAllowedOpen);
    conn.Close();
    EXPECT_EQ(conn.State(), 0);
    // The property is used when Open gets no string.
    conn.setConnectionString(connectionString());
    conn.Open();
    EXPECT_EQ(conn.State(), 1);
}

TEST_F(EmbeddedConnection, ExecuteReturnsStaticRecordsetsAndCounts) {
    createTables(path, {QStringLiteral("CREATE TABLE T1 (ID INT NOT NULL, NAME VARCHAR(20) NULL)")});
    ado::Connection conn;
    conn.Open(connectionString());
    core::Variant affected;
    ado::RecordsetPtr none =
        conn.Execute(QStringLiteral("INSERT INTO T1 (ID, NAME) VALUES (1, 'uno')"), &affected);
    EXPECT_FALSE(none->IsOpen());
    EXPECT_EQ(affected.toInt32(), 1);
    conn.Execute(QStringLiteral("INSERT INTO T1 (ID, NAME) VALUES (2, NULL)"));
    conn.Execute(QStringLiteral("INSERT INTO T1 (ID, NAME) VALUES (3, 'tre')"));
    conn.Execute(QStringLiteral("UPDATE T1 SET NAME = 'x' WHERE ID >= 2"), &affected);
    EXPECT_EQ(affected.toInt32(), 2);
    conn.Execute(QStringLiteral("UPDATE T1 SET NAME = NULL WHERE ID = 2"));

    ado::RecordsetPtr rs = conn.Execute(QStringLiteral("SELECT ID, NAME FROM T1 ORDER BY ID"));
    ASSERT_TRUE(rs->IsOpen());
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->GetFields().Count(), 2);
    QStringList names;
    while (!rs->IsEOF()) {
        const core::Variant v = (*rs)[QStringLiteral("name")].Value();
        names << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        rs->MoveNext();
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("uno"), QStringLiteral("NULL"), QStringLiteral("x")}));

    ado::RecordsetPtr empty = conn.Execute(QStringLiteral("SELECT ID FROM T1 WHERE ID = 42"));
    ASSERT_TRUE(empty->IsOpen());
    EXPECT_TRUE(empty->IsBOF());
    EXPECT_TRUE(empty->IsEOF());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_EQ(conn.statementCount(), 7);
}

TEST_F(EmbeddedConnection, FailingStatementFillsErrorsAndRaises) {
    ado::Connection conn;
    conn.Open(connectionString());
    try {
        conn.Execute(QStringLiteral("SELECT X FROM NO_SUCH_TABLE"));
        ADD_FAILURE() << "no error";
    } catch (const core::ComError& e) {
        EXPECT_EQ(e.number(), core::err::ProviderError);
        ASSERT_EQ(conn.GetErrors().Count(), 1);
        const ado::Error& err = conn.GetErrors().Item(0);
        EXPECT_EQ(err.number, core::err::ProviderError);
        EXPECT_EQ(err.description, e.description());
        EXPECT_FALSE(err.description.isEmpty());
        EXPECT_NE(err.nativeError, 0);
        EXPECT_FALSE(err.sqlState.isEmpty());
    }
    EXPECT_EQ(conn.statementCount(), 1);
    conn.Execute(QStringLiteral("SELECT 1 AS ONE"));
    EXPECT_EQ(conn.GetErrors().Count(), 0); // cleared by the next statement
    EXPECT_EQ(conn.State(), 1);
}

TEST_F(EmbeddedConnection, RolledBackTransactionWritesNothing) {
    createTables(path, {QStringLiteral("CREATE TABLE T2 (ID INT NOT NULL)")});
    ado::Connection conn;
    conn.Open(connectionString());
    conn.BeginTrans();
    EXPECT_EQ(conn.TransactionCount(), 1);
    conn.Execute(QStringLiteral("INSERT INTO T2 (ID) VALUES (1)"));
    conn.RollbackTrans();
    EXPECT_EQ(conn.TransactionCount(), 0);
    EXPECT_EQ(conn.Execute(QStringLiteral("SELECT ID FROM T2"))->RecordCount(), 0);
    conn.BeginTrans();
    conn.Execute(QStringLiteral("INSERT INTO T2 (ID) VALUES (2)"));
    conn.CommitTrans();
    EXPECT_EQ(conn.Execute(QStringLiteral("SELECT ID FROM T2"))->RecordCount(), 1);
}

TEST_F(EmbeddedConnection, ConnectionsOnTheSameFileAreIndependent) {
    createTables(path, {QStringLiteral("CREATE TABLE T3 (ID INT NOT NULL)")});
    ado::Connection a;
    ado::Connection b;
    a.Open(connectionString());
    b.Open(connectionString());
    a.Execute(QStringLiteral("INSERT INTO T3 (ID) VALUES (7)"));
    a.Close();
    ado::RecordsetPtr rs = b.Execute(QStringLiteral("SELECT ID FROM T3"));
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->GetFields().Item(0).Value().toInt32(), 7);
    a.Open(connectionString()); // reopened after close
    EXPECT_EQ(a.Execute(QStringLiteral("SELECT ID FROM T3"))->RecordCount(), 1);
}

// Mode=Read: everything reads, nothing writes (Msg 3906), and the file stays as it was.
TEST_F(EmbeddedConnection, ModeReadOpensTheFileReadOnly) {
    createTables(path,
                 {QStringLiteral("CREATE TABLE T (A INTEGER)"), QStringLiteral("INSERT INTO T VALUES (1)")});
    const QByteArray before = fileHash(path);
    for (const QString& mode : {QStringLiteral("Read"), QStringLiteral(" read ")}) {
        ado::Connection conn;
        conn.Open(connectionString() + QStringLiteral(";Mode=") + mode);
        ado::RecordsetPtr rs = conn.Execute(QStringLiteral("SELECT A FROM T"));
        ASSERT_FALSE(rs->IsEOF());
        EXPECT_EQ(rs->GetFields().Item(0).Value().toString(), QStringLiteral("1"));
        rs->Close();
        try {
            conn.Execute(QStringLiteral("INSERT INTO T VALUES (2)"));
            ADD_FAILURE() << "wrote through Mode=" << mode.toStdString();
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.description(),
                      QStringLiteral("Failed to update the database because the database is read-only."));
        }
        conn.Close();
    }
    EXPECT_EQ(fileHash(path), before);
    ado::Connection writer;
    writer.Open(connectionString() + QStringLiteral(";Mode=ReadWrite"));
    writer.Execute(QStringLiteral("INSERT INTO T VALUES (2)"));
    writer.Close();
    EXPECT_NE(fileHash(path), before);
}
