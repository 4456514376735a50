// What the embedded server refuses by name (Msg 40000) of the query syntax the server accepts:
// each refusal names its construct, and nothing runs approximately. The verdicts the server
// gives itself are in cases/query-syntax.txt.

#include "TestDb.h"

#include <gtest/gtest.h>

namespace {

struct Refusal {
    const char* batch;
    const char* names; // a part of the message that names the construct
};

class QuerySyntaxTest : public tsqltest::SessionTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(QuerySyntaxTest, RefusedByName) {
    expectRefusedByName(GetParam().batch, GetParam().names);
}

const Refusal kRefusals[] = {
    // 2^7 grouping sets: more than the 64 the server computes as one query each.
    {"SELECT COUNT(*) FROM LP14_CAMPI GROUP BY CUBE(LP14_INDELEMENTO, LP14_DESCRIZIONE, LP14_PARENT, "
     "LP14_ISATTIVO, LP14_PROGVISUA, LP14_INDELEMENTO + 0, LP14_PARENT + 0)",
     "ROLLUP, CUBE and GROUPING SETS"},
    {"SELECT COUNT(*) FROM LP14_CAMPI AS a CROSS JOIN LP14_CAMPI AS b GROUP BY CUBE(a.LP14_INDELEMENTO, "
     "a.LP14_DESCRIZIONE, a.LP14_PARENT, a.LP14_ISATTIVO, a.LP14_PROGVISUA, b.LP14_INDELEMENTO, "
     "b.LP14_DESCRIZIONE)",
     "more than 64 grouping sets"},
    {"SELECT COUNT(*) FROM LP14_CAMPI GROUP BY ROLLUP(LP14_ISATTIVO + 1)", "ROLLUP, CUBE and GROUPING SETS"},
    {"SELECT GROUPING(LP14_PARENT) FROM LP14_CAMPI GROUP BY ROLLUP(LP14_ISATTIVO)",
     "GROUPING and GROUPING_ID"},
    {"SELECT LP14_ISATTIVO, COUNT(*) FROM LP14_CAMPI GROUP BY ROLLUP(LP14_ISATTIVO) ORDER BY COUNT(*)",
     "ORDER BY item of a grouping-sets query"},
    {"SELECT SUM(LP14_INDELEMENTO) OVER (ORDER BY LP14_INDELEMENTO ROWS BETWEEN CURRENT ROW AND 1 PRECEDING) "
     "FROM LP14_CAMPI",
     "window frame"},
    {"SELECT n FROM (VALUES (1)) AS v(n) ORDER BY n OFFSET (SELECT MAX(LP14_INDELEMENTO) FROM LP14_CAMPI) "
     "ROWS",
     "OFFSET or FETCH row count"},
    // SQLite has no lateral join: a query of APPLY over tables that reads the left side and may
    // give several rows for one of its rows.
    {"SELECT COUNT(*) FROM LP14_CAMPI AS t CROSS APPLY (SELECT c.LP14_INDELEMENTO AS c FROM LP14_CAMPI AS c "
     "WHERE c.LP14_PARENT = t.LP14_INDELEMENTO) AS a",
     "CROSS APPLY or OUTER APPLY"},
    {"SELECT COUNT(*) FROM LP14_CAMPI AS t OUTER APPLY (SELECT TOP 2 c.LP14_INDELEMENTO AS c FROM LP14_CAMPI "
     "AS "
     "c WHERE c.LP14_PARENT = t.LP14_INDELEMENTO) AS a",
     "CROSS APPLY or OUTER APPLY"},
};

INSTANTIATE_TEST_SUITE_P(Constructs, QuerySyntaxTest, ::testing::ValuesIn(kRefusals));

} // namespace
