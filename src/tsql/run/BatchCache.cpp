#include "tsql/run/BatchCache.h"

#include "tsql/bind/Binder.h"
#include "tsql/text/Lexer.h"
#include "tsql/text/Parser.h"

#include <QHash>

#include <algorithm>

namespace tsql {

namespace {

// The number of leading statements that are declarations of scalar variables without initial
// values: they leave nothing behind but their variables (NULLs of their types, as every batch
// starts them). A table variable is a table of the batch and ends the run.
std::size_t leadingDeclarations(const Batch& batch) {
    std::size_t k = 0;
    for (; k < batch.statements.size(); ++k) {
        const Stmt& s = *batch.statements[k];
        if (s.kind != SK::Declare ||
            std::any_of(s.decls.begin(), s.decls.end(), [](const VarDecl& d) { return d.init || d.table; }))
            break;
    }
    return k;
}

// The offset of the start of line `line` (1-based) of `text`, as the lexer counts lines; -1 when
// the text has fewer lines.
qsizetype lineStart(const QString& text, int line) {
    qsizetype at = 0;
    for (int l = 1; l < line; ++l) {
        at = text.indexOf(u'\n', at);
        if (at < 0)
            return -1;
        ++at;
    }
    return at;
}

// The statements the caller read from the rest of `text` at `place`, when it read them there, or
// read here from the rest's tokens it read (taken: they are bound once).
std::optional<Batch> takeRead(ReadRest* read, const QString& text, const BatchPlace& place) {
    if (!read || (read->tokens.empty() && read->place != place) ||
        text.size() - place.offset != read->text.size() || QStringView(text).mid(place.offset) != read->text)
        return std::nullopt;
    std::optional<Batch> taken =
        read->tokens.empty() ? std::move(read->statements) : parseBatchRest(std::move(read->tokens), place);
    read->statements = {};
    read->tokens = {};
    read->text.clear();
    return taken;
}

} // namespace

std::shared_ptr<CompiledBatch> BatchCache::compile(const QString& text, Catalog& catalog, ReadRest* read) {
    const qint64 version = catalog.schemaVersion();
    // Texts of another length differ at once; those of the same length are compared as they
    // are, which costs less than hashing every text sent (a batch after the check's declarations
    // is mostly declarations).
    auto it = std::find_if(m_batches.begin(), m_batches.end(),
                           [&](const auto& c) { return c->schemaVersion == version && c->text == text; });
    if (it != m_batches.end()) {
        m_batches.splice(m_batches.begin(), m_batches, it);
        return m_batches.front();
    }
    std::shared_ptr<CompiledBatch> compiled = compileAfterDeclarations(text, catalog, version, read);
    if (!compiled) {
        compiled = std::make_shared<CompiledBatch>(CompiledBatch{text, version, parseBatch(text), {}, {}});
        bindBatch(compiled->batch, catalog, compiled->variableTypes);
        if (version >= 0)
            keepDeclarations(*compiled);
    }
    // A schema that cannot be read (version -1) could change unseen; very long batches (a
    // one-off script) would only push the editor's batches out.
    if (version >= 0 && text.size() <= kLongestCompiledBatch && m_kept > 0) {
        if (m_batches.size() >= m_kept)
            m_batches.pop_back();
        m_batches.push_front(compiled);
    }
    return compiled;
}

std::shared_ptr<CompiledBatch> BatchCache::compileAfterDeclarations(const QString& text, Catalog& catalog,
                                                                    qint64 version, ReadRest* read) {
    for (auto it = m_declarations.begin(); it != m_declarations.end(); ++it) {
        const DeclarationBlock& block = **it;
        if (block.schemaVersion != version || text.size() <= block.text.size() ||
            !text.startsWith(block.text))
            continue;
        std::optional<Batch> rest = takeRead(read, text, block.place);
        if (!rest)
            rest = parseBatchRest(text.mid(block.text.size()), block.place);
        if (!rest)
            return nullptr;
        auto compiled =
            std::make_shared<CompiledBatch>(CompiledBatch{text, version, std::move(*rest), {}, {}});
        bindBatch(compiled->batch, catalog, compiled->variableTypes, block.scope);
        m_declarations.splice(m_declarations.begin(), m_declarations, it);
        return compiled;
    }
    return nullptr;
}

void BatchCache::keepDeclarations(const CompiledBatch& compiled) {
    const std::size_t k = leadingDeclarations(compiled.batch);
    // The rest must start a line of its own, so that it reads the same on its own.
    if (k == 0 || k >= compiled.batch.statements.size())
        return;
    const Stmt& next = *compiled.batch.statements[k];
    const qsizetype offset = next.column == 1 ? lineStart(compiled.text, next.line) : -1;
    if (offset <= 0)
        return;
    auto block = std::make_shared<DeclarationBlock>();
    block->text = compiled.text.left(offset);
    const bool known = std::any_of(m_declarations.begin(), m_declarations.end(), [&](const auto& b) {
        return b->schemaVersion == compiled.schemaVersion && b->text == block->text;
    });
    if (known)
        return;
    block->schemaVersion = compiled.schemaVersion;
    std::optional<ServerError> lexError;
    const std::vector<Token> tokens = tokenize(block->text, lexError);
    if (lexError || tokens.size() < 2)
        return;
    block->place = {static_cast<int>(offset), next.line - 1, tokens[tokens.size() - 2].isOp(";")};
    for (std::size_t i = 0; i < k; ++i) {
        for (const VarDecl& d : compiled.batch.statements[i]->decls)
            block->scope.variables.insert(d.name.toUpper(), d.slot);
    }
    // The declarations were bound first: their variables hold the first slots.
    const auto declared = static_cast<std::size_t>(block->scope.variables.size());
    if (declared > compiled.variableTypes.size() ||
        std::any_of(block->scope.variables.cbegin(), block->scope.variables.cend(),
                    [&](int slot) { return slot < 0 || static_cast<std::size_t>(slot) >= declared; }))
        return;
    block->scope.types.assign(compiled.variableTypes.begin(),
                              compiled.variableTypes.begin() + static_cast<std::ptrdiff_t>(declared));
    block->scope.statements = compiled.batch.statements[k - 1]->orderEnd;
    if (m_declarations.size() >= kDeclarationBlocks)
        m_declarations.pop_back();
    m_declarations.push_front(std::move(block));
}

} // namespace tsql
