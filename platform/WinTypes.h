#pragma once
// The Windows vocabulary the program speaks: attribute bits, drive types, file times.
// The platform layer maps the host's facts onto these values.

#include <cstdint>

namespace platform {

// File attribute bits, with the values Windows gives them.
enum : uint32_t {
    FILE_ATTRIBUTE_READONLY = 0x01,
    FILE_ATTRIBUTE_HIDDEN = 0x02,
    FILE_ATTRIBUTE_SYSTEM = 0x04,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    FILE_ATTRIBUTE_TEMPORARY = 0x100,
    FILE_ATTRIBUTE_SPARSE_FILE = 0x200,
    FILE_ATTRIBUTE_REPARSE_POINT = 0x400,
    FILE_ATTRIBUTE_COMPRESSED = 0x800,
    FILE_ATTRIBUTE_OFFLINE = 0x1000,
    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x2000,
    FILE_ATTRIBUTE_ENCRYPTED = 0x4000,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF,
};

// Volume flags of the volume-information query.
enum : uint32_t {
    FILE_CASE_SENSITIVE_SEARCH = 0x01,
    FILE_CASE_PRESERVED_NAMES = 0x02,
    FILE_UNICODE_ON_DISK = 0x04,
};

// Drive types, numbered as the Windows drive-type query numbers them.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;

inline constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;

// Seconds and nanoseconds since 1970 as a file time; instants before 1601 give 0, and those
// past the year 30828, where a file time's signed range ends, give that end (a damaged file
// system or an export may claim any number of seconds).
constexpr FileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    constexpr int64_t kFirst = -kUnixEpochAsFileTime / 10000000LL;
    // Ten seconds short of the end, so that the nanoseconds (4.3 s at most) cannot overflow.
    constexpr int64_t kLast = (INT64_MAX - kUnixEpochAsFileTime) / 10000000LL - 10;
    if (seconds < kFirst) return 0;
    if (seconds > kLast) seconds = kLast;
    const int64_t t = seconds * 10000000LL + nanoseconds / 100 + kUnixEpochAsFileTime;
    return t < 0 ? 0 : static_cast<FileTime>(t);
}

// Milliseconds since 1970 of a file time (for QDateTime).
constexpr int64_t FileTimeToUnixMilliseconds(FileTime t) {
    return (static_cast<int64_t>(t) - kUnixEpochAsFileTime) / 10000;
}

}  // namespace platform
