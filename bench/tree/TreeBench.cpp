// Builds the element tree from a database with 10,000 commercial categories and 10,000
// configurator variants, into a plain node list and into an off-screen QTreeWidget, and reports
// the time of a build with the share spent running statements and adding nodes.
//
//   tree_bench [--categories N] [--variants N] [--runs N]

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

void fill(ado::Connection& c, int categories, int variants) {
    c.BeginTrans();
    for (int i = 0; i < categories; ++i)
        c.Execute(
            QStringLiteral("INSERT INTO CM01_CATEGORIECOMM (CM01_IDCATEGORIA, CM01_DITTA_CG18, CM01_CODICE, "
                           "CM01_DESCR) VALUES (%1, 1, 'B%2', 'Categoria di prova %2')")
                .arg(100000 + i)
                .arg(i, 6, 10, QChar(u'0')));
    for (int i = 0; i < variants; ++i)
        c.Execute(
            QStringLiteral("INSERT INTO MG5F_DIMECONF (MG5F_DITTA_CG18, MG5F_CODICEVAR, MG5F_DESCR_VAR) "
                           "VALUES (1, 'W%1', 'Variante di prova %1')")
                .arg(i, 6, 10, QChar(u'0')));
    c.CommitTrans();
}

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
    return {median(w), median(c), median(dw), median(dc), samples.front().nodes, samples.front().statements};
}

// The sink's share is what a build into it costs beyond a build into the null sink.
void report(const char* name, const Summary& s, const Summary& bare) {
    const double sinkCpu = std::max(0.0, s.cpuMs - bare.cpuMs);
    const double rest = s.cpuMs - s.databaseCpuMs - sinkCpu;
    std::printf("%-12s nodes %6d statements %3d | cpu %7.1f ms: database %6.1f ms (%4.1f%%), sink %6.1f ms "
                "(%4.1f%%), builder %6.1f ms (%4.1f%%) | wall %7.1f ms (database %6.1f ms) | target 200 ms "
                "(cpu): %s\n",
                name, s.nodes, s.statements, s.cpuMs, s.databaseCpuMs, 100 * s.databaseCpuMs / s.cpuMs,
                sinkCpu, 100 * sinkCpu / s.cpuMs, rest, 100 * rest / s.cpuMs, s.wallMs, s.databaseWallMs,
                s.cpuMs < 200 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("categories"), QStringLiteral("Categories of the company."),
                      QStringLiteral("N"), QStringLiteral("10000")});
    parser.addOption({QStringLiteral("variants"), QStringLiteral("Variants of the company."),
                      QStringLiteral("N"), QStringLiteral("10000")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Builds per sink."), QStringLiteral("N"),
                      QStringLiteral("9")});
    parser.addHelpOption();
    parser.process(app);

    QTemporaryDir dir;
    const QString cs = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("bench.sqlite")));
    ado::Connection connection;
    try {
        ado::setup::initialize(cs, true);
        connection.Open(cs);
        fill(connection, parser.value(QStringLiteral("categories")).toInt(),
             parser.value(QStringLiteral("variants")).toInt());
    } catch (const core::ComError& e) {
        std::fprintf(stderr, "tree_bench: cannot prepare the database: %s\n", e.what());
        return 2;
    }

    host::TranslationService translation;
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

    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
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

    NullSink none;
    builder.LoadStrutturaTree(none); // warm-up: caches and allocator
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
    return 0;
}
