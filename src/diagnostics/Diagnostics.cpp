#include "diagnostics/Diagnostics.h"

#include "check/Declarations.h"
#include "check/ServerMessageTexts.h"
#include "check/SyntaxCheck.h"
#include "diagnostics/Texts.h"
#include "language/FormulaLanguage.h"
#include "language/PositionMap.h"
#include "tsql/Session.h"
#include "tsql/text/Lexer.h"

#include <QAtomicInt>
#include <QSqlDatabase>

#include <algorithm>

namespace diagnostics {

namespace {

// Unknown elements beyond this many are still reported, without suggestions: each suggestion
// compares the element with every known one.
constexpr int MaxSuggested = 50;

QString plainWording(int number) {
    switch (number) {
    case 102:
        return msg::SyntaxError;
    case 156:
        return msg::MisplacedKeyword;
    case 105:
        return msg::Unclosed;
    case 113:
        return msg::UnclosedComment;
    case 137:
        return msg::UndeclaredVariable;
    case 207:
        return msg::UnknownName;
    default:
        return msg::GenericError;
    }
}

bool overlaps(const Diagnostic& a, const Diagnostic& b) {
    return a.offset < b.offset + std::max<qsizetype>(b.length, 1) &&
           b.offset < a.offset + std::max<qsizetype>(a.length, 1);
}

} // namespace

TextLines::TextLines(const QString& text)
    : m_text(text) {
    m_starts.push_back(0);
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1))
        m_starts.push_back(i + 1);
}

int TextLines::lineOf(qsizetype offset) const {
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
    return int(it - m_starts.begin());
}

qsizetype TextLines::lineStart(int line) const {
    return m_starts[std::size_t(std::clamp(line, 1, lineCount()) - 1)];
}

int TextLines::columnOf(qsizetype offset) const {
    const qsizetype start = lineStart(lineOf(offset));
    int column = 1;
    for (qsizetype i = start; i < offset && i < m_text.size(); ++i) {
        if (!(m_text.at(i).isLowSurrogate() && i > start && m_text.at(i - 1).isHighSurrogate()))
            ++column;
    }
    return column;
}

qsizetype TextLines::offsetOf(int line, int utf16Column) const {
    const qsizetype start = lineStart(line);
    qsizetype end = line < lineCount() ? lineStart(line + 1) - 1 : m_text.size();
    if (end > start && end <= m_text.size() && end < m_text.size() && m_text.at(end) == u'\n' &&
        m_text.at(end - 1) == u'\r')
        --end;
    return std::clamp<qsizetype>(start + std::max(utf16Column, 1) - 1, start, std::max(start, end));
}

QString formatDiagnostic(const Diagnostic& d) {
    return QStringLiteral("%1:%2: %3: %4")
        .arg(d.line)
        .arg(d.column)
        .arg(d.severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning"), d.message);
}

void placeInDisplay(Diagnostic& d, int line, int column, const QString& display, const QString& sql,
                    const language::PositionMap& map, int prefixLines) {
    const TextLines sqlLines(sql);
    const int sqlLine = line - prefixLines;
    qsizetype sqlStart = 0;
    qsizetype sqlEnd = 0;
    if (sqlLine >= 1) {
        sqlStart = sqlLines.offsetOf(sqlLine, column > 0 ? column : 1);
        sqlEnd = sqlStart;
        if (column > 0) {
            // The token the message is about: the engine's lexer reads it from there.
            std::optional<tsql::ServerError> ignored;
            const std::vector<tsql::Token> tokens = tsql::tokenize(sql.mid(sqlStart, 4096), ignored);
            if (!tokens.empty() && tokens.front().kind != tsql::Tok::End && tokens.front().pos == 0)
                sqlEnd = sqlStart + tokens.front().text.size();
        }
    }
    const auto [start, end] = map.sourceRange(sqlStart, sqlEnd);
    const TextLines lines(display);
    d.offset = std::min(start, display.size());
    d.length = std::max<qsizetype>(0, std::min(end, display.size()) - d.offset);
    d.line = lines.lineOf(d.offset);
    d.column = column > 0 ? lines.columnOf(d.offset) : 0;
}

struct DiagnosticsEngine::Impl {
    QString connectionName;
    std::unique_ptr<tsql::Session> session;
    core::FunctionServices host;
    language::FormulaLanguage language;

    explicit Impl(const ElementCatalog& catalog)
        : host({.translate = [&catalog](const QString& s) { return catalog.translated(s); }})
        , language(host) {
        static QAtomicInt counter;
        connectionName = QStringLiteral("formule-diagnostics-%1").arg(counter.fetchAndAddRelaxed(1));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(QStringLiteral(":memory:"));
        db.open();
        session = std::make_unique<tsql::Session>(db);
    }
    ~Impl() {
        session.reset();
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
};

DiagnosticsEngine::DiagnosticsEngine(const ElementCatalog& catalog, TranslateFn translate)
    : m_catalog(catalog)
    , m_translate(std::move(translate))
    , d(std::make_unique<Impl>(catalog)) {}

DiagnosticsEngine::~DiagnosticsEngine() = default;

void DiagnosticsEngine::elementFindings(const QString& text, const std::vector<Span>& spans,
                                        const TextLines& lines, QList<Diagnostic>& out) {
    int suggested = 0;
    auto add = [&](Severity severity, qsizetype start, qsizetype length, const QString& message) {
        Diagnostic diag{severity, start, length, lines.lineOf(start), lines.columnOf(start), 0, message};
        out.append(diag);
    };
    for (const Span& s : spans) {
        const QString written = text.mid(s.start, s.length);
        if (s.kind == TokenKind::Unbalanced) {
            add(Severity::Warning, s.start, s.length, tr(msg::Unbalanced).arg(written));
        } else if (s.unknown) {
            const ElementKind kind = *elementKindOf(s.kind);
            QString message = tr(kind == ElementKind::Label      ? msg::UnknownLabel
                                 : kind == ElementKind::Category ? msg::UnknownCategory
                                                                 : msg::UnknownVariant)
                                  .arg(written);
            const QStringList near =
                suggested++ < MaxSuggested ? m_catalog.suggest(kind, written) : QStringList();
            if (!near.isEmpty())
                message += u' ' + tr(msg::Perhaps).arg(near.join(QStringLiteral(", ")));
            add(Severity::Error, s.start, s.length, message);
        } else if (s.kind == TokenKind::String || s.kind == TokenKind::Comment) {
            const QStringView piece = QStringView(text).mid(s.start, s.length);
            for (qsizetype open = piece.indexOf(u'['); open >= 0; open = piece.indexOf(u'[', open + 1)) {
                const qsizetype close = piece.indexOf(u']', open);
                if (close < 0)
                    break;
                const QString label = piece.mid(open, close - open + 1).toString();
                if (m_catalog.knowsLabel(label))
                    add(Severity::Warning, s.start + open, label.size(), tr(msg::LabelInText).arg(label));
            }
        }
    }
}

QList<Diagnostic> DiagnosticsEngine::analyse(const QString& displayText) {
    QList<Diagnostic> out;
    const TextLines lines(displayText);
    const std::vector<Span> spans = FormulaScanner(&m_catalog).scanText(displayText);
    elementFindings(displayText, spans, lines, out);

    language::PositionMap map;
    const QString sql = d->language.decodeToken(displayText, true, &map);
    const QString batch = check::SyntaxCheck::checkBatch(sql);
    if (const std::optional<tsql::ServerError> error = d->session->compile(batch)) {
        Diagnostic diag;
        diag.number = error->number;
        // The engine's text names the SQL form's variables: they are shown as the formula
        // writes them, after a short explanation when the message is a frequent one.
        const auto translate = [this](const QString& s) { return tr(s); };
        check::DisplayNames names(translate);
        names.setTranslation(displayText, sql, map);
        const QString engineText = names.apply(error->message);
        QString explained = check::explainMessage(error->number, error->message, translate, names.fn());
        // An explanation that says the engine's text again (the English window) adds nothing.
        if (explained.isEmpty() || explained == engineText)
            explained = tr(plainWording(error->number));
        diag.message = tr(msg::EngineMessage).arg(explained, QString::number(error->number), engineText);
        placeInDisplay(diag, error->line, error->column, displayText, sql, map,
                       check::SyntaxCheck::declarationLines());
        if (diag.column == 0)
            diag.column = 1;
        // The engine's message about an unknown element says again what its own finding says.
        const bool repeated = std::any_of(out.begin(), out.end(), [&](const Diagnostic& o) {
            return o.severity == Severity::Error && o.number == 0 && overlaps(o, diag);
        });
        if (!repeated)
            out.append(diag);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.offset < b.offset; });
    return out;
}

} // namespace diagnostics
