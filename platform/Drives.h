#pragma once
// The drive map: which host folder each drive letter stands for, and the conversion of
// program paths ("C:\home\ann") to host paths ("/home/ann") and back.
//
// The map comes from the mounted file systems (/ is C:, the others D: to Z: by mount path),
// or, when QUILLON_DRIVES is set, from that variable alone: "C=/;D=/home;T=/tmp/tree".
// An entry may carry options after '#': a mount type it is to be treated as ("T=/x#vfat",
// "E=/y#iso9660"), "removable", and a cluster size ("cluster=512"), so that tests can build
// drives of every kind.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "platform/WinTypes.h"

namespace platform {

struct DriveMapping {
    char letter = 0;    // upper-case 'A'..'Z'
    QString hostRoot;   // absolute and clean: "/", "/home"
    QString mountType;  // the host's file-system type ("ext4", "vfat"); empty when unknown
    QString device;     // the mount source ("/dev/sda1"); empty when unknown
    DriveType type = DriveType::Fixed;
    int32_t clusterSize = 0;  // bytes a cluster is taken to hold (option); 0: the file system's own
};

// One line of /proc/self/mountinfo.
struct MountEntry {
    unsigned major = 0, minor = 0;
    QString root;        // the folder of the file system that is mounted
    QString mountPoint;  // where it is mounted
    QString type;        // "ext4", "proc", ...
    QString source;      // "/dev/vda", "tmpfs", ...
};

// Parses the text of /proc/self/mountinfo; octal escapes such as \040 are undone.
std::vector<MountEntry> ParseMountInfo(const QByteArray& text);

// The automatic map from a mount table: / is C:, the other real file systems D: to Z:.
// isRemovable tells whether a mount's block device is removable; isFolder whether a mount
// point is a folder (a file bind-mounted over a file is no drive).
std::vector<DriveMapping> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                           bool (*isRemovable)(const MountEntry&),
                                           bool (*isFolder)(const QString&));

// The map that QUILLON_DRIVES describes; entries it cannot parse are skipped.
std::vector<DriveMapping> DrivesFromVariable(const QString& mapText,
                                             const std::vector<MountEntry>& mounts);

// The drive type a mount of this type and source has.
DriveType DriveTypeOfMount(const QString& mountType, const QString& source, bool removable);

// The current map, read on first use. ReloadDriveMap reads the environment and the mount
// table again (after QUILLON_DRIVES changed, or to see drives mounted since).
const std::vector<DriveMapping>& DriveMap();
void ReloadDriveMap();

// The mapping of a drive letter (either case) or of a path's first letter; nullptr if none.
const DriveMapping* FindDrive(QChar letter);

// Bit 0 for A: up to bit 25 for Z:, one bit per mapped drive.
uint32_t LogicalDrives();

// The type of the drive of a root such as "C:\"; NoRootDir when the letter is not mapped
// or the text is no drive path.
DriveType GetDriveType(const QString& root);

// True for the mount types whose Linux lookups ignore letter case: vfat, msdos and exfat.
bool MountTypeIgnoresCase(const QString& mountType);

// "C:\home\ann" -> "/home/ann". "." and ".." are resolved and never leave the drive's root;
// each name turns back into the host name it stands for (HostNameOf: '＼' into '\'). A trailing
// backslash is dropped. A path that is not on a mapped drive gives the empty text. On a drive whose
// lookups ignore case, a name that does not exist as spelled is taken in the spelling the
// folder holds, when it holds one that differs only in case.
QString ToHostPath(const QString& path);

// "/home/ann" -> "C:\home\ann", by the drive whose root is the longest prefix of the path;
// each host name is shown as ProgramNameOf shows it ('\' as '＼'). A relative path is taken
// relative to the folder the program was started in. The empty text when no drive holds the path.
QString FromHostPath(const QString& hostPath);

// A host path made absolute: a relative one is taken from the folder the program was started in
// (the drive check may have changed the current folder since).
QString AbsoluteHostPath(const QString& hostPath);

// The program path of a host path that a person gave (on the command line, by dropping it): its
// links resolved first, as du and ncdu take such paths, so that a link to a folder opens that
// folder; as it stands when only that spelling is on a drive.
QString FromGivenHostPath(const QString& hostPath);

// The name the file manager shows for a drive root: its host folder and letter, "/home (D:)".
// The empty text when the drive is not mapped.
QString DriveDisplayNameOf(const QString& root);

// True when the host folder is a mount point or a drive root other than driveRoot: such a
// folder belongs to its own drive and lists as empty in any other.
bool IsForeignMountPoint(const QString& hostFolder, const QString& driveRoot);

}  // namespace platform
