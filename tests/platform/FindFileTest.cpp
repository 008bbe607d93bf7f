#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <map>

#include "platform/FindFile.h"
#include "platform/HostNames.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/TempTree.h"

using namespace platform;
using testing_support::DriveMapScope;
using testing_support::TempDrive;

namespace {

std::map<QString, FindData> ListAll(const QString& pattern) {
    std::map<QString, FindData> entries;
    FindHandle find;
    FindData data;
    for (bool found = find.FindFirst(pattern, data); found; found = find.FindNext(data))
        entries[data.name] = data;
    EXPECT_EQ(find.error(), FindError::NoMoreFiles);
    return entries;
}

int OpenDescriptors() {
    return int(QDir("/proc/self/fd")
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

FileTime StatTime(const struct timespec& t) {
    return FileTimeFromUnix(t.tv_sec, uint32_t(t.tv_nsec));
}

}  // namespace

TEST(FindFile, AttributesOfEveryKindOfEntry) {
    TempDrive drive;
    drive.file("plain.txt", 10);
    drive.file(".hidden", 1);
    drive.file("empty.dat", 0);
    const QString readOnly = drive.file("readonly.txt", 3);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup);
    drive.folder("sub");
    drive.folder(".config");
    ASSERT_EQ(::symlink("sub", QFile::encodeName(drive.host("link")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.host("pipe")).constData(), 0644), 0);

    const auto e = ListAll(drive.path("*.*"));
    ASSERT_EQ(e.size(), 8u);  // no "." or ".."
    EXPECT_EQ(e.at("plain.txt").attributes, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SPARSE_FILE);
    EXPECT_EQ(e.at("plain.txt").size, 10);
    EXPECT_EQ(e.at(".hidden").attributes & ~FILE_ATTRIBUTE_SPARSE_FILE,
              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(e.at("empty.dat").attributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(e.at("empty.dat").size, 0);
    EXPECT_TRUE(e.at("readonly.txt").attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(e.at("sub").attributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(e.at("sub").size, 0);
    EXPECT_EQ(e.at(".config").attributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    // A link to a folder is a file of its own length, never a folder.
    EXPECT_EQ(e.at("link").attributes, FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(e.at("link").size, 3);
    EXPECT_EQ(e.at("pipe").attributes, FILE_ATTRIBUTE_SYSTEM);
    // Names of the 8.3 form have no alias; the others get the one Windows would make first.
    EXPECT_EQ(e.at("plain.txt").shortName, QString());
    EXPECT_EQ(e.at(".hidden").shortName, QStringLiteral("HIDDEN~1"));
    EXPECT_EQ(e.at("readonly.txt").shortName, QString());
}

TEST(FindFile, TimesAndLengthsMatchTheHost) {
    TempDrive drive;
    const QString big = drive.file("big.iso", 5LL * 1024 * 1024 * 1024 + 7);  // sparse, above 4 GiB
    drive.setTimes("big.iso", QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC),
                   QDateTime::fromSecsSinceEpoch(1200000000, Qt::UTC));
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(big).constData(), &st), 0);

    const auto e = ListAll(drive.path("*.*"));
    const FindData& f = e.at("big.iso");
    EXPECT_EQ(f.size, 5LL * 1024 * 1024 * 1024 + 7);
    EXPECT_EQ(f.lastAccessTime, StatTime(st.st_atim));
    EXPECT_EQ(f.lastWriteTime, StatTime(st.st_mtim));
    EXPECT_EQ(f.lastWriteTime, 1200000000ULL * 10000000 + kUnixEpochAsFileTime);
    EXPECT_TRUE(f.attributes & FILE_ATTRIBUTE_SPARSE_FILE);
}

TEST(FindFile, MasksSelectEntries) {
    TempDrive drive;
    for (const char* name : {"a.tmp", "B.TMP", "abc", "axc", "abcd", "x.tmpl", "noext"})
        drive.file(name, 1);

    auto names = [&](const char* mask) {
        QStringList list;
        for (const auto& [name, data] : ListAll(drive.path(mask))) list << name;
        return list.join(u',');
    };
    EXPECT_EQ(names("*.tmp"), QStringLiteral("B.TMP,a.tmp"));
    EXPECT_EQ(names("a?c"), QStringLiteral("abc,axc"));
    EXPECT_EQ(names("*"), names("*.*"));
    EXPECT_EQ(names("*.*").count(u',') + 1, 7);
    EXPECT_EQ(names("no*.*"), QStringLiteral("noext"));
    EXPECT_EQ(names("zzz*"), QString());
}

TEST(FindFile, MaskMatchingRules) {
    const struct {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"report.txt", "*.txt", true}, {"REPORT.TXT", "*.txt", true}, {"report.txt", "*.tx", false},
        {"report.txt", "r*t", true},   {"ab", "a?c", false},          {"abc", "a?c", true},
        {"abc", "*c*", true},          {"abc", "a**", true},          {"archive", "*.*", true},
        {"archive", "arch*.*", true},  {"a.b.c", "*.c", true},        {"x", "", false},
        {"Über", "über", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.match)
            << c.name << " " << c.mask;
}

TEST(FindFile, ExactNamesAndMissingPaths) {
    TempDrive drive;
    drive.file("sub/one.txt", 12);
    FindData data;
    FindHandle find;
    ASSERT_TRUE(find.FindFirst(drive.path("sub\\one.txt"), data));
    EXPECT_EQ(data.name, QStringLiteral("one.txt"));
    EXPECT_EQ(data.size, 12);
    EXPECT_FALSE(find.FindNext(data));

    ASSERT_TRUE(find.FindFirst(drive.path("sub"), data));
    EXPECT_EQ(data.attributes, FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(find.FindFirst(drive.path("gone\\*.*"), data));
    EXPECT_EQ(find.error(), FindError::PathNotFound);
    EXPECT_FALSE(find.FindFirst(drive.path("sub\\missing.txt"), data));
    EXPECT_EQ(find.error(), FindError::PathNotFound);
    EXPECT_FALSE(find.FindFirst(QStringLiteral("Q:\\*.*"), data));
    EXPECT_FALSE(find.FindFirst(drive.path("sub\\"), data));
}

TEST(FindFile, UnreadableFolderFailsWithoutEntries) {
    TempDrive drive;
    const QString locked = drive.folder("locked");
    drive.file("locked/inside", 1);
    QFile::setPermissions(locked, QFileDevice::Permissions());
    {
        testing_support::WithoutPermissionOverride unprivileged;
        if (!unprivileged.ok()) GTEST_SKIP() << "cannot drop the permission override";
        FindHandle find;
        FindData data;
        EXPECT_FALSE(find.FindFirst(drive.path("locked\\*.*"), data));
        EXPECT_EQ(find.error(), FindError::AccessDenied);
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(FindFile, HandlesAreReleasedOnEveryPath) {
    TempDrive drive;
    for (int i = 0; i < 50; ++i) drive.file(QStringLiteral("f%1").arg(i), 1);
    const int before = OpenDescriptors();
    {
        FindHandle early;  // abandoned after the first entry
        FindData data;
        ASSERT_TRUE(early.FindFirst(drive.path("*.*"), data));
        EXPECT_EQ(OpenDescriptors(), before + 1);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    FindHandle reused;
    FindData data;
    ASSERT_TRUE(reused.FindFirst(drive.path("*.*"), data));
    ASSERT_TRUE(reused.FindFirst(drive.path("f1*"), data));  // a second start closes the first
    EXPECT_EQ(OpenDescriptors(), before + 1);
    while (reused.FindNext(data)) {
    }
    EXPECT_EQ(OpenDescriptors(), before);  // running out closes it
}

TEST(FindFile, MountedFolderListsAsEmpty) {
    testing_support::TempTree tree;
    tree.file("outer/a.txt", 1);
    tree.file("outer/inner/b.txt", 1);
    DriveMapScope scope("C=" + tree.host("outer") + ";D=" + tree.host("outer/inner"));
    EXPECT_EQ(ListAll("C:\\*.*").size(), 2u);        // a.txt and the folder inner
    EXPECT_TRUE(ListAll("C:\\inner\\*.*").empty());  // inner belongs to D:
    EXPECT_EQ(ListAll("D:\\*.*").size(), 1u);
}

TEST(FindFile, NamesThatAreNotUtf8CanBeOpenedAgain) {
    TempDrive drive;
    const QByteArray odd = QFile::encodeName(drive.host()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    ASSERT_EQ(::close(::creat((odd + "/inside").constData(), 0644)), 0);
    const auto top = ListAll(drive.path("*.*"));
    ASSERT_EQ(top.size(), 1u);
    const QString name = top.begin()->first;
    EXPECT_EQ(ListAll(drive.root() + name + "\\*.*").size(), 1u);
}

TEST(FindFile, AttributeQueries) {
    TempDrive drive;
    drive.file("dir/.hidden", 1);
    EXPECT_EQ(GetFileAttributes(drive.root()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes(drive.path("dir")), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(GetFileAttributes(drive.path("dir\\.hidden")) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributes(drive.path("dir\\nothing")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributes(drive.path("dir\\*")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributes(QStringLiteral("Q:\\")), INVALID_FILE_ATTRIBUTES);
}

TEST(FindFile, AFilesOnlyListingIsTheWholeListingWithoutItsFolders) {
    TempDrive drive;
    drive.file("plain.txt", 10);
    drive.file(".hidden", 1);
    drive.folder("sub/inner");
    drive.folder(".config");
    drive.file(QString::fromUtf8("caf\xc3\xa9"), 4);
    ASSERT_EQ(::symlink("sub", QFile::encodeName(drive.host("link")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.host("pipe")).constData(), 0644), 0);
    const auto listed = [&](FolderReader::Listed which) {
        std::map<QString, std::pair<uint32_t, int64_t>> entries;
        FolderReader reader;
        EXPECT_TRUE(reader.Open(drive.path(""), nullptr, which));
        while (reader.Next())
            entries[reader.entryName()] = {reader.entry().attributes, reader.entry().size};
        EXPECT_EQ(reader.error(), FindError::NoMoreFiles);
        return entries;
    };
    auto expected = listed(FolderReader::Listed::Everything);
    ASSERT_EQ(expected.size(), 7u);
    std::erase_if(expected,
                  [](const auto& e) { return e.second.first & FILE_ATTRIBUTE_DIRECTORY; });
    // The link to a folder is a file, and stays.
    EXPECT_EQ(listed(FolderReader::Listed::FilesOnly), expected);
    EXPECT_EQ(expected.size(), 5u);
}
