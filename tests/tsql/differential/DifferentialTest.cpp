// The compiled evaluator against the engine: every formula-shaped case of the verdict corpus,
// every formula of the demo data and a fixed set of generated formulas, each on several rows,
// give the same values, types, NULLs, errors and lines that ran. The harness itself is checked
// first: the literals it sets give back the values, the generator writes formulas the engine reads.

#include "Differential.h"
#include "../Corpus.h"
#include "FormulaGenerator.h"

#include "check/Declarations.h"
#include "tsql/text/Lexer.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using namespace differential;

// Once the evaluator compiles formulas, at most this share of the generated ones may fall back:
// a generator that only produces fallbacks compares nothing.
constexpr double MaxGeneratedFallbackRate = 0.5;
constexpr int GeneratedFormulas = 300;
constexpr int RowsPerFormula = 5;
constexpr int ReportedDifferences = 20;

// Statements over tables, transactions, dynamic batches and the like: a case with one of these
// words is not a formula (the category and variant sub-queries read FROM the xml variables); nor
// is one that reads the clock or random numbers, whose values the two sides cannot share.
bool formulaShaped(const QString& text) {
    static const QSet<QString> notFormula{
        QStringLiteral("INSERT"),  QStringLiteral("UPDATE"),   QStringLiteral("DELETE"),
        QStringLiteral("MERGE"),   QStringLiteral("CREATE"),   QStringLiteral("DROP"),
        QStringLiteral("ALTER"),   QStringLiteral("TRUNCATE"), QStringLiteral("EXEC"),
        QStringLiteral("EXECUTE"), QStringLiteral("TRAN"),     QStringLiteral("TRANSACTION"),
        QStringLiteral("COMMIT"),  QStringLiteral("ROLLBACK"), QStringLiteral("SAVE"),
        QStringLiteral("CURSOR"),  QStringLiteral("TABLE"),    QStringLiteral("GO"),
        QStringLiteral("WAITFOR"), QStringLiteral("OPENXML"),  QStringLiteral("INTO"),
        QStringLiteral("USE"),     QStringLiteral("GRANT"),    QStringLiteral("SP_EXECUTESQL")};
    // The clock and random numbers: the two sides read them at different moments.
    static const QSet<QString> notRepeatable{
        QStringLiteral("GETDATE"),    QStringLiteral("SYSDATETIME"),       QStringLiteral("SYSUTCDATETIME"),
        QStringLiteral("GETUTCDATE"), QStringLiteral("CURRENT_TIMESTAMP"), QStringLiteral("NEWID"),
        QStringLiteral("RAND")};
    std::optional<tsql::ServerError> error;
    const std::vector<tsql::Token> tokens = tsql::tokenize(text, error);
    if (error)
        return false;
    for (size_t k = 0; k < tokens.size(); ++k) {
        const tsql::Token& t = tokens[k];
        if ((t.kind == tsql::Tok::Keyword || t.kind == tsql::Tok::Ident) &&
            (notFormula.contains(t.upper) || notRepeatable.contains(t.upper)))
            return false;
        if (t.isKeyword("FROM")) {
            const bool xml = k + 1 < tokens.size() && tokens[k + 1].kind == tsql::Tok::Variable &&
                             (tokens[k + 1].text.toUpper() == QLatin1String("@CM01_IDCATEGORIA") ||
                              tokens[k + 1].text.toUpper() == QLatin1String("@MG5F_CODICEVAR"));
            if (!xml)
                return false;
        }
    }
    return true;
}

std::vector<FormulaCase> corpusFormulas() {
    QStringList files = corpus::caseFiles(QStringLiteral(FORMULE_TSQL_TEST_DIR "/cases"));
    const QString shared = QStringLiteral(FORMULE_SHARED_DIR "/tsql-corpus/formulas.txt");
    if (QFile::exists(shared))
        files << shared;
    std::vector<FormulaCase> out;
    for (const QString& file : files)
        for (const corpus::Case& c : corpus::readCorpus(file))
            if (formulaShaped(c.text))
                out.push_back({c.name, c.text, c.declare});
    return out;
}

// The values of a line "INSERT INTO T (A, B) VALUES ('x', 1);" by column name.
QHash<QString, QString> insertedValues(const QString& line) {
    static const QRegularExpression insert(
        QStringLiteral("^INSERT INTO \\w+ \\(([^)]*)\\) VALUES \\((.*)\\);$"));
    const auto m = insert.match(line);
    QHash<QString, QString> out;
    if (!m.hasMatch())
        return out;
    const QStringList columns = m.captured(1).split(QStringLiteral(", "));
    QStringList values;
    QString current;
    bool inString = false;
    const QString text = m.captured(2);
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar ch = text[k];
        if (ch == u'\'' && inString && k + 1 < text.size() && text[k + 1] == u'\'') {
            current += u'\'';
            ++k;
        } else if (ch == u'\'') {
            inString = !inString;
        } else if (ch == u',' && !inString) {
            values << current.trimmed();
            current.clear();
        } else {
            current += ch;
        }
    }
    values << current.trimmed();
    for (qsizetype k = 0; k < columns.size() && k < values.size(); ++k)
        out.insert(columns[k].trimmed(), values[k]);
    return out;
}

std::vector<FormulaCase> demoFormulas() {
    QFile f(QStringLiteral(FORMULE_DATA_DIR "/demo-data.sql"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    std::vector<FormulaCase> out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const QHash<QString, QString> row = insertedValues(line.trimmed());
        for (const char* column : {"LP01_FORMULE", "LP07_FORMULE", "LP17_FORMULA"}) {
            const QString formula = row.value(QLatin1String(column));
            if (!formula.isEmpty() && formula != QLatin1String("NULL"))
                out.push_back({QLatin1String(column) + u' ' + row.value(row.keys().first()), formula, {}});
        }
    }
    return out;
}

// DIFFERENTIAL_NO_TRACE: the lines that ran are not compared (to look at the other differences).
bool traced() {
    static const bool on = !qEnvironmentVariableIsSet("DIFFERENTIAL_NO_TRACE");
    return on;
}

struct SourceRun {
    Harness harness;
    QStringList differences;

    // The case on a row of NULLs without documents (as the corpus runs it), then on random rows.
    void check(const FormulaCase& formula, SeededChoices& choices, int rows) {
        const Prepared p = harness.prepare(formula);
        if (!p.program)
            return;
        const std::vector<Declared> named = Harness::namedVariables(p);
        const QStringList ids = categoryIdsIn(formula.formula);
        const QStringList codes = variantCodesIn(formula.formula);
        for (int r = 0; r < rows; ++r) {
            const InputRow row = r == 0 ? InputRow{} : generateRow(choices, named, ids, codes);
            const Comparison c = harness.compare(p, row, r % 2 == 1 && traced());
            if (c.verdict == Verdict::Difference)
                differences << formula.name + QStringLiteral(": ") + c.detail;
        }
    }

    void report(const char* source) {
        const Counts& n = harness.counts();
        std::cout << "[ differential ] " << source << ": " << n.formulas << " formulas, " << n.compiled
                  << " compiled, " << n.fallbacks << " fell back (" << int(n.fallbackRate() * 100) << "%), "
                  << n.rows << " rows: " << n.same << " same, " << n.unseen << " errors only, " << n.refused
                  << " refused inputs, " << n.differences << " different\n";
        // DIFFERENTIAL_DUMP=FILE: every difference, with its reproducer, appended to FILE.
        const QString dump = qEnvironmentVariable("DIFFERENTIAL_DUMP");
        QFile file(dump);
        if (!dump.isEmpty() && file.open(QIODevice::Append | QIODevice::Text))
            file.write((differences.join(QStringLiteral("\n----\n")) + u'\n').toUtf8());
        for (qsizetype k = 0; k < differences.size() && k < ReportedDifferences; ++k)
            ADD_FAILURE() << differences[k].toStdString();
        QList<std::pair<int, QString>> constructs;
        for (auto it = n.fallbackConstructs.begin(); it != n.fallbackConstructs.end(); ++it)
            constructs.append({-it.value(), it.key()});
        std::sort(constructs.begin(), constructs.end());
        for (qsizetype k = 0; k < constructs.size() && k < 6; ++k)
            std::cout << "    fell back on " << constructs[k].second.toStdString() << ": "
                      << -constructs[k].first << "\n";
        EXPECT_EQ(n.differences, 0);
    }
};

// True once the evaluator compiles the simplest formula (until then every formula falls back).
bool evaluatorCompiles() {
    return tsql::compiled::compile(check::ProductionDeclarations(), QStringLiteral("SET @OUTPREZZO = 1"))
               .program != nullptr;
}

TEST(Differential, CorpusFormulasAgree) {
    const std::vector<FormulaCase> cases = corpusFormulas();
    ASSERT_GT(cases.size(), 300u);
    SourceRun run;
    SeededChoices choices(17);
    for (const FormulaCase& c : cases)
        run.check(c, choices, RowsPerFormula);
    run.report("corpus");
}

TEST(Differential, DemoFormulasAgree) {
    const std::vector<FormulaCase> cases = demoFormulas();
    ASSERT_GE(cases.size(), 10u);
    SourceRun run;
    SeededChoices choices(29);
    for (const FormulaCase& c : cases)
        run.check(c, choices, 4 * RowsPerFormula);
    run.report("demo");
}

TEST(Differential, GeneratedFormulasAgree) {
    SourceRun run;
    // DIFFERENTIAL_FORMULAS=N and DIFFERENTIAL_SEED=S: a longer run from another seed.
    bool set = false;
    const int formulas = qEnvironmentVariableIntValue("DIFFERENTIAL_FORMULAS", &set);
    const int seed = qEnvironmentVariableIsSet("DIFFERENTIAL_SEED")
                         ? qEnvironmentVariableIntValue("DIFFERENTIAL_SEED")
                         : 1000;
    for (int k = 0; k < (set ? formulas : GeneratedFormulas); ++k) {
        SeededChoices choices(std::uint64_t(seed) + std::uint64_t(k));
        const GeneratedFormula g = generateFormula(choices);
        run.check({QStringLiteral("generated %1").arg(seed + k), g.formula, {}}, choices, RowsPerFormula);
    }
    run.report("generated");
    if (evaluatorCompiles()) {
        EXPECT_LE(run.harness.counts().fallbackRate(), MaxGeneratedFallbackRate);
    }
}

// ---- differences found, kept as cases (each was a difference between the evaluator and the
// engine when it was found; the evaluator's owner makes them pass) ----

struct KnownCase {
    const char* name;
    const char* formula;
    std::vector<std::pair<const char*, const char*>> inputs; // variable, value as text (NULL: nullptr)
    std::vector<Node> categories;
    std::vector<Node> variants;
};

const std::vector<KnownCase>& knownCases() {
    static const std::vector<KnownCase> cases{
        {"a price and its discount",
         "SET @OUTPREZZO = @ATTPREZZO * (1 - @ATTSC1PERC / 100)",
         {{"@ATTPREZZO", "12.5"}, {"@ATTSC1PERC", "10"}},
         {},
         {}},
        // Lines of the formula after lines of the batch that are no declarations (the row's
        // values): the evaluator once counted them from the end of the declarations' text.
        {"the lines that ran after lines that are no declarations",
         "IF @ATTPREZZO > 0\r\n    SET @OUTPREZZO = 1",
         {{"@ATTPREZZO", "2"}},
         {},
         {}},
        {"the formula's lines after lines that are no declarations",
         "SET @DATARIF = '1752-12-31'",
         {},
         {},
         {}},
        {"ERROR_LINE() after lines that are no declarations",
         "BEGIN TRY\r\n    SET @OUTPREZZO = 1 / 0\r\nEND TRY\r\nBEGIN CATCH\r\n    SET @OUTSC1PERC = "
         "ERROR_LINE()\r\nEND CATCH",
         {},
         {},
         {}},
    };
    return cases;
}

TEST(Differential, KnownCasesAgree) {
    SourceRun run;
    for (const KnownCase& k : knownCases()) {
        const Prepared p = run.harness.prepare({QString::fromUtf8(k.name), QString::fromUtf8(k.formula), {}});
        if (!p.program)
            continue;
        InputRow row;
        for (const auto& [name, text] : k.inputs)
            for (const Declared& d : p.declared)
                if (d.name == QLatin1String(name))
                    row.values.insert(
                        d.name, text ? tsql::convert(tsql::Value::str(QString::fromUtf8(text), true), d.type)
                                     : tsql::Value::nullOf(d.type));
        row.categories = k.categories;
        row.variants = k.variants;
        for (bool trace : {false, true}) {
            const Comparison c = run.harness.compare(p, row, trace);
            if (c.verdict == Verdict::Difference)
                run.differences << QString::fromUtf8(k.name) + QStringLiteral(": ") + c.detail;
        }
    }
    run.report("known cases");
}

// ---- the harness and the generator ----

TEST(DifferentialHarness, DeclarationsAreReadWithTheirTypes) {
    const std::vector<Declared> d = declaredIn(check::ProductionDeclarations());
    ASSERT_EQ(d.size(), size_t(check::ProductionDeclarationLines));
    const struct {
        size_t index;
        const char* name;
        tsql::TypeId type;
        int precision, scale, length;
    } expected[] = {
        {0, "@OUTPREZZO", tsql::TypeId::Decimal, 17, 6, 0},
        {1, "@OUTSC1PERC", tsql::TypeId::Decimal, 6, 3, 0},
        {35, "@DO30_ID_CO1A", tsql::TypeId::BigInt, 0, 0, 0},
        {39, "@DATARIF", tsql::TypeId::DateTime, 0, 0, 0},
        {55, "@DO29_AGENTE_MG17", tsql::TypeId::NChar, 0, 0, 20},
        {138, "@DO30_OPZIONE_MG5E", tsql::TypeId::Char, 0, 0, 20},
        {139, "@CM01_IDCATEGORIA", tsql::TypeId::Xml, 0, 0, 0},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(d[e.index].name.toStdString(), e.name);
        EXPECT_EQ(d[e.index].type.id, e.type) << e.name;
        EXPECT_EQ(d[e.index].type.precision, e.precision) << e.name;
        EXPECT_EQ(d[e.index].type.scale, e.scale) << e.name;
        EXPECT_EQ(d[e.index].type.length, e.length) << e.name;
    }
}

// Every value a row may hold, set with its literal on the engine, comes back as the same value:
// the engine and the evaluator start from the same inputs.
TEST(DifferentialHarness, LiteralsGiveTheRowsValuesBack) {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("differential_literals"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    {
        tsql::Session session(db);
        const QString declarations = check::ProductionDeclarations() + QStringLiteral("declare @F FLOAT\r\n"
                                                                                      "declare @D DATE\r\n");
        std::vector<Declared> variables;
        for (const Declared& d : declaredIn(declarations))
            if (d.type.id != tsql::TypeId::Xml)
                variables.push_back(d);
        int checked = 0;
        for (int seed = 0; seed < 12; ++seed) {
            SeededChoices choices(seed);
            const InputRow row = generateRow(choices, variables, {}, {});
            QString batch = declarations;
            QString select = QStringLiteral("SELECT 0");
            for (const Declared& d : variables) {
                batch += QStringLiteral("SET %1 = %2\r\n").arg(d.name, literalOf(row.values[d.name]));
                select += QStringLiteral(", ") + d.name;
            }
            const tsql::RunResult r = session.run(batch + select);
            ASSERT_FALSE(r.error.has_value()) << r.error->message.toStdString();
            ASSERT_EQ(r.resultSets.size(), 1u);
            for (size_t k = 0; k < variables.size(); ++k, ++checked)
                EXPECT_TRUE(sameValue(r.resultSets[0].rows[0][k + 1], row.values[variables[k].name]))
                    << variables[k].name.toStdString() << ": "
                    << describe(r.resultSets[0].rows[0][k + 1]).toStdString() << " against "
                    << describe(row.values[variables[k].name]).toStdString();
        }
        EXPECT_GT(checked, 1000);
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("differential_literals"));
}

TEST(DifferentialHarness, ValuesDifferInTypeContentAndNull) {
    const tsql::Value d6 =
        tsql::convert(tsql::Value::str(QStringLiteral("1.5")), tsql::SqlType::decimal(17, 6));
    const tsql::Value d3 =
        tsql::convert(tsql::Value::str(QStringLiteral("1.5")), tsql::SqlType::decimal(6, 3));
    const tsql::Value c3 =
        tsql::convert(tsql::Value::str(QStringLiteral("ab")), *tsql::parseTypeName("CHAR(3)"));
    const tsql::Value c3b =
        tsql::convert(tsql::Value::str(QStringLiteral("AB")), *tsql::parseTypeName("CHAR(3)"));
    const struct {
        tsql::Value a, b;
        bool same;
    } cases[] = {
        {d6, d6, true},
        {d6, d3, false},
        {d6, tsql::Value::nullOf(d6.type), false},
        {tsql::Value::nullOf(d6.type), tsql::Value::nullOf(d6.type), true},
        {tsql::Value::nullOf(d6.type), tsql::Value::nullOf(d3.type), false},
        {c3, c3b, false}, // the server compares them equal; the values still differ
        {tsql::Value::integer(1), tsql::Value::integer(1, tsql::TypeId::BigInt), false},
        {tsql::Value::flt(0.1), tsql::Value::flt(0.1), true},
        {tsql::Value::flt(0.0), tsql::Value::flt(-0.0), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sameValue(c.a, c.b), c.same)
            << describe(c.a).toStdString() << " / " << describe(c.b).toStdString();
}

TEST(DifferentialHarness, DocumentsEscapeAndLeaveAbsentAttributesOut) {
    const std::vector<Node> nodes{{QStringLiteral("1&2"), QStringLiteral("<\"'>")},
                                  {std::nullopt, QStringLiteral("x")},
                                  {QStringLiteral("3"), std::nullopt}};
    EXPECT_EQ(nodesXml(nodes, QStringLiteral("R"), QStringLiteral("E"), QStringLiteral("K")),
              QStringLiteral(
                  "<R><E K=\"1&amp;2\" VALORE=\"&lt;&quot;&apos;&gt;\"/><E VALORE=\"x\"/><E K=\"3\"/></R>"));
}

TEST(DifferentialGenerator, IsDeterministicAndBounded) {
    qsizetype longest = 0;
    for (int seed = 0; seed < 500; ++seed) {
        SeededChoices a(seed), b(seed);
        const QString fa = generateFormula(a).formula;
        EXPECT_EQ(fa, generateFormula(b).formula);
        longest = std::max(longest, fa.size());
    }
    EXPECT_LT(longest, 64 * 1024);
    // Bytes that run out choose the smallest formula, and every byte string gives one.
    const std::uint8_t none[1] = {0};
    ByteChoices empty(none, 0);
    EXPECT_FALSE(generateFormula(empty).formula.isEmpty());
    std::vector<std::uint8_t> ones(4096, 0xff);
    ByteChoices full(ones.data(), ones.size());
    EXPECT_LT(generateFormula(full).formula.size(), 64 * 1024);
}

// The generator writes T-SQL the engine reads and binds: the differences it finds are about
// running formulas, not about texts that never run.
TEST(DifferentialGenerator, WritesFormulasTheEngineCompiles) {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("differential_compile"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    int compiled = 0;
    QString firstFailure;
    const int formulas = 300;
    {
        tsql::Session session(db);
        for (int seed = 0; seed < formulas; ++seed) {
            SeededChoices choices(seed);
            const QString formula = generateFormula(choices).formula;
            const auto error = session.compile(check::ProductionDeclarations() + formula);
            if (!error)
                ++compiled;
            else if (qEnvironmentVariableIsSet("DIFFERENTIAL_VERBOSE"))
                std::cout << error->message.toStdString() << "\n";
            if (error && firstFailure.isEmpty())
                firstFailure = formula + QStringLiteral("\n-> ") + error->message;
        }
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("differential_compile"));
    std::cout << "[ generator ] " << compiled << " of " << formulas
              << " generated formulas compile on the engine\n";
    EXPECT_GE(compiled, formulas * 85 / 100) << firstFailure.toStdString();
}

TEST(DifferentialSources, CorpusFilterKeepsFormulasOnly) {
    const struct {
        const char* text;
        bool formula;
    } cases[] = {
        {"SET @OUTPREZZO = 1", true},
        {"IF (SELECT COLS.value('@VALORE', 'CHAR(20)') FROM @MG5F_CODICEVAR.nodes('//VARIANTI/VARIANTE') "
         "TABLE_DEFINITION(COLS)) = 'X' SET @OUTPREZZO = 1",
         true},
        {"SET @OUTPREZZO = (SELECT COUNT(*) FROM LP01_PROVIDER)", false},
        {"INSERT INTO LP01_PROVIDER VALUES (1, 'x', NULL, 1)", false},
        {"EXEC('SET @OUTPREZZO = 1')", false},
        {"BEGIN TRAN SET @OUTPREZZO = 1 COMMIT", false},
        {"SET @OUTPREZZO = 'it''s -- not a comment", false}, // unclosed string
        {"SET @DATARIF = GETDATE()", false},
        {"SET @OUTPREZZO = RAND()", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formulaShaped(QString::fromUtf8(c.text)), c.formula) << c.text;
}

TEST(DifferentialSources, DemoFormulasAreRead) {
    const std::vector<FormulaCase> cases = demoFormulas();
    ASSERT_FALSE(cases.empty());
    EXPECT_EQ(cases.front().formula, QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
    bool category = false;
    for (const FormulaCase& c : cases)
        category |= c.formula.contains(QStringLiteral("COLS.value('@VALORE', 'DECIMAL(17,6)')"));
    EXPECT_TRUE(category);
}

} // namespace
