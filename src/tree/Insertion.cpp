#include "tree/Insertion.h"

#include "core/NullSafe.h"

#include <algorithm>
#include <limits>

namespace tree {

namespace {

// The insertion text of a leaf under its parents, by the six rules; `quotation` tells whether
// the first rule matched (an empty box then gets "label = ").
struct Composed {
    QString insertion;
    int rule = 0;
    bool quotation = false;
};

Composed composeText(const InsertionRequest& request,
                     const std::function<QString(const QString&)>& translate) {
    const auto tr = [&](const char* italian) {
        const QString text = QString::fromUtf8(italian);
        return translate ? translate(text) : text;
    };
    const QString& t = request.text;
    const QString parent = core::RTrimN(request.parentText.value_or(QString())).toString();

    // Each rule that matches replaces the insertion text: the last match wins.
    Composed c{t, 0, false};
    if (parent == tr("Quotazione")) {
        c.insertion = u'[' + t + u']';
        c.rule = 1;
        c.quotation = true;
    }
    if (parent == tr("Quotazione ingresso")) {
        c.insertion = u'[' + t + QStringLiteral(" - IN]");
        c.rule = 2;
    }
    if (parent == tr("Quotazione corrente")) {
        c.insertion = u'[' + t + QStringLiteral(" - CURR]");
        c.rule = 3;
    }
    if (request.grandparentText && *request.grandparentText == tr("Entità anagrafiche")) {
        c.insertion = u'[' + t + u']';
        c.rule = 4;
    }
    if (parent == tr("Codice variante")) {
        c.insertion = u'|' + t + u'|';
        c.rule = 5;
    }
    if (parent == tr("Categoria commerciale")) {
        c.insertion = u'{' + t + u'}';
        c.rule = 6;
    }
    return c;
}

} // namespace

std::optional<ElementReference> elementReference(const InsertionRequest& request,
                                                 const std::function<QString(const QString&)>& translate) {
    if (!request.hasNode || request.hasChildren || !request.parentText)
        return std::nullopt;
    const Composed c = composeText(request, translate);
    if (c.rule == 0)
        return std::nullopt;
    return ElementReference{c.rule, c.insertion};
}

InsertionResult composeInsertion(const InsertionRequest& request,
                                 const std::function<QString(const QString&)>& translate) {
    InsertionResult result;
    result.text = request.boxText;
    if (!request.hasNode || request.hasChildren || !request.parentText)
        return result;
    result.handled = true;

    const Composed composed = composeText(request, translate);
    const QString& insertion = composed.insertion;
    const bool quotation = composed.quotation;
    result.rule = composed.rule;
    result.insertion = insertion;
    const int length = static_cast<int>(insertion.size());

    const QString& f = request.boxText;
    const auto spliced = [&](int p) {
        p = std::clamp(p, 0, static_cast<int>(f.size()));
        return f.left(p) + u' ' + insertion + u' ' + f.mid(p);
    };
    bool inserted = true;
    if (f.trimmed().isEmpty()) {
        if (request.boxCaret != 0)
            inserted = false;
        else if (quotation)
            result.text = insertion + QStringLiteral(" = ");
        else
            result.text = spliced(request.boxCaret);
    } else {
        result.text = spliced(request.caretPosition);
    }
    if (inserted) {
        result.textChanged = true;
        const qint64 caret = static_cast<qint64>(length) + request.caretPosition + 2;
        result.caret = static_cast<int>(std::min<qint64>(caret, std::numeric_limits<int>::max()));
    }
    result.focus = true;
    result.recordHistory = true;
    return result;
}

ExpandCollapse::Toggle ExpandCollapse::buttonClick() {
    Toggle toggle{QString::fromLatin1(m_expanded ? "plus" : "minus"), !m_expanded};
    m_expanded = !m_expanded;
    return toggle;
}

QString ExpandCollapse::nodeExpanded() {
    m_expanded = true;
    return QStringLiteral("minus");
}

ExpandPlan expandStrutturaTree(bool expand, int nodeCount) {
    constexpr int maxIndex = std::numeric_limits<qint16>::max();
    ExpandPlan plan;
    plan.nodes = std::clamp(nodeCount, 0, maxIndex);
    if (nodeCount >= maxIndex) {
        // The loop's 16-bit index overflows when it steps past the last index it can hold.
        plan.error = core::ErrorInfo{core::err::Overflow, QStringLiteral("Overflow"), {}};
        return plan;
    }
    if (expand && nodeCount >= 2)
        plan.select = 1;
    return plan;
}

} // namespace tree
