#include "TestDatabase.h"
#include "ado/Setup.h"
#include "language/Dictionary.h"
#include "language/FormulaLanguage.h"
#include "tree/Insertion.h"
#include "tree/StrutturaTree.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QTemporaryDir>

namespace {

QString italian(const QString& s) {
    return s;
}

// Every element under an entity root of the demo data inserts a dictionary label, and the
// translation to SQL turns that label into the entry's variable.
TEST(TreeDemoData, EntityFieldsInsertDictionaryLabels) {
    QTemporaryDir dir;
    const QString cs = ado::setup::embeddedConnectionString(dir.filePath(QStringLiteral("demo.sqlite")));
    ado::setup::initialize(cs, true);
    ado::Connection connection;
    connection.Open(cs);
    const QString missing = treetest::TestDatabase::tsqlMissingOn(connection);
    if (!missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();

    core::FunctionServices host({.connection = [&] { return &connection; },
                                 .translate = italian,
                                 .errorAnswer =
                                     [](const QString& procedure, const core::ErrorInfo& e) {
                                         ADD_FAILURE() << procedure.toStdString() << ": "
                                                       << e.description.toStdString();
                                         return 3;
                                     }});
    tree::StrutturaTree builder(host, {.ditta = QStringLiteral("1"), .variantSetting = [] {
                                           return std::optional<core::Variant>(core::Variant::fromInt32(1));
                                       }});
    tree::NodeListSink sink;
    ASSERT_EQ(builder.LoadStrutturaTree(sink), tree::BuildOutcome::Completed);

    QHash<QString, const tree::TreeNode*> byKey;
    QSet<QString> parents;
    for (const tree::TreeNode& n : sink.nodes) {
        byKey.insert(n.key, &n);
        parents.insert(n.relative);
    }
    QHash<QString, QString> variables; // label -> variable
    for (int i = 34; i <= language::Dictionary::EntryCount; ++i) {
        const language::Entry& e = language::Dictionary::entry(i);
        variables.insert(language::Dictionary::label(e, language::Direction::ToSql, italian), e.variable);
    }
    language::FormulaLanguage lang(host);

    int fields = 0;
    for (const tree::TreeNode& n : sink.nodes) {
        if (parents.contains(n.key) || n.level < 2)
            continue;
        const tree::TreeNode* parent = byKey.value(n.relative);
        const tree::TreeNode* grandparent = byKey.value(parent->relative);
        if (!grandparent || grandparent->key != QStringLiteral("ken"))
            continue;
        ++fields;
        tree::InsertionRequest r;
        r.text = n.text;
        r.parentText = parent->text;
        r.grandparentText = grandparent->text;
        r.boxText = QStringLiteral("SET [Prezzo lordo] = ");
        r.caretPosition = static_cast<int>(r.boxText.size());
        const tree::InsertionResult res = tree::composeInsertion(r, italian);
        ASSERT_TRUE(variables.contains(res.insertion))
            << n.key.toStdString() << " " << res.insertion.toStdString();
        EXPECT_EQ(lang.decodeToken(res.insertion, false), variables.value(res.insertion))
            << n.key.toStdString();
    }
    EXPECT_GT(fields, 100);
}

} // namespace
