// Window placement kept in the settings store, and dialogs centred over their owner.
#include "controls/WindowPlacement.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "config/AppConfiguration.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/SettingsHome.h"

namespace {

const QString kDesktop = QStringLiteral("Desktop");

using config::SettingsValueType;

QRect Placement(const QWidget& w) {
    return {w.x(), w.y(), w.width(), w.height()};
}

}  // namespace

TEST(WindowPlacement, RestoreAppliesTheValuesThatArePresent) {
    SettingsHome home;
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    RegWriteInteger(AppRegistryKey, kDesktop, "Left", 40);
    RegWriteInteger(AppRegistryKey, kDesktop, "Height", 250);
    RegWriteString(AppRegistryKey, kDesktop, "Width", "wide");
    RestoreFormPlacement(&window, AppRegistryKey, kDesktop);
    EXPECT_EQ(Placement(window), QRect(40, 100, 300, 250));

    // A value of the wrong type makes the whole placement unreadable, and nothing moves.
    home.put(AppRegistryKey + "\\Desktop", "Top", SettingsValueType::DWord, QByteArray(4, '\0'));
    RestoreFormPlacement(&window, AppRegistryKey, kDesktop);
    EXPECT_EQ(Placement(window), QRect(40, 100, 300, 250));
}

TEST(WindowPlacement, TheStateAndTheNormalPlacementAreStoredApart) {
    SettingsHome home;
    QRect normal;
    {
        QWidget window;
        window.setGeometry(50, 60, 320, 240);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        normal = Placement(window);
        EXPECT_EQ(SaveWindowState(&window, AppRegistryKey, kDesktop), QString());
        EXPECT_EQ(SaveFormPlacement(&window, AppRegistryKey, kDesktop), QString());
        window.showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Placement(window) != normal; }, 2000));
        EXPECT_EQ(SaveWindowState(&window, AppRegistryKey, kDesktop), QString());
    }
    EXPECT_EQ(RegReadInteger(AppRegistryKey, kDesktop, "WindowState", -1), 2);

    QWidget window;
    window.setGeometry(0, 0, 100, 100);
    RestoreFormPlacement(&window, AppRegistryKey, kDesktop);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(Placement(window), normal);
    RestoreWindowState(&window, AppRegistryKey, kDesktop);
    EXPECT_TRUE(window.isMaximized());
    window.showNormal();
    EXPECT_EQ(Placement(window), normal);
}

// The window's own area is saved and restored, so that starts and exits do not move it; a
// place off every screen is brought onto the nearest one.
TEST(WindowPlacement, AWindowComesBackWhereItWasOnAScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* name;
        QRect stored;
        QRect restored;
    } cases[] = {
        {"where it was", QRect(139, 97, 300, 200), QRect(139, 97, 300, 200)},
        {"off every screen to the left", QRect(-30000, 97, 300, 200),
         QRect(screen.left(), 97, 300, 200)},
        {"far below", QRect(139, 90000, 300, 200), QRect(139, screen.bottom() + 1 - 200, 300, 200)},
        {"larger than the screen and off it", QRect(-300000, 0, 100000, 100000), screen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsHome home;
        RegWriteInteger(AppRegistryKey, kDesktop, "Left", c.stored.x());
        RegWriteInteger(AppRegistryKey, kDesktop, "Top", c.stored.y());
        RegWriteInteger(AppRegistryKey, kDesktop, "Width", c.stored.width());
        RegWriteInteger(AppRegistryKey, kDesktop, "Height", c.stored.height());
        // Four starts and exits, each restoring after the window is shown and saving at the end.
        for (int start = 0; start < 4; ++start) {
            QWidget window;
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            RestoreFormPlacement(&window, AppRegistryKey, kDesktop);
            EXPECT_EQ(window.geometry(), c.restored) << start;
            window.close();
            EXPECT_EQ(SaveFormPlacement(&window, AppRegistryKey, kDesktop), QString());
        }
    }
}

TEST(WindowPlacement, RestoreWindowStateAppliesOnlyZeroOneAndTwo) {
    const struct {
        const char* stored;
        Qt::WindowStates expected;
    } cases[] = {
        {"0", Qt::WindowNoState},   {"1", Qt::WindowMinimized},  {"2", Qt::WindowMaximized},
        {"3", Qt::WindowMaximized}, {"-1", Qt::WindowMaximized}, {"0x1", Qt::WindowMinimized},
    };
    for (const auto& c : cases) {
        SettingsHome home;
        QWidget window;
        window.setWindowState(Qt::WindowMaximized);
        RegWriteString(AppRegistryKey, kDesktop, "WindowState", c.stored);
        RestoreWindowState(&window, AppRegistryKey, kDesktop);
        EXPECT_EQ(window.windowState(), c.expected) << c.stored;
    }
}

TEST(CenterOnForm, CentresOverTheVisiblePartOfTheOwnerAndStaysOnTheScreen) {
    const QRect screen(0, 0, 1024, 768);
    const struct {
        QRect owner;
        QSize dialog;
        QPoint expected;
    } cases[] = {
        {{100, 100, 600, 400}, {200, 100}, {300, 250}},
        // Owner sticking out over the right edge: centred over its 224 visible pixels.
        {{800, 100, 600, 400}, {100, 100}, {862, 250}},
        // Odd differences truncate toward zero, also when negative.
        {{0, 0, 101, 101}, {200, 200}, {0, 0}},
        {{500, 500, 101, 101}, {50, 50}, {525, 525}},
        {{500, 500, 100, 100}, {51, 51}, {524, 524}},
        // Owner partly above and left of the screen: the dialog's edges become 0.
        {{-300, -300, 400, 400}, {300, 300}, {0, 0}},
        // Pulled back from the bottom and right edges.
        {{900, 700, 100, 60}, {200, 200}, {824, 568}},
        // A dialog wider than the screen ends with its left edge at screen width - dialog width.
        {{100, 100, 400, 300}, {1200, 100}, {-176, 200}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CenteredPosition(c.owner, c.dialog, screen), c.expected)
            << c.owner.x() << "," << c.owner.y() << " " << c.dialog.width();
}

TEST(CenterOnForm, PlacesARealDialogOnTheOffscreenScreen) {
    QWidget owner;
    const QRect screen = owner.screen()->geometry();
    owner.setGeometry(screen.width() - 200, 50, 400, 300);  // half of it beyond the right edge
    QWidget dialog(&owner, Qt::Dialog);
    dialog.resize(100, 80);
    CenterOnForm(&owner, &dialog);
    EXPECT_EQ(dialog.pos(), QPoint(screen.width() - 200 + (200 - 100) / 2, 50 + (300 - 80) / 2));

    CenterOnForm(nullptr, &dialog);
    CenterOnForm(&owner, nullptr);
    EXPECT_EQ(dialog.pos(), QPoint(screen.width() - 150, 160));
}
