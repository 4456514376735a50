// T-SQL command of the tool: check-sql, the server's verdict on a batch.

#include "ado/Ado.h"
#include "apps/formule/Command.h"
#include "check/GuardedRun.h"

using namespace formule_cli;

namespace {

// Runs the batch as the check runs a formula (the statement guard, then an isolated transaction
// that is always rolled back, within the check's limits), so that checking a batch never changes
// the database, and prints "OK" or the first error as the server reports it. Unlike a formula's
// check, a dynamic batch written out as constants, EXEC ('SELECT 1'), is read by the guard and
// runs when the guard accepts its text.
int runCheckSql(Context& ctx, const QCommandLineParser&, const QStringList& positional) {
    const QString text = ctx.textArgument(positional, 0);
    ado::Connection* conn = nullptr;
    try {
        conn = ctx.connection();
    } catch (const core::ComError& e) {
        *ctx.err << "check-sql: " << e.description() << "\n";
        return ExitUsage;
    }
    check::GuardedOutcome outcome;
    try {
        outcome = check::runGuarded(*conn, text, check::checkLimits(), check::DynamicBatches::ConstantsRead);
    } catch (const core::ComError& e) {
        *ctx.out << e.description() << "\n";
        return ExitNegative;
    }
    if (!outcome.accepted()) {
        *ctx.out << check::describeFailure(outcome, 0, hostServices(ctx).f.translate) << "\n";
        return ExitNegative;
    }
    *ctx.out << "OK\n";
    return ExitOk;
}

const Registrar checkSqlCommand({
    QStringLiteral("check-sql"),
    QStringLiteral("esegue il batch TEXT (lo standard input per \"-\" o se manca) sul database come il "
                   "controllo esegue una formula (le istruzioni che potrebbero chiuderne la transazione o "
                   "cambiare la sessione sono rifiutate; tutto è annullato; al massimo 10 s); stampa OK o il "
                   "primo errore come \"Msg N, Level L, State S, Line R: messaggio (column C)\". GOTO, "
                   "RAISERROR, THROW e PRINT vengono eseguiti; EXEC di un testo scritto come costanti "
                   "stringa, EXEC ('SELECT 1'), viene eseguito come batch a sé se il testo rispetta le "
                   "stesse regole; EXEC di una variabile, sp_executesql e le procedure sono rifiutati"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("Il batch."),
                                     QStringLiteral("[TEXT|-]"));
    },
    runCheckSql,
    1,
});

} // namespace
