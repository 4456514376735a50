// Where windows go: a frame fitted into a screen's available geometry, a panel beside its window,
// a remembered place put back inside the screen, and the captions a question gives its buttons.
#include "TestApp.h"

#include "host/DialogResponder.h"
#include "host/UserSettings.h"
#include "host/WindowPlacement.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QRect Screen(0, 0, 1024, 768);
// A desktop with a task bar at its top and a screen that does not start at the origin.
const QRect Offset(1600, 40, 1280, 984);

TEST(WindowPlacement, FitFrameMovesAndShrinksIntoTheAvailableGeometry) {
    struct Case {
        const char* name;
        QRect frame;
        QRect available;
        QRect fitted;
    };
    const Case cases[] = {
        {"fits already", {10, 20, 300, 200}, Screen, {10, 20, 300, 200}},
        {"touches both edges", {0, 0, 1024, 768}, Screen, {0, 0, 1024, 768}},
        {"one pixel past the right edge", {725, 0, 300, 200}, Screen, {724, 0, 300, 200}},
        {"trial panel at 1418 on a 1600 screen",
         {1418, 30, 420, 520},
         {0, 0, 1600, 900},
         {1180, 30, 420, 520}},
        {"past the bottom", {50, 600, 836, 537}, Screen, {50, 231, 836, 537}},
        {"left of and above the screen", {-500, -90, 300, 200}, Screen, {0, 0, 300, 200}},
        {"wider and taller than the screen", {100, 100, 1400, 900}, Screen, {0, 0, 1024, 768}},
        {"on a screen that is gone", {3000, 2000, 640, 480}, Screen, {384, 288, 640, 480}},
        {"offset screen, left of it", {0, 0, 640, 480}, Offset, {1600, 40, 640, 480}},
        {"offset screen, past its end", {2800, 900, 640, 480}, Offset, {2240, 544, 640, 480}},
        {"empty available geometry leaves it", {5, 5, 10, 10}, QRect(), {5, 5, 10, 10}},
    };
    for (const Case& c : cases) {
        const QRect fitted = host::fitFrame(c.frame, c.available);
        EXPECT_EQ(fitted, c.fitted) << c.name;
        if (c.available.isValid()) {
            EXPECT_TRUE(c.available.contains(fitted)) << c.name;
        }
    }
}

TEST(WindowPlacement, BesideFrameTakesTheSideWithRoom) {
    struct Case {
        const char* name;
        QRect anchor;
        QSize size;
        QRect beside;
    };
    const Case cases[] = {
        {"room on the right", {0, 0, 500, 400}, {420, 520}, {500, 0, 420, 520}},
        {"exactly room on the right", {0, 10, 604, 400}, {420, 520}, {604, 10, 420, 520}},
        {"no room on the right: left", {520, 0, 500, 400}, {420, 520}, {100, 0, 420, 520}},
        {"no room on either side: over its right edge", {100, 0, 836, 537}, {420, 520}, {516, 0, 420, 520}},
        {"low anchor: kept inside at the bottom", {0, 600, 300, 100}, {420, 520}, {300, 248, 420, 520}},
        {"panel larger than the screen", {0, 0, 300, 100}, {2000, 1000}, {0, 0, 1024, 768}},
    };
    for (const Case& c : cases) {
        const QRect beside = host::besideFrame(c.anchor, c.size, Screen);
        EXPECT_EQ(beside, c.beside) << c.name;
        EXPECT_TRUE(Screen.contains(beside)) << c.name;
    }
}

TEST(WindowPlacement, CascadeFrameTakesTheFirstFreeStepInsideTheArea) {
    const QRect area(0, 0, 1000, 700);
    struct Case {
        const char* name;
        QRect first;
        QSize minimum;
        QList<QPoint> taken;
        QRect placed;
    };
    const Case cases[] = {
        {"free", {10, 10, 400, 300}, {}, {{50, 50}}, {10, 10, 400, 300}},
        {"taken: one step", {10, 10, 400, 300}, {}, {{10, 10}}, {40, 40, 400, 300}},
        {"two taken", {10, 10, 400, 300}, {}, {{10, 10}, {40, 40}}, {70, 70, 400, 300}},
        {"a gap is filled", {10, 10, 400, 300}, {}, {{10, 10}, {70, 70}}, {40, 40, 400, 300}},
        {"at the corner the window gives up size",
         {600, 400, 400, 300},
         {},
         {{600, 400}},
         {630, 430, 370, 270}},
        {"down to its minimum, then moves",
         {600, 400, 400, 300},
         {390, 290},
         {{600, 400}},
         {610, 410, 390, 290}},
        {"from beyond the area", {1900, 1300, 400, 300}, {}, {{600, 400}}, {630, 430, 370, 270}},
        {"larger than the area", {-50, -50, 1400, 900}, {}, {}, {0, 0, 1000, 700}},
        {"every step taken: the first place", {0, 0, 1000, 700}, {1000, 700}, {{0, 0}}, {0, 0, 1000, 700}},
    };
    for (const Case& c : cases) {
        const QRect placed = host::cascadeFrame(c.first, c.minimum, area, c.taken, 30);
        EXPECT_EQ(placed, c.placed) << c.name << ": " << placed.x() << ',' << placed.y() << ' '
                                    << placed.width() << 'x' << placed.height();
        EXPECT_TRUE(area.contains(placed)) << c.name;
    }
}

TEST(WindowPlacement, RememberedPlaceComesBackInsideTheScreen) {
    guiApp();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    host::UserSettings settings;
    settings.setFileName(dir.filePath(QStringLiteral("user.ini")));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QString key = host::WindowPlacement::keyFor(QStringLiteral("probe"));
    EXPECT_EQ(key, QStringLiteral("windows/probe"));
    struct Case {
        const char* name;
        QRect stored;
    };
    const Case cases[] = {
        {"inside", QRect(available.topLeft() + QPoint(30, 40), QSize(300, 200))},
        {"beyond the screen", QRect(available.bottomRight() + QPoint(500, 500), QSize(300, 200))},
        {"larger than the screen", QRect(available.topLeft(), available.size() * 2)},
    };
    for (const Case& c : cases) {
        settings.SetValue(key, c.stored);
        QWidget window;
        window.setMinimumSize(200, 150);
        auto* placement = new host::WindowPlacement(&window, &settings, key);
        EXPECT_EQ(placement->remembered(), c.stored) << c.name;
        window.show();
        EXPECT_TRUE(available.contains(window.frameGeometry()))
            << c.name << ": " << window.frameGeometry().x() << ',' << window.frameGeometry().y();
        if (available.contains(c.stored)) {
            EXPECT_EQ(window.geometry(), c.stored) << c.name;
        }
        window.move(available.topLeft() + QPoint(7, 9));
        window.hide();
        EXPECT_EQ(settings.Value(key).toRect().topLeft(), window.geometry().topLeft()) << c.name;
    }
    // No settings: only fitted, nothing written.
    settings.Remove(key);
    QWidget window;
    window.setGeometry(QRect(available.bottomRight(), QSize(100, 100)));
    new host::WindowPlacement(&window, nullptr, key);
    window.show();
    EXPECT_TRUE(available.contains(window.frameGeometry()));
    window.hide();
    EXPECT_FALSE(settings.Value(key).isValid());
}

TEST(WindowPlacement, QuestionsNameTheirButtons) {
    guiApp();
    host::Request request;
    request.title = QStringLiteral("Bozza non salvata");
    request.text = QStringLiteral("Bozza non salvata del 06/12/2026 12:00: ripristina / scarta");
    request.code = 4 | 32;
    request.captions = {QStringLiteral("Ripristina bozza"), QStringLiteral("Scarta bozza")};
    const auto box = host::messageBoxFor(request);
    ASSERT_NE(box->button(QMessageBox::Yes), nullptr);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("Ripristina bozza"));
    EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("Scarta bozza"));
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Yes));
    // Fewer captions than buttons: the rest keep their standard texts.
    request.captions = {QStringLiteral("Solo il primo")};
    const auto other = host::messageBoxFor(request);
    EXPECT_EQ(other->button(QMessageBox::Yes)->text(), QStringLiteral("Solo il primo"));
    EXPECT_FALSE(other->button(QMessageBox::No)->text().isEmpty());
    EXPECT_NE(other->button(QMessageBox::No)->text(), QStringLiteral("Solo il primo"));
}

} // namespace
