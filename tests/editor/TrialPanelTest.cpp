// The trial panel of the editor: Ctrl+T, the inputs of the elements the formula reads, the
// outputs of a run with the changed ones in bold, the trace in the box's margin, an error with
// its line, and the values remembered for the record in the user's settings.
#include "EditorFixture.h"

#include "editor/TrialPanel.h"
#include "host/UserSettings.h"
#include "language/References.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

using namespace editortest;

// Every test twice: where the compiled evaluator may run the formula, and on the engine alone.
class Trial : public Editor, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        Editor::SetUp();
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
    }
    editor::TrialPanel& panel() {
        window->trialPanel()->setCompiledAllowed(GetParam());
        return *window->trialPanel();
    }
    int rowOf(const char* key) {
        QTableWidget* t = panel().inputTable();
        for (int row = 0; row < t->rowCount(); ++row)
            if (auto* edit = qobject_cast<QLineEdit*>(t->cellWidget(row, 2));
                edit && edit->objectName() == QLatin1String(key))
                return row;
        return -1;
    }
    QLineEdit* input(const char* key) {
        QTableWidget* t = panel().inputTable();
        for (int row = 0; row < t->rowCount(); ++row)
            if (auto* edit = qobject_cast<QLineEdit*>(t->cellWidget(row, 2));
                edit && edit->objectName() == QLatin1String(key))
                return edit;
        return nullptr;
    }
};

TEST_P(Trial, CtrlTShowsTheInputsAndPromptRunsTheFormula) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(
        QStringLiteral("IF [Sezionale] = 'A'\r\n  SET [Prezzo lordo] = [Prezzo lordo - CURR] + "
                       "50\r\nELSE\r\n  SET [Prezzo lordo] = 0"));
    EXPECT_FALSE(panel().isVisible());
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(panel().isVisible());
    ASSERT_EQ(panel().inputTable()->rowCount(), 3); // @OUTPREZZO, @ATTPREZZO, @DO11_SEZDOC
    ASSERT_TRUE(input("@ATTPREZZO"));
    EXPECT_EQ(panel().inputTable()->item(1, 1)->text(), QStringLiteral("decimal(17,6)"));
    input("@ATTPREZZO")->setText(QStringLiteral("60"));
    input("@DO11_SEZDOC")->setText(QStringLiteral("A"));
    panel().runButton()->click();
    ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
    QTableWidget* out = panel().outputTable();
    EXPECT_EQ(out->item(0, 0)->text(), QStringLiteral("[Prezzo lordo]"));
    EXPECT_EQ(out->item(0, 1)->text(), QStringLiteral("NULL"));
    EXPECT_EQ(out->item(0, 2)->text(), QStringLiteral("110,000000")); // the Italian decimal comma
    EXPECT_TRUE(out->item(0, 2)->font().bold());
    EXPECT_FALSE(out->item(1, 2)->font().bold());
    EXPECT_EQ(panel().margin()->executedLines(), (QList<int>{1, 2}));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(panel().isVisible());
}

TEST_P(Trial, RunTimeErrorIsShownWithItsLine) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 1 / 0"));
    w.showTrialPanel(true);
    panel().runButton()->click();
    EXPECT_FALSE(panel().lastResult().ran);
    EXPECT_EQ(panel().margin()->errorLine(), 2);
    // Explained in the window's language, the place in words; the server's text after it and whole
    // in the tooltip.
    EXPECT_TRUE(panel().messageLabel()->text().startsWith(QStringLiteral("Riga 2")))
        << panel().messageLabel()->text().toStdString();
    EXPECT_TRUE(panel().messageLabel()->text().contains(
        QStringLiteral(": Divisione per zero. (Msg 8134: Divide by zero error encountered.)")));
    EXPECT_FALSE(panel().messageLabel()->text().contains(QStringLiteral("(column")));
    EXPECT_TRUE(panel().messageLabel()->toolTip().startsWith(QStringLiteral("Msg 8134")));
}

// Ctrl+T puts the focus in the first value; Tab goes from value to value, never to the element
// and type cells, so what is typed next lands in the next value.
TEST_P(Trial, CtrlTFocusesTheFirstValueAndTabMovesValueToValue) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    w.activateWindow();
    ui(w).TXT_FORMULA->SetText(
        QStringLiteral("IF [Sezionale] = 'A'\r\n  SET [Prezzo lordo] = [Prezzo lordo - CURR] + 50"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(panel().isVisible());
    QTableWidget* t = panel().inputTable();
    ASSERT_EQ(t->rowCount(), 3);
    auto* first = qobject_cast<QLineEdit*>(t->cellWidget(0, 2));
    auto* second = qobject_cast<QLineEdit*>(t->cellWidget(1, 2));
    auto* third = qobject_cast<QLineEdit*>(t->cellWidget(2, 2));
    ASSERT_TRUE(first && second && third);
    QTRY_VERIFY_WITH_TIMEOUT(first->hasFocus(), 5000);
    QTest::keyClicks(first, QStringLiteral("1"));
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
    QTest::keyClicks(second, QStringLiteral("60"));
    QTest::keyClick(second, Qt::Key_Tab);
    EXPECT_TRUE(third->hasFocus());
    QTest::keyClicks(third, QStringLiteral("A"));
    QTest::keyClick(third, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(second->hasFocus());
    QTest::keyClick(second, Qt::Key_Tab);
    QTest::keyClick(third, Qt::Key_Tab);
    EXPECT_TRUE(panel().runButton()->hasFocus());
    EXPECT_EQ(first->text(), QStringLiteral("1"));
    EXPECT_EQ(second->text(), QStringLiteral("60"));
    EXPECT_EQ(third->text(), QStringLiteral("A"));
}

TEST_P(Trial, ValuesAreRememberedPerRecordInTheUsersSettings) {
    {
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
        ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]"));
        w.showTrialPanel(true);
        input("@ATTPREZZO")->setText(QStringLiteral("7"));
        panel().runButton()->click();
        window.reset();
    }
    const QVariantMap stored = global.Settings()->User()->Value(QStringLiteral("trial/values/0/1")).toMap();
    EXPECT_EQ(stored.value(QStringLiteral("@ATTPREZZO")).toString(), QStringLiteral("7"));
    EXPECT_TRUE(global.Settings()->User()->Value(QStringLiteral("trial/visible")).toBool());
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]"));
    panel().refreshElements();
    ASSERT_TRUE(input("@ATTPREZZO"));
    EXPECT_EQ(input("@ATTPREZZO")->text(), QStringLiteral("7"));
}

// Categories and variants are listed by their display text, as the box shows them.
TEST_P(Trial, CategoriesAndVariantsShowTheirDisplayText) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(
        QStringLiteral("IF {C01 - Colore} = 'ROSSO' AND |V01 - Colore scocca| = 'BLU'\r\n"
                       "  SET [Prezzo lordo] = 1"));
    w.showTrialPanel(true);
    QTableWidget* t = panel().inputTable();
    const int category = rowOf("C:123");
    const int variant = rowOf("V:V01");
    ASSERT_GE(category, 0);
    ASSERT_GE(variant, 0);
    EXPECT_EQ(t->item(category, 0)->text(), QStringLiteral("{C01 - Colore}"));
    EXPECT_EQ(t->item(variant, 0)->text(), QStringLiteral("|V01 - Colore scocca|"));
    EXPECT_EQ(t->item(category, 1)->text(), QStringLiteral("testo"));
    input("C:123")->setText(QStringLiteral("ROSSO"));
    input("V:V01")->setText(QStringLiteral("BLU"));
    panel().runButton()->click();
    ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
    EXPECT_EQ(panel().outputTable()->item(0, 2)->text(), QStringLiteral("1,000000"));
}

// The panel in English: its captions, the labels of the elements, a refused value and a run.
TEST_P(Trial, EnglishTexts) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(ui(w).IMG_TRIAL->toolTip(), QStringLiteral("Try the formula (Ctrl+T)"));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Gross price] = [Gross price - CURR] + 1"));
    w.showTrialPanel(true);
    EXPECT_EQ(panel().windowTitle(), QStringLiteral("Formula trial"));
    EXPECT_EQ(panel().runButton()->text(), QStringLiteral("Try"));
    QStringList headers;
    for (QTableWidget* t : {panel().inputTable(), panel().outputTable()})
        for (int column = 0; column < t->columnCount(); ++column)
            headers << t->horizontalHeaderItem(column)->text();
    EXPECT_EQ(headers,
              (QStringList{QStringLiteral("Element"), QStringLiteral("Type"), QStringLiteral("Value"),
                           QStringLiteral("Output"), QStringLiteral("Before"), QStringLiteral("After")}));
    const int price = rowOf("@ATTPREZZO");
    ASSERT_GE(price, 0);
    EXPECT_EQ(panel().inputTable()->item(price, 0)->text(), QStringLiteral("[Gross price - CURR]"));
    input("@ATTPREZZO")->setText(QStringLiteral("abc"));
    panel().runButton()->click();
    EXPECT_EQ(
        panel().messageLabel()->text(),
        QStringLiteral("Value not allowed for [Gross price - CURR]: \u201Cabc\u201D is not a valid number "
                       "for decimal(17,6)"));
    // Numbers as English writes them: a lone comma before three digits could be either reading.
    input("@ATTPREZZO")->setText(QStringLiteral("1,000"));
    panel().runButton()->click();
    EXPECT_EQ(
        panel().messageLabel()->text(),
        QStringLiteral("Value not allowed for [Gross price - CURR]: \u201C1,000\u201D is ambiguous: write "
                       "1000 if the comma separates thousands, 1.000 if it separates decimals"));
    input("@ATTPREZZO")->setText(QStringLiteral("1,000.5"));
    panel().runButton()->click();
    ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
    EXPECT_EQ(panel().messageLabel()->text(),
              QStringLiteral("Done: the lines marked left of the formula ran."));
    EXPECT_EQ(panel().outputTable()->item(0, 0)->text(), QStringLiteral("[Gross price]"));
    EXPECT_EQ(panel().outputTable()->item(0, 2)->text(), QStringLiteral("1001.500000"));
}

// Every Italian text the panel asks the host to translate, in every state it can show, has an
// English entry in the catalogues.
TEST_P(Trial, EveryTextOfThePanelHasAnEnglishEntry) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    QStringList asked;
    QStringList missing;
    controls::VxlRichTextBox box;
    editor::TrialPanel p(&box, [&](const QString& italian) {
        const QString english = global.Translation()->translate(italian);
        asked << italian;
        if (english == italian)
            missing << italian;
        return english;
    });
    p.setCompiledAllowed(GetParam());
    ado::Connection c;
    c.Open(connectionString);
    ado::Connection* connection = nullptr;
    const QString sql = QStringLiteral("IF @DO11_SEZDOC = 'A' AND ") +
                        language::refs::categorySubQuery(0, "123") +
                        QStringLiteral(" = 'ROSSO'\r\n  SET @OUTPREZZO = @ATTPREZZO + 1");
    p.setSources({.sqlForm = [&] { return sql; }, .connection = [&] { return connection; }, .labelOf = {}});
    p.refreshElements();
    p.run(); // no connection
    connection = &c;
    auto type = [&](const char* key, const char* text) {
        for (int row = 0; row < p.inputTable()->rowCount(); ++row)
            if (auto* edit = qobject_cast<QLineEdit*>(p.inputTable()->cellWidget(row, 2));
                edit && edit->objectName() == QLatin1String(key))
                edit->setText(QString::fromUtf8(text));
    };
    type("@ATTPREZZO", "abc");
    p.run();
    type("@ATTPREZZO", "1e40");
    p.run();
    type("@ATTPREZZO", "1");
    type("@DO11_SEZDOC", "ABC");
    p.run();
    type("@DO11_SEZDOC", "A");
    p.run();
    EXPECT_TRUE(p.lastResult().ran) << p.lastResult().message.toStdString();
    EXPECT_GE(asked.size(), 15);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(" | ")).toStdString();
}

// The trial button is not one of the resize manager's controls: it keeps its distance from the
// check button wherever the window's size puts that one.
TEST_P(Trial, ButtonFollowsTheCheckButtonWhenTheWindowIsResized) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QPoint before = ui(w).IMG_TRIAL->pos() - ui(w).IMG_CHECK->pos();
    w.resize(w.width() + 160, w.height() + 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(ui(w).IMG_TRIAL->pos() - ui(w).IMG_CHECK->pos(), before);
    EXPECT_EQ(ui(w).IMG_TRIAL->y(), ui(w).IMG_CHECK->y());
}

// The discreet line under the outputs says which evaluation ran the formula and why; a value
// refused runs nothing and leaves it empty.
TEST_P(Trial, TheLineUnderTheOutputsSaysWhichEvaluationRanIt) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]\r\nRETURN"));
    w.showTrialPanel(true);
    panel().runButton()->click();
    EXPECT_FALSE(panel().lastResult().ran);
    EXPECT_EQ(panel().pathLabel()->text(),
              GetParam()
                  ? QStringLiteral("l'ha eseguita il motore: RETURN alla riga 2, colonna 1")
                  : QStringLiteral("l'ha eseguita il motore: il valutatore compilato è stato escluso"));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]"));
    panel().refreshElements();
    ASSERT_TRUE(input("@ATTPREZZO"));
    input("@ATTPREZZO")->setText(QStringLiteral("2"));
    panel().runButton()->click();
    ASSERT_TRUE(panel().lastResult().ran) << panel().lastResult().message.toStdString();
    ASSERT_TRUE(panel().lastResult().path.has_value());
    EXPECT_EQ(panel().pathLabel()->text(), check::describePath(*panel().lastResult().path));
    EXPECT_EQ(panel().lastResult().path->path == check::EvaluationPath::Compiled,
              panel().lastResult().path->reason == check::TrialPath::Reason::Compiled);
    input("@ATTPREZZO")->setText(QStringLiteral("abc"));
    panel().runButton()->click();
    EXPECT_TRUE(panel().pathLabel()->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Paths, Trial, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& param) {
    return param.param ? "CompiledWherePossible" : "EngineOnly";
});

} // namespace
