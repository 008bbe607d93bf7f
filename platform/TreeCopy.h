#pragma once
// Copying a tree to another file system with every file read back, and moving entries into a
// folder: a rename within one file system, a copy across file systems whose source is removed
// only once the copy is complete and reads back identical. Links are copied as links, never
// followed; a folder on which another file system is mounted is never entered. Used by the file
// operations inside platform/.

#include <QByteArray>
#include <QString>

#include "platform/FileOperationSupport.h"

namespace platform::fileops {

// Copies the entry name of the open folder srcDir (on the file system srcDev; host is its host
// path) as dstName into the open folder dstDir, with its contents, permissions and times; each
// file is synced and read back against the digest of what was read. False on the first failure
// or a cancel; what was copied so far stays for the caller to remove.
bool CopyEntry(int srcDir, const QByteArray& name, DeviceId srcDev, int dstDir,
               const QByteArray& dstName, const QString& host, Progress& progress,
               FileOperationResult& result);

// Moves entries into folders for one operation, recording failures in its result.
class Mover {
public:
    Mover(const FileOperationCallbacks& callbacks, unsigned flags, Progress& progress,
          FileOperationResult& result)
        : callbacks_(callbacks), flags_(flags), progress_(progress), result_(result) {}

    // Moves the entry at src into the folder dstFolder (host paths) under its own name.
    void MoveInto(const QString& src, const QString& dstFolder);

private:
    void Moved(const QString& src);
    void FailItem(const QString& src, const QString& where, const QString& why);
    void Merge(const QString& src, const QString& dst);
    bool MayReplace(const QString& dst);
    void CopyThenRemove(const QString& src, const QString& dstFolder, bool replace);

    const FileOperationCallbacks& callbacks_;
    unsigned flags_;
    Progress& progress_;
    FileOperationResult& result_;
    FileOperationCallbacks noProgress_{[](const FileOperationProgress&) { return true; }};
};

}  // namespace platform::fileops
