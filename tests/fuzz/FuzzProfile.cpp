// The program's profile reads (TBinRegIniFile: sections and named values of a key, read as
// text, numbers, switches and binary blocks) and the loading of every setting at start-up, over
// a settings file of any bytes: start-up must never fail on what a damaged file holds, and what
// it loads stays within the ranges the program relies on.
#include <QFileInfo>
#include <array>
#include <cstdlib>

#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "platform/SettingsStore.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QString file = platform::SettingsFilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!fuzz_support::WriteFile(file, fuzz_support::BytesOf(data, size))) return 0;

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

    // Reads of every kind over the sections of the seeds: a value of the wrong type is an
    // ERegistryException, which the callers catch; anything else escaping is a finding.
    TBinRegIniFile store(AppRegistryKey);
    for (const QString& section :
         {QStringLiteral("Options"), QStringLiteral("Desktop"), QString()}) {
        for (const QString& name : {QStringLiteral("Colors"), QStringLiteral("Left"),
                                    QStringLiteral("ZIPCompressionLevel"), QStringLiteral("N")}) {
            try {
                store.ReadString(section, name, QStringLiteral("-"));
            } catch (const ERegistryException&) {
            }
            try {
                store.ReadBool(section, name, true);
            } catch (const ERegistryException&) {
            }
            std::array<char, 16> buffer{};
            try {
                const int32_t n =
                    store.ReadBinary(section, name, int32_t(buffer.size()), buffer.data());
                FUZZ_CHECK(n >= 0 && n <= int32_t(buffer.size()), QString::number(n));
            } catch (const ERegistryException&) {
            }
        }
    }
    QFile::remove(file);
    return 0;
}
