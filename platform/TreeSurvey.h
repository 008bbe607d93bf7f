#pragma once
// A look at everything below an entry before an action that will copy it and remove it: what
// it holds, the mount points in it (which stay), and whatever would stop the action half-way
// (a file that cannot be read, a folder that cannot be emptied, an entry that cannot be
// removed, a name or size the target cannot hold), so that the user hears of it before anything
// is written. Walks through descriptors like the actions themselves: no link followed, no other
// file system entered, few folders open at a time.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "platform/PinnedFolder.h"

namespace platform {

// What a target file system cannot hold that the host's own file systems can. FAT (vfat,
// msdos) holds no file of 4 GiB or more; FAT and exFAT hold no name with the characters they
// forbid or with a dot or blank at its end, and no symbolic link or named pipe.
struct TargetLimits {
    QString kind;              // "FAT" or "exFAT"; empty when the target has none of these limits
    int64_t maxFileSize = -1;  // the largest file it holds; -1 when there is no such limit
};

struct SurveyOptions {
    bool subfolders = true;   // false: a folder's own files only
    bool hiddenFiles = true;  // false: names starting with '.' are left out
    // The entries will be removed afterwards: each must be readable and removable, and every
    // folder emptiable.
    bool forRemoval = false;
    TargetLimits limits;      // of the file system the entries will be copied to
    int64_t clusterSize = 0;  // the used space counts each file's last cluster whole
    int maxProblems = 10;     // the walk stops after this many
};

struct TreeSurvey {
    int files = 0;  // regular files and links
    int folders = 0;
    int64_t bytes = 0;        // the files' lengths
    int64_t used = 0;         // the same, each rounded up to whole clusters
    QStringList mountPoints;  // program paths of the folders the walk did not enter
    // "\"T:\a\f\" cannot be read: Permission denied", in the order met.
    QStringList problems;
    QString firstWhere;  // the program path of the first problem's entry
    QString firstWhy;    // and the reason alone
    bool cancelled = false;
};

// Surveys the entry name of a pinned folder. keepGoing is asked now and then; false stops the
// walk (cancelled).
TreeSurvey SurveyEntry(const PinnedFolder& folder, const QByteArray& name,
                       const SurveyOptions& options, const std::function<bool()>& keepGoing = {});

// The limits of the file system a pinned folder is on: by the file system itself, or by the
// mount type its drive is mapped as.
TargetLimits LimitsOf(const PinnedFolder& folder);

namespace fileops {
class FolderChain;
class MountBarrier;
// The limits of the file system of the open folder dirFd (host: its host path).
TargetLimits LimitsAt(int dirFd, const QString& host);
// The survey of the entry name of a chain's current folder, for the operations of platform/.
TreeSurvey SurveyAt(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                    const SurveyOptions& options, const std::function<bool()>& keepGoing);
}  // namespace fileops

}  // namespace platform
