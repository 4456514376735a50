// Timing of the syntax check of a 2,000-character formula on the embedded connection (target:
// under 2 ms a check) and of the save round trip (check, UPDATE, reading the column back).

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "check/FormulaEvaluation.h"
#include "check/StatementGuard.h"
#include "check/SyntaxCheck.h"
#include "check/TrialRun.h"
#include "editing/FormulaStore.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

namespace {

// An embedded database with the provider table and one record.
struct BenchDatabase {
    QTemporaryDir dir;
    std::unique_ptr<ado::Connection> connection;

    BenchDatabase() {
        const QString path = dir.filePath(QStringLiteral("bench.sqlite"));
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check-bench"));
            db.setDatabaseName(path);
            db.open();
            QSqlQuery q(db);
            q.exec(QStringLiteral("CREATE TABLE LP01_PROVIDER (LP01_ID INTEGER NOT NULL PRIMARY KEY, "
                                  "LP01_DESCRIZIONE VARCHAR(80) NULL, LP01_FORMULE TEXT NULL)"));
            q.exec(QStringLiteral("INSERT INTO LP01_PROVIDER VALUES (12, 'Condizione 12', NULL)"));
            // Every save appends the formula's version here, in the transaction of its UPDATE.
            q.exec(ado::setup::splitStatements(ado::setup::schemaScript(ado::setup::Dialect::Sqlite))
                       .filter(QStringLiteral("LP31_VERSIONI"))
                       .first());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check-bench"));
        connection = std::make_unique<ado::Connection>();
        connection->Open(QStringLiteral("Provider=Embedded;Data Source=") + path);
    }
};

// About 2,000 characters of a typical formula in SQL form.
QString formula2000() {
    const QString block = QStringLiteral("IF @MG66_FAM_MG53 IN ('MPRI','PFIN') AND @QTA1 > 10\r\n"
                                         "    SET @OUTPREZZO = @ATTPREZZO * 0.95 + @INSCIMP\r\n"
                                         "ELSE\r\n"
                                         "    SET @OUTSC1PERC = 2.5\r\n");
    QString text;
    while (text.size() + block.size() <= 2000)
        text += block;
    while (text.size() < 2000)
        text += u' ';
    return text;
}

// The formula as the user leaves it after an edit: the same length, its end changed, so that
// the engine, which keeps the batches it compiled, sees a text it has not seen before.
QString edited(int edit) {
    QString text = formula2000();
    const QString mark = QStringLiteral("--%1").arg(edit);
    text.replace(text.size() - mark.size(), mark.size(), mark);
    return text;
}

void checkFormula(benchmark::State& state, bool editEachTime) {
    BenchDatabase db;
    core::StringTextBox box(formula2000());
    core::FunctionServices host({.connection = [&] { return db.connection.get(); }});
    check::SyntaxCheck checker(box, host);
    bool correct = false;
    int edit = 0;
    for (auto _ : state) {
        if (editEachTime)
            box.setText(edited(++edit));
        correct = !checker.CheckFormula(false).isEmpty();
    }
    state.counters["correct"] = correct ? 1 : 0;
    state.counters["chars"] = static_cast<double>(box.text().size());
    if (!correct)
        state.SetLabel(("not correct: " + checker.lastServerMessage().left(60)).toStdString());
}

void BM_CheckFormula2000(benchmark::State& state) {
    checkFormula(state, true);
}
BENCHMARK(BM_CheckFormula2000)->Unit(benchmark::kMicrosecond);

// The same text checked again.
void BM_CheckFormula2000Again(benchmark::State& state) {
    checkFormula(state, false);
}
BENCHMARK(BM_CheckFormula2000Again)->Unit(benchmark::kMicrosecond);

// The guard alone (no server) on a formula it has not seen: what the check adds before sending.
void BM_Guard2000(benchmark::State& state) {
    const QString text = formula2000();
    qint64 edit = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(check::guardBatch(text + QString::number(++edit)));
}
BENCHMARK(BM_Guard2000)->Unit(benchmark::kMicrosecond);

void BM_SaveRoundTrip(benchmark::State& state) {
    BenchDatabase db;
    core::StringTextBox box(formula2000());
    core::FunctionServices host(
        {.connection = [&] { return db.connection.get(); },
         .messageBox = [](const QString&, int, const QString&) { return check::answer::Yes; },
         .errorAnswer = core::suppressErrors(),
         .context = [] { return 0; },
         .id = [] { return core::Variant::fromInt32(12); }});
    check::SyntaxCheck checker(box, host);
    editing::FormulaStore store(box, host, {.checkFormula = editing::FormulaStore::checkWith(checker)});
    int edit = 0;
    for (auto _ : state) {
        box.setText(edited(++edit));
        store.UpdateFormula();
        const ado::RecordsetPtr rs = db.connection->Execute(
            QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 12"));
        benchmark::DoNotOptimize(rs->RecordCount());
    }
    state.counters["written"] = store.lastWritten() ? 1 : 0;
}
BENCHMARK(BM_SaveRoundTrip)->Unit(benchmark::kMicrosecond);

// A trial run of the 2,000-character formula on typed values, traced (target: under 2 ms), each
// time edited so that it is compiled afresh: argument 1 where the compiled evaluator may run it,
// 0 on the engine alone. The label says which evaluation ran the last one.
void BM_TrialRun2000(benchmark::State& state) {
    BenchDatabase db;
    const QList<check::TrialInput> inputs = {
        {*check::declaredElement(QStringLiteral("@ATTPREZZO")), QStringLiteral("100")},
        {*check::declaredElement(QStringLiteral("@MG66_FAM_MG53")), QStringLiteral("MPRI")},
        {*check::declaredElement(QStringLiteral("@QTA1")), QStringLiteral("12")},
        {*check::declaredElement(QStringLiteral("@INSCIMP")), QStringLiteral("3")}};
    check::TrialOptions options;
    options.trace = true;
    options.compiled = state.range(0) != 0;
    bool ran = false;
    int edit = 0;
    for (auto _ : state) {
        const check::TrialResult r = check::runTrial(*db.connection, edited(++edit), inputs, options);
        ran = r.ran;
        if (!ran)
            state.SetLabel(("did not run: " + r.message.left(60)).toStdString());
        else if (r.path)
            state.SetLabel(check::describePath(*r.path).toStdString());
    }
    state.counters["ran"] = ran ? 1 : 0;
}
BENCHMARK(BM_TrialRun2000)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// Rows of values through one evaluation of the same 2,000-character formula, as a preview over
// many rows runs it: argument 1 where the compiled evaluator may run it, 0 on the engine alone.
void BM_TrialRows2000(benchmark::State& state) {
    BenchDatabase db;
    check::FormulaEvaluation evaluation(edited(1));
    check::TrialOptions options;
    options.compiled = state.range(0) != 0;
    bool ran = false;
    int row = 0;
    for (auto _ : state) {
        const QList<check::TrialInput> inputs = {
            {*check::declaredElement(QStringLiteral("@ATTPREZZO")), QString::number(100 + ++row % 50)},
            {*check::declaredElement(QStringLiteral("@MG66_FAM_MG53")), QStringLiteral("MPRI")},
            {*check::declaredElement(QStringLiteral("@QTA1")), QString::number(row % 30)},
            {*check::declaredElement(QStringLiteral("@INSCIMP")), QStringLiteral("3")}};
        const check::TrialResult r = evaluation.run(*db.connection, inputs, options);
        ran = r.ran;
        if (r.path)
            state.SetLabel(check::describePath(*r.path).toStdString());
    }
    state.counters["ran"] = ran ? 1 : 0;
}
BENCHMARK(BM_TrialRows2000)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
