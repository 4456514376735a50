#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Differences between two texts, a line (or any other unit: a word) at a time: the edit script
// of a longest common subsequence and its unified form. Time and memory are bounded: beyond
// MaxDiffCells compared pairs the part between the common start and end is given as removed and
// added as a whole, which is still a correct (if not the shortest) script.
namespace editing {

enum class DiffOp { Equal, Delete, Insert };

struct DiffItem {
    DiffOp op;
    QString text;
    bool operator==(const DiffItem&) const = default;
};

// Pairs of units compared at most (the table of the longest common subsequence; 2 bytes each).
inline constexpr qint64 MaxDiffCells = 4'000'000;

// The units of `from` and `to` in order, each equal, deleted (only in `from`) or inserted (only
// in `to`); deletions come before the insertions that replace them.
QList<DiffItem> diffItems(const QStringList& from, const QStringList& to);

// The lines of a text: split at CR LF, LF or CR; no line after a final line break; none for "".
QStringList textLines(const QString& text);

// The unified diff of two texts' lines, with `context` lines around each change and the labels
// on the "---" and "+++" lines; "" when the lines are the same.
QString unifiedDiff(const QString& from, const QString& to, const QString& fromLabel, const QString& toLabel,
                    int context = 3);

} // namespace editing
