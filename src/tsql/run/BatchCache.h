#pragma once

// The batches a session has compiled, kept for when the same text comes again. Not part of the
// engine's interface.

#include "tsql/bind/Binder.h"
#include "tsql/text/Ast.h"
#include "tsql/text/Parser.h"

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
// A batch compiled after cached declarations holds only the statements that follow them (the
// declarations, without initial values, do nothing when they run); its variable types start
// with theirs.
struct CompiledBatch {
    QString text;
    qint64 schemaVersion;
    Batch batch;
    std::vector<SqlType> variableTypes;
    GeneratedSql generated;
};

// The leading declarations of a compiled batch (DECLARE statements without initial values,
// ending at a line break): their text, where the rest starts, and the variables they declare.
struct DeclarationBlock {
    QString text;
    qint64 schemaVersion;
    BatchPlace place;
    DeclaredScope scope;
};

// Batches parsed and bound, the most recently run first: a batch sent again while the schema is
// unchanged is run from here. The editor sends the same declarations and look-ups over and over.
// The check sends the same declaration block before every edited formula: a batch that starts
// with the declarations of a batch compiled before has only its rest parsed and bound, after
// them, so a check costs the formula's own size.
class BatchCache {
public:
    // `kept`: the batches kept at most (the declaration blocks are kept apart). A caller that
    // compiles each text once keeps few: a batch pushed out late is freed from memory gone cold.
    explicit BatchCache(std::size_t kept = 16)
        : m_kept(kept) {}

    // The batch compiled against the catalogue (refreshed by the caller); throws SqlError with
    // the batch's first compile error. `read`: the rest of the batch after its declarations as
    // its caller already read it (see ReadRest); taken, and not read again, when the rest is to
    // be read from that place.
    std::shared_ptr<CompiledBatch> compile(const QString& text, Catalog& catalog, ReadRest* read = nullptr);

private:
    std::size_t m_kept;
    static constexpr std::size_t kDeclarationBlocks = 4;
    static constexpr qsizetype kLongestCompiledBatch = 100000; // characters
    std::shared_ptr<CompiledBatch> compileAfterDeclarations(const QString& text, Catalog& catalog,
                                                            qint64 version, ReadRest* read);
    void keepDeclarations(const CompiledBatch& compiled);
    std::list<std::shared_ptr<CompiledBatch>> m_batches;
    std::list<std::shared_ptr<const DeclarationBlock>> m_declarations;
};

} // namespace tsql
