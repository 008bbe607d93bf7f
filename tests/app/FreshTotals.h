#pragma once
// The totals a fresh scan finds at a path, to compare with what the window's tree says after an
// action changed the disk.

#include <tuple>

#include "app/main.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"

namespace app_testing {

// What a record says of its folder's tree, compared as a whole.
inline auto TotalsOf(const engine::TFolderSize& r) {
    return std::make_tuple(r.TreeSize, r.TreeWasted, r.TreeFileCount, r.TreeFolderCount,
                           r.FilesSize, r.FileCount, r.SubfolderCount, r.TreeWastedAt);
}

// A scan's host that reports nowhere.
class QuietHost : public engine::IScanHost {
public:
    void ShowScanStatus(const QString&) override {}
    void ProcessPendingEvents() override {}
    void SetScanning(bool) override {}
    void FolderScanned(engine::TFolderNode*) override {}
};

inline auto FreshTotals(TMainForm& window, const QString& path) {
    QuietHost quiet;
    engine::SetScanHost(&quiet);
    engine::TFolderTree scratch;
    engine::TFolderNode* top =
        scratch.AppendDrive(char(path[0].unicode()), QStringLiteral("scratch"));
    const engine::TFolderSize* record = engine::ScanFolder(path, top);
    engine::SetScanHost(window.ScanHost());
    return TotalsOf(*record);
}

}  // namespace app_testing
