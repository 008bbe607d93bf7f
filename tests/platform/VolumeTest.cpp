#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <QDir>
#include <QFile>

#include "platform/Volume.h"
#include "platform/WinTypes.h"
#include "tests/fixtures/TempTree.h"

using namespace platform;
using testing_support::DriveMapScope;
using testing_support::TempDrive;

TEST(Volume, FactsOfATemporaryDriveMatchStatvfs) {
    TempDrive drive;
    struct statvfs st;
    ASSERT_EQ(::statvfs(QFile::encodeName(drive.host()).constData(), &st), 0);

    VolumeInformation info;
    ASSERT_TRUE(GetVolumeInformation(drive.root(), info));
    EXPECT_EQ(info.serialNumber, uint32_t(st.f_fsid));
    EXPECT_EQ(info.maxComponentLength, st.f_namemax);
    EXPECT_FALSE(info.fileSystemName.isEmpty());

    DiskFreeSpace basic;
    ASSERT_TRUE(GetDiskFreeSpace(drive.root(), basic));
    EXPECT_EQ(uint64_t(basic.sectorsPerCluster) * basic.bytesPerSector, st.f_bsize);

    DiskFreeSpaceEx ex;
    ASSERT_TRUE(GetDiskFreeSpaceEx(drive.root(), ex));
    EXPECT_EQ(ex.totalBytes, int64_t(st.f_blocks * st.f_frsize));
    // Free space moves while tests run; it stays within the total.
    EXPECT_GT(ex.freeBytesAvailable, 0);
    EXPECT_LE(ex.freeBytesAvailable, ex.totalFreeBytes);
    EXPECT_LE(ex.totalFreeBytes, ex.totalBytes);
}

TEST(Volume, ADriveMappedWithAClusterSizeReportsIt) {
    TempDrive drive('T', "cluster=16384");
    DiskFreeSpace basic;
    ASSERT_TRUE(GetDiskFreeSpace(drive.root(), basic));
    EXPECT_EQ(basic.bytesPerSector, 512u);
    EXPECT_EQ(basic.sectorsPerCluster, 32u);
}

TEST(Volume, UnreadableDrivesAnswerFailure) {
    DriveMapScope scope("X=/nonexistent/quillon/drive");
    VolumeInformation info;
    info.fileSystemName = "stale";
    EXPECT_FALSE(GetVolumeInformation("X:\\", info));
    EXPECT_TRUE(info.fileSystemName.isEmpty());
    EXPECT_EQ(info.flags, 0u);
    DiskFreeSpace basic;
    EXPECT_FALSE(GetDiskFreeSpace("X:\\", basic));
    DiskFreeSpaceEx ex;
    EXPECT_FALSE(GetDiskFreeSpaceEx("Y:\\", ex));
}

TEST(Volume, FileSystemNamesAndCaseSensitivity) {
    EXPECT_EQ(FileSystemNameOfMountType("vfat", 100000), QStringLiteral("FAT32"));
    EXPECT_EQ(FileSystemNameOfMountType("vfat", 65524), QStringLiteral("FAT"));
    EXPECT_EQ(FileSystemNameOfMountType("iso9660", 0), QStringLiteral("CDFS"));
    EXPECT_EQ(FileSystemNameOfMountType("ntfs3", 0), QStringLiteral("NTFS"));
    EXPECT_EQ(FileSystemNameOfMountType("ext4", 0), QStringLiteral("EXT4"));
    for (const char* name : {"EXT4", "NTFS", "CDFS"})
        EXPECT_TRUE(IsCaseSensitiveFileSystem(name)) << name;
    for (const char* name : {"FAT", "FAT32", "EXFAT"})
        EXPECT_FALSE(IsCaseSensitiveFileSystem(name)) << name;
}

TEST(Volume, CaseFlagFollowsTheDrivesFileSystem) {
    TempDrive plain('T');
    VolumeInformation info;
    ASSERT_TRUE(GetVolumeInformation("T:\\", info));
    EXPECT_TRUE(info.flags & FILE_CASE_SENSITIVE_SEARCH);

    TempDrive fat('F', "vfat");
    ASSERT_TRUE(GetVolumeInformation("F:\\", info));
    EXPECT_TRUE(info.fileSystemName.startsWith(QLatin1String("FAT")));
    EXPECT_FALSE(info.flags & FILE_CASE_SENSITIVE_SEARCH);
}

TEST(Volume, CurrentDirectoryChangesAndReportsUnreachableDrives) {
    TempDrive drive;
    const QString before = QDir::currentPath();
    EXPECT_EQ(SetCurrentDirectory(drive.root()), ChangeDirectoryResult::Ok);
    EXPECT_EQ(QDir::currentPath(), QDir(drive.host()).canonicalPath());

    DriveMapScope gone("X=/nonexistent/quillon/drive");
    QString text;
    EXPECT_EQ(SetCurrentDirectory("X:\\", &text), ChangeDirectoryResult::IoError);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(SetCurrentDirectory("Q:\\"), ChangeDirectoryResult::IoError);
    QDir::setCurrent(before);
}
