// Database commands of the tool: init-db, sql, demo.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "apps/formule/Command.h"
#include "host/TranslationService.h"
#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"

using namespace formule_cli;

namespace {

QString cellText(const core::Variant& v) {
    if (v.isNull())
        return QStringLiteral("NULL");
    return v.toString();
}

void printRowSet(QTextStream& out, const core::RowSet& rs) {
    out << rs.columns.join(u'\t') << "\n";
    for (const QList<core::Variant>& row : rs.rows) {
        QStringList cells;
        cells.reserve(row.size());
        for (const core::Variant& v : row)
            cells << cellText(v);
        out << cells.join(u'\t') << "\n";
    }
}

QString rowsAffected(qint64 n) {
    return n == 1 ? QStringLiteral("(1 row affected)") : QStringLiteral("(%1 rows affected)").arg(n);
}

int runInitDb(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const bool demo = parser.isSet(QStringLiteral("demo"));
    try {
        const ado::setup::InitReport report = ado::setup::initialize(ctx.connectionString, demo);
        QTextStream& out = *ctx.out;
        if (report.fileCreated)
            out << "database file created\n";
        if (report.tablesCreated.isEmpty())
            out << "schema already present\n";
        else
            out << "tables created: " << report.tablesCreated.join(QStringLiteral(", ")) << "\n";
        if (demo)
            out << "demo rows loaded: " << report.demoRows << "\n";
        return ExitOk;
    } catch (const ado::setup::SetupError& e) {
        *ctx.err << "init-db: " << e.description() << "\n";
        return e.kind() == ado::setup::SetupError::Kind::Connection ? ExitUsage : ExitNegative;
    }
}

int runSql(Context& ctx, const QCommandLineParser&, const QStringList& positional) {
    const QString text = ctx.textArgument(positional, 0);
    if (text.trimmed().isEmpty()) {
        *ctx.err << "sql: no statement given\n";
        return ExitUsage;
    }
    ado::Connection* conn = ctx.connection();
    ado::BatchOutcome outcome;
    try {
        outcome = conn->ExecuteBatch(text);
    } catch (const core::ComError& e) {
        ctx.errorAnswer(QStringLiteral("sql"), e.info());
        // The server's message numbers and positions, as its own tools show them; the first
        // message has just been printed.
        const QList<ado::Error>& errors = conn->GetErrors().items();
        for (qsizetype k = 0; k < errors.size(); ++k) {
            const ado::Error& x = errors.at(k);
            if (x.nativeError == 0)
                continue;
            *ctx.err << QStringLiteral("Msg %1, Level %2, State %3, Line %4")
                            .arg(x.nativeError)
                            .arg(x.severity)
                            .arg(x.state)
                            .arg(x.line);
            if (k > 0)
                *ctx.err << ": " << x.description;
            *ctx.err << "\n";
        }
        return ExitNegative;
    }
    QTextStream& out = *ctx.out;
    for (qsizetype i = 0; i < outcome.resultSets.size(); ++i) {
        if (i > 0)
            out << "\n";
        printRowSet(out, outcome.resultSets.at(i));
    }
    if (outcome.resultSets.isEmpty() && outcome.recordsAffected >= 0)
        out << rowsAffected(outcome.recordsAffected) << "\n";
    return ExitOk;
}

int runDemo(Context& ctx, const QCommandLineParser&, const QStringList&) {
    ado::Connection* conn = ctx.connection();
    QTextStream& out = *ctx.out;
    bool first = true;
    for (const tables::EditingContext& s : tables::editingContexts()) {
        const QString title = ctx.translation ? ctx.translation->Traduci(QString::fromUtf8(s.caption))
                                              : QString::fromUtf8(s.caption);
        ado::RecordsetPtr rs = conn->Execute(tables::recordsStatement(s));
        if (!first)
            out << "\n";
        first = false;
        out << title << " (" << s.table << ")\n";
        while (!rs->IsEOF()) {
            const ado::Fields fields = rs->GetFields();
            const core::Variant formula = fields.Item(2).Value();
            out << cellText(fields.Item(0).Value()) << "\t" << cellText(fields.Item(1).Value()) << "\t"
                << (formula.isNull() ? QStringLiteral("NULL") : formula.toString().trimmed()) << "\n";
            rs->MoveNext();
        }
        rs->Close();
    }
    return ExitOk;
}

const Registrar initDbCommand({
    QStringLiteral("init-db"),
    QStringLiteral("crea il file del database e le tabelle mancanti; con --demo carica anche le righe "
                   "dimostrative (rifiutato se le tabelle contengono righe)"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(
            QStringLiteral("demo"),
            QStringLiteral("Carica le righe dimostrative (rifiutato se le tabelle contengono righe).")));
    },
    runInitDb,
});

const Registrar sqlCommand({
    QStringLiteral("sql"),
    QStringLiteral(
        "esegue TEXT (lo standard input per \"-\" o se manca) sul database; stampa una riga di intestazione "
        "con i nomi dei campi, poi le righe separate da tabulazioni (vedi CONVENZIONI DI sql)"),
    [](CommandLine& parser) {
        parser.addPositionalArgument(QStringLiteral("TEXT"),
                                     QStringLiteral("Le istruzioni, inviate come un unico batch."),
                                     QStringLiteral("[TEXT|-]"));
    },
    runSql,
    1,
});

const Registrar demoCommand({
    QStringLiteral("demo"),
    QStringLiteral("mostra le formule memorizzate dei dati dimostrativi, per contesto di modifica"),
    nullptr,
    runDemo,
    0,
    DatabaseUse::SchemaRead,
});

} // namespace
