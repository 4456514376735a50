// formule case add, formule test and check-all's verdict CASE, on the demo database.

#include "../common/ToolRun.h"
#include "TestDatabase.h"

#include "ado/Setup.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using testtool::ToolRun;

class Cases : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(FORMULE_TOOL)))
            GTEST_SKIP() << "the formule tool is not built: " << FORMULE_TOOL;
        checktest::ensureApplication();
        m_db = ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(m_db, true);
    }

    ToolRun tool(const QStringList& arguments, const QStringList& global = {}) {
        return testtool::runTool(QStringList{QStringLiteral("--db"), m_db} + global + arguments, {}, 60000);
    }

    // Two cases that pass: the base price of provider 1 and the red colour of provider 3.
    void addTwoCases() {
        ToolRun r = tool({QStringLiteral("case"), QStringLiteral("add"), QStringLiteral("--context"),
                          QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("1"),
                          QStringLiteral("--name"), QStringLiteral("Base, 100"), QStringLiteral("--set"),
                          QStringLiteral("Prezzo lordo - CURR=100"), QStringLiteral("--author"),
                          QStringLiteral("anna")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("[Prezzo lordo]\t150.000000\n"));
        r = tool({QStringLiteral("case"), QStringLiteral("add"), QStringLiteral("--context"),
                  QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("3"), QStringLiteral("--name"),
                  QStringLiteral("Rosso"), QStringLiteral("--category"), QStringLiteral("123=ROSSO")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("[Sconto 2%]\t3.000\n"));
    }

    void changeProviderOne(const QString& sql) {
        const ToolRun r =
            tool({QStringLiteral("sql"),
                  QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = '%1' WHERE LP01_ID = 1").arg(sql)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

    QTemporaryDir m_dir;
    QString m_db;
};

// A case added by an English user keeps its values in texts of no language: the tool run in
// Italian passes it, and the values it printed were read the English way.
TEST_F(Cases, AddedInEnglishPassesInItalian) {
    ToolRun r = tool({QStringLiteral("case"), QStringLiteral("add"), QStringLiteral("--context"),
                      QStringLiteral("0"), QStringLiteral("--id"), QStringLiteral("1"),
                      QStringLiteral("--name"), QStringLiteral("Thousand"), QStringLiteral("--set"),
                      QStringLiteral("Gross price - CURR=1,000.5")},
                     {QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("[Gross price]\t1050.500000\n"));
    r = tool({QStringLiteral("sql"), QStringLiteral("SELECT LP30_INGRESSI FROM LP30_CASIPROVA")});
    EXPECT_EQ(r.out, QStringLiteral("LP30_INGRESSI\n{\"@ATTPREZZO\":\"1000.5\"}\n"));
    r = tool({QStringLiteral("test")}, {QStringLiteral("--lang"), QStringLiteral("it")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0\t1\tThousand\tPASS\t\n"));
    // The same value typed the English way is ambiguous for an Italian user: refused, nothing added.
    r = tool({QStringLiteral("case"), QStringLiteral("add"), QStringLiteral("--context"), QStringLiteral("0"),
              QStringLiteral("--id"), QStringLiteral("1"), QStringLiteral("--name"), QStringLiteral("Mille"),
              QStringLiteral("--set"), QStringLiteral("@ATTPREZZO=1.000")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              QStringLiteral("case: Valore non ammesso per @ATTPREZZO: «1.000» è ambiguo: scrivi 1000 se il "
                             "punto separa le migliaia, 1,000 se separa i decimali\n"));
}

TEST_F(Cases, TestPassesThenFailsInEveryFormat) {
    addTwoCases();
    ToolRun r = tool({QStringLiteral("test")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0\t1\tBase, 100\tPASS\t\n0\t3\tRosso\tPASS\t\n"));
    EXPECT_EQ(r.err, QStringLiteral("PASS 2, FAIL 0\n"));

    changeProviderOne(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 51"));
    struct Row {
        QStringList arguments;
        QString out;
    };
    const QList<Row> rows = {
        {{QStringLiteral("test")},
         QStringLiteral("0\t1\tBase, 100\tFAIL\t[Prezzo lordo]: atteso 150.000000, calcolato 151.000000\n"
                        "0\t3\tRosso\tPASS\t\n")},
        {{QStringLiteral("test"), QStringLiteral("--format"), QStringLiteral("csv")},
         QStringLiteral("CONTEXT,ID,CASE,RESULT,DIFFERENCE\n"
                        "0,1,\"Base, 100\",FAIL,\"[Prezzo lordo]: atteso 150.000000, calcolato 151.000000\"\n"
                        "0,3,Rosso,PASS,\n")},
        {{QStringLiteral("test"), QStringLiteral("--id"), QStringLiteral("3")},
         QStringLiteral("0\t3\tRosso\tPASS\t\n")},
        {{QStringLiteral("test"), QStringLiteral("--context"), QStringLiteral("1")}, QString()},
    };
    for (const Row& row : rows) {
        r = tool(row.arguments);
        EXPECT_EQ(r.out, row.out) << row.arguments.join(u' ').toStdString();
        EXPECT_EQ(r.exitCode, row.out.contains(QStringLiteral("FAIL")) ? 1 : 0) << r.err.toStdString();
    }

    r = tool({QStringLiteral("test"), QStringLiteral("--format"), QStringLiteral("json")},
             {QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(r.exitCode, 1);
    const QJsonArray lines = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    const QJsonObject first = lines.at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("case")).toString(), QStringLiteral("Base, 100"));
    EXPECT_EQ(first.value(QStringLiteral("result")).toString(), QStringLiteral("FAIL"));
    EXPECT_EQ(first.value(QStringLiteral("difference")).toString(),
              QStringLiteral("[Gross price]: expected 150.000000, computed 151.000000"));

    // Back as it was: the case passes again.
    changeProviderOne(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
    EXPECT_EQ(tool({QStringLiteral("test")}).exitCode, 0);
}

TEST_F(Cases, CheckAllSaysCaseUnlessToldNot) {
    addTwoCases();
    changeProviderOne(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 2"));
    ToolRun r = tool({QStringLiteral("check-all"), QStringLiteral("--context"), QStringLiteral("0")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("0\t1\tCASE\tcaso di prova «Base, 100»: [Prezzo lordo]: "
                                                "atteso 150.000000, calcolato 200.000000\n0\t2\tOK\t\n")))
        << r.out.toStdString();
    EXPECT_TRUE(
        r.err.startsWith(QStringLiteral("OK 3, ERROR 0, STALE 0, UNCHECKED 0, CASE 1, 4 formule in ")))
        << r.err.toStdString();
    for (const QString& jobs : {QStringLiteral("1"), QStringLiteral("3")}) {
        r = tool({QStringLiteral("check-all"), QStringLiteral("--no-cases"), QStringLiteral("--jobs"), jobs});
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains(QStringLiteral("CASE")));
    }
    r = tool({QStringLiteral("check-all"), QStringLiteral("--jobs"), QStringLiteral("3")});
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("0\t1\tCASE\t"))) << r.out.toStdString();
}

TEST_F(Cases, BadInputIsRefusedAndNothingIsWritten) {
    addTwoCases();
    const QStringList add{QStringLiteral("case"), QStringLiteral("add")};
    const QStringList provider{QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
                               QStringLiteral("1")};
    struct Row {
        QStringList arguments;
        int exitCode;
        QString err;
    };
    const QList<Row> rows = {
        {add + provider + QStringList{QStringLiteral("--name"), QStringLiteral("base, 100")}, 1,
         QStringLiteral("case: Esiste già un caso di prova di nome «base, 100» per questa formula\n")},
        {add + QStringList{QStringLiteral("--context"), QStringLiteral("5"), QStringLiteral("--id"),
                           QStringLiteral("1"), QStringLiteral("--name"), QStringLiteral("x")},
         2, QStringLiteral("case: --context deve essere 0, 1 o 2, non \"5\"\n")},
        {add + QStringList{QStringLiteral("--context"), QStringLiteral("0"), QStringLiteral("--id"),
                           QStringLiteral("99"), QStringLiteral("--name"), QStringLiteral("x")},
         2, QStringLiteral("case: la formula del caso non esiste più (contesto 0, id 99)\n")},
        {add + provider +
             QStringList{QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--set"),
                         QStringLiteral("Nessuno=1")},
         2,
         QStringLiteral(
             "case: elemento sconosciuto \"Nessuno\" (un'etichetta senza parentesi o una variabile)\n")},
        {add + provider +
             QStringList{QStringLiteral("--name"), QStringLiteral("x"), QStringLiteral("--set"),
                         QStringLiteral("@ATTPREZZO=abc")},
         2,
         QStringLiteral(
             "case: Valore non ammesso per @ATTPREZZO: «abc» non è un numero valido per decimal(17,6)\n")},
        {add + provider + QStringList{QStringLiteral("--name"), QStringLiteral(" ")}, 2,
         QStringLiteral("case: Il nome del caso di prova è vuoto\n")},
        {add + QStringList{QStringLiteral("--name"), QStringLiteral("x")}, 2,
         QStringLiteral("case: --context, --id e --name sono obbligatori\n")},
        {{QStringLiteral("test"), QStringLiteral("--context"), QStringLiteral("x")},
         2,
         QStringLiteral("test: --context deve essere 0, 1 o 2, non \"x\"\n")},
        {{QStringLiteral("test"), QStringLiteral("--format"), QStringLiteral("xml")},
         2,
         QStringLiteral("test: --format deve essere tsv, csv o json, non \"xml\"\n")},
    };
    for (const Row& row : rows) {
        const ToolRun r = tool(row.arguments);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.arguments.join(u' ').toStdString();
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_EQ(tool({QStringLiteral("test")}).out,
              QStringLiteral("0\t1\tBase, 100\tPASS\t\n0\t3\tRosso\tPASS\t\n"));
}

TEST_F(Cases, AnOlderDatabaseIsToldToRunInitDb) {
    checktest::TestDatabase old;
    const ToolRun r =
        testtool::runTool({QStringLiteral("--db"), old.connectionString(), QStringLiteral("test")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              QStringLiteral("test: Il database non ha la tabella dei casi di prova (LP30_CASIPROVA): esegui "
                             "formule init-db\n"));
    const ToolRun all =
        testtool::runTool({QStringLiteral("--db"), old.connectionString(), QStringLiteral("check-all")});
    EXPECT_FALSE(all.out.contains(QStringLiteral("CASE"))) << all.err.toStdString();
}

} // namespace
