#include "ado/Backends.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

#include <optional>

namespace ado {

namespace {

const QString SqlServerSource = QStringLiteral("SQL Server");

// Diagnostic fields SQL Server drivers add to each record.
constexpr SQLSMALLINT DiagMsgState = -1150;
constexpr SQLSMALLINT DiagSeverity = -1151;
constexpr SQLSMALLINT DiagLine = -1154;

[[noreturn]] void raiseKey(const QString& description) {
    throw core::ComError(core::err::ConnectionFailed, description, QStringLiteral("ADODB.Connection"));
}

// An ODBC attribute value, in braces when it holds characters the attribute syntax uses.
QString odbcValue(const QString& v) {
    static const QRegularExpression special(QStringLiteral("[;{}=]|^\\s|\\s$"));
    if (!v.contains(special))
        return v;
    QString escaped = v;
    escaped.replace(u'}', QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

// Boolean-like connection-string values; nullopt when the value is none of them.
std::optional<bool> yesNo(const QString& value, const QStringList& yes, const QStringList& no) {
    const QString v = value.trimmed().toLower();
    if (yes.contains(v))
        return true;
    if (no.contains(v))
        return false;
    return std::nullopt;
}

} // namespace

ProviderKind providerKind(const ConnectionString& cs) {
    if (!cs.contains(QStringLiteral("provider")))
        throw core::ComError(core::err::ProviderNotFound,
                             QStringLiteral("The connection string has no Provider key "
                                            "(use Provider=Embedded, MSOLEDBSQL or SQLOLEDB)"),
                             QStringLiteral("ADODB.Connection"));
    const QString provider = cs.value(QStringLiteral("provider"));
    static const QRegularExpression versioned(QStringLiteral("^([a-z]+)(\\.\\d+)?$"));
    const auto m = versioned.match(provider.trimmed().toLower());
    const QString name = m.hasMatch() ? m.captured(1) : QString();
    if (name == QLatin1String("embedded"))
        return ProviderKind::Embedded;
    if (name == QLatin1String("msoledbsql") || name == QLatin1String("sqloledb"))
        return ProviderKind::SqlServer;
    throw core::ComError(core::err::ProviderNotFound,
                         QStringLiteral("Provider \"%1\" cannot be found (key Provider); "
                                        "use Embedded, MSOLEDBSQL or SQLOLEDB")
                             .arg(provider),
                         QStringLiteral("ADODB.Connection"));
}

QString odbcConnectionString(const ConnectionString& cs) {
    const QString provider = cs.value(QStringLiteral("provider")).trimmed();
    const QString dataSource = cs.firstOf(keys::DataSource).trimmed();
    if (dataSource.isEmpty())
        raiseKey(QStringLiteral("Provider=%1 needs the Data Source key (the server: host or host,port)")
                     .arg(provider));
    QString host = dataSource;
    QString port;
    const qsizetype comma = dataSource.indexOf(u',');
    if (comma >= 0) {
        host = dataSource.left(comma).trimmed();
        port = dataSource.mid(comma + 1).trimmed();
        bool ok = false;
        const int n = port.toInt(&ok);
        if (!ok || n < 1 || n > 65535)
            raiseKey(QStringLiteral("Data Source \"%1\": the port after ',' is not a number from 1 to 65535 "
                                    "(key Data Source)")
                         .arg(dataSource));
        port = QString::number(n);
    }
    if (host.startsWith(QLatin1String("tcp:"), Qt::CaseInsensitive))
        host = host.mid(4);
    if (host.isEmpty())
        raiseKey(QStringLiteral("Data Source \"%1\" names no host (key Data Source)").arg(dataSource));
    if (host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("localhost");
    const bool namedInstance = host.contains(u'\\');
    if (port.isEmpty() && !namedInstance)
        port = QStringLiteral("1433");

    QStringList parts;
    parts << QStringLiteral("DRIVER={FreeTDS}") << QStringLiteral("SERVER=") + odbcValue(host);
    if (!port.isEmpty())
        parts << QStringLiteral("PORT=") + port;
    const QString catalog = cs.firstOf(keys::InitialCatalog).trimmed();
    if (!catalog.isEmpty())
        parts << QStringLiteral("DATABASE=") + odbcValue(catalog);

    bool integrated = false;
    if (!cs.keyOf(keys::IntegratedSecurity).isEmpty()) {
        const QString value = cs.firstOf(keys::IntegratedSecurity);
        const auto flag =
            yesNo(value, {QStringLiteral("sspi"), QStringLiteral("true"), QStringLiteral("yes")},
                  {QStringLiteral("false"), QStringLiteral("no")});
        if (!flag)
            raiseKey(QStringLiteral("Integrated Security \"%1\" is not one of SSPI, True, Yes, False, No "
                                    "(key Integrated Security)")
                         .arg(value));
        integrated = *flag;
    }
    if (integrated) {
        parts << QStringLiteral("Trusted_Connection=Yes");
    } else {
        const QString user = cs.firstOf(keys::UserId);
        if (user.isEmpty())
            raiseKey(QStringLiteral("Provider=%1 needs the User ID key (or Integrated Security=SSPI)")
                         .arg(provider));
        parts << QStringLiteral("UID=") + odbcValue(user)
              << QStringLiteral("PWD=") + odbcValue(cs.firstOf(keys::Password));
    }
    if (!cs.keyOf(keys::Encrypt).isEmpty()) {
        const QString value = cs.firstOf(keys::Encrypt);
        const auto flag = yesNo(value,
                                {QStringLiteral("yes"), QStringLiteral("true"), QStringLiteral("mandatory"),
                                 QStringLiteral("strict")},
                                {QStringLiteral("no"), QStringLiteral("false"), QStringLiteral("optional")});
        if (!flag)
            raiseKey(QStringLiteral(
                         "Encrypt \"%1\" is not one of Yes, No, True, False, Mandatory, Optional, Strict "
                         "(key Encrypt)")
                         .arg(value));
        if (*flag)
            parts << QStringLiteral("Encryption=require");
    }
    parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    return parts.join(u';');
}

QList<Error> parseDiagnosticText(const QString& text, const QString& sqlState, int nativeError) {
    static const QRegularExpression prefix(
        QStringLiteral("(?:^|\\s)((?:\\[(?:FreeTDS|unixODBC|Microsoft|iODBC)\\])(?:\\[[^\\]]*\\])*)"));
    QList<Error> errors;
    QList<QRegularExpressionMatch> matches;
    for (auto it = prefix.globalMatch(text); it.hasNext();)
        matches.append(it.next());
    auto make = [&](const QString& source, const QString& message) {
        Error e;
        e.number = core::err::ProviderError;
        e.description = message.trimmed();
        e.source = source;
        e.sqlState = sqlState;
        e.nativeError = nativeError;
        errors.append(e);
    };
    if (matches.isEmpty()) {
        if (!text.trimmed().isEmpty())
            make(QString(), text);
        return errors;
    }
    if (matches.first().capturedStart(1) > 0 &&
        !text.left(matches.first().capturedStart(1)).trimmed().isEmpty())
        make(QString(), text.left(matches.first().capturedStart(1)));
    for (qsizetype i = 0; i < matches.size(); ++i) {
        const qsizetype start = matches.at(i).capturedEnd(1);
        const qsizetype end = i + 1 < matches.size() ? matches.at(i + 1).capturedStart(0) : text.size();
        make(matches.at(i).captured(1), text.mid(start, end - start));
    }
    // Only the last record's native error is known from the text.
    for (qsizetype i = 0; i + 1 < errors.size(); ++i)
        errors[i].nativeError = 0;
    return errors;
}

namespace detail {

namespace {

// The driver's statement handle behind a query. QtSql hands it over as a void pointer (the
// typedef SQLHANDLE is not a type name of its own to the meta-type system).
SQLHANDLE statementHandle(const QSqlQuery& q) {
    const QVariant handle = q.result() ? q.result()->handle() : QVariant();
    if (handle.isValid() &&
        (handle.metaType().id() == QMetaType::VoidStar || qstrcmp(handle.typeName(), "SQLHANDLE") == 0))
        return *static_cast<const SQLHANDLE*>(handle.constData());
    return nullptr;
}

// One of SQL Server's fixed-size fields of a diagnostic record; nullopt when the driver does not
// report it. The buffer length is the value's size: FreeTDS's driver refuses every negative length
// (SQL_IS_INTEGER, SQL_IS_USMALLINT) before it looks at the field asked for, and the driver
// manager hands the length over as it is.
template <typename T>
std::optional<T> serverField(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record,
                             SQLSMALLINT identifier) {
    T value = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagFieldW(handleType, handle, record, identifier, &value,
                                        static_cast<SQLSMALLINT>(sizeof value), nullptr)))
        return std::nullopt;
    return value;
}

// Level, state and line of a server message. A driver that reports the severity field fills the
// fields as SQL Server's documentation has them. FreeTDS's driver (1.3) reports no severity and
// keeps the message's class where the state belongs, so there the level is that field and the
// state is unknown (0). Either driver reports the line, the message's line in the batch, 0 for
// none.
void readServerFields(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record, Error& e) {
    const auto severity = serverField<SQLINTEGER>(handleType, handle, record, DiagSeverity);
    const auto msgState = serverField<SQLINTEGER>(handleType, handle, record, DiagMsgState);
    if (severity) {
        e.severity = *severity;
        e.state = msgState.value_or(0);
    } else {
        e.severity = msgState.value_or(0);
        e.state = 0;
    }
    e.line = serverField<SQLUSMALLINT>(handleType, handle, record, DiagLine).value_or(0);
}

// Reads every diagnostic record of an ODBC handle: state, native error, message and the
// SQL Server fields (level, state, line) the driver reports.
QList<Error> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    // The wide call: the driver hands the message over in UTF-16 whatever the client's character
    // set, so a server message keeps its accents (the narrow call converts to the locale's).
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");
    const auto text16 = [](const SQLWCHAR* text, qsizetype length) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
    };
    QList<Error> errors;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetDiagRecW(handleType, handle, record, state, &native, nullptr, 0, &length);
        if (r == SQL_NO_DATA || !SQL_SUCCEEDED(r))
            break;
        // The length is in characters; the buffer's size too (SQLGetDiagRecW counts SQLWCHARs).
        QList<SQLWCHAR> buffer(qsizetype(length) + 1, 0);
        r = SQLGetDiagRecW(handleType, handle, record, state, &native, buffer.data(),
                           static_cast<SQLSMALLINT>(buffer.size()), &length);
        if (!SQL_SUCCEEDED(r))
            break;
        const QString text = text16(buffer.constData(), qMin<qsizetype>(length, buffer.size() - 1));
        qsizetype stateLength = 0;
        while (stateLength < SQL_SQLSTATE_SIZE && state[stateLength] != 0)
            ++stateLength;
        QList<Error> parsed = parseDiagnosticText(text, text16(state, stateLength), native);
        if (parsed.isEmpty())
            continue;
        Error e = parsed.last();
        e.nativeError = native;
        readServerFields(handleType, handle, record, e);
        errors.append(e);
    }
    return errors;
}

// The errors of a failed query: the driver's records when its statement handle is at hand,
// else (unless `recordsOnly`) the text QtSql kept.
QList<Error> queryErrors(const QSqlQuery& q, bool recordsOnly = false) {
    if (const SQLHANDLE stmt = statementHandle(q)) {
        QList<Error> errors = readDiagnostics(SQL_HANDLE_STMT, stmt);
        if (!errors.isEmpty() || recordsOnly)
            return errors;
    }
    const QSqlError err = q.lastError();
    QList<Error> errors = parseDiagnosticText(err.databaseText().isEmpty() ? err.text() : err.databaseText(),
                                              {}, err.nativeErrorCode().toInt());
    if (errors.isEmpty()) {
        Error e;
        e.number = core::err::ProviderError;
        e.description = err.text();
        errors.append(e);
    }
    return errors;
}

// A column's value as UTF-16 text, read in pieces of any size: QtSql reads characters through
// the narrow interface when it believes the driver not to be Unicode-capable, and then cuts
// UTF-8 sequences at the column's declared size (N'aè' came back as "a??", longer texts as NULL).
std::optional<QString> readWideText(SQLHANDLE stmt, SQLUSMALLINT column) {
    QString text;
    SQLWCHAR buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN r = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (r == SQL_NO_DATA)
            return text;
        if (!SQL_SUCCEEDED(r))
            return std::nullopt;
        if (indicator == SQL_NULL_DATA)
            return QString();
        const qsizetype room = qsizetype(sizeof buffer / sizeof(SQLWCHAR)) - 1;
        const qsizetype units = indicator == SQL_NO_TOTAL || indicator / qsizetype(sizeof(SQLWCHAR)) > room
                                    ? room
                                    : indicator / qsizetype(sizeof(SQLWCHAR));
        text.append(QStringView(reinterpret_cast<const char16_t*>(buffer), units));
        if (r == SQL_SUCCESS)
            return text;
    }
}

// A fixed-size value of the current row as the C type `cType`; nullopt for NULL or a failed read.
template <typename T> std::optional<T> readFixed(SQLHANDLE stmt, SQLUSMALLINT column, SQLSMALLINT cType) {
    T value{};
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, column, cType, &value, sizeof value, &indicator)) ||
        indicator == SQL_NULL_DATA)
        return std::nullopt;
    return value;
}

// One value of the current row straight from the driver, as QtSql would hand it over.
core::Variant readColumn(SQLHANDLE stmt, SQLUSMALLINT column, SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
        const auto v = readFixed<qint64>(stmt, column, SQL_C_SBIGINT);
        if (!v)
            return core::Variant::null();
        if (sqlType == SQL_BIT)
            return fromSqlValue(QVariant(*v != 0), QMetaType::Bool);
        return fromSqlValue(QVariant(qlonglong(*v)), QMetaType::LongLong);
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: {
        const auto v = readFixed<double>(stmt, column, SQL_C_DOUBLE);
        return v ? fromSqlValue(QVariant(*v), QMetaType::Double) : core::Variant::null();
    }
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATE: {
        const auto read = readFixed<SQL_TIMESTAMP_STRUCT>(stmt, column, SQL_C_TYPE_TIMESTAMP);
        if (!read)
            return core::Variant::null();
        const SQL_TIMESTAMP_STRUCT& ts = *read;
        const QDate date(ts.year, ts.month, ts.day);
        if (sqlType == SQL_TYPE_DATE || sqlType == SQL_DATE)
            return fromSqlValue(QVariant(date), QMetaType::QDate);
        const QTime time(ts.hour, ts.minute, ts.second, int(ts.fraction / 1000000));
        return fromSqlValue(QVariant(QDateTime(date, time)), QMetaType::QDateTime);
    }
    default: {
        const auto text = readWideText(stmt, column);
        if (!text || text->isNull())
            return core::Variant::null();
        // Exact numerics come as text, as under QtSql's high-precision policy.
        const bool exact = sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC;
        return fromSqlValue(QVariant(*text), exact ? QMetaType::Double : QMetaType::QString);
    }
    }
}

core::RowSet readRows(QSqlQuery& q) {
    core::RowSet rs;
    const QSqlRecord rec = q.record();
    const SQLHANDLE stmt = statementHandle(q);
    QList<int> types;
    QList<SQLSMALLINT> sqlTypes;
    for (int i = 0; i < rec.count(); ++i) {
        rs.columns << rec.fieldName(i);
        types << rec.field(i).metaType().id();
        SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
        if (stmt)
            SQLDescribeCol(stmt, SQLUSMALLINT(i + 1), nullptr, 0, nullptr, &sqlType, nullptr, nullptr,
                           nullptr);
        sqlTypes << sqlType;
    }
    while (q.next()) {
        QList<core::Variant> row;
        row.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row << (stmt ? readColumn(stmt, SQLUSMALLINT(i + 1), sqlTypes.at(i))
                         : fromSqlValue(q.value(i), types.at(i)));
        rs.rows << row;
    }
    return rs;
}

} // namespace

core::Variant fromSqlValue(const QVariant& value, int fieldTypeId) {
    if (!value.isValid() || value.isNull())
        return core::Variant::null();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return core::Variant::fromBool(value.toBool());
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::SChar:
    case QMetaType::Int:
        return core::Variant::fromInt32(value.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const qint64 n = value.toLongLong();
        if (n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max())
            return core::Variant::fromInt32(static_cast<qint32>(n));
        return core::Variant::fromInt64(n);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return core::Variant::fromDouble(value.toDouble());
    case QMetaType::QDate:
        return core::Variant::fromString(value.toDate().toString(QStringLiteral("yyyy-MM-dd")));
    case QMetaType::QDateTime:
        return core::Variant::fromString(
            value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    case QMetaType::QString:
        if (fieldTypeId == QMetaType::Double) {
            // Exact numerics arrive as text under the high-precision policy.
            const QString text = value.toString();
            if (!text.contains(u'e', Qt::CaseInsensitive)) {
                if (const auto d = core::Decimal::parse(text))
                    return core::Variant::fromDecimal(*d);
            }
            return core::Variant::fromDouble(text.toDouble());
        }
        return core::Variant::fromString(value.toString());
    default:
        return core::Variant::fromString(value.toString());
    }
}

SqlServerBackend::SqlServerBackend(const ConnectionString& cs) {
    QString odbc;
    try {
        odbc = odbcConnectionString(cs);
    } catch (const core::ComError& e) {
        throw OpenFailure{e, {}};
    }
    const QString dataSource = cs.firstOf(keys::DataSource).trimmed();
    int timeout = 15;
    if (!cs.keyOf(keys::ConnectTimeout).isEmpty()) {
        bool ok = false;
        timeout = cs.firstOf(keys::ConnectTimeout).trimmed().toInt(&ok);
        if (!ok || timeout < 0)
            throw OpenFailure{
                core::ComError(core::err::ConnectionFailed,
                               QStringLiteral("Connect Timeout \"%1\" is not a number of seconds "
                                              "(key Connect Timeout)")
                                   .arg(cs.firstOf(keys::ConnectTimeout)),
                               QStringLiteral("ADODB.Connection")),
                {}};
    }
    m_name = uniqueConnectionName();
    QString description;
    QList<Error> driverErrors;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        if (!db.isValid()) {
            description = QStringLiteral("The ODBC driver QODBC is not available (key Provider)");
        } else {
            db.setDatabaseName(odbc);
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(timeout));
            if (db.open()) {
                db.setNumericalPrecisionPolicy(QSql::HighPrecision);
                m_open = true;
                return;
            }
            const QSqlError err = db.lastError();
            driverErrors = parseDiagnosticText(err.databaseText(), {}, err.nativeErrorCode().toInt());
            // Name the key the failure points at.
            QString key = QStringLiteral("Data Source");
            const QString text = err.databaseText();
            if (text.contains(QLatin1String("Login failed"), Qt::CaseInsensitive))
                key = QStringLiteral("User ID, Password");
            else if (text.contains(QLatin1String("Cannot open database"), Qt::CaseInsensitive))
                key = QStringLiteral("Initial Catalog");
            // The driver's summary ("Unable to connect to data source") comes first, the server's
            // own reason ("Login failed for user 'x'.") after it.
            QString detail = driverErrors.isEmpty() ? err.text() : driverErrors.last().description;
            // A server without encryption only ends the handshake; the driver says no more.
            if (key == QLatin1String("Data Source") && odbc.contains(QLatin1String("Encryption=require"))) {
                key = QStringLiteral("Encrypt");
                detail += QStringLiteral(" (encryption was required: the server may not offer it)");
            }
            description = QStringLiteral("Cannot connect to SQL Server \"%1\" (key %2): %3")
                              .arg(dataSource, key, detail);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
    throw OpenFailure{core::ComError(core::err::ConnectionFailed, description, SqlServerSource),
                      driverErrors};
}

SqlServerBackend::~SqlServerBackend() {
    close();
}

void SqlServerBackend::close() {
    if (m_name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
    m_open = false;
}

BatchOutcome SqlServerBackend::execute(const QString& commandText) {
    return run(commandText);
}

void SqlServerBackend::setLimits(const CommandLimits& limits) {
    m_timeoutMs = limits.timeoutMs;
}

BatchOutcome SqlServerBackend::run(const QString& commandText) {
    BatchOutcome out;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    q.setForwardOnly(true); // a server-side cursor would refuse batches of several statements
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    // The statement handle exists once the text is prepared: the query timeout goes on it, so
    // the driver cancels a command that runs longer (ODBC state HYT00, "Query timeout expired").
    // Without parameters the driver sends the prepared text as an ordinary batch.
    bool ran = false;
    // The user's batch of an isolated run is prepared too, for its handle: another thread may
    // cancel it (see cancel()).
    bool userBatch = false;
    {
        const std::lock_guard lock(m_cancelMutex);
        userBatch = m_runningUserBatch;
    }
    if ((m_timeoutMs > 0 || userBatch) && q.prepare(commandText)) {
        if (const SQLHANDLE stmt = statementHandle(q)) {
            if (m_timeoutMs > 0) {
                const SQLULEN seconds = SQLULEN((m_timeoutMs + 999) / 1000);
                // ODBC takes an integer attribute in the pointer argument itself.
                SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT,
                               reinterpret_cast<SQLPOINTER>(seconds), // NOLINT(performance-no-int-to-ptr)
                               0);
            }
            const std::lock_guard lock(m_cancelMutex);
            if (m_runningUserBatch)
                m_cancellable = stmt;
        }
        ran = q.exec();
    } else {
        ran = q.exec(commandText);
    }
    // The statement handle goes with the query: no cancel may reach it afterwards.
    struct Uncancellable {
        SqlServerBackend* backend;
        ~Uncancellable() {
            const std::lock_guard lock(backend->m_cancelMutex);
            backend->m_cancellable = nullptr;
        }
    } uncancellable{this};
    if (!ran) {
        out.errors = queryErrors(q);
        return out;
    }
    for (;;) {
        if (q.isSelect()) {
            out.resultSets.append(readRows(q));
            // A message after the last row fails the fetch that looks for more rows. Its records
            // are read now: the next call on the statement (SQLMoreResults) clears them, and the
            // message's level and line with them. QtSql keeps only the text.
            if (q.lastError().isValid())
                out.errors += queryErrors(q, !out.errors.isEmpty());
        } else {
            const int n = q.numRowsAffected();
            if (n >= 0)
                out.recordsAffected = n;
        }
        if (!q.nextResult()) {
            // QtSql's error stays set: once one was read above, only new records count.
            if (q.lastError().isValid())
                out.errors += queryErrors(q, !out.errors.isEmpty());
            break;
        }
    }
    return out;
}

namespace {

// The bits of @@OPTIONS a run may change ("@@OPTIONS (Transact-SQL)", "SET statements").
struct OptionBit {
    qint64 bit;
    const char* name;
};
constexpr OptionBit kRestoredOptions[] = {{8, "ANSI_WARNINGS"},
                                          {64, "ARITHABORT"},
                                          {512, "NOCOUNT"},
                                          {4096, "CONCAT_NULL_YIELDS_NULL"},
                                          {16384, "XACT_ABORT"}};
constexpr qint64 kNoCount = 512;
constexpr qint64 kXactAbort = 16384;

// The date order a server that reads '01/02/03' as year `year` and month `month` follows: each
// of the six orders gives another pair.
QString dateOrderOf(int year, int month) {
    const struct {
        int year;
        int month;
        const char* order;
    } orders[] = {{2003, 1, "mdy"}, {2003, 2, "dmy"}, {2001, 2, "ymd"},
                  {2001, 3, "ydm"}, {2002, 1, "myd"}, {2002, 3, "dym"}};
    for (const auto& o : orders)
        if (o.year == year && o.month == month)
            return QString::fromLatin1(o.order);
    return {};
}

QString literal(const QString& text) {
    return QStringLiteral("N'") + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

std::optional<SqlServerBackend::Session> SqlServerBackend::readSession(QString& error) {
    static const QString head = QStringLiteral("SELECT @@TRANCOUNT, @@OPTIONS, @@DATEFIRST, @@LANGUAGE, ");
    BatchOutcome out;
    if (m_sessionView) {
        out = run(head +
                  QStringLiteral("(SELECT date_format FROM sys.dm_exec_sessions WHERE session_id = @@SPID)"));
        if (!out.errors.isEmpty() && out.errors.first().nativeError == 208)
            m_sessionView = false;
    }
    if (!m_sessionView)
        out = run(head + QStringLiteral(
                             "YEAR(CONVERT(datetime, '01/02/03')), MONTH(CONVERT(datetime, '01/02/03'))"));
    if (!out.errors.isEmpty() || out.resultSets.isEmpty() || out.resultSets.first().rows.isEmpty()) {
        error = out.errors.isEmpty() ? QStringLiteral("The server did not report its session")
                                     : out.errors.first().description;
        return std::nullopt;
    }
    const QList<core::Variant>& row = out.resultSets.first().rows.first();
    Session session;
    session.transactionCount = row.value(0).toInt32();
    session.options = row.value(1).toInt32();
    session.dateFirst = row.value(2).toInt32();
    session.language = row.value(3).toString().trimmed();
    session.dateFormat = m_sessionView ? row.value(4).toString().trimmed().toLower()
                                       : dateOrderOf(row.value(4).toInt32(), row.value(5).toInt32());
    return session;
}

// XACT_ABORT and NOCOUNT always (the run sets them itself), the other options and the date
// settings only when they changed. SET LANGUAGE sets the date format and first day of its
// language too, so those follow it.
QString SqlServerBackend::restoreSession(const Session& before, const Session& after) {
    QStringList statements;
    const auto onOff = [](bool on) { return on ? QStringLiteral("ON") : QStringLiteral("OFF"); };
    for (const OptionBit& o : kRestoredOptions) {
        const bool was = (before.options & o.bit) != 0;
        if (o.bit == kNoCount || o.bit == kXactAbort || was != ((after.options & o.bit) != 0))
            statements << QStringLiteral("SET %1 %2").arg(QLatin1String(o.name), onOff(was));
    }
    if (before.language != after.language || before.dateFormat != after.dateFormat ||
        before.dateFirst != after.dateFirst) {
        if (!before.language.isEmpty())
            statements << QStringLiteral("SET LANGUAGE ") + literal(before.language);
        if (!before.dateFormat.isEmpty())
            statements << QStringLiteral("SET DATEFORMAT ") + before.dateFormat;
        statements << QStringLiteral("SET DATEFIRST %1").arg(before.dateFirst);
    }
    return statements.join(QStringLiteral("; "));
}

// The server reports no statement lines: a traced run has no trace here.
IsolatedOutcome SqlServerBackend::executeIsolated(const QString& commandText, bool, bool, tsql::ReadRest*) {
    // The session as the batch finds it: no transaction of the caller, and the options and date
    // settings the run may change (a formula may set those production runs it with), to be put
    // back afterwards.
    QString error;
    const std::optional<Session> before = readSession(error);
    if (!before)
        throw core::ComError(core::err::ProviderError, error, SqlServerSource);
    if (before->transactionCount != 0)
        throw core::ComError(
            core::err::ProviderError,
            QStringLiteral("A transaction is already open on the connection: an isolated run "
                           "would end it"),
            SqlServerSource);
    // XACT_ABORT ON: a run-time error or a timeout ends the batch and dooms the transaction, so
    // nothing after a failure runs outside it. A formula may set it OFF (the guard lets through
    // no statement that ends the transaction): a timeout then leaves the transaction open, and
    // the rollback below ends it all the same.
    runOrThrow(QStringLiteral("SET XACT_ABORT ON; BEGIN TRANSACTION"));
    IsolatedOutcome out;
    {
        const std::lock_guard lock(m_cancelMutex);
        m_runningUserBatch = true;
    }
    try {
        out.outcome = run(commandText);
    } catch (...) {
        const std::lock_guard lock(m_cancelMutex);
        m_runningUserBatch = false;
        throw;
    }
    {
        const std::lock_guard lock(m_cancelMutex);
        m_runningUserBatch = false;
    }
    // Whatever the batch did, roll back what is open and put the session back.
    const std::optional<Session> after = readSession(error);
    out.transactionCountAfter = after ? after->transactionCount : -1;
    runOrThrow(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION; ") +
               restoreSession(*before, after ? *after : Session{-1, ~before->options, 0, {}, {}}));
    return out;
}

void SqlServerBackend::cancel() {
    // ODBC lets another thread cancel a statement that is executing (SQLCancel): the driver
    // sends the server an attention and the execution returns "Operation canceled" (HY008).
    const std::lock_guard lock(m_cancelMutex);
    if (m_cancellable)
        SQLCancel(m_cancellable);
}

void SqlServerBackend::runOrThrow(const QString& text) {
    const BatchOutcome out = run(text);
    if (!out.errors.isEmpty())
        throw core::ComError(out.errors.first().number, out.errors.first().description,
                             out.errors.first().source);
}

void SqlServerBackend::beginTransaction() {
    runOrThrow(QStringLiteral("BEGIN TRANSACTION"));
}

void SqlServerBackend::commitTransaction() {
    runOrThrow(QStringLiteral("COMMIT TRANSACTION"));
}

void SqlServerBackend::rollbackTransaction() {
    runOrThrow(QStringLiteral("ROLLBACK TRANSACTION"));
}

int SqlServerBackend::transactionCount() {
    const BatchOutcome out = execute(QStringLiteral("SELECT @@TRANCOUNT"));
    if (!out.errors.isEmpty())
        throw core::ComError(out.errors.first().number, out.errors.first().description,
                             out.errors.first().source);
    if (out.resultSets.isEmpty() || out.resultSets.first().rows.isEmpty())
        return 0;
    return out.resultSets.first().rows.first().first().toInt32();
}

} // namespace detail
} // namespace ado
