#include "editor/LineGutter.h"

#include "host/controls/VxlRichTextBox.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace editor {

namespace {

constexpr int Padding = 6;

QColor mixed(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

} // namespace

LineGutter::LineGutter(controls::VxlRichTextBox* box)
    : QWidget(box)
    , m_box(box) {
    setObjectName(QStringLiteral("LINE_GUTTER"));
    setCursor(Qt::PointingHandCursor);
    box->installEventFilter(this);
    connect(box, &QPlainTextEdit::blockCountChanged, this, &LineGutter::updateWidth);
    connect(box, &QPlainTextEdit::updateRequest, this, [this] { update(); });
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, [this] { update(); });
    connect(box->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    updateWidth();
    show();
}

int LineGutter::widthFor(int lines) const {
    int digits = 1;
    for (int n = std::max(lines, 1); n >= 10; n /= 10)
        ++digits;
    digits = std::max(digits, 2); // the gutter does not jump at the tenth line
    return 2 * Padding + m_box->fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void LineGutter::updateWidth() {
    if (!m_box)
        return;
    const int width = widthFor(m_box->blockCount());
    if (width != m_box->GutterWidth())
        m_box->SetGutterWidth(width);
    place();
    update();
}

void LineGutter::place() {
    if (!m_box)
        return;
    const QRect viewport = m_box->viewport()->geometry();
    setGeometry(m_box->contentsRect().left(), viewport.top(), m_box->GutterWidth(), viewport.height());
}

bool LineGutter::eventFilter(QObject* watched, QEvent* event) {
    // Only events a live box receives are compared with it: a box being destroyed still sends
    // some (focus, hide) through its filters.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Resize || type == QEvent::Show || type == QEvent::FontChange) && watched == m_box) {
        switch (type) {
        case QEvent::Resize:
        case QEvent::Show:
            place();
            break;
        case QEvent::FontChange:
            updateWidth();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

int LineGutter::lineAt(int y) const {
    if (!m_box)
        return 0;
    const QTextBlock block = m_box->cursorForPosition(QPoint(0, y)).block();
    if (!block.isValid())
        return 0;
    const QRect r = m_box->cursorRect(QTextCursor(block));
    return y >= r.top() ? block.blockNumber() + 1 : 0;
}

void LineGutter::mousePressEvent(QMouseEvent* event) {
    const int line = lineAt(event->position().toPoint().y());
    if (line <= 0 || !m_box)
        return;
    QTextCursor cursor(m_box->document()->findBlockByNumber(line - 1));
    m_box->setTextCursor(cursor);
    m_box->setFocus();
}

void LineGutter::paintEvent(QPaintEvent*) {
    if (!m_box)
        return;
    QPainter p(this);
    const QPalette& palette = m_box->palette();
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    p.fillRect(rect(), mixed(base, text, 0.05));
    p.setPen(mixed(base, text, 0.2));
    p.drawLine(width() - 1, 0, width() - 1, height());
    p.setFont(m_box->font());
    const int current = m_box->textCursor().blockNumber();
    const QColor quiet = mixed(text, base, 0.45);
    for (QTextBlock block = m_box->cursorForPosition(QPoint(0, 0)).block(); block.isValid();
         block = block.next()) {
        const QRect r = m_box->cursorRect(QTextCursor(block));
        if (r.top() > height())
            break;
        p.setPen(block.blockNumber() == current ? text : quiet);
        p.drawText(QRect(0, r.top(), width() - Padding, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(block.blockNumber() + 1));
    }
}

} // namespace editor
