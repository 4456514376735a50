#include "tsql/text/Lexer.h"

#include "tsql/base/Messages.h"
#include "tsql/text/UpperCase.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace tsql {

namespace {

// The reserved keywords of T-SQL ("Reserved keywords (Transact-SQL)").
// clang-format off
constexpr std::string_view kReservedKeywords[] = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN",
    "BREAK", "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED",
    "COALESCE", "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE",
    "CONTINUE", "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME",
    "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT",
    "DELETE", "DENY", "DESC", "DISK", "DISTINCT", "DISTRIBUTED", "DOUBLE", "DROP", "DUMP", "ELSE", "END",
    "ERRLVL", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "EXTERNAL", "FETCH", "FILE",
    "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO",
    "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT", "IDENTITYCOL", "IF", "IN",
    "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT", "LIKE", "LINENO",
    "LOAD", "MERGE", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF", "OF", "OFF",
    "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML", "OPTION", "OR",
    "ORDER", "OUTER", "OVER", "PERCENT", "PIVOT", "PLAN", "PRECISION", "PRIMARY", "PRINT", "PROC",
    "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT", "RECONFIGURE", "REFERENCES", "REPLICATION",
    "RESTORE", "RESTRICT", "RETURN", "REVERT", "REVOKE", "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL",
    "RULE", "SAVE", "SCHEMA", "SECURITYAUDIT", "SELECT", "SEMANTICKEYPHRASETABLE",
    "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE", "SESSION_USER", "SET", "SETUSER",
    "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE", "TABLESAMPLE", "TEXTSIZE", "THEN", "TO",
    "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TRY_CONVERT", "TSEQUAL", "UNION", "UNIQUE",
    "UNPIVOT", "UPDATE", "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN",
    "WHERE", "WHILE", "WITH", "WRITETEXT"
};
// clang-format on

// The same, sorted when the program is compiled: a look-up builds nothing at run time.
constexpr auto kSortedKeywords = [] {
    std::array<std::string_view, std::size(kReservedKeywords)> words{};
    std::copy(std::begin(kReservedKeywords), std::end(kReservedKeywords), words.begin());
    std::sort(words.begin(), words.end());
    return words;
}();

constexpr std::size_t kLongestKeyword =
    std::max_element(kSortedKeywords.begin(), kSortedKeywords.end(),
                     [](std::string_view a, std::string_view b) { return a.size() < b.size(); })
        ->size();

} // namespace

std::span<const std::string_view> reservedKeywords() {
    return kSortedKeywords;
}

namespace {

// The keywords by a hash of their letters, in an open-addressed table of indexes into the sorted
// list (-1: empty): a look-up reads the word once and compares it with one keyword or two.
constexpr std::size_t kKeywordSlots = 1024;

constexpr std::uint32_t keywordHash(std::uint32_t hash, char16_t c) {
    return (hash ^ c) * 16777619u;
}

constexpr std::uint32_t keywordHash(std::string_view word) {
    std::uint32_t hash = 2166136261u;
    for (char c : word)
        hash = keywordHash(hash, char16_t(c));
    return hash;
}

constexpr auto kKeywordTable = [] {
    std::array<std::int16_t, kKeywordSlots> table{};
    for (std::int16_t& slot : table)
        slot = -1;
    for (std::size_t k = 0; k < kSortedKeywords.size(); ++k) {
        std::size_t at = keywordHash(kSortedKeywords[k]) % kKeywordSlots;
        while (table[at] >= 0)
            at = (at + 1) % kKeywordSlots;
        table[at] = std::int16_t(k);
    }
    return table;
}();

} // namespace

bool isReservedKeyword(const QString& upper) {
    const qsizetype size = upper.size();
    if (size == 0 || size > qsizetype(kLongestKeyword))
        return false;
    const char16_t* text = reinterpret_cast<const char16_t*>(upper.constData());
    std::uint32_t hash = 2166136261u;
    for (qsizetype k = 0; k < size; ++k) {
        if (text[k] >= 0x80)
            return false;
        hash = keywordHash(hash, text[k]);
    }
    for (std::size_t at = hash % kKeywordSlots; kKeywordTable[at] >= 0; at = (at + 1) % kKeywordSlots) {
        const std::string_view word = kSortedKeywords[std::size_t(kKeywordTable[at])];
        if (word.size() == std::size_t(size) &&
            std::equal(word.begin(), word.end(), text, [](char a, char16_t b) { return char16_t(a) == b; }))
            return true;
    }
    return false;
}

namespace {

// The operators of one character, and of two, in the order of their texts in operatorText.
constexpr std::string_view kSingleOperators = "(),.=+-*/<>;%&|^~:";
constexpr std::string_view kPairOperators[] = {
    "<>", "!=", "!<", "!>", "<=", ">=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::"};

// By ASCII character: its place in kSingleOperators (-1: none), and whether an operator of two
// characters starts with it.
constexpr auto kSingleIndex = [] {
    std::array<std::int8_t, 128> index{};
    for (std::int8_t& at : index)
        at = -1;
    for (std::size_t k = 0; k < kSingleOperators.size(); ++k)
        index[static_cast<unsigned char>(kSingleOperators[k])] = std::int8_t(k);
    return index;
}();
constexpr auto kPairStart = [] {
    std::array<bool, 128> starts{};
    for (std::string_view pair : kPairOperators)
        starts[static_cast<unsigned char>(pair[0])] = true;
    return starts;
}();

int singleOperatorIndex(char16_t c) {
    return c < 128 ? kSingleIndex[c] : -1;
}

// The place in kPairOperators of the two characters (-1: no operator).
int pairOperatorIndex(char16_t first, char16_t second) {
    if (first >= 128 || !kPairStart[first])
        return -1;
    for (std::size_t k = 0; k < std::size(kPairOperators); ++k)
        if (first == char16_t(kPairOperators[k][0]) && second == char16_t(kPairOperators[k][1]))
            return int(k);
    return -1;
}

// The text of an operator token of one or two characters: the operators' texts are static
// strings, so that the many operators of a batch cost no allocation and no reference count.
QString operatorText(QStringView text) {
    static const QString texts[] = {
        QStringLiteral("("),  QStringLiteral(")"),  QStringLiteral(","),  QStringLiteral("."),
        QStringLiteral("="),  QStringLiteral("+"),  QStringLiteral("-"),  QStringLiteral("*"),
        QStringLiteral("/"),  QStringLiteral("<"),  QStringLiteral(">"),  QStringLiteral(";"),
        QStringLiteral("%"),  QStringLiteral("&"),  QStringLiteral("|"),  QStringLiteral("^"),
        QStringLiteral("~"),  QStringLiteral(":"),  QStringLiteral("<>"), QStringLiteral("!="),
        QStringLiteral("!<"), QStringLiteral("!>"), QStringLiteral("<="), QStringLiteral(">="),
        QStringLiteral("+="), QStringLiteral("-="), QStringLiteral("*="), QStringLiteral("/="),
        QStringLiteral("%="), QStringLiteral("&="), QStringLiteral("|="), QStringLiteral("^="),
        QStringLiteral("::")};
    static_assert(std::size(texts) == kSingleOperators.size() + std::size(kPairOperators));
    if (text.size() == 1) {
        if (const int at = singleOperatorIndex(text[0].unicode()); at >= 0)
            return texts[at];
    } else if (text.size() == 2) {
        if (const int at = pairOperatorIndex(text[0].unicode(), text[1].unicode()); at >= 0)
            return texts[kSingleOperators.size() + std::size_t(at)];
    }
    return text.toString();
}

// Whether `c` is an operator of one character.
bool isSingleOperator(QChar c) {
    return singleOperatorIndex(c.unicode()) >= 0;
}

// The currency symbols a money constant may start with ("money and smallmoney (Transact-SQL)").
bool isCurrencySymbol(QChar c) {
    const char16_t u = c.unicode();
    switch (u) {
    case 0x0024:
    case 0x00A2:
    case 0x00A3:
    case 0x00A4:
    case 0x00A5:
    case 0x09F2:
    case 0x09F3:
    case 0x0E3F:
    case 0x17DB:
    case 0xFDFC:
    case 0xFE69:
    case 0xFF04:
    case 0xFFE0:
    case 0xFFE1:
    case 0xFFE5:
    case 0xFFE6:
        return true;
    default:
        return u >= 0x20A0 && u <= 0x20B1;
    }
}

bool isIdentStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'#';
}
bool isIdentPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$';
}

class Lexer {
public:
    explicit Lexer(const QString& s)
        : src(s)
        , n(int(s.size())) {}

    std::vector<Token> run(std::optional<ServerError>& error) {
        std::vector<Token> out;
        out.reserve(size_t(n) / 4 + 4);
        while (true) {
            skipBlanks(error);
            if (error)
                break;
            if (i >= n)
                break;
            Token t;
            t.line = line;
            t.column = i - lineStart + 1;
            t.pos = i;
            if (!next(t, error)) {
                break;
            }
            out.push_back(std::move(t));
        }
        Token end;
        end.kind = Tok::End;
        end.line = line;
        end.column = i - lineStart + 1;
        end.pos = n;
        out.push_back(end);
        return out;
    }

private:
    const QString& src;
    int n;
    int i = 0;
    int line = 1;
    int lineStart = 0;

    QChar at(int k) const { return k < n ? src[k] : QChar(); }

    void newlineAt(int k) {
        ++line;
        lineStart = k + 1;
    }

    void skipBlanks(std::optional<ServerError>& error) {
        while (i < n) {
            QChar c = src[i];
            if (c == u'\n') {
                newlineAt(i);
                ++i;
            } else if (c.isSpace() || c == QChar(0)) {
                ++i;
            } else if (c == u'-' && at(i + 1) == u'-') {
                while (i < n && src[i] != u'\n')
                    ++i;
            } else if (c == u'/' && at(i + 1) == u'*') {
                int startLine = line, startCol = i - lineStart + 1;
                int depth = 1;
                i += 2;
                while (i < n && depth > 0) {
                    if (src[i] == u'/' && at(i + 1) == u'*') {
                        ++depth;
                        i += 2;
                    } else if (src[i] == u'*' && at(i + 1) == u'/') {
                        --depth;
                        i += 2;
                    } else {
                        if (src[i] == u'\n')
                            newlineAt(i);
                        ++i;
                    }
                }
                if (depth > 0) {
                    error = serverError<Msg::MissingEndComment>(startLine, startCol);
                    return;
                }
            } else {
                break;
            }
        }
    }

    // Reads a delimited run ending with `close` (doubled to escape it); returns false when unclosed.
    // The characters between escapes are copied a stretch at a time.
    bool delimited(QChar close, QString& value) {
        ++i;
        int stretch = i; // the first character not yet copied into `value`
        while (i < n) {
            QChar c = src[i];
            if (c == close) {
                value.append(QStringView(src).mid(stretch, i - stretch));
                if (at(i + 1) == close) {
                    value += close;
                    i += 2;
                    stretch = i;
                    continue;
                }
                ++i;
                return true;
            }
            if (c == u'\n')
                newlineAt(i);
            ++i;
        }
        value.append(QStringView(src).mid(stretch, i - stretch));
        return false;
    }

    bool unclosed(Token& t, std::optional<ServerError>& error, int contentStart) {
        error = serverError<Msg::UnclosedQuotation>(t.line, t.column, src.mid(contentStart));
        return false;
    }

    bool next(Token& t, std::optional<ServerError>& error) {
        QChar c = src[i];
        int start = i;
        if ((c == u'N' || c == u'n') && at(i + 1) == u'\'') {
            ++i;
            t.kind = Tok::NString;
            if (!delimited(u'\'', t.value))
                return unclosed(t, error, start + 2);
        } else if (c == u'\'') {
            t.kind = Tok::String;
            if (!delimited(u'\'', t.value))
                return unclosed(t, error, start + 1);
        } else if (c == u'[') {
            t.kind = Tok::QuotedIdent;
            if (!delimited(u']', t.value))
                return unclosed(t, error, start + 1);
            t.upper = upperCased(t.value);
        } else if (c == u'"') {
            t.kind = Tok::QuotedIdent;
            if (!delimited(u'"', t.value))
                return unclosed(t, error, start + 1);
            t.upper = upperCased(t.value);
        } else if (c == u'@') {
            bool sys = at(i + 1) == u'@';
            int k = i + (sys ? 2 : 1);
            while (k < n && isIdentPart(src[k]))
                ++k;
            if (k == i + (sys ? 2 : 1)) {
                t.kind = Tok::Invalid;
                i = i + 1;
            } else {
                t.kind = sys ? Tok::SysVariable : Tok::Variable;
                i = k;
            }
        } else if (c == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X')) {
            i += 2;
            while (i < n && isxdigit(src[i].toLatin1()) && src[i].unicode() < 128)
                ++i;
            t.kind = Tok::Binary;
        } else if ((c.isDigit() && c.unicode() < 128) ||
                   (c == u'.' && at(i + 1).isDigit() && at(i + 1).unicode() < 128)) {
            auto digit = [&](int k) { return k < n && src[k].unicode() < 128 && src[k].isDigit(); };
            t.kind = Tok::Integer;
            while (digit(i))
                ++i;
            if (at(i) == u'.') {
                t.kind = Tok::Decimal;
                ++i;
                while (digit(i))
                    ++i;
            }
            if (at(i) == u'e' || at(i) == u'E') {
                int k = i + 1;
                if (at(k) == u'+' || at(k) == u'-')
                    ++k;
                t.kind = Tok::Float;
                i = k;
                while (digit(i))
                    ++i;
            }
        } else if (isCurrencySymbol(c)) {
            // A money constant: the symbol, then digits with an optional point (none: zero).
            auto digit = [&](int k) { return k < n && src[k].unicode() < 128 && src[k].isDigit(); };
            t.kind = Tok::Money;
            ++i;
            const int digits = i;
            while (digit(i))
                ++i;
            if (at(i) == u'.') {
                ++i;
                while (digit(i))
                    ++i;
            }
            t.value = src.mid(digits, i - digits);
        } else if (isIdentStart(c)) {
            while (i < n && isIdentPart(src[i]))
                ++i;
            t.text = src.mid(start, i - start);
            // A name written in upper case shares its text.
            t.upper = upperCased(t.text);
            t.kind = isReservedKeyword(t.upper) ? Tok::Keyword : Tok::Ident;
        } else {
            t.kind = Tok::Op;
            bool done = false;
            if (i + 1 < n && pairOperatorIndex(src.at(i).unicode(), src.at(i + 1).unicode()) >= 0) {
                i += 2;
                done = true;
            }
            if (!done) {
                if (isSingleOperator(c))
                    ++i;
                else {
                    t.kind = Tok::Invalid;
                    ++i;
                    if (c.isHighSurrogate() && i < n)
                        ++i;
                }
            }
        }
        if (t.kind == Tok::Op)
            t.text = operatorText(QStringView(src).mid(start, i - start));
        if (t.text.isEmpty())
            t.text = src.mid(start, i - start);
        if (t.kind == Tok::Variable || t.kind == Tok::SysVariable)
            t.upper = upperCased(t.text);
        if (t.kind == Tok::Ident && t.value.isEmpty())
            t.value = t.text;
        return true;
    }
};

} // namespace

std::vector<Token> tokenize(const QString& batch, std::optional<ServerError>& error) {
    Lexer lx(batch);
    return lx.run(error);
}

} // namespace tsql
