#include "language/PositionMap.h"

#include <algorithm>

namespace language {

qsizetype PositionMap::spanAtOrBefore(qsizetype target) const {
    const auto it = std::upper_bound(m_spans.begin(), m_spans.end(), target,
                                     [](qsizetype p, const Span& s) { return p < s.tStart; });
    return it == m_spans.begin() ? -1 : qsizetype(it - m_spans.begin()) - 1;
}

qsizetype PositionMap::toSource(qsizetype target) const {
    const qsizetype k = spanAtOrBefore(target);
    if (k < 0)
        return target;
    const Span& s = m_spans[std::size_t(k)];
    if (target < s.tEnd())
        return s.sStart;
    return target - s.tEnd() + s.sEnd();
}

qsizetype PositionMap::endOf(qsizetype targetEnd) const {
    if (targetEnd <= 0)
        return toSource(targetEnd);
    const qsizetype k = spanAtOrBefore(targetEnd - 1);
    if (k < 0)
        return targetEnd;
    const Span& s = m_spans[std::size_t(k)];
    if (targetEnd <= s.tEnd())
        return s.sEnd();
    return targetEnd - s.tEnd() + s.sEnd();
}

std::pair<qsizetype, qsizetype> PositionMap::sourceRange(qsizetype targetStart, qsizetype targetEnd) const {
    const qsizetype start = toSource(targetStart);
    return {start, std::max(start, endOf(std::max(targetStart, targetEnd)))};
}

bool PositionMap::isReplaced(qsizetype target) const {
    const qsizetype k = spanAtOrBefore(target);
    return k >= 0 && target < m_spans[std::size_t(k)].tEnd();
}

// Merges the round into the spans in one pass: spans the round does not touch move by the
// length the replacements before them added; a replacement takes in every span it touches,
// and comes from the source range those spans and the plain text between them came from.
void PositionMap::apply(const std::vector<Edit>& round) {
    if (round.empty())
        return;
    std::vector<Span> out;
    out.reserve(m_spans.size() + round.size());
    std::size_t i = 0;
    qsizetype shift = 0;
    for (const Edit& e : round) {
        const qsizetype end = e.start + e.length;
        while (i < m_spans.size() && (m_spans[i].tEnd() < e.start ||
                                      (m_spans[i].tEnd() == e.start && m_spans[i].tStart < e.start))) {
            Span s = m_spans[i++];
            s.tStart += shift;
            out.push_back(s);
        }
        const qsizetype sourceStart = toSource(e.start);
        const qsizetype sourceEnd = e.length > 0 ? endOf(end) : sourceStart;
        while (i < m_spans.size() && (m_spans[i].tStart < end ||
                                      (e.length == 0 && m_spans[i].tStart == end && m_spans[i].tLength == 0)))
            ++i;
        out.push_back({e.start + shift, e.newLength, sourceStart, sourceEnd - sourceStart});
        shift += e.newLength - e.length;
    }
    for (; i < m_spans.size(); ++i) {
        Span s = m_spans[i];
        s.tStart += shift;
        out.push_back(s);
    }
    m_spans = std::move(out);
}

} // namespace language
