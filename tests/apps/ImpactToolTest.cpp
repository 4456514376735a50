// formule impact run as a process on the demo database: the figures of a changed formula over a
// CSV, the rows it refuses before anything runs, its exit codes and formats, the record's test
// cases among the rows, and nothing written.

#include "../common/ToolRun.h"
#include "ado/Setup.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testtool::ToolRun;

class ImpactTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_connection = ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("impact.sqlite")));
        ASSERT_EQ(run({QStringLiteral("init-db"), QStringLiteral("--demo")}).exitCode, 0);
        // Price list 1: ten percent over the price it is given.
        ASSERT_EQ(
            run({QStringLiteral("sql"), QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET "
                                                       "@OUTPREZZO = @INPREZZO * 1.10' WHERE LP07_ID = 1")})
                .exitCode,
            0);
    }

    ToolRun run(const QStringList& args, const QStringList& global = {}) const {
        const ToolRun r =
            testtool::runTool(QStringList{QStringLiteral("--db"), m_connection} + global + args);
        EXPECT_TRUE(r.finished);
        return r;
    }

    QString file(const QString& name, const QByteArray& bytes) const {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    // A CSV of `rows` prices (1.00, 1.37, 1.74, ...), `bad` put in place of the price of line `badLine`.
    QString prices(int rows, int badLine = 0, const QByteArray& bad = {}) const {
        QByteArray csv = "[Prezzo lordo - IN]\n";
        for (int i = 0; i < rows; ++i)
            csv += (i + 2 == badLine ? bad : QByteArray::number(1 + i * 0.37, 'f', 2)) + '\n';
        return file(QStringLiteral("prices.csv"), csv);
    }

    ToolRun impact(const QStringList& args, const QString& formula) const {
        return run(QStringList{QStringLiteral("impact"), QStringLiteral("--context"), QStringLiteral("1"),
                               QStringLiteral("--id"), QStringLiteral("1")} +
                   args + QStringList{formula});
    }

    // Every formula table, row by row.
    QString tables() const {
        QString out;
        for (const char* t : {"LP01_PROVIDER", "LP07_QUOTAZIONI", "LP17_FORMULEMANUT", "LP30_CASIPROVA"})
            out += run({QStringLiteral("sql"), QStringLiteral("SELECT * FROM %1").arg(QLatin1String(t))}).out;
        return out;
    }

    QTemporaryDir m_dir;
    QString m_connection;
};

TEST_F(ImpactTool, TenToTwelvePercentMovesEveryRowAlikeInOneBin) {
    const QString csv = prices(1000);
    ToolRun r = impact({QStringLiteral("--inputs"), csv, QStringLiteral("--format"), QStringLiteral("json")},
                       QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - IN] * 1.12"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(root.value(QStringLiteral("rows")).toInt(), 1000);
    EXPECT_EQ(root.value(QStringLiteral("failedNew")).toInt(), 0);
    const QJsonArray outputs = root.value(QStringLiteral("outputs")).toArray();
    ASSERT_EQ(outputs.size(), 1);
    const QJsonObject price = outputs.first().toObject();
    EXPECT_EQ(price.value(QStringLiteral("output")).toString(), QStringLiteral("[Prezzo lordo]"));
    EXPECT_EQ(price.value(QStringLiteral("evaluated")).toInt(), 1000);
    EXPECT_EQ(price.value(QStringLiteral("changed")).toInt(), 1000);
    const QJsonObject percent = price.value(QStringLiteral("percent")).toObject();
    for (const char* q : {"min", "p5", "median", "p95", "max"})
        EXPECT_NEAR(percent.value(QLatin1String(q)).toDouble(), 1.818181, 1e-6) << q;
    EXPECT_EQ(price.value(QStringLiteral("histogram")).toObject().value(QStringLiteral("counts")).toArray(),
              QJsonArray{1000});
    // The row that moves most: the largest price, with its inputs and the texts the trial shows.
    const QJsonObject top = price.value(QStringLiteral("movers")).toArray().first().toObject();
    EXPECT_EQ(top.value(QStringLiteral("origin")).toString(), QStringLiteral("riga 1001"));
    EXPECT_EQ(top.value(QStringLiteral("before")).toString(), QStringLiteral("407.693000"));
    EXPECT_EQ(top.value(QStringLiteral("after")).toString(), QStringLiteral("415.105600"));
    EXPECT_EQ(top.value(QStringLiteral("inputs"))
                  .toObject()
                  .value(QStringLiteral("[Prezzo lordo - IN]"))
                  .toString(),
              QStringLiteral("370.63"));

    // The text report: one bar, the figures in the user's language.
    r = impact({QStringLiteral("--inputs"), csv},
               QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - IN] * 1.12"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("[Prezzo lordo]: 1000 righe valutate, 1000 cambiate\n")));
    const QStringList bars = r.out.split(u'\n').filter(QString(QChar(0x2588)));
    ASSERT_EQ(bars.size(), 1) << r.out.toStdString();
    EXPECT_TRUE(bars.first().endsWith(QStringLiteral(" 1000"))) << bars.first().toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString(); // no progress bar off a terminal
}

TEST_F(ImpactTool, ABadNumberOnLineSevenIsRefusedAndNothingRuns) {
    const QString csv = prices(20, 7, "12x");
    const ToolRun r = impact({QStringLiteral("--inputs"), csv}, QStringLiteral("SET [Prezzo lordo] = 1"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_EQ(r.err, QStringLiteral("impact: %1:7:1: [Prezzo lordo - IN]: «12x» non è un numero valido per "
                                    "decimal(17,6)\n")
                         .arg(csv));
}

TEST_F(ImpactTool, ExitCodesAndUsage) {
    struct Row {
        QStringList args;
        QString formula;
        int exit;
        QString err; // a part of standard error
    };
    const QString generate = QStringLiteral("--generate");
    const QList<Row> rows = {
        {{generate, QStringLiteral("[Prezzo lordo - IN]=da 1 a 3 passo 1")},
         QStringLiteral("SET [Prezzo lordo] = 1 / ([Prezzo lordo - IN] - 2)"),
         1,
         {}},
        {{generate, QStringLiteral("[Prezzo lordo - IN]=da 1 a 3 passo 1")},
         QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - IN] * 3"),
         0,
         {}},
        {{generate, QStringLiteral("[Prezzo lordo - IN]=da 3 a 1 passo 1")},
         QStringLiteral("SET [Prezzo lordo] = 1"),
         2,
         QStringLiteral("impact: --generate: l'inizio 3 supera la fine 1")},
        {{QStringLiteral("--format"), QStringLiteral("xml")},
         QStringLiteral("SET [Prezzo lordo] = 1"),
         2,
         QStringLiteral("--format")},
        {{QStringLiteral("--top"), QStringLiteral("-1")},
         QStringLiteral("SET [Prezzo lordo] = 1"),
         2,
         QStringLiteral("--top")},
        {{QStringLiteral("--inputs"), QStringLiteral("/nonexistent/x.csv")},
         QStringLiteral("SET [Prezzo lordo] = 1"),
         2,
         QStringLiteral("/nonexistent/x.csv")},
        // A formula that does not compile fails on every row; with no row, nothing fails.
        {{generate, QStringLiteral("[Prezzo lordo - IN]=2 casuali da 1 a 3")},
         QStringLiteral("SET [Prezzo lordo] = [Nessuno]"),
         1,
         {}},
        {{}, QStringLiteral("SET [Prezzo lordo] = [Nessuno]"), 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(u' ').toStdString());
        const ToolRun r = impact(row.args, row.formula);
        EXPECT_EQ(r.exitCode, row.exit) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(row.err)) << r.err.toStdString();
    }
    // A record that does not exist, the record's options missing.
    EXPECT_EQ(run({QStringLiteral("impact"), QStringLiteral("--context"), QStringLiteral("1"),
                   QStringLiteral("--id"), QStringLiteral("99"), QStringLiteral("SET [Prezzo lordo] = 1")})
                  .exitCode,
              2);
    EXPECT_EQ(run({QStringLiteral("impact"), QStringLiteral("--context"), QStringLiteral("1"),
                   QStringLiteral("SET [Prezzo lordo] = 1")})
                  .exitCode,
              2);
}

TEST_F(ImpactTool, TsvCategoriesVariantsAndTestCases) {
    // Provider 3: three percent off the red ones. A case of the record comes first among the rows.
    ASSERT_EQ(run({QStringLiteral("case"), QStringLiteral("add"), QStringLiteral("--context"),
                   QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("3"), QStringLiteral("--name"),
                   QStringLiteral("Rosso"), QStringLiteral("--category"), QStringLiteral("123=ROSSO")})
                  .exitCode,
              0);
    const QString csv = file(QStringLiteral("colours.csv"),
                             "#locale=it\n{C01 - Colore};|V01 - Colore scocca|;[Prezzo lordo - CURR]\n"
                             "ROSSO;BLU;\"1.234,5\"\nVERDE;BLU;2,5\n");
    const ToolRun r =
        run({QStringLiteral("impact"), QStringLiteral("--context"), QStringLiteral("0"),
             QStringLiteral("--id"), QStringLiteral("3"), QStringLiteral("--inputs"), csv,
             QStringLiteral("--format"), QStringLiteral("tsv"),
             QStringLiteral("IF {C01 - Colore} = 'ROSSO' AND |V01 - Colore scocca| = 'BLU' SET [Sconto "
                            "2%] = 4")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("summary\t3\t0\t0\t0\tcomplete"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("output\t[Sconto 2%]\t3\t2\t"))) << lines[1].toStdString();
    // The case has no variant: its discount goes; the red line with the blue body moves.
    EXPECT_TRUE(
        r.out.contains(QStringLiteral("mover\t[Sconto 2%]\triga 3\t3.000\t4.000\t1.000000\t33.333333\t"
                                      "{123}=ROSSO; |V01|=BLU; [Prezzo lordo - CURR]=1234.5\n")))
        << r.out.toStdString();
}

TEST_F(ImpactTool, AFormulaThatWritesChangesNothing) {
    const QString before = tables();
    const ToolRun r =
        impact({QStringLiteral("--generate"), QStringLiteral("[Prezzo lordo - IN]=da 1 a 3 passo 1")},
               QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = NULL\r\n"
                              "DELETE FROM LP01_PROVIDER\r\nSET [Prezzo lordo] = 5"));
    EXPECT_LE(r.exitCode, 1) << r.err.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Righe lette: 0"))) << r.out.toStdString();
    EXPECT_EQ(tables(), before);
}

} // namespace
