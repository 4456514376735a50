#include "tsql/text/TreeHeight.h"

#include "tsql/base/Messages.h"

#include <algorithm>

namespace tsql {

void nestedTooDeeply(int line, int column) {
    raiseAt<Msg::NestedTooDeeply>(line, column);
}

ExprP sealed(ExprP e) {
    int h = e->sub ? e->sub->height : 0;
    for (const auto& a : e->args)
        if (a)
            h = std::max(h, a->height);
    e->height = h + 1;
    if (e->height > kMaxTreeHeight)
        nestedTooDeeply(e->line, e->column);
    return e;
}

void seal(TableSource& ts) {
    int h = 0;
    for (const TableSource* child : {ts.left.get(), ts.right.get()})
        if (child)
            h = std::max(h, child->height);
    for (const Expr* e : {ts.on.get(), ts.xmlTarget.get()})
        if (e)
            h = std::max(h, e->height);
    if (ts.derived)
        h = std::max(h, ts.derived->height);
    for (const auto& row : ts.valueRows)
        for (const ExprP& e : row)
            h = std::max(h, e->height);
    for (const ExprP& e : ts.functionArgs)
        h = std::max(h, e->height);
    ts.height = h + 1;
    if (ts.height > kMaxTreeHeight)
        nestedTooDeeply(ts.line, ts.column);
}

void seal(Select& sel) {
    int h = 0;
    auto take = [&](const ExprP& e) {
        if (e)
            h = std::max(h, e->height);
    };
    take(sel.top);
    for (const SelectItem& it : sel.items)
        take(it.expr);
    for (const auto& f : sel.from)
        h = std::max(h, f->height);
    take(sel.where);
    for (const ExprP& g : sel.groupBy)
        take(g);
    take(sel.having);
    for (const OrderItem& o : sel.orderBy)
        take(o.expr);
    take(sel.offset);
    take(sel.fetch);
    if (sel.unionNext)
        h = std::max(h, sel.unionNext->height);
    sel.height = h + kQueryHeight;
    if (sel.height > kMaxTreeHeight)
        nestedTooDeeply(sel.line, sel.column);
}

} // namespace tsql
