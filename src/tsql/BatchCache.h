#pragma once

// The batches a session has compiled, kept for when the same text comes again. Not part of the
// engine's interface.

#include "tsql/Ast.h"

#include <QVariantList>

#include <list>
#include <map>
#include <memory>

namespace tsql {

class Catalog;

// The SQLite text of a query that reads no value of the batch, by query and row limit: it is the
// same every time the batch runs.
using GeneratedSql = std::map<std::pair<const Select*, qint64>, std::pair<QString, QVariantList>>;

// A batch parsed and bound. Running it leaves its tree as it was, so that it can run again.
struct CompiledBatch {
    QString text;
    qint64 schemaVersion;
    Batch batch;
    std::vector<SqlType> variableTypes;
    GeneratedSql generated;
};

// Batches parsed and bound, the most recently run first: a batch sent again while the schema is
// unchanged is run from here. The editor sends the same declarations and look-ups over and over.
class BatchCache {
public:
    // The batch compiled against the catalogue (refreshed by the caller); throws SqlError with
    // the batch's first compile error.
    std::shared_ptr<CompiledBatch> compile(const QString& text, Catalog& catalog);

private:
    static constexpr std::size_t kCompiledBatches = 16;
    static constexpr qsizetype kLongestCompiledBatch = 100000; // characters
    std::list<std::shared_ptr<CompiledBatch>> m_batches;
};

} // namespace tsql
