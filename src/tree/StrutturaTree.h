#pragma once

#include "core/Error.h"
#include "core/HostServices.h"
#include "core/Variant.h"
#include "tables/EditingContext.h"
#include "tree/TreeNode.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace ado {
class Connection;
class Recordset;
} // namespace ado

namespace tree {

// Top-level branches, in the order they are added.
struct BranchDef {
    const char* key;
    const char* caption; // Italian caption, translated when the node is added
};
inline constexpr std::array<BranchDef, 9> Branches{{
    {"kqu", "Quotazione"},
    {"kquin", "Quotazione ingresso"},
    {"kquatt", "Quotazione corrente"},
    {"ken", "Entità anagrafiche"},
    {"kof", "Operatori fondamentali"},
    {"koc", "Operatori di confronto"},
    {"kol", "Operatori logici"},
    {"kco", "Operatori di condizione"},
    {"kde", "Delimitatori"},
}};

// The eleven quotation elements (base texts), in the order of the dictionary.
inline constexpr std::array<const char*, 11> QuotationElements{"Prezzo lordo",
                                                               "Sconto 1%",
                                                               "Sconto 2%",
                                                               "Sconto 3%",
                                                               "Sconto 4%",
                                                               "Sconto 5%",
                                                               "Sconto 6%",
                                                               "Sconto importo",
                                                               "Maggiorazione 1%",
                                                               "Maggiorazione 2%",
                                                               "Maggiorazione importo"};

// Texts of the operator and delimiter branches (kof, koc, kol, kco, kde), never translated.
QList<QStringList> operatorTexts();

// Image keys of imlImagesTrv.
inline constexpr const char* ImgRamo = "ramo";
inline constexpr const char* ImgElemento = "elemento";
inline constexpr const char* ImgElementoSel = "elementosel";
inline constexpr const char* ImgRamoSel = "ramosel";
inline constexpr const char* ImgOperatore = "operatore";
inline constexpr const char* ImgMinus = "minus";
inline constexpr const char* ImgPlus = "plus";

// Zero-filled formatting of an id ("000" -> digits = 3): 7 gives "007", 1234 gives "1234".
// A value that is no number is written as text.
QString formatId(const core::Variant& value, int digits);
// The element whose sub-branch lists the company's categories; the other list sub-branches hold
// variants.
inline constexpr int CategoriesElement = 602;
// The key of an element's node: "elemento_" and its number in at least three digits.
QString elementKey(const core::Variant& id);

// What the build needs from the window besides its host services (the connection GconConnect,
// none: the tree is left alone; the translation service; VisualizzaErrore, whose answers are
// 3 abort, 4 retry, other values as each procedure states; enmContestoformule, whose price-list
// maintenance context leaves the entity branch out).
struct TreeOptions {
    // Ditta: the company code, appended to the statements unchanged (no quotes).
    QString ditta;
    // The host's variant setting of the company, read through the host objects: nullopt when
    // an object along the way is missing. May throw.
    std::function<std::optional<core::Variant>()> variantSetting;
    // True: the category and variant sub-branches are added without their rows, marked
    // deferred, and fillBranch reads them when the branch is first expanded. The statements,
    // keys, texts and pictures are those of a full build; only the moment of the statement
    // changes. A customer's company has 100,000 of each, which nobody scrolls through at start.
    bool deferLists = false;
};

// How a build ended.
enum class BuildOutcome {
    Completed,    // the whole tree was built
    NoConnection, // no connection: nothing was touched
    Aborted,      // an error answered with abort (3): open recordsets were closed
    Stopped,      // an error answered with anything but abort or retry
};

// Counters of the last build, for the tool and the benchmarks.
struct BuildStats {
    int nodes = 0;
    int statements = 0;
    qint64 databaseNanoseconds = 0;    // wall-clock time spent running statements
    qint64 databaseCpuNanoseconds = 0; // processor time of this thread spent running statements
};

// Processor time consumed by the calling thread, in nanoseconds (unaffected by other load
// on the machine, unlike wall-clock time).
qint64 threadCpuNanoseconds();

// The element tree: LoadStrutturaTree and its two tests, without any widget. The nodes are
// handed to a sink one at a time as they are built, so whatever was added before an error
// stays with the sink.
class StrutturaTree {
public:
    // `host` must outlive the tree.
    StrutturaTree(core::HostServices& host, TreeOptions options);
    ~StrutturaTree();
    StrutturaTree(const StrutturaTree&) = delete;
    StrutturaTree& operator=(const StrutturaTree&) = delete;

    // Clears the sink and rebuilds the whole tree into it.
    BuildOutcome LoadStrutturaTree(TreeSink& sink);

    // Deferred sub-branches (deferLists) whose rows were not read yet, in the order they were
    // added.
    QStringList pendingBranches() const;
    bool isPending(const QString& key) const;
    // The rows of the deferred sub-branch `key` were added from rows already read (the window's
    // catalogue of the same list): the branch is no longer pending. False when it was not.
    bool dropPending(const QString& key);
    // Reads the rows of the deferred sub-branch `key` and hands them to the sink as the full
    // build does, right after the sub-branch; errors are handled as in LoadStrutturaTree (same
    // procedure name and answers). A branch not pending is left alone (Completed).
    BuildOutcome fillBranch(const QString& key, TreeSink& sink);

    // True when the company has at least one commercial category.
    bool IsAttiveCategorieCommerciali();
    // True when configurator variants are enabled for the company (the host's setting is 1).
    bool IsAttiveVarianti();

    const BuildStats& stats() const { return m_stats; }
    TreeOptions& options() { return m_options; }

private:
    struct Build;
    ado::Connection* currentConnection() const;
    std::shared_ptr<ado::Recordset> execute(ado::Connection* connection, const QString& statement);

    // How the rows of a deferred sub-branch are read.
    struct ListSource {
        QString key;
        QString (*statement)(const QString&);
        QString idColumn;
        int idDigits;
        bool translated;
    };

    core::HostServices& m_host;
    TreeOptions m_options;
    BuildStats m_stats;
    QHash<QString, int> m_levels; // key -> level of every node added since the last clear
    QList<ListSource> m_pending;
};

} // namespace tree
