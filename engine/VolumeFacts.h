#pragma once
// The facts of a drive that the scanner and the main window need: cluster size, file system,
// total and free space, and whether the drive can be reached at all. Roots are drive roots
// with a trailing backslash ("C:\"). Only CheckDriveAccess speaks to the user.

#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "platform/Volume.h"

namespace engine {

// Volume name, serial number, maximum name length, file-system flags (bit 1: names are
// case-sensitive) and file-system name, in that order.
using VolumeInfo = platform::VolumeInformation;

// False, with numbers 0 and texts empty, when the volume cannot be queried.
bool GetVolumeFacts(const QString& root, VolumeInfo& info);
// "FAT32", "NTFS", "CDFS", "EXT4", ...; empty when the volume cannot be queried.
QString FileSystemName(const QString& root);

// Bytes per cluster: 2048 for CDFS whatever the drive says; the drive's own size for FAT32,
// or 4096 when that cannot be read; otherwise the drive's own size, or -1 when unknown.
int32_t ClusterSize(const QString& root);
// The rule behind ClusterSize: driveClusterSize is what the drive reports, -1 when it cannot.
int32_t ClusterSizeByFileSystem(const QString& fileSystemName, int32_t driveClusterSize);

// Total bytes, and the free bytes the current user may use; -1 when not available.
int64_t DriveTotalBytes(const QString& root);
int64_t DriveFreeBytes(const QString& root);

// The name the file manager shows for a drive root, such as "/home (D:)".
QString DriveDisplayName(const QString& root);

// Whether the drive can be reached; makes its root the current directory when it can. When
// the drive does not answer, asks the user through the installed retry question until the
// user gives up (false). Other failures throw TDriveAccessError.
bool CheckDriveAccess(char letter);

// Shows the question of CheckDriveAccess (caption "Quillon Pro", an error icon, Retry and
// Cancel) and returns true for Retry. Without one installed the answer is Cancel.
using DriveRetryQuestion = std::function<bool(const QString& text)>;
void SetDriveRetryQuestion(DriveRetryQuestion question);

class TDriveAccessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The extended free-space service always exists here; tests switch it off to take the path
// of systems without it, where totals are 32-bit products.
void SetExtendedFreeSpaceServiceForTests(bool available);

}  // namespace engine
