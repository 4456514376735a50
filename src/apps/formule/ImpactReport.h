#pragma once

// The report of formule impact in its four forms: text for a terminal (tables, a histogram drawn
// with block characters), and tsv, csv and json for programs (numbers in the C locale).

#include "check/Impact.h"

#include <QTextStream>

#include <optional>

namespace formule_cli {

enum class ReportFormat { Text, Tsv, Csv, Json };

// The format --format names (text, tsv, csv, json), or nullopt.
std::optional<ReportFormat> reportFormat(const QString& name);

void writeReport(QTextStream& out, const check::ImpactReport& report, ReportFormat format,
                 const check::TrialTranslateFn& translate);

} // namespace formule_cli
