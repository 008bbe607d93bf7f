// libzipext.so: extracts the entries of a ZIP archive into the current folder (ZipExtExec).
//
// Nothing is ever written outside that folder: names that are absolute or climb with "..", and
// paths that pass through a symbolic link, are refused. Every folder on the way is opened
// relative to its parent without following links, and every file is written under a temporary
// name and renamed into place, so an existing link is replaced, never written through, and a
// failed entry leaves the old file as it was. A link is restored as the link it was, with its
// text as stored: making a link writes nothing through it, wherever it points.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "zipengine/ZipCommon.h"

namespace zipengine {

namespace {

constexpr int32_t kExtVersion = 100;
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kHoleBlock = 4096;
constexpr int kPasswordTries = 3;

enum class Kind { File, Folder, Link };

std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::vector<std::string> SplitName(const std::string& name) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        start = end + 1;
    }
    return parts;
}

// Why an entry name may not be used, or nullptr. Backslashes count as separators here, as
// archives made on Windows may use them.
const char* NameRefusal(const std::string& name) {
    if (name.empty()) return "it has no name";
    if (name[0] == '/' || name[0] == '\\') return "its name is an absolute path";
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        return "its name is an absolute path";
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& part : SplitName(slashed))
        if (part == "..") return "its name climbs out of the target folder";
    return nullptr;
}

bool IsZeroBlock(const char* p, size_t n) {
    static const char zeros[kHoleBlock] = {};
    return std::memcmp(p, zeros, n) == 0;
}

class ExtractRun {
public:
    explicit ExtractRun(const ZipExtractBlock& block)
        : b_(block), report_(block.handle, block.caller, block.callback) {}

    ~ExtractRun() {
        if (za_) zip_discard(za_);
        if (root_ >= 0) ::close(root_);
    }

    int32_t Run() {
        const int32_t count = Work();
        report_.BatchEnd();
        return count;
    }

private:
    struct FolderStamp {
        std::string path;
        size_t depth;
        mode_t mode;
        time_t mtime;
    };

    int32_t Work();
    bool Wanted(const std::string& name) const;
    bool ExtractEntry(zip_uint64_t index, const zip_stat_t& st);
    int OpenParent(const std::vector<std::string>& parts, size_t count, const std::string& name);
    zip_file_t* OpenEntry(zip_uint64_t index, const zip_stat_t& st, const std::string& name);
    bool ReadAll(zip_file_t* f, int fd, const std::string& name, std::string* into,
                 off_t* length = nullptr);
    bool WriteFile(int parent, const std::string& leaf, zip_file_t* f, const std::string& name,
                   mode_t mode, time_t mtime);
    bool ShouldReplace(int parent, const std::string& leaf, time_t mtime, const std::string& name);
    void StampFolders();
    bool Refuse(const std::string& name, const std::string& why) {
        report_.Message(ZipErrorRefused, "Refused " + name + ": " + why);
        return false;
    }

    const ZipExtractBlock& b_;
    Reporter report_;
    zip_t* za_ = nullptr;
    int root_ = -1;
    std::string password_;
    bool askedPassword_ = false;
    bool passwordUnavailable_ = false;
    std::vector<FolderStamp> folders_;
};

bool ExtractRun::Wanted(const std::string& name) const {
    if (b_.fileSpecCount <= 0) return true;
    const int count = std::min(b_.fileSpecCount, kZipMaxFileSpecs);
    for (int i = 0; i < count; ++i) {
        if (!b_.fileSpecs[i]) continue;
        std::string pattern = b_.fileSpecs[i];
        // A name ending in '/' is a folder named literally, whatever characters it holds: the
        // folder and everything in it.
        if (!pattern.empty() && pattern.back() == '/') {
            if (name.compare(0, pattern.size(), pattern) == 0 ||
                name == pattern.substr(0, pattern.size() - 1))
                return true;
            continue;
        }
        std::replace(pattern.begin(), pattern.end(), '\\', '/');
        if (MatchesMask(name, pattern)) return true;
        // A folder named alone stands for everything in it.
        if (!HasWildcards(pattern) && !pattern.empty()) {
            if (pattern.back() != '/') pattern += '/';
            if (name.compare(0, pattern.size(), pattern) == 0) return true;
        }
    }
    return false;
}

// Opens (creating them as needed) the first count folders of parts below the target and
// answers the last one's descriptor, or -1 after a message.
int ExtractRun::OpenParent(const std::vector<std::string>& parts, size_t count,
                           const std::string& name) {
    int fd = ::dup(root_);
    for (size_t i = 0; i < count && fd >= 0; ++i) {
        if (::mkdirat(fd, parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
            report_.Message(ZipErrorWrite,
                            "Cannot create a folder for " + name + ": " + ErrnoText(errno));
            ::close(fd);
            return -1;
        }
        const int next =
            ::openat(fd, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        fd = next;
        if (fd < 0) {
            if (error == ELOOP || error == ENOTDIR) {
                struct stat st;
                const int parent = OpenParent(parts, i, name);
                const bool isLink =
                    parent >= 0 &&
                    ::fstatat(parent, parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(st.st_mode);
                if (parent >= 0) ::close(parent);
                if (isLink)
                    Refuse(name, "its path passes through a symbolic link");
                else
                    report_.Message(
                        ZipErrorWrite,
                        "Cannot extract " + name + ": a file stands where its folder should be");
            } else {
                report_.Message(ZipErrorWrite,
                                "Cannot open a folder for " + name + ": " + ErrnoText(error));
            }
            return -1;
        }
    }
    return fd;
}

zip_file_t* ExtractRun::OpenEntry(zip_uint64_t index, const zip_stat_t& st,
                                  const std::string& name) {
    const bool encrypted =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    if (!encrypted) {
        zip_file_t* f = zip_fopen_index(za_, index, 0);
        if (!f) report_.Message(ZipErrorRead, "Cannot read " + name + ": " + zip_strerror(za_));
        return f;
    }
    // Asked to open an entry whose encryption it cannot undo, libzip 1.7 leaks what it set up.
    if (!zip_encryption_method_supported(st.encryption_method, 0)) {
        report_.Message(ZipErrorRead,
                        "Cannot read " + name + ": its encryption method is not supported");
        return nullptr;
    }
    if (b_.password) password_ = password_.empty() ? std::string(b_.password) : password_;
    for (int attempt = 0; attempt < kPasswordTries; ++attempt) {
        if (password_.empty()) {
            if (passwordUnavailable_) return nullptr;
            askedPassword_ = true;
            const PasswordAnswer answer = AskPassword(b_.handle, false, password_);
            if (answer != PasswordAnswer::Given) {
                passwordUnavailable_ = true;
                report_.Message(ZipErrorPassword,
                                answer == PasswordAnswer::NoDisplay
                                    ? kNoDisplayPasswordText
                                    : "No password given: encrypted entries were not extracted");
                return nullptr;
            }
        }
        zip_file_t* f = zip_fopen_index_encrypted(za_, index, 0, password_.c_str());
        if (f) return f;
        const int code = zip_error_code_zip(zip_get_error(za_));
        if (code != ZIP_ER_WRONGPASSWD || !askedPassword_) {
            report_.Message(ZipErrorPassword, "Cannot read " + name + ": " + zip_strerror(za_));
            return nullptr;
        }
        report_.Message(ZipErrorPassword, "Wrong password for " + name);
        password_.clear();
    }
    return nullptr;
}

// Reads an entry to its end (libzip checks its CRC or authentication code there), writing it
// to fd when one is given or keeping it in into. Blocks of zeros are not written but left as
// holes, so sparse files stay sparse; the caller sets the file's length from *length.
bool ExtractRun::ReadAll(zip_file_t* f, int fd, const std::string& name, std::string* into,
                         off_t* length) {
    std::vector<char> buffer(kReadChunk);
    off_t position = 0;
    zip_int64_t n;
    while ((n = zip_fread(f, buffer.data(), buffer.size())) > 0) {
        if (into) into->append(buffer.data(), size_t(n));
        for (size_t at = 0; fd >= 0 && at < size_t(n);) {
            const size_t block = std::min(kHoleBlock, size_t(n) - at);
            const char* p = buffer.data() + at;
            at += block;
            if (IsZeroBlock(p, block)) {
                position += off_t(block);
                continue;
            }
            for (size_t done = 0; done < block;) {
                const ssize_t w = ::pwrite(fd, p + done, block - done, position);
                if (w < 0 && errno == EINTR) continue;
                if (w < 0) {
                    report_.Message(ZipErrorWrite,
                                    "Cannot write " + name + ": " + ErrnoText(errno));
                    return false;
                }
                done += size_t(w);
                position += off_t(w);
            }
        }
        if (!report_.Progress(n)) return false;
    }
    if (n < 0) {
        report_.Message(ZipErrorRead, "Cannot read " + name + ": " + zip_file_strerror(f));
        return false;
    }
    if (length) *length = position;
    return true;
}

// Whether an existing file may be replaced, following the overwrite, update and freshen flags.
bool ExtractRun::ShouldReplace(int parent, const std::string& leaf, time_t mtime,
                               const std::string& name) {
    struct stat st;
    const bool exists = ::fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        report_.Message(ZipErrorWrite, "Cannot extract " + name + ": a folder of that name exists");
        return false;
    }
    // The archive keeps times to 2 seconds: only an entry 2 s newer is newer.
    const bool entryNewer = exists && mtime >= st.st_mtime + 2;
    if (Flag(b_.update)) return !exists || entryNewer;
    if (Flag(b_.freshen)) return entryNewer;
    if (exists && !Flag(b_.overwrite)) {
        if (Flag(b_.verbose)) report_.Message(ZipErrorNone, "Kept the existing " + name);
        return false;
    }
    return true;
}

bool ExtractRun::WriteFile(int parent, const std::string& leaf, zip_file_t* f,
                           const std::string& name, mode_t mode, time_t mtime) {
    std::string temporary;
    int fd = -1;
    for (int n = 0; n < 1000 && fd < 0; ++n) {
        temporary.assign(1, '.');
        temporary.append(leaf, 0, 200).append(".part").append(std::to_string(::getpid()));
        temporary.append("-").append(std::to_string(n));
        fd = ::openat(parent, temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        report_.Message(ZipErrorWrite, "Cannot create " + name + ": " + ErrnoText(errno));
        return false;
    }
    off_t length = 0;
    bool ok = ReadAll(f, fd, name, nullptr, &length);
    if (ok && (::ftruncate(fd, length) != 0 || ::fchmod(fd, mode) != 0)) {
        report_.Message(ZipErrorWrite, "Cannot write " + name + ": " + ErrnoText(errno));
        ok = false;
    }
    if (ok) {
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ::futimens(fd, times);
    }
    if (::close(fd) != 0 && ok) {
        report_.Message(ZipErrorWrite, "Cannot write " + name + ": " + ErrnoText(errno));
        ok = false;
    }
    if (ok && ::renameat(parent, temporary.c_str(), parent, leaf.c_str()) != 0) {
        report_.Message(ZipErrorWrite, "Cannot write " + name + ": " + ErrnoText(errno));
        ok = false;
    }
    if (!ok) ::unlinkat(parent, temporary.c_str(), 0);
    return ok;
}

bool ExtractRun::ExtractEntry(zip_uint64_t index, const zip_stat_t& st) {
    const std::string name = st.name;
    if (const char* why = NameRefusal(name)) return Refuse(name, why);

    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    zip_file_get_external_attributes(za_, index, 0, &system, &attributes);
    const mode_t unixMode = system == ZIP_OPSYS_UNIX ? mode_t(attributes >> 16) : 0;
    Kind kind = Kind::File;
    if (name.back() == '/')
        kind = Kind::Folder;
    else if (S_ISLNK(unixMode))
        kind = Kind::Link;
    else if (S_ISDIR(unixMode))
        kind = Kind::Folder;
    const mode_t permissions = unixMode & 0777;
    const time_t mtime = (st.valid & ZIP_STAT_MTIME) ? st.mtime : 0;

    std::vector<std::string> parts = SplitName(name);
    if (parts.empty()) return Refuse(name, "it has no name");
    if (!Flag(b_.keepFolderNames)) {
        if (kind == Kind::Folder) return false;
        parts = {parts.back()};
    }
    const std::string leaf = parts.back();
    const size_t depth = parts.size() - 1;

    if (kind == Kind::Link || kind == Kind::File) {
        if (!report_.FileStart(name, (st.valid & ZIP_STAT_SIZE) ? int64_t(st.size) : 0))
            return false;
    }
    if (Flag(b_.test)) {
        if (kind == Kind::Folder) return true;
        zip_file_t* f = OpenEntry(index, st, name);
        if (!f) return false;
        const bool ok = ReadAll(f, -1, name, nullptr);
        zip_fclose(f);
        return ok;
    }

    if (kind == Kind::Folder) {
        const int fd = OpenParent(parts, parts.size(), name);
        if (fd < 0) return false;
        ::close(fd);
        folders_.push_back(
            {name, parts.size(), permissions ? permissions | S_IRWXU : mode_t(0), mtime});
        return true;
    }

    zip_file_t* f = OpenEntry(index, st, name);
    if (!f) return false;
    bool ok = false;
    if (kind == Kind::Link) {
        std::string target;
        if (ReadAll(f, -1, name, &target)) {
            if (const int parent = OpenParent(parts, depth, name); parent >= 0) {
                if (ShouldReplace(parent, leaf, mtime, name)) {
                    ::unlinkat(parent, leaf.c_str(), 0);
                    ok = ::symlinkat(target.c_str(), parent, leaf.c_str()) == 0;
                    if (!ok)
                        report_.Message(ZipErrorWrite,
                                        "Cannot create the link " + name + ": " + ErrnoText(errno));
                    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
                    if (ok) ::utimensat(parent, leaf.c_str(), times, AT_SYMLINK_NOFOLLOW);
                }
                ::close(parent);
            }
        }
    } else if (const int parent = OpenParent(parts, depth, name); parent >= 0) {
        if (ShouldReplace(parent, leaf, mtime, name)) {
            mode_t mode = permissions;
            if (mode == 0) {
                const mode_t mask = ::umask(0);
                ::umask(mask);
                mode = 0666 & ~mask;
            }
            ok = WriteFile(parent, leaf, f, name, mode, mtime);
        }
        ::close(parent);
    }
    zip_fclose(f);
    return ok;
}

// Folders get their times and permissions last, deepest first: writing into them changed
// their times, and a read-only one would have refused its files.
void ExtractRun::StampFolders() {
    std::stable_sort(folders_.begin(), folders_.end(),
                     [](const FolderStamp& a, const FolderStamp& b) { return a.depth > b.depth; });
    for (const FolderStamp& folder : folders_) {
        const std::vector<std::string> parts = SplitName(folder.path);
        const int fd = OpenParent(parts, parts.size(), folder.path);
        if (fd < 0) continue;
        if (folder.mode) ::fchmod(fd, folder.mode);
        const struct timespec times[2] = {{folder.mtime, 0}, {folder.mtime, 0}};
        if (folder.mtime) ::futimens(fd, times);
        ::close(fd);
    }
}

int32_t ExtractRun::Work() {
    if (!b_.zipFilename || !*b_.zipFilename) {
        report_.Message(ZipErrorOpen, "No archive name given");
        return 0;
    }
    int error = 0;
    za_ = zip_open(b_.zipFilename, ZIP_RDONLY, &error);
    if (!za_) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        report_.Message(ZipErrorOpen, std::string("Cannot open ") + b_.zipFilename + ": " +
                                          zip_error_strerror(&e));
        zip_error_fini(&e);
        return 0;
    }
    root_ = OpenBaseFolder(O_RDONLY | O_DIRECTORY);
    if (root_ < 0) {
        report_.Message(ZipErrorOpen, "Cannot open the current folder: " + ErrnoText(errno));
        return 0;
    }
    int32_t count = 0;
    const zip_int64_t entries = zip_get_num_entries(za_, 0);
    for (zip_int64_t i = 0; i < entries && !report_.stopped(); ++i) {
        zip_stat_t st;
        // Names as stored: an archive of ours gives back the very bytes of the names it took.
        if (zip_stat_index(za_, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) != 0 ||
            !(st.valid & ZIP_STAT_NAME)) {
            report_.Message(ZipErrorRead,
                            "Cannot read entry " + std::to_string(i) + ": " + zip_strerror(za_));
            continue;
        }
        if (!Wanted(st.name)) continue;
        if (ExtractEntry(zip_uint64_t(i), st)) {
            ++count;
            if (Flag(b_.verbose))
                report_.Message(ZipErrorNone, std::string("Extracted ") + st.name);
        }
    }
    if (!Flag(b_.test)) StampFolders();
    if (report_.stopped()) report_.Message(ZipErrorStopped, "Stopped");
    return count;
}

}  // namespace

}  // namespace zipengine

extern "C" {

ZIP_ENGINE_API int32_t ZipExtExec(ZipExtractBlock* block) {
    if (!block) return 0;
    try {
        return zipengine::ExtractRun(*block).Run();
    } catch (...) {
        // Nothing may cross into the caller: it may not be C++ at all.
        return 0;
    }
}

ZIP_ENGINE_API int32_t GetZipExtVersion() {
    return zipengine::kExtVersion;
}

}  // extern "C"
