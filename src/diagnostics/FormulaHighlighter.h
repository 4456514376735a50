#pragma once

#include "diagnostics/FormulaScanner.h"

#include <QList>
#include <QPalette>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>

#include <optional>

namespace diagnostics {

class ElementCatalog;

// The contrast ratio of two colours, from 1 to 21, as the accessibility guidelines measure it
// (4.5 and more reads as body text).
double contrastRatio(const QColor& a, const QColor& b);
// `onLight`, a colour designed for a light background, made legible on `background`: its
// lightness moved away from the background's until the contrast reads as body text does.
QColor legibleOn(const QColor& onLight, const QColor& background);

// A place of the formula box to mark: `length` characters from `column` (UTF-16, from 0) of the
// block `block` (from 0); a length of -1 marks the whole line.
struct Mark {
    int block = 0;
    int column = 0;
    int length = -1;
    bool error = true;
};

// Highlighting of the formula box: keywords, strings, numbers, comments, labels, categories and
// variants each in a style of their own (FormulaScanner's pieces, one line at a time); elements
// that do not resolve and the marks of the diagnostics get a wavy underline, red for errors;
// a delimiter without its partner is marked.
class FormulaHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // `catalog` (may be null) must outlive the highlighter.
    FormulaHighlighter(QTextDocument* document, const ElementCatalog* catalog);

    // The style of a piece: hues of their own for the kinds of piece, lightened on a palette with
    // a dark base so that they read as well as its text; comments between the palette's text and
    // base colours; elements on a faint background of their hue. Without a palette, the
    // application's.
    static QTextCharFormat formatOf(TokenKind kind, bool unknown);
    static QTextCharFormat formatOf(TokenKind kind, bool unknown, const QPalette& palette);
    // The palette of the box the document shows in (its colours change with it).
    void setPalette(const QPalette& palette);
    // The underline the marks add.
    static QTextCharFormat markFormat(bool error);
    // The scanner's state at the start of `block`, as the highlighting of the line before left it.
    static int stateBefore(const QTextBlock& block);

    // Replaces the marks; the lines concerned are highlighted again.
    void setMarks(const QList<Mark>& marks);
    const QList<Mark>& marks() const { return m_marks; }
    void setCatalog(const ElementCatalog* catalog);

protected:
    void highlightBlock(const QString& text) override;

private:
    FormulaScanner m_scanner;
    QList<Mark> m_marks;
    std::vector<Span> m_spans; // reused from line to line
    std::optional<QPalette> m_palette;
};

} // namespace diagnostics
