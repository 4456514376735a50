#include "editing/EditCommands.h"

#include <algorithm>
#include <climits>

#include <QStringList>

namespace editing {

namespace {

const QString CommentMark = QStringLiteral("--");

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The line of `text` that holds `position`: its start and its end (the LF, or the text's end).
std::pair<int, int> lineAround(const QString& text, int position) {
    const int start = position <= 0 ? 0 : int(text.lastIndexOf(u'\n', position - 1)) + 1;
    const qsizetype end = text.indexOf(u'\n', position);
    return {start, end < 0 ? int(text.size()) : int(end)};
}

int indentationOf(const QString& line) {
    int k = 0;
    while (k < line.size() && (line.at(k) == u' ' || line.at(k) == u'\t'))
        ++k;
    return k;
}

bool isBlank(const QString& line) {
    return indentationOf(line) == line.size();
}

// Where the caret at `position` of the original lines goes once they are changed: positions in
// a line move with the characters after the edit point of that line.
struct LineEdit {
    int start = 0; // of the line, in the original text
    int at = 0;    // column of the edit
    int delta = 0; // characters added (negative: taken away)
};

// `stay`: a position right at an insertion stays before it (the start of a selection keeps the
// inserted mark inside the selection); otherwise it moves past it (the caret).
int movedPosition(const QList<LineEdit>& edits, int position, bool stay) {
    int shift = 0;
    for (const LineEdit& e : edits) {
        const int at = e.start + e.at;
        if (position < at || (position == at && (stay || e.delta < 0)))
            continue;
        if (e.delta > 0 || position >= at - e.delta)
            shift += e.delta;
        else
            shift += at - position; // inside what was taken away
    }
    return position + shift;
}

} // namespace

QString applied(const QString& text, const TextChange& change) {
    QString result = text;
    result.replace(change.from, change.to - change.from, change.text);
    return result;
}

std::optional<TextChange> toggleLineComment(const QString& text, int selStart, int selEnd) {
    const int size = int(text.size());
    selStart = std::clamp(selStart, 0, size);
    selEnd = std::clamp(selEnd, 0, size);
    if (selEnd < selStart)
        std::swap(selStart, selEnd);
    const int from = lineAround(text, selStart).first;
    // A selection that ends at the start of a line leaves that line out.
    const int last = selEnd > selStart && selEnd > from && text.at(selEnd - 1) == u'\n' ? selEnd - 1 : selEnd;
    const int to = lineAround(text, last).second;
    const QStringList lines = text.mid(from, to - from).split(u'\n');

    int indentation = INT_MAX;
    bool allCommented = true;
    bool anyText = false;
    for (const QString& line : lines) {
        if (isBlank(line))
            continue;
        anyText = true;
        const int k = indentationOf(line);
        indentation = std::min(indentation, k);
        if (!QStringView(line).mid(k).startsWith(CommentMark))
            allCommented = false;
    }
    if (!anyText)
        return std::nullopt;

    QStringList changed;
    QList<LineEdit> edits;
    int lineStartAt = from;
    for (const QString& line : lines) {
        QString out = line;
        if (!isBlank(line)) {
            if (allCommented) {
                const int k = indentationOf(line);
                const int removed = k + 2 < line.size() && line.at(k + 2) == u' ' ? 3 : 2;
                out.remove(k, removed);
                edits.append({lineStartAt, k, -removed});
            } else {
                out.insert(indentation, CommentMark + u' ');
                edits.append({lineStartAt, indentation, 3});
            }
        }
        changed.append(out);
        lineStartAt += int(line.size()) + 1;
    }
    TextChange change{from, to, changed.join(u'\n'), 0, 0};
    const bool selection = selStart != selEnd;
    change.selStart = movedPosition(edits, selStart, selection);
    change.selEnd = selection ? movedPosition(edits, selEnd, false) : change.selStart;
    return change;
}

int lineCount(const QString& text) {
    return int(text.count(u'\n')) + 1;
}

std::optional<int> lineStart(const QString& text, int line) {
    if (line < 1)
        return std::nullopt;
    int position = 0;
    for (int k = 1; k < line; ++k) {
        const qsizetype lf = text.indexOf(u'\n', position);
        if (lf < 0)
            return std::nullopt;
        position = int(lf) + 1;
    }
    return position;
}

bool matchesAt(const QString& text, const QString& needle, int start, int length, FindOptions options) {
    if (needle.isEmpty() || length != needle.size() || start < 0 || start + length > text.size())
        return false;
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (QStringView(text).mid(start, length).compare(needle, cs) != 0)
        return false;
    if (!options.wholeWord)
        return true;
    const bool before = start > 0 && isWordCharacter(text.at(start - 1));
    const bool after = start + length < text.size() && isWordCharacter(text.at(start + length));
    return !before && !after;
}

namespace {

// The first match starting in [from, until), or -1.
int firstMatch(const QString& text, const QString& needle, int from, int until, FindOptions options) {
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(needle, from, cs); at >= 0 && at < until;
         at = text.indexOf(needle, at + 1, cs)) {
        if (matchesAt(text, needle, int(at), int(needle.size()), options))
            return int(at);
    }
    return -1;
}

// The last match starting in [since, before], or -1.
int lastMatch(const QString& text, const QString& needle, int since, int before, FindOptions options) {
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (before < 0)
        return -1;
    for (qsizetype at = text.lastIndexOf(needle, before, cs); at >= since;
         at = at > 0 ? text.lastIndexOf(needle, at - 1, cs) : -1) {
        if (matchesAt(text, needle, int(at), int(needle.size()), options))
            return int(at);
    }
    return -1;
}

} // namespace

std::optional<Match> findMatch(const QString& text, const QString& needle, int from, FindOptions options,
                               bool backward) {
    if (needle.isEmpty() || needle.size() > text.size())
        return std::nullopt;
    const int size = int(text.size());
    const int length = int(needle.size());
    from = std::clamp(from, 0, size);
    int at = -1;
    if (!backward) {
        at = firstMatch(text, needle, from, size, options);
        if (at < 0)
            at = firstMatch(text, needle, 0, from, options);
    } else {
        at = lastMatch(text, needle, 0, from - length, options);
        if (at < 0)
            at = lastMatch(text, needle, std::max(0, from - length + 1), size - length, options);
    }
    if (at < 0)
        return std::nullopt;
    return Match{at, length};
}

QList<Match> findAll(const QString& text, const QString& needle, FindOptions options) {
    QList<Match> found;
    if (needle.isEmpty())
        return found;
    for (int at = firstMatch(text, needle, 0, int(text.size()), options); at >= 0;
         at = firstMatch(text, needle, at + int(needle.size()), int(text.size()), options))
        found.append({at, int(needle.size())});
    return found;
}

Replacement replaceAll(const QString& text, const QString& needle, const QString& replacement,
                       FindOptions options) {
    Replacement result;
    int copied = 0;
    for (const Match& m : findAll(text, needle, options)) {
        result.text += QStringView(text).mid(copied, m.start - copied);
        result.text += replacement;
        copied = m.start + m.length;
        ++result.count;
    }
    result.text += QStringView(text).mid(copied);
    return result;
}

} // namespace editing
