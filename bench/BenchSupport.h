#pragma once
// What the view benchmarks share: medians, a paint counter, and a synthetic tree of
// ../shared/bench/make-tree.sh mapped and scanned as drive B.

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace engine {
class TFolderNode;
class TFolderTree;
struct DriveRecord;
}  // namespace engine

double Median(std::vector<double> values);

// A benchmark's application: the offscreen platform, the host's time zone and locale, and
// settings in a temporary folder that goes with it.
class TBenchApplication {
public:
    TBenchApplication(int& argc, char* argv[]);

private:
    QTemporaryDir settings_;
    std::unique_ptr<QApplication> app_;
};

// Counts the paint events a widget gets; a paint delivered inside processEvents is finished
// when processEvents returns.
class TPaintCounter : public QObject {
public:
    int paints = 0;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The tree a benchmark is given as its first argument, or $QUILLON_BENCH_DIR/large
// (/tmp/quillon-bench/large); names byte for byte.
QString BenchTreeArgument(int argc, char* argv[]);

// Maps the tree as drive B, with the settings loaded.
void MapAsDriveB(const QString& treePath);
// Scans drive B whole into tree, as record; its root, nullptr when the scan failed.
engine::TFolderNode* ScanDriveB(engine::TFolderTree& tree, engine::DriveRecord& record);
