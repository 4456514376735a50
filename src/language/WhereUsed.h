#pragma once

#include "language/StoredFormulas.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace ado {
class Connection;
}

namespace language {

// An element of the formula language whose uses are looked for in the stored SQL form.
struct UsedElement {
    enum class Kind { Variable, Category, Variant };
    Kind kind = Kind::Variable;
    QString value; // the variable (upper case, at sign included), the category id, the variant code
};

// What a user names an element by: a label ("[Sconto 3% - CURR]", its variable is looked up in
// the dictionary), a variable ("@ATTSC3PERC"), a category by code ("{C01}" or "{C01 - Colore}")
// or a variant by code ("|V01|" or "|V01 - Colore scocca|").
struct ElementName {
    UsedElement::Kind kind = UsedElement::Kind::Variable;
    QString text; // the variable, or the code of the category or variant
};
// nullopt for a text that is none of the four forms, or a label not in the dictionary.
// `translate` forms the labels as the display form shows them.
std::optional<ElementName> parseElementName(const QString& element,
                                            const std::function<QString(const QString&)>& translate);

// The lines (1-based, ascending, each once) of the SQL form `sql` that use `element`. The
// formula is read by the engine's own lexer: string literals and comments are no uses; a
// category or variant is used where its sub-query stands in the code.
QList<int> usesIn(const QString& sql, const UsedElement& element);

// One use found in a stored formula.
struct ElementUse {
    int context = 0;
    qint64 id = 0;
    QString description;
    int line = 0;
};

// The where-used search over the three formula tables.
class WhereUsed {
public:
    // `connection` must outlive the search.
    explicit WhereUsed(ado::Connection& connection);

    // The element of a name: a category code is looked up for its id. nullopt when the category
    // does not exist (it can then be used nowhere). Throws core::ComError when the look-up fails.
    std::optional<UsedElement> resolve(const ElementName& name);

    // Every use of `element` in the stored formulas of `context` (nullopt: all three), in the
    // order context, id, line. `cancelled` (when set) is asked between records. Returns the
    // number of uses found.
    qint64 run(const UsedElement& element, std::optional<int> context,
               const std::function<void(const ElementUse&)>& each,
               const std::function<bool()>& cancelled = {});

private:
    ado::Connection& m_connection;
};

} // namespace language
