#pragma once
// Removing an entry with everything below it, through descriptors: no link in the tree is ever
// followed (a link goes as the link itself), no folder on which another file system is mounted
// is entered (it stays, with the folders that hold it), and however deep the tree, only a few
// of its folders are open at a time. Used by the file operations inside platform/.

#include <QByteArray>

#include "platform/FileOperationSupport.h"

namespace platform::fileops {

// Removes the entry name of the chain's current folder. Siblings are still tried after a
// failure, so that as much goes as can; a folder stays when anything below it stays. True when
// the entry is gone (or was not there). countEntries: add what goes to the progress's done
// counts.
bool RemoveEntry(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                 Progress& progress, FileOperationResult& result, bool countEntries = true);

}  // namespace platform::fileops
