#include "platform/Volume.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace platform {

namespace {

const DriveMapping* DriveOfRoot(const QString& root) {
    return root.size() >= 2 && root[1] == u':' ? FindDrive(root[0]) : nullptr;
}

bool StatDrive(const DriveMapping* drive, struct statvfs& st) {
    return drive && ::statvfs(EncodeHostName(drive->hostRoot).constData(), &st) == 0;
}

// The label /dev/disk/by-label gives the drive's device, if any.
QString LabelOf(const QString& device) {
    if (!device.startsWith(u'/')) return {};
    const QString target = QFileInfo(device).canonicalFilePath();
    QDir labels(QStringLiteral("/dev/disk/by-label"));
    for (const QFileInfo& link : labels.entryInfoList(QDir::System | QDir::Files)) {
        if (link.canonicalFilePath() == target) {
            // udev escapes blanks and other bytes as \x20.
            QString label = link.fileName();
            for (qsizetype i; (i = label.indexOf(QLatin1String("\\x"))) >= 0;) {
                label.replace(i, 4, QChar(label.mid(i + 2, 2).toUShort(nullptr, 16)));
            }
            return label;
        }
    }
    return {};
}

uint32_t Clamp32(uint64_t value) {
    return uint32_t(std::min<uint64_t>(value, UINT32_MAX));
}

}  // namespace

QString FileSystemNameOfMountType(const QString& mountType, uint64_t clusters) {
    if (mountType == QLatin1String("vfat") || mountType == QLatin1String("msdos"))
        return clusters < 65525 ? QStringLiteral("FAT") : QStringLiteral("FAT32");
    if (mountType == QLatin1String("iso9660")) return QStringLiteral("CDFS");
    if (mountType == QLatin1String("ntfs") || mountType == QLatin1String("ntfs3") ||
        mountType == QLatin1String("fuseblk-ntfs"))
        return QStringLiteral("NTFS");
    return mountType.toUpper();
}

bool IsCaseSensitiveFileSystem(const QString& name) {
    // NTFS and CDFS mounts look names up exactly on Linux, whatever they do on Windows.
    return name != QLatin1String("FAT") && name != QLatin1String("FAT32") &&
           name != QLatin1String("EXFAT");
}

bool GetVolumeInformation(const QString& root, VolumeInformation& info) {
    info = VolumeInformation{};
    const DriveMapping* drive = DriveOfRoot(root);
    struct statvfs st;
    if (!StatDrive(drive, st)) return false;
    const uint64_t clusters = st.f_bsize ? uint64_t(st.f_blocks) * st.f_frsize / st.f_bsize : 0;
    info.fileSystemName = FileSystemNameOfMountType(drive->mountType, clusters);
    info.volumeName = LabelOf(drive->device);
    info.serialNumber = uint32_t(st.f_fsid);
    info.maxComponentLength = uint32_t(st.f_namemax);
    info.flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    if (IsCaseSensitiveFileSystem(info.fileSystemName)) info.flags |= FILE_CASE_SENSITIVE_SEARCH;
    return true;
}

bool GetDiskFreeSpace(const QString& root, DiskFreeSpace& space) {
    space = DiskFreeSpace{};
    struct statvfs st;
    const DriveMapping* drive = DriveOfRoot(root);
    if (!StatDrive(drive, st) || st.f_bsize == 0) return false;
    const uint64_t cluster = drive->clusterSize > 0 ? uint64_t(drive->clusterSize) : st.f_bsize;
    // Express the cluster as sectors of 512 bytes where it divides evenly.
    space.bytesPerSector = cluster % 512 == 0 ? 512 : Clamp32(cluster);
    space.sectorsPerCluster = Clamp32(cluster / space.bytesPerSector);
    space.freeClusters = Clamp32(uint64_t(st.f_bavail) * st.f_frsize / cluster);
    space.totalClusters = Clamp32(uint64_t(st.f_blocks) * st.f_frsize / cluster);
    return true;
}

bool GetDiskFreeSpaceEx(const QString& root, DiskFreeSpaceEx& space) {
    space = DiskFreeSpaceEx{};
    struct statvfs st;
    if (!StatDrive(DriveOfRoot(root), st)) return false;
    space.freeBytesAvailable = int64_t(uint64_t(st.f_bavail) * st.f_frsize);
    space.totalBytes = int64_t(uint64_t(st.f_blocks) * st.f_frsize);
    space.totalFreeBytes = int64_t(uint64_t(st.f_bfree) * st.f_frsize);
    return true;
}

ChangeDirectoryResult SetCurrentDirectory(const QString& path, QString* errorText) {
    const QString host = ToHostPath(path);
    errno = ENOENT;
    if (!host.isEmpty() && ::chdir(EncodeHostName(host).constData()) == 0)
        return ChangeDirectoryResult::Ok;
    const int error = errno;
    if (errorText) *errorText = SystemErrorText(error);
    switch (error) {
        case EIO:
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM:
        case ESTALE:
        case ENOTCONN:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ETIMEDOUT:
        case ENOENT:  // the folder behind the drive is gone: unplugged or unmounted
            return ChangeDirectoryResult::IoError;
        default:
            return ChangeDirectoryResult::OtherError;
    }
}

}  // namespace platform
