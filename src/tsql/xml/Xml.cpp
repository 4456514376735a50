#include "tsql/xml/Xml.h"

#include "tsql/base/Messages.h"

#include "tsql/base/Limits.h"

namespace tsql {

namespace {

struct Step {
    bool descendant = false;
    enum { Element, Attribute, Self, Parent, Text } kind = Element;
    QString name;                // "*" for any
    int position = 0;            // [n], 0 none
    QString attrName, attrValue; // [@a="v"]
    bool hasAttrTest = false;
};

[[noreturn]] void badPath(const QString& path) {
    raise<Msg::XqueryStringLiteralExpected>(path);
}

bool parsePredicate(const QString& s, int& i, Step& st, const QString& path) {
    // at '['
    int close = s.indexOf(u']', i);
    if (close < 0)
        badPath(path);
    QString body = s.mid(i + 1, close - i - 1).trimmed();
    i = close + 1;
    bool ok = false;
    int n = body.toInt(&ok);
    if (ok) {
        st.position = n;
        return true;
    }
    if (body.startsWith(u'@')) {
        int eq = body.indexOf(u'=');
        if (eq < 0)
            badPath(path);
        st.hasAttrTest = true;
        st.attrName = body.mid(1, eq - 1).trimmed();
        QString v = body.mid(eq + 1).trimmed();
        if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        st.attrValue = v;
        return true;
    }
    badPath(path);
}

std::vector<Step> parsePath(const QString& path, bool& absolute, int& outerPosition) {
    QString s = path.trimmed();
    outerPosition = 0;
    if (s.startsWith(u'(')) {
        int close = s.lastIndexOf(u')');
        if (close < 0)
            badPath(path);
        QString rest = s.mid(close + 1).trimmed();
        s = s.mid(1, close - 1).trimmed();
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u'[') || !rest.endsWith(u']'))
                badPath(path);
            bool ok = false;
            outerPosition = rest.mid(1, rest.size() - 2).trimmed().toInt(&ok);
            if (!ok)
                badPath(path);
        }
    }
    std::vector<Step> steps;
    absolute = s.startsWith(u'/');
    int i = 0;
    while (i < s.size()) {
        Step st;
        if (s.mid(i, 2) == u"//") {
            st.descendant = true;
            i += 2;
        } else if (s[i] == u'/') {
            ++i;
        }
        int start = i;
        while (i < s.size() && s[i] != u'/' && s[i] != u'[')
            ++i;
        QString tok = s.mid(start, i - start).trimmed();
        if (tok.isEmpty())
            badPath(path);
        if (tok == u".")
            st.kind = Step::Self;
        else if (tok == u"..")
            st.kind = Step::Parent;
        else if (tok == u"text()")
            st.kind = Step::Text;
        else if (tok.startsWith(u'@')) {
            st.kind = Step::Attribute;
            st.name = tok.mid(1);
        } else {
            st.kind = Step::Element;
            st.name = tok;
            int colon = st.name.indexOf(u':');
            if (colon >= 0)
                st.name = st.name.mid(colon + 1);
        }
        while (i < s.size() && s[i] == u'[')
            parsePredicate(s, i, st, path);
        steps.push_back(st);
    }
    return steps;
}

void descendants(const XmlElement* e, std::vector<const XmlElement*>& out) {
    for (const auto& c : e->children) {
        out.push_back(c.get());
        descendants(c.get(), out);
    }
}

} // namespace

// The static typing of value(): a path yields at most one item when it starts from one (the
// context item, or the document for an absolute path) and every step keeps it one: '.', '..',
// one named attribute, or a step with a position [n]; a parenthesised path with [n] after it is
// one item. Element steps, text(), '@*' and '//' yield any number. A path the engine does not
// read is taken as the old reading did: one when it ends in a predicate or names an attribute.
void xpathCheck(const QString& path, int line, int column) {
    bool absolute = false;
    int outer = 0;
    try {
        parsePath(path, absolute, outer);
    } catch (SqlError& e) {
        e.error.line = line;
        e.error.column = column;
        throw;
    }
}

bool xpathSingleton(const QString& path) {
    bool absolute = false;
    int outer = 0;
    std::vector<Step> steps;
    try {
        steps = parsePath(path, absolute, outer);
    } catch (const SqlError&) {
        const QString p = path.trimmed();
        return p.endsWith(u']') || p.startsWith(u'@');
    }
    if (outer > 0)
        return true;
    bool one = true;
    for (const Step& st : steps) {
        const bool before = one;
        const bool keeps = st.kind == Step::Self || st.kind == Step::Parent ||
                           (st.kind == Step::Attribute && st.name != u"*");
        one = before && keeps && !st.descendant;
        if (st.position > 0)
            one = before && !st.descendant;
    }
    return one;
}

std::vector<XmlNodeRef> xpathSelect(const XmlNodeRef& context, const QString& path) {
    bool absolute = false;
    int outer = 0;
    std::vector<Step> steps = parsePath(path, absolute, outer);
    std::vector<XmlNodeRef> cur;
    if (absolute)
        cur.push_back(XmlNodeRef{context.doc, &context.doc->root, -1});
    else
        cur.push_back(context);
    BatchBudget* budget = currentBudget();
    for (const Step& st : steps) {
        std::vector<XmlNodeRef> next;
        for (const XmlNodeRef& item : cur) {
            if (budget)
                budget->tick();
            if (item.attribute >= 0)
                continue;
            std::vector<const XmlElement*> base;
            if (st.descendant) {
                base.push_back(item.element);
                descendants(item.element, base);
            } else {
                base.push_back(item.element);
            }
            for (const XmlElement* b : base) {
                std::vector<XmlNodeRef> found;
                switch (st.kind) {
                case Step::Self:
                    found.push_back(XmlNodeRef{item.doc, b, -1});
                    break;
                case Step::Parent:
                    if (b->parent)
                        found.push_back(XmlNodeRef{item.doc, b->parent, -1});
                    break;
                case Step::Text: // no text node where there is no text
                    if (!b->text.isEmpty())
                        found.push_back(XmlNodeRef{item.doc, b, -2});
                    break;
                case Step::Attribute:
                    for (int k = 0; k < int(b->attributes.size()); ++k)
                        if (st.name == u"*" || b->attributes[size_t(k)].first == st.name)
                            found.push_back(XmlNodeRef{item.doc, b, k});
                    break;
                case Step::Element:
                    for (const auto& c : b->children) {
                        if (!(st.name == u"*" || c->name == st.name))
                            continue;
                        if (st.hasAttrTest) {
                            bool match = false;
                            for (const auto& a : c->attributes)
                                match = match || (a.first == st.attrName && a.second == st.attrValue);
                            if (!match)
                                continue;
                        }
                        found.push_back(XmlNodeRef{item.doc, c.get(), -1});
                    }
                    break;
                }
                if (st.position > 0) {
                    if (int(found.size()) >= st.position)
                        next.push_back(found[size_t(st.position - 1)]);
                } else {
                    next.insert(next.end(), found.begin(), found.end());
                }
            }
        }
        cur = std::move(next);
    }
    if (outer > 0) {
        if (int(cur.size()) >= outer)
            return {cur[size_t(outer - 1)]};
        return {};
    }
    return cur;
}

static void allText(const XmlElement* e, QString& out) {
    out += e->text;
    for (const auto& c : e->children)
        allText(c.get(), out);
}

QString xmlStringValue(const XmlNodeRef& item) {
    if (item.attribute >= 0)
        return item.element->attributes[size_t(item.attribute)].second;
    if (item.attribute == -2)
        return item.element->text;
    QString out;
    allText(item.element, out);
    return out;
}

static QString escape(QString s) {
    s.replace(u'&', QStringLiteral("&amp;"));
    s.replace(u'<', QStringLiteral("&lt;"));
    s.replace(u'>', QStringLiteral("&gt;"));
    s.replace(u'"', QStringLiteral("&quot;"));
    return s;
}

static void serialize(const XmlElement* e, QString& out) {
    out += u'<' + e->name;
    for (const auto& a : e->attributes)
        out += u' ' + a.first + QStringLiteral("=\"") + escape(a.second) + u'"';
    if (e->children.empty() && e->text.isEmpty()) {
        out += QStringLiteral("/>");
        return;
    }
    out += u'>';
    out += escape(e->text);
    for (const auto& c : e->children)
        serialize(c.get(), out);
    out += QStringLiteral("</") + e->name + u'>';
}

QString xmlSerialize(const XmlNodeRef& item) {
    if (item.attribute >= 0 || item.attribute == -2)
        return escape(xmlStringValue(item));
    if (item.element == &item.doc->root) {
        QString out;
        for (const auto& c : item.element->children)
            serialize(c.get(), out);
        return out;
    }
    QString out;
    serialize(item.element, out);
    return out;
}

} // namespace tsql
