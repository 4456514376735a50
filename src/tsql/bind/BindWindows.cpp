// Binding of window functions (NAME(...) OVER (...)): where they may stand, what each function
// needs of its OVER clause, and the type of the result ("SELECT - OVER clause (Transact-SQL)").

#include "tsql/bind/BinderImpl.h"

#include "tsql/base/Messages.h"

#include "tsql/functions/Functions.h"

namespace tsql::binding {

namespace {

enum class WindowKind { Ranking, Offset, Value, Aggregate };

// The functions that take an OVER clause, and the count of arguments each takes.
struct WindowFunction {
    const char* name;
    WindowKind kind;
    int minArgs, maxArgs;
};

constexpr WindowFunction kWindowFunctions[] = {
    {"ROW_NUMBER", WindowKind::Ranking, 0, 0},  {"RANK", WindowKind::Ranking, 0, 0},
    {"DENSE_RANK", WindowKind::Ranking, 0, 0},  {"NTILE", WindowKind::Ranking, 1, 1},
    {"LAG", WindowKind::Offset, 1, 3},          {"LEAD", WindowKind::Offset, 1, 3},
    {"FIRST_VALUE", WindowKind::Value, 1, 1},   {"LAST_VALUE", WindowKind::Value, 1, 1},
    {"SUM", WindowKind::Aggregate, 1, 1},       {"COUNT", WindowKind::Aggregate, 1, 1},
    {"COUNT_BIG", WindowKind::Aggregate, 1, 1}, {"AVG", WindowKind::Aggregate, 1, 1},
    {"MIN", WindowKind::Aggregate, 1, 1},       {"MAX", WindowKind::Aggregate, 1, 1},
};

const WindowFunction* windowFunction(const QString& name) {
    for (const WindowFunction& f : kWindowFunctions)
        if (name == QLatin1String(f.name))
            return &f;
    return nullptr;
}

// A whole-number constant, its sign applied; nullopt for anything else.
std::optional<qint64> constantRows(const Expr& e) {
    const Expr* lit = &e;
    bool negative = false;
    while (lit->kind == EK::Unary && (lit->op == u"-" || lit->op == u"+")) {
        negative = negative != (lit->op == u"-");
        lit = lit->args[0].get();
    }
    if (lit->kind != EK::Literal || lit->value.null || !lit->value.type.isInteger())
        return std::nullopt;
    return negative ? -lit->value.i : lit->value.i;
}

int boundOrder(const FrameBound& b) {
    switch (b.kind) {
    case FrameBound::UnboundedPreceding:
        return -2;
    case FrameBound::Preceding:
        return b.rows == 0 ? 0 : -1;
    case FrameBound::CurrentRow:
        return 0;
    case FrameBound::Following:
        return b.rows == 0 ? 0 : 1;
    case FrameBound::UnboundedFollowing:
        break;
    }
    return 2;
}

} // namespace

bool Binder::containsWindow(const Expr& e) {
    if (e.kind == EK::Window)
        return true;
    for (const auto& a : e.args)
        if (a && containsWindow(*a))
            return true;
    return false;
}

// A name that is a window function only, called without OVER (Msg 10753).
void Binder::windowOnly(const Expr& e) {
    const WindowFunction* f = windowFunction(e.name);
    if (f && f->kind != WindowKind::Aggregate)
        raiseAt<Msg::FunctionMustHaveOver>(e.line, e.column, e.name);
}

void Binder::window(Expr& e) {
    const WindowSpec& w = *e.over;
    if (!windowsAllowed)
        raiseAt<Msg::WindowedFunctionsOnlySelect>(e.line, e.column);
    for (const auto& a : e.args)
        if (containsWindow(*a))
            raiseAt<Msg::WindowedFunctionsContext>(e.line, e.column);
    const WindowFunction* f = windowFunction(e.name);
    if (!f && e.function && !e.function->aggregate())
        raiseAt<Msg::NotValidWindowingFunction>(e.line, e.column, e.name);
    if (!f && e.function)
        raiseAt<Msg::WindowAggregateNotSupported>(e.line, e.column, e.name);
    if (!f)
        raiseAt<Msg::UnknownFunction>(e.line, e.column, e.name);
    if (w.arguments < f->minArgs || w.arguments > f->maxArgs) {
        if (f->minArgs == f->maxArgs)
            raiseAt<Msg::ArgumentCount>(e.line, e.column, e.name.toLower(), f->minArgs);
        raiseAt<Msg::ArgumentCountRange>(e.line, e.column, e.name.toLower(), f->minArgs, f->maxArgs);
    }
    if (e.distinct)
        raiseAt<Msg::DistinctNotAllowedOver>(e.line, e.column);
    const size_t orders = w.descending.size();
    for (size_t k = e.args.size() - orders; k < e.args.size(); ++k)
        if (e.args[k]->kind == EK::Literal && e.args[k]->value.type.isInteger())
            raiseAt<Msg::WindowIntegerIndices>(e.args[k]->line, e.args[k]->column);
    if (f->kind != WindowKind::Aggregate && orders == 0)
        raiseAt<Msg::FunctionMustHaveOverOrder>(e.line, e.column, e.name);
    if ((f->kind == WindowKind::Ranking || f->kind == WindowKind::Offset) && w.hasFrame)
        raiseAt<Msg::FunctionMayNotHaveFrame>(e.line, e.column, e.name);
    if (w.hasFrame)
        windowFrame(e);
    windowType(e, f->kind == WindowKind::Ranking, f->kind == WindowKind::Offset);
    e.rowDependent = true;
}

// ROWS or RANGE: only after ORDER BY (Msg 10756); RANGE only with UNBOUNDED and CURRENT ROW
// (Msg 4194). A frame that ends before it starts is refused by name.
void Binder::windowFrame(const Expr& e) {
    const WindowSpec& w = *e.over;
    if (w.descending.empty())
        raiseAt<Msg::WindowFrameNeedsOrder>(e.line, e.column);
    auto offset = [](const FrameBound& b) {
        return b.kind == FrameBound::Preceding || b.kind == FrameBound::Following;
    };
    if (w.range && (offset(w.start) || offset(w.end)))
        raiseAt<Msg::RangeOnlyUnbounded>(e.line, e.column);
    if (w.start.kind == FrameBound::UnboundedFollowing || w.end.kind == FrameBound::UnboundedPreceding ||
        boundOrder(w.start) > boundOrder(w.end) ||
        (w.start.kind == FrameBound::Preceding && w.end.kind == FrameBound::Preceding &&
         w.start.rows < w.end.rows) ||
        (w.start.kind == FrameBound::Following && w.end.kind == FrameBound::Following &&
         w.start.rows > w.end.rows))
        raiseAt<Msg::WindowFrameNotSupported>(e.line, e.column);
}

// ROW_NUMBER, RANK, DENSE_RANK and NTILE give bigint; LAG, LEAD, FIRST_VALUE and LAST_VALUE the
// type of their value; an aggregate its own result type.
void Binder::windowType(Expr& e, bool ranking, bool offset) {
    if (ranking) {
        if (e.name == u"NTILE" && !e.args[0]->type.isInteger() && e.args[0]->type.id != TypeId::Unknown)
            raiseAt<Msg::InvalidArgumentType>(e.line, e.column, e.args[0]->type.name(), u"ntile");
        e.type = SqlType::of(TypeId::BigInt);
        return;
    }
    if (offset && e.over->arguments >= 2) {
        const auto n = constantRows(*e.args[1]);
        if (n && *n < 0)
            raiseAt<Msg::LagLeadNegativeOffset>(e.line, e.column);
        if (e.args[1]->rowDependent)
            raiseAt<Msg::WindowFrameNotSupported>(e.line, e.column);
    }
    if (!e.function) {
        e.type = e.args[0]->type;
        return;
    }
    try {
        e.type = e.function->type(*e.function, {e.args[0]->type});
    } catch (SqlError& err) {
        err.error.line = e.line;
        err.error.column = e.column;
        throw;
    }
}

} // namespace tsql::binding
