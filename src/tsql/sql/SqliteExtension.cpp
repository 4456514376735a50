// The engine's collation TSQL_CI as a loadable SQLite extension, so that the sqlite3 shell and
// other SQLite tools can read and write the tables whose indexes are declared with it:
//   sqlite3 demo.sqlite '.load /usr/lib/formule/formule_collation' 'INSERT INTO ...'
// The comparison is the engine's own (values/TextCollation.cpp), compiled into this module.
#include "tsql/values/TextCollation.h"

#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT1

extern "C" __attribute__((visibility("default"))) int
sqlite3_extension_init(sqlite3* db, char** errorMessage, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    const int rc =
        sqlite3_create_collation(db, tsql::CollationName, SQLITE_UTF8, nullptr, tsql::collateCaseInsensitive);
    if (rc != SQLITE_OK && errorMessage)
        *errorMessage = sqlite3_mprintf("cannot register the collation %s", tsql::CollationName);
    return rc;
}
