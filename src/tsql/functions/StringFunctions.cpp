// The string functions ("String functions (Transact-SQL)"). Texts are compared as the engine's
// collation compares them (case-insensitive: CHARINDEX, REPLACE), lengths ignore trailing
// blanks (LEN), and results are cut at 8,000 bytes unless the input is of a (max) type.

#include "tsql/functions/BuiltinFunctions.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"

namespace tsql::builtin {

namespace {

// True for a value of a (max) type, or one longer than any other type holds: SQL Server's
// string functions keep such values whole, and cut any other result at 8,000 bytes.
bool isLargeValue(const Value& v) {
    return v.type.isString() && (v.type.length < 0 || v.type.length > (v.type.isUnicode() ? 4000 : 8000));
}

// Characters in 8,000 bytes of the type.
qint64 nonMaxLength(const SqlType& t) {
    return t.isUnicode() ? 4000 : 8000;
}

// The occurrences of `find` (any case) in `s`, found without keeping where they are.
qint64 occurrences(const QString& s, const QString& find) {
    qint64 n = 0;
    for (qsizetype k = s.indexOf(find, 0, Qt::CaseInsensitive); k >= 0;
         k = s.indexOf(find, k + find.size(), Qt::CaseInsensitive))
        ++n;
    return n;
}

// Every occurrence of `find` (any case) replaced by `with`; at most `cap` characters of the
// result are built when cap >= 0. The size is known, and counted against the batch's memory,
// before anything is built.
QString replaceAll(const QString& s, const QString& find, const QString& with, qint64 cap,
                   const SqlType& type) {
    const qint64 count = occurrences(s, find);
    qint64 length = qint64(s.size()) + count * (qint64(with.size()) - qint64(find.size()));
    if (cap >= 0)
        length = std::min(length, cap);
    else
        checkStringSize(length, type);
    QString out;
    out.reserve(qsizetype(length));
    qsizetype from = 0;
    for (qsizetype k = count > 0 ? s.indexOf(find, 0, Qt::CaseInsensitive) : -1;
         k >= 0 && out.size() < length; k = s.indexOf(find, k + find.size(), Qt::CaseInsensitive)) {
        out += QStringView(s).mid(from, k - from);
        out += with;
        from = k + find.size();
    }
    if (out.size() < length)
        out += QStringView(s).mid(from);
    out.truncate(qsizetype(length));
    return out;
}

// A copy of part of a text, counted against the batch's memory before it is made.
QString copied(QStringView part, const SqlType& type) {
    checkStringSize(part.size(), type);
    return part.toString();
}

// Without the trailing blanks (the view shares the text).
QStringView rtrimBlanks(QStringView s) {
    qsizetype k = s.size();
    while (k > 0 && s[k - 1] == u' ')
        --k;
    return s.left(k);
}

QStringView ltrimBlanks(QStringView s) {
    qsizetype k = 0;
    while (k < s.size() && s[k] == u' ')
        ++k;
    return s.mid(k);
}

Value leftOrRight(const FunctionDef& f, const Args& a, const SqlType& type, bool left) {
    qint64 n = asInt(a[1]);
    if (n < 0)
        raise<Msg::InvalidLength>(QString::fromLatin1(f.name).toLower());
    const QString s = asText(a[0]);
    return textOut(copied(left ? QStringView(s).left(n) : QStringView(s).right(n), type), type);
}

} // namespace

Value textOut(const QString& s, const SqlType& type) {
    Value r;
    r.type = type.isString() ? type : SqlType::varchar(-1);
    r.null = false;
    r.s = s;
    return r;
}

QString asText(const Value& v) {
    if (v.type.isString())
        return v.s;
    return toText(v);
}

qint64 asInt(const Value& v) {
    // An integer's bigint is its own number (every integer type fits bigint).
    if (v.type.isInteger() && !v.null)
        return v.i;
    return convert(v, SqlType::of(TypeId::BigInt)).i;
}

// LEN counts characters without the trailing blanks.
Value len(const FunctionDef&, const Args& a, const SqlType&) {
    const QString s = asText(a[0]);
    return Value::integer(rtrimBlanks(s).size());
}

// DATALENGTH counts bytes: two a character for the Unicode types.
Value datalength(const FunctionDef&, const Args& a, const SqlType&) {
    if (a[0].type.isString())
        return Value::integer(a[0].s.size() * (a[0].type.isUnicode() ? 2 : 1));
    if (a[0].type.isInteger())
        return Value::integer(a[0].type.id == TypeId::BigInt ? 8 : a[0].type.id == TypeId::Int ? 4 : 2);
    if (a[0].type.isTime()) // 3 bytes to time(2), 4 to time(4), 5 beyond ("time (Transact-SQL)")
        return Value::integer(a[0].type.scale <= 2 ? 3 : a[0].type.scale <= 4 ? 4 : 5);
    return Value::integer(asText(a[0]).size());
}

Value left(const FunctionDef& f, const Args& a, const SqlType& type) {
    return leftOrRight(f, a, type, true);
}

Value right(const FunctionDef& f, const Args& a, const SqlType& type) {
    return leftOrRight(f, a, type, false);
}

// SUBSTRING(s, start, length): a start before 1 shortens what is taken; a negative length is
// Msg 537.
Value substring(const FunctionDef&, const Args& a, const SqlType& type) {
    QString s = asText(a[0]);
    qint64 start = asInt(a[1]), len = asInt(a[2]);
    if (len < 0)
        raise<Msg::InvalidLengthLeftSubstring>();
    qint64 from = std::max<qint64>(start, 1);
    qint64 to = start + len; // exclusive
    if (to <= from || from > s.size())
        return textOut(QString(), type);
    return textOut(copied(QStringView(s).mid(from - 1, std::min<qint64>(to, s.size() + 1) - from), type),
                   type);
}

Value ltrim(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    return textOut(copied(ltrimBlanks(s), type), type);
}

Value rtrim(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    return textOut(copied(rtrimBlanks(s), type), type);
}

Value upper(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    checkStringSize(s.size(), type);
    return textOut(s.toUpper(), type);
}

Value lower(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    checkStringSize(s.size(), type);
    return textOut(s.toLower(), type);
}

Value reverse(const FunctionDef&, const Args& a, const SqlType& type) {
    const QString s = asText(a[0]);
    checkStringSize(s.size(), type);
    QString r(s.size(), Qt::Uninitialized);
    std::reverse_copy(s.begin(), s.end(), r.begin());
    return textOut(r, type);
}

// REPLACE finds its pattern in any case, as the collation compares.
Value replace(const FunctionDef&, const Args& a, const SqlType& type) {
    QString s = asText(a[0]), find = asText(a[1]), with = asText(a[2]);
    if (find.isEmpty())
        return textOut(s, type);
    return textOut(replaceAll(s, find, with, isLargeValue(a[0]) ? -1 : nonMaxLength(a[0].type), type), type);
}

// CHARINDEX(find, in [, start]): 1-based, 0 when absent; a NULL start is 1.
Value charindex(const FunctionDef&, const Args& a, const SqlType& type) {
    if (a[0].null || a[1].null)
        return Value::nullOf(type);
    QString needle = asText(a[0]), hay = asText(a[1]);
    qint64 start = a.size() > 2 && !a[2].null ? std::max<qint64>(asInt(a[2]), 1) : 1;
    if (needle.isEmpty())
        return Value::integer(0);
    int k = int(hay.indexOf(needle, int(std::min<qint64>(start - 1, hay.size())), Qt::CaseInsensitive));
    return Value::integer(k < 0 ? 0 : k + 1);
}

// REPLICATE: NULL for a negative count.
Value replicate(const FunctionDef&, const Args& a, const SqlType& type) {
    qint64 n = asInt(a[1]);
    if (n < 0)
        return Value::nullOf(type);
    QString s = asText(a[0]);
    if (s.isEmpty())
        return textOut(s, type);
    if (isLargeValue(a[0])) {
        // A (max) value is repeated in full, up to the 2 GB of the type.
        const qint64 most = std::numeric_limits<qint64>::max() / s.size();
        checkStringSize(n > most ? std::numeric_limits<qint64>::max() : n * s.size(), type);
        return textOut(s.repeated(n), type);
    }
    // Any other value: the result is cut at 8,000 bytes.
    const qint64 cap = nonMaxLength(a[0].type);
    n = std::min<qint64>(n, cap);
    if (s.size() * n > cap)
        n = cap / s.size();
    return textOut(s.repeated(n), type);
}

Value space(const FunctionDef&, const Args& a, const SqlType& type) {
    qint64 n = asInt(a[0]);
    if (n < 0)
        return Value::nullOf(type);
    return textOut(QString(int(std::min<qint64>(n, 8000)), u' '), type);
}

// STUFF(s, start, length, insert): NULL for a start outside the text or a negative length.
Value stuff(const FunctionDef&, const Args& a, const SqlType& type) {
    QString s = asText(a[0]);
    qint64 start = asInt(a[1]), len = asInt(a[2]);
    if (start < 1 || start > s.size() || len < 0)
        return Value::nullOf(type);
    const QString insert = asText(a[3]);
    const QStringView head = QStringView(s).left(start - 1);
    const QStringView tail = QStringView(s).mid(std::min<qint64>(start - 1 + len, s.size()));
    checkStringSize(qint64(head.size()) + insert.size() + tail.size(), type);
    QString out;
    out.reserve(head.size() + insert.size() + tail.size());
    out += head;
    out += insert;
    out += tail;
    return textOut(out, type);
}

// STR(n [, length [, decimals]]): right-aligned in `length` characters (10), asterisks when the
// number does not fit.
Value str(const FunctionDef&, const Args& a, const SqlType& type) {
    if (a[0].null)
        return Value::nullOf(type);
    double d = convert(a[0], SqlType::of(TypeId::Float)).f;
    int len = a.size() > 1 ? int(std::clamp<qint64>(asInt(a[1]), 1, 8000)) : 10;
    int dec = a.size() > 2 ? int(std::clamp<qint64>(asInt(a[2]), 0, 16)) : 0;
    QString s = QString::number(d, 'f', std::clamp(dec, 0, 16));
    if (s.size() > len)
        s = QString(len, u'*');
    return textOut(s.rightJustified(len, u' '), type);
}

// CONCAT takes NULLs as empty texts.
Value concat(const FunctionDef&, const Args& a, const SqlType& type) {
    QStringList parts;
    qint64 length = 0;
    for (const Value& v : a) {
        if (!v.null) {
            parts << asText(v);
            length += parts.last().size();
        }
    }
    checkStringSize(length, type);
    QString out;
    out.reserve(qsizetype(length));
    for (const QString& part : parts)
        out += part;
    return textOut(out, type);
}

// ASCII and UNICODE: the code of the first character, NULL for an empty text.
// ASCII: the byte of the first character in code page 1252 (a character the code page lacks
// becomes '?' first); UNICODE: its UTF-16 code.
Value ascii(const FunctionDef& f, const Args& a, const SqlType& type) {
    QString s = asText(a[0]);
    if (s.isEmpty())
        return Value::nullOf(type);
    if (qstrcmp(f.name, "ASCII") != 0)
        return Value::integer(s[0].unicode());
    return Value::integer(codePageByte(inCodePage(s.left(1))[0]));
}

// CHAR(0..255) and NCHAR(0..65535); NULL outside.
Value char_(const FunctionDef&, const Args& a, const SqlType& type) {
    qint64 c = asInt(a[0]);
    if (c < 0 || c > 255)
        return Value::nullOf(type);
    Value r = textOut(QString(fromCodePage(int(c))), type);
    r.type = type;
    return r;
}

Value nchar(const FunctionDef&, const Args& a, const SqlType& type) {
    qint64 c = asInt(a[0]);
    if (c < 0 || c > 65535)
        return Value::nullOf(type);
    Value r = textOut(QString(QChar(char16_t(c))), type);
    r.type = type;
    return r;
}

} // namespace tsql::builtin
