#include "LanguageFixture.h"

#include "host/TranslationService.h"
#include "language/Dictionary.h"
#include "language/References.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <random>

using language::FormulaLanguage;

namespace {

const QString kC01 = categoryQuery("VARCHAR(20)", "123");
const QString kC02 = categoryQuery("DECIMAL(17,6)", "124");
const QString kC03 = categoryQuery("DECIMAL(1)", "125");
const QString kNotFound = categoryQuery("VARCHAR(20)", "0");
const QString kV01 = variantQuery("V01");
const QString kV02 = variantQuery("V02");

struct Case {
    QString input;
    QString expected;
};

class Translation : public LanguageFixture {};

TEST_F(Translation, DisplayToSqlNormalMode) {
    const std::vector<Case> cases = {
        {"", ""},
        {"    ", ""},
        {"SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50", "SET @OUTPREZZO = @ATTPREZZO + 50"},
        {"IF  [Famiglia] in ('MPRI','PFIN')", "IF  @MG66_FAM_MG53 in ('MPRI','PFIN')"},
        {"[Totale merce 1] [Totale merce 1 val.]", "@DO13_TOTMERCE1 @DO13_TOTMERCE1_VAL"},
        {"Famiglia Commessa [Commessa]", "Famiglia Commessa @DO41_CODCOMMESSA"},
        {"[Prezzo lordo in] [prezzo lordo] [Prezzo lordo - in]",
         "[Prezzo lordo in] [prezzo lordo] [Prezzo lordo - in]"},
        {"[Sconto 3%][Sconto 4%][Sconto 4% - IN][Sconto 4% - CURR]",
         "@OUTSC3PERC@OUTSC4PERC@INSC4PERC@ATTSC4PERC"},
        {"PRINT '[Sconto 4%]' -- [Maggiorazione importo]", "PRINT '@OUTSC4PERC' -- @OUTMAGIMP"},
        {"[Modello] = [Opzione]", "@CM06_CODART_MG66 = @DO30_OPZIONE_MG5E"},
        {"  [Ditta]  \r\n", "  @DITTA  \r\n"},
        {"\r\n", "\r\n"},
        {"[Attività] [Quantita' 1 (di riga)]", "@DO41_ATTIVITA_PD0D @QTA1"},
        {"IF {C01 - Colore} = 'ROSSO'", "IF " + kC01 + " = 'ROSSO'"},
        {"|V01 - Colore scocca|", kV01},
        {"{C02 - Altezza} > 2 AND {C03 - CE} = 1", kC02 + " > 2 AND " + kC03 + " = 1"},
        {"{C01 - Colore} + {C01 - Colore}", kC01 + " + " + kC01},
        {"{C01 - Colore} + {C01 - altro}", kC01 + " + " + kC01},
        {"{ZZZ - nothing}", kNotFound},
        {"{C01}", kNotFound},
        {"{ - Colore}", kNotFound},
        {"{ } + {C01 - Colore}", "{ } + {C01 - Colore}"},
        {"a } b", "a } b"},
        {"@a | @b | + |V01 - x|", "@a | @b | + |V01 - x|"},
        {"|V01| + |V02 - b|", "|V01| + |V02 - b|"},
        {"|V01 - a| + |V02 - b|", kV01 + " + " + kV02},
        {"| V01 - a|", variantQuery(" V01")},
        {"{C01 - Colore}|V01 - a|[Modello]", kC01 + kV01 + "@CM06_CODART_MG66"},
    };
    FormulaLanguage language(services());
    for (const Case& c : cases)
        EXPECT_EQ(language.decodeToken(c.input, false), c.expected) << c.input.toStdString();
    EXPECT_TRUE(errors.empty());
}

TEST_F(Translation, DisplayToSqlCheckModeSendsNoStatement) {
    const std::vector<Case> cases = {
        {"IF {C01 - Colore} = 'ROSSO'", "IF @DO11_CODSEDE_CG31 = 'ROSSO'"},
        {"{anything}", "@DO11_CODSEDE_CG31"},
        {"|anything|", "@DO30_CODART_MG66"},
        {"@a | @b |", "@a @DO30_CODART_MG66"},
        {"a || b", "a @DO30_CODART_MG66 b"},
        {"a ||| b", "a @DO30_CODART_MG66 b"},
        {"{ } + {C01 - Colore}", "{ } + {C01 - Colore}"},
        {"{x} {y} {x}", "@DO11_CODSEDE_CG31 @DO11_CODSEDE_CG31 @DO11_CODSEDE_CG31"},
        {"SET [Prezzo lordo] = 1", "SET @OUTPREZZO = 1"},
    };
    FormulaLanguage language(services());
    for (const Case& c : cases)
        EXPECT_EQ(language.decodeToken(c.input, true), c.expected) << c.input.toStdString();
    EXPECT_TRUE(statements.isEmpty());
}

TEST_F(Translation, SqlToDisplay) {
    const std::vector<Case> cases = {
        {"", ""},
        {"   ", ""},
        {"SET @OUTPREZZO = @ATTPREZZO + 50", "SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"},
        {"@DO13_TOTMERCE1 @DO13_TOTMERCE1_VAL", "[Totale merce 1] [Totale merce 1 val.]"},
        {"@MG19_AREANIELSEN_MG0E @MG19_AREA", "[Area Nielsen cli/for] [Area cli/for]"},
        {"@DO13_TOTDOCUMENTO_VAL", "[Totale documento val.]"},
        {"@outprezzo", "@outprezzo"},
        {"@DITTA2", "[Ditta]2"},
        {"@CM06_CODART_MG66 @DO30_OPZIONE_MG5E", "[Modello] [Opzione]"},
        {"IF " + kC01 + " = 'ROSSO'", "IF {C01 - Colore} = 'ROSSO'"},
        {kC02 + kC03, "{C02 - Altezza massima}{C03 - Certificazione CE}"},
        {kV01 + " = 'BLU'", "|V01 - Colore scocca| = 'BLU'"},
        {kC01 + " " + kV02 + " " + kC01, "{C01 - Colore} |V02 - Motorizzazione| {C01 - Colore}"},
        // A sub-query that does not rebuild identically stays as stored.
        {categoryQuery("DECIMAL(1)", "123"), categoryQuery("DECIMAL(1)", "123")},
        {kNotFound, kNotFound},
        {categoryQuery("VARCHAR(20)", "999"), categoryQuery("VARCHAR(20)", "999")},
        {variantQuery("ZZZ"), variantQuery("ZZZ")},
        {" \r\n@QTA1", " \r\n[Quantita' 1 (di riga)]"},
    };
    FormulaLanguage language(services());
    for (const Case& c : cases)
        EXPECT_EQ(language.encodeToken(c.input), c.expected) << c.input.toStdString();
    EXPECT_TRUE(errors.empty());
}

TEST_F(Translation, ChangedDescriptionShowsItsNewText) {
    exec("UPDATE CM01_CATEGORIECOMM SET CM01_DESCR = 'Tinta' WHERE CM01_IDCATEGORIA = 123");
    FormulaLanguage language(services());
    EXPECT_EQ(language.encodeToken(kC01), "{C01 - Tinta}");
}

TEST_F(Translation, UnknownDataTypeReadsTheValueAsText) {
    exec("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR, "
         "CM01_INDTIPODATO) VALUES (130, 1, 'C07', 'Sette', 7)");
    FormulaLanguage language(services());
    const QString sql = language.decodeToken("{C07 - Sette}", false);
    EXPECT_EQ(sql, categoryQuery("VARCHAR(20)", "130"));
    EXPECT_EQ(language.encodeToken(sql), "{C07 - Sette}");
}

TEST_F(Translation, QuotesInCodesCannotChangeTheStatement) {
    exec("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, CM01_DESCR, "
         "CM01_INDTIPODATO) VALUES (131, 1, 'O''X', 'Apice', 0)");
    exec("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) VALUES (1, 'A''B', "
         "'Apice')");
    FormulaLanguage language(services());
    EXPECT_EQ(language.decodeToken("{O'X - Apice}", false), categoryQuery("VARCHAR(20)", "131"));
    EXPECT_EQ(statements.value(0),
              "SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='O''X'");
    const QString sql = language.decodeToken("|A'B - Apice|", false);
    EXPECT_EQ(sql, variantQuery("A'B"));
    EXPECT_EQ(language.encodeToken(sql), "|A'B - Apice|");
    EXPECT_EQ(statements.last(),
              "SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) FROM MG5F_DIMECONF WHERE  "
              "MG5F_CODICEVAR ='A''B'");
    // An attempt to end the literal early finds nothing and runs nothing else.
    EXPECT_EQ(language.decodeToken("{X' OR '1'='1 - y}", false), kNotFound);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Translation, StatementsSentAndAnswersKeptWithinARun) {
    FormulaLanguage language(services());
    language.decodeToken("IF {C01 - Colore} = 'R' AND {C01 - Colore} <> '' OR {C01 - x} = 'B' AND |V01 - a|",
                         false);
    EXPECT_EQ(
        statements,
        QStringList({"SELECT CM01_IDCATEGORIA  FROM CM01_CATEGORIECOMM WHERE  CM01_CODICE ='C01'",
                     " SELECT CM01_INDTIPODATO  FROM CM01_CATEGORIECOMM  WHERE CM01_IDCATEGORIA = 123"}));
    EXPECT_EQ(language.lastStatementCount(), 2);

    statements.clear();
    language.encodeToken(kC01 + " " + kC01 + " " + kV01 + " " + kV01);
    EXPECT_EQ(
        statements,
        QStringList({"SELECT RTRIM(CM01_CODICE) + ' - ' + RTRIM(CM01_DESCR) FROM CM01_CATEGORIECOMM WHERE  "
                     "CM01_IDCATEGORIA =123",
                     " SELECT CM01_INDTIPODATO  FROM CM01_CATEGORIECOMM  WHERE CM01_IDCATEGORIA = 123",
                     "SELECT RTRIM(MG5F_CODICEVAR) + ' - ' + RTRIM(MG5F_DESCR_VAR) FROM MG5F_DIMECONF WHERE  "
                     "MG5F_CODICEVAR ='V01'"}));

    // Nothing is kept between runs.
    statements.clear();
    language.decodeToken("{C01 - Colore}", false);
    EXPECT_EQ(statements.size(), 2);
}

TEST_F(Translation, EveryRunAsksTheTranslationServiceForEachLabel) {
    FormulaLanguage language(services());
    language.decodeToken("x", false);
    EXPECT_EQ(translations, 137);
    translations = 0;
    language.encodeToken("x");
    EXPECT_EQ(translations, 138);
    translations = 0;
    language.decodeToken(" ", false);
    EXPECT_EQ(translations, 0);
}

TEST_F(Translation, TranslationFailureAbortGivesEmptyText) {
    translateHook = [](const QString& s) -> QString {
        if (s == "Famiglia")
            throw core::ComError(438, "Object doesn't support this property or method");
        return s;
    };
    FormulaLanguage language(services());
    EXPECT_EQ(language.decodeToken("[Famiglia] = [Ditta]", false), "");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "decodeToken");
    EXPECT_EQ(errors[0].error.number, 438);
    EXPECT_EQ(language.encodeToken("@MG66_FAM_MG53"), "");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].procedure, "encodeToken");
}

TEST_F(Translation, TranslationFailureRetryRepeatsTheStep) {
    int failures = 1;
    int asked = 0;
    translateHook = [&](const QString& s) -> QString {
        if (s == "Famiglia") {
            ++asked;
            if (failures-- > 0)
                throw core::ComError(438, "no service");
        }
        return s;
    };
    answers = {4};
    FormulaLanguage language(services());
    EXPECT_EQ(language.decodeToken("[Famiglia] = [Ditta]", false), "@MG66_FAM_MG53 = @DITTA");
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(asked, 2);
}

TEST_F(Translation, TranslationFailureIgnoreGoesOn) {
    translateHook = [](const QString& s) -> QString {
        if (s == "Famiglia")
            throw core::ComError(438, "no service");
        return s;
    };
    answers = {5, 5};
    FormulaLanguage language(services());
    EXPECT_EQ(language.decodeToken("[Famiglia] = [Ditta]", false), "[Famiglia] = @DITTA");
    EXPECT_EQ(language.encodeToken("@MG66_FAM_MG53 = @DITTA"), "@MG66_FAM_MG53 = [Ditta]");
    EXPECT_EQ(errors.size(), 2u);
}

TEST_F(Translation, AnyOtherAnswerEndsLikeAbort) {
    translateHook = [](const QString&) -> QString { throw core::ComError(5, "x"); };
    answers = {1};
    FormulaLanguage language(services());
    EXPECT_EQ(language.encodeToken("@DITTA"), "");
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Translation, MissingConnectionIsReportedByTheTranslation) {
    language::Services s = services();
    s.execute = nullptr;
    host.f.connection = [] { return static_cast<ado::Connection*>(nullptr); };
    answers.assign(20, 5);
    FormulaLanguage language(s);
    // The look-up fails and is ignored; the first pair is not replaced, so every one of the
    // nine repetitions of the pass (one per character) meets the same failure.
    EXPECT_EQ(language.decodeToken("{C01 - a}", false), "{C01 - a}");
    ASSERT_EQ(errors.size(), 9u);
    EXPECT_EQ(errors[0].procedure, "decodeToken");
    EXPECT_EQ(errors[0].error.number, core::err::ObjectVariableNotSet);
    // Check mode needs no connection.
    errors.clear();
    EXPECT_EQ(language.decodeToken("{C01 - a}", true), "@DO11_CODSEDE_CG31");
    EXPECT_TRUE(errors.empty());
}

TEST_F(Translation, OverflowAtTheStartOfAReferencePass) {
    FormulaLanguage language(services());
    const QString longest(32767, u'x');
    EXPECT_EQ(language.decodeToken(longest, false), longest);
    EXPECT_EQ(language.encodeToken(longest), longest);
    EXPECT_TRUE(errors.empty());

    const QString tooLong(32768, u'x');
    EXPECT_EQ(language.decodeToken(tooLong, false), "");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "decodeToken");
    EXPECT_EQ(errors[0].error.number, core::err::Overflow);

    // Ignored, both passes are skipped and the rest of the translation goes on.
    errors.clear();
    answers = {5, 5};
    const QString withLabel = "[Ditta]" + QString(32768, u'x') + "{C01 - a}";
    EXPECT_EQ(language.decodeToken(withLabel, false), "@DITTA" + QString(32768, u'x') + "{C01 - a}");
    EXPECT_EQ(errors.size(), 2u);

    // The dictionary step may shorten the text below the limit before the passes start.
    errors.clear();
    const QString shrinking = "[Maggiorazione importo - CURR]" + QString(32767 - 10, u'x');
    EXPECT_EQ(language.decodeToken(shrinking, false), "@ATTMAGIMP" + QString(32767 - 10, u'x'));
    EXPECT_TRUE(errors.empty());

    answers = {4, 3};
    EXPECT_EQ(language.encodeToken(tooLong), "");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1].procedure, "encodeToken");
    EXPECT_EQ(errors[1].error.number, core::err::Overflow);
}

TEST_F(Translation, NullDataTypeIsAnError) {
    language::Services s = services();
    // A look-up answering a row whose data-type code is null.
    s.execute = [this](const QString& statement) {
        statements << statement;
        if (statement.contains("CM01_INDTIPODATO")) {
            core::RowSet rows;
            rows.columns = QStringList{"CM01_INDTIPODATO"};
            rows.rows = {{core::Variant::null()}};
            return std::make_shared<ado::Recordset>(rows);
        }
        return m_connection.Execute(statement);
    };
    answers = {3};
    FormulaLanguage language(s);
    EXPECT_EQ(language.encodeToken(kC01), "");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, "encodeToken");
}

// Random SQL forms made of the pieces a stored formula holds.
QString generatedSqlForm(std::mt19937& rng) {
    static const QStringList userPieces = {
        "SET ",        "IF ",     " = ",     " + ",         " * ",        "(",       ")",    " AND ",
        " OR ",        "50",      "12.5",    "'ROSSO'",     "'it''s'",    "\"q\"",   "\r\n", "  ",
        "-- nota\r\n", "@MIAVAR", "@DITTA2", "@MG19_AREAX", "@outprezzo", "BEGIN ",  " END", "''",
        "'",           "@",       "[",       "]",           "Famiglia",   "Modello", " - ",  "x"};
    static const QStringList references = {kC01, kC02, kC03, kV01, kV02, variantQuery("V03")};
    const auto& entries = language::Dictionary::entries();
    QString text;
    const int count = std::uniform_int_distribution<int>(1, 40)(rng);
    for (int i = 0; i < count; ++i) {
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            text += entries[std::uniform_int_distribution<int>(0, entries.size() - 1)(rng)].variable;
            break;
        case 1:
            text += references[std::uniform_int_distribution<int>(0, references.size() - 1)(rng)];
            break;
        default:
            text += userPieces[std::uniform_int_distribution<int>(0, userPieces.size() - 1)(rng)];
        }
    }
    return text;
}

TEST_F(Translation, GeneratedFormulasSurviveTheRoundTrip) {
    std::mt19937 rng(20261205);
    FormulaLanguage language(services());
    int tested = 0;
    for (int i = 0; i < 300; ++i) {
        const QString sql = generatedSqlForm(rng);
        const QString display = language.encodeToken(sql);
        // A text that stands in the SQL form as a label is translated on the way back; such
        // mixtures are not round trips by design.
        bool labelInSql = false;
        for (const auto& e : language::Dictionary::entries())
            labelInSql =
                labelInSql || sql.contains(language::Dictionary::label(e, language::Direction::ToSql,
                                                                       [](const QString& s) { return s; }));
        if (labelInSql || language::refs::trimBlanks(sql).isEmpty())
            continue;
        ++tested;
        EXPECT_FALSE(display.contains("@OUTPREZZO"));
        EXPECT_EQ(language.decodeToken(display, false), sql) << sql.toStdString();
    }
    EXPECT_GT(tested, 200);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Translation, StoredDemoFormulasSurviveTheRoundTrip) {
    FormulaLanguage language(services());
    int formulas = 0;
    for (const auto& [table, column] :
         {std::pair{"LP01_PROVIDER", "LP01_FORMULE"}, std::pair{"LP07_QUOTAZIONI", "LP07_FORMULE"},
          std::pair{"LP17_FORMULEMANUT", "LP17_FORMULA"}}) {
        auto rs = m_connection.Execute(QString("SELECT %1 AS FORMULA FROM %2").arg(column, table));
        while (rs->IsOpen() && !rs->IsEOF()) {
            const core::Variant value = rs->GetFields().Item("FORMULA").Value();
            rs->MoveNext();
            if (value.isNull())
                continue;
            const QString sql = value.toString();
            const QString display = language.encodeToken(sql);
            EXPECT_FALSE(display.contains("COLS.value")) << display.toStdString();
            EXPECT_EQ(language.decodeToken(display, false), sql.trimmed().isEmpty() ? QString() : sql);
            ++formulas;
        }
    }
    EXPECT_GT(formulas, 3);
    EXPECT_TRUE(errors.empty());
}

// The English catalogue as it is written, read directly.
QHash<QString, QString> englishCatalogue() {
    QFile file(QStringLiteral(FORMULE_DATA_DIR "/translations/language_en.ts"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QHash<QString, QString> map;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("translation"))
            map.insert(source, xml.readElementText());
    }
    return map;
}

TEST_F(Translation, EnglishCatalogueGivesEnglishLabelsAndTheSameSqlForm) {
    const auto catalogue = englishCatalogue();
    for (int n = 1; n <= 138; ++n) {
        const QString base = language::Dictionary::entry(n).baseText;
        EXPECT_TRUE(catalogue.contains(base)) << base.toStdString();
        EXPECT_NE(catalogue.value(base), base) << base.toStdString();
    }
    EXPECT_EQ(QSet<QString>(catalogue.keyBegin(), catalogue.keyEnd()).size(),
              QSet<QString>(catalogue.cbegin(), catalogue.cend()).size());

    host::TranslationService service;
    ASSERT_GE(service.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), "en"), 1);
    translateHook = [&service](const QString& s) { return service.translate(s); };
    FormulaLanguage english(services());

    const QString sql = "SET @OUTPREZZO = @ATTPREZZO + 50\r\nIF @MG66_FAM_MG53 = 'X' AND " + kC01 +
                        " = 'R' AND " + kV01 +
                        " = 'B' AND @DO30_OPZIONE_MG5E = 1 AND @DO13_TOTMERCE1_VAL > 0 " +
                        "AND @DO41_ATTIVITA_PD0D = 1 SET @OUTSC4PERC = @INSC4PERC";
    const QString display = english.encodeToken(sql);
    EXPECT_EQ(display,
              "SET [Gross price] = [Gross price - CURR] + 50\r\nIF [Family] = 'X' AND {C01 - Colore} = "
              "'R' AND |V01 - Colore scocca| = 'B' AND [Opzione] = 1 AND [Goods total 1 curr.] > 0 "
              "AND [Activity] = 1 SET [Discount 4%] = [Discount 4% - IN]");
    EXPECT_EQ(english.decodeToken(display, false), sql);

    // Every entry through both forms; the SQL form is the one the Italian labels give.
    QString all;
    for (const auto& e : language::Dictionary::entries())
        if (e.number != language::Dictionary::ModelEntry)
            all += e.variable + " ";
    const QString allDisplay = english.encodeToken(all);
    EXPECT_FALSE(allDisplay.contains("[Prezzo lordo]"));
    EXPECT_EQ(english.decodeToken(allDisplay, false), all);
    FormulaLanguage italian(services());
    translateHook = nullptr;
    EXPECT_EQ(italian.decodeToken(italian.encodeToken(all), false), all);

    // The model entry is shown translated, but towards SQL only the literal "[Modello]" is
    // recognised, in every language.
    translateHook = [&service](const QString& s) { return service.translate(s); };
    EXPECT_EQ(english.encodeToken("@CM06_CODART_MG66"), "[Model]");
    EXPECT_EQ(english.decodeToken("[Modello] [Model]", false), "@CM06_CODART_MG66 [Model]");
}

} // namespace
