#pragma once

#include "tables/EditingContext.h"

#include <QString>

#include <optional>

// The statements over the three tables that hold the formulas (LP01_PROVIDER, LP07_QUOTAZIONI,
// LP17_FORMULEMANUT), one table per editing context. Each returns the text exactly as it is sent.
namespace tables {

// The read of the window's first activation (column FORMULA): "SELECT " + column + " FROM " +
// table + " WHERE " + identifier piece + `idText`. nullopt for a context other than 0, 1 and 2.
std::optional<QString> formulaSelectStatement(int context, const QString& idText);

// The save: `storedText` is the SQL form with its apostrophes already doubled, or nullopt for
// NULL; `idText` the identifier as text. nullopt for a context other than 0, 1 and 2.
std::optional<QString> formulaUpdateStatement(int context, const std::optional<QString>& storedText,
                                              const QString& idText);

// The reading of every stored formula of a context (the bulk check, where-used): the records
// whose formula is not NULL, counted, and read a page at a time in the order of their ids with
// the columns ID, DESCRIZIONE and FORMULA; `lastId` is the last id of the page before (nullopt:
// the first page). Empty for a context other than 0, 1 and 2.
QString storedCountStatement(int context);
QString storedPageStatement(int context, int pageSize, std::optional<qint64> lastId);

// Every record of a context (id, description, formula in this order), by id: the tool's demo.
QString recordsStatement(const EditingContext& context);
// The records of one company (`company` appended as it is, no quotes), by id: the demo host's
// record list.
QString companyRecordsStatement(const EditingContext& context, const QString& company);
// The whole record `id` of a context's table: the host's data frame.
QString recordStatement(const QString& table, const QString& idColumn, qint64 id);

} // namespace tables
