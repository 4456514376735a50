#include "apps/formule/Command.h"
#include "apps/formule/Help.h"
#include "apps/formule/Texts.h"
#include "host/TranslationService.h"
#include "language/FormulaLanguage.h"
#include "language/References.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <unistd.h>

namespace formule_cli {

ado::Connection* openConnection(Context& ctx, const QString& command) {
    try {
        return ctx.connection();
    } catch (const core::ComError& e) {
        *ctx.err << command << ": "
                 << tx(QStringLiteral("il database non si può aprire: %1")).arg(e.description()) << '\n';
        ctx.err->flush();
        return nullptr;
    }
}

core::FunctionServices hostServices(Context& ctx) {
    host::TranslationService* translation = ctx.translation;
    return core::FunctionServices({
        .connection = ctx.connection,
        .translate =
            [translation](const QString& text) { return translation ? translation->Traduci(text) : text; },
        .messageBox = {},
        .errorAnswer = ctx.errorAnswer,
        .context = {},
        .id = {},
    });
}

bool CommandLine::addOption(const QCommandLineOption& option) {
    m_options.append(option);
    return m_parser ? m_parser->addOption(option) : true;
}

bool CommandLine::addOptions(const QList<QCommandLineOption>& options) {
    bool added = true;
    for (const QCommandLineOption& option : options)
        added = addOption(option) && added;
    return added;
}

void CommandLine::addPositionalArgument(const QString& name, const QString& description,
                                        const QString& syntax) {
    m_arguments.append({name, description, syntax});
    if (m_parser)
        m_parser->addPositionalArgument(name, description, syntax);
}

namespace {
QList<Command>& registry() {
    static QList<Command> list;
    return list;
}
} // namespace

void registerCommand(Command command) {
    QList<Command>& list = registry();
    const auto pos = std::lower_bound(list.begin(), list.end(), command.name,
                                      [](const Command& c, const QString& name) { return c.name < name; });
    list.insert(pos, std::move(command));
}

const QList<Command>& commands() {
    return registry();
}

const Command* findCommand(const QString& name) {
    for (const Command& c : registry()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

namespace {

// The part of a text between leading and trailing spaces or tabs, as the range [begin, end).
std::pair<qsizetype, qsizetype> withoutBlanks(QStringView text) {
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return {begin, end};
}

// A character of a message: itself in quotes, with its code point when it is not ASCII; only the
// code point for a space or control character other than the ASCII space.
QString shown(char32_t c) {
    QString code = QStringLiteral("U+") + QString::number(c, 16).toUpper().rightJustified(4, u'0');
    if (c >= 0x20 && c < 0x7F)
        return QStringLiteral("\"%1\"").arg(QChar(c));
    const QString text = QString::fromUcs4(&c, 1);
    if (QChar::isPrint(c) && !QChar::isSpace(c) && !QChar::isSurrogate(c))
        return QStringLiteral("\"%1\" (%2)").arg(text, code);
    return code;
}

// Length of the well-formed UTF-8 sequence at `at` (Unicode's table of well-formed byte
// sequences), 0 when the bytes there do not form one.
qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // shorter forms are overlong
        else if (lead == 0xED)
            high = 0x9F; // D800-DFFF are surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0; // a continuation byte, C0, C1 (overlong forms of ASCII) or F5-FF
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

WholeNumber parseWholeNumber(const QString& text, qint64 maximum) {
    WholeNumber result;
    const auto [begin, end] = withoutBlanks(text);
    if (begin == end) {
        result.error = tx(QStringLiteral("è vuoto"));
        return result;
    }
    // Every character before the first one that is not a digit is a digit, so its index in UTF-16
    // units is its position in characters.
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9')
            continue;
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < end && text.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
        result.error =
            tx(QStringLiteral("%1 al carattere %2 non è una cifra decimale")).arg(shown(code)).arg(i + 1);
        return result;
    }
    if (end - begin > 18) {
        result.error = tx(QStringLiteral("ha più di 18 cifre"));
        return result;
    }
    for (qsizetype i = begin; i < end; ++i)
        result.value = result.value * 10 + (text.at(i).unicode() - u'0');
    if (result.value > maximum)
        result.error = tx(QStringLiteral("supera %1")).arg(maximum);
    return result;
}

std::optional<int> parseContext(const QString& text) {
    const auto [begin, end] = withoutBlanks(text);
    if (end - begin != 1 || text.at(begin) < u'0' || text.at(begin) > u'2')
        return std::nullopt;
    return text.at(begin).unicode() - u'0';
}

namespace {

// Reads the sequences of `bytes` that start at `from` and before `stop`, each of them whole
// (a sequence may end after `stop`); returns where the next one starts, and sets `flaw` at the
// first flaw.
qsizetype scanText(QByteArrayView bytes, qsizetype from, qsizetype stop, std::optional<TextFlaw>& flaw) {
    qsizetype at = from;
    while (at < stop) {
        if (bytes[at] == '\0') {
            flaw = TextFlaw{TextFlaw::Kind::Nul, at};
            return at;
        }
        const qsizetype length = utf8SequenceLength(bytes, at);
        if (length == 0) {
            flaw = TextFlaw{TextFlaw::Kind::InvalidUtf8, at};
            return at;
        }
        at += length;
    }
    return at;
}

} // namespace

std::optional<TextFlaw> findTextFlaw(QByteArrayView bytes) {
    std::optional<TextFlaw> flaw;
    scanText(bytes, 0, bytes.size(), flaw);
    return flaw;
}

QString describeTextFlaw(const TextFlaw& flaw, const QString& what) {
    return flaw.kind == TextFlaw::Kind::Nul
               ? tx(QStringLiteral("%1 contiene un byte NUL alla posizione di byte %2"))
                     .arg(what)
                     .arg(flaw.offset)
               : tx(QStringLiteral("%1 non è UTF-8 valido alla posizione di byte %2"))
                     .arg(what)
                     .arg(flaw.offset);
}

QString textLimitReason(const Context& ctx, const QString& formula) {
    bool over = false;
    core::FunctionServices services({.errorAnswer = [&over](const QString&, const core::ErrorInfo& error) {
        over = over || error.number == core::err::Overflow;
        return static_cast<int>(core::Answer::Abort);
    }});
    language::FormulaLanguage language(services);
    language.decodeToken(formula, true);
    if (!over)
        return {};
    return ctx.tr(text::FormulaTooLong).arg(formula.size()).arg(language::refs::MaxPassLength);
}

void explainTextLimit(const Context& ctx, core::FunctionServices& services, const QString& formula) {
    const core::ErrorAnswerFn answer = services.f.errorAnswer;
    const QString reason =
        ctx.tr(text::FormulaTooLong).arg(formula.size()).arg(language::refs::MaxPassLength);
    QTextStream* err = ctx.err;
    services.f.errorAnswer = [answer, reason, err](const QString& procedure, const core::ErrorInfo& error) {
        const bool translation =
            procedure == QLatin1String("decodeToken") || procedure == QLatin1String("encodeToken");
        if (!translation || error.number != core::err::Overflow)
            return answer ? answer(procedure, error) : static_cast<int>(core::Answer::Abort);
        *err << procedure << ": " << reason << '\n';
        err->flush();
        return static_cast<int>(core::Answer::Abort);
    };
}

QString Context::tr(const QString& italianText) const {
    return translation ? translation->Traduci(italianText) : italianText;
}

bool fromStandardInput(const QStringList& positional, int index) {
    return index >= positional.size() || positional.at(index) == QLatin1String("-");
}

QString readInput(const Context& ctx, int fd, qsizetype limit) {
    if (ctx.inputClosed)
        throw UsageError{ctx.tr(text::InputClosed)};
    const QString what = tx(QStringLiteral("lo standard input"));
    QByteArray bytes;
    qsizetype checked = 0; // every sequence before this offset is well-formed
    constexpr qsizetype Block = qsizetype(64) * 1024;
    for (;;) {
        const qsizetype size = bytes.size();
        bytes.resize(size + Block);
        const ssize_t n = ::read(fd, bytes.data() + size, Block);
        if (n < 0 && errno == EINTR) {
            bytes.resize(size);
            continue;
        }
        if (n < 0) {
            const int code = errno;
            throw UsageError{ctx.tr(text::InputUnreadable).arg(QString::fromLocal8Bit(std::strerror(code)))};
        }
        bytes.resize(size + n);
        // The last three bytes may start a sequence whose other bytes come with the next block.
        std::optional<TextFlaw> flaw;
        checked = scanText(bytes, checked, n == 0 ? bytes.size() : bytes.size() - 3, flaw);
        if (flaw)
            throw UsageError{describeTextFlaw(*flaw, what)};
        if (bytes.size() > limit)
            throw UsageError{ctx.tr(text::InputTooLong).arg(limit).arg(limit / (qsizetype(1024) * 1024))};
        if (n == 0)
            break;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    return QString::fromUtf8(bytes);
}

} // namespace formule_cli
