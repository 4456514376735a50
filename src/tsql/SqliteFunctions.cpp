#include "tsql/SqliteFunctions.h"

#include "tsql/Functions.h"
#include "tsql/Value.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace tsql {

namespace {

thread_local std::optional<ServerError> g_pending;

int collateCI(void*, int la, const void* a, int lb, const void* b) {
    QString x = QString::fromUtf8(static_cast<const char*>(a), la);
    QString y = QString::fromUtf8(static_cast<const char*>(b), lb);
    int c = compareStringsCI(x, y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

Value fromSqliteValue(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        qint64 i = sqlite3_value_int64(v);
        bool small = i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max();
        return Value::integer(i, small ? TypeId::Int : TypeId::BigInt);
    }
    case SQLITE_FLOAT:
        return Value::flt(sqlite3_value_double(v));
    case SQLITE_NULL:
        return Value::nullOf(SqlType::of(TypeId::Unknown));
    default: {
        const unsigned char* t = sqlite3_value_text(v);
        int n = sqlite3_value_bytes(v);
        return Value::str(QString::fromUtf8(reinterpret_cast<const char*>(t), n));
    }
    }
}

void setResult(sqlite3_context* ctx, const Value& v) {
    if (v.null) {
        sqlite3_result_null(ctx);
        return;
    }
    if (v.type.isInteger() || v.type.id == TypeId::Unknown) {
        sqlite3_result_int64(ctx, v.i);
    } else if (v.type.id == TypeId::Decimal || v.type.id == TypeId::Money ||
               v.type.id == TypeId::SmallMoney) {
        if (v.n.scale == 0 && v.n.v <= std::numeric_limits<qint64>::max() &&
            v.n.v >= std::numeric_limits<qint64>::min())
            sqlite3_result_int64(ctx, qint64(v.n.v));
        else
            sqlite3_result_double(ctx, v.n.toDouble());
    } else if (v.type.id == TypeId::Float || v.type.id == TypeId::Real) {
        sqlite3_result_double(ctx, v.f);
    } else {
        QString s = v.type.isDate() ? (v.type.id == TypeId::Date
                                           ? v.dt.toString(QStringLiteral("yyyy-MM-dd"))
                                           : v.dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
                                    : v.s;
        QByteArray u = s.toUtf8();
        sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
}

void fail(sqlite3_context* ctx, const SqlError& e) {
    if (!g_pending)
        g_pending = e.error;
    QByteArray m = e.error.message.toUtf8();
    sqlite3_result_error(ctx, m.constData(), int(m.size()));
}

void callFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
        std::vector<Value> args;
        std::vector<SqlType> types;
        for (int k = 1; k < argc; ++k) {
            args.push_back(fromSqliteValue(argv[k]));
            types.push_back(args.back().type);
        }
        SqlType rt = functionType(name, types, 0, 0);
        setResult(ctx, callFunction(name, args, rt));
    } catch (const SqlError& e) {
        fail(ctx, e);
    }
}

void likeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    QString p = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])));
    QChar esc;
    if (argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        QString e = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
        if (!e.isEmpty())
            esc = e[0];
    }
    while (v.endsWith(u' ') && !p.endsWith(u' '))
        v.chop(1);
    sqlite3_result_int(ctx, likeMatch(v, p, esc) ? 1 : 0);
}

void divFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        Value a = fromSqliteValue(argv[0]), b = fromSqliteValue(argv[1]);
        if (a.type.isString())
            a = convert(a, SqlType::of(TypeId::Float));
        if (b.type.isString())
            b = convert(b, SqlType::of(TypeId::Float));
        setResult(ctx, arithmetic(QStringLiteral("/"), a, b));
    } catch (const SqlError& e) {
        fail(ctx, e);
    }
}

void singleFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int64(argv[1]) > 1) {
        fail(ctx,
             SqlError{ServerError{512, 16, 1, 0, 0,
                                  QStringLiteral("Subquery returned more than 1 value. This is not permitted "
                                                 "when the subquery follows =, !=, <, <= , >, >= or when the "
                                                 "subquery is used as an expression.")}});
        return;
    }
    sqlite3_result_value(ctx, argv[0]);
}

} // namespace

void registerSqliteFunctions(QSqlDatabase db) {
    QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return;
    sqlite3* handle = *static_cast<sqlite3* const*>(h.constData());
    if (!handle)
        return;
    sqlite3_create_collation(handle, "TSQL_CI", SQLITE_UTF8, nullptr, collateCI);
    sqlite3_create_function(handle, "tsql_call", -1, SQLITE_UTF8, nullptr, callFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_single", 2, SQLITE_UTF8, nullptr, singleFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_div", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, divFn,
                            nullptr, nullptr);
}

std::optional<ServerError> takePendingError() {
    auto e = g_pending;
    g_pending.reset();
    return e;
}

void clearPendingError() {
    g_pending.reset();
}

} // namespace tsql
