// The functions that describe the server, the database and the session: SERVERPROPERTY,
// @@VERSION's text, DB_NAME, DB_ID, SUSER_NAME, SUSER_SNAME, USER_NAME, SCHEMA_NAME, SCHEMA_ID and
// OBJECT_NAME, answered from the catalogue of the batch ("Metadata Functions (Transact-SQL)",
// "SERVERPROPERTY (Transact-SQL)").

#include "tsql/functions/BuiltinFunctions.h"

#include <QHash>

#include <array>

namespace tsql {

namespace {

// The databases every server has, with their ids; the database of the file is the fifth.
constexpr std::array<const char*, 4> kSystemDatabases = {"master", "tempdb", "model", "msdb"};

// The schemas of a database and their ids ("sys.schemas"): dbo 1, guest 2, INFORMATION_SCHEMA 3,
// sys 4.
constexpr std::array<const char*, 4> kSchemas = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};

QString releaseYear(int major) {
    switch (major) {
    case 15:
        return QStringLiteral("2019");
    case 16:
        return QStringLiteral("2022");
    default:
        return QString::number(major);
    }
}

const QString& edition() {
    static const QString text = QStringLiteral("Express Edition (64-bit)");
    return text;
}

} // namespace

QString versionText(const ServerIdentity& server) {
    return QStringLiteral(
               "Microsoft SQL Server %1 (%2) - %3 (X64) \n\tEmbedded T-SQL engine over SQLite \n\t%4 "
               "on Linux <X64>")
        .arg(releaseYear(server.major), server.productLevel, server.productVersion, edition());
}

std::optional<QString> serverProperty(const ServerIdentity& server, const QString& property) {
    const QStringList version = server.productVersion.split(u'.');
    const QHash<QString, QString> properties = {
        {QStringLiteral("PRODUCTVERSION"), server.productVersion},
        {QStringLiteral("PRODUCTLEVEL"), server.productLevel},
        {QStringLiteral("PRODUCTMAJORVERSION"), version.value(0)},
        {QStringLiteral("PRODUCTMINORVERSION"), version.value(1)},
        {QStringLiteral("PRODUCTBUILD"), version.value(2)},
        {QStringLiteral("EDITION"), edition()},
        {QStringLiteral("EDITIONID"), QStringLiteral("-1592396055")},
        {QStringLiteral("ENGINEEDITION"), QStringLiteral("4")},
        {QStringLiteral("SERVERNAME"), server.serverName},
        {QStringLiteral("MACHINENAME"), server.serverName},
        {QStringLiteral("COLLATION"), QStringLiteral("SQL_Latin1_General_CP1_CI_AS")},
        {QStringLiteral("LCID"), QStringLiteral("1033")},
        {QStringLiteral("ISINTEGRATEDSECURITYONLY"), QStringLiteral("0")},
        {QStringLiteral("ISSINGLEUSER"), QStringLiteral("0")},
        {QStringLiteral("ISCLUSTERED"), QStringLiteral("0")},
        {QStringLiteral("ISFULLTEXTINSTALLED"), QStringLiteral("0")},
        {QStringLiteral("ISHADRENABLED"), QStringLiteral("0")},
        {QStringLiteral("ISXTPSUPPORTED"), QStringLiteral("0")},
        {QStringLiteral("ISPOLYBASEINSTALLED"), QStringLiteral("0")},
        {QStringLiteral("ISADVANCEDANALYTICSINSTALLED"), QStringLiteral("0")},
    };
    const auto it = properties.constFind(property.trimmed().toUpper());
    if (it == properties.constEnd())
        return std::nullopt;
    return *it;
}

namespace builtin {

namespace {

Value nameOut(const std::optional<QString>& name, const SqlType& type) {
    return name ? textOut(*name, type) : Value::nullOf(type);
}

// The ids of the databases: master 1, tempdb 2, model 3, msdb 4, the file's 5 (none for a
// database in memory, which is master).
std::optional<QString> databaseOfId(qint64 id, const QString& current) {
    if (id >= 1 && id <= qint64(kSystemDatabases.size()))
        return QString::fromLatin1(kSystemDatabases[std::size_t(id - 1)]);
    if (id == qint64(kSystemDatabases.size()) + 1 && current.compare(u"master", Qt::CaseInsensitive) != 0)
        return current;
    return std::nullopt;
}

} // namespace

Value serverPropertyValue(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (!catalog)
        return Value::nullOf(type);
    return nameOut(serverProperty(catalog->server(), asText(a[0])), type);
}

// DB_NAME([database_id]): the current database without an argument.
Value dbName(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (!catalog)
        return Value::nullOf(type);
    if (a.empty())
        return textOut(catalog->databaseName(), type);
    return nameOut(databaseOfId(asInt(a[0]), catalog->databaseName()), type);
}

// DB_ID(['database_name']): the current database's id without an argument.
Value dbId(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (!catalog)
        return Value::nullOf(type);
    const QString current = catalog->databaseName();
    const QString name = a.empty() ? current : asText(a[0]).trimmed();
    for (qint64 id = 1; id <= qint64(kSystemDatabases.size()) + 1; ++id) {
        const auto db = databaseOfId(id, current);
        if (db && db->compare(name, Qt::CaseInsensitive) == 0)
            return Value::integer(id, TypeId::SmallInt);
    }
    return Value::nullOf(type);
}

// SUSER_NAME() and SUSER_SNAME(): the login of the session. With an argument (a login's id or
// sid), the session's own login for id 1 is not what the server answers: only the session's
// login, for none.
Value loginName(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (!catalog || !a.empty())
        return Value::nullOf(type);
    return textOut(catalog->server().login, type);
}

// USER_NAME([id]): the session's login is the database's owner, dbo (user id 1).
Value userName(const FunctionDef&, const Args& a, const SqlType& type) {
    if (!a.empty() && asInt(a[0]) != 1)
        return Value::nullOf(type);
    return textOut(QStringLiteral("dbo"), type);
}

// SCHEMA_NAME([schema_id]): dbo, the default schema of the session, without an argument.
Value schemaName(const FunctionDef&, const Args& a, const SqlType& type) {
    const qint64 id = a.empty() ? 1 : asInt(a[0]);
    if (id < 1 || id > qint64(kSchemas.size()))
        return Value::nullOf(type);
    return textOut(QString::fromLatin1(kSchemas[std::size_t(id - 1)]), type);
}

// SCHEMA_ID(['schema_name']).
Value schemaId(const FunctionDef&, const Args& a, const SqlType& type) {
    if (a.empty())
        return Value::integer(1);
    const QString name = asText(a[0]).trimmed();
    for (std::size_t k = 0; k < kSchemas.size(); ++k)
        if (name.compare(QLatin1String(kSchemas[k]), Qt::CaseInsensitive) == 0)
            return Value::integer(qint64(k) + 1);
    return Value::nullOf(type);
}

// OBJECT_NAME(object_id [, database_id]): a table or view of the current database.
Value objectName(const FunctionDef&, const Args& a, const SqlType& type) {
    ObjectCatalog* catalog = currentCatalog();
    if (!catalog)
        return Value::nullOf(type);
    if (a.size() > 1) {
        const auto db = databaseOfId(asInt(a[1]), catalog->databaseName());
        if (!db || db->compare(catalog->databaseName(), Qt::CaseInsensitive) != 0)
            return Value::nullOf(type);
    }
    return nameOut(catalog->objectName(asInt(a[0])), type);
}

} // namespace builtin

bool readsCatalog(const FunctionDef& f) {
    static const QStringList names = {QStringLiteral("OBJECT_ID"),     QStringLiteral("OBJECT_NAME"),
                                      QStringLiteral("DB_NAME"),       QStringLiteral("DB_ID"),
                                      QStringLiteral("SUSER_NAME"),    QStringLiteral("SUSER_SNAME"),
                                      QStringLiteral("SERVERPROPERTY")};
    return names.contains(QLatin1String(f.name));
}

} // namespace tsql
