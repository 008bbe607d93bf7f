#include "config/AppConfiguration.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace {

const QString kOptions = QStringLiteral("Options");
const QString kDesktop = QStringLiteral("Desktop");

// The settings table: kind, value name and default, in the order of loading and saving.
#define QUILLON_OPTIONS_SECTION(X)           \
    X(Bool, IncludeWastedInformation, true)  \
    X(Bool, ShowFileNames, true)             \
    X(Int, ShowPercentInPie, 1)              \
    X(Bool, AutoExpand, true)                \
    X(Bool, AutoCollapse, true)              \
    X(Bool, SortAscending, false)            \
    X(Str, DrivesToAutoScan, QString())      \
    X(Bool, ZIPAddSubfolders, true)          \
    X(Bool, ZIPAddHiddenFiles, true)         \
    X(Bool, ZIPDeleteAfterCompressing, true) \
    X(Bool, ZIPPasswordProtect, false)       \
    X(Int, ZIPCompressionLevel, 9)           \
    X(Bool, ZIPDeleteArchive, true)          \
    X(Bool, CountHardLinksOnce, false)       \
    X(Bool, KeepFileDetails, true)           \
    X(Bool, MeasureSpaceOnDisk, false)

#define QUILLON_DESKTOP_SECTION(X)      \
    X(Bool, ViewToolbar, true)          \
    X(Bool, ViewStatusBar, true)        \
    X(Bool, ViewFolderTree, true)       \
    X(Bool, PieSectionSizeWindow, true) \
    X(Bool, ShowSurvey, true)

constexpr double kDefaultFileAngle = 2.0;
constexpr double kDefaultFolderAngle = 1.0;
constexpr double kDefaultTextAngle = 5.0;

}  // namespace

#define QUILLON_DEFINE_OPTION(kind, name, fallback) T##kind##Option* opt##name = nullptr;
QUILLON_OPTIONS_SECTION(QUILLON_DEFINE_OPTION)
QUILLON_DESKTOP_SECTION(QUILLON_DEFINE_OPTION)
#undef QUILLON_DEFINE_OPTION

std::unique_ptr<TOptions> OptionsGroup;
std::unique_ptr<TOptions> DesktopGroup;

const TAppColors DefaultAppColors = {
    0x80000005,  // Pie - Background: window background
    0x00000000,  // Pie - Lines
    0x0000FF00,  // Pie - Normal Folder
    0x0000FFFF,  // Pie - Files in current folder
    0x00C6FFC6,  // Pie - Other folders
    0x00FFFF00,  // Pie - File
    0x0000FFFF,  // Pie - Other files
    0x80000018,  // Pie - Text rect background: tooltip background
    0x00000000,  // Pie - Text rect lines
    0x00000000,  // Pie - Text
    0x0000FFFF,  // Pie - Text rect background (highlighted)
    0x00000000,  // Pie - Text rect lines (highlighted)
    0x00000000,  // Pie - Text (highlighted)
    0x80000005,  // Not scanned panel: window background
    0x0000FF00,  // Pie - Section Size
    0x000000FF,  // Pie - Section Wasted
    0x0000FF00,  // Pie - Free space
    0x000000FF,  // Tree Bar Chart - Bars Color
};
TAppColors AppColors = DefaultAppColors;

double MinFileSectionAngle = kDefaultFileAngle;
double MinFolderSectionAngle = kDefaultFolderAngle;
double MinTextSectionAngle = kDefaultTextAngle;

namespace {

constexpr int kColorBytes = AppColorCount * 4;

std::array<uint8_t, kColorBytes> ColorBytes(const TAppColors& colors) {
    std::array<uint8_t, kColorBytes> bytes{};
    for (int i = 0; i < AppColorCount; ++i)
        for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = uint8_t(colors[i] >> (8 * b));
    return bytes;
}

TAppColors ColorsOf(const std::array<uint8_t, kColorBytes>& bytes) {
    TAppColors colors{};
    for (int i = 0; i < AppColorCount; ++i)
        for (int b = 3; b >= 0; --b) colors[i] = (colors[i] << 8) | bytes[i * 4 + b];
    return colors;
}

std::array<uint8_t, 8> AngleBytes(double angle) {
    const uint64_t bits = std::bit_cast<uint64_t>(angle);
    std::array<uint8_t, 8> bytes{};
    for (int b = 0; b < 8; ++b) bytes[b] = uint8_t(bits >> (8 * b));
    return bytes;
}

// A threshold the options dialog could have given: a whole double from 0 to 360 degrees. A
// shorter or nonsensical value would draw a pie nobody asked for, so it keeps the default.
void ReadAngle(TBinRegIniFile& store, const QString& name, double& angle) {
    std::array<uint8_t, 8> bytes{};
    if (store.ReadBinary(kOptions, name, int32_t(bytes.size()), bytes.data()) != 8) return;
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | bytes[b];
    const double value = std::bit_cast<double>(bits);
    if (std::isfinite(value) && value >= 0.0 && value <= 360.0) angle = value;
}

void WriteAngle(TBinRegIniFile& store, const QString& name, double angle) {
    const auto bytes = AngleBytes(angle);
    store.WriteBinary(kOptions, name, int32_t(bytes.size()), bytes.data());
}

void ForgetGroups() {
#define QUILLON_FORGET_OPTION(kind, name, fallback) opt##name = nullptr;
    QUILLON_OPTIONS_SECTION(QUILLON_FORGET_OPTION)
    QUILLON_DESKTOP_SECTION(QUILLON_FORGET_OPTION)
#undef QUILLON_FORGET_OPTION
    OptionsGroup.reset();
    DesktopGroup.reset();
}

}  // namespace

void LoadSettings() {
    ForgetGroups();
    OptionsGroup = std::make_unique<TOptions>(AppRegistryKey, kOptions);
#define QUILLON_ADD_OPTION(kind, name, fallback) \
    opt##name = OptionsGroup->Add##kind(QStringLiteral(#name), fallback);
    QUILLON_OPTIONS_SECTION(QUILLON_ADD_OPTION)
#undef QUILLON_ADD_OPTION
    DesktopGroup = std::make_unique<TOptions>(AppRegistryKey, kDesktop);
#define QUILLON_ADD_OPTION(kind, name, fallback) \
    opt##name = DesktopGroup->Add##kind(QStringLiteral(#name), fallback);
    QUILLON_DESKTOP_SECTION(QUILLON_ADD_OPTION)
#undef QUILLON_ADD_OPTION

    AppColors = DefaultAppColors;
    MinFileSectionAngle = kDefaultFileAngle;
    MinFolderSectionAngle = kDefaultFolderAngle;
    MinTextSectionAngle = kDefaultTextAngle;

    try {
        OptionsGroup->Load();
        DesktopGroup->Load();
        TBinRegIniFile store(AppRegistryKey);
        std::array<uint8_t, kColorBytes> colors{};
        if (store.ReadBinary(kOptions, QStringLiteral("Colors"), kColorBytes, colors.data()) ==
            kColorBytes)
            AppColors = ColorsOf(colors);
        ReadAngle(store, QStringLiteral("MinFileSectionAngle"), MinFileSectionAngle);
        ReadAngle(store, QStringLiteral("MinFolderSectionAngle"), MinFolderSectionAngle);
        ReadAngle(store, QStringLiteral("MinTextSectionAngle"), MinTextSectionAngle);
    } catch (const std::exception&) {
        // Settings that cannot be read keep their defaults; nobody is told.
    }

    if (optZIPCompressionLevel->Value < 0 || optZIPCompressionLevel->Value > 9)
        optZIPCompressionLevel->Value = 9;
}

QString SaveSettings() {
    if (!OptionsGroup || !DesktopGroup) return {};
    QString error;
    try {
        OptionsGroup->Save();
        DesktopGroup->Save();
        TBinRegIniFile store(AppRegistryKey);
        const auto colors = ColorBytes(AppColors);
        store.WriteBinary(kOptions, QStringLiteral("Colors"), kColorBytes, colors.data());
        WriteAngle(store, QStringLiteral("MinFileSectionAngle"), MinFileSectionAngle);
        WriteAngle(store, QStringLiteral("MinFolderSectionAngle"), MinFolderSectionAngle);
        WriteAngle(store, QStringLiteral("MinTextSectionAngle"), MinTextSectionAngle);
    } catch (const ERegistryException& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    ForgetGroups();
    return error;
}

int32_t ReadPageSetting(const TPageSetting& setting) {
    const int32_t value =
        RegReadInteger(AppRegistryKey, kOptions, QLatin1String(setting.name), setting.fallback);
    const int64_t checked = setting.magnitude ? std::abs(int64_t(value)) : value;
    return checked >= setting.min && checked <= setting.max ? value : setting.fallback;
}

void WritePageSetting(const TPageSetting& setting, int32_t value) {
    RegWriteInteger(AppRegistryKey, kOptions, QLatin1String(setting.name), value);
}
