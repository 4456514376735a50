// The check and the save with the real formula language (labels as the Italian texts, the
// translation service returning them unchanged).

#include "TestDatabase.h"
#include "check/SyntaxCheck.h"
#include "editing/FormulaStore.h"
#include "language/FormulaLanguage.h"

#include <gtest/gtest.h>

namespace {

using checktest::TestDatabase;

struct Window {
    explicit Window(TestDatabase& db)
        : host({.connection = [&db] { return db.connection.get(); },
                .errorAnswer =
                    [this](const QString& procedure, const core::ErrorInfo&) {
                        errors << procedure;
                        return 3;
                    },
                .context = [] { return 0; },
                .id = [] { return core::Variant::fromInt32(13); }})
        , language(host)
        , check(box, host, {.decode = check::decodeWith(language)}) {}
    QStringList errors;
    core::FunctionServices host;
    core::StringTextBox box;
    language::FormulaLanguage language;
    check::SyntaxCheck check;
};

TEST(LanguageCheck, LabelsAreCheckedAsTheirVariables) {
    TestDatabase db;
    CHECK_REQUIRE_ENGINE(db);
    Window w(db);
    struct Case {
        const char* display;
        bool correct;
    };
    const Case cases[] = {
        {"SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50", true},
        {"SET [Prezzo lordo] = 25", true},
        {"IF  [Famiglia] in ('MPRI','PFIN') SET [Sconto 1%] = 10", true},
        {"IF [Opzione] = 'ROSSO' SET [Prezzo lordo] = 1", true},
        {"IF [Modello] = 'M1' SET [Prezzo lordo] = 1", true},
        {"SET [Prezzo lordo in] = 25", false},
        {"SET [prezzo lordo] = 25", false},
        {"SET [Sconto 1%] = 1000", false},
    };
    for (const Case& c : cases) {
        w.box.setText(QString::fromUtf8(c.display));
        EXPECT_EQ(!w.check.CheckFormula(false).isEmpty(), c.correct)
            << c.display << "\n"
            << w.check.lastServerMessage().toStdString();
    }
    EXPECT_TRUE(w.errors.isEmpty()) << w.errors.join(u',').toStdString();
}

TEST(LanguageCheck, SaveStoresTheSqlFormAndShowReadsItBack) {
    TestDatabase db;
    Window w(db);
    editing::FormulaStore store(w.box, w.host,
                                {.checkFormula = [](bool) { return core::Variant::fromBool(true); },
                                 .decode = check::decodeWith(w.language)});
    w.box.setText(
        QStringLiteral("IF [Famiglia] = 'MPRI'\r\n    SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
    store.UpdateFormula();
    EXPECT_EQ(db.formula(0, 13).toString(),
              QStringLiteral("IF @MG66_FAM_MG53 = 'MPRI'\r\n    SET @OUTPREZZO = @ATTPREZZO + 50"));
    EXPECT_EQ(w.language.encodeToken(db.formula(0, 13).toString()), w.box.text());
}

} // namespace
