#include "engine/VolumeFacts.h"

#include <algorithm>

#include "platform/Drives.h"

namespace engine {

namespace {

bool extendedFreeSpaceService = true;
DriveRetryQuestion& RetryQuestion() {
    static DriveRetryQuestion question;
    return question;
}

}  // namespace

bool GetVolumeFacts(const QString& root, VolumeInfo& info) {
    return platform::GetVolumeInformation(root, info);
}

QString FileSystemName(const QString& root) {
    VolumeInfo info;
    GetVolumeFacts(root, info);
    return info.fileSystemName;
}

int32_t ClusterSizeByFileSystem(const QString& fileSystemName, int32_t driveClusterSize) {
    const QString name = fileSystemName.toUpper();
    if (name == QLatin1String("CDFS")) return 2048;
    if (name == QLatin1String("FAT32")) return driveClusterSize > 0 ? driveClusterSize : 4096;
    return driveClusterSize;
}

int32_t ClusterSize(const QString& root) {
    const QString fileSystem = FileSystemName(root);
    if (fileSystem.compare(QLatin1String("CDFS"), Qt::CaseInsensitive) == 0) return 2048;
    platform::DiskFreeSpace space;
    const int32_t drive =
        platform::GetDiskFreeSpace(root, space)
            ? int32_t(std::min<int64_t>(int64_t(space.sectorsPerCluster) * space.bytesPerSector,
                                        INT32_MAX))
            : -1;
    return ClusterSizeByFileSystem(fileSystem, drive);
}

namespace {

// One of the drive's byte counts: from the extended service, or on systems without it from the
// basic query as a 32-bit signed product, which wraps above 2 GB. -1 when the query fails.
int64_t DriveBytes(const QString& root, int64_t platform::DiskFreeSpaceEx::*bytes,
                   uint32_t platform::DiskFreeSpace::*clusters) {
    if (extendedFreeSpaceService) {
        platform::DiskFreeSpaceEx space;
        return platform::GetDiskFreeSpaceEx(root, space) ? space.*bytes : -1;
    }
    platform::DiskFreeSpace space;
    if (!platform::GetDiskFreeSpace(root, space)) return -1;
    return int32_t(space.sectorsPerCluster * space.bytesPerSector * (space.*clusters));
}

}  // namespace

int64_t DriveTotalBytes(const QString& root) {
    return DriveBytes(root, &platform::DiskFreeSpaceEx::totalBytes,
                      &platform::DiskFreeSpace::totalClusters);
}

int64_t DriveFreeBytes(const QString& root) {
    return DriveBytes(root, &platform::DiskFreeSpaceEx::freeBytesAvailable,
                      &platform::DiskFreeSpace::freeClusters);
}

QString DriveDisplayName(const QString& root) {
    return platform::DriveDisplayNameOf(root);
}

bool CheckDriveAccess(char letter) {
    const QString root = QChar(letter) + QLatin1String(":\\");
    const QString text =
        QChar(letter) + QLatin1String(
                            ": is not accessible. The drive door may not be closed or the network "
                            "connection may be down. Please try to correct this error and retry.");
    for (;;) {
        QString error;
        switch (platform::SetCurrentDirectory(root, &error)) {
            case platform::ChangeDirectoryResult::Ok:
                return true;
            case platform::ChangeDirectoryResult::IoError:
                if (!RetryQuestion() || !RetryQuestion()(text)) return false;
                break;
            case platform::ChangeDirectoryResult::OtherError:
                throw TDriveAccessError((root + QLatin1String(" ") + error).toStdString());
        }
    }
}

void SetDriveRetryQuestion(DriveRetryQuestion question) {
    RetryQuestion() = std::move(question);
}

void SetExtendedFreeSpaceServiceForTests(bool available) {
    extendedFreeSpaceService = available;
}

}  // namespace engine
