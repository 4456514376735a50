#include "editing/WordDiff.h"

namespace editing {

namespace {

enum class UnitKind { Word, Blank, LineBreak, Other };

UnitKind kindOf(QChar c) {
    if (c.isLetterOrNumber() || c == QLatin1Char('_'))
        return UnitKind::Word;
    if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
        return UnitKind::Blank;
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
        return UnitKind::LineBreak;
    return UnitKind::Other;
}

} // namespace

QStringList wordUnits(const QString& text) {
    QStringList units;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const UnitKind kind = kindOf(text.at(i));
        qsizetype end = i + 1;
        if (kind == UnitKind::Word || kind == UnitKind::Blank) {
            while (end < n && kindOf(text.at(end)) == kind)
                ++end;
        } else if (kind == UnitKind::LineBreak && text.at(i) == QLatin1Char('\r') && end < n &&
                   text.at(end) == QLatin1Char('\n')) {
            ++end;
        }
        units.append(text.sliced(i, end - i));
        i = end;
    }
    return units;
}

QList<DiffItem> wordDiff(const QString& from, const QString& to) {
    QList<DiffItem> pieces;
    for (DiffItem& item : diffItems(wordUnits(from), wordUnits(to))) {
        if (!pieces.isEmpty() && pieces.last().op == item.op)
            pieces.last().text += item.text;
        else
            pieces.append(std::move(item));
    }
    return pieces;
}

} // namespace editing
