// Look-up answers kept from one translation to the next (the bulk check) and answered in advance
// for many stored texts at once: the display forms are those of translations that ask for
// everything themselves, with fewer statements.

#include "LanguageFixture.h"

#include "language/References.h"

namespace {

using language::refs::LookupAnswers;

// Stored SQL forms over the demo data: categories that exist (with the value column of their data
// type or another), that do not, ids that are no numbers; variants by their code, in another case,
// with trailing blanks, with a quote, missing; the same references in several texts.
QStringList storedTexts() {
    return {
        "IF " + categoryQuery("DECIMAL(17,6)", "124") + " > 2 SET @OUTMAG1PERC = 4",
        "IF " + categoryQuery("DECIMAL(1)", "125") + " = 1 AND " + variantQuery("V02") +
            " = 'ELETTRICA' SET @OUTMAGIMP = @ATTMAGIMP + 20",
        "IF " + categoryQuery("DECIMAL(17,6)", "125") + " = 1 SET @OUTPREZZO = 1",
        "IF " + categoryQuery("DECIMAL(17,6)", "99999") + " > 2 AND " +
            categoryQuery("DECIMAL(17,6)", "124") + " > 1 SET @OUTPREZZO = 2",
        "IF " + categoryQuery("DECIMAL(17,6)", "abc") + " > 2 SET @OUTPREZZO = 3",
        "IF " + categoryQuery("DECIMAL(17,6)", "-4") + " > 2 SET @OUTPREZZO = 3",
        "IF " + variantQuery("v02") + " = 'X' AND " + variantQuery("V01") + " = 'Y' SET @OUTPREZZO = 4",
        "IF " + variantQuery("V02  ") + " = 'X' SET @OUTPREZZO = 5",
        "IF " + variantQuery("O''X") + " = 'X' OR " + variantQuery("ZZZ") + " = 'Z' SET @OUTPREZZO = 6",
        "IF " + categoryQuery("VARCHAR(20)", "123") + " = 'ROSSO' AND " + variantQuery("V03") +
            " = 'A' AND " + variantQuery("V90") + " = 'B' SET @OUTPREZZO = 7",
        QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"),
    };
}

class SharedAnswers : public LanguageFixture {
protected:
    // The services with the look-ups recorded and their answers kept in `answers`.
    language::Services sharedServices() {
        language::Services s = services();
        s.answers = &kept;
        return s;
    }
    LookupAnswers kept;
};

TEST_F(SharedAnswers, DisplayFormsAreThoseOfTranslationsThatAskForEverything) {
    const QStringList texts = storedTexts();
    QStringList fresh;
    QList<qint64> freshErrors;
    for (const QString& text : texts) {
        language::FormulaLanguage alone(services());
        fresh << alone.encodeToken(text);
        freshErrors << alone.lastErrorCount();
    }
    const qsizetype freshStatements = statements.size();

    statements.clear();
    language::FormulaLanguage shared(sharedServices());
    shared.prefetchDisplayLookups(texts);
    EXPECT_EQ(statements.size(), 1) << statements.join(u'\n').toStdString();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(shared.encodeToken(texts[i]), fresh[i]) << i;
        EXPECT_EQ(shared.lastErrorCount(), freshErrors[i]) << i;
    }
    EXPECT_LT(statements.size(), freshStatements);
}

TEST_F(SharedAnswers, KeptAnswersAreNotAskedForAgain) {
    const QString text = storedTexts().at(1);
    language::FormulaLanguage shared(sharedServices());
    const QString first = shared.encodeToken(text);
    EXPECT_GT(shared.lastStatementCount(), 0);
    EXPECT_EQ(shared.encodeToken(text), first);
    EXPECT_EQ(shared.lastStatementCount(), 0);
    EXPECT_GT(kept.size(), 0);
    kept.clear();
    EXPECT_EQ(shared.encodeToken(text), first);
    EXPECT_GT(shared.lastStatementCount(), 0);
}

TEST_F(SharedAnswers, WithoutKeptAnswersNothingIsAskedInAdvance) {
    language::FormulaLanguage alone(services());
    alone.prefetchDisplayLookups(storedTexts());
    EXPECT_TRUE(statements.isEmpty());
}

} // namespace
