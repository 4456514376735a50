#pragma once

#include "diagnostics/ElementCatalog.h"
#include "diagnostics/FormulaScanner.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace language {
class PositionMap;
}

namespace diagnostics {

enum class Severity { Error, Warning };

// One finding about a formula, placed in its display form.
struct Diagnostic {
    Severity severity = Severity::Error;
    qsizetype offset = 0; // in the text analysed (UTF-16 positions, as a text box counts them)
    qsizetype length = 0;
    int line = 1;   // from 1
    int column = 1; // from 1, in characters of the line
    int number = 0; // the engine's or server's message number; 0 for the editor's own findings
    QString message;
};

// Lines and columns of a text: a line ends at LF, and a CR right before it belongs to the line
// break (CR LF is one break). Columns count characters, a surrogate pair as one.
class TextLines {
public:
    explicit TextLines(const QString& text);
    int lineCount() const { return int(m_starts.size()); }
    int lineOf(qsizetype offset) const;                  // from 1
    qsizetype lineStart(int line) const;                 // of a line from 1 (clamped)
    int columnOf(qsizetype offset) const;                // from 1
    qsizetype offsetOf(int line, int utf16Column) const; // line and column from 1, UTF-16 units

private:
    const QString& m_text;
    std::vector<qsizetype> m_starts;
};

// "LINE:COLUMN: error|warning: message", as the tool prints a diagnostic.
QString formatDiagnostic(const Diagnostic& d);

// Places a message of the engine or the server about the check batch in the display form:
// `line` and `column` (from 1; column 0 when unknown) are those of the batch, whose first
// `prefixLength` characters (`prefixLines` lines) are the declaration block; `sql` is the formula
// in check mode, `map` its map back to `display`. Fills offset, length, line and column of `d`.
void placeInDisplay(Diagnostic& d, int line, int column, const QString& display, const QString& sql,
                    const language::PositionMap& map, int prefixLines);

// The live diagnostics of a formula: what the editor can tell without running anything.
//  - Elements that do not resolve: a label unknown in the current language, a category or
//    variant code the company does not have; each with the nearest known elements.
//  - The embedded engine's verdict when it parses and binds the check batch (declarations and
//    the formula translated in check mode): never executed, so it changes nothing and needs no
//    server. Its message is placed at the formula's line and at the column of its token through
//    the translation's position map.
//  - Warnings for labels written inside strings and comments, which the translation replaces
//    all the same.
// Not thread-safe; one engine per thread (the engine keeps its own in-memory database).
class DiagnosticsEngine {
public:
    using TranslateFn = std::function<QString(const QString&)>;
    // `catalog` must outlive the engine; `translate` turns the Italian messages into the host's
    // language (unset: Italian).
    explicit DiagnosticsEngine(const ElementCatalog& catalog, TranslateFn translate = {});
    ~DiagnosticsEngine();
    DiagnosticsEngine(const DiagnosticsEngine&) = delete;
    DiagnosticsEngine& operator=(const DiagnosticsEngine&) = delete;

    // The diagnostics of a display form, in text order.
    QList<Diagnostic> analyse(const QString& displayText);

    const ElementCatalog& catalog() const { return m_catalog; }

private:
    struct Impl;
    void elementFindings(const QString& text, const std::vector<Span>& spans, const TextLines& lines,
                         QList<Diagnostic>& out);
    QString tr(const QString& italian) const { return m_translate ? m_translate(italian) : italian; }

    const ElementCatalog& m_catalog;
    TranslateFn m_translate;
    std::unique_ptr<Impl> d;
};

} // namespace diagnostics
