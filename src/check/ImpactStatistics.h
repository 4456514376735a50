#pragma once

// The figures of one output of an impact preview, gathered row by row: the distribution of the
// change (kept in bounded memory), its histogram and the rows that move most. Internal to the
// check.

#include "check/Impact.h"

#include <vector>

namespace check::impactstats {

// A distribution of changes, most of them usually zero: the zeros are counted, the other values
// kept. Beyond MaxKept values it keeps every other one and from then on one in two, four...
// (each kept value then stands for that many), so that its memory stays under MaxKept * 8 bytes
// and the quantiles become those of an even sample.
class Distribution {
public:
    static constexpr size_t MaxKept = size_t(1) << 22; // 4,194,304 values, 32 MB
    void add(double value);
    qint64 count() const { return m_zeros + m_nonZero; }
    ImpactQuantiles quantiles() const;
    // Counts in at most `bins` equal bins from the least value to the greatest, none narrower than
    // MinBinWidth: the percent changes of six-decimal outputs that differ only by the outputs'
    // rounding (a spread under a thousandth of a point) fall in one bin.
    static constexpr double MinBinWidth = 0.001;
    ImpactHistogram histogram(int bins) const;

private:
    double quantile(const std::vector<double>& sorted, double p) const;
    std::vector<double> m_kept;
    qint64 m_zeros = 0;
    qint64 m_nonZero = 0;
    qint64 m_stride = 1;
    double m_min = 0, m_max = 0;
};

// The rows that move an output most, at most `top`: the largest absolute percent change first (a
// change from 0 or NULL before all others), then the largest absolute change, then the earlier row.
class Movers {
public:
    explicit Movers(int top)
        : m_top(top) {}
    // Whether a row with this change would be kept (so that its texts are made only then).
    bool wanted(const ImpactMover& mover, qint64 index) const;
    void add(ImpactMover mover, qint64 index);
    QList<ImpactMover> take();

private:
    struct Entry {
        ImpactMover mover;
        qint64 index;
    };
    static bool before(const ImpactMover& a, qint64 ia, const ImpactMover& b, qint64 ib);
    int m_top;
    std::vector<Entry> m_entries; // best first
};

} // namespace check::impactstats
