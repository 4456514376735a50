#include "Transcription.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "language/Dictionary.h"
#include "language/References.h"
#include "tables/ElementTables.h"

using namespace language;
using namespace language::refs;

namespace transcription {

namespace {

std::shared_ptr<ado::Recordset> run(const Services& s, const QString& statement) {
    return s.execute ? s.execute(statement) : s.host->connection()->Execute(statement);
}

core::Variant lookupCategoryId(const Services& s, const QString& reference) {
    auto rs = run(s, tables::categoryIdStatement(rtrimBlanks(referenceCode(reference))));
    if (rs->RecordCount() > 0)
        return rs->GetFields().Item("CM01_IDCATEGORIA").Value();
    return core::Variant::fromInt16(0);
}

qint16 getCategoryDataType(const Services& s, const core::Variant& id) {
    auto rs = run(s, tables::categoryDataTypeStatement(numberText(id)));
    if (rs->RecordCount() > 0)
        return rs->GetFields().Item("CM01_INDTIPODATO").Value().toInt16();
    return 0;
}

std::optional<QString> lookupCategoryLabel(const Services& s, const core::Variant& id) {
    if (id.toDecimal().compare(core::Decimal()) <= 0)
        return std::nullopt;
    auto rs = run(s, tables::categoryLabelStatement(numberText(id)));
    if (rs->RecordCount() > 0) {
        const QString text = core::RTrimN(rs->GetFields().Item(0).Value()).toString();
        if (!text.isEmpty())
            return text;
    }
    return std::nullopt;
}

std::optional<QString> lookupVariantLabel(const Services& s, const QString& code) {
    const auto statement = variantLabelStatement(code);
    if (!statement)
        return std::nullopt;
    auto rs = run(s, *statement);
    if (rs->RecordCount() > 0) {
        const QString text = core::RTrimN(rs->GetFields().Item(0).Value()).toString();
        if (!text.isEmpty())
            return text;
    }
    return std::nullopt;
}

QString tr(const Services& s, const QString& text) {
    return s.host->translate(text);
}

void overflowCheck(const QString& w) {
    if (w.size() > MaxPassLength)
        throw core::ComError(core::err::Overflow, "Overflow");
}

} // namespace

QString decodeToken(const Services& s, const QString& text, bool checkMode) {
    if (trimBlanks(text).isEmpty())
        return {};
    QString w = text;
    for (int i = 1; i <= 137; ++i) {
        const Entry& e = Dictionary::entry(i);
        w.replace("[" + tr(s, e.baseText) + e.suffix + "]", e.variable);
    }
    w.replace("[Modello]", "@CM06_CODART_MG66");

    overflowCheck(w);
    qsizetype n = w.size();
    for (qsizetype rep = 0; rep < n; ++rep) {
        const QString ext = extractDelimited(Kind::Category, w);
        if (rtrimBlanks(ext).isEmpty())
            continue;
        if (checkMode) {
            w.replace("{" + ext + "}", "@DO11_CODSEDE_CG31");
        } else {
            const core::Variant id = lookupCategoryId(s, ext);
            if (!core::RTrimN(id).toString().isEmpty())
                w.replace("{" + ext + "}", categorySubQuery(getCategoryDataType(s, id), numberText(id)));
        }
    }

    w.replace("[Opzione]", "@DO30_OPZIONE_MG5E");

    overflowCheck(w);
    n = w.size();
    for (qsizetype rep = 0; rep < n; ++rep) {
        const QString ext = extractDelimited(Kind::Variant, w);
        if (checkMode) {
            w.replace("|" + ext + "|", "@DO30_CODART_MG66");
        } else if (!rtrimBlanks(ext).isEmpty()) {
            const QString code = extractVariantCode(ext);
            if (!rtrimBlanks(code).isEmpty())
                w.replace("|" + ext + "|", variantSubQuery(code));
        }
    }
    return w;
}

QString encodeToken(const Services& s, const QString& text) {
    if (trimBlanks(text).isEmpty())
        return {};
    QString w = text;
    for (int i = 1; i <= 137; ++i) {
        const Entry& e = Dictionary::entry(i);
        bool isLonger = false;
        for (const PrefixPair& p : Dictionary::prefixPairs()) {
            if (p.longer == i)
                isLonger = true;
            if (p.shorter == i) {
                const Entry& l = Dictionary::entry(p.longer);
                w.replace(l.variable, "[" + tr(s, l.baseText) + l.suffix + "]");
            }
        }
        if (!isLonger)
            w.replace(e.variable, "[" + tr(s, e.baseText) + e.suffix + "]");
    }
    w.replace("@CM06_CODART_MG66", "[" + tr(s, "Modello") + "]");

    overflowCheck(w);
    qsizetype n = w.size();
    for (qsizetype i = 1; i <= n; ++i) {
        const auto found = findCategoryIdInQuery(w, i);
        const core::Variant id = core::CDecN(found ? core::Variant(*found) : core::Variant::fromInt16(0));
        const auto label = lookupCategoryLabel(s, id);
        if (!id.equals(core::Variant::fromInt16(0))) {
            const QString subQuery = categorySubQuery(getCategoryDataType(s, id), numberText(id));
            if (label)
                w.replace(subQuery, "{" + *label + "}");
        }
    }

    w.replace("@DO30_OPZIONE_MG5E", "[Opzione]");

    overflowCheck(w);
    n = w.size();
    for (qsizetype i = 1; i <= n; ++i) {
        const QString code = rtrimBlanks(findVariantCodeInQuery(w, i).value_or(QString()));
        if (!code.isEmpty()) {
            const auto label = lookupVariantLabel(s, code);
            if (label)
                w.replace(variantSubQueryFromQuoted(trimBlanks(code)), "|" + *label + "|");
        }
    }
    return w;
}

} // namespace transcription
