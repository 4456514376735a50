// The demo host's windows driven in process: a double-click in the verification window and in the
// editor's where-used list opens the record in the editor (the component's shared library, loaded
// as the host loads it) with the line marked in its strip.
#include "HostWindow.h"
#include "VerifyWindow.h"

#include "ado/Ado.h"
#include "ado/Setup.h"
#include "host/LogObject.h"
#include "host/Responder.h"
#include "host/TranslationService.h"

#include "../common/LanguageWords.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
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
        window->global().Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
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
        if (index.data(Qt::UserRole).toInt() == 2 &&
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
    // The message explained in the window's language, the place in words; the server's text after
    // it and whole in the tooltip.
    const QModelIndex message = view->model()->index(target.row(), demo::VerifyModel::Message);
    EXPECT_TRUE(message.data().toString().startsWith(QStringLiteral("Riga 2")))
        << message.data().toString().toStdString();
    EXPECT_TRUE(message.data().toString().contains(
        QStringLiteral("Divisione per zero. (Msg 8134: Divide by zero error encountered.)")));
    EXPECT_FALSE(message.data().toString().contains(QStringLiteral("(column")));
    EXPECT_TRUE(message.data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Msg 8134")));
    EXPECT_TRUE(editors().isEmpty());
    doubleClick(view, target);
    QWidget* editor = markedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editors().size(), 1);
    EXPECT_TRUE(strip(editor).startsWith(QStringLiteral("Riga 2: "))) << strip(editor).toStdString();
    EXPECT_TRUE(strip(editor).contains(QStringLiteral("Divisione per zero."))) << strip(editor).toStdString();
    EXPECT_TRUE(strip(editor).contains(QStringLiteral("Msg 8134"))) << strip(editor).toStdString();
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
    auto* uses = dialog->findChild<QTreeView*>(QStringLiteral("uses"));
    // The search runs on a worker: the list is whole once the status no longer says it searches.
    auto* status = dialog->findChild<QLabel*>();
    ASSERT_NE(status, nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !status->text().startsWith(QStringLiteral("Ricerca")); }, 20000));
    ASSERT_NE(uses, nullptr);
    ASSERT_EQ(uses->model()->rowCount(), 2);
    EXPECT_EQ(uses->model()->index(1, 1).data().toString(), QStringLiteral("1"));
    EXPECT_EQ(uses->model()->index(1, 3).data().toString(), QStringLiteral("2"));
    doubleClick(uses, uses->model()->index(1, 0));
    QWidget* second = markedEditor(first);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(editors().size(), 2);
    EXPECT_EQ(strip(second), QStringLiteral("Riga 2: Uso di [Prezzo lordo - CURR]"));
    EXPECT_EQ(caretLine(second), 2);
    EXPECT_TRUE(responder.requests().isEmpty());
}

// The verification window's rows, as the view shows them and as exported: the context by its
// name, the headers in the window's language, the separator of the language, quoted fields.
TEST(VerifyModel, RowsAndCsvInTheWindowsLanguage) {
    app();
    const QList<check::CheckedFormula> rows = {
        {0, 3, QStringLiteral("Sconto; zona \"nord\""), check::Verdict::Error,
         QStringLiteral("Msg 245, riga 2"), 2},
        {2, 1, QStringLiteral("Aumento"), check::Verdict::Ok, {}, 0},
    };
    struct Case {
        const char* name;
        demo::TranslateText translate;
        QChar separator;
        QString csv;
    };
    const demo::TranslateText english = [](const QString& t) {
        static const QHash<QString, QString> en = {
            {QStringLiteral("Esito"), QStringLiteral("Result")},
            {QStringLiteral("Contesto"), QStringLiteral("Context")},
            {QStringLiteral("Descrizione"), QStringLiteral("Description")},
            {QStringLiteral("Messaggio"), QStringLiteral("Message")},
            {QStringLiteral("Riga"), QStringLiteral("Line")},
            {QStringLiteral("Errore"), QStringLiteral("Error")},
            {QStringLiteral("Corretta"), QStringLiteral("Correct")},
            {QStringLiteral("Condizioni (provider)"), QStringLiteral("Conditions (provider)")},
            {QStringLiteral("Manutenzione listini"), QStringLiteral("Price-list maintenance")}};
        return en.value(t, t);
    };
    const Case cases[] = {
        {"Italian", [](const QString& t) { return t; }, u';',
         QStringLiteral("Esito;Contesto;ID;Descrizione;Messaggio;Riga\r\n"
                        "Errore;Condizioni (provider);3;\"Sconto; zona \"\"nord\"\"\";Msg 245, riga 2;2\r\n"
                        "Corretta;Manutenzione listini;1;Aumento;;\r\n")},
        {"English", english, u',',
         QStringLiteral(
             "Result,Context,ID,Description,Message,Line\r\n"
             "Error,Conditions (provider),3,\"Sconto; zona \"\"nord\"\"\",\"Msg 245, riga 2\",2\r\n"
             "Correct,Price-list maintenance,1,Aumento,,\r\n")},
    };
    for (const Case& c : cases) {
        demo::VerifyModel model(c.translate);
        model.append(rows);
        EXPECT_EQ(model.index(0, demo::VerifyModel::Context).data().toString(),
                  c.translate(QStringLiteral("Condizioni (provider)")))
            << c.name;
        // The view sorts on the values: the context's number, the line as a number.
        EXPECT_EQ(model.index(1, demo::VerifyModel::Context).data(Qt::UserRole).toInt(), 2) << c.name;
        EXPECT_EQ(model.toCsv({0, 1}, c.separator), c.csv) << c.name;
    }
}

TEST_F(HostWindows, VerificationExportsForSpreadsheetsAndResumesAfterAStop) {
    demo::VerifyWindow* verify = window->openVerification(1);
    QSignalSpy finished(verify, &demo::VerifyWindow::finished);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_FALSE(verify->wasInterrupted());
    auto* resume = verify->findChild<QPushButton*>(QStringLiteral("resume"));
    ASSERT_NE(resume, nullptr);
    EXPECT_FALSE(resume->isVisible());
    // Exported in the window's language: Italian, ";" and a byte-order mark.
    EXPECT_EQ(verify->csvSeparator(), u';');
    const QString path = dir.filePath(QStringLiteral("verifica.csv"));
    ASSERT_TRUE(verify->exportCsv(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "Esito;Contesto;ID;Descrizione;Messaggio;Riga\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 11);
    verify->setLocale(QLocale(QLocale::English));
    EXPECT_EQ(verify->csvSeparator(), u',');

    // "Interrompi" as the run starts: the window says so and offers to go on.
    verify->start(1);
    auto* stop = verify->findChild<QPushButton*>(QStringLiteral("cancel"));
    ASSERT_NE(stop, nullptr);
    stop->click();
    ASSERT_TRUE(finished.wait(60000));
    if (verify->model().rowCount() < 10) {
        EXPECT_TRUE(verify->wasInterrupted());
        EXPECT_TRUE(resume->isVisible());
        EXPECT_TRUE(verify->findChild<QLabel*>(QStringLiteral("status"))
                        ->text()
                        .startsWith(QStringLiteral("Verifica interrotta dopo %1 formule su 10.")
                                        .arg(verify->model().rowCount())));
        resume->click();
        ASSERT_TRUE(finished.wait(60000));
    }
    // Every record once, in the order of a whole run.
    ASSERT_EQ(verify->model().rowCount(), 10);
    for (int i = 1; i < 10; ++i) {
        const auto& a = verify->model().row(i - 1);
        const auto& b = verify->model().row(i);
        EXPECT_LT(std::make_pair(a.context, a.id), std::make_pair(b.context, b.id));
    }
    EXPECT_FALSE(resume->isVisible());
}

TEST_F(HostWindows, ARecordOpenedFromTheVerificationComesToTheFront) {
    demo::VerifyWindow* verify = window->openVerification(1);
    QSignalSpy finished(verify, &demo::VerifyWindow::finished);
    ASSERT_TRUE(finished.wait(60000));
    // Its own window, so that the host's can come in front of it.
    EXPECT_EQ(verify->parentWidget(), nullptr);
    verify->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(verify));
    emit verify->openRecord(2, 1, 2, QStringLiteral("Riga 2: Msg 8134"));
    QWidget* editor = markedEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* area = window->findChild<QMdiArea*>();
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->activeSubWindow(), window->editorWindow(2, 1));
    // Asked again, the open editor comes to the front: no second one.
    verify->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(verify));
    emit verify->openRecord(2, 1, 2, QStringLiteral("Riga 2: Msg 8134"));
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(editors().size(), 1);
}

// A save in an editor shows in the record list's Formula column, the record still selected.
TEST_F(HostWindows, RecordListFollowsASave) {
    const QList<demo::Record> before = window->records();
    const auto empty =
        std::find_if(before.begin(), before.end(), [](const demo::Record& r) { return !r.hasFormula; });
    ASSERT_NE(empty, before.end());
    const demo::Record record = *empty;
    ASSERT_TRUE(window->openEditor(record.context, core::Variant::fromInt64(record.id), false));
    QWidget* editor = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            editor = editors().isEmpty() ? nullptr : editors().first();
            return editor != nullptr && editor->isVisible();
        },
        20000));
    auto* box = editor->findChild<QPlainTextEdit*>(QStringLiteral("TXT_FORMULA"));
    ASSERT_NE(box, nullptr);
    box->setPlainText(QStringLiteral("SET [Prezzo lordo] = 5"));
    QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
    const auto saved = [&] {
        for (const demo::Record& r : window->records())
            if (r.context == record.context && r.id == record.id)
                return r.hasFormula;
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(saved, 10000));
}

// Every text a window shows: its title, its tool bars, menus and their actions, buttons, labels,
// line edits' placeholders and the column headers of its lists.
QStringList visibleTexts(QWidget* window) {
    QStringList texts{window->windowTitle()};
    for (const QToolBar* bar : window->findChildren<QToolBar*>())
        texts << bar->windowTitle();
    for (const QMenu* menu : window->findChildren<QMenu*>())
        texts << menu->title();
    for (const QAction* action : window->findChildren<QAction*>())
        texts << action->text();
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        texts << button->text();
    for (const QLabel* label : window->findChildren<QLabel*>())
        texts << label->text();
    for (const QLineEdit* edit : window->findChildren<QLineEdit*>())
        texts << edit->placeholderText();
    for (const QHeaderView* header : window->findChildren<QHeaderView*>()) {
        for (int section = 0; header->model() && section < header->count(); ++section)
            texts << header->model()->headerData(section, header->orientation()).toString();
    }
    // The cells the program writes itself (not the records' descriptions): the record list's context
    // and formula columns, the verification's verdict and context columns.
    for (const QTreeWidget* list : window->findChildren<QTreeWidget*>()) {
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts << list->topLevelItem(row)->text(0) << list->topLevelItem(row)->text(3);
    }
    for (const QTableView* table : window->findChildren<QTableView*>()) {
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            for (const int column : {demo::VerifyModel::Verdict, demo::VerifyModel::Context})
                texts << table->model()->index(row, column).data().toString();
        }
    }
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts;
}

// The host started in English shows English only: its window (title, tool bars, menus, the window
// list's actions, the record list) and its verification window. No text is an Italian text the
// catalogues translate, and none holds an Italian word.
TEST(HostWindowLanguage, TheEnglishHostShowsEnglishTexts) {
    app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
    ado::setup::initialize(db, true);
    demo::HostWindow window(db, QStringLiteral("en"), core::Variant::fromInt32(1));
    window.global().Settings()->User()->setFileName(dir.filePath(QStringLiteral("user.ini")));
    ASSERT_TRUE(window.refreshRecords());
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Parametric price lists"));
    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, QStringList({QStringLiteral("Tools"), QStringLiteral("Windows")}));
    auto* windowMenu = window.findChild<QMenu*>(QStringLiteral("windowMenu"));
    ASSERT_NE(windowMenu, nullptr);
    emit windowMenu->aboutToShow();
    QStringList windowActions;
    for (const QAction* action : windowMenu->actions())
        windowActions << action->text();
    EXPECT_EQ(windowActions, QStringList({QStringLiteral("Cascade"), QStringLiteral("Tile")}));
    demo::VerifyWindow* verify = window.openVerification(1);
    QSignalSpy finished(verify, &demo::VerifyWindow::finished);
    ASSERT_TRUE(finished.wait(60000));

    host::TranslationService english;
    ASSERT_GT(english.load(host::TranslationService::defaultDirectory(), QStringLiteral("en")), 0);
    for (QWidget* shown : {static_cast<QWidget*>(&window), static_cast<QWidget*>(verify)}) {
        const QStringList texts = visibleTexts(shown);
        EXPECT_GT(texts.size(), 8) << shown->objectName().toStdString();
        for (const QString& text : texts) {
            EXPECT_EQ(english.Traduci(text), text) << "left in Italian: " << text.toStdString();
            EXPECT_EQ(testtool::otherLanguageWords(text, QStringLiteral("en")), QStringList())
                << text.toStdString();
        }
    }
}

} // namespace
