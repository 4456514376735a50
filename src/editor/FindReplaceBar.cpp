#include "editor/FindReplaceBar.h"

#include "host/controls/VxlRichTextBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>

namespace editor {

namespace {

QToolButton* toolButton(QWidget* parent, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QLineEdit* field(QWidget* parent, const char* name) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setClearButtonEnabled(true);
    f->setMinimumWidth(170);
    return f;
}

QWidget* row(QWidget* parent, std::initializer_list<QWidget*> widgets) {
    auto* w = new QWidget(parent);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (QWidget* child : widgets) {
        child->setParent(w);
        // The text fields take the width the bar has.
        layout->addWidget(child, qobject_cast<QLineEdit*>(child) ? 1 : 0);
    }
    return w;
}

} // namespace

FindReplaceBar::FindReplaceBar(controls::VxlRichTextBox* box, TranslateFn translate, ApplyEditFn applyEdit)
    : QFrame(box)
    , m_box(box)
    , m_translate(std::move(translate))
    , m_applyEdit(std::move(applyEdit)) {
    setObjectName(QStringLiteral("FIND_REPLACE_BAR"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    m_find = field(this, "TXT_FIND");
    m_replace = field(this, "TXT_REPLACE");
    m_line = field(this, "TXT_LINE");
    m_line->setValidator(new QIntValidator(1, 1'000'000, m_line));
    m_line->setMinimumWidth(80);
    m_lineLabel = new QLabel(this);
    m_case = new QCheckBox(this);
    m_case->setObjectName(QStringLiteral("CHK_MATCHCASE"));
    m_word = new QCheckBox(this);
    m_word->setObjectName(QStringLiteral("CHK_WHOLEWORD"));
    m_previous = toolButton(this, "BTN_FINDPREVIOUS");
    m_previous->setArrowType(Qt::UpArrow);
    m_next = toolButton(this, "BTN_FINDNEXT");
    m_next->setArrowType(Qt::DownArrow);
    m_replaceOne = toolButton(this, "BTN_REPLACE");
    m_replaceEvery = toolButton(this, "BTN_REPLACEALL");
    m_go = toolButton(this, "BTN_GOTOLINE");
    m_close = toolButton(this, "BTN_CLOSEFIND");
    m_close->setText(QStringLiteral("✕"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LBL_FINDSTATUS"));

    m_findRow = row(this, {m_find, m_previous, m_next, m_case, m_word});
    m_replaceRow = row(this, {m_replace, m_replaceOne, m_replaceEvery});
    m_lineRow = row(this, {m_lineLabel, m_line, m_go});
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 4, 4);
    layout->setSpacing(3);
    layout->addWidget(m_findRow, 0, 0);
    layout->addWidget(m_lineRow, 0, 0); // in place of the find row, which go-to-line hides
    layout->addWidget(m_replaceRow, 1, 0);
    layout->addWidget(m_status, 0, 1);
    layout->addWidget(m_close, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(0, 1);

    connect(m_next, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(m_previous, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(m_replaceOne, &QToolButton::clicked, this, [this] { replaceCurrent(); });
    connect(m_replaceEvery, &QToolButton::clicked, this, [this] { replaceAll(); });
    connect(m_go, &QToolButton::clicked, this, [this] { goToLine(); });
    connect(m_close, &QToolButton::clicked, this, &FindReplaceBar::close);
    connect(m_find, &QLineEdit::textEdited, this, [this] { m_status->clear(); });
    for (QLineEdit* f : {m_find, m_replace, m_line})
        f->installEventFilter(this);
    box->installEventFilter(this);
    hide();
}

QString FindReplaceBar::translated(const char* italian) const {
    const QString text = QString::fromUtf8(italian);
    return m_translate ? m_translate(text) : text;
}

void FindReplaceBar::translateCaptions() {
    m_find->setPlaceholderText(translated("Trova"));
    m_replace->setPlaceholderText(translated("Sostituisci con"));
    m_case->setText(translated("Maiuscole/minuscole"));
    m_word->setText(translated("Parola intera"));
    m_previous->setToolTip(translated("Precedente (Maiusc+Invio)"));
    m_next->setToolTip(translated("Successivo (Invio)"));
    m_replaceOne->setText(translated("Sostituisci"));
    m_replaceEvery->setText(translated("Sostituisci tutto"));
    m_go->setText(translated("Vai"));
    m_close->setToolTip(translated("Chiudi (Esc)"));
}

void FindReplaceBar::open(Mode mode) {
    if (!m_box)
        return;
    m_mode = mode;
    translateCaptions();
    m_findRow->setVisible(mode != Mode::GoToLine);
    m_replaceRow->setVisible(mode == Mode::Replace);
    m_replaceOne->setEnabled(!m_box->isReadOnly());
    m_replaceEvery->setEnabled(!m_box->isReadOnly());
    m_lineRow->setVisible(mode == Mode::GoToLine);
    m_status->clear();
    QLineEdit* first = m_find;
    if (mode == Mode::GoToLine) {
        const int lines = editing::lineCount(m_box->toPlainText());
        m_lineLabel->setText(translated("Vai alla riga (1-%1)").arg(lines));
        m_line->setText(QString::number(m_box->textCursor().blockNumber() + 1));
        first = m_line;
    } else {
        const QString selected = m_box->textCursor().selectedText();
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
            m_find->setText(selected);
    }
    show();
    raise();
    place();
    first->setFocus();
    first->selectAll();
}

void FindReplaceBar::close() {
    hide();
    if (!m_box)
        return;
    m_box->SetTopMargin(0);
    m_box->setFocus();
}

void FindReplaceBar::place() {
    if (!m_box)
        return;
    // A strip over the whole width of the box, above its text: the text moves down, none is hidden.
    const QRect area = m_box->contentsRect();
    const int height = sizeHint().height();
    setGeometry(area.left(), area.top(), area.width(), height);
    if (m_box->TopMargin() != height)
        m_box->SetTopMargin(height);
}

editing::FindOptions FindReplaceBar::options() const {
    return {m_case->isChecked(), m_word->isChecked()};
}

void FindReplaceBar::select(int start, int end) {
    QTextCursor cursor = m_box->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    m_box->setTextCursor(cursor);
    m_box->ensureCursorVisible();
}

bool FindReplaceBar::findNext(bool backward) {
    if (!m_box)
        return false;
    const QTextCursor cursor = m_box->textCursor();
    const int from = backward ? cursor.selectionStart() : cursor.selectionEnd();
    const auto match = editing::findMatch(m_box->toPlainText(), m_find->text(), from, options(), backward);
    if (!match) {
        m_status->setText(m_find->text().isEmpty() ? QString() : translated("Nessuna corrispondenza"));
        return false;
    }
    select(match->start, match->start + match->length);
    m_status->clear();
    return true;
}

bool FindReplaceBar::replaceCurrent() {
    if (!m_box || m_box->isReadOnly())
        return false;
    QTextCursor cursor = m_box->textCursor();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    if (!editing::matchesAt(m_box->toPlainText(), m_find->text(), start, length, options())) {
        findNext(false);
        return false;
    }
    const QString replacement = m_replace->text();
    m_applyEdit([&] {
        cursor.insertText(replacement);
        m_box->setTextCursor(cursor);
    });
    findNext(false);
    return true;
}

int FindReplaceBar::replaceAll() {
    if (!m_box || m_box->isReadOnly())
        return 0;
    const QString text = m_box->toPlainText();
    const editing::Replacement r = editing::replaceAll(text, m_find->text(), m_replace->text(), options());
    if (r.count > 0) {
        const int caret = std::min(m_box->textCursor().position(), int(r.text.size()));
        const int scroll = m_box->verticalScrollBar()->value();
        m_applyEdit([&] {
            QTextCursor cursor(m_box->document());
            cursor.select(QTextCursor::Document);
            cursor.insertText(r.text);
            cursor.setPosition(caret);
            m_box->setTextCursor(cursor);
        });
        m_box->verticalScrollBar()->setValue(scroll);
    }
    m_status->setText(r.count == 0 ? translated("Nessuna corrispondenza")
                                   : translated("Sostituzioni: %1").arg(r.count));
    return r.count;
}

bool FindReplaceBar::goToLine() {
    if (!m_box)
        return false;
    const QString text = m_box->toPlainText();
    const auto start = editing::lineStart(text, m_line->text().toInt());
    if (!start) {
        m_status->setText(translated("La formula ha %1 righe").arg(editing::lineCount(text)));
        return false;
    }
    select(*start, *start);
    close();
    return true;
}

bool FindReplaceBar::eventFilter(QObject* watched, QEvent* event) {
    // Only events a live box receives are compared with it: a box being destroyed still sends
    // some (focus, hide) through its filters.
    if (event->type() == QEvent::Resize) {
        if (watched == m_box && isVisible())
            place();
        return QFrame::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress || watched == m_box)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (watched == m_line)
        goToLine();
    else if (watched == m_replace)
        replaceCurrent();
    else
        findNext(key->modifiers().testFlag(Qt::ShiftModifier));
    return true;
}

} // namespace editor
