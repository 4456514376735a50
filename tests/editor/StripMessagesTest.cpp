// The message strip as a user reads it: the server's frequent messages explained first, the names
// as the formula writes them, long texts whole on hover, the marks' messages under the mouse, and
// a save's confirmation that gives way to unsaved changes.
#include "EditorFixture.h"

#include "diagnostics/LiveDiagnostics.h"
#include "editor/FormulaAssist.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

namespace {

using namespace editortest;

class Strip : public Editor {
protected:
    editor::FormulaAssist& assist() { return *window->assist(); }
    void waitForDiagnostics() {
        bool done = false;
        QObject::connect(assist().live(), &diagnostics::LiveDiagnostics::ready, [&done] { done = true; });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    }
    void check() {
        responder.clear();
        QTest::keyClick(ui(*window).TXT_FORMULA, Qt::Key_H, Qt::ControlModifier);
        ASSERT_EQ(responder.requests().size(), 1);
    }
};

TEST_F(Strip, TheServersMessageIsExplainedWithTheNamesAsWritten) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 1 [Prezzo lordo]"));
    check();
    const QString shown = assist().stripMessage();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Riga 1, colonna ")));
    EXPECT_TRUE(shown.contains(QStringLiteral(": Sintassi non corretta vicino a '[Prezzo lordo]'. (Msg 102: "
                                              "Incorrect syntax near '[Prezzo lordo]'.)")))
        << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("@OUTPREZZO")));
    // The server's own text stays at hand: in the tooltip and for copying.
    EXPECT_TRUE(assist().strip()->toolTip().contains(QStringLiteral("Incorrect syntax near '@OUTPREZZO'.")));
    QAction* copy = assist().strip()->findChild<QAction*>(QStringLiteral("ACT_COPIAMESSAGGIO"));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isVisible());
    copy->trigger();
    EXPECT_TRUE(
        QGuiApplication::clipboard()->text().startsWith(QStringLiteral("Msg 102, Level 15, State 1")));
}

TEST_F(Strip, EnglishWindowExplainsInEnglish) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SELECT 1 / 0"));
    check();
    const QString shown = assist().stripMessage();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Line 1, column "))) << shown.toStdString();
    EXPECT_TRUE(
        shown.contains(QStringLiteral(": Division by zero. (Msg 8134: Divide by zero error encountered.)")))
        << shown.toStdString();
}

TEST_F(Strip, ALongMessageIsCutInTheMiddleAndWholeOnHover) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QString unknown = QStringLiteral("[prezzo lordo") + QString(60, u'x') + u']';
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = ") + unknown);
    waitForDiagnostics();
    const QString whole = assist().stripMessage();
    ASSERT_TRUE(whole.contains(unknown));
    assist().strip()->parentWidget()->resize(260, assist().strip()->parentWidget()->height());
    QCoreApplication::processEvents();
    const QString shown = assist().strip()->text();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LT(shown.size(), whole.size());
    EXPECT_EQ(shown.left(2), whole.left(2));
    EXPECT_EQ(shown.right(2), whole.right(2));
    EXPECT_EQ(assist().strip()->toolTip(), whole);
}

TEST_F(Strip, HoveringAWavyUnderlineShowsItsMessage) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const QString text = QStringLiteral("SET [Prezzo lordo] = [prezzo lordo]");
    ui(w).TXT_FORMULA->SetText(text);
    waitForDiagnostics();
    const qsizetype at = text.indexOf(QStringLiteral("[prezzo"));
    EXPECT_TRUE(
        assist().messageAt(at + 2).startsWith(QStringLiteral("Etichetta sconosciuta [prezzo lordo].")));
    EXPECT_TRUE(assist().messageAt(1).isEmpty());
    // The tooltip of the box there.
    QTextCursor cursor(ui(w).TXT_FORMULA->document());
    cursor.setPosition(int(at + 2));
    const QPoint pos = ui(w).TXT_FORMULA->cursorRect(cursor).center();
    QHelpEvent help(QEvent::ToolTip, pos, ui(w).TXT_FORMULA->viewport()->mapToGlobal(pos));
    QCoreApplication::sendEvent(ui(w).TXT_FORMULA->viewport(), &help);
    EXPECT_TRUE(QToolTip::text().startsWith(QStringLiteral("Etichetta sconosciuta")))
        << QToolTip::text().toStdString();
}

TEST_F(Strip, ASavesConfirmationGivesWayWhenTheTextChangesAgain) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 7"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(assist().stripMessage(), QStringLiteral("Formula salvata"));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 8"));
    EXPECT_TRUE(assist().hasUnsavedChanges());
    EXPECT_NE(assist().stripMessage(), QStringLiteral("Formula salvata"));
    EXPECT_NE(assist().strip()->text(), QStringLiteral("Formula salvata"));
}

} // namespace
