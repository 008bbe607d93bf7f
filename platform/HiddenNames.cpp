#include "platform/HiddenNames.h"

#include <algorithm>
#include <cstring>

#include "platform/Drives.h"
#include "platform/HostFiles.h"
#include "platform/HostNames.h"

namespace platform {

std::vector<QByteArray> HiddenNamesOf(const QByteArray& contents) {
    std::vector<QByteArray> names;
    for (QByteArray line : contents.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) names.push_back(std::move(line));
    }
    return names;
}

bool IsHiddenName(const char* name, const std::vector<QByteArray>& listed) {
    if (name[0] == '.') return true;
    const size_t length = strlen(name);
    return std::any_of(listed.begin(), listed.end(), [&](const QByteArray& n) {
        return size_t(n.size()) == length && memcmp(n.constData(), name, length) == 0;
    });
}

bool SetHiddenAttribute(const QString& path, bool hidden) {
    const QString host = ToHostPath(path);
    const qsizetype slash = host.lastIndexOf(u'/');
    const DriveMapping* drive = path.isEmpty() ? nullptr : FindDrive(path[0]);
    // A drive's root is named in a folder of another drive, or of none.
    if (host.isEmpty() || slash < 0 || !drive || host == drive->hostRoot) return false;
    const QByteArray name = EncodeHostName(host.mid(slash + 1));
    if (name.startsWith('.')) return hidden;
    const QString listPath =
        (slash == 0 ? QString() : host.left(slash)) + u'/' + QLatin1String(kHiddenListName);

    QByteArray contents;
    const HostEntry existing = HostEntryAt(listPath);
    if (existing != HostEntry::Missing && !ReadHostFile(listPath, contents)) return false;
    QList<QByteArray> lines = contents.split('\n');
    const auto isName = [&](QByteArray line) {
        if (line.endsWith('\r')) line.chop(1);
        return line == name;
    };
    const bool listed = std::any_of(lines.begin(), lines.end(), isName);
    if (listed == hidden) return true;

    if (hidden) {
        if (!contents.isEmpty() && !contents.endsWith('\n')) contents += '\n';
        contents += name + '\n';
    } else {
        lines.erase(std::remove_if(lines.begin(), lines.end(), isName), lines.end());
        contents.clear();
        contents = lines.join('\n');
        if (HiddenNamesOf(contents).empty()) return RemoveHostFile(listPath);
    }
    return ReplaceHostFile(listPath, contents);
}

}  // namespace platform
