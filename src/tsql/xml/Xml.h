#pragma once

#include "tsql/base/ServerError.h"

#include <QString>

#include <memory>
#include <vector>

namespace tsql {

// A parsed XML document: elements with their attributes and text, enough for the XPath
// forms that formulas use with nodes(), value(), exist() and query().
struct XmlElement {
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    QString text; // concatenated character data directly inside
    std::vector<std::unique_ptr<XmlElement>> children;
    XmlElement* parent = nullptr;
};

struct XmlDoc {
    XmlElement root; // document node: its children are the top-level elements
};

// A selected item: an element, or one attribute of an element (attribute >= 0).
struct XmlNodeRef {
    std::shared_ptr<const XmlDoc> doc;
    const XmlElement* element = nullptr;
    int attribute = -1;
};

// Parses xml text; throws SqlError on malformed text with the server's message (9400 unexpected
// end of input, 9436 end tag does not match start tag, 9455, 9410, ...; XmlParse.cpp).
std::shared_ptr<const XmlDoc> parseXml(const QString& text);

// Evaluates an XPath expression from a context item. Supported: absolute and relative
// paths, '//' descendants, '.', '..', '*', '@name', '@*', 'text()', positional predicates
// [n] and attribute predicates [@a="v"], and a parenthesised path followed by [n].
std::vector<XmlNodeRef> xpathSelect(const XmlNodeRef& context, const QString& path);
// Reads a path as xpathSelect does, selecting nothing: Msg 2225 for one it cannot read. The
// binder reads every literal path so, as the server compiles XQuery before it runs: a path is
// judged even where no document reaches it (a NULL xml variable, a branch not taken).
// The message is placed at `line` and `column` of the batch.
void xpathCheck(const QString& path, int line, int column);
// True when the path yields at most one item, as value() requires (Msg 2389 otherwise).
bool xpathSingleton(const QString& path);
// String value of an item (attribute value, or all text inside an element).
QString xmlStringValue(const XmlNodeRef& item);
// Serialises an item as xml text.
QString xmlSerialize(const XmlNodeRef& item);

} // namespace tsql
