// The settings table and its load and save rules.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "config/AppConfiguration.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/SettingsHome.h"

using config::SettingsValueType;

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
        {"Options\\KeepFileDetails", "true"},
        {"Options\\MeasureSpaceOnDisk", "false"},
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
    optKeepFileDetails->Value = false;
    optMeasureSpaceOnDisk->Value = true;
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
    const Snapshot defaults = Defaults();
    for (const auto& option : saved.options) {
        const auto byName = [&](const auto& d) { return d.first == option.first; };
        EXPECT_NE(option.second,
                  std::find_if(defaults.options.begin(), defaults.options.end(), byName)->second)
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
    expected.options[16].second = "false";  // ViewToolbar
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
