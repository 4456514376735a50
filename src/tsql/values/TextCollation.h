#pragma once

// The engine's text collation, in one place for every user of it: the engine's comparisons, the
// collation TSQL_CI it registers on each SQLite connection (the indexes of the code columns are
// declared with it), and the loadable SQLite extension that gives the same collation to the
// sqlite3 shell and other SQLite tools.

namespace tsql {

// The collation's name in SQL (COLLATE TSQL_CI).
inline constexpr const char* CollationName = "TSQL_CI";

// The collation as SQLite calls it (sqlite3_create_collation with SQLITE_UTF8): texts in UTF-8
// compared case-insensitively, trailing blanks ignored; negative, zero or positive.
int collateCaseInsensitive(void*, int la, const void* a, int lb, const void* b);

} // namespace tsql
