#pragma once
// What the main window hands a view page, and the pages' order: plain values, without a widget,
// so that the window's navigation state can speak of them too.

#include <QChar>
#include <QString>
#include <cstdint>

namespace engine {
class TFolderNode;
}

// The five view pages in the order of the page control (after the notice page).
enum TPageIndex : int {
    PagePieChart = 0,
    PageFolderInfo,
    PageSubfolders,
    PageWastedSpace,
    PageCleanUp
};

// What the window hands a page: the folder it presents and the facts of the folder's drive.
struct TPresentation {
    engine::TFolderNode* Node = nullptr;  // has a record
    QString Path;                         // NodePath of Node
    QChar DriveLetter;
    int32_t ClusterSize = -1;  // the drive's own, -1 when unknown
    int64_t DriveTotal = -1;
    int64_t DriveFree = -1;
    bool IncludeWasted = false;  // sizes count the wasted space (the toolbar's switch)
};
