#pragma once
// What the file operations of platform/ share: descriptors, the pieces of host paths, entries
// looked at without following links, folder listings by descriptor, chains of open folders
// that stay within the open-file limit however deep a tree goes, the mount points an operation
// must not enter, the progress and cancel of one operation, and failures recorded in its
// result. Used inside platform/ only.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/FileOperations.h"
#include "platform/PinnedFolder.h"

namespace platform::fileops {

// The file system an entry lies on (the device of its status).
using DeviceId = uint64_t;

QString SystemText(int error);
// The system's words, or for a folder that a chain found replaced (ESTALE) what happened.
QString WalkErrorText(int error);

// A host path as the system takes it, byte for byte.
QByteArray Local(const QString& hostPath);

// An open descriptor, closed with the object.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    // Takes a new descriptor, closing the one held.
    void reset(int fd = -1);
    int release() { return std::exchange(fd_, -1); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

QString ParentOf(const QString& host);
QString NameOf(const QString& host);
QString Join(const QString& folder, const QString& name);
QString JoinName(const QString& folder, const QByteArray& name);

// The status of the entry name of the open folder dirFd, never through a link. mountRoot tells
// a folder that is the root of a mount (also a bind mount of the same file system). False with
// errno set.
bool StatAt(int dirFd, const char* name, EntryIdentity& identity, bool* mountRoot = nullptr,
            uint64_t* attributes = nullptr);
// The status of an open descriptor itself.
bool StatFd(int fd, EntryIdentity& identity);
// statx attribute bits of StatAt that make an entry impossible to remove.
bool IsImmutable(uint64_t attributes);

// The names in an open folder, "." and ".." left out. The folder's own descriptor stays open.
bool ListNames(int dirFd, std::vector<QByteArray>& names, int& error);

// The host path an open descriptor leads to now (links resolved); empty when unknown.
QString RealPathOf(int fd);

// The folders a walk must not enter though their device may be the walk's own: bind mounts and
// the roots of other drives inside the tree (by identity), beside every change of device.
class MountBarrier {
public:
    MountBarrier() = default;
    // The mount points inside the entry name of the open folder dirFd.
    MountBarrier(int dirFd, const QByteArray& name);
    // Whether the folder child, met in a folder on device parentDev, belongs to another file
    // system or drive.
    bool Stops(const EntryIdentity& child, bool mountRoot, DeviceId parentDev) const;
    // Whether a mount point lies strictly inside the folder at the host path real (links
    // resolved).
    bool AnyInside(const QString& real) const;

private:
    std::vector<std::pair<uint64_t, uint64_t>> roots_;
    QStringList places_;  // their host paths, links resolved
};

// A path of open folders from a pinned root down to the folder a walk is in. Only the deepest
// few folders stay open (the budget, a part of the open-file limit); one let go is opened
// again from its nearest open ancestor when the walk comes back to it, and every folder opened
// again must be the very folder entered before, or the walk stops there.
class FolderChain {
public:
    // root: an open folder that outlives the chain (not taken over); host: its host path.
    FolderChain(int root, QString host);
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Enters the folder name of the current folder, which must still be the folder seen
    // (device and inode). False with errno set (ESTALE when it is another folder now).
    bool Enter(const QByteArray& name, const EntryIdentity& seen);
    void Leave();
    // The current folder, opened again when it was let go; -1 with errno set when that fails.
    int Top();
    DeviceId TopDevice() const;
    // Host paths of the current folder and of an entry in it.
    QString Host() const;
    QString HostOf(const QByteArray& name) const { return JoinName(Host(), name); }

private:
    struct Level {
        QByteArray name;
        EntryIdentity identity;
        int fd = -1;
    };
    bool Reopen();
    void Trim();

    int root_;
    DeviceId rootDevice_ = 0;
    QString host_;
    std::vector<Level> levels_;
    size_t firstOpen_ = 0;  // levels below it are let go
    size_t budget_;
};

// Progress, cancel and the event pump of one operation.
class Progress {
public:
    explicit Progress(const FileOperationCallbacks& callbacks);

    FileOperationProgress state;
    bool cancelled = false;
    bool counting = false;  // the totals are still being added up

    // After each piece of work; false once the operation is cancelled. A caller's callback
    // hears of every step; without one the event loop is pumped at most every 40 ms, unless
    // forced.
    bool Tick(const QString& host, bool force = false);

private:
    const FileOperationCallbacks& callbacks_;
    QElapsedTimer clock_;
    qint64 last_ = -1000;
};

// Records a failure in the result (path: a host or a program path); the first one gives the
// error text.
void Fail(FileOperationResult& result, const QString& path, const QString& why);

// Why a folder stays: another file system is mounted on it.
QString MountedText();

// Adds what the entry name of the chain's current folder holds (entries and bytes) to the
// totals, without entering other file systems.
void CountEntry(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                Progress& progress);

}  // namespace platform::fileops
