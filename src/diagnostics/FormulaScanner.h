#pragma once

#include "diagnostics/ElementCatalog.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace diagnostics {

// What a piece of the display form is, for highlighting and diagnostics.
enum class TokenKind {
    Keyword,   // a reserved word of T-SQL
    String,    // a string constant, quotes included
    Number,    // a numeric or binary constant
    Comment,   // "--" to the end of the line, or "/* ... */"
    Variable,  // a variable of the user's own (@name)
    Label,     // a bracketed label "[...]"
    Category,  // a category reference "{...}"
    Variant,   // a variant reference "|...|"
    Unbalanced // a bracket, brace or bar without its partner
};

// The kind of element a piece names; nullopt for a piece that is no element.
std::optional<ElementKind> elementKindOf(TokenKind kind);

// One piece of a scanned text: `length` characters from `start`. Elements (labels, categories,
// variants) carry whether they name something the catalogue knows.
struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    TokenKind kind = TokenKind::Keyword;
    bool unknown = false;
    qsizetype end() const { return start + length; }
};

// The two ends of an element around the caret, or a delimiter alone.
struct DelimiterMatch {
    qsizetype at = 0;     // the delimiter at the caret
    qsizetype other = -1; // its partner, -1 when unbalanced
};

// Splits the display form of a formula into the pieces above with the embedded engine's own
// lexer: what the lexer skips between tokens is blanks and comments, strings are its string
// tokens, and elements are what stands between delimiters outside strings and comments. Text
// is scanned a line at a time so that a highlighter can redo one line; a line starts in the
// state the previous one ended in (inside a block comment, inside a string).
class FormulaScanner {
public:
    // The state of the first line, and of a line after one that ends outside comments and strings.
    static constexpr int Normal = 0;

    // `catalog` (may be null: every element counts as known) must outlive the scanner.
    explicit FormulaScanner(const ElementCatalog* catalog = nullptr)
        : m_catalog(catalog) {}

    // Appends the pieces of one line (without its line break), positions from `offset` on;
    // returns the state the next line starts in.
    int scanLine(QStringView line, int state, std::vector<Span>& out, qsizetype offset = 0) const;
    // The pieces of a whole text, lines split at LF (a CR before it is part of the break).
    std::vector<Span> scanText(const QString& text) const;

    // The element delimiter at or right before `caret` in the pieces of one line, and its partner.
    static std::optional<DelimiterMatch> matchDelimiter(const std::vector<Span>& lineSpans, QStringView line,
                                                        qsizetype caret);

private:
    struct Segment;
    bool resolve(TokenKind kind, QStringView text) const;

    const ElementCatalog* m_catalog;
};

} // namespace diagnostics
