#include "editor/FormulaAssist.h"

#include "check/Messages.h"
#include "check/ServerMessageTexts.h"
#include "check/SyntaxCheck.h"
#include "diagnostics/ElementCatalog.h"
#include "diagnostics/FormulaHighlighter.h"
#include "diagnostics/LiveDiagnostics.h"
#include "diagnostics/Texts.h"
#include "editing/EditHistory.h"
#include "host/controls/HostControls.h"
#include "host/controls/VxlRichTextBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

namespace editor {

namespace {

namespace msg = diagnostics::msg;

// The strip's menu: the server's text as it came, for a report or a search.
const QString CopyServerText = QStringLiteral("Copia il testo del server");

// The strip's text for a line marked without a message of its own.
const QString MarkedLine = QStringLiteral("Riga segnalata");

// How long the confirmation of a save stays in the strip.
constexpr int SavedMessageMs = 4000;

const QString ErrorStyle = QStringLiteral("color: #8B1A1A; background: #FDECEA; padding: 1px 4px;");
const QString LiveStyle = QStringLiteral("color: #5C3B00; background: #FFF6E0; padding: 1px 4px;");
const QString SavedStyle = QStringLiteral("color: #14532D; background: #E8F5E9; padding: 1px 4px;");

// The strip says where already: of the server's "Msg N, Level L, State S, Line R: text" it shows
// the text first and the number after it, which fits the strip's one line (the line and column
// are the strip's own, counted in the formula).
QString stripText(const QString& serverMessage) {
    static const QRegularExpression header(QStringLiteral(R"(^Msg (\d+), Level \d+, State \d+, Line \d+: )"));
    const QRegularExpressionMatch m = header.match(serverMessage);
    if (!m.hasMatch())
        return serverMessage;
    static const QRegularExpression column(QStringLiteral(R"( \(column \d+\)$)"));
    QString text = serverMessage.mid(m.capturedLength());
    text.remove(column);
    return text + QStringLiteral(" (Msg %1)").arg(m.captured(1));
}

// The check's message for the strip: a short explanation in the window's language before the
// server's own text, the names in it as the formula writes them (the strip says where).
QString explainedText(const check::SyntaxCheck& check, const QString& display,
                      const std::function<QString(const QString&)>& translate) {
    const QString& message = check.lastServerMessage();
    const std::optional<check::ServerMessage> m = check::parseServerMessage(message);
    if (!m)
        return stripText(message);
    check::DisplayNames names(translate);
    names.setTranslation(display, check.lastTranslation().text, check.lastTranslation().map);
    return check::describeServerMessage(message, translate, names.fn(), 0, 0);
}

QIcon dimmed(const QIcon& icon) {
    QIcon out;
    for (const int size : {16, 24, 32})
        out.addPixmap(icon.pixmap(size, QIcon::Disabled));
    return out;
}

} // namespace

FormulaAssist::FormulaAssist(controls::VxlRichTextBox* box, controls::VXL_TBARMENU* undo,
                             controls::VXL_TBARMENU* redo, editing::EditHistory& history,
                             TranslateFn translate)
    : m_box(box)
    , m_undo(undo)
    , m_redo(redo)
    , m_history(history)
    , m_translate(std::move(translate))
    , m_undoIcon(undo->Picture())
    , m_redoIcon(redo->Picture())
    , m_undoDimmed(dimmed(m_undoIcon))
    , m_redoDimmed(dimmed(m_redoIcon)) {
    m_stripWidget = new QWidget(box);
    m_stripWidget->setObjectName(QStringLiteral("LBL_DIAGNOSTICA"));
    // The window's font, not the box's fixed-width one: a server's message fits better.
    m_stripWidget->setFont(QApplication::font());
    // Two rows: the help line of the element at the caret, then the messages.
    auto* rows = new QVBoxLayout(m_stripWidget);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    m_help = new QLabel(m_stripWidget);
    m_help->setObjectName(QStringLiteral("LBL_AIUTO"));
    m_help->setContentsMargins(4, 1, 4, 1);
    m_help->setTextFormat(Qt::PlainText);
    rows->addWidget(m_help);
    auto* layout = new QHBoxLayout;
    rows->addLayout(layout);
    m_message = new QLabel(m_stripWidget);
    m_message->setObjectName(QStringLiteral("LBL_MESSAGGIO"));
    m_message->setCursor(Qt::PointingHandCursor);
    m_message->installEventFilter(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setMinimumWidth(1); // a long text is elided, not widening the strip
    m_message->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_copyServerText = new QAction(tr(CopyServerText), m_message);
    m_copyServerText->setObjectName(QStringLiteral("ACT_COPIAMESSAGGIO"));
    m_copyServerText->setVisible(false);
    connect(m_copyServerText, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_serverText); });
    m_message->addAction(m_copyServerText);
    m_unsaved = new QLabel(m_stripWidget);
    m_unsaved->setObjectName(QStringLiteral("LBL_NONSALVATA"));
    m_unsaved->setContentsMargins(4, 1, 4, 1);
    QFont bold = m_unsaved->font();
    bold.setBold(true);
    m_unsaved->setFont(bold);
    layout->addWidget(m_message, 1);
    layout->addWidget(m_unsaved, 0);
    const int height = 2 * (m_stripWidget->fontMetrics().height() + 6);
    m_stripWidget->setFixedHeight(height);
    box->SetBottomMargin(height);
    box->installEventFilter(this);
    placeStrip();
    m_highlighter = new diagnostics::FormulaHighlighter(box->document(), nullptr);
    m_highlighter->setPalette(box->palette());
    applyPalette();
    connect(box, &QPlainTextEdit::textChanged, this, &FormulaAssist::textChanged);
    connect(box, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        matchDelimiters();
        refreshHistory();
    });
    history.setChangeListener([this] { refreshHistory(); });
    refreshHistory();
}

FormulaAssist::~FormulaAssist() {
    m_history.setChangeListener({});
}

void FormulaAssist::start(std::shared_ptr<const diagnostics::ElementCatalog> catalog) {
    m_catalog = std::move(catalog);
    m_highlighter->setCatalog(m_catalog.get());
    if (m_started) {
        // A fuller catalogue (the company's lists were read after the first paint): the same
        // text judged again, now against the lists.
        m_live->setCatalog(m_catalog);
        if (m_box && !m_technical)
            m_live->analyseNow(m_box->Text());
        return;
    }
    m_live = std::make_unique<diagnostics::LiveDiagnostics>(m_catalog, m_translate);
    connect(m_live.get(), &diagnostics::LiveDiagnostics::ready, this, &FormulaAssist::showLive);
    m_started = true;
    m_stored = m_box->Text();
    m_lastText = m_stored;
    m_live->textChanged(m_stored);
}

void FormulaAssist::textChanged() {
    if (!m_box || m_technical)
        return;
    // The document reports the highlighter's format changes as changes too: only text counts.
    const QString text = m_box->Text();
    if (m_started && text == m_lastText)
        return;
    m_lastText = text;
    m_checkMessage.reset();
    m_unsavedChanges = m_started && text != m_stored;
    // A confirmation of a save no longer holds once the text moves away from what was saved.
    if (m_unsavedChanges && m_message->styleSheet() == SavedStyle)
        clearMessage();
    m_unsaved->setText(m_unsavedChanges ? QStringLiteral("● ") + tr(msg::Unsaved) : QString());
    if (m_live)
        m_live->textChanged(text);
    refreshHistory();
}

void FormulaAssist::showLive(const QList<diagnostics::Diagnostic>& found, const QString& text) {
    if (!m_box || m_technical || text != m_box->Text())
        return; // the box moved on: the next result will come
    m_found = found;
    applyMarks();
    // The check's message, and the summary of the cases run on this very text, stay.
    if (m_checkMessage || (m_openCases && text == m_casesText))
        return;
    const auto first = std::find_if(found.begin(), found.end(), [](const diagnostics::Diagnostic& d) {
        return d.severity == diagnostics::Severity::Error;
    });
    if (first != found.end())
        showMessage(*first, false);
    else if (m_message->styleSheet() != SavedStyle)
        clearMessage();
}

void FormulaAssist::checked(const check::SyntaxCheck& check, bool correctAsStored) {
    if (!m_box || m_technical)
        return;
    if (check.lastCorrect()) {
        m_checkMessage.reset();
        clearMessage();
        applyMarks();
        return;
    }
    diagnostics::Diagnostic d;
    d.message = explainedText(check, m_box->Text(), m_translate);
    m_serverText = check.lastServerMessage();
    if (correctAsStored)
        d.message += u'\n' + tr(check::msg::CorrectAsStored);
    const QString text = m_box->Text();
    if (check.lastBatchLine() > 0) {
        diagnostics::placeInDisplay(d, check.lastBatchLine(), check.lastBatchColumn(), text,
                                    check.lastTranslation().text, check.lastTranslation().map,
                                    check::SyntaxCheck::declarationLines());
    } else {
        d.line = 0; // the formula as a whole
    }
    m_checkMessage = d;
    showMessage(d, true);
    applyMarks();
}

bool FormulaAssist::markLine(int line, const QString& message, bool error) {
    if (!m_box || m_technical)
        return false;
    const QString text = m_box->Text();
    const diagnostics::TextLines lines(text);
    if (line < 1 || line > lines.lineCount())
        return false;
    diagnostics::Diagnostic d;
    d.severity = error ? diagnostics::Severity::Error : diagnostics::Severity::Warning;
    d.line = line;
    d.column = 0; // the whole line
    d.offset = lines.lineStart(line);
    d.message = message.isEmpty() ? tr(MarkedLine) : stripText(message);
    // A server's message (a verification's, a stored check's) is explained as the check's is.
    if (check::parseServerMessage(message)) {
        const check::DisplayNames names(m_translate);
        d.message = check::describeServerMessage(message, m_translate, names.fn(), 0, 0);
        m_serverText = message;
    }
    m_checkMessage = d;
    showMessage(d, error);
    applyMarks();
    m_box->SetSelStart(int(d.offset));
    m_box->ensureCursorVisible();
    return true;
}

void FormulaAssist::saved() {
    if (!m_box)
        return;
    m_stored = m_box->Text();
    m_unsavedChanges = false;
    m_unsaved->clear();
    m_checkMessage.reset();
    m_target = -1;
    m_message->setStyleSheet(SavedStyle);
    fitStrip(2);
    m_openCases = nullptr;
    m_fullMessage = tr(msg::Saved);
    m_message->setText(m_fullMessage);
    m_message->setToolTip(QString());
    QTimer::singleShot(SavedMessageMs, this, [this] {
        if (m_message->styleSheet() == SavedStyle)
            clearMessage();
    });
}

void FormulaAssist::showCases(const QString& summary, bool differing, std::function<void()> open) {
    if (!m_box || m_technical)
        return;
    m_checkMessage.reset();
    m_message->setStyleSheet(differing ? ErrorStyle : SavedStyle);
    fitStrip(2);
    m_fullMessage = summary;
    showElided();
    m_message->setToolTip(summary);
    m_copyServerText->setVisible(false);
    m_target = -1;
    m_openCases = std::move(open);
    m_casesText = m_box->Text();
}

void FormulaAssist::setTechnicalView(bool on) {
    m_technical = on;
    if (on) {
        if (m_live)
            m_live->cancel();
        m_found.clear();
        m_checkMessage.reset();
        clearMessage();
        applyMarks();
    } else {
        m_lastText.clear();
        textChanged();
    }
}

void FormulaAssist::refreshHistory() {
    const bool canUndo = m_history.canUndo();
    const bool canRedo = m_history.canRedo();
    if (m_undo && m_canUndo != canUndo)
        m_undo->SetPicture(canUndo ? m_undoIcon : m_undoDimmed);
    if (m_redo && m_canRedo != canRedo)
        m_redo->SetPicture(canRedo ? m_redoIcon : m_redoDimmed);
    m_canUndo = canUndo;
    m_canRedo = canRedo;
}

void FormulaAssist::showMessage(const diagnostics::Diagnostic& d, bool error) {
    m_openCases = nullptr;
    const QString where = d.line <= 0    ? d.message
                          : d.column > 0 ? tr(msg::AtLineColumn).arg(d.line).arg(d.column).arg(d.message)
                                         : tr(msg::AtLine).arg(d.line).arg(d.message);
    m_message->setStyleSheet(error ? ErrorStyle : LiveStyle);
    fitStrip(2 + int(where.count(u'\n')));
    m_fullMessage = where;
    showElided();
    const bool fromServer = error && !m_serverText.isEmpty();
    m_message->setToolTip(fromServer ? where + QStringLiteral("\n\n") + m_serverText : where);
    m_copyServerText->setVisible(fromServer);
    m_target = d.line > 0 ? d.offset : -1;
}

void FormulaAssist::fitStrip(int rows) {
    const int height = std::clamp(rows, 2, 3) * (m_stripWidget->fontMetrics().height() + 6);
    if (m_stripWidget->height() == height)
        return;
    m_stripWidget->setFixedHeight(height);
    if (m_box)
        m_box->SetBottomMargin(height);
    placeStrip();
}

void FormulaAssist::clearMessage() {
    m_openCases = nullptr;
    fitStrip(2);
    m_message->setStyleSheet(QString());
    m_message->clear();
    m_fullMessage.clear();
    m_serverText.clear();
    m_copyServerText->setVisible(false);
    m_message->setToolTip(QString());
    m_target = -1;
}

// The marks of the live diagnostics and of the check's message, by line and column of the box.
void FormulaAssist::applyMarks() {
    QList<diagnostics::Mark> marks;
    const QString text = m_box ? m_box->Text() : QString();
    const diagnostics::TextLines lines(text);
    auto add = [&](const diagnostics::Diagnostic& d, bool wholeLine) {
        if (d.line <= 0)
            return;
        const int column = int(d.offset - lines.lineStart(d.line));
        marks.append(
            {d.line - 1, column, wholeLine ? -1 : int(d.length), d.severity == diagnostics::Severity::Error});
    };
    for (const diagnostics::Diagnostic& d : m_found)
        add(d, false);
    if (m_checkMessage)
        add(*m_checkMessage, m_checkMessage->column <= 0);
    m_highlighter->setMarks(marks);
}

QString FormulaAssist::messageAt(qsizetype position) const {
    const auto covers = [&](const diagnostics::Diagnostic& d) {
        return d.line > 0 && position >= d.offset && position <= d.offset + std::max<qsizetype>(d.length, 1);
    };
    QStringList messages;
    if (m_checkMessage && m_checkMessage->column > 0 && covers(*m_checkMessage))
        messages << m_checkMessage->message;
    for (const diagnostics::Diagnostic& d : m_found)
        if (covers(d) && !messages.contains(d.message))
            messages << d.message;
    return messages.join(u'\n');
}

void FormulaAssist::clickStrip() {
    if (m_openCases) {
        m_openCases();
        return;
    }
    if (!m_box || m_target < 0)
        return;
    m_box->SetSelStart(int(m_target));
    m_box->setFocus();
}

// The bracket, brace or bar at the caret and its partner; one without a partner in red.
void FormulaAssist::matchDelimiters() {
    if (!m_box)
        return;
    QList<QTextEdit::ExtraSelection> selections;
    const QTextCursor cursor = m_box->textCursor();
    const QTextBlock block = cursor.block();
    std::vector<diagnostics::Span> spans;
    const diagnostics::FormulaScanner scanner(m_catalog.get());
    scanner.scanLine(block.text(), diagnostics::FormulaHighlighter::stateBefore(block), spans);
    if (const auto match = diagnostics::FormulaScanner::matchDelimiter(
            spans, block.text(), cursor.position() - block.position())) {
        auto select = [&](qsizetype at, const QColor& colour) {
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(block);
            s.cursor.setPosition(block.position() + int(at));
            s.cursor.setPosition(block.position() + int(at) + 1, QTextCursor::KeepAnchor);
            s.format.setBackground(colour);
            s.format.setForeground(QColor(Qt::black)); // legible on the light mark in any palette
            selections.append(s);
        };
        select(match->at, match->other < 0 ? QColor(0xF8, 0xB4, 0xB4) : QColor(0xFF, 0xE0, 0x80));
        if (match->other >= 0)
            select(match->other, QColor(0xFF, 0xE0, 0x80));
    }
    m_box->setExtraSelections(selections);
}

// Each line of the message as wide as the strip allows, cut in its middle; the whole text is in
// the tooltip.
void FormulaAssist::showElided() {
    if (m_fullMessage.isEmpty())
        return;
    const QFontMetrics metrics(m_message->font());
    const int width = std::max(40, m_message->contentsRect().width() - 10);
    QStringList lines = m_fullMessage.split(u'\n');
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, width);
    const QString shown = lines.join(u'\n');
    if (m_message->text() != shown)
        m_message->setText(shown);
    if (shown != m_fullMessage && m_message->toolTip().isEmpty())
        m_message->setToolTip(m_fullMessage);
}

void FormulaAssist::placeStrip() {
    if (!m_box)
        return;
    const QRect area = m_box->viewport()->geometry();
    // The strip ends where the vertical scroll bar begins, which reaches down beside it.
    int width = area.width();
    const QScrollBar* bar = m_box->verticalScrollBar();
    if (bar != nullptr && bar->isVisible()) {
        const int barLeft = bar->mapTo(m_box.data(), QPoint(0, 0)).x();
        if (barLeft > area.left())
            width = std::min(width, barLeft - area.left());
    }
    m_stripWidget->setGeometry(area.left(), area.bottom() + 1, width, m_stripWidget->height());
    m_stripWidget->raise();
    showElided();
}

void FormulaAssist::applyPalette() {
    // The strip lies on the box's base colour; the help line's muted blue-grey is kept on a light
    // palette and made as legible as body text on any other.
    const QPalette box = m_box->palette();
    QPalette strip = m_stripWidget->palette();
    strip.setColor(QPalette::Window, box.color(QPalette::Base));
    m_stripWidget->setPalette(strip);
    m_stripWidget->setAutoFillBackground(true);
    QPalette help = m_help->palette();
    help.setColor(QPalette::WindowText,
                  diagnostics::legibleOn(QColor(0x40, 0x48, 0x60), box.color(QPalette::Base)));
    m_help->setPalette(help);
    QPalette unsaved = m_unsaved->palette();
    unsaved.setColor(QPalette::WindowText,
                     diagnostics::legibleOn(QColor(0xB0, 0x58, 0x00), box.color(QPalette::Base)));
    m_unsaved->setPalette(unsaved);
}

bool FormulaAssist::eventFilter(QObject* watched, QEvent* event) {
    // The box is compared only on events a live widget receives (not those of its destruction).
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) && watched == m_box)
        QTimer::singleShot(0, this, [this] { placeStrip(); });
    if (event->type() == QEvent::PaletteChange && watched == m_box) {
        m_highlighter->setPalette(m_box->palette());
        applyPalette();
    }
    if (watched == m_message && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        clickStrip();
    if (watched == m_message && event->type() == QEvent::Resize)
        showElided();
    return QObject::eventFilter(watched, event);
}

} // namespace editor
