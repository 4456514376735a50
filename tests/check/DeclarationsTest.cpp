#include "check/Declarations.h"
#include "language/Dictionary.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QStringList>

namespace {

// The whole block, byte for byte: 138 lines, each ending in CR LF.
TEST(Declarations, IsTheFixedBlock) {
    const QString block = check::BuildDeclarations();
    EXPECT_EQ(block.split(QStringLiteral("\r\n")).size(), 138 + 1);
    EXPECT_TRUE(block.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(QCryptographicHash::hash(block.toUtf8(), QCryptographicHash::Sha256).toHex(),
              QByteArray("02f985b713245aeccc52cc93c023995e004c09df15598c6da8dc54feb8246a72"));
}

TEST(Declarations, CheckDeclarationsAddTheOptionAfterTheBlock) {
    const QString all = check::CheckDeclarations();
    EXPECT_TRUE(all.startsWith(check::BuildDeclarations()));
    EXPECT_EQ(all.mid(check::BuildDeclarations().size()),
              QStringLiteral("declare @DO30_OPZIONE_MG5E                    AS CHAR(20)\r\n"));
}

// The block and the token dictionary name the same variables: the text the check sends declares
// every variable of the dictionary once (the option after the block) and nothing else, and the
// list of variables and types the element help and the trial run use is that text read line by
// line ("declare @V as T").
TEST(Declarations, DeclareExactlyTheVariablesOfTheTokenDictionary) {
    QStringList fromText;
    QStringList declared;
    for (const QString& line : check::CheckDeclarations().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        ASSERT_EQ(words.size(), 4) << line.toStdString();
        fromText << words.at(1).toUpper() + u' ' + words.at(3);
        declared << words.at(1).toUpper();
    }
    QStringList fromList;
    for (const check::DeclaredVariable& v : check::declaredVariables())
        fromList << v.variable + u' ' + v.type;
    EXPECT_EQ(fromList, fromText);

    EXPECT_EQ(declared.last(), language::Dictionary::entry(language::Dictionary::OptionEntry).variable);
    QStringList fromDictionary;
    for (const language::Entry& e : language::Dictionary::entries())
        fromDictionary << e.variable;
    fromDictionary.sort();
    declared.sort();
    EXPECT_EQ(declared, fromDictionary);
}

} // namespace
