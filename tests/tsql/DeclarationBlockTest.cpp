// A batch that starts with the declarations of a batch compiled before is compiled after them
// (only its rest is read and bound): its outcome must be exactly that of the whole batch read
// by an engine that never saw the declarations.

#include "check/Declarations.h"
#include "tsql/Engine.h"

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

QString outcome(const tsql::BatchResult& r) {
    QString s;
    if (r.error)
        s += QStringLiteral("Msg %1, Level %2, Line %3, Column %4: %5\n")
                 .arg(r.error->number)
                 .arg(r.error->level)
                 .arg(r.error->line)
                 .arg(r.error->column)
                 .arg(r.error->message);
    for (const core::RowSet& rows : r.resultSets) {
        s += rows.columns.join(u'|') + u'\n';
        for (const auto& row : rows.rows) {
            QStringList values;
            for (const core::Variant& v : row)
                values << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            s += values.join(u'|') + u'\n';
        }
    }
    return s + QString::number(r.recordsAffected);
}

// The rests: statements of every kind a formula starts with, errors of reading, binding and
// running on their first and later lines, jumps, and rests that must be read with the block.
const QStringList& rests() {
    static const QStringList r = {
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50\r\nSELECT @OUTPREZZO AS P"),
        QStringLiteral("IF @QTA1 IS NULL SELECT 'vuoto' AS V ELSE SELECT 'pieno' AS V"),
        QStringLiteral("SELECT @MG66_FAM_MG53 AS F, @QTA1 AS Q"),
        QStringLiteral("SET @OUTPREZZO = 'abc'"),
        QStringLiteral("SET @NONDICHIARATA = 1"),
        QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTPREZZO = 1 +"),
        QStringLiteral("DECLARE @OUTPREZZO INT"),
        QStringLiteral("DECLARE @MIA INT = 3\r\nSELECT @MIA * 2 AS M"),
        QStringLiteral("SELECT 1 / 0 AS D"),
        QStringLiteral("SELECT 'aperta"),
        QStringLiteral("SET @QTA1 = 1\r\nGOTO fine\r\nSELECT 'saltata' AS S\r\nfine:\r\nSELECT @QTA1 AS Q"),
        QStringLiteral("GOTO altrove"),
        QStringLiteral(";SELECT 2 AS S"),
        QStringLiteral("WITH c AS (SELECT 1 AS n) SELECT n FROM c"),
        QStringLiteral(", @ALTRA INT\r\nSELECT @ALTRA AS A"),
        QStringLiteral("SELECT CM01_CODICE FROM CM01_CATEGORIECOMM WHERE CM01_IDCATEGORIA = 123"),
        QStringLiteral("UPDATE CM01_CATEGORIECOMM SET CM01_DESCR = 'x' WHERE CM01_IDCATEGORIA = 999"),
        QStringLiteral("-- solo un commento"),
        QStringLiteral("PRINT @OUTPREZZO\r\nRETURN\r\nSELECT 3 AS T"),
    };
    return r;
}

TEST(DeclarationBlock, RestsAfterTheCompiledBlockGiveTheWholeBatchsOutcome) {
    const QString block = check::BuildDeclarations();
    tsql::Engine warm(tsqltest::makeDb());
    // The block is known to the warm engine from a batch compiled before.
    ASSERT_FALSE(warm.execute(block + QStringLiteral("SET @QTA1 = 1")).error);
    for (const QString& rest : rests()) {
        const QString batch = block + rest;
        tsql::Engine fresh(tsqltest::makeDb());
        const QString expected = outcome(fresh.execute(batch));
        EXPECT_EQ(outcome(warm.execute(batch)).toStdString(), expected.toStdString()) << rest.toStdString();
        // Sent again, from the cache of compiled batches.
        EXPECT_EQ(outcome(warm.execute(batch)).toStdString(), expected.toStdString()) << rest.toStdString();
    }
}

TEST(DeclarationBlock, ABlockEndingInASemicolonAndOneNotAtALineStart) {
    tsql::Engine warm(tsqltest::makeDb());
    const QStringList blocks = {
        QStringLiteral("DECLARE @A INT;\r\nDECLARE @B VARCHAR(10);\r\n"),
        QStringLiteral("DECLARE @A INT\r\nDECLARE @T TABLE (n INT)\r\nDECLARE @B VARCHAR(10)\r\n"),
        QStringLiteral("DECLARE @T TABLE (n INT)\r\nDECLARE @A INT, @B VARCHAR(10)\r\n"),
        QStringLiteral("DECLARE @A INT DECLARE @B VARCHAR(10)\r\n"),
        QStringLiteral("DECLARE @A INT\r\nDECLARE @B VARCHAR(10) SET @A = 1\r\n")};
    for (const QString& block : blocks) {
        ASSERT_FALSE(warm.execute(block + QStringLiteral("SET @A = 1")).error);
        for (const QString& rest :
             {QStringLiteral("SELECT @A AS A, @B AS B"), QStringLiteral("SET @B = 'x'\r\nSELECT @B AS B"),
              QStringLiteral("WITH c AS (SELECT 1 AS n) SELECT n FROM c"), QStringLiteral("SET @A = 'no'"),
              QStringLiteral("DECLARE @T TABLE (m INT)"),
              QStringLiteral("INSERT INTO @T VALUES (1)\r\nSELECT COUNT(*) AS C FROM @T")}) {
            tsql::Engine fresh(tsqltest::makeDb());
            EXPECT_EQ(outcome(warm.execute(block + rest)).toStdString(),
                      outcome(fresh.execute(block + rest)).toStdString())
                << (block + rest).toStdString();
        }
    }
}

} // namespace
