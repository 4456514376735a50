#include "check/TestCases.h"

#include "ado/Ado.h"
#include "check/FormulaEvaluation.h"
#include "tables/FormulaTables.h"
#include "tables/Literals.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace check {

namespace {

const QString Table = QStringLiteral("LP30_CASIPROVA");
const QString CategoryPrefix = QStringLiteral("C:");
const QString VariantPrefix = QStringLiteral("V:");
const QString DateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QString tr(const TrialTranslateFn& translate, const QString& text) {
    return translate ? translate(text) : text;
}

[[noreturn]] void refuse(const QString& description) {
    throw core::ComError(core::err::InvalidProcedureCall, description, QStringLiteral("formule"));
}

QString literal(const QString& text) {
    return QLatin1Char('N') + tables::sqlLiteral(text);
}

QString literal(const std::optional<QString>& text) {
    return text ? literal(*text) : QStringLiteral("NULL");
}

// The column of an output: LP30_ + the variable without its "@" (LP30_OUTPREZZO).
QString outputColumn(const TrialElement& output) {
    return QStringLiteral("LP30_") + output.key.mid(1);
}

QString keyWhere(int context, qint64 id) {
    return QStringLiteral("LP30_CONTESTO = %1 AND LP30_IDFORMULA = %2").arg(context).arg(id);
}

QString nameWhere(int context, qint64 id, const QString& name) {
    return keyWhere(context, id) + QStringLiteral(" AND UPPER(LP30_NOME) = UPPER(") +
           literal(name.trimmed()) + u')';
}

QString inputsText(const QHash<QString, QString>& inputs) {
    QJsonObject object;
    for (auto it = inputs.constBegin(); it != inputs.constEnd(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// The stored values; a text that is no JSON object of texts gives what can be read of it and
// the marker key "?" so that the case fails with UnreadableInputs instead of running on less.
QHash<QString, QString> parseInputs(const QString& text) {
    QHash<QString, QString> inputs;
    if (text.trimmed().isEmpty())
        return inputs;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isObject()) {
        inputs.insert(QStringLiteral("?"), text);
        return inputs;
    }
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            inputs.insert(QStringLiteral("?"), it.key());
        else
            inputs.insert(it.key(), it.value().toString());
    }
    return inputs;
}

std::optional<QString> textOf(const core::Variant& v) {
    if (v.isNull() || v.isEmpty())
        return std::nullopt;
    return v.toString();
}

} // namespace

QString caseNameProblem(const QString& name, const TrialTranslateFn& translate) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return tr(translate, casemsg::NameEmpty);
    if (trimmed.contains(u'\n') || trimmed.contains(u'\r'))
        return tr(translate, casemsg::NameLineBreak);
    if (trimmed.size() > MaxCaseNameLength)
        return tr(translate, casemsg::NameTooLong).arg(MaxCaseNameLength);
    return {};
}

QString inputKey(const TrialElement& element) {
    switch (element.kind) {
    case TrialElement::Kind::Category:
        return CategoryPrefix + element.key;
    case TrialElement::Kind::Variant:
        return VariantPrefix + element.key;
    case TrialElement::Kind::Variable:
        break;
    }
    return element.key;
}

CaseInputs caseInputs(const TestCase& testCase) {
    CaseInputs out;
    QStringList keys = testCase.inputs.keys();
    keys.sort();
    for (const QString& key : keys) {
        const QString text = testCase.inputs.value(key);
        if (key.startsWith(CategoryPrefix) && key.size() > CategoryPrefix.size()) {
            out.inputs.append({{TrialElement::Kind::Category, key.mid(2), {}, false}, text});
        } else if (key.startsWith(VariantPrefix) && key.size() > VariantPrefix.size()) {
            out.inputs.append({{TrialElement::Kind::Variant, key.mid(2), {}, false}, text});
        } else if (const std::optional<TrialElement> element = declaredElement(key);
                   element && key.startsWith(u'@')) {
            out.inputs.append({*element, text});
        } else {
            out.unknown.append(key);
        }
    }
    return out;
}

TestCase caseFromRun(int context, qint64 id, const QString& name, const QHash<QString, QString>& inputs,
                     const TrialResult& result) {
    TestCase c;
    c.context = context;
    c.id = id;
    c.name = name.trimmed();
    c.inputs = inputs;
    for (const TrialElement& out : trialOutputs()) {
        std::optional<QString> value;
        for (const TrialOutput& o : result.outputs)
            if (o.element.key == out.key)
                value = o.after;
        c.expected.append(value);
    }
    return c;
}

TestCaseStore::TestCaseStore(ado::Connection& connection)
    : m_connection(connection) {}

bool TestCaseStore::available() {
    try {
        m_connection.Execute(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(Table));
        return true;
    } catch (const core::ComError&) {
        for (const ado::Error& e : m_connection.GetErrors().items())
            if (e.nativeError == 208)
                return false;
        throw;
    }
}

QList<TestCase> TestCaseStore::select(const QString& where) {
    QString columns = QStringLiteral("LP30_CONTESTO, LP30_IDFORMULA, LP30_NOME, LP30_INGRESSI");
    for (const TrialElement& out : trialOutputs())
        columns += QStringLiteral(", ") + outputColumn(out);
    columns += QStringLiteral(", LP30_UTENTE, CONVERT(VARCHAR(19), LP30_DATA, 120)");
    ado::RecordsetPtr rs = m_connection.Execute(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY LP30_CONTESTO, LP30_IDFORMULA, "
                       "LP30_NOME")
            .arg(columns, Table, where));
    QList<TestCase> cases;
    const qsizetype outputs = trialOutputs().size();
    // Reading a date costs more than the rest of the row: a text read before is not read again
    // (cases recorded together share their second; a case with no date has none).
    QString lastDate;
    QDateTime lastCreated;
    while (rs->IsOpen() && !rs->IsEOF()) {
        const ado::Fields f = rs->GetFields();
        TestCase c;
        c.context = f.Item(0).Value().toInt32();
        c.id = f.Item(1).Value().toInt64();
        c.name = f.Item(2).Value().toString();
        c.inputs = parseInputs(textOf(f.Item(3).Value()).value_or(QString()));
        for (qsizetype i = 0; i < outputs; ++i)
            c.expected.append(textOf(f.Item(int(4 + i)).Value()));
        c.author = textOf(f.Item(int(4 + outputs)).Value()).value_or(QString());
        const QString date = textOf(f.Item(int(5 + outputs)).Value()).value_or(QString());
        if (date != lastDate) {
            lastDate = date;
            lastCreated = date.isEmpty()
                              ? QDateTime()
                              : QDateTime::fromString(QString(date).replace(u' ', u'T'), DateFormat);
        }
        c.created = lastCreated;
        cases.append(std::move(c));
        rs->MoveNext();
    }
    return cases;
}

QList<TestCase> TestCaseStore::load(int context, qint64 id) {
    return select(keyWhere(context, id));
}

QList<TestCase> TestCaseStore::loadRange(std::optional<int> context, qint64 first, qint64 last) {
    if (!context)
        return select(QStringLiteral("1 = 1"));
    return select(QStringLiteral("LP30_CONTESTO = %1 AND LP30_IDFORMULA BETWEEN %2 AND %3")
                      .arg(*context)
                      .arg(first)
                      .arg(last));
}

QList<TestCase> TestCaseStore::loadAll(std::optional<int> context, std::optional<qint64> id) {
    QStringList where{QStringLiteral("1 = 1")};
    if (context)
        where << QStringLiteral("LP30_CONTESTO = %1").arg(*context);
    if (id)
        where << QStringLiteral("LP30_IDFORMULA = %1").arg(*id);
    return select(where.join(QStringLiteral(" AND ")));
}

bool TestCaseStore::exists(int context, qint64 id, const QString& name) {
    ado::RecordsetPtr rs = m_connection.Execute(
        QStringLiteral("SELECT 1 FROM %1 WHERE %2").arg(Table, nameWhere(context, id, name)));
    return rs->IsOpen() && !rs->IsEOF();
}

void TestCaseStore::add(const TestCase& testCase, const TrialTranslateFn& translate) {
    if (const QString problem = caseNameProblem(testCase.name, translate); !problem.isEmpty())
        refuse(problem);
    if (exists(testCase.context, testCase.id, testCase.name))
        refuse(tr(translate, casemsg::NameTaken).arg(testCase.name.trimmed()));
    QString columns = QStringLiteral("LP30_CONTESTO, LP30_IDFORMULA, LP30_NOME, LP30_INGRESSI");
    QString values = QStringLiteral("%1, %2, %3, %4")
                         .arg(testCase.context)
                         .arg(testCase.id)
                         .arg(literal(testCase.name.trimmed()), literal(inputsText(testCase.inputs)));
    const QList<TrialElement>& outputs = trialOutputs();
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        columns += QStringLiteral(", ") + outputColumn(outputs.at(i));
        values += QStringLiteral(", ") + literal(testCase.expected.value(i));
    }
    columns += QStringLiteral(", LP30_UTENTE, LP30_DATA");
    values += QStringLiteral(", ") + literal(testCase.author) + QStringLiteral(", ") +
              (testCase.created.isValid() ? tables::sqlLiteral(testCase.created.toString(DateFormat))
                                          : QStringLiteral("NULL"));
    m_connection.Execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(Table, columns, values));
}

void TestCaseStore::update(const TestCase& testCase, const TrialTranslateFn& translate) {
    if (!exists(testCase.context, testCase.id, testCase.name))
        refuse(tr(translate, casemsg::NoSuchCase).arg(testCase.name.trimmed()));
    QString set = QStringLiteral("LP30_INGRESSI = ") + literal(inputsText(testCase.inputs));
    const QList<TrialElement>& outputs = trialOutputs();
    for (qsizetype i = 0; i < outputs.size(); ++i)
        set += QStringLiteral(", ") + outputColumn(outputs.at(i)) + QStringLiteral(" = ") +
               literal(testCase.expected.value(i));
    m_connection.Execute(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                             .arg(Table, set, nameWhere(testCase.context, testCase.id, testCase.name)));
}

void TestCaseStore::rename(int context, qint64 id, const QString& from, const QString& to,
                           const TrialTranslateFn& translate) {
    if (const QString problem = caseNameProblem(to, translate); !problem.isEmpty())
        refuse(problem);
    if (!exists(context, id, from))
        refuse(tr(translate, casemsg::NoSuchCase).arg(from.trimmed()));
    // A change of letter case only is a rename of the case to itself.
    if (from.trimmed().compare(to.trimmed(), Qt::CaseInsensitive) != 0 && exists(context, id, to))
        refuse(tr(translate, casemsg::NameTaken).arg(to.trimmed()));
    m_connection.Execute(QStringLiteral("UPDATE %1 SET LP30_NOME = %2 WHERE %3")
                             .arg(Table, literal(to.trimmed()), nameWhere(context, id, from)));
}

void TestCaseStore::remove(int context, qint64 id, const QString& name, const TrialTranslateFn& translate) {
    if (!exists(context, id, name))
        refuse(tr(translate, casemsg::NoSuchCase).arg(name.trimmed()));
    m_connection.Execute(QStringLiteral("DELETE FROM %1 WHERE %2").arg(Table, nameWhere(context, id, name)));
}

namespace {

// The keys of the inputs the formula reads (inputKey), read once for all the cases of a record.
QSet<QString> readKeys(const QList<TrialElement>& elements) {
    QSet<QString> read;
    for (const TrialElement& element : elements)
        read.insert(inputKey(element));
    return read;
}

// `given`: caseInputs(testCase).
CaseOutcome compareWith(const TestCase& testCase, const CaseInputs& given, const TrialResult& result,
                        const QSet<QString>& read, const TrialTranslateFn& translate,
                        TrialReading shown = TrialReading::Stored) {
    CaseOutcome outcome;
    outcome.name = testCase.name;
    for (const TrialInput& input : given.inputs)
        if (!read.contains(inputKey(input.element)))
            outcome.notes << tr(translate, casemsg::InputNotRead).arg(trialLabel(input.element, translate));
    const QList<TrialElement>& outputs = trialOutputs();
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        CaseComparison cmp{outputs.at(i), testCase.expected.value(i), std::nullopt, false};
        if (i < result.outputs.size())
            cmp.computed = result.outputs.at(i).after;
        cmp.differs = result.ran && cmp.expected != cmp.computed;
        outcome.outputs.append(cmp);
    }
    const QString null = QStringLiteral("NULL");
    if (given.unknown.contains(QStringLiteral("?"))) {
        outcome.difference = tr(translate, casemsg::UnreadableInputs);
    } else if (!given.unknown.isEmpty()) {
        outcome.difference = tr(translate, casemsg::UnknownInput).arg(given.unknown.first());
    } else {
        for (const CaseComparison& cmp : outcome.outputs) {
            if (!cmp.expected)
                continue;
            const TrialLiteral fits = trialLiteral(cmp.element, *cmp.expected, translate);
            if (!fits.error.isEmpty()) {
                outcome.difference = tr(translate, casemsg::BadExpected)
                                         .arg(trialLabel(cmp.element, translate), *cmp.expected, fits.error);
                break;
            }
        }
    }
    if (outcome.difference.isEmpty() && !result.ran)
        outcome.difference = tr(translate, casemsg::NotRun).arg(result.message);
    if (outcome.difference.isEmpty()) {
        for (const CaseComparison& cmp : outcome.outputs) {
            if (cmp.differs) {
                outcome.difference = tr(translate, casemsg::Differs)
                                         .arg(trialLabel(cmp.element, translate),
                                              trialShownNumber(cmp.expected.value_or(null), shown),
                                              trialShownNumber(cmp.computed.value_or(null), shown));
                break;
            }
        }
    }
    outcome.passed = outcome.difference.isEmpty();
    return outcome;
}

CaseOutcome runWith(FormulaEvaluation& evaluation, ado::Connection& connection, const TestCase& testCase,
                    const TrialOptions& options, const QSet<QString>& read) {
    const CaseInputs given = caseInputs(testCase);
    TrialResult result;
    if (given.unknown.isEmpty()) {
        result = evaluation.run(connection, given.inputs, options);
    } else {
        for (const TrialElement& out : trialOutputs())
            result.outputs.append({out, std::nullopt, std::nullopt});
    }
    return compareWith(testCase, given, result, read, options.translate, options.shown);
}

} // namespace

CaseOutcome compareCase(const TestCase& testCase, const TrialResult& result, const QString& sql,
                        const TrialTranslateFn& translate) {
    return compareWith(testCase, caseInputs(testCase), result, readKeys(trialElements(sql)), translate);
}

CaseOutcome runCase(FormulaEvaluation& evaluation, ado::Connection& connection, const TestCase& testCase,
                    const TrialOptions& options) {
    return runWith(evaluation, connection, testCase, options, readKeys(evaluation.elements()));
}

QList<CaseOutcome> runCases(ado::Connection& connection, const QString& sql, const QList<TestCase>& cases,
                            const TrialOptions& options) {
    FormulaEvaluation evaluation(sql);
    return runCases(connection, evaluation, cases, options);
}

QList<CaseOutcome> runCases(ado::Connection& connection, FormulaEvaluation& evaluation,
                            const QList<TestCase>& cases, const TrialOptions& options) {
    QList<CaseOutcome> outcomes;
    const QSet<QString> read = readKeys(evaluation.elements());
    for (const TestCase& testCase : cases) {
        try {
            outcomes.append(runWith(evaluation, connection, testCase, options, read));
        } catch (const core::ComError& e) {
            CaseOutcome failed;
            failed.name = testCase.name;
            failed.difference = tr(options.translate, casemsg::NotRun).arg(e.description());
            outcomes.append(failed);
        }
    }
    return outcomes;
}

std::optional<QString> storedFormula(ado::Connection& connection, int context, qint64 id) {
    const std::optional<QString> statement = tables::formulaSelectStatement(context, QString::number(id));
    if (!statement)
        return std::nullopt;
    ado::RecordsetPtr rs = connection.Execute(*statement);
    if (!rs->IsOpen() || rs->IsEOF())
        return std::nullopt;
    QString sql = textOf(rs->GetFields().Item(0).Value()).value_or(QString());
    while (!sql.isEmpty() && sql.back().isSpace())
        sql.chop(1);
    return sql;
}

QString casesSummary(qsizetype cases, qsizetype differing, const TrialTranslateFn& translate) {
    if (cases == 1)
        return tr(translate, differing == 1 ? casemsg::SummaryOne : casemsg::SummaryOneNone);
    if (differing == 1)
        return tr(translate, casemsg::Summary).arg(cases);
    return tr(translate, casemsg::SummaryMany).arg(cases).arg(differing);
}

} // namespace check
