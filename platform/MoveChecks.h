#pragma once
// What is checked before an entry is copied to another file system for a move: that the target
// can hold every name and file of it, and that every file can be read and every folder emptied
// afterwards. An entry that fails a check stays whole where it is and nothing of it is copied.
// Used by the file operations inside platform/.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/FileOperationSupport.h"

namespace platform::fileops {

// What a target file system cannot hold that the host's own file systems can. FAT (vfat, msdos)
// holds no file of 4 GiB or more; FAT and exFAT hold no name with the characters they forbid or
// with a dot or blank at its end, and no symbolic link or named pipe.
struct TargetLimits {
    QString kind;              // "FAT" or "exFAT"; empty when the target has none of these limits
    int64_t maxFileSize = -1;  // the largest file it holds; -1 when there is no such limit
};

// The limits of the file system of the open folder dirFd (hostFolder is its host path): by the
// file system itself, or by the mount type its drive is mapped as.
TargetLimits LimitsOf(int dirFd, const QString& hostFolder);

// Walks the entry name of the open folder parentFd (on parentDev; host is its host path), not
// into other file systems. False at the first entry that cannot go, with that entry's program
// path in where and the reason in why ("is 4 GB or larger; ...", "cannot be read: ...").
bool CheckMovable(int parentFd, const QByteArray& name, DeviceId parentDev, const QString& host,
                  const TargetLimits& limits, QString& where, QString& why);

}  // namespace platform::fileops
