// Fuzz target over both translations: random text mixed with dictionary labels and variables,
// reference delimiters, sub-query pieces, and look-ups answered by a fake database (found,
// not found, odd data types, failures).

#include "FuzzOptions.h"

#include "ado/Ado.h"
#include "language/Dictionary.h"
#include "language/FormulaLanguage.h"
#include "language/References.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool empty() const { return at >= size; }
    uint8_t next() { return at < size ? data[at++] : 0; }
};

QString piece(Input& in) {
    static const QStringList fragments = {"{",
                                          "}",
                                          "|",
                                          " - ",
                                          "[",
                                          "]",
                                          "'",
                                          "''",
                                          "\r\n",
                                          " ",
                                          "C01",
                                          "V01",
                                          "ZZ",
                                          "(",
                                          ")",
                                          "@",
                                          QString::fromUtf16(language::refs::CategoryMarker),
                                          QString::fromUtf16(language::refs::VariantMarker),
                                          " 123 ",
                                          "='V01' ",
                                          " abc ",
                                          "{C01 - Colore}",
                                          "|V01 - Scocca|",
                                          "[Modello]",
                                          "[Opzione]",
                                          "{ }",
                                          "||"};
    const auto& entries = language::Dictionary::entries();
    const uint8_t b = in.next();
    switch (b % 6) {
    case 0:
        return entries[in.next() % entries.size()].variable;
    case 1: {
        const auto& e = entries[in.next() % entries.size()];
        return language::Dictionary::label(e, language::Direction::ToSql, [](const QString& s) { return s; });
    }
    case 2:
        return fragments[in.next() % fragments.size()];
    case 3:
        return language::refs::categorySubQuery(in.next() % 5, QString::number(in.next() % 4 + 122));
    case 4:
        return language::refs::variantSubQuery(in.next() % 2 ? "V01" : "V'9");
    default:
        return QString(QChar(static_cast<char16_t>(in.next() % 96 + 32)));
    }
}

// Answers the look-up statements from a tiny catalogue; some fail.
std::shared_ptr<ado::Recordset> fakeExecute(const QString& statement, uint8_t flavour) {
    if (flavour % 11 == 0 && statement.contains("CM01_INDTIPODATO"))
        throw core::ComError(core::err::ProviderError, "deadlock");
    core::RowSet rows;
    if (statement.contains(" IN (")) {
        rows.columns = QStringList{"A", "B", "C"};
        return std::make_shared<ado::Recordset>(rows);
    }
    rows.columns = QStringList{"VALUE"};
    if (statement.contains("CM01_CODICE ='C01'"))
        rows.rows = {{core::Variant::fromInt32(123)}};
    else if (statement.contains("CM01_INDTIPODATO"))
        rows.rows = {{flavour % 7 == 0 ? core::Variant::null() : core::Variant::fromInt16(flavour % 4)}};
    else if (statement.contains("CM01_IDCATEGORIA =12"))
        rows.rows = {{core::Variant(QStringLiteral("C01 - Colore"))}};
    else if (statement.contains("MG5F_CODICEVAR ='V01'"))
        rows.rows = {{core::Variant(QStringLiteral("V01 - Scocca"))}};
    return std::make_shared<ado::Recordset>(rows);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > fuzz::MaxInput)
        return 0;
    Input in{data, size};
    const uint8_t flavour = in.next();
    const bool checkMode = flavour & 1;
    QString text;
    while (!in.empty() && static_cast<size_t>(text.size()) < fuzz::MaxInput)
        text += piece(in);

    int retries = 0;
    core::FunctionServices host({
        .translate = [flavour](const QString& s) -> QString {
            if (flavour % 13 == 0 && s == "Famiglia")
                throw core::ComError(438, "no service");
            return flavour & 2 ? s.toUpper() : s;
        },
        .errorAnswer =
            [&retries, flavour](const QString&, const core::ErrorInfo&) {
                if ((flavour & 4) && retries < 3) {
                    ++retries;
                    return 4;
                }
                return flavour & 8 ? 5 : 3;
            },
    });
    language::FormulaLanguage language(
        host, [flavour](const QString& statement) { return fakeExecute(statement, flavour); });
    const QString sql = language.decodeToken(text, checkMode);
    const QString display = language.encodeToken(text);
    language.encodeToken(sql);
    language.decodeToken(display, false);
    return 0;
}
