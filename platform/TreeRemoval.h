#pragma once
// Removing an entry with everything below it, through descriptors: no link in the tree is ever
// followed (a link goes as the link itself) and no folder on which another file system is
// mounted is entered. Used by the file operations inside platform/.

#include <QByteArray>
#include <QString>

#include "platform/FileOperationSupport.h"

namespace platform::fileops {

// Removes the entry name of the open folder parentFd (on the file system parentDev; host is
// its host path, for progress and failures). Siblings are still tried after a failure, so that
// as much goes as can; a folder stays when anything below it stays. True when the entry is
// gone (or was not there). countEntries: add what goes to the progress's done counts.
bool RemoveEntry(int parentFd, const QByteArray& name, DeviceId parentDev, const QString& host,
                 Progress& progress, FileOperationResult& result, bool countEntries = true);

}  // namespace platform::fileops
