#include "tsql/BatchCache.h"

#include "tsql/Binder.h"
#include "tsql/Parser.h"

#include <algorithm>

namespace tsql {

std::shared_ptr<CompiledBatch> BatchCache::compile(const QString& text, Catalog& catalog) {
    const qint64 version = catalog.schemaVersion();
    auto it = std::find_if(m_batches.begin(), m_batches.end(),
                           [&](const auto& c) { return c->schemaVersion == version && c->text == text; });
    if (it != m_batches.end()) {
        m_batches.splice(m_batches.begin(), m_batches, it);
        return m_batches.front();
    }
    auto compiled = std::make_shared<CompiledBatch>(CompiledBatch{text, version, parseBatch(text), {}, {}});
    bindBatch(compiled->batch, catalog, compiled->variableTypes);
    // A schema that cannot be read (version -1) could change unseen; very long batches (a
    // one-off script) would only push the editor's batches out.
    if (version >= 0 && text.size() <= kLongestCompiledBatch) {
        if (m_batches.size() >= kCompiledBatches)
            m_batches.pop_back();
        m_batches.push_front(compiled);
    }
    return compiled;
}

} // namespace tsql
