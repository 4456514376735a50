// The test cases kept with the formulas: the store over the database, and the verdicts of a case
// run on a formula.

#include "TestDatabase.h"

#include "../common/Catalogue.h"

#include "ado/Setup.h"
#include "check/BulkCheck.h"
#include "check/FormulaEvaluation.h"
#include "check/TestCases.h"

#include <gtest/gtest.h>

namespace check {
// How a failed comparison shows a case.
void PrintTo(const TestCase& c, std::ostream* os) {
    QStringList inputs;
    for (auto it = c.inputs.constBegin(); it != c.inputs.constEnd(); ++it)
        inputs << it.key() + u'=' + it.value();
    inputs.sort();
    QStringList expected;
    for (const std::optional<QString>& e : c.expected)
        expected << e.value_or(QStringLiteral("NULL"));
    *os << QStringLiteral("%1/%2 \"%3\" {%4} [%5] %6 %7")
               .arg(c.context)
               .arg(c.id)
               .arg(c.name, inputs.join(u','), expected.join(u','), c.author, c.created.toString(Qt::ISODate))
               .toStdString();
}
} // namespace check

namespace {

using check::TestCase;

// A database made by the set-up, as init-db makes it.
class CaseDatabase {
public:
    CaseDatabase() {
        checktest::ensureApplication();
        m_string = ado::setup::embeddedConnectionString(m_dir.filePath(QStringLiteral("cases.sqlite")));
        ado::setup::initialize(m_string, false);
        reopen();
    }
    void reopen() {
        connection = std::make_unique<ado::Connection>();
        connection->Open(m_string);
    }
    const QString& connectionString() const { return m_string; }
    std::unique_ptr<ado::Connection> connection;

private:
    QTemporaryDir m_dir;
    QString m_string;
};

std::optional<QString> none() {
    return std::nullopt;
}

// A case whose outputs are all NULL but the price.
TestCase priceCase(const QString& name, const QString& price, const std::optional<QString>& expected) {
    TestCase c;
    c.context = 1;
    c.id = 12;
    c.name = name;
    c.inputs = {{QStringLiteral("@ATTPREZZO"), price}};
    c.expected = {expected};
    while (c.expected.size() < check::trialOutputs().size())
        c.expected.append(none());
    c.author = QStringLiteral("mrossi");
    c.created = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    return c;
}

TEST(TestCaseStore, RoundTripThroughAReopenedDatabase) {
    CaseDatabase db;
    check::TestCaseStore store(*db.connection);
    ASSERT_TRUE(store.available());
    TestCase first =
        priceCase(QStringLiteral("Listino base"), QStringLiteral("100"), QStringLiteral("110.000000"));
    first.inputs.insert(QStringLiteral("C:123"), QStringLiteral("ROSSO"));
    first.inputs.insert(QStringLiteral("V:V01"), QStringLiteral("l'azzurro \"chiaro\""));
    first.expected[4] = QStringLiteral("2.500");
    TestCase second = priceCase(QStringLiteral("  Zero  "), QString(), none());
    store.add(first);
    store.add(second);
    TestCase other = first;
    other.context = 2;
    store.add(other); // the same name on another record

    db.reopen();
    check::TestCaseStore again(*db.connection);
    const QList<TestCase> loaded = again.load(1, 12);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded[0], first);
    second.name = QStringLiteral("Zero"); // kept without its blanks
    EXPECT_EQ(loaded[1], second);
    EXPECT_EQ(again.loadAll(std::nullopt, 12).size(), 3);
    EXPECT_EQ(again.loadAll(2, std::nullopt).size(), 1);
    EXPECT_EQ(again.loadRange(1, 10, 11).size(), 0);
    EXPECT_EQ(again.loadRange(1, 12, 12).size(), 2);

    again.rename(1, 12, QStringLiteral("zero"), QStringLiteral("Prezzo vuoto"));
    again.remove(1, 12, QStringLiteral("LISTINO BASE"));
    const QList<TestCase> left = again.load(1, 12);
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].name, QStringLiteral("Prezzo vuoto"));

    TestCase changed = left[0];
    changed.inputs = {{QStringLiteral("@ATTPREZZO"), QStringLiteral("7")}};
    changed.expected[0] = QStringLiteral("7.700000");
    again.update(changed);
    EXPECT_EQ(again.load(1, 12).value(0), changed);
}

TEST(TestCaseStore, RefusesWhatWouldLoseOrConfuseACase) {
    CaseDatabase db;
    check::TestCaseStore store(*db.connection);
    store.add(priceCase(QStringLiteral("Base"), QStringLiteral("1"), none()));
    store.add(priceCase(QStringLiteral("Altro"), QStringLiteral("1"), none()));
    const QString tooLong(check::MaxCaseNameLength + 1, u'x');
    struct Row {
        std::function<void()> call;
        QString message;
    };
    const QList<Row> rows = {
        {[&] { store.add(priceCase(QStringLiteral("BASE"), QStringLiteral("2"), none())); },
         QStringLiteral("Esiste già un caso di prova di nome «BASE» per questa formula")},
        {[&] { store.add(priceCase(QStringLiteral("   "), QStringLiteral("2"), none())); },
         QStringLiteral("Il nome del caso di prova è vuoto")},
        {[&] { store.add(priceCase(tooLong, QStringLiteral("2"), none())); },
         QStringLiteral("Il nome del caso di prova supera i 80 caratteri")},
        {[&] { store.add(priceCase(QStringLiteral("a\nb"), QStringLiteral("2"), none())); },
         QStringLiteral("Il nome del caso di prova non può andare a capo")},
        {[&] { store.rename(1, 12, QStringLiteral("Base"), QStringLiteral("altro")); },
         QStringLiteral("Esiste già un caso di prova di nome «altro» per questa formula")},
        {[&] { store.rename(1, 12, QStringLiteral("Nessuno"), QStringLiteral("X")); },
         QStringLiteral("Non esiste un caso di prova di nome «Nessuno» per questa formula")},
        {[&] { store.remove(1, 13, QStringLiteral("Base")); },
         QStringLiteral("Non esiste un caso di prova di nome «Base» per questa formula")},
    };
    for (const Row& row : rows) {
        try {
            row.call();
            ADD_FAILURE() << "not refused: " << row.message.toStdString();
        } catch (const core::ComError& e) {
            EXPECT_EQ(e.description(), row.message);
        }
    }
    // Only the letter case changes: a rename of the case to itself.
    store.rename(1, 12, QStringLiteral("Base"), QStringLiteral("BASE"));
    const QList<TestCase> left = store.load(1, 12);
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left[1].name, QStringLiteral("BASE"));
}

TEST(TestCaseStore, TheSetUpAddsTheTableToAnOlderDatabase) {
    checktest::TestDatabase old; // the formula tables only
    check::TestCaseStore store(*old.connection);
    EXPECT_FALSE(store.available());
    EXPECT_THROW(store.load(1, 12), core::ComError);
    const QVariant before = old.formula(0, 12);
    const ado::setup::InitReport report = ado::setup::initialize(old.connectionString(), false);
    EXPECT_TRUE(report.tablesCreated.contains(QStringLiteral("LP30_CASIPROVA")));
    EXPECT_TRUE(store.available());
    EXPECT_EQ(old.formula(0, 12), before);
    EXPECT_TRUE(store.load(1, 12).isEmpty());
}

// The verdict of a case on a formula, with the exact text of its first difference.
struct VerdictRow {
    const char* what;
    QString sql;
    QHash<QString, QString> inputs;
    std::optional<QString> price;  // expected [Prezzo lordo]
    std::optional<QString> second; // expected [Sconto 1%]
    bool passed;
    QString difference; // a prefix when it ends with "…"
    QStringList notes;
};

TEST(TestCaseVerdicts, FirstDifferenceAsTheUserReadsIt) {
    CaseDatabase db;
    const QString times = QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 1.1");
    const QHash<QString, QString> hundred{{QStringLiteral("@ATTPREZZO"), QStringLiteral("100")}};
    const QList<VerdictRow> rows = {
        {"equal", times, hundred, QStringLiteral("110.000000"), none(), true, {}, {}},
        {"moved",
         times,
         hundred,
         QStringLiteral("100.000000"),
         none(),
         false,
         QStringLiteral("[Prezzo lordo]: atteso 100.000000, calcolato 110.000000"),
         {}},
        {"the text, not the number",
         times,
         hundred,
         QStringLiteral("110"),
         none(),
         false,
         QStringLiteral("[Prezzo lordo]: atteso 110, calcolato 110.000000"),
         {}},
        {"NULL expected",
         times,
         hundred,
         none(),
         none(),
         false,
         QStringLiteral("[Prezzo lordo]: atteso NULL, calcolato 110.000000"),
         {}},
        {"second output",
         QStringLiteral("SET @OUTPREZZO = 1\r\nSET @OUTSC1PERC = 2"),
         {},
         QStringLiteral("1.000000"),
         QStringLiteral("3.000"),
         false,
         QStringLiteral("[Sconto 1%]: atteso 3.000, calcolato 2.000"),
         {}},
        {"expected of the wrong type",
         times,
         hundred,
         QStringLiteral("abc"),
         none(),
         false,
         QStringLiteral(
             "valore atteso non valido per [Prezzo lordo] («abc»): «abc» non è un numero valido per "
             "decimal(17,6)"),
         {}},
        {"unknown input",
         times,
         {{QStringLiteral("@NONESISTE"), QStringLiteral("1")}},
         none(),
         none(),
         false,
         QStringLiteral("il caso dà un valore a @NONESISTE, che non è un elemento noto"),
         {}},
        {"input no longer read",
         QStringLiteral("SET @OUTPREZZO = 5"),
         hundred,
         QStringLiteral("5.000000"),
         none(),
         true,
         {},
         {QStringLiteral("[Prezzo lordo - CURR] non è più letto dalla formula: il suo valore è "
                         "ignorato")}},
        {"value that does not fit",
         times,
         {{QStringLiteral("@ATTPREZZO"), QStringLiteral("x")}},
         QStringLiteral("1.000000"),
         none(),
         false,
         QStringLiteral(
             "la formula non è stata eseguita: Valore non ammesso per @ATTPREZZO: «x» non è un numero "
             "valido per decimal(17,6)"),
         {}},
        {"formula that fails",
         QStringLiteral("SET @OUTPREZZO = 1 / 0"),
         {},
         none(),
         none(),
         false,
         QStringLiteral("la formula non è stata eseguita: Msg 8134…"),
         {}},
    };
    for (const VerdictRow& row : rows) {
        SCOPED_TRACE(row.what);
        TestCase c = priceCase(QStringLiteral("c"), {}, row.price);
        c.inputs = row.inputs;
        c.expected[1] = row.second;
        check::FormulaEvaluation evaluation(row.sql);
        const check::CaseOutcome outcome = check::runCase(evaluation, *db.connection, c);
        EXPECT_EQ(outcome.passed, row.passed);
        if (row.difference.endsWith(u'…'))
            EXPECT_TRUE(outcome.difference.startsWith(row.difference.chopped(1)))
                << outcome.difference.toStdString();
        else
            EXPECT_EQ(outcome.difference, row.difference);
        EXPECT_EQ(outcome.notes, row.notes);
        ASSERT_EQ(outcome.outputs.size(), check::trialOutputs().size());
    }
}

TEST(TestCaseVerdicts, TheDifferingOutputsAreMarked) {
    CaseDatabase db;
    TestCase c = priceCase(QStringLiteral("c"), QStringLiteral("100"), QStringLiteral("1.000000"));
    c.expected[1] = QStringLiteral("9.000");
    check::FormulaEvaluation evaluation(QStringLiteral("SET @OUTPREZZO = @ATTPREZZO\r\nSET @OUTSC1PERC = 9"));
    const check::CaseOutcome outcome = check::runCase(evaluation, *db.connection, c);
    QList<bool> marks;
    for (const check::CaseComparison& cmp : outcome.outputs)
        marks << cmp.differs;
    QList<bool> expected(check::trialOutputs().size(), false);
    expected[0] = true;
    EXPECT_EQ(marks, expected);
    EXPECT_EQ(outcome.outputs[0].computed, QStringLiteral("100.000000"));
}

TEST(TestCaseVerdicts, StoredValuesThatCannotBeReadFailTheCase) {
    CaseDatabase db;
    db.connection->Execute(
        QStringLiteral("INSERT INTO LP30_CASIPROVA (LP30_CONTESTO, LP30_IDFORMULA, LP30_NOME, "
                       "LP30_INGRESSI) VALUES (1, 12, N'rotto', N'[1, 2')"));
    const QList<TestCase> cases = check::TestCaseStore(*db.connection).load(1, 12);
    ASSERT_EQ(cases.size(), 1);
    check::FormulaEvaluation evaluation(QStringLiteral("SET @OUTPREZZO = 1"));
    const check::CaseOutcome outcome = check::runCase(evaluation, *db.connection, cases[0]);
    EXPECT_FALSE(outcome.passed);
    EXPECT_EQ(outcome.difference, QStringLiteral("i valori del caso non si lasciano leggere"));
}

TEST(TestCaseVerdicts, TheStripsSummary) {
    const QList<std::tuple<int, int, QString>> rows = {
        {3, 1, QStringLiteral("3 casi di prova: 1 diverso")},
        {3, 0, QStringLiteral("3 casi di prova: 0 diversi")},
        {3, 2, QStringLiteral("3 casi di prova: 2 diversi")},
        {1, 1, QStringLiteral("1 caso di prova: 1 diverso")},
        {1, 0, QStringLiteral("1 caso di prova: 0 diversi")},
    };
    for (const auto& [cases, differing, text] : rows)
        EXPECT_EQ(check::casesSummary(cases, differing), text);
}

TEST(TestCaseVerdicts, ACaseMadeFromARunPassesOnIt) {
    CaseDatabase db;
    const QString sql = QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 2\r\nSET @OUTMAGIMP = 3");
    const QHash<QString, QString> values{{QStringLiteral("@ATTPREZZO"), QStringLiteral("4.5")}};
    check::FormulaEvaluation evaluation(sql);
    const check::TrialResult result =
        evaluation.run(*db.connection, check::caseInputs({.inputs = values}).inputs);
    ASSERT_TRUE(result.ran) << result.message.toStdString();
    const TestCase c = check::caseFromRun(0, 5, QStringLiteral(" nuovo "), values, result);
    EXPECT_EQ(c.name, QStringLiteral("nuovo"));
    EXPECT_EQ(c.expected.first(), QStringLiteral("9.000000"));
    EXPECT_EQ(c.expected.last(), QStringLiteral("3.000000"));
    EXPECT_TRUE(check::runCase(evaluation, *db.connection, c).passed);
}

// A case typed by an English user is kept in texts of no language: the store gives them back, and
// they run as the English run did (what an Italian user types for the same values is kept the
// same); a case kept before, typed the Italian way, runs as it always did.
TEST(TestCaseVerdicts, ACaseSavedInEnglishRunsTheSameForAnItalianUser) {
    CaseDatabase db;
    const QString sql = QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + MONTH(@DATARIF)");
    const auto typed = [](const char* price, const char* date) {
        return QList<check::TrialInput>{
            {*check::declaredElement(QStringLiteral("@ATTPREZZO")), QLatin1String(price)},
            {*check::declaredElement(QStringLiteral("@DATARIF")), QLatin1String(date)}};
    };
    check::FormulaEvaluation evaluation(sql);
    check::TrialOptions english;
    english.reading = check::TrialReading::English;
    const check::TrialResult ran = evaluation.run(*db.connection, typed("1,000.5", "03/04/2026"), english);
    ASSERT_TRUE(ran.ran) << ran.message.toStdString();
    EXPECT_EQ(ran.outputs.first().after, QStringLiteral("1003.500000")); // March

    check::TrialBatch refused;
    const auto kept =
        check::trialStoredInputs(typed("1,000.5", "03/04/2026"), check::TrialReading::English, {}, refused);
    ASSERT_TRUE(kept);
    const auto keptItalian =
        check::trialStoredInputs(typed("1.000,5", "04/03/2026"), check::TrialReading::Italian, {}, refused);
    ASSERT_TRUE(keptItalian);
    QHash<QString, QString> values;
    for (const check::TrialInput& input : *kept)
        values.insert(check::inputKey(input.element), input.text);
    EXPECT_EQ(values, (QHash<QString, QString>{{QStringLiteral("@ATTPREZZO"), QStringLiteral("1000.5")},
                                               {QStringLiteral("@DATARIF"), QStringLiteral("2026-03-04")}}));
    for (qsizetype i = 0; i < kept->size(); ++i)
        EXPECT_EQ(keptItalian->at(i).text, kept->at(i).text);

    check::TestCaseStore store(*db.connection);
    store.add(check::caseFromRun(0, 5, QStringLiteral("English"), values, ran));
    TestCase before = check::caseFromRun(0, 5, QStringLiteral("Before"), {}, ran);
    before.inputs = {{QStringLiteral("@ATTPREZZO"), QStringLiteral("1000,5")},
                     {QStringLiteral("@DATARIF"), QStringLiteral("4/3/2026")}}; // kept before: day first
    store.add(before);
    db.reopen();
    const QList<TestCase> loaded = check::TestCaseStore(*db.connection).load(0, 5);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded.at(1).inputs, values);
    for (const check::CaseOutcome& outcome : check::runCases(*db.connection, sql, loaded)) {
        EXPECT_TRUE(outcome.passed) << outcome.name.toStdString() << ": " << outcome.difference.toStdString();
        EXPECT_EQ(outcome.outputs.first().computed, QStringLiteral("1003.500000"));
    }
}

// Every text of the cases that the user reads has its English entry.
TEST(TestCaseTexts, EveryTextHasItsEnglishEntry) {
    const QMap<QString, QString> en =
        testcatalogue::readCatalogue(QStringLiteral(FORMULE_DATA_DIR "/translations/cases_en.ts"));
    namespace m = check::casemsg;
    for (const QString& text :
         {m::Differs, m::NotRun, m::BadExpected, m::UnknownInput, m::InputNotRead, m::UnreadableInputs,
          m::Summary, m::SummaryMany, m::SummaryOne, m::SummaryOneNone, m::NameEmpty, m::NameTooLong,
          m::NameLineBreak, m::NameTaken, m::NoSuchCase, m::NoRecord, m::NoTable,
          check::bulkmsg::CaseDiffers})
        EXPECT_FALSE(en.value(text).isEmpty()) << text.toStdString();
    EXPECT_EQ(check::casesSummary(3, 1, [&en](const QString& t) { return en.value(t, t); }),
              QStringLiteral("3 test cases: 1 differs"));
}

} // namespace
