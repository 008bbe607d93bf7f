#include "bench/BenchSupport.h"

#include <QFileInfo>
#include <algorithm>

#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "platform/HostNames.h"
#include "platform/LocalTime.h"

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

TBenchApplication::TBenchApplication(int& argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::PinLocalTimeZone();
    qputenv("XDG_CONFIG_HOME", platform::EncodeHostName(settings_.path()));
    app_ = std::make_unique<QApplication>(argc, argv);
    engine::UseSystemLocale();
}

QString BenchTreeArgument(int argc, char* argv[]) {
    if (argc > 1) return platform::DecodeHostName(QByteArray(argv[1]));
    const QByteArray benchDir = qgetenv("QUILLON_BENCH_DIR");
    return (benchDir.isEmpty() ? QStringLiteral("/tmp/quillon-bench")
                               : platform::DecodeHostName(benchDir)) +
           QStringLiteral("/large");
}

void MapAsDriveB(const QString& treePath) {
    qputenv("QUILLON_DRIVES",
            platform::EncodeHostName("B=" + QFileInfo(treePath).absoluteFilePath()));
    platform::ReloadDriveMap();
    LoadSettings();
}

engine::TFolderNode* ScanDriveB(engine::TFolderTree& tree, engine::DriveRecord& record) {
    engine::TFolderNode* root =
        engine::ScanDrive(tree, QStringLiteral("B") + engine::DriveDisplayName("B:\\"), record, {});
    return root && root->Record() ? root : nullptr;
}
