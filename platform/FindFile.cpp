#include "platform/FindFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace platform {

namespace {

constexpr size_t kListingBufferSize = 64 * 1024;  // stays below malloc's mmap threshold
constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_BLOCKS;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

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

bool IsDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

FileTime ToFileTime(const struct statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

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
    data.shortName.clear();
}

// What is known of an entry whose status cannot be read: its type from the listing.
void FillFromType(unsigned char type, bool hiddenName, FindData& data) {
    data = FindData{};
    switch (type) {
        case DT_DIR: data.attributes = FILE_ATTRIBUTE_DIRECTORY; break;
        case DT_LNK: data.attributes = FILE_ATTRIBUTE_REPARSE_POINT; break;
        case DT_REG: data.attributes = FILE_ATTRIBUTE_ARCHIVE; break;
        default: data.attributes = FILE_ATTRIBUTE_SYSTEM; break;
    }
    if (hiddenName) data.attributes |= FILE_ATTRIBUTE_HIDDEN;
}

FindError ErrorOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG: return FindError::PathNotFound;
        case EACCES:
        case EPERM: return FindError::AccessDenied;
        default: return FindError::Other;
    }
}

QChar Folded(QChar c) { return c.toCaseFolded(); }

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

bool MatchesMask(QStringView name, QStringView mask) {
    if (mask == u"*" || mask == u"*.*") return true;
    if (MatchesExactly(name, mask)) return true;
    // As on Windows, a mask ending in ".*" also takes names without an extension.
    return mask.endsWith(u".*") && !name.contains(u'.') && MatchesExactly(name, mask.chopped(2));
}

bool HasWildcards(QStringView path) { return path.contains(u'*') || path.contains(u'?'); }

struct FindHandle::Listing {
    int fd = -1;
    std::unique_ptr<char[]> buffer;
    long length = 0;
    long offset = 0;
    QString mask;
    bool everything = false;

    ~Listing() {
        if (fd >= 0) ::close(fd);
        if (buffer) FreeBuffers().push_back(std::move(buffer));
    }
};

FindHandle::FindHandle() = default;
FindHandle::~FindHandle() = default;

void FindHandle::Close() { listing_.reset(); }

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
        const QByteArray host = EncodeHostName(hostFolder + u'/' + mask);
        struct statx sx;
        if (statx(AT_FDCWD, host.constData(), kStatxFlags, kStatxMask, &sx) != 0) {
            error_ = ErrorOf(errno);
            errorText_ = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        data.name = mask;
        FillFromStatx(sx, mask.startsWith(u'.'), data);
        return true;
    }

    const DriveMapping* drive = FindDrive(pattern[0]);
    if (IsForeignMountPoint(hostFolder, drive->hostRoot)) {
        error_ = FindError::NoMoreFiles;  // that file system is a drive of its own
        return false;
    }
    const int fd = ::open(EncodeHostName(hostFolder).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = ErrorOf(errno);
        errorText_ = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    listing_ = std::make_unique<Listing>();
    listing_->fd = fd;
    listing_->buffer = TakeBuffer();
    listing_->mask = mask;
    listing_->everything = mask == u"*" || mask == u"*.*";
    return FindNext(data);
}

bool FindHandle::FindNext(FindData& data) {
    Listing* l = listing_.get();
    if (!l) {
        error_ = FindError::NoMoreFiles;
        return false;
    }
    for (;;) {
        if (l->offset >= l->length) {
            l->length = syscall(SYS_getdents64, l->fd, l->buffer.get(), kListingBufferSize);
            l->offset = 0;
            if (l->length <= 0) {
                error_ = l->length < 0 ? ErrorOf(errno) : FindError::NoMoreFiles;
                if (l->length < 0) errorText_ = QString::fromLocal8Bit(strerror(errno));
                Close();
                return false;
            }
        }
        const auto* d = reinterpret_cast<const LinuxDirent64*>(l->buffer.get() + l->offset);
        l->offset += d->d_reclen;
        if (IsDotOrDotDot(d->d_name)) continue;

        QString name = DecodeHostName(d->d_name, qsizetype(strlen(d->d_name)));
        if (!l->everything && !MatchesMask(name, l->mask)) continue;

        const bool hidden = d->d_name[0] == '.';
        struct statx sx;
        if (statx(l->fd, d->d_name, kStatxFlags, kStatxMask, &sx) == 0) {
            FillFromStatx(sx, hidden, data);
        } else if (errno == ENOENT) {
            continue;  // gone since the listing was read
        } else {
            FillFromType(d->d_type, hidden, data);
        }
        data.name = std::move(name);
        return true;
    }
}

uint32_t GetFileAttributes(const QString& path) {
    if (HasWildcards(path)) return INVALID_FILE_ATTRIBUTES;
    const QString host = ToHostPath(path);
    if (host.isEmpty()) return INVALID_FILE_ATTRIBUTES;
    struct statx sx;
    if (statx(AT_FDCWD, EncodeHostName(host).constData(), kStatxFlags, kStatxMask, &sx) != 0)
        return INVALID_FILE_ATTRIBUTES;
    const qsizetype slash = host.lastIndexOf(u'/');
    const bool isRoot = host == FindDrive(path[0])->hostRoot;
    return AttributesOf(sx, !isRoot && host.at(slash + 1) == u'.');
}

}  // namespace platform
