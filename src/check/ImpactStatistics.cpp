#include "check/ImpactStatistics.h"

#include <algorithm>
#include <cmath>

namespace check {

namespace {

// The value of rank ceil(p * n) (1-based; the first for p = 0) of a sorted sequence.
double nearestRank(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const double n = double(sorted.size());
    const qint64 rank = std::max<qint64>(1, qint64(std::ceil(p * n - 1e-9)));
    return sorted[size_t(std::min<qint64>(rank, qint64(sorted.size())) - 1)];
}

} // namespace

ImpactQuantiles impactQuantiles(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    ImpactQuantiles q;
    if (values.empty())
        return q;
    q.min = values.front();
    q.p5 = nearestRank(values, 0.05);
    q.p25 = nearestRank(values, 0.25);
    q.median = nearestRank(values, 0.5);
    q.p75 = nearestRank(values, 0.75);
    q.p95 = nearestRank(values, 0.95);
    q.max = values.back();
    return q;
}

namespace impactstats {

void Distribution::add(double value) {
    if (count() == 0) {
        m_min = m_max = value;
    } else {
        m_min = std::min(m_min, value);
        m_max = std::max(m_max, value);
    }
    if (value == 0) {
        ++m_zeros;
        return;
    }
    if (m_nonZero++ % m_stride != 0)
        return;
    m_kept.push_back(value);
    if (m_kept.size() >= MaxKept) {
        size_t w = 0;
        for (size_t r = 0; r < m_kept.size(); r += 2)
            m_kept[w++] = m_kept[r];
        m_kept.resize(w);
        m_stride *= 2;
    }
}

// The value of rank ceil(p * n) among the zeros and the kept values, each kept value standing for
// m_nonZero / kept values.
double Distribution::quantile(const std::vector<double>& sorted, double p) const {
    const double n = double(count());
    const double rank = std::max(1.0, std::ceil(p * n - 1e-9));
    const double weight = sorted.empty() ? 1 : double(m_nonZero) / double(sorted.size());
    const size_t negatives = size_t(std::lower_bound(sorted.begin(), sorted.end(), 0.0) - sorted.begin());
    const double negativeRanks = double(negatives) * weight;
    if (rank <= negativeRanks)
        return sorted[std::min(negatives - 1, size_t(std::ceil(rank / weight - 1e-9)) - 1)];
    if (rank <= negativeRanks + double(m_zeros))
        return 0;
    const double into = rank - negativeRanks - double(m_zeros);
    const size_t at = negatives + size_t(std::max(1.0, std::ceil(into / weight - 1e-9))) - 1;
    return sorted.empty() ? 0 : sorted[std::min(at, sorted.size() - 1)];
}

ImpactQuantiles Distribution::quantiles() const {
    ImpactQuantiles q;
    if (count() == 0)
        return q;
    std::vector<double> sorted = m_kept;
    std::sort(sorted.begin(), sorted.end());
    q.min = m_min;
    q.p5 = quantile(sorted, 0.05);
    q.p25 = quantile(sorted, 0.25);
    q.median = quantile(sorted, 0.5);
    q.p75 = quantile(sorted, 0.75);
    q.p95 = quantile(sorted, 0.95);
    q.max = m_max;
    return q;
}

ImpactHistogram Distribution::histogram(int bins) const {
    ImpactHistogram h;
    if (count() == 0)
        return h;
    h.from = m_min;
    h.width = std::max((m_max - m_min) / std::max(bins, 1), MinBinWidth);
    bins = std::clamp(int(std::ceil((m_max - m_min) / h.width - 1e-9)), 1, std::max(bins, 1));
    h.counts = QList<qint64>(bins, 0);
    auto binOf = [&](double v) {
        return std::clamp(qsizetype((v - m_min) / h.width), qsizetype(0), qsizetype(bins) - 1);
    };
    h.counts[binOf(0)] += m_zeros;
    // Each kept value stands for m_nonZero / kept values: the bins' shares of the non-zero values,
    // the remainder of their rounding given to the bins with the largest fractions.
    std::vector<qint64> kept(size_t(bins), 0);
    for (double v : m_kept)
        ++kept[size_t(binOf(v))];
    const double weight = m_kept.empty() ? 0 : double(m_nonZero) / double(m_kept.size());
    std::vector<std::pair<double, int>> fractions;
    qint64 placed = 0;
    for (int b = 0; b < bins; ++b) {
        const double share = double(kept[size_t(b)]) * weight;
        const qint64 whole = qint64(std::floor(share));
        h.counts[b] += whole;
        placed += whole;
        fractions.emplace_back(share - double(whole), b);
    }
    std::sort(fractions.begin(), fractions.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (size_t i = 0; placed < m_nonZero && i < fractions.size(); ++i, ++placed)
        ++h.counts[fractions[i].second];
    return h;
}

// The percent change as the report writes it (six decimals): rows that differ only by the outputs'
// rounding rank by their absolute change.
double rankedPercent(const std::optional<double>& percent) {
    return percent ? std::round(std::abs(*percent) * 1e6) / 1e6 : INFINITY;
}

bool Movers::before(const ImpactMover& a, qint64 ia, const ImpactMover& b, qint64 ib) {
    const double pa = rankedPercent(a.percent);
    const double pb = rankedPercent(b.percent);
    if (pa != pb)
        return pa > pb;
    if (std::abs(a.change) != std::abs(b.change))
        return std::abs(a.change) > std::abs(b.change);
    return ia < ib;
}

bool Movers::wanted(const ImpactMover& mover, qint64 index) const {
    if (m_top <= 0)
        return false;
    if (m_entries.size() < size_t(m_top))
        return true;
    return before(mover, index, m_entries.back().mover, m_entries.back().index);
}

void Movers::add(ImpactMover mover, qint64 index) {
    if (!wanted(mover, index))
        return;
    auto at = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return before(mover, index, e.mover, e.index); });
    m_entries.insert(at, Entry{std::move(mover), index});
    if (m_entries.size() > size_t(m_top))
        m_entries.pop_back();
}

QList<ImpactMover> Movers::take() {
    QList<ImpactMover> out;
    for (Entry& e : m_entries)
        out.append(std::move(e.mover));
    m_entries.clear();
    return out;
}

} // namespace impactstats

} // namespace check
