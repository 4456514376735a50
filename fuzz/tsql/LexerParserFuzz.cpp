// libFuzzer target over the lexer, the parser and the binder of the embedded T-SQL engine:
// any input must end in a batch or a server error, never in a crash or a hang.

#include "tsql/Binder.h"
#include "tsql/Lexer.h"
#include "tsql/Parser.h"

#include <QSqlDatabase>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QSqlDatabase db = [] {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tsql_fuzz"));
        d.setDatabaseName(QStringLiteral(":memory:"));
        d.open();
        return d;
    }();
    static tsql::Catalog catalog(db);
    catalog.clear(); // look-ups of random table names must not pile up across inputs
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
