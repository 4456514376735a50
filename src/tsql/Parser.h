#pragma once

#include "tsql/Ast.h"
#include "tsql/Lexer.h"

namespace tsql {

// Parses a whole batch into its statements. Throws SqlError with the server's syntax error
// (Msg 102, 156, 105, 113, ...) at the first place the batch cannot be read.
Batch parseBatch(const QString& text);

// Parses the parameters' definitions of sp_executesql ("@p int, @q varchar(10) OUTPUT"); a
// default value, when given, is the declaration's init. Throws SqlError as parseBatch does.
std::vector<VarDecl> parseParameters(const QString& text);

} // namespace tsql
