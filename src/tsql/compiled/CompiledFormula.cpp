#include "tsql/compiled/CompiledFormula.h"

namespace tsql::compiled {

std::optional<std::vector<Node>> nodesOf(const QString&, const QString&, const QString&, const QString&) {
    return std::nullopt;
}

Compiled compile(const QString&, const QString&, const CompileOptions&) {
    return {nullptr, Fallback{QStringLiteral("the compiled evaluator"), 0, 0}};
}

struct Runner::Impl {
    std::shared_ptr<const Program> program;
    RunOptions options;
    Outcome outcome;
};

Runner::Runner(std::shared_ptr<const Program> program, RunOptions options)
    : d(std::make_unique<Impl>(Impl{std::move(program), options, {}})) {}
Runner::~Runner() = default;

const Outcome& Runner::run(const Row&) {
    return d->outcome;
}

void Runner::cancel() {}

} // namespace tsql::compiled
