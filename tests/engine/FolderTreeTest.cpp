#include "engine/FolderTree.h"

#include <gtest/gtest.h>

#include <QDir>

#include "tests/engine/EngineTestSupport.h"

using namespace engine;
using namespace engine_test;
using testing_support::TempDrive;

namespace {

class FolderTree : public EngineTest {};

// The subtree totals of a record, to compare before and after a change.
struct Totals {
    int64_t size, wasted;
    int32_t files, folders, subfolders;
    std::array<int64_t, kReferenceClusterSizeCount> wastedAt;

    explicit Totals(const TFolderSize& r)
        : size(r.TreeSize),
          wasted(r.TreeWasted),
          files(r.TreeFileCount),
          folders(r.TreeFolderCount),
          subfolders(r.SubfolderCount),
          wastedAt(r.TreeWastedAt) {}
    bool operator==(const Totals&) const = default;
};

// A drive T: with a few levels of folders and files of lengths that leave slack at every
// reference size.
void BuildSample(const TempDrive& drive) {
    drive.file("top.bin", 70000);
    drive.file("a/one.txt", 5000);
    drive.file("a/b/two.txt", 1);
    drive.file("a/b/c/three.dat", 123457);
    drive.file("a/b/c/d/four.dat", 65537);
    drive.file("a/b/c/d/empty", 0);
    drive.file("a/b/side/five", 4097);
    drive.file("x/six", 9999);
}

}  // namespace

TEST(Slack, LastClusterLoss) {
    const struct {
        int64_t length, cluster, slack;
    } cases[] = {
        {5000, 4096, 3192}, {4096, 4096, 0},      {4097, 4096, 4095},
        {0, 4096, 0},       {5000, -1, 0},        {5000, 0, 0},
        {1, 512, 511},      {5000, 65536, 60536}, {(1LL << 40) + 3, 65536, 65533},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Slack(c.length, c.cluster), c.slack) << c.length << " at " << c.cluster;
}

TEST_F(FolderTree, ShownWastedFollowsTheClusterSizeChoice) {
    TFolderSize r;
    r.TreeWasted = 1;
    r.FilesWasted = 2;
    for (int i = 0; i < kReferenceClusterSizeCount; ++i) {
        r.TreeWastedAt[i] = 100 + i + 1;
        r.FilesWastedAt[i] = 200 + i + 1;
    }
    const struct {
        int choice;
        int64_t tree, files;
    } cases[] = {{0, 1, 2}, {1, 101, 201}, {3, 103, 203}, {7, 107, 207}, {8, 1, 2}, {-1, 1, 2}};
    for (const auto& c : cases) {
        ClusterSizeChoice = c.choice;
        EXPECT_EQ(ShownTreeWasted(r), c.tree) << c.choice;
        EXPECT_EQ(ShownFilesWasted(r), c.files) << c.choice;
    }
    EXPECT_EQ(TreeWastedAt(r, 1), 101);
    EXPECT_EQ(TreeWastedAt(r, 7), 107);
    EXPECT_EQ(TreeWastedAt(r, 0), 0);
    EXPECT_EQ(TreeWastedAt(r, 8), 0);
    EXPECT_EQ(ReferenceClusterSizes[2], 4096);  // position 3 of the box
}

TEST_F(FolderTree, PathsAndLookups) {
    TFolderTree tree;
    TFolderNode* c = tree.AppendDrive('C', QStringLiteral("/ (C:)"));
    TFolderNode* windows = tree.AppendChild(c, QStringLiteral("Windows"));
    TFolderNode* system = tree.AppendChild(windows, QStringLiteral("System"));
    TFolderNode* upper = tree.AppendChild(windows, QStringLiteral("SYSTEM"));

    EXPECT_EQ(NodePath(c), QStringLiteral("C:\\"));
    EXPECT_EQ(NodePath(windows), QStringLiteral("C:\\Windows"));
    EXPECT_EQ(NodePath(system), QStringLiteral("C:\\Windows\\System"));
    EXPECT_EQ(NodePath(nullptr), QString());
    EXPECT_EQ(DriveRootOf(system), c);
    EXPECT_EQ(DriveRootOf(c), c);
    EXPECT_EQ(DriveRootOf(nullptr), nullptr);

    EXPECT_EQ(FindChildNode(windows, QStringLiteral("SYSTEM"), true), upper);
    EXPECT_EQ(FindChildNode(windows, QStringLiteral("system"), false), system);  // first in order
    EXPECT_EQ(FindChildNode(windows, QStringLiteral("system"), true), nullptr);

    EXPECT_EQ(FindNodeByPath(c, QStringLiteral("Windows\\System"), true), system);
    EXPECT_EQ(FindNodeByPath(c, QStringLiteral("windows\\system"), false), system);
    EXPECT_EQ(FindNodeByPath(c, QStringLiteral("windows\\system"), true), nullptr);
    EXPECT_EQ(FindNodeByPath(c, QStringLiteral("Windows\\"), true), windows);
    EXPECT_EQ(FindNodeByPath(c, QStringLiteral("Windows\\Gone\\System"), true), nullptr);
    EXPECT_EQ(FindNodeByPath(c, QString(), true), c);
    EXPECT_EQ(FindNodeByPath(nullptr, QStringLiteral("Windows"), true), nullptr);
    // Only ASCII letters fold.
    TFolderNode* umlaut = tree.AppendChild(c, QStringLiteral("über"));
    EXPECT_EQ(FindChildNode(c, QStringLiteral("ÜBER"), false), nullptr);
    EXPECT_EQ(FindChildNode(c, QStringLiteral("üBER"), false), umlaut);
}

TEST_F(FolderTree, ListenersSeeRowsOfVisibleNodesOnly) {
    TFolderTree tree;
    TreeLog log(tree);
    TFolderNode* c = tree.AppendDrive('C', QStringLiteral("c"));
    TFolderNode* d = tree.AppendDrive('D', QStringLiteral("d"));
    TFolderNode* a = tree.AppendChild(c, QStringLiteral("a"));

    // A list built aside, with a grandchild attached while it is still hidden.
    std::vector<std::unique_ptr<TFolderNode>> list;
    list.push_back(std::make_unique<TFolderNode>(QStringLiteral("x"), c));
    list.push_back(std::make_unique<TFolderNode>(QStringLiteral("y"), c));
    std::vector<std::unique_ptr<TFolderNode>> grandchildren;
    grandchildren.push_back(std::make_unique<TFolderNode>(QStringLiteral("hidden"), list[0].get()));
    TFolderTree::AttachChildren(list[0].get(), std::move(grandchildren));
    TFolderTree::SetRecord(list[0].get(), std::make_unique<TFolderSize>());
    TFolderTree::AttachChildren(c, std::move(list));
    TFolderTree::SetRecord(a, std::make_unique<TFolderSize>());

    EXPECT_EQ(log.calls, QStringList({
                             "about-to-insert top 0-0",
                             "inserted top 0-0",
                             "about-to-insert top 1-1",
                             "inserted top 1-1",
                             "about-to-insert C:\\ 0-0",
                             "inserted C:\\ 0-0",
                             "about-to-insert C:\\ 1-2",
                             "inserted C:\\ 1-2",
                             "record C:\\a",
                         }));
    EXPECT_EQ(c->Child(2)->Row(), 2);

    log.calls.clear();
    TFolderTree::DeleteNode(a);  // the rows after it move up
    EXPECT_EQ(c->Child(0)->DisplayName(), QStringLiteral("x"));
    EXPECT_EQ(c->Child(1)->Row(), 1);
    TFolderTree::DeleteChildren(c);
    TFolderTree::DeleteNode(c);
    EXPECT_EQ(d->Row(), 0);
    EXPECT_EQ(log.calls, QStringList({
                             "about-to-remove C:\\ 0-0",
                             "removed C:\\ 0-0",
                             "about-to-remove C:\\ 0-1",
                             "removed C:\\ 0-1",
                             "about-to-remove top 0-0",
                             "removed top 0-0",
                         }));
}

TEST_F(FolderTree, RemovingAVanishedFolderTakesExactlyItsTotalsOffEveryAncestor) {
    TempDrive drive;
    BuildSample(drive);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* c = Find(top, "a\\b\\c");
    ASSERT_TRUE(c && c->Record());
    const std::vector<TFolderNode*> ancestors = {Find(top, "a\\b"), Find(top, "a"), top};
    std::vector<Totals> before;
    for (TFolderNode* n : ancestors) before.emplace_back(*n->Record());
    const Totals removed(*c->Record());
    const QString path = NodePath(c);

    EXPECT_FALSE(RemoveVanishedFolder(path, c)) << "still on disk";
    EXPECT_FALSE(RemoveVanishedFolder(drive.root(), top));
    EXPECT_FALSE(RemoveVanishedFolder(path, nullptr));
    ASSERT_TRUE(QDir(drive.host("a/b/c")).removeRecursively());
    EXPECT_FALSE(RemoveVanishedFolder(drive.root(), top)) << "never a drive root";
    ASSERT_TRUE(RemoveVanishedFolder(path, c));

    EXPECT_EQ(Find(top, "a\\b\\c"), nullptr);
    for (size_t i = 0; i < ancestors.size(); ++i) {
        SCOPED_TRACE(NodePath(ancestors[i]).toStdString());
        const Totals after(*ancestors[i]->Record());
        EXPECT_EQ(after.size, before[i].size - removed.size);
        EXPECT_EQ(after.wasted, before[i].wasted - removed.wasted);
        EXPECT_EQ(after.files, before[i].files - removed.files);
        EXPECT_EQ(after.folders, before[i].folders - removed.folders - 1);
        EXPECT_EQ(after.subfolders, before[i].subfolders - (i == 0 ? 1 : 0));
        for (int k = 0; k < kReferenceClusterSizeCount; ++k)
            EXPECT_EQ(after.wastedAt[k], before[i].wastedAt[k] - removed.wastedAt[k]) << k;
    }
    ExpectConsistentTotals(top);
}

TEST_F(FolderTree, AVanishedFolderLeavesNoTimesOrAttributesBehind) {
    TempDrive drive;
    drive.file("keep/old.txt", 10);
    drive.file("gone/new.txt", 10);
    drive.file("gone/.hidden", 10);
    drive.setTimes("keep/old.txt", QDateTime::fromSecsSinceEpoch(1000000000),
                   QDateTime::fromSecsSinceEpoch(1000000000));
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* gone = Find(top, "gone");
    TFolderNode* keep = Find(top, "keep");
    ASSERT_GT(top->Record()->LastWriteTime, keep->Record()->LastWriteTime);
    ASSERT_TRUE(top->Record()->Attributes & platform::FILE_ATTRIBUTE_HIDDEN);

    ASSERT_TRUE(QDir(drive.host("gone")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(NodePath(gone), gone));
    EXPECT_EQ(top->Record()->LastWriteTime, keep->Record()->LastWriteTime);
    EXPECT_EQ(top->Record()->LastAccessTime, keep->Record()->LastAccessTime);
    EXPECT_EQ(top->Record()->Attributes, keep->Record()->Attributes);
}

TEST_F(FolderTree, AVanishedFolderWithoutRecordIsNoLongerCounted) {
    TempDrive drive;
    BuildSample(drive);
    drive.file("a/b/c/e/more", 300);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* b = Find(top, "a\\b");

    // A rescan of a\b stopped inside a\b\c: c and b lose their records, while a and the drive
    // still count b's old totals.
    RecordingHost host;
    host.onFolderScanned = [](TFolderNode* node) {
        if (node->DisplayName() == QLatin1String("d")) StopRequested = true;
    };
    RescanFolder(NodePath(b), b);
    TFolderNode* c = Find(top, "a\\b\\c");
    ASSERT_TRUE(c);
    ASSERT_EQ(b->Record(), nullptr);
    ASSERT_EQ(c->Record(), nullptr);
    ASSERT_NE(Find(top, "a\\b\\c\\d")->Record(), nullptr);
    const TFolderSize a = *Find(top, "a")->Record();

    // d, finished, goes first: the walk up stops at c, which has no record, so the ancestors
    // above keep every total.
    ASSERT_TRUE(QDir(drive.host("a/b/c/d")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(NodePath(Find(top, "a\\b\\c\\d")), Find(top, "a\\b\\c\\d")));
    EXPECT_EQ(Totals(*Find(top, "a")->Record()), Totals(a));
    EXPECT_EQ(Find(top, "a\\b\\c\\d"), nullptr);

    // c goes: its ancestors with records forget b's old contents and count b as an empty folder.
    ASSERT_TRUE(QDir(drive.host("a/b/c")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(NodePath(c), c));
    const TFolderSize& after = *Find(top, "a")->Record();
    EXPECT_EQ(after.TreeSize, a.FilesSize);
    EXPECT_EQ(after.TreeFileCount, a.FileCount);
    EXPECT_EQ(after.TreeFolderCount, 1);  // b itself
    EXPECT_EQ(after.SubfolderCount, 1);
    EXPECT_EQ(after.TreeWastedAt, a.FilesWastedAt);
    ExpectConsistentTotals(top);

    // Now b itself goes: the drive no longer counts it at all, and nothing went negative.
    ASSERT_TRUE(QDir(drive.host("a/b")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(NodePath(b), b));
    EXPECT_EQ(Find(top, "a")->Record()->TreeFolderCount, 0);
    EXPECT_EQ(Find(top, "a")->Record()->SubfolderCount, 0);
    ExpectConsistentTotals(top);
}

TEST_F(FolderTree, AVanishedFolderWhoseRescanWasStoppedIsNoLongerCounted) {
    TempDrive drive;
    BuildSample(drive);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* a = Find(top, "a");
    const Totals x(*Find(top, "x")->Record());
    const int64_t ownFiles = top->Record()->FilesSize;

    RecordingHost host;
    host.onFolderScanned = [](TFolderNode*) { StopRequested = true; };
    RescanFolder(NodePath(a), a);
    ASSERT_EQ(a->Record(), nullptr);

    ASSERT_TRUE(QDir(drive.host("a")).removeRecursively());
    ASSERT_TRUE(RemoveVanishedFolder(NodePath(a), a));
    EXPECT_EQ(top->Record()->TreeSize, ownFiles + x.size);
    EXPECT_EQ(top->Record()->TreeFolderCount, 1 + x.folders);
    EXPECT_EQ(top->Record()->SubfolderCount, 1);
    ExpectConsistentTotals(top);
}

TEST_F(FolderTree, RemovedFileLeavesItsFolderAndAncestors) {
    TempDrive drive;
    BuildSample(drive);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* b = Find(top, "a\\b");
    const TFolderSize bBefore = *b->Record();
    const TFolderSize topBefore = *top->Record();

    // two.txt, 1 byte, at the drive's own cluster size of 4096.
    SubtractFromAncestors(b, nullptr, 0, 1, 4095, 1);
    const TFolderSize& r = *b->Record();
    EXPECT_EQ(r.FileCount, bBefore.FileCount - 1);
    EXPECT_EQ(r.FilesSize, bBefore.FilesSize - 1);
    EXPECT_EQ(r.FilesWasted, bBefore.FilesWasted - 4095);
    EXPECT_EQ(r.SubfolderCount, bBefore.SubfolderCount);
    for (int k = 0; k < kReferenceClusterSizeCount; ++k) {
        EXPECT_EQ(r.FilesWastedAt[k], bBefore.FilesWastedAt[k] - (ReferenceClusterSizes[k] - 1));
        EXPECT_EQ(top->Record()->TreeWastedAt[k],
                  topBefore.TreeWastedAt[k] - (ReferenceClusterSizes[k] - 1));
    }
    EXPECT_EQ(top->Record()->TreeFileCount, topBefore.TreeFileCount - 1);
    EXPECT_EQ(top->Record()->TreeFolderCount, topBefore.TreeFolderCount);
    SubtractFromAncestors(nullptr, nullptr, 0, 1, 1, 1);  // nothing to do
}

TEST_F(FolderTree, UpwardWalksEndAtTheFirstNodeWithoutRecord) {
    TFolderTree tree;
    TFolderNode* top = tree.AppendDrive('C', QStringLiteral("c"));
    TFolderNode* mid = tree.AppendChild(top, QStringLiteral("mid"));
    TFolderNode* low = tree.AppendChild(mid, QStringLiteral("low"));
    TFolderTree::SetRecord(top, std::make_unique<TFolderSize>());
    TFolderTree::SetRecord(low, std::make_unique<TFolderSize>());
    top->Record()->TreeSize = 100;
    low->Record()->TreeSize = 100;

    TFolderSize d;
    d.TreeSize = 7;
    d.TreeWastedAt[6] = 3;
    AddDifferenceUpwards(low, d);
    EXPECT_EQ(low->Record()->TreeSize, 107);
    EXPECT_EQ(low->Record()->TreeWastedAt[6], 3);
    EXPECT_EQ(top->Record()->TreeSize, 100);  // mid has no record
    SubtractFromAncestors(low, nullptr, 0, 1, 0, 7);
    EXPECT_EQ(low->Record()->TreeSize, 100);
    EXPECT_EQ(top->Record()->TreeSize, 100);
}

TEST_F(FolderTree, FreeingRecordsKeepsTheNodes) {
    TempDrive drive;
    BuildSample(drive);
    TFolderTree tree;
    TFolderNode* top = ScanTestDrive(tree, drive);
    TFolderNode* a = Find(top, "a");
    FreeFolderRecords(a, false);
    EXPECT_NE(a->Record(), nullptr);
    EXPECT_EQ(Find(top, "a\\b\\c\\d")->Record(), nullptr);
    EXPECT_EQ(Find(top, "a\\b")->Record(), nullptr);
    FreeFolderRecords(a, true);
    EXPECT_EQ(a->Record(), nullptr);
    EXPECT_NE(Find(top, "x")->Record(), nullptr);
}

TEST_F(FolderTree, ScannedDrivesAndRemovingTheLastDrive) {
    TempDrive t('T');
    TempDrive u('U');
    TFolderTree tree;
    ScanTestDrive(tree, t);
    ScanTestDrive(tree, u);
    ASSERT_EQ(ScannedDrives().Count(), 2);
    EXPECT_EQ(ScannedDrives().At(0)->Letter, 'T');
    EXPECT_EQ(ScannedDrives().Find('U')->Node, tree.TopLevel(1));
    EXPECT_EQ(ScannedDrives().Find('U')->DriveText, QChar('U') + DriveDisplayName(u.root()));
    EXPECT_EQ(ScannedDrives().Find('V'), nullptr);

    // A rescan appends the drive again at the end, with the same record.
    DriveRecord* record = ScannedDrives().Find('T');
    TFolderTree::DeleteNode(record->Node);
    EXPECT_EQ(record->Node, nullptr);
    ScanTestDrive(tree, t);
    EXPECT_EQ(ScannedDrives().Find('T'), record);
    EXPECT_EQ(tree.TopLevel(1), record->Node);

    RemoveDrive('U');
    RemoveDrive('T');
    EXPECT_EQ(ScannedDrives().Count(), 0);
    EXPECT_EQ(tree.TopLevelCount(), 0);
}
