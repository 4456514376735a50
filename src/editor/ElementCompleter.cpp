#include "editor/ElementCompleter.h"

#include "diagnostics/ElementSearch.h"
#include "diagnostics/WordCompletion.h"
#include "host/controls/VxlRichTextBox.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace editor {

namespace {

constexpr int VisibleRows = 10;

bool isOpening(const QString& typed) {
    return typed == QLatin1String("[") || typed == QLatin1String("{") || typed == QLatin1String("|");
}

// The position in `before` of the opening delimiter of the element the caret is in, or -1.
qsizetype openingBefore(const QString& before) {
    qsizetype best = -1;
    for (const auto& [open, close] : {std::pair{u'[', u']'}, std::pair{u'{', u'}'}}) {
        const qsizetype at = before.lastIndexOf(open);
        if (at >= 0 && before.indexOf(close, at) < 0)
            best = std::max(best, at);
    }
    if (before.count(u'|') % 2 == 1)
        best = std::max(best, before.lastIndexOf(u'|'));
    return best;
}

} // namespace

ElementCompleter::ElementCompleter(controls::VxlRichTextBox* box)
    : QObject(box)
    , m_box(box) {
    m_list = new QListWidget(box->window());
    m_list->setObjectName(QStringLiteral("LST_COMPLETION"));
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    m_list->setFont(box->font());
    m_list->hide();
    box->installEventFilter(this);
    connect(box, &QPlainTextEdit::textChanged, this, [this] {
        if (m_armed || isOpen())
            refresh();
        m_armed = false;
    });
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (isOpen() && !fragmentAtCaret())
            close();
    });
    connect(m_list, &QListWidget::itemClicked, this, [this] { insertCurrent(); });
}

ElementCompleter::~ElementCompleter() = default;

void ElementCompleter::setSearch(std::shared_ptr<const diagnostics::ElementSearch> search) {
    m_search = std::move(search);
}

bool ElementCompleter::isOpen() const {
    return m_list->isVisible();
}

void ElementCompleter::close() {
    m_list->hide();
    m_forcedStart = -1;
    m_wordStart = -1;
}

std::optional<ElementCompleter::Fragment> ElementCompleter::fragmentAtCaret() const {
    const QTextCursor cursor = m_box->textCursor();
    if (cursor.hasSelection())
        return std::nullopt;
    const QTextBlock block = cursor.block();
    const QString before = block.text().left(cursor.positionInBlock());
    if (m_wordStart >= block.position() && m_wordStart < cursor.position()) {
        const QString word = before.mid(m_wordStart - block.position());
        if (diagnostics::wordBefore(word, int(word.size())) == word)
            return Fragment{m_wordStart, word, true};
    }
    if (m_forcedStart >= block.position() && m_forcedStart <= cursor.position())
        return Fragment{m_forcedStart, QStringLiteral("[") + before.mid(m_forcedStart - block.position())};
    const qsizetype at = openingBefore(before);
    if (at < 0)
        return std::nullopt;
    return Fragment{int(block.position() + at), before.mid(at)};
}

void ElementCompleter::openAtCaret() {
    if (!m_search || m_box->isReadOnly())
        return;
    if (!fragmentAtCaret()) {
        // After a word: the engine's keywords and functions that start with it, or, when none
        // does, the labels the word finds (the word is replaced by the label).
        const QTextCursor cursor = m_box->textCursor();
        const QString word = cursor.hasSelection()
                                 ? QString()
                                 : diagnostics::wordBefore(cursor.block().text(), cursor.positionInBlock());
        const int start = cursor.position() - int(word.size());
        if (!word.isEmpty() && !diagnostics::completeWord(word).isEmpty())
            m_wordStart = start;
        else
            m_forcedStart = start;
    }
    refresh();
    // One keyword or function only: the word is completed at once.
    if (m_wordStart >= 0 && isOpen() && m_list->count() == 1)
        insertCurrent();
}

void ElementCompleter::refresh() {
    const std::optional<Fragment> fragment = m_search ? fragmentAtCaret() : std::nullopt;
    m_list->clear();
    m_list->setFont(m_box->font()); // the box's zoom
    if (fragment && fragment->word) {
        for (const diagnostics::WordCandidate& c : diagnostics::completeWord(fragment->text)) {
            auto* item = new QListWidgetItem(c.shown, m_list);
            item->setData(Qt::UserRole, c.inserted);
        }
    } else if (fragment) {
        for (const diagnostics::Candidate& c : m_search->complete(fragment->text))
            m_list->addItem(c.inserted);
    }
    if (m_list->count() == 0) {
        close();
        return;
    }
    m_list->setCurrentRow(0);
    place();
    m_list->show();
    m_list->raise();
}

void ElementCompleter::place() {
    QWidget* window = m_list->parentWidget();
    const int rows = std::min(m_list->count(), VisibleRows);
    const int height = rows * m_list->sizeHintForRow(0) + 2 * m_list->frameWidth() + 2;
    const int width =
        std::clamp(m_list->sizeHintForColumn(0) + m_list->verticalScrollBar()->sizeHint().width() +
                       2 * m_list->frameWidth() + 8,
                   160, std::max(160, window->width() / 2));
    const QRect caret = m_box->cursorRect();
    QPoint at = m_box->viewport()->mapTo(window, caret.bottomLeft() + QPoint(0, 2));
    if (at.y() + height > window->height())
        at.setY(m_box->viewport()->mapTo(window, caret.topLeft()).y() - height - 2);
    at.setX(std::clamp(at.x(), 0, std::max(0, window->width() - width)));
    at.setY(std::max(at.y(), 0));
    m_list->setGeometry(QRect(at, QSize(width, height)));
}

bool ElementCompleter::insertCurrent() {
    if (!isOpen() || m_list->currentItem() == nullptr)
        return false;
    const std::optional<Fragment> fragment = fragmentAtCaret();
    if (!fragment) {
        close();
        return false;
    }
    const QVariant inserted = m_list->currentItem()->data(Qt::UserRole);
    const QString element = inserted.isValid() ? inserted.toString() : m_list->currentItem()->text();
    QTextCursor cursor = m_box->textCursor();
    const int caret = cursor.position();
    cursor.setPosition(fragment->start);
    cursor.setPosition(caret, QTextCursor::KeepAnchor);
    // A closing delimiter right after the caret is the element's own: it is replaced too.
    const QString after = cursor.block().text().mid(caret - cursor.block().position(), 1);
    if (!after.isEmpty() && after.at(0) == element.back())
        cursor.setPosition(caret + 1, QTextCursor::KeepAnchor);
    close();
    cursor.insertText(element);
    m_box->setTextCursor(cursor);
    if (m_inserted)
        m_inserted();
    return true;
}

bool ElementCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || watched != m_box)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier) {
        openAtCaret();
        return true;
    }
    if (isOpening(key->text()))
        m_armed = true;
    if (!isOpen())
        return false;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int step = key->key() == Qt::Key_Up       ? -1
                         : key->key() == Qt::Key_Down   ? 1
                         : key->key() == Qt::Key_PageUp ? -VisibleRows
                                                        : VisibleRows;
        m_list->setCurrentRow(std::clamp(m_list->currentRow() + step, 0, m_list->count() - 1));
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        return insertCurrent();
    case Qt::Key_Escape:
        close();
        return true;
    default:
        return false;
    }
}

} // namespace editor
