#pragma once

#include <QString>

#include <optional>

namespace tsql {

// Opens the SQLite database file `path` as the Qt SQL connection `name` and reads its catalogue:
// SQLite opens any file lazily, and reading the catalogue tells a database from another kind of
// file without writing anything. On failure the connection is removed again and the driver's
// text returned.
//
// `readOnly` opens it so that nothing can be written through the connection. A database in WAL
// mode on a read-only file system cannot be read the usual way (its shared-memory file cannot be
// made there); as no one can change a file there, it is then opened as immutable, unless a
// write-ahead log beside it holds changes not yet in the file.
std::optional<QString> openDatabaseFile(const QString& name, const QString& path, bool readOnly = false);

// Closes the Qt SQL connection `name` and removes it.
void closeDatabase(const QString& name);

} // namespace tsql
