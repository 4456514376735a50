#include "editing/EditHistory.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <optional>

namespace {

using core::StringTextBox;
using editing::EditHistory;

// A formula box and its history, with a "pending events" step that delivers the character
// being typed, as the window's event loop would.
struct Editor {
    StringTextBox box;
    QString pending;
    int pendingRuns = 0;
    EditHistory history{box, [this] {
                            ++pendingRuns;
                            box.type(pending);
                            pending.clear();
                        }};

    // Types text; a blank or a carriage return goes through the character notification.
    void type(const QString& text) {
        for (const QChar c : text) {
            if (c == u' ' || c == u'\r') {
                pending = c == u'\r' ? QStringLiteral("\r\n") : QStringLiteral(" ");
                history.onCharacter(c.unicode());
            } else {
                history.onCharacter(c.unicode());
                box.type(QString(c));
            }
        }
    }
    void record(const QString& text) {
        box.setText(text);
        history.RecordUndoState();
    }
};

// What is done to the history: its methods, a snapshot of a text, typing, or one of the formula
// box's notifications.
using Action = std::function<void(Editor&)>;
const Action undo = [](Editor& e) { e.history.UndoFormula(); };
const Action redo = [](Editor& e) { e.history.RedoFormula(); };
const Action caret = [](Editor& e) { e.history.onCaret(); };
const Action focusOut = [](Editor& e) { e.history.onWindowNotification(); };
Action record(const QString& text) {
    return [text](Editor& e) { e.record(text); };
}
Action type(const QString& text) {
    return [text](Editor& e) { e.type(text); };
}
Action character(int code) {
    return [code](Editor& e) { e.history.onCharacter(code); };
}
Action key(int code, int shift) {
    return [code, shift](Editor& e) { e.history.onKey(code, shift); };
}
Action qtKey(int code, Qt::KeyboardModifiers modifiers) {
    return [code, modifiers](Editor& e) { e.history.onQtKey(code, modifiers); };
}

// "snapshot 1" ... "snapshot 100", the last one replaced when `last` is given.
QStringList hundred(const QString& last = {}) {
    QStringList list;
    for (int i = 1; i <= 100; ++i)
        list << QStringLiteral("snapshot %1").arg(i);
    if (!last.isEmpty())
        list.last() = last;
    return list;
}

// One state of the history: how it is reached, what is done, what follows.
struct Row {
    const char* name;
    // The snapshots recorded in order, then `undone` undos; then the box's text and caret when
    // given (the caret after the text).
    QStringList start;
    int undone = 0;
    std::optional<QString> text;
    int caret = -1;
    Action act;
    // The box's text, the history's index and its positions from 1 on (every other position
    // empty); the box's caret and the remembered caret when given; the runs of pending events.
    QString shows;
    int index = 0;
    QStringList buffer;
    int caretAfter = -1;
    int remembered = -1;
    int runs = 0;
};

const QStringList three = {"one", "one two", "one two three"};
const QStringList four = {"a", "a b", "a b c", "a b c d"};

// clang-format off
const Row rows[] = {
    {.name = "a new history is empty at position 0", .remembered = 0},
    // Undo and redo.
    {.name = "undo from the first snapshot empties the box", .start = {"SET @OUTPREZZO = 25"}, .act = undo,
     .shows = "", .buffer = {"SET @OUTPREZZO = 25"}},
    {.name = "undo at position 0 does nothing", .start = {"SET @OUTPREZZO = 25"}, .undone = 1,
     .text = "typed", .act = undo, .shows = "typed", .buffer = {"SET @OUTPREZZO = 25"}},
    {.name = "redo onto an unwritten position changes nothing", .start = {"A"}, .text = "A plus typing",
     .act = redo, .shows = "A plus typing", .index = 1, .buffer = {"A"}},
    {.name = "redo of a new history changes nothing", .act = redo},
    {.name = "undo steps back one snapshot", .start = three, .act = undo, .shows = "one two", .index = 2,
     .buffer = three},
    {.name = "a second undo steps back again", .start = three, .undone = 1, .act = undo, .shows = "one",
     .index = 1, .buffer = three},
    {.name = "redo steps forward one snapshot", .start = three, .undone = 2, .act = redo, .shows = "one two",
     .index = 2, .buffer = three},
    {.name = "redo reaches the last snapshot", .start = three, .undone = 1, .act = redo,
     .shows = "one two three", .index = 3, .buffer = three},
    {.name = "redo with nothing above does nothing", .start = three, .act = redo, .shows = "one two three",
     .index = 3, .buffer = three},
    {.name = "redo skips an empty snapshot", .start = {"A", ""}, .undone = 1, .act = redo, .shows = "A",
     .index = 1, .buffer = {"A", ""}},
    {.name = "typing after the last snapshot is lost by undo", .start = {"first", "first second"},
     .text = "first second third", .act = undo, .shows = "first", .index = 1,
     .buffer = {"first", "first second"}},
    {.name = "recording after undo replaces only the position above", .start = four, .undone = 2, .caret = 3,
     .act = type("X "), .shows = "a bX ", .index = 3, .buffer = {"a", "a b", "a bX", "a b c d"}, .runs = 1},
    {.name = "redo then reaches the snapshot kept above", .start = {"a", "a b", "a bX", "a b c d"},
     .undone = 1, .act = redo, .shows = "a b c d", .index = 4, .buffer = {"a", "a b", "a bX", "a b c d"}},
    // A full history.
    {.name = "a hundred snapshots fill the history", .start = hundred(), .act = record("not recorded"),
     .shows = "not recorded", .index = 100, .buffer = hundred()},
    {.name = "redo at the top shows the last snapshot again", .start = hundred(), .text = "edited",
     .act = redo, .shows = "snapshot 100", .index = 100, .buffer = hundred()},
    {.name = "one undo frees the last position", .start = hundred(), .act = undo, .shows = "snapshot 99",
     .index = 99, .buffer = hundred()},
    {.name = "the freed position is recorded again", .start = hundred(), .undone = 1,
     .act = record("recorded again"), .shows = "recorded again", .index = 100,
     .buffer = hundred("recorded again")},
    // What a snapshot holds.
    {.name = "snapshots never end in a blank", .act = type("SET @OUTPREZZO = 25 "),
     .shows = "SET @OUTPREZZO = 25 ", .index = 4,
     .buffer = {"SET", "SET @OUTPREZZO", "SET @OUTPREZZO =", "SET @OUTPREZZO = 25"}, .runs = 4},
    {.name = "only blanks make an empty snapshot", .start = {"A"}, .act = record("   "), .shows = "   ",
     .index = 2, .buffer = {"A", ""}},
    {.name = "leading blanks and line breaks stay", .act = record("  A\r\n  "), .shows = "  A\r\n  ",
     .index = 1, .buffer = {"  A\r\n"}},
    // Typing: a blank or a carriage return records once the pending events have run.
    {.name = "other characters record nothing", .act = type("SET"), .shows = "SET", .remembered = 3},
    {.name = "a blank records", .act = type("SET "), .shows = "SET ", .index = 1, .buffer = {"SET"},
     .remembered = 4, .runs = 1},
    {.name = "a carriage return records", .act = type("SET @A = 1\r"), .shows = "SET @A = 1\r\n", .index = 4,
     .buffer = {"SET", "SET @A", "SET @A =", "SET @A = 1\r\n"}, .runs = 4},
    {.name = "a letter only moves the remembered caret", .text = "abc", .caret = 2, .act = character('x'),
     .shows = "abc", .remembered = 3},
    {.name = "a tab only moves the remembered caret", .text = "abc", .caret = 2, .act = character(9),
     .shows = "abc", .remembered = 3},
    {.name = "a line feed alone only moves the remembered caret", .text = "abc", .caret = 2,
     .act = character(10), .shows = "abc", .remembered = 3},
    // Keys: plain Up and Down record (the keypad does not count as a modifier).
    {.name = "Up records", .text = "x", .act = key(38, 0), .shows = "x", .index = 1, .buffer = {"x"}},
    {.name = "Down records", .text = "x", .act = key(40, 0), .shows = "x", .index = 1, .buffer = {"x"}},
    {.name = "Shift+Up does not record", .text = "x", .act = key(38, 1), .shows = "x"},
    {.name = "Ctrl+Down does not record", .text = "x", .act = key(40, 2), .shows = "x"},
    {.name = "Alt+Up does not record", .text = "x", .act = key(38, 4), .shows = "x"},
    {.name = "Left does not record", .text = "x", .act = key(37, 0), .shows = "x"},
    {.name = "Right does not record", .text = "x", .act = key(39, 0), .shows = "x"},
    {.name = "Return does not record", .text = "x", .act = key(13, 0), .shows = "x"},
    {.name = "Space does not record", .text = "x", .act = key(32, 0), .shows = "x"},
    {.name = "Qt Up records", .text = "x", .act = qtKey(Qt::Key_Up, Qt::NoModifier), .shows = "x", .index = 1,
     .buffer = {"x"}},
    {.name = "Qt Down on the keypad records", .text = "x", .act = qtKey(Qt::Key_Down, Qt::KeypadModifier),
     .shows = "x", .index = 1, .buffer = {"x"}},
    {.name = "Qt Shift+Up does not record", .text = "x", .act = qtKey(Qt::Key_Up, Qt::ShiftModifier),
     .shows = "x"},
    {.name = "Qt Ctrl+Down does not record", .text = "x", .act = qtKey(Qt::Key_Down, Qt::ControlModifier),
     .shows = "x"},
    {.name = "Qt Left does not record", .text = "x", .act = qtKey(Qt::Key_Left, Qt::NoModifier),
     .shows = "x"},
    // The caret and the focus.
    {.name = "a caret move is remembered", .text = "SET @A = 1", .caret = 7, .act = caret,
     .shows = "SET @A = 1", .remembered = 7},
    {.name = "losing the focus records", .text = "SET @A = 1", .act = focusOut, .shows = "SET @A = 1",
     .index = 1, .buffer = {"SET @A = 1"}},
    // Where undo leaves the caret; the remembered caret is read before the text is replaced.
    {.name = "undo moves the caret back by the typed excess",
     .start = {"AAAA BBBB CCCC", "AAAA BBBB CCCC DDDD"}, .text = "AAAA xxBBBB CCCC DDDD", .caret = 7,
     .act = undo, .shows = "AAAA BBBB CCCC", .index = 1, .buffer = {"AAAA BBBB CCCC", "AAAA BBBB CCCC DDDD"},
     .caretAfter = 5, .remembered = 5},
    {.name = "undo without excess keeps the caret position", .start = {"AAAA", "AAAA BBBB"}, .caret = 3,
     .act = undo, .shows = "AAAA", .index = 1, .buffer = {"AAAA", "AAAA BBBB"}, .caretAfter = 3,
     .remembered = 3},
    {.name = "undo leaves the caret where the text put it below one", .start = {"AAAA", "AAAA BBBB"},
     .text = "xyzAAAA BBBB", .caret = 3, .act = undo, .shows = "AAAA", .index = 1,
     .buffer = {"AAAA", "AAAA BBBB"}, .caretAfter = 0, .remembered = 3},
    {.name = "undo reads a caret beyond the shorter text back from the box", .start = {"AB", "AB CDEFGH"},
     .caret = 9, .act = undo, .shows = "AB", .index = 1, .buffer = {"AB", "AB CDEFGH"}, .caretAfter = 2,
     .remembered = 2},
};
// clang-format on

TEST(EditHistory, States) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Editor e;
        for (const QString& snapshot : row.start)
            e.record(snapshot);
        for (int i = 0; i < row.undone; ++i)
            e.history.UndoFormula();
        if (row.text)
            e.box.setText(*row.text);
        if (row.caret >= 0)
            e.box.setSelStart(row.caret);
        if (row.act)
            row.act(e);

        EXPECT_EQ(e.box.text(), row.shows);
        EXPECT_EQ(e.history.UndoIndex(), row.index);
        for (qsizetype i = 0; i < qsizetype(e.history.UndoBuffer().size()); ++i) {
            const QString expected = i >= 1 && i <= row.buffer.size() ? row.buffer[i - 1] : QString();
            EXPECT_EQ(e.history.UndoBuffer()[std::size_t(i)], expected) << "position " << i;
        }
        if (row.caretAfter >= 0) {
            EXPECT_EQ(e.box.selStart(), row.caretAfter);
        }
        if (row.remembered >= 0) {
            EXPECT_EQ(e.history.CaretPosition(), row.remembered);
        }
        EXPECT_EQ(e.pendingRuns, row.runs);
    }
}

TEST(EditHistory, ErrorsReachTheCallerAndTheClickHandlersTrapThem) {
    struct FlakyBox : core::StringTextBox {
        bool failing = false;
        void setText(const QString& text) override {
            if (failing)
                throw core::ComError(424, QStringLiteral("Object required"));
            StringTextBox::setText(text);
        }
    } box;
    EditHistory history(box);
    box.setText(QStringLiteral("A"));
    history.RecordUndoState();
    box.setText(QStringLiteral("A B"));
    history.RecordUndoState();
    box.failing = true;
    EXPECT_THROW(history.UndoFormula(), core::ComError);

    QStringList asked;
    const core::ErrorAnswerFn answer = [&](const QString& procedure, const core::ErrorInfo& error) {
        asked << procedure + QStringLiteral(": ") + error.description;
        return 3;
    };
    history.clickUndo(answer);
    history.clickRedo(answer);
    EXPECT_EQ(asked, QStringList({QStringLiteral("IMG_UNDO_ButtonClick: Object required"),
                                  QStringLiteral("IMG_REDO_ButtonClick: Object required")}));
}

} // namespace
