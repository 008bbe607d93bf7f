// The settings table, its load and save rules, window placement and centring.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "config/AppConfiguration.h"
#include "tests/config/SettingsHome.h"
#include "tests/fixtures/QtPrinters.h"

using platform::SettingsValueType;

namespace {

const QString kOptionsKey = AppRegistryKey + QStringLiteral("\\Options");
const QString kOptions = QStringLiteral("Options");
const QString kDesktop = QStringLiteral("Desktop");

// The in-memory values of the table, gathered for comparison.
struct Snapshot {
    std::vector<std::pair<QString, QString>> options;  // name, value as text
    TAppColors colors{};
    std::array<double, 3> angles{};

    static Snapshot Take() {
        Snapshot s;
        for (const auto* group : {OptionsGroup.get(), DesktopGroup.get()}) {
            for (const auto& item : group->Items) {
                QString value;
                if (auto* i = dynamic_cast<TIntOption*>(item.get()))
                    value = QString::number(i->Value);
                if (auto* b = dynamic_cast<TBoolOption*>(item.get()))
                    value = b->Value ? "true" : "false";
                if (auto* t = dynamic_cast<TStrOption*>(item.get())) value = '"' + t->Value + '"';
                s.options.emplace_back(group->Section + '\\' + item->Name, value);
            }
        }
        s.colors = AppColors;
        s.angles = {MinFileSectionAngle, MinFolderSectionAngle, MinTextSectionAngle};
        return s;
    }
    bool operator==(const Snapshot&) const = default;
};

Snapshot Defaults() {
    Snapshot s;
    const char* options[][2] = {
        {"Options\\IncludeWastedInformation", "true"},
        {"Options\\ShowFileNames", "true"},
        {"Options\\ShowPercentInPie", "1"},
        {"Options\\AutoExpand", "true"},
        {"Options\\AutoCollapse", "true"},
        {"Options\\SortAscending", "false"},
        {"Options\\DrivesToAutoScan", "\"\""},
        {"Options\\ZIPAddSubfolders", "true"},
        {"Options\\ZIPAddHiddenFiles", "true"},
        {"Options\\ZIPDeleteAfterCompressing", "true"},
        {"Options\\ZIPPasswordProtect", "false"},
        {"Options\\ZIPCompressionLevel", "9"},
        {"Options\\ZIPDeleteArchive", "true"},
        {"Options\\CountHardLinksOnce", "false"},
        {"Desktop\\ViewToolbar", "true"},
        {"Desktop\\ViewStatusBar", "true"},
        {"Desktop\\ViewFolderTree", "true"},
        {"Desktop\\PieSectionSizeWindow", "true"},
        {"Desktop\\ShowSurvey", "true"},
    };
    for (const auto& [name, value] : options) s.options.emplace_back(name, value);
    s.colors = {0x80000005, 0, 0x00FF00, 0x00FFFF,   0xC6FFC6, 0xFFFF00, 0x00FFFF, 0x80000018, 0, 0,
                0x00FFFF,   0, 0,        0x80000005, 0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF};
    s.angles = {2.0, 1.0, 5.0};
    return s;
}

QByteArray AngleBytes(double angle) {
    const auto bits = std::bit_cast<uint64_t>(angle);
    QByteArray bytes;
    for (int b = 0; b < 8; ++b) bytes.append(char(bits >> (8 * b)));
    return bytes;
}

void PutBinary(const SettingsHome& home, const QString& name, const QByteArray& bytes) {
    home.put(kOptionsKey, name, SettingsValueType::Binary, bytes);
}

// Loads, keeps what was loaded, and saves again so that no test leaves the groups behind.
Snapshot LoadAndKeep() {
    LoadSettings();
    Snapshot s = Snapshot::Take();
    EXPECT_EQ(SaveSettings(), QString());
    return s;
}

}  // namespace

TEST(AppConfiguration, FirstRunGivesEveryDefaultAndSavingWritesAReadableFile) {
    SettingsHome home;
    LoadSettings();
    ASSERT_NE(optZIPCompressionLevel, nullptr);
    EXPECT_TRUE(Snapshot::Take() == Defaults());
    EXPECT_EQ(AppColors, DefaultAppColors);
    EXPECT_FALSE(home.text().contains('='));
    EXPECT_EQ(SaveSettings(), QString());
    EXPECT_EQ(OptionsGroup, nullptr);
    EXPECT_EQ(optIncludeWastedInformation, nullptr);

    const QString text = QString::fromUtf8(home.text());
    const qsizetype options =
        text.indexOf("[HKEY_CURRENT_USER\\Software\\Norvane\\Quillon Pro\\Options]\r\n");
    ASSERT_GE(options, 0) << text.toStdString();
    const qsizetype nextKey = text.indexOf('[', options + 1);
    const QString section = text.mid(options, nextKey < 0 ? -1 : nextKey - options);
    EXPECT_TRUE(section.contains("\r\n\"IncludeWastedInformation\"=\"1\"\r\n"));
    EXPECT_TRUE(section.contains("\r\n\"ZIPCompressionLevel\"=\"9\"\r\n"));
    EXPECT_TRUE(section.contains("\r\n\"DrivesToAutoScan\"=\"\"\r\n"));

    // Colors: 72 bytes of hex, the default table little-endian, wrapped over indented lines.
    const auto colors =
        QRegularExpression("\"Colors\"=hex:((?:[0-9a-f]{2},(?:\\\\\r\n  )?)*[0-9a-f]{2})\r\n")
            .match(section);
    ASSERT_TRUE(colors.hasMatch()) << section.toStdString();
    QString hex = colors.captured(1);
    hex.remove("\\\r\n  ").remove(',');
    EXPECT_EQ(hex.size(), 144);
    EXPECT_TRUE(hex.startsWith("0500008000000000"));
    EXPECT_TRUE(section.contains("\"MinFileSectionAngle\"=hex:00,00,00,00,00,00,00,40\r\n"));

    const qsizetype desktop =
        text.indexOf("[HKEY_CURRENT_USER\\Software\\Norvane\\Quillon Pro\\Desktop]\r\n");
    ASSERT_GE(desktop, 0);
    EXPECT_TRUE(text.indexOf("\"ShowSurvey\"=\"1\"", desktop) > desktop);
}

TEST(AppConfiguration, EveryValueSurvivesSavingAndLoading) {
    SettingsHome home;
    LoadSettings();
    optIncludeWastedInformation->Value = false;
    optShowFileNames->Value = false;
    optShowPercentInPie->Value = 2;
    optAutoExpand->Value = false;
    optAutoCollapse->Value = false;
    optSortAscending->Value = true;
    optDrivesToAutoScan->Value = QStringLiteral("CD");
    optZIPAddSubfolders->Value = false;
    optZIPAddHiddenFiles->Value = false;
    optZIPDeleteAfterCompressing->Value = false;
    optZIPPasswordProtect->Value = true;
    optZIPCompressionLevel->Value = 0;
    optZIPDeleteArchive->Value = false;
    optCountHardLinksOnce->Value = true;
    optViewToolbar->Value = false;
    optViewStatusBar->Value = false;
    optViewFolderTree->Value = false;
    optPieSectionSizeWindow->Value = false;
    optShowSurvey->Value = false;
    for (int i = 0; i < AppColorCount; ++i) AppColors[i] = 0x00010203u * uint32_t(i + 1);
    MinFileSectionAngle = 0.1;
    MinFolderSectionAngle = 360.0;
    MinTextSectionAngle = 0.0;
    const Snapshot saved = Snapshot::Take();
    for (const auto& option : saved.options) {
        const auto byName = [&](const auto& d) { return d.first == option.first; };
        EXPECT_NE(
            option.second,
            std::find_if(Defaults().options.begin(), Defaults().options.end(), byName)->second)
            << option.first.toStdString() << " is left at its default by this test";
    }
    ASSERT_EQ(SaveSettings(), QString());

    EXPECT_TRUE(LoadAndKeep() == saved);
}

TEST(AppConfiguration, ACompressionLevelOutsideZeroToNineBecomesNine) {
    const struct {
        const char* stored;
        int32_t loaded;
    } cases[] = {{"12", 9}, {"-1", 9}, {"0", 0}, {"5", 5}, {"0x9", 9}, {"ten", 9}};
    for (const auto& c : cases) {
        SettingsHome home;
        RegWriteString(AppRegistryKey, kOptions, "ZIPCompressionLevel", c.stored);
        LoadSettings();
        EXPECT_EQ(optZIPCompressionLevel->Value, c.loaded) << c.stored;
        EXPECT_EQ(SaveSettings(), QString());
    }
}

TEST(AppConfiguration, ColorsAreTakenOnlyAsAWholeTable) {
    QByteArray custom;
    for (int i = 0; i < 72; ++i) custom.append(char(i));
    {
        SettingsHome home;
        PutBinary(home, "Colors", custom);
        EXPECT_EQ(LoadAndKeep().colors[1], 0x07060504u);
    }
    {
        SettingsHome home;
        PutBinary(home, "Colors", custom.left(40));
        PutBinary(home, "MinTextSectionAngle", AngleBytes(7.5));
        const Snapshot loaded = LoadAndKeep();
        EXPECT_EQ(loaded.colors, DefaultAppColors);
        EXPECT_EQ(loaded.angles[2], 7.5);
    }
}

TEST(AppConfiguration, AnUnreadableValueEndsLoadingThereAndLeavesTheRestAtTheirDefaults) {
    SettingsHome home;
    RegWriteBool(AppRegistryKey, kOptions, "IncludeWastedInformation", false);
    PutBinary(home, "ShowFileNames", "\x00");
    RegWriteInteger(AppRegistryKey, kOptions, "ShowPercentInPie", 2);
    RegWriteBool(AppRegistryKey, kDesktop, "ViewToolbar", false);
    PutBinary(home, "Colors", QByteArray(72, '\x01'));
    PutBinary(home, "MinFileSectionAngle", AngleBytes(3.0));

    Snapshot expected = Defaults();
    expected.options[0].second = "false";
    EXPECT_TRUE(LoadAndKeep() == expected);

    // Colors too long for their table stop the loading before the angles.
    SettingsHome other;
    PutBinary(other, "Colors", QByteArray(100, '\x01'));
    PutBinary(other, "MinFileSectionAngle", AngleBytes(3.0));
    RegWriteBool(AppRegistryKey, kDesktop, "ViewToolbar", false);
    expected = Defaults();
    expected.options[14].second = "false";
    EXPECT_TRUE(LoadAndKeep() == expected);
}

TEST(AppConfiguration, AnAngleThatIsNoThresholdKeepsItsDefault) {
    const struct {
        QByteArray stored;
        double loaded;
    } cases[] = {
        {AngleBytes(90.0), 90.0},
        {AngleBytes(3.0).left(4), 2.0},
        {AngleBytes(std::numeric_limits<double>::quiet_NaN()), 2.0},
        {AngleBytes(std::numeric_limits<double>::infinity()), 2.0},
        {AngleBytes(400.0), 2.0},
        {AngleBytes(-1.0), 2.0},
    };
    for (const auto& c : cases) {
        SettingsHome home;
        PutBinary(home, "MinFileSectionAngle", c.stored);
        PutBinary(home, "MinTextSectionAngle", AngleBytes(8.0));
        const Snapshot loaded = LoadAndKeep();
        EXPECT_EQ(loaded.angles[0], c.loaded) << c.stored.toHex().data();
        EXPECT_EQ(loaded.angles[2], 8.0) << "loading went on after " << c.stored.toHex().data();
    }
}

TEST(AppConfiguration, AFailedSaveIsReportedAndStillDestroysTheGroups) {
    SettingsHome home;
    LoadSettings();
    home.block();
    EXPECT_EQ(SaveSettings(), QStringLiteral("Failed to create key Options"));
    EXPECT_EQ(OptionsGroup, nullptr);
    EXPECT_EQ(DesktopGroup, nullptr);
    EXPECT_EQ(optViewToolbar, nullptr);
    EXPECT_EQ(SaveSettings(), QString()) << "nothing loaded, nothing to save";
}

namespace {

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
