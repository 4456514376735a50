#pragma once

#include "tsql/text/Ast.h"
#include "tsql/text/Lexer.h"

#include <optional>

namespace tsql {

// Parses a whole batch into its statements. Throws SqlError with the server's syntax error
// (Msg 102, 156, 105, 113, ...) at the first place the batch cannot be read.
Batch parseBatch(const QString& text);

// Where the rest of a batch starts: after `lines` whole lines (`offset` characters) that held
// complete statements, the last of them followed by a `;` or not.
struct BatchPlace {
    int offset = 0;
    int lines = 0;
    bool afterSemicolon = false;
    bool operator==(const BatchPlace&) const = default;
};

// The statements of the rest of a batch, read as parseBatch reads them in the whole batch (lines,
// columns and messages as there; the first statement is not the batch's first). Nullopt when the
// rest does not start with a statement keyword (SET, IF, SELECT, DECLARE, ...) or `;`: only then
// is it certain that the statements before ended where they did. Throws SqlError as parseBatch.
std::optional<Batch> parseBatchRest(const QString& rest, const BatchPlace& place);
// The same from the rest's tokens as tokenize read them from the rest alone, without an error
// (lines from 1, positions from 0): a caller that read them already does not read them again.
std::optional<Batch> parseBatchRest(std::vector<Token> tokens, const BatchPlace& place);

// The same for a rest that also reads as a batch of its own: its first token is one of the
// statement keywords above (a `;` is not enough, as a batch's first statement may be a
// procedure's name alone and a rest's may not). parseBatch reads the same statements from such a
// rest, only at lines from 1 and positions from 0. Nullopt for any other rest.
std::optional<Batch> parseStandaloneRest(const QString& rest, const BatchPlace& place);
// The same from the rest's tokens (as parseBatchRest takes them).
std::optional<Batch> parseStandaloneRest(std::vector<Token> tokens, const BatchPlace& place);

// The statements of the rest of a batch as a reader of the batch (the check's statement guard)
// read them with parseBatchRest, handed to the engine that runs the batch: the engine takes them
// instead of reading the rest again when it reads the rest from the same place. `text` is the
// rest as read; the statements go to the engine once (it binds them).
// A reader that knows the rest but not yet its place may hand over its tokens instead (tokenize's
// of `text` alone, without an error): the statements are read from them at the rest's place.
struct ReadRest {
    QString text;
    BatchPlace place;
    Batch statements;
    std::vector<Token> tokens;
};

// Parses the parameters' definitions of sp_executesql ("@p int, @q varchar(10) OUTPUT"); a
// default value, when given, is the declaration's init. Throws SqlError as parseBatch does.
std::vector<VarDecl> parseParameters(const QString& text);

} // namespace tsql
