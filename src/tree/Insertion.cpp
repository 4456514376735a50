#include "tree/Insertion.h"

#include "core/NullSafe.h"

#include <algorithm>
#include <limits>

namespace tree {

InsertionResult composeInsertion(const InsertionRequest& request,
                                 const std::function<QString(const QString&)>& translate) {
    InsertionResult result;
    result.text = request.boxText;
    if (!request.hasNode || request.hasChildren || !request.parentText)
        return result;
    result.handled = true;

    const auto tr = [&](const char* italian) {
        const QString text = QString::fromUtf8(italian);
        return translate ? translate(text) : text;
    };
    const QString& t = request.text;
    const QString parent = core::RTrimN(*request.parentText).toString();

    // Each rule that matches replaces the insertion text: the last match wins.
    QString insertion = t;
    bool quotation = false;
    if (parent == tr("Quotazione")) {
        insertion = u'[' + t + u']';
        result.rule = 1;
        quotation = true;
    }
    if (parent == tr("Quotazione ingresso")) {
        insertion = u'[' + t + QStringLiteral(" - IN]");
        result.rule = 2;
    }
    if (parent == tr("Quotazione corrente")) {
        insertion = u'[' + t + QStringLiteral(" - CURR]");
        result.rule = 3;
    }
    if (request.grandparentText && *request.grandparentText == tr("Entità anagrafiche")) {
        insertion = u'[' + t + u']';
        result.rule = 4;
    }
    if (parent == tr("Codice variante")) {
        insertion = u'|' + t + u'|';
        result.rule = 5;
    }
    if (parent == tr("Categoria commerciale")) {
        insertion = u'{' + t + u'}';
        result.rule = 6;
    }
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
