#include "ado/Setup.h"

#include "ado/Ado.h"
#include "ado/Backends.h"
#include "tables/Schema.h"
#include "tsql/sql/SqliteFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace ado::setup {

namespace {

const QString SetupSource = QStringLiteral("formule setup");

[[noreturn]] void fail(SetupError::Kind kind, qint32 number, const QString& description) {
    throw SetupError(kind, core::ComError(number, description, SetupSource));
}

QString refusal(const QString& table) {
    return QStringLiteral("The database already holds rows (table %1): the demo rows are not loaded, "
                          "to keep what is there")
        .arg(table);
}

// Runs the setup on a SQLite file directly: the schema script is SQLite's own DDL, which the
// T-SQL front end of the embedded provider need not understand.
InitReport initializeEmbedded(const ConnectionString& cs, bool demo) {
    InitReport report;
    const QString path = cs.firstOf(keys::DataSource);
    if (path.trimmed().isEmpty())
        fail(SetupError::Kind::Connection, core::err::ConnectionFailed,
             QStringLiteral("Provider=Embedded needs the Data Source key (the database file)"));
    const QFileInfo info(path);
    if (info.isDir())
        fail(SetupError::Kind::Connection, core::err::ConnectionFailed,
             QStringLiteral("\"%1\" is a directory, not a database file (key Data Source)").arg(path));
    QStringList createdDirs;
    if (!info.exists()) {
        const QDir dir = info.absoluteDir();
        if (!dir.exists() && !QDir().mkpath(dir.absolutePath()))
            fail(SetupError::Kind::Connection, core::err::ConnectionFailed,
                 QStringLiteral("The folder \"%1\" cannot be created (key Data Source)")
                     .arg(dir.absolutePath()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            fail(SetupError::Kind::Connection, core::err::ConnectionFailed,
                 QStringLiteral("The database file \"%1\" cannot be created (key Data Source): %2")
                     .arg(path, file.errorString()));
        file.close();
        report.fileCreated = true;
    }

    const QString name = detail::uniqueConnectionName();
    QString error;
    SetupError::Kind kind = SetupError::Kind::Failed;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        const bool opened = db.open();
        // The schema's indexes are declared with the engine's collation.
        if (opened)
            tsql::registerSqliteFunctions(db);
        QSqlQuery q(db);
        if (!opened || !q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
            kind = SetupError::Kind::Connection;
            error = QStringLiteral("\"%1\" cannot be opened as a database (key Data Source): %2")
                        .arg(path, opened ? q.lastError().text() : db.lastError().text());
        } else {
            QStringList existing;
            while (q.next())
                existing << q.value(0).toString().toUpper();
            q.finish();
            for (const QString& table : tables::tableNames()) {
                if (!existing.contains(table))
                    report.tablesCreated << table;
            }
            if (demo) {
                for (const QString& table : tables::tableNames()) {
                    if (report.tablesCreated.contains(table))
                        continue;
                    if (q.exec(tables::sqliteAnyRowStatement(table)) && q.next()) {
                        kind = SetupError::Kind::Refused;
                        error = refusal(table);
                        break;
                    }
                }
            }
            // Write-ahead logging: a reader takes no file lock of its own for each statement
            // and does not wait for a writer. The mode stays with the file.
            if (error.isEmpty() && !q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                error = QStringLiteral("The database file \"%1\" cannot be written: %2")
                            .arg(path, q.lastError().text());
            q.finish();
            if (error.isEmpty() && db.transaction()) {
                QStringList statements = splitStatements(schemaScript(Dialect::Sqlite));
                const qsizetype schemaCount = statements.size();
                if (demo)
                    statements += splitStatements(demoDataScript());
                for (qsizetype i = 0; i < statements.size(); ++i) {
                    if (!q.exec(statements.at(i))) {
                        error = QStringLiteral("Statement %1 of %2 failed: %3")
                                    .arg(i < schemaCount ? QStringLiteral("schema-sqlite.sql")
                                                         : QStringLiteral("demo-data.sql"))
                                    .arg(i < schemaCount ? i + 1 : i - schemaCount + 1)
                                    .arg(q.lastError().text());
                        break;
                    }
                    if (i >= schemaCount)
                        report.demoRows += qMax(0, q.numRowsAffected());
                }
                q.finish();
                if (error.isEmpty() && !db.commit())
                    error = QStringLiteral("The database file \"%1\" cannot be written: %2")
                                .arg(path, db.lastError().text());
                if (!error.isEmpty())
                    db.rollback();
            } else if (error.isEmpty()) {
                error = QStringLiteral("The database file \"%1\" cannot be written: %2")
                            .arg(path, db.lastError().text());
            }
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty()) {
        if (report.fileCreated)
            QFile::remove(path);
        fail(kind,
             kind == SetupError::Kind::Refused ? core::err::InvalidProcedureCall
                                               : core::err::ConnectionFailed,
             error);
    }
    return report;
}

InitReport initializeSqlServer(const QString& connectionString, bool demo) {
    InitReport report;
    Connection conn;
    try {
        conn.Open(connectionString);
    } catch (const core::ComError& e) {
        throw SetupError(SetupError::Kind::Connection, e);
    }
    auto scalar = [&](const QString& sql) {
        RecordsetPtr rs = conn.Execute(sql);
        return rs->IsOpen() && !rs->IsEOF() ? rs->GetFields().Item(0).Value() : core::Variant::null();
    };
    try {
        for (const QString& table : tables::tableNames()) {
            if (scalar(tables::sqlServerTableIdStatement(table)).isNull())
                report.tablesCreated << table;
        }
        if (demo) {
            for (const QString& table : tables::tableNames()) {
                if (report.tablesCreated.contains(table))
                    continue;
                if (!scalar(tables::sqlServerAnyRowStatement(table)).isNull())
                    fail(SetupError::Kind::Refused, core::err::InvalidProcedureCall, refusal(table));
            }
        }
    } catch (const SetupError&) {
        throw;
    } catch (const core::ComError& e) {
        throw SetupError(SetupError::Kind::Failed, e);
    }
    QStringList statements = splitStatements(schemaScript(Dialect::SqlServer));
    const qsizetype schemaCount = statements.size();
    if (demo)
        statements += splitStatements(demoDataScript());
    conn.BeginTrans();
    try {
        for (qsizetype i = 0; i < statements.size(); ++i) {
            core::Variant affected;
            conn.Execute(statements.at(i), &affected);
            if (i >= schemaCount)
                report.demoRows += qMax(0, affected.toInt32());
        }
        conn.CommitTrans();
    } catch (const core::ComError& e) {
        try {
            conn.RollbackTrans();
        } catch (const core::ComError&) {
            // The server may have rolled back already.
        }
        throw SetupError(SetupError::Kind::Failed, e);
    }
    return report;
}

} // namespace

QString script(const QString& fileName) {
    QFile file(QStringLiteral(":/formule/data/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw core::ComError(core::err::InvalidProcedureCall,
                             QStringLiteral("The script %1 is missing from this build").arg(fileName),
                             SetupSource);
    return QString::fromUtf8(file.readAll());
}

QString schemaScript(Dialect dialect) {
    return script(dialect == Dialect::Sqlite ? QStringLiteral("schema-sqlite.sql")
                                             : QStringLiteral("schema-sqlserver.sql"));
}

QString demoDataScript() {
    return script(QStringLiteral("demo-data.sql"));
}

QStringList splitStatements(const QString& text) {
    QStringList statements;
    QString current;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\'') {
            // A string literal, with '' standing for one apostrophe.
            const qsizetype start = i++;
            while (i < n) {
                if (text.at(i) == u'\'') {
                    if (i + 1 < n && text.at(i + 1) == u'\'') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            current += text.mid(start, qMin(i, n - 1) - start + 1);
        } else if (c == u'-' && i + 1 < n && text.at(i + 1) == u'-') {
            while (i < n && text.at(i) != u'\n')
                ++i;
            current += u'\n';
        } else if (c == u';') {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QString defaultDatabasePath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("formule/demo.sqlite"));
}

QString embeddedConnectionString(const QString& path) {
    QString value = path;
    if (value.contains(u';') || value.contains(u'"') || value.contains(u'\'') || value != value.trimmed()) {
        value.replace(u'"', QStringLiteral("\"\""));
        value = u'"' + value + u'"';
    }
    return QStringLiteral("Provider=Embedded;Data Source=") + value;
}

InitReport initialize(const QString& connectionString, bool demo) {
    ConnectionString cs;
    ProviderKind kind;
    try {
        cs = ConnectionString::parse(connectionString);
        kind = providerKind(cs);
    } catch (const core::ComError& e) {
        throw SetupError(SetupError::Kind::Connection, e);
    }
    if (kind == ProviderKind::Embedded)
        return initializeEmbedded(cs, demo);
    return initializeSqlServer(connectionString, demo);
}

} // namespace ado::setup
