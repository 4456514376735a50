// The engine's collation as a loadable SQLite extension: the sqlite3 shell, with the extension
// loaded, compares as the engine does and writes the tables whose indexes use the collation; the
// engine (through the formule tool) then finds the rows, and the indexes stay consistent.
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The sqlite3 shell on `db` with the extension loaded first (or not), reading `sql` as its input.
Outcome shell(const QString& db, const QByteArray& sql, bool withExtension = true) {
    QByteArray script;
    if (withExtension)
        script = ".load " + QByteArray(FORMULE_COLLATION_EXTENSION) + "\n";
    script += ".bail on\n" + sql;
    return run(QStringLiteral("sqlite3"), {db}, script);
}

Outcome tool(const QString& db, const QStringList& args) {
    return run(QStringLiteral(FORMULE_TOOL),
               QStringList{QStringLiteral("--db"), QStringLiteral("Provider=Embedded;Data Source=") + db} +
                   args);
}

QByteArray quoted(const char* text) {
    return "'" + QByteArray(text).replace("'", "''") + "'";
}

class CollationExtension : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = dir.filePath(QStringLiteral("demo.sqlite"));
        const Outcome init = tool(db, {QStringLiteral("init-db"), QStringLiteral("--demo")});
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
    }
    QTemporaryDir dir;
    QString db;
};

TEST_F(CollationExtension, ComparesAsTheEngine) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"abc", "ABC", 0},     {"abc", "abc   ", 0},  {"abc ", "ABC", 0},    {"", "   ", 0},
        {"abc", "abd", -1},    {"ABD", "abc", 1},     {"ab", "abc", -1},     {"Zeta", "alpha", 1},
        {"città", "CITTÀ", 0}, {"città", "citta", 1}, {"ÉLAN", "élan  ", 0}, {"a b", "A B", 0},
        {"C01", "c01", 0},     {"C01", "C02", -1},    {"x'y", "X'Y", 0},     {"b", "À", -1},
    };
    QByteArray sql;
    for (const Case& c : cases)
        sql += "SELECT CASE WHEN " + quoted(c.a) + " = " + quoted(c.b) + " COLLATE TSQL_CI THEN 0 WHEN " +
               quoted(c.a) + " < " + quoted(c.b) + " COLLATE TSQL_CI THEN -1 ELSE 1 END;\n";
    const Outcome r = shell(db, sql);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(std::size(cases))) << r.out.toStdString();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(lines[static_cast<qsizetype>(i)].toInt(), cases[i].sign)
            << cases[i].a << " vs " << cases[i].b;
}

TEST_F(CollationExtension, WithoutItTheShellCannotWriteTheIndexedTables) {
    const Outcome r = shell(
        db, "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_CODICE) VALUES (9001, 'ZZ1');\n", false);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no such collation sequence: TSQL_CI"))) << r.err.toStdString();
}

TEST_F(CollationExtension, RowsWrittenByTheShellAreFoundByTheEngine) {
    const Outcome w =
        shell(db, "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, "
                  "CM01_DESCR) VALUES (9001, 1, 'ZZ1', 'Scritta dalla shell');\n"
                  "INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, "
                  "CM01_DESCR) VALUES (9002, 1, 'àb', 'Accentata');\n"
                  "INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                  "VALUES (1, 'VZZ', 'Variante della shell');\n");
    ASSERT_EQ(w.exitCode, 0) << w.err.toStdString();

    struct Query {
        const char* sql;
        const char* row;
    };
    const Query queries[] = {
        {"SELECT CM01_DESCR FROM CM01_CATEGORIECOMM WHERE CM01_CODICE = 'zz1'", "Scritta dalla shell"},
        {"SELECT CM01_IDCATEGORIA FROM CM01_CATEGORIECOMM WHERE CM01_CODICE = 'ÀB  '", "9002"},
        {"SELECT MG5F_DESCR_VAR FROM MG5F_DIMECONF WHERE MG5F_CODICEVAR = 'vzz'", "Variante della shell"},
        {"SELECT COUNT(*) AS N FROM CM01_CATEGORIECOMM WHERE CM01_DITTA_CG18 = 1 AND CM01_CODICE BETWEEN "
         "'zz0' "
         "AND 'zz9'",
         "1"},
    };
    for (const Query& q : queries) {
        const Outcome r = tool(db, {QStringLiteral("sql"), QString::fromUtf8(q.sql)});
        ASSERT_EQ(r.exitCode, 0) << q.sql << ": " << r.err.toStdString();
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << q.sql << ": " << r.out.toStdString();
        EXPECT_EQ(lines[1].trimmed(), QString::fromUtf8(q.row)) << q.sql;
    }

    // The engine writes too; the shell then finds its row through the index, and the indexes the
    // two wrote are in one order.
    const Outcome e =
        tool(db, {QStringLiteral("sql"), QStringLiteral("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, "
                                                        "CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR) VALUES "
                                                        "(9003, 1, 'Zz2', 'Scritta dal motore')")});
    ASSERT_EQ(e.exitCode, 0) << e.err.toStdString();
    const Outcome r =
        shell(db, "SELECT CM01_DESCR FROM CM01_CATEGORIECOMM WHERE CM01_CODICE = 'ZZ2' COLLATE TSQL_CI;\n"
                  "PRAGMA integrity_check;\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Scritta dal motore\nok\n"));
}

} // namespace
