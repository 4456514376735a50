#include "check/CompiledRows.h"

#include <QHash>

namespace check::compiledrows {

namespace compiled = tsql::compiled;

int Slots::of(const QString& name) const {
    auto it = byName.find(name); // the declarations' names are upper case already
    if (it == byName.end())
        it = byName.find(name.toUpper());
    return it == byName.end() ? -1 : it->second;
}

CompiledTrial compileTrial(const QString& sql) {
    CompiledTrial p;
    p.compiled = compiled::compile(trialDeclarations(), sql);
    if (p.compiled.program) {
        const std::vector<compiled::Variable>& variables = p.compiled.program->variables();
        for (size_t i = 0; i < variables.size(); ++i)
            p.variableSlots.byName.emplace(variables[i].name.toUpper(), int(i));
        for (const TrialElement& out : trialOutputs())
            p.outputSlots.push_back(p.variableSlots.of(out.key));
    }
    return p;
}

std::optional<tsql::Value> assignedValue(const TrialInput& input, const QString& literal,
                                         const tsql::SqlType& type) {
    tsql::Value value;
    if (literal.startsWith(QLatin1String("N'")))
        value = tsql::Value::str(input.text, true); // N'text'
    else if (literal.startsWith(u'\''))
        value = tsql::Value::str(literal.mid(1, literal.size() - 2)); // a date's 'yyyyMMdd ...'
    else
        value = tsql::Value::str(literal); // a number's digits read as its literal reads them
    try {
        return tsql::convert(value, type);
    } catch (const tsql::SqlError&) {
        return std::nullopt;
    }
}

namespace {

// A category or variant document as the compiled evaluator reads it: its nodes and the value of
// the xml variable that holds it.
struct ReadDocument {
    std::vector<compiled::Node> nodes;
    tsql::Value value;
};

// Reads `xml` (nullopt when the evaluator cannot take it as the engine would). The rows of a file
// repeat the same few documents: the last ones read are kept, per thread, by their text.
std::optional<ReadDocument> readDocument(const QString& xml, const char* root, const char* element,
                                         const char* key, const tsql::SqlType& type) {
    thread_local QHash<QString, std::optional<ReadDocument>> read;
    const auto it = read.constFind(xml);
    if (it != read.constEnd())
        return *it;
    if (read.size() >= 1024)
        read.clear();
    std::optional<ReadDocument> made;
    std::optional<std::vector<compiled::Node>> nodes =
        compiled::nodesOf(xml, QLatin1String(root), QLatin1String(element), QLatin1String(key));
    if (nodes) {
        if (std::optional<tsql::Value> value = assignedValue({{}, xml}, QStringLiteral("N'"), type))
            made = ReadDocument{std::move(*nodes), std::move(*value)};
    }
    return *read.insert(xml, std::move(made));
}

} // namespace

std::optional<InitialValues> initialValues(const CompiledTrial& formula, const QList<TrialInput>& inputs,
                                           const TrialTranslateFn& translate) {
    const compiled::Program& program = *formula.compiled.program;
    InitialValues out;
    out.initial.reserve(program.variables().size());
    for (const compiled::Variable& v : program.variables())
        out.initial.push_back(tsql::Value::nullOf(v.type));
    for (const TrialInput& input : inputs) {
        if (input.element.kind != TrialElement::Kind::Variable)
            continue;
        const QString literal = trialLiteral(input.element, input.text, translate).literal;
        if (literal == QLatin1String("NULL"))
            continue; // no SET: the variable keeps what it holds
        const int slot = formula.variableSlots.of(input.element.key);
        if (slot < 0)
            return std::nullopt;
        std::optional<tsql::Value> value =
            assignedValue(input, literal, program.variables()[size_t(slot)].type);
        if (!value)
            return std::nullopt;
        out.initial[size_t(slot)] = std::move(*value);
    }
    struct Document {
        TrialElement::Kind kind;
        const char* variable;
        const char* root;
        const char* element;
        const char* key;
        std::vector<compiled::Node>* nodes;
    };
    for (const Document& doc : {Document{TrialElement::Kind::Category, "@CM01_IDCATEGORIA", "CATEGORIE",
                                         "CATEGORIA", "IDCATEGORIA_CM01", &out.categories},
                                Document{TrialElement::Kind::Variant, "@MG5F_CODICEVAR", "VARIANTI",
                                         "VARIANTE", "MG5F_CODICEVAR", &out.variants}}) {
        const QString xml = trialReferenceXml(inputs, doc.kind);
        if (xml.isEmpty())
            continue;
        const int slot = formula.variableSlots.of(QLatin1String(doc.variable));
        if (slot < 0)
            return std::nullopt;
        const std::optional<ReadDocument> read =
            readDocument(xml, doc.root, doc.element, doc.key, program.variables()[size_t(slot)].type);
        if (!read)
            return std::nullopt;
        out.initial[size_t(slot)] = read->value;
        *doc.nodes = read->nodes;
    }
    for (int slot : formula.outputSlots)
        if (slot < 0)
            return std::nullopt;
    return out;
}

void fillProgramRow(const compiled::Program& program, const InitialValues& values, compiled::Row& row) {
    row.values.clear();
    for (int slot : program.inputs())
        row.values.push_back(values.initial[size_t(slot)]);
    row.categories = values.categories;
    row.variants = values.variants;
}

compiled::Row programRow(const compiled::Program& program, const InitialValues& values) {
    compiled::Row row;
    fillProgramRow(program, values, row);
    return row;
}

} // namespace check::compiledrows
