#pragma once

#include <QString>

class QApplication;
class QWidget;

namespace demo {

// A dark palette on the Fusion style for the whole program (the --palette dark of a screenshot):
// the editor's colours follow the palette.
void useDarkPalette(QApplication& app);

// Opens the editor's find and replace bar (as Ctrl+R does) with `find` in its search field and
// `replace` in its replacement field, and selects the first match in the formula box.
void openFindReplace(QWidget* editor, const QString& find, const QString& replace);

// Opens the editor's go-to-line field (as Ctrl+G does).
void openGoToLine(QWidget* editor);

// Selects the lines `first` to `last` (from 1) of the formula box and toggles their comments
// (as Ctrl+/ does).
void commentLines(QWidget* editor, int first, int last);

} // namespace demo
