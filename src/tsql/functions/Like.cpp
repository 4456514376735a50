// LIKE: SQL Server's wildcards (% any run, _ one character, [set], [^set], ranges) under the
// engine's case-insensitive collation ("LIKE (Transact-SQL)").

#include "tsql/functions/Functions.h"

#include "tsql/base/Limits.h"

namespace tsql {

bool likeMatch(QStringView value, const QString& pattern, QChar esc) {
    const int n = int(value.size()), m = int(pattern.size());
    auto charEq = [](QChar a, QChar b) { return a.toCaseFolded() == b.toCaseFolded(); };
    // The commonest pattern, plain characters and one '%' at the end ('LINEA%'): the value
    // begins with those characters.
    const auto plain = [&](QChar c) {
        return c != u'%' && c != u'_' && c != u'[' && (esc.isNull() || c != esc);
    };
    if (m > 0 && pattern[m - 1] == u'%' && std::all_of(pattern.begin(), pattern.end() - 1, plain)) {
        if (n < m - 1)
            return false;
        for (int k = 0; k < m - 1; ++k)
            if (!charEq(value[k], pattern[k]))
                return false;
        return true;
    }
    // Any other: an iterative matcher with backtracking on '%'.
    // Returns the length of the pattern element at j and whether it matches character c.
    auto element = [&](int j, QChar c, bool& matches) -> int {
        QChar pc = pattern[j];
        if (!esc.isNull() && pc == esc && j + 1 < m) {
            matches = charEq(c, pattern[j + 1]);
            return 2;
        }
        if (pc == u'_') {
            matches = true;
            return 1;
        }
        if (pc == u'[') {
            int k = j + 1;
            bool negate = false;
            if (k < m && pattern[k] == u'^') {
                negate = true;
                ++k;
            }
            int start = k;
            bool found = false;
            while (k < m && (pattern[k] != u']' || k == start)) {
                if (k + 2 < m && pattern[k + 1] == u'-' && pattern[k + 2] != u']') {
                    QChar lo = pattern[k].toCaseFolded(), hi = pattern[k + 2].toCaseFolded(),
                          cc = c.toCaseFolded();
                    found = found || (cc >= lo && cc <= hi);
                    k += 3;
                } else {
                    found = found || charEq(c, pattern[k]);
                    ++k;
                }
            }
            if (k >= m) { // no closing bracket: a literal '['
                matches = c == u'[';
                return 1;
            }
            matches = negate ? !found : found;
            return k - j + 1;
        }
        matches = charEq(c, pc);
        return 1;
    };
    int i = 0, j = 0, starJ = -1, starI = 0;
    // Backtracking makes a match of a long value against a long pattern slow: the batch's clock
    // is looked at on the way.
    BatchBudget* budget = currentBudget();
    while (i < n) {
        if (budget)
            budget->tick();
        if (j < m && pattern[j] == u'%' && !(j > 0 && !esc.isNull() && pattern[j - 1] == esc)) {
            starJ = ++j;
            starI = i;
            continue;
        }
        if (j < m) {
            bool ok = false;
            int len = element(j, value[i], ok);
            if (ok) {
                j += len;
                ++i;
                continue;
            }
        }
        if (starJ >= 0) {
            j = starJ;
            i = ++starI;
            continue;
        }
        return false;
    }
    while (j < m && pattern[j] == u'%')
        ++j;
    return j == m;
}

} // namespace tsql
