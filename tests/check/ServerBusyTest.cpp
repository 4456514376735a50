// Verdicts that are about the server, not the formula: a check that writes only the connection's
// own tables runs while another connection holds the database's write lock; a check the server
// could not finish says so instead of calling the formula wrong; a line end other than LF and
// CR LF, which could end a comment for one reader and not for another, is never run.

#include "TestDatabase.h"
#include "check/GuardedRun.h"
#include "check/Messages.h"
#include "check/StatementGuard.h"
#include "check/SyntaxCheck.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

using checktest::OtherWriter;
using checktest::TestDatabase;

struct WritesCase {
    const char* sql;
    bool writes; // takes the database's write lock
};

// Only a table of the database takes the lock; a target whose name a source of its FROM could
// stand for, a global temporary table and a name with a database count as one.
const WritesCase kWrites[] = {
    {"DECLARE @t TABLE (a INT) INSERT @t VALUES (1) UPDATE @t SET a = 2 DELETE FROM @t", false},
    {"CREATE TABLE #t (a INT) INSERT #t VALUES (1) UPDATE #t SET a = 2 DELETE #t DROP TABLE #t", false},
    {"DECLARE @t TABLE (a INT) INSERT @t SELECT LP01_ID FROM LP01_PROVIDER", false},
    {"CREATE TABLE #t (a INT) UPDATE #t SET a = 1 FROM #t JOIN LP01_PROVIDER p ON p.LP01_ID = #t.a", false},
    {"SELECT 1", false},
    {"UPDATE LP01_PROVIDER SET LP01_FORMULE = NULL", true},
    {"DECLARE @t TABLE (a INT) INSERT @t VALUES (1) DELETE FROM LP07_QUOTAZIONI", true},
    {"UPDATE [#x] SET LP01_FORMULE = NULL FROM LP01_PROVIDER [#x]", true},
    {"DELETE [@y] FROM LP01_PROVIDER AS [@y]", true},
    {"INSERT ##g VALUES (1)", true},
    {"INSERT tempdb..#t VALUES (1)", true},
    {"IF 1 = 0 INSERT INTO LP17_FORMULEMANUT (LP17_ID) VALUES (9)", true},
};

TEST(GuardWrites, OnlyTablesOfTheDatabaseTakeTheWriteLock) {
    for (const WritesCase& c : kWrites) {
        const check::GuardVerdict v = check::guardBatch(QString::fromUtf8(c.sql));
        ASSERT_FALSE(v.refused.has_value()) << c.sql << ": " << v.refused->reason.toStdString();
        EXPECT_EQ(v.writes, c.writes) << c.sql;
    }
}

struct LineEndCase {
    const char* name;
    QString sql;
    const char* character; // as the refusal names it; "" when the text is let through
    int line;
    int column;
};

// What the comment hides for one reader is a statement for the other: refused wherever the
// character stands, with its name, line and column.
const LineEndCase kLineEnds[] = {
    {"CR alone", QStringLiteral("SET @OUTPREZZO = 1 -- x\rCOMMIT"), "U+000D (CR)", 1, 24},
    {"CR alone on a later line", QStringLiteral("SET @OUTPREZZO = 1\r\n-- x\rCOMMIT"), "U+000D (CR)", 2, 5},
    {"NEL", QStringLiteral("SET @OUTPREZZO = 1\n-- y") + QChar(0x85) + QStringLiteral("COMMIT"),
     "U+0085 (NEL)", 2, 5},
    {"LINE SEPARATOR", QStringLiteral("-- z") + QChar(0x2028) + QStringLiteral("DELETE FROM LP01_PROVIDER"),
     "U+2028 (LS)", 1, 5},
    {"PARAGRAPH SEPARATOR", QStringLiteral("SELECT 1 -- ") + QChar(0x2029) + QStringLiteral("ROLLBACK"),
     "U+2029 (PS)", 1, 13},
    {"vertical tab", QStringLiteral("SELECT 1 --\vCOMMIT"), "U+000B (VT)", 1, 12},
    {"form feed", QStringLiteral("SELECT 1\f"), "U+000C (FF)", 1, 9},
    {"inside a string", QStringLiteral("SELECT 'a\rb'"), "U+000D (CR)", 1, 10},
    {"inside a block comment", QStringLiteral("/* \r */ SELECT 1"), "U+000D (CR)", 1, 4},
    {"CR LF", QStringLiteral("SET @OUTPREZZO = 1 -- x\r\nSELECT 2\r\n"), "", 0, 0},
    {"LF", QStringLiteral("SET @OUTPREZZO = 1 -- x\nSELECT 2\n"), "", 0, 0},
    {"CR LF at the very end", QStringLiteral("SELECT 1\r\n"), "", 0, 0},
};

TEST(GuardLineEnds, AnyLineEndButLfAndCrLfIsRefused) {
    for (const LineEndCase& c : kLineEnds) {
        const check::GuardVerdict v = check::guardBatch(c.sql);
        if (!*c.character) {
            EXPECT_FALSE(v.refused.has_value()) << c.name << ": " << v.refused->reason.toStdString();
            continue;
        }
        ASSERT_TRUE(v.refused.has_value()) << c.name;
        EXPECT_EQ(v.refused->statement.toStdString(), std::string(c.character)) << c.name;
        EXPECT_EQ(v.refused->line, c.line) << c.name;
        EXPECT_EQ(v.refused->column, c.column) << c.name;
        EXPECT_EQ(v.refused->reason, check::msg::StrayLineEnd) << c.name;
        // After the declarations of the check the line is the batch's.
        const QString batch = check::SyntaxCheck::checkBatch(c.sql);
        const check::GuardVerdict after =
            check::guardBatch(batch, batch.size() - c.sql.size(), check::SyntaxCheck::declarationLines());
        ASSERT_TRUE(after.refused.has_value()) << c.name;
        EXPECT_EQ(after.refused->line, c.line + check::SyntaxCheck::declarationLines()) << c.name;
        EXPECT_EQ(after.refused->column, c.column) << c.name;
    }
}

TEST(GuardLineEnds, TheMessageNamesTheCharacterAndItsLine) {
    check::GuardedOutcome outcome;
    outcome.refused = check::guardBatch(QStringLiteral("SET @OUTPREZZO = 1\r\n-- x\rCOMMIT")).refused;
    ASSERT_TRUE(outcome.refused.has_value());
    EXPECT_EQ(check::describeFailure(outcome),
              QStringLiteral(
                  "Riga 2: U+000D (CR) non è ammessa sotto controllo: è una fine riga diversa da LF e "
                  "CR LF, che il server potrebbe leggere come la fine di un commento -- dove il controllo "
                  "vede il commento continuare (o il contrario); scrivi le righe con LF o CR LF"));
}

struct Unavailable {
    int native;
    const char* sqlState;
    const char* text;
    bool server; // the server's doing, not the batch's
};

const Unavailable kUnavailable[] = {
    {1222, "42000", "Lock request time out period exceeded.", true},
    {1205, "40001", "Transaction was deadlocked", true},
    {3617, "42000", "Query timeout expired", true},
    {0, "HYT00", "[FreeTDS][SQL Server]Timeout expired", true},
    {0, "", "[unixODBC][FreeTDS][SQL Server]Timeout expired", true},
    {0, "08S01", "[FreeTDS][SQL Server]Write to the server failed", true},
    {0, "08001", "[FreeTDS][SQL Server]Unable to connect to data source", true},
    {0, "HY008", "Operation canceled", true},                           // stopped by the user
    {0, "S1008", "[FreeTDS][SQL Server]Operation was cancelled", true}, // the same, in ODBC 2
    {0, "HY000", "Operation canceled", false},
    {208, "42S02", "Invalid object name 'x'.", false},
    {8134, "22012", "Divide by zero error encountered.", false},
    {50000, "42000", "Timeout expired", false}, // a RAISERROR of the formula's
    {0, "42000", "Incorrect syntax", false},
};

TEST(ServerUnavailable, LocksTimeOutsAndLostConnectionsOnly) {
    for (const Unavailable& u : kUnavailable) {
        ado::Error e;
        e.nativeError = u.native;
        e.sqlState = QString::fromLatin1(u.sqlState);
        e.description = QString::fromLatin1(u.text);
        EXPECT_EQ(check::serverUnavailable(e), u.server) << u.native << " " << u.text;
    }
}

struct BusyChecker {
    explicit BusyChecker(ado::Connection* connection)
        : host({.connection = [connection] { return connection; },
                .messageBox =
                    [this](const QString& p, int, const QString&) {
                        shown << p;
                        return check::answer::Ok;
                    }})
        , check(box, host, {.limits = limits()}) {}
    static ado::CommandLimits limits() {
        ado::CommandLimits l = check::checkLimits();
        l.lockWaitMs = 150;
        return l;
    }
    bool run(const QString& text) {
        box.setText(text);
        return !check.CheckFormula(true).isEmpty();
    }
    core::StringTextBox box;
    QStringList shown;
    core::FunctionServices host;
    check::SyntaxCheck check;
};

TEST(CheckUnderALock, OwnTablesAreCheckedAndALockedTableIsNotJudged) {
    TestDatabase db;
    const QString before = db.dump();
    BusyChecker c(db.connection.get());
    {
        OtherWriter other(db.connectionString(), 3000, OtherWriter::End::Rollback);
        EXPECT_TRUE(c.run(QStringLiteral("DECLARE @t TABLE (a INT) INSERT @t VALUES (1) SET @OUTPREZZO = 1")))
            << c.check.lastServerMessage().toStdString();
        EXPECT_TRUE(c.run(QStringLiteral("CREATE TABLE #t (s NVARCHAR(MAX)) INSERT #t DEFAULT VALUES "
                                         "SELECT @OUTPREZZO = COUNT(*) FROM #t DROP TABLE #t")))
            << c.check.lastServerMessage().toStdString();
        EXPECT_FALSE(c.check.lastServerBusy());

        // A formula that writes the table the other connection holds cannot be judged now.
        EXPECT_FALSE(
            c.run(QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_DESCRIZIONE = 'x'\nSET @OUTPREZZO = 1")));
        EXPECT_TRUE(c.check.lastServerBusy());
        EXPECT_TRUE(c.check.lastServerMessage().startsWith(QStringLiteral("Controllo non concluso")))
            << c.check.lastServerMessage().toStdString();
        EXPECT_TRUE(c.check.lastServerMessage().contains(QStringLiteral("Msg 1222")))
            << c.check.lastServerMessage().toStdString();
        EXPECT_EQ(c.check.lastFormulaLine(), 0);
        // The window's message box keeps its prescribed text.
        ASSERT_EQ(c.shown.size(), 3);
        EXPECT_EQ(c.shown.last(), QStringLiteral("Attenzione!\r\nLa formula non risulta essere corretta."));
    }
    // A wrong formula is still wrong, and not the server's doing.
    EXPECT_FALSE(c.run(QStringLiteral("SET @OUTPREZZO = 1 / 0")));
    EXPECT_FALSE(c.check.lastServerBusy());
    EXPECT_EQ(db.dump(), before);
}

} // namespace
