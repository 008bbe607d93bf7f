#pragma once
// What is on disk at an archive entry's place, read back to compare with the entry: its kind,
// its length and the CRC-32 of its bytes (a file's contents, or a symbolic link's target text,
// as archives store links).

#include <QByteArray>
#include <cstdint>
#include <functional>

#include "platform/PinnedFolder.h"

namespace platform {

// The CRC-32 of ZIP archives, zlib and PNG (reflected polynomial 0xEDB88320): continues crc
// over the bytes; start with 0.
uint32_t Crc32(uint32_t crc, const char* data, int64_t length);

enum class EntryKind { Missing, File, Link, Folder, Other, Unreadable };

struct EntryDigest {
    EntryKind kind = EntryKind::Missing;
    int64_t length = 0;  // of a file or a link's target text
    uint32_t crc = 0;    // of the same bytes
};

// The entry at relativeName ('/' between names, as an archive names it, host bytes) below a
// pinned folder. No symbolic link is followed on the way or at the end. keepGoing is asked
// after each piece of a long file; when it answers false the reading stops (Unreadable).
EntryDigest DigestEntry(const PinnedFolder& folder, const QByteArray& relativeName,
                        const std::function<bool()>& keepGoing = {});

}  // namespace platform
