#include "editing/RoundTrip.h"

#include <QStringList>

#include <algorithm>

namespace editing {

namespace {

// The line ends the box gives (CR LF) and those stored (LF, CR LF) are the same line end.
QString sameLineEnds(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QStringList linesOf(const QString& text) {
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

} // namespace

QList<int> changedByRoundTrip(const QString& stored, const QString& resaved) {
    if (sameLineEnds(stored) == sameLineEnds(resaved))
        return {};
    const QStringList before = linesOf(stored);
    const QStringList after = linesOf(resaved);
    QList<int> changed;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (i >= after.size() || before.at(i) != after.at(i))
            changed.append(static_cast<int>(i + 1));
    }
    // Only lines added at the end: the last line stands for them.
    if (changed.isEmpty())
        changed.append(std::max(1, static_cast<int>(before.size())));
    return changed;
}

QList<int> untouchedChanges(const QString& stored, const QString& resaved, const QString& loaded,
                            const QString& current, const QString& toWrite) {
    QList<int> lossy = changedByRoundTrip(stored, resaved);
    if (lossy.isEmpty() || sameLineEnds(stored) == sameLineEnds(toWrite))
        return {};
    const QStringList storedLines = linesOf(stored);
    const QStringList loadedLines = linesOf(loaded);
    const QStringList currentLines = linesOf(current);
    const QStringList writtenLines = linesOf(toWrite);
    if (storedLines.size() != linesOf(resaved).size() || storedLines.size() != loadedLines.size() ||
        currentLines.size() != writtenLines.size())
        return lossy; // no line-by-line reading: every changed line is told, to be safe
    const qsizetype shared = std::min(loadedLines.size(), currentLines.size());
    qsizetype prefix = 0;
    while (prefix < shared && loadedLines.at(prefix) == currentLines.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shared - prefix && loadedLines.at(loadedLines.size() - 1 - suffix) ==
                                           currentLines.at(currentLines.size() - 1 - suffix))
        ++suffix;
    QList<int> untouched;
    for (int line : lossy) {
        const qsizetype i = line - 1;
        qsizetype j = -1;
        if (i < prefix)
            j = i;
        else if (i >= loadedLines.size() - suffix)
            j = i - loadedLines.size() + currentLines.size();
        if (j >= 0 && writtenLines.at(j) != storedLines.at(i))
            untouched.append(line);
    }
    return untouched;
}

} // namespace editing
