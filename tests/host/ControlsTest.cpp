#include "TestApp.h"

#include "core/Error.h"
#include "host/controls/HostControls.h"
#include "host/controls/MDIActiveX.h"
#include "host/controls/VXL_RESIZEFORM.h"
#include "host/controls/VxlRichTextBox.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Controls : public ::testing::Test {
protected:
    void SetUp() override { guiApp(); }
};

TEST_F(Controls, KeyCodesAreTheHostsVirtualKeyCodes) {
    struct Case {
        int qtKey;
        int code;
    };
    const Case cases[] = {{Qt::Key_A, 65},       {Qt::Key_Z, 90},      {Qt::Key_0, 48},     {Qt::Key_Up, 38},
                          {Qt::Key_Down, 40},    {Qt::Key_Return, 13}, {Qt::Key_Space, 32}, {Qt::Key_F1, 112},
                          {Qt::Key_Control, 17}, {Qt::Key_Eacute, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(controls::virtualKeyCode(c.qtKey), c.code) << c.qtKey;
    EXPECT_EQ(controls::shiftState(Qt::NoModifier), 0);
    EXPECT_EQ(controls::shiftState(Qt::ControlModifier), 2);
    EXPECT_EQ(controls::shiftState(Qt::ControlModifier | Qt::ShiftModifier), 3);
    EXPECT_EQ(controls::shiftState(Qt::ControlModifier | Qt::AltModifier), 6);
}

TEST_F(Controls, RichTextBoxKeepsCrLfAndCountsTheCaretInThatText) {
    controls::VxlRichTextBox box;
    box.SetText(QStringLiteral("IF a\r\nSET b"));
    EXPECT_EQ(box.Text(), QStringLiteral("IF a\r\nSET b"));
    box.SetSelStart(7); // after "S" of SET
    EXPECT_EQ(box.SelStart(), 7);
    EXPECT_EQ(box.textCursor().position(), 6);
    box.SetSelStart(1000);
    EXPECT_EQ(box.SelStart(), 11);
    box.SetSelStart(-3);
    EXPECT_EQ(box.SelStart(), 0);
}

TEST_F(Controls, RichTextBoxNotifiesKeysBeforeActingAndLetsTheHandlerFlush) {
    controls::VxlRichTextBox box;
    box.show();
    box.setFocus();
    QList<int> codes;
    QList<QString> textsAtKeyPress;
    QObject::connect(&box, &controls::VxlRichTextBox::KeyDown,
                     [&](int code, int shift) { codes << code << shift; });
    QObject::connect(&box, &controls::VxlRichTextBox::KeyPress, [&](int c) {
        textsAtKeyPress << box.Text();
        if (c == 32)
            box.flushPendingKey();
        textsAtKeyPress << box.Text();
    });
    QTest::keyClick(&box, Qt::Key_A);
    QTest::keyClick(&box, Qt::Key_Space);
    EXPECT_EQ(codes, (QList<int>{65, 0, 32, 0}));
    EXPECT_EQ(textsAtKeyPress, (QList<QString>{"", "", "a", "a "}));
    EXPECT_EQ(box.Text(), QStringLiteral("a ")); // the flushed key is not inserted twice
}

TEST_F(Controls, RichTextBoxEnterGivesThirteenAndLockedRefusesTyping) {
    controls::VxlRichTextBox box;
    box.show();
    QSignalSpy chars(&box, &controls::VxlRichTextBox::KeyPress);
    QTest::keyClick(&box, Qt::Key_Return);
    ASSERT_EQ(chars.count(), 1);
    EXPECT_EQ(chars.at(0).at(0).toInt(), 13);
    EXPECT_EQ(box.Text(), QStringLiteral("\r\n"));
    box.SetLocked(true);
    QTest::keyClick(&box, Qt::Key_B);
    EXPECT_EQ(box.Text(), QStringLiteral("\r\n"));
    box.SetText(QStringLiteral("x"));
    EXPECT_EQ(box.Text(), QStringLiteral("x")); // the program can still set the text
}

TEST_F(Controls, OneLineBoxTakesNoLineBreak) {
    controls::VxlRichTextBox box;
    box.SetMultiLine(false);
    box.show();
    QSignalSpy chars(&box, &controls::VxlRichTextBox::KeyPress);
    QTest::keyClicks(&box, QStringLiteral("ab"));
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.Text(), QStringLiteral("ab"));
    EXPECT_EQ(chars.count(), 3); // the Enter is still notified
    box.SetText(QStringLiteral("x\r\ny"));
    EXPECT_EQ(box.Text(), QStringLiteral("x y"));
}

TEST_F(Controls, CaretNotificationOnlyForTheUsersMoves) {
    controls::VxlRichTextBox box;
    box.show();
    QSignalSpy caret(&box, &controls::VxlRichTextBox::SelChange);
    box.SetText(QStringLiteral("abc"));
    box.SetSelStart(2);
    EXPECT_EQ(caret.count(), 0);
    QTest::keyClick(&box, Qt::Key_Left);
    EXPECT_EQ(caret.count(), 1);
    EXPECT_EQ(box.SelStart(), 1);
}

TEST_F(Controls, ButtonRaisesOneClickPerClickAndNoneWhenOff) {
    controls::VXL_TBARMENU button;
    button.show();
    QSignalSpy clicks(&button, &controls::VXL_TBARMENU::ButtonClick);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(Controls, HeadingLabelIsBold) {
    QWidget w;
    controls::VXL_LABEL body(&w), heading(&w);
    heading.SetLabelStyle(1);
    EXPECT_FALSE(body.font().bold());
    EXPECT_TRUE(heading.font().bold());
}

TEST_F(Controls, ResizeFormFollowsTheLayoutCodes) {
    QWidget window;
    window.resize(400, 300);
    struct Case {
        const char* name;
        int code;
        QRect afterGrowingBy100x50;
    };
    const Case cases[] = {
        {"fixed", 3, QRect(10, 10, 50, 20)},   {"right", 5, QRect(110, 10, 50, 20)},
        {"width", 7, QRect(10, 10, 150, 20)},  {"bottom", 10, QRect(10, 60, 50, 20)},
        {"height", 11, QRect(10, 10, 50, 70)}, {"both", 15, QRect(10, 10, 150, 70)},
    };
    for (const Case& c : cases) {
        auto* w = new QWidget(&window);
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(10, 10, 50, 20);
    }
    controls::VXL_RESIZEFORM resize(&window);
    QObject::connect(&resize, &controls::VXL_RESIZEFORM::RegisterControls, [&] {
        for (const Case& c : cases)
            resize.AddControl(QString::fromLatin1(c.name), c.code);
    });
    resize.Start();
    window.show();
    window.resize(500, 350);
    for (const Case& c : cases)
        EXPECT_EQ(window.findChild<QWidget*>(QString::fromLatin1(c.name))->geometry(), c.afterGrowingBy100x50)
            << c.name;
    EXPECT_THROW(resize.AddControl(QStringLiteral("missing"), 3), core::ComError);
    EXPECT_THROW(resize.AddControl(QStringLiteral("fixed"), 16), core::ComError);
}

TEST_F(Controls, ResizeFormAnsweredTrueScalesEveryControl) {
    QWidget window;
    window.resize(200, 100);
    auto* w = new QWidget(&window);
    w->setGeometry(20, 10, 40, 20);
    controls::VXL_RESIZEFORM resize(&window);
    QObject::connect(&resize, &controls::VXL_RESIZEFORM::QueryProportional, [](bool* p) { *p = true; });
    resize.Start();
    window.show();
    window.resize(400, 200);
    EXPECT_EQ(w->geometry(), QRect(40, 20, 80, 40));
    resize.Start(); // a later start keeps the design positions
    EXPECT_EQ(w->geometry(), QRect(40, 20, 80, 40));
}

TEST_F(Controls, MdiControlAsksForItsPlaceInsideTheArea) {
    QMdiArea area;
    area.resize(1200, 900);
    auto* window = new QWidget;
    controls::MDIActiveX mdi(window);
    int asked = 0;
    QObject::connect(&mdi, &controls::MDIActiveX::PlacementRequest, [&] {
        ++asked;
        mdi.SetPlacement(0, 30, 1440, 720);
    });
    QMdiSubWindow* sub = area.addSubWindow(window);
    area.show();
    sub->show();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(mdi.lastPlacement(), QRect(0, 30, 1440, 720));
    EXPECT_EQ(sub->width(), controls::twipsToPixels(1440, window));
}

} // namespace
