#pragma once

// The record commands' shared pieces: --context and --id, the options of the formula's version
// (--comment, --expect-version), and the save of the window through which save, clear and
// restore write (cmd_check.cpp).

#include "Command.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace formule_cli {

// --context N and --id ID of the record commands.
struct Record {
    int context = -1;
    QString id;
};

// Reads --context and --id; prints what is wrong and returns nullopt when they are not usable.
std::optional<Record> recordOptions(Context& ctx, const QCommandLineParser& parser, const QString& command);
void addRecordOptions(CommandLine& parser);

// --comment TEXT and, when `expectVersion`, --expect-version V.
void addVersionOptions(CommandLine& parser, bool expectVersion);
struct VersionOptions {
    QString comment;
    std::optional<int> expected; // 0: the record has no version kept yet
};
// Reads them; prints what is wrong and returns nullopt when they are not usable.
std::optional<VersionOptions> versionOptions(Context& ctx, const QCommandLineParser& parser,
                                             const QString& command);

// Who writes, for the formula's history: the login of --db when it names one (User Id), else the
// login the tool runs under.
QString toolUser(const Context& ctx);

// One write of a formula in display form (an empty text writes NULL), through the window's save: check,
// confirmation (`yes` answers it), UPDATE and version in one transaction; prints the statement.
struct SaveRequest {
    QString command; // save, clear, restore: how the messages name it
    QString text;
    bool yes = false;
    VersionOptions version;
};
int saveRecord(Context& ctx, const Record& record, const SaveRequest& request);

} // namespace formule_cli
