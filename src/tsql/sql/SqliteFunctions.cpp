#include "tsql/sql/SqliteFunctions.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"
#include "tsql/bind/SystemViews.h"
#include "tsql/functions/Functions.h"
#include "tsql/sql/ColumnRules.h"
#include "tsql/values/DateSettings.h"
#include "tsql/values/TextCollation.h"
#include "tsql/values/TimeOfDay.h"
#include "tsql/values/Value.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace tsql {

namespace {

thread_local std::optional<ServerError> g_pending;

// The bytes of the UTF-8 form of `s`.
qint64 utf8Bytes(const QString& s) {
    qint64 n = 0;
    for (QChar c : s)
        n += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 || c.isSurrogate() ? 2 : 3;
    return n;
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
        if (n > 4096)
            checkRoomFor(qint64(n) * qint64(sizeof(QChar)));
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
        QString s = v.type.isTime()   ? timeText(v.i, 7)
                    : v.type.isDate() ? (v.type.id == TypeId::Date
                                             ? v.dt->toString(QStringLiteral("yyyy-MM-dd"))
                                             : v.dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
                                      : v.s;
        // The UTF-8 copy is handed to SQLite as it is, without a copy of SQLite's own.
        if (s.size() > 4096)
            checkRoomFor(utf8Bytes(s));
        QByteArray u = s.toUtf8();
        const auto bytes = sqlite3_uint64(u.size());
        char* owned = static_cast<char*>(sqlite3_malloc64(bytes + 1));
        if (!owned) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        std::memcpy(owned, u.constData(), size_t(bytes) + 1);
        u = QByteArray();
        sqlite3_result_text64(ctx, owned, bytes, sqlite3_free, SQLITE_UTF8);
    }
}

void fail(sqlite3_context* ctx, const SqlError& e) {
    if (!g_pending)
        g_pending = e.error;
    QByteArray m = e.error.message.toUtf8();
    sqlite3_result_error(ctx, m.constData(), int(m.size()));
}

// A built-in function of SqlForm::Engine, registered under its own name with its row of the
// function table as the user data: the arguments' types are those of the values SQLite hands
// over, and the result type follows from them as the row's rule says.
void callFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        const auto& f = *static_cast<const FunctionDef*>(sqlite3_user_data(ctx));
        std::vector<Value> args;
        std::vector<SqlType> types;
        args.reserve(size_t(argc));
        types.reserve(size_t(argc));
        // The arguments, and then the result, count while the next is built.
        MemoryCharge held;
        for (int k = 0; k < argc; ++k) {
            args.push_back(fromSqliteValue(argv[k]));
            held.add(heldBytes(args.back()));
            types.push_back(args.back().type);
        }
        const Value result = callScalar(f, args, f.type(f, types));
        held.add(heldBytes(result));
        setResult(ctx, result);
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) { // nothing may be thrown through SQLite
        sqlite3_result_error_nomem(ctx);
    }
}

void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
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

void likeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        like(ctx, argc, argv);
    } catch (const SqlError& e) { // the batch ran out of time while matching
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
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

// The T-SQL type an argument names (as CAST names it); none, with the call failed, for a name
// that is no type.
std::optional<SqlType> typeArgument(sqlite3_context* ctx, sqlite3_value* arg, const char* function) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_value_text(arg));
    std::optional<SqlType> type = parseTypeName(QString::fromUtf8(name));
    if (!type)
        sqlite3_result_error(ctx, (std::string(function) + ": unknown type").c_str(), -1);
    return type;
}

// tsql_to(value, type): the value converted to the T-SQL type named (as CAST names it), as the
// server converts the operand of lower precedence: a text that reads as no number fails here,
// on the row that holds it.
void toFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        const std::optional<SqlType> type = typeArgument(ctx, argv[1], "tsql_to");
        if (!type)
            return;
        setResult(ctx, convert(fromSqliteValue(argv[0]), *type));
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

// tsql_text(value, type): the value SQLite keeps for a column or an expression of the T-SQL type
// named, as the text CAST to nvarchar gives it (a date kept as yyyy-mm-dd hh:mi:ss.mmm, a decimal
// kept as a double, written as the server writes them).
void textFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        const std::optional<SqlType> type = typeArgument(ctx, argv[1], "tsql_text");
        if (!type)
            return;
        const Value raw = fromSqliteValue(argv[0]);
        const Value typed = type->isDate() && raw.type.isString() ? dateFromText(raw, *type, DateOrder::Ymd)
                                                                  : convert(raw, *type);
        setResult(ctx, Value::str(toText(typed), true));
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

QString textArgument(sqlite3_value* v) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return text ? QString::fromUtf8(text, sqlite3_value_bytes(v)) : QString();
}

void variantResult(sqlite3_context* ctx, const QVariant& v) {
    if (v.isNull()) {
        sqlite3_result_null(ctx);
    } else if (v.typeId() == QMetaType::Int) {
        sqlite3_result_int64(ctx, v.toInt());
    } else {
        const QByteArray text = v.toString().toUtf8();
        sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
}

// tsql_coltype(declaration, field): what the catalogue views say of a column's declared type.
void columnTypeFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    try {
        variantResult(ctx, columnTypeFact(textArgument(argv[0]), textArgument(argv[1])));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

// tsql_coldefault(default): a column's default as the catalogue views show it.
void columnDefaultFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    try {
        const bool none = sqlite3_value_type(argv[0]) == SQLITE_NULL;
        variantResult(ctx, defaultDefinition(none ? QVariant() : QVariant(textArgument(argv[0]))));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

void singleFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_int64(argv[1]) > 1) {
        fail(ctx, SqlError{serverError<Msg::SubqueryMultipleValues>(0, 0)});
        return;
    }
    sqlite3_result_value(ctx, argv[0]);
}

// The level of a row of a recursive CTE (argument 1) against the statement's MAXRECURSION
// (argument 2, 0 for none): a row beyond it stops the statement with Msg 530.
void recursionFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const qint64 level = sqlite3_value_int64(argv[0]);
    const qint64 limit = sqlite3_value_int64(argv[1]);
    if (limit > 0 && level > limit) {
        fail(ctx, SqlError{serverError<Msg::RecursionExhausted>(0, 0, limit)});
        return;
    }
    sqlite3_result_int64(ctx, level);
}

QString textArg(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// tsql_store(value, converted, type id, precision, scale, length, not null, column, table,
// update): the value as the column keeps it, with the checks of storeValue (ColumnRules.h). A
// value already converted to the column's type (other than a text), and a text for a column of
// any length, are only checked for NULL.
void storeFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    try {
        SqlType type;
        type.id = TypeId(sqlite3_value_int(argv[2]));
        type.precision = sqlite3_value_int(argv[3]);
        type.scale = sqlite3_value_int(argv[4]);
        type.length = sqlite3_value_int(argv[5]);
        ColumnRule rule;
        rule.notNull = sqlite3_value_int(argv[6]) != 0;
        const int kind = sqlite3_value_type(argv[0]);
        const bool converted = sqlite3_value_int(argv[1]) != 0;
        const bool unbounded = type.isString() && type.length < 0 && kind == SQLITE_TEXT;
        if (kind != SQLITE_NULL && ((converted && !type.isString()) || unbounded)) {
            sqlite3_result_value(ctx, argv[0]); // kept as it is, however long
            return;
        }
        const Value v = fromSqliteValue(argv[0]);
        setResult(ctx, storeValue(v, type, rule, textArg(argv[7]), textArg(argv[8]),
                                  sqlite3_value_int(argv[9]) != 0));
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

// STRING_AGG over tables: tsql_string_agg(value, separator, limit, key1, desc1, ...). The rows
// of a group are kept, with their memory counted, and sorted and joined when the group ends.
struct OrderedRows {
    std::vector<KeyedValue> rows;
    std::vector<bool> desc;
    Value separator;
    int limit = -1;
    MemoryCharge held;
};

void orderedStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // The aggregate's context holds a pointer to the rows, which live on the heap.
    auto** state = static_cast<OrderedRows**>(
        sqlite3_aggregate_context(ctx, sizeof(OrderedRows*))); // NOLINT(bugprone-sizeof-expression)
    if (!state) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    try {
        if (!*state) {
            *state = new OrderedRows;
            (*state)->separator = fromSqliteValue(argv[1]);
            (*state)->limit = sqlite3_value_int(argv[2]);
            for (int k = 4; k < argc; k += 2)
                (*state)->desc.push_back(sqlite3_value_int(argv[k]) != 0);
        }
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
            return;
        KeyedValue kv{fromSqliteValue(argv[0]), {}};
        for (int k = 3; k < argc; k += 2)
            kv.keys.push_back(fromSqliteValue(argv[k]));
        (*state)->held.add(heldBytes(kv.value) + qint64(kv.keys.size() * sizeof(Value)));
        (*state)->rows.push_back(std::move(kv));
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

void orderedFinal(sqlite3_context* ctx) {
    auto** state = static_cast<OrderedRows**>(sqlite3_aggregate_context(ctx, 0));
    std::unique_ptr<OrderedRows> rows(state ? *state : nullptr);
    if (state)
        *state = nullptr;
    if (!rows) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        const SqlType type{rows->limit == 8000 ? TypeId::VarChar : TypeId::NVarChar, 0, 0, rows->limit,
                           false};
        setResult(ctx, stringAggregate(rows->rows, rows->separator, rows->desc, type));
    } catch (const SqlError& e) {
        fail(ctx, e);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

} // namespace

void registerSqliteFunctions(const QSqlDatabase& db) {
    sqlite3* handle = sqliteHandle(db);
    if (!handle)
        return;
    sqlite3_create_collation(handle, CollationName, SQLITE_UTF8, nullptr, collateCaseInsensitive);
    for (const FunctionDef& f : builtinFunctions()) {
        if (f.sql == SqlForm::Ordered) {
            const QByteArray name = sqliteFunctionName(f).toUtf8();
            sqlite3_create_function(handle, name.constData(), -1, SQLITE_UTF8, nullptr, nullptr, orderedStep,
                                    orderedFinal);
            continue;
        }
        if ((f.sql != SqlForm::Engine && f.sql != SqlForm::TrimBlank) || !f.eval.scalar)
            continue;
        const QByteArray name = sqliteFunctionName(f).toUtf8();
        sqlite3_create_function(handle, name.constData(), -1, SQLITE_UTF8, const_cast<FunctionDef*>(&f),
                                callFn, nullptr, nullptr);
    }
    sqlite3_create_function(handle, "tsql_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_store", 10, SQLITE_UTF8, nullptr, storeFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_text", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, textFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_single", 2, SQLITE_UTF8, nullptr, singleFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_recursion", 2, SQLITE_UTF8, nullptr, recursionFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_div", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, divFn,
                            nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_coltype", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            columnTypeFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_coldefault", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            columnDefaultFn, nullptr, nullptr);
    sqlite3_create_function(handle, "tsql_to", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, toFn, nullptr,
                            nullptr);
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
