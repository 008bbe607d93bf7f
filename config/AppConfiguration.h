#pragma once
// The program's settings.
//
// Everything lives below AppRegistryKey: section "Options" holds OptionsGroup, the colour table
// ("Colors", 72 bytes) and the three pie thresholds (8-byte doubles); section "Desktop" holds
// DesktopGroup and the main window's placement. LoadSettings runs first when the main window is
// created and SaveSettings last when it is destroyed; in between the program reads and assigns
// the values in memory.

#include <QString>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>

#include "config/Options.h"

// The program's key path below HKEY_CURRENT_USER.
inline const QString AppRegistryKey = QStringLiteral("Software\\Norvane\\Quillon Pro");

// The option groups of sections "Options" and "Desktop"; null outside LoadSettings..SaveSettings.
extern std::unique_ptr<TOptions> OptionsGroup;
extern std::unique_ptr<TOptions> DesktopGroup;

// The option objects, owned by their groups: pointers that LoadSettings sets and SaveSettings
// sets back to null. Read and assign their Value directly.
// Section "Options", in the order of loading and saving:
extern TBoolOption* optIncludeWastedInformation;   // true
extern TBoolOption* optShowFileNames;              // true
extern TIntOption* optShowPercentInPie;            // 1: 0 none, 1 percentages, 2 sizes
extern TBoolOption* optAutoExpand;                 // true
extern TBoolOption* optAutoCollapse;               // true
extern TBoolOption* optSortAscending;              // false
extern TStrOption* optDrivesToAutoScan;            // "": upper-case letters, as "CD"
extern TBoolOption* optZIPAddSubfolders;           // true
extern TBoolOption* optZIPAddHiddenFiles;          // true
extern TBoolOption* optZIPDeleteAfterCompressing;  // true
extern TBoolOption* optZIPPasswordProtect;         // false
extern TIntOption* optZIPCompressionLevel;         // 9; always 0..9 after LoadSettings
extern TBoolOption* optZIPDeleteArchive;           // true
extern TBoolOption* optCountHardLinksOnce;         // false: counted under every name
extern TBoolOption* optKeepFileDetails;            // true: scans keep every file in a store
extern TBoolOption* optMeasureSpaceOnDisk;         // false: the pie measures files by length
// Section "Desktop":
extern TBoolOption* optViewToolbar;           // true
extern TBoolOption* optViewStatusBar;         // true
extern TBoolOption* optViewFolderTree;        // true
extern TBoolOption* optPieSectionSizeWindow;  // true
extern TBoolOption* optShowSurvey;            // true

// The subfolder page's values in section "Options". They are not in the option groups: the page
// reads them when the main window is made and writes them when it goes, with the one-shot
// store functions. A stored value outside its range reads as the default.
struct TPageSetting {
    const char* name;
    int32_t fallback;
    int32_t min;
    int32_t max;
    bool magnitude = false;  // the range is that of the absolute value
};
inline constexpr TPageSetting FoldersDisplayType{"FoldersDisplayType", 2, 0, 2};
inline constexpr TPageSetting FoldersDisplayTopX{"FoldersDisplayTopX", 10, 0, INT32_MAX};
inline constexpr TPageSetting FoldersDisplayLargerThan{"FoldersDisplayLargerThan", 1, 0, 32767};
inline constexpr TPageSetting FoldersDisplayLargerThanUnit{"FoldersDisplayLargerThanUnit", 1, 0, 2};
inline constexpr TPageSetting FoldersDisplaySort{"FoldersDisplaySort", 1, 1, 8, true};

int32_t ReadPageSetting(const TPageSetting& setting);
void WritePageSetting(const TPageSetting& setting, int32_t value);

// Colour values: 0x00BBGGRR, or 0x80000000 + the index of a system colour.
constexpr int AppColorCount = 18;
using TAppColors = std::array<uint32_t, AppColorCount>;
extern const TAppColors DefaultAppColors;
extern TAppColors AppColors;

// Pie thresholds in degrees (defaults 2.0, 1.0, 5.0).
extern double MinFileSectionAngle;
extern double MinFolderSectionAngle;
extern double MinTextSectionAngle;

// Creates both groups with their defaults and loads them, the colours and the thresholds. A
// store error ends the loading there without a word: what was loaded stays, the rest keeps its
// default. Colors shorter than 72 bytes give the whole default table; a threshold that is not
// 8 bytes holding a number from 0 to 360 keeps its default; a compression level outside 0..9
// becomes 9.
void LoadSettings();

// Saves both groups, the colours and the thresholds, in that order, stopping at the first
// failure, then destroys the groups (also after a failure). Returns the store's message of the
// failure for the caller to show, empty when everything was written. Without a LoadSettings
// before it, it writes nothing.
[[nodiscard]] QString SaveSettings();
