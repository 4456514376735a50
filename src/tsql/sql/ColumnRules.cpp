#include "tsql/sql/ColumnRules.h"

#include "tsql/base/Messages.h"

#include "tsql/sql/SqlText.h"

namespace tsql {

void nullNotAllowed(const QString& column, const QString& table, bool update) {
    raise<Msg::NullNotAllowed>(column, table, update ? QStringLiteral("UPDATE") : QStringLiteral("INSERT"));
}

namespace {

// A text cut to the column's length: an error unless only blanks are cut, as the server
// ignores trailing blanks when it checks a value's length.
void checkLength(const QString& text, const SqlType& type, const QString& column, const QString& table) {
    if (type.length < 0 || text.size() <= type.length)
        return;
    for (qsizetype k = type.length; k < text.size(); ++k) {
        if (text[k] != u' ')
            raise<Msg::StringTruncated>(table, column, text.left(type.length));
    }
}

} // namespace

Value storeValue(const Value& v, const SqlType& type, const ColumnRule& rule, const QString& column,
                 const QString& table, bool update) {
    if (v.null) {
        if (rule.notNull)
            nullNotAllowed(column, table, update);
        return convert(v, type);
    }
    if (type.isString() && v.type.isString())
        checkLength(v.s, type, column, table);
    return convert(v, type);
}

Value storeValue(const Value& v, const StoreTarget& target) {
    const TableSource& t = *target.table;
    const auto k = size_t(target.column);
    return storeValue(v, t.columnTypes[k], t.columnRules[k], t.columns[target.column], t.messageName,
                      target.update);
}

Value storeParam(const Value& v, const StoreTarget& target) {
    SqlType type = target.table->columnTypes[size_t(target.column)];
    if (type.isString() && (v.type.isString() || v.type.id == TypeId::Unknown))
        type.length = -1;
    return convert(v, type);
}

QString storeCall(const QString& valueSql, const StoreTarget& target, bool converted) {
    const TableSource& t = *target.table;
    const auto k = size_t(target.column);
    const SqlType& type = t.columnTypes[k];
    const ColumnRule& rule = t.columnRules[k];
    // A value converted here into a column that takes NULL and texts of any length needs no check.
    if (converted && !rule.notNull && (!type.isString() || type.length < 0))
        return valueSql;
    return QStringLiteral("tsql_store(%1, %2, %3, %4, %5, %6, %7, %8, %9, %10)")
        .arg(valueSql, QString::number(converted ? 1 : 0), QString::number(int(type.id)),
             QString::number(type.precision), QString::number(type.scale), QString::number(type.length),
             QString::number(rule.notNull ? 1 : 0), quoteString(t.columns[target.column]),
             quoteString(t.messageName), QString::number(target.update ? 1 : 0));
}

} // namespace tsql
