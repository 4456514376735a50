// formule export and import: the formulas as text files, one per record, in display form, and
// back into the database through one transaction (all or none).

#include "Command.h"
#include "ExportTexts.h"
#include "RecordSave.h"

#include "ado/Ado.h"
#include "check/BulkCheck.h"
#include "core/NullSafe.h"
#include "editing/FormulaFiles.h"
#include "editing/FormulaHistory.h"
#include "language/FormulaLanguage.h"
#include "language/StoredFormulas.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

namespace {

using namespace formule_cli;
namespace xtext = formule_cli::exporting::text;
namespace files = editing::formulafiles;

int usage(Context& ctx, const QString& command, const QString& message) {
    *ctx.err << command << ": " << message << '\n';
    ctx.err->flush();
    return ExitUsage;
}

// The two translations with a silent error display: a failure is a result, not a message.
class Translator {
public:
    explicit Translator(Context& ctx)
        : m_services(hostServices(ctx)) {
        // The labels in the files are the Italian ones whatever --lang says: a folder exported
        // under one language imports under any other.
        m_services.f.translate = {};
        m_services.f.errorAnswer = [](const QString&, const core::ErrorInfo&) {
            return static_cast<int>(core::Answer::Abort);
        };
        m_language.emplace(m_services);
    }
    // The display form of a stored SQL form as show prints it; nullopt when it cannot be shown.
    std::optional<QString> display(const QString& sql) {
        const QString shown = m_language->encodeToken(sql);
        if (m_language->lastErrorCount() > 0)
            return std::nullopt;
        return language::singledQuotes(shown);
    }
    // The SQL form the save writes for a display form (trailing blanks trimmed, as it trims
    // them); nullopt when the translation fails.
    std::optional<QString> sql(const QString& display) {
        const QString trimmed = core::RTrimN(core::Variant(display)).toString();
        const QString text = m_language->decodeToken(trimmed, false);
        if (m_language->lastErrorCount() > 0 || text.isEmpty())
            return std::nullopt;
        return text;
    }

private:
    core::FunctionServices m_services;
    std::optional<language::FormulaLanguage> m_language;
};

editing::FilesTranslateFn translator(Context& ctx) {
    return [&ctx](const QString& text) { return ctx.tr(text); };
}

// What the record holds now, trailing blanks removed as show reads it; nullopt outside for no
// record, nullopt inside for NULL.
std::optional<std::optional<QString>> heldFormula(ado::Connection& connection, int context, qint64 id) {
    const ado::RecordsetPtr rs =
        connection.Execute(*tables::formulaSelectStatement(context, QString::number(id)));
    if (!rs || !rs->IsOpen() || rs->IsEOF())
        return std::nullopt;
    const core::Variant value = rs->GetFields().Item(0).Value();
    if (value.isNull())
        return std::optional<QString>();
    return std::optional<QString>(core::RTrimN(value).toString());
}

// ---- export ----

// The manifest of an earlier export in `dir`; an empty list for an empty or new folder. Throws
// UsageError for a folder that holds something else.
QList<editing::ManifestEntry> earlierExport(Context& ctx, const QDir& dir) {
    if (!dir.exists())
        return {};
    QFile manifest(dir.filePath(files::ManifestName));
    if (!manifest.exists()) {
        if (!dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
            throw UsageError{ctx.tr(xtext::NotEmpty).arg(dir.path())};
        return {};
    }
    if (!manifest.open(QIODevice::ReadOnly))
        throw UsageError{manifest.fileName() + QStringLiteral(": ") + ctx.tr(xtext::Unreadable)};
    if (manifest.size() > MaxInputBytes)
        throw UsageError{manifest.fileName() + QStringLiteral(": ") +
                         ctx.tr(xtext::TooLarge).arg(MaxInputBytes)};
    editing::FileProblem problem;
    const auto entries =
        files::parseManifest(QString::fromUtf8(manifest.readAll()), &problem, translator(ctx));
    if (!entries)
        throw UsageError{
            QStringLiteral("%1:%2: %3").arg(manifest.fileName()).arg(problem.line).arg(problem.message)};
    return *entries;
}

// Writes `text` to `path` unless the file holds it already (an unchanged export touches nothing).
void writeFile(Context& ctx, const QString& path, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() && existing.readAll() == bytes)
        return;
    existing.close();
    // Written in place, without a flush to disk per file (a thousand files would wait on the
    // disk a thousand times); a new export writes them again.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush())
        throw UsageError{ctx.tr(xtext::NotWritten).arg(path)};
}

int runExport(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const QString command = QStringLiteral("export");
    if (positional.size() != 1 || positional.first().isEmpty())
        return usage(ctx, command, ctx.tr(xtext::FolderRequired));
    std::optional<int> only;
    if (parser.isSet(QStringLiteral("context"))) {
        only = parseContext(parser.value(QStringLiteral("context")));
        if (!only)
            return usage(ctx, command, ctx.tr(xtext::BadContext));
    }
    const QDir dir(positional.first());
    QList<editing::ManifestEntry> earlier;
    try {
        earlier = earlierExport(ctx, dir);
    } catch (const UsageError& e) {
        return usage(ctx, command, e.message);
    }
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    editing::FormulaHistory history(*connection, translator(ctx));
    const bool versions = history.available();
    Translator translate(ctx);
    QList<editing::ManifestEntry> entries;
    // Another context's files of an earlier export stay when --context names one.
    for (const editing::ManifestEntry& e : earlier)
        if (only && e.context != *only)
            entries.append(e);
    QStringList exact;
    try {
        if (!dir.exists() && !QDir().mkpath(dir.path()))
            throw UsageError{ctx.tr(xtext::NotWritten).arg(dir.path())};
        language::StoredFormulaReader reader(*connection, only);
        while (const std::optional<language::StoredFormula> record = reader.next()) {
            editing::FormulaFileHeader header{
                .context = record->context,
                .id = record->id,
                .version = versions ? history.latestVersion(record->context, record->id) : 0,
                .hash = editing::formulaHash(record->sql)};
            const std::optional<QString> display = translate.display(record->sql);
            // The display form must give back the stored form exactly; where it does not, the
            // file keeps the stored form as well.
            if (!display || translate.sql(*display) != record->sql)
                header.exactSql = record->sql;
            const QString path = files::relativePath(record->context, record->id, record->description);
            if (!dir.mkpath(QString::number(record->context)))
                throw UsageError{
                    ctx.tr(xtext::NotWritten).arg(dir.filePath(QString::number(record->context)))};
            writeFile(ctx, dir.filePath(path), files::fileText(header, display.value_or(QString())));
            if (header.exactSql)
                exact << path;
            entries.append({record->context, record->id, path, header.version, header.hash});
        }
        writeFile(ctx, dir.filePath(files::ManifestName), files::manifestText(entries));
        // Git keeps the files' bytes as they are: line breaks converted on a checkout would change
        // the formulas (and the headers).
        writeFile(ctx, dir.filePath(QStringLiteral(".gitattributes")),
                  QStringLiteral("*.sql -text\n%1 -text\n").arg(files::ManifestName));
    } catch (const UsageError& e) {
        return usage(ctx, command, e.message);
    }
    // The files of the earlier export that name no record any more (or a record whose
    // description changed) go: the folder holds this export only.
    QSet<QString> kept;
    for (const editing::ManifestEntry& e : entries)
        kept.insert(e.file);
    int removed = 0;
    for (const editing::ManifestEntry& e : earlier)
        if (!kept.contains(e.file) && e.file.endsWith(files::Extension) &&
            QFile::remove(dir.filePath(e.file)))
            ++removed;
    for (const QString& path : exact)
        *ctx.err << command << ": " << path << ": " << ctx.tr(xtext::KeptExact) << '\n';
    if (removed > 0)
        *ctx.err << command << ": " << ctx.tr(xtext::Removed).arg(removed) << '\n';
    *ctx.out << ctx.tr(xtext::Exported).arg(entries.size()).arg(dir.path()) << '\n';
    ctx.out->flush();
    ctx.err->flush();
    return ExitOk;
}

const Registrar exportCommand(Command{
    QStringLiteral("export"),
    QStringLiteral(
        "scrive ogni formula memorizzata in DIR come file di testo in forma visualizzata, "
        "DIR/<contesto>/<id>-<descrizione>.sql con un'intestazione (contesto, id, versione, hash), e "
        "DIR/manifest.tsv; DIR deve essere vuota o contenere un'esportazione precedente, i cui file che non "
        "nominano più un record vengono rimossi. Un database invariato esporta file identici"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(
            QStringLiteral("context"),
            QStringLiteral("Solo le formule del contesto di modifica N (0, 1, 2)."), QStringLiteral("N")));
    },
    runExport,
    1,
    DatabaseUse::SchemaRead,
});

// ---- import ----

// One file of the folder, read and judged.
struct ImportItem {
    QString file; // relative to the folder
    editing::FormulaFile parsed;
    std::optional<QString> sql; // what the import writes; nullopt: NULL (an empty formula)
    bool translated = true;
    bool changes = false;
    int latest = 0; // the record's latest version when it was judged
    check::CheckedFormula checked;
};

// Problems of the input, each "FILE:LINE: message"; any of them writes nothing.
struct InputProblems {
    QStringList lines;
    void add(const QString& file, int line, const QString& message) {
        lines << QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message);
    }
};

// The line (from 1) of the byte at `offset`.
int lineAt(const QByteArray& bytes, qsizetype offset) {
    return int(QByteArrayView(bytes).first(offset).count('\n')) + 1;
}

// Reads one file as UTF-8 text; a problem when it cannot be read or is not UTF-8.
std::optional<QString> readText(Context& ctx, const QString& path, const QString& name,
                                InputProblems& problems) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problems.add(name, 0, ctx.tr(xtext::Unreadable));
        return std::nullopt;
    }
    if (file.size() > MaxInputBytes) {
        problems.add(name, 0, ctx.tr(xtext::TooLarge).arg(MaxInputBytes));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (const std::optional<TextFlaw> flaw = findTextFlaw(bytes)) {
        problems.add(
            name, lineAt(bytes, flaw->offset),
            ctx.tr(flaw->kind == TextFlaw::Kind::Nul ? xtext::NulByte : xtext::NotUtf8).arg(flaw->offset));
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        problems.add(name, 1, ctx.tr(xtext::NotUtf8).arg(0));
        return std::nullopt;
    }
    return text;
}

// Every *.sql file under the folder, read and parsed, the records they name checked for; the
// problems found instead.
QList<ImportItem> readFolder(Context& ctx, ado::Connection& connection, const QDir& dir,
                             InputProblems& problems) {
    QStringList names;
    const QDir absolute(dir.absolutePath());
    QDirIterator it(absolute.path(), {QStringLiteral("*") + files::Extension}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << absolute.relativeFilePath(it.next());
    names.sort();
    QList<ImportItem> items;
    QHash<QPair<int, qint64>, QString> seen;
    for (const QString& name : names) {
        // Problems name the file as the folder was given.
        const QString shown = dir.filePath(name);
        const std::optional<QString> text = readText(ctx, shown, shown, problems);
        if (!text)
            continue;
        editing::FileProblem problem;
        const std::optional<editing::FormulaFile> parsed = files::parseFile(*text, &problem, translator(ctx));
        if (!parsed) {
            problems.add(shown, problem.line, problem.message);
            continue;
        }
        const auto key = qMakePair(parsed->header.context, parsed->header.id);
        constexpr int IdLine = 3; // the header's line of the id
        if (!heldFormula(connection, key.first, key.second)) {
            problems.add(shown, IdLine, ctx.tr(xtext::NoRecord).arg(key.second).arg(key.first));
            continue;
        }
        if (seen.contains(key)) {
            problems.add(shown, IdLine, ctx.tr(xtext::Duplicate).arg(dir.filePath(seen.value(key))));
            continue;
        }
        seen.insert(key, name);
        items.append({.file = name, .parsed = *parsed});
    }
    return items;
}

// What each file would write, whether that changes the record, and the check's verdict.
void judge(Context& ctx, ado::Connection& connection, QList<ImportItem>& items) {
    Translator translate(ctx);
    check::FormulaChecker checker(
        connection, [&ctx](const QString& t) { return ctx.tr(t); }, check::Judgement::AsEditor);
    for (ImportItem& item : items) {
        const editing::FormulaFileHeader& h = item.parsed.header;
        item.checked.context = h.context;
        item.checked.id = h.id;
        // The exact stored form of the header holds while the file shows what the export wrote.
        if (h.exactSql && translate.display(*h.exactSql).value_or(QString()) == item.parsed.display)
            item.sql = h.exactSql;
        else if (core::RTrimN(core::Variant(item.parsed.display)).toString().isEmpty())
            item.sql = std::nullopt;
        else if (const std::optional<QString> sql = translate.sql(item.parsed.display))
            item.sql = sql;
        else
            item.translated = false;
        const auto held = heldFormula(connection, h.context, h.id);
        item.changes = !item.translated || !held || *held != item.sql;
        item.latest = editing::FormulaHistory(connection).latestVersion(h.context, h.id);
        if (!item.translated) {
            item.checked.verdict = check::Verdict::Error;
            item.checked.message = ctx.tr(xtext::Untranslatable);
        } else if (item.sql) {
            item.checked = checker.check({h.context, h.id, QString(), *item.sql});
        }
    }
}

void printReport(Context& ctx, const QList<ImportItem>& items) {
    *ctx.out << "FILE\tCONTEXT\tID\tCHANGES\tSTALE\tVERDICT\tMESSAGE\n";
    for (const ImportItem& item : items) {
        const bool stale = item.checked.verdict == check::Verdict::Stale;
        *ctx.out << item.file << '\t' << item.parsed.header.context << '\t' << item.parsed.header.id << '\t'
                 << (item.changes ? "yes" : "no") << '\t'
                 << (stale ? item.checked.message : QStringLiteral("-")) << '\t'
                 << check::verdictName(item.checked.verdict) << '\t'
                 << (stale ? QString() : QString(item.checked.message).replace(u'\n', u' ')) << '\n';
    }
    ctx.out->flush();
}

// Writes every changed file in one transaction; the error of the first that fails otherwise.
std::optional<QString> writeAll(Context& ctx, ado::Connection& connection,
                                const QList<const ImportItem*>& changed,
                                const editing::VersionAuthor& author) {
    connection.BeginTrans();
    const ImportItem* current = nullptr;
    try {
        for (const ImportItem* item : changed) {
            current = item;
            const editing::FormulaFileHeader& h = item->parsed.header;
            const QString idText = QString::number(h.id);
            const std::optional<QString> stored =
                item->sql ? std::optional<QString>(language::doubledQuotes(*item->sql)) : std::nullopt;
            // A record another writer changed since the report is not written over.
            const editing::VersionedOutcome outcome = editing::writeVersionedIn(
                connection,
                {.context = h.context,
                 .idText = idText,
                 .sqlForm = item->sql,
                 .updateStatement = *tables::formulaUpdateStatement(h.context, stored, idText),
                 .author = author,
                 .expected = item->latest},
                [&ctx](const QString& t) { return ctx.tr(t); });
            if (const std::optional<editing::FormulaVersion>& newer = outcome.newer)
                throw core::ComError(
                    core::err::InvalidProcedureCall,
                    ctx.tr(editing::historymsg::Moved)
                        .arg(item->latest)
                        .arg(newer->version)
                        .arg(newer->user.isEmpty() ? ctx.tr(editing::historymsg::Unknown) : newer->user,
                             newer->when));
        }
        connection.CommitTrans();
        return std::nullopt;
    } catch (const core::ComError& e) {
        try {
            if (connection.TransactionCount() > 0)
                connection.RollbackTrans();
        } catch (const core::ComError&) {
        }
        return ctx.tr(xtext::WriteFailed).arg(current ? current->file : QString(), e.description());
    }
}

int runImport(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    const QString command = QStringLiteral("import");
    if (positional.size() != 1 || positional.first().isEmpty())
        return usage(ctx, command, ctx.tr(xtext::FolderRequired));
    const auto version = versionOptions(ctx, parser, command);
    if (!version)
        return ExitUsage;
    const QDir dir(positional.first());
    if (!dir.exists())
        return usage(ctx, command, ctx.tr(xtext::NoFolder).arg(dir.path()));
    ado::Connection* connection = openConnection(ctx, command);
    if (!connection)
        return ExitUsage;
    if (!editing::FormulaHistory(*connection).available())
        return usage(ctx, command, ctx.tr(editing::historymsg::NoTable));
    InputProblems problems;
    QList<ImportItem> items = readFolder(ctx, *connection, dir, problems);
    if (!problems.lines.isEmpty()) {
        for (const QString& line : problems.lines)
            *ctx.err << command << ": " << line << '\n';
        *ctx.err << command << ": " << ctx.tr(xtext::NothingWritten) << '\n';
        ctx.err->flush();
        return ExitUsage;
    }
    judge(ctx, *connection, items);
    printReport(ctx, items);
    QList<const ImportItem*> changed;
    bool failing = false;
    bool untranslatable = false;
    for (const ImportItem& item : items) {
        if (!item.changes)
            continue;
        changed << &item;
        untranslatable = untranslatable || !item.translated;
        failing = failing || (item.sql && item.checked.verdict != check::Verdict::Ok);
    }
    const auto finish = [&](const QString& message, int code) {
        (code == ExitOk ? *ctx.out : *ctx.err) << command << ": " << message << '\n';
        ctx.out->flush();
        ctx.err->flush();
        return code;
    };
    if (changed.isEmpty())
        return finish(ctx.tr(xtext::NothingToDo), ExitOk);
    if (untranslatable)
        return finish(ctx.tr(xtext::RefusedUntranslatable), ExitNegative);
    if (failing && !parser.isSet(QStringLiteral("yes")))
        return finish(ctx.tr(xtext::Refused), ExitNegative);
    if (parser.isSet(QStringLiteral("dry-run")))
        return finish(ctx.tr(xtext::DryRun).arg(changed.size()), ExitOk);
    const editing::VersionAuthor author{editing::Origin::Import, toolUser(ctx), version->comment};
    if (const std::optional<QString> failure = writeAll(ctx, *connection, changed, author))
        return finish(*failure, ExitNegative);
    return finish(ctx.tr(xtext::Imported).arg(changed.size()), ExitOk);
}

const Registrar importCommand(Command{
    QStringLiteral("import"),
    QStringLiteral(
        "legge i file di formule di un'esportazione, riporta per ognuno FILE, CONTESTO, ID, MODIFICHE "
        "(sì/no), OBSOLETI (categorie e varianti assenti da questo database), ESITO del controllo; poi "
        "scrive ogni modifica in una transazione (tutto o niente), ognuna una nuova versione \"import\". Una "
        "formula che non supera il controllo si scrive solo con --yes; un file non UTF-8, che non nomina un "
        "record o con l'intestazione danneggiata ferma tutto (uscita 2)"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(QStringLiteral("dry-run"),
                                            QStringLiteral("Solo resoconto: non scrive nulla.")));
        parser.addOption(
            QCommandLineOption(QStringLiteral("yes"),
                               QStringLiteral("Importa comunque le formule che non superano il controllo.")));
        addVersionOptions(parser, false);
    },
    runImport,
    1,
    DatabaseUse::Schema,
});

} // namespace
