#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace editing {

// The editing commands of the formula box as plain text operations: toggling line comments,
// finding a line, finding and replacing. Texts here break lines with LF and positions count
// UTF-16 code units from 0, as the box's document does; each command returns the change to
// make, and the window applies it as one step of the edit history.

// Replace the characters [from, to) with `text`, then select [selStart, selEnd) (the caret is at
// selEnd; equal ends select nothing).
struct TextChange {
    int from = 0;
    int to = 0;
    QString text;
    int selStart = 0;
    int selEnd = 0;
    bool operator==(const TextChange&) const = default;
};

// The text after the change.
QString applied(const QString& text, const TextChange& change);

// Comments out the lines the selection [selStart, selEnd) touches with "-- " at the smallest
// indentation among them, or, when every non-blank one of them already starts with "--" after
// its indentation, takes those marks away (with the one blank after them). A selection that
// ends at the start of a line leaves that line out. Blank lines are left as they are. Nothing
// to change (only blank lines): no change.
std::optional<TextChange> toggleLineComment(const QString& text, int selStart, int selEnd);

// The number of lines of `text` (an empty text has one).
int lineCount(const QString& text);
// The position where line `line` (from 1) starts; none for a line the text does not have.
std::optional<int> lineStart(const QString& text, int line);

struct FindOptions {
    bool matchCase = false;
    // Only where the match is neither preceded nor followed by a letter, a digit or "_".
    bool wholeWord = false;
};

struct Match {
    int start = 0;
    int length = 0;
    bool operator==(const Match&) const = default;
};

// Whether `needle` is found at [start, start + length) of `text` under the options.
bool matchesAt(const QString& text, const QString& needle, int start, int length, FindOptions options);
// The next match at or after `from` (forward), or the last one ending at or before `from`
// (backward), going round the end of the text once; none for an empty needle or no match.
std::optional<Match> findMatch(const QString& text, const QString& needle, int from, FindOptions options,
                               bool backward = false);
// Every match, left to right, without overlaps.
QList<Match> findAll(const QString& text, const QString& needle, FindOptions options);

struct Replacement {
    QString text;
    int count = 0;
};
// Every match replaced with `replacement` (taken literally).
Replacement replaceAll(const QString& text, const QString& needle, const QString& replacement,
                       FindOptions options);

} // namespace editing
