#include "Differential.h"

#include "check/Declarations.h"
#include "tsql/text/Lexer.h"

#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <cmath>
#include <cstring>

namespace differential {

namespace {

namespace compiled = tsql::compiled;

const QString LineEnd = QStringLiteral("\r\n");
const QString EndColumn = QStringLiteral("DIFFERENTIAL_END");
const QString CategoryVariable = QStringLiteral("@CM01_IDCATEGORIA");
const QString VariantVariable = QStringLiteral("@MG5F_CODICEVAR");

QString typeText(const tsql::SqlType& t) {
    QString s = t.name();
    if (t.id == tsql::TypeId::Decimal)
        s += QStringLiteral("(%1,%2)").arg(t.precision).arg(t.scale);
    else if (t.isString())
        s += QStringLiteral("(%1)").arg(t.length);
    else if (t.id == tsql::TypeId::Time || t.id == tsql::TypeId::DateTime2)
        s += QStringLiteral("(%1)").arg(t.scale);
    return s;
}

bool sameType(const tsql::SqlType& a, const tsql::SqlType& b) {
    return a.id == b.id && a.precision == b.precision && a.scale == b.scale && a.length == b.length;
}

QString quoted(const QString& text) {
    return QStringLiteral("N'") + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&apos;"));
}

QString errorText(const tsql::ServerError& e, int line) {
    return QStringLiteral("Msg %1, Level %2, State %3, Line %4: %5")
        .arg(e.number)
        .arg(e.level)
        .arg(e.state)
        .arg(line)
        .arg(e.message);
}

QString nodesText(const std::vector<Node>& nodes) {
    QStringList parts;
    for (const Node& n : nodes)
        parts << QStringLiteral("{%1, %2}")
                     .arg(n.key ? quoted(*n.key) : QStringLiteral("absent"),
                          n.value ? quoted(*n.value) : QStringLiteral("absent"));
    return parts.join(QStringLiteral(", "));
}

bool sameNodes(const std::vector<Node>& a, const std::vector<Node>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k].key != b[k].key || a[k].value != b[k].value)
            return false;
    return true;
}

// nodesOf() reads the documents the harness writes as the harness wrote them, or leaves them to
// the engine.
QString checkNodesOf(const std::vector<Node>& nodes, bool category) {
    if (nodes.empty())
        return {};
    const QString root = category ? QStringLiteral("CATEGORIE") : QStringLiteral("VARIANTI");
    const QString element = category ? QStringLiteral("CATEGORIA") : QStringLiteral("VARIANTE");
    const QString key = category ? QStringLiteral("IDCATEGORIA_CM01") : QStringLiteral("MG5F_CODICEVAR");
    const QString xml = nodesXml(nodes, root, element, key);
    const std::optional<std::vector<Node>> read = compiled::nodesOf(xml, root, element, key);
    if (read && !sameNodes(*read, nodes))
        return QStringLiteral("nodesOf(%1) gives [%2], the document holds [%3]")
            .arg(xml, nodesText(*read), nodesText(nodes));
    return {};
}

} // namespace

std::vector<Declared> declaredIn(const QString& declarations) {
    static const QRegularExpression line(QStringLiteral("^\\s*declare\\s+(@\\w+)\\s+(?:as\\s+)?(.*?)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::MultilineOption);
    std::vector<Declared> out;
    for (auto it = line.globalMatch(declarations); it.hasNext();) {
        const auto m = it.next();
        const QString typeName = m.captured(2);
        const std::optional<tsql::SqlType> type =
            typeName.compare(QStringLiteral("XML"), Qt::CaseInsensitive) == 0
                ? tsql::SqlType::of(tsql::TypeId::Xml)
                : tsql::parseTypeName(typeName);
        out.push_back({m.captured(1).toUpper(), type.value_or(tsql::SqlType{})});
    }
    return out;
}

QString describe(const tsql::Value& v) {
    const QString type = typeText(v.type);
    if (v.null)
        return type + QStringLiteral(" NULL");
    if (v.type.isString())
        return type + u' ' + quoted(v.s);
    if (v.type.id == tsql::TypeId::Float || v.type.id == tsql::TypeId::Real)
        return type + u' ' + QString::number(v.f, 'g', 17);
    if (v.type.isDate())
        return type + u' ' + v.dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (v.type.id == tsql::TypeId::Decimal || v.type.id == tsql::TypeId::Money ||
        v.type.id == tsql::TypeId::SmallMoney)
        return type + u' ' + v.n.toString() + QStringLiteral(" (scale %1)").arg(v.n.scale);
    return type + u' ' + tsql::toText(v);
}

bool sameValue(const tsql::Value& a, const tsql::Value& b) {
    if (!sameType(a.type, b.type) || a.null != b.null)
        return false;
    if (a.null)
        return true;
    const tsql::SqlType& t = a.type;
    if (t.isString() || t.id == tsql::TypeId::UniqueIdentifier || t.id == tsql::TypeId::Xml)
        return a.s == b.s;
    if (t.id == tsql::TypeId::Float || t.id == tsql::TypeId::Real)
        return std::memcmp(&a.f, &b.f, sizeof a.f) == 0 || (std::isnan(a.f) && std::isnan(b.f));
    if (t.isDate())
        return a.dt.get() == b.dt.get();
    if (t.id == tsql::TypeId::Decimal || t.id == tsql::TypeId::Money || t.id == tsql::TypeId::SmallMoney)
        return a.n.v == b.n.v && a.n.scale == b.n.scale;
    return a.i == b.i;
}

QString nodesXml(const std::vector<Node>& nodes, const QString& root, const QString& element,
                 const QString& keyAttribute) {
    QString xml = u'<' + root + u'>';
    for (const Node& n : nodes) {
        xml += u'<' + element;
        if (n.key)
            xml += u' ' + keyAttribute + QStringLiteral("=\"") + xmlEscaped(*n.key) + u'"';
        if (n.value)
            xml += QStringLiteral(" VALORE=\"") + xmlEscaped(*n.value) + u'"';
        xml += QStringLiteral("/>");
    }
    return xml + QStringLiteral("</") + root + u'>';
}

QString literalOf(const tsql::Value& v) {
    if (v.null)
        return QStringLiteral("NULL");
    const tsql::SqlType& t = v.type;
    if (t.isString())
        return quoted(v.s);
    if (t.id == tsql::TypeId::Float || t.id == tsql::TypeId::Real)
        return QString::number(v.f, 'e', 17);
    if (t.id == tsql::TypeId::Date)
        return u'\'' + v.dt->toString(QStringLiteral("yyyyMMdd")) + u'\'';
    if (t.isDate())
        return u'\'' + v.dt->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'\'';
    return tsql::toText(v);
}

QString reproducer(const FormulaCase& formula, const InputRow& row) {
    QString text = QStringLiteral("formula: ") + quoted(formula.formula) + u'\n';
    if (!formula.extraDeclarations.isEmpty())
        text += QStringLiteral("declarations: ") + quoted(formula.extraDeclarations) + u'\n';
    QStringList names = row.values.keys();
    names.sort();
    for (const QString& name : names)
        text += QStringLiteral("  %1 = %2\n").arg(name, literalOf(row.values.value(name)));
    text += QStringLiteral("  categories: [") + nodesText(row.categories) + QStringLiteral("]\n");
    text += QStringLiteral("  variants: [") + nodesText(row.variants) + QStringLiteral("]\n");
    return text;
}

QString engineBatch(const Prepared& prepared, const InputRow& row, std::vector<size_t>* selected) {
    const std::vector<Declared>& variables = prepared.declared;
    // Every input of the row, set on one line (an input the formula names and the program does
    // not read shows as a difference).
    QString batch = prepared.declarations;
    QStringList names = row.values.keys();
    names.sort();
    for (const QString& name : names) {
        const tsql::Value& v = row.values[name];
        if (!v.null)
            batch += QStringLiteral("SET ") + name + QStringLiteral(" = ") + literalOf(v) + u' ';
    }
    batch += LineEnd;
    if (!row.categories.empty())
        batch += QStringLiteral("SET ") + CategoryVariable + QStringLiteral(" = ") +
                 quoted(nodesXml(row.categories, QStringLiteral("CATEGORIE"), QStringLiteral("CATEGORIA"),
                                 QStringLiteral("IDCATEGORIA_CM01"))) +
                 u' ';
    if (!row.variants.empty())
        batch += QStringLiteral("SET ") + VariantVariable + QStringLiteral(" = ") +
                 quoted(nodesXml(row.variants, QStringLiteral("VARIANTI"), QStringLiteral("VARIANTE"),
                                 QStringLiteral("MG5F_CODICEVAR")));
    batch += LineEnd + prepared.source.formula + LineEnd + QStringLiteral("SELECT 0 AS ") + EndColumn;
    for (size_t k = 0; k < variables.size(); ++k)
        if (variables[k].type.id != tsql::TypeId::Xml) {
            batch += QStringLiteral(", ") + variables[k].name;
            if (selected)
                selected->push_back(k);
        }
    return batch;
}

Harness::Harness(qint64 loopLimit)
    : m_loopLimit(loopLimit) {
    static std::atomic<int> counter{0};
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                     QStringLiteral("differential_%1").arg(counter++));
    m_db.setDatabaseName(QStringLiteral(":memory:"));
    m_db.open();
    m_session = std::make_unique<tsql::Session>(m_db);
    m_session->setLoopLimit(loopLimit);
}

Harness::~Harness() {
    const QString name = m_db.connectionName();
    m_session.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

Prepared Harness::prepare(const FormulaCase& formula) {
    Prepared p;
    p.source = formula;
    p.declarations = check::ProductionDeclarations() + formula.extraDeclarations;
    // The inputs on one line and the xml documents on another, whatever the row: the formula
    // starts on the same line of every batch.
    p.declarationLines = int(p.declarations.count(u'\n')) + 2;
    p.declared = declaredIn(p.declarations);
    const compiled::Compiled c = compiled::compile(p.declarations, formula.formula);
    ++m_counts.formulas;
    p.program = c.program;
    p.fallback = c.fallback;
    if (!p.program) {
        ++m_counts.fallbacks;
        if (p.fallback)
            ++m_counts.fallbackConstructs[p.fallback->construct];
        return p;
    }
    ++m_counts.compiled;
    const std::vector<Declared>& declared = p.declared;
    const std::vector<compiled::Variable>& variables = p.program->variables();
    if (variables.size() != declared.size()) {
        p.problem = QStringLiteral("the program has %1 variables, the declarations %2")
                        .arg(variables.size())
                        .arg(declared.size());
        return p;
    }
    for (size_t k = 0; k < declared.size(); ++k)
        if (variables[k].name != declared[k].name || !sameType(variables[k].type, declared[k].type))
            p.problem = QStringLiteral("variable %1 of the program is %2 %3, declared %4 %5")
                            .arg(k)
                            .arg(variables[k].name, typeText(variables[k].type), declared[k].name,
                                 typeText(declared[k].type));
    for (int slot : p.program->inputs())
        if (slot < 0 || size_t(slot) >= declared.size())
            p.problem = QStringLiteral("input slot %1 is no variable").arg(slot);
    return p;
}

std::vector<Declared> Harness::namedVariables(const Prepared& prepared) {
    std::optional<tsql::ServerError> error;
    QSet<QString> named;
    for (const tsql::Token& t : tsql::tokenize(prepared.source.formula, error))
        if (t.kind == tsql::Tok::Variable)
            named.insert(t.text.toUpper());
    std::vector<Declared> out;
    for (const Declared& d : prepared.declared)
        if (named.contains(d.name) && d.type.id != tsql::TypeId::Xml)
            out.push_back(d);
    return out;
}

Comparison Harness::compare(const Prepared& prepared, const InputRow& row, bool trace) {
    if (!prepared.program)
        return {Verdict::Fallback, {}};
    ++m_counts.rows;
    Comparison c = prepared.problem.isEmpty() ? compareRun(prepared, row, trace)
                                              : Comparison{Verdict::Difference, prepared.problem};
    if (c.verdict == Verdict::Same) {
        const QString nodes = checkNodesOf(row.categories, true) + checkNodesOf(row.variants, false);
        if (!nodes.isEmpty())
            c = {Verdict::Difference, nodes};
    }
    switch (c.verdict) {
    case Verdict::Same:
        ++m_counts.same;
        break;
    case Verdict::Unseen:
        ++m_counts.unseen;
        break;
    case Verdict::Refused:
        ++m_counts.refused;
        break;
    case Verdict::Difference:
        ++m_counts.differences;
        c.detail += u'\n' + reproducer(prepared.source, row);
        break;
    case Verdict::Fallback:
        break;
    }
    return c;
}

Comparison Harness::compareRun(const Prepared& prepared, const InputRow& row, bool trace) {
    const std::vector<compiled::Variable>& variables = prepared.program->variables();
    // The compiled side.
    compiled::Row input;
    for (int slot : prepared.program->inputs()) {
        const compiled::Variable& v = variables[size_t(slot)];
        input.values.push_back(row.values.value(v.name, tsql::Value::nullOf(v.type)));
    }
    input.categories = row.categories;
    input.variants = row.variants;
    tsql::Limits limits = m_session->limits();
    compiled::Runner runner(prepared.program, {limits, m_loopLimit, trace});
    const compiled::Outcome& outcome = runner.run(input);

    // The engine's side.
    std::vector<size_t> selected;
    const QString batch = engineBatch(prepared, row, &selected);
    const tsql::IsolatedRun run = m_session->runIsolated(batch, false, trace);
    const tsql::RunResult& r = run.result;
    const int formulaLines = int(prepared.source.formula.count(u'\n')) + 1;

    if (r.error && r.error->line <= prepared.declarationLines)
        return {Verdict::Refused, errorText(*r.error, r.error->line)};
    // The error.
    const std::optional<tsql::ServerError>& theirs = outcome.error;
    if (r.error || theirs) {
        const QString engine = r.error ? errorText(*r.error, r.error->line - prepared.declarationLines)
                                       : QStringLiteral("no error");
        const QString program = theirs ? errorText(*theirs, theirs->line) : QStringLiteral("no error");
        if (engine != program)
            return {Verdict::Difference,
                    QStringLiteral("error: engine %1; evaluator %2").arg(engine, program)};
    }
    // The lines that ran.
    if (trace) {
        std::vector<int> lines;
        for (int line : r.executedLines)
            if (line > prepared.declarationLines && line - prepared.declarationLines <= formulaLines)
                lines.push_back(line - prepared.declarationLines);
        if (lines != outcome.executedLines) {
            QStringList a, b;
            for (int l : lines)
                a << QString::number(l);
            for (int l : outcome.executedLines)
                b << QString::number(l);
            return {Verdict::Difference, QStringLiteral("lines that ran: engine [%1]; evaluator [%2]")
                                             .arg(a.join(u','), b.join(u','))};
        }
    }
    if (r.error)
        return {Verdict::Same, {}};
    // The values, from the SELECT after the formula.
    const tsql::ResultSet* values = nullptr;
    for (const tsql::ResultSet& set : r.resultSets)
        if (!set.columns.isEmpty() && set.columns.first() == EndColumn && set.rows.size() == 1)
            values = &set;
    if (!values)
        return {Verdict::Unseen, {}};
    // The slots of the declarations come first; the formula's own locals may follow them.
    if (outcome.size() < variables.size())
        return {Verdict::Difference, QStringLiteral("the outcome holds %1 values for %2 variables")
                                         .arg(outcome.size())
                                         .arg(variables.size())};
    QStringList differences;
    for (size_t c = 0; c < selected.size(); ++c) {
        const size_t k = selected[c];
        const tsql::Value& engine = values->rows[0][c + 1];
        const tsql::Value& program = outcome.value(k);
        if (!sameValue(engine, program))
            differences << QStringLiteral("%1: engine %2; evaluator %3")
                               .arg(variables[k].name, describe(engine), describe(program));
    }
    if (!differences.isEmpty())
        return {Verdict::Difference, differences.join(u'\n')};
    return {Verdict::Same, {}};
}

} // namespace differential
