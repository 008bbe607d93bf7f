#pragma once
// Directory enumeration in the find-first / find-next form, and the attribute query of a path.
// Paths are program paths ("C:\dir\*.*"); entries carry what a Windows find gives.
//
// Host facts become Windows facts: a symbolic link is a file (reparse-point attribute, its own
// length), never followed; a folder on which another file system is mounted lists as empty;
// names starting with '.' and names their folder's ".hidden" file lists are hidden
// (HiddenNames.h); the short name is always empty.

#include <QString>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WinTypes.h"

namespace platform {

struct FindData {
    uint32_t attributes = 0;
    FileTime creationTime = 0;  // 0 when the file system keeps no birth time
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    int64_t size = 0;  // 0 for folders
    QString name;
    QString shortName;  // ShortNameOf(name): empty when the name fits the 8.3 form
};

enum class FindError {
    None,
    NoMoreFiles,   // the listing is done (or matched nothing)
    PathNotFound,  // the folder or the named entry does not exist
    AccessDenied,
    Other,
};

// The short (8.3) alternate name Windows keeps beside a long name: empty for a name that fits
// the 8.3 form already (a base of 1 to 8 characters, optionally a dot and an extension of 1 to
// 3, all printable ASCII and none that 8.3 names exclude); for any other name the alias Windows
// makes first (upper case, blanks and leading dots dropped, excluded characters as "_", six
// characters of the base, "~1", and up to three of the extension). Linux keeps no short names;
// the rules that ask for one ask this.
QString ShortNameOf(QStringView longName);
inline bool HasShortAlternateName(QStringView longName) {
    return !ShortNameOf(longName).isEmpty();
}

// True when name matches a Windows wildcard mask: '*' any run, '?' one character, letter case
// ignored; "*.*" and "*" match every name.
bool MatchesMask(QStringView name, QStringView mask);
bool HasWildcards(QStringView path);

// One enumeration. The handle is released when FindNext runs out, on Close and on destruction,
// so an early return never leaks it.
class FindHandle {
public:
    FindHandle();
    ~FindHandle();
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    // pattern is a folder path, a backslash and a mask ("C:\dir\*.tmp") or an exact name
    // ("C:\dir\file.txt", which finds that one entry). "." and ".." are never returned.
    // False when nothing was found; error() says why.
    bool FindFirst(const QString& pattern, FindData& data);
    bool FindNext(FindData& data);
    void Close();

    FindError error() const { return error_; }
    QString errorText() const { return errorText_; }

private:
    struct Listing;
    std::unique_ptr<Listing> listing_;
    FindError error_ = FindError::None;
    QString errorText_;
};

// What a tree walk reads of one directory entry.
struct FolderEntry {
    uint32_t attributes = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
    int64_t size = 0;       // 0 for folders
    int64_t allocated = 0;  // what the file system gave it, in bytes
    // The file whatever its name: names with the same device and file id are hard links.
    uint64_t device = 0;
    uint64_t fileId = 0;
    uint32_t linkCount = 1;
};

struct FolderContents;
struct FolderId;
struct OpenFolder;

// Folders read ahead of a tree walk by a few worker threads. The walk stays where it is: it takes
// each folder's listing in its own order, and reads a folder itself when the workers have not
// reached it. A worker opens a subfolder relative to its parent's descriptor without following a
// link, reads all its entries with their status, sends that folder's subfolders on, and hands the
// listing over; it touches nothing but its own buffers and this object's queue. The subfolders
// queued and being read hold at most maxFolders folders open, and workers read on only while the
// listings waiting for the walk take less than maxBytes. It must outlive the readers that use it;
// going, it stops its workers within one folder's reading and joins them.
class FolderReadAhead {
public:
    // The workers of a scan: QUILLON_SCAN_THREADS when it is set (1: none, the walk reads every
    // folder itself), otherwise the number of cores, at most 8.
    static int ThreadCount();
    // How many folders may wait, read: a share of the open-file limit.
    static size_t FolderBudget();

    explicit FolderReadAhead(int threads = ThreadCount(), size_t maxFolders = FolderBudget(),
                             size_t maxBytes = size_t(2) << 20);
    ~FolderReadAhead();
    FolderReadAhead(const FolderReadAhead&) = delete;
    FolderReadAhead& operator=(const FolderReadAhead&) = delete;

    int Threads() const { return int(workers_.size()); }

    struct Task;  // one subfolder sent ahead

private:
    friend class FolderReader;

    using Tasks = std::vector<std::pair<size_t, std::shared_ptr<Task>>>;  // by entry, in order
    // The subfolders of a folder read (of device) from entry from on, made ready to queue.
    Tasks Prepare(const FolderContents& folder, size_t from, uint64_t device,
                  const std::shared_ptr<const std::vector<FolderId>>& roots);
    // Queues the subfolders of one folder, moving them to sent, when there is room to hold that
    // folder open for them (the lock held); byWorker when the worker that read it queues them.
    void Queue(Tasks& tasks, Tasks& sent, bool byWorker);
    void SendLocked(const FolderContents& folder, size_t from, uint64_t device,
                    const std::shared_ptr<const std::vector<FolderId>>& roots, Tasks& sent);
    // The listing read for a task: waits while a worker reads it; false when the walk is to
    // read the folder itself (not reached yet, or another folder stood at the name).
    bool Take(Task& task, FolderContents& contents);
    // The walk no longer needs a task, nor what a worker sent of its subfolders.
    void Drop(Task& task);
    void DropLocked(Task& task);
    // Takes a queued task off the queue (the lock held).
    void Unqueue(Task& task);
    // A task of parent left the queue (the lock held).
    void LeftQueue(OpenFolder& parent);
    // The walk took or let go of a listing waiting (the lock held).
    void ListingGone(const FolderContents& listing);
    // Whether workers may read on: the listings waiting are within their bounds.
    bool MayRead() const { return waiting_ < kMaxWaiting && bytes_ < maxBytes_; }
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;              // a task was queued, or the workers are to stop
    std::condition_variable done_;              // a worker finished a task
    std::vector<std::shared_ptr<Task>> stack_;  // the last queued on top
    size_t idle_ = 0;                           // workers waiting for a task
    bool walkWaiting_ = false;                  // the walk waits for a worker's reading
    size_t heldFolders_ = 0;  // folders held open for the subfolders queued beneath them
    size_t running_ = 0;      // being read: each holds its folder and its parent open
    size_t waiting_ = 0;      // read, not yet taken by the walk (they hold no folder open)
    size_t bytes_ = 0;        // of the listings waiting
    static constexpr size_t kMaxWaiting = 1 << 16;
    static constexpr size_t kMaxQueued = 1 << 16;
    size_t maxFolders_;
    size_t maxBytes_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

// The listing of one folder for walking a whole tree, read whole when it is opened. A subfolder
// is opened relative to its parent's folder, so no path is resolved twice, and an entry's name is
// decoded only when asked for. Entries follow the rules of FindHandle: links are files, "." and
// ".." are skipped, and a folder on which another file system is mounted (or that is another
// drive's root) opens with no entries. A walk given a read-ahead has its subfolders read ahead.
class FolderReader {
public:
    FolderReader();
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // What a folder opened by its path lists: every entry, or only its files (the entries the
    // host types as folders are passed over without asking for their status).
    enum class Listed { Everything, FilesOnly };
    // Opens a folder by its program path ("C:\dir", a trailing backslash allowed), its subfolders
    // to be read ahead by ahead when one is given. False when it cannot be listed; error() and
    // errorText() say why.
    bool Open(const QString& folderPath, FolderReadAhead* ahead = nullptr,
              Listed listed = Listed::Everything);
    // Opens the folder that the parent's current entry names (with the parent's read-ahead);
    // false when that entry is no folder or cannot be opened.
    bool OpenEntryOf(const FolderReader& parent);
    // Steps to the next entry; false when the listing is done (error() NoMoreFiles) or failed.
    bool Next();
    void Close();

    const FolderEntry& entry() const { return entry_; }
    bool entryIsFolder() const { return entry_.attributes & FILE_ATTRIBUTE_DIRECTORY; }
    // The current entry's name as the program writes it (lossless, and a '\\' of the host
    // name shows as U+FF3C, as in FromHostPath).
    QString entryName() const;
    // The current entry's name as the host stores it, byte for byte.
    QByteArray entryHostName() const;
    // The same bytes where the listing holds them, valid until the next step.
    QByteArrayView entryHostBytes() const;

    FindError error() const { return error_; }
    QString errorText() const { return errorText_; }

private:
    struct Listing;
    std::unique_ptr<Listing> listing_;
    FolderEntry entry_;
    FindError error_ = FindError::None;
    QString errorText_;
};

// True when nothing exists at a path: the host knows no such entry, or the path is on no
// mapped drive. False when something is there or it cannot be told (access denied). Names
// may hold any character, '*' and '?' too.
bool PathIsMissing(const QString& path);

// The device of the file system that holds a folder (as FolderEntry::device gives it for
// entries); 0 when it cannot be reached.
uint64_t FolderDevice(const QString& path);

// The attributes of a file or folder, INVALID_FILE_ATTRIBUTES when it does not exist or cannot be
// reached. The path is taken literally: '*' and '?' are characters of its names. A drive root is
// a folder.
uint32_t GetFileAttributes(const QString& path);

}  // namespace platform
