#include "tables/FormulaTables.h"

namespace tables {

namespace {

QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

// The records whose formula is not NULL.
QString storedCondition(const EditingContext& c) {
    return latin1(c.formulaColumn) + QStringLiteral(" IS NOT NULL");
}

} // namespace

std::optional<QString> formulaSelectStatement(int context, const QString& idText) {
    const EditingContext* c = editingContext(context);
    if (!c)
        return std::nullopt;
    return QStringLiteral("SELECT ") + QLatin1String(c->selectColumn) + QStringLiteral(" FROM ") +
           QLatin1String(c->selectFrom) + QStringLiteral(" WHERE ") + QLatin1String(c->selectWhere) + idText;
}

std::optional<QString> formulaUpdateStatement(int context, const std::optional<QString>& storedText,
                                              const QString& idText) {
    const EditingContext* c = editingContext(context);
    if (!c)
        return std::nullopt;
    QString sql = QLatin1String(c->updateTable);
    if (storedText)
        sql += QLatin1String(c->setFormula) + *storedText + u'\'';
    else
        sql += QLatin1String(c->setNull);
    return sql + QLatin1String(c->updateWhere) + idText;
}

QString storedCountStatement(int context) {
    const EditingContext* c = editingContext(context);
    if (!c)
        return {};
    return QStringLiteral("SELECT COUNT(*) FROM ") + latin1(c->table) + QStringLiteral(" WHERE ") +
           storedCondition(*c);
}

QString storedPageStatement(int context, int pageSize, std::optional<qint64> lastId) {
    const EditingContext* c = editingContext(context);
    if (!c)
        return {};
    const QString id = latin1(c->idColumn);
    QString where = storedCondition(*c);
    if (lastId)
        where += QStringLiteral(" AND ") + id + QStringLiteral(" > ") + QString::number(*lastId);
    return QStringLiteral(
               "SELECT TOP %1 %2 AS ID, %3 AS DESCRIZIONE, %4 AS FORMULA FROM %5 WHERE %6 ORDER BY %2")
        .arg(pageSize)
        .arg(id, latin1(c->descriptionColumn), latin1(c->formulaColumn), latin1(c->table), where);
}

QString recordsStatement(const EditingContext& c) {
    return QStringLiteral("SELECT %1, %2, %3 FROM %4 ORDER BY %1")
        .arg(QLatin1String(c.idColumn), QLatin1String(c.descriptionColumn), QLatin1String(c.formulaColumn),
             QLatin1String(c.table));
}

QString companyRecordsStatement(const EditingContext& c, const QString& company) {
    return QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5 = %6 ORDER BY %1")
        .arg(QLatin1String(c.idColumn), QLatin1String(c.descriptionColumn), QLatin1String(c.formulaColumn),
             QLatin1String(c.table), QLatin1String(c.companyColumn), company);
}

QString recordStatement(const QString& table, const QString& idColumn, qint64 id) {
    return QStringLiteral("SELECT * FROM %1 WHERE %2 = %3").arg(table, idColumn).arg(id);
}

} // namespace tables
