// Look-ups over the category and variant nodes of a row, giving what the engine's query over the
// document gives: its WHERE converts the key of every node in document order (a key that does
// not convert fails the query, whichever node it belongs to) and compares it with the constant;
// its select list then converts the value of every node kept; no node gives NULL, two give Msg
// 512. The conversions of a row's keys are made once per row and key type, for every look-up.

#include "tsql/compiled/Lookups.h"

#include "tsql/base/Messages.h"

namespace tsql::compiled {

const DocumentShape& documentShape(bool variants) {
    static const DocumentShape categories{u"@CM01_IDCATEGORIA", u"CATEGORIE", u"CATEGORIA",
                                          u"IDCATEGORIA_CM01"};
    static const DocumentShape variantNodes{u"@MG5F_CODICEVAR", u"VARIANTI", u"VARIANTE", u"MG5F_CODICEVAR"};
    return variants ? variantNodes : categories;
}

namespace {

const QString kValueAttribute = QStringLiteral("@VALORE");

// COLS.value('<path>', '<type>') over the row of `source`.
bool isValueOf(const Expr& e, const TableSource& source, const QString& path) {
    return e.kind == EK::XmlMethod && e.name == u"value" && e.args.size() == 3 &&
           e.args[0]->kind == EK::Column && e.args[0]->src == &source && e.args[0]->depth == 0 &&
           e.args[1]->kind == EK::Literal && e.args[1]->value.s == path;
}

// A query of no other clause than one select item, one source and its WHERE.
bool plainQuery(const Select& sel) {
    return !sel.distinct && !sel.top && sel.items.size() == 1 && sel.from.size() == 1 && sel.where &&
           sel.groupBy.empty() && !sel.having && sel.orderBy.empty() && !sel.unionNext && !sel.offset &&
           !sel.fetch && sel.ctes.empty() && !sel.hasAggregate && !sel.usesTables &&
           sel.items[0].assignVar.isEmpty() && !sel.items[0].star && sel.items[0].expr;
}

// compareValues converts the key and the constant on every node: the constant is converted once
// here instead (comparedConstant), the keys being of their type.
void convertConstant(LookupShape& shape) {
    if (std::optional<Value> c = comparedConstant(shape.constant, shape.keyType))
        shape.constant = std::move(*c);
}

// The path of nodes() over a document and the path of its key attribute.
struct DocumentPaths {
    QString nodes, key;
};
const DocumentPaths& documentPaths(bool variants) {
    static const auto of = [](const DocumentShape& doc) {
        return DocumentPaths{QStringLiteral("//") + QString::fromUtf16(doc.root) + u'/' +
                                 QString::fromUtf16(doc.element),
                             u'@' + QString::fromUtf16(doc.key)};
    };
    static const DocumentPaths categories = of(documentShape(false));
    static const DocumentPaths variantNodes = of(documentShape(true));
    return variants ? variantNodes : categories;
}

std::optional<LookupShape> matchSource(const Select& sel, bool variants) {
    const DocumentShape& doc = documentShape(variants);
    const DocumentPaths& paths = documentPaths(variants);
    const TableSource& source = *sel.from[0];
    const Expr* target = source.xmlTarget.get();
    if (source.kind != SourceKind::XmlNodes || !target || target->kind != EK::Variable ||
        target->name.toUpper() != QStringView(doc.variable) || target->type.id != TypeId::Xml ||
        source.xpath != paths.nodes)
        return std::nullopt;
    const Expr& item = *sel.items[0].expr;
    const Expr& where = *sel.where;
    if (!isValueOf(item, source, kValueAttribute) || where.kind != EK::Compare ||
        !where.quantifier.isEmpty() || where.args.size() != 2)
        return std::nullopt;
    const QString& keyPath = paths.key;
    LookupShape shape;
    shape.variants = variants;
    shape.variable = target->slot;
    shape.valueType = item.type;
    shape.op = compareOpOf(where.op);
    for (int side = 0; side < 2; ++side) {
        const Expr& key = *where.args[std::size_t(side)];
        const Expr& constant = *where.args[std::size_t(1 - side)];
        if (isValueOf(key, source, keyPath) && constant.kind == EK::Literal) {
            shape.keyFirst = side == 0;
            shape.keyType = key.type;
            shape.constant = constant.value;
            convertConstant(shape);
            return shape;
        }
    }
    return std::nullopt;
}

class Lookup final : public ExprNode {
public:
    Lookup(const Expr& e, const LookupShape& shape, int keyList, int result)
        : ExprNode(e.line, e.column)
        , m_shape(shape)
        , m_type(e.type)
        , m_keyList(std::size_t(keyList))
        , m_result(std::size_t(result)) {}

    Value value(Frame& f) const override { return evaluated(f); }
    // The value stays in the frame's result for the rest of the evaluation. A copy of it would
    // share its text, and count no held memory either.
    const Value* held(Frame& f) const override { return &evaluated(f); }

private:
    const Value& evaluated(Frame& f) const {
        LookupResult& result = f.lookups[m_result];
        if (result.row != f.evaluation) {
            result.row = f.evaluation;
            result.recalled = nullptr;
            result.error.reset();
            try {
                lookUp(f, result);
            } catch (const SqlError& e) {
                result.error = e.error;
            }
        }
        if (result.error)
            throw SqlError{*result.error};
        return result.current();
    }

    void lookUp(Frame& f, LookupResult& result) const {
        const NodeList& list = m_shape.variants ? f.row.variants : f.row.categories;
        const std::vector<Node>& nodes = list.nodes();
        if (const LookupResult::Remembered* known = result.remembered.find(list)) {
            // The list read before: the WHERE keeps the same nodes, its turns counted.
            for (std::size_t k = 0; k < nodes.size(); ++k)
                f.budget.tick();
            result.recalled = known;
            return;
        }
        const ConvertedKeys& keys = convertedKeys(f, list);
        std::size_t kept = 0, first = 0;
        if (result.generation == keys.generation) {
            // The same keys as the last time: the WHERE keeps the same nodes, its turns counted.
            for (std::size_t k = 0; k < nodes.size(); ++k)
                f.budget.tick();
            kept = result.kept;
            first = result.first;
        } else {
            for (std::size_t k = 0; k < nodes.size(); ++k)
                if (matches(f, keys, k) && kept++ == 0)
                    first = k;
            if (kept <= 1) {
                result.generation = keys.generation;
                result.kept = kept;
                result.first = first;
            }
        }
        if (kept == 0) {
            result.value = Value::nullOf(m_type);
            remember(list, result);
            return;
        }
        keepValue(nodes[first], result);
        if (kept == 1) {
            remember(list, result);
            return;
        }
        // Every node kept has its value read before the query's rows are counted.
        for (std::size_t k = first + 1; k < nodes.size(); ++k)
            if (matches(f, keys, k))
                nodeValue(nodes[k]);
        raise<Msg::SubqueryMultipleValues>();
    }

    // Keeps what the list gave (an error is not kept: the list is read again).
    static void remember(const NodeList& list, LookupResult& result) {
        if (list.empty())
            return;
        result.recalled = &result.remembered.add(list, result.value);
    }

    static bool sameKeys(const ConvertedKeys& keys, const std::vector<Node>& nodes) {
        if (keys.texts.size() != nodes.size())
            return false;
        for (std::size_t k = 0; k < nodes.size(); ++k)
            if (!sameText(keys.texts[k], nodes[k].key))
                return false;
        return true;
    }
    // The same text, found at once when both share one (as the keys of a file's documents do).
    static bool sameText(const std::optional<QString>& a, const std::optional<QString>& b) {
        if (!a || !b)
            return !a && !b;
        return (a->constData() == b->constData() && a->size() == b->size()) || *a == *b;
    }

    const ConvertedKeys& convertedKeys(Frame& f, const NodeList& list) const {
        ConvertedKeys& keys = f.keys[m_keyList];
        if (keys.row == f.evaluation)
            return keys;
        keys.row = f.evaluation;
        const std::vector<Node>& nodes = list.nodes();
        const bool same = keys.source.sameAs(list) || sameKeys(keys, nodes);
        keys.source = list;
        if (same)
            return keys;
        ++keys.generation;
        keys.texts.clear();
        keys.keys.clear();
        keys.failure.reset();
        for (const Node& n : nodes)
            keys.texts.push_back(n.key);
        for (const Node& n : nodes) {
            try {
                keys.keys.push_back(n.key ? convert(Value::str(*n.key, true), m_shape.keyType, true)
                                          : Value::nullOf(m_shape.keyType));
            } catch (const SqlError& e) {
                keys.failure = e.error;
                break;
            }
        }
        return keys;
    }

    // The WHERE on node k: its key converted (or its failure), compared with the constant.
    bool matches(Frame& f, const ConvertedKeys& keys, std::size_t k) const {
        f.budget.tick();
        if (k >= keys.keys.size())
            throw SqlError{*keys.failure};
        const Value& key = keys.keys[k];
        const std::optional<int> c =
            m_shape.keyFirst ? compareValues(key, m_shape.constant) : compareValues(m_shape.constant, key);
        return compared(c, m_shape.op) == Tri::True;
    }

    // The first kept node's value, into result.value (left as it was when the conversion fails):
    // converted as nodeValue does, unless its text was converted before (the conversion depends
    // on the text alone: the type is the look-up's, the date settings the batch's defaults).
    void keepValue(const Node& n, LookupResult& result) const {
        constexpr qsizetype kMostKept = 64;
        if (!n.value) {
            result.value = nodeValue(n);
            return;
        }
        if (const auto it = result.converted.constFind(*n.value); it != result.converted.cend()) {
            result.value = *it;
            return;
        }
        Value v = nodeValue(n);
        if (result.converted.size() >= kMostKept)
            result.converted.clear();
        result.converted.insert(*n.value, v);
        result.value = std::move(v);
    }

    Value nodeValue(const Node& n) const {
        if (!n.value)
            return Value::nullOf(m_shape.valueType);
        return convert(Value::str(*n.value, true), m_shape.valueType, true);
    }

    LookupShape m_shape;
    SqlType m_type;
    std::size_t m_keyList;
    std::size_t m_result;
};

// What a look-up reads, as bytes: its shape, its type and its constant's text.
QByteArray lookupKey(const Expr& e, const LookupShape& shape) {
    const SqlType& k = shape.keyType;
    const SqlType& v = shape.valueType;
    const SqlType& c = shape.constant.type;
    const int fields[] = {shape.variants, int(shape.op),    shape.keyFirst, shape.constant.null,
                          int(k.id),      k.precision,      k.scale,        k.length,
                          int(v.id),      v.precision,      v.scale,        v.length,
                          int(e.type.id), e.type.precision, e.type.scale,   e.type.length,
                          int(c.id),      c.precision,      c.scale,        c.length};
    QByteArray key(reinterpret_cast<const char*>(fields), qsizetype(sizeof fields));
    const QString text = toText(shape.constant);
    key.append(reinterpret_cast<const char*>(text.constData()), text.size() * qsizetype(sizeof(QChar)));
    return key;
}

} // namespace

// Open addressing: a list's place, hashed by multiplying, picks the first slot to look at.
std::size_t LookupResult::RememberedLists::slotOf(const void* list) const {
    const auto place = quint64(reinterpret_cast<quintptr>(list)) * 0x9e3779b97f4a7c15u;
    return std::size_t(place >> 32) & (m_slots.size() - 1);
}

const LookupResult::Remembered* LookupResult::RememberedLists::find(const NodeList& list) const {
    if (m_slots.empty() || list.empty())
        return nullptr;
    for (std::size_t i = slotOf(list.identity());; i = (i + 1) & (m_slots.size() - 1)) {
        const Slot& slot = m_slots[i];
        if (!slot.list)
            return nullptr;
        if (slot.list == list.identity()) // the list held there keeps its place its own
            return &m_entries[slot.entry];
    }
}

void LookupResult::RememberedLists::place(const void* list, std::size_t entry) {
    std::size_t i = slotOf(list);
    while (m_slots[i].list)
        i = (i + 1) & (m_slots.size() - 1);
    m_slots[i] = {list, entry};
}

const LookupResult::Remembered& LookupResult::RememberedLists::add(const NodeList& list, const Value& given) {
    if (m_entries.size() >= Most) {
        m_entries.clear();
        m_slots.clear();
    }
    if ((m_entries.size() + 1) * 2 > m_slots.size()) {
        m_slots.assign(std::max<std::size_t>(64, m_slots.size() * 2), Slot{});
        for (std::size_t e = 0; e < m_entries.size(); ++e)
            place(m_entries[e].list.identity(), e);
    }
    place(list.identity(), m_entries.size());
    m_entries.push_back({list, given});
    return m_entries.back();
}

std::optional<LookupShape> lookupShape(const Select& sel) {
    if (!plainQuery(sel))
        return std::nullopt;
    if (auto shape = matchSource(sel, false))
        return shape;
    return matchSource(sel, true);
}

ExprNodeP makeLookup(const Expr& e, const LookupShape& shape, CompileState& state) {
    // Look-ups that read the same nodes the same way give the same in one evaluation.
    const QByteArray what = lookupKey(e, shape);
    const int result = int(state.lookups.size());
    const auto known = state.lookups.constFind(what);
    return std::make_unique<Lookup>(e, shape, state.keyList(shape.variants, shape.keyType),
                                    known != state.lookups.cend() ? *known
                                                                  : *state.lookups.insert(what, result));
}

} // namespace tsql::compiled
