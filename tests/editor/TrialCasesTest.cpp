// The test cases in the window: saved from the trial panel, read again by a new window, run after
// a check (the strip's summary, its click showing expected against computed) and before a save
// (a differing case asks, No the default).
#include "EditorFixture.h"

#include "check/TestCases.h"
#include "editor/FormulaAssist.h"
#include "editor/TrialCases.h"
#include "editor/TrialPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace {

using namespace editortest;

// Provider 1 of the demo data: SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50.
class Cases : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        global.Settings()->User()->setName(QStringLiteral("mrossi"));
    }

    FRMLP_FORMULE& openProvider() {
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
        w.setCaseNameAsker([this](const QString&, const QString& proposed) -> std::optional<QString> {
            asked << proposed;
            if (names.isEmpty())
                return std::nullopt;
            return names.takeFirst();
        });
        return w;
    }
    editor::TrialCases& cases() { return *window->trialCases(); }
    editor::TrialPanel& panel() { return *window->trialPanel(); }

    // Runs the panel on a base price and saves the outputs as the case `name`.
    void saveCase(const QString& price, const QString& name) {
        window->showTrialPanel(true);
        auto* edit = panel().inputTable()->findChild<QLineEdit*>(QStringLiteral("@ATTPREZZO"));
        ASSERT_TRUE(edit);
        edit->setText(price);
        panel().runButton()->click();
        ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
        names << name;
        cases().saveButton()->click();
    }

    void check() {
        responder.clear();
        QTest::keyClick(ui(*window).TXT_FORMULA, Qt::Key_H, Qt::ControlModifier);
    }

    QVariant stored() {
        ado::Connection c;
        c.Open(connectionString);
        const ado::RecordsetPtr rs =
            c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 1"));
        return rs->GetFields().Item(0).Value().toString();
    }

    QStringList names;
    QStringList asked;
};

TEST_F(Cases, SavedReadAgainFailsAfterAChangeAndPassesAfterUndo) {
    openProvider();
    saveCase(QStringLiteral("100"), QStringLiteral("Base 100"));
    EXPECT_EQ(cases().messageLabel()->text(), QStringLiteral("Caso di prova «Base 100» salvato."));
    ASSERT_EQ(cases().list()->count(), 1);

    // A new window on the same record reads the case from the database.
    window.reset();
    FRMLP_FORMULE& w = openProvider();
    w.showTrialPanel(true);
    ASSERT_EQ(cases().cases().size(), 1);
    const check::TestCase& kept = cases().cases().first();
    EXPECT_EQ(kept.name, QStringLiteral("Base 100"));
    EXPECT_EQ(kept.author, QStringLiteral("mrossi"));
    EXPECT_EQ(kept.inputs, (QHash<QString, QString>{{QStringLiteral("@ATTPREZZO"), QStringLiteral("100")}}));
    EXPECT_EQ(kept.expected.first(), QStringLiteral("150.000000"));

    // A change that moves the price: the check passes as before, and the strip names the case.
    const QString original = ui(w).TXT_FORMULA->Text();
    ui(w).TXT_FORMULA->setFocus();
    ui(w).TXT_FORMULA->moveCursor(QTextCursor::End);
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral(" + 1"));
    ASSERT_EQ(ui(w).TXT_FORMULA->Text(), original + QStringLiteral(" + 1"));
    check();
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests().first().text, QStringLiteral("La formula è corretta."));
    EXPECT_EQ(w.assist()->stripMessage(), QStringLiteral("1 caso di prova: 1 diverso"));

    // Its click shows the case: expected against computed, the price marked.
    w.showTrialPanel(false);
    w.assist()->clickStrip();
    EXPECT_TRUE(panel().isVisible());
    QTableWidget* table = cases().comparison();
    ASSERT_EQ(table->rowCount(), 11);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("[Prezzo lordo]"));
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("150,000000")); // the Italian decimal comma
    EXPECT_TRUE(table->item(0, 2)->font().bold());
    EXPECT_FALSE(table->item(1, 2)->font().bold());
    EXPECT_EQ(cases().messageLabel()->text().section(u'\n', 0, 0),
              QStringLiteral("[Prezzo lordo]: atteso 150,000000, calcolato 151,000000"));
    EXPECT_TRUE(cases().list()->item(0)->text().startsWith(QStringLiteral("✗ ")));

    // Undone: the case passes again.
    for (int i = 0; i < 4 && ui(w).TXT_FORMULA->Text() != original; ++i)
        QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(ui(w).TXT_FORMULA->Text(), original);
    check();
    EXPECT_EQ(w.assist()->stripMessage(), QStringLiteral("1 caso di prova: 0 diversi"));
    EXPECT_TRUE(cases().list()->item(0)->text().startsWith(QStringLiteral("✓ ")));
}

TEST_F(Cases, ASaveWithADifferingCaseAsksNoByDefault) {
    FRMLP_FORMULE& w = openProvider();
    saveCase(QStringLiteral("100"), QStringLiteral("Base"));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] * 2"));
    responder.clear();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(responder.requests().size(), 1);
    const host::Request& question = responder.requests().first();
    EXPECT_EQ(question.code, 308);
    EXPECT_EQ(question.title, QStringLiteral("Casi di prova"));
    EXPECT_EQ(question.text,
              QStringLiteral("Attenzione!\r\n1 caso di prova: 1 diverso\r\n«Base»: [Prezzo lordo]: atteso "
                             "150,000000, calcolato 200,000000\r\nDesideri salvarla comunque?"));
    EXPECT_EQ(stored(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50")); // the default: No

    responder.push(6);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(stored(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO * 2"));

    // Passing cases ask nothing.
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
    responder.clear();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(responder.requests().isEmpty());
    EXPECT_EQ(stored(), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));
}

TEST_F(Cases, RenameDeleteLoadAndTheExpectedValuesTyped) {
    FRMLP_FORMULE& w = openProvider();
    saveCase(QStringLiteral("100"), QStringLiteral("Uno"));
    saveCase(QStringLiteral("7"), QStringLiteral("Due"));
    ASSERT_EQ(cases().list()->count(), 2); // by name: Due, Uno
    EXPECT_EQ(cases().list()->item(0)->text(), QStringLiteral("Due"));

    // A name already taken is refused; another one renames the case.
    cases().list()->setCurrentRow(0);
    names << QStringLiteral("uno");
    cases().renameSelected();
    EXPECT_EQ(cases().messageLabel()->text(),
              QStringLiteral("Esiste già un caso di prova di nome «uno» per questa formula"));
    names << QStringLiteral("Sette");
    cases().renameSelected();
    EXPECT_EQ(asked.last(), QStringLiteral("Due"));
    EXPECT_EQ(cases().list()->item(0)->text(), QStringLiteral("Sette"));

    // Loaded: its value goes back into the panel.
    cases().loadSelected();
    EXPECT_EQ(panel().values().value(QStringLiteral("@ATTPREZZO")), QStringLiteral("7"));

    // An expected value of the wrong type is refused and the stored one stays; a good one is kept.
    cases().list()->setCurrentRow(0);
    cases().comparison()->item(0, 1)->setText(QStringLiteral("abc"));
    EXPECT_EQ(cases().messageLabel()->text(),
              QStringLiteral("«abc» non è un numero valido per decimal(17,6)"));
    EXPECT_EQ(cases().comparison()->item(0, 1)->text(), QStringLiteral("57,000000"));
    cases().comparison()->item(0, 1)->setText(QStringLiteral("58.000000"));
    cases().runSelected();
    EXPECT_EQ(cases().messageLabel()->text(),
              QStringLiteral("[Prezzo lordo]: atteso 58,000000, calcolato 57,000000"));

    // Deleting asks; No keeps it, Yes deletes it.
    responder.clear();
    cases().removeSelected();
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests().first().code, 292);
    EXPECT_EQ(cases().list()->count(), 2);
    responder.push(6);
    cases().removeSelected();
    ASSERT_EQ(cases().list()->count(), 1);
    EXPECT_EQ(cases().list()->item(0)->text(), QStringLiteral("Uno"));
    (void)w;
}

TEST_F(Cases, NothingToSaveBeforeARunAndTheStripInEnglish) {
    host::TranslationService english;
    ASSERT_GE(english.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en")), 1);
    global.setTranslation(&english);
    FRMLP_FORMULE& w = openProvider();
    w.showTrialPanel(true);
    names << QStringLiteral("x");
    cases().saveButton()->click();
    EXPECT_EQ(cases().messageLabel()->text(),
              QStringLiteral("Try the formula first: the case takes the outputs of the last trial."));
    EXPECT_EQ(cases().saveButton()->text(), QStringLiteral("Save as test case"));
    names.clear();
    saveCase(QStringLiteral("1"), QStringLiteral("One"));
    saveCase(QStringLiteral("2"), QStringLiteral("Two"));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Gross price] = [Gross price - CURR] + 49"));
    check();
    EXPECT_EQ(w.assist()->stripMessage(), QStringLiteral("2 test cases: 2 differ"));
    global.setTranslation(nullptr);
}

// A case saved by an English user keeps its values in a form of no language: an Italian user
// loads it with the Italian separators, and it runs and passes the same.
TEST_F(Cases, SavedInEnglishRunsTheSameInItalian) {
    host::TranslationService english;
    ASSERT_GE(english.load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en")), 1);
    global.setTranslation(&english);
    openProvider();
    saveCase(QStringLiteral("1,000.5"), QStringLiteral("Thousand"));
    ASSERT_EQ(cases().cases().size(), 1);
    EXPECT_EQ(cases().cases().first().inputs.value(QStringLiteral("@ATTPREZZO")), QStringLiteral("1000.5"));
    EXPECT_EQ(cases().cases().first().expected.first(), QStringLiteral("1050.500000"));
    EXPECT_EQ(panel().outputTable()->item(0, 2)->text(), QStringLiteral("1050.500000"));
    global.setTranslation(nullptr);

    window.reset();
    openProvider();
    window->showTrialPanel(true);
    cases().list()->setCurrentRow(0);
    EXPECT_EQ(cases().comparison()->item(0, 1)->text(), QStringLiteral("1050,500000"));
    cases().loadSelected();
    EXPECT_EQ(panel().values().value(QStringLiteral("@ATTPREZZO")), QStringLiteral("1000,5"));
    panel().runButton()->click();
    ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
    EXPECT_EQ(panel().outputTable()->item(0, 2)->text(), QStringLiteral("1050,500000"));
    cases().runSelected();
    ASSERT_TRUE(cases().outcomes().value(0));
    EXPECT_TRUE(cases().outcomes().value(0)->passed) << cases().outcomes().value(0)->difference.toStdString();
    // An expected value typed the Italian way is kept as the server writes it.
    cases().comparison()->item(0, 1)->setText(QStringLiteral("1.050,5"));
    EXPECT_EQ(cases().cases().first().expected.first(), QStringLiteral("1050.500000"));
    EXPECT_EQ(cases().messageLabel()->text(), QString());
}

} // namespace
