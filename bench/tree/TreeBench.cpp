// Builds the element tree from databases of 1,000, 10,000 and 100,000 commercial categories and
// configurator variants, into a plain node list and into an off-screen QTreeWidget, and reports
// the time of a build with the share spent running statements and adding nodes. The first build
// of each sink is reported apart from the median of the later ones (no untimed warm-up).
//
//   tree_bench [--rows N]... [--runs N]

#include "BenchData.h"
#include "ado/Ado.h"
#include "ado/Setup.h"
#include "host/TranslationService.h"
#include "tree/StrutturaTree.h"
#include "tree/TreeImages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

// Adds each node to a QTreeWidget as the editor window does: text, icon, bold and colour.
class TreeWidgetSink : public tree::TreeSink {
public:
    explicit TreeWidgetSink(QTreeWidget& widget)
        : m_widget(widget) {
        for (const QString& key : tree::treeImageKeys())
            m_icons.insert(key, QIcon(tree::treePixmap(key)));
        m_bold = m_widget.font();
        m_bold.setBold(true);
    }
    void clear() override {
        m_widget.clear();
        m_items.clear();
    }
    void add(const tree::TreeNode& node) override {
        // The item gets its text, picture and style before it joins the tree, so the view
        // hears of it once.
        auto* item = new QTreeWidgetItem(QStringList{node.text});
        item->setIcon(0, m_icons.value(node.image));
        if (node.bold)
            item->setFont(0, m_bold);
        if (node.color.isValid())
            item->setForeground(0, node.color);
        if (node.relative.isEmpty())
            m_widget.addTopLevelItem(item);
        else
            m_items.value(node.relative)->addChild(item);
        m_items.insert(node.key, item);
    }

private:
    QTreeWidget& m_widget;
    QHash<QString, QTreeWidgetItem*> m_items;
    QHash<QString, QIcon> m_icons;
    QFont m_bold;
};

// Takes the nodes and drops them: a build into it costs the builder and the database only.
class NullSink : public tree::TreeSink {
public:
    void clear() override {}
    void add(const tree::TreeNode&) override {}
};

struct Sample {
    double wallMs;
    double cpuMs; // processor time of the thread
    double databaseWallMs;
    double databaseCpuMs;
    int nodes;
    int statements;
};

struct Summary {
    double wallMs, cpuMs, databaseWallMs, databaseCpuMs;
    int nodes, statements;
    double firstWallMs; // the first build, apart from the median of the others
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Summary summarize(const std::vector<Sample>& samples) {
    std::vector<double> w, c, dw, dc;
    for (const Sample& s : samples) {
        w.push_back(s.wallMs);
        c.push_back(s.cpuMs);
        dw.push_back(s.databaseWallMs);
        dc.push_back(s.databaseCpuMs);
    }
    const double first = w.front();
    if (w.size() > 1) {
        w.erase(w.begin());
        c.erase(c.begin());
        dw.erase(dw.begin());
        dc.erase(dc.begin());
    }
    return {median(w), median(c), median(dw), median(dc), samples.front().nodes, samples.front().statements,
            first};
}

// The sink's share is what a build into it costs beyond a build into the null sink.
void report(const char* name, const Summary& s, const Summary& bare) {
    const double sinkCpu = std::max(0.0, s.cpuMs - bare.cpuMs);
    const double rest = s.cpuMs - s.databaseCpuMs - sinkCpu;
    std::printf(
        "%-12s nodes %6d statements %3d | cpu %7.1f ms: database %6.1f ms (%4.1f%%), sink %6.1f ms "
        "(%4.1f%%), builder %6.1f ms (%4.1f%%) | wall %7.1f ms (database %6.1f ms) | first build wall "
        "%7.1f ms\n",
        name, s.nodes, s.statements, s.cpuMs, s.databaseCpuMs, 100 * s.databaseCpuMs / s.cpuMs, sinkCpu,
        100 * sinkCpu / s.cpuMs, rest, 100 * rest / s.cpuMs, s.wallMs, s.databaseWallMs, s.firstWallMs);
}

// Builds of each sink on a database of `rows` categories and variants.
bool measureSize(int rows, int runs, const QString& dir) {
    const QString cs = bench::makeDatabase(dir + QStringLiteral("/rows%1.sqlite").arg(rows), rows, rows);
    if (cs.isEmpty())
        return false;
    ado::Connection connection;
    try {
        connection.Open(cs);
    } catch (const core::ComError& e) {
        std::fprintf(stderr, "tree_bench: cannot open the database: %s\n", e.what());
        return false;
    }
    host::TranslationService translation;
    translation.load(host::TranslationService::defaultDirectory(), QStringLiteral("en"));
    core::FunctionServices host({.connection = [&] { return &connection; },
                                 .translate = [&](const QString& s) { return translation.Traduci(s); },
                                 .errorAnswer =
                                     [](const QString& procedure, const core::ErrorInfo& e) {
                                         std::fprintf(stderr, "%s: %s\n", qPrintable(procedure),
                                                      qPrintable(e.description));
                                         return 3;
                                     }});
    tree::StrutturaTree builder(host, {.ditta = QStringLiteral("1"), .variantSetting = [] {
                                           return std::optional<core::Variant>(core::Variant::fromInt32(1));
                                       }});
    const auto measure = [&](tree::TreeSink& sink) {
        std::vector<Sample> samples;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            const qint64 cpu = tree::threadCpuNanoseconds();
            const tree::BuildOutcome outcome = builder.LoadStrutturaTree(sink);
            const qint64 cpuTotal = tree::threadCpuNanoseconds() - cpu;
            const qint64 total = t.nsecsElapsed();
            if (outcome != tree::BuildOutcome::Completed) {
                std::fprintf(stderr, "tree_bench: the build did not complete\n");
                std::exit(1);
            }
            const tree::BuildStats& st = builder.stats();
            samples.push_back({total / 1e6, cpuTotal / 1e6, st.databaseNanoseconds / 1e6,
                               st.databaseCpuNanoseconds / 1e6, st.nodes, st.statements});
        }
        return summarize(samples);
    };
    std::printf("%d categories and %d variants\n", rows, rows);
    NullSink none;
    const Summary bare = measure(none);
    report("no sink", bare, bare);
    tree::NodeListSink list;
    report("node list", measure(list), bare);
    QTreeWidget widget;
    widget.setHeaderHidden(true);
    widget.resize(400, 600);
    widget.show();
    TreeWidgetSink widgetSink(widget);
    report("QTreeWidget", measure(widgetSink), bare);
    // As the editor builds it: the category and variant rows wait for their branch.
    builder.options().deferLists = true;
    report("deferred", measure(widgetSink), bare);
    builder.options().deferLists = false;
    std::printf("resident memory %.0f MB, peak %.0f MB\n", bench::residentMegabytes(),
                bench::peakResidentMegabytes());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Categories and variants of the company."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Builds per sink."), QStringLiteral("N"),
                      QStringLiteral("5")});
    parser.addHelpOption();
    parser.process(app);
    std::vector<int> sizes;
    for (const QString& v : parser.values(QStringLiteral("rows")))
        sizes.push_back(v.toInt());
    if (sizes.empty())
        sizes = {1000, 10000, 100000};
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    QTemporaryDir dir;
    for (int rows : sizes) {
        if (!measureSize(rows, runs, dir.path()))
            return 2;
    }
    return 0;
}
