#pragma once

#include "editing/TextDiff.h"

#include <QList>
#include <QString>
#include <QStringList>

// Differences between two display texts a word at a time, for showing a version of a formula
// against the text being edited. Built on diffItems: the same bounds of time and memory (beyond
// MaxDiffCells compared pairs the changed middle is given as removed and added as a whole).
namespace editing {

// The units a display text is compared in: a run of letters, digits and underscores; a run of
// blanks (spaces and tabs); a line break (CR LF, LF or CR); any other character alone. Joined they
// give the text back.
QStringList wordUnits(const QString& text);

// The script from `from` to `to` in word units, with neighbouring units of the same kind joined
// into one piece: joined in order, the equal and deleted pieces give `from`, the equal and
// inserted ones give `to`.
QList<DiffItem> wordDiff(const QString& from, const QString& to);

} // namespace editing
