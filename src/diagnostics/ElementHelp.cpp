#include "diagnostics/ElementHelp.h"

#include "ado/Ado.h"
#include "check/Declarations.h"
#include "core/NullSafe.h"
#include "language/Dictionary.h"
#include "language/References.h"
#include "tables/ElementTables.h"

#include <QHash>

namespace diagnostics {

namespace {

using language::Group;

// The group of a dictionary entry as the element tree names it (Italian).
QString groupText(Group group) {
    switch (group) {
    case Group::QuotationOut:
        return QStringLiteral("Quotazione (in uscita: quella che la formula calcola)");
    case Group::QuotationIn:
        return QStringLiteral("Quotazione ingresso");
    case Group::QuotationCurrent:
        return QStringLiteral("Quotazione corrente");
    case Group::Document:
        return QStringLiteral("Entità anagrafica: Documento");
    case Group::CustomerSupplier:
        return QStringLiteral("Entità anagrafica: Anagrafica cli/for");
    case Group::Item:
        return QStringLiteral("Entità anagrafica: Articolo");
    case Group::DocumentTotals:
        return QStringLiteral("Entità anagrafica: Totali documento");
    case Group::Project:
        return QStringLiteral("Entità anagrafica: Progetto");
    case Group::Production:
        return QStringLiteral("Entità anagrafica: Produzione");
    case Group::Configurator:
        return QStringLiteral("Entità anagrafica: Configuratore");
    }
    return {};
}

// The value a category's data-type code reads (as the category sub-query reads it).
QString valueTypeText(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("numero decimale");
    case 2:
        return QStringLiteral("sì/no");
    default:
        return QStringLiteral("testo");
    }
}

// Variable -> type of the declarations the check sends.
const QHash<QString, QString>& declaredTypes() {
    static const QHash<QString, QString> types = [] {
        QHash<QString, QString> out;
        for (const check::DeclaredVariable& v : check::declaredVariables())
            out.insert(v.variable, v.type);
        return out;
    }();
    return types;
}

} // namespace

ElementHelp::ElementHelp(std::shared_ptr<const ElementCatalog> catalog, TranslateFn translate,
                         DataTypeFn dataType)
    : m_catalog(std::move(catalog))
    , m_translate(std::move(translate))
    , m_dataType(std::move(dataType)) {}

ElementHelp::DataTypeFn ElementHelp::connectionDataType(core::HostServices& host) {
    return [&host](const QString& id) -> std::optional<int> {
        try {
            ado::Connection* connection = host.connection();
            if (!connection)
                return std::nullopt;
            std::shared_ptr<ado::Recordset> rs = connection->Execute(tables::categoryDataTypeStatement(id));
            if (!rs || rs->IsEOF())
                return std::nullopt;
            const core::Variant value =
                rs->GetFields().Item(QString::fromLatin1(tables::field::CategoryDataType)).Value();
            return value.isNull() ? std::nullopt : std::optional<int>(value.toInt32());
        } catch (...) {
            return std::nullopt;
        }
    };
}

QString ElementHelp::declaredType(const QString& variable) {
    return declaredTypes().value(variable.toUpper());
}

ElementInfo ElementHelp::describeLabel(const QString& element, int entryNumber) const {
    const language::Entry& entry = language::Dictionary::entry(entryNumber);
    ElementInfo info;
    info.kind = ElementKind::Label;
    info.element = element;
    info.variable = entry.variable;
    info.sqlType = declaredType(entry.variable);
    info.group = tr(groupText(entry.group));
    info.usage = tr(entry.group == Group::QuotationOut
                        ? QStringLiteral("La formula lo imposta con SET (e può leggerlo)")
                        : QStringLiteral("La formula lo legge (in sola lettura)"));
    return info;
}

std::optional<ElementInfo> ElementHelp::describe(const QString& element) const {
    const QString written = element.trimmed();
    if (written.size() < 3)
        return std::nullopt;
    if (written.startsWith(u'[')) {
        const qsizetype i = m_catalog->labels().indexOf(written);
        if (i < 0)
            return std::nullopt;
        return describeLabel(written, m_catalog->labelEntries().at(i));
    }
    const ElementKind kind = written.startsWith(u'{')   ? ElementKind::Category
                             : written.startsWith(u'|') ? ElementKind::Variant
                                                        : ElementKind::Label;
    if (kind == ElementKind::Label)
        return std::nullopt;
    const QString inner = written.mid(1, written.size() - 2);
    const std::optional<ElementCatalog::Reference> r =
        m_catalog->findReference(kind, language::refs::referenceCode(inner));
    if (!r)
        return std::nullopt;
    ElementInfo info;
    info.kind = kind;
    info.element = written;
    info.code = r->code;
    info.text = r->text;
    info.id = r->id;
    if (kind == ElementKind::Category && !r->id.isEmpty() && m_dataType) {
        if (const std::optional<int> code = m_dataType(r->id))
            info.valueType = tr(valueTypeText(*code));
    }
    return info;
}

QStringList ElementHelp::lines(const ElementInfo& info) const {
    QStringList out;
    const auto add = [&](const char* caption, const QString& value) {
        if (!value.isEmpty())
            out.append(tr(QString::fromUtf8(caption)) + QStringLiteral(": ") + value);
    };
    switch (info.kind) {
    case ElementKind::Label:
        add("Etichetta", info.element);
        add("Variabile", info.variable);
        add("Tipo SQL", info.sqlType);
        add("Gruppo", info.group);
        add("Uso", info.usage);
        break;
    case ElementKind::Category:
        add("Categoria commerciale", info.text);
        add("Id", info.id);
        add("Tipo del valore", info.valueType);
        break;
    case ElementKind::Variant:
        add("Variante", info.text);
        add("Codice", info.code);
        break;
    }
    return out;
}

QString ElementHelp::summary(const ElementInfo& info) const {
    return lines(info).join(QStringLiteral(" · "));
}

std::optional<Span> elementAt(const FormulaScanner& scanner, QStringView line, int state, qsizetype column) {
    std::vector<Span> spans;
    scanner.scanLine(line, state, spans);
    for (const Span& s : spans) {
        if (elementKindOf(s.kind) && column >= s.start && column <= s.end())
            return s;
    }
    return std::nullopt;
}

} // namespace diagnostics
