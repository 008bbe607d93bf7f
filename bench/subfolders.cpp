// bench_subfolders: how long the subfolders page takes to list a folder of many subfolders and
// to sort the list again on a header click, on a synthetic folder (no disk involved).
//
//   bench_subfolders [SUBFOLDERS] [ROUNDS]     defaults: 20000 subfolders, 5 rounds
//
// Prints the median of each measurement in milliseconds. Runs on the offscreen platform.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"
#include "platform/LocalTime.h"
#include "views/SubfoldersPage.h"

namespace {

// A folder of n subfolders with records of assorted sizes and dates.
engine::TFolderNode* MakeFolder(engine::TFolderTree& tree, int n) {
    QRandomGenerator random(1);
    engine::TFolderNode* top = tree.AppendDrive('B', QStringLiteral("bench (B:)"));
    auto total = std::make_unique<engine::TFolderSize>();
    std::vector<std::unique_ptr<engine::TFolderNode>> children;
    for (int i = 0; i < n; ++i) {
        children.push_back(std::make_unique<engine::TFolderNode>(
            QStringLiteral("folder %1").arg(random.bounded(1'000'000)), top));
        auto r = std::make_unique<engine::TFolderSize>();
        r->TreeSize = int64_t(random.bounded(1 << 30)) * random.bounded(16);
        r->TreeWasted = random.bounded(1 << 20);
        r->TreeFileCount = random.bounded(10'000);
        r->TreeFolderCount = random.bounded(1'000);
        r->LastAccessTime = 130'000'000'000'000'000ULL + random.bounded(1 << 30) * 1000ULL;
        r->LastWriteTime = r->LastAccessTime;
        total->TreeSize += r->TreeSize;
        engine::TFolderTree::SetRecord(children.back().get(), std::move(r));
    }
    engine::TFolderTree::AttachChildren(top, std::move(children));
    engine::TFolderTree::SetRecord(top, std::move(total));
    return top;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::PinLocalTimeZone();
    QApplication app(argc, argv);
    const int subfolders = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    LoadSettings();

    engine::TFolderTree tree;
    engine::TFolderNode* folder = MakeFolder(tree, subfolders);
    TSubfoldersPage page;
    page.resize(900, 600);
    page.show();
    page.findChild<QComboBox*>("cbFoldersDisplayType")->setCurrentIndex(2);  // all folders
    auto* list = page.findChild<QTreeWidget*>("TheFilesList");
    const TPresentation presentation{folder, "B:\\", u'B', 4096, -1, -1};

    std::vector<double> builds, sorts;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        page.Forget();
        timer.start();
        page.Present(presentation);
        QCoreApplication::processEvents();
        builds.push_back(double(timer.nsecsElapsed()) / 1e6);
        for (int column = 0; column < 8; ++column) {
            timer.start();
            emit list->header()->sectionClicked(column);
            QCoreApplication::processEvents();
            sorts.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::printf("subfolders=%d rounds=%d build_ms=%.1f sort_ms=%.1f (median over all columns)\n",
                list->topLevelItemCount(), rounds, Median(builds), Median(sorts));
    (void)SaveSettings();
    return 0;
}
