#include "engine/VolumeFacts.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <QDir>
#include <QFile>

#include "tests/fixtures/TempTree.h"

using namespace engine;
using testing_support::DriveMapScope;
using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

// Restores the current directory, the retry question and the free-space service.
class VolumeFacts : public ::testing::Test {
protected:
    void TearDown() override {
        QDir::setCurrent(before_);
        SetDriveRetryQuestion(nullptr);
        SetExtendedFreeSpaceServiceForTests(true);
    }

private:
    QString before_ = QDir::currentPath();
};

}  // namespace

TEST_F(VolumeFacts, ClusterSizeRulesByFileSystemName) {
    const struct {
        const char* fileSystem;
        int32_t drive, expected;
    } cases[] = {
        {"FAT32", 8192, 8192}, {"fat32", 16384, 16384}, {"FAT32", -1, 4096},
        {"FAT32", 0, 4096},    {"CDFS", 4096, 2048},    {"CDFS", -1, 2048},
        {"NTFS", 4096, 4096},  {"FAT", 512, 512},       {"EXT4", 1024, 1024},
        {"", -1, -1},          {"", 4096, 4096},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClusterSizeByFileSystem(QString::fromLatin1(c.fileSystem), c.drive), c.expected)
            << c.fileSystem << " " << c.drive;
}

TEST_F(VolumeFacts, ClusterSizesOfDrives) {
    TempDrive plain('T');
    TempDrive cd('E', "iso9660");
    TempDrive fat('F', "vfat");
    DriveMapScope all("T=" + plain.host() + ";E=" + cd.host() + "#iso9660;F=" + fat.host() +
                      "#vfat;X=/nonexistent/quillon/drive");
    struct statvfs st;
    ASSERT_EQ(::statvfs(QFile::encodeName(plain.host()).constData(), &st), 0);

    EXPECT_EQ(ClusterSize("T:\\"), int32_t(st.f_bsize));
    EXPECT_EQ(ClusterSize("F:\\"), int32_t(st.f_bsize));
    EXPECT_EQ(ClusterSize("E:\\"), 2048);
    EXPECT_EQ(FileSystemName("E:\\"), QStringLiteral("CDFS"));
    EXPECT_TRUE(FileSystemName("F:\\").startsWith(QLatin1String("FAT")));
    // Not reachable: no file-system name, no basic answer.
    EXPECT_EQ(ClusterSize("X:\\"), -1);
    EXPECT_EQ(FileSystemName("X:\\"), QString());
    VolumeInfo info;
    EXPECT_FALSE(GetVolumeFacts("X:\\", info));
    EXPECT_EQ(info.flags, 0u);
    EXPECT_EQ(info.serialNumber, 0u);
}

TEST_F(VolumeFacts, TotalAndFreeBytesWithAndWithoutTheExtendedService) {
    TempDrive drive;
    platform::DiskFreeSpaceEx ex;
    ASSERT_TRUE(platform::GetDiskFreeSpaceEx(drive.root(), ex));
    EXPECT_EQ(DriveTotalBytes(drive.root()), ex.totalBytes);
    const int64_t free = DriveFreeBytes(drive.root());
    EXPECT_GT(free, 0);
    EXPECT_LE(free, ex.totalFreeBytes);  // what the user may use, not all that is free

    // Systems without it multiply in 32 bits, so a drive above 2 GB wraps.
    SetExtendedFreeSpaceServiceForTests(false);
    platform::DiskFreeSpace basic;
    ASSERT_TRUE(platform::GetDiskFreeSpace(drive.root(), basic));
    const uint32_t cluster = basic.sectorsPerCluster * basic.bytesPerSector;
    EXPECT_EQ(DriveTotalBytes(drive.root()), int64_t(int32_t(cluster * basic.totalClusters)));
    if (ex.totalBytes > INT32_MAX) {
        EXPECT_NE(DriveTotalBytes(drive.root()), ex.totalBytes);
    }

    DriveMapScope gone("X=/nonexistent/quillon/drive");
    EXPECT_EQ(DriveTotalBytes("X:\\"), -1);
    EXPECT_EQ(DriveFreeBytes("X:\\"), -1);
    SetExtendedFreeSpaceServiceForTests(true);
    EXPECT_EQ(DriveTotalBytes("X:\\"), -1);
    EXPECT_EQ(DriveFreeBytes("X:\\"), -1);
}

TEST_F(VolumeFacts, DisplayName) {
    TempDrive drive('D');
    EXPECT_EQ(DriveDisplayName("D:\\"), drive.host() + QLatin1String(" (D:)"));
}

TEST_F(VolumeFacts, AccessCheckAsksUntilTheDriveAnswersOrTheUserGivesUp) {
    TempTree parent;
    const QString folder = parent.host("later");
    DriveMapScope map("A=" + folder);

    // No question installed: Cancel.
    EXPECT_FALSE(CheckDriveAccess('A'));

    QStringList asked;
    SetDriveRetryQuestion([&](const QString& text) {
        asked << text;
        return false;
    });
    EXPECT_FALSE(CheckDriveAccess('A'));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QStringLiteral(
                            "A: is not accessible. The drive door may not be closed or the network "
                            "connection may be down. Please try to correct this error and retry."));

    // Retry after the "disk" is in.
    asked.clear();
    SetDriveRetryQuestion([&](const QString& text) {
        asked << text;
        return QDir().mkpath(folder);
    });
    EXPECT_TRUE(CheckDriveAccess('A'));
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(QDir::currentPath(), QDir(folder).canonicalPath());
    EXPECT_TRUE(CheckDriveAccess('A'));
    EXPECT_EQ(asked.size(), 1) << "a reachable drive asks nothing";
}

TEST_F(VolumeFacts, OtherAccessFailuresGoToTheCaller) {
    TempTree tree;
    DriveMapScope map("B=" + tree.file("not-a-folder", 1));
    bool asked = false;
    SetDriveRetryQuestion([&](const QString&) { return asked = true; });
    EXPECT_THROW(CheckDriveAccess('B'), TDriveAccessError);
    EXPECT_FALSE(asked);
}
