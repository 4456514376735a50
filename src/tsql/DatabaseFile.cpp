#include "tsql/DatabaseFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sys/statvfs.h>

namespace tsql {

namespace {

std::optional<QString> openAndRead(QSqlDatabase& db, const QString& path, const QString& options) {
    if (!db.isValid())
        return QStringLiteral("The SQLite driver QSQLITE is not available");
    db.setConnectOptions(options);
    db.setDatabaseName(path);
    if (!db.open())
        return db.lastError().text();
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return probe.lastError().text();
    return std::nullopt;
}

bool onReadOnlyFileSystem(const QString& path) {
    struct statvfs fs {};
    return statvfs(QFile::encodeName(path).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
}

// Whether a write-ahead log beside the database holds pages the file does not.
bool hasPendingLog(const QString& path) {
    const QFileInfo log(path + QStringLiteral("-wal"));
    return log.exists() && log.size() > 0;
}

} // namespace

std::optional<QString> openDatabaseFile(const QString& name, const QString& path, bool readOnly) {
    std::optional<QString> failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        failure = openAndRead(db, path, readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
        if (!failure)
            return std::nullopt;
        if (onReadOnlyFileSystem(path) && !hasPendingLog(path)) {
            db.close();
            QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
            uri.setScheme(QStringLiteral("file"));
            uri.setQuery(QStringLiteral("immutable=1"));
            if (!openAndRead(db, uri.toString(QUrl::FullyEncoded),
                             QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI")))
                return std::nullopt;
        }
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
