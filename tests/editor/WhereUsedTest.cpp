// The element tree's "Formule che lo usano" and the marked line of the formula box.
#include "EditorFixture.h"

#include "diagnostics/FormulaHighlighter.h"
#include "editor/FormulaAssist.h"
#include "editor/TreeWhereUsed.h"
#include "editor/WhereUsedModel.h"

#include <QContextMenuEvent>
#include <QEventLoop>
#include <QLabel>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTreeView>

namespace {

using namespace editortest;
using editor::WhereUsedDialog;

class WhereUsedInTree : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        // The maintenance formula uses the current price on its second line.
        execute(
            QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'SET @OUTSC1PERC = 1' + CHAR(10) + "
                           "'SET @OUTPREZZO = ROUND(@ATTPREZZO * 1.03, 2)' WHERE LP17_ID = 1"));
    }

    // The tree's context menu on `item`, as a right click opens it.
    QMenu* contextMenu(QTreeWidgetItem* item) {
        QTreeWidget* tree = ui(*window).TVW_FIELDS;
        for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent())
            p->setExpanded(true);
        tree->scrollToItem(item);
        const QPoint at = tree->visualItemRect(item).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
        // Menus closed before are deleted later: the one open now is the visible one.
        for (QMenu* popup : tree->findChildren<QMenu*>(QStringLiteral("mnuAlbero")))
            if (popup->isVisible())
                return popup;
        return nullptr;
    }

    // The rows of the where-used list opened from the context menu of `item`.
    QStringList usesOf(QTreeWidgetItem* item) {
        QMenu* popup = contextMenu(item);
        if (popup == nullptr)
            return {QStringLiteral("no menu")};
        QAction* entry = popup->findChild<QAction*>(QStringLiteral("mnuFormuleCheLoUsano"));
        if (entry == nullptr || !entry->isEnabled())
            return {QStringLiteral("no entry")};
        EXPECT_EQ(entry->text(), QStringLiteral("Formule che lo usano"));
        entry->trigger();
        popup->close();
        WhereUsedDialog* dialog = window->whereUsed()->dialog();
        if (dialog == nullptr || !dialog->isVisible())
            return {QStringLiteral("no dialog")};
        waitForSearch(*dialog);
        QStringList rows;
        const QAbstractItemModel* model = dialog->list()->model();
        for (int i = 0; i < model->rowCount(); ++i) {
            QStringList texts;
            for (int column = 0; column < 4; ++column)
                texts << model->index(i, column).data().toString();
            rows << texts.join(u'|');
        }
        return rows;
    }

    // The search runs on a worker: its rows are all there once it says it has finished.
    static void waitForSearch(WhereUsedDialog& dialog) {
        if (dialog.isSearchFinished())
            return;
        QEventLoop loop;
        QObject::connect(&dialog, &WhereUsedDialog::searchFinished, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void doubleClickRow(int row) {
        QTreeView* list = window->whereUsed()->dialog()->list();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }

    QString strip() const { return window->assist()->stripMessage(); }
};

TEST_F(WhereUsedInTree, LabelListsEveryUseWithItsLine) {
    open(0, core::Variant::fromInt32(1));
    QTreeWidgetItem* label = node(QStringLiteral("Quotazione corrente"), QStringLiteral("Prezzo lordo"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(usesOf(label), (QStringList{"Formule della Condizione|1|Listino fornitore base|1",
                                          "Formule della manutenzione listini|1|Aumento del 3%|2"}));
    EXPECT_EQ(window->whereUsed()->dialog()->windowTitle(),
              QStringLiteral("Formule che usano [Prezzo lordo - CURR]"));
    EXPECT_EQ(window->whereUsed()->dialog()->status()->text(),
              QStringLiteral("Usi trovati: 2. Doppio clic per aprire la formula."));
}

TEST_F(WhereUsedInTree, UsesAreGroupedByRecordAndARecordOpensIntoItsLines) {
    execute(
        QStringLiteral("UPDATE LP07_QUOTAZIONI SET LP07_FORMULE = 'SET @OUTPREZZO = @ATTPREZZO' + CHAR(10) + "
                       "'-- @ATTPREZZO in a comment is no use' + CHAR(10) + 'SET @OUTPREZZO = @ATTPREZZO + "
                       "@ATTPREZZO' + CHAR(10) + 'SET @OUTSC1PERC = @ATTPREZZO' WHERE LP07_ID = 1"));
    open(0, core::Variant::fromInt32(1));
    QTreeWidgetItem* label = node(QStringLiteral("Quotazione corrente"), QStringLiteral("Prezzo lordo"));
    ASSERT_NE(label, nullptr);
    const QStringList rows = usesOf(label);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("Formule del Listino|1|"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral("|1, 3, 4"))) << rows[1].toStdString();
    WhereUsedDialog* dialog = window->whereUsed()->dialog();
    EXPECT_EQ(dialog->status()->text(), QStringLiteral("Usi trovati: 5. Doppio clic per aprire la formula."));
    QTreeView* list = dialog->list();
    const QAbstractItemModel* model = list->model();
    const QModelIndex record = model->index(1, 0);
    EXPECT_FALSE(list->isExpanded(record));
    list->expand(record);
    ASSERT_EQ(model->rowCount(record), 3);
    EXPECT_EQ(model->index(2, 3, record).data().toString(), QStringLiteral("4"));
    EXPECT_EQ(model->index(2, 0, record).data().toString(), QString());
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 0); // a record of one line has no rows of lines
    // A row of a line opens the record at that line.
    QSignalSpy asked(&navigator, &host::Navigator::openRecordRequested);
    const QRect r = list->visualRect(model->index(1, 0, record));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0][0].toInt(), 1);
    EXPECT_EQ(asked[0][1].toLongLong(), 1);
    EXPECT_EQ(asked[0][2].toInt(), 3);
}

TEST(WhereUsedGrouping, ConsecutiveUsesOfARecordMakeOneRecord) {
    editor::WhereUsedSearch::Grouping g;
    EXPECT_FALSE(g.add({0, 1, QStringLiteral("a"), 1}));
    EXPECT_FALSE(g.add({0, 1, QStringLiteral("a"), 4}));
    EXPECT_TRUE(g.take(false).isEmpty());               // the record may have more lines still
    EXPECT_TRUE(g.add({1, 1, QStringLiteral("b"), 2})); // same id, another context
    EXPECT_TRUE(g.add({1, 7, QStringLiteral("c"), 1}));
    const QList<editor::RecordUses> complete = g.take(false);
    ASSERT_EQ(complete.size(), 2);
    EXPECT_EQ(complete[0].lines, (QList<int>{1, 4}));
    EXPECT_EQ(complete[1].context, 1);
    const QList<editor::RecordUses> rest = g.take(true);
    ASSERT_EQ(rest.size(), 1);
    EXPECT_EQ(rest[0].id, 7);
    EXPECT_TRUE(g.take(true).isEmpty());
}

TEST_F(WhereUsedInTree, CategoryAndVariantByTheirCodes) {
    open(1, core::Variant::fromInt32(1));
    window->ExpandStrutturaTree(true); // reads the deferred category and variant rows
    QTreeWidgetItem* category = node(QStringLiteral("Categoria commerciale"), QStringLiteral("C01 - Colore"));
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(usesOf(category), (QStringList{"Formule della Condizione|3|Sconto colore rosso|1"}));
    QTreeWidgetItem* variant = node(QStringLiteral("Codice variante"), QStringLiteral("V01 - Colore scocca"));
    ASSERT_NE(variant, nullptr);
    EXPECT_EQ(usesOf(variant), (QStringList{"Formule del Listino|2|Maggiorazione colore scocca|1"}));
    QTreeWidgetItem* unused =
        node(QStringLiteral("Categoria commerciale"), QStringLiteral("C04 - Linea prodotto"));
    ASSERT_NE(unused, nullptr);
    EXPECT_TRUE(usesOf(unused).isEmpty());
    EXPECT_EQ(window->whereUsed()->dialog()->status()->text(),
              QStringLiteral("Nessuna formula usa {C04 - Linea prodotto}."));
}

TEST_F(WhereUsedInTree, OperatorsAndBranchesHaveTheEntryDisabled) {
    open(0, core::Variant::fromInt32(1));
    QTreeWidgetItem* plus = node(QStringLiteral("Operatori fondamentali"), QStringLiteral("+"));
    ASSERT_NE(plus, nullptr);
    EXPECT_EQ(usesOf(plus), QStringList{QStringLiteral("no entry")});
    QTreeWidgetItem* branch = window->nodeByKey(QStringLiteral("kquatt"));
    ASSERT_NE(branch, nullptr);
    EXPECT_FALSE(window->whereUsed()->elementOf(branch));
}

TEST_F(WhereUsedInTree, DoubleClickAsksTheHostForAnotherRecord) {
    open(0, core::Variant::fromInt32(1));
    QSignalSpy asked(&navigator, &host::Navigator::openRecordRequested);
    ASSERT_EQ(usesOf(node(QStringLiteral("Quotazione corrente"), QStringLiteral("Prezzo lordo"))).size(), 2);
    doubleClickRow(1);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0][0].toInt(), 2);
    EXPECT_EQ(asked[0][1].toLongLong(), 1);
    EXPECT_EQ(asked[0][2].toInt(), 2);
    EXPECT_EQ(asked[0][3].toString(), QStringLiteral("Uso di [Prezzo lordo - CURR]"));
}

TEST_F(WhereUsedInTree, DoubleClickOnTheWindowsOwnRecordMarksItsLine) {
    open(2, core::Variant::fromInt32(1));
    QSignalSpy asked(&navigator, &host::Navigator::openRecordRequested);
    ASSERT_EQ(usesOf(node(QStringLiteral("Quotazione corrente"), QStringLiteral("Prezzo lordo"))).size(), 2);
    doubleClickRow(1);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(strip(), QStringLiteral("Riga 2: Uso di [Prezzo lordo - CURR]"));
    EXPECT_EQ(ui(*window).TXT_FORMULA->textCursor().blockNumber(), 1);
    EXPECT_EQ(ui(*window).TXT_FORMULA->textCursor().positionInBlock(), 0);
}

TEST_F(WhereUsedInTree, AHostThatOpensNoRecordsSaysSo) {
    open(0, core::Variant::fromInt32(1));
    ASSERT_EQ(usesOf(node(QStringLiteral("Quotazione corrente"), QStringLiteral("Prezzo lordo"))).size(), 2);
    responder.clear();
    doubleClickRow(1);
    ASSERT_EQ(responder.requests().size(), 1);
    EXPECT_EQ(responder.requests()[0].text,
              QStringLiteral("L'applicazione non apre altre formule da questa finestra."));
}

TEST_F(WhereUsedInTree, EnglishTexts) {
    global.Translation()->load(QStringLiteral(FORMULE_TRANSLATIONS_DIR), QStringLiteral("en"));
    open(0, core::Variant::fromInt32(1));
    QTreeWidgetItem* label = nullptr;
    for (QTreeWidgetItem* item : window->treeNodes())
        if (item->text(0) == QStringLiteral("Gross price") && item->parent() != nullptr &&
            item->parent()->text(0) == QStringLiteral("Current quotation"))
            label = item;
    ASSERT_NE(label, nullptr);
    QMenu* popup = contextMenu(label);
    ASSERT_NE(popup, nullptr);
    QAction* entry = popup->findChild<QAction*>(QStringLiteral("mnuFormuleCheLoUsano"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), QStringLiteral("Formulas that use it"));
    entry->trigger();
    popup->close();
    WhereUsedDialog* dialog = window->whereUsed()->dialog();
    ASSERT_NE(dialog, nullptr);
    waitForSearch(*dialog);
    EXPECT_EQ(dialog->list()->model()->rowCount(), 2);
    EXPECT_EQ(dialog->list()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Lines"));
    EXPECT_EQ(dialog->status()->text(), QStringLiteral("Uses found: 2. Double-click to open the formula."));
}

// markLine, as the host calls it on a window it opened.
TEST_F(Editor, MarkLineMarksTheWholeLineAndShowsTheMessage) {
    execute(QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'SET @OUTSC1PERC = 1' + CHAR(10) + "
                           "'SET @OUTPREZZO = 1 / 0' WHERE LP17_ID = 1"));
    FRMLP_FORMULE& w = open(2, core::Variant::fromInt32(1));
    EXPECT_FALSE(w.markLine(3, QStringLiteral("oltre")));
    EXPECT_FALSE(w.markLine(0, QStringLiteral("prima")));
    ASSERT_TRUE(w.markLine(2, QStringLiteral("Msg 8134, Level 16, State 1, Line 2: Divide by zero error "
                                             "encountered.")));
    EXPECT_EQ(w.assist()->stripMessage(),
              QStringLiteral("Riga 2: Divisione per zero. (Msg 8134: Divide by zero error encountered.)"));
    const QTextBlock second = ui(w).TXT_FORMULA->document()->firstBlock().next();
    // The strip counts in the box's text (its line break is CR LF), the caret in the document.
    EXPECT_EQ(w.assist()->stripTarget(), ui(w).TXT_FORMULA->Text().indexOf(QStringLiteral("SET"), 1));
    EXPECT_EQ(ui(w).TXT_FORMULA->textCursor().position(), second.position());
    const QList<diagnostics::Mark> marks = w.assist()->highlighter()->marks();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].block, 1);
    EXPECT_EQ(marks[0].length, -1);
    EXPECT_TRUE(marks[0].error);
    // Through the meta-object, as the host reaches it.
    bool marked = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(&w, "markLine", Q_RETURN_ARG(bool, marked), Q_ARG(int, 1),
                                          Q_ARG(QString, QStringLiteral("Uso di @OUTSC1PERC")),
                                          Q_ARG(bool, false)));
    EXPECT_TRUE(marked);
    EXPECT_EQ(w.assist()->stripMessage(), QStringLiteral("Riga 1: Uso di @OUTSC1PERC"));
    EXPECT_FALSE(w.assist()->highlighter()->marks().value(0).error);
    // A change of the text ends the mark.
    ui(w).TXT_FORMULA->SetText(QStringLiteral("SET @OUTPREZZO = 2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.assist()->stripMessage().isEmpty(); }, 10000));
    EXPECT_TRUE(w.assist()->highlighter()->marks().isEmpty());
}

} // namespace

namespace {

QList<editor::RecordUses> recordsOfLines(const QList<QList<int>>& lines) {
    QList<editor::RecordUses> records;
    for (qsizetype i = 0; i < lines.size(); ++i)
        records.append({int(i % 3), 100 + i, QStringLiteral("record %1").arg(i), lines[i]});
    return records;
}

} // namespace

// The model of the list: records appended a chunk per turn of the event loop, each in its row,
// the lines of a record with several in rows under it.
TEST(WhereUsedModel, AppendsAChunkPerTurnAndShowsEveryRecordAndLine) {
    app();
    QList<int> many;
    for (int line = 1; line <= 25; ++line)
        many.append(line);
    editor::WhereUsedModel model(
        {"a", "b", "c", "d"}, [](int c) { return QStringLiteral("ctx%1").arg(c); }, nullptr, 2);
    QSignalSpy appended(&model, &editor::WhereUsedModel::appended);
    model.add(recordsOfLines({{3}, {1, 4}, many, {7}, {2}}));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.queued(), 3);
    model.add(recordsOfLines({{9}}));
    EXPECT_EQ(model.rowCount(), 2) << "a chunk is already due";
    QTRY_COMPARE(model.rowCount(), 6);
    EXPECT_EQ(model.queued(), 0);
    EXPECT_EQ(appended.size(), 3);
    EXPECT_EQ(model.uses(), 1 + 2 + 25 + 1 + 1 + 1);
    struct Case {
        int row;
        QStringList texts;
        int firstLine;
        QList<int> lineRows; // the rows of lines under the record
    };
    const Case cases[] = {
        {0, {"ctx0", "100", "record 0", "3"}, 3, {}},
        {1, {"ctx1", "101", "record 1", "1, 4"}, 1, {1, 4}},
        {2,
         {"ctx2", "102", "record 2",
          "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, ..."},
         1,
         many},
        {5, {"ctx0", "100", "record 0", "9"}, 9, {}},
    };
    for (const Case& c : cases) {
        const QModelIndex record = model.index(c.row, 0);
        QStringList texts;
        for (int column = 0; column < model.columnCount(); ++column)
            texts << model.index(c.row, column).data().toString();
        EXPECT_EQ(texts, c.texts) << c.row;
        EXPECT_EQ(model.rowCount(record), c.lineRows.size()) << c.row;
        EXPECT_EQ(model.hasChildren(record), !c.lineRows.isEmpty()) << c.row;
        EXPECT_FALSE(model.parent(record).isValid());
        EXPECT_EQ(record.data(editor::WhereUsedModel::LineRole).toInt(), c.firstLine) << c.row;
        for (int i = 0; i < c.lineRows.size(); ++i) {
            const QModelIndex row = model.index(i, 3, record);
            EXPECT_EQ(model.parent(row), record);
            EXPECT_EQ(row.data().toString(), QString::number(c.lineRows[i]));
            EXPECT_EQ(model.index(i, 2, record).data().toString(), QString());
            EXPECT_EQ(row.data(editor::WhereUsedModel::LineRole).toInt(), c.lineRows[i]);
            EXPECT_EQ(row.data(editor::WhereUsedModel::IdRole), record.data(editor::WhereUsedModel::IdRole));
            EXPECT_EQ(model.rowCount(row), 0);
        }
    }
    // Out of range: no index.
    EXPECT_FALSE(model.index(6, 0).isValid());
    EXPECT_FALSE(model.index(0, 4).isValid());
    EXPECT_FALSE(model.index(2, 0, model.index(0, 0)).isValid());
    EXPECT_FALSE(model.index(25, 0, model.index(2, 0)).isValid());
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("d"));
}
