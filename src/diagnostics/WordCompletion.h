#pragma once

#include <QList>
#include <QString>

namespace diagnostics {

// What Ctrl+Space offers after a word that is not an element: the engine's reserved keywords
// and its built-in functions (the lexer's and the function table's own lists) whose names start
// with the word, any case.
struct WordCandidate {
    QString shown;    // "ROUND(numeric_expression, length [, function])", "SELECT"
    QString inserted; // "ROUND(", "SELECT"
    bool function = false;
};

// The candidates for `prefix` (letters, digits and "_"), functions first then keywords, each in
// alphabetical order; none for an empty prefix or one that no word starts with.
QList<WordCandidate> completeWord(const QString& prefix);

// The word of letters, digits and "_" that ends at `column` of `line` (empty for none, or when
// the word is part of a variable "@name" or of a number).
QString wordBefore(const QString& line, int column);

} // namespace diagnostics
