// The impact preview's engine: the rows of a CSV and of a generation spec (what is read, what is
// refused and where), the quantiles, and the run over two formulas (figures, failures on one side,
// a looping row, a formula that writes, cancellation, the engine's figures against the compiled
// evaluator's).

#include "check/Impact.h"
#include "check/ImpactStatistics.h"
#include "check/ImpactTexts.h"
#include "check/TrialTexts.h"
#include "language/References.h"

#include "../common/Catalogue.h"
#include "TestDatabase.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using check::ImpactInputError;
using check::ImpactNumbers;
using check::ImpactSource;
using check::TrialElement;
using checktest::TestDatabase;

// The elements the tests name: variables by label, category C01 (id 123), variant V01.
std::optional<TrialElement> element(const QString& name) {
    if (name == QLatin1String("{C01 - Colore}"))
        return TrialElement{TrialElement::Kind::Category, QStringLiteral("123"), {}, false};
    if (name == QLatin1String("|V01 - Colore scocca|"))
        return TrialElement{TrialElement::Kind::Variant, QStringLiteral("V01"), {}, false};
    return check::elementNamed(name);
}

// Every row of a source as "origin: value|value|...".
QStringList rowsOf(ImpactSource& source) {
    QStringList out;
    while (std::optional<check::ImpactRow> row = source.next()) {
        check::completeRow(*row);
        QStringList values;
        for (const check::TrialInput& input : row->inputs)
            values << input.text;
        out << row->origin + QStringLiteral(": ") + values.join(u'|');
    }
    return out;
}

struct CsvCase {
    const char* name;
    QByteArray text;
    ImpactNumbers numbers;
    QStringList rows;         // when it reads
    int line = 0, column = 0; // when it does not
    QString message;
};

TEST(ImpactCsv, ReadsOrRefusesWithLineAndColumn) {
    using namespace check::impactmsg;
    const QString notANumber =
        check::trialmsg::NotANumber.arg(QStringLiteral("12x"), QStringLiteral("decimal(17,6)"));
    const QList<CsvCase> cases = {
        {"plain rows, CR LF, last line without its end",
         "[Prezzo lordo - CURR],{C01 - Colore}\r\n1.5,ROSSO\r\n2,\"BL\"\"U\"",
         ImpactNumbers::C,
         {QStringLiteral("riga 2: 1.5|ROSSO"), QStringLiteral("riga 3: 2|BL\"U")}},
        {"lines ended by CR alone",
         "[Prezzo lordo - CURR],{C01 - Colore}\r1.5,ROSSO\r\r2,BLU\r",
         ImpactNumbers::C,
         {QStringLiteral("riga 2: 1.5|ROSSO"), QStringLiteral("riga 4: 2|BLU")}},
        {"a quoted separator and empty lines",
         "[Prezzo lordo - CURR],{C01 - Colore}\n\n1,\"a,b\"\n\n,x\n",
         ImpactNumbers::C,
         {QStringLiteral("riga 3: 1|a,b"), QStringLiteral("riga 5: |x")}},
        {"a quoted line break moves the lines after it",
         "[Prezzo lordo - CURR],{C01 - Colore}\n1,\"a\nb\"\n12x,c\n",
         ImpactNumbers::C,
         {},
         2,
         2,
         CsvValue.arg(QStringLiteral("{123}"), check::trialmsg::LineBreak)},
        {"a bad number on line 7",
         "[Prezzo lordo - CURR]\n1\n2\n3\n4\n5\n12x\n8\n",
         ImpactNumbers::C,
         {},
         7,
         1,
         CsvValue.arg(QStringLiteral("[Prezzo lordo - CURR]"), notANumber)},
        // The rows are checked a block of 2,048 at a time while the next block is read: the first
        // flaw is told, whatever the block the reader had reached.
        {"a bad number in a later block, an open quote after it",
         "[Prezzo lordo - CURR]\n" + QByteArray("1\n").repeated(4100) + "12x\n" +
             QByteArray("1\n").repeated(10) + "\"",
         ImpactNumbers::C,
         {},
         4102,
         1,
         CsvValue.arg(QStringLiteral("[Prezzo lordo - CURR]"), notANumber)},
        {"an open quote in the block after the last good one",
         "[Prezzo lordo - CURR]\n" + QByteArray("1\n").repeated(2050) + "\"1\n",
         ImpactNumbers::C,
         {},
         2053, // where the file ends, inside the quotes
         1,
         CsvOpenQuote},
        {"an unknown header",
         "[Prezzo lordo - CURR],[Nessuno]\n1,2\n",
         ImpactNumbers::C,
         {},
         1,
         2,
         CsvUnknownHeader.arg(QStringLiteral("[Nessuno]"))},
        {"a header twice",
         "[Prezzo lordo - CURR],@ATTPREZZO\n1,2\n",
         ImpactNumbers::C,
         {},
         1,
         2,
         CsvDuplicateHeader.arg(QStringLiteral("@ATTPREZZO"))},
        {"a row of another width",
         "[Prezzo lordo - CURR],{C01 - Colore}\n1,a\n2\n",
         ImpactNumbers::C,
         {},
         3,
         2,
         CsvWidth.arg(1).arg(2)},
        {"an open quote", "{C01 - Colore}\n\"abc\n", ImpactNumbers::C, {}, 3, 1, CsvOpenQuote},
        {"a quote inside a field", "{C01 - Colore}\nab\"c\n", ImpactNumbers::C, {}, 2, 1, CsvStrayQuote},
        {"text after the closing quote",
         "{C01 - Colore}\n\"ab\"c\n",
         ImpactNumbers::C,
         {},
         2,
         1,
         CsvAfterQuote},
        {"an empty file", "", ImpactNumbers::C, {}, 0, 0, CsvEmpty},
        {"a decimal comma in C",
         "[Prezzo lordo - CURR]\n1,5\n",
         ImpactNumbers::C,
         {},
         2,
         2,
         CsvWidth.arg(2).arg(1)},
        {"a decimal comma in C, one column by ;",
         "[Prezzo lordo - CURR];{C01 - Colore}\n1,5;a\n",
         ImpactNumbers::C,
         {},
         2,
         1,
         CsvNumberForm.arg(QStringLiteral("1,5"), QStringLiteral("decimal(17,6)"))},
        {"Italian by the option, ; as separator",
         "[Prezzo lordo - CURR];{C01 - Colore}\n1.234,5;\"x;y\"\n2,25;z\n",
         ImpactNumbers::Language,
         {QStringLiteral("riga 2: 1234.5|x;y"), QStringLiteral("riga 3: 2.25|z")}},
        {"Italian by the locale line over the option",
         "#locale=it\n[Prezzo lordo - CURR]\n\"1.000.000,5\"\n",
         ImpactNumbers::C,
         {QStringLiteral("riga 3: 1000000.5")}},
        {"Italian: a point that groups no thousands",
         "#locale=it\n[Prezzo lordo - CURR]\n1.5\n",
         ImpactNumbers::C,
         {},
         3,
         1,
         CsvNumberForm.arg(QStringLiteral("1.5"), QStringLiteral("decimal(17,6)"))},
        {"English grouping",
         "#locale=en\n[Prezzo lordo - CURR]\n\"1,234.5\"\n",
         ImpactNumbers::Language,
         {QStringLiteral("riga 3: 1234.5")}},
        {"C by the locale line over the option",
         "#LOCALE=C\n[Prezzo lordo - CURR]\n1.5\n",
         ImpactNumbers::Language,
         {QStringLiteral("riga 3: 1.5")}},
        {"an unknown locale",
         "#locale=fr\n[Prezzo lordo - CURR]\n1\n",
         ImpactNumbers::C,
         {},
         1,
         0,
         CsvBadLocale.arg(QStringLiteral("fr"))},
        {"a date with slashes in C",
         "@DATARIF\n2024-01-31\n31/01/2024\n",
         ImpactNumbers::C,
         {},
         3,
         1,
         CsvDateForm.arg(QStringLiteral("31/01/2024"))},
        {"dates day first in Italian, kept as yyyy-mm-dd",
         "@DATARIF\n31/12/2026\n2026-01-31\n",
         ImpactNumbers::Language,
         {QStringLiteral("riga 2: 2026-12-31"), QStringLiteral("riga 3: 2026-01-31")}},
        {"dates month first in English",
         "#locale=en\n@DATARIF\n12/31/2026 14:30\n",
         ImpactNumbers::C,
         {QStringLiteral("riga 3: 2026-12-31T14:30:00")}},
        {"a day first in English",
         "#locale=en\n@DATARIF\n31/12/2026\n",
         ImpactNumbers::C,
         {},
         3,
         1,
         CsvValue.arg(check::trialLabel(*check::declaredElement(QStringLiteral("@DATARIF"))),
                      check::trialmsg::NotADateMonthFirst.arg(QStringLiteral("31/12/2026")))},
        {"a byte order mark, tabs and a variant",
         "\xEF\xBB\xBF|V01 - Colore scocca|\tdummy\n",
         ImpactNumbers::C,
         {},
         1,
         2,
         CsvUnknownHeader.arg(QStringLiteral("dummy"))},
        {"not UTF-8", "{C01 - Colore}\n\xFF\xFE\n", ImpactNumbers::C, {}, 1, 0, CsvNotText},
    };
    for (const CsvCase& c : cases) {
        // Read ahead (as before an engine's run) and as the rows are given (as the compiled run
        // reads them): the same rows, or the same flaw.
        for (const bool ahead : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (ahead ? " (ahead)" : " (as given)"));
            QByteArray bytes = c.text;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            auto made = check::csvRows(&buffer, element, c.numbers);
            std::optional<ImpactInputError> error;
            QStringList rows;
            if (const auto* e = std::get_if<ImpactInputError>(&made)) {
                error = *e;
            } else {
                ImpactSource& source = *std::get<std::unique_ptr<ImpactSource>>(made);
                error = ahead ? source.check() : std::nullopt;
                if (!error) {
                    rows = rowsOf(source);
                    error = source.failure();
                }
                if (!error && ahead) {
                    EXPECT_EQ(source.size(), c.rows.size());
                }
            }
            if (c.rows.isEmpty()) {
                ASSERT_TRUE(error.has_value());
                EXPECT_EQ(error->line, c.line);
                EXPECT_EQ(error->column, c.column);
                EXPECT_EQ(error->message, c.message);
                continue;
            }
            ASSERT_FALSE(error.has_value()) << error->message.toStdString();
            EXPECT_EQ(rows, c.rows);
        }
    }
}

TEST(ImpactCsv, MessagesInTheUsersLanguage) {
    // English numbers (the language of the translation), an English message naming the line.
    QByteArray bytes = "@ATTPREZZO\n\"1,234.5\"\nx\n";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const check::TrialTranslateFn english = [](const QString& t) {
        if (t == check::trialmsg::NotANumber)
            return QStringLiteral("“%1” is no valid number for %2");
        return t;
    };
    auto made =
        check::csvRows(&buffer, element, ImpactNumbers::Language, english, check::TrialReading::English);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ImpactSource>>(made));
    const std::optional<ImpactInputError> flaw = std::get<std::unique_ptr<ImpactSource>>(made)->check();
    ASSERT_TRUE(flaw.has_value());
    EXPECT_EQ(flaw->line, 3);
    EXPECT_EQ(flaw->message,
              check::trialLabel(*check::declaredElement(QStringLiteral("@ATTPREZZO")), english) +
                  QStringLiteral(": “x” is no valid number for decimal(17,6)"));
}

QStringList generated(const QString& spec, QString* error = nullptr) {
    auto made = check::generatedRows(spec, element);
    if (auto* e = std::get_if<ImpactInputError>(&made)) {
        if (error)
            *error = e->message;
        return {};
    }
    return rowsOf(*std::get<std::unique_ptr<ImpactSource>>(made));
}

TEST(ImpactGenerated, StepsEveryCombinationLastFastest) {
    EXPECT_EQ(generated(QStringLiteral(
                  "[Prezzo lordo - CURR]=da 10 a 30 passo 10; {C01 - Colore}=from -1 to 0.5 step 0,75")),
              (QStringList{QStringLiteral("riga generata 1: 10.000000|-1.00"),
                           QStringLiteral("riga generata 2: 10.000000|-0.25"),
                           QStringLiteral("riga generata 3: 10.000000|0.50"),
                           QStringLiteral("riga generata 4: 20.000000|-1.00"),
                           QStringLiteral("riga generata 5: 20.000000|-0.25"),
                           QStringLiteral("riga generata 6: 20.000000|0.50"),
                           QStringLiteral("riga generata 7: 30.000000|-1.00"),
                           QStringLiteral("riga generata 8: 30.000000|-0.25"),
                           QStringLiteral("riga generata 9: 30.000000|0.50")}));
    // An integer type takes no decimals; the end is included only when a step lands on it.
    EXPECT_EQ(generated(QStringLiteral("@DO11_TIPODOC=da 1 a 4 passo 2")),
              (QStringList{QStringLiteral("riga generata 1: 1"), QStringLiteral("riga generata 2: 3")}));
}

TEST(ImpactGenerated, RandomValuesAreReproducibleAndInRange) {
    const QString spec =
        QStringLiteral("[Prezzo lordo - CURR]=5 casuali da 1 a 1000 seme 7; @DO11_TIPODOC=da 1 a 2 passo 1");
    const QStringList first = generated(spec);
    ASSERT_EQ(first.size(), 10);
    EXPECT_EQ(generated(spec), first);
    // The English words give the same rows; another seed others.
    EXPECT_EQ(generated(QStringLiteral(
                  "[Prezzo lordo - CURR]=5 random from 1 to 1000 seed 7; @DO11_TIPODOC=from 1 to 2 step 1")),
              first);
    EXPECT_NE(generated(QStringLiteral(
                  "[Prezzo lordo - CURR]=5 casuali da 1 a 1000 seme 8; @DO11_TIPODOC=da 1 a 2 passo 1")),
              first);
    for (const QString& row : first) {
        const QString value = row.section(u' ', 3).section(u'|', 0, 0);
        const double d = value.toDouble();
        EXPECT_GE(d, 1);
        EXPECT_LE(d, 1000);
        EXPECT_EQ(value.section(u'.', 1).size(), 6) << value.toStdString(); // the type's scale
    }
    // The value drawn is that of the slower range's every cycle: rows 1 and 2 share it.
    EXPECT_EQ(first[0].section(u'|', 0, 0).section(u' ', 3), first[1].section(u'|', 0, 0).section(u' ', 3));
    // The draws are the engine's raw output, the same on every platform.
    EXPECT_EQ(generated(QStringLiteral("@DO11_TIPODOC=3 casuali da 0 a 99 seme 1")),
              (QStringList{QStringLiteral("riga generata 1: 10"), QStringLiteral("riga generata 2: 26"),
                           QStringLiteral("riga generata 3: 53")}));
}

TEST(ImpactGenerated, RefusesWhatItCannotRead) {
    using namespace check::impactmsg;
    struct Row {
        QString spec;
        QString message;
    };
    const QList<Row> rows = {
        {QStringLiteral(" "), SpecEmpty},
        {QStringLiteral("[Prezzo lordo - CURR] da 1 a 2 passo 1"),
         SpecSyntax.arg(QStringLiteral("[Prezzo lordo - CURR] da 1 a 2 passo 1"))},
        {QStringLiteral("[Nessuno]=da 1 a 2 passo 1"), SpecUnknown.arg(QStringLiteral("[Nessuno]"))},
        {QStringLiteral("@ATTPREZZO=da 1 a 2 passo 1;[Prezzo lordo - CURR]=da 1 a 2 passo 1"),
         SpecTwice.arg(QStringLiteral("[Prezzo lordo - CURR]"))},
        {QStringLiteral("@DO11_SEZDOC=da 1 a 2 passo 1"), SpecNotNumeric.arg(QStringLiteral("@DO11_SEZDOC"))},
        {QStringLiteral("@ATTPREZZO=da 1 a 2 passo 0"), SpecStep},
        {QStringLiteral("@ATTPREZZO=da 3 a 2 passo 1"),
         SpecOrder.arg(QStringLiteral("3"), QStringLiteral("2"))},
        {QStringLiteral("@ATTPREZZO=da 1e3 a 2 passo 1"),
         SpecSyntax.arg(QStringLiteral("@ATTPREZZO=da 1e3 a 2 passo 1"))},
        {QStringLiteral("@ATTPREZZO=0 casuali da 1 a 2"),
         SpecSyntax.arg(QStringLiteral("@ATTPREZZO=0 casuali da 1 a 2"))},
        {QStringLiteral("@ATTPREZZO=da 1 a 10000000 passo 1;@INPREZZO=da 1 a 2 passo 1"),
         SpecTooMany.arg(check::MaxGeneratedRows)},
        {QStringLiteral("@ATTPREZZO=99999999999 casuali da 1 a 2"), SpecTooMany.arg(check::MaxGeneratedRows)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.spec.toStdString());
        QString message;
        EXPECT_TRUE(generated(r.spec, &message).isEmpty());
        EXPECT_EQ(message, r.message);
    }
    // The largest product allowed is given, counted ahead.
    auto made = check::generatedRows(QStringLiteral("@ATTPREZZO=da 1 a 10000000 passo 1"), element);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ImpactSource>>(made));
    EXPECT_EQ(std::get<std::unique_ptr<ImpactSource>>(made)->size(), check::MaxGeneratedRows);
}

TEST(ImpactQuantiles, NearestRank) {
    struct Row {
        std::vector<double> values;
        std::array<double, 7> expected; // min p5 p25 median p75 p95 max
    };
    std::vector<double> twenty, ten;
    for (int i = 20; i >= 1; --i)
        twenty.push_back(i);
    for (int i = 1; i <= 10; ++i)
        ten.push_back(i);
    const std::vector<Row> rows = {
        {{}, {0, 0, 0, 0, 0, 0, 0}},        {{5}, {5, 5, 5, 5, 5, 5, 5}},
        {{3, 1, 2}, {1, 1, 1, 2, 3, 3, 3}}, {{-2, 0, 7, 7}, {-2, -2, -2, 0, 7, 7, 7}},
        {ten, {1, 1, 3, 5, 8, 10, 10}},     {twenty, {1, 1, 5, 10, 15, 19, 20}},
    };
    for (const Row& r : rows) {
        const check::ImpactQuantiles q = check::impactQuantiles(r.values);
        EXPECT_EQ((std::array<double, 7>{q.min, q.p5, q.p25, q.median, q.p75, q.p95, q.max}), r.expected);
    }
}

// Beyond what it keeps a distribution samples evenly: its quantiles stay close to the exact ones
// and its histogram still counts every value.
TEST(ImpactQuantiles, ALargeDistributionIsSampledEvenly) {
    check::impactstats::Distribution d;
    const qint64 n = qint64(check::impactstats::Distribution::MaxKept) * 2 + 1001;
    for (qint64 i = 0; i < n; ++i)
        d.add(double(i % 1000) - 500); // -500 .. 499, a thousandth of them 0
    EXPECT_EQ(d.count(), n);
    const check::ImpactQuantiles q = d.quantiles();
    EXPECT_EQ(q.min, -500);
    EXPECT_EQ(q.max, 499);
    EXPECT_NEAR(q.p5, -450, 2);
    EXPECT_NEAR(q.p25, -250, 2);
    EXPECT_NEAR(q.median, 0, 2);
    EXPECT_NEAR(q.p95, 449, 2);
    const check::ImpactHistogram h = d.histogram(10);
    ASSERT_EQ(h.counts.size(), 10);
    EXPECT_EQ(h.from, -500);
    EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), qint64(0)), n);
    for (qint64 c : h.counts)
        EXPECT_NEAR(double(c), double(n) / 10, double(n) / 500);
}

// ---- the run ----

class ImpactRun : public ::testing::Test {
protected:
    void SetUp() override { CHECK_REQUIRE_ENGINE(db); }

    static std::unique_ptr<ImpactSource> prices(const QString& spec) {
        return std::move(std::get<std::unique_ptr<ImpactSource>>(check::generatedRows(spec, element)));
    }

    check::ImpactReport run(const QString& oldSql, const QString& newSql, const QString& spec,
                            check::ImpactOptions options = {}) {
        std::unique_ptr<ImpactSource> rows = prices(spec);
        return check::runImpact(*db.connection, oldSql, newSql, *rows, options);
    }

    TestDatabase db;
};

TEST_F(ImpactRun, EveryRowMovesByTheSamePercentInOneBin) {
    const check::ImpactReport r = run(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 1.10"),
                                      QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 1.12"),
                                      QStringLiteral("@ATTPREZZO=1000 casuali da 1 a 1000 seme 3"));
    EXPECT_EQ(r.rows, 1000);
    EXPECT_EQ(r.failedOld + r.failedNew + r.failedBoth, 0);
    ASSERT_EQ(r.outputs.size(), 1);
    const check::ImpactOutput& o = r.outputs.first();
    EXPECT_EQ(o.element.key, QStringLiteral("@OUTPREZZO"));
    EXPECT_EQ(o.evaluated, 1000);
    EXPECT_EQ(o.changed, 1000);
    for (double p : {o.percent.min, o.percent.median, o.percent.max})
        EXPECT_NEAR(p, 200.0 / 110.0, 1e-4);
    EXPECT_EQ(o.histogram.counts, QList<qint64>{1000});
    ASSERT_EQ(o.movers.size(), 10);
    // The largest percent first (they differ only by the outputs' rounding), with its inputs and
    // the texts the trial shows.
    EXPECT_GE(std::round(std::abs(*o.movers[0].percent) * 1e6),
              std::round(std::abs(*o.movers[1].percent) * 1e6));
    ASSERT_EQ(o.movers[0].row.inputs.size(), 1);
    const double price = o.movers[0].row.inputs[0].text.toDouble();
    EXPECT_EQ(o.movers[0].before, QString::number(price * 1.10, 'f', 6));
    EXPECT_EQ(o.movers[0].after, QString::number(price * 1.12, 'f', 6));
    EXPECT_EQ(r.oldPath->path, check::EvaluationPath::Compiled);
}

// Every output's figures alike in two reports of the same rows (the compiled evaluator's and the
// engine's).
void expectSameFigures(const check::ImpactReport& a, const check::ImpactReport& b) {
    ASSERT_EQ(b.outputs.size(), a.outputs.size());
    for (qsizetype i = 0; i < a.outputs.size(); ++i) {
        const check::ImpactOutput& x = a.outputs[i];
        const check::ImpactOutput& y = b.outputs[i];
        SCOPED_TRACE(x.element.key.toStdString());
        EXPECT_EQ(x.element, y.element);
        EXPECT_EQ(x.evaluated, y.evaluated);
        EXPECT_EQ(x.changed, y.changed);
        EXPECT_EQ(x.absolute.min, y.absolute.min);
        EXPECT_EQ(x.absolute.max, y.absolute.max);
        EXPECT_EQ(x.percent.median, y.percent.median);
        EXPECT_EQ(x.histogram.counts, y.histogram.counts);
        ASSERT_EQ(x.movers.size(), y.movers.size());
        for (qsizetype m = 0; m < x.movers.size(); ++m) {
            EXPECT_EQ(x.movers[m].before, y.movers[m].before);
            EXPECT_EQ(x.movers[m].after, y.movers[m].after);
            EXPECT_EQ(x.movers[m].row.origin, y.movers[m].row.origin);
        }
    }
}

TEST_F(ImpactRun, TheEngineGivesTheSameFiguresAsTheCompiledEvaluator) {
    const QString oldSql = QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 1.1\r\nSET @OUTSC1PERC = 2");
    const QString newSql =
        QStringLiteral("IF @ATTPREZZO > 50 SET @OUTPREZZO = @ATTPREZZO * 1.2 ELSE SET @OUTPREZZO = 0\r\n"
                       "SET @OUTSC2PERC = 10 / (@ATTPREZZO - 20)");
    const QString spec = QStringLiteral("@ATTPREZZO=da 0 a 100 passo 10");
    check::ImpactOptions engine;
    engine.trial.compiled = false;
    const check::ImpactReport a = run(oldSql, newSql, spec);
    const check::ImpactReport b = run(oldSql, newSql, spec, engine);
    EXPECT_EQ(b.newPath->path, check::EvaluationPath::Engine);
    EXPECT_EQ(a.rows, 11);
    EXPECT_EQ(a.failedNew, 1); // 20: divide by zero
    ASSERT_EQ(a.failures.size(), 1);
    EXPECT_EQ(a.failures[0].row.origin, QStringLiteral("riga generata 3"));
    EXPECT_TRUE(a.failures[0].newMessage.contains(QStringLiteral("Msg 8134")))
        << a.failures[0].newMessage.toStdString();
    EXPECT_EQ(a.failures[0].newMessage, b.failures[0].newMessage);
    ASSERT_EQ(a.outputs.size(), 3); // PREZZO, SC1PERC, SC2PERC; nothing sets the others
    expectSameFigures(a, b);
    for (const check::ImpactOutput& x : a.outputs)
        EXPECT_EQ(x.evaluated, 10);
    // SC1PERC: 2 to NULL on every row; SC2PERC: NULL to a value (no percent).
    EXPECT_EQ(a.outputs[1].changed, 10);
    EXPECT_EQ(a.outputs[1].movers[0].after, std::nullopt);
    EXPECT_EQ(a.outputs[2].movers[0].before, std::nullopt);
    EXPECT_EQ(a.outputs[2].movers[0].percent, std::nullopt);
}

// A file's rows reach the compiled evaluator as codes of their columns' texts, their values and
// documents kept by the workers: the figures are still the engine's, for empty cells, rows with no
// category or variant, texts met again, and an output one formula leaves as the file gives it.
TEST_F(ImpactRun, AFileGivesTheEnginesFiguresOnTheCompiledEvaluator) {
    const QString colour = language::refs::categorySubQuery(0, QStringLiteral("123"));
    const QString body = language::refs::variantSubQuery(QStringLiteral("V01"));
    const QString oldSql = QStringLiteral("SET @OUTSC1PERC = 2\r\nSET @OUTSC2PERC = 1\r\n"
                                          "IF %1 = 'ROSSO' SET @OUTPREZZO = @ATTPREZZO * 1.1")
                               .arg(colour);
    const QString newSql = QStringLiteral("SET @OUTPREZZO = ISNULL(@ATTPREZZO, 0) + ISNULL(@QTA1, 0)\r\n"
                                          "IF %1 = 'BLU' SET @OUTSC1PERC = 3")
                               .arg(body);
    QByteArray text = "[Prezzo lordo - CURR],[Quantita' 1 (di riga)],[Prezzo lordo],[Sconto 2%],"
                      "{C01 - Colore},|V01 - Colore scocca|\n"
                      "10.5,1,7,5,ROSSO,BLU\n"
                      "10.5,,7,,VERDE,\n"
                      ",2,,5,ROSSO,BLU\n"
                      "99.25,3,8,,,NERO\n"
                      "10.5,1,7,5,ROSSO,BLU\n";
    for (int k = 0; k < 40; ++k) // prices met once, colours met again
        text += QByteArray::number(k) + ".25," + QByteArray::number(k % 4) + ",," +
                QByteArray::number(k % 3) + (k % 2 ? ",ROSSO," : ",VERDE,") + (k % 5 ? "BLU\n" : "\n");
    auto report = [&](bool compiled) {
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        auto made = check::csvRows(&buffer, element, ImpactNumbers::C);
        check::ImpactOptions options;
        options.trial.compiled = compiled;
        options.top = 50;
        return check::runImpact(*db.connection, oldSql, newSql,
                                *std::get<std::unique_ptr<ImpactSource>>(made), options);
    };
    const check::ImpactReport a = report(true);
    const check::ImpactReport b = report(false);
    EXPECT_EQ(a.newPath->path, check::EvaluationPath::Compiled);
    EXPECT_EQ(b.newPath->path, check::EvaluationPath::Engine);
    EXPECT_EQ(a.rows, 45);
    EXPECT_EQ(a.failedOld + a.failedNew + a.failedBoth, 0);
    ASSERT_EQ(a.outputs.size(), 3); // PREZZO, SC1PERC, SC2PERC
    expectSameFigures(a, b);
    // The first row: 10.5 * 1.1 against 10.5 + 1; the new formula leaves SC2PERC as the file's 5.
    auto firstRow = [](const check::ImpactOutput& o) {
        return std::find_if(o.movers.begin(), o.movers.end(), [](const check::ImpactMover& m) {
            return m.row.origin == QStringLiteral("riga 2");
        });
    };
    const auto price = firstRow(a.outputs[0]);
    ASSERT_NE(price, a.outputs[0].movers.end());
    EXPECT_EQ(price->before, QStringLiteral("11.550000"));
    EXPECT_EQ(price->after, QStringLiteral("11.500000"));
    const auto given = firstRow(a.outputs[2]);
    ASSERT_NE(given, a.outputs[2].movers.end());
    EXPECT_EQ(given->before, QStringLiteral("1.000"));
    EXPECT_EQ(given->after, QStringLiteral("5.000"));
}

TEST_F(ImpactRun, ALoopingRowGetsItsErrorAndThePreviewGoesOn) {
    check::ImpactOptions options;
    options.trial.limits.timeoutMs = 300;
    const check::ImpactReport r = run(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
                                      QStringLiteral("IF @ATTPREZZO = 3 WHILE 1 = 1 SET @OUTPREZZO = 1\r\n"
                                                     "SET @OUTPREZZO = @ATTPREZZO + 1"),
                                      QStringLiteral("@ATTPREZZO=da 1 a 6 passo 1"), options);
    EXPECT_EQ(r.rows, 6);
    EXPECT_EQ(r.failedNew, 1);
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0].row.origin, QStringLiteral("riga generata 3"));
    EXPECT_TRUE(r.failures[0].newMessage.contains(QStringLiteral("Msg 3617")))
        << r.failures[0].newMessage.toStdString();
    EXPECT_TRUE(r.failures[0].oldMessage.isEmpty());
    EXPECT_EQ(r.outputs[0].evaluated, 5);
    EXPECT_EQ(r.outputs[0].changed, 5);
}

TEST_F(ImpactRun, AFormulaThatWritesRunsOnTheEngineAndNothingStays) {
    const QString before = db.dump();
    const check::ImpactReport r =
        run(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
            QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'x'\r\nSET @OUTPREZZO = @ATTPREZZO + 1"),
            QStringLiteral("@ATTPREZZO=da 1 a 3 passo 1"));
    EXPECT_EQ(r.newPath->path, check::EvaluationPath::Engine);
    EXPECT_EQ(r.newPath->reason, check::TrialPath::Reason::Construct);
    EXPECT_EQ(r.failedNew, 0);
    EXPECT_EQ(r.outputs[0].changed, 3);
    EXPECT_EQ(db.dump(), before);
    EXPECT_EQ(db.formula(0, 12), QVariant(QStringLiteral("SET @OUTPREZZO = 1")));
}

TEST_F(ImpactRun, CancelledFromTheProgressStopsSoon) {
    std::atomic_bool cancel{false};
    check::ImpactOptions options;
    options.cancel = &cancel;
    qint64 calls = 0;
    options.progress = [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, 100000);
        EXPECT_GT(done, 0);
        ++calls;
        cancel = true;
    };
    const check::ImpactReport r =
        run(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 1"),
            QStringLiteral("@ATTPREZZO=100000 casuali da 1 a 9 seme 1"), options);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_LT(r.rows, 100000);
    EXPECT_EQ(r.outputs[0].evaluated, r.rows);
}

TEST_F(ImpactRun, CasesComeFirstWithTheirNames) {
    check::TestCase base;
    base.name = QStringLiteral("Base");
    base.inputs.insert(QStringLiteral("@ATTPREZZO"), QStringLiteral("100"));
    std::vector<std::unique_ptr<ImpactSource>> sources;
    sources.push_back(check::caseRows({base}));
    sources.push_back(prices(QStringLiteral("@ATTPREZZO=da 1 a 2 passo 1")));
    std::unique_ptr<ImpactSource> rows = check::chainedRows(std::move(sources));
    EXPECT_EQ(rows->size(), 3);
    check::ImpactOptions options;
    options.top = 1;
    const check::ImpactReport r =
        check::runImpact(*db.connection, QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
                         QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 1"), *rows, options);
    EXPECT_EQ(r.rows, 3);
    ASSERT_EQ(r.outputs[0].movers.size(), 1);
    EXPECT_EQ(r.outputs[0].movers[0].row.origin, QStringLiteral("riga generata 1")); // 1 to 2: +100%
    EXPECT_EQ(r.outputs[0].absolute.median, 1);
}

// A source that counts the rows it gave.
class CountedRows : public ImpactSource {
public:
    explicit CountedRows(std::unique_ptr<ImpactSource> rows)
        : m_rows(std::move(rows)) {}
    std::optional<check::ImpactRow> next() override {
        std::optional<check::ImpactRow> row = m_rows->next();
        given += row ? 1 : 0;
        return row;
    }
    qint64 size() const override { return m_rows->size(); }
    std::optional<ImpactInputError> failure() const override { return m_rows->failure(); }
    std::optional<ImpactInputError> check() override { return m_rows->check(); }
    int given = 0;

private:
    std::unique_ptr<ImpactSource> m_rows;
};

// A number that is none on line 7: the report holds that flaw and no figure. The compiled
// evaluator may have run the rows before it; the engine gets none.
TEST_F(ImpactRun, AFileWithAFlawGivesNoFigureAndTheEngineNoRow) {
    for (const bool compiled : {true, false}) {
        SCOPED_TRACE(compiled ? "compiled" : "engine");
        QByteArray text = "[Prezzo lordo - CURR]\n1\n2\n3\n4\n5\nabc\n7\n";
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        auto made = check::csvRows(&buffer, element, ImpactNumbers::C);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ImpactSource>>(made));
        CountedRows rows(std::move(std::get<std::unique_ptr<ImpactSource>>(made)));
        check::ImpactOptions options;
        options.trial.compiled = compiled;
        const check::ImpactReport r =
            check::runImpact(*db.connection, QStringLiteral("SET @OUTPREZZO = 1"),
                             QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"), rows, options);
        ASSERT_TRUE(r.inputError.has_value());
        EXPECT_EQ(r.inputError->line, 7);
        EXPECT_EQ(r.inputError->column, 1);
        EXPECT_EQ(r.rows, 0);
        EXPECT_TRUE(r.outputs.isEmpty());
        EXPECT_TRUE(r.failures.isEmpty());
        EXPECT_EQ(rows.given, compiled ? 5 : 0);
    }
}

// A file's column of more different texts than a column keeps (every price differs) beside one
// of few (the quantity): each row's values reach the formulas, the first and the last alike.
TEST_F(ImpactRun, AFileOfManyDifferentPricesGivesEveryRowItsValues) {
    constexpr int Rows = 70000;
    QByteArray text = "[Prezzo lordo - CURR],[Quantita' 1 (di riga)]\n";
    for (int k = 0; k < Rows; ++k)
        text += QByteArray::number(k) + ".5," + QByteArray::number(k % 3 + 1) + '\n';
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    auto made = check::csvRows(&buffer, element, ImpactNumbers::C);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ImpactSource>>(made));
    check::ImpactOptions options;
    options.top = 1;
    const check::ImpactReport r =
        check::runImpact(*db.connection, QStringLiteral("SET @OUTPREZZO = @ATTPREZZO"),
                         QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 2 + @QTA1"),
                         *std::get<std::unique_ptr<ImpactSource>>(made), options);
    EXPECT_EQ(r.rows, Rows);
    ASSERT_EQ(r.outputs.size(), 1);
    const check::ImpactOutput& o = r.outputs.first();
    EXPECT_EQ(o.changed, Rows);
    EXPECT_EQ(o.absolute.min, 1.5);        // 0.5 and 1
    EXPECT_EQ(o.absolute.max, Rows + 1.5); // 69998.5 and 3
    ASSERT_EQ(o.movers.size(), 1);
    EXPECT_EQ(o.movers[0].row.origin, QStringLiteral("riga 2"));
    ASSERT_EQ(o.movers[0].row.inputs.size(), 2);
    EXPECT_EQ(o.movers[0].row.inputs[0].text, QStringLiteral("0.5"));
    EXPECT_EQ(o.movers[0].row.inputs[1].text, QStringLiteral("1"));
}

} // namespace

namespace {

TEST(ImpactCatalogue, EveryTextHasAnEnglishEntry) {
    const QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/impact_en.ts"));
    using namespace check::impactmsg;
    for (const QString& text :
         {CaseOrigin,       LineOrigin,       GeneratedOrigin,    CsvEmpty,         CsvNotText,
          CsvBadLocale,     CsvUnknownHeader, CsvDuplicateHeader, CsvEmptyHeader,   CsvWidth,
          CsvOpenQuote,     CsvStrayQuote,    CsvAfterQuote,      CsvRecordTooLong, CsvNumberForm,
          CsvValue,         CsvDateForm,      SpecSyntax,         SpecEmpty,        SpecUnknown,
          SpecTwice,        SpecNotNumeric,   SpecStep,           SpecOrder,        SpecTooMany,
          ReportRows,       ReportOldPath,    ReportNewPath,      ReportFailedOld,  ReportFailedNew,
          ReportFailedBoth, ReportCancelled,  ReportNoOutputs,    ReportOutput,     ReportAbsolute,
          ReportPercent,    ReportHistogram,  ReportMovers,       ReportBefore,     ReportAfter,
          ReportFailures,   ReportOldMessage, ReportNewMessage,   ReportMedian})
        EXPECT_TRUE(en.contains(text)) << text.toStdString();
}

} // namespace
