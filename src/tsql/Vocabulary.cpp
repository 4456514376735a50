#include "tsql/Vocabulary.h"

#include "tsql/functions/Functions.h"
#include "tsql/text/Lexer.h"

#include <algorithm>

namespace tsql {

QStringList keywordList() {
    QStringList words;
    for (std::string_view word : reservedKeywords())
        words.append(QString::fromLatin1(word.data(), qsizetype(word.size())));
    return words;
}

QList<FunctionSignature> functionList() {
    QList<FunctionSignature> list;
    for (const FunctionDef& f : builtinFunctions())
        list.append({QString::fromLatin1(f.name), QString::fromLatin1(f.arguments), f.minArgs, f.maxArgs,
                     f.aggregate()});
    std::sort(list.begin(), list.end(),
              [](const FunctionSignature& a, const FunctionSignature& b) { return a.name < b.name; });
    return list;
}

} // namespace tsql
