#pragma once
// What a folder's pie is made of: a section for each subfolder large enough, for the folder's
// own files (taken together, or each large file alone), and for what is too small, taken
// together. Every section is linked to what it stands for by its Tag, the index of its entry in
// the list the build returns.

#include <QString>
#include <cstdint>
#include <vector>

#include "config/AppConfiguration.h"
#include "draw/SystemColors.h"
#include "engine/FolderTree.h"

class THPieChart;

// What a pie item is: a single file, a folder, or a group ("Files in this folder", "Other
// smaller folders", "Other smaller files", "This folder (0 bytes)").
enum class TItemKind : uint8_t { File = 0, Folder = 1, Other = 3 };

// The cursors over the pie, by the numbers the pie's items carry.
enum TPieCursor : int { crPieDefault = 0, crZoomIn = 5, crZoomOut = 6 };

// What one section of the pie stands for.
struct TSectionInfo {
    engine::TFolderNode* Node = nullptr;  // subfolders, the folder itself, "Files in this folder"
    int64_t Size = 0;                     // tree size of a folder, length of a file
    int64_t Wasted = 0;                   // at the cluster size the views show
    int Cursor = crPieDefault;
    QString Name;  // as the tree shows it, the file name, or the group's text
    QString Path;  // the full path; a group's is its name
    TItemKind Kind = TItemKind::Other;
};

// The settings and figures a pie is built with.
struct TPieSettings {
    bool IncludeWasted = true;
    bool ShowFileNames = true;
    int ShowPercent = 1;  // 0 none, 1 the share in percent, 2 the size
    bool SortAscending = false;
    double MinFileAngle = 2.0;
    double MinFolderAngle = 1.0;
    TAppColors Colors = DefaultAppColors;
    int32_t DriveClusterSize = -1;  // the presented folder's drive's own
    // Sections measure the space on disk (which holds the slack), not lengths and wasted space.
    bool MeasureOnDisk = false;
};

// True for the section of the files too small for one of their own ("Other smaller files").
bool IsSmallerFilesGroup(const TSectionInfo& info);

// The program's settings as they stand, for a folder of a drive with this cluster size.
TPieSettings CurrentPieSettings(int32_t driveClusterSize);

// Fills the chart (cleared first, under its update lock) with the pie of node, which has a
// record, and returns what the sections stand for: entry 0 is the folder itself, and each
// section's Tag is the index of its entry. With ShowFileNames the folder's files are listed
// when the disk lists what its record counts.
std::vector<TSectionInfo> BuildPie(THPieChart& chart, engine::TFolderNode& node,
                                   const TPieSettings& settings);
