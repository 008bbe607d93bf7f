#pragma once
// Folders held open for the actions that change what is on a drive. A folder is pinned by
// opening each part of its path from its drive's root without following a symbolic link; what
// is done inside it afterwards goes through the open folder, never through its path again, so
// a part of the path swapped for a link (or a folder moved away) meanwhile cannot lead the work
// anywhere else.
//
// Paths are program paths ("T:\a\b"). A drive's own root is taken as the drive map gives it;
// below it no link is ever followed.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace platform {

// What tells an entry from every other and from itself after a change: the file it is
// (device and inode) and its status (type, permissions, size, modification and change times).
struct EntryIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint32_t mode = 0;  // type and permission bits
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds since 1970
    int64_t changed = 0;   // of the status, nanoseconds since 1970
    uint32_t links = 1;

    bool IsFolder() const;
    bool IsFile() const;
    bool IsLink() const;
    bool SameFile(const EntryIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    // The same file, not written to and not changed in any other way since.
    bool Unchanged(const EntryIdentity& other) const {
        return SameFile(other) && mode == other.mode && size == other.size &&
               modified == other.modified && changed == other.changed;
    }
};

// One open folder. Moves, never copies; the folder is closed with the object.
class PinnedFolder {
public:
    PinnedFolder() = default;
    ~PinnedFolder();
    PinnedFolder(PinnedFolder&& other) noexcept;
    PinnedFolder& operator=(PinnedFolder&& other) noexcept;
    PinnedFolder(const PinnedFolder&) = delete;
    PinnedFolder& operator=(const PinnedFolder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The program path and the host path it was pinned at.
    const QString& Path() const { return path_; }
    const QString& HostPath() const { return host_; }
    const EntryIdentity& Identity() const { return identity_; }
    // A host path that reaches this folder through its descriptor ("/proc/self/fd/7"), for code
    // that takes paths (the ZIP engine): it stays this folder whatever becomes of its name.
    QString HandlePath() const;

    // The descriptor, for platform/ itself and for the ZIP engine, which works beneath it; and
    // taking one over.
    int Descriptor() const { return fd_; }
    void Adopt(int fd, const QString& path, const QString& host, const EntryIdentity& identity);
    void Close();

private:
    int fd_ = -1;
    QString path_;
    QString host_;
    EntryIdentity identity_;
};

// Pins the folder at path. With createMissing, folders missing on the way are created
// (created, when given, tells whether the last one was). False with why naming the part that
// stopped it: "\"T:\a\lnk\" is a symbolic link", "\"T:\a\f\" is not a folder", or the system's
// words.
bool PinFolder(const QString& path, PinnedFolder& folder, QString& why, bool createMissing = false,
               bool* created = nullptr);

// A file or folder to act on: the folder that holds it, pinned, and what it was when pinned.
struct PinnedItem {
    QString path;  // program path
    QString host;
    PinnedFolder parent;
    QByteArray name;  // as the host stores it
    EntryIdentity identity;
    // A folder on which another file system is mounted, or that is another drive's root.
    bool mountPoint = false;
};

// Pins the folder holding path and looks at the entry itself (not through a link). A drive's
// root is refused. False with why.
bool PinItem(const QString& path, PinnedItem& item, QString& why);

// After a question to the user: pins the item again, from its drive's root, and checks that its
// folder and the entry are the very ones pinned before (device and inode). False with why
// (nothing may then be done to it).
bool RepinUnchangedItem(PinnedItem& item, QString& why);

// The mount points and other drives' roots strictly inside a folder, by the mount table as it
// is now: host paths. Usually none.
QStringList MountPointsInside(const PinnedFolder& folder, const QByteArray& name = {});

// The status of the entry name of a pinned folder, not following a link. False with why.
bool StatEntryIn(const PinnedFolder& folder, const QByteArray& name, EntryIdentity& identity,
                 QString& why);

// Removes the file (or link) name of a pinned folder, but only while it is still expected
// (unchanged). False with why.
bool RemoveFileIn(const PinnedFolder& folder, const QByteArray& name, const EntryIdentity& expected,
                  QString& why);

// Removes the folder name of a pinned folder when it is empty. False with why.
bool RemoveEmptyFolderIn(const PinnedFolder& folder, const QByteArray& name, QString& why);

// A regular file of a pinned folder opened for reading, never through a link.
class PinnedFile {
public:
    PinnedFile() = default;
    ~PinnedFile();
    PinnedFile(const PinnedFile&) = delete;
    PinnedFile& operator=(const PinnedFile&) = delete;

    // False with why when name is no regular file or cannot be opened.
    bool Open(const PinnedFolder& folder, const QByteArray& name, QString& why);
    bool IsOpen() const { return fd_ >= 0; }
    const EntryIdentity& Identity() const { return identity_; }
    // Up to length bytes from offset; fewer at the end; empty on failure.
    QByteArray ReadAt(int64_t offset, int64_t length) const;
    // Reaches this very file whatever becomes of its name ("/proc/self/fd/9").
    QString HandlePath() const;

private:
    int fd_ = -1;
    EntryIdentity identity_;
};

// Opens the folder at a host path as it is named (a link to a folder reaches the folder), for a
// folder a caller names by its host path (the ZIP engine's extraction folder). False when no
// folder is there.
bool OpenHostFolder(const QString& host, PinnedFolder& folder);

}  // namespace platform
