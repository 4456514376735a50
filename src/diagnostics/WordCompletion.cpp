#include "diagnostics/WordCompletion.h"

#include "tsql/Vocabulary.h"

#include <algorithm>

namespace diagnostics {

namespace {

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// Both lists, read once: they are the engine's, fixed when it is compiled.
const QList<WordCandidate>& vocabulary() {
    static const QList<WordCandidate> words = [] {
        QList<WordCandidate> all;
        for (const tsql::FunctionSignature& f : tsql::functionList())
            all.append({f.text(), f.name + QLatin1Char('('), true});
        for (const QString& keyword : tsql::keywordList())
            all.append({keyword, keyword, false});
        return all;
    }();
    return words;
}

} // namespace

QList<WordCandidate> completeWord(const QString& prefix) {
    QList<WordCandidate> found;
    if (prefix.isEmpty())
        return found;
    for (const WordCandidate& c : vocabulary())
        if (c.inserted.startsWith(prefix, Qt::CaseInsensitive))
            found.append(c);
    return found;
}

QString wordBefore(const QString& line, int column) {
    column = std::clamp(column, 0, int(line.size()));
    int start = column;
    while (start > 0 && isWordCharacter(line.at(start - 1)))
        --start;
    if (start == column || line.at(start).isDigit())
        return {};
    if (start > 0 && line.at(start - 1) == u'@')
        return {};
    return line.mid(start, column - start);
}

} // namespace diagnostics
