#include "tsql/DatabaseFile.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace tsql {

namespace {

std::optional<QString> openAndRead(QSqlDatabase& db, const QString& path) {
    if (!db.isValid())
        return QStringLiteral("The SQLite driver QSQLITE is not available");
    db.setDatabaseName(path);
    if (!db.open())
        return db.lastError().text();
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return probe.lastError().text();
    return std::nullopt;
}

} // namespace

std::optional<QString> openDatabaseFile(const QString& name, const QString& path) {
    std::optional<QString> failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        failure = openAndRead(db, path);
        if (!failure)
            return std::nullopt;
    }
    closeDatabase(name);
    return failure;
}

void closeDatabase(const QString& name) {
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace tsql
