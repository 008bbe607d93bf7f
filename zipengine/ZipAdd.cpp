// libzipadd.so: adds files to a ZIP archive (ZipAddExec).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "zipengine/ZipCommon.h"

namespace zipengine {

namespace {

constexpr int32_t kAddVersion = 100;
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kDiskChunk = 1024 * 1024;

enum class Kind { File, Folder, Link };

struct Item {
    std::string path;       // on disk, as the pattern named it
    int base = -1;          // the open folder the item is reached from
    std::string local;      // its path below base
    std::string entryName;  // in the archive; a folder's ends in '/'
    Kind kind = Kind::File;
    struct stat st {};
    std::string linkTarget;
    bool added = false;      // written to the archive by this run
    bool inArchive = false;  // added, or already there (folders)
    uint32_t crc = 0;        // of the bytes read from disk while the archive was written
};

std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") return name;
    if (folder.back() == '/') return folder + name;
    return folder + '/' + name;
}

// The archive name of a path: no leading '/', no "." or ".." parts, so an entry never names a
// place outside the folder it is extracted into.
std::string EntryNameOf(const std::string& path) {
    std::string name;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..") {
            if (!name.empty()) name += '/';
            name += part;
        }
        start = end + 1;
    }
    return name;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The entries of an archive by their names as stored. libzip 1.7's zip_name_locate misses names
// that are not UTF-8 (it looks them up as converted from CP437), and Linux names may be any bytes.
std::unordered_map<std::string, zip_uint64_t> EntriesByName(zip_t* za) {
    std::unordered_map<std::string, zip_uint64_t> entries;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW))
            entries.emplace(name, zip_uint64_t(i));
    return entries;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool Unchanged(const struct stat& then, const struct stat& now) {
    return SameFile(then, now) && then.st_size == now.st_size &&
           then.st_mtim.tv_sec == now.st_mtim.tv_sec &&
           then.st_mtim.tv_nsec == now.st_mtim.tv_nsec &&
           then.st_ctim.tv_sec == now.st_ctim.tv_sec &&
           then.st_ctim.tv_nsec == now.st_ctim.tv_nsec && then.st_mode == now.st_mode;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A folder that is the root of a mount, also a bind mount of the same file system.
bool IsMountRoot(int dirFd, const char* name) {
    struct statx sx;
    return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO, &sx) == 0 &&
           (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
           (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// A file read while the archive is written: the start of each file and every 32 KiB of it go
// to the callback, which may stop the run; the CRC of what was read is kept for the check
// after closing.
struct FileSource {
    Item* item;
    Reporter* report;
    bool crcWanted;  // only a move checks the archive against what was read
    // The file that could not be opened, and why: the run names it instead of libzip's words.
    const Item** failedItem;
    int* failedErrno;
    int fd = -1;
    uint32_t crc = 0;
    zip_error_t error;
    std::vector<char> buffer = std::vector<char>(kDiskChunk);
    size_t at = 0, filled = 0;
    off_t position = 0;   // of the next byte to read from the file
    off_t dataStart = 0;  // where the next data after a hole begins; position when unknown
    off_t end = 0;        // the file's length when it was opened

    // Reads the next piece into the buffer. The holes of a sparse file are not read but
    // filled with zeros here: reading them costs the kernel as much as reading data.
    ssize_t Refill() {
        at = filled = 0;
        if (position >= end) return 0;
        if (dataStart <= position) {
            const off_t data = ::lseek(fd, position, SEEK_DATA);
            dataStart = data < 0 ? end : data;  // ENXIO: only a hole is left
        }
        size_t n;
        if (position < dataStart) {
            n = size_t(std::min<off_t>(off_t(buffer.size()), dataStart - position));
            std::memset(buffer.data(), 0, n);
        } else {
            const off_t hole = ::lseek(fd, position, SEEK_HOLE);
            const off_t run = hole > position ? hole - position : off_t(buffer.size());
            ssize_t r;
            do
                r = ::pread(fd, buffer.data(), size_t(std::min<off_t>(off_t(buffer.size()), run)),
                            position);
            while (r < 0 && errno == EINTR);
            if (r < 0) return -1;
            n = size_t(r);
            if (hole > position && off_t(n) == hole - position) dataStart = hole;  // look again
        }
        position += off_t(n);
        filled = n;
        return ssize_t(n);
    }
};

zip_int64_t FileSourceCallback(void* state, void* data, zip_uint64_t length,
                               zip_source_cmd_t command) {
    auto* s = static_cast<FileSource*>(state);
    switch (command) {
        case ZIP_SOURCE_OPEN: {
            s->fd = OpenBeneath(s->item->base, s->item->local, O_RDONLY);
            struct stat now;
            if (s->fd >= 0 && (::fstat(s->fd, &now) != 0 || !SameFile(now, s->item->st))) {
                ::close(s->fd);
                s->fd = -1;
                errno = ESTALE;
            }
            if (s->fd < 0) {
                *s->failedItem = s->item;
                *s->failedErrno = errno;
                zip_error_set(&s->error, ZIP_ER_OPEN, errno);
                return -1;
            }
            s->crc = crc32(0, nullptr, 0);
            s->at = s->filled = 0;
            s->position = s->dataStart = 0;
            {
                struct stat st;
                s->end = ::fstat(s->fd, &st) == 0 ? st.st_size : 0;
            }
            if (!s->report->FileStart(s->item->entryName, s->item->st.st_size)) {
                zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            return 0;
        }
        case ZIP_SOURCE_READ: {
            // libzip asks for a few KiB at a time; the disk is read in larger pieces.
            if (s->at == s->filled) {
                const ssize_t n = s->Refill();
                if (n < 0) {
                    zip_error_set(&s->error, ZIP_ER_READ, errno);
                    return -1;
                }
            }
            const size_t n = std::min<size_t>(length, s->filled - s->at);
            std::memcpy(data, s->buffer.data() + s->at, n);
            s->at += n;
            if (s->crcWanted) s->crc = crc32(s->crc, static_cast<const Bytef*>(data), uInt(n));
            if (!s->report->Progress(int64_t(n))) {
                zip_error_set(&s->error, ZIP_ER_CANCELLED, 0);
                return -1;
            }
            return zip_int64_t(n);
        }
        case ZIP_SOURCE_CLOSE:
            if (s->fd >= 0) ::close(s->fd);
            s->fd = -1;
            s->item->crc = s->crc;
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &s->error);
            if (!st) return -1;
            zip_stat_init(st);
            st->size = zip_uint64_t(s->item->st.st_size);
            st->mtime = s->item->st.st_mtime;
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&s->error, data, length);
        case ZIP_SOURCE_FREE:
            if (s->fd >= 0) ::close(s->fd);
            zip_error_fini(&s->error);
            delete s;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
    }
}

class AddRun {
public:
    explicit AddRun(const ZipAddBlock& block)
        : b_(block), report_(block.handle, block.caller, block.callback) {}
    ~AddRun() {
        for (const int fd : bases_) ::close(fd);
    }
    AddRun(const AddRun&) = delete;
    AddRun& operator=(const AddRun&) = delete;

    int32_t Run() {
        const int32_t count = Work();
        report_.BatchEnd();
        return count;
    }

private:
    int32_t Work();
    bool ObtainPassword();
    // Where a walk stands: the path as the pattern names it, and how it is reached (below the
    // open folder base).
    struct Place {
        std::string path;
        int base;
        std::string local;
        Place Below(const std::string& name) const {
            return {JoinPath(path, name), base, local.empty() ? name : local + '/' + name};
        }
    };
    void CollectPattern(std::string pattern);
    void Walk(const Place& folder, const struct stat& seen, const std::string& mask);
    void Consider(const Place& place, const struct stat& st, const std::string& mask, int dirFd,
                  dev_t parentDev);
    void AddFolderItem(const Place& place, const struct stat& st);
    void AddItem(Item item);
    int32_t AddToArchive(zip_t* za);
    bool AddOne(zip_t* za, Item& item);
    bool ReadBack(std::string& reason);
    void DeleteSources();
    void StampArchiveTime();
    std::string SkipText(const std::string& path, const char* why) const;

    bool keepFolderNames() const { return !Flag(b_.dropFolderNames); }

    const ZipAddBlock& b_;
    Reporter report_;
    std::string zipName_;
    std::string password_;
    std::vector<Item> items_;
    std::set<std::string> names_;
    std::unordered_map<std::string, zip_uint64_t> existing_;  // entries the archive had
    bool haveArchiveFile_ = false;
    struct stat archiveStat_ {};
    std::vector<int> bases_;            // the open folders the patterns are reached from, owned
    int current_ = -1;                  // the current folder, the first of them
    const Item* failedItem_ = nullptr;  // a file that could not be opened while writing
    int failedErrno_ = 0;
};

std::string AddRun::SkipText(const std::string& path, const char* why) const {
    return std::string("Skipped ") + path + ": " + why;
}

bool AddRun::ObtainPassword() {
    if (b_.password) password_ = b_.password;
    if (!password_.empty()) return true;
    switch (AskPassword(b_.handle, true, password_)) {
        case PasswordAnswer::Given:
            return true;
        case PasswordAnswer::Cancelled:
            report_.Message(ZipErrorPassword, "No password given: nothing was added");
            return false;
        case PasswordAnswer::NoDisplay:
            report_.Message(ZipErrorPassword, kNoDisplayPasswordText);
            return false;
    }
    return false;
}

void AddRun::AddItem(Item item) {
    if (haveArchiveFile_ && SameFile(item.st, archiveStat_)) return;  // never the archive itself
    if (!keepFolderNames()) {
        if (item.kind == Kind::Folder) return;
        item.entryName = BaseName(item.entryName);
    }
    if (item.entryName.empty() || item.entryName == "/") return;
    if (!names_.insert(item.entryName).second) {
        const bool sameOne = std::any_of(items_.begin(), items_.end(), [&](const Item& other) {
            return other.entryName == item.entryName && SameFile(other.st, item.st);
        });
        if (!sameOne)
            report_.Message(ZipErrorWarning,
                            SkipText(item.path, "its name is already in the archive"));
        return;
    }
    items_.push_back(std::move(item));
}

void AddRun::AddFolderItem(const Place& place, const struct stat& st) {
    const std::string name = EntryNameOf(place.path);
    if (name.empty()) return;  // the current folder itself has no entry
    Item item;
    item.path = place.path;
    item.base = place.base;
    item.local = place.local;
    item.entryName = name + '/';
    item.kind = Kind::Folder;
    item.st = st;
    AddItem(std::move(item));
}

// One directory entry met in a walk or named directly, in the open folder dirFd (on the file
// system parentDev).
void AddRun::Consider(const Place& place, const struct stat& st, const std::string& mask, int dirFd,
                      dev_t parentDev) {
    const std::string name = BaseName(place.path);
    if (S_ISDIR(st.st_mode)) {
        if (!Flag(b_.recurseFolders)) return;
        if (name[0] == '.' && !Flag(b_.hiddenAndSystemFiles)) return;
        // Another file system's files are that drive's: never archived, never deleted here.
        if (st.st_dev != parentDev || IsMountRoot(dirFd, name.c_str())) {
            report_.Message(ZipErrorWarning,
                            SkipText(place.path, "another file system is mounted on it"));
            return;
        }
        AddFolderItem(place, st);
        Walk(place, st, mask);
        return;
    }
    if (!MatchesMask(name, mask)) return;
    if (name[0] == '.' && !Flag(b_.hiddenAndSystemFiles)) return;
    Item item;
    item.path = place.path;
    item.base = place.base;
    item.local = place.local;
    item.entryName = EntryNameOf(place.path);
    item.st = st;
    if (S_ISREG(st.st_mode)) {
        // A file nobody may read is left out with its own message; the rest is archived.
        if (::faccessat(dirFd, name.c_str(), R_OK, AT_EACCESS) != 0) {
            report_.Message(ZipErrorWarning, SkipText(place.path, ErrnoText(errno).c_str()));
            return;
        }
        item.kind = Kind::File;
    } else if (S_ISLNK(st.st_mode)) {
        item.kind = Kind::Link;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlinkat(dirFd, name.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) {
            report_.Message(ZipErrorWarning, SkipText(place.path, "its link cannot be read"));
            return;
        }
        target.resize(size_t(n));
        item.linkTarget = std::move(target);
    } else {
        // Sockets, fifos and devices hold no data an archive could keep.
        if (Flag(b_.hiddenAndSystemFiles))
            report_.Message(ZipErrorWarning,
                            SkipText(place.path, "sockets, fifos and devices are not archived"));
        return;
    }
    AddItem(std::move(item));
}

// Lists a folder through its own descriptor, reached without following a link: a folder
// swapped for a link, or for another folder, since it was seen is not walked.
void AddRun::Walk(const Place& folder, const struct stat& seen, const std::string& mask) {
    const int fd = OpenBeneath(folder.base, folder.local, O_RDONLY | O_DIRECTORY);
    struct stat dirSt;
    if (fd >= 0 && (::fstat(fd, &dirSt) != 0 || !SameFile(dirSt, seen))) {
        ::close(fd);
        report_.Message(ZipErrorWarning, SkipText(folder.path, "it was replaced meanwhile"));
        return;
    }
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        report_.Message(ZipErrorWarning, SkipText(folder.path, ErrnoText(error).c_str()));
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    // Sorted, so that the same folder always gives the same archive.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (report_.stopped()) break;
        struct stat st;
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            report_.Message(ZipErrorWarning,
                            SkipText(JoinPath(folder.path, name), ErrnoText(errno).c_str()));
            continue;
        }
        Consider(folder.Below(name), st, mask, ::dirfd(dir), dirSt.st_dev);
    }
    ::closedir(dir);
}

// A pattern is a path relative to the current folder: a file, a link or a folder (which
// stands for everything in it), or a folder followed by a mask ("docs/*.*"). An absolute path
// is taken as far as its last folder as it stands, and below that as a relative one.
void AddRun::CollectPattern(std::string pattern) {
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    if (pattern.empty()) return;
    const size_t before = items_.size();
    const size_t slash = pattern.rfind('/');
    const std::string last = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    const bool masked = HasWildcards(last);
    std::string folderPath = slash == std::string::npos ? "." : pattern.substr(0, slash);
    if (folderPath.empty()) folderPath.assign(1, '/');  // right under the root
    Place folder{masked ? folderPath : pattern, current_, masked ? folderPath : pattern};
    if (pattern[0] == '/') {
        // The caller named this folder; below it nothing is followed.
        const int base = ::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (base >= 0) {
            bases_.push_back(base);
            folder.base = base;
            folder.local = masked ? "" : last;
        } else {
            folder.base = -1;
        }
    }
    // The folder that holds the entry the pattern names, for a link's text and mount points.
    const int parent = folder.base < 0
                           ? -1
                           : OpenBeneath(folder.base, FolderOf(folder.local), O_PATH | O_DIRECTORY);
    struct stat st, parentSt;
    const std::string leaf = folder.local.empty() ? "." : BaseName(folder.local);
    if (parent >= 0 && ::fstat(parent, &parentSt) == 0 &&
        ::fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) {
            AddFolderItem(folder, st);
            Walk(folder, st, masked ? last : "*");
        } else if (!masked) {
            Consider(folder, st, "*", parent, parentSt.st_dev);
        }
    }
    if (parent >= 0) ::close(parent);
    if (items_.size() == before) report_.Message(ZipErrorWarning, "Name not matched: " + pattern);
}

bool AddRun::AddOne(zip_t* za, Item& item) {
    const auto found = existing_.find(item.entryName);
    const zip_int64_t existing = found == existing_.end() ? -1 : zip_int64_t(found->second);
    if (item.kind == Kind::Folder && existing >= 0) {
        item.inArchive = true;
        return false;
    }
    if (Flag(b_.update) || Flag(b_.freshen)) {
        if (existing >= 0) {
            zip_stat_t st;
            // The archive keeps times to 2 seconds: only a file 2 s newer is newer.
            if (zip_stat_index(za, zip_uint64_t(existing), 0, &st) == 0 &&
                (st.valid & ZIP_STAT_MTIME) && item.st.st_mtime < st.mtime + 2)
                return false;
        } else if (!Flag(b_.update)) {
            return false;  // freshen adds nothing new
        }
    }

    zip_int64_t index;
    if (item.kind == Kind::Folder) {
        index = zip_dir_add(za, item.entryName.c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source;
        if (item.kind == Kind::File) {
            auto* state =
                new FileSource{&item, &report_, Flag(b_.move), &failedItem_, &failedErrno_};
            zip_error_init(&state->error);
            source = zip_source_function(za, FileSourceCallback, state);
            if (!source) {
                zip_error_fini(&state->error);
                delete state;
            }
        } else {
            source = zip_source_buffer(za, item.linkTarget.data(), item.linkTarget.size(), 0);
        }
        index = source ? zip_file_add(za, item.entryName.c_str(), source,
                                      ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS)
                       : -1;
        if (source && index < 0) zip_source_free(source);
    }
    if (index < 0) {
        report_.Message(ZipErrorWarning, SkipText(item.path, zip_strerror(za)));
        return false;
    }
    const auto i = zip_uint64_t(index);
    zip_file_set_mtime(za, i, item.st.st_mtime, 0);
    const uint32_t dosFolder = item.kind == Kind::Folder ? 0x10 : 0;
    zip_file_set_external_attributes(za, i, 0, ZIP_OPSYS_UNIX,
                                     (uint32_t(item.st.st_mode) << 16) | dosFolder);
    if (item.kind == Kind::File) {
        const int level = std::clamp(b_.compressionLevel, 0, 9);
        zip_set_file_compression(za, i, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 zip_uint32_t(level));
    } else if (item.kind == Kind::Link) {
        zip_set_file_compression(za, i, ZIP_CM_STORE, 0);
    }
    if (Flag(b_.encrypt) && item.kind != Kind::Folder &&
        zip_file_set_encryption(za, i, ZIP_EM_AES_256, password_.c_str()) != 0) {
        report_.Message(ZipErrorWrite, "Cannot encrypt " + item.path + ": " + zip_strerror(za));
        zip_delete(za, i);
        return false;
    }
    if (Flag(b_.verbose)) report_.Message(ZipErrorNone, "Adding " + item.entryName);
    item.added = item.inArchive = true;
    return true;
}

int32_t AddRun::AddToArchive(zip_t* za) {
    existing_ = EntriesByName(za);
    int32_t count = 0;
    for (Item& item : items_) {
        if (report_.stopped()) break;
        if (AddOne(za, item)) ++count;
    }
    return count;
}

// Puts the archive on the disk itself, with the folder entry its rename made, and drops it
// from the cache so that the read-back comes from the disk: until then a crash of the machine
// could lose the archive after its sources were deleted.
bool SyncToDisk(const std::string& path, std::string& reason) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    for (const std::string& name : {path, folder}) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0 && synced && name == path) ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        if (fd >= 0) ::close(fd);
        if (!synced) {
            reason = "it could not be written to the disk: " + ErrnoText(error);
            return false;
        }
    }
    return true;
}

// Reads every entry this run wrote from the closed archive and compares it with what was read
// from disk: the bytes must give the same CRC, and libzip checks the stored CRC (or the AES
// authentication code) on the way.
bool AddRun::ReadBack(std::string& reason) {
    int error = 0;
    zip_t* za = zip_open(zipName_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        reason = zip_error_strerror(&e);
        zip_error_fini(&e);
        return false;
    }
    const auto entries = EntriesByName(za);
    std::vector<char> buffer(kReadChunk);
    bool ok = true;
    for (const Item& item : items_) {
        if (!item.added) continue;
        const auto found = entries.find(item.entryName);
        const zip_int64_t index = found == entries.end() ? -1 : zip_int64_t(found->second);
        if (index < 0) {
            reason = item.entryName + " is missing";
            ok = false;
            break;
        }
        if (item.kind == Kind::Folder) continue;
        zip_file_t* f = Flag(b_.encrypt) ? zip_fopen_index_encrypted(za, zip_uint64_t(index), 0,
                                                                     password_.c_str())
                                         : zip_fopen_index(za, zip_uint64_t(index), 0);
        if (!f) {
            reason = item.entryName + ": " + zip_strerror(za);
            ok = false;
            break;
        }
        uint32_t crc = crc32(0, nullptr, 0);
        std::string data;
        int64_t total = 0;
        zip_int64_t n;
        while ((n = zip_fread(f, buffer.data(), buffer.size())) > 0) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), uInt(n));
            if (item.kind == Kind::Link) data.append(buffer.data(), size_t(n));
            total += n;
            if (!report_.Progress(n)) break;
        }
        if (n < 0) reason = item.entryName + ": " + zip_file_strerror(f);
        zip_fclose(f);
        if (report_.stopped()) {
            reason = "stopped";
            ok = false;
            break;
        }
        const bool same = item.kind == Kind::Link ? data == item.linkTarget
                                                  : crc == item.crc && total == item.st.st_size;
        if (n < 0 || !same) {
            if (n >= 0) reason = item.entryName + " differs from its file";
            ok = false;
            break;
        }
    }
    zip_discard(za);
    return ok;
}

// Deletes what was added, each file only while it is still the file that was read (the same
// size and times), each folder only when nothing is left in it; reached, like the walk, without
// following a link and without leaving the file system.
void AddRun::DeleteSources() {
    for (const Item& item : items_) {
        if (!item.added || item.kind == Kind::Folder) continue;
        const int parent = OpenBeneath(item.base, FolderOf(item.local), O_PATH | O_DIRECTORY);
        const std::string leaf = BaseName(item.local);
        struct stat now;
        if (parent < 0 || ::fstatat(parent, leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            !Unchanged(item.st, now)) {
            report_.Message(ZipErrorWarning,
                            item.path + " changed after it was archived; it was not deleted");
        } else if (::unlinkat(parent, leaf.c_str(), 0) != 0) {
            report_.Message(ZipErrorWarning,
                            "Cannot delete " + item.path + ": " + ErrnoText(errno));
        }
        if (parent >= 0) ::close(parent);
    }
    // Folders go deepest first, and only when nothing is left in them.
    std::vector<const Item*> folders;
    for (const Item& item : items_)
        if (item.inArchive && item.kind == Kind::Folder) folders.push_back(&item);
    std::sort(folders.begin(), folders.end(), [](const Item* a, const Item* b) {
        return std::count(a->local.begin(), a->local.end(), '/') >
               std::count(b->local.begin(), b->local.end(), '/');
    });
    for (const Item* folder : folders) {
        if (folder->local.empty() || folder->local == ".") continue;
        const int parent = OpenBeneath(folder->base, FolderOf(folder->local), O_PATH | O_DIRECTORY);
        const std::string leaf = BaseName(folder->local);
        struct stat now;
        const bool same = parent >= 0 &&
                          ::fstatat(parent, leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                          SameFile(now, folder->st);
        if (same && ::unlinkat(parent, leaf.c_str(), AT_REMOVEDIR) != 0 && errno != ENOTEMPTY &&
            errno != EEXIST)
            report_.Message(ZipErrorWarning,
                            "Cannot remove " + folder->path + ": " + ErrnoText(errno));
        if (parent >= 0) ::close(parent);
    }
}

void AddRun::StampArchiveTime() {
    int error = 0;
    zip_t* za = zip_open(zipName_.c_str(), ZIP_RDONLY, &error);
    if (!za) return;
    time_t newest = 0;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, zip_uint64_t(i), 0, &st) == 0 && (st.valid & ZIP_STAT_MTIME))
            newest = std::max(newest, st.mtime);
    }
    zip_discard(za);
    if (newest == 0) return;
    const struct timespec times[2] = {{newest, 0}, {newest, 0}};
    ::utimensat(AT_FDCWD, zipName_.c_str(), times, 0);
}

int32_t AddRun::Work() {
    if (!b_.zipFilename || !*b_.zipFilename) {
        report_.Message(ZipErrorOpen, "No archive name given");
        return 0;
    }
    zipName_ = b_.zipFilename;
    if (b_.fileSpecCount <= 0) {
        report_.Message(ZipErrorWarning, "No files to add");
        return 0;
    }
    if (Flag(b_.encrypt) && !ObtainPassword()) return 0;

    current_ = OpenBaseFolder(O_PATH | O_DIRECTORY);
    if (current_ < 0) {
        report_.Message(ZipErrorOpen, "Cannot open the current folder: " + ErrnoText(errno));
        return 0;
    }
    bases_.push_back(current_);
    haveArchiveFile_ = ::stat(zipName_.c_str(), &archiveStat_) == 0;
    const int specCount = std::min(b_.fileSpecCount, kZipMaxFileSpecs);
    for (int i = 0; i < specCount && !report_.stopped(); ++i)
        if (b_.fileSpecs[i]) CollectPattern(b_.fileSpecs[i]);
    if (report_.stopped()) return 0;
    if (items_.empty()) {
        report_.Message(ZipErrorWarning, "Nothing to add");
        return 0;
    }

    int error = 0;
    zip_t* za = zip_open(zipName_.c_str(), ZIP_CREATE, &error);
    if (!za) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        report_.Message(ZipErrorOpen, "Cannot open " + zipName_ + ": " + zip_error_strerror(&e));
        zip_error_fini(&e);
        return 0;
    }
    zip_register_cancel_callback_with_state(
        za,
        [](zip_t*, void* reporter) { return static_cast<Reporter*>(reporter)->stopped() ? 1 : 0; },
        nullptr, &report_);

    const int32_t count = AddToArchive(za);
    if (count == 0 || report_.stopped()) {
        zip_discard(za);  // an archive that existed stays as it was; a new one is never made
        if (report_.stopped()) report_.Message(ZipErrorStopped, "Stopped: nothing was added");
        return 0;
    }

    // An archive that existed is kept under a second name until the new one has read back, so
    // a failed check can put it back.
    std::string backup;
    if (Flag(b_.move) && haveArchiveFile_) {
        for (int n = 0; n < 100 && backup.empty(); ++n) {
            const std::string candidate = zipName_ + ".backup" + std::to_string(n);
            if (::link(zipName_.c_str(), candidate.c_str()) == 0) backup = candidate;
        }
    }
    auto dropNewArchive = [&] {
        if (!backup.empty())
            ::rename(backup.c_str(), zipName_.c_str());
        else if (!haveArchiveFile_)
            ::unlink(zipName_.c_str());
    };

    // libzip writes a temporary file and renames it over the archive only when all went well.
    if (zip_close(za) != 0) {
        const std::string why = zip_strerror(za);
        zip_discard(za);
        if (!backup.empty()) ::unlink(backup.c_str());
        if (report_.stopped())
            report_.Message(ZipErrorStopped, "Stopped: nothing was added");
        else if (failedItem_)
            report_.Message(ZipErrorRead,
                            "Cannot read " + failedItem_->path + ": " +
                                (failedErrno_ == ESTALE ? std::string("it was replaced meanwhile")
                                                        : ErrnoText(failedErrno_)) +
                                "; the archive was not written");
        else
            report_.Message(ZipErrorWrite, "Cannot write " + zipName_ + ": " + why);
        return 0;
    }

    if (Flag(b_.move)) {
        std::string reason;
        if (!SyncToDisk(zipName_, reason) || !ReadBack(reason)) {
            dropNewArchive();
            if (report_.stopped())
                report_.Message(ZipErrorStopped, "Stopped: nothing was added, nothing was deleted");
            else
                report_.Message(ZipErrorVerify, "The archive did not read back intact (" + reason +
                                                    "); nothing was deleted");
            return 0;
        }
        if (!backup.empty()) ::unlink(backup.c_str());
        DeleteSources();
    }
    if (Flag(b_.archiveTime)) StampArchiveTime();
    return count;
}

}  // namespace

}  // namespace zipengine

extern "C" {

ZIP_ENGINE_API int32_t ZipAddExec(ZipAddBlock* block) {
    if (!block) return 0;
    try {
        return zipengine::AddRun(*block).Run();
    } catch (...) {
        // Nothing may cross into the caller: it may not be C++ at all.
        return 0;
    }
}

ZIP_ENGINE_API int32_t GetZipAddVersion() {
    return zipengine::kAddVersion;
}

}  // extern "C"
