#include "editing/TextDiff.h"

#include <QRegularExpression>

#include <vector>

namespace editing {

namespace {

// The script of the part between the common start and end: the shortest one from the table of
// the longest common subsequence of the suffixes, or, beyond MaxDiffCells, all removed then all
// added.
void middleItems(const QStringList& a, qsizetype a0, qsizetype a1, const QStringList& b, qsizetype b0,
                 qsizetype b1, QList<DiffItem>& out) {
    const qsizetype n = a1 - a0;
    const qsizetype m = b1 - b0;
    if (n == 0 || m == 0 || qint64(n) * qint64(m) > MaxDiffCells) {
        for (qsizetype i = a0; i < a1; ++i)
            out.append({DiffOp::Delete, a.at(i)});
        for (qsizetype j = b0; j < b1; ++j)
            out.append({DiffOp::Insert, b.at(j)});
        return;
    }
    // lcs[i * (m + 1) + j]: the longest common subsequence of a[a0 + i..] and b[b0 + j..]. It is at
    // most min(n, m), which the cell limit keeps within 2000: two bytes hold it.
    std::vector<quint16> lcs(size_t(n + 1) * size_t(m + 1), 0);
    const auto at = [&](qsizetype i, qsizetype j) -> quint16& {
        return lcs[size_t(i) * size_t(m + 1) + size_t(j)];
    };
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            at(i, j) = a.at(a0 + i) == b.at(b0 + j) ? quint16(at(i + 1, j + 1) + 1)
                                                    : std::max(at(i + 1, j), at(i, j + 1));
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a.at(a0 + i) == b.at(b0 + j)) {
            out.append({DiffOp::Equal, a.at(a0 + i)});
            ++i;
            ++j;
        } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
            out.append({DiffOp::Delete, a.at(a0 + i)});
            ++i;
        } else {
            out.append({DiffOp::Insert, b.at(b0 + j)});
            ++j;
        }
    }
}

// "start,count" of a hunk's side, as unified diffs write it: the count left out when it is 1,
// and the line before the hunk as start when the side is empty.
QString range(qsizetype firstLine, qsizetype count) {
    if (count == 1)
        return QString::number(firstLine + 1);
    return QStringLiteral("%1,%2").arg(count == 0 ? firstLine : firstLine + 1).arg(count);
}

} // namespace

QList<DiffItem> diffItems(const QStringList& from, const QStringList& to) {
    QList<DiffItem> out;
    qsizetype start = 0;
    while (start < from.size() && start < to.size() && from.at(start) == to.at(start))
        ++start;
    qsizetype endFrom = from.size();
    qsizetype endTo = to.size();
    while (endFrom > start && endTo > start && from.at(endFrom - 1) == to.at(endTo - 1)) {
        --endFrom;
        --endTo;
    }
    for (qsizetype i = 0; i < start; ++i)
        out.append({DiffOp::Equal, from.at(i)});
    middleItems(from, start, endFrom, to, start, endTo, out);
    for (qsizetype i = endFrom; i < from.size(); ++i)
        out.append({DiffOp::Equal, from.at(i)});
    return out;
}

QStringList textLines(const QString& text) {
    if (text.isEmpty())
        return {};
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineBreak);
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString unifiedDiff(const QString& from, const QString& to, const QString& fromLabel, const QString& toLabel,
                    int context) {
    const QList<DiffItem> items = diffItems(textLines(from), textLines(to));
    // Each item's line number on both sides (0-based, counted before it).
    QList<qsizetype> lineA;
    QList<qsizetype> lineB;
    QList<qsizetype> changes;
    qsizetype na = 0;
    qsizetype nb = 0;
    for (qsizetype k = 0; k < items.size(); ++k) {
        lineA.append(na);
        lineB.append(nb);
        if (items.at(k).op != DiffOp::Insert)
            ++na;
        if (items.at(k).op != DiffOp::Delete)
            ++nb;
        if (items.at(k).op != DiffOp::Equal)
            changes.append(k);
    }
    if (changes.isEmpty())
        return {};
    QString out = QStringLiteral("--- %1\n+++ %2\n").arg(fromLabel, toLabel);
    const qsizetype ctx = std::max(context, 0);
    qsizetype c = 0;
    while (c < changes.size()) {
        // A hunk takes in the next changes while no more than 2 * context equal lines part them.
        qsizetype last = c;
        while (last + 1 < changes.size() && changes.at(last + 1) - changes.at(last) - 1 <= 2 * ctx)
            ++last;
        const qsizetype begin = std::max<qsizetype>(0, changes.at(c) - ctx);
        const qsizetype end = std::min(items.size(), changes.at(last) + ctx + 1);
        qsizetype countA = 0;
        qsizetype countB = 0;
        QString body;
        for (qsizetype k = begin; k < end; ++k) {
            const DiffItem& item = items.at(k);
            const QChar mark = item.op == DiffOp::Equal ? u' ' : item.op == DiffOp::Delete ? u'-' : u'+';
            body += mark + item.text + u'\n';
            countA += item.op != DiffOp::Insert ? 1 : 0;
            countB += item.op != DiffOp::Delete ? 1 : 0;
        }
        out += QStringLiteral("@@ -%1 +%2 @@\n")
                   .arg(range(lineA.at(begin), countA), range(lineB.at(begin), countB));
        out += body;
        c = last + 1;
    }
    return out;
}

} // namespace editing
