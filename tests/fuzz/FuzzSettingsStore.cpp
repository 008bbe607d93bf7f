// The settings store's file reader over any bytes: a file that was damaged, edited by hand or
// written by something else. Whatever it reads must survive the store's next write of the file:
// a change to one key rewrites all of them, and the values of the others must come back alike.
#include <QStringList>
#include <vector>

#include "platform/SettingsStore.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace platform;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QString file = SettingsFilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!fuzz_support::WriteFile(file, fuzz_support::BytesOf(data, size))) return 0;

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
