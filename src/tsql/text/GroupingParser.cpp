// GROUP BY with ROLLUP, CUBE and GROUPING SETS ("SELECT - GROUP BY (Transact-SQL)"): the
// grouping columns are read once into Select::groupBy, and every grouping set the clause makes
// becomes a mask over them (Select::groupingSets). The sets of the clause are the cross product
// of the sets of its elements. A clause of more grouping sets than the embedded server computes
// (each is one more query) is refused by name.

#include "tsql/text/ParserImpl.h"

#include "tsql/base/Messages.h"

namespace tsql::parsing {

namespace {

using Masks = std::vector<quint64>;

// Every set of `a` joined with every set of `b`.
Masks product(const Masks& a, const Masks& b, const Token& at) {
    Masks out;
    for (quint64 x : a)
        for (quint64 y : b) {
            if (out.size() == kMaxGroupingSets)
                raiseAt<Msg::TooManyGroupingSets>(at.line, at.column, int(kMaxGroupingSets));
            out.push_back(x | y);
        }
    return out;
}

} // namespace

// The index of a grouping column in sel.groupBy, added when new. Only columns can be grouping
// columns of ROLLUP, CUBE and GROUPING SETS here.
int Parser::groupingIndex(Select& sel, ExprP e, const Token& at) {
    if (e->kind != EK::Column)
        raiseAt<Msg::GroupingElementNotSupported>(at.line, at.column);
    const QString key = e->parts.join(u'.').toUpper();
    for (size_t k = 0; k < sel.groupBy.size(); ++k)
        if (sel.groupBy[k]->parts.join(u'.').toUpper() == key)
            return int(k);
    if (sel.groupBy.size() >= 63)
        raiseAt<Msg::GroupingElementNotSupported>(at.line, at.column);
    sel.groupBy.push_back(std::move(e));
    return int(sel.groupBy.size() - 1);
}

int Parser::groupingColumn(Select& sel) {
    const Token& at = cur();
    return groupingIndex(sel, scalar(), at);
}

// (a, b, ...) of ROLLUP or CUBE, or a composite element of GROUPING SETS: the columns' mask.
quint64 Parser::groupingColumns(Select& sel, std::vector<quint64>* each) {
    expectOp("(");
    quint64 all = 0;
    do {
        const quint64 bit = quint64(1) << groupingColumn(sel);
        all |= bit;
        if (each)
            each->push_back(bit);
    } while (acceptOp(","));
    expectOp(")");
    return all;
}

// One element of GROUP BY or of GROUPING SETS: its grouping sets.
std::vector<quint64> Parser::groupingElement(Select& sel, bool inSets) {
    const Token& at = cur();
    if (cur().isWord("ROLLUP") && peek().isOp("(")) {
        ++p;
        Masks columns;
        groupingColumns(sel, &columns);
        Masks sets;
        for (size_t n = columns.size() + 1; n-- > 0;) {
            quint64 m = 0;
            for (size_t k = 0; k < n; ++k)
                m |= columns[k];
            sets.push_back(m);
        }
        return sets;
    }
    if (cur().isWord("CUBE") && peek().isOp("(")) {
        ++p;
        Masks columns;
        groupingColumns(sel, &columns);
        Masks sets{0};
        for (size_t k = columns.size(); k-- > 0;)
            sets = product(Masks{columns[k], 0}, sets, at);
        return sets;
    }
    if (!inSets && cur().isWord("GROUPING") && peek().isWord("SETS")) {
        p += 2;
        expectOp("(");
        Masks sets;
        do {
            for (quint64 m : groupingElement(sel, true)) {
                if (sets.size() == kMaxGroupingSets)
                    raiseAt<Msg::TooManyGroupingSets>(at.line, at.column, int(kMaxGroupingSets));
                sets.push_back(m);
            }
        } while (acceptOp(","));
        expectOp(")");
        return sets;
    }
    if (cur().isOp("(") && peek().isOp(")")) {
        p += 2;
        return Masks{0};
    }
    if (inSets && cur().isOp("(") && !peek().isKeyword("SELECT"))
        return Masks{groupingColumns(sel, nullptr)};
    return Masks{quint64(1) << groupingColumn(sel)};
}

// GROUP BY e, ...: plain expressions stay as they are; with ROLLUP, CUBE, GROUPING SETS or
// WITH ROLLUP / WITH CUBE the sets are kept as masks.
void Parser::groupByClause(Select& sel) {
    const Token& at = cur();
    struct Element {
        ExprP plain;
        Masks sets;
        const Token* at;
    };
    std::vector<Element> elements;
    bool grouping = false;
    do {
        const Token& start = cur();
        const bool special = ((cur().isWord("ROLLUP") || cur().isWord("CUBE")) && peek().isOp("(")) ||
                             (cur().isWord("GROUPING") && peek().isWord("SETS")) ||
                             (cur().isOp("(") && peek().isOp(")"));
        if (special) {
            grouping = true;
            elements.push_back(Element{nullptr, groupingElement(sel, false), &start});
        } else {
            elements.push_back(Element{scalar(), {}, &start});
        }
    } while (acceptOp(","));
    const bool withOption = cur().isKeyword("WITH") && (peek().isWord("ROLLUP") || peek().isWord("CUBE"));
    if (!grouping && !withOption) {
        for (Element& e : elements)
            sel.groupBy.push_back(std::move(e.plain));
        return;
    }
    Masks sets{0};
    for (Element& e : elements) {
        const Masks m = e.plain ? Masks{quint64(1) << groupingIndex(sel, std::move(e.plain), *e.at)} : e.sets;
        sets = product(sets, m, at);
    }
    if (withOption) {
        const bool cube = peek().isWord("CUBE");
        p += 2;
        const size_t n = sel.groupBy.size();
        sets = Masks{0};
        if (cube) {
            for (size_t k = n; k-- > 0;)
                sets = product(Masks{quint64(1) << k, 0}, sets, at);
        } else {
            sets.clear();
            for (size_t k = n + 1; k-- > 0;)
                sets.push_back((quint64(1) << k) - 1);
        }
    }
    sel.groupingSets = std::move(sets);
}

} // namespace tsql::parsing
