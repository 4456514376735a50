#pragma once

#include "language/FormulaLanguage.h"

#include <QString>

// The translations written as plain loops, statement for statement: every repetition of a
// reference pass scans the text from its start and sends its look-ups again. Kept here only
// to measure the product's translations against, and to check that they give the same text.
namespace transcription {

QString decodeToken(const language::Services& services, const QString& text, bool checkMode);
QString encodeToken(const language::Services& services, const QString& text);

} // namespace transcription
