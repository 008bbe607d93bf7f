#include "platform/EntryDigest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QList>
#include <array>
#include <cerrno>
#include <vector>

namespace platform {

namespace {

constexpr size_t kPiece = 1 << 20;

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

EntryKind KindOfError(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP ? EntryKind::Missing
                                                                 : EntryKind::Unreadable;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const char* data, int64_t length) {
    const auto& table = CrcTable();
    crc = ~crc;
    for (int64_t i = 0; i < length; ++i) crc = table[(crc ^ uint8_t(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

EntryDigest DigestEntry(const PinnedFolder& folder, const QByteArray& relativeName,
                        const std::function<bool()>& keepGoing) {
    EntryDigest digest;
    Descriptor dir(::dup(folder.Descriptor()));
    if (dir.get() < 0) {
        digest.kind = KindOfError(errno);
        return digest;
    }
    QList<QByteArray> parts;
    for (const QByteArray& part : relativeName.split('/'))
        if (!part.isEmpty() && part != ".") parts << part;
    if (parts.isEmpty() || parts.contains("..")) return digest;
    // Every folder on the way is opened without following a link, as extraction created them.
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const int next = ::openat(dir.get(), parts[i].constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            digest.kind = KindOfError(errno);
            return digest;
        }
        dir.reset(next);
    }
    const char* leaf = parts.back().constData();
    struct stat st;
    if (::fstatat(dir.get(), leaf, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        digest.kind = KindOfError(errno);
        return digest;
    }
    if (S_ISDIR(st.st_mode)) {
        digest.kind = EntryKind::Folder;
        return digest;
    }
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlinkat(dir.get(), leaf, target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) {
            digest.kind = EntryKind::Unreadable;
            return digest;
        }
        digest.kind = EntryKind::Link;
        digest.length = n;
        digest.crc = Crc32(0, target.data(), n);
        return digest;
    }
    if (!S_ISREG(st.st_mode)) {
        digest.kind = EntryKind::Other;
        return digest;
    }
    Descriptor file(::openat(dir.get(), leaf, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0) {
        digest.kind = EntryKind::Unreadable;
        return digest;
    }
    std::vector<char> buffer(kPiece);
    uint32_t crc = 0;
    int64_t length = 0;
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (keepGoing && !keepGoing())) {
            digest.kind = EntryKind::Unreadable;
            return digest;
        }
        if (n == 0) break;
        crc = Crc32(crc, buffer.data(), n);
        length += n;
    }
    digest.kind = EntryKind::File;
    digest.length = length;
    digest.crc = crc;
    return digest;
}

}  // namespace platform
