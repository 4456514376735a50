// libFuzzer target over the lexer, the parser and the binder of the embedded T-SQL engine:
// any input must end in a batch or a server error, never in a crash or a hang.

#include "FuzzOptions.h"

#include "tsql/bind/Binder.h"
#include "tsql/text/Lexer.h"
#include "tsql/text/Parser.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > fuzz::MaxInput)
        return 0;
    // One table of each kind of column, so that column references can bind.
    static QSqlDatabase db = [] {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tsql_fuzz"));
        d.setDatabaseName(QStringLiteral(":memory:"));
        d.open();
        QSqlQuery(d).exec(QStringLiteral(
            "CREATE TABLE T (A INT, B VARCHAR(10), C DECIMAL(18,4), D FLOAT, E DATETIME, F NVARCHAR(50))"));
        return d;
    }();
    // A catalogue of its own for every input: the look-ups of random table names it keeps must
    // not pile up across inputs.
    tsql::Catalog catalog(db);
    catalog.refresh();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::optional<tsql::ServerError> lexError;
    std::vector<tsql::Token> tokens = tsql::tokenize(text, lexError);
    if (tokens.empty() || tokens.back().kind != tsql::Tok::End)
        __builtin_trap();
    try {
        tsql::Batch batch = tsql::parseBatch(text);
        std::vector<tsql::SqlType> types;
        tsql::bindBatch(batch, catalog, types);
    } catch (const tsql::SqlError& e) {
        if (e.error.number <= 0 || e.error.message.isEmpty())
            __builtin_trap();
    }
    return 0;
}
