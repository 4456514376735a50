// The reference passes against the plain loops they are built from (the benchmark's
// transcription): on formulas mixing well-formed sub-queries with stray markers, sub-queries
// whose data type changed, missing categories and variants, odd codes and labels holding
// parentheses, braces, bars or a marker, both translations must give the same text.

#include "LanguageFixture.h"

#include "../../bench/language/Transcription.h"

#include "language/References.h"

#include <QHash>

#include <random>

namespace {

const QString kCategoryMarker = QString::fromUtf16(language::refs::CategoryMarker);
const QString kVariantMarker = QString::fromUtf16(language::refs::VariantMarker);

class Passes : public LanguageFixture {
protected:
    void SetUp() override {
        LanguageFixture::SetUp();
        const QList<std::tuple<int, QString, QString, int>> categories = {
            {201, "K1", "Semplice", 0},
            {202, "K2", "Con (parentesi)", 1},
            {203, "K3", "Graffe {x} e barra |", 2},
            // A description holding a marker and the end of a sub-query.
            {204, "K4", kCategoryMarker + " 201 )", 0},
            {205, "K5", "Tipo sconosciuto", 3},
            {206, "K6", " ", 0},
            // A description holding a marker followed by a value that is no number.
            {207, "K7", kCategoryMarker + " x )", 0},
        };
        for (const auto& [id, code, descr, type] : categories)
            exec(QString("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, "
                         "CM01_DESCR, CM01_INDTIPODATO) VALUES (%1, 1, '%2', '%3', %4)")
                     .arg(id)
                     .arg(code, QString(descr).replace("'", "''"))
                     .arg(type));
        const QList<std::pair<QString, QString>> variants = {
            {"W1", "Normale"},    {"W2", "Con (tonda"}, {"W3", "Barra | dentro"},
            {"W(4", "Parentesi"}, {"W 5", "Spazio"},    {"W6", kVariantMarker + "'W1' )"},
        };
        for (const auto& [code, descr] : variants)
            exec(QString("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                         "VALUES (1, '%1', '%2')")
                     .arg(code, QString(descr).replace("'", "''")));
    }

    // The plain loops send the same look-up many times: their answers are kept, as the tables
    // do not change during the test.
    language::Services cachedServices() {
        language::Services s = services();
        s.execute = [this](const QString& statement) {
            auto it = m_answers.find(statement);
            if (it == m_answers.end())
                it = m_answers.insert(statement, m_connection.Execute(statement)->rowSet());
            return std::make_shared<ado::Recordset>(it.value());
        };
        return s;
    }

    QHash<QString, core::RowSet> m_answers;
};

QString generated(std::mt19937& rng) {
    static const QStringList types = {"VARCHAR(20)", "DECIMAL(17,6)", "DECIMAL(1)"};
    static const QStringList ids = {"201", "202", "203",  "204", "205", "206",
                                    "999", "0",   "0201", "-3",  "2.5"};
    static const QStringList codes = {"W1", "W2", "W3", "W(4", "W 5", "W6", "ZZ", "w1", ""};
    static const QStringList plain = {" + ",
                                      " = 'A' ",
                                      "\r\n",
                                      "IF ",
                                      "(",
                                      ")",
                                      "{",
                                      "}",
                                      "|",
                                      " ",
                                      "@DO30_OPZIONE_MG5E",
                                      "@DITTA",
                                      "SET @OUTPREZZO = 1",
                                      "'{K1 - x}'"};
    auto pick = [&rng](const QStringList& list) {
        return list[std::uniform_int_distribution<qsizetype>(0, list.size() - 1)(rng)];
    };
    QString text;
    const int pieces = std::uniform_int_distribution<int>(1, 14)(rng);
    for (int p = 0; p < pieces; ++p) {
        switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
        case 0:
        case 1:
        case 2:
            text += categoryQuery(pick(types), pick(ids));
            break;
        case 3:
        case 4:
            text += variantQuery(pick(codes));
            break;
        case 5: // a marker outside a sub-query
            text += std::uniform_int_distribution<int>(0, 1)(rng)
                        ? kCategoryMarker + " " + pick(ids) + " )"
                        : kVariantMarker + "'" + pick(codes) + "' )";
            break;
        default:
            text += pick(plain);
        }
    }
    // Now and then a marker with no closing parenthesis after it.
    if (std::uniform_int_distribution<int>(0, 9)(rng) == 0)
        text += std::uniform_int_distribution<int>(0, 1)(rng) ? kCategoryMarker + " 201"
                                                              : kVariantMarker + "'W1'";
    return text;
}

TEST_F(Passes, BothTranslationsGiveTheTextOfThePlainLoops) {
    std::mt19937 rng(5122026);
    language::FormulaLanguage language(services());
    const language::Services plain = cachedServices();
    int compared = 0;
    int replacedCategories = 0;
    for (int i = 0; i < 400; ++i) {
        const QString sql = generated(rng);
        QString expected;
        try {
            expected = transcription::encodeToken(plain, sql);
        } catch (const core::ComError&) {
            // A value that is no number: the translation reports it (covered elsewhere).
            errors.clear();
            continue;
        }
        const QString display = language.encodeToken(sql);
        ASSERT_TRUE(errors.empty()) << sql.toStdString();
        ASSERT_EQ(display, expected) << sql.toStdString();
        if (display.contains("{K"))
            ++replacedCategories;
        ++compared;

        QString back;
        try {
            back = transcription::decodeToken(plain, display, false);
        } catch (const core::ComError&) {
            errors.clear();
            continue;
        }
        ASSERT_EQ(language.decodeToken(display, false), back) << display.toStdString();
        ASSERT_TRUE(errors.empty());
    }
    EXPECT_GT(compared, 300);
    EXPECT_GT(replacedCategories, 100);
}

// Display texts of references side by side, stray and nested delimiters, bars between
// references that read as a reference of their own, references whose code is missing or
// unknown: the display-to-SQL direction, normal and check mode, against the plain loops.
QString generatedDisplay(std::mt19937& rng) {
    static const QStringList pieces = {"{K1 - Semplice}",
                                       "{K2 - Con (parentesi)}",
                                       "{K5 - x}",
                                       "{K1 - Semplice}",
                                       "{ZZ - nessuna}",
                                       "{ - senza codice}",
                                       "{K1}",
                                       "{ }",
                                       "{}",
                                       "|W1 - Normale|",
                                       "|W2 - Con (tonda|",
                                       "|W1 - Normale|",
                                       "|W(4 - Parentesi|",
                                       "|ZZ - nessuna|",
                                       "| |",
                                       "||",
                                       "|W1|",
                                       "W1 - Normale",
                                       "{",
                                       "}",
                                       "|",
                                       " = 'A' ",
                                       "\r\n",
                                       "[Prezzo lordo]",
                                       "[Opzione]",
                                       "{K1 - {x}",
                                       "{{K1 - Semplice}}"};
    QString text;
    const int count = std::uniform_int_distribution<int>(1, 16)(rng);
    for (int p = 0; p < count; ++p)
        text += pieces[std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(rng)];
    return text;
}

TEST_F(Passes, DisplayToSqlGivesTheTextOfThePlainLoops) {
    std::mt19937 rng(6122026);
    language::FormulaLanguage language(services());
    const language::Services plain = cachedServices();
    int compared = 0;
    for (int i = 0; i < 600; ++i) {
        const QString display = generatedDisplay(rng);
        for (const bool checkMode : {false, true}) {
            const QString expected = transcription::decodeToken(plain, display, checkMode);
            ASSERT_EQ(language.decodeToken(display, checkMode), expected)
                << display.toStdString() << (checkMode ? " (check mode)" : "");
            ASSERT_TRUE(errors.empty());
            ++compared;
        }
    }
    EXPECT_EQ(compared, 1200);
}

// Sub-queries side by side, the first one's label holding a parenthesis: from there on the
// text is rewritten at each replacement, and the result is still that of the plain loops.
TEST_F(Passes, LabelWithAParenthesisInTheMiddleOfThePass) {
    language::FormulaLanguage language(services());
    const QString sql = categoryQuery("VARCHAR(20)", "201") + categoryQuery("DECIMAL(17,6)", "202") +
                        categoryQuery("DECIMAL(1)", "203") + categoryQuery("VARCHAR(20)", "201") +
                        categoryQuery("VARCHAR(20)", "204") + variantQuery("W2") + variantQuery("W1") +
                        variantQuery("W2");
    EXPECT_EQ(language.encodeToken(sql),
              "{K1 - Semplice}{K2 - Con (parentesi)}{K3 - Graffe {x} e barra |}{K1 - Semplice}{K4 - " +
                  kCategoryMarker + " 201 )}|W2 - Con (tonda||W1 - Normale||W2 - Con (tonda|");
    EXPECT_EQ(language.encodeToken(sql), transcription::encodeToken(cachedServices(), sql));
    EXPECT_TRUE(errors.empty());
}

// The marker a label brings into the text is read like any other: its value is no number,
// which is reported under the translation's name.
TEST_F(Passes, MarkerBroughtInByALabelIsRead) {
    language::FormulaLanguage language(services());
    const QString sql =
        categoryQuery("VARCHAR(20)", "207") + " = 'A' OR " + categoryQuery("VARCHAR(20)", "201");
    EXPECT_EQ(language.encodeToken(sql), "");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "encodeToken");
    EXPECT_EQ(errors[0].error.number, core::err::TypeMismatch);
}

} // namespace
