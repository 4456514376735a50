#include "tree/StrutturaTree.h"

#include "ado/Ado.h"
#include "core/NullSafe.h"
#include "tables/ElementTables.h"

#include <QElapsedTimer>

#include <QSet>

#include <algorithm>
#include <ctime>

namespace tree {

namespace {

const QString ProcLoad = QStringLiteral("LoadStrutturaTree");
const QString Ramo = QString::fromLatin1(ImgRamo);
const QString Elemento = QString::fromLatin1(ImgElemento);
const QString ElementoSel = QString::fromLatin1(ImgElementoSel);
const QString RamoSel = QString::fromLatin1(ImgRamoSel);
const QString Operatore = QString::fromLatin1(ImgOperatore);
const QColor BranchColor(BranchRed, BranchGreen, BranchBlue);
const QString ProcCategorie = QStringLiteral("IsAttiveCategorieCommerciali");
const QString ProcVarianti = QStringLiteral("IsAttiveVarianti");

// Error numbers of the tree control's node collection.
constexpr qint32 ErrKeyNotUnique = 35602;
constexpr qint32 ErrElementNotFound = 35601;

int answerOf(const core::ErrorAnswerFn& fn, const QString& procedure, const core::ErrorInfo& info) {
    return fn ? fn(procedure, info) : static_cast<int>(core::Answer::Abort);
}

core::Variant field(const ado::Recordset& rs, const QString& name) {
    return rs.GetFields().Item(name).Value();
}

QString text(const core::Variant& v) {
    return core::RTrimN(v).toString();
}

QString latin1(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

QList<QStringList> operatorTexts() {
    return {
        {QStringLiteral("+"), QStringLiteral("-"), QStringLiteral("*"), QStringLiteral("/"),
         QStringLiteral("\\"), QStringLiteral("^")},
        {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral("<"),
         QStringLiteral(">="), QStringLiteral(">")},
        {QStringLiteral("NOT"), QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("TRUE"),
         QStringLiteral("FALSE")},
        {QStringLiteral("IF"), QStringLiteral("THEN"), QStringLiteral("ELSE"), QStringLiteral("END")},
        {QStringLiteral("("), QStringLiteral(")"), QStringLiteral(","), QStringLiteral("\""),
         QStringLiteral("'")},
    };
}

QString formatId(const core::Variant& value, int digits) {
    core::Decimal d;
    try {
        d = value.toDecimal();
    } catch (const core::ComError&) {
        return value.isNull() ? QString() : value.toString();
    }
    std::optional<std::int64_t> n = d.toInt64Rounded();
    if (!n)
        return d.toString();
    const bool negative = *n < 0;
    QString digitsText = QString::number(negative ? -*n : *n).rightJustified(digits, u'0');
    return negative ? u'-' + digitsText : digitsText;
}

QString elementKey(const core::Variant& id) {
    return QStringLiteral("elemento_") + formatId(id, 3);
}

// State of one run of LoadStrutturaTree.
struct StrutturaTree::Build {
    Build(StrutturaTree& owner, TreeSink& target)
        : self(owner)
        , sink(target) {}

    StrutturaTree& self;
    TreeSink& sink;
    ado::Connection* connection = nullptr;
    std::shared_ptr<ado::Recordset> roots;
    std::shared_ptr<ado::Recordset> children;
    std::shared_ptr<ado::Recordset> values;
    BuildOutcome outcome = BuildOutcome::Completed;

    // Runs one statement of the procedure under its error trap: retry runs it again, abort
    // closes the open recordsets; both abort and any other answer end the procedure.
    template <typename Statement> bool step(Statement&& statement) {
        for (;;) {
            try {
                statement();
                return true;
            } catch (...) {
                const core::ErrorInfo info = core::currentErrorInfo(std::current_exception());
                const int answer = answerOf(self.m_host.errorAnswerFn(), ProcLoad, info);
                if (answer == static_cast<int>(core::Answer::Retry))
                    continue;
                if (answer == static_cast<int>(core::Answer::Abort)) {
                    closeOpen();
                    outcome = BuildOutcome::Aborted;
                } else {
                    outcome = BuildOutcome::Stopped;
                }
                return false;
            }
        }
    }

    void closeOpen() {
        for (auto* rs : {&roots, &children, &values})
            if (*rs && (*rs)->IsOpen())
                (*rs)->Close();
    }

    QString tr(const QString& italian) const { return self.m_host.translate(italian); }

    // Adds a node as the tree control does: the key must be new and the relative must exist.
    void add(const QString& relative, const QString& key, const QString& nodeText, const QString& image,
             const QString& selectedImage, bool branch, bool deferred = false) {
        if (self.m_levels.contains(key))
            throw core::ComError(ErrKeyNotUnique, QStringLiteral("Key is not unique in collection"),
                                 QStringLiteral("TreeView"));
        int level = 0;
        if (!relative.isEmpty()) {
            auto it = self.m_levels.constFind(relative);
            if (it == self.m_levels.constEnd())
                throw core::ComError(ErrElementNotFound, QStringLiteral("Element not found"),
                                     QStringLiteral("TreeView"));
            level = *it + 1;
        }
        TreeNode node;
        node.relative = relative;
        node.relationship = relative.isEmpty() ? RelationshipNone : RelationshipChild;
        node.key = key;
        node.text = nodeText;
        node.image = image;
        node.selectedImage = selectedImage;
        node.level = level;
        if (branch) {
            node.bold = true;
            node.color = BranchColor;
        }
        node.deferred = deferred;
        sink.add(node);
        self.m_levels.insert(key, level);
        ++self.m_stats.nodes;
    }

    bool branch(const QString& key, const char* caption) {
        return step([&] { add({}, key, tr(QString::fromUtf8(caption)), Ramo, Ramo, true); });
    }

    // The values of a list sub-branch: one node per row of the statement. The statement is
    // composed inside the step, so a retry reads the company code afresh.
    bool listValues(const QString& subKey, QString (*statement)(const QString&), const QString& idColumn,
                    int idDigits, bool translated) {
        if (!step([&] { values = self.execute(connection, statement(self.m_options.ditta)); }))
            return false;
        for (;;) {
            bool eof = false;
            if (!step([&] { eof = values->IsEOF(); }))
                return false;
            if (eof)
                break;
            if (!step([&] {
                    const core::Variant id = core::RTrimN(field(*values, idColumn));
                    const QString key =
                        subKey + u'_' + (idDigits > 0 ? formatId(id, idDigits) : id.toString());
                    const QString description = text(field(*values, QStringLiteral("DESCRIZIONE")));
                    add(subKey, key, translated ? tr(description) : description, Elemento, ElementoSel,
                        false);
                }))
                return false;
            if (!step([&] { values->MoveNext(); }))
                return false;
        }
        return step([&] { values->Close(); });
    }

    // Children of one root, with the fixed fields of roots 0 and 100.
    bool rootChildren(const QString& rootKey, const core::Variant& rawRootId) {
        core::Variant rootId;
        if (!step([&] { rootId = core::CDecN(rawRootId); }))
            return false;
        if (!step([&] { children = self.execute(connection, tables::childrenStatement(rootId)); }))
            return false;
        for (;;) {
            bool eof = false;
            if (!step([&] { eof = children->IsEOF(); }))
                return false;
            if (eof)
                break;
            core::Variant rawId;
            QString description;
            core::Decimal c;
            QString key;
            if (!step([&] {
                    rawId = field(*children, latin1(tables::field::EntityId));
                    description = text(field(*children, latin1(tables::field::EntityDescription)));
                    c = core::CDecN(rawId).toDecimal();
                    key = elementKey(core::RTrimN(rawId));
                }))
                return false;
            const auto between = [&](int lo, int hi) {
                return c >= core::Decimal::fromInt64(lo) && c <= core::Decimal::fromInt64(hi);
            };
            const auto subBranch = [&] {
                return step([&] { add(rootKey, key, tr(description), RamoSel, RamoSel, true); });
            };
            // A list sub-branch and its rows, now or when it is first expanded.
            const auto listBranch = [&](QString (*statement)(const QString&), const QString& idColumn,
                                        int idDigits, bool translated) {
                if (!self.m_options.deferLists)
                    return subBranch() && listValues(key, statement, idColumn, idDigits, translated);
                if (!step([&] { add(rootKey, key, tr(description), RamoSel, RamoSel, true, true); }))
                    return false;
                self.m_pending.append({key, statement, idColumn, idDigits, translated});
                return true;
            };
            const auto entityField = [&](const QString& nodeText) {
                return step([&] { add(rootKey, key, nodeText, Elemento, ElementoSel, false); });
            };
            if (c == core::Decimal::fromInt64(CategoriesElement)) {
                if (self.IsAttiveCategorieCommerciali()) {
                    if (!listBranch(tables::categoriesStatement, latin1(tables::field::CategoryId), 10, true))
                        return false;
                }
            } else if (between(500, 599)) {
                if (self.IsAttiveVarianti()) {
                    if (c == core::Decimal::fromInt64(502)) {
                        if (!listBranch(tables::variantsStatement, latin1(tables::field::VariantCode), 0,
                                        false))
                            return false;
                    } else if (!entityField(description)) {
                        return false;
                    }
                }
            } else if (between(800, 899)) {
                if (c == core::Decimal::fromInt64(810)) {
                    if (!listBranch(tables::variantsStatement, latin1(tables::field::VariantCode), 0, false))
                        return false;
                } else {
                    QString translated;
                    if (!step([&] { translated = tr(description); }) || !entityField(translated))
                        return false;
                }
            } else {
                QString translated;
                if (!step([&] {
                        QString substituted = description;
                        substituted.replace(QStringLiteral("cli."), QStringLiteral("cli/for"));
                        substituted.replace(QStringLiteral("cliente"), QStringLiteral("cli/for"));
                        translated = tr(substituted);
                    }) ||
                    !entityField(translated))
                    return false;
            }
            if (!step([&] { children->MoveNext(); }))
                return false;
        }
        // Roots 0 and 100 end with two fixed fields numbered after their last child.
        const char* fixed[2] = {nullptr, nullptr};
        if (rawRootId.equals(core::Variant::fromInt32(0))) {
            fixed[0] = "Ditta";
            fixed[1] = "Data riferimento";
        } else if (rawRootId.equals(core::Variant::fromInt32(100))) {
            fixed[0] = "Cli/for documento";
            fixed[1] = "ID Nodo distinta cli/for";
        }
        if (fixed[0]) {
            core::Decimal n;
            if (!step([&] { children->MoveLast(); }) || !step([&] {
                    n = core::CDecN(field(*children, latin1(tables::field::EntityId))).toDecimal();
                }))
                return false;
            for (int i = 0; i < 2; ++i) {
                if (!step([&] {
                        const std::optional<core::Decimal> id = n.add(core::Decimal::fromInt64(i + 1));
                        if (!id)
                            throw core::ComError(core::err::Overflow, QStringLiteral("Overflow"));
                        const QString key = elementKey(core::Variant::fromDecimal(*id));
                        add(rootKey, key, tr(QString::fromUtf8(fixed[i])), Elemento, ElementoSel, false);
                    }))
                    return false;
            }
        }
        return step([&] { children->Close(); });
    }

    bool entityBranch() {
        const BranchDef& ken = Branches[3];
        const QString kenKey = QString::fromLatin1(ken.key);
        if (!branch(kenKey, ken.caption))
            return false;
        if (!step([&] { roots = self.execute(connection, tables::rootsStatement()); }))
            return false;
        for (;;) {
            bool eof = false;
            if (!step([&] { eof = roots->IsEOF(); }))
                return false;
            if (eof)
                break;
            core::Variant rawId;
            QString description;
            bool skip = false;
            if (!step([&] {
                    rawId = field(*roots, latin1(tables::field::EntityId));
                    description = text(field(*roots, latin1(tables::field::EntityDescription)));
                }))
                return false;
            if (!step([&] {
                    const core::Decimal id = core::CDecN(rawId).toDecimal();
                    // The variant test is asked for every root, whatever its id.
                    const bool varianti = self.IsAttiveVarianti();
                    skip = id == core::Decimal::fromInt64(200) ||
                           (id == core::Decimal::fromInt64(500) && !varianti);
                }))
                return false;
            if (!skip) {
                const QString rootKey = QStringLiteral("ramo_") + formatId(core::RTrimN(rawId), 3);
                if (!step([&] {
                        QString substituted = description;
                        substituted.replace(QStringLiteral("cliente"), QStringLiteral("cli/for"));
                        add(kenKey, rootKey, tr(substituted), Ramo, Ramo, true);
                    }))
                    return false;
                if (!rootChildren(rootKey, rawId))
                    return false;
            }
            if (!step([&] { roots->MoveNext(); }))
                return false;
        }
        return step([&] { roots->Close(); });
    }

    bool run() {
        // The eleven quotation texts are translated once and shared by the three branches.
        QStringList quotation;
        for (const char* base : QuotationElements) {
            QString translated;
            if (!step([&] { translated = tr(QString::fromUtf8(base)); }))
                return false;
            quotation.append(translated);
        }
        if (!step([&] { connection = self.currentConnection(); }))
            return false;
        if (!connection) {
            outcome = BuildOutcome::NoConnection;
            return false;
        }
        if (!step([&] {
                sink.clear();
                self.m_levels.clear();
                self.m_pending.clear();
            }))
            return false;
        for (int b = 0; b < 3; ++b) {
            const QString key = QString::fromLatin1(Branches[b].key);
            if (!branch(key, Branches[b].caption))
                return false;
            for (int i = 0; i < quotation.size(); ++i) {
                if (!step([&] {
                        add(key, key + QString::number(i + 1), quotation[i], Operatore, Operatore, false);
                    }))
                    return false;
            }
        }
        if (self.m_host.editingContext() != tables::vxContestoManutenzione && !entityBranch())
            return false;
        const QList<QStringList> operators = operatorTexts();
        for (int b = 0; b < operators.size(); ++b) {
            const BranchDef& def = Branches[4 + b];
            const QString key = QString::fromLatin1(def.key);
            if (!branch(key, def.caption))
                return false;
            for (int i = 0; i < operators[b].size(); ++i) {
                if (!step([&] {
                        add(key, key + QString::number(i + 1), operators[b][i], Operatore, Operatore, false);
                    }))
                    return false;
            }
        }
        return true;
    }
};

StrutturaTree::StrutturaTree(core::HostServices& host, TreeOptions options)
    : m_host(host)
    , m_options(std::move(options)) {}

StrutturaTree::~StrutturaTree() = default;

ado::Connection* StrutturaTree::currentConnection() const {
    return m_host.connection();
}

qint64 threadCpuNanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::shared_ptr<ado::Recordset> StrutturaTree::execute(ado::Connection* connection,
                                                       const QString& statement) {
    QElapsedTimer timer;
    timer.start();
    const qint64 cpu = threadCpuNanoseconds();
    ++m_stats.statements;
    constexpr int adCmdText = 1;
    std::shared_ptr<ado::Recordset> rs = connection->Execute(statement, nullptr, adCmdText);
    m_stats.databaseCpuNanoseconds += threadCpuNanoseconds() - cpu;
    m_stats.databaseNanoseconds += timer.nsecsElapsed();
    return rs;
}

BuildOutcome StrutturaTree::LoadStrutturaTree(TreeSink& sink) {
    m_stats = {};
    Build build(*this, sink);
    build.run();
    return build.outcome;
}

QStringList StrutturaTree::pendingBranches() const {
    QStringList keys;
    for (const ListSource& source : m_pending)
        keys.append(source.key);
    return keys;
}

bool StrutturaTree::isPending(const QString& key) const {
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [&](const ListSource& source) { return source.key == key; });
}

bool StrutturaTree::dropPending(const QString& key) {
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const ListSource& source) { return source.key == key; });
    if (it == m_pending.end())
        return false;
    m_pending.erase(it);
    return true;
}

BuildOutcome StrutturaTree::fillBranch(const QString& key, TreeSink& sink) {
    const auto it = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const ListSource& source) { return source.key == key; });
    if (it == m_pending.end())
        return BuildOutcome::Completed;
    const ListSource source = *it;
    m_pending.erase(it);
    m_stats = {};
    Build build(*this, sink);
    if (!build.step([&] { build.connection = currentConnection(); }))
        return build.outcome;
    if (!build.connection)
        return BuildOutcome::NoConnection;
    build.listValues(source.key, source.statement, source.idColumn, source.idDigits, source.translated);
    return build.outcome;
}

bool StrutturaTree::IsAttiveCategorieCommerciali() {
    bool result = false;
    ado::Connection* connection = nullptr;
    std::shared_ptr<ado::Recordset> rs;
    // Each statement runs under the function's own trap: retry runs it again, any other
    // answer ends the function with the result reached so far.
    const auto step = [&](const std::function<void()>& statement) {
        for (;;) {
            try {
                statement();
                return true;
            } catch (...) {
                const core::ErrorInfo info = core::currentErrorInfo(std::current_exception());
                if (answerOf(m_host.errorAnswerFn(), ProcCategorie, info) !=
                    static_cast<int>(core::Answer::Retry))
                    return false;
            }
        }
    };
    if (!step([&] { connection = currentConnection(); }) || !connection)
        return false;
    if (!step([&] { rs = execute(connection, tables::categoriesTestStatement(m_options.ditta)); }))
        return result;
    if (!step([&] { result = !rs->IsEOF(); }))
        return result;
    step([&] { rs->Close(); });
    return result;
}

bool StrutturaTree::IsAttiveVarianti() {
    bool result = false;
    for (;;) {
        try {
            if (!m_options.variantSetting)
                return false;
            const std::optional<core::Variant> setting = m_options.variantSetting();
            result = setting && setting->equals(core::Variant::fromInt32(1));
            return result;
        } catch (...) {
            const core::ErrorInfo info = core::currentErrorInfo(std::current_exception());
            if (answerOf(m_host.errorAnswerFn(), ProcVarianti, info) != static_cast<int>(core::Answer::Retry))
                return result;
        }
    }
}

} // namespace tree
