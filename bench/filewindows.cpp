// bench_filewindows: how long the file windows take to open on the root of a drive of many
// files (Largest Files, File Types) and to search it by name (Find in Scan), filled, shown and
// painted, and what the treemap of the root costs (laid out and painted at 1200 x 800, again
// after a resize to 1000 x 700, and the answer to a pointer moving over it), on the synthetic
// trees of ../shared/bench/make-tree.sh mapped as drive B.
//
//   bench_filewindows [TREE] [ROUNDS] [TEXT]    defaults: $QUILLON_BENCH_DIR/large
//                                               (/tmp/quillon-bench), 5 rounds, "a"
//
// The tree is scanned once with file details kept; each round opens each window on the drive's
// root. Prints the median milliseconds from the request to the first painted list. Runs on the
// offscreen platform, with settings in a temporary folder.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/BenchSupport.h"
#include "config/AppConfiguration.h"
#include "engine/FileStore.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "views/FileRows.h"
#include "views/FileTypesBox.h"
#include "views/FindBox.h"
#include "views/LargestFilesBox.h"
#include "views/TreemapBox.h"

namespace {

// Milliseconds from fill to the list's first paint, the window shown.
double Open(QDialog& window, QWidget& list, const std::function<void()>& fill) {
    TPaintCounter counter;
    list.installEventFilter(&counter);
    QElapsedTimer timer;
    timer.start();
    fill();
    window.show();
    while (counter.paints == 0 && timer.elapsed() < 10'000) QCoreApplication::processEvents();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    list.removeEventFilter(&counter);
    window.reject();
    QCoreApplication::processEvents();
    return ms;
}

}  // namespace

int main(int argc, char* argv[]) {
    const TBenchApplication app(argc, argv);

    const QString treePath = BenchTreeArgument(argc, argv);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QString text = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("a");
    if (!QFileInfo(treePath).isDir()) {
        std::fprintf(stderr, "bench_filewindows: no tree at %s\n", qPrintable(treePath));
        return 2;
    }
    MapAsDriveB(treePath);

    engine::TFolderTree tree;
    engine::DriveRecord* drive = engine::ScannedDrives().Add('B');
    engine::TFolderNode* root = ScanDriveB(tree, *drive);
    if (!root) {
        std::fprintf(stderr, "bench_filewindows: the scan of %s failed\n", qPrintable(treePath));
        return 1;
    }

    std::vector<double> largest, types, find;
    int found = 0;
    {
        TLargestFilesBox files;
        TFileTypesBox kinds;
        TFindBox search;
        for (int round = 0; round < rounds; ++round) {
            largest.push_back(
                Open(files, *files.FileList->viewport(), [&] { files.Fill(root, false); }));
            types.push_back(Open(kinds, *kinds.TypeList->viewport(), [&] { kinds.Fill(root); }));
            find.push_back(Open(search, *search.FoundList->viewport(), [&] {
                search.Fill(root, {root});
                search.ediText->setText(text);
                search.Find();
                found = search.FoundList->topLevelItemCount();
            }));
        }
    }
    std::vector<double> layout, resized, hover;
    size_t tiles = 0;
    {
        TTreemapBox treemap;
        QElapsedTimer timer;
        for (int round = 0; round < rounds; ++round) {
            treemap.View->resize(1200, 800);
            timer.start();
            treemap.Fill(root, false);
            layout.push_back(double(timer.nsecsElapsed()) / 1e6);
            tiles = treemap.Tiles().size();
            timer.start();
            treemap.View->resize(1000, 700);
            treemap.View->Rebuild();
            resized.push_back(double(timer.nsecsElapsed()) / 1e6);
            for (int i = 0; i < 50; ++i) {
                timer.start();
                (void)treemap.TextAt(QPointF(20 * i % 1000, 13 * i % 700));
                hover.push_back(double(timer.nsecsElapsed()) / 1e6);
            }
            treemap.reject();
        }
    }
    std::printf(
        "treemap: layout_and_paint_ms=%.1f resize_ms=%.1f hover_ms=%.2f (max %.2f) "
        "tiles=%zu\n",
        Median(layout), Median(resized), Median(hover),
        *std::max_element(hover.begin(), hover.end()), tiles);
    std::printf(
        "files=%u rounds=%d largest_ms=%.1f types_ms=%.1f find_ms=%.1f (\"%s\": %d rows "
        "shown)\n",
        drive->Files ? engine::FileStoreOf(root)->Count() : 0u, rounds, Median(largest),
        Median(types), Median(find), qPrintable(text), found);
    (void)SaveSettings();
    return 0;
}
