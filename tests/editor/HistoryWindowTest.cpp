// The window's saves keep their versions in the formula's history, as the tool's do.

#include "EditorFixture.h"

#include "editing/FormulaHistory.h"
#include "editor/HistoryPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextEdit>

namespace {

using namespace editortest;
using editor::FRMLP_FORMULE;

TEST_F(Editor, SavesOfTheWindowAppendVersionsNamingTheHostUser) {
    global.Settings()->User()->setName(QStringLiteral("mrossi"));
    ado::Connection c;
    c.Open(connectionString);
    const QString held = c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 1"))
                             ->GetFields()
                             .Item(0)
                             .Value()
                             .toString();
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    for (const char* text : {"SET [Prezzo lordo] = 7", "SET [Prezzo lordo] = 8"}) {
        ui(w).TXT_FORMULA->SetText(QString::fromUtf8(text));
        QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    }
    const QList<editing::FormulaVersion> versions = editing::FormulaHistory(c).list(0, 1);
    ASSERT_EQ(versions.size(), 3);
    const struct {
        int version;
        QString sqlForm;
    } expected[] = {
        {3, QStringLiteral("SET @OUTPREZZO = 8")}, {2, QStringLiteral("SET @OUTPREZZO = 7")}, {1, held}};
    for (qsizetype i = 0; i < versions.size(); ++i) {
        EXPECT_EQ(versions.at(i).version, expected[i].version);
        EXPECT_EQ(versions.at(i).sqlForm, expected[i].sqlForm);
        EXPECT_EQ(versions.at(i).origin, QStringLiteral("window"));
        EXPECT_EQ(versions.at(i).user, QStringLiteral("mrossi"));
        EXPECT_EQ(versions.at(i).comment, QString());
        EXPECT_EQ(versions.at(i).hash, editing::formulaHash(expected[i].sqlForm));
    }
    // The clear of the window is a NULL version.
    responder.setFallback(host::answer::Yes);
    QTest::mouseClick(ui(w).IMG_CLEAR, Qt::LeftButton);
    const std::optional<editing::FormulaVersion> cleared = editing::FormulaHistory(c).load(0, 1, 4);
    ASSERT_TRUE(cleared.has_value());
    EXPECT_EQ(cleared->sqlForm, std::nullopt);
    EXPECT_EQ(cleared->hash, QString());
}

// The pieces of the differences as the panel marks them: struck (only in the version),
// underlined (only in the box) or plain.
QStringList markedPieces(const QTextEdit* differences) {
    QStringList pieces;
    for (QTextBlock block = differences->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString mark = f.fontStrikeOut()   ? QStringLiteral("-")
                                 : f.fontUnderline() ? QStringLiteral("+")
                                                     : QString();
            pieces << mark + it.fragment().text();
        }
    return pieces;
}

QStringList column(const QTableWidget* table, int c) {
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row)
        cells << table->item(row, c)->text();
    return cells;
}

class HistoryWindow : public Editor {
protected:
    // Saves the texts one after the other through Ctrl+S: versions 2, 3, ... of record 1.
    void saveAll(FRMLP_FORMULE& w, std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            ui(w).TXT_FORMULA->SetText(QString::fromUtf8(text));
            QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
        }
    }
    QTableWidget* versions(FRMLP_FORMULE& w) {
        return namedChild<QTableWidget>(*w.historyPanel(), "HISTORY_VERSIONS");
    }
    QTextEdit* differences(FRMLP_FORMULE& w) {
        return namedChild<QTextEdit>(*w.historyPanel(), "HISTORY_DIFFERENCES");
    }
    QPushButton* restore(FRMLP_FORMULE& w) {
        return namedChild<QPushButton>(*w.historyPanel(), "HISTORY_RESTORE");
    }
    QString latestFormula() {
        ado::Connection c;
        c.Open(connectionString);
        return c.Execute(QStringLiteral("SELECT LP01_FORMULE FROM LP01_PROVIDER WHERE LP01_ID = 1"))
            ->GetFields()
            .Item(0)
            .Value()
            .toString();
    }
    int latestVersion() {
        ado::Connection c;
        c.Open(connectionString);
        return editing::FormulaHistory(c).latestVersion(0, 1);
    }
    // A second window on the same record, as another user would open it.
    std::unique_ptr<FRMLP_FORMULE> openSecond() {
        auto second = std::make_unique<FRMLP_FORMULE>();
        second->setActiveInterface(&cls);
        second->setActiveClass(&cls);
        second->SetWindowState(0);
        second->ShowModeless();
        return second;
    }
};

TEST_F(HistoryWindow, CtrlKListsTheVersionsNewestFirstAndMarksTheChangedWords) {
    global.Settings()->User()->setName(QStringLiteral("mrossi"));
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    saveAll(w, {"SET [Prezzo lordo] = 7", "SET [Prezzo lordo] = 8"});
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET [Prezzo lordo] = 8 + 1"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(w.historyPanel()->isVisible());
    QTableWidget* table = versions(w);
    EXPECT_EQ(column(table, 0), (QStringList{"3", "2", "1"}));
    EXPECT_EQ(column(table, 1), (QStringList{"mrossi", "mrossi", "mrossi"}));
    EXPECT_EQ(column(table, 4).first(), QString::number(QStringLiteral("SET @OUTPREZZO = 8").size()));
    // The newest is selected: the box adds to it.
    EXPECT_EQ(w.historyPanel()->selectedVersion(), 3);
    EXPECT_EQ(markedPieces(differences(w)), (QStringList{"SET [Prezzo lordo] = 8", "+ + 1"}));
    // An older one: its word struck, the box's underlined.
    table->selectRow(1);
    EXPECT_EQ(markedPieces(differences(w)), (QStringList{"SET [Prezzo lordo] = ", "-7", "+8 + 1"}));
    EXPECT_TRUE(restore(w)->isEnabled());
    // The button opens the same list.
    w.historyPanel()->hide();
    QTest::mouseClick(ui(w).TXT_FORMULA, Qt::LeftButton);
    w.findChild<controls::VXL_TBARMENU*>(QStringLiteral("IMG_HISTORY"))->ButtonClick();
    EXPECT_TRUE(w.historyPanel()->isVisible());
}

TEST_F(HistoryWindow, RipristinaIsOneEditThatOneUndoTakesBack) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    EXPECT_EQ(restore(w)->text(), QStringLiteral("Ripristina"));
    saveAll(w, {"SET [Prezzo lordo] = 7", "SET [Prezzo lordo] = 8"});
    const QString typed = QStringLiteral("SET [Prezzo lordo] = 9");
    ui(w).TXT_FORMULA->SetText(typed);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_K, Qt::ControlModifier);
    versions(w)->selectRow(1);
    QTest::mouseClick(restore(w), Qt::LeftButton);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezzo lordo] = 7"));
    // Nothing is written until the user saves.
    EXPECT_EQ(latestFormula(), QStringLiteral("SET @OUTPREZZO = 8"));
    EXPECT_FALSE(restore(w)->isEnabled()); // the box now holds the version
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), typed);
    // The save of a restored version is a new version.
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(latestVersion(), 4);
    EXPECT_EQ(w.loadedVersion(), 4);
}

TEST_F(HistoryWindow, ASaveOverANewerVersionAsksAndWritesOnlyOnOverwrite) {
    global.Settings()->User()->setName(QStringLiteral("mrossi"));
    FRMLP_FORMULE& first = open(0, core::Variant::fromInt32(1));
    std::unique_ptr<FRMLP_FORMULE> second = openSecond();
    ASSERT_EQ(first.loadedVersion(), 0);
    ASSERT_EQ(second->loadedVersion(), 0);
    saveAll(first, {"SET [Prezzo lordo] = 7"});
    ASSERT_EQ(latestVersion(), 2);
    const struct {
        int answer; // 0: the default button
        int written;
        const char* formula;
        bool historyShown;
    } cases[] = {
        {0, 2, "SET @OUTPREZZO = 7", false}, // the default: cancel
        {host::answer::Cancel, 2, "SET @OUTPREZZO = 7", false},
        {host::answer::No, 2, "SET @OUTPREZZO = 7", true},   // show differences
        {host::answer::Yes, 3, "SET @OUTPREZZO = 9", false}, // overwrite
    };
    for (const auto& c : cases) {
        responder.clear();
        second->historyPanel()->hide();
        if (c.answer != 0)
            responder.push(c.answer);
        saveAll(*second, {"SET [Prezzo lordo] = 9"});
        ASSERT_EQ(responder.requests().size(), 1) << c.answer;
        const host::Request& asked = responder.requests().first();
        EXPECT_EQ(asked.title, QStringLiteral("Formula modificata nel frattempo"));
        EXPECT_TRUE(asked.text.startsWith(QStringLiteral("La formula è stata salvata da mrossi il ")));
        EXPECT_TRUE(asked.text.contains(
            QStringLiteral("(UTC), versione 2, dopo che questa finestra l'ha letta (versione 0).")))
            << asked.text.toStdString();
        EXPECT_EQ(asked.captions, (QStringList{"Sovrascrivi", "Mostra differenze", "Non salvare"}));
        EXPECT_EQ(host::messageBoxLayout(asked.code).defaultButton, host::answer::Cancel);
        EXPECT_EQ(latestVersion(), c.written) << c.answer;
        EXPECT_EQ(latestFormula(), QString::fromUtf8(c.formula)) << c.answer;
        EXPECT_EQ(second->historyPanel()->isVisible(), c.historyShown) << c.answer;
        if (c.historyShown) {
            EXPECT_EQ(second->historyPanel()->selectedVersion(), 2);
        }
    }
    // The second window now holds the latest version: its next save asks nothing.
    EXPECT_EQ(second->loadedVersion(), 3);
    responder.clear();
    saveAll(*second, {"SET [Prezzo lordo] = 10"});
    EXPECT_TRUE(responder.requests().isEmpty());
    EXPECT_EQ(latestVersion(), 4);
    // The first one asks in turn.
    responder.clear();
    saveAll(first, {"SET [Prezzo lordo] = 11"});
    EXPECT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(latestVersion(), 4);
    second.reset();
}

TEST_F(HistoryWindow, TheListAndTheQuestionSpeakEnglish) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    FRMLP_FORMULE& first = open(0, core::Variant::fromInt32(1));
    std::unique_ptr<FRMLP_FORMULE> second = openSecond();
    saveAll(first, {"SET [Gross price] = 7"});
    QTest::keyClick(ui(first).TXT_FORMULA, Qt::Key_K, Qt::ControlModifier);
    QStringList headers;
    for (int c = 0; c < versions(first)->columnCount(); ++c)
        headers << versions(first)->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"Version", "User", "Date (UTC)", "Comment", "Characters"}));
    EXPECT_EQ(restore(first)->text(), QStringLiteral("Restore"));
    EXPECT_EQ(first.historyPanel()->windowTitle(), QStringLiteral("Formula history"));
    responder.clear();
    saveAll(*second, {"SET [Gross price] = 9"});
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests().first().title, QStringLiteral("Formula changed meanwhile"));
    EXPECT_TRUE(responder.requests().first().text.startsWith(QStringLiteral("The formula was saved by ")));
    EXPECT_EQ(responder.requests().first().captions,
              (QStringList{"Overwrite", "Show differences", "Do not save"}));
    second.reset();
}

editing::FormulaVersion version(int number, const std::optional<QString>& sqlForm) {
    return {.context = 0,
            .id = 1,
            .version = number,
            .sqlForm = sqlForm,
            .user = QStringLiteral("bianchi"),
            .when = QStringLiteral("2026-12-06T10:00:00Z"),
            .origin = QStringLiteral("tool"),
            .comment = {},
            .hash = editing::formulaHash(sqlForm)};
}

TEST_F(HistoryWindow, AVersionThatCannotBeShownSaysSoAndAClearedOneRestoresAnEmptyBox) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    saveAll(w, {"SET [Prezzo lordo] = 7"});
    // Its display form would pass the text limit on the way back, as a stored formula the window
    // locks.
    QString unreadable;
    for (int i = 0; i < 800; ++i)
        unreadable += QStringLiteral("SET @OUTPREZZO = @ATTPREZZO\r\n");
    {
        ado::Connection c;
        c.Open(connectionString);
        editing::FormulaHistory history(c);
        history.append(version(3, unreadable));
        history.append(version(4, std::nullopt));
    }
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_K, Qt::ControlModifier);
    QTableWidget* table = versions(w);
    ASSERT_EQ(column(table, 0), (QStringList{"4", "3", "2", "1"}));
    EXPECT_EQ(column(table, 4).first(), QStringLiteral("(vuota)"));
    table->selectRow(1);
    EXPECT_EQ(namedChild<QLabel>(*w.historyPanel(), "HISTORY_NOTE")->text(),
              QStringLiteral(
                  "La versione 3 non si lascia mostrare nella forma visualizzata: la sua forma SQL non si "
                  "traduce con gli elementi di oggi"));
    EXPECT_TRUE(differences(w)->toPlainText().isEmpty());
    EXPECT_FALSE(restore(w)->isEnabled());
    // The cleared version: everything in the box is only in the box; restoring it empties the box.
    table->selectRow(0);
    EXPECT_EQ(markedPieces(differences(w)), (QStringList{"+SET [Prezzo lordo] = 7"}));
    QTest::mouseClick(restore(w), Qt::LeftButton);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QString());
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezzo lordo] = 7"));
    // A save of the window is now over version 4, written after it read the record: it asks.
    responder.clear();
    saveAll(w, {"SET [Prezzo lordo] = 8"});
    EXPECT_EQ(responder.requests().size(), 1);
}

TEST_F(HistoryWindow, OnlyTheLatestThousandVersionsAreListed) {
    FRMLP_FORMULE& w = open(0, core::Variant::fromInt32(1));
    {
        ado::Connection c;
        c.Open(connectionString);
        c.BeginTrans();
        editing::FormulaHistory history(c);
        for (int v = 1; v <= 1002; ++v)
            history.append(version(v, QStringLiteral("SET @OUTPREZZO = %1").arg(v)));
        c.CommitTrans();
    }
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_K, Qt::ControlModifier);
    QTableWidget* table = versions(w);
    ASSERT_EQ(table->rowCount(), 1000);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("1002"));
    EXPECT_EQ(table->item(999, 0)->text(), QStringLiteral("3"));
    EXPECT_TRUE(namedChild<QLabel>(*w.historyPanel(), "HISTORY_NOTE")
                    ->text()
                    .startsWith(QStringLiteral("Sono elencate solo le 1000 versioni più recenti\n")));
}

} // namespace
