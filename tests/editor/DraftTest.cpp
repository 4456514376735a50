// Unsaved changes kept as a draft when the window closes and offered when the record opens again;
// a stored formula whose display form would not save back unchanged is told at load, and a save
// that would change lines the user did not edit is asked about first.
#include "EditorFixture.h"

#include "editor/FormulaAssist.h"
#include "host/UserSettings.h"

namespace {

using editor::FRMLP_FORMULE;
using editortest::Editor;
using editortest::ui;

class Drafts : public Editor {
protected:
    QVariant draft(int context, int id) const {
        return global.Settings()->User()->Value(QStringLiteral("drafts/%1/%2").arg(context).arg(id));
    }
    QString stored(int id) {
        ado::Connection c;
        c.Open(connectionString);
        const ado::RecordsetPtr rs =
            c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = %1").arg(id));
        return (*rs)[QStringLiteral("LP01_FORMULE")].Value().toString();
    }
    // The requests whose text holds `part`.
    QList<host::Request> asked(const QString& part) const {
        QList<host::Request> found;
        for (const host::Request& r : responder.requests())
            if (r.text.contains(part))
                found.append(r);
        return found;
    }
    // The strip's whole message (the label elides a long one in the middle).
    static QString strip(FRMLP_FORMULE& w) { return w.assist()->stripMessage(); }
};

const QString Edited = QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR] + 75");

TEST_F(Drafts, AnUnsavedChangeIsKeptAndRestored) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QString shown = ui(w).TXT_FORMULA->Text();
    ui(w).TXT_FORMULA->SetText(Edited);
    EXPECT_TRUE(w.Unload());
    // The unload was not cancelled and asked nothing; the draft is in the user's settings.
    EXPECT_TRUE(responder.requests().isEmpty());
    EXPECT_EQ(draft(0, 1).toMap().value(QStringLiteral("text")).toString(), Edited);
    EXPECT_EQ(stored(1), QStringLiteral("SET @OUTPREZZO = @ATTPREZZO + 50"));

    responder.push(host::answer::Yes);
    FRMLP_FORMULE& again = open(0, core::Variant::fromInt32(1));
    const QList<host::Request> offers = asked(QStringLiteral("Bozza non salvata del "));
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers.first().title, QStringLiteral("Bozza non salvata"));
    EXPECT_EQ(offers.first().captions,
              (QStringList{QStringLiteral("Ripristina bozza"), QStringLiteral("Scarta bozza")}));
    EXPECT_EQ(offers.first().code, host::mb::YesNo | host::mb::Question);
    EXPECT_TRUE(offers.first().text.contains(QStringLiteral(": ripristina / scarta")));
    EXPECT_EQ(ui(again).TXT_FORMULA->Text(), Edited);
    // Undo goes back to the stored formula; closing with the draft unsaved keeps it.
    again.UndoFormula();
    EXPECT_EQ(ui(again).TXT_FORMULA->Text(), shown);
    again.RedoFormula();
    EXPECT_TRUE(again.Unload());
    EXPECT_EQ(draft(0, 1).toMap().value(QStringLiteral("text")).toString(), Edited);
    // Another record has a draft of its own, or none.
    EXPECT_FALSE(draft(0, 2).isValid());
}

TEST_F(Drafts, ADiscardedDraftIsGone) {
    open(0, core::Variant::fromInt32(2));
    ui(*window).TXT_FORMULA->SetText(Edited);
    window->Unload();
    responder.push(host::answer::No);
    FRMLP_FORMULE& again = open(0, core::Variant::fromInt32(2));
    EXPECT_EQ(asked(QStringLiteral("Bozza non salvata del ")).size(), 1);
    EXPECT_NE(ui(again).TXT_FORMULA->Text(), Edited);
    EXPECT_FALSE(draft(0, 2).isValid());
    again.Unload();
    responder.clear();
    open(0, core::Variant::fromInt32(2));
    EXPECT_TRUE(responder.requests().isEmpty());
}

TEST_F(Drafts, NothingIsKeptWithoutUnsavedChanges) {
    struct Case {
        const char* name;
        std::function<void(FRMLP_FORMULE&)> act;
    };
    const Case cases[] = {
        {"untouched", [](FRMLP_FORMULE&) {}},
        {"saved",
         [](FRMLP_FORMULE& w) {
             ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 12"));
             w.UpdateFormula();
         }},
        {"changed and changed back",
         [](FRMLP_FORMULE& w) {
             const QString text = ui(w).TXT_FORMULA->Text();
             ui(w).TXT_FORMULA->SetText(Edited);
             ui(w).TXT_FORMULA->SetText(text + QStringLiteral("   "));
         }},
    };
    for (const Case& c : cases) {
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(3));
        c.act(w);
        w.Unload();
        EXPECT_FALSE(draft(0, 3).isValid()) << c.name;
    }
    // A window without a record keeps nothing.
    FRMLP_FORMULE& none = open(0, core::Variant::fromInt32(0));
    ui(none).TXT_FORMULA->SetText(Edited);
    none.Unload();
    EXPECT_FALSE(draft(0, 0).isValid());
}

TEST_F(Drafts, ADoubledApostropheIsToldAtLoadAndAskedAboutAtSave) {
    execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = "
                           "'SET @OUTSC1PERC = 1' + CHAR(10) + 'SET @OUTPREZZO = LEN(''l''''ora'')' "
                           "WHERE LP01_ID = 4"));
    const QString before = stored(4);
    ASSERT_EQ(before, QStringLiteral("SET @OUTSC1PERC = 1\nSET @OUTPREZZO = LEN('l''ora')"));
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(4));
    // As prescribed, the box shows the apostrophes single; the strip says the text would not
    // save back unchanged.
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().endsWith(QStringLiteral("LEN('l'ora')")));
    EXPECT_EQ(w.roundTripLines(), QList<int>{2});
    EXPECT_TRUE(strip(w).contains(QStringLiteral("non si salva uguale a quella memorizzata (righe 2)")))
        << strip(w).toStdString();
    EXPECT_TRUE(responder.requests().isEmpty());

    // A save of the untouched text asks first; No writes nothing.
    responder.push(host::answer::No);
    w.UpdateFormula();
    const QList<host::Request> questions = asked(QStringLiteral("righe che non hai modificato (righe 2)"));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions.first().code, host::mb::YesNo | host::mb::Exclamation | host::mb::DefaultButton2);
    EXPECT_EQ(questions.first().title, QStringLiteral("Salvataggio formula"));
    EXPECT_EQ(stored(4), before);

    // An edit of another line still leaves line 2 changed behind the user's back.
    responder.clear();
    responder.push(host::answer::No);
    const QString loaded = ui(w).TXT_FORMULA->Text();
    ASSERT_EQ(loaded.count(QStringLiteral(" = 1")), 1);
    ui(w).TXT_FORMULA->SetText(QString(loaded).replace(QStringLiteral(" = 1"), QStringLiteral(" = 2")));
    w.UpdateFormula();
    EXPECT_EQ(asked(QStringLiteral("righe che non hai modificato")).size(), 1);
    EXPECT_EQ(stored(4), before);

    // Line 2 repaired by the user as well: nothing to ask, the formula is written.
    responder.clear();
    ui(w).TXT_FORMULA->SetText(QString(loaded)
                                   .replace(QStringLiteral(" = 1"), QStringLiteral(" = 2"))
                                   .replace(QStringLiteral("LEN('l'ora')"), QStringLiteral("LEN('l''ora')")));
    w.UpdateFormula();
    EXPECT_TRUE(asked(QStringLiteral("righe che non hai modificato")).isEmpty());
    EXPECT_EQ(stored(4), QStringLiteral("SET @OUTSC1PERC = 2\r\nSET @OUTPREZZO = LEN('l''ora')"));
}

// In English: the offer, its buttons and the round trip's texts come from the catalogue.
TEST_F(Drafts, TheTextsInEnglish) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    execute(QStringLiteral("UPDATE LP01_PROVIDER SET LP01_FORMULE = 'SET @OUTPREZZO = LEN(''l''''ora'')' "
                           "WHERE LP01_ID = 4"));
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(4));
    EXPECT_TRUE(strip(w).contains(QStringLiteral("does not save back as it is stored (lines 1)")))
        << strip(w).toStdString();
    ui(w).TXT_FORMULA->SetText(Edited);
    w.Unload();
    responder.push(host::answer::No);
    open(0, core::Variant::fromInt32(4));
    const QList<host::Request> offers = asked(QStringLiteral("Unsaved draft of "));
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers.first().title, QStringLiteral("Unsaved draft"));
    EXPECT_EQ(offers.first().captions,
              (QStringList{QStringLiteral("Restore draft"), QStringLiteral("Discard draft")}));
    EXPECT_TRUE(offers.first().text.contains(QStringLiteral(": restore / discard")));
    responder.clear();
    responder.push(host::answer::No);
    window->UpdateFormula();
    const QList<host::Request> questions = asked(QStringLiteral("lines you did not change (lines 1)"));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.first().text.endsWith(QStringLiteral("Save anyway?")));
    EXPECT_EQ(questions.first().title, QStringLiteral("Saving the formula"));
}

} // namespace
