#pragma once

#include <QList>
#include <QString>

namespace editing {

// Whether a stored formula comes back unchanged through the window: the box shows the display
// form of the stored SQL form with every doubled apostrophe made single, and a save writes the
// SQL form of the box's text. A stored `LEN('l''ora')` is shown as `LEN('l'ora')` and would be
// written back so, a formula of another meaning.
//
// `stored`: the stored SQL form; `resaved`: the SQL form of the text the box showed at load.
// The lines (from 1) of the stored form that a save of the untouched text would change; empty
// when it comes back as it was (CR LF and LF count as the same line end).
QList<int> changedByRoundTrip(const QString& stored, const QString& resaved);

// The lines (from 1) of the stored form that a save would change although the user did not edit
// them: `loaded` and `current` are the box's text at load and now, `resaved` and `toWrite` their
// SQL forms. A line counts as not edited when it is in the run of lines at the start or at the
// end that `loaded` and `current` share. When a translation does not keep the lines (the forms
// have different numbers of lines), every changed line of the stored form is returned.
QList<int> untouchedChanges(const QString& stored, const QString& resaved, const QString& loaded,
                            const QString& current, const QString& toWrite);

} // namespace editing
