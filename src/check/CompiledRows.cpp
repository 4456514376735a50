#include "check/CompiledRows.h"

#include <QHash>

#include <algorithm>

namespace check::compiledrows {

namespace compiled = tsql::compiled;

int Slots::of(const QString& name) const {
    auto it = byName.find(name); // the declarations' names are upper case already
    if (it == byName.end())
        it = byName.find(name.toUpper());
    return it == byName.end() ? -1 : it->second;
}

namespace {

// Where the documents of categories and of variants go.
struct DocumentForm {
    const char* variable;
    const char* root;
    const char* element;
    const char* key;
};
const DocumentForm& documentForm(TrialElement::Kind kind) {
    static const DocumentForm categories{"@CM01_IDCATEGORIA", "CATEGORIE", "CATEGORIA", "IDCATEGORIA_CM01"};
    static const DocumentForm variants{"@MG5F_CODICEVAR", "VARIANTI", "VARIANTE", "MG5F_CODICEVAR"};
    return kind == TrialElement::Kind::Category ? categories : variants;
}

// The slots of the variables by name. Every program compiled after the same declarations has the
// same variables: the map is made once per thread for them, and again when they differ.
std::shared_ptr<const Slots> slotsOf(const std::vector<compiled::Variable>& variables) {
    thread_local std::vector<QString> names;
    thread_local std::shared_ptr<const Slots> kept;
    const bool same = kept && names.size() == variables.size() &&
                      std::equal(names.begin(), names.end(), variables.begin(),
                                 [](const QString& n, const compiled::Variable& v) { return n == v.name; });
    if (!same) {
        auto made = std::make_shared<Slots>();
        names.clear();
        for (size_t i = 0; i < variables.size(); ++i) {
            made->byName.emplace(variables[i].name.toUpper(), int(i));
            names.push_back(variables[i].name);
        }
        made->categories = made->of(QLatin1String(documentForm(TrialElement::Kind::Category).variable));
        made->variants = made->of(QLatin1String(documentForm(TrialElement::Kind::Variant).variable));
        kept = std::move(made);
    }
    return kept;
}

} // namespace

int documentSlot(const CompiledTrial& formula, TrialElement::Kind kind) {
    return kind == TrialElement::Kind::Category ? formula.variableSlots().categories
                                                : formula.variableSlots().variants;
}

CompiledTrial compileTrial(const QString& sql, tsql::ReadRest* read) {
    CompiledTrial p;
    p.compiled = compiled::compile(trialDeclarations(), sql, read);
    if (p.compiled.program) {
        p.slotMap = slotsOf(p.compiled.program->variables());
        for (const TrialElement& out : trialOutputs())
            p.outputSlots.push_back(p.slotMap->of(out.key));
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

// Reads `xml` (nullopt when the evaluator cannot take it as the engine would). The rows of a file
// repeat the same few documents: the last ones read are kept, per thread, by their text.
std::optional<ReadDocument> readXml(const QString& xml, const char* root, const char* element,
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
    return *read.insert(xml, made);
}

} // namespace

std::optional<ReadDocument> readDocument(const CompiledTrial& formula, TrialElement::Kind kind,
                                         const QString& xml) {
    const DocumentForm& form = documentForm(kind);
    const int slot = documentSlot(formula, kind);
    if (slot < 0)
        return std::nullopt;
    return readXml(xml, form.root, form.element, form.key,
                   formula.compiled.program->variables()[size_t(slot)].type);
}

namespace {

// Puts a document in the row's values: false when the row must go to the engine.
bool setDocument(const CompiledTrial& formula, TrialElement::Kind kind, const ReadDocument& document,
                 InitialValues& out) {
    const int slot = documentSlot(formula, kind);
    if (slot < 0)
        return false;
    out.initial[size_t(slot)] = document.value;
    out.setSlots.push_back(slot);
    (kind == TrialElement::Kind::Category ? out.categories : out.variants) = document.nodes;
    return true;
}

} // namespace

bool outputsKnown(const CompiledTrial& formula) {
    return std::all_of(formula.outputSlots.begin(), formula.outputSlots.end(),
                       [](int slot) { return slot >= 0; });
}

bool plainNumberFits(const CompiledTrial& formula, int slot, const tsql::Value& number) {
    if (slot < 0)
        return false;
    const tsql::SqlType& type = formula.compiled.program->variables()[size_t(slot)].type;
    return type.id == number.type.id && type.precision == number.type.precision &&
           type.scale == number.type.scale;
}

ConvertedInputs::Converted convertedInput(const CompiledTrial& formula, const TrialInput& input,
                                          const TrialTranslateFn& translate) {
    ConvertedInputs::Converted out;
    if (std::optional<tsql::Value> plain = trialPlainNumber(input.element, input.text)) {
        const int slot = formula.variableSlots().of(input.element.key);
        if (plainNumberFits(formula, slot, *plain))
            return {true, slot, std::move(*plain)};
    }
    const QString literal = trialLiteral(input.element, input.text, translate).literal;
    if (literal == QLatin1String("NULL"))
        return out; // no SET: the variable keeps what it holds
    out.set = true;
    out.slot = formula.variableSlots().of(input.element.key);
    if (out.slot >= 0)
        out.value =
            assignedValue(input, literal, formula.compiled.program->variables()[size_t(out.slot)].type);
    return out;
}

const ConvertedInputs::Converted& ConvertedInputs::of(qsizetype position, const CompiledTrial& formula,
                                                      const TrialInput& input,
                                                      const TrialTranslateFn& translate) {
    // At most this many texts a position; after the first sample of lookups, a position whose
    // texts repeated less than a quarter of the time converts every one.
    constexpr qsizetype MaxKnown = 1024;
    constexpr qint64 Sample = 4096;
    if (m_slots != formula.slotMap) {
        m_cells.clear(); // other declarations: other slots and types
        m_slots = formula.slotMap;
    }
    if (size_t(position) >= m_cells.size())
        m_cells.resize(size_t(position) + 1);
    Cell& cell = m_cells[size_t(position)];
    if (cell.key.isNull() || cell.key != input.element.key || cell.type != input.element.type) {
        cell = Cell{};
        cell.key = input.element.key.isNull() ? QStringLiteral("") : input.element.key;
        cell.type = input.element.type;
    }
    if (!cell.keeping) {
        cell.last = convertedInput(formula, input, translate);
        return cell.last;
    }
    ++cell.lookups;
    if (const auto it = cell.known.constFind(input.text); it != cell.known.constEnd()) {
        ++cell.hits;
        return *it;
    }
    if (cell.lookups == Sample && cell.hits * 4 < cell.lookups) {
        cell.keeping = false;
        cell.known.clear();
        cell.last = convertedInput(formula, input, translate);
        return cell.last;
    }
    if (cell.known.size() >= MaxKnown)
        cell.known.clear();
    return *cell.known.insert(input.text, convertedInput(formula, input, translate));
}

std::optional<const tsql::Value*> valueSet(const ConvertedInputs::Converted& converted) {
    if (!converted.set)
        return nullptr;
    if (converted.slot < 0 || !converted.value)
        return std::nullopt;
    return &*converted.value;
}

namespace {

// Every variable NULL again (those the last row set).
void startInitialValues(const CompiledTrial& formula, InitialValues& out) {
    const compiled::Program& program = *formula.compiled.program;
    if (out.filledFor != &program || out.initial.size() != program.variables().size()) {
        out.initial.clear();
        out.initial.reserve(program.variables().size());
        for (const compiled::Variable& v : program.variables())
            out.initial.push_back(tsql::Value::nullOf(v.type));
        out.filledFor = &program;
    } else {
        for (int slot : out.setSlots)
            out.initial[size_t(slot)] = tsql::Value::nullOf(program.variables()[size_t(slot)].type);
    }
    out.setSlots.clear();
    out.categories = {};
    out.variants = {};
}

// Puts a converted input in the row's values: false when the row must go to the engine.
bool setConverted(const ConvertedInputs::Converted& converted, InitialValues& out) {
    const std::optional<const tsql::Value*> value = valueSet(converted);
    if (!value)
        return false;
    if (*value) {
        out.initial[size_t(converted.slot)] = **value;
        out.setSlots.push_back(converted.slot);
    }
    return true;
}

} // namespace

bool fillInitialValues(const CompiledTrial& formula, const QList<TrialInput>& inputs,
                       const TrialTranslateFn& translate, InitialValues& out, ConvertedInputs& cache) {
    startInitialValues(formula, out);
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const TrialInput& input = inputs.at(i);
        if (input.element.kind != TrialElement::Kind::Variable)
            continue;
        if (!setConverted(cache.of(i, formula, input, translate), out))
            return false;
    }
    for (const TrialElement::Kind kind : {TrialElement::Kind::Category, TrialElement::Kind::Variant}) {
        const QString xml = trialReferenceXml(inputs, kind);
        if (xml.isEmpty())
            continue;
        const std::optional<ReadDocument> read = readDocument(formula, kind, xml);
        if (!read || !setDocument(formula, kind, *read, out))
            return false;
    }
    return outputsKnown(formula);
}

std::optional<InitialValues> initialValues(const CompiledTrial& formula, const QList<TrialInput>& inputs,
                                           const TrialTranslateFn& translate) {
    InitialValues out;
    ConvertedInputs cache;
    if (!fillInitialValues(formula, inputs, translate, out, cache))
        return std::nullopt;
    return out;
}

void fillProgramRow(const compiled::Program& program, const InitialValues& values, compiled::Row& row) {
    row.values.clear();
    row.borrowed.clear();
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
