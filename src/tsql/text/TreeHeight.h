#pragma once

#include "tsql/text/Ast.h"

namespace tsql {

// The deepest tree a statement may hold, in levels. Operators read in a loop (a + b + c ...,
// AND, OR, joins, chained xml methods) make trees as deep as they are long without nesting the
// parser's calls; the binder, the evaluator, the SQL generator and the destructors walk them by
// recursion, so the parser bounds their depth while it builds them, before anything walks them.
inline constexpr int kMaxTreeHeight = 500;
// A query nested in an expression counts as this many levels: running one takes about as much
// stack as that many operators.
inline constexpr int kQueryHeight = 4;

// SQL Server's Msg 191.
[[noreturn]] void nestedTooDeeply(int line, int column);

// Sets the height of a node whose children are complete (Expr::height); Msg 191 when it goes
// beyond kMaxTreeHeight.
ExprP sealed(ExprP e);
void seal(TableSource& source);
void seal(Select& select);

} // namespace tsql
