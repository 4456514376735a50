#pragma once

// The values a command takes for a trial run (eval, case add): --set NAME=VALUE for a variable
// named by its label or its name, --category ID=VALUE and --variant CODE=VALUE.

#include "check/TrialRun.h"

#include "apps/formule/Command.h"

#include <QCommandLineParser>

#include <optional>

namespace formule_cli {

inline const QString ContextOption = QStringLiteral("context");
inline const QString IdOption = QStringLiteral("id");
inline const QString SetOption = QStringLiteral("set");
inline const QString CategoryOption = QStringLiteral("category");
inline const QString VariantOption = QStringLiteral("variant");

// A command line a command cannot take: its message goes to standard error, exit 2.
struct Usage {
    QString message;
};

// Declares --context N and --id ID of the commands that run a record's formula on values (test,
// case, impact).
void addTrialRecordOptions(CommandLine& parser);
// Their values; Usage for a context that is none of 0, 1 and 2 or an id that is no whole number.
std::optional<int> contextOf(const QCommandLineParser& parser);
qint64 idOf(const QCommandLineParser& parser);

// Declares --set, --category and --variant.
void addTrialValueOptions(CommandLine& parser);

// NAME=VALUE split at the first "="; Usage when there is no name before it.
std::pair<QString, QString> assignment(const QString& text, const QString& option);

// The inputs the three options give, in their order; Usage for an unknown element, a category id
// that is no whole number, or a variant without its code.
QList<check::TrialInput> trialValues(const QCommandLineParser& parser,
                                     const check::TrialTranslateFn& translate);

} // namespace formule_cli
