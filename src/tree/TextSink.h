#pragma once

#include "tree/TreeNode.h"

#include <QTextStream>

namespace tree {

// Writes each node as one line "key<TAB>text", indented two blanks per level.
class TextSink : public TreeSink {
public:
    explicit TextSink(QTextStream& out)
        : m_out(out) {}
    void clear() override {}
    void add(const TreeNode& node) override {
        m_out << QString(qsizetype(node.level) * 2, u' ') << node.key << u'\t' << node.text << u'\n';
    }

private:
    QTextStream& m_out;
};

} // namespace tree
