#pragma once

#include <QString>

#include <optional>

namespace check {

// A statement of a formula that the syntax check refuses to send to the server.
struct RefusedStatement {
    QString keyword; // as written in the formula ("COMMIT", "EXEC", "SET ANSI_WARNINGS", ...)
    int line = 1;    // line of the checked text where it starts, from 1
    QString reason;  // why the check cannot run it
};

// The check runs the formula inside a transaction that it always rolls back. A few statements
// would defeat that or leave something behind on the connection the window keeps using, so the
// formula is judged not correct without being sent when it holds one of them (outside string
// literals, comments and quoted or bracketed names):
// - COMMIT, ROLLBACK, BEGIN TRAN/TRANSACTION/DISTRIBUTED: they end or split the check's
//   transaction, so what follows them would stay written ("COMMIT; DELETE ...; BEGIN TRAN"
//   even leaves the transaction count as it found it);
// - EXEC/EXECUTE: a procedure or a dynamic batch may do any of the above out of sight;
// - SET of a session option (SET XACT_ABORT, SET IMPLICIT_TRANSACTIONS, SET NOEXEC,
//   SET ANSI_WARNINGS, SET ROWCOUNT, ...), USE, EXECUTE AS, REVERT, SETUSER: they outlive the
//   batch and change how later checks and saves on the same connection behave;
// - SHUTDOWN, KILL, RECONFIGURE, DBCC, CHECKPOINT, BACKUP, RESTORE: server operations that no
//   rollback undoes.
// Data changes (INSERT, UPDATE, DELETE, MERGE) and table DDL (CREATE, ALTER, DROP, TRUNCATE)
// are not refused: they run and are rolled back like everything else in the transaction.
// SET of a variable (SET @x = ...) and of a column in an UPDATE (SET col = ..., col += ...)
// are ordinary statements.
std::optional<RefusedStatement> findRefusedStatement(const QString& sql);

} // namespace check
