#include "engine/Scanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <limits.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QCollator>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HostNames.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/fixtures/Privileges.h"

using namespace engine;
using namespace engine_test;
using testing_support::DriveMapScope;
using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

class Scanner : public EngineTest {};

// Scans a drive's root into a fresh top-level node at a given cluster size.
const TFolderSize* ScanRoot(TFolderTree& tree, const TempDrive& drive, int32_t clusterSize,
                            TFolderNode** top = nullptr) {
    TFolderNode* node = tree.AppendDrive(drive.letter(), DriveDisplayName(drive.root()));
    if (top) *top = node;
    ScanClusterSize = clusterSize;
    return ScanFolder(drive.root(), node);
}

QStringList ChildNames(const TFolderNode* node) {
    QStringList names;
    for (int i = 0; i < node->ChildCount(); ++i) names << node->Child(i)->DisplayName();
    return names;
}

}  // namespace

TEST_F(Scanner, OneFileOfFiveThousandBytesInASubfolder) {
    TempDrive drive;
    drive.file("sub/file.bin", 5000);
    TFolderTree tree;
    TFolderNode* top;
    const TFolderSize* root = ScanRoot(tree, drive, 4096, &top);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(top->ChildCount(), 1);
    const TFolderSize* sub = top->Child(0)->Record();
    ASSERT_NE(sub, nullptr);

    const std::array<int64_t, 7> wastedAt = {120, 1144, 3192, 3192, 11384, 27768, 60536};
    EXPECT_EQ(sub->FilesSize, 5000);
    EXPECT_EQ(sub->TreeSize, 5000);
    EXPECT_EQ(sub->FilesWasted, 3192);
    EXPECT_EQ(sub->FilesWastedAt, wastedAt);
    EXPECT_EQ(sub->TreeWastedAt, wastedAt);
    EXPECT_EQ(sub->FileCount, 1);
    EXPECT_EQ(sub->SubfolderCount, 0);

    EXPECT_EQ(root->FilesSize, 0);
    EXPECT_EQ(root->TreeSize, 5000);
    EXPECT_EQ(root->FilesWasted, 0);
    EXPECT_EQ(root->TreeWasted, 3192);
    EXPECT_EQ(root->TreeWastedAt, wastedAt);
    EXPECT_EQ(root->FilesWastedAt, (std::array<int64_t, 7>{}));
    EXPECT_EQ(root->TreeFileCount, 1);
    EXPECT_EQ(root->TreeFolderCount, 1);
    EXPECT_EQ(root->FileCount, 0);
    EXPECT_EQ(root->SubfolderCount, 1);
    EXPECT_EQ(root->LastWriteTime, sub->LastWriteTime);
    EXPECT_EQ(root->Attributes, sub->Attributes);
    EXPECT_TRUE(root->Attributes & platform::FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_FALSE(root->Attributes & platform::FILE_ATTRIBUTE_DIRECTORY);  // files only
}

TEST_F(Scanner, SlackAtTheDrivesClusterSize) {
    const struct {
        int64_t length;
        int32_t cluster;
        int64_t wasted;
    } cases[] = {{4096, 4096, 0}, {4097, 4096, 4095}, {4097, -1, 0}, {0, 4096, 0}};
    for (const auto& c : cases) {
        TempDrive drive;
        drive.file("f", c.length);
        TFolderTree tree;
        const TFolderSize* r = ScanRoot(tree, drive, c.cluster);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->FilesWasted, c.wasted) << c.length << " at " << c.cluster;
        EXPECT_EQ(r->FilesWastedAt[0], Slack(c.length, 512)) << "reference sizes stay";
    }
}

TEST_F(Scanner, EmptyFoldersAndEmptyFiles) {
    TempDrive drive;
    drive.folder("empty");
    drive.file("zero/nothing", 0);
    drive.setTimes("zero/nothing", QDateTime::fromSecsSinceEpoch(1500000000),
                   QDateTime::fromSecsSinceEpoch(1400000000));
    TFolderTree tree;
    TFolderNode* top;
    ASSERT_NE(ScanRoot(tree, drive, 4096, &top), nullptr);

    ExpectSameRecord(*Find(top, "empty")->Record(), TFolderSize{});

    const TFolderSize& zero = *Find(top, "zero")->Record();
    EXPECT_EQ(zero.FileCount, 1);
    EXPECT_EQ(zero.TreeFileCount, 1);
    EXPECT_EQ(zero.FilesSize, 0);
    EXPECT_EQ(zero.FilesWasted, 0);
    EXPECT_EQ(zero.FilesWastedAt, (std::array<int64_t, 7>{}));
    EXPECT_EQ(zero.LastWriteTime, platform::FileTimeFromUnix(1400000000, 0));
    EXPECT_EQ(zero.LastAccessTime, platform::FileTimeFromUnix(1500000000, 0));
    EXPECT_EQ(zero.Attributes, platform::FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(Scanner, HiddenSystemAndLinkedEntriesCountAsFiles) {
    TempDrive drive;
    drive.file(".hidden", 100);
    drive.file(".config/inside", 10);
    drive.folder("target");
    drive.file("target/t", 7);
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.host("pipe")).constData(), 0644), 0);
    // Links are files of their own length: a link to a folder, and one that makes a cycle.
    ASSERT_EQ(::symlink("target", QFile::encodeName(drive.host("link")).constData()), 0);
    ASSERT_EQ(::symlink("..", QFile::encodeName(drive.host("target/up")).constData()), 0);
    TFolderTree tree;
    TFolderNode* top;
    const TFolderSize* r = ScanRoot(tree, drive, 4096, &top);
    ASSERT_NE(r, nullptr);

    EXPECT_EQ(r->FileCount, 3);  // .hidden, pipe, link
    EXPECT_EQ(r->FilesSize, 100 + 6);
    EXPECT_EQ(r->TreeFileCount, 3 + 1 + 2);
    EXPECT_EQ(r->TreeSize, 106 + 10 + 7 + 2);
    EXPECT_EQ(r->TreeFolderCount, 2);
    EXPECT_EQ(ChildNames(top), QStringList({".config", "target"}));
    const uint32_t expected = platform::FILE_ATTRIBUTE_HIDDEN | platform::FILE_ATTRIBUTE_SYSTEM |
                              platform::FILE_ATTRIBUTE_REPARSE_POINT |
                              platform::FILE_ATTRIBUTE_ARCHIVE;
    EXPECT_EQ(r->Attributes & expected, expected);
}

TEST_F(Scanner, NamesAreShownAsStoredWhereCaseMatters) {
    // Only a name that fits the 8.3 form (and so has no short alternate name) is recased, and
    // only on a drive whose lookups ignore case: there the host still finds it.
    const struct {
        const char* options;
        QStringList names;
    } cases[] = {
        {"", {"DATA", "My Files", "ÜBER", "mixedCase"}},
        {"vfat", {"Data", "My Files", "ÜBER", "mixedCase"}},
        {"ntfs3", {"DATA", "My Files", "ÜBER", "mixedCase"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        TempDrive drive('T', QString::fromLatin1(c.options));
        drive.file("DATA/inner/x", 10);
        drive.folder("My Files");
        drive.folder("ÜBER");
        drive.folder("mixedCase");
        TFolderTree tree;
        TFolderNode* top = ScanTestDrive(tree, drive);
        QStringList names = ChildNames(top);
        names.sort();
        QStringList expected = c.names;
        expected.sort();
        EXPECT_EQ(names, expected);
        EXPECT_EQ(top->Record()->TreeFileCount, 1);
        EXPECT_EQ(top->Record()->TreeFolderCount, 5);

        // The shown name leads back to the folder: a rescan keeps it and its totals.
        TFolderNode* folder = FindChildNode(top, c.names[0], true);
        ASSERT_NE(folder, nullptr);
        EXPECT_EQ(FindNodeByPath(top, "data\\INNER", false), folder->Child(0));
        EXPECT_EQ(platform::ToHostPath(NodePath(folder->Child(0))), drive.host("DATA/inner"));
        RescanFolder(NodePath(folder), folder);
        EXPECT_EQ(top->ChildCount(), 4);
        ASSERT_NE(folder->Record(), nullptr);
        EXPECT_EQ(folder->Record()->TreeFileCount, 1);
        EXPECT_EQ(top->Record()->TreeFileCount, 1);
    }
    const struct {
        const char* name;
        const char* shortName;
    } names[] = {{"DATA", ""},
                 {"data", ""},
                 {"README.TXT", ""},
                 {"ABCDEFGH.XYZ", ""},
                 {"ABCDEFGHI", "ABCDEF~1"},
                 {"A.XYZW", "A~1.XYZ"},
                 {"My Files", "MYFILE~1"},
                 {"A.B.C", "AB~1.C"},
                 {".hidden", "HIDDEN~1"},
                 {"A+B", "A_B~1"},
                 {"ÜBER", "_BER~1"},
                 {"X.", "X~1"}};
    for (const auto& n : names)
        EXPECT_EQ(platform::ShortNameOf(QString::fromUtf8(n.name)), QString::fromUtf8(n.shortName))
            << n.name;
    EXPECT_EQ(FolderDisplayName(QStringLiteral("WINDOWS"), false, false),
              QStringLiteral("Windows"));
    EXPECT_EQ(FolderDisplayName(QStringLiteral("PROGRA~1"), true, false),
              QStringLiteral("PROGRA~1"));
    EXPECT_EQ(FolderDisplayName(QStringLiteral("WINDOWS"), false, true), QStringLiteral("WINDOWS"));
}

TEST_F(Scanner, AnUpperCaseFolderOnACaseSensitiveDriveCanBeRescanned) {
    TempDrive drive;
    drive.file("DATA/a", 10);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* data = FindChildNode(top, QStringLiteral("DATA"), true);
    ASSERT_TRUE(data);
    EXPECT_EQ(NodePath(data), drive.path("DATA"));

    drive.file("DATA/b", 20);
    RescanFolder(NodePath(data), data);
    ASSERT_EQ(top->ChildCount(), 1) << "not taken for a vanished folder";
    ASSERT_NE(data->Record(), nullptr);
    EXPECT_EQ(data->Record()->FilesSize, 30);
    EXPECT_EQ(top->Record()->TreeSize, 30);
}

TEST_F(Scanner, FoldersWithAnyCharacterInTheirNamesSurviveARescan) {
    TempDrive drive;
    drive.file("back\\slash/f", 10);
    drive.file("what?*/g", 20);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    ASSERT_EQ(ChildNames(top), QStringList({"back\uFF3Cslash", "what?*"}));
    for (int i = 0; i < 2; ++i) {
        TFolderNode* node = top->Child(i);
        const TFolderSize before = *node->Record();
        RescanFolder(NodePath(node), node);
        ASSERT_EQ(top->ChildCount(), 2) << "not taken for vanished";
        ExpectSameRecord(*node->Record(), before);
    }
    EXPECT_EQ(top->Record()->TreeSize, 30);
}

TEST_F(Scanner, ChildrenAreSortedByTheLocalesCaseSensitiveOrder) {
    const QStringList names{"beta", "Alpha", "alpha", "Zeta", "\u00e4lter", "10", "9"};
    TempDrive drive;
    for (const QString& name : names) drive.folder("few/" + name);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    EXPECT_EQ(ChildNames(FindNodeByPath(top, "few", true)),
              QStringList({"10", "9", "alpha", "Alpha", "\u00e4lter", "beta", "Zeta"}));
}

TEST_F(Scanner, AWideFolderIsSortedAsAFewNamesAre) {
    TempDrive drive;
    QStringList names;
    for (const char* name : {"beta", "Alpha", "alpha", "Zeta", "\u00e4lter", "10", "9"})
        for (const char* ending : {"", "~", "-2", " b", "B"})
            names << QString::fromUtf8(name) + QString::fromUtf8(ending);
    for (const QString& name : names) drive.folder(name);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    TFolderTree tree;
    EXPECT_EQ(ChildNames(ScanTestDrive(tree, drive)), names);
}

TEST_F(Scanner, DriveScanTellsTheHostAndTheViews) {
    TempDrive drive;
    drive.file("b/inner/f", 10);
    drive.file("a/f", 10);
    RecordingHost host;
    TFolderTree tree;
    TreeLog log(tree);
    TFolderNode* top = ScanTestDrive(tree, drive);

    EXPECT_EQ(host.scanning, std::vector<bool>({true, false}));
    ASSERT_FALSE(host.statuses.isEmpty());
    EXPECT_EQ(host.statuses[0], drive.root());
    EXPECT_GE(host.pumps, 1);
    EXPECT_EQ(host.finished.size(), 4u);  // every folder, the drive last
    EXPECT_EQ(host.finished.back(), top);
    EXPECT_EQ(ScannedDrives().Find('T')->ClusterSize, ClusterSize(drive.root()));
    EXPECT_EQ(ScanClusterSize, ClusterSize(drive.root()));

    // The subfolders appear at once, sorted, when their drive is done; no call names a node
    // a view cannot reach.
    const QString root = drive.root();
    EXPECT_EQ(log.calls, QStringList({"about-to-insert top 0-0", "inserted top 0-0",
                                      "about-to-insert " + root + " 0-1",
                                      "inserted " + root + " 0-1", "record " + root}));
    EXPECT_EQ(ChildNames(top), QStringList({"a", "b"}));
    EXPECT_EQ(Find(top, "b\\inner")->Row(), 0);
}

TEST_F(Scanner, StopInTheMiddleOfADrive) {
    TempDrive drive;
    drive.file("a/a1/f", 100);
    drive.file("a/a2/f", 100);
    drive.file("a/f", 100);
    drive.file("b/b1/f", 100);
    drive.file("c/f", 100);
    drive.file("f", 100);
    RecordingHost host;
    bool stopped = false;
    std::vector<TFolderNode*> afterStop;
    host.onFolderScanned = [&](TFolderNode* node) {
        if (stopped) afterStop.push_back(node);
        if (node->DisplayName() == QLatin1String("a1")) stopped = StopRequested = true;
    };
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);

    EXPECT_TRUE(StopRequested);
    EXPECT_EQ(top->Record(), nullptr);
    TFolderNode* a = Find(top, "a");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->Record(), nullptr);
    EXPECT_NE(Find(top, "a\\a1")->Record(), nullptr) << "finished before the stop";
    // Only the folders on the stopped path end after the stop, and none of them with a record.
    EXPECT_EQ(afterStop, std::vector<TFolderNode*>({a, top}));
    for (int i = 0; i < top->ChildCount(); ++i) {
        if (top->Child(i) != a) {
            EXPECT_NE(top->Child(i)->Record(), nullptr);
        }
    }
    ExpectConsistentTotals(top);

    // The next scan starts afresh.
    host.onFolderScanned = nullptr;
    TFolderTree::DeleteNode(top);
    top = ScanTestDrive(tree, drive);
    EXPECT_FALSE(StopRequested);
    ASSERT_NE(top->Record(), nullptr);
    EXPECT_EQ(top->Record()->TreeFileCount, 6);
    EXPECT_EQ(top->Record()->TreeFolderCount, 6);
}

TEST_F(Scanner, RescanAfterADeletionRemovesTheFolder) {
    TempDrive drive;
    drive.file("a/b/f", 5000);
    drive.file("a/g", 10);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* b = Find(top, "a\\b");
    const TFolderSize before = *top->Record();

    ASSERT_TRUE(QDir(drive.host("a/b")).removeRecursively());
    RescanFolder(NodePath(b) + u'\\', b);
    EXPECT_EQ(Find(top, "a\\b"), nullptr);
    EXPECT_EQ(top->Record()->TreeSize, before.TreeSize - 5000);
    EXPECT_EQ(top->Record()->TreeFolderCount, before.TreeFolderCount - 1);
    EXPECT_EQ(Find(top, "a")->Record()->SubfolderCount, 0);
    ExpectConsistentTotals(top);
}

TEST_F(Scanner, RescanAfterAddedFilesGrowsEveryAncestorByTheDifference) {
    TempDrive drive;
    drive.file("a/b/f", 5000);
    drive.file("a/g", 10);
    drive.file("z/h", 70000);
    TFolderTree tree;
    TreeLog log(tree);
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* b = Find(top, "a\\b");

    drive.file("a/b/new1", 1);
    drive.file("a/b/new2", 0);
    drive.file("a/b/c/new3", 4097);
    log.calls.clear();
    RescanFolder(NodePath(b), b);

    // The rescanned totals agree, field for field, with a fresh scan of the whole drive; the
    // ancestors' sizes, counts and wasted values too.
    TFolderTree fresh;
    TFolderNode* again = ScanRoot(fresh, drive, ScannedDrives().Find('T')->ClusterSize)
                             ? fresh.TopLevel(0)
                             : nullptr;
    ASSERT_TRUE(again);
    const TFolderSize& rescanned = *Find(top, "a\\b")->Record();
    const TFolderSize& expected = *Find(again, "a\\b")->Record();
    ExpectSameRecord(rescanned, expected);
    for (const char* path : {"a", ""}) {
        SCOPED_TRACE(path);
        const TFolderSize& r = *Find(top, path)->Record();
        const TFolderSize& e = *Find(again, path)->Record();
        EXPECT_EQ(r.TreeSize, e.TreeSize);
        EXPECT_EQ(r.TreeWasted, e.TreeWasted);
        EXPECT_EQ(r.TreeFileCount, e.TreeFileCount);
        EXPECT_EQ(r.TreeFolderCount, e.TreeFolderCount);
        EXPECT_EQ(r.TreeWastedAt, e.TreeWastedAt);
        EXPECT_EQ(r.SubfolderCount, e.SubfolderCount);
    }
    const QString bPath = NodePath(b);
    EXPECT_EQ(log.calls, QStringList({"record " + bPath, "about-to-insert " + bPath + " 0-0",
                                      "inserted " + bPath + " 0-0", "record " + bPath,
                                      "record " + drive.path("a"), "record " + drive.root()}));
}

TEST_F(Scanner, AnUnreadableFolderCountsAsEmpty) {
    TempDrive drive;
    drive.file("open/f", 10);
    drive.file("locked/inside/f", 10);
    drive.file("locked/g", 10);
    const QString locked = drive.host("locked");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    {
        testing_support::WithoutPermissionOverride unprivileged;
        if (!unprivileged.ok()) GTEST_SKIP() << "cannot drop the read override";
        TFolderTree tree;
        TFolderNode* top = ScanTestDrive(tree, drive);
        ASSERT_NE(top->Record(), nullptr);
        const TFolderNode* node = Find(top, "locked");
        ASSERT_NE(node->Record(), nullptr);
        EXPECT_EQ(node->ChildCount(), 0);
        EXPECT_EQ(node->Record()->TreeFileCount, 0);
        EXPECT_EQ(top->Record()->TreeFileCount, 1);
        EXPECT_EQ(top->Record()->TreeFolderCount, 2);
    }
    ::chmod(QFile::encodeName(locked).constData(), 0700);
}

TEST_F(Scanner, OtherDrivesInsideADriveListAsEmpty) {
    TempTree outer;
    outer.file("own/f", 10);
    outer.file("inner/g", 10);
    outer.file("inner/deeper/h", 10);
    DriveMapScope map("T=" + outer.host() + ";U=" + outer.host("inner"));
    TFolderTree tree;
    TFolderNode* top = tree.AppendDrive('T', QStringLiteral("t"));
    const TFolderSize* r = ScanFolder(QStringLiteral("T:\\"), top);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->TreeFileCount, 1);
    EXPECT_EQ(r->TreeFolderCount, 2);
    EXPECT_EQ(Find(top, "inner")->ChildCount(), 0);
}

TEST_F(Scanner, MountPointsListAsEmpty) {
    // /proc is a file system of its own on every Linux machine; only the root is read.
    DriveMapScope map("R=/");
    platform::FolderReader root;
    ASSERT_TRUE(root.Open(QStringLiteral("R:\\")));
    bool found = false;
    while (root.Next()) {
        if (root.entryName() != QLatin1String("proc")) continue;
        found = true;
        platform::FolderReader proc;
        ASSERT_TRUE(proc.OpenEntryOf(root));
        EXPECT_FALSE(proc.Next());
        EXPECT_EQ(proc.error(), platform::FindError::NoMoreFiles);
    }
    EXPECT_TRUE(found);
}

namespace {

// Lowers the soft limit of open files for its lifetime.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t files) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        struct rlimit lowered = saved_;
        lowered.rlim_cur = files;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    struct rlimit saved_ {};
};

// Builds a chain of folders below a host folder, descending by descriptor so that no path
// grows beyond the system's limit; every tenth folder gets a file of 10 bytes. A shallow
// folder also gets many files, so that its listing needs more than one read.
void MakeChain(const QString& host, const QByteArray& name, int levels) {
    int fd = ::open(QFile::encodeName(host).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 1; level <= levels; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.constData(), 0755), 0) << level;
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0) << level;
        if (level % 10 == 0) {
            const int file = ::openat(next, "f", O_CREAT | O_WRONLY, 0644);
            ASSERT_EQ(::write(file, "0123456789", 10), 10);
            ::close(file);
        }
        if (level == 2) {
            for (int i = 0; i < 3000; ++i) {
                const QByteArray file = "sibling-file-with-a-long-name-" + QByteArray::number(i);
                ::close(::openat(next, file.constData(), O_CREAT | O_WRONLY, 0644));
            }
        }
        ::close(fd);
        fd = next;
    }
    ::close(fd);
}

}  // namespace

TEST_F(Scanner, ATreeDeeperThanTheOpenFileLimitScansExactly) {
    TempDrive drive;
    // 1,500 levels of 12-letter names: the deepest paths are four times the system's limit.
    const QByteArray name(12, 'd');
    MakeChain(drive.host(), name, 1500);
    TFolderTree tree;
    TFolderNode* top = nullptr;
    {
        OpenFileLimit limit(48);
        top = ScanTestDrive(tree, drive);
    }
    ASSERT_NE(top->Record(), nullptr);
    EXPECT_EQ(top->Record()->TreeFolderCount, 1500);
    EXPECT_EQ(top->Record()->TreeFileCount, 150 + 3000);
    EXPECT_EQ(top->Record()->TreeSize, 1500);

    const TFolderNode* deepest = top;
    while (deepest->ChildCount() > 0) deepest = deepest->Child(0);
    ASSERT_NE(deepest->Record(), nullptr);
    EXPECT_EQ(deepest->Record()->FileCount, 1);
    const QString path = NodePath(deepest);
    EXPECT_GT(path.size(), 4 * PATH_MAX);
    EXPECT_FALSE(platform::PathIsMissing(path));
    EXPECT_EQ(platform::GetFileAttributes(path), platform::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(platform::PathIsMissing(path + "\\none"));
}

namespace {

// What du says a tree's files take, hard-linked ones once: its total less the folders' own
// sizes, which the scan does not count.
int64_t FileBytesByDu(const QString& host) {
    QProcess du;
    du.start("du", {"-s", "--apparent-size", "-b", host});
    du.waitForFinished();
    QProcess folders;
    folders.start("find", {host, "-type", "d", "-printf", "%s\\n"});
    folders.waitForFinished();
    int64_t total = QString::fromUtf8(du.readAllStandardOutput()).section(u'\t', 0, 0).toLongLong();
    for (const QByteArray& size : folders.readAllStandardOutput().split('\n'))
        total -= size.toLongLong();
    return total;
}

}  // namespace

TEST_F(Scanner, HardLinkedFilesCountOnceWhenAskedAndRescansKeepTheTotals) {
    TempDrive drive;
    drive.file("orig/a.bin", 5000);
    drive.file("orig/sub/b.bin", 3000);
    ASSERT_EQ(QProcess::execute("cp", {"-al", drive.host("orig"), drive.host("backup")}), 0);
    drive.file("backup/extra.bin", 100);
    const struct {
        bool once;
        int64_t size;
        int32_t files;
    } cases[] = {{false, 16100, 5}, {true, 8100, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.once);
        TFolderTree tree;
        TFolderNode* top = ScanTestDrive(tree, drive, {.CountHardLinksOnce = c.once});
        EXPECT_EQ(top->Record()->TreeSize, c.size);
        EXPECT_EQ(top->Record()->TreeFileCount, c.files);
        if (c.once) {
            EXPECT_EQ(top->Record()->TreeSize, FileBytesByDu(drive.host()));
        }
        // Whichever copy was met first, counting either again changes nothing.
        for (const char* folder : {"orig", "backup", "orig/sub"}) {
            RescanFolder(drive.path(folder),
                         FindNodeByPath(top, QString(folder).replace(u'/', u'\\'), true));
            EXPECT_EQ(top->Record()->TreeSize, c.size) << folder;
            EXPECT_EQ(top->Record()->TreeFileCount, c.files) << folder;
        }
    }
    // The original gone, its claims go with its node: the backup then counts every file.
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive, {.CountHardLinksOnce = true});
    ASSERT_TRUE(QDir(drive.host("orig")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(drive.path("orig"), Find(top, "orig")));
    RescanFolder(drive.path("backup"), Find(top, "backup"));
    EXPECT_EQ(top->Record()->TreeSize, 8100);
    EXPECT_EQ(top->Record()->TreeSize, FileBytesByDu(drive.host()));
}

TEST_F(Scanner, AHardLinkItsCountingFolderNoLongerHoldsGoesToAFolderThatStillDoes) {
    for (const bool fromCounter : {true, false}) {
        SCOPED_TRACE(fromCounter);
        TempDrive drive;
        drive.file("A/f", 100000);
        drive.file("C/small", 10);
        drive.hardLink("A/f", "B/f");
        TFolderTree tree;
        TFolderNode* top = ScanTestDrive(tree, drive, {.CountHardLinksOnce = true});
        const char* counter = Find(top, "A")->Record()->FilesSize == 100000 ? "A" : "B";
        const char* other = counter[0] == 'A' ? "B" : "A";
        // Rescans count as the drive was scanned.
        for (const char* folder : {fromCounter ? counter : other, fromCounter ? other : counter}) {
            SCOPED_TRACE(folder);
            ASSERT_TRUE(QFile::remove(drive.host(QString(folder) + "/f")));
            RescanFolder(drive.path(folder), Find(top, folder));
            EXPECT_EQ(top->Record()->TreeSize, FileBytesByDu(drive.host()));
            ExpectConsistentTotals(top);
        }
        EXPECT_EQ(top->Record()->TreeSize, 10);
        EXPECT_EQ(top->Record()->TreeFileCount, 1);
    }
}

TEST_F(Scanner, HostileNamesSpecialFilesAndATreeChangingUnderTheScanDoNoHarm) {
    TempDrive drive;
    const QByteArray root = QFile::encodeName(drive.host());
    const QByteArray names[] = {"new\nline", "tab\there", "bad\xff\xfe", QByteArray(255, 'n')};
    for (const QByteArray& name : names) {
        ASSERT_EQ(::mkdir(root + '/' + name, 0755), 0) << name.toStdString();
        // By bytes: a name that is not UTF-8 has no QString form the host takes back.
        const int fd = ::open(root + '/' + name + "/f", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "12345", 5), 5);
        ::close(fd);
    }
    // A pipe and a socket are looked at, never opened: opening the pipe would wait for ever.
    ASSERT_EQ(::mkfifo(root + "/pipe", 0644), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = root + "/socket";
    ASSERT_LT(size_t(socketPath.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    for (const char* folder : {"z1/f", "z2/g/h", "z3/i"}) drive.file(folder, 10);

    // While the scan runs, folders it has not reached vanish and new ones appear.
    RecordingHost host;
    host.onFolderScanned = [&](TFolderNode*) {
        for (const char* folder : {"z1", "z2", "z3"}) QDir(drive.host(folder)).removeRecursively();
        drive.file("appeared/new", 3);
    };
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    ::close(listener);
    ASSERT_NE(top->Record(), nullptr);
    ExpectConsistentTotals(top);
    for (const QByteArray& name : names) {
        const QString shown = platform::DecodeHostName(name);
        EXPECT_NE(FindNodeByPath(top, shown, true), nullptr) << name.toStdString();
    }
    EXPECT_EQ(top->Record()->FileCount, 2);  // the pipe and the socket
}

TEST_F(Scanner, TheTreeIsTheSameWhateverTheNumberOfThreadsReadingAhead) {
    TempDrive drive;
    const QByteArray root = QFile::encodeName(drive.host());
    // Wide and deep folders, names of any bytes, hidden entries, links and hard links.
    for (int i = 0; i < 40; ++i) {
        const QString folder = QStringLiteral("wide/f%1").arg(i, 2, 10, QLatin1Char('0'));
        for (int k = 0; k <= i % 7; ++k)
            drive.file(folder + QStringLiteral("/x%1").arg(k), i * 1000 + k);
        if (i % 5 == 0) drive.file(folder + "/deep/er/still/leaf", i);
    }
    for (const QByteArray& name :
         {QByteArray("bad\xff"), QByteArray("new\nline"), QByteArray(255, 'n')})
        ASSERT_EQ(::mkdir(root + "/wide/" + name, 0755), 0);
    drive.file("wide/.hidden", 0);
    testing_support::WriteFile(drive.host("wide/.hidden"), "f01\n");
    drive.file("wide/.dot/inside", 77);
    drive.hardLink("wide/f03/x0", "wide/f04/linked");
    ASSERT_TRUE(QFile::link(drive.host("wide/f05"), drive.host("wide/link-to-f05")));
    ASSERT_TRUE(QFile::link("/", drive.host("wide/absolute-link")));

    for (const bool once : {false, true}) {
        SCOPED_TRACE(once);
        TFolderTree sequential, parallel;
        TFolderNode* one = nullptr;
        TFolderNode* four = nullptr;
        {
            testing_support::EnvironmentScope threads("QUILLON_SCAN_THREADS", "1");
            one = ScanTestDrive(sequential, drive, {.CountHardLinksOnce = once});
        }
        {
            testing_support::EnvironmentScope threads("QUILLON_SCAN_THREADS", "4");
            four = ScanTestDrive(parallel, drive, {.CountHardLinksOnce = once});
        }
        ASSERT_NE(one->Record(), nullptr);
        EXPECT_EQ(one->Record()->TreeFolderCount, 40 + 8 * 3 + 3 + 1 + 1);
        ExpectIdenticalTrees(one, four);
        ExpectConsistentTotals(four);
    }
}
