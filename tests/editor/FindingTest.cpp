// Finding elements with the keyboard: the completion list of the formula box and the search box
// of the element tree, driven by keys as a user types them.
#include "EditorFixture.h"
#include "editor/CatalogLoader.h"

#include "editor/ElementCompleter.h"
#include "editor/ElementFinding.h"
#include "editor/TreeFilter.h"
#include "tree/StrutturaTree.h"
#include "tree/TreeNode.h"

#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

namespace {

using namespace editortest;

class Finding : public Editor {
protected:
    editor::ElementCompleter& completer() { return *window->finding()->completer(); }
    QListWidget& list() { return *completer().list(); }
    QLineEdit& filterBox() { return *window->finding()->filterBox(); }

    // The box holds `text` as one history snapshot, the caret after it.
    void startWith(const QString& text) {
        ui(*window).TXT_FORMULA->SetText(text);
        ui(*window).TXT_FORMULA->SetSelStart(int(text.size()));
        window->setCaretPosition(int(text.size()));
        window->RecordUndoState();
    }

    // The categories and variants arrive from a worker after the window's first paint.
    void waitForLists() {
        editor::CatalogLoader* loader = window->finding()->loader();
        ASSERT_NE(loader, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(loader->isLoaded(), 20000);
    }

    // Types into the tree's search box and waits for the search, which runs when typing pauses.
    void search(const QString& text) {
        QTest::keyClicks(&filterBox(), text);
        QTRY_VERIFY_WITH_TIMEOUT(window->finding()->treeFilter()->isSettled(), 20000);
    }

    QStringList listed() {
        QStringList rows;
        for (int i = 0; i < list().count(); ++i)
            rows << list().item(i)->text();
        return rows;
    }

    // The leaves the tree shows, as "branch/leaf".
    QStringList shownLeaves() const {
        QStringList leaves;
        for (QTreeWidgetItem* item : window->treeNodes())
            if (item->childCount() == 0 && item->parent() != nullptr && !item->isHidden())
                leaves << item->parent()->text(0) + u'/' + item->text(0);
        return leaves;
    }
};

TEST_F(Finding, EnterInsertsTheWholeLabelAndRecordsOneSnapshot) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    startWith(QStringLiteral("SET "));
    const int before = w.UndoIndex();
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("[attprezzo"));
    ASSERT_TRUE(completer().isOpen());
    EXPECT_EQ(listed(), QStringList{QStringLiteral("[Prezzo lordo - CURR]")});
    EXPECT_EQ(w.UndoIndex(), before); // typing letters records nothing
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Return);
    EXPECT_FALSE(completer().isOpen());
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [Prezzo lordo - CURR]"));
    EXPECT_EQ(ui(w).TXT_FORMULA->SelStart(), 25);
    EXPECT_EQ(w.CaretPosition(), 25);
    EXPECT_EQ(w.UndoIndex(), before + 1);
    EXPECT_EQ(w.UndoBuffer(before + 1), QStringLiteral("SET [Prezzo lordo - CURR]"));
    // Back to the snapshot before the insertion (the history keeps texts without trailing blanks).
    w.UndoFormula();
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET"));
}

TEST_F(Finding, TabInsertsTheChosenCategoryWithItsClosingBrace) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    startWith(QStringLiteral("IF "));
    const int before = w.UndoIndex();
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("{colore"));
    ASSERT_TRUE(completer().isOpen());
    EXPECT_EQ(listed().value(0), QStringLiteral("{C01 - Colore}"));
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Tab);
    EXPECT_FALSE(completer().isOpen());
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("IF {C01 - Colore}"));
    EXPECT_EQ(w.UndoIndex(), before + 1);
    w.UndoFormula();
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("IF"));
}

TEST_F(Finding, DownChoosesAndAClosingDelimiterAlreadyTypedIsReplaced) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    startWith(QString());
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("[prezzo"));
    ASSERT_TRUE(completer().isOpen());
    ASSERT_GE(list().count(), 2);
    const QString second = list().item(1)->text();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Down);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Return);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), second);
    // Ctrl+Space inside an element already closed: the closing bracket is not doubled.
    startWith(QStringLiteral("[Prezzo]"));
    ui(w).TXT_FORMULA->SetSelStart(7);
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(completer().isOpen());
    const QString first = list().item(0)->text();
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Return);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), first);
}

TEST_F(Finding, EscClosesTheListAndLeavesTheText) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    startWith(QStringLiteral("SET "));
    const int before = w.UndoIndex();
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("[sconto"));
    ASSERT_TRUE(completer().isOpen());
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Escape);
    EXPECT_FALSE(completer().isOpen());
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [sconto"));
    EXPECT_EQ(w.UndoIndex(), before);
    // Enter with the list closed is an ordinary new line.
    QTest::keyClick(ui(w).TXT_FORMULA, Qt::Key_Return);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), QStringLiteral("SET [sconto\r\n"));
}

TEST_F(Finding, CompletionListsOnlyTheCompanysCategoriesAndVariants) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    startWith(QString());
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("{"));
    ASSERT_TRUE(completer().isOpen());
    const QStringList categories = listed();
    EXPECT_TRUE(categories.contains(QStringLiteral("{C01 - Colore}")));
    for (const QString& row : categories)
        EXPECT_FALSE(row.contains(QStringLiteral("ditta 2"))) << row.toStdString();
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("ditta 2"));
    EXPECT_FALSE(completer().isOpen());
    startWith(QString());
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("|"));
    ASSERT_TRUE(completer().isOpen());
    for (const QString& row : listed()) {
        EXPECT_TRUE(row.startsWith(u'|') && row.endsWith(u'|')) << row.toStdString();
        EXPECT_FALSE(row.contains(QStringLiteral("ditta 2"))) << row.toStdString();
    }
    QTest::keyClicks(ui(w).TXT_FORMULA, QStringLiteral("v90"));
    EXPECT_FALSE(completer().isOpen());
}

TEST_F(Finding, TreeFilterKeepsMatchingLeavesWithTheirBranchesAndEscRestores) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    // The expansion the user left: only the second branch open.
    for (QTreeWidgetItem* item : w.treeNodes())
        item->setExpanded(false);
    ui(w).TVW_FIELDS->topLevelItem(1)->setExpanded(true);
    QHash<QTreeWidgetItem*, bool> expansion;
    for (QTreeWidgetItem* item : w.treeNodes())
        expansion.insert(item, item->isExpanded());
    const QList<QTreeWidgetItem*> before = w.treeNodes();
    const int leaves = int(shownLeaves().size());

    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    search(QStringLiteral("lordo prezzo"));
    EXPECT_TRUE(w.finding()->treeFilter()->isActive());
    const QStringList shown = shownLeaves();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_LT(shown.size(), leaves);
    EXPECT_TRUE(shown.contains(QStringLiteral("Quotazione/Prezzo lordo")));
    for (QTreeWidgetItem* item : w.treeNodes()) {
        if (item->isHidden())
            continue;
        if (item->childCount() == 0 && item->parent() != nullptr) {
            EXPECT_NE(item->background(0).style(), Qt::NoBrush) << item->text(0).toStdString();
            for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
                EXPECT_FALSE(p->isHidden());
                EXPECT_TRUE(p->isExpanded());
            }
        } else if (item->childCount() > 0) {
            bool anyShown = false;
            for (int i = 0; i < item->childCount(); ++i)
                anyShown = anyShown || !item->child(i)->isHidden();
            EXPECT_TRUE(anyShown) << item->text(0).toStdString();
        }
    }

    QTest::keyClick(&filterBox(), Qt::Key_Escape);
    EXPECT_TRUE(filterBox().text().isEmpty());
    EXPECT_FALSE(w.finding()->treeFilter()->isActive());
    // Branches the search read keep their rows, collapsed; everything shows again.
    EXPECT_GE(shownLeaves().size(), leaves);
    for (QTreeWidgetItem* item : w.treeNodes()) {
        EXPECT_FALSE(item->isHidden()) << item->text(0).toStdString();
        EXPECT_TRUE(before.contains(item) || !item->parent()->isExpanded());
    }
    for (QTreeWidgetItem* item : before) {
        EXPECT_EQ(item->isExpanded(), expansion.value(item, false)) << item->text(0).toStdString();
        EXPECT_EQ(item->background(0).style(), Qt::NoBrush);
    }
}

TEST_F(Finding, TreeFilterFindsCategoriesNotReadYet) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    ASSERT_FALSE(w.pendingTreeBranches().isEmpty());
    search(QStringLiteral("colore"));
    bool found = false;
    for (const QString& leaf : shownLeaves())
        found = found || leaf.endsWith(QStringLiteral("C01 - Colore"));
    EXPECT_TRUE(found) << shownLeaves().join(u',').toStdString();
}

TEST_F(Finding, EnterOnAFilteredLeafInsertsAsADoubleClickDoes) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    const int opened = w.UndoIndex();
    // One Enter from the box, before the search has run: the first match is inserted.
    QTest::keyClicks(&filterBox(), QStringLiteral("prezzo lordo"));
    QTest::keyClick(&filterBox(), Qt::Key_Return);
    QTreeWidgetItem* leaf = ui(w).TVW_FIELDS->currentItem();
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf, node(QStringLiteral("Quotazione"), QStringLiteral("Prezzo lordo")));
    const QString byKey = ui(w).TXT_FORMULA->Text();
    const int caretByKey = w.CaretPosition();
    const int historyByKey = w.UndoIndex();
    EXPECT_EQ(byKey, QStringLiteral("[Prezzo lordo] = "));
    EXPECT_GT(historyByKey, opened);

    // Down moves to the first match without inserting; Enter in the tree inserts the one chosen.
    ui(w).TXT_FORMULA->SetText(QString());
    w.setCaretPosition(0);
    QTest::keyClick(&filterBox(), Qt::Key_Down);
    EXPECT_EQ(ui(w).TVW_FIELDS->currentItem(), leaf);
    EXPECT_TRUE(ui(w).TXT_FORMULA->Text().isEmpty());
    QTest::keyClick(ui(w).TVW_FIELDS, Qt::Key_Return);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), byKey);

    // The same leaf by double-click, from the same empty box.
    QTest::keyClick(&filterBox(), Qt::Key_Escape);
    ui(w).TXT_FORMULA->SetText(QString());
    w.setCaretPosition(0);
    const int beforeClick = w.UndoIndex();
    doubleClick(leaf);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text(), byKey);
    EXPECT_EQ(w.CaretPosition(), caretByKey);
    EXPECT_EQ(w.UndoIndex() - beforeClick, historyByKey - opened);
}

} // namespace

namespace {

// The rows of the category and variant branches, as "key|text", in the tree's order.
QStringList rowsOf(QTreeWidgetItem* branch) {
    QStringList rows;
    for (int i = 0; i < branch->childCount(); ++i)
        rows << branch->child(i)->data(0, Qt::UserRole).toString() + u'|' + branch->child(i)->text(0);
    return rows;
}

TEST_F(Finding, ListBranchesOpenedFromTheCatalogueHoldTheRowsTheTreeReads) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    const QStringList branches = w.pendingTreeBranches();
    ASSERT_FALSE(branches.isEmpty());
    // What the tree's own reading gives: every row with its key and text, in its order.
    ado::Connection connection;
    connection.Open(connectionString);
    core::FunctionServices services({.connection = [&] { return &connection; }});
    tree::StrutturaTree builder(services,
                                {.ditta = QStringLiteral("1"), .variantSetting = [] {
                                     return std::optional<core::Variant>(core::Variant::fromInt32(1));
                                 }});
    tree::NodeListSink read;
    ASSERT_EQ(builder.LoadStrutturaTree(read), tree::BuildOutcome::Completed);
    for (const QString& key : branches) {
        SCOPED_TRACE(key.toStdString());
        QStringList expected;
        for (const tree::TreeNode& n : std::as_const(read.nodes))
            if (n.relative == key)
                expected << n.key + u'|' + n.text;
        QTreeWidgetItem* branch = w.nodeByKey(key);
        ASSERT_NE(branch, nullptr);
        branch->setExpanded(true);
        EXPECT_FALSE(w.pendingTreeBranches().contains(key));
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_EQ(rowsOf(branch), expected);
        // The rows follow their branch in the window's order of nodes.
        const qsizetype at = w.treeNodes().indexOf(branch);
        for (int i = 0; i < branch->childCount(); ++i)
            EXPECT_EQ(w.treeNodes().value(at + 1 + i), branch->child(i));
    }
}

// Opening a list branch with the keyboard, the tree scrolled down to it, leaves the view where it
// was: the branch stays on the same line of the tree, whether its rows are joined for the first
// time or again after it was closed.
TEST_F(Finding, OpeningAListBranchKeepsTheTreeWhereItWas) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    QTreeWidget* tree = ui(w).TVW_FIELDS;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tree->topLevelItem(i)->setExpanded(true);
    const QStringList branches = w.pendingTreeBranches();
    ASSERT_FALSE(branches.isEmpty());
    for (const QString& key : branches) {
        SCOPED_TRACE(key.toStdString());
        QTreeWidgetItem* branch = w.nodeByKey(key);
        ASSERT_NE(branch, nullptr);
        for (QTreeWidgetItem* up = branch->parent(); up != nullptr; up = up->parent())
            up->setExpanded(true);
        tree->setCurrentItem(branch);
        tree->scrollToItem(branch, QAbstractItemView::PositionAtBottom);
        QApplication::processEvents();
        const int scrolled = tree->verticalScrollBar()->value();
        const QRect place = tree->visualItemRect(branch);
        ASSERT_GT(scrolled, 0);
        for (const char* opening : {"first", "again"}) {
            SCOPED_TRACE(opening);
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_Right);
            QApplication::processEvents();
            EXPECT_TRUE(branch->isExpanded());
            EXPECT_GT(branch->childCount(), 0);
            EXPECT_EQ(tree->verticalScrollBar()->value(), scrolled);
            EXPECT_EQ(tree->visualItemRect(branch).top(), place.top());
            QTest::keyClick(tree, Qt::Key_Left);
            QApplication::processEvents();
            EXPECT_EQ(tree->verticalScrollBar()->value(), scrolled);
        }
    }
}

// Rows of an opened list branch that do not match are taken out of it and come back in their
// order when the search is cleared; a match among them is inserted by one Enter.
TEST_F(Finding, SearchTakesOutTheRowsOfAListBranchAndPutsThemBack) {
    FRMLP_FORMULE& w = open(0, core::Variant());
    waitForLists();
    QTreeWidgetItem* branch =
        w.nodeByKey(tree::elementKey(core::Variant::fromInt32(tree::CategoriesElement)));
    ASSERT_NE(branch, nullptr);
    branch->setExpanded(true);
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < branch->childCount(); ++i)
        rows << branch->child(i);
    ASSERT_GE(rows.size(), 2);
    const QString wanted = rows.last()->text(0);

    search(wanted);
    ASSERT_EQ(branch->childCount(), 1);
    EXPECT_EQ(branch->child(0), rows.last());
    EXPECT_NE(branch->child(0)->background(0).style(), Qt::NoBrush);
    EXPECT_TRUE(branch->isExpanded());
    // A search that finds none of them leaves the branch hidden and empty.
    filterBox().clear();
    search(QStringLiteral("zzqqxx nothing"));
    EXPECT_EQ(branch->childCount(), 0);
    EXPECT_TRUE(branch->isHidden());

    QTest::keyClick(&filterBox(), Qt::Key_Escape);
    QList<QTreeWidgetItem*> back;
    for (int i = 0; i < branch->childCount(); ++i)
        back << branch->child(i);
    EXPECT_EQ(back, rows);
    EXPECT_FALSE(branch->isHidden());
    for (QTreeWidgetItem* row : std::as_const(rows))
        EXPECT_EQ(row->background(0).style(), Qt::NoBrush);

    // One Enter inserts the single match.
    ui(w).TXT_FORMULA->SetText(QString());
    w.setCaretPosition(0);
    search(wanted);
    QTest::keyClick(&filterBox(), Qt::Key_Return);
    EXPECT_EQ(ui(w).TXT_FORMULA->Text().trimmed(), QStringLiteral("{") + wanted + u'}');
}

} // namespace
