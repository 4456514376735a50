#pragma once

#include <QString>

#include <optional>

namespace tsql {

// Opens the SQLite database file `path` as the Qt SQL connection `name` and reads its catalogue:
// SQLite opens any file lazily, and reading the catalogue tells a database from another kind of
// file without writing anything. On failure the connection is removed again and the driver's
// text returned.
std::optional<QString> openDatabaseFile(const QString& name, const QString& path);

// Closes the Qt SQL connection `name` and removes it.
void closeDatabase(const QString& name);

} // namespace tsql
