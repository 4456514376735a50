#include "tsql/Vocabulary.h"
#include "tsql/text/Lexer.h"
#include "tsql/text/Parser.h"

#include "TestDb.h"

#include <gtest/gtest.h>

using namespace tsql;

namespace {

std::vector<Token> lex(const QString& s) {
    std::optional<ServerError> err;
    auto t = tokenize(s, err);
    EXPECT_FALSE(err.has_value()) << s.toStdString();
    return t;
}

TEST(Lexer, TokensCarryKindValueLineAndColumn) {
    auto t =
        lex(QStringLiteral("select [a]]b], N'x''y', \"q\" @v @@rowcount\r\n  1.5e3 <> !< %= ; 12 .5 3."));
    struct Expect {
        Tok kind;
        const char* value;
        int line, column;
    };
    const Expect e[] = {
        {Tok::Keyword, "select", 1, 1}, {Tok::QuotedIdent, "a]b", 1, 8},
        {Tok::Op, ",", 1, 14},          {Tok::NString, "x'y", 1, 16},
        {Tok::Op, ",", 1, 23},          {Tok::QuotedIdent, "q", 1, 25},
        {Tok::Variable, "@v", 1, 29},   {Tok::SysVariable, "@@rowcount", 1, 32},
        {Tok::Float, "1.5e3", 2, 3},    {Tok::Op, "<>", 2, 9},
        {Tok::Op, "!<", 2, 12},         {Tok::Op, "%=", 2, 15},
        {Tok::Op, ";", 2, 18},          {Tok::Integer, "12", 2, 20},
        {Tok::Decimal, ".5", 2, 23},    {Tok::Decimal, "3.", 2, 26},
        {Tok::End, "", 2, 28},
    };
    ASSERT_EQ(t.size(), std::size(e));
    for (size_t k = 0; k < t.size(); ++k) {
        EXPECT_EQ(t[k].kind, e[k].kind) << k;
        QString v = (t[k].kind == Tok::QuotedIdent || t[k].kind == Tok::NString) ? t[k].value : t[k].text;
        EXPECT_EQ(v, QString::fromUtf8(e[k].value)) << k;
        EXPECT_EQ(t[k].line, e[k].line) << k;
        EXPECT_EQ(t[k].column, e[k].column) << k;
    }
    EXPECT_EQ(t[0].upper, QStringLiteral("SELECT"));
}

TEST(Lexer, CommentsNestAndDisappear) {
    auto t = lex(QStringLiteral("1 /* a /* b */ c */ + -- x\r\n2"));
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[1].text, QStringLiteral("+"));
    EXPECT_EQ(t[2].line, 2);
}

TEST(Lexer, ReservedWordsAreKeywordsOthersIdentifiers) {
    auto t = lex(QStringLiteral("IF cast Go left TRAN iif"));
    EXPECT_EQ(t[0].kind, Tok::Keyword);
    EXPECT_EQ(t[1].kind, Tok::Ident);
    EXPECT_EQ(t[2].kind, Tok::Ident);
    EXPECT_EQ(t[3].kind, Tok::Keyword);
    EXPECT_EQ(t[4].kind, Tok::Keyword);
    EXPECT_EQ(t[5].kind, Tok::Ident);
}

TEST(Lexer, LexicalErrors) {
    std::optional<ServerError> err;
    tokenize(QStringLiteral("SELECT 1\r\n  'abc"), err);
    ASSERT_TRUE(err);
    EXPECT_EQ(err->number, 105);
    EXPECT_EQ(err->line, 2);
    EXPECT_EQ(err->column, 3);
    err.reset();
    tokenize(QStringLiteral("/* /* */"), err);
    ASSERT_TRUE(err);
    EXPECT_EQ(err->number, 113);
    err.reset();
    auto t = tokenize(QStringLiteral("a \\ b"), err);
    EXPECT_FALSE(err);
    EXPECT_EQ(t[1].kind, Tok::Invalid);
}

TEST(Lexer, EveryReservedWordIsReservedAndNoNeighbourOfOne) {
    const QStringList words = keywordList(); // the reserved words
    ASSERT_FALSE(words.isEmpty());
    for (const QString& upper : words) {
        const std::string word = upper.toStdString();
        EXPECT_TRUE(isReservedKeyword(upper)) << word;
        EXPECT_FALSE(isReservedKeyword(upper.toLower())) << word; // the test takes upper case
        EXPECT_FALSE(isReservedKeyword(upper + u'X')) << word;
        EXPECT_FALSE(isReservedKeyword(upper + u'\u00C9')) << word;
        EXPECT_FALSE(isReservedKeyword(upper + u'\0')) << word;
    }
    for (const char* other :
         {"", "A", "CAST", "IIF", "GO", "SELEC", "SELECTS", "_SELECT", "SEMANTICSIMILARITYDETAILSTABLES"})
        EXPECT_FALSE(isReservedKeyword(QString::fromLatin1(other))) << other;
}

// Names in upper case as QString::toUpper writes them, ASCII or not; a keyword is found whatever
// the case it is written in.
TEST(Lexer, NamesInUpperCaseAsQtWritesThem) {
    const QString text =
        QStringLiteral("abc ABC aBc_1#$ straße ñandú ǅemal @var @Straße @@RowCount [mixed Ca ß] "
                       "\"q ǆ\" sElEcT Select");
    const std::vector<Token> t = lex(text);
    ASSERT_EQ(t.size(), 14u);
    for (size_t k = 0; k + 1 < t.size(); ++k) {
        const QString& name = t[k].kind == Tok::QuotedIdent ? t[k].value : t[k].text;
        EXPECT_EQ(t[k].upper, name.toUpper()) << k;
    }
    EXPECT_EQ(t[3].upper, QStringLiteral("STRASSE"));
    EXPECT_EQ(t[11].kind, Tok::Keyword);
    EXPECT_EQ(t[12].kind, Tok::Keyword);
    EXPECT_EQ(t[4].kind, Tok::Ident);
}

// A rest read from the tokens its reader already has reads as from its text: the same statements
// at the same lines, the same refusal of a rest that starts no statement, the same error.
TEST(Parser, RestFromItsTokensReadsAsFromItsText) {
    const BatchPlace place{40, 3, false};
    const char* rests[] = {"SET @a = 1\r\nIF @a > 0 PRINT 'x'", "; SELECT @a", "@a = 2", "SET @a = (1",
                           "SET @a = 1 +\r\n\r\n  *"};
    for (const char* text : rests) {
        const QString rest = QString::fromLatin1(text);
        std::optional<ServerError> lexError;
        std::vector<Token> tokens = tokenize(rest, lexError);
        ASSERT_FALSE(lexError) << text;
        std::optional<Batch> fromText;
        std::optional<ServerError> textError;
        try {
            fromText = parseBatchRest(rest, place);
        } catch (const SqlError& e) {
            textError = e.error;
        }
        std::optional<Batch> fromTokens;
        std::optional<ServerError> tokensError;
        try {
            fromTokens = parseBatchRest(std::move(tokens), place);
        } catch (const SqlError& e) {
            tokensError = e.error;
        }
        ASSERT_EQ(fromText.has_value(), fromTokens.has_value()) << text;
        ASSERT_EQ(textError.has_value(), tokensError.has_value()) << text;
        if (textError) {
            EXPECT_EQ(tokensError->number, textError->number) << text;
            EXPECT_EQ(tokensError->line, textError->line) << text;
            EXPECT_EQ(tokensError->column, textError->column) << text;
            EXPECT_EQ(tokensError->message, textError->message) << text;
        }
        if (!fromText)
            continue;
        ASSERT_EQ(fromTokens->statements.size(), fromText->statements.size()) << text;
        for (size_t k = 0; k < fromText->statements.size(); ++k) {
            EXPECT_EQ(fromTokens->statements[k]->kind, fromText->statements[k]->kind) << text;
            EXPECT_EQ(fromTokens->statements[k]->line, fromText->statements[k]->line) << text;
            EXPECT_EQ(fromTokens->statements[k]->column, fromText->statements[k]->column) << text;
        }
    }
}

const Expr& setValue(const Batch& b, size_t k = 0) {
    return *b.statements.at(k)->expr;
}

TEST(Parser, ArithmeticPrecedence) {
    Batch b = parseBatch(QStringLiteral("DECLARE @a INT SET @a = 1 + 2 * 3 - -4 & 5"));
    const Expr& e = setValue(b, 1);
    // ((1 + (2 * 3)) - (-4)) & 5: + - & share one level, * binds tighter, unary minus tightest
    ASSERT_EQ(e.kind, EK::Binary);
    EXPECT_EQ(e.op, QStringLiteral("&"));
    const Expr& minus = *e.args[0];
    EXPECT_EQ(minus.op, QStringLiteral("-"));
    EXPECT_EQ(minus.args[1]->kind, EK::Unary);
    EXPECT_EQ(minus.args[0]->op, QStringLiteral("+"));
    EXPECT_EQ(minus.args[0]->args[1]->op, QStringLiteral("*"));
}

TEST(Parser, BooleanPrecedenceAndParentheses) {
    Batch b = parseBatch(QStringLiteral("IF 1 = 1 OR NOT 2 = 2 AND (3 + 1) * 2 > 4 PRINT 1"));
    const Expr& c = *b.statements[0]->expr;
    ASSERT_EQ(c.kind, EK::Or);
    EXPECT_EQ(c.args[1]->kind, EK::And);
    EXPECT_EQ(c.args[1]->args[0]->kind, EK::Not);
    EXPECT_EQ(c.args[1]->args[1]->kind, EK::Compare);
    Batch p = parseBatch(QStringLiteral("IF (1 = 1 OR 2 = 2) AND 3 IS NOT NULL PRINT 1"));
    EXPECT_EQ(p.statements[0]->expr->kind, EK::And);
    EXPECT_EQ(p.statements[0]->expr->args[0]->kind, EK::Or);
}

TEST(Parser, StatementsOfAllKinds) {
    Batch b = parseBatch(
        QStringLiteral("DECLARE @a AS INT = 1, @b DECIMAL(17,6), @x XML;\r\n"
                       "SET @a += 2\r\n"
                       "SELECT TOP (2) t.A AS X, B = 1, 'c' d FROM T1 t WITH (NOLOCK) LEFT JOIN T2 ON t.A = "
                       "T2.A WHERE 1 = 1 "
                       "GROUP BY t.A HAVING COUNT(*) > 1 ORDER BY 1 DESC\r\n"
                       "UPDATE T1 SET A = 1, B += 2 WHERE C IN (SELECT C FROM T3)\r\n"
                       "INSERT INTO T1 (A, B) VALUES (1, 2), (3, 4)\r\n"
                       "DELETE FROM T1 WHERE A BETWEEN 1 AND 2\r\n"
                       "SELECT COLS.value('@V', 'INT') FROM @x.nodes('/A/B') TABLE_DEFINITION(COLS)\r\n"
                       "WHILE @a < 3 BEGIN SET @a = @a + 1 IF @a = 2 BREAK ELSE CONTINUE END\r\n"
                       "BEGIN TRAN COMMIT TRANSACTION ROLLBACK WORK RETURN"));
    const SK kinds[] = {SK::Declare, SK::Set,   SK::Select,    SK::Update, SK::Insert,   SK::Delete,
                        SK::Select,  SK::While, SK::BeginTran, SK::Commit, SK::Rollback, SK::Return};
    ASSERT_EQ(b.statements.size(), std::size(kinds));
    for (size_t k = 0; k < std::size(kinds); ++k)
        EXPECT_EQ(b.statements[k]->kind, kinds[k]) << k;
    EXPECT_EQ(b.statements[0]->decls.size(), 3u);
    EXPECT_EQ(b.statements[0]->decls[1].type.scale, 6);
    EXPECT_EQ(b.statements[1]->op, QStringLiteral("+="));
    const Select& s = *b.statements[2]->select;
    EXPECT_EQ(s.items.size(), 3u);
    EXPECT_EQ(s.items[1].alias, QStringLiteral("B"));
    EXPECT_EQ(s.items[2].alias, QStringLiteral("d"));
    EXPECT_TRUE(s.from[0]->kind == SourceKind::Join);
    EXPECT_TRUE(s.from[0]->left->hasHints);
    EXPECT_EQ(s.from[0]->left->alias, QStringLiteral("t"));
    EXPECT_EQ(b.statements[4]->values.size(), 2u);
    const Select& x = *b.statements[6]->select;
    EXPECT_EQ(x.from[0]->kind, SourceKind::XmlNodes);
    EXPECT_EQ(x.from[0]->xpath, QStringLiteral("/A/B"));
    EXPECT_EQ(x.from[0]->columnAliases, QStringList{QStringLiteral("COLS")});
    EXPECT_EQ(x.items[0].expr->kind, EK::XmlMethod);
}

struct SyntaxCase {
    const char* text;
    int number;
    const char* near;
};

TEST(Parser, SyntaxErrorsNameTheToken) {
    const SyntaxCase cases[] = {
        {"SET @a = 1 = 1", 102, "Incorrect syntax near '='."},
        {"SELECT FROM T", 156, "Incorrect syntax near the keyword 'FROM'."},
        {"SELECT 1,", 102, "Incorrect syntax near ','."},
        {"IF 1 = 1", 102, "Incorrect syntax near '1'."},
        {"SELECT CASE WHEN 1 = 1 THEN 2", 102, "Incorrect syntax near '2'."},
        {"DECLARE @a INT, ", 102, "Incorrect syntax near ','."},
        {"SELECT 'a' 'b' 'c'", 102, "Incorrect syntax near 'c'."},
        {"SELECT [x] [y] [z]", 102, "Incorrect syntax near 'z'."},
        {"BEGIN SELECT 1", 102, "Incorrect syntax near '1'."},
        {"END", 156, "Incorrect syntax near the keyword 'END'."},
        {"SELECT 1 ORDER BY", 156, "Incorrect syntax near the keyword 'BY'."},
    };
    for (const SyntaxCase& c : cases) {
        try {
            parseBatch(QString::fromUtf8(c.text));
            ADD_FAILURE() << c.text;
        } catch (const SqlError& e) {
            EXPECT_EQ(e.error.number, c.number) << c.text;
            EXPECT_EQ(e.error.message, QString::fromUtf8(c.near)) << c.text;
        }
    }
}

TEST(Parser, DeepNestingIsAnErrorNotACrash) {
    const QString deep = QStringLiteral("SELECT ") + QString(20000, u'(') + u'1' + QString(20000, u')');
    try {
        parseBatch(deep);
        ADD_FAILURE();
    } catch (const SqlError& e) {
        EXPECT_EQ(e.error.number, 191);
    }
    const QString conditions = QStringLiteral("IF ") + QString(3000, u'(') + QStringLiteral("1=1") +
                               QString(3000, u')') + QStringLiteral(" PRINT 1");
    EXPECT_THROW(parseBatch(conditions), SqlError);
    QString nots = QStringLiteral("IF ");
    for (int k = 0; k < 5000; ++k)
        nots += QStringLiteral("NOT ");
    EXPECT_THROW(parseBatch(nots + QStringLiteral("1=1 PRINT 1")), SqlError);
}

TEST(Parser, MalformedInputNeverCrashes) {
    const char* inputs[] = {"",
                            ";;;",
                            "(",
                            ")",
                            "@",
                            "@@",
                            "[",
                            "N'",
                            "0x",
                            "1e",
                            "1e+",
                            "SELECT @x.",
                            "SELECT a.",
                            "SELECT a.b.c.d.e",
                            "SELECT * FROM @x.nodes(",
                            "SELECT * FROM @x.nodes('a') t(",
                            "CAST(1 AS",
                            "SELECT CAST(1 AS DECIMAL(",
                            "SELECT CONVERT(",
                            "DECLARE @a DECIMAL(99,1)",
                            "DECLARE @a VARCHAR(9000)",
                            "SELECT COUNT(*",
                            "UPDATE",
                            "INSERT INTO t VALUES (",
                            "WHILE",
                            "IF NOT",
                            "SELECT 1 UNION",
                            "SELECT TOP",
                            "SET NOCOUNT",
                            "SET ROWCOUNT",
                            "EXEC",
                            "x:",
                            "\xF0\x9F\x98\x80",
                            "SELECT 99999999999999999999999999999999999999999"};
    for (const char* in : inputs) {
        try {
            parseBatch(QString::fromUtf8(in));
        } catch (const SqlError& e) {
            EXPECT_GT(e.error.number, 0) << in;
            EXPECT_FALSE(e.error.message.isEmpty()) << in;
        }
    }
}

} // namespace
