#include "check/EditHistory.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using check::EditHistory;
using check::StringTextBox;

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

TEST(EditHistory, StartsEmptyAtPositionZero) {
    Editor e;
    EXPECT_EQ(e.history.UndoIndex(), 0);
    EXPECT_EQ(e.history.CaretPosition(), 0);
    EXPECT_EQ(e.history.UndoBuffer().size(), 101u);
    for (const QString& s : e.history.UndoBuffer())
        EXPECT_TRUE(s.isEmpty());
}

TEST(EditHistory, UndoFromTheFirstSnapshotEmptiesTheBoxAndThenDoesNothing) {
    Editor e;
    e.record(QStringLiteral("SET @OUTPREZZO = 25"));
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QString());
    EXPECT_EQ(e.history.UndoIndex(), 0);
    e.box.setText(QStringLiteral("typed"));
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("typed"));
    EXPECT_EQ(e.history.UndoIndex(), 0);
    EXPECT_TRUE(e.history.UndoBuffer()[0].isEmpty());
}

TEST(EditHistory, RedoOntoAnUnwrittenPositionChangesNothing) {
    Editor e;
    e.record(QStringLiteral("A"));
    e.box.setText(QStringLiteral("A plus typing"));
    e.history.RedoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("A plus typing"));
    EXPECT_EQ(e.history.UndoIndex(), 1);

    Editor fresh;
    fresh.history.RedoFormula();
    EXPECT_EQ(fresh.history.UndoIndex(), 0);
    EXPECT_EQ(fresh.box.text(), QString());
}

TEST(EditHistory, UndoRedoWalkTheSnapshots) {
    Editor e;
    e.record(QStringLiteral("one"));
    e.record(QStringLiteral("one two"));
    e.record(QStringLiteral("one two three"));
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("one two"));
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("one"));
    e.history.RedoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("one two"));
    e.history.RedoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("one two three"));
    EXPECT_EQ(e.history.UndoIndex(), 3);
    e.history.RedoFormula(); // nothing above
    EXPECT_EQ(e.history.UndoIndex(), 3);
    EXPECT_EQ(e.box.text(), QStringLiteral("one two three"));
}

TEST(EditHistory, RecordingAfterUndoReplacesOnlyThePositionAbove) {
    Editor e;
    e.record(QStringLiteral("a"));
    e.record(QStringLiteral("a b"));
    e.record(QStringLiteral("a b c"));
    e.record(QStringLiteral("a b c d"));
    e.history.UndoFormula();
    e.history.UndoFormula(); // at 2: "a b"
    e.box.setSelStart(static_cast<int>(e.box.text().size()));
    e.type(QStringLiteral("X "));
    EXPECT_EQ(e.history.UndoIndex(), 3);
    EXPECT_EQ(e.history.UndoBuffer()[3], QStringLiteral("a bX"));
    EXPECT_EQ(e.history.UndoBuffer()[4], QStringLiteral("a b c d"));
    e.history.RedoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("a b c d"));
    EXPECT_EQ(e.history.UndoIndex(), 4);
}

TEST(EditHistory, AHundredSnapshotsFillTheHistoryAndOneUndoFreesTheLast) {
    Editor e;
    for (int i = 1; i <= 100; ++i)
        e.record(QStringLiteral("snapshot %1").arg(i));
    EXPECT_EQ(e.history.UndoIndex(), 100);
    e.record(QStringLiteral("not recorded"));
    EXPECT_EQ(e.history.UndoIndex(), 100);
    EXPECT_EQ(e.history.UndoBuffer()[100], QStringLiteral("snapshot 100"));

    // Redo at the top shows the last snapshot again.
    e.box.setText(QStringLiteral("edited"));
    e.history.RedoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("snapshot 100"));
    EXPECT_EQ(e.history.UndoIndex(), 100);

    e.history.UndoFormula();
    EXPECT_EQ(e.history.UndoIndex(), 99);
    EXPECT_EQ(e.box.text(), QStringLiteral("snapshot 99"));
    e.record(QStringLiteral("recorded again"));
    EXPECT_EQ(e.history.UndoIndex(), 100);
    EXPECT_EQ(e.history.UndoBuffer()[100], QStringLiteral("recorded again"));
}

TEST(EditHistory, TypingAfterTheLastSnapshotIsLostByUndo) {
    Editor e;
    e.record(QStringLiteral("first"));
    e.record(QStringLiteral("first second"));
    e.box.setText(QStringLiteral("first second third"));
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("first"));
    EXPECT_EQ(e.history.UndoIndex(), 1);
}

TEST(EditHistory, SnapshotsNeverEndInABlank) {
    Editor e;
    e.type(QStringLiteral("SET @OUTPREZZO = 25 "));
    EXPECT_EQ(e.box.text(), QStringLiteral("SET @OUTPREZZO = 25 "));
    for (int i = 1; i <= e.history.UndoIndex(); ++i)
        EXPECT_FALSE(e.history.UndoBuffer()[static_cast<std::size_t>(i)].endsWith(u' '));
    EXPECT_EQ(e.history.UndoBuffer()[static_cast<std::size_t>(e.history.UndoIndex())],
              QStringLiteral("SET @OUTPREZZO = 25"));
    e.record(QStringLiteral("   ")); // only blanks: an empty snapshot
    EXPECT_EQ(e.history.UndoBuffer()[static_cast<std::size_t>(e.history.UndoIndex())], QString());
    // Leading blanks and line breaks stay.
    e.record(QStringLiteral("  A\r\n  "));
    EXPECT_EQ(e.history.UndoBuffer()[static_cast<std::size_t>(e.history.UndoIndex())],
              QStringLiteral("  A\r\n"));
}

TEST(EditHistory, RedoSkipsAnEmptySnapshot) {
    Editor e;
    e.record(QStringLiteral("A"));
    e.record(QString());
    e.history.UndoFormula();
    EXPECT_EQ(e.history.UndoIndex(), 1);
    e.history.RedoFormula();
    EXPECT_EQ(e.history.UndoIndex(), 1);
    EXPECT_EQ(e.box.text(), QStringLiteral("A"));
}

TEST(EditHistory, BlankAndCarriageReturnRecordAfterThePendingEvents) {
    Editor e;
    e.type(QStringLiteral("SET"));
    EXPECT_EQ(e.history.UndoIndex(), 0);
    EXPECT_EQ(e.history.CaretPosition(), 3);
    e.type(QStringLiteral(" "));
    EXPECT_EQ(e.pendingRuns, 1);
    EXPECT_EQ(e.history.UndoIndex(), 1);
    EXPECT_EQ(e.history.UndoBuffer()[1], QStringLiteral("SET"));
    EXPECT_EQ(e.history.CaretPosition(), 4);
    e.type(QStringLiteral("@A = 1\r"));
    EXPECT_EQ(e.pendingRuns, 4);
    EXPECT_EQ(e.history.UndoIndex(), 4);
    EXPECT_EQ(e.history.UndoBuffer()[4], QStringLiteral("SET @A = 1\r\n"));
}

TEST(EditHistory, OtherCharactersOnlyMoveTheRememberedCaret) {
    StringTextBox box(QStringLiteral("abc"));
    int runs = 0;
    EditHistory history(box, [&] { ++runs; });
    box.setSelStart(2);
    history.onCharacter('x');
    history.onCharacter(9);  // tab
    history.onCharacter(10); // line feed alone
    EXPECT_EQ(history.CaretPosition(), 3);
    EXPECT_EQ(history.UndoIndex(), 0);
    EXPECT_EQ(runs, 0);
}

TEST(EditHistory, KeyNotificationRecordsOnlyPlainUpAndDown) {
    struct Case {
        int key;
        int shift;
        bool records;
    };
    const Case cases[] = {{38, 0, true},  {40, 0, true},  {38, 1, false}, {40, 2, false}, {38, 4, false},
                          {37, 0, false}, {39, 0, false}, {13, 0, false}, {32, 0, false}};
    for (const Case& c : cases) {
        StringTextBox box(QStringLiteral("x"));
        EditHistory history(box);
        history.onKey(c.key, c.shift);
        EXPECT_EQ(history.UndoIndex(), c.records ? 1 : 0) << c.key << " " << c.shift;
    }
}

TEST(EditHistory, QtKeysMapToTheSameRule) {
    StringTextBox box(QStringLiteral("x"));
    EditHistory history(box);
    history.onQtKey(Qt::Key_Up, Qt::NoModifier);
    history.onQtKey(Qt::Key_Down, Qt::KeypadModifier);
    history.onQtKey(Qt::Key_Up, Qt::ShiftModifier);
    history.onQtKey(Qt::Key_Down, Qt::ControlModifier);
    history.onQtKey(Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(history.UndoIndex(), 2);
}

TEST(EditHistory, CaretAndWindowNotifications) {
    StringTextBox box(QStringLiteral("SET @A = 1"));
    EditHistory history(box);
    box.setSelStart(7);
    history.onCaret();
    EXPECT_EQ(history.CaretPosition(), 7);
    EXPECT_EQ(history.UndoIndex(), 0);
    history.onWindowNotification();
    EXPECT_EQ(history.UndoIndex(), 1);
    EXPECT_EQ(history.UndoBuffer()[1], QStringLiteral("SET @A = 1"));
    history.setCaretPosition(3);
    EXPECT_EQ(history.CaretPosition(), 3);
}

TEST(EditHistory, UndoMovesTheCaretBackByTheTypedExcess) {
    Editor e;
    e.record(QStringLiteral("AAAA BBBB CCCC"));
    e.record(QStringLiteral("AAAA BBBB CCCC DDDD"));
    e.box.setSelStart(5);
    e.box.type(QStringLiteral("xx")); // caret 7, two characters beyond the snapshot
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("AAAA BBBB CCCC"));
    EXPECT_EQ(e.box.selStart(), 5);
    EXPECT_EQ(e.history.CaretPosition(), 5);
}

TEST(EditHistory, UndoWithoutExcessKeepsTheCaretPosition) {
    Editor e;
    e.record(QStringLiteral("AAAA"));
    e.record(QStringLiteral("AAAA BBBB"));
    e.box.setSelStart(3);
    e.history.UndoFormula();
    EXPECT_EQ(e.box.selStart(), 3);
    EXPECT_EQ(e.history.CaretPosition(), 3);
}

TEST(EditHistory, UndoLeavesTheCaretWhereTheTextPutItBelowOne) {
    Editor e;
    e.record(QStringLiteral("AAAA"));
    e.record(QStringLiteral("AAAA BBBB"));
    e.box.setSelStart(0);
    e.box.type(QStringLiteral("xyz")); // caret 3, excess 3: 3 - 3 = 0
    e.history.UndoFormula();
    EXPECT_EQ(e.box.text(), QStringLiteral("AAAA"));
    EXPECT_EQ(e.box.selStart(), 0);
    EXPECT_EQ(e.history.CaretPosition(), 3); // read before the text was replaced
}

TEST(EditHistory, UndoCaretBeyondTheShorterTextIsReadBackFromTheBox) {
    Editor e;
    e.record(QStringLiteral("AB"));
    e.record(QStringLiteral("AB CDEFGH"));
    e.box.setSelStart(9);
    e.history.UndoFormula();
    EXPECT_EQ(e.box.selStart(), 2);
    EXPECT_EQ(e.history.CaretPosition(), 2);
}

TEST(EditHistory, ErrorsReachTheCallerAndTheClickHandlersTrapThem) {
    struct FlakyBox : check::StringTextBox {
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
