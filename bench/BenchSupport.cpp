#include "bench/BenchSupport.h"

#include <QFileInfo>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString BenchTreeArgument(int argc, char* argv[]) {
    if (argc > 1) return QString::fromLocal8Bit(argv[1]);
    const QByteArray benchDir = qEnvironmentVariableIsSet("QUILLON_BENCH_DIR")
                                    ? qgetenv("QUILLON_BENCH_DIR")
                                    : QByteArray("/tmp/quillon-bench");
    return QString::fromLocal8Bit(benchDir + "/large");
}

void MapAsDriveB(const QString& treePath) {
    qputenv("QUILLON_DRIVES", "B=" + QFileInfo(treePath).absoluteFilePath().toLocal8Bit());
    platform::ReloadDriveMap();
    LoadSettings();
}

engine::TFolderNode* ScanDriveB(engine::TFolderTree& tree, engine::DriveRecord& record) {
    engine::TFolderNode* root =
        engine::ScanDrive(tree, QStringLiteral("B") + engine::DriveDisplayName("B:\\"), record, {});
    return root && root->Record() ? root : nullptr;
}
