#include "apps/formule/Help.h"

#include "host/TranslationService.h"

#include <QHash>

namespace formule_cli {

namespace {

const host::TranslationService* toolTranslation = nullptr;

// Lines of at most `width` characters, broken at blanks, each after `indent` blanks.
QString wrapped(const QString& text, int indent, int width = 100) {
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    const QString pad(indent, u' ');
    QString result, line;
    for (const QString& word : words) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            result += pad + line + u'\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        result += pad + line + u'\n';
    return result;
}

// "--name VALUE" (or "--name"), for the help and the usage line.
QString optionSyntax(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += u' ' + option.valueName();
    return text;
}

// The command's options and arguments, as its configure declares them.
CommandLine tableOf(const Command& command) {
    CommandLine table;
    if (command.configure)
        command.configure(table);
    return table;
}

// An option list: the syntax of each option, its description on the following line.
QString optionList(const QList<QCommandLineOption>& options) {
    QString text;
    for (const QCommandLineOption& option : options) {
        text += QStringLiteral("  ") + optionSyntax(option) + u'\n';
        text += wrapped(tx(option.description()), 6);
    }
    return text;
}

// Roff text: backslashes and hyphens escaped, a line that would start with a control character
// kept as text.
QString roff(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\e"));
    escaped.replace(u'-', QStringLiteral("\\-"));
    QStringList lines = escaped.split(u'\n');
    for (QString& line : lines) {
        if (line.startsWith(u'.') || line.startsWith(u'\''))
            line.prepend(QStringLiteral("\\&"));
    }
    return lines.join(u'\n');
}

QString manOptions(const QList<QCommandLineOption>& options) {
    QString text;
    for (const QCommandLineOption& option : options)
        text += QStringLiteral(".TP\n.B %1\n%2\n")
                    .arg(roff(optionSyntax(option)), roff(tx(option.description())));
    return text;
}

// The names of every option of `options` as bash words ("--db --lang ...").
QStringList optionWords(const QList<QCommandLineOption>& options) {
    QStringList words;
    for (const QCommandLineOption& option : options) {
        for (const QString& name : option.names())
            words << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    return words;
}

QStringList valueOptionWords(const QList<QCommandLineOption>& options) {
    QList<QCommandLineOption> withValue;
    for (const QCommandLineOption& option : options) {
        if (!option.valueName().isEmpty())
            withValue << option;
    }
    return optionWords(withValue);
}

const QString Common = QStringLiteral("Opzioni comuni a ogni comando:");

} // namespace

QList<QCommandLineOption> commonOptions() {
    return {
        {QStringLiteral("db"),
         QStringLiteral("Stringa di connessione del database (predefinita: FORMULE_DB, poi la prima riga del "
                        "file di FORMULE_DB_FILE, poi il database dimostrativo nella cartella dati "
                        "dell'utente, creato al primo uso)."),
         QStringLiteral("CONNSTR")},
        {QStringLiteral("lang"),
         QStringLiteral("Lingua dei testi: it o en (predefinita: dalla localizzazione, LC_ALL, LC_MESSAGES o "
                        "LANG; it* italiano, altrimenti inglese)."),
         QStringLiteral("it|en")},
        {QStringLiteral("company"), QStringLiteral("Codice della ditta (predefinito 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("on-error"),
         QStringLiteral(
             "Risposta a un passo che fallisce: abort (predefinita) o ignore. Gli errori vanno sullo "
             "standard error."),
         QStringLiteral("abort|ignore"), QStringLiteral("abort")},
        {QStringLiteral("verbose"),
         QStringLiteral("Scrive sullo standard error il registro delle categorie formule.* (come "
                        "QT_LOGGING_RULES=\"formule.*=true\").")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Mostra questo aiuto.")},
    };
}

QString toolLanguage(const QStringList& arguments, const QProcessEnvironment& environment) {
    // The last one counts, as for the parser.
    QString given;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--lang") && i + 1 < arguments.size())
            given = arguments.at(++i);
        else if (a.startsWith(QLatin1String("--lang=")))
            given = a.mid(7);
    }
    return given.isNull() ? host::TranslationService::localeLanguage(environment) : given;
}

void setToolTranslation(const host::TranslationService* translation) {
    toolTranslation = translation;
}

QString tx(const QString& italianText) {
    return toolTranslation ? toolTranslation->Traduci(italianText) : italianText;
}

QString usageLine(const Command& command) {
    const CommandLine table = tableOf(command);
    QString line = QStringLiteral("formule ") + command.name;
    for (const QCommandLineOption& option : table.options())
        line += QStringLiteral(" [") + optionSyntax(option) + u']';
    for (const CommandLine::Argument& argument : table.arguments())
        line += u' ' + (argument.syntax.isEmpty() ? argument.name : argument.syntax);
    return line;
}

QString toolHelp() {
    QString text = tx(QStringLiteral("formule: gli strumenti dell'editor di formule dei listini.")) + u'\n';
    text += u'\n' + tx(QStringLiteral("Uso: formule [opzioni comuni] COMANDO [argomenti]")) + u'\n';
    text += u'\n' + tx(QStringLiteral("Comandi:")) + u'\n';
    qsizetype width = 0;
    for (const Command& c : commands())
        width = qMax(width, c.name.size());
    for (const Command& c : commands()) {
        const QString first = QStringLiteral("  %1  ").arg(c.name.leftJustified(width));
        QString described = wrapped(tx(c.synopsis), int(first.size()));
        text += first + described.mid(first.size());
    }
    text += u'\n' + tx(Common) + u'\n' + optionList(commonOptions());
    text += QStringLiteral("  --version\n") + wrapped(tx(QStringLiteral("Mostra la versione.")), 6);
    text += u'\n' +
            tx(QStringLiteral("\"formule COMANDO --help\" mostra le opzioni e un esempio di un comando.")) +
            u'\n';
    text += tx(QStringLiteral("Codici di uscita: 0 riuscito, 1 esito negativo, 2 uso errato o database non "
                              "disponibile.")) +
            u'\n';
    return text;
}

QString commandHelp(const Command& command) {
    const CommandLine table = tableOf(command);
    QString text = tx(QStringLiteral("Uso:")) + u'\n' + wrapped(usageLine(command), 2) + u'\n';
    text += wrapped(tx(command.synopsis), 0);
    if (!table.options().isEmpty())
        text += u'\n' + tx(QStringLiteral("Opzioni:")) + u'\n' + optionList(table.options());
    if (!table.arguments().isEmpty()) {
        text += u'\n' + tx(QStringLiteral("Argomenti:")) + u'\n';
        for (const CommandLine::Argument& argument : table.arguments())
            text += QStringLiteral("  ") + argument.name + u'\n' + wrapped(tx(argument.description), 6);
    }
    text += u'\n' + tx(Common) + u'\n' + optionList(commonOptions());
    if (const QString example = exampleOf(command.name); !example.isEmpty())
        text += u'\n' + tx(QStringLiteral("Esempio:")) + u'\n' + QStringLiteral("  ") + example + u'\n';
    return text;
}

QString manualPage() {
    QString page = QStringLiteral(".TH FORMULE 1\n.SH %1\nformule \\- %2\n")
                       .arg(tx(QStringLiteral("NOME")),
                            roff(tx(QStringLiteral("gli strumenti dell'editor di formule dei listini"))));
    page += QStringLiteral(".SH %1\n.B formule\n[\\fIopzioni\\fR] \\fICOMANDO\\fR [\\fIargomenti\\fR]\n")
                .arg(tx(QStringLiteral("SINTESI")));
    page +=
        QStringLiteral(".SH %1\n%2\n")
            .arg(tx(QStringLiteral("DESCRIZIONE")),
                 roff(tx(QStringLiteral("formule lavora sulle formule memorizzate nel database di --db: le "
                                        "controlla, le esegue su valori di prova, le salva con la loro "
                                        "storia, le esporta e importa, e serve il database ai client SQL "
                                        "Server."))));
    page += QStringLiteral(".SH %1\n").arg(tx(QStringLiteral("COMANDI")));
    for (const Command& command : commands()) {
        const CommandLine table = tableOf(command);
        page += QStringLiteral(".SS %1\n.B %2\n.PP\n%3\n")
                    .arg(command.name, roff(usageLine(command)), roff(tx(command.synopsis)));
        page += manOptions(table.options());
        for (const CommandLine::Argument& argument : table.arguments())
            page +=
                QStringLiteral(".TP\n.I %1\n%2\n").arg(roff(argument.name), roff(tx(argument.description)));
        if (const QString example = exampleOf(command.name); !example.isEmpty())
            page += QStringLiteral(".PP\n%1\n.RS\n.nf\n%2\n.fi\n.RE\n")
                        .arg(roff(tx(QStringLiteral("Esempio:"))), roff(example));
    }
    page += QStringLiteral(".SH %1\n").arg(roff(tx(QStringLiteral("OPZIONI COMUNI"))));
    page += manOptions(commonOptions());
    page +=
        QStringLiteral(".SH %1\n%2\n")
            .arg(roff(tx(QStringLiteral("AMBIENTE"))),
                 roff(tx(QStringLiteral("LC_ALL, LC_MESSAGES, LANG: la lingua dei testi quando manca --lang. "
                                        "FORMULE_DB: la stringa di connessione quando manca --db; "
                                        "FORMULE_DB_FILE: un file la cui prima riga la contiene. "
                                        "FORMULE_PASSWORD: la password di serve. QT_LOGGING_RULES: il "
                                        "registro delle categorie formule.*."))));
    page += QStringLiteral(".SH %1\n%2\n")
                .arg(roff(tx(QStringLiteral("STATO DI USCITA"))),
                     roff(tx(QStringLiteral("Codici di uscita: 0 riuscito, 1 esito negativo, 2 uso errato o "
                                            "database non disponibile."))));
    return page;
}

QString bashCompletion() {
    QStringList names;
    for (const Command& command : commands())
        names << command.name;
    const QList<QCommandLineOption> common = commonOptions();
    QStringList valueWords = valueOptionWords(common);
    QString cases;
    for (const Command& command : commands()) {
        const CommandLine table = tableOf(command);
        valueWords << valueOptionWords(table.options());
        cases += QStringLiteral("        %1) words=\"%2\" ;;\n")
                     .arg(command.name, optionWords(table.options()).join(u' '));
    }
    valueWords.removeDuplicates();
    return QStringLiteral(
               "# bash completion of formule: its commands and each command's options.\n"
               "# Made by \"formule help --completion\" from the tool's option table; do not edit.\n"
               "_formule() {\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
               "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
               "    local commands=\"%1\"\n"
               "    local common=\"%2\"\n"
               "    case $prev in\n"
               "        --lang) COMPREPLY=($(compgen -W \"it en\" -- \"$cur\")); return ;;\n"
               "        %3) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
               "    esac\n"
               "    local command= i\n"
               "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
               "        case ${COMP_WORDS[i]} in\n"
               "            %3) ((i++)) ;;\n"
               "            -*) ;;\n"
               "            *) command=${COMP_WORDS[i]}; break ;;\n"
               "        esac\n"
               "    done\n"
               "    local words=\n"
               "    case $command in\n"
               "        '') COMPREPLY=($(compgen -W \"$commands $common --version\" -- \"$cur\")); return "
               ";;\n"
               "%4"
               "    esac\n"
               "    COMPREPLY=($(compgen -W \"$words $common\" -- \"$cur\"))\n"
               "}\n"
               "complete -o default -F _formule formule\n")
        .arg(names.join(u' '), optionWords(common).join(u' '), valueWords.join(u'|'), cases);
}

QString exampleOf(const QString& command) {
    static const QHash<QString, QString> examples{
        {QStringLiteral("case"),
         QStringLiteral("formule case add --context 0 --id 1 --name base --set \"Prezzo lordo=100\"")},
        {QStringLiteral("check"), QStringLiteral("formule check \"SET [Prezzo lordo] = 10\"")},
        {QStringLiteral("check-all"), QStringLiteral("formule check-all --format csv --jobs 2")},
        {QStringLiteral("check-sql"), QStringLiteral("formule check-sql \"EXEC ('SELECT 1')\"")},
        {QStringLiteral("clear"), QStringLiteral("formule clear --context 0 --id 1 --comment prova")},
        {QStringLiteral("complete"), QStringLiteral("formule complete \"[prezzo\"")},
        {QStringLiteral("declarations"), QStringLiteral("formule declarations")},
        {QStringLiteral("demo"), QStringLiteral("formule demo")},
        {QStringLiteral("describe"), QStringLiteral("formule describe \"[Prezzo lordo]\"")},
        {QStringLiteral("diff"), QStringLiteral("formule diff --context 0 --id 1 --from 1 --to 2")},
        {QStringLiteral("eval"),
         QStringLiteral("formule eval --set \"Prezzo lordo=100\" \"SET [Sconto 1] = 5\"")},
        {QStringLiteral("export"), QStringLiteral("formule export formule-esportate")},
        {QStringLiteral("help"), QStringLiteral("formule help --man > formule.1")},
        {QStringLiteral("history"), QStringLiteral("formule history --context 0 --id 1 --format json")},
        {QStringLiteral("impact"),
         QStringLiteral(
             "formule impact --context 0 --id 1 --generate \"[Prezzo lordo]=da 10 a 100 passo 10\" "
             "\"SET [Sconto 1] = 7\"")},
        {QStringLiteral("import"), QStringLiteral("formule import formule-esportate --dry-run")},
        {QStringLiteral("init-db"), QStringLiteral("formule init-db --demo")},
        {QStringLiteral("lint"), QStringLiteral("formule lint \"SET [Prezzo lordo] = \"")},
        {QStringLiteral("restore"), QStringLiteral("formule restore --context 0 --id 1 --version 2")},
        {QStringLiteral("save"), QStringLiteral("formule save --context 0 --id 1 \"SET [Sconto 1] = 5\"")},
        {QStringLiteral("serve"),
         QStringLiteral("FORMULE_PASSWORD=segreto formule serve --listen 127.0.0.1:1433 --user sa")},
        {QStringLiteral("show"), QStringLiteral("formule show --context 0 --id 1")},
        {QStringLiteral("sql"),
         QStringLiteral("formule sql \"SELECT LP01_ID, LP01_FORMULE FROM LP01_PROVIDER\"")},
        {QStringLiteral("test"), QStringLiteral("formule test --context 0 --format csv")},
        {QStringLiteral("to-display"), QStringLiteral("formule to-display \"SET @OUTPREZZO = 25\"")},
        {QStringLiteral("to-sql"), QStringLiteral("formule to-sql \"SET [Prezzo lordo] = 25\"")},
        {QStringLiteral("tree"), QStringLiteral("formule tree --context 1 --variants off")},
        {QStringLiteral("where-used"), QStringLiteral("formule where-used \"[Prezzo lordo]\"")},
    };
    return examples.value(command);
}

} // namespace formule_cli

namespace {

using namespace formule_cli;

int runHelp(Context& ctx, const QCommandLineParser& parser, const QStringList& positional) {
    if (parser.isSet(QStringLiteral("man"))) {
        *ctx.out << manualPage();
        return ExitOk;
    }
    if (parser.isSet(QStringLiteral("completion"))) {
        *ctx.out << bashCompletion();
        return ExitOk;
    }
    if (positional.isEmpty()) {
        *ctx.out << toolHelp();
        return ExitOk;
    }
    const Command* command = findCommand(positional.first());
    if (!command) {
        *ctx.err
            << QStringLiteral("formule: ")
            << tx(QStringLiteral("comando sconosciuto \"%1\" (vedi formule --help)")).arg(positional.first())
            << '\n';
        return ExitUsage;
    }
    *ctx.out << commandHelp(*command);
    return ExitOk;
}

const Registrar helpCommand(Command{
    QStringLiteral("help"),
    QStringLiteral("mostra l'aiuto dello strumento o di un comando; --man la pagina di manuale (roff), "
                   "--completion lo script di completamento di bash"),
    [](CommandLine& parser) {
        parser.addOption(QCommandLineOption(QStringLiteral("man"),
                                            QStringLiteral("Stampa la pagina di manuale in formato roff.")));
        parser.addOption(QCommandLineOption(QStringLiteral("completion"),
                                            QStringLiteral("Stampa lo script di completamento di bash.")));
        parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("Il comando da descrivere."),
                                     QStringLiteral("[COMMAND]"));
    },
    runHelp,
    1,
});

} // namespace
