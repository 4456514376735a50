#pragma once

#include <QtGlobal>

#include <vector>

namespace language {

// Where the pieces of a translated text came from: positions of the text a translation
// produced (the target, the SQL form) back to positions of the text it started from (the
// source, the display form). The translation records every round of replacements it makes on
// its working text; text outside the replacements maps one to one, a position inside a
// replacement maps to the start of the text it replaced.
class PositionMap {
public:
    // One replacement of a round: `length` characters from `start` of the current target text
    // became `newLength` characters.
    struct Edit {
        qsizetype start;
        qsizetype length;
        qsizetype newLength;
    };

    // Applies a round of replacements, given in text order without overlapping, all in the
    // positions of the target text as it was before the round.
    void apply(const std::vector<Edit>& round);
    // A round of one replacement.
    void apply(qsizetype start, qsizetype length, qsizetype newLength) {
        apply({{start, length, newLength}});
    }

    // The source position of the target position `target` (of the first character of the
    // replaced text when `target` lies inside a replacement).
    qsizetype toSource(qsizetype target) const;
    // The source range [start, end) that the target range [targetStart, targetEnd) came from:
    // replacements it touches are covered whole.
    std::pair<qsizetype, qsizetype> sourceRange(qsizetype targetStart, qsizetype targetEnd) const;
    // Whether the target position lies inside a replacement (a translated element).
    bool isReplaced(qsizetype target) const;

    void clear() { m_spans.clear(); }

private:
    // A replaced stretch: target [tStart, tStart + tLength) came from source
    // [sStart, sStart + sLength).
    struct Span {
        qsizetype tStart;
        qsizetype tLength;
        qsizetype sStart;
        qsizetype sLength;
        qsizetype tEnd() const { return tStart + tLength; }
        qsizetype sEnd() const { return sStart + sLength; }
    };
    // The last span starting at or before `target`, or -1.
    qsizetype spanAtOrBefore(qsizetype target) const;
    qsizetype endOf(qsizetype targetEnd) const;

    std::vector<Span> m_spans; // by target position, not overlapping
};

} // namespace language
