#pragma once

// Inside the formula language: the state of one translation and the passes over category and
// variant references, shared by the two directions.

#include "core/Error.h"
#include "core/NullSafe.h"
#include "language/FormulaLanguage.h"
#include "language/PositionMap.h"
#include "language/References.h"

#include <QString>

#include <functional>
#include <vector>

namespace language {

// Replaces every occurrence of `before` at or after `from` by `after`, scanning left to right
// and never searching inserted text again. Returns the number of replacements. Callers pass
// a `from` before which `before` cannot occur, so the result is that of a replacement over
// the whole text. The replacements go into `map` as one round when it is given.
qsizetype replaceAll(QString& text, const QString& before, const QString& after, qsizetype from = 0,
                     PositionMap* map = nullptr);

// A piece of a text to replace: its start, its length and what replaces it (none: it stays).
struct Splice {
    qsizetype start;
    qsizetype length;
    const QString* replacement;
};

// `text` with the pieces `splice(e)` gives for the elements of `pieces`, in text order, put in
// their places; `size` is the length of the result, allocated at once. The pieces go into `map`
// as one round when it is given.
template <typename Pieces, typename F>
QString spliced(const QString& text, qsizetype size, const Pieces& pieces, F&& splice,
                PositionMap* map = nullptr) {
    QString out;
    out.reserve(size);
    qsizetype copied = 0;
    std::vector<PositionMap::Edit> edits;
    for (const auto& e : pieces) {
        const Splice p = splice(e);
        if (!p.replacement)
            continue;
        out.append(QStringView(text).mid(copied, p.start - copied));
        out.append(*p.replacement);
        copied = p.start + p.length;
        if (map)
            edits.push_back({p.start, p.length, p.replacement->size()});
    }
    out.append(QStringView(text).mid(copied));
    if (map)
        map->apply(edits);
    return out;
}

// One translation in progress: the working text, the look-ups with their answers of this run,
// and the error trap. Every statement of the algorithms runs as one step: on an error the
// error display is asked under the procedure's name; abort ends the translation.
class Run {
public:
    Run(const Services& services, const QString& procedure, core::ErrorAnswerFn errorAnswer)
        : m_services(services)
        , m_procedure(procedure)
        , m_lookup(services) {
        m_answer = [this, answer = std::move(errorAnswer)](const QString& proc,
                                                           const core::ErrorInfo& error) {
            ++m_errors;
            return answer ? answer(proc, error) : static_cast<int>(core::Answer::Abort);
        };
    }

    // False when the step failed and the answer was abort (or anything but retry/ignore).
    // The statement is passed on through a wrapper holding only its address, which
    // std::function keeps without allocating.
    template <typename F> bool step(F&& statement) {
        return core::runStep(m_procedure, m_answer, std::function<void()>([&statement] { statement(); }));
    }

    QString translate(const QString& italian) const { return m_services.host->translate(italian); }

    // Number of errors reported so far: an iteration of a pass that reported none and changed
    // nothing is known to repeat itself exactly.
    qint64 errors() const { return m_errors; }
    refs::Lookup& lookup() { return m_lookup; }
    QString text;
    // Where the replacements of the translation are recorded (none: not recorded).
    PositionMap* map = nullptr;

private:
    const Services& m_services;
    QString m_procedure;
    refs::Lookup m_lookup;
    core::ErrorAnswerFn m_answer;
    qint64 m_errors = 0;
};

// The length of the working text as a reference pass counts it: positions are signed 16-bit.
qsizetype passLength(const QString& text);
bool isBlank(const QString& text);
bool isZero(const core::Variant& v);

// Display-to-SQL pass over the references of one kind; false when a step was answered with
// abort.
bool referencesToSql(Run& run, refs::Kind kind, bool checkMode);
// SQL-to-display pass over the sub-queries of one kind; false when a step was answered with
// abort.
bool referencesToDisplay(Run& run, refs::Kind kind);

} // namespace language
