#include "diagnostics/FormulaHighlighter.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace diagnostics {

FormulaHighlighter::FormulaHighlighter(QTextDocument* document, const ElementCatalog* catalog)
    : QSyntaxHighlighter(document)
    , m_scanner(catalog) {}

namespace {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128;
}

// `a` with `share` (0 to 1) of `b` mixed in.
QColor mixed(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast ratio of two colours, from 1 to 21, as the accessibility guidelines measure it.
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The hue of a piece as designed for a light background, made legible on `background`: on a
// dark palette the hue is lightened first; then its lightness moves away from the background's
// until the contrast reads as body text does (4.5), or as far as it goes.
QColor legible(const QColor& onLight, const QColor& background, bool dark) {
    QColor hsl = onLight.toHsl();
    int lightness = dark ? 185 : hsl.lightness();
    const int saturation = dark ? std::min(hsl.saturation(), 200) : hsl.saturation();
    QColor c = dark ? QColor::fromHsl(hsl.hue(), saturation, lightness) : onLight;
    while (contrast(c, background) < 4.6 && lightness > 0 && lightness < 255) {
        lightness = std::clamp(lightness + (dark ? 5 : -5), 0, 255);
        c = QColor::fromHsl(hsl.hue(), saturation, lightness);
    }
    return c.toRgb();
}

// A faint background of the piece's hue over the box's base colour.
QColor tinted(const QColor& hue, const QPalette& palette) {
    return mixed(palette.color(QPalette::Base), hue, isDark(palette) ? 0.2 : 0.08);
}

} // namespace

QTextCharFormat FormulaHighlighter::formatOf(TokenKind kind, bool unknown) {
    return formatOf(kind, unknown, QGuiApplication::palette());
}

QTextCharFormat FormulaHighlighter::formatOf(TokenKind kind, bool unknown, const QPalette& palette) {
    QTextCharFormat f;
    const bool dark = isDark(palette);
    const QColor base = palette.color(QPalette::Base);
    auto colour = [&](QColor onLight, bool withBackground = false) {
        const QColor background = withBackground ? tinted(legible(onLight, base, dark), palette) : base;
        f.setForeground(legible(onLight, background, dark));
        if (withBackground)
            f.setBackground(background);
    };
    switch (kind) {
    case TokenKind::Keyword:
        colour(QColor(0x00, 0x33, 0x99));
        f.setFontWeight(QFont::Bold);
        break;
    case TokenKind::String:
        colour(QColor(0xA3, 0x15, 0x15));
        break;
    case TokenKind::Number:
        colour(QColor(0x09, 0x86, 0x58));
        break;
    case TokenKind::Comment:
        // Between the text and the background: present, but quieter than the formula.
        f.setForeground(mixed(palette.color(QPalette::Text), base, 0.4));
        f.setFontItalic(true);
        break;
    case TokenKind::Variable:
        colour(QColor(0x6F, 0x42, 0xC1));
        break;
    case TokenKind::Label:
        colour(QColor(0x00, 0x5C, 0xC5), true);
        break;
    case TokenKind::Category:
        colour(QColor(0xB0, 0x58, 0x00), true);
        break;
    case TokenKind::Variant:
        colour(QColor(0x1A, 0x7F, 0x37), true);
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

void FormulaHighlighter::setPalette(const QPalette& palette) {
    if (m_palette && *m_palette == palette)
        return;
    m_palette = palette;
    rehighlight();
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
        setFormat(int(s.start), int(s.length),
                  formatOf(s.kind, s.unknown, m_palette ? *m_palette : QGuiApplication::palette()));
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

double contrastRatio(const QColor& a, const QColor& b) {
    return contrast(a, b);
}

QColor legibleOn(const QColor& onLight, const QColor& background) {
    return legible(onLight, background, background.lightness() < 128);
}

} // namespace diagnostics
