// The profile reader behind "archives.ini" (cleanup::ProfileFile, and TArchivesRegister over it)
// over a register of any bytes: one damaged or edited by hand. Reading never fails; a write of
// one value reads back as written and leaves every other value as it was; deleting a key takes
// away that key alone. The input is the file up to its last NUL byte; after it, the section,
// key and value to write, separated by the byte 0x01 (a default for each one missing).
#include <QStringList>
#include <vector>

#include "cleanup/ArchivesRegister.h"
#include "cleanup/ProfileFile.h"
#include "platform/HostNames.h"
#include "tests/fuzz/FuzzSupport.h"

using cleanup::ProfileFile;

namespace {

const QString kAbsent = QStringLiteral("\x01(absent)");

struct Value {
    QString section;
    QString key;
    QString value;
};

bool Same(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// Every key of the sections and what it reads as; for a key named twice, the first one's value.
std::vector<Value> ReadAll(const ProfileFile& file, const QStringList& sections) {
    std::vector<Value> values;
    for (const QString& section : sections)
        for (const QString& key : file.ReadKeys(section))
            values.push_back({section, key, file.ReadString(section, key, kAbsent)});
    return values;
}

QStringList KeysOf(const std::vector<Value>& values, const QString& section) {
    QStringList keys;
    for (const Value& v : values)
        if (v.section == section) keys << v.key;
    return keys;
}

// The values of a reading that are not of the key, as they read before and after.
void CheckOthersKept(const std::vector<Value>& before, const ProfileFile& after,
                     const QString& section, const QString& key) {
    for (const Value& v : before) {
        if (Same(v.section, section) && Same(v.key, key)) continue;
        const QString now = after.ReadString(v.section, v.key, kAbsent);
        FUZZ_CHECK(now == v.value, v.section + u'/' + v.key + u'=' + v.value + u'>' + now);
    }
}

bool IsNameProblem(const QString& error) {
    return error.startsWith(QLatin1String("The section name ")) ||
           error.startsWith(QLatin1String("The key ")) ||
           error.startsWith(QLatin1String("The value of "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    static const QString folder = ArchivesFolderOf(u'C');
    static const QString host = environment.Path(kArchivesFolderName);
    QDir().mkpath(host);
    const QByteArray bytes = fuzz_support::BytesOf(data, size);
    const qsizetype split = bytes.lastIndexOf('\0');
    if (!fuzz_support::WriteFile(host + u'/' + kRegisterFileName,
                                 split < 0 ? bytes : bytes.left(split)))
        return 0;
    const QStringList command =
        split < 0 ? QStringList() : platform::DecodeHostName(bytes.mid(split + 1)).split(QChar(1));

    // The register's own reads: whatever they find is text, never a failure.
    const TArchivesRegister archives(folder);
    const QStringList keys = archives.Keys();
    for (const QString& key : keys) {
        archives.Description(key);
        archives.FolderName(key);
        archives.OriginalPath(key);
        IsArchiveKey(key);
    }

    const QString section = command.size() > 0 ? command[0] : kDescriptionsSection;
    const QString key = command.size() > 1 ? command[1]
                        : keys.isEmpty()   ? QStringLiteral("C1234567.ZIP")
                                           : keys.first();
    const QString value = command.size() > 2 ? command.mid(2).join(QChar(1)) : QStringLiteral("x");
    QStringList sections = {kDescriptionsSection, kFolderNamesSection, kOriginalPathsSection,
                            section};
    sections.removeDuplicates();

    ProfileFile file(archives.FilePath());
    FUZZ_CHECK(file.state() == ProfileFile::State::Read, file.Path());
    const std::vector<Value> before = ReadAll(file, sections);
    FUZZ_CHECK(before.empty() || !file.HoldsNoKeys(), before.front().key);

    if (!file.WriteString(section, key, value)) {
        FUZZ_CHECK(IsNameProblem(file.ErrorText()), file.ErrorText());
        return 0;
    }
    const ProfileFile written(archives.FilePath());
    FUZZ_CHECK(written.ReadString(section, key, kAbsent) == value,
               key + u'=' + value + u'>' + written.ReadString(section, key, kAbsent));
    CheckOthersKept(before, written, section, key);
    const QStringList keysBefore = KeysOf(before, section);
    const QStringList keysAfter = written.ReadKeys(section);
    bool present = false;
    for (const QString& k : keysBefore) present = present || Same(k, key);
    FUZZ_CHECK(keysAfter == (present ? keysBefore : keysBefore + QStringList{key}),
               keysAfter.join(u','));

    // Deleting the key again takes out its first line and nothing else.
    const std::vector<Value> beforeDelete = ReadAll(written, sections);
    FUZZ_CHECK(file.DeleteKey(section, key), file.ErrorText());
    const ProfileFile deleted(archives.FilePath());
    CheckOthersKept(beforeDelete, deleted, section, key);
    QStringList keysLeft = keysAfter;
    for (qsizetype i = 0; i < keysLeft.size(); ++i) {
        if (Same(keysLeft[i], key)) {
            keysLeft.removeAt(i);
            break;
        }
    }
    FUZZ_CHECK(deleted.ReadKeys(section) == keysLeft, deleted.ReadKeys(section).join(u','));
    return 0;
}
