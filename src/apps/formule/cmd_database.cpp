// Database commands of the tool: init-db, sql, demo.

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "apps/formule/Command.h"
#include "apps/formule/Help.h"
#include "host/TranslationService.h"
#include "tables/EditingContext.h"
#include "tables/FormulaTables.h"

#include <QLocale>

using namespace formule_cli;

namespace {

QString cellText(const core::Variant& v) {
    if (v.isNull())
        return QStringLiteral("NULL");
    return v.toString();
}

// A value of sql's output, in the C locale whatever --lang says: NULL as NULL; a decimal with its
// scale (DECIMAL(10,2) 2 is 2.00), a bit as 0 or 1, a float whole and without exponent; in a
// text, a backslash as \\, a tab as \t, a line feed as \n, a carriage return as \r, and a text
// that reads NULL as \NULL, so that every line is one row and NULL is never a text.
QString sqlCell(const core::Variant& v) {
    switch (v.type()) {
    case core::VarType::Null:
    case core::VarType::Empty:
        return QStringLiteral("NULL");
    case core::VarType::Boolean:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case core::VarType::Decimal:
        return v.toDecimal().toString();
    case core::VarType::Double:
        return QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest);
    case core::VarType::String:
        break;
    default:
        return v.toString();
    }
    const QString text = v.toString();
    if (text == QLatin1String("NULL"))
        return QStringLiteral("\\NULL");
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QStringLiteral("\\\\");
            break;
        case u'\t':
            escaped += QStringLiteral("\\t");
            break;
        case u'\n':
            escaped += QStringLiteral("\\n");
            break;
        case u'\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void printRowSet(QTextStream& out, const core::RowSet& rs) {
    out << rs.columns.join(u'\t') << "\n";
    for (const QList<core::Variant>& row : rs.rows) {
        QStringList cells;
        cells.reserve(row.size());
        for (const core::Variant& v : row)
            cells << sqlCell(v);
        out << cells.join(u'\t') << "\n";
    }
}

QString rowsAffected(qint64 n) {
    return n == 1 ? tx(QStringLiteral("(1 riga interessata)"))
                  : tx(QStringLiteral("(%1 righe interessate)")).arg(n);
}

int runInitDb(Context& ctx, const QCommandLineParser& parser, const QStringList&) {
    const bool demo = parser.isSet(QStringLiteral("demo"));
    try {
        const ado::setup::InitReport report = ado::setup::initialize(ctx.connectionString, demo);
        QTextStream& out = *ctx.out;
        if (report.fileCreated)
            out << tx(QStringLiteral("file del database creato")) << "\n";
        if (report.tablesCreated.isEmpty())
            out << tx(QStringLiteral("schema già presente")) << "\n";
        else
            out << tx(QStringLiteral("tabelle create: %1"))
                       .arg(report.tablesCreated.join(QStringLiteral(", ")))
                << "\n";
        if (demo)
            out << tx(QStringLiteral("righe dimostrative caricate: %1")).arg(report.demoRows) << "\n";
        return ExitOk;
    } catch (const ado::setup::SetupError& e) {
        *ctx.err << "init-db: " << e.description() << "\n";
        return e.kind() == ado::setup::SetupError::Kind::Connection ? ExitUsage : ExitNegative;
    }
}

int runSql(Context& ctx, const QCommandLineParser&, const QStringList& positional) {
    const QString text = ctx.textArgument(positional, 0);
    if (text.trimmed().isEmpty()) {
        *ctx.err << "sql: " << tx(QStringLiteral("nessuna istruzione indicata")) << "\n";
        return ExitUsage;
    }
    ado::Connection* conn = nullptr;
    try {
        conn = ctx.connection();
    } catch (const core::ComError& e) {
        // The database could not be opened: its reason, without the error's number.
        *ctx.err << "sql: " << e.description() << "\n";
        return ExitUsage;
    }
    ado::BatchOutcome outcome;
    try {
        outcome = conn->ExecuteBatch(text);
    } catch (const core::ComError& e) {
        // The server's messages as its own tools show them: "Msg N, Level L, State S, Line R" and
        // the text on the next line; a message without a number (the connection's) as it is.
        QList<ado::Error> errors = conn->GetErrors().items();
        if (errors.isEmpty())
            errors.append(ado::Error{});
        for (qsizetype k = 0; k < errors.size(); ++k) {
            const ado::Error& x = errors.at(k);
            const QString message = k == 0 && x.description.isEmpty() ? e.description() : x.description;
            if (x.nativeError == 0) {
                *ctx.err << "sql: " << message << "\n";
                continue;
            }
            *ctx.err << QStringLiteral("Msg %1, Level %2, State %3, Line %4\n%5\n")
                            .arg(x.nativeError)
                            .arg(x.severity)
                            .arg(x.state)
                            .arg(x.line)
                            .arg(message);
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
