// The settings store's file reader over any bytes: a file that was damaged, edited by hand or
// written by something else. Loading every setting at start-up must not fail on it, and what
// it loads stays within the ranges the program relies on. Whatever the store reads must survive
// its next write of the file: a change to one key rewrites all of them, and the values of the
// others must come back alike.
#include <QStringList>
#include <cstdlib>
#include <vector>

#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "config/SettingsStore.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace config;

namespace {

// The keys and names the seeds use; the reader parses the whole file whichever are asked for.
const QStringList kKeys = {
    QStringLiteral("Software\\Norvane\\Quillon Pro\\Options"),
    QStringLiteral("Software\\Norvane\\Quillon Pro\\Desktop"),
    QStringLiteral("A"),
    QStringLiteral("A\\B"),
};
const QStringList kNames = {QString(), QStringLiteral("a"), QStringLiteral("Name"),
                            QStringLiteral("Colors"), QStringLiteral("N")};

struct Seen {
    bool present = false;
    SettingsValueType type = SettingsValueType::None;
    QByteArray data;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> ReadAll() {
    std::vector<Seen> seen;
    for (const QString& path : kKeys) {
        SettingsKey key;
        const bool open = key.Open(path, SettingsAccess::Read) == SettingsStatus::Ok;
        for (const QString& name : kNames) {
            Seen s;
            s.present = open && key.QueryValue(name, &s.type, &s.data) == SettingsStatus::Ok;
            seen.push_back(s);
        }
    }
    return seen;
}

void CheckLoadedSettings() {
    LoadSettings();
    FUZZ_CHECK(optZIPCompressionLevel->Value >= 0 && optZIPCompressionLevel->Value <= 9,
               QString::number(optZIPCompressionLevel->Value));
    for (const double angle : {MinFileSectionAngle, MinFolderSectionAngle, MinTextSectionAngle})
        FUZZ_CHECK(angle >= 0 && angle <= 360, QString::number(angle));
    for (const TPageSetting* setting :
         {&FoldersDisplayType, &FoldersDisplayTopX, &FoldersDisplayLargerThan,
          &FoldersDisplayLargerThanUnit, &FoldersDisplaySort}) {
        int32_t value = setting->fallback;
        try {
            value = ReadPageSetting(*setting);
        } catch (const ERegistryException&) {
            continue;  // a value of another type: the caller's error handling tells the user
        }
        const int64_t magnitude = setting->magnitude ? std::abs(int64_t(value)) : value;
        FUZZ_CHECK(magnitude >= setting->min && magnitude <= setting->max,
                   QLatin1String(setting->name) + u'=' + QString::number(value));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QString file = SettingsFilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!fuzz_support::WriteFile(file, fuzz_support::BytesOf(data, size))) return 0;

    CheckLoadedSettings();
    const std::vector<Seen> before = ReadAll();
    {
        SettingsKey probe;
        if (probe.Create(QStringLiteral("Fuzz\\Probe")) != SettingsStatus::Ok) return 0;
        FUZZ_CHECK(probe.SetValue(QStringLiteral("x"), SettingsValueType::DWord,
                                  QByteArray("\1\0\0\0", 4)) == SettingsStatus::Ok,
                   probe.ErrorText());
    }
    const std::vector<Seen> after = ReadAll();
    for (size_t i = 0; i < before.size(); ++i)
        FUZZ_CHECK(before[i] == after[i], kKeys[qsizetype(i) / kNames.size()] + u'\\' +
                                              kNames[qsizetype(i) % kNames.size()]);
    QFile::remove(file);
    return 0;
}
