// RAISERROR and THROW: errors a batch raises itself.
//
// RAISERROR ("RAISERROR (Transact-SQL)"): a message with printf-like substitutions, or the
// number of a message of sys.messages (this server holds no user-defined ones), at a severity:
// 10 and below it is a message the batch goes on after, as PRINT; 11 to 18 an error with the
// message's number (50000 for a message text), level the severity and the state given; above
// 18 only WITH LOG. THROW ("THROW (Transact-SQL)"): an error of number 50000 or above at level
// 16, or, alone in a CATCH block, the error the block handles raised again.

#include "tsql/run/Executor.h"

#include "tsql/base/Messages.h"

namespace tsql {

namespace {

constexpr int kUserMessage = 50000;
constexpr int kLongestMessage = 2047; // RAISERROR: longer ones are cut, with an ellipsis
constexpr int kLongestThrown = 2048;  // THROW: nvarchar(2048)

// The types RAISERROR takes as substitution arguments.
bool substitutable(TypeId id) {
    switch (id) {
    case TypeId::TinyInt:
    case TypeId::SmallInt:
    case TypeId::Int:
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Unknown:
        return true;
    default:
        return false;
    }
}

int toInt(const Value& v) {
    if (v.null)
        return 0;
    return int(convert(v, SqlType::of(TypeId::Int)).i);
}

// The message of RAISERROR with its arguments put in: % [flags] [width] [.precision] [h|l] type,
// type one of d i o s u x X; a width or precision of * is taken from the arguments; an argument
// that is missing or NULL reads "(null)".
class MessageFormat {
public:
    explicit MessageFormat(const std::vector<Value>& args)
        : m_args(args) {}

    QString apply(const QString& text) {
        QString out;
        for (qsizetype i = 0; i < text.size();) {
            if (text[i] != u'%' || i + 1 >= text.size()) {
                out += text[i++];
                continue;
            }
            if (text[i + 1] == u'%') {
                out += u'%';
                i += 2;
                continue;
            }
            i = formatItem(text, i, out);
        }
        return out;
    }

private:
    struct FormatItem {
        QString flags;
        int width = -1;
        int precision = -1;
        QChar type;
    };

    // Reads the format item at text[at] ('%') and writes its value; returns where the text
    // goes on. A format item without a known type is written as it stands.
    qsizetype formatItem(const QString& text, qsizetype at, QString& out) {
        FormatItem item;
        qsizetype i = at + 1;
        while (i < text.size() && QStringLiteral("-+0# ").contains(text[i]))
            item.flags += text[i++];
        item.width = number(text, i);
        if (i < text.size() && text[i] == u'.') {
            ++i;
            item.precision = std::max(0, number(text, i));
        }
        if (i < text.size() && (text[i] == u'h' || text[i] == u'l'))
            ++i;
        if (i >= text.size() || !QStringLiteral("dioxXus").contains(text[i])) {
            out += text.mid(at, i - at);
            return i;
        }
        item.type = text[i];
        out += formatted(item);
        return i + 1;
    }

    // A width or precision: digits, or * for the next argument; -1 when there is none.
    int number(const QString& text, qsizetype& i) {
        if (i < text.size() && text[i] == u'*') {
            ++i;
            const Value* v = nextArgument();
            return v ? toInt(*v) : -1;
        }
        int n = -1;
        while (i < text.size() && text[i].isDigit() && n < 100000)
            n = std::max(n, 0) * 10 + text[i++].digitValue();
        return std::min(n, kLongestMessage);
    }

    const Value* nextArgument() {
        if (m_next >= m_args.size())
            return nullptr;
        return &m_args[m_next++];
    }

    QString formatted(const FormatItem& item) {
        const qsizetype index = qsizetype(m_next);
        const Value* v = nextArgument();
        const bool text = item.type == u's';
        QString body;
        if (v && v->type.id != TypeId::Unknown && v->type.isString() != text)
            raise<Msg::DataTypeSubstitutionParameter>(index + 1);
        if (!v || v->null)
            body = QStringLiteral("(null)");
        else if (text)
            body = item.precision >= 0 ? toText(*v).left(item.precision) : toText(*v);
        else
            body = integer(item, v->i);
        return padded(item, body);
    }

    static QString integer(const FormatItem& item, qint64 i) {
        const auto u = quint32(qint32(i));
        QString digits;
        QString prefix;
        switch (item.type.unicode()) {
        case 'o':
            digits = QString::number(u, 8);
            if (item.flags.contains(u'#') && u != 0)
                prefix = QStringLiteral("0");
            break;
        case 'x':
        case 'X':
            digits = QString::number(u, 16);
            if (item.type == u'X')
                digits = digits.toUpper();
            if (item.flags.contains(u'#') && u != 0)
                prefix = item.type == u'X' ? QStringLiteral("0X") : QStringLiteral("0x");
            break;
        case 'u':
            digits = QString::number(u);
            break;
        default:
            digits = QString::number(qAbs(qint64(qint32(i))));
            if (qint32(i) < 0)
                prefix = QStringLiteral("-");
            else if (item.flags.contains(u'+'))
                prefix = QStringLiteral("+");
            else if (item.flags.contains(u' '))
                prefix = QStringLiteral(" ");
        }
        if (item.precision > digits.size())
            digits = QString(item.precision - digits.size(), u'0') + digits;
        if (item.flags.contains(u'0') && !item.flags.contains(u'-') && item.precision < 0 &&
            item.width > prefix.size() + digits.size())
            digits = QString(item.width - prefix.size() - digits.size(), u'0') + digits;
        return prefix + digits;
    }

    static QString padded(const FormatItem& item, const QString& body) {
        if (item.width <= body.size())
            return body;
        const QString blanks(item.width - body.size(), u' ');
        return item.flags.contains(u'-') ? body + blanks : blanks + body;
    }

    const std::vector<Value>& m_args;
    size_t m_next = 0;
};

[[noreturn]] void raised(int number, int level, int state, const QString& message) {
    throw SqlError{ServerError{number, level, state, 0, 0, message}};
}

} // namespace

void Executor::raiseError(Stmt& s) {
    const Value message = m_evaluator.eval(*s.args[0], nullptr);
    const int severity = std::clamp(toInt(m_evaluator.eval(*s.args[1], nullptr)), 0, 25);
    int state = toInt(m_evaluator.eval(*s.args[2], nullptr));
    if (state < 0)
        state = 1;
    std::vector<Value> args;
    for (size_t k = 3; k < s.args.size(); ++k) {
        args.push_back(m_evaluator.eval(*s.args[k], nullptr));
        if (!substitutable(args.back().type.id))
            raise<Msg::SpecifyDataTypeParameter>(args.back().type.name(), k + 1);
    }
    if (severity > 18 && !s.withLog)
        raise<Msg::ErrorSeverityLevelsGreater>();
    int number = kUserMessage;
    QString text;
    if (message.type.isInteger()) {
        number = toInt(message);
        if (number < 13000 || number == kUserMessage)
            raise<Msg::ErrorNumberInvalidNumber>(number, 13000, std::numeric_limits<qint32>::max());
        // No message of sys.messages is kept here: the server says so, at the severity asked for.
        text = messageText<Msg::MessageNotFound>(number, severity, state);
        number = messageDef(Msg::MessageNotFound).number;
    } else {
        text = MessageFormat(args).apply(message.null ? QString() : toText(message));
    }
    if (text.size() > kLongestMessage)
        text = text.left(kLongestMessage - 3) + QStringLiteral("...");
    if (severity <= 10) {
        print({.text = text, .number = number, .level = severity, .state = state, .line = s.line});
        return;
    }
    raised(number, severity, state, text);
}

void Executor::throwError(Stmt& s) {
    if (s.args.empty()) {
        // The binder let THROW alone through only inside a CATCH block.
        if (m_state.caught)
            throw SqlError{*m_state.caught};
        return;
    }
    const Value number = m_evaluator.eval(*s.args[0], nullptr);
    const Value message = m_evaluator.eval(*s.args[1], nullptr);
    const Value state = m_evaluator.eval(*s.args[2], nullptr);
    const qint64 n = number.null ? 0 : convert(number, SqlType::of(TypeId::BigInt)).i;
    if (n < kUserMessage || n > std::numeric_limits<qint32>::max())
        raise<Msg::ErrorNumberThrowStatement>(n);
    const qint64 st = state.null ? 0 : convert(state, SqlType::of(TypeId::BigInt)).i;
    if (st < 0 || st > 255)
        raise<Msg::StateThrowStatementOutside>(st);
    raised(int(n), 16, int(st), message.null ? QString() : toText(message).left(kLongestThrown));
}

} // namespace tsql
