// The element tree of the editor window as a user meets it on a company of 100,000 categories and
// variants: the window is opened through the component on a database of that size, with the
// host's translation service, and waits for its catalogue. Then
//  - the category branch is expanded with the tree scrolled part way down: the time to the
//    rows being shown, and whether the scroll position stayed (the first expansion reads the rows;
//    a later one, after collapsing, is reported apart);
//  - a search is typed into the tree's search box a key at a time: the time the window's thread
//    spends on each key, and the time from the last key to the results shown in the tree;
//  - the search box is cleared.
//
//   tree_search_bench [--rows N]... [--text TEXT] [--runs N] [--expand-only] [--at-once]

#include "BenchData.h"
#include "EditorHost.h"
#include "editor/CatalogLoader.h"
#include "editor/ElementFinding.h"
#include "editor/FRMLP_FORMULE.h"
#include "editor/TreeFilter.h"
#include "tree/StrutturaTree.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Runs the events until `done` answers true (or a minute passes); the milliseconds it took.
template <typename Done> double until(Done done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return t.nsecsElapsed() / 1e6;
}

// Runs the events already posted (a key's own work), without waiting for timers.
void settle() {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

struct Editor {
    bench::EditorHost host;
    std::unique_ptr<component::CLSLP_FORMULE> cls;
    editor::FRMLP_FORMULE* window = nullptr;

    explicit Editor(const QString& cs)
        : host(cs)
        , cls(host.show())
        , window(bench::EditorHost::window(*cls)) {}
    ~Editor() {
        if (cls)
            cls->CloseForm();
    }
    QTreeWidget* tree() const { return window->findChild<QTreeWidget*>(QStringLiteral("TVW_FIELDS")); }
    QLineEdit* box() const { return window->finding()->filterBox(); }
    editor::TreeFilter* filter() const { return window->finding()->treeFilter(); }
};

// Collapses every branch, opens the roots and scrolls to the middle of what shows; then expands
// the category branch and waits until its rows show. The time, and whether the view stayed.
void expandOnce(Editor& e, QTreeWidgetItem* branch, const char* name) {
    QTreeWidget* tree = e.tree();
    branch->setExpanded(false);
    settle();
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tree->topLevelItem(i)->setExpanded(true);
    tree->scrollToItem(branch, QAbstractItemView::PositionAtCenter);
    settle();
    const int before = tree->verticalScrollBar()->value();
    QElapsedTimer t;
    t.start();
    const qint64 cpu = tree::threadCpuNanoseconds();
    branch->setExpanded(true);
    settle();
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpuMs = (tree::threadCpuNanoseconds() - cpu) / 1e6;
    const int after = tree->verticalScrollBar()->value();
    std::printf("%-22s %8.1f ms (thread cpu %6.1f ms)  rows %6d  scroll %d -> %d (%s)\n", name, ms, cpuMs,
                branch->childCount(), before, after, before == after ? "kept" : "MOVED");
}

// Types `text` a key at a time, as fast as the window takes the keys; then waits for the
// results. Returns nothing; prints per-key times and the wait.
void typeSearch(Editor& e, const QString& text, const char* name) {
    std::vector<double> keys;
    QElapsedTimer total;
    total.start();
    for (const QChar c : text) {
        QElapsedTimer t;
        t.start();
        QTest::keyClick(e.box(), c.toLatin1());
        settle();
        keys.push_back(t.nsecsElapsed() / 1e6);
    }
    const double typing = total.nsecsElapsed() / 1e6;
    const double wait = until([&] { return e.filter()->isSettled(); });
    int shown = 0;
    for (QTreeWidgetItem* item : e.window->treeNodes())
        if (item->childCount() == 0 && item->parent() != nullptr && !item->isHidden())
            ++shown;
    const double first = keys.front();
    const double worst = *std::max_element(keys.begin(), keys.end());
    std::printf("%-22s keys %2zu: first %6.1f ms, median %6.1f ms, worst %6.1f ms, typing %7.1f ms; results "
                "%7.1f ms after the last key (leaves shown %d)\n",
                name, keys.size(), first, bench::median(keys), worst, typing, wait, shown);
    QElapsedTimer t;
    t.start();
    e.filter()->clear();
    until([&] { return e.filter()->isSettled(); });
    settle();
    std::printf("%-22s %8.1f ms\n", "clear", t.nsecsElapsed() / 1e6);
}

bool measure(int rows, const QString& text, int runs, bool search, bool atOnce, const QString& dir) {
    const QString cs = bench::makeDatabase(dir + QStringLiteral("/rows%1.sqlite").arg(rows), rows, rows);
    if (cs.isEmpty())
        return false;
    std::printf("%d categories and %d variants\n", rows, rows);
    QElapsedTimer t;
    t.start();
    Editor e(cs);
    if (e.window == nullptr)
        return false;
    const double opened = until([&] { return !e.window->FirstActivation(); });
    const double loaded = until([&] { return e.window->finding()->loader()->isLoaded(); });
    std::printf("%-22s %8.1f ms (catalogue %.1f ms later)\n", "window open", opened, loaded);
    // A user reaches for the branch a moment after the window shows its lists (with --at-once,
    // the moment they are there: the rows still being made on the worker are waited for).
    if (!atOnce)
        until([&] { return t.elapsed() > opened + loaded + 1000; });
    const QString key = tree::elementKey(core::Variant::fromInt32(tree::CategoriesElement));
    QTreeWidgetItem* branch = e.window->nodeByKey(key);
    if (branch == nullptr) {
        std::fprintf(stderr, "tree_search_bench: no category branch\n");
        return false;
    }
    expandOnce(e, branch, "expand (reads rows)");
    for (int i = 0; i < runs; ++i)
        expandOnce(e, branch, "expand again");
    // The variant branches are not read yet: the search reads those whose rows match.
    if (!search)
        return true;
    typeSearch(e, text, "search (first)");
    for (int i = 0; i < runs; ++i)
        typeSearch(e, text, "search again");
    std::printf("resident memory %.0f MB, peak %.0f MB\n", bench::residentMegabytes(),
                bench::peakResidentMegabytes());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Categories and variants of the company."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("text"), QStringLiteral("What is typed into the search box."),
                      QStringLiteral("TEXT"), QStringLiteral("prova 4321")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Repeated expansions and searches."),
                      QStringLiteral("N"), QStringLiteral("2")});
    parser.addOption({QStringLiteral("expand-only"), QStringLiteral("Measures the expansion alone.")});
    parser.addOption(
        {QStringLiteral("at-once"), QStringLiteral("Expands as soon as the catalogue is there.")});
    parser.addHelpOption();
    parser.process(app);
    std::vector<int> sizes;
    for (const QString& v : parser.values(QStringLiteral("rows")))
        sizes.push_back(v.toInt());
    if (sizes.empty())
        sizes = {100000};
    QTemporaryDir dir;
    for (int rows : sizes)
        if (!measure(rows, parser.value(QStringLiteral("text")),
                     std::max(1, parser.value(QStringLiteral("runs")).toInt()),
                     !parser.isSet(QStringLiteral("expand-only")), parser.isSet(QStringLiteral("at-once")),
                     dir.path()))
            return 2;
    return 0;
}
