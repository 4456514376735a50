// GOTO ("GOTO (Transact-SQL)"): a jump to a label of the batch, forward or backward, into or out
// of blocks, IF branches and WHILE bodies. The GOTO ends the statements it is in, up to the block
// that holds its label; that block goes on from the statement holding the label, which is entered
// without looking at the conditions on the way (seek). The binder has checked that the label
// exists and is in no TRY or CATCH block the GOTO is not in.

#include "tsql/run/Executor.h"

#include <algorithm>

namespace tsql {

// Every jump counts as a round of a loop: a GOTO backward loops as WHILE does, within the same
// limits.
Flow Executor::jump(const Stmt& s) {
    iteration();
    m_jump = s.jumpTo;
    return Flow::Goto;
}

// The statement of `body` that holds the label, found by its number (the statements of a block
// are numbered in increasing order); body.size() when the label is not in the block.
size_t Executor::childHolding(const std::vector<StmtP>& body) const {
    auto after = std::upper_bound(body.begin(), body.end(), m_jump->order,
                                  [](int order, const StmtP& c) { return order < c->order; });
    if (after == body.begin())
        return body.size();
    const size_t k = size_t(after - body.begin()) - 1;
    return holds(*body[k]) ? k : body.size();
}

// Runs `s`, which holds the label, from the label on.
Flow Executor::seek(Stmt& s) {
    if (&s == m_jump) {
        m_jump = nullptr;
        return Flow::Normal;
    }
    switch (s.kind) {
    case SK::Block:
        return runBlock(s.body, childHolding(s.body));
    case SK::If:
        return seekIf(s);
    case SK::While:
        return runWhile(s, true);
    case SK::TryCatch: {
        const size_t k = childHolding(s.body);
        if (k < s.body.size())
            return runTryCatch(s, k);
        return run(*s.elseStmt);
    }
    default:
        // No other statement holds statements: the label cannot be here.
        m_jump = nullptr;
        return Flow::Normal;
    }
}

// The branch of an IF ... ELSE IF chain that holds the label runs from it, the conditions left
// alone; the chain is followed in a loop.
Flow Executor::seekIf(Stmt& first) {
    for (Stmt* node = &first;;) {
        if (holds(*node->thenStmt))
            return run(*node->thenStmt);
        Stmt* next = node->elseStmt.get();
        if (!next) {
            m_jump = nullptr;
            return Flow::Normal;
        }
        if (next->kind != SK::If || next == m_jump)
            return run(*next);
        node = next;
    }
}

} // namespace tsql
