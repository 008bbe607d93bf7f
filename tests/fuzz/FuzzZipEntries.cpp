// TZipEngine's entry list over any bytes: the search for the first local header, the walk over
// the headers and their ZIP64 sizes. A damaged archive ends in one of the five read errors, and
// an entry list that is read holds only entries that lie inside the file.
#include <QFileInfo>
#include <QSet>

#include "cleanup/ZipEngine.h"
#include "platform/HostNames.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    static const QSet<QString> kErrors = {
        QStringLiteral("Error reading Zip File"),   QStringLiteral("Error 2 reading Zip file"),
        QStringLiteral("Error 3 reading Zip file"), QStringLiteral("Error 4 reading Zip file"),
        QStringLiteral("Error 5 reading Zip file"),
    };
    const QString archive = environment.Path(QStringLiteral("entries.zip"));
    if (!fuzz_support::WriteFile(archive, fuzz_support::BytesOf(data, size))) return 0;

    TZipEngine zip;
    int updates = 0;
    zip.OnDirUpdate = [&](TZipEngine*) { ++updates; };
    try {
        zip.SetZipFilename(archive);
    } catch (const EZipReadError& e) {
        FUZZ_CHECK(kErrors.contains(QString::fromUtf8(e.what())), QString::fromUtf8(e.what()));
        FUZZ_CHECK(zip.Count() == 0, QString::number(zip.Count()));
    }
    FUZZ_CHECK(updates == 1, QString::number(updates));
    FUZZ_CHECK(zip.Count() == 0 || zip.FirstHeaderOffset() >= 0, {});
    FUZZ_CHECK(zip.FirstHeaderOffset() < int64_t(size), QString::number(zip.FirstHeaderOffset()));
    for (const auto& entry : zip.ZipContents()) {
        FUZZ_CHECK(entry->CompressedSize >= 0 && entry->CompressedSize <= int64_t(size),
                   QString::number(entry->CompressedSize));
        FUZZ_CHECK(entry->UncompressedSize >= 0, QString::number(entry->UncompressedSize));
        FUZZ_CHECK(platform::EncodeHostName(entry->FileName).size() == entry->FileNameLen,
                   entry->FileName);
    }
    return 0;
}
