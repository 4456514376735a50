#include "tree/StrutturaTree.h"

#include "TestDatabase.h"
#include "tree/TextSink.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <QTextStream>
#include <algorithm>
#include <list>

using tree::BuildOutcome;
using tree::NodeListSink;
using tree::StrutturaTree;
using tree::TreeNode;
using tree::TreeOptions;

namespace {

// Marks every translated text, so the tests see which texts went through the service.
QString marked(const QString& s) {
    return s + u'*';
}

// One line per node: relative, relationship, key, text, images, style.
QString describe(const TreeNode& n) {
    QString style = QStringLiteral("plain");
    if (n.bold || n.color.isValid())
        style = QStringLiteral("%1 rgb(%2,%3,%4)")
                    .arg(n.bold ? QStringLiteral("bold") : QStringLiteral("normal"))
                    .arg(n.color.red())
                    .arg(n.color.green())
                    .arg(n.color.blue());
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
        .arg(n.level)
        .arg(n.relative)
        .arg(n.relationship)
        .arg(n.key, n.text, n.image, n.selectedImage, style);
}

QStringList describe(const QList<TreeNode>& nodes) {
    QStringList out;
    for (const TreeNode& n : nodes)
        out << describe(n);
    return out;
}

// Builds the expected lines.
class Expected {
public:
    void branch(int level, const QString& relative, const QString& key, const QString& text,
                const char* image = "ramo") {
        const QString img = QString::fromLatin1(image);
        m_lines << QStringList{QString::number(level),
                               relative,
                               QString::number(relative.isEmpty() ? 0 : 4),
                               key,
                               text,
                               img,
                               img,
                               QStringLiteral("bold rgb(132,132,132)")}
                       .join(u'|');
    }
    void leaf(int level, const QString& relative, const QString& key, const QString& text, const char* image,
              const char* selected) {
        m_lines << QStringLiteral("%1|%2|4|%3|%4|%5|%6|plain")
                       .arg(level)
                       .arg(relative, key, text, QString::fromLatin1(image), QString::fromLatin1(selected));
    }
    void field(const QString& relative, const QString& key, const QString& text, int level = 2) {
        leaf(level, relative, key, text, "elemento", "elementosel");
    }
    void quotations() {
        const QStringList elements{"Prezzo lordo",
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
        const QStringList keys{"kqu", "kquin", "kquatt"};
        const QStringList captions{"Quotazione", "Quotazione ingresso", "Quotazione corrente"};
        for (int b = 0; b < 3; ++b) {
            branch(0, {}, keys[b], marked(captions[b]));
            for (int i = 0; i < elements.size(); ++i)
                leaf(1, keys[b], keys[b] + QString::number(i + 1), marked(elements[i]), "operatore",
                     "operatore");
        }
    }
    void operators() {
        const QStringList keys{"kof", "koc", "kol", "kco", "kde"};
        const QStringList captions{"Operatori fondamentali", "Operatori di confronto", "Operatori logici",
                                   "Operatori di condizione", "Delimitatori"};
        const QList<QStringList> texts{{"+", "-", "*", "/", "\\", "^"},
                                       {"=", "<>", "<=", "<", ">=", ">"},
                                       {"NOT", "AND", "OR", "TRUE", "FALSE"},
                                       {"IF", "THEN", "ELSE", "END"},
                                       {"(", ")", ",", "\"", "'"}};
        for (int b = 0; b < 5; ++b) {
            branch(0, {}, keys[b], marked(captions[b]));
            for (int i = 0; i < texts[b].size(); ++i)
                leaf(1, keys[b], keys[b] + QString::number(i + 1), texts[b][i], "operatore", "operatore");
        }
    }
    // The entity branch of the test database.
    void entities(bool variants, bool categories) {
        branch(0, {}, "ken", marked("Entità anagrafiche"));
        branch(1, "ken", "ramo_000", marked("Documento"));
        field("ramo_000", "elemento_001", marked("Sede"));
        field("ramo_000", "elemento_005", marked("Tipo documento"));
        field("ramo_000", "elemento_033", marked("Codice documento"));
        field("ramo_000", "elemento_034", marked("Ditta"));
        field("ramo_000", "elemento_035", marked("Data riferimento"));
        branch(1, "ken", "ramo_100", marked("Dati cli/for cli."));
        field("ramo_100", "elemento_101", marked("Codice cli/for"));
        field("ramo_100", "elemento_102", marked("Provincia cli/for"));
        field("ramo_100", "elemento_103", marked("Zona Cliente CLI."));
        field("ramo_100", "elemento_104", marked("Raggr. cli/for cli/for"));
        field("ramo_100", "elemento_105", marked("Cli/for documento"));
        field("ramo_100", "elemento_106", marked("ID Nodo distinta cli/for"));
        branch(1, "ken", "ramo_300", marked("Articolo"));
        field("ramo_300", "elemento_301", marked("Famiglia"));
        if (categories) {
            branch(2, "ramo_300", "elemento_602", marked("Categoria commerciale"), "ramosel");
            field("elemento_602", "elemento_602_0000000003", marked("C01 - Privati"), 3);
            field("elemento_602", "elemento_602_0000000012", marked("C02 - Rivenditori"), 3);
        }
        if (variants) {
            branch(2, "ramo_300", "elemento_502", marked("Codice variante"), "ramosel");
            field("elemento_502", "elemento_502_V01", "V01 - Colore", 3);
            field("elemento_502", "elemento_502_V02", "V02 - Misura", 3);
            field("ramo_300", "elemento_599", "Opzione cliente");
        }
        field("ramo_300", "elemento_007", marked("Marca"));
        if (variants) {
            branch(1, "ken", "ramo_500", marked("Varianti"));
            field("ramo_500", "elemento_501", "Modello");
        }
        branch(1, "ken", "ramo_800", marked("Configuratore"));
        field("ramo_800", "elemento_805", marked("Modello configurato"));
        branch(2, "ramo_800", "elemento_810", marked("Codice variante"), "ramosel");
        field("elemento_810", "elemento_810_V01", "V01 - Colore", 3);
        field("elemento_810", "elemento_810_V02", "V02 - Misura", 3);
        field("ramo_800", "elemento_899", marked("Modello cliente"));
    }
    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
};

struct Recorded {
    QString procedure;
    core::ErrorInfo error;
};

class StrutturaTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = db.tsqlMissing();
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
    }

    // The host services and options of one tree; kept by the fixture, as the tree refers to them.
    struct Setup {
        core::FunctionServices host;
        TreeOptions options;
    };

    Setup& services(int context = tables::vxContestoProvider, bool variants = true) {
        Setup& s = setups.emplace_back();
        s.host.f.connection = [this] { return db.connection(); };
        s.options.ditta = QStringLiteral("1");
        s.host.f.context = [context] { return context; };
        s.host.f.translate = [this](const QString& t) {
            ++translations;
            return marked(t);
        };
        s.options.variantSetting = [this, variants]() -> std::optional<core::Variant> {
            ++variantQuestions;
            return core::Variant::fromInt32(variants ? 1 : 0);
        };
        s.host.f.errorAnswer = [this](const QString& procedure, const core::ErrorInfo& error) {
            errors.append({procedure, error});
            const int a = answers.isEmpty() ? 3 : answers.takeFirst();
            return a;
        };
        return s;
    }

    std::list<Setup> setups;
    treetest::TestDatabase db;
    int translations = 0;
    int variantQuestions = 0;
    QList<Recorded> errors;
    QList<int> answers;
};

TEST_F(StrutturaTreeTest, ProviderContextWithVariants) {
    Setup& t_setup = services(tables::vxContestoProvider, true);
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    const qint64 before = db.connection()->statementCount();
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    Expected e;
    e.quotations();
    e.entities(true, true);
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
    EXPECT_TRUE(errors.isEmpty());
    // roots, five children lists, the category test and list, two variant lists
    EXPECT_EQ(db.connection()->statementCount() - before, 10);
    EXPECT_EQ(t.stats().statements, 10);
    EXPECT_EQ(t.stats().nodes, sink.nodes.size());
    // asked for the six active roots and the children 502, 599 and 501
    EXPECT_EQ(variantQuestions, 9);
}

TEST_F(StrutturaTreeTest, ListinoContextWithoutVariants) {
    Setup& t_setup = services(tables::vxContestoListino, false);
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    Expected e;
    e.quotations();
    e.entities(false, true);
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
    EXPECT_EQ(t.stats().statements, 8);
    EXPECT_EQ(variantQuestions, 8);
}

TEST_F(StrutturaTreeTest, MaintenanceContextHasNoEntityBranch) {
    Setup& t_setup = services(tables::vxContestoManutenzione, true);
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    const qint64 before = db.connection()->statementCount();
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    Expected e;
    e.quotations();
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
    EXPECT_EQ(sink.nodes.size(), 8 + 33 + 26);
    EXPECT_EQ(db.connection()->statementCount(), before);
    QStringList top;
    for (const TreeNode& n : sink.nodes)
        if (n.level == 0)
            top << n.key;
    EXPECT_EQ(top, (QStringList{"kqu", "kquin", "kquatt", "kof", "koc", "kol", "kco", "kde"}));
}

TEST_F(StrutturaTreeTest, NoCategoriesNoNodeFor602) {
    db.run(QStringLiteral("DELETE FROM CM01_CATEGORIECOMM WHERE CM01_DITTA_CG18 = 1"));
    Setup& t_setup = services();
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    Expected e;
    e.quotations();
    e.entities(true, false);
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
    EXPECT_TRUE(t.IsAttiveCategorieCommerciali() == false);
}

TEST_F(StrutturaTreeTest, OtherCompanySeesItsOwnCategoriesAndVariants) {
    Setup& s = services();
    s.options.ditta = QStringLiteral("2");
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    QStringList values;
    for (const TreeNode& n : sink.nodes)
        if (n.level == 3)
            values << n.key + u'=' + n.text;
    EXPECT_EQ(values,
              (QStringList{"elemento_602_0000000099=C00 - Altra ditta*", "elemento_502_V00=V00 - Altra ditta",
                           "elemento_810_V00=V00 - Altra ditta"}));
}

TEST_F(StrutturaTreeTest, VariantSettingChain) {
    struct Case {
        std::optional<core::Variant> setting;
        bool expected;
    };
    const Case cases[] = {
        {std::nullopt, false},
        {core::Variant::fromInt32(1), true},
        {core::Variant::fromInt16(1), true},
        {core::Variant::fromDecimal(core::Decimal::fromInt64(1)), true},
        {core::Variant::fromInt32(0), false},
        {core::Variant::fromInt32(2), false},
        {core::Variant::null(), false},
        {core::Variant(), false},
    };
    for (const Case& c : cases) {
        Setup& s = services();
        s.options.variantSetting = [&] { return c.setting; };
        StrutturaTree t(s.host, s.options);
        EXPECT_EQ(t.IsAttiveVarianti(), c.expected)
            << (c.setting ? c.setting->typeName().toStdString() : "missing");
    }
    Setup& s = services();
    s.options.variantSetting = nullptr;
    EXPECT_FALSE(StrutturaTree(s.host, s.options).IsAttiveVarianti());
}

TEST_F(StrutturaTreeTest, VariantSettingErrorsAnsweredUnderOwnName) {
    Setup& s = services();
    int calls = 0;
    s.options.variantSetting = [&]() -> std::optional<core::Variant> {
        if (++calls == 1)
            throw core::ComError(core::err::ObjectVariableNotSet, QStringLiteral("Object variable not set"));
        return core::Variant::fromInt32(1);
    };
    StrutturaTree t(s.host, s.options);
    answers = {4};
    EXPECT_TRUE(t.IsAttiveVarianti());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].procedure, QStringLiteral("IsAttiveVarianti"));
    EXPECT_EQ(errors[0].error.number, core::err::ObjectVariableNotSet);

    calls = 0;
    answers = {5};
    EXPECT_FALSE(t.IsAttiveVarianti());
    EXPECT_EQ(calls, 1);
}

// A company code the server cannot read makes every statement that carries it fail.
const QString BadDitta = QStringLiteral("1 1");

TEST_F(StrutturaTreeTest, CategoryTestErrorAnsweredUnderOwnNameThenRetriedListRecovers) {
    Setup& s = services();
    s.options.ditta = BadDitta;
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    // Ignore in the category test (no categories then); in the build, the variant list of 502
    // fails next: the company code is put right and the statement retried.
    s.host.f.errorAnswer = [&](const QString& procedure, const core::ErrorInfo& error) {
        errors.append({procedure, error});
        if (procedure == QStringLiteral("IsAttiveCategorieCommerciali"))
            return 5;
        t.options().ditta = QStringLiteral("1");
        return 4;
    };
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0].procedure, QStringLiteral("IsAttiveCategorieCommerciali"));
    EXPECT_EQ(errors[0].error.number, core::err::ProviderError);
    EXPECT_EQ(errors[1].procedure, QStringLiteral("LoadStrutturaTree"));
    Expected e;
    e.quotations();
    e.entities(true, false);
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
}

TEST_F(StrutturaTreeTest, CategoryTestWithoutConnectionIsFalseWithoutError) {
    Setup& s = services();
    s.host.f.connection = [] { return nullptr; };
    StrutturaTree t(s.host, s.options);
    EXPECT_FALSE(t.IsAttiveCategorieCommerciali());
    EXPECT_TRUE(errors.isEmpty());
    Setup& fresh = services();
    EXPECT_TRUE(StrutturaTree(fresh.host, fresh.options).IsAttiveCategorieCommerciali());
}

TEST_F(StrutturaTreeTest, WithoutConnectionTheTreeIsLeftAlone) {
    Setup& s = services();
    s.host.f.connection = [] { return nullptr; };
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    TreeNode old;
    old.key = QStringLiteral("old");
    sink.nodes.append(old);
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::NoConnection);
    ASSERT_EQ(sink.nodes.size(), 1);
    EXPECT_EQ(sink.nodes[0].key, QStringLiteral("old"));
    EXPECT_TRUE(errors.isEmpty());
    // The quotation texts were translated before the connection was looked at.
    EXPECT_EQ(translations, 11);
}

TEST_F(StrutturaTreeTest, QuotationTextsTranslatedOncePerBuild) {
    QStringList asked;
    Setup& s = services(tables::vxContestoManutenzione);
    s.host.f.translate = [&](const QString& x) {
        asked << x;
        return x;
    };
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    t.LoadStrutturaTree(sink);
    EXPECT_EQ(asked.count(QStringLiteral("Prezzo lordo")), 1);
    EXPECT_EQ(asked.count(QStringLiteral("Quotazione")), 1);
    EXPECT_EQ(asked.size(), 11 + 8);
}

// The last child of root 0 in display order has a lower id than another child: the second
// fixed field repeats that child's key.
void makeDuplicateKey(treetest::TestDatabase& db) {
    db.run(QStringLiteral("UPDATE LP14_CAMPI SET LP14_INDELEMENTO = 35 WHERE LP14_INDELEMENTO = 1"));
}

TEST_F(StrutturaTreeTest, DuplicateKeyAbortStopsAndKeepsNodes) {
    makeDuplicateKey(db);
    Setup& t_setup = services();
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    answers = {3};
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Aborted);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].procedure, QStringLiteral("LoadStrutturaTree"));
    EXPECT_EQ(errors[0].error.number, 35602);
    ASSERT_FALSE(sink.nodes.isEmpty());
    // Everything up to the first fixed field stays; nothing after it is added.
    EXPECT_EQ(sink.nodes.last().key, QStringLiteral("elemento_034"));
    EXPECT_EQ(sink.nodes.size(), 36 + 1 + 1 + 3 + 1);
}

TEST_F(StrutturaTreeTest, DuplicateKeyRetryAsksAgainThenAnyOtherAnswerEnds) {
    makeDuplicateKey(db);
    Setup& t_setup = services();
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    answers = {4, 4, 5};
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Stopped);
    EXPECT_EQ(errors.size(), 3);
    EXPECT_EQ(sink.nodes.last().key, QStringLiteral("elemento_034"));
    for (int answer : {0, 6, 7}) {
        errors.clear();
        answers = {answer};
        NodeListSink again;
        EXPECT_EQ(t.LoadStrutturaTree(again), BuildOutcome::Stopped) << answer;
        EXPECT_EQ(again.nodes.size(), sink.nodes.size());
    }
}

TEST_F(StrutturaTreeTest, WithoutErrorDisplayAnErrorAborts) {
    makeDuplicateKey(db);
    Setup& s = services();
    s.host.f.errorAnswer = nullptr;
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Aborted);
}

TEST_F(StrutturaTreeTest, RootWithoutChildrenCannotNumberItsFixedFields) {
    db.run(QStringLiteral("UPDATE LP14_CAMPI SET LP14_ISATTIVO = 0 WHERE LP14_PARENT = 100"));
    Setup& t_setup = services();
    StrutturaTree t(t_setup.host, t_setup.options);
    NodeListSink sink;
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Aborted);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].error.number, core::err::AdoBofEof);
    EXPECT_EQ(sink.nodes.last().key, QStringLiteral("ramo_100"));
}

TEST_F(StrutturaTreeTest, FailingTranslationRetriedThenBuildCompletes) {
    Setup& s = services();
    int failures = 0;
    s.host.f.translate = [&](const QString& x) {
        if (x == QStringLiteral("Famiglia") && failures++ == 0)
            throw core::ComError(440, QStringLiteral("Translation service failed"));
        return marked(x);
    };
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    answers = {4};
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].error.number, 440);
    EXPECT_EQ(errors[0].error.description, QStringLiteral("Translation service failed"));
    Expected e;
    e.quotations();
    e.entities(true, true);
    e.operators();
    EXPECT_EQ(describe(sink.nodes), e.lines());
}

TEST_F(StrutturaTreeTest, FailingStatementAbortsAfterTheSubBranch) {
    Setup& s = services();
    s.options.ditta = BadDitta;
    StrutturaTree t(s.host, s.options);
    NodeListSink sink;
    answers = {5, 3};
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Aborted);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0].procedure, QStringLiteral("IsAttiveCategorieCommerciali"));
    EXPECT_EQ(errors[1].procedure, QStringLiteral("LoadStrutturaTree"));
    EXPECT_EQ(errors[1].error.number, core::err::ProviderError);
    EXPECT_EQ(sink.nodes.last().key, QStringLiteral("elemento_502"));
}

TEST_F(StrutturaTreeTest, SinkFailureIsAnErrorOfTheBuild) {
    struct Failing : NodeListSink {
        void add(const TreeNode& n) override {
            if (n.key == QStringLiteral("kol"))
                throw core::ComError(7, QStringLiteral("Out of memory"));
            NodeListSink::add(n);
        }
    } sink;
    Setup& t_setup = services(tables::vxContestoManutenzione);
    StrutturaTree t(t_setup.host, t_setup.options);
    answers = {5};
    EXPECT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Stopped);
    EXPECT_EQ(sink.nodes.last().key, QStringLiteral("koc6"));
}

TEST_F(StrutturaTreeTest, TextSinkIndentsTwoBlanksPerLevel) {
    QString out;
    QTextStream stream(&out);
    tree::TextSink sink(stream);
    Setup& t_setup = services();
    StrutturaTree t(t_setup.host, t_setup.options);
    ASSERT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    stream.flush();
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), QStringLiteral("kqu\tQuotazione*"));
    EXPECT_EQ(lines.value(1), QStringLiteral("  kqu1\tPrezzo lordo*"));
    EXPECT_TRUE(lines.contains(QStringLiteral("      elemento_602_0000000012\tC02 - Rivenditori*")));
    EXPECT_TRUE(lines.contains(QStringLiteral("    elemento_034\tDitta*")));
    EXPECT_EQ(lines.last(), QStringLiteral("  kde5\t'"));
}

} // namespace

namespace {

// A node list that puts the rows of a deferred sub-branch right after it, as the editor does.
class OrderedSink : public tree::NodeListSink {
public:
    void add(const tree::TreeNode& node) override {
        if (!after.isEmpty() && node.relative == after) {
            nodes.insert(position++, node);
            return;
        }
        nodes.append(node);
    }
    void fillFrom(tree::StrutturaTree& t, const QString& key) {
        after = key;
        for (position = 0; position < nodes.size() && nodes[position].key != key; ++position) {
        }
        ++position;
        t.fillBranch(key, *this);
        after.clear();
    }
    QString after;
    qsizetype position = 0;
};

} // namespace

TEST_F(StrutturaTreeTest, DeferredListsGiveTheSameTreeOnceFilled) {
    Setup& full_setup = services(tables::vxContestoProvider, true);
    StrutturaTree full(full_setup.host, full_setup.options);
    NodeListSink fullSink;
    ASSERT_EQ(full.LoadStrutturaTree(fullSink), BuildOutcome::Completed);

    Setup& lazy_setup = services(tables::vxContestoProvider, true);
    lazy_setup.options.deferLists = true;
    StrutturaTree lazy(lazy_setup.host, lazy_setup.options);
    OrderedSink sink;
    ASSERT_EQ(lazy.LoadStrutturaTree(sink), BuildOutcome::Completed);
    // One statement fewer for each of the category list and the two variant lists.
    EXPECT_EQ(lazy.stats().statements, full.stats().statements - 3);
    const QStringList pending = lazy.pendingBranches();
    ASSERT_EQ(pending.size(), 3);
    for (const QString& key : pending) {
        const auto it = std::find_if(sink.nodes.begin(), sink.nodes.end(),
                                     [&](const TreeNode& n) { return n.key == key; });
        ASSERT_NE(it, sink.nodes.end());
        EXPECT_TRUE(it->deferred);
        EXPECT_TRUE(lazy.isPending(key));
    }
    // Filled in another order than the build's: the rows still land after their sub-branch.
    for (auto it = pending.rbegin(); it != pending.rend(); ++it)
        sink.fillFrom(lazy, *it);
    EXPECT_TRUE(lazy.pendingBranches().isEmpty());
    for (TreeNode& n : sink.nodes)
        n.deferred = false;
    EXPECT_EQ(describe(sink.nodes), describe(fullSink.nodes));
    EXPECT_EQ(sink.nodes, fullSink.nodes);
    EXPECT_TRUE(errors.isEmpty());
    // A branch already filled is left alone.
    const qsizetype count = sink.nodes.size();
    EXPECT_EQ(lazy.fillBranch(pending.first(), sink), BuildOutcome::Completed);
    EXPECT_EQ(sink.nodes.size(), count);
}

TEST_F(StrutturaTreeTest, DeferredListErrorsAreAnsweredUnderTheBuildsName) {
    Setup& s = services(tables::vxContestoProvider, true);
    s.options.deferLists = true;
    StrutturaTree t(s.host, s.options);
    OrderedSink sink;
    ASSERT_EQ(t.LoadStrutturaTree(sink), BuildOutcome::Completed);
    t.options().ditta = QStringLiteral("1 +"); // the list's statement no longer compiles
    const QString key = t.pendingBranches().last();
    answers = {3};
    EXPECT_EQ(t.fillBranch(key, sink), BuildOutcome::Aborted);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors.first().procedure, QStringLiteral("LoadStrutturaTree"));
}
