#pragma once
// Where the main window stands: the folder it presents (CurrentNode, CurrentPath), the facts of
// that folder's drive (CurrentDriveLetter, CurrentClusterSize, DriveTotal, DriveFree), the page
// that presents it (CurrentPage) and whether a scan runs, with the rules a change of selection
// follows. It holds no widget: the window asks it and shows what it says, and the pages are
// handed its presentation.

#include <QString>
#include <cstdint>

#include "views/Presentation.h"

namespace engine {
class TFolderNode;
}

class TNavigator {
public:
    engine::TFolderNode* CurrentNode() const { return node_; }
    const QString& CurrentPath() const { return path_; }
    char CurrentDriveLetter() const { return driveLetter_; }
    int32_t CurrentClusterSize() const { return clusterSize_; }
    int64_t DriveTotal() const { return driveTotal_; }
    int64_t DriveFree() const { return driveFree_; }
    int CurrentPage() const { return page_; }
    bool Scanning() const { return scanning_; }

    // The drive whose access is checked before node is selected: its own when it is a drive's
    // root or lies on another drive than the current one; 0 when none is (a folder of an
    // imported drive has no disk here, one of the current drive was checked already).
    char DriveToCheck(const engine::TFolderNode& node) const;

    // Makes node the presented folder (nullptr: none); its path becomes the current path, which
    // stays when node is nullptr (the window still speaks of it) until Clear.
    void Present(engine::TFolderNode* node);
    // True when the current node is a drive's root or lies on another drive than the one whose
    // facts were taken last: the window takes them (EnterDrive) and tells the drive's windows.
    bool EntersDrive() const;
    // Takes the facts of the drive the current path is on: its cluster size as scanned, its
    // total and free bytes as the disk says now.
    void EnterDrive();
    // The second status-bar field for the current drive: "4K Cluster (ext4)".
    QString ClusterText() const;
    // No folder is current any more: the node and the path are forgotten (the drive's facts stay
    // until another drive is entered).
    void Clear();

    // The page chosen by the user (a TPageIndex); the clean-up page offers nothing for a drive's
    // root, so a drive's root is presented on the pie instead (PageShown).
    void ChoosePage(int page) { page_ = page; }
    // The page that presents the current node, and the choice turned to it.
    int PageShown();
    // Whether a page has a tab for a node: the clean-up page only below a drive's root.
    static bool Offers(int page, const engine::TFolderNode& node);

    void SetScanning(bool on) { scanning_ = on; }

    // The notice shown where no page can present: its tab's caption and its text, for a tree
    // that holds scanned drives or none.
    static QString NoticeCaption(bool anyScanned);
    QString NoticeText(bool anyScanned) const;

    // A node and its subtree leave the tree: the current node is let go of when it is among them.
    void NodeLeaving(const engine::TFolderNode* gone);

    // What a page is handed to present the current node.
    TPresentation Presentation(bool includeWasted) const;

private:
    engine::TFolderNode* node_ = nullptr;
    QString path_;
    char driveLetter_ = 0;
    int32_t clusterSize_ = -1;
    int64_t driveTotal_ = -1;
    int64_t driveFree_ = -1;
    int page_ = PagePieChart;
    bool scanning_ = false;
};
