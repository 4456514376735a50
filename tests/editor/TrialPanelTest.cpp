// The trial panel of the editor: Ctrl+T, the inputs of the elements the formula reads, the
// outputs of a run with the changed ones in bold, the trace in the box's margin, an error with
// its line, and the values remembered for the record in the user's settings.
#include "EditorFixture.h"

#include "editor/TrialPanel.h"
#include "host/UserSettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

using namespace editortest;

class Trial : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
    }
    editor::TrialPanel& panel() { return *window->trialPanel(); }
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

TEST_F(Trial, CtrlTShowsTheInputsAndPromptRunsTheFormula) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    w.TXT_FORMULA->SetText(
        QStringLiteral("IF [Sezionale] = 'A'\r\n  SET [Prezzo lordo] = [Prezzo lordo - CURR] + "
                       "50\r\nELSE\r\n  SET [Prezzo lordo] = 0"));
    EXPECT_FALSE(panel().isVisible());
    QTest::keyClick(w.TXT_FORMULA, Qt::Key_T, Qt::ControlModifier);
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
    EXPECT_EQ(out->item(0, 2)->text(), QStringLiteral("110.000000"));
    EXPECT_TRUE(out->item(0, 2)->font().bold());
    EXPECT_FALSE(out->item(1, 2)->font().bold());
    EXPECT_EQ(panel().margin()->executedLines(), (QList<int>{1, 2}));
    QTest::keyClick(w.TXT_FORMULA, Qt::Key_T, Qt::ControlModifier);
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(Trial, RunTimeErrorIsShownWithItsLine) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    w.TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 1 / 0"));
    w.showTrialPanel(true);
    panel().runButton()->click();
    EXPECT_FALSE(panel().lastResult().ran);
    EXPECT_EQ(panel().margin()->errorLine(), 2);
    EXPECT_TRUE(panel().messageLabel()->text().startsWith(QStringLiteral("Msg 8134")));
}

TEST_F(Trial, ValuesAreRememberedPerRecordInTheUsersSettings) {
    {
        FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
        w.TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]"));
        w.showTrialPanel(true);
        input("@ATTPREZZO")->setText(QStringLiteral("7"));
        panel().runButton()->click();
        window.reset();
    }
    const QVariantMap stored = global.Settings()->User()->Value(QStringLiteral("trial/values/0/1")).toMap();
    EXPECT_EQ(stored.value(QStringLiteral("@ATTPREZZO")).toString(), QStringLiteral("7"));
    EXPECT_TRUE(global.Settings()->User()->Value(QStringLiteral("trial/visible")).toBool());
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    w.TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = [Prezzo lordo - CURR]"));
    panel().refreshElements();
    ASSERT_TRUE(input("@ATTPREZZO"));
    EXPECT_EQ(input("@ATTPREZZO")->text(), QStringLiteral("7"));
}

// Categories and variants are listed by their display text, as the box shows them.
TEST_F(Trial, CategoriesAndVariantsShowTheirDisplayText) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    w.TXT_FORMULA->SetText(QStringLiteral("IF {C01 - Colore} = 'ROSSO' AND |V01 - Colore scocca| = 'BLU'\r\n"
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
    EXPECT_EQ(panel().outputTable()->item(0, 2)->text(), QStringLiteral("1.000000"));
}

// The trial button is not one of the resize manager's controls: it keeps its distance from the
// check button wherever the window's size puts that one.
TEST_F(Trial, ButtonFollowsTheCheckButtonWhenTheWindowIsResized) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QPoint before = w.IMG_TRIAL->pos() - w.IMG_CHECK->pos();
    w.resize(w.width() + 160, w.height() + 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.IMG_TRIAL->pos() - w.IMG_CHECK->pos(), before);
    EXPECT_EQ(w.IMG_TRIAL->y(), w.IMG_CHECK->y());
}

} // namespace
