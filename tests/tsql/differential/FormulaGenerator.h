#pragma once

// Random formulas and rows for the differential harness: statements (SET, compound SET, SELECT
// of variables, IF/ELSE, BEGIN/END, WHILE over a bounded counter with BREAK and CONTINUE,
// DECLARE of locals, and now and then TRY/CATCH, THROW, RAISERROR, SET DATEFORMAT), expressions
// over the declared variables of every type, literals of every type and NULL, operators, CASE,
// CAST/CONVERT and their TRY_ forms, the engine's scalar functions, and the category and variant
// sub-queries in the exact shapes the formula language writes. Rows give the variables a formula
// names random values (NULL, edges, overlong texts) and the xml documents random nodes (absent,
// duplicated and unconvertible keys and values). Every choice is drawn from a Choices, seeded or
// read from a fuzzer's bytes; the depth of statements and expressions is bounded, so a formula
// stays small whatever the choices.

#include "Differential.h"

#include <cstddef>
#include <cstdint>
#include <random>

namespace differential {

// Where the generator's choices come from.
class Choices {
public:
    virtual ~Choices() = default;
    // A number in [0, n); n > 0.
    virtual unsigned below(unsigned n) = 0;
    bool percent(unsigned p) { return below(100) < p; }
};

class SeededChoices : public Choices {
public:
    explicit SeededChoices(std::uint64_t seed)
        : m_rng(seed) {}
    unsigned below(unsigned n) override { return unsigned(m_rng() % n); }

private:
    std::mt19937_64 m_rng;
};

// A fuzzer's bytes, one or two a choice; 0 once they run out (the smallest choices: leaves,
// no more statements).
class ByteChoices : public Choices {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size) {}
    unsigned below(unsigned n) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

struct GeneratedFormula {
    QString formula;
    QStringList categoryIds;  // ids the sub-queries compare with
    QStringList variantCodes; // codes the sub-queries compare with
};

GeneratedFormula generateFormula(Choices& choices);

// A row for `variables` (the ones the formula names) and the nodes of the documents, with the ids
// and codes the formula reads among random ones.
InputRow generateRow(Choices& choices, const std::vector<Declared>& variables, const QStringList& categoryIds,
                     const QStringList& variantCodes);

// The ids and codes the sub-queries of a formula's SQL form compare with.
QStringList categoryIdsIn(const QString& formula);
QStringList variantCodesIn(const QString& formula);

} // namespace differential
