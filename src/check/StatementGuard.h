#pragma once

#include "tsql/text/Lexer.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tsql {
struct ReadRest;
}

namespace check {

// A batch, or a statement of it, that is not run under check.
struct RefusedStatement {
    QString statement; // as the batch names it ("COMMIT", "EXEC", "SET XACT_ABORT", ...); empty
                       // when the batch cannot be read at all
    int line = 1;      // line of the batch where it starts, from 1
    int column = 0;    // column of that line, from 1 (0 when unknown)
    int number = 0;    // the engine's message number when the batch cannot be read (102, 191, ...)
    QString reason;    // why it is not run (the engine's message when the batch cannot be read)
};

// What the guard found in a batch it lets through.
struct GuardVerdict {
    std::optional<RefusedStatement> refused;
    bool writes = false; // some statement changes table data (rolled back, but it takes locks)
    // What follows a trusted prefix as the guard read it, when the engine reads it the same way
    // after the prefix: handed to the engine that runs the batch (see tsql::ReadRest), so that
    // the text is read once. Null otherwise.
    std::shared_ptr<tsql::ReadRest> read;
};

// What the guard makes of a dynamic batch, EXEC (string). A formula's check runs none (Refused).
// The tool's batch check (ConstantsRead) follows the server for a dynamic batch whose whole text
// is written in the statement, string constants joined by +: that text is read and guarded as a
// batch of its own (dynamic batches in it too, at most 32 deep, as the server runs them), and the
// EXEC is let through when the guard accepts it. A text held in a variable, sp_executesql and
// procedures are refused either way: what they run cannot be read before it runs.
enum class DynamicBatches { Refused, ConstantsRead };

// Decides, on the syntax tree the embedded engine's own parser builds, whether a batch may run
// under check: inside a transaction that the check always rolls back, on the window's
// connection. What cannot be read is not run, whatever the server behind the connection would
// make of it (fail closed: the parser is the single reader of T-SQL in this system, so a
// statement cannot look harmless here and be something else to the engine).
//
// Allowed: DECLARE, SET of a variable, SELECT (with sub-queries, joins, xml nodes), IF, WHILE,
// BEGIN...END, TRY...CATCH, BREAK, CONTINUE, RETURN, PRINT, labels and GOTO, RAISERROR, THROW,
// the session options production runs formulas with (SET NOCOUNT, XACT_ABORT, ANSI_WARNINGS,
// ARITHABORT, CONCAT_NULL_YIELDS_NULL, DATEFORMAT, DATEFIRST, LANGUAGE: the connection puts the
// session back after the run), and INSERT, UPDATE, DELETE of tables, which run and are rolled back
// with the rest;
// with DynamicBatches::ConstantsRead, EXEC of a constant text the guard accepts.
// Refused, with the statement and its line:
// - BEGIN TRAN, COMMIT, ROLLBACK: they end or split the check's transaction, so what follows
//   them would stay written;
// - EXEC and procedure calls: a procedure or a dynamic batch may do any of the above out of
//   sight (see DynamicBatches);
// - SET of any other session option (IDENTITY_INSERT, IMPLICIT_TRANSACTIONS, NOEXEC, ROWCOUNT,
//   TRANSACTION ISOLATION LEVEL, ...; each option of a list is judged): it outlives the batch and
//   changes how later checks and saves on the same connection behave;
// - a table named with four parts: a linked server is outside the check's transaction;
// - any statement kind the guard does not know (fail closed).
GuardVerdict guardBatch(const QString& sql, DynamicBatches dynamic = DynamicBatches::Refused);

// The same for a batch that starts with a text of this system's own (the declaration block of
// the check): only what follows the first `trustedPrefix` characters is read, and lines are
// counted in the whole batch (`trustedLines` line breaks in the prefix). A prefix of whole
// statements cannot change how the rest is read: a text that continued its last statement
// would not parse on its own and is refused. A rest that starts with a statement keyword is read
// as the engine reads the rest of a batch after its declarations (tsql::parseStandaloneRest, the
// same statements as read on their own): those statements come with the verdict (`read`).
GuardVerdict guardBatch(const QString& sql, qsizetype trustedPrefix, int trustedLines,
                        DynamicBatches dynamic = DynamicBatches::Refused);
// The same given the rest alone (the text after the prefix), for a caller that has it apart;
// `tokens`: the rest's as tsql::tokenize read it without an error, when the caller has them.
GuardVerdict guardRest(const QString& rest, qsizetype trustedPrefix, int trustedLines,
                       DynamicBatches dynamic = DynamicBatches::Refused,
                       std::vector<tsql::Token> tokens = {});

} // namespace check
