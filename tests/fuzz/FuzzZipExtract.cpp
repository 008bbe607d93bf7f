// The engine library's extraction (libzipext.so through TZipEngine::ExtractFiles) of any bytes
// as an archive, keeping folder names and overwriting, twice over the same target so that the
// second run meets the files, folders and links of the first. Nothing may appear outside the
// target folder: a sentinel folder beside it stays empty, the folder holding both holds nothing
// else, and no place outside that an entry names (absolute, or climbing with "..", read with
// libzip as the engine reads it) appears. Links come back as they were stored, wherever they
// point; the second run must not write through one of them.
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include "cleanup/ZipEngine.h"
#include "platform/HostNames.h"
#include "platform/Library.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool Inside(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

void CheckTarget(const QString& target) {
    QDirIterator it(target, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        FUZZ_CHECK(Inside(entry.absoluteFilePath(), target), entry.absoluteFilePath());
    }
}

// The places outside the target that the entries' names would reach if taken as they stand,
// '\\' read as a separator too.
QStringList PlacesOutside(const QString& archive, const QString& target) {
    QStringList places;
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &error);
    if (!za) return places;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!raw) continue;
        QString name = platform::DecodeHostName(QByteArray(raw));
        name.replace(u'\\', u'/');
        const QString place = QDir::cleanPath(name.startsWith(u'/') ? name : target + u'/' + name);
        if (!Inside(place, target)) places << place;
    }
    zip_discard(za);
    return places;
}

bool Exists(const QString& path) {
    struct stat st;
    return ::lstat(platform::EncodeHostName(path).constData(), &st) == 0;
}

platform::LoadedLibrary& Pinned() {
    static platform::LoadedLibrary library;
    return library;
}

}  // namespace

// The engine library is loaded before the fuzzing starts, so that the fuzzer sees its coverage,
// and held for the whole run: the engine loads and unloads it around each call, and the
// coverage counters of an unloaded library would dangle.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!Pinned().Load(QStringLiteral(QUILLON_ZIP_ENGINE_DIR "/") +
                       TZipEngine::HostLibraryName(QStringLiteral("ZIPEXT.DLL"))))
        fuzz_support::Fail("the extraction engine did not load", Pinned().errorText());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;

    const QString archive = environment.Path(QStringLiteral("archive.zip"));
    const QString box = environment.Path(QStringLiteral("box"));
    const QString target = box + QStringLiteral("/target");
    const QString sentinel = box + QStringLiteral("/sentinel");
    QDir(box).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(target) && QDir().mkpath(sentinel), box);
    if (!fuzz_support::WriteFile(archive, fuzz_support::BytesOf(data, size))) return 0;
    QSet<QString> missingOutside;
    for (const QString& place : PlacesOutside(archive, target))
        if (!Exists(place)) missingOutside << place;

    for (int run = 0; run < 2; ++run) {
        TZipEngine zip;
        zip.SetDLLDirectory(QStringLiteral(QUILLON_ZIP_ENGINE_DIR));
        try {
            zip.SetZipFilename(archive);
        } catch (const EZipReadError&) {
            // The entry list is the program's own reader (the entries target); the engine
            // library reads the archive for itself.
        }
        zip.Password = QStringLiteral("secret");
        zip.ExtrBaseDir = target;
        zip.ExtrOptions = ExtrOpts{ExtrDirNames, ExtrOverWrite};
        zip.ExtractFiles();
        FUZZ_CHECK(zip.ResultCount() >= 0, QString::number(zip.ResultCount()));
        QDir::setCurrent(environment.Path());

        FUZZ_CHECK(Listing(sentinel).isEmpty(), Listing(sentinel).join(u' '));
        FUZZ_CHECK(
            Listing(box) == QStringList({QStringLiteral("sentinel"), QStringLiteral("target")}),
            Listing(box).join(u' '));
        CheckTarget(target);
        for (const QString& place : std::as_const(missingOutside))
            FUZZ_CHECK(!Exists(place), place);
    }
    const QStringList top = Listing(environment.Path());
    for (const QString& name : top)
        FUZZ_CHECK(name == QLatin1String("archive.zip") || name == QLatin1String("box") ||
                       name == QLatin1String("config") || name == QLatin1String("data") ||
                       name == QLatin1String("cache"),
                   name);
    QDir(box).removeRecursively();
    return 0;
}
