// What the formulas' history adds to a save, and the diff of two long texts.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "editing/FormulaHistory.h"
#include "editing/TextDiff.h"
#include "tables/FormulaTables.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The editor's schema, one provider record.
struct HistoryDatabase {
    QTemporaryDir dir;
    ado::Connection connection;
    HistoryDatabase() {
        const QString cs =
            ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("history.sqlite")));
        ado::setup::initialize(cs, false);
        connection.Open(cs);
        connection.Execute(
            QStringLiteral("INSERT INTO LP01_PROVIDER (LP01_ID, LP01_DESCRIZIONE) VALUES (12, 'C')"));
    }
};

// About 2,000 characters of SQL form, its end changed by `edit`.
QString formula(int edit) {
    QString text;
    while (text.size() < 1990)
        text += QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI' SET @OUTPREZZO = @ATTPREZZO * 0.95\r\n");
    return text.left(1990) + QStringLiteral("--%1").arg(edit);
}

QString update(const QString& sqlForm) {
    return *tables::formulaUpdateStatement(0, QString(sqlForm).replace(u'\'', QStringLiteral("''")),
                                           QStringLiteral("12"));
}

// The save's UPDATE alone, as it ran before the history.
void BM_PlainUpdate2000(benchmark::State& state) {
    HistoryDatabase db;
    int edit = 0;
    for (auto _ : state)
        db.connection.Execute(update(formula(++edit)));
}
BENCHMARK(BM_PlainUpdate2000)->Unit(benchmark::kMicrosecond);

// The same UPDATE with its version, in one transaction.
void BM_VersionedWrite2000(benchmark::State& state) {
    HistoryDatabase db;
    int edit = 0;
    int version = 0;
    for (auto _ : state) {
        const QString text = formula(++edit);
        version = editing::writeVersioned(db.connection,
                                          {.context = 0,
                                           .idText = QStringLiteral("12"),
                                           .sqlForm = text,
                                           .updateStatement = update(text),
                                           .author = {editing::Origin::Tool, QStringLiteral("b"), {}},
                                           .expected = std::nullopt})
                      .version;
    }
    state.counters["versions"] = version;
}
BENCHMARK(BM_VersionedWrite2000)->Unit(benchmark::kMicrosecond);

// The longest diff the table takes: 2,000 lines against 2,000 lines, every line changed.
void BM_DiffWorstCase2000Lines(benchmark::State& state) {
    QString from;
    QString to;
    for (int i = 0; i < 2000; ++i) {
        from += QStringLiteral("SET @OUTPREZZO = %1\n").arg(i);
        to += QStringLiteral("SET @OUTPREZZO = %1\n").arg(i % 3 == 0 ? i : -i);
    }
    qsizetype size = 0;
    for (auto _ : state)
        size = editing::unifiedDiff(from, to, QStringLiteral("a"), QStringLiteral("b")).size();
    state.counters["chars"] = double(size);
}
BENCHMARK(BM_DiffWorstCase2000Lines)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
