// Reading xml text into the tree of an xml value (Xml.h): the well-formedness checks of the
// server's xml type, with its messages ("XML parsing: line L, character C, ..."). An xml value
// may be a fragment: several top-level elements and text around them. Text of blanks only
// between tags is dropped, as the type keeps no insignificant white space by default.

#include "tsql/base/Limits.h"

#include "tsql/base/Messages.h"
#include "tsql/xml/Xml.h"

namespace tsql {

// SQL Server keeps no xml value nested deeper than this; the walks over a document (string
// value, serialisation, descendants, the destructors) recurse once per level, so the limit also
// keeps them safe.
constexpr int kMaxXmlDepth = 128;

namespace {

bool nameStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u':';
}

bool nameChar(QChar c) {
    return nameStart(c) || c.isDigit() || c == u'-' || c == u'.' || c.isMark();
}

bool blank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// One pass over the text, without recursion: the open elements are the chain of parents.
class XmlReader {
public:
    explicit XmlReader(const QString& text)
        : m_s(text)
        , m_budget(currentBudget()) {}

    std::shared_ptr<XmlDoc> read();

private:
    template <Msg M> [[noreturn]] void error() const { raise<M>(m_line, m_i - m_lineStart + 1); }
    // Msg M where the text goes on, the end of input where it ends.
    template <Msg M> [[noreturn]] void expected() const {
        if (atEnd())
            error<Msg::XmlUnexpectedEnd>();
        error<M>();
    }
    QChar at(qsizetype k = 0) const { return m_i + k < m_s.size() ? m_s[m_i + k] : QChar(); }
    bool atEnd() const { return m_i >= m_s.size(); }
    bool startsWith(const char* lit) const {
        return QStringView(m_s).mid(m_i).startsWith(QLatin1String(lit));
    }
    void advance(qsizetype n = 1);
    void skipBlanks() {
        while (!atEnd() && blank(at()))
            advance();
    }
    void checkChar(QChar c) const {
        if (c.unicode() < 0x20 && !blank(c))
            error<Msg::XmlIllegalCharacter>();
    }
    QString name();
    QString reference();
    void skipPast(const char* end, QString* into);
    void startTag();
    void endTag();
    void attributes(XmlElement& e);
    QString attributeValue();
    void text();
    void checkPrefix(const QString& qname, const XmlElement& e) const;
    void count(qint64 bytes);

    const QString& m_s;
    qsizetype m_i = 0;
    int m_line = 1;
    qsizetype m_lineStart = 0;
    XmlElement* m_cur = nullptr;
    int m_depth = 0;
    BatchBudget* m_budget;
    qint64 m_bytes = 0;
    unsigned m_steps = 0;
};

void XmlReader::advance(qsizetype n) {
    for (; n > 0 && m_i < m_s.size(); --n) {
        if (m_s[m_i] == u'\n') {
            ++m_line;
            m_lineStart = m_i + 1;
        }
        ++m_i;
    }
}

// The tree takes several times the memory of its text: what it takes so far is measured against
// the room the batch has left as it grows, and the batch's clock is looked at.
void XmlReader::count(qint64 bytes) {
    m_bytes += bytes;
    if (m_budget && (++m_steps & 63u) == 0) {
        m_budget->checkTime();
        m_budget->checkRoom(m_bytes);
    }
}

QString XmlReader::name() {
    if (atEnd())
        error<Msg::XmlUnexpectedEnd>();
    if (!nameStart(at()))
        error<Msg::XmlIllegalNameCharacter>();
    const qsizetype start = m_i;
    while (!atEnd() && nameChar(at()))
        advance();
    return m_s.mid(start, m_i - start);
}

// After '&': a character reference or one of the five predefined entities, up to ';'.
QString XmlReader::reference() {
    advance();
    const qsizetype start = m_i;
    while (!atEnd() && at() != u';' && (nameChar(at()) || at() == u'#'))
        advance();
    if (atEnd())
        error<Msg::XmlUnexpectedEnd>();
    if (at() != u';')
        error<Msg::XmlSemicolonExpected>();
    const QString ref = m_s.mid(start, m_i - start);
    advance();
    static const std::pair<const char*, char16_t> named[] = {
        {"lt", u'<'}, {"gt", u'>'}, {"amp", u'&'}, {"quot", u'"'}, {"apos", u'\''}};
    for (const auto& [n, c] : named)
        if (ref == QLatin1String(n))
            return QString(QChar(c));
    if (ref.startsWith(u'#')) {
        bool ok = false;
        const uint code =
            ref.startsWith(QLatin1String("#x")) ? ref.mid(2).toUInt(&ok, 16) : ref.mid(1).toUInt(&ok);
        if (!ok || code == 0 || code > 0x10FFFF || (code < 0x20 && !blank(QChar(char16_t(code)))))
            error<Msg::XmlIllegalCharacter>();
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    }
    error<Msg::XmlUndeclaredEntity>();
}

// Up to and past `end` (comments, CDATA, processing instructions): their text into `into`.
void XmlReader::skipPast(const char* end, QString* into) {
    const qsizetype close = m_s.indexOf(QLatin1String(end), m_i);
    if (close < 0) {
        advance(m_s.size() - m_i);
        error<Msg::XmlUnexpectedEnd>();
    }
    if (into)
        *into += m_s.mid(m_i, close - m_i);
    advance(close - m_i + qsizetype(qstrlen(end)));
}

// A prefix (p:name) must be declared by xmlns:p on the element or one of its parents.
void XmlReader::checkPrefix(const QString& qname, const XmlElement& e) const {
    const qsizetype colon = qname.indexOf(u':');
    if (colon < 0)
        return;
    const QString prefix = qname.left(colon);
    if (prefix == u"xml" || prefix == u"xmlns")
        return;
    const QString declaration = QStringLiteral("xmlns:") + prefix;
    for (const XmlElement* p = &e; p; p = p->parent)
        for (const auto& a : p->attributes)
            if (a.first == declaration)
                return;
    error<Msg::XmlUndeclaredPrefix>();
}

QString XmlReader::attributeValue() {
    const QChar quote = at();
    if (quote != u'"' && quote != u'\'')
        error<Msg::XmlStringLiteralExpected>();
    advance();
    QString value;
    while (true) {
        if (atEnd())
            error<Msg::XmlUnexpectedEnd>();
        const QChar c = at();
        if (c == quote)
            break;
        if (c == u'<')
            error<Msg::XmlLessThanInAttribute>();
        if (c == u'&') {
            value += reference();
            continue;
        }
        checkChar(c);
        value += c;
        advance();
    }
    advance();
    return value;
}

void XmlReader::attributes(XmlElement& e) {
    while (true) {
        const bool spaced = !atEnd() && blank(at());
        skipBlanks();
        if (atEnd())
            error<Msg::XmlUnexpectedEnd>();
        if (at() == u'>' || at() == u'/')
            return;
        if (!spaced && nameStart(at()))
            error<Msg::XmlWhitespaceExpected>();
        if (!spaced)
            error<Msg::XmlIllegalNameCharacter>();
        const QString attr = name();
        skipBlanks();
        if (at() != u'=' && atEnd())
            error<Msg::XmlUnexpectedEnd>();
        if (at() != u'=')
            error<Msg::XmlEqualExpected>();
        advance();
        skipBlanks();
        QString value = attributeValue();
        for (const auto& a : e.attributes)
            if (a.first == attr)
                error<Msg::XmlDuplicateAttribute>();
        count(qint64(sizeof(std::pair<QString, QString>)) +
              (attr.size() + value.size()) * qint64(sizeof(QChar)));
        e.attributes.emplace_back(attr, std::move(value));
    }
}

void XmlReader::startTag() {
    advance(); // '<'
    auto e = std::make_unique<XmlElement>();
    e->name = name();
    e->parent = m_cur;
    attributes(*e);
    checkPrefix(e->name, *e);
    for (const auto& a : e->attributes)
        if (!a.first.startsWith(QLatin1String("xmlns")))
            checkPrefix(a.first, *e);
    const qsizetype colon = e->name.indexOf(u':');
    if (colon >= 0)
        e->name = e->name.mid(colon + 1);
    const bool empty = at() == u'/';
    if (empty) {
        advance();
        if (at() != u'>')
            expected<Msg::XmlGreaterExpected>();
    }
    advance(); // '>'
    if (m_depth + 1 > kMaxXmlDepth)
        raise<Msg::XmlDatatypeInstanceToo>();
    count(qint64(sizeof(XmlElement)) + 64 + e->name.size() * qint64(sizeof(QChar)));
    XmlElement* raw = e.get();
    m_cur->children.push_back(std::move(e));
    if (!empty) {
        m_cur = raw;
        ++m_depth;
    }
}

void XmlReader::endTag() {
    advance(2); // "</"
    QString closing = name();
    skipBlanks();
    if (at() != u'>')
        expected<Msg::XmlGreaterExpected>();
    const qsizetype colon = closing.indexOf(u':');
    if (colon >= 0)
        closing = closing.mid(colon + 1);
    if (m_depth == 0 || closing != m_cur->name)
        error<Msg::XmlEndTagMismatch>();
    advance();
    m_cur = m_cur->parent;
    --m_depth;
}

// Character data up to the next '<': kept unless it is blanks only.
void XmlReader::text() {
    QString t;
    while (!atEnd() && at() != u'<') {
        if (at() == u'&') {
            t += reference();
            continue;
        }
        checkChar(at());
        t += at();
        advance();
    }
    bool blanks = true;
    for (QChar c : t)
        blanks = blanks && blank(c);
    if (!blanks) {
        count(t.size() * qint64(sizeof(QChar)));
        m_cur->text += t;
    }
}

std::shared_ptr<XmlDoc> XmlReader::read() {
    auto doc = std::make_shared<XmlDoc>();
    m_cur = &doc->root;
    while (!atEnd()) {
        if (at() != u'<') {
            text();
        } else if (startsWith("<!--")) {
            advance(4);
            skipPast("-->", nullptr);
        } else if (startsWith("<![CDATA[")) {
            advance(9);
            skipPast("]]>", &m_cur->text);
        } else if (startsWith("<?")) {
            if (startsWith("<?xml") && (blank(at(5)) || at(5) == u'?') && m_i > 0)
                error<Msg::XmlDeclarationNotFirst>();
            advance(2);
            skipPast("?>", nullptr);
        } else if (startsWith("</")) {
            endTag();
        } else if (startsWith("<!")) {
            error<Msg::XmlIncorrectSyntax>();
        } else {
            startTag();
        }
    }
    if (m_depth > 0)
        error<Msg::XmlUnexpectedEnd>();
    return doc;
}

} // namespace

std::shared_ptr<const XmlDoc> parseXml(const QString& text) {
    XmlReader reader(text);
    return reader.read();
}

} // namespace tsql
