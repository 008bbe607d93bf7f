#include "cleanup/ZipDirectory.h"

#include <algorithm>

#include "cleanup/ZipBytes.h"
#include "platform/PinnedFolder.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr int64_t kEndSize = 22;
constexpr int64_t kLocatorSize = 20;
constexpr int64_t kZip64EndSize = 56;
constexpr int64_t kCentralSize = 46;
constexpr int64_t kMaxComment = 0xFFFF;
constexpr uint64_t kMaxDirectory = uint64_t(1) << 30;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kMarker32 = 0xFFFFFFFF;
constexpr uint16_t kMarker16 = 0xFFFF;
constexpr uint32_t kUnixLinkType = 0120000;
constexpr uint32_t kUnixTypeMask = 0170000;

using zip_bytes::Le16;
using zip_bytes::Le32;
using zip_bytes::Le64;

bool Fail(QString& why, const char* text) {
    why = QString::fromLatin1(text);
    return false;
}

// A 64-bit value of a ZIP64 field that must fit the archive below limit: negative (above 2^63)
// is damage, and so is any value where no room is left at all (a negative limit).
bool Fits(uint64_t value, int64_t limit) {
    return limit >= 0 && value <= uint64_t(limit);
}

}  // namespace

bool ZipDirectoryEntry::IsLink() const {
    return system == 3 && ((attributes >> 16) & kUnixTypeMask) == kUnixLinkType;
}

bool ReadZipDirectory(int64_t fileSize,
                      const std::function<QByteArray(int64_t offset, int64_t length)>& read,
                      std::vector<ZipDirectoryEntry>& entries, QString& why) {
    entries.clear();
    if (fileSize < kEndSize) return Fail(why, "it is too short for a ZIP archive");
    const int64_t tailLength = std::min(fileSize, kEndSize + kMaxComment);
    const int64_t tailOffset = fileSize - tailLength;
    const QByteArray tail = read(tailOffset, tailLength);
    if (tail.size() != tailLength) return Fail(why, "it cannot be read");
    // The end record is the last one whose comment reaches the end of the file.
    int64_t end = -1;
    for (int64_t at = tailLength - kEndSize; at >= 0 && end < 0; --at) {
        const char* p = tail.constData() + at;
        if (Le32(p) == kEndSignature && at + kEndSize + Le16(p + 20) <= tailLength) end = at;
    }
    if (end < 0) return Fail(why, "it has no end of central directory");
    const char* record = tail.constData() + end;
    const int64_t endOffset = tailOffset + end;
    uint64_t count = Le16(record + 10);
    uint64_t size = Le32(record + 12);
    uint64_t offset = Le32(record + 16);
    int64_t directoryEnd = endOffset;
    if (count == kMarker16 || size == kMarker32 || offset == kMarker32) {
        const QByteArray locator =
            endOffset >= kLocatorSize ? read(endOffset - kLocatorSize, kLocatorSize) : QByteArray();
        if (locator.size() == kLocatorSize && Le32(locator.constData()) == kZip64LocatorSignature) {
            const uint64_t at = Le64(locator.constData() + 8);
            if (!Fits(at, endOffset - kLocatorSize - kZip64EndSize))
                return Fail(why, "its ZIP64 end record lies outside it");
            const QByteArray zip64 = read(int64_t(at), kZip64EndSize);
            if (zip64.size() != kZip64EndSize || Le32(zip64.constData()) != kZip64EndSignature)
                return Fail(why, "its ZIP64 end record is damaged");
            count = Le64(zip64.constData() + 32);
            size = Le64(zip64.constData() + 40);
            offset = Le64(zip64.constData() + 48);
            directoryEnd = int64_t(at);
        }
    }
    if (!Fits(size, directoryEnd) || !Fits(offset, directoryEnd - int64_t(size)))
        return Fail(why, "its central directory lies outside it");
    if (count > size / kCentralSize) return Fail(why, "its central directory is too short");
    if (size > kMaxDirectory) return Fail(why, "its central directory is too large to be read");
    // A self-extractor's code before the archive shifts every offset the archive records.
    int64_t start = int64_t(offset);
    QByteArray directory = read(start, int64_t(size));
    if (size > 0 && (directory.size() < 4 || Le32(directory.constData()) != kCentralSignature)) {
        start = directoryEnd - int64_t(size);
        directory = read(start, int64_t(size));
    }
    if (directory.size() != qsizetype(size))
        return Fail(why, "its central directory cannot be read");

    std::vector<ZipDirectoryEntry> found;
    found.reserve(size_t(count));
    int64_t at = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (at + kCentralSize > directory.size())
            return Fail(why, "an entry of its central directory is cut short");
        const char* p = directory.constData() + at;
        if (Le32(p) != kCentralSignature) return Fail(why, "its central directory is damaged");
        ZipDirectoryEntry e;
        e.system = uint8_t(p[5]);
        e.flags = Le16(p + 8);
        e.method = Le16(p + 10);
        e.crc = Le32(p + 16);
        uint64_t compressed = Le32(p + 20);
        uint64_t uncompressed = Le32(p + 24);
        const int64_t nameLength = Le16(p + 28);
        const int64_t extraLength = Le16(p + 30);
        const int64_t commentLength = Le16(p + 32);
        e.attributes = Le32(p + 38);
        const int64_t next = at + kCentralSize + nameLength + extraLength + commentLength;
        if (next > directory.size())
            return Fail(why, "an entry of its central directory is cut short");
        e.name = directory.mid(at + kCentralSize, nameLength);
        // ZIP64 sizes stand in the extra field, uncompressed first, for the 32-bit fields that
        // hold the marker.
        const char* extra = p + kCentralSize + nameLength;
        for (int64_t x = 0; x + 4 <= extraLength;) {
            const uint16_t id = Le16(extra + x);
            const int64_t length = Le16(extra + x + 2);
            if (x + 4 + length > extraLength) break;
            if (id == kZip64ExtraId) {
                const char* field = extra + x + 4;
                int64_t f = 0;
                if (uncompressed == kMarker32 && f + 8 <= length)
                    uncompressed = Le64(field + f), f += 8;
                if (compressed == kMarker32 && f + 8 <= length) compressed = Le64(field + f);
            }
            x += 4 + length;
        }
        if (!Fits(compressed, fileSize) || int64_t(uncompressed) < 0)
            return Fail(why, "an entry of its central directory has an impossible size");
        e.compressedSize = int64_t(compressed);
        e.size = int64_t(uncompressed);
        found.push_back(std::move(e));
        at = next;
    }
    entries = std::move(found);
    return true;
}

bool ReadZipDirectory(const platform::PinnedFile& archive, std::vector<ZipDirectoryEntry>& entries,
                      QString& why) {
    return ReadZipDirectory(
        archive.Identity().size,
        [&](int64_t offset, int64_t length) { return archive.ReadAt(offset, length); }, entries,
        why);
}
