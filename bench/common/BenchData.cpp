#include "BenchData.h"

#include "ado/Setup.h"
#include "core/Error.h"
#include "tsql/sql/SqliteFunctions.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>

namespace bench {

int categoryId(int k) {
    return 100000 + k;
}

QString categoryCode(int k) {
    return QStringLiteral("B%1").arg(k, 6, 10, QLatin1Char('0'));
}

QString variantCode(int k) {
    return QStringLiteral("W%1").arg(k, 6, 10, QLatin1Char('0'));
}

namespace {

bool fillTables(const QString& path, int categories, int variants) {
    const QString name = QStringLiteral("bench-fill");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            tsql::registerSqliteFunctions(db); // the indexes use the engine's collation
            db.transaction();
            QSqlQuery q(db);
            ok = q.prepare(
                QStringLiteral("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, "
                               "CM01_CODICE, CM01_DESCR, CM01_INDTIPODATO) VALUES (?, 1, ?, ?, ?)"));
            for (int k = 1; ok && k <= categories; ++k) {
                q.addBindValue(categoryId(k));
                q.addBindValue(categoryCode(k));
                q.addBindValue(QStringLiteral("Categoria di prova %1").arg(k));
                q.addBindValue(k % 3);
                ok = q.exec();
            }
            ok = ok && q.prepare(QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, "
                                                "MG5F_DESCR_VAR) VALUES (1, ?, ?)"));
            for (int k = 1; ok && k <= variants; ++k) {
                q.addBindValue(variantCode(k));
                q.addBindValue(QStringLiteral("Variante di prova %1").arg(k));
                ok = q.exec();
            }
            if (!ok)
                std::fprintf(stderr, "bench: cannot fill %s: %s\n", qPrintable(path),
                             qPrintable(q.lastError().text()));
            q.finish();
            ok = ok && db.commit();
            // BENCH_NO_INDEXES: the database as it was before the code indexes, for comparison.
            if (qEnvironmentVariableIsSet("BENCH_NO_INDEXES")) {
                for (const char* index : {"IX_CM01_CODICE_CI", "IX_CM01_DITTA_CODICE_CI",
                                          "IX_MG5F_CODICEVAR_CI", "IX_MG5F_DITTA_CODICEVAR_CI"})
                    q.exec(QStringLiteral("DROP INDEX IF EXISTS ") + QLatin1String(index));
            }
            q.exec(QStringLiteral("ANALYZE"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

QString makeDatabase(const QString& path, int categories, int variants) {
    const QString cs = ado::setup::embeddedConnectionString(path);
    if (QFile::exists(path))
        return cs;
    try {
        ado::setup::initialize(cs, true);
    } catch (const core::ComError& e) {
        std::fprintf(stderr, "bench: cannot create %s: %s\n", qPrintable(path), e.what());
        return {};
    }
    return fillTables(path, categories, variants) ? cs : QString();
}

namespace {

double statusMegabytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

double residentMegabytes() {
    return statusMegabytes("VmRSS:");
}

double peakResidentMegabytes() {
    return statusMegabytes("VmHWM:");
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
