#include "tsql/text/Lexer.h"

#include "tsql/base/Messages.h"

#include <algorithm>
#include <array>
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

// Where the keywords of each first letter start in the sorted list (the next letter's start ends
// them): a look-up searches only the few words of its letter.
constexpr auto kLetterStarts = [] {
    std::array<std::size_t, 27> starts{};
    for (int letter = 0; letter <= 26; ++letter) {
        std::size_t k = 0;
        while (k < kSortedKeywords.size() && kSortedKeywords[k][0] < char('A' + letter))
            ++k;
        starts[std::size_t(letter)] = k;
    }
    return starts;
}();

} // namespace

bool isReservedKeyword(const QString& upper) {
    char word[kLongestKeyword];
    if (upper.isEmpty() || upper.size() > qsizetype(kLongestKeyword))
        return false;
    for (qsizetype k = 0; k < upper.size(); ++k) {
        const char16_t c = upper.at(k).unicode();
        if (c >= 0x80)
            return false;
        word[k] = char(c);
    }
    if (word[0] < 'A' || word[0] > 'Z')
        return false;
    const std::size_t letter = std::size_t(word[0] - 'A');
    return std::binary_search(kSortedKeywords.begin() + std::ptrdiff_t(kLetterStarts[letter]),
                              kSortedKeywords.begin() + std::ptrdiff_t(kLetterStarts[letter + 1]),
                              std::string_view(word, std::size_t(upper.size())));
}

namespace {

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
    // The same operators in the same order, found by their characters.
    static constexpr std::string_view singles = "(),.=+-*/<>;%&|^~:";
    static constexpr std::string_view pairs[] = {
        "<>", "!=", "!<", "!>", "<=", ">=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::"};
    static_assert(std::size(texts) == singles.size() + std::size(pairs));
    if (text.size() == 1 && text[0].unicode() < 128) {
        const std::size_t at = singles.find(char(text[0].unicode()));
        if (at != std::string_view::npos)
            return texts[at];
    } else if (text.size() == 2) {
        for (std::size_t k = 0; k < std::size(pairs); ++k)
            if (text[0].unicode() == char16_t(pairs[k][0]) && text[1].unicode() == char16_t(pairs[k][1]))
                return texts[singles.size() + k];
    }
    return text.toString();
}

// Whether `c` is an operator of one character.
bool isSingleOperator(QChar c) {
    static constexpr std::string_view singles = "+-*/%&|^~=<>(),.;:";
    return c.unicode() < 128 && singles.find(char(c.unicode())) != std::string_view::npos;
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
            t.upper = t.value.toUpper();
        } else if (c == u'"') {
            t.kind = Tok::QuotedIdent;
            if (!delimited(u'"', t.value))
                return unclosed(t, error, start + 1);
            t.upper = t.value.toUpper();
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
            t.upper = t.text.toUpper();
            t.kind = isReservedKeyword(t.upper) ? Tok::Keyword : Tok::Ident;
        } else {
            static constexpr std::string_view two[] = {
                "<>", "!=", "!<", "!>", "<=", ">=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::"};
            t.kind = Tok::Op;
            bool done = false;
            if (i + 1 < n) {
                const char16_t first = src.at(i).unicode();
                const char16_t second = src.at(i + 1).unicode();
                for (std::string_view op : two) {
                    if (first == char16_t(op[0]) && second == char16_t(op[1])) {
                        i += 2;
                        done = true;
                        break;
                    }
                }
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
            t.upper = t.text.toUpper();
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
