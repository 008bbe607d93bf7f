#pragma once
// Volume queries of a drive root ("C:\"): what the Windows volume-information and free-space
// services answer, read from statvfs and the mount table. Each answers false when the drive
// is not mapped or its root cannot be read.

#include <QString>
#include <cstdint>

namespace platform {

struct VolumeInformation {
    QString volumeName;  // the file system's label, empty when it has none
    uint32_t serialNumber = 0;
    uint32_t maxComponentLength = 0;
    uint32_t flags = 0;      // FILE_CASE_SENSITIVE_SEARCH and friends
    QString fileSystemName;  // "EXT4", "FAT32", "NTFS", "CDFS", ...
};

struct DiskFreeSpace {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;  // available to the user
    uint32_t totalClusters = 0;
};

struct DiskFreeSpaceEx {
    int64_t freeBytesAvailable = 0;  // to the user
    int64_t totalBytes = 0;
    int64_t totalFreeBytes = 0;
};

bool GetVolumeInformation(const QString& root, VolumeInformation& info);
bool GetDiskFreeSpace(const QString& root, DiskFreeSpace& space);
bool GetDiskFreeSpaceEx(const QString& root, DiskFreeSpaceEx& space);

// The Windows name of a host mount type: vfat is FAT32 (FAT below 65525 clusters), iso9660
// CDFS, ntfs NTFS; any other type upper-cased.
QString FileSystemNameOfMountType(const QString& mountType, uint64_t clusters);

// Whether names on a file system of this Windows name are case-sensitive: all but FAT, FAT32 and
// EXFAT, the file systems whose Linux lookups ignore case.
bool IsCaseSensitiveFileSystem(const QString& fileSystemName);

enum class ChangeDirectoryResult { Ok, IoError, OtherError };

// Makes a program path the process's current directory. IoError: the drive cannot be reached
// (no medium, device or connection, or its folder is gone); OtherError: anything else, such
// as missing permission. errorText holds the system's message.
ChangeDirectoryResult SetCurrentDirectory(const QString& path, QString* errorText = nullptr);

}  // namespace platform
