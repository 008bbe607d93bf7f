// The engine library's extraction (libzipext.so through TZipEngine::ExtractFiles) of any bytes
// as an archive, keeping folder names and overwriting, twice over the same target so that the
// second run meets the files, folders and links of the first. Nothing may appear outside the
// target folder: a sentinel folder beside it stays empty, the folder holding both holds nothing
// else, and every link in the target leads to a place inside it.
#include <unistd.h>
#include <QDirIterator>
#include <QFileInfo>

#include "cleanup/ZipEngine.h"
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
        if (!entry.isSymLink()) continue;
        // The link's own text, taken from where the link is: it climbs no higher than the target.
        char text[4096];
        const ssize_t n =
            ::readlink(QFile::encodeName(entry.absoluteFilePath()).constData(), text, sizeof text);
        FUZZ_CHECK(n >= 0 && size_t(n) < sizeof text, entry.absoluteFilePath());
        const QString raw = QFile::decodeName(QByteArray(text, n));
        const QString lands =
            QDir::cleanPath(raw.startsWith(u'/') ? raw : entry.absolutePath() + u'/' + raw);
        FUZZ_CHECK(Inside(lands, target), entry.absoluteFilePath() + QStringLiteral(" -> ") + raw);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    // Held for the whole run: the engine loads and unloads its library around each call, and
    // the fuzzer's coverage counters of an unloaded library would dangle.
    static platform::LoadedLibrary pinned;
    static const bool loaded =
        pinned.Load(QStringLiteral(QUILLON_ZIP_ENGINE_DIR "/") +
                    TZipEngine::HostLibraryName(QStringLiteral("ZIPEXT.DLL")));
    if (!loaded) fuzz_support::Fail("the extraction engine did not load", pinned.errorText());

    const QString archive = environment.Path(QStringLiteral("archive.zip"));
    const QString box = environment.Path(QStringLiteral("box"));
    const QString target = box + QStringLiteral("/target");
    const QString sentinel = box + QStringLiteral("/sentinel");
    QDir(box).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(target) && QDir().mkpath(sentinel), box);
    if (!fuzz_support::WriteFile(archive, fuzz_support::BytesOf(data, size))) return 0;

    for (int run = 0; run < 2; ++run) {
        TZipEngine zip;
        zip.SetDLLDirectory(QStringLiteral(QUILLON_ZIP_ENGINE_DIR));
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
