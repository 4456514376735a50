#include "diagnostics/FormulaScanner.h"

#include "diagnostics/ElementCatalog.h"
#include "tsql/text/Lexer.h"

#include <algorithm>

namespace diagnostics {

namespace {

constexpr int StringState = 1; // inside a string constant
constexpr int CommentBase = 1; // inside a block comment: CommentBase + depth
// A line is lexed again after an element whose end falls inside a token (a quote in a
// description); past this many times the rest of the line is left plain, so that a line costs
// a bounded number of passes.
constexpr int MaxRelex = 32;

// The nesting depth of block comments after `text`, starting at `depth` (the engine's lexer
// nests them the same way).
int commentDepthAfter(QStringView text, int depth) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'/' && text[i + 1] == u'*') {
            ++depth;
            ++i;
        } else if (text[i] == u'*' && text[i + 1] == u'/' && depth > 0) {
            --depth;
            ++i;
        }
    }
    return depth;
}

} // namespace

std::optional<ElementKind> elementKindOf(TokenKind kind) {
    switch (kind) {
    case TokenKind::Label:
        return ElementKind::Label;
    case TokenKind::Category:
        return ElementKind::Category;
    case TokenKind::Variant:
        return ElementKind::Variant;
    default:
        return std::nullopt;
    }
}

// One pass of the lexer over a line from `from`, starting in `state`.
struct FormulaScanner::Segment {
    const FormulaScanner& scanner;
    QStringView line;
    std::vector<Span>& out;
    qsizetype offset;
    qsizetype from;
    int state;
    QString prefix; // what puts the lexer into the state the line starts in
    qsizetype cursor = 0;
    std::optional<qsizetype> restart;

    void add(qsizetype s, qsizetype e, TokenKind kind, bool unknown = false) {
        if (e > s)
            out.push_back({offset + s, e - s, kind, unknown});
    }
    // What the lexer skipped between two tokens, when not blank, is comment.
    void gap(qsizetype s, qsizetype e) {
        while (s < e && line[s].isSpace())
            ++s;
        while (e > s && line[e - 1].isSpace())
            --e;
        add(s, e, TokenKind::Comment);
    }
    qsizetype at(qsizetype lexPos) const { return std::max(from, lexPos - prefix.size() + from); }

    // An element from the delimiter at `p` to the next `close` on the line.
    void element(qsizetype p, qsizetype tokenEnd, QChar close, TokenKind kind) {
        const qsizetype q = line.indexOf(close, p + 1);
        if (q < 0) {
            add(p, p + 1, TokenKind::Unbalanced);
            cursor = tokenEnd;
            return;
        }
        add(p, q + 1, kind, !scanner.resolve(kind, line.mid(p, q + 1 - p)));
        cursor = q + 1;
    }

    void token(const tsql::Token& t, qsizetype p, qsizetype e) {
        using tsql::Tok;
        cursor = e;
        switch (t.kind) {
        case Tok::Keyword:
            return add(p, e, TokenKind::Keyword);
        case Tok::Integer:
        case Tok::Decimal:
        case Tok::Float:
        case Tok::Binary:
        case Tok::Money:
            return add(p, e, TokenKind::Number);
        case Tok::String:
        case Tok::NString:
            return add(p, e, TokenKind::String);
        case Tok::Variable:
            return add(p, e, TokenKind::Variable);
        case Tok::QuotedIdent: {
            // A part of a qualified name (table.[column]) is no label of the formula.
            const bool qualified = (p > 0 && line[p - 1] == u'.') || (e < line.size() && line[e] == u'.');
            if (line[p] == u'[' && !qualified)
                add(p, e, TokenKind::Label, !scanner.resolve(TokenKind::Label, line.mid(p, e - p)));
            return;
        }
        case Tok::Op:
            if (t.text.startsWith(u'|'))
                element(p, e, u'|', TokenKind::Variant);
            return;
        case Tok::Invalid:
            if (t.text == QLatin1String("{"))
                element(p, e, u'}', TokenKind::Category);
            else if (t.text == QLatin1String("}") || t.text == QLatin1String("]"))
                add(p, e, TokenKind::Unbalanced);
            return;
        default:
            return;
        }
    }

    // The line's end when the lexer stopped at an unclosed comment or quote; the next state.
    int unclosed(const tsql::ServerError& error) {
        const qsizetype lexPos = error.column - 1;
        const bool inPrefix = lexPos < prefix.size();
        const qsizetype p = at(lexPos);
        if (p < cursor) {
            restart = cursor;
            return FormulaScanner::Normal;
        }
        gap(cursor, p);
        if (error.number == 113) {
            add(p, line.size(), TokenKind::Comment);
            const int depth = inPrefix ? commentDepthAfter(line.mid(from), state - CommentBase)
                                       : commentDepthAfter(line.mid(p), 0);
            return depth > 0 ? CommentBase + depth : FormulaScanner::Normal;
        }
        if ((inPrefix && state == StringState) || line[p] == u'\'' || line[p] == u'N' || line[p] == u'n') {
            add(p, line.size(), TokenKind::String);
            return StringState;
        }
        add(p, p + 1, TokenKind::Unbalanced); // "[" or '"' without its partner
        restart = p + 1;
        return FormulaScanner::Normal;
    }

    int run() {
        if (state == StringState)
            prefix = QStringLiteral("'");
        else if (state > CommentBase)
            prefix = QStringLiteral("/*").repeated(state - CommentBase);
        std::optional<tsql::ServerError> error;
        const std::vector<tsql::Token> tokens = tsql::tokenize(prefix + line.mid(from).toString(), error);
        cursor = from;
        for (std::size_t k = 0; k + 1 < tokens.size() && !restart; ++k) {
            const tsql::Token& t = tokens[k];
            const qsizetype p = at(t.pos);
            const qsizetype e = at(t.pos + t.text.size());
            if (p < cursor) {
                // Inside an element already taken; a token running past its end was read
                // from the wrong start.
                if (e > cursor)
                    restart = cursor;
                continue;
            }
            gap(cursor, p);
            token(t, p, e);
        }
        if (restart)
            return FormulaScanner::Normal;
        if (error)
            return unclosed(*error);
        gap(cursor, line.size());
        return FormulaScanner::Normal;
    }
};

bool FormulaScanner::resolve(TokenKind kind, QStringView text) const {
    if (!m_catalog)
        return true;
    const ElementKind element = *elementKindOf(kind);
    if (element == ElementKind::Label)
        return m_catalog->knowsLabel(text.toString());
    return m_catalog->knowsReference(element, text.mid(1, text.size() - 2).toString());
}

int FormulaScanner::scanLine(QStringView line, int state, std::vector<Span>& out, qsizetype offset) const {
    qsizetype from = 0;
    for (int pass = 0;; ++pass) {
        Segment segment{*this, line, out, offset, from, state, {}, 0, std::nullopt};
        const int next = segment.run();
        if (!segment.restart || *segment.restart >= line.size())
            return next;
        if (pass >= MaxRelex)
            return Normal;
        from = *segment.restart;
        state = Normal;
    }
}

std::vector<Span> FormulaScanner::scanText(const QString& text) const {
    std::vector<Span> out;
    int state = Normal;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? text.size() + 1 : end + 1;
        if (end < 0)
            end = text.size();
        if (end > start && text.at(end - 1) == u'\r')
            --end;
        state = scanLine(QStringView(text).mid(start, end - start), state, out, start);
        start = next;
    }
    return out;
}

std::optional<DelimiterMatch> FormulaScanner::matchDelimiter(const std::vector<Span>& lineSpans,
                                                             QStringView line, qsizetype caret) {
    for (const qsizetype c : {caret, caret - 1}) {
        if (c < 0 || c >= line.size())
            continue;
        for (const Span& s : lineSpans) {
            if (s.kind == TokenKind::Unbalanced && c == s.start)
                return DelimiterMatch{c, -1};
            if (!elementKindOf(s.kind) || s.length < 2)
                continue;
            if (c == s.start)
                return DelimiterMatch{c, s.end() - 1};
            if (c == s.end() - 1)
                return DelimiterMatch{c, s.start};
        }
    }
    return std::nullopt;
}

} // namespace diagnostics
