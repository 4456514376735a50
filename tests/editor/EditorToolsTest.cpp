// The formula box's editing tools in the window: line numbers, Ctrl+/ on the selected lines,
// go to line (Ctrl+G), find and replace (Ctrl+R), the zoom remembered for the user, completion
// of the engine's words after Ctrl+Space, and the buttons' tooltips with their keys. Every change
// of the text is one step of the window's undo history.
#include "EditorFixture.h"

#include "editor/EditorTools.h"
#include "editor/ElementCompleter.h"
#include "editor/ElementFinding.h"
#include "editor/FindReplaceBar.h"
#include "editor/LineGutter.h"
#include "host/UserSettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextBlock>
#include <QWheelEvent>

namespace {

using namespace editortest;

class Tools : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        global.Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
    }
    editor::EditorTools& tools() { return *window->findChild<editor::EditorTools*>(); }
    editor::FindReplaceBar& bar() { return *tools().findBar(); }
    controls::VxlRichTextBox* box() { return ui(*window).TXT_FORMULA; }

    // The box holds `text` as one history snapshot.
    void startWith(const QString& text) {
        box()->SetText(text);
        window->RecordUndoState();
    }
    void selectAll() {
        QTextCursor c = box()->textCursor();
        c.select(QTextCursor::Document);
        box()->setTextCursor(c);
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box(), key, modifiers);
    }
};

const QString TwoLines = QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Prezzo lordo] = 2");

TEST_F(Tools, GutterNumbersTheLinesAndWidensWithThem) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    editor::LineGutter* gutter = tools().gutter();
    ASSERT_NE(gutter, nullptr);
    EXPECT_TRUE(gutter->isVisible());
    startWith(TwoLines);
    const int narrow = box()->GutterWidth();
    EXPECT_EQ(narrow, gutter->widthFor(2));
    EXPECT_EQ(gutter->width(), narrow);
    // The text area starts right of the gutter (and of the trial's margin of marks).
    EXPECT_GE(box()->viewport()->geometry().left(), narrow + box()->LeftMargin());
    EXPECT_EQ(
        gutter->lineAt(box()->cursorRect(QTextCursor(box()->document()->findBlockByNumber(1))).center().y()),
        2);
    box()->SetText(QStringLiteral("x\r\n").repeated(120));
    EXPECT_GT(box()->GutterWidth(), narrow); // three digits
    // A click on a number puts the caret at its line.
    QTest::mouseClick(
        gutter, Qt::LeftButton, {},
        QPoint(4, box()->cursorRect(QTextCursor(box()->document()->findBlockByNumber(2))).center().y()));
    EXPECT_EQ(box()->textCursor().blockNumber(), 2);
    (void)w;
}

TEST_F(Tools, CtrlSlashTogglesCommentsAsOneUndoStep) {
    open(0, core::Variant::fromInt32(1));
    startWith(TwoLines);
    const int index = window->UndoIndex();
    box()->setFocus();
    selectAll();
    press(Qt::Key_Slash);
    EXPECT_EQ(box()->Text(), QStringLiteral("-- SET [Prezzo lordo] = 1\r\n-- SET [Prezzo lordo] = 2"));
    EXPECT_EQ(window->UndoIndex(), index + 1);
    window->UndoFormula();
    EXPECT_EQ(box()->Text(), TwoLines);
    window->RedoFormula();
    EXPECT_EQ(box()->Text(), QStringLiteral("-- SET [Prezzo lordo] = 1\r\n-- SET [Prezzo lordo] = 2"));
    // Typed text not yet recorded comes back by one undo after the command too.
    startWith(QStringLiteral("SET [Prezzo lordo] = 1"));
    QTextCursor end = box()->textCursor();
    end.movePosition(QTextCursor::End);
    box()->setTextCursor(end);
    QTest::keyClicks(box(), QStringLiteral("0"));
    press(Qt::Key_Slash);
    EXPECT_EQ(box()->Text(), QStringLiteral("-- SET [Prezzo lordo] = 10"));
    window->UndoFormula();
    EXPECT_EQ(box()->Text(), QStringLiteral("SET [Prezzo lordo] = 10"));
}

TEST_F(Tools, NothingChangesAReadOnlyBox) {
    open(0, core::Variant::fromInt32(1));
    startWith(TwoLines);
    box()->setFocus();
    press(Qt::Key_W); // the technical view: the SQL form, read-only
    const QString sql = box()->Text();
    tools().openFind(true); // the box loses the focus: a snapshot, as for any control
    const int index = window->UndoIndex();
    selectAll();
    tools().toggleComment();
    bar().findField()->setText(QStringLiteral("OUTPREZZO"));
    bar().replaceField()->setText(QStringLiteral("x"));
    EXPECT_EQ(bar().replaceAll(), 0);
    EXPECT_FALSE(bar().replaceCurrent());
    EXPECT_EQ(box()->Text(), sql);
    EXPECT_EQ(window->UndoIndex(), index);
    // Finding still works there.
    EXPECT_TRUE(bar().findNext());
    EXPECT_EQ(box()->textCursor().selectedText(), QStringLiteral("OUTPREZZO"));
}

TEST_F(Tools, CtrlGGoesToALine) {
    open(0, core::Variant::fromInt32(1));
    startWith(TwoLines + QStringLiteral("\r\nSET [Prezzo lordo] = 3"));
    box()->setFocus();
    press(Qt::Key_G);
    ASSERT_TRUE(bar().isVisible());
    EXPECT_EQ(bar().mode(), editor::FindReplaceBar::Mode::GoToLine);
    EXPECT_EQ(window->focusWidget(), bar().lineField());
    const struct {
        const char* typed;
        int block; // -1: stays open and says how many lines there are
    } cases[] = {{"2", 1}, {"3", 2}, {"1", 0}, {"4", -1}, {"0", -1}};
    for (const auto& c : cases) {
        tools().openGoToLine();
        bar().lineField()->setText(QString::fromLatin1(c.typed));
        QTest::keyClick(bar().lineField(), Qt::Key_Return);
        if (c.block < 0) {
            EXPECT_TRUE(bar().isVisible()) << c.typed;
            EXPECT_EQ(bar().status()->text(), QStringLiteral("La formula ha 3 righe")) << c.typed;
        } else {
            EXPECT_FALSE(bar().isVisible()) << c.typed;
            EXPECT_EQ(box()->textCursor().blockNumber(), c.block) << c.typed;
            EXPECT_EQ(box()->textCursor().positionInBlock(), 0) << c.typed;
            EXPECT_EQ(window->focusWidget(), box()) << c.typed;
        }
    }
}

TEST_F(Tools, CtrlRFindsAndReplacesWithCaseAndWholeWord) {
    open(0, core::Variant::fromInt32(1));
    startWith(QStringLiteral("SET @a = 1\r\nSET @ab = @A + 1"));
    box()->setFocus();
    press(Qt::Key_R);
    ASSERT_TRUE(bar().isVisible());
    EXPECT_EQ(bar().mode(), editor::FindReplaceBar::Mode::Replace);
    EXPECT_EQ(window->focusWidget(), bar().findField());
    QTest::keyClicks(bar().findField(), QStringLiteral("@a"));
    bar().wholeWord()->setChecked(true);
    QTest::keyClick(bar().findField(), Qt::Key_Return);
    EXPECT_EQ(box()->textCursor().selectionStart(), 4);
    QTest::keyClick(bar().findField(), Qt::Key_Return);
    EXPECT_EQ(box()->textCursor().selectionStart(), 21); // @A: any case; @ab is no whole word
    QTest::keyClick(bar().findField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(box()->textCursor().selectionStart(), 4);
    bar().matchCase()->setChecked(true);
    bar().replaceField()->setText(QStringLiteral("@z"));
    const int index = window->UndoIndex();
    EXPECT_EQ(bar().replaceAll(), 1);
    EXPECT_EQ(box()->Text(), QStringLiteral("SET @z = 1\r\nSET @ab = @A + 1"));
    EXPECT_EQ(bar().status()->text(), QStringLiteral("Sostituzioni: 1"));
    EXPECT_EQ(window->UndoIndex(), index + 1);
    window->UndoFormula();
    EXPECT_EQ(box()->Text(), QStringLiteral("SET @a = 1\r\nSET @ab = @A + 1"));
    // One replacement at a time: the selected match, then the next is selected.
    bar().matchCase()->setChecked(false);
    box()->SetSelStart(0);
    EXPECT_TRUE(bar().findNext());
    EXPECT_TRUE(bar().replaceCurrent());
    EXPECT_EQ(box()->Text(), QStringLiteral("SET @z = 1\r\nSET @ab = @A + 1"));
    EXPECT_EQ(box()->textCursor().selectedText(), QStringLiteral("@A"));
    bar().findField()->setText(QStringLiteral("absent"));
    EXPECT_FALSE(bar().findNext());
    EXPECT_EQ(bar().status()->text(), QStringLiteral("Nessuna corrispondenza"));
    QTest::keyClick(bar().findField(), Qt::Key_Escape);
    EXPECT_FALSE(bar().isVisible());
    EXPECT_EQ(window->focusWidget(), box());
}

TEST_F(Tools, ZoomIsRememberedForTheUser) {
    open(0, core::Variant::fromInt32(1));
    const qreal designed = box()->font().pointSizeF();
    box()->setFocus();
    press(Qt::Key_Equal);
    press(Qt::Key_Equal);
    EXPECT_EQ(box()->font().pointSizeF(), designed + 2);
    press(Qt::Key_Minus);
    EXPECT_EQ(tools().zoom(), 1);
    EXPECT_EQ(global.Settings()->User()->Value(QString::fromLatin1(editor::EditorTools::ZoomKey)).toInt(), 1);
    // Ctrl and the wheel: a notch a step.
    QWheelEvent wheel(QPointF(10, 10), box()->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box()->viewport(), &wheel);
    EXPECT_EQ(tools().zoom(), 3);
    // Bounded both ways.
    tools().setZoom(1000);
    EXPECT_EQ(tools().zoom(), editor::EditorTools::MaxZoom);
    tools().setZoom(-1000);
    EXPECT_EQ(tools().zoom(), editor::EditorTools::MinZoom);
    EXPECT_GE(box()->font().pointSizeF(), 4);
    tools().setZoom(3);
    // A window opened later starts at the remembered size.
    window.reset();
    open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(tools().zoom(), 3);
    EXPECT_EQ(box()->font().pointSizeF(), designed + 3);
    box()->setFocus();
    press(Qt::Key_0);
    EXPECT_EQ(box()->font().pointSizeF(), designed);
    // A value that is no number is ignored.
    global.Settings()->User()->SetValue(QString::fromLatin1(editor::EditorTools::ZoomKey),
                                        QStringLiteral("big"));
    window.reset();
    open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(tools().zoom(), 0);
}

TEST_F(Tools, CtrlSpaceAfterAWordCompletesTheEnginesWords) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    editor::ElementCompleter& completer = *w.finding()->completer();
    const QString start = QStringLiteral("SET [Prezzo lordo] = rou");
    startWith(start);
    box()->SetSelStart(int(start.size()));
    box()->setFocus();
    const int index = w.UndoIndex();
    press(Qt::Key_Space);
    // One function only starts so: completed at once, as one snapshot.
    EXPECT_EQ(box()->Text(), QStringLiteral("SET [Prezzo lordo] = ROUND("));
    EXPECT_FALSE(completer.isOpen());
    EXPECT_EQ(w.UndoIndex(), index + 1);
    // Several: the list, with the arguments of the functions; typing narrows it.
    startWith(QStringLiteral("SET [Prezzo lordo] = date"));
    box()->SetSelStart(int(box()->Text().size()));
    press(Qt::Key_Space);
    ASSERT_TRUE(completer.isOpen());
    EXPECT_EQ(completer.list()->item(0)->text(), QStringLiteral("DATEADD(datepart, number, date)"));
    QTest::keyClicks(box(), QStringLiteral("a"));
    ASSERT_TRUE(completer.isOpen());
    EXPECT_EQ(completer.list()->count(), 1);
    QTest::keyClick(box(), Qt::Key_Return);
    EXPECT_EQ(box()->Text(), QStringLiteral("SET [Prezzo lordo] = DATEADD("));
    // A word that starts no keyword or function finds labels instead, and is replaced by one.
    startWith(QStringLiteral("SET lordo"));
    box()->SetSelStart(int(box()->Text().size()));
    press(Qt::Key_Space);
    ASSERT_TRUE(completer.isOpen());
    EXPECT_TRUE(completer.list()->item(0)->text().contains(QStringLiteral("lordo"), Qt::CaseInsensitive));
    const QString label = completer.list()->item(0)->text();
    QTest::keyClick(box(), Qt::Key_Return);
    EXPECT_EQ(box()->Text(), QStringLiteral("SET ") + label);
}

TEST_F(Tools, TooltipsShowTheKeysInBothLanguages) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    const struct {
        controls::VXL_TBARMENU* button;
        const char* italian;
        const char* english;
    } cases[] = {
        {ui(w).IMG_UNDO, "Annulla (Ctrl+Z)", "Undo (Ctrl+Z)"},
        {ui(w).IMG_REDO, "Ripristina (Ctrl+Y)", "Redo (Ctrl+Y)"},
        {ui(w).IMG_LEGEND, "Istruzioni (Ctrl+L)", "Instructions (Ctrl+L)"},
        {ui(w).IMG_CHECK, "Controlla la formula (Ctrl+H)", "Check the formula (Ctrl+H)"},
        {ui(w).IMG_SAVE, "Salva la formula (Ctrl+S)", "Save the formula (Ctrl+S)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.button->toolTip(), QString::fromUtf8(c.italian));
    // The tree's search box, made before the host's translation service is at hand.
    const auto searchBox = [](FRMLP_FORMULE& editor) {
        return editor.findChild<QLineEdit*>(QStringLiteral("TXT_CERCA"))->placeholderText();
    };
    EXPECT_EQ(searchBox(w), QStringLiteral("Cerca (Ctrl+F)"));
    window.reset();
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    FRMLP_FORMULE& english = open(0, core::Variant::fromInt32(1));
    const Controls en = ui(english);
    controls::VXL_TBARMENU* buttons[] = {en.IMG_UNDO, en.IMG_REDO, en.IMG_LEGEND, en.IMG_CHECK, en.IMG_SAVE};
    for (std::size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(buttons[k]->toolTip(), QString::fromUtf8(cases[k].english));
    EXPECT_EQ(searchBox(english), QStringLiteral("Search (Ctrl+F)"));
}

// Every text of the bar, in each of its modes and states, has an English entry.
TEST_F(Tools, EveryTextOfTheBarHasAnEnglishEntry) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    QStringList missing;
    controls::VxlRichTextBox box;
    box.SetText(QStringLiteral("a\r\nb"));
    editor::FindReplaceBar b(
        &box,
        [&](const QString& italian) {
            const QString english = global.Translation()->translate(italian);
            if (english == italian)
                missing << italian;
            return english;
        },
        [](const std::function<void()>& edit) { edit(); });
    b.open(editor::FindReplaceBar::Mode::Replace);
    b.findField()->setText(QStringLiteral("zzz"));
    b.findNext();
    b.replaceAll();
    b.findField()->setText(QStringLiteral("a"));
    b.replaceAll();
    b.open(editor::FindReplaceBar::Mode::GoToLine);
    b.lineField()->setText(QStringLiteral("9"));
    b.goToLine();
    EXPECT_EQ(b.status()->text(), QStringLiteral("The formula has 2 lines"));
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(" | ")).toStdString();
}

} // namespace
