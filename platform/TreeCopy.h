#pragma once
// Moving entries into a folder: a rename within one file system, and across file systems a copy
// whose every file is read back, after which the source is removed only where it is still what
// was copied. Links are copied as links, never followed; a folder on which another file system
// is mounted is never entered nor moved; everything goes through folder chains, so neither a
// part of a path swapped for a link nor a deep tree can lead the work astray. Used by the file
// operations inside platform/.

#include <QByteArray>
#include <QString>
#include <vector>

#include "platform/FileOperationSupport.h"

namespace platform::fileops {

// What a copy took of an entry, so that the source is removed only where it is still that.
struct CopiedEntry {
    QByteArray name;
    EntryIdentity identity;  // as it was read
    bool copied = true;      // false: it changed while it was read and was not copied
    std::vector<CopiedEntry> children;
};

// Moves entries into folders for one operation, recording failures in its result.
class Mover {
public:
    Mover(const FileOperationCallbacks& callbacks, unsigned flags, Progress& progress,
          FileOperationResult& result)
        : callbacks_(callbacks), flags_(flags), progress_(progress), result_(result) {}

    // Moves the entry name of src's current folder into dst's current folder under its own
    // name. mounts: the mount points inside what is moved.
    void MoveInto(FolderChain& src, FolderChain& dst, const QByteArray& name,
                  const MountBarrier& mounts);
    // Whether the user chose to keep some entry where it was (answering Keep).
    bool KeptAny() const { return keptAny_; }

private:
    void Moved(const QString& host);
    void FailItem(const QString& host, const QString& where, const QString& why);
    void Merge(FolderChain& src, FolderChain& dst, const QByteArray& name,
               const EntryIdentity& source, const EntryIdentity& existing,
               const MountBarrier& mounts);
    bool MayReplace(const QString& dstHost);
    void CopyThenRemove(FolderChain& src, FolderChain& dst, const QByteArray& name, bool replace,
                        const MountBarrier& mounts);
    bool CopyEntry(FolderChain& src, FolderChain& dst, const QByteArray& name,
                   const QByteArray& dstName, const MountBarrier& mounts, CopiedEntry& record,
                   FileOperationResult& failures);
    bool CopyFile(FolderChain& src, FolderChain& dst, const QByteArray& name,
                  const EntryIdentity& st, const QByteArray& dstName, CopiedEntry& record,
                  FileOperationResult& failures);
    bool RemoveCopied(FolderChain& src, const CopiedEntry& record);

    const FileOperationCallbacks& callbacks_;
    unsigned flags_;
    Progress& progress_;
    FileOperationResult& result_;
    bool keptAny_ = false;
    FileOperationCallbacks noProgress_{[](const FileOperationProgress&) { return true; }};
};

}  // namespace platform::fileops
