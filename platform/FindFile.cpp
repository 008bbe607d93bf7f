#include "platform/FindFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Drives.h"
#include "platform/HiddenNames.h"
#include "platform/HostNames.h"

namespace platform {

namespace {

constexpr size_t kListingBufferSize = 64 * 1024;  // stays below malloc's mmap threshold
constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_BLOCKS;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
// A tree walk needs no birth time, but the identity of folders to tell mount points.
constexpr unsigned kWalkStatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME |
                                    STATX_MTIME | STATX_BLOCKS | STATX_INO | STATX_NLINK;

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Listing buffers are reused: a scan opens one folder after another, and a fresh 64 KiB
// allocation per folder would cost more than reading a small folder.
std::vector<std::unique_ptr<char[]>>& FreeBuffers() {
    thread_local std::vector<std::unique_ptr<char[]>> buffers;
    return buffers;
}

std::unique_ptr<char[]> TakeBuffer() {
    auto& pool = FreeBuffers();
    if (pool.empty()) return std::make_unique<char[]>(kListingBufferSize);
    auto buffer = std::move(pool.back());
    pool.pop_back();
    return buffer;
}

QString ProgramName(const char* bytes) {
    return ProgramNameOf(DecodeHostName(bytes, qsizetype(strlen(bytes))));
}

bool IsDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

FileTime ToFileTime(const struct statx_timestamp& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

uint32_t AttributesOf(const struct statx& sx, bool hiddenName) {
    uint32_t a = 0;
    const unsigned mode = sx.stx_mode;
    if (S_ISDIR(mode)) {
        a |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISLNK(mode)) {
        a |= FILE_ATTRIBUTE_REPARSE_POINT;
    } else if (S_ISREG(mode)) {
        a |= FILE_ATTRIBUTE_ARCHIVE;
        if ((sx.stx_mask & STATX_BLOCKS) && sx.stx_blocks * 512 < sx.stx_size)
            a |= FILE_ATTRIBUTE_SPARSE_FILE;
    } else {
        a |= FILE_ATTRIBUTE_SYSTEM;  // sockets, fifos, device nodes
    }
    if (!S_ISLNK(mode) && !(mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
    if (hiddenName) a |= FILE_ATTRIBUTE_HIDDEN;
    if ((sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
        (sx.stx_attributes & STATX_ATTR_COMPRESSED))
        a |= FILE_ATTRIBUTE_COMPRESSED;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

void FillFromStatx(const struct statx& sx, bool hiddenName, FindData& data) {
    data.attributes = AttributesOf(sx, hiddenName);
    data.creationTime = (sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : 0;
    data.lastAccessTime = ToFileTime(sx.stx_atime);
    data.lastWriteTime = ToFileTime(sx.stx_mtime);
    data.size = S_ISDIR(sx.stx_mode) ? 0 : static_cast<int64_t>(sx.stx_size);
}

// What is known of an entry whose status cannot be read: its type from the listing.
uint32_t AttributesOfType(unsigned char type, bool hiddenName) {
    uint32_t a;
    switch (type) {
        case DT_DIR:
            a = FILE_ATTRIBUTE_DIRECTORY;
            break;
        case DT_LNK:
            a = FILE_ATTRIBUTE_REPARSE_POINT;
            break;
        case DT_REG:
            a = FILE_ATTRIBUTE_ARCHIVE;
            break;
        default:
            a = FILE_ATTRIBUTE_SYSTEM;
            break;
    }
    return hiddenName ? a | FILE_ATTRIBUTE_HIDDEN : a;
}

// The names an open folder's ".hidden" file lists; none when it has no such regular file.
std::vector<QByteArray> HiddenNamesIn(int dirFd) {
    constexpr qsizetype kMaxListSize = 1 << 20;
    const int fd = ::openat(dirFd, kHiddenListName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray contents;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxListSize) {
        contents.resize(qsizetype(st.st_size));
        const ssize_t n = ::pread(fd, contents.data(), size_t(contents.size()), 0);
        contents.resize(n > 0 ? qsizetype(n) : 0);
    }
    ::close(fd);
    return HiddenNamesOf(contents);
}

FindError ErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
            return FindError::PathNotFound;
        case EACCES:
        case EPERM:
            return FindError::AccessDenied;
        default:
            return FindError::Other;
    }
}

// The raw entries of one folder, read with getdents64 into a pooled buffer. The folder is
// closed and the buffer given back when the stream goes.
struct DirentStream {
    int fd = -1;
    std::unique_ptr<char[]> buffer;
    long capacity = 0;  // kListingBufferSize for a pooled buffer
    long length = 0;
    long offset = 0;

    explicit DirentStream(int folder) : fd(folder) {}
    ~DirentStream() {
        if (fd >= 0) ::close(fd);
        GiveBackBuffer();
    }
    DirentStream(const DirentStream&) = delete;
    DirentStream& operator=(const DirentStream&) = delete;

    void GiveBackBuffer() {
        if (buffer && capacity == long(kListingBufferSize))
            FreeBuffers().push_back(std::move(buffer));
        buffer.reset();
        capacity = 0;
    }

    // The next entry other than "." and ".."; nullptr at the end, with errno set on a failure
    // (0 at a plain end).
    const LinuxDirent64* Read() {
        for (;;) {
            if (offset >= length) {
                if (fd < 0) {
                    errno = 0;
                    return nullptr;
                }
                if (capacity != long(kListingBufferSize)) {
                    GiveBackBuffer();
                    buffer = TakeBuffer();
                    capacity = long(kListingBufferSize);
                }
                length = syscall(SYS_getdents64, fd, buffer.get(), kListingBufferSize);
                offset = 0;
                if (length <= 0) {
                    if (length == 0) errno = 0;
                    return nullptr;
                }
            }
            const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.get() + offset);
            offset += d->d_reclen;
            if (!IsDotOrDotDot(d->d_name)) return d;
        }
    }
};

// A host path made ready for the *at calls. A path longer than the system's limit is reached
// in steps below that limit, through the folders on the way.
class HostPathAt {
public:
    explicit HostPathAt(const QString& host) {
        QByteArray bytes = EncodeHostName(host);
        while (bytes.size() >= PATH_MAX) {
            const qsizetype cut = bytes.lastIndexOf('/', PATH_MAX - 2);
            const int next = cut > 0 ? ::openat(fd_, bytes.left(cut).constData(),
                                                O_PATH | O_DIRECTORY | O_CLOEXEC)
                                     : (errno = ENAMETOOLONG, -1);
            if (fd_ >= 0) ::close(fd_);
            fd_ = next;
            if (next < 0) return;
            bytes = bytes.mid(cut + 1);
        }
        rest_ = std::move(bytes);
    }
    ~HostPathAt() {
        if (fd_ >= 0) ::close(fd_);
    }
    HostPathAt(const HostPathAt&) = delete;
    HostPathAt& operator=(const HostPathAt&) = delete;

    // False, with errno set, when a folder on the way could not be opened.
    bool ok() const { return fd_ != -1; }
    int fd() const { return fd_; }
    const char* rest() const { return rest_.constData(); }

    int Statx(int flags, unsigned mask, struct statx* sx) const {
        return ok() ? statx(fd_, rest(), flags, mask, sx) : -1;
    }
    int OpenFolder(int flags) const {
        return ok() ? ::openat(fd_, rest(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags) : -1;
    }

private:
    int fd_ = AT_FDCWD;
    QByteArray rest_;
};

// The names that the ".hidden" file in the folder of a host path lists.
std::vector<QByteArray> HiddenNamesBeside(const QString& host) {
    const qsizetype slash = host.lastIndexOf(u'/');
    if (slash < 0) return {};
    const int fd = HostPathAt(slash == 0 ? QStringLiteral("/") : host.left(slash)).OpenFolder(0);
    if (fd < 0) return {};
    std::vector<QByteArray> names = HiddenNamesIn(fd);
    ::close(fd);
    return names;
}

// Keeps the reason of a failure that errno names.
void NoteFailure(int error, FindError& kind, QString& text) {
    kind = ErrorOf(error);
    text = SystemErrorText(error);
}

// Keeps what ended a listing: its plain end, or the failure errno names.
void NoteListingEnd(FindError& kind, QString& text) {
    if (errno)
        NoteFailure(errno, kind, text);
    else
        kind = FindError::NoMoreFiles;
}

QChar Folded(QChar c) {
    return c.toCaseFolded();
}

bool MatchesExactly(QStringView name, QStringView mask) {
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == u'?' || Folded(mask[m]) == Folded(name[n]))) {
            ++n;
            ++m;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*') ++m;
    return m == mask.size();
}

}  // namespace

namespace {

const QString kExcludedFromShortNames = QStringLiteral("\"*+,./:;<=>?[\\]|");

bool FitsShortNameForm(QStringView name) {
    const qsizetype dot = name.indexOf(u'.');
    const QStringView base = dot < 0 ? name : name.left(dot);
    const QStringView extension = dot < 0 ? QStringView() : name.mid(dot + 1);
    if (base.isEmpty() || base.size() > 8) return false;
    if (dot >= 0 && (extension.isEmpty() || extension.size() > 3)) return false;
    for (const QStringView part : {base, extension}) {
        for (const QChar c : part) {
            if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || kExcludedFromShortNames.contains(c))
                return false;
        }
    }
    return true;
}

// A character of an alias: upper-case ASCII, or "_" for what an 8.3 name cannot hold.
QChar AliasCharacter(QChar c) {
    if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || kExcludedFromShortNames.contains(c))
        return u'_';
    return c.toUpper();
}

}  // namespace

QString ShortNameOf(QStringView longName) {
    if (longName.isEmpty() || FitsShortNameForm(longName)) return {};
    QString name;
    for (const QChar c : longName) {
        if (c != u' ') name += c;
    }
    while (name.startsWith(u'.')) name.remove(0, 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    QString base, extension;
    for (qsizetype i = 0; i < (dot < 0 ? name.size() : dot); ++i) {
        if (name[i] != u'.') base += AliasCharacter(name[i]);
    }
    if (dot >= 0) {
        for (qsizetype i = dot + 1; i < name.size() && extension.size() < 3; ++i)
            extension += AliasCharacter(name[i]);
    }
    if (base.isEmpty()) base = QStringLiteral("_");
    QString alias = base.left(6) + QLatin1String("~1");
    if (!extension.isEmpty()) alias += u'.' + extension;
    return alias;
}

bool MatchesMask(QStringView name, QStringView mask) {
    if (mask == u"*" || mask == u"*.*") return true;
    if (MatchesExactly(name, mask)) return true;
    // As on Windows, a mask ending in ".*" also takes names without an extension.
    return mask.endsWith(u".*") && !name.contains(u'.') && MatchesExactly(name, mask.chopped(2));
}

bool HasWildcards(QStringView path) {
    return path.contains(u'*') || path.contains(u'?');
}

struct FindHandle::Listing {
    DirentStream stream;
    QString mask;
    bool everything = false;
    std::vector<QByteArray> hiddenNames;

    explicit Listing(int fd) : stream(fd) {}
};

FindHandle::FindHandle() = default;
FindHandle::~FindHandle() = default;

void FindHandle::Close() {
    listing_.reset();
}

bool FindHandle::FindFirst(const QString& pattern, FindData& data) {
    Close();
    error_ = FindError::None;
    errorText_.clear();

    const qsizetype cut = std::max(pattern.lastIndexOf(u'\\'), pattern.lastIndexOf(u':'));
    const QString mask = pattern.mid(cut + 1);
    const QString folder = pattern.left(cut + 1);
    const QString hostFolder = ToHostPath(folder);
    if (cut < 0 || mask.isEmpty() || hostFolder.isEmpty()) {
        error_ = FindError::PathNotFound;
        return false;
    }

    if (!HasWildcards(mask)) {  // one named entry: no listing needed
        if (mask == u"." || mask == u"..") {
            error_ = FindError::PathNotFound;
            return false;
        }
        // The entry's path as the drive resolves it: on a drive that ignores case, the name
        // may be spelled otherwise than on disk, and the entry gives the name on disk.
        const QString host = ToHostPath(pattern);
        struct statx sx;
        if (HostPathAt(host).Statx(kStatxFlags, kStatxMask, &sx) != 0) {
            NoteFailure(errno, error_, errorText_);
            return false;
        }
        const QByteArray name = EncodeHostName(host.mid(host.lastIndexOf(u'/') + 1));
        data.name = ProgramName(name.constData());
        FillFromStatx(sx, IsHiddenName(name.constData(), HiddenNamesBeside(host)), data);
        data.shortName = ShortNameOf(data.name);
        return true;
    }

    const DriveMapping* drive = FindDrive(pattern[0]);
    if (IsForeignMountPoint(hostFolder, drive->hostRoot)) {
        error_ = FindError::NoMoreFiles;  // that file system is a drive of its own
        return false;
    }
    const int fd = HostPathAt(hostFolder).OpenFolder(0);
    if (fd < 0) {
        NoteFailure(errno, error_, errorText_);
        return false;
    }
    listing_ = std::make_unique<Listing>(fd);
    listing_->mask = mask;
    listing_->everything = mask == u"*" || mask == u"*.*";
    listing_->hiddenNames = HiddenNamesIn(fd);
    return FindNext(data);
}

bool FindHandle::FindNext(FindData& data) {
    Listing* l = listing_.get();
    if (!l) {
        error_ = FindError::NoMoreFiles;
        return false;
    }
    for (;;) {
        const LinuxDirent64* d = l->stream.Read();
        if (!d) {
            NoteListingEnd(error_, errorText_);
            Close();
            return false;
        }
        QString name = ProgramName(d->d_name);
        if (!l->everything && !MatchesMask(name, l->mask)) continue;

        const bool hidden = IsHiddenName(d->d_name, l->hiddenNames);
        struct statx sx;
        if (statx(l->stream.fd, d->d_name, kStatxFlags, kStatxMask, &sx) == 0) {
            FillFromStatx(sx, hidden, data);
        } else if (errno == ENOENT) {
            continue;  // gone since the listing was read
        } else {
            data = FindData{};
            data.attributes = AttributesOfType(d->d_type, hidden);
        }
        data.name = std::move(name);
        data.shortName = ShortNameOf(data.name);
        return true;
    }
}

// A folder's identity, to recognise the roots of other drives inside a walk.
struct FolderId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

namespace {

uint64_t DeviceOf(const struct statx& sx) {
    return (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
}

// The roots of the other drives that lie inside a host folder: a walk of that folder must
// list them as empty, as it does mount points. Usually there are none.
std::shared_ptr<const std::vector<FolderId>> DriveRootsInside(const QString& hostFolder) {
    std::vector<FolderId> roots;
    const QString prefix = hostFolder.endsWith(u'/') ? hostFolder : hostFolder + u'/';
    for (const DriveMapping& d : DriveMap()) {
        if (!d.hostRoot.startsWith(prefix) || d.hostRoot.size() == prefix.size()) continue;
        struct statx sx;
        if (statx(AT_FDCWD, EncodeHostName(d.hostRoot).constData(), kStatxFlags, STATX_INO, &sx) ==
            0)
            roots.push_back({DeviceOf(sx), sx.stx_ino});
    }
    if (roots.empty()) return nullptr;
    return std::make_shared<const std::vector<FolderId>>(std::move(roots));
}

}  // namespace

// An open folder, closed when its last holder lets go: the walk's listing and the reads of its
// subfolders sent ahead share it.
struct OpenFolder {
    int fd;
    size_t queued = 0;  // subfolders queued beneath it (under the read-ahead's lock)
    explicit OpenFolder(int folder) : fd(folder) {}
    ~OpenFolder() { ::close(fd); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
};

// One entry of a folder read whole.
struct ListedEntry {
    FolderEntry entry;
    FolderId id;
    uint32_t name = 0;  // where its name starts in the listing's names, NUL-terminated
    bool mountRootKnown = false;
    bool mountRoot = false;
};

// Every entry of one folder, read with getdents64 and statx in one go, by the walk itself or
// by a worker ahead of it. The folder stays open afterwards, for its subfolders.
struct FolderContents {
    std::shared_ptr<OpenFolder> folder;
    std::vector<ListedEntry> entries;
    std::vector<char> names;
    int openError = 0;  // errno of a folder that could not be opened
    int endError = 0;   // errno that ended the reading early; 0 at its plain end
    // The subfolders a worker sent ahead when it read the folder, by entry, in order.
    std::vector<std::pair<size_t, std::shared_ptr<FolderReadAhead::Task>>> sent;

    size_t Bytes() const {
        return entries.capacity() * sizeof(ListedEntry) + names.capacity() + sizeof(*this);
    }
};

namespace {

// Whether an entry, a folder, belongs to another file system or to another drive than the
// folder (of device) that lists it.
bool IsForeignEntry(const ListedEntry& e, uint64_t device, const std::vector<FolderId>* roots) {
    if (e.mountRootKnown ? e.mountRoot : e.id.device != device) return true;
    return roots && std::find(roots->begin(), roots->end(), e.id) != roots->end();
}

// Reads the entries of the open folder fd (taken over), whose device is device: every one, or
// with filesOnly those the listing does not type as folders.
void ReadContents(int fd, uint64_t device, FolderContents& c, bool filesOnly = false) {
    c.folder = std::make_shared<OpenFolder>(fd);
    thread_local std::unique_ptr<char[]> buffer = std::make_unique<char[]>(kListingBufferSize);
    bool listsHidden = false;  // the folder has a ".hidden" list: it is read once all is listed
    for (;;) {
        const long length = syscall(SYS_getdents64, fd, buffer.get(), kListingBufferSize);
        if (length <= 0) {
            c.endError = length < 0 ? errno : 0;
            break;
        }
        // Room for this batch at once: a record is about 32 bytes, a name at most its record.
        c.entries.reserve(c.entries.size() + size_t(length) / 32 + 1);
        c.names.reserve(c.names.size() + size_t(length));
        for (long offset = 0; offset < length;) {
            const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.get() + offset);
            offset += d->d_reclen;
            if (IsDotOrDotDot(d->d_name) || (filesOnly && d->d_type == DT_DIR)) continue;
            ListedEntry e;
            const bool isHidden = d->d_name[0] == '.';
            if (strcmp(d->d_name, kHiddenListName) == 0) listsHidden = true;
            struct statx sx;
            if (statx(fd, d->d_name, kStatxFlags, kWalkStatxMask, &sx) == 0) {
                e.entry.attributes = AttributesOf(sx, isHidden);
                e.entry.lastAccessTime = ToFileTime(sx.stx_atime);
                e.entry.lastWriteTime = ToFileTime(sx.stx_mtime);
                e.entry.size = S_ISDIR(sx.stx_mode) ? 0 : int64_t(sx.stx_size);
                e.entry.allocated = int64_t(sx.stx_blocks) * 512;
                e.entry.device = DeviceOf(sx);
                e.entry.fileId = sx.stx_ino;
                e.entry.linkCount = sx.stx_nlink;
                e.id = {DeviceOf(sx), sx.stx_ino};
                e.mountRootKnown = sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
                e.mountRoot = sx.stx_attributes & STATX_ATTR_MOUNT_ROOT;
            } else if (errno == ENOENT) {
                continue;  // gone since the listing was read
            } else {
                e.entry.attributes = AttributesOfType(d->d_type, isHidden);
                e.id = {device, d->d_ino};  // unknown: tried as a folder of this file system
            }
            e.name = uint32_t(c.names.size());
            const size_t n = strlen(d->d_name) + 1;
            c.names.insert(c.names.end(), d->d_name, d->d_name + n);
            c.entries.push_back(e);
        }
    }
    if (!listsHidden) return;
    const std::vector<QByteArray> hidden = HiddenNamesIn(fd);
    for (ListedEntry& e : c.entries) {
        const char* name = c.names.data() + e.name;
        uint32_t& a = e.entry.attributes;
        if (IsHiddenName(name, hidden))
            a = (a == FILE_ATTRIBUTE_NORMAL ? 0 : a) | FILE_ATTRIBUTE_HIDDEN;
        // Reading the list may have moved its access time: the scan reports it as it is now.
        struct statx sx;
        if (strcmp(name, kHiddenListName) == 0 &&
            statx(fd, name, kStatxFlags, STATX_ATIME, &sx) == 0)
            e.entry.lastAccessTime = ToFileTime(sx.stx_atime);
    }
}

// The process's open-file limit as it is now (1024 when it cannot be told or has none).
size_t OpenFileLimit() {
    struct rlimit limit;
    const rlim_t files = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
    return files == RLIM_INFINITY ? 1024 : size_t(files);
}

bool IsFolderWithId(int fd, const FolderId& expected) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_INO, &sx) != 0) return false;
    errno = 0;
    return FolderId{DeviceOf(sx), sx.stx_ino} == expected;
}

// Opens the subfolder name of the open folder parent, never through a link, and reads it whole,
// as the walk itself would.
void ReadSubfolder(int parent, const char* name, const FolderId& expected, FolderContents& c) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        c.openError = errno;
        return;
    }
    ReadContents(fd, expected.device, c);
}

}  // namespace

// --- the read-ahead ---

// A subfolder sent ahead: who holds it and what became of it.
struct FolderReadAhead::Task {
    enum class State { Queued, Running, Done, Dropped };
    State state = State::Queued;
    std::atomic<bool> read{false};  // a worker finished it: the walk may stop spinning
    bool dropWhenDone = false;      // the walk let go of it while a worker read it
    std::shared_ptr<OpenFolder> parent;
    QByteArray name;
    FolderId expected;
    std::shared_ptr<const std::vector<FolderId>> driveRoots;
    FolderContents result;
};

int FolderReadAhead::ThreadCount() {
    bool given = false;
    const int asked = qEnvironmentVariableIntValue("QUILLON_SCAN_THREADS", &given);
    if (given && asked >= 1) return std::min(asked, 64);
    return std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
}

FolderReadAhead::FolderReadAhead(int threads, size_t maxFolders, size_t maxBytes)
    : maxFolders_(maxFolders), maxBytes_(maxBytes) {
    if (threads <= 1) return;  // one thread: the walk reads every folder itself
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

FolderReadAhead::~FolderReadAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (const std::shared_ptr<Task>& task : stack_) task->state = Task::State::Dropped;
        stack_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

FolderReadAhead::Tasks FolderReadAhead::Prepare(
    const FolderContents& folder, size_t from, uint64_t device,
    const std::shared_ptr<const std::vector<FolderId>>& roots) {
    Tasks tasks;
    if (workers_.empty() || !folder.folder) return tasks;
    for (size_t i = from; i < folder.entries.size(); ++i) {
        const ListedEntry& e = folder.entries[i];
        if (!(e.entry.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            IsForeignEntry(e, device, roots.get()))
            continue;
        auto task = std::make_shared<Task>();
        task->parent = folder.folder;
        task->name = folder.names.data() + e.name;
        task->expected = e.id;
        task->driveRoots = roots;
        tasks.emplace_back(i, std::move(task));
    }
    return tasks;
}

void FolderReadAhead::Queue(Tasks& tasks, Tasks& sent, bool byWorker) {
    // They go on the stack together, the first on top: the workers read on in the walk's order.
    // What finds no room stays in tasks; the walk reads those folders itself.
    if (tasks.empty() || stopping_ || stack_.size() + tasks.size() > kMaxQueued) return;
    OpenFolder& parent = *tasks.front().second->parent;
    if (parent.queued == 0) {
        if (heldFolders_ + 2 * running_ >= maxFolders_) return;
        ++heldFolders_;
    }
    parent.queued += tasks.size();
    for (auto task = tasks.rbegin(); task != tasks.rend(); ++task) stack_.push_back(task->second);
    const size_t count = tasks.size();
    sent.insert(sent.end(), std::make_move_iterator(tasks.begin()),
                std::make_move_iterator(tasks.end()));
    tasks.clear();
    // A worker sending on takes one of them itself; only idle ones are woken, one a folder.
    if (!MayRead()) return;  // they are woken when the walk has taken listings
    size_t wakes = std::min(count - (byWorker ? 1 : 0), idle_);
    while (wakes-- > 0) wake_.notify_one();
}

void FolderReadAhead::SendLocked(const FolderContents& folder, size_t from, uint64_t device,
                                 const std::shared_ptr<const std::vector<FolderId>>& roots,
                                 Tasks& sent) {
    Tasks tasks = Prepare(folder, from, device, roots);
    if (tasks.empty()) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    Queue(tasks, sent, false);
}

void FolderReadAhead::Unqueue(Task& task) {
    stack_.erase(std::find_if(stack_.begin(), stack_.end(),
                              [&](const std::shared_ptr<Task>& t) { return t.get() == &task; }));
    LeftQueue(*task.parent);
    task.parent.reset();  // its folder closes when nothing else holds it
    task.state = Task::State::Dropped;
}

void FolderReadAhead::LeftQueue(OpenFolder& parent) {
    if (--parent.queued == 0) --heldFolders_;
}

void FolderReadAhead::ListingGone(const FolderContents& listing) {
    const bool mayRead = MayRead();
    --waiting_;
    bytes_ -= listing.Bytes();
    if (!mayRead && MayRead() && idle_ > 0 && !stack_.empty()) wake_.notify_all();
}

bool FolderReadAhead::Take(Task& task, FolderContents& contents) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (task.state == Task::State::Queued) {
        // Not reached yet: the walk reads it itself rather than wait.
        Unqueue(task);
        return false;
    }
    if (task.state == Task::State::Running) {
        // A worker is reading it: most folders take microseconds, so the walk spins a little
        // before it sleeps (waking a thread costs more than that).
        lock.unlock();
        for (int i = 0; i < 2000 && !task.read.load(std::memory_order_acquire); ++i)
            if (i % 64 == 63) std::this_thread::yield();
        lock.lock();
        walkWaiting_ = true;
        done_.wait(lock, [&] { return task.state != Task::State::Running; });
        walkWaiting_ = false;
    }
    if (task.state != Task::State::Done) return false;
    task.state = Task::State::Dropped;
    ListingGone(task.result);
    contents = std::move(task.result);
    return true;
}

void FolderReadAhead::Drop(Task& task) {
    const std::lock_guard<std::mutex> lock(mutex_);
    DropLocked(task);
}

void FolderReadAhead::DropLocked(Task& task) {
    switch (task.state) {
        case Task::State::Queued:
            Unqueue(task);
            return;
        case Task::State::Running:
            task.dropWhenDone = true;
            return;
        case Task::State::Done:
            ListingGone(task.result);
            // What the worker sent of its subfolders goes with it.
            for (auto& sentChild : task.result.sent) DropLocked(*sentChild.second);
            task.result = {};
            break;
        case Task::State::Dropped:
            return;
    }
    task.state = Task::State::Dropped;
}

void FolderReadAhead::Work() {
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return stopping_ || (!stack_.empty() && MayRead()); });
            --idle_;
            if (stopping_) return;
            task = std::move(stack_.back());
            stack_.pop_back();
            LeftQueue(*task->parent);
            ++running_;
            task->state = Task::State::Running;
        }
        FolderContents contents;
        ReadSubfolder(task->parent->fd, task->name.constData(), task->expected, contents);
        // Its subfolders go ahead at once, before the walk gets there; they hold the folder open
        // while they wait, and a listing waiting holds none. Folders close outside the lock.
        Tasks children = Prepare(contents, 0, task->expected.device, task->driveRoots);
        const std::shared_ptr<OpenFolder> parent = std::move(task->parent);
        const std::shared_ptr<OpenFolder> folder = std::move(contents.folder);
        bool walkWaits;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            walkWaits = walkWaiting_;
            --running_;
            if (task->dropWhenDone) {
                task->state = Task::State::Dropped;
            } else {
                Queue(children, contents.sent, true);
                task->result = std::move(contents);
                task->state = Task::State::Done;
                task->read.store(true, std::memory_order_release);
                ++waiting_;
                bytes_ += task->result.Bytes();
            }
        }
        if (walkWaits) done_.notify_all();
    }
}

// --- the walk's reader ---

// A folder being read for a walk. A walk keeps the folders of the whole path open, one per
// level, to open their subfolders relative to them; so that a tree deeper than the open-file
// limit still reads completely, only the deepest ones (a budget below that limit) stay open, and
// a shallower listing lets go of its folder and opens it again, from its nearest open ancestor,
// when the walk comes back to it for a subfolder.
struct FolderReader::Listing {
    FolderContents contents;
    std::shared_ptr<const std::vector<FolderId>> driveRoots;
    uint64_t device = 0;  // of the folder itself
    // How to open the folder again: its name in the parent listing's folder, or for the first
    // listing of a walk (no parent) its host path; its identity, to check that it is the same.
    Listing* parent = nullptr;
    QByteArray reopenName;
    FolderId self;
    // The read-ahead the walk uses, and the subfolders sent to it, by entry.
    FolderReadAhead* ahead = nullptr;
    std::vector<std::pair<size_t, std::shared_ptr<FolderReadAhead::Task>>> sent;
    size_t sentTaken = 0;  // sent before this one were taken or let go
    // The current entry.
    size_t next = 0;
    const ListedEntry* current = nullptr;

    Listing(std::shared_ptr<const std::vector<FolderId>> roots, uint64_t folderDevice)
        : driveRoots(std::move(roots)), device(folderDevice) {}
    ~Listing() {
        for (size_t i = sentTaken; i < sent.size(); ++i) ahead->Drop(*sent[i].second);
        auto& open = OpenListings();
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;

    int Fd() const { return contents.folder ? contents.folder->fd : -1; }
    const char* NameOf(const ListedEntry& e) const { return contents.names.data() + e.name; }

    bool IsForeign(const ListedEntry& e) const {
        return IsForeignEntry(e, device, driveRoots.get());
    }

    // Counts the listing among the open ones, when its folder is open; the oldest let go of
    // their folders while more than the budget are open.
    void Register() {
        if (!contents.folder) return;
        auto& open = OpenListings();
        open.push_back(this);
        while (open.size() > Budget()) {
            Listing* oldest = open.front();
            open.erase(open.begin());
            oldest->contents.folder.reset();
        }
    }

    // Opens the folder again if it was let go, with every let-go ancestor on the way. False
    // (errno set) when a folder on the way is gone or is no longer the same folder.
    bool EnsureOpen() {
        if (contents.folder) return true;
        std::vector<Listing*> chain;
        for (Listing* l = this; l && !l->contents.folder; l = l->parent) chain.push_back(l);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            Listing* l = *it;
            const int fd = l->parent ? ::openat(l->parent->Fd(), l->reopenName.constData(),
                                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                     : HostPathAt(DecodeHostName(l->reopenName)).OpenFolder(0);
            if (fd < 0 || !IsFolderWithId(fd, l->self)) {
                if (fd >= 0) ::close(fd);
                if (errno == 0) errno = ENOENT;
                return false;
            }
            l->contents.folder = std::make_shared<OpenFolder>(fd);
            l->Register();
        }
        return true;
    }

    // Sends the subfolders ahead that a worker did not send when it read the folder (opening
    // the folder again for them when the worker let go of it).
    void SendAhead() {
        if (!ahead || ahead->Threads() == 0) return;
        sent = std::move(contents.sent);
        const size_t from = sent.empty() ? 0 : sent.back().first + 1;
        const auto unsent = std::find_if(
            contents.entries.begin() + std::ptrdiff_t(std::min(from, contents.entries.size())),
            contents.entries.end(), [this](const ListedEntry& e) {
                return (e.entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsForeign(e);
            });
        if (unsent == contents.entries.end() || !EnsureOpen()) return;
        ahead->SendLocked(contents, from, device, driveRoots, sent);
    }

    // What was read ahead for the current entry, when it was sent and is ready; false when
    // the walk reads it itself.
    bool TakeAhead(FolderContents& into) {
        const size_t index = size_t(current - contents.entries.data());
        // The entries are walked in order: those sent before this one are done with.
        while (sentTaken < sent.size() && sent[sentTaken].first < index)
            ahead->Drop(*sent[sentTaken++].second);
        if (sentTaken == sent.size() || sent[sentTaken].first != index) return false;
        return ahead->Take(*sent[sentTaken++].second, into);
    }

    // The listings whose folders are open, oldest first: in a walk, shallowest first.
    static std::vector<Listing*>& OpenListings() {
        thread_local std::vector<Listing*> open;
        return open;
    }
    static size_t& Budget() {
        thread_local size_t budget = 64;
        return budget;
    }
    // A quarter of the open-file limit, so that the program keeps files for everything else.
    static void SetBudgetFromLimit() { Budget() = std::clamp<size_t>(OpenFileLimit() / 4, 2, 256); }
};

size_t FolderReadAhead::FolderBudget() {
    // A folder queued holds its parent open: a share of what the walk's budget leaves.
    return std::clamp<size_t>(OpenFileLimit() / 8, 1, 1024);
}

FolderReader::FolderReader() = default;
FolderReader::~FolderReader() = default;

void FolderReader::Close() {
    listing_.reset();
}

bool FolderReader::Open(const QString& folderPath, FolderReadAhead* ahead, Listed listed) {
    Close();
    error_ = FindError::None;
    errorText_.clear();
    const QString host = ToHostPath(folderPath);
    if (host.isEmpty()) {
        error_ = FindError::PathNotFound;
        return false;
    }
    if (IsForeignMountPoint(host, FindDrive(folderPath[0])->hostRoot)) {
        listing_ = std::make_unique<Listing>(nullptr, 0);  // a drive of its own: empty
        return true;
    }
    const int fd = HostPathAt(host).OpenFolder(0);
    struct statx sx;
    if (fd < 0 || statx(fd, "", AT_EMPTY_PATH, STATX_INO, &sx) != 0) {
        NoteFailure(errno, error_, errorText_);
        if (fd >= 0) ::close(fd);
        return false;
    }
    Listing::SetBudgetFromLimit();
    listing_ = std::make_unique<Listing>(DriveRootsInside(host), DeviceOf(sx));
    ReadContents(fd, DeviceOf(sx), listing_->contents, listed == Listed::FilesOnly);
    listing_->reopenName = EncodeHostName(host);
    listing_->self = {DeviceOf(sx), sx.stx_ino};
    listing_->ahead = ahead;
    listing_->Register();
    listing_->SendAhead();
    return true;
}

bool FolderReader::OpenEntryOf(const FolderReader& parent) {
    Close();
    error_ = FindError::None;
    errorText_.clear();
    Listing* p = parent.listing_.get();
    if (!p || !p->current || !parent.entryIsFolder()) {
        error_ = FindError::PathNotFound;
        return false;
    }
    const ListedEntry& e = *p->current;
    if (p->IsForeign(e)) {
        listing_ = std::make_unique<Listing>(nullptr, 0);
        return true;
    }
    auto listing = std::make_unique<Listing>(p->driveRoots, e.id.device);
    FolderContents& c = listing->contents;
    if (!p->TakeAhead(c)) {
        c = {};
        if (!p->EnsureOpen()) {
            NoteFailure(errno, error_, errorText_);
            return false;
        }
        const int fd =
            ::openat(p->Fd(), p->NameOf(e), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            NoteFailure(errno, error_, errorText_);
            return false;
        }
        ReadContents(fd, e.id.device, c);
    } else if (c.openError) {
        NoteFailure(c.openError, error_, errorText_);
        return false;
    }
    listing_ = std::move(listing);
    listing_->parent = p;
    listing_->reopenName = p->NameOf(e);
    listing_->self = e.id;
    listing_->ahead = p->ahead;
    listing_->Register();
    listing_->SendAhead();
    return true;
}

bool FolderReader::Next() {
    Listing* l = listing_.get();
    if (!l) {
        error_ = FindError::NoMoreFiles;
        return false;
    }
    if (l->next >= l->contents.entries.size()) {
        l->current = nullptr;
        if (l->contents.endError)
            NoteFailure(l->contents.endError, error_, errorText_);
        else
            error_ = FindError::NoMoreFiles;
        return false;
    }
    l->current = &l->contents.entries[l->next++];
    entry_ = l->current->entry;
    return true;
}

QString FolderReader::entryName() const {
    return listing_ && listing_->current ? ProgramName(listing_->NameOf(*listing_->current))
                                         : QString();
}

QByteArray FolderReader::entryHostName() const {
    return listing_ && listing_->current ? QByteArray(listing_->NameOf(*listing_->current))
                                         : QByteArray();
}

QByteArrayView FolderReader::entryHostBytes() const {
    return listing_ && listing_->current ? QByteArrayView(listing_->NameOf(*listing_->current))
                                         : QByteArrayView();
}

bool PathIsMissing(const QString& path) {
    const QString host = ToHostPath(path);
    if (host.isEmpty()) return true;
    struct statx sx;
    if (HostPathAt(host).Statx(kStatxFlags, STATX_TYPE, &sx) == 0) return false;
    return errno == ENOENT || errno == ENOTDIR;
}

uint64_t FolderDevice(const QString& path) {
    const QString host = ToHostPath(path);
    struct statx sx;
    if (host.isEmpty() || HostPathAt(host).Statx(kStatxFlags, STATX_TYPE, &sx) != 0) return 0;
    return DeviceOf(sx);
}

uint32_t GetFileAttributes(const QString& path) {
    const QString host = ToHostPath(path);
    if (host.isEmpty()) return INVALID_FILE_ATTRIBUTES;
    struct statx sx;
    if (HostPathAt(host).Statx(kStatxFlags, kStatxMask, &sx) != 0) return INVALID_FILE_ATTRIBUTES;
    const bool isRoot = host == FindDrive(path[0])->hostRoot;
    const QByteArray name = EncodeHostName(host.mid(host.lastIndexOf(u'/') + 1));
    return AttributesOf(sx, !isRoot && IsHiddenName(name.constData(), HiddenNamesBeside(host)));
}

}  // namespace platform
