#pragma once
// The central directory of a ZIP archive (the ZIP file format as published by PKWARE): every
// entry with the sizes and CRC-32 it ends with. The local headers that TZipEngine lists may
// carry sizes of 0 when the archive was written as a stream (data descriptors); the central
// directory always has the true ones, so a restore is checked against it.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace platform {
class PinnedFile;
}

struct ZipDirectoryEntry {
    QByteArray name;  // as stored, byte for byte
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    int64_t compressedSize = 0;
    int64_t size = 0;
    uint8_t system = 0;       // the "version made by" system: 3 is Unix
    uint32_t attributes = 0;  // external attributes; Unix mode bits in the upper half

    bool IsFolder() const { return name.endsWith('/'); }
    bool IsLink() const;
    // WinZip AES (method 99) may keep the CRC only inside the encrypted data (AE-2: 0 here).
    bool CrcKnown() const { return !(method == 99 && crc == 0); }
};

// Reads the central directory from the end record on (ZIP64 too) of an archive of fileSize
// bytes, which read gives piece by piece (fewer bytes at the end). False with why for an archive
// that has none or a damaged one; entries are then empty.
bool ReadZipDirectory(int64_t fileSize,
                      const std::function<QByteArray(int64_t offset, int64_t length)>& read,
                      std::vector<ZipDirectoryEntry>& entries, QString& why);

// The same for an open archive.
bool ReadZipDirectory(const platform::PinnedFile& archive, std::vector<ZipDirectoryEntry>& entries,
                      QString& why);
