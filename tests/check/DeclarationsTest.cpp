#include "check/Declarations.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

QStringList blockLines() {
    QStringList lines = check::BuildDeclarations().split(QStringLiteral("\r\n"));
    // The block ends with the CR LF of its last line.
    EXPECT_EQ(lines.last(), QString());
    lines.removeLast();
    return lines;
}

TEST(Declarations, HasExactlyTheFixedLinesEachEndingInCrLf) {
    const QString block = check::BuildDeclarations();
    ASSERT_EQ(blockLines().size(), 138);
    EXPECT_TRUE(block.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(block.count(QStringLiteral("\r\n")), 138);
    EXPECT_EQ(block.count(u'\r'), 138);
    EXPECT_EQ(block.count(u'\n'), 138);
    EXPECT_EQ(block.size(), 7623);
    // The whole block, byte for byte (UTF-8 of pure ASCII text).
    EXPECT_EQ(QCryptographicHash::hash(block.toUtf8(), QCryptographicHash::Sha256).toHex(),
              QByteArray("02f985b713245aeccc52cc93c023995e004c09df15598c6da8dc54feb8246a72"));
}

TEST(Declarations, ExactLines) {
    const QStringList lines = blockLines();
    ASSERT_EQ(lines.size(), 138);
    struct Case {
        int line;
        const char* text;
    };
    const Case cases[] = {
        {1, "declare @OUTPREZZO as decimal(17,6) "},
        {2, "declare @OUTSC1PERC as decimal(6,3) "},
        {8, "declare @OUTSCIMP as decimal(14,6) "},
        {11, "declare @OUTMAGIMP as decimal(14,6) "},
        {12, "declare @INPREZZO as decimal(17,6) "},
        {23, "declare @ATTPREZZO as decimal(17,6) "},
        {33, "declare @ATTMAGIMP as decimal(14,6) "},
        {34, "declare @DITTA                                AS DECIMAL(5,0)"},
        {35, "declare @DO11_CODSEDE_CG31                    AS DECIMAL(5,0)"},
        {36, "declare @DO30_ID_CO1A                         AS BIGINT"},
        {67, "declare @MG19_RAGGRCF1                        AS CHAR(3)"},
        {68, "declare @MG19_RAGGRCF2                        AS CHAR(3)"},
        {69, "declare @MG19_RAGGCRF3                        AS CHAR(3)"},
        {74, "declare @DO30_CODART_MG66                     AS CHAR(25)"},
        {103, "declare @DO13_TOTLORDOMERCE_VAL               AS DECIMAL(15,2)"},
        {135, "declare @CM06_CODART_MG66                     AS CHAR(25)"},
        {137, "declare @IDLEGAMEDISTINTA                     AS DECIMAL(19,0)"},
        {138, "declare @DO11_DOCUM_MG36                      AS CHAR(14)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lines.at(c.line - 1), QString::fromLatin1(c.text)) << "line " << c.line;
}

TEST(Declarations, LowerCaseLinesHaveSingleBlanksAndATrailingBlank) {
    const QStringList lines = blockLines();
    static const QRegularExpression lower(
        QStringLiteral("^declare @(OUT|IN|ATT)[A-Z0-9]+ as decimal\\(\\d+,\\d\\) $"));
    for (int i = 0; i < 33; ++i)
        EXPECT_TRUE(lower.match(lines.at(i)).hasMatch()) << lines.at(i).toStdString();
}

TEST(Declarations, UpperCaseLinesHaveAsInColumn47AndNoTrailingBlank) {
    const QStringList lines = blockLines();
    for (int i = 33; i < 138; ++i) {
        const QString& line = lines.at(i);
        EXPECT_EQ(line.mid(46, 3), QStringLiteral("AS ")) << line.toStdString();
        EXPECT_TRUE(line.startsWith(QStringLiteral("declare @")));
        EXPECT_FALSE(line.endsWith(u' ')) << line.toStdString();
        EXPECT_EQ(line.mid(46 + 3), line.mid(46 + 3).toUpper()) << line.toStdString();
        // The variable ends before the padding: one blank at least before "AS".
        EXPECT_EQ(line.at(45), u' ');
    }
}

TEST(Declarations, EveryVariableOnceAndTheOptionNotInTheBlock) {
    const QStringList lines = blockLines();
    QSet<QString> seen;
    for (const QString& line : lines) {
        const QString variable = line.section(u' ', 1, 1);
        EXPECT_FALSE(seen.contains(variable)) << variable.toStdString();
        seen.insert(variable);
    }
    EXPECT_EQ(seen.size(), 138);
    EXPECT_FALSE(check::BuildDeclarations().contains(QStringLiteral("@DO30_OPZIONE_MG5E")));
}

TEST(Declarations, BlockIsTheSameOnEveryCall) {
    EXPECT_EQ(check::BuildDeclarations(), check::BuildDeclarations());
}

TEST(Declarations, CheckDeclarationsAddTheOptionAfterTheBlock) {
    const QString all = check::CheckDeclarations();
    EXPECT_TRUE(all.startsWith(check::BuildDeclarations()));
    EXPECT_EQ(all.mid(check::BuildDeclarations().size()),
              QStringLiteral("declare @DO30_OPZIONE_MG5E                    AS CHAR(20)\r\n"));
}

// The list of variables and types is the block read line by line ("declare @V as T"), the option
// last: the element help and the trial run use the list, the check sends the text.
TEST(Declarations, DeclaredVariablesAreTheLinesOfTheCheckDeclarations) {
    QStringList fromText;
    for (const QString& line : check::CheckDeclarations().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        ASSERT_EQ(words.size(), 4) << line.toStdString();
        fromText << words.at(1).toUpper() + u' ' + words.at(3);
    }
    QStringList fromList;
    for (const check::DeclaredVariable& v : check::declaredVariables())
        fromList << v.variable + u' ' + v.type;
    EXPECT_EQ(fromList, fromText);
}

} // namespace
