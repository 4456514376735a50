#include "diagnostics/FormulaHighlighter.h"

#include <QColor>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

namespace diagnostics {

FormulaHighlighter::FormulaHighlighter(QTextDocument* document, const ElementCatalog* catalog)
    : QSyntaxHighlighter(document)
    , m_scanner(catalog) {}

QTextCharFormat FormulaHighlighter::formatOf(TokenKind kind, bool unknown) {
    QTextCharFormat f;
    switch (kind) {
    case TokenKind::Keyword:
        f.setForeground(QColor(0x00, 0x33, 0x99));
        f.setFontWeight(QFont::Bold);
        break;
    case TokenKind::String:
        f.setForeground(QColor(0xA3, 0x15, 0x15));
        break;
    case TokenKind::Number:
        f.setForeground(QColor(0x09, 0x86, 0x58));
        break;
    case TokenKind::Comment:
        f.setForeground(QColor(0x6A, 0x73, 0x7D));
        f.setFontItalic(true);
        break;
    case TokenKind::Variable:
        f.setForeground(QColor(0x6F, 0x42, 0xC1));
        break;
    case TokenKind::Label:
        f.setForeground(QColor(0x00, 0x5C, 0xC5));
        f.setBackground(QColor(0xEA, 0xF2, 0xFF));
        break;
    case TokenKind::Category:
        f.setForeground(QColor(0xB0, 0x58, 0x00));
        f.setBackground(QColor(0xFF, 0xF4, 0xE5));
        break;
    case TokenKind::Variant:
        f.setForeground(QColor(0x1A, 0x7F, 0x37));
        f.setBackground(QColor(0xE9, 0xF7, 0xEC));
        break;
    case TokenKind::Unbalanced:
        f.setForeground(Qt::white);
        f.setBackground(QColor(0xD7, 0x3A, 0x49));
        break;
    }
    if (unknown)
        f.merge(markFormat(true));
    return f;
}

QTextCharFormat FormulaHighlighter::markFormat(bool error) {
    QTextCharFormat f;
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    f.setUnderlineColor(error ? QColor(0xD7, 0x3A, 0x49) : QColor(0xE3, 0x9D, 0x00));
    return f;
}

int FormulaHighlighter::stateBefore(const QTextBlock& block) {
    const QTextBlock previous = block.previous();
    return previous.isValid() ? std::max(previous.userState(), FormulaScanner::Normal)
                              : FormulaScanner::Normal;
}

void FormulaHighlighter::setMarks(const QList<Mark>& marks) {
    QSet<int> blocks;
    for (const Mark& m : m_marks)
        blocks.insert(m.block);
    for (const Mark& m : marks)
        blocks.insert(m.block);
    m_marks = marks;
    for (int b : blocks) {
        const QTextBlock block = document()->findBlockByNumber(b);
        if (block.isValid())
            rehighlightBlock(block);
    }
}

void FormulaHighlighter::setCatalog(const ElementCatalog* catalog) {
    m_scanner = FormulaScanner(catalog);
    rehighlight();
}

void FormulaHighlighter::highlightBlock(const QString& text) {
    m_spans.clear();
    const int state = m_scanner.scanLine(text, stateBefore(currentBlock()), m_spans);
    for (const Span& s : m_spans)
        setFormat(int(s.start), int(s.length), formatOf(s.kind, s.unknown));
    const int number = currentBlock().blockNumber();
    for (const Mark& m : m_marks) {
        if (m.block != number)
            continue;
        const int start = m.length < 0 ? 0 : std::min(m.column, int(text.size()));
        const int length = m.length < 0 ? int(text.size()) - start : std::max(m.length, 1);
        for (int i = start; i < std::min(start + length, int(text.size())); ++i) {
            QTextCharFormat f = format(i);
            f.merge(markFormat(m.error));
            setFormat(i, 1, f);
        }
    }
    setCurrentBlockState(state);
}

} // namespace diagnostics
