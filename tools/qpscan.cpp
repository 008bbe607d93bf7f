// qpscan: scans one folder with the engine's folder scan, at its drive's cluster size and with
// no user interface, and prints the folder's record, one Name=value line per field.
//
//   qpscan [--stop-after N] [--file-details [--ask] [--find TEXT]] PATH
//
// PATH is a program path (C:\usr\share) or a host path (/usr/share); a host folder that no
// drive holds is mapped as a drive of its own. Standard error gets the scan's elapsed seconds
// and the peak resident memory. With --stop-after, StopRequested is set once N folders are
// done, and "Stopped" is printed when that stopped the scan. With --file-details the scan keeps
// every file in the drive's file store, and standard error gets the store's size; with --ask
// also how long the largest 100 files, the file types and a search for TEXT ("a" if none is
// given) below the folder took.

#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "engine/FileQueries.h"
#include "engine/FileStore.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HostNames.h"

using namespace engine;

namespace {

// Sets StopRequested once a number of folders are done.
class TStopAfterHost : public IScanHost {
public:
    explicit TStopAfterHost(long folders) : left_(folders) {}
    void ShowScanStatus(const QString&) override {}
    void ProcessPendingEvents() override {}
    void SetScanning(bool) override {}
    void FolderScanned(TFolderNode*) override {
        if (--left_ <= 0) StopRequested = true;
    }

private:
    long left_;
};

// The program path of a host folder; a folder no drive holds becomes a drive of its own.
QString ProgramPathOf(const QString& hostPath) {
    QString path = platform::FromHostPath(hostPath);
    if (!path.isEmpty()) return path;
    char letter = 'Z';
    while (letter > 'A' && platform::FindDrive(QChar(letter))) --letter;
    QByteArray map = qgetenv("QUILLON_DRIVES");
    if (!map.isEmpty()) map += ';';
    map += QByteArray(1, letter) + '=' + platform::EncodeHostName(hostPath);
    qputenv("QUILLON_DRIVES", map);
    platform::ReloadDriveMap();
    return platform::FromHostPath(hostPath);
}

long PeakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void PrintValues(const char* name, const std::array<int64_t, kReferenceClusterSizeCount>& values) {
    std::printf("%s=", name);
    for (size_t i = 0; i < values.size(); ++i)
        std::printf(i ? " %lld" : "%lld", static_cast<long long>(values[i]));
    std::printf("\n");
}

void PrintRecord(const TFolderSize& r, int32_t clusterSize) {
    std::printf("TreeSize=%lld\n", static_cast<long long>(r.TreeSize));
    std::printf("FilesSize=%lld\n", static_cast<long long>(r.FilesSize));
    std::printf("TreeWasted=%lld\n", static_cast<long long>(r.TreeWasted));
    std::printf("FilesWasted=%lld\n", static_cast<long long>(r.FilesWasted));
    std::printf("TreeFileCount=%d\n", r.TreeFileCount);
    std::printf("TreeFolderCount=%d\n", r.TreeFolderCount);
    std::printf("FileCount=%d\n", r.FileCount);
    std::printf("SubfolderCount=%d\n", r.SubfolderCount);
    std::printf("LastAccessTime=%llu\n", static_cast<unsigned long long>(r.LastAccessTime));
    std::printf("LastWriteTime=%llu\n", static_cast<unsigned long long>(r.LastWriteTime));
    std::printf("Attributes=%u\n", r.Attributes);
    PrintValues("TreeWastedAt", r.TreeWastedAt);
    PrintValues("FilesWastedAt", r.FilesWastedAt);
    std::printf("ClusterSize=%d\n", clusterSize);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: qpscan [--stop-after N] [--file-details [--ask] [--find TEXT]] PATH\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long stopAfter = 0;
    bool fileDetails = false;
    bool ask = false;
    QString findText = QStringLiteral("a");
    QString argument;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--stop-after" && i + 1 < argc) {
            bool ok = false;
            stopAfter = QByteArray(argv[++i]).toLong(&ok);
            if (!ok || stopAfter < 1) return Usage();
        } else if (arg == "--file-details") {
            fileDetails = true;
        } else if (arg == "--ask") {
            ask = true;
        } else if (arg == "--find" && i + 1 < argc) {
            findText = platform::DecodeHostName(QByteArray(argv[++i]));
        } else if (argument.isEmpty() && !arg.startsWith("--")) {
            argument = platform::DecodeHostName(arg);
        } else {
            return Usage();
        }
    }
    if (argument.isEmpty()) return Usage();

    UseSystemLocale();  // the folders are sorted as the program sorts them
    const QString path =
        RemoveBackslash(IsProgramPath(argument) ? argument : ProgramPathOf(argument));
    const uint32_t attributes =
        path.isEmpty() ? platform::INVALID_FILE_ATTRIBUTES : platform::GetFileAttributes(path);
    if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "qpscan: %s is no folder on a drive\n", qPrintable(argument));
        return 1;
    }

    // Make the drive known as a drive scan would, and put the folder's nodes into a tree.
    const char letter = char(path[0].toUpper().unicode());
    const QString root = QChar(letter) + QLatin1String(":\\");
    DriveRecord* drive = ScannedDrives().Add(letter);
    drive->DriveText = QChar(letter) + DriveDisplayName(root);
    drive->ClusterSize = ClusterSize(root);
    if (fileDetails) drive->Files = std::make_shared<TFileStore>();
    TFolderTree tree;
    TFolderNode* node = tree.AppendDrive(letter, drive->DriveText.mid(1));
    drive->Node = node;
    for (const QString& name : path.mid(3).split(u'\\', Qt::SkipEmptyParts))
        node = tree.AppendChild(node, name);

    TStopAfterHost host(stopAfter);
    if (stopAfter > 0) SetScanHost(&host);
    StopRequested = false;
    ScanClusterSize = drive->ClusterSize;

    QElapsedTimer timer;
    timer.start();
    const TFolderSize* record = ScanFolder(AddBackslash(path), node);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;

    if (record)
        PrintRecord(*record, drive->ClusterSize);
    else
        std::printf("Stopped\n");
    std::fflush(stdout);
    std::fprintf(stderr, "Elapsed=%.3f\nPeakResidentKiB=%ld\n", seconds, PeakResidentKiB());
    if (fileDetails && record)
        std::fprintf(stderr, "StoredFiles=%u\nStoreBytes=%zu\n", drive->Files->Count(),
                     drive->Files->Bytes());
    if (fileDetails && ask && record) {
        const auto millis = [&timer] { return double(timer.nsecsElapsed()) / 1e6; };
        timer.restart();
        const size_t largest = LargestFiles(node, 100, false).size();
        const double largestMs = millis();
        timer.restart();
        const int64_t typed = FileTypesBelow(node).All.Files;
        const double typesMs = millis();
        timer.restart();
        long found = 0;
        FindNames(node, TNameMatcher({TNamePattern::TKind::Substring, findText, false}),
                  [&found](const TFoundName&) { return ++found, true; });
        const double findMs = millis();
        std::fprintf(stderr,
                     "LargestMs=%.1f (%zu files)\nTypesMs=%.1f (%lld files)\nFindMs=%.1f (%ld "
                     "found)\n",
                     largestMs, largest, typesMs, static_cast<long long>(typed), findMs, found);
    }
    SetScanHost(nullptr);
    return 0;
}
