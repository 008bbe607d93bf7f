#pragma once
// What the file operations of platform/ share: descriptors, the pieces of host paths, folder
// listings by descriptor, the progress and cancel of one operation, failures recorded in its
// result, and the counting of a tree. Used inside platform/ only.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/FileOperations.h"

namespace platform::fileops {

// The file system an entry lies on (the device of its status).
using DeviceId = uint64_t;

QString SystemText(int error);

QByteArray Local(const QString& hostPath);

// An open descriptor, closed with the object.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    // Takes a new descriptor, closing the one held.
    void reset(int fd = -1);
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

QString ParentOf(const QString& host);
QString NameOf(const QString& host);
QString Join(const QString& folder, const QString& name);

// The names in an open folder, "." and ".." left out. The folder's own descriptor stays open.
bool ListNames(int dirFd, std::vector<QByteArray>& names, int& error);

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

// Adds what a tree holds (entries and bytes) to the totals, without entering other file
// systems. name is the entry in the open folder parentFd, host its host path.
void CountEntry(int parentFd, const QByteArray& name, DeviceId parentDev, Progress& progress,
                const QString& host);

}  // namespace platform::fileops
