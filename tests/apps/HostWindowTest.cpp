// The demo host's windows driven in process: a double-click in the verification window and in the
// editor's where-used list opens the record in the editor (the component's shared library, loaded
// as the host loads it) with the line marked in its strip.
#include "HostWindow.h"
#include "VerifyWindow.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "host/LogObject.h"
#include "host/Responder.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "host_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

class HostWindows : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
        host::GclsLog::setLogFilePath(dir.filePath(QStringLiteral("host.log")));
        db = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
        ado::setup::initialize(db, true);
        // The maintenance formula uses the current price on its second line, and divides by zero there.
        ado::Connection c;
        c.Open(db);
        c.Execute(
            QStringLiteral("UPDATE LP17_FORMULEMANUT SET LP17_FORMULA = 'SET @OUTSC1PERC = 1' + CHAR(10) + "
                           "'SET @OUTPREZZO = @ATTPREZZO + 1 / 0' WHERE LP17_ID = 1"));
        c.Close();
        window = std::make_unique<demo::HostWindow>(db, QStringLiteral("it"), core::Variant::fromInt32(1));
        window->global().setResponder(&responder);
        ASSERT_TRUE(window->loadComponent()) << window->errorText().toStdString();
        ASSERT_TRUE(window->refreshRecords());
        window->show();
    }
    void TearDown() override { window.reset(); }

    QList<QWidget*> editors() const {
        return window->findChildren<QWidget*>(QStringLiteral("FRMLP_FORMULE"));
    }

    // The editor whose strip shows a text, once one does.
    QWidget* markedEditor(const QWidget* other = nullptr) {
        QWidget* found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (QWidget* e : editors()) {
                    QLabel* s = e != other ? e->findChild<QLabel*>(QStringLiteral("LBL_MESSAGGIO")) : nullptr;
                    if (s != nullptr && !s->text().isEmpty())
                        found = e;
                }
                return found != nullptr;
            },
            20000);
        return found;
    }

    static QString strip(QWidget* editor) {
        return editor->findChild<QLabel*>(QStringLiteral("LBL_MESSAGGIO"))->text();
    }
    static int caretLine(QWidget* editor) {
        return editor->findChild<QPlainTextEdit*>(QStringLiteral("TXT_FORMULA"))->textCursor().blockNumber() +
               1;
    }

    static void doubleClick(QAbstractItemView* view, const QModelIndex& index) {
        const QPoint at = view->visualRect(index).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    QTemporaryDir dir;
    QString db;
    host::TestResponder responder;
    std::unique_ptr<demo::HostWindow> window;
};

TEST_F(HostWindows, VerificationDoubleClickOpensTheRecordWithTheErrorLineMarked) {
    demo::VerifyWindow* verify = window->openVerification(1);
    QSignalSpy finished(verify, &demo::VerifyWindow::finished);
    ASSERT_TRUE(finished.wait(60000));
    auto* view = verify->findChild<QTableView*>(QStringLiteral("results"));
    ASSERT_NE(view, nullptr);
    QModelIndex target;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex index = view->model()->index(row, demo::VerifyModel::Context);
        if (index.data().toInt() == 2 &&
            view->model()->index(row, demo::VerifyModel::Id).data().toLongLong() == 1)
            target = index;
    }
    ASSERT_TRUE(target.isValid());
    // The stored formulas are judged as production runs them: the demo's category of text
    // compared with 'ROSSO' is correct; the division by zero of the maintenance formula is not.
    QStringList verdicts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        verdicts << view->model()->index(row, demo::VerifyModel::Verdict).data().toString();
    EXPECT_EQ(verdicts.size(), 10);
    EXPECT_EQ(verdicts.count(QStringLiteral("Corretta")), 9) << verdicts.join(u' ').toStdString();
    EXPECT_EQ(view->model()->index(target.row(), demo::VerifyModel::Verdict).data().toString(),
              QStringLiteral("Errore"));
    EXPECT_EQ(view->model()->index(target.row(), demo::VerifyModel::Line).data().toInt(), 2);
    EXPECT_TRUE(editors().isEmpty());
    doubleClick(view, target);
    QWidget* editor = markedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editors().size(), 1);
    EXPECT_TRUE(strip(editor).startsWith(QStringLiteral("Riga 2: "))) << strip(editor).toStdString();
    EXPECT_TRUE(strip(editor).contains(QStringLiteral("(Msg 8134)"))) << strip(editor).toStdString();
    EXPECT_EQ(caretLine(editor), 2);
}

TEST_F(HostWindows, WhereUsedDoubleClickOpensTheOtherRecordWithTheLineMarked) {
    QWidget* first = nullptr;
    ASSERT_TRUE(
        window->openEditor(0, core::Variant(QStringLiteral("1")), false, [&](QWidget* e) { first = e; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first != nullptr; }, 20000));
    auto* tree = first->findChild<QTreeWidget*>(QStringLiteral("TVW_FIELDS"));
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* label = nullptr;
    for (QTreeWidgetItem* item :
         tree->findItems(QStringLiteral("Prezzo lordo"), Qt::MatchExactly | Qt::MatchRecursive))
        if (item->parent() && item->parent()->text(0) == QStringLiteral("Quotazione corrente"))
            label = item;
    ASSERT_NE(label, nullptr);
    label->parent()->setExpanded(true);
    tree->scrollToItem(label);
    const QPoint at = tree->visualItemRect(label).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &event);
    QMenu* menu = tree->findChild<QMenu*>(QStringLiteral("mnuAlbero"));
    ASSERT_NE(menu, nullptr);
    auto* entry = menu->findChild<QAction*>(QStringLiteral("mnuFormuleCheLoUsano"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    menu->close();
    auto* dialog = window->findChild<QDialog*>(QStringLiteral("whereUsedDialog"));
    ASSERT_NE(dialog, nullptr);
    auto* uses = dialog->findChild<QTreeWidget*>(QStringLiteral("uses"));
    // The search runs on a worker: the list is whole once the status no longer says it searches.
    auto* status = dialog->findChild<QLabel*>();
    ASSERT_NE(status, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !status->text().startsWith(QStringLiteral("Ricerca")); }, 20000));
    ASSERT_EQ(uses->topLevelItemCount(), 2);
    EXPECT_EQ(uses->topLevelItem(1)->text(1), QStringLiteral("1"));
    EXPECT_EQ(uses->topLevelItem(1)->text(3), QStringLiteral("2"));
    doubleClick(uses, uses->model()->index(1, 0));
    QWidget* second = markedEditor(first);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(editors().size(), 2);
    EXPECT_EQ(strip(second), QStringLiteral("Riga 2: Uso di [Prezzo lordo - CURR]"));
    EXPECT_EQ(caretLine(second), 2);
    EXPECT_TRUE(responder.requests().isEmpty());
}

} // namespace
