// The check of every stored formula: verdicts, order, the context filter, parallel jobs and a
// database left as it was.

#include "check/BulkCheck.h"
#include "ado/Ado.h"
#include "ado/Setup.h"
#include "language/References.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using check::CheckedFormula;
using check::Verdict;

class BulkCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_connectionString =
            ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("bulk.sqlite")));
        ado::setup::initialize(m_connectionString, true);
        m_connection.Open(m_connectionString);
        // Context 0: a correct formula, a misspelt variable, a stale category; context 1: a
        // run-time error on line 2, a stale variant; context 2 a data change that must not stay.
        exec("DELETE FROM LP01_PROVIDER");
        exec("DELETE FROM LP07_QUOTAZIONI");
        exec("DELETE FROM LP17_FORMULEMANUT");
        insert(0, 7, "SET @OUTPREZZO = @ATTPREZZO + 50");
        insert(0, 3, "SET @OUTPREZZO = 1\nSET @ATTPREZZZO = 2");
        insert(0, 9, "SET @OUTPREZZO = 1\nIF " + subQuery(true, "999") + " = 2 SET @OUTPREZZO = 2");
        insert(0, 11, std::nullopt);
        insert(1, 2, "SET @OUTPREZZO = 1\nSET @OUTPREZZO = 1 / 0");
        insert(1, 4, "IF " + subQuery(false, "V77") + " = 'X' SET @OUTPREZZO = 1 / 0");
        insert(2, 1, "UPDATE LP07_QUOTAZIONI SET LP07_DESCRIZIONE = 'cambiata'\nSET @OUTPREZZO = 1");
    }

    static QString subQuery(bool category, const char* value) {
        return category ? language::refs::categorySubQuery(1, QStringLiteral(" %1 ").arg(value))
                        : language::refs::variantSubQuery(QString::fromLatin1(value)) + u' ';
    }

    void exec(const QString& statement) { m_connection.Execute(statement); }
    void insert(int context, int id, const std::optional<QString>& sql) {
        static const char* tables[] = {"LP01_PROVIDER (LP01_ID, LP01_DESCRIZIONE, LP01_FORMULE)",
                                       "LP07_QUOTAZIONI (LP07_ID, LP07_DESCRIZIONE, LP07_FORMULE)",
                                       "LP17_FORMULEMANUT (LP17_ID, LP17_DESCRIZIONE, LP17_FORMULA)"};
        exec(QStringLiteral("INSERT INTO %1 VALUES (%2, 'Record %2', %3)")
                 .arg(QString::fromLatin1(tables[context]))
                 .arg(id)
                 .arg(sql ? language::refs::sqlLiteral(*sql) : QStringLiteral("NULL")));
    }

    QList<CheckedFormula> run(std::optional<int> context = std::nullopt, int jobs = 1,
                              check::Judgement judgement = check::Judgement::AsProduction) {
        check::BulkCheck bulk({.connectionString = m_connectionString,
                               .context = context,
                               .jobs = jobs,
                               .translate = {},
                               .cancelled = {},
                               .judgement = judgement});
        QList<CheckedFormula> results;
        const check::BulkSummary summary =
            bulk.run(m_connection, [&results](const CheckedFormula& r) { results.append(r); });
        EXPECT_EQ(summary.total(), results.size());
        return results;
    }

    QStringList dump() {
        QStringList rows;
        for (const char* table : {"LP01_PROVIDER", "LP07_QUOTAZIONI", "LP17_FORMULEMANUT"}) {
            const ado::RecordsetPtr rs = m_connection.Execute(QStringLiteral("SELECT * FROM %1").arg(table));
            while (rs && rs->IsOpen() && !rs->IsEOF()) {
                QStringList fields;
                for (int i = 0; i < rs->GetFields().Count(); ++i) {
                    const core::Variant v = rs->GetFields().Item(i).Value();
                    fields << (v.isNull() ? QStringLiteral("NULL") : v.toString());
                }
                rows << fields.join(u'|');
                rs->MoveNext();
            }
        }
        return rows;
    }

    static QString brief(const CheckedFormula& r) {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(r.context)
            .arg(r.id)
            .arg(check::verdictName(r.verdict))
            .arg(r.line);
    }

    QTemporaryDir m_dir;
    QString m_connectionString;
    ado::Connection m_connection;
};

// Jobs that cannot reach the server judge no formula: each record is UNCHECKED with the reason,
// never ERROR, and the run's counts say so.
TEST_F(BulkCheckTest, WhatTheServerCouldNotJudgeIsUnchecked) {
    check::BulkCheck bulk({.connectionString = QStringLiteral("Provider=Embedded;Data Source=") +
                                               m_dir.filePath(QStringLiteral("missing/none.sqlite")),
                           .context = std::nullopt,
                           .jobs = 2,
                           .translate = {},
                           .cancelled = {}});
    QList<CheckedFormula> results;
    const check::BulkSummary summary =
        bulk.run(m_connection, [&results](const CheckedFormula& r) { results.append(r); });
    ASSERT_EQ(results.size(), 6);
    for (const CheckedFormula& r : results) {
        EXPECT_EQ(r.verdict, Verdict::Unchecked) << brief(r).toStdString();
        EXPECT_TRUE(r.message.startsWith(QStringLiteral("Connessione non riuscita: ")))
            << r.message.toStdString();
    }
    EXPECT_EQ(summary.unchecked, 6);
    EXPECT_EQ(summary.error, 0);
    EXPECT_EQ(summary.total(), 6);
    EXPECT_EQ(check::verdictName(Verdict::Unchecked), QStringLiteral("UNCHECKED"));
}

TEST_F(BulkCheckTest, EachVerdictInContextAndIdOrder) {
    const QList<CheckedFormula> results = run();
    QStringList lines;
    for (const CheckedFormula& r : results)
        lines << brief(r);
    EXPECT_EQ(lines, (QStringList{"0 3 ERROR 2", "0 7 OK 0", "0 9 STALE 2", "1 2 ERROR 2", "1 4 STALE 1",
                                  "2 1 OK 0"}));
    ASSERT_EQ(results.size(), 6);
    EXPECT_TRUE(results[0].message.contains(QStringLiteral("@ATTPREZZZO")))
        << results[0].message.toStdString();
    EXPECT_TRUE(results[0].message.contains(QStringLiteral("Line 2"))) << results[0].message.toStdString();
    EXPECT_TRUE(results[1].message.isEmpty());
    EXPECT_EQ(results[2].message, QStringLiteral("Categorie che non esistono più: 999"));
    EXPECT_TRUE(results[3].message.startsWith(QStringLiteral("Msg 8134")))
        << results[3].message.toStdString();
    // The stale variant wins over the division by zero of the same formula.
    EXPECT_EQ(results[4].message, QStringLiteral("Varianti che non esistono più: 'V77'"));
    EXPECT_EQ(results[0].description, QStringLiteral("Record 3"));
}

TEST_F(BulkCheckTest, OneContextOnly) {
    QStringList lines;
    for (const CheckedFormula& r : run(1))
        lines << brief(r);
    EXPECT_EQ(lines, (QStringList{"1 2 ERROR 2", "1 4 STALE 1"}));
}

TEST_F(BulkCheckTest, ParallelJobsGiveTheSameResultsInTheSameOrder) {
    for (int i = 0; i < 40; ++i)
        insert(2, 100 + i, QStringLiteral("SET @OUTPREZZO = %1%2").arg(i).arg(i % 7 == 0 ? " + @NO" : ""));
    const QList<CheckedFormula> one = run(std::nullopt, 1);
    const QList<CheckedFormula> three = run(std::nullopt, 3);
    ASSERT_EQ(one.size(), three.size());
    for (qsizetype i = 0; i < one.size(); ++i) {
        EXPECT_EQ(brief(one[i]), brief(three[i]));
        EXPECT_EQ(one[i].message, three[i].message);
    }
}

// The look-ups of 64 records at a time, answered in advance and kept for the run, give every
// record the verdict of a check of that record alone, whatever the number of jobs.
TEST_F(BulkCheckTest, LookUpsAnsweredInAdvanceGiveTheVerdictsOfSingleChecks) {
    const char* categories[] = {"123", "124", "125", "126", "901", "999", "7777"};
    const char* variants[] = {"V01", "v02", "V03  ", "V90", "V77", "O''X"};
    for (int i = 0; i < 150; ++i) {
        QString sql = QStringLiteral("SET @OUTPREZZO = %1").arg(i);
        if (i % 2 == 0)
            sql += "\nIF " + subQuery(true, categories[i % 7]) + " = 1 SET @OUTPREZZO = 2";
        if (i % 3 == 0)
            sql += "\nIF " + subQuery(false, variants[i % 6]) + " = 'X' SET @OUTPREZZO = 3";
        if (i % 11 == 0)
            sql += QStringLiteral("\nSET @OUTPREZZO = 1 / 0");
        insert(i % 3, 200 + i, sql);
    }
    QStringList single;
    QStringList kinds;
    for (const CheckedFormula& r : run(std::nullopt, 1)) {
        language::StoredFormula record{r.context, r.id, r.description, {}};
        for (language::StoredFormulaReader reader(m_connection, r.context); auto f = reader.next();) {
            if (f->id == r.id)
                record = *f;
        }
        check::FormulaChecker alone(m_connection, {});
        const CheckedFormula expected = alone.check(record);
        single << brief(expected) + u' ' + expected.message;
        EXPECT_EQ(brief(r) + u' ' + r.message, single.last());
        kinds << check::verdictName(r.verdict);
    }
    EXPECT_TRUE(kinds.contains(QStringLiteral("OK")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("STALE")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("ERROR")));
    QStringList parallel;
    for (const CheckedFormula& r : run(std::nullopt, 2))
        parallel << brief(r) + u' ' + r.message;
    EXPECT_EQ(parallel, single);
}

TEST_F(BulkCheckTest, TheDatabaseIsIdenticalAfterwards) {
    const QStringList before = dump();
    run();
    run(std::nullopt, 2);
    const QStringList after = dump();
    EXPECT_EQ(after, before);
    const ado::RecordsetPtr changed = m_connection.Execute(
        QStringLiteral("SELECT COUNT(*) FROM LP07_QUOTAZIONI WHERE LP07_DESCRIZIONE = 'cambiata'"));
    EXPECT_EQ(changed->GetFields().Item(0).Value().toInt64(), 0);
}

TEST_F(BulkCheckTest, CancelStopsBetweenRecords) {
    for (int jobs : {1, 2}) {
        int seen = 0;
        check::BulkCheck bulk({.connectionString = m_connectionString,
                               .context = std::nullopt,
                               .jobs = jobs,
                               .translate = {},
                               .cancelled = [&seen] { return seen >= 2; }});
        const check::BulkSummary summary = bulk.run(m_connection, [&seen](const CheckedFormula&) { ++seen; });
        EXPECT_TRUE(summary.cancelled);
        EXPECT_LT(summary.total(), 6);
    }
}

// Each stored formula judged as production runs it (the stored sub-queries over the empty xml
// variables) and as the editor's check does (categories and variants as its placeholders). The
// demo categories: 123 of text (VARCHAR(20)), 124 a number (DECIMAL(17,6)); variant V01.
TEST_F(BulkCheckTest, JudgedAsProductionRunsItOrAsTheEditorDoes) {
    const QString text = language::refs::categorySubQuery(0, QStringLiteral("123"));
    const QString number = language::refs::categorySubQuery(1, QStringLiteral("124"));
    const QString variant = language::refs::variantSubQuery(QStringLiteral("V01"));
    const QString refused = QStringLiteral(
        "ERROR Riga 2: COMMIT non è ammessa sotto controllo: chiuderebbe la transazione in cui il controllo "
        "esegue la formula, e le istruzioni che seguono resterebbero scritte");
    const struct {
        const char* what;
        QString sql;
        QString production; // verdict and the start of the message
        QString editor;
    } cases[] = {
        {"a category of text compared with a text", "IF " + text + " = 'ROSSO' SET @OUTSC2PERC = 3", "OK",
         "ERROR Msg 8114, Level 16, State 1, Line 1: Error converting data type varchar to numeric."},
        {"a numeric category compared with a text: wrong whatever the data",
         "IF " + number + " = 'ALTO' SET @OUTMAG1PERC = 4",
         "ERROR Msg 8114, Level 16, State 1, Line 1: Error converting data type varchar to numeric.",
         "ERROR Msg 8114, Level 16, State 1, Line 1: Error converting data type varchar to numeric."},
        {"a variant compared with a text", "IF " + variant + " = 'BLU' SET @OUTMAGIMP = 15", "OK", "OK"},
        {"both kinds on the second line",
         "SET @OUTPREZZO = 1\nIF " + text + " = 'X' AND " + variant + " = 'Y' SET @OUTPREZZO = 2", "OK",
         "ERROR Msg 8114, Level 16, State 1, Line 2: Error converting data type varchar to numeric."},
        {"the xml variable declared again, as production declares it", "DECLARE @CM01_IDCATEGORIA XML",
         "ERROR Msg 134, Level 15, State 1, Line 1: The variable name '@CM01_IDCATEGORIA' has already been "
         "declared.",
         "OK"},
        // An empty variable reaches no path: the path is judged when the batch is read all the same.
        {"an xml path that cannot be read, on the empty variable",
         "SELECT @OUTPREZZO = 1 FROM @CM01_IDCATEGORIA.nodes('//CATEGORIA[') T(C)",
         "ERROR Msg 2225, Level 16, State 1, Line 1: XQuery: A string literal was expected near "
         "'//CATEGORIA['.",
         "ERROR Msg 137, Level 15, State 1, Line 1: Must declare the scalar variable \"@CM01_IDCATEGORIA\"."},
        // The guard reads the stored form as strictly as the check's form.
        {"a COMMIT after a category", "IF " + text + " = 'ROSSO' SET @OUTSC2PERC = 3\nCOMMIT", refused,
         refused},
        {"a run-time error after a category", "IF " + text + " IS NULL SET @OUTPREZZO = 1 / 0",
         "ERROR Msg 8134, Level 16, State 1, Line 1: Divide by zero error encountered.",
         "ERROR Msg 8134, Level 16, State 1, Line 1: Divide by zero error encountered."},
    };
    exec("DELETE FROM LP17_FORMULEMANUT");
    int id = 1;
    for (const auto& c : cases)
        insert(2, id++, c.sql);
    const QList<CheckedFormula> production = run(2);
    const QList<CheckedFormula> editor = run(2, 2, check::Judgement::AsEditor);
    ASSERT_EQ(production.size(), std::size(cases));
    ASSERT_EQ(editor.size(), std::size(cases));
    const auto said = [](const CheckedFormula& r) {
        return (check::verdictName(r.verdict) + u' ' + r.message).trimmed();
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_TRUE(said(production[qsizetype(i)]).startsWith(cases[i].production))
            << cases[i].what << ": " << said(production[qsizetype(i)]).toStdString();
        EXPECT_TRUE(said(editor[qsizetype(i)]).startsWith(cases[i].editor))
            << cases[i].what << ": " << said(editor[qsizetype(i)]).toStdString();
        EXPECT_EQ(cases[i].production == u"OK", said(production[qsizetype(i)]) == u"OK") << cases[i].what;
        EXPECT_EQ(cases[i].editor == u"OK", said(editor[qsizetype(i)]) == u"OK") << cases[i].what;
    }
    EXPECT_EQ(production[3].line, 0);
    EXPECT_EQ(editor[3].line, 2);
    EXPECT_EQ(production[6].line, 2);
}

TEST_F(BulkCheckTest, CountsTheRecordsToCheck) {
    EXPECT_EQ(check::BulkCheck::countRecords(m_connection, std::nullopt), 6);
    EXPECT_EQ(check::BulkCheck::countRecords(m_connection, 0), 3);
}

TEST(BulkCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    const struct {
        const char* text;
        const char* field;
    } cases[] = {
        {"Msg 137", "Msg 137"},
        {"", ""},
        {"a, b", "\"a, b\""},
        {"say \"x\"", "\"say \"\"x\"\"\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"line\nbreak", "\"line\nbreak\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(check::csvField(QString::fromUtf8(c.text)), QString::fromUtf8(c.field)) << c.text;
}

} // namespace

namespace {

// A run stopped after a record goes on after it: the records after (context, id) in the order of
// the run, the same for one job and for several, whichever record it stopped at.
TEST_F(BulkCheckTest, AnInterruptedRunGoesOnAfterItsLastRecord) {
    for (int i = 0; i < 300; ++i)
        insert(1, 1000 + i, QStringLiteral("SET @OUTPREZZO = %1").arg(i));
    const QList<CheckedFormula> whole = run();
    ASSERT_GT(whole.size(), 300);
    // Where the rest starts in the whole run: the first record that comes after the key.
    const auto firstAfter = [&whole](std::pair<int, qint64> key) {
        qsizetype i = 0;
        while (i < whole.size() && std::make_pair(whole[i].context, whole[i].id) <= key)
            ++i;
        return i;
    };
    struct Case {
        const char* name;
        std::pair<int, qint64> after;
    };
    const Case cases[] = {
        {"after the first record", {whole[0].context, whole[0].id}},
        {"after the end of a page", {1, 1000 + 255}},
        {"after the last record of a context", {1, 1299}},
        {"after an id that is not there", {0, 8}},
        {"after the last record", {whole.last().context, whole.last().id}},
        {"a context before the first", {-1, 0}},
        {"a context after the last", {3, 0}},
    };
    for (int jobs : {1, 2}) {
        for (const Case& c : cases) {
            check::BulkCheck bulk({.connectionString = m_connectionString,
                                   .context = std::nullopt,
                                   .jobs = jobs,
                                   .translate = {},
                                   .cancelled = {},
                                   .after = c.after});
            QList<CheckedFormula> rest;
            bulk.run(m_connection, [&rest](const CheckedFormula& r) { rest.append(r); });
            const qsizetype first = firstAfter(c.after);
            ASSERT_EQ(rest.size(), whole.size() - first) << c.name << " jobs " << jobs;
            for (qsizetype i = 0; i < rest.size(); ++i)
                EXPECT_EQ(brief(rest[i]), brief(whole[first + i])) << c.name << " jobs " << jobs;
        }
    }
}

} // namespace
