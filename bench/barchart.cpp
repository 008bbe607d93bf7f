// bench_barchart: how long the tree bar chart window takes to open on a drive of many folders
// (fill, show, first paint of the rows) and to scroll through the list, on the synthetic trees
// of ../shared/bench/make-tree.sh mapped as drive B.
//
//   bench_barchart [TREE] [ROUNDS]     defaults: $QUILLON_BENCH_DIR/large (/tmp/quillon-bench),
//                                      5 rounds
//
// The tree is scanned once with the engine; each round then opens the window on the drive's
// root and scrolls: 300 pages down from the top, and 100 jumps spread over the whole list. Prints
// the first opening, the median opening and the median and slowest scroll step in milliseconds.
// Runs on the offscreen platform, with settings in a temporary folder.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QListView>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "views/FormBarChart.h"

namespace {

double Milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Lets the event loop run until the counter has seen a paint after the given count.
bool PaintedAfter(const TPaintCounter& counter, int before) {
    QElapsedTimer patience;
    patience.start();
    while (counter.paints == before) {
        if (patience.elapsed() > 10'000) return false;
        QCoreApplication::processEvents();
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    const TBenchApplication app(argc, argv);

    const QString treePath = BenchTreeArgument(argc, argv);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!QFileInfo(treePath).isDir()) {
        std::fprintf(stderr,
                     "bench_barchart: no tree at %s; build it with "
                     "../shared/bench/make-tree.sh -p large %s\n",
                     qPrintable(treePath), qPrintable(treePath));
        return 2;
    }
    MapAsDriveB(treePath);

    engine::TFolderTree tree;
    engine::DriveRecord* drive = engine::ScannedDrives().Add('B');
    QElapsedTimer timer;
    timer.start();
    engine::TFolderNode* root = ScanDriveB(tree, *drive);
    const double scanSeconds = Milliseconds(timer) / 1000;
    if (!root) {
        std::fprintf(stderr, "bench_barchart: the scan of %s failed\n", qPrintable(treePath));
        return 1;
    }

    int folders = 0;
    std::vector<double> fills, opens, steps;
    {
        TBarChartBox box;
        TPaintCounter counter;
        box.BarList->viewport()->installEventFilter(&counter);
        QScrollBar* scroll = box.BarList->verticalScrollBar();
        for (int round = 0; round < rounds; ++round) {
            const int before = counter.paints;
            timer.start();
            box.Fill(root);
            fills.push_back(Milliseconds(timer));
            box.show();
            if (!PaintedAfter(counter, before)) return 1;
            opens.push_back(Milliseconds(timer));
            folders = box.RowCount();

            const int page = scroll->pageStep();
            std::vector<int> targets;
            for (int i = 1; i <= 300; ++i) targets.push_back(i * page);
            for (int i = 1; i <= 100; ++i)
                targets.push_back(int(int64_t(scroll->maximum()) * i / 100));
            for (int target : targets) {
                if (std::min(target, scroll->maximum()) == scroll->value()) continue;
                const int painted = counter.paints;
                timer.start();
                scroll->setValue(target);
                if (!PaintedAfter(counter, painted)) return 1;
                steps.push_back(Milliseconds(timer));
            }
            box.reject();  // closing empties the list, as after every opening
            QCoreApplication::processEvents();
        }
    }
    std::printf(
        "folders=%d scan_s=%.2f rounds=%d first_open_ms=%.1f open_ms=%.1f (fill %.1f) "
        "scroll_step_ms=%.2f max_step_ms=%.2f (%zu steps)\n",
        folders, scanSeconds, rounds, opens.front(), Median(opens), Median(fills), Median(steps),
        *std::max_element(steps.begin(), steps.end()), steps.size());
    (void)SaveSettings();
    return 0;
}
