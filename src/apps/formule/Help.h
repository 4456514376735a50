#pragma once

// The tool's language and its texts about itself: the help of the tool and of each command, the
// manual page and the bash completion script, all made from the commands' option tables.

#include "apps/formule/Command.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace host {
class TranslationService;
}

namespace formule_cli {

// The options every command takes, in the order the help lists them.
QList<QCommandLineOption> commonOptions();

// The language of the tool's texts: the value of the last --lang in `arguments` (--lang X or
// --lang=X, checked later), otherwise the messages language of the locale in `environment`.
QString toolLanguage(const QStringList& arguments, const QProcessEnvironment& environment);

// The translation every text of the tool goes through; set once the language is known.
void setToolTranslation(const host::TranslationService* translation);
// An Italian text of the tool in the language of the run.
QString tx(const QString& italianText);

// The usage line of a command ("formule eval [--set NAME=VALUE]... [TEXT|-]").
QString usageLine(const Command& command);
// The help of the whole tool (formule --help) and of one command (formule CMD --help).
QString toolHelp();
QString commandHelp(const Command& command);
// The manual page of the tool in roff (man(7)) and the bash completion script.
QString manualPage();
QString bashCompletion();

// The example of each command, shown by its help and the manual page ("" for none).
QString exampleOf(const QString& command);

} // namespace formule_cli
