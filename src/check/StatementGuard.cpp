#include "check/StatementGuard.h"

#include <QList>
#include <QSet>

namespace check {

namespace {

struct Token {
    enum class Kind { Word, Number, Quoted, Punct };
    Kind kind;
    QString text;
    int line;
    bool afterDot; // part of a qualified name (schema.table.column)
};

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
}

bool isWordPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

// Splits T-SQL into words, numbers, quoted items and punctuation, dropping blanks and comments.
QList<Token> tokenize(const QString& sql) {
    QList<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    int line = 1;
    auto advance = [&](qsizetype to) {
        for (; i < to && i < n; ++i) {
            if (sql.at(i) == u'\n')
                ++line;
        }
    };
    // Position after a run quoted by `close`, where a doubled `close` stands for itself.
    auto quotedEnd = [&](qsizetype from, QChar close) {
        qsizetype j = from + 1;
        while (j < n) {
            if (sql.at(j) == close) {
                if (j + 1 < n && sql.at(j + 1) == close) {
                    j += 2;
                    continue;
                }
                return j + 1;
            }
            ++j;
        }
        return n;
    };
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            advance(i + 1);
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            qsizetype j = sql.indexOf(u'\n', i);
            advance(j < 0 ? n : j);
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            // Block comments nest in T-SQL.
            int depth = 0;
            qsizetype j = i;
            while (j < n) {
                if (sql.at(j) == u'/' && j + 1 < n && sql.at(j + 1) == u'*') {
                    ++depth;
                    j += 2;
                } else if (sql.at(j) == u'*' && j + 1 < n && sql.at(j + 1) == u'/') {
                    j += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++j;
                }
            }
            advance(j);
        } else if (c == u'\'' || c == u'"' || c == u'[') {
            const int startLine = line;
            const qsizetype end = quotedEnd(i, c == u'[' ? QChar(u']') : c);
            tokens.append({Token::Kind::Quoted, sql.mid(i, end - i), startLine, false});
            advance(end);
        } else if (isWordStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isWordPart(sql.at(j)))
                ++j;
            const bool afterDot = !tokens.isEmpty() && tokens.last().kind == Token::Kind::Punct &&
                                  tokens.last().text == QStringLiteral(".");
            tokens.append({Token::Kind::Word, sql.mid(i, j - i), line, afterDot});
            advance(j);
        } else if (c.isDigit()) {
            qsizetype j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == u'.'))
                ++j;
            tokens.append({Token::Kind::Number, sql.mid(i, j - i), line, false});
            advance(j);
        } else {
            tokens.append({Token::Kind::Punct, QString(c), line, false});
            advance(i + 1);
        }
    }
    return tokens;
}

bool isKeyword(const Token& t) {
    return t.kind == Token::Kind::Word && !t.afterDot && !t.text.startsWith(u'@') && !t.text.startsWith(u'#');
}

bool is(const Token& t, const char* word) {
    return isKeyword(t) && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

const QString EndsTransaction = QStringLiteral(
    "it would end the transaction in which the check runs the formula, so the statements after it "
    "would stay written");
const QString SplitsTransaction = QStringLiteral(
    "it opens a transaction of its own that the formula could commit, so its statements would stay "
    "written");
const QString RunsOutOfSight = QStringLiteral(
    "a procedure or a dynamic batch may commit or change the session where the check cannot see it");
const QString OutlivesBatch = QStringLiteral(
    "it changes the session of the connection beyond the check and so the later checks and saves");
const QString ServerOperation = QStringLiteral("it is a server operation that no rollback undoes");

} // namespace

std::optional<RefusedStatement> findRefusedStatement(const QString& sql) {
    const QList<Token> tokens = tokenize(sql);
    static const QSet<QString> serverOperations{
        QStringLiteral("SHUTDOWN"), QStringLiteral("KILL"),       QStringLiteral("RECONFIGURE"),
        QStringLiteral("DBCC"),     QStringLiteral("CHECKPOINT"), QStringLiteral("BACKUP"),
        QStringLiteral("RESTORE"),
    };
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens.at(k);
        if (!isKeyword(t))
            continue;
        const Token* next = k + 1 < tokens.size() ? &tokens.at(k + 1) : nullptr;
        const QString upper = t.text.toUpper();
        if (upper == QStringLiteral("COMMIT") || upper == QStringLiteral("ROLLBACK"))
            return RefusedStatement{t.text, t.line, EndsTransaction};
        if (upper == QStringLiteral("BEGIN") && next &&
            (is(*next, "TRAN") || is(*next, "TRANSACTION") || is(*next, "DISTRIBUTED")))
            return RefusedStatement{t.text + u' ' + next->text, t.line, SplitsTransaction};
        if (upper == QStringLiteral("EXEC") || upper == QStringLiteral("EXECUTE"))
            return RefusedStatement{t.text, t.line, RunsOutOfSight};
        if (upper == QStringLiteral("USE") || upper == QStringLiteral("REVERT") ||
            upper == QStringLiteral("SETUSER"))
            return RefusedStatement{t.text, t.line, OutlivesBatch};
        if (serverOperations.contains(upper))
            return RefusedStatement{t.text, t.line, ServerOperation};
        if (upper == QStringLiteral("SET") && next && isKeyword(*next)) {
            // SET <word> is a session option unless the word is a column being assigned
            // (UPDATE ... SET col = ..., col += ..., tab.col = ...).
            const Token* after = k + 2 < tokens.size() ? &tokens.at(k + 2) : nullptr;
            const bool assignment = after && after->kind == Token::Kind::Punct &&
                                    QStringLiteral("=+-*/%&^|.").contains(after->text);
            if (!assignment && next->text.compare(QStringLiteral("NOCOUNT"), Qt::CaseInsensitive) != 0)
                return RefusedStatement{t.text + u' ' + next->text, t.line, OutlivesBatch};
        }
    }
    return std::nullopt;
}

} // namespace check
