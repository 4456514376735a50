#pragma once

#include "tsql/base/ServerError.h"

#include <QString>

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tsql {

enum class Tok {
    End,
    Ident,       // regular identifier (also non-reserved words such as CAST or GO)
    QuotedIdent, // [bracketed] or "quoted"; value holds the name without delimiters
    Variable,    // @name
    SysVariable, // @@name
    Keyword,     // reserved word; upper holds it in upper case
    Integer,
    Decimal, // digits with a decimal point
    Float,   // digits with an exponent
    String,  // 'text'; value holds the text with quotes undone
    NString, // N'text'
    Binary,  // 0x...
    Money,   // a currency symbol and digits ($12.50); value holds the digits
    Op,      // operator or punctuation; text holds it
    Invalid, // a character that starts no token (a backslash, for example)
};

struct Token {
    Tok kind = Tok::End;
    QString text;  // as written in the batch
    QString value; // decoded name or string contents
    QString upper; // upper-case form of keywords and identifiers
    int line = 1;  // 1-based
    int column = 1;
    int pos = 0; // offset in the batch

    bool isKeyword(const char* kw) const { return kind == Tok::Keyword && upper == QLatin1String(kw); }
    bool isWord(const char* w) const {
        return (kind == Tok::Keyword || kind == Tok::Ident) && upper == QLatin1String(w);
    }
    bool isOp(const char* op) const { return kind == Tok::Op && text == QLatin1String(op); }
};

// True for the reserved keywords of T-SQL (case-insensitive), which are reported as
// "Incorrect syntax near the keyword '...'" and cannot be used as bare names.
bool isReservedKeyword(const QString& upper);
// Every reserved keyword, upper case, in alphabetical order.
std::span<const std::string_view> reservedKeywords();

// Splits a batch into tokens; comments and blanks are dropped. The last token is Tok::End.
// Lexical errors (unclosed string or comment) come back in `error` with the tokens read so far.
std::vector<Token> tokenize(const QString& batch, std::optional<ServerError>& error);

} // namespace tsql
