// What the read-back after a restore sees at an entry's place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "platform/EntryDigest.h"
#include "tests/fixtures/TempTree.h"

using namespace platform;
using testing_support::TempDrive;

TEST(EntryDigest, TheCrcIsTheZipOne) {
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(Crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
    EXPECT_EQ(Crc32(0, "", 0), 0u);
}

TEST(EntryDigest, FilesAndLinksGiveTheirBytesAndNothingIsFollowed) {
    TempDrive drive;
    QDir().mkpath(drive.host("Docs/sub"));
    QFile file(drive.host("Docs/sub/a.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("123456789");
    file.close();
    ASSERT_EQ(::symlink("sub/a.txt", QFile::encodeName(drive.host("Docs/link")).constData()), 0);
    ASSERT_EQ(::symlink("sub", QFile::encodeName(drive.host("Docs/via")).constData()), 0);
    const struct {
        const char* name;
        EntryKind kind;
        int64_t length;
        uint32_t crc;
    } cases[] = {
        {"Docs/sub/a.txt", EntryKind::File, 9, 0xCBF43926u},
        {"Docs/link", EntryKind::Link, 9, Crc32(0, "sub/a.txt", 9)},
        {"Docs/sub/", EntryKind::Folder, 0, 0},
        {"Docs/via/a.txt", EntryKind::Missing, 0, 0},  // a link on the way is not passed
        {"Docs/none.txt", EntryKind::Missing, 0, 0},
        {"Docs/../Docs/sub/a.txt", EntryKind::Missing, 0, 0},
    };
    PinnedFolder root;
    QString why;
    ASSERT_TRUE(PinFolder(drive.root(), root, why)) << why.toStdString();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EntryDigest d = DigestEntry(root, c.name);
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_EQ(d.length, c.length);
        EXPECT_EQ(d.crc, c.crc);
    }
    EXPECT_EQ(DigestEntry(root, "Docs/sub/a.txt", [] { return false; }).kind,
              EntryKind::Unreadable);
}
