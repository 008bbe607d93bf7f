#include "platform/ByteInput.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "platform/HostNames.h"

namespace platform {

namespace {

constexpr int64_t kChunk = 256 * 1024;

// Up to size bytes from a descriptor, as many as one read gives: 0 at the end, -1 on failure.
int64_t ReadSome(int fd, char* buffer, int64_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size_t(size));
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

struct ByteInput::State {
    int fd = -1;
    bool ownsFd = false;  // standard input is the process's, not ours to close
    std::vector<char> raw = std::vector<char>(size_t(kChunk));
    // The raw bytes read but not yet handed on (or unpacked).
    int64_t rawStart = 0;
    int64_t rawEnd = 0;
    int64_t consumed = 0;
    bool gzip = false;
    bool inflating = false;  // a gzip member is open
    z_stream zip{};
    QString error;

    ~State() {
        if (gzip) inflateEnd(&zip);
        if (ownsFd) ::close(fd);
    }

    // Reads into the raw buffer at its end; the count, 0 at the end, -1 with error set.
    int64_t ReadRaw(int64_t at) {
        const int64_t n = ReadSome(fd, raw.data() + at, kChunk - at);
        if (n < 0) error = SystemErrorText(errno);
        return n;
    }

    // More raw bytes; false at the end of the source or on failure (error set).
    bool Fill() {
        rawStart = 0;
        rawEnd = std::max<int64_t>(ReadRaw(0), 0);
        consumed += rawEnd;
        return rawEnd > 0;
    }
};

ByteInput::ByteInput() : state_(std::make_unique<State>()) {}
ByteInput::~ByteInput() = default;

bool ByteInput::Open(const QString& hostPath) {
    State& s = *state_;
    if (hostPath == QLatin1String("-")) {
        s.fd = STDIN_FILENO;
    } else {
        s.fd = ::open(EncodeHostName(hostPath).constData(), O_RDONLY | O_CLOEXEC);
        if (s.fd < 0) {
            s.error = SystemErrorText(errno);
            return false;
        }
        s.ownsFd = true;
    }
    // Two bytes tell a gzip stream; a pipe may give them in more than one read.
    while (s.rawEnd < 2) {
        const int64_t n = s.ReadRaw(s.rawEnd);
        if (n <= 0) break;
        s.rawEnd += n;
        s.consumed += n;
    }
    if (!s.error.isEmpty()) return false;
    s.gzip = s.rawEnd >= 2 && uint8_t(s.raw[0]) == 0x1f && uint8_t(s.raw[1]) == 0x8b;
    if (s.gzip && inflateInit2(&s.zip, 16 + MAX_WBITS) != Z_OK) {
        s.error = QStringLiteral("the gzip decoder could not start");
        return false;
    }
    s.inflating = s.gzip;
    return true;
}

int64_t ByteInput::Read(char* buffer, int64_t size) {
    State& s = *state_;
    if (!s.error.isEmpty()) return -1;
    if (!s.gzip) {
        if (s.rawStart == s.rawEnd && !s.Fill()) return s.error.isEmpty() ? 0 : -1;
        const int64_t n = std::min(size, s.rawEnd - s.rawStart);
        std::copy_n(s.raw.data() + s.rawStart, n, buffer);
        s.rawStart += n;
        return n;
    }
    s.zip.next_out = reinterpret_cast<Bytef*>(buffer);
    s.zip.avail_out = uInt(std::min<int64_t>(size, kChunk));
    while (s.zip.avail_out > 0) {
        if (s.rawStart == s.rawEnd && !s.Fill()) {
            if (!s.error.isEmpty()) return -1;
            if (s.inflating) {
                s.error = QStringLiteral("the compressed data ends too early");
                return -1;
            }
            break;
        }
        if (!s.inflating) {
            // Another gzip member follows the last one, as concatenated files make it.
            inflateReset(&s.zip);
            s.inflating = true;
        }
        s.zip.next_in = reinterpret_cast<Bytef*>(s.raw.data() + s.rawStart);
        s.zip.avail_in = uInt(s.rawEnd - s.rawStart);
        const int result = inflate(&s.zip, Z_NO_FLUSH);
        s.rawStart = s.rawEnd - s.zip.avail_in;
        if (result == Z_STREAM_END) {
            s.inflating = false;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            s.error = QStringLiteral("the compressed data is damaged (%1)")
                          .arg(QString::fromLatin1(s.zip.msg ? s.zip.msg : "inflate failed"));
            return -1;
        }
        if (s.zip.next_out != reinterpret_cast<Bytef*>(buffer)) break;  // something to hand on
    }
    return reinterpret_cast<char*>(s.zip.next_out) - buffer;
}

int64_t ByteInput::Consumed() const {
    return state_->consumed;
}

QString ByteInput::errorText() const {
    return state_->error;
}

}  // namespace platform
