// T-SQL command of the tool: check-sql, the server's verdict on a batch.

#include "ado/Ado.h"
#include "apps/formule/Command.h"

using namespace formule_cli;

namespace {

// Runs the batch inside a transaction that is always rolled back, so that checking a batch
// never changes the database, and prints "OK" or the first error as the server reports it.
int runCheckSql(Context& ctx, const QCommandLineParser&, const QStringList& positional) {
    if (positional.size() > 1) {
        *ctx.err << "check-sql: give the batch as one argument (quote it), or \"-\" to read it from standard "
                    "input\n";
        return ExitUsage;
    }
    const QString text = ctx.textArgument(positional, 0);
    ado::Connection* conn = nullptr;
    try {
        conn = ctx.connection();
    } catch (const core::ComError& e) {
        *ctx.err << "check-sql: " << e.description() << "\n";
        return ExitUsage;
    }
    bool failed = false;
    try {
        conn->BeginTrans();
        conn->ExecuteBatch(text);
    } catch (const core::ComError& e) {
        failed = true;
        const QList<ado::Error>& errors = conn->GetErrors().items();
        if (errors.isEmpty() || errors.first().nativeError == 0) {
            *ctx.out << e.description() << "\n";
        } else {
            const ado::Error& x = errors.first();
            *ctx.out << QStringLiteral("Msg %1, Level %2, State %3, Line %4: %5")
                            .arg(x.nativeError)
                            .arg(x.severity)
                            .arg(x.state)
                            .arg(x.line)
                            .arg(x.description);
            if (x.column > 0)
                *ctx.out << QStringLiteral(" (column %1)").arg(x.column);
            *ctx.out << "\n";
        }
    }
    try {
        if (conn->TransactionCount() > 0)
            conn->RollbackTrans();
    } catch (const core::ComError&) {
        // The batch may have ended the transaction itself; nothing is left to undo then.
    }
    if (!failed)
        *ctx.out << "OK\n";
    return failed ? ExitNegative : ExitOk;
}

const Registrar checkSqlCommand({
    QStringLiteral("check-sql"),
    QStringLiteral("check-sql [TEXT|-]  run the batch TEXT (standard input for \"-\" or when missing) on the "
                   "database inside a transaction that is rolled back; prints OK or the first error as "
                   "\"Msg N, Level L, State S, Line R: message (column C)\""),
    [](QCommandLineParser& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The batch."),
                                     QStringLiteral("[TEXT|-]"));
    },
    runCheckSql,
});

} // namespace
