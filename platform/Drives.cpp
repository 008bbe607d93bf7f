#include "platform/Drives.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "platform/HostFiles.h"
#include "platform/HostNames.h"

namespace platform {

namespace {

// The folder the program was started in; relative host paths are taken from there even
// after the drive-access check has made a drive root the current directory.
const QString& StartDirectory() {
    static const QString dir = QDir::currentPath();
    return dir;
}
[[maybe_unused]] const bool kStartDirectoryCaptured = (StartDirectory(), true);

// Mount types that are the system's own plumbing, never a drive.
const QSet<QString>& SystemMountTypes() {
    static const QSet<QString> types = {
        "proc",       "sysfs",      "devtmpfs",    "devpts",          "cgroup",   "cgroup2",
        "securityfs", "debugfs",    "tracefs",     "pstore",          "bpf",      "mqueue",
        "hugetlbfs",  "fusectl",    "configfs",    "binfmt_misc",     "autofs",   "nsfs",
        "efivarfs",   "rpc_pipefs", "fuse.portal", "fuse.gvfsd-fuse", "squashfs",
    };
    return types;
}

bool IsUnder(const QString& path, const QString& folder) {
    if (folder == QLatin1String("/")) return path.startsWith(u'/');
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == u'/');
}

bool UnderSystemFolder(const QString& mountPoint) {
    static const char* const folders[] = {"/proc",    "/sys",      "/dev", "/run",
                                          "/var/run", "/var/lock", "/snap"};
    return std::any_of(std::begin(folders), std::end(folders),
                       [&](const char* f) { return IsUnder(mountPoint, QString::fromLatin1(f)); });
}

QString UnescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3') {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return DecodeHostName(out);
}

bool SysfsRemovable(const MountEntry& mount) {
    if (mount.major == 0) return false;  // no block device behind it
    const QString dev = QStringLiteral("/sys/dev/block/%1:%2").arg(mount.major).arg(mount.minor);
    QString folder = QFileInfo(dev).canonicalFilePath();
    if (folder.isEmpty()) return false;
    if (QFile::exists(folder + QLatin1String("/partition"))) folder = QFileInfo(folder).path();
    QFile f(folder + QLatin1String("/removable"));
    return f.open(QIODevice::ReadOnly) && f.read(1) == "1";
}

bool IsFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

// The mount that holds a host path: the one whose mount point is its longest prefix.
const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, const QString& path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        if (IsUnder(path, m.mountPoint) &&
            (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    }
    return best;
}

QString CleanAbsolute(const QString& path) {
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : StartDirectory() + u'/' + path);
}

struct MapState {
    std::vector<DriveMapping> drives;  // sorted by letter
    QSet<QString> mountPoints;         // every mount point and every mapped root
};

MapState LoadMap() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    std::vector<MountEntry> mounts;
    if (file.open(QIODevice::ReadOnly)) mounts = ParseMountInfo(file.readAll());

    MapState state;
    const QByteArray mapText = qgetenv("QUILLON_DRIVES");
    state.drives = mapText.isEmpty() ? DrivesFromMounts(mounts, SysfsRemovable, IsFolder)
                                     : DrivesFromVariable(DecodeHostName(mapText), mounts);
    for (const MountEntry& m : mounts) state.mountPoints.insert(m.mountPoint);
    for (const DriveMapping& d : state.drives) state.mountPoints.insert(d.hostRoot);
    return state;
}

MapState& State() {
    static MapState state = LoadMap();
    return state;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(const QByteArray& text) {
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        const qsizetype dash = f.indexOf("-");
        if (f.size() < 5 || dash < 6 || dash + 2 >= f.size()) continue;
        MountEntry m;
        const QList<QByteArray> device = f[2].split(':');
        if (device.size() == 2) {
            m.major = device[0].toUInt();
            m.minor = device[1].toUInt();
        }
        m.root = UnescapeMountField(f[3]);
        m.mountPoint = UnescapeMountField(f[4]);
        m.type = UnescapeMountField(f[dash + 1]);
        m.source = UnescapeMountField(f[dash + 2]);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

DriveType DriveTypeOfMount(const QString& mountType, const QString& source, bool removable) {
    static const QSet<QString> network = {"cifs",  "smb3",       "smbfs",
                                          "sshfs", "fuse.sshfs", "9p",
                                          "ceph",  "glusterfs",  "fuse.glusterfs"};
    if (mountType == QLatin1String("iso9660") || mountType == QLatin1String("udf") ||
        QFileInfo(source).fileName().startsWith(QLatin1String("sr")))
        return DriveType::CdRom;
    if (mountType.startsWith(QLatin1String("nfs")) || network.contains(mountType))
        return DriveType::Remote;
    if (mountType == QLatin1String("tmpfs") || mountType == QLatin1String("ramfs"))
        return DriveType::RamDisk;
    return removable ? DriveType::Removable : DriveType::Fixed;
}

std::vector<DriveMapping> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                           bool (*isRemovable)(const MountEntry&),
                                           bool (*isFolder)(const QString&)) {
    // A later mount on the same point hides the earlier one.
    std::map<QString, const MountEntry*> visible;
    for (const MountEntry& m : mounts) visible[m.mountPoint] = &m;

    auto mappingOf = [&](const MountEntry& m, char letter) {
        return DriveMapping{letter, m.mountPoint, m.type, m.source,
                            DriveTypeOfMount(m.type, m.source, isRemovable(m))};
    };

    std::vector<DriveMapping> drives;
    std::set<std::tuple<unsigned, unsigned, QString>> mapped;  // device and root, for bind mounts
    if (auto root = visible.find(QStringLiteral("/")); root != visible.end()) {
        drives.push_back(mappingOf(*root->second, 'C'));
        mapped.emplace(root->second->major, root->second->minor, root->second->root);
    }
    char letter = 'D';
    for (const auto& [point, m] : visible) {  // std::map: sorted by mount path
        if (letter > 'Z') break;
        if (point == QLatin1String("/") || UnderSystemFolder(point)) continue;
        if (SystemMountTypes().contains(m->type) || m->type == QLatin1String("overlay")) continue;
        if (!mapped.emplace(m->major, m->minor, m->root).second) continue;
        if (!isFolder(point)) continue;
        drives.push_back(mappingOf(*m, letter++));
    }
    return drives;
}

std::vector<DriveMapping> DrivesFromVariable(const QString& mapText,
                                             const std::vector<MountEntry>& mounts) {
    std::vector<DriveMapping> drives;
    for (const QString& item : mapText.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        const QString name = item.left(eq).trimmed().toUpper();
        if (eq < 0 || name.size() != 1 || name[0] < u'A' || name[0] > u'Z') continue;
        const char letter = char(name[0].unicode());
        if (std::any_of(drives.begin(), drives.end(),
                        [&](const DriveMapping& d) { return d.letter == letter; }))
            continue;

        QString folder = item.mid(eq + 1).trimmed();
        QStringList options;
        if (const qsizetype hash = folder.lastIndexOf(u'#'); hash >= 0) {
            options = folder.mid(hash + 1).split(u',', Qt::SkipEmptyParts);
            folder.truncate(hash);
        }
        if (folder.isEmpty()) continue;

        DriveMapping d;
        d.letter = letter;
        d.hostRoot = CleanAbsolute(folder);
        bool removable = false;
        if (const MountEntry* m = MountHolding(mounts, d.hostRoot)) {
            d.mountType = m->type;
            d.device = m->source;
            removable = SysfsRemovable(*m);
        }
        for (const QString& option : options) {
            if (option == QLatin1String("removable"))
                removable = true;
            else if (option.startsWith(QLatin1String("cluster=")))
                d.clusterSize = std::max(0, option.mid(8).toInt());
            else
                d.mountType = option;
        }
        d.type = DriveTypeOfMount(d.mountType, d.device, removable);
        drives.push_back(d);
    }
    std::sort(drives.begin(), drives.end(),
              [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });
    return drives;
}

const std::vector<DriveMapping>& DriveMap() {
    return State().drives;
}

void ReloadDriveMap() {
    State() = LoadMap();
}

const DriveMapping* FindDrive(QChar letter) {
    const char16_t upper = letter.toUpper().unicode();
    for (const DriveMapping& d : State().drives) {
        if (d.letter == upper) return &d;
    }
    return nullptr;
}

uint32_t LogicalDrives() {
    uint32_t mask = 0;
    for (const DriveMapping& d : State().drives) mask |= 1u << (d.letter - 'A');
    return mask;
}

DriveType GetDriveType(const QString& root) {
    if (root.size() < 2 || root[1] != u':') return DriveType::NoRootDir;
    const DriveMapping* d = FindDrive(root[0]);
    return d ? d->type : DriveType::NoRootDir;
}

namespace {

bool HostEntryExists(const QString& host) {
    struct stat st;
    return ::lstat(EncodeHostName(host).constData(), &st) == 0;
}

// The entry of a host folder whose name equals name but for letter case; empty when none.
QString EntryIgnoringCase(const QString& folder, const QString& name) {
    DIR* dir = ::opendir(EncodeHostName(folder).constData());
    if (!dir) return {};
    QString found;
    while (const dirent* d = ::readdir(dir)) {
        const QString entry = DecodeHostName(d->d_name, qsizetype(strlen(d->d_name)));
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            found = entry;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

QString JoinHost(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

}  // namespace

bool MountTypeIgnoresCase(const QString& mountType) {
    return mountType == QLatin1String("vfat") || mountType == QLatin1String("msdos") ||
           mountType == QLatin1String("exfat");
}

QString ToHostPath(const QString& path) {
    if (path.size() < 2 || path[1] != u':') return {};
    const DriveMapping* drive = FindDrive(path[0]);
    if (!drive) return {};

    QStringList names;
    for (QStringView name : QStringView(path).mid(2).split(u'\\')) {
        for (QStringView part : name.split(u'/')) {
            if (part.isEmpty() || part == u".") continue;
            if (part == u"..") {
                if (!names.isEmpty()) names.removeLast();
                continue;
            }
            names.append(HostNameOf(part.toString()));
        }
    }
    QString host = drive->hostRoot;
    for (const QString& name : std::as_const(names)) host = JoinHost(host, name);
    if (names.isEmpty() || !MountTypeIgnoresCase(drive->mountType) || HostEntryExists(host))
        return host;

    // Such a drive finds a name in any letter case, as the program's own names may differ.
    host = drive->hostRoot;
    for (const QString& name : std::as_const(names)) {
        QString next = JoinHost(host, name);
        if (!HostEntryExists(next)) {
            const QString match = EntryIgnoringCase(host, name);
            if (!match.isEmpty()) next = JoinHost(host, match);
        }
        host = next;
    }
    return host;
}

QString FromHostPath(const QString& hostPath) {
    if (hostPath.isEmpty()) return {};
    const QString path = CleanAbsolute(hostPath);
    const DriveMapping* best = nullptr;
    for (const DriveMapping& d : State().drives) {
        if (IsUnder(path, d.hostRoot) && (!best || d.hostRoot.size() > best->hostRoot.size()))
            best = &d;
    }
    if (!best) return {};
    QString rest = path.mid(best->hostRoot.size());
    if (rest.startsWith(u'/')) rest.remove(0, 1);
    rest = ProgramNameOf(rest);
    rest.replace(u'/', u'\\');
    return QString(QChar(best->letter)) + QLatin1String(":\\") + rest;
}

QString AbsoluteHostPath(const QString& hostPath) {
    return hostPath.isEmpty() ? QString() : CleanAbsolute(hostPath);
}

QString FromGivenHostPath(const QString& hostPath) {
    if (hostPath.isEmpty()) return {};
    const QString resolved = FromHostPath(RealHostPath(hostPath));
    return resolved.isEmpty() ? FromHostPath(AbsoluteHostPath(hostPath)) : resolved;
}

QString DriveDisplayNameOf(const QString& root) {
    const DriveMapping* drive = root.isEmpty() ? nullptr : FindDrive(root[0]);
    if (!drive || root.size() < 2 || root[1] != u':') return {};
    return drive->hostRoot + QLatin1String(" (") + QChar(drive->letter) + QLatin1String(":)");
}

bool IsForeignMountPoint(const QString& hostFolder, const QString& driveRoot) {
    return hostFolder != driveRoot && State().mountPoints.contains(hostFolder);
}

}  // namespace platform
