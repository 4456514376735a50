#pragma once

// The words the engine knows, for an editor's completion: its reserved keywords (the lexer's
// set) and its built-in functions (the function table the binder uses), read from those lists.

#include <QList>
#include <QString>
#include <QStringList>

namespace tsql {

struct FunctionSignature {
    QString name;      // upper case: ROUND
    QString arguments; // as documented: "numeric_expression, length [, function]"
    int minArgs = 0;
    int maxArgs = 0;
    bool aggregate = false;
    // "ROUND(numeric_expression, length [, function])"
    QString text() const { return name + QLatin1Char('(') + arguments + QLatin1Char(')'); }
};

// Every reserved keyword, upper case, in alphabetical order.
QStringList keywordList();
// Every built-in function, in alphabetical order of their names.
QList<FunctionSignature> functionList();

} // namespace tsql
