// What the formula box shows besides the prescribed window: highlighting, live diagnostics, the
// message strip after a failed check, the unsaved marker and the undo/redo buttons.
#include "EditorFixture.h"

#include "diagnostics/ElementCatalog.h"
#include "diagnostics/FormulaHighlighter.h"
#include "diagnostics/LiveDiagnostics.h"
#include "editor/FormulaAssist.h"

#include <QLabel>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {

using namespace editortest;
using diagnostics::FormulaHighlighter;
using diagnostics::TokenKind;

// The format the highlighter gave the first character of `piece` in the first block.
QTextCharFormat formatAt(const QTextDocument& doc, const QString& piece) {
    const QTextBlock block = doc.firstBlock();
    const int at = int(block.text().indexOf(piece));
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (at >= r.start && at < r.start + r.length)
            return r.format;
    return {};
}

TEST(FormulaHighlighterFormats, EachKindOfTokenHasItsStyle) {
    app();
    const diagnostics::ElementCatalog catalog =
        diagnostics::ElementCatalog::withLists({{"C01", "C01 - Colore"}}, {{"V01", "V01 - Scocca"}});
    QTextDocument doc;
    FormulaHighlighter highlighter(&doc, &catalog);
    doc.setPlainText(QStringLiteral("IF {C01 - Colore} = 'a' AND |V01 - Scocca| = 2 -- nota\n"
                                    "SET [Prezzo lordo] = [Ignoto] + @x + {C99 - No}"));
    highlighter.rehighlight();
    const std::pair<QString, TokenKind> pieces[] = {
        {"IF", TokenKind::Keyword},   {"{C01", TokenKind::Category}, {"'a'", TokenKind::String},
        {"|V01", TokenKind::Variant}, {"2 --", TokenKind::Number},   {"-- nota", TokenKind::Comment}};
    for (const auto& [piece, kind] : pieces) {
        const QTextCharFormat f = formatAt(doc, piece);
        EXPECT_EQ(f.foreground(), FormulaHighlighter::formatOf(kind, false).foreground())
            << piece.toStdString();
        EXPECT_NE(f.underlineStyle(), QTextCharFormat::WaveUnderline) << piece.toStdString();
    }
    const QTextBlock second = doc.firstBlock().next();
    auto at = [&](const QString& piece) {
        const int p = int(second.text().indexOf(piece));
        for (const QTextLayout::FormatRange& r : second.layout()->formats())
            if (p >= r.start && p < r.start + r.length)
                return r.format;
        return QTextCharFormat();
    };
    EXPECT_EQ(at("[Prezzo").foreground(), FormulaHighlighter::formatOf(TokenKind::Label, false).foreground());
    EXPECT_NE(at("[Prezzo").underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(at("[Ignoto").underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(at("@x").foreground(), FormulaHighlighter::formatOf(TokenKind::Variable, false).foreground());
    EXPECT_EQ(at("{C99").underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_EQ(at("{C99").foreground(), FormulaHighlighter::formatOf(TokenKind::Category, false).foreground());
}

class Assist : public Editor {
protected:
    editor::FormulaAssist& assist() { return *window->assist(); }
    // Waits for the live diagnostics of the box's current text.
    void waitForDiagnostics() {
        bool done = false;
        QObject::connect(assist().live(), &diagnostics::LiveDiagnostics::ready, [&done] { done = true; });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    }
};

TEST_F(Assist, UnknownLabelIsMarkedAndExplainedWhileTyping) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 1\r\nSET [Sconto 1%] = [prezzo lordo]"));
    waitForDiagnostics();
    ASSERT_EQ(assist().liveDiagnostics().size(), 1);
    EXPECT_EQ(
        assist().stripMessage(),
        QStringLiteral("Riga 2, colonna 19: Etichetta sconosciuta [prezzo lordo]. Forse: [Prezzo lordo]"));
    ASSERT_EQ(assist().highlighter()->marks().size(), 1);
    EXPECT_EQ(assist().highlighter()->marks().first().block, 1);
    EXPECT_EQ(assist().highlighter()->marks().first().column, 18);
    assist().clickStrip();
    EXPECT_EQ(ui(w).TXT_FORMULA->SelStart(), ui(w).TXT_FORMULA->Text().indexOf(QStringLiteral("[prezzo")));
}

TEST_F(Assist, FailedCheckShowsTheServersMessageAtTheFormulasLine) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    ui(w).TXT_FORMULA->SetText(
        QStringLiteral("SET [Prezzo lordo] = 1\r\n\r\nSET [Sconto 1%] = CAST('abc' AS INT)"));
    responder.clear();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_H, Qt::ControlModifier);
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_TRUE(responder.requests().first().text.endsWith(
        QStringLiteral("La formula non risulta essere corretta.")));
    EXPECT_EQ(
        assist().stripMessage(),
        QStringLiteral(
            "Riga 3, colonna 1: Il valore 'abc' (varchar) non si converte nel tipo int. (Msg 245: Conversion "
            "failed when converting the varchar value 'abc' to data type int.)"));
    bool marked = false;
    for (const diagnostics::Mark& m : assist().highlighter()->marks())
        marked = marked || m.block == 2;
    EXPECT_TRUE(marked);
    assist().clickStrip();
    EXPECT_GE(ui(w).TXT_FORMULA->SelStart(), ui(w).TXT_FORMULA->Text().lastIndexOf(QStringLiteral("SET")));
}

// A check that fails on its placeholders while the formula as saved is correct says so on a line
// of its own; one wrong as saved too, and the save's silent check, do not. The message box and
// the outcome stay the check's.
TEST_F(Assist, FailedCheckSaysWhenTheFormulaAsSavedIsCorrect) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    const QString message = QStringLiteral(
        "Riga 2, colonna 1: Il tipo varchar non si converte in numeric. (Msg 8114: Error converting "
        "data type varchar to numeric.)");
    const QString asStored =
        QStringLiteral("Il controllo sostituisce categorie e varianti con segnaposto "
                       "(numerici per le categorie); la formula come viene salvata è corretta.");
    const int oneLine = assist().strip()->parentWidget()->height();
    const struct {
        const char* formula;
        QString strip;
    } cases[] = {
        {"SET [Prezzo lordo] = 1\r\nIF {C01 - Colore} = 'ROSSO' SET [Sconto 4%] = 10",
         message + u'\n' + asStored},
        {"SET [Prezzo lordo] = 1\r\nIF {C02 - Altezza massima} = 'ALTO' SET [Sconto 4%] = 10", message},
    };
    for (const auto& c : cases) {
        ui(w).TXT_FORMULA->SetText(QString::fromUtf8(c.formula));
        responder.clear();
        QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_H, Qt::ControlModifier);
        ASSERT_EQ(responder.requests().size(), 1);
        EXPECT_TRUE(responder.requests().first().text.endsWith(
            QStringLiteral("La formula non risulta essere corretta.")));
        EXPECT_EQ(assist().stripMessage(), c.strip) << c.formula;
        // The strip grows by the note's line and shrinks back without it.
        EXPECT_EQ(assist().strip()->parentWidget()->height() > oneLine, c.strip.contains(u'\n')) << c.formula;
    }
    EXPECT_TRUE(w.CheckFormula(false).isEmpty());
    ui(w).TXT_FORMULA->SetText(QString::fromUtf8(cases[0].formula));
    EXPECT_TRUE(w.CheckFormula(false).isEmpty());
    EXPECT_EQ(assist().stripMessage(), message);
}

TEST_F(Assist, UnsavedMarkerUntilTheSaveWhichIsConfirmedInTheStrip) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    EXPECT_FALSE(assist().hasUnsavedChanges());
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 7"));
    EXPECT_TRUE(assist().hasUnsavedChanges());
    EXPECT_EQ(assist().unsavedMarker()->text(), QStringLiteral("● Modifiche non salvate"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(assist().hasUnsavedChanges());
    EXPECT_TRUE(assist().unsavedMarker()->text().isEmpty());
    EXPECT_EQ(assist().stripMessage(), QStringLiteral("Formula salvata"));
}

// The help line and the unsaved marker take their colours from the box's palette: on a light, a
// dark and a coloured palette they read against the strip's background as body text does.
TEST_F(Assist, TheHelpLineIsLegibleOnEveryPalette) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(5));
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 7"));
    ASSERT_FALSE(assist().unsavedMarker()->text().isEmpty());
    struct Case {
        const char* name;
        QColor base;
        QColor text;
    };
    const Case cases[] = {
        {"light", Qt::white, Qt::black},
        {"dark", QColor(0x1E, 0x1E, 0x1E), QColor(0xDC, 0xDC, 0xDC)},
        {"dark blue", QColor(0x10, 0x18, 0x30), QColor(0xE0, 0xE8, 0xF0)},
        {"mid grey", QColor(0x80, 0x80, 0x80), Qt::black},
    };
    for (const Case& c : cases) {
        QPalette palette = ui(w).TXT_FORMULA->palette();
        palette.setColor(QPalette::Base, c.base);
        palette.setColor(QPalette::Text, c.text);
        palette.setColor(QPalette::Window, c.base);
        palette.setColor(QPalette::WindowText, c.text);
        ui(w).TXT_FORMULA->setPalette(palette);
        QWidget* strip = assist().helpLine()->parentWidget();
        EXPECT_TRUE(strip->autoFillBackground()) << c.name;
        const QColor background = strip->palette().color(strip->backgroundRole());
        EXPECT_EQ(background, c.base) << c.name;
        for (QLabel* label : {assist().helpLine(), assist().unsavedMarker()}) {
            const QColor foreground = label->palette().color(label->foregroundRole());
            EXPECT_GE(diagnostics::contrastRatio(foreground, background), 4.5)
                << c.name << ' ' << label->objectName().toStdString() << ' '
                << foreground.name().toStdString();
        }
    }
}

// With the caret on no element the help line names the keys of the box and of the tree.
TEST_F(Assist, TheHelpLineNamesTheKeysInTheWindowsLanguage) {
    struct Case {
        const char* language;
        const char* hint;
    };
    const Case cases[] = {
        {"it",
         "Ctrl+Spazio: completa · Ctrl+F: cerca elementi · Ctrl+R: trova e sostituisci · Ctrl+G: vai alla "
         "riga · Ctrl+/: commento · Ctrl++ / Ctrl+-: zoom"},
        {"en",
         "Ctrl+Space: complete · Ctrl+F: search elements · Ctrl+R: find and replace · Ctrl+G: go to line · "
         "Ctrl+/: comment · Ctrl++ / Ctrl+-: zoom"},
    };
    for (const Case& c : cases) {
        global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QString::fromLatin1(c.language));
        FRMLP_FORMULE& w = open(0, core::Variant());
        ui(w).TXT_FORMULA->SetText(QStringLiteral("SET "));
        ui(w).TXT_FORMULA->SetSelStart(4);
        // All of them on hover; on the line as many as it holds, whole, from the first.
        QLabel* line = assist().helpLine();
        const QString hint = QString::fromUtf8(c.hint);
        EXPECT_EQ(line->toolTip(), hint) << c.language;
        EXPECT_TRUE(hint.startsWith(line->text())) << line->text().toStdString();
        EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->contentsRect().width());
        EXPECT_TRUE(line->text() == hint || hint.mid(line->text().size()).startsWith(QStringLiteral(" · ")))
            << line->text().toStdString();
        // A line wide enough shows every key.
        line->setFixedWidth(line->fontMetrics().horizontalAdvance(hint) + 20);
        EXPECT_EQ(line->text(), hint) << c.language;
    }
}

TEST_F(Assist, UndoAndRedoButtonsShowWhetherThereIsAnythingToDo) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    const qint64 dimmedUndo = ui(w).IMG_UNDO->Picture().cacheKey();
    const qint64 dimmedRedo = ui(w).IMG_REDO->Picture().cacheKey();
    ui(w).TXT_FORMULA->setFocus();
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("SET "));
    QCoreApplication::processEvents();
    EXPECT_NE(ui(w).IMG_UNDO->Picture().cacheKey(), dimmedUndo);
    EXPECT_EQ(ui(w).IMG_REDO->Picture().cacheKey(), dimmedRedo);
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("[Prezzo lordo] "));
    w.UndoFormula();
    EXPECT_NE(ui(w).IMG_REDO->Picture().cacheKey(), dimmedRedo);
}

} // namespace
