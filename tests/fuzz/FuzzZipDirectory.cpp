// The central directory reader over any bytes, which a restore is checked against: it ends with
// its entries, each inside the file, or with a reason and no entries.
#include "cleanup/ZipDirectory.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz_support::BytesOf(data, size);
    int reads = 0;
    const auto read = [&](int64_t offset, int64_t length) {
        ++reads;
        FUZZ_CHECK(offset >= 0 && length >= 0, QStringLiteral("%1 %2").arg(offset).arg(length));
        FUZZ_CHECK(offset + length <= int64_t(size),
                   QStringLiteral("%1 %2").arg(offset).arg(length));
        return bytes.mid(qsizetype(offset), qsizetype(length));
    };
    std::vector<ZipDirectoryEntry> entries;
    QString why;
    if (!ReadZipDirectory(int64_t(size), read, entries, why)) {
        FUZZ_CHECK(entries.empty() && !why.isEmpty(), why);
        return 0;
    }
    FUZZ_CHECK(reads <= 5, QString::number(reads));
    FUZZ_CHECK(entries.size() <= size / 46, QString::number(entries.size()));
    for (const ZipDirectoryEntry& e : entries) {
        FUZZ_CHECK(e.compressedSize >= 0 && e.compressedSize <= int64_t(size),
                   QString::number(e.compressedSize));
        FUZZ_CHECK(e.size >= 0, QString::number(e.size));
        FUZZ_CHECK(e.name.size() < int(size), QString::number(e.name.size()));
    }
    return 0;
}
