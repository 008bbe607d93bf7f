#include <gtest/gtest.h>

#include <QDir>

#include "platform/Drives.h"
#include "tests/fixtures/TempTree.h"

using namespace platform;
using testing_support::DriveMapScope;
using testing_support::TempTree;

namespace {

// A desktop's mount table: pseudo file systems, a bind mount, a snap, a USB stick, a CD,
// a network share, a RAM disk and a name with a blank in it.
const char kDesktopMounts[] =
    "22 1 0:21 / /proc rw - proc proc rw\n"
    "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
    "24 1 0:6 / /dev rw - devtmpfs udev rw\n"
    "26 24 0:24 / /dev/pts rw - devpts devpts rw\n"
    "27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "28 27 0:25 / /run rw - tmpfs tmpfs rw\n"
    "29 27 8:3 / /home rw shared:2 - ext4 /dev/sda3 rw\n"
    "30 27 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
    "31 27 8:3 /ann/shared /srv/shared rw - ext4 /dev/sda3 rw\n"
    "32 27 8:3 / /mnt/home-again rw - ext4 /dev/sda3 rw\n"
    "33 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "34 27 8:17 / /media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
    "35 27 11:0 / /media/ann/CDROM ro - iso9660 /dev/sr0 ro\n"
    "36 27 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
    "37 27 0:51 / /tmp rw - tmpfs tmpfs rw\n"
    "38 23 0:30 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "39 27 0:52 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "40 27 0:53 / /etc/hostname rw - ext4 /dev/sda2 rw\n"
    "41 27 0:54 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n";

bool RemovableIfSdb(const MountEntry& m) {
    return m.source.startsWith(QLatin1String("/dev/sdb"));
}
bool FolderUnlessEtc(const QString& path) {
    return !path.startsWith(QLatin1String("/etc/"));
}

QString Letters(const std::vector<DriveMapping>& drives) {
    QString s;
    for (const DriveMapping& d : drives) s += QChar(d.letter);
    return s;
}

}  // namespace

TEST(MountTable, ParsesFieldsAndUndoesOctalEscapes) {
    const auto mounts = ParseMountInfo(kDesktopMounts);
    ASSERT_EQ(mounts.size(), 19u);
    const MountEntry& usb = mounts[11];
    EXPECT_EQ(usb.mountPoint, QStringLiteral("/media/ann/USB STICK"));
    EXPECT_EQ(usb.type, QStringLiteral("vfat"));
    EXPECT_EQ(usb.source, QStringLiteral("/dev/sdb1"));
    EXPECT_EQ(usb.major, 8u);
    EXPECT_EQ(usb.minor, 17u);
    EXPECT_EQ(mounts[8].root, QStringLiteral("/ann/shared"));
}

TEST(MountTable, MapsRealFileSystemsOnlyWithRootAsC) {
    const auto drives =
        DrivesFromMounts(ParseMountInfo(kDesktopMounts), RemovableIfSdb, FolderUnlessEtc);
    // Sorted by mount path after C: /boot/efi, /home, /media/ann/CDROM, /media/ann/USB STICK,
    // /mnt/nas, /srv/shared (another root of sda3 than /home), /tmp.
    ASSERT_EQ(Letters(drives), QStringLiteral("CDEFGHIJ"));
    const QStringList roots = {
        "/",        "/boot/efi",   "/home", "/media/ann/CDROM", "/media/ann/USB STICK",
        "/mnt/nas", "/srv/shared", "/tmp"};
    for (size_t i = 0; i < drives.size(); ++i) EXPECT_EQ(drives[i].hostRoot, roots[i]);
    EXPECT_EQ(drives[0].type, DriveType::Fixed);
    EXPECT_EQ(drives[3].type, DriveType::CdRom);
    EXPECT_EQ(drives[4].type, DriveType::Removable);
    EXPECT_EQ(drives[5].type, DriveType::Remote);
    EXPECT_EQ(drives[7].type, DriveType::RamDisk);
}

TEST(MountTable, OverlayCountsOnlyAsTheRoot) {
    const auto drives =
        DrivesFromMounts(ParseMountInfo("1 0 0:40 / / rw - overlay overlay rw\n"
                                        "2 1 0:41 / /data rw - overlay overlay rw\n"),
                         RemovableIfSdb, FolderUnlessEtc);
    EXPECT_EQ(Letters(drives), QStringLiteral("C"));
}

TEST(MountTable, DriveTypesByMountTypeAndDevice) {
    EXPECT_EQ(DriveTypeOfMount("udf", "/dev/sdc", false), DriveType::CdRom);
    EXPECT_EQ(DriveTypeOfMount("vfat", "/dev/sr1", false), DriveType::CdRom);
    EXPECT_EQ(DriveTypeOfMount("cifs", "//nas/share", false), DriveType::Remote);
    EXPECT_EQ(DriveTypeOfMount("fuse.sshfs", "ann@host:", false), DriveType::Remote);
    EXPECT_EQ(DriveTypeOfMount("nfs", "nas:/x", false), DriveType::Remote);
    EXPECT_EQ(DriveTypeOfMount("ramfs", "none", false), DriveType::RamDisk);
    EXPECT_EQ(DriveTypeOfMount("ext4", "/dev/sdb1", true), DriveType::Removable);
    EXPECT_EQ(DriveTypeOfMount("btrfs", "/dev/nvme0n1p2", false), DriveType::Fixed);
}

TEST(DriveVariable, ReplacesTheMapWithOptionsForTypes) {
    const auto mounts = ParseMountInfo(kDesktopMounts);
    const auto drives = DrivesFromVariable(
        "t=/tmp/tree; C=/ ;E=/x/cd#iso9660;U=/x/usb#vfat,removable,cluster=2048;bad;Q=;C=/other",
        mounts);
    ASSERT_EQ(Letters(drives), QStringLiteral("CETU"));
    EXPECT_EQ(drives[0].hostRoot, QStringLiteral("/"));  // the first C= wins
    EXPECT_EQ(drives[0].mountType, QStringLiteral("ext4"));
    EXPECT_EQ(drives[1].type, DriveType::CdRom);
    EXPECT_EQ(drives[2].hostRoot, QStringLiteral("/tmp/tree"));
    EXPECT_EQ(drives[2].type, DriveType::RamDisk);  // /tmp is a tmpfs in that table
    EXPECT_EQ(drives[3].mountType, QStringLiteral("vfat"));
    EXPECT_EQ(drives[3].type, DriveType::Removable);
    EXPECT_EQ(drives[3].clusterSize, 2048);
    EXPECT_EQ(drives[0].clusterSize, 0);  // the file system's own
}

TEST(DriveMap, MaskAndTypesFollowTheEnvironment) {
    TempTree tree;
    DriveMapScope scope("C=" + tree.host() + ";E=" + tree.folder("cd") +
                        "#iso9660;Z=" + tree.folder("z"));
    EXPECT_EQ(LogicalDrives(), (1u << 2) | (1u << 4) | (1u << 25));
    EXPECT_EQ(GetDriveType("C:\\"), DriveType::Fixed);
    EXPECT_EQ(GetDriveType("e:\\"), DriveType::CdRom);
    EXPECT_EQ(GetDriveType("D:\\"), DriveType::NoRootDir);
    EXPECT_EQ(GetDriveType("nonsense"), DriveType::NoRootDir);
    ASSERT_NE(FindDrive(u'z'), nullptr);
    EXPECT_EQ(FindDrive(u'z')->hostRoot, tree.host("z"));
}

TEST(DriveMap, RealMountTableMapsRootAsCAndNoPseudoFileSystem) {
    DriveMapScope scope{QString()};  // an empty variable: the automatic map
    ASSERT_FALSE(DriveMap().empty());
    EXPECT_EQ(DriveMap().front().letter, 'C');
    EXPECT_EQ(DriveMap().front().hostRoot, QStringLiteral("/"));
    for (const DriveMapping& d : DriveMap()) {
        EXPECT_FALSE(d.hostRoot.startsWith(QLatin1String("/proc"))) << d.hostRoot.toStdString();
        EXPECT_FALSE(d.hostRoot.startsWith(QLatin1String("/sys"))) << d.hostRoot.toStdString();
        EXPECT_FALSE(d.hostRoot.startsWith(QLatin1String("/dev"))) << d.hostRoot.toStdString();
        EXPECT_NE(d.letter, 'A');
        EXPECT_NE(d.letter, 'B');
    }
}

class PathConversion : public ::testing::Test {
protected:
    // Nested roots: D: lies inside C:, E: inside D:, and a root that only shares a prefix.
    DriveMapScope scope{"C=/;D=/home;E=/home/ann/usb;F=/home/annex;G=/srv/x\\y"};
};

TEST_F(PathConversion, ProgramPathsToHostPaths) {
    const struct {
        const char* program;
        const char* host;
    } cases[] = {
        {"C:\\", "/"},
        {"C:", "/"},
        {"c:\\etc\\passwd", "/etc/passwd"},
        {"C:\\usr\\share\\", "/usr/share"},
        {"D:\\", "/home"},
        {"D:\\ann\\doc.txt", "/home/ann/doc.txt"},
        {"E:\\photos", "/home/ann/usb/photos"},
        {"D:\\ann\\..\\..\\..\\etc", "/home/etc"},  // ".." never leaves the drive
        {"D:\\.\\ann\\\\x", "/home/ann/x"},
        {"G:\\a", "/srv/x\\y/a"},
        {"Q:\\nothing", ""},
        {"\\\\server\\share", ""},
        {"relative\\path", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToHostPath(c.program), QString::fromUtf8(c.host)) << c.program;
    EXPECT_EQ(ToHostPath(QStringLiteral("C:\\tmp\\a＼b")), QStringLiteral("/tmp/a\\b"));
}

TEST_F(PathConversion, HostPathsToProgramPathsByLongestRoot) {
    const struct {
        const char* host;
        const char* program;
    } cases[] = {
        {"/", "C:\\"},
        {"/etc/passwd", "C:\\etc\\passwd"},
        {"/home", "D:\\"},
        {"/home/", "D:\\"},
        {"/home/ann", "D:\\ann"},
        {"/home/ann/usb", "E:\\"},
        {"/home/ann/usb/photos/", "E:\\photos"},
        {"/home/annex/x", "F:\\x"},
        {"/home/annexe", "D:\\annexe"},  // a shared prefix is not a parent folder
        {"/home//ann/./x/../y", "D:\\ann\\y"},
        {"/srv/x\\y/a", "G:\\a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FromHostPath(c.host), QString::fromUtf8(c.program)) << c.host;
    EXPECT_EQ(FromHostPath(QStringLiteral("/tmp/a\\b")), QStringLiteral("C:\\tmp\\a＼b"));
    EXPECT_EQ(FromHostPath(QString()), QString());
    // A host name's own '＼' must not come back as '\': it is another file.
    for (const QString& host : {QStringLiteral("/tmp/a＼b"), QStringLiteral("/tmp/a＼b\\c＼")}) {
        const QString program = FromHostPath(host);
        EXPECT_EQ(program.count(u'\\'), 2) << program.toStdString();  // "C:\" and "tmp\" alone
        EXPECT_EQ(ToHostPath(program), host) << program.toStdString();
    }
}

TEST_F(PathConversion, RelativeHostPathsStartInTheLaunchFolder) {
    const QString expected = FromHostPath(QDir::currentPath() + "/sub");
    EXPECT_EQ(FromHostPath("sub"), expected);
}

TEST(PathConversionOutsideDrives, PathsOnNoDriveGiveEmptyText) {
    DriveMapScope scope("T=/tmp/only");
    EXPECT_EQ(FromHostPath("/etc"), QString());
    EXPECT_EQ(FromHostPath("/tmp/only/x"), QStringLiteral("T:\\x"));
    EXPECT_EQ(ToHostPath("C:\\etc"), QString());
}

TEST(DriveMap, DisplayNamesShowFolderAndLetter) {
    DriveMapScope scope("C=/;D=/home");
    EXPECT_EQ(DriveDisplayNameOf("d:\\"), QStringLiteral("/home (D:)"));
    EXPECT_EQ(DriveDisplayNameOf("C:\\"), QStringLiteral("/ (C:)"));
    EXPECT_EQ(DriveDisplayNameOf("Q:\\"), QString());
}
