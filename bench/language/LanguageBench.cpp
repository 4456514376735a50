// Display-to-SQL and SQL-to-display translation of (a) a typical formula of about 2,000
// characters with five references and (b) a formula of 30,000 characters with 50 category and
// 50 variant references, on an embedded database filled here. Each translation is compared in
// the same run with the plain transcription of the loops (Transcription.cpp): the outputs must
// be identical; the times, their ratio and the statements each sent are printed.

#include "Transcription.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "language/Dictionary.h"
#include "language/References.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr int kCategories = 50;
constexpr int kVariants = 50;

QString categoryCode(int k) {
    return QStringLiteral("K%1").arg(k, 2, 10, QLatin1Char('0'));
}
QString variantCode(int k) {
    return QStringLiteral("W%1").arg(k, 2, 10, QLatin1Char('0'));
}
int categoryId(int k) {
    return 1000 + k;
}

void fill(ado::Connection& conn) {
    conn.BeginTrans();
    for (int k = 1; k <= kCategories; ++k)
        conn.Execute(
            QStringLiteral("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, "
                           "CM01_DESCR, CM01_INDTIPODATO) VALUES (%1, 1, '%2', 'Categoria %3', %4)")
                .arg(categoryId(k))
                .arg(categoryCode(k))
                .arg(k)
                .arg(k % 3));
    for (int k = 1; k <= kVariants; ++k)
        conn.Execute(
            QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                           "VALUES (1, '%1', 'Variante %2')")
                .arg(variantCode(k))
                .arg(k));
    conn.CommitTrans();
}

QString categoryRef(int k) {
    return language::refs::categorySubQuery(k % 3, QString::number(categoryId(k)));
}
QString variantRef(int k) {
    return language::refs::variantSubQuery(variantCode(k));
}

// A stored formula (SQL form) of about `length` characters: statements over dictionary
// variables, with the given category and variant references spread over it.
QString sqlFormula(int length, int categories, int variants, unsigned seed) {
    std::mt19937 rng(seed);
    const auto& entries = language::Dictionary::entries();
    auto variable = [&] { return entries[std::uniform_int_distribution<int>(0, 136)(rng)].variable; };
    QStringList refs;
    for (int k = 1; k <= categories; ++k)
        refs << categoryRef(k) + QStringLiteral(" = 'A'");
    for (int k = 1; k <= variants; ++k)
        refs << variantRef(k) + QStringLiteral(" = 'B'");
    std::shuffle(refs.begin(), refs.end(), rng);
    const QString refHead = QStringLiteral("IF ");
    const QString refTail = QStringLiteral(" SET @OUTSC1PERC = 5\r\n");
    qsizetype refsLength = 0;
    for (const QString& r : refs)
        refsLength += refHead.size() + r.size() + refTail.size();
    const qsizetype fillerPerRef = std::max<qsizetype>(0, (length - refsLength) / (refs.size() + 1));

    // Filler lines are added only while they fit, so every reference is in the formula and the
    // last one is followed by filler padded to the exact length.
    QString text;
    auto filler = [&](qsizetype target) {
        const qsizetype end = text.size() + target;
        for (;;) {
            const QString line = QStringLiteral("SET ") + variable() + QStringLiteral(" = ") + variable() +
                                 QStringLiteral(" + ") + variable() + QStringLiteral(" * 2 -- ricalcolo\r\n");
            if (text.size() + line.size() > end)
                break;
            text += line;
        }
    };
    for (const QString& r : refs) {
        filler(fillerPerRef);
        text += refHead + r + refTail;
    }
    filler(length - text.size());
    if (text.size() + 3 <= length)
        text += QStringLiteral("-- ") + QString(length - text.size() - 3, u'=');
    else if (text.size() < length)
        text += QString(length - text.size(), u' ');
    return text;
}

// Number of sub-queries of each kind in a stored formula.
std::pair<qsizetype, qsizetype> referenceCount(const QString& sql) {
    return {sql.count(QString::fromUtf16(language::refs::CategoryMarker)),
            sql.count(QString::fromUtf16(language::refs::VariantMarker))};
}

struct Timing {
    double seconds = 0; // median of the repetitions
    double first = 0;   // the first repetition, before the engine has seen the statements
    qint64 statements = 0;
    QString output;
};

template <typename F> Timing measure(ado::Connection& conn, int repetitions, F&& f) {
    Timing t;
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        const qint64 before = conn.statementCount();
        const auto start = std::chrono::steady_clock::now();
        QString out = f();
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(out);
        times.push_back(std::chrono::duration<double>(stop - start).count());
        if (r == 0)
            t.first = times.back();
        t.statements = conn.statementCount() - before;
        t.output = std::move(out);
    }
    std::sort(times.begin(), times.end());
    t.seconds = times[times.size() / 2];
    return t;
}

bool compare(const char* name, ado::Connection& conn, language::FormulaLanguage& lang,
             const language::Services& services, const QString& input, bool toSql, int repetitions,
             double maxMilliseconds, double minRatio) {
    const Timing ours = measure(
        conn, repetitions, [&] { return toSql ? lang.decodeToken(input, false) : lang.encodeToken(input); });
    const Timing plain = measure(conn, 1, [&] {
        return toSql ? transcription::decodeToken(services, input, false)
                     : transcription::encodeToken(services, input);
    });
    const bool identical = ours.output == plain.output;
    const double ratio = plain.seconds / ours.seconds;
    std::printf("%-34s in %6lld out %6lld chars | ours %9.3f ms (first %.3f) %6lld stmts | transcription "
                "%10.3f ms %7lld stmts | ratio %8.1fx | %s\n",
                name, static_cast<long long>(input.size()), static_cast<long long>(ours.output.size()),
                ours.seconds * 1e3, ours.first * 1e3, static_cast<long long>(ours.statements),
                plain.seconds * 1e3, static_cast<long long>(plain.statements), ratio,
                identical ? "identical" : "DIFFERENT");
    bool ok = identical;
    if (maxMilliseconds > 0 && ours.seconds * 1e3 >= maxMilliseconds) {
        std::printf("  target missed: %.3f ms, wanted under %.3f ms\n", ours.seconds * 1e3, maxMilliseconds);
        ok = false;
    }
    if (minRatio > 0 && ratio < minRatio) {
        std::printf("  target missed: ratio %.1fx, wanted at least %.0fx\n", ratio, minRatio);
        ok = false;
    }
    return ok;
}

// How much of a translation's time its look-up statements take: the translations are bound by
// the statements once the text work is small.
void statementShare(const char* name, ado::Connection& conn, const language::Services& services,
                    const QString& input, bool toSql, int repetitions) {
    double spent = 0;
    language::Services timed = services;
    timed.execute = [&](const QString& statement) {
        const auto start = std::chrono::steady_clock::now();
        auto rs = conn.Execute(statement);
        spent += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return rs;
    };
    language::FormulaLanguage lang(timed);
    std::vector<std::pair<double, double>> runs; // total, statements
    for (int r = 0; r < repetitions; ++r) {
        spent = 0;
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(toSql ? lang.decodeToken(input, false) : lang.encodeToken(input));
        runs.emplace_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                          spent);
    }
    std::sort(runs.begin(), runs.end());
    const auto [total, statements] = runs[runs.size() / 2];
    std::printf("%-34s ours %.3f ms, of which look-up statements %.3f ms\n", name, total * 1e3,
                statements * 1e3);
}

} // namespace

int main(int argc, char** argv) {
    // glibc gives memory back to the system whenever 128 KiB lie free at the top of the heap,
    // and SQLite allocates and frees about 86 KiB of pages for each IN list it sorts: a loop of
    // translations would then pay page faults and TLB flushes in every repetition, which a host
    // that has run for a while does not (glibc raises the threshold itself once it has freed a
    // large block). The threshold is raised up front, for both sides of every comparison.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    // Both sides of a comparison run on the same processor: the virtual machines this runs on
    // may give their processors different speeds.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof(one), &one);
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString cs = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("bench.sqlite")));
    ado::setup::initialize(cs, false);
    ado::Connection conn;
    conn.Open(cs);
    fill(conn);

    core::FunctionServices host({.connection = [&conn] { return &conn; },
                                 .errorAnswer =
                                     [](const QString& procedure, const core::ErrorInfo& e) {
                                         std::printf("error in %s: %d %s\n", qPrintable(procedure), e.number,
                                                     qPrintable(e.description));
                                         return 3;
                                     }});
    const language::Services services{&host, {}};
    language::FormulaLanguage lang(services);

    {
        const QString statement = language::refs::categoryIdStatement(categoryCode(7));
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 200; ++i)
            conn.Execute(statement);
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        std::printf("one look-up statement on the embedded database: %.1f us\n", us / 200);
    }

    bool ok = true;
    // (a) a typical formula: three categories and two variants in about 2,000 characters.
    const QString typicalSql = sqlFormula(2000, 3, 2, 7);
    const QString typicalDisplay = lang.encodeToken(typicalSql);
    ok &= compare("(a) 2,000 chars, display to SQL", conn, lang, services, typicalDisplay, true, 51, 1.0, 0);
    ok &= compare("(a) 2,000 chars, SQL to display", conn, lang, services, typicalSql, false, 51, 1.0, 0);

    // (b) 30,000 characters of SQL form with 50 category and 50 variant references.
    const QString bigSql = sqlFormula(30000, kCategories, kVariants, 11);
    const auto [categories, variants] = referenceCount(bigSql);
    std::printf("(b) formula: %lld chars, %lld category and %lld variant references\n",
                static_cast<long long>(bigSql.size()), static_cast<long long>(categories),
                static_cast<long long>(variants));
    if (bigSql.size() != 30000 || categories != kCategories || variants != kVariants) {
        std::printf("  generator: wanted 30000 chars, %d and %d references\n", kCategories, kVariants);
        ok = false;
    }
    const QString bigDisplay = lang.encodeToken(bigSql);
    ok &= compare("(b) 30,000 chars, display to SQL", conn, lang, services, bigDisplay, true, 11, 0, 100);
    ok &= compare("(b) 30,000 chars, SQL to display", conn, lang, services, bigSql, false, 11, 0, 100);
    statementShare("(b) 30,000 chars, SQL to display", conn, services, bigSql, false, 11);

    // The round trip itself.
    if (lang.decodeToken(bigDisplay, false) != bigSql ||
        lang.decodeToken(typicalDisplay, false) != typicalSql) {
        std::printf("round trip: DIFFERENT\n");
        ok = false;
    }
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
