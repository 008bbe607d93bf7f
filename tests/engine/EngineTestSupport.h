#pragma once
// Helpers shared by the engine tests: scanning temporary drives, a host and a tree listener
// that record what they are told, and the totals invariants of a finished subtree.

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <vector>

#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "engine/VolumeFacts.h"
#include "tests/fixtures/TempTree.h"

namespace engine_test {

using namespace engine;

// Leaves the process-wide scan state as it found it.
class EngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        ScannedDrives().Clear();
        SetScanHost(nullptr);
        StopRequested = false;
        ScanClusterSize = -1;
        ClusterSizeChoice = 0;
    }
};

// Scans a temporary drive as the scan command does, reusing the drive's record.
inline TFolderNode* ScanTestDrive(TFolderTree& tree, const testing_support::TempDrive& drive,
                                  const TScanSession& session = {}) {
    DriveRecord* record = ScannedDrives().Find(drive.letter());
    if (!record) record = ScannedDrives().Add(drive.letter());
    return ScanDrive(tree, QChar(drive.letter()) + DriveDisplayName(drive.root()), *record,
                     session);
}

// A scan host that writes down what it is told; onFolderScanned may act (set StopRequested).
class RecordingHost : public IScanHost {
public:
    RecordingHost() { SetScanHost(this); }
    ~RecordingHost() override { SetScanHost(nullptr); }

    void ShowScanStatus(const QString& text) override { statuses << text; }
    void ProcessPendingEvents() override { ++pumps; }
    void SetScanning(bool on) override { scanning.push_back(on); }
    void FolderScanned(TFolderNode* node) override {
        finished.push_back(node);
        if (onFolderScanned) onFolderScanned(node);
    }

    QStringList statuses;
    int pumps = 0;
    std::vector<bool> scanning;
    std::vector<TFolderNode*> finished;
    std::function<void(TFolderNode*)> onFolderScanned;
};

// Whether a view could see the node now: every node up to the top sits at its row.
inline bool Reachable(const TFolderTree& tree, const TFolderNode* node) {
    for (; node; node = node->Parent()) {
        const int row = node->Row();
        if (node->IsTopLevel()) return row < tree.TopLevelCount() && tree.TopLevel(row) == node;
        if (row >= node->Parent()->ChildCount() || node->Parent()->Child(row) != node) return false;
    }
    return true;
}

// A listener that writes down every call as text and checks that each call names rows an
// item model could find at that moment.
class TreeLog : public TFolderTreeListener {
public:
    explicit TreeLog(TFolderTree& tree) : tree_(tree) { tree_.AddListener(this); }
    ~TreeLog() override { tree_.RemoveListener(this); }

    void RowsAboutToBeInserted(TFolderNode* parent, int first, int last) override {
        Check(parent, first, last, "insert");
        EXPECT_LE(first, Count(parent));
        calls << Text("about-to-insert", parent, first, last);
    }
    void RowsInserted(TFolderNode* parent, int first, int last) override {
        Check(parent, first, last, "inserted");
        EXPECT_LT(last, Count(parent));
        calls << Text("inserted", parent, first, last);
    }
    void RowsAboutToBeRemoved(TFolderNode* parent, int first, int last) override {
        Check(parent, first, last, "remove");
        EXPECT_LT(last, Count(parent));
        calls << Text("about-to-remove", parent, first, last);
    }
    void RowsRemoved(TFolderNode* parent, int first, int last) override {
        EXPECT_TRUE(!parent || Reachable(tree_, parent));
        calls << Text("removed", parent, first, last);
    }
    void RecordChanged(TFolderNode* node) override {
        EXPECT_TRUE(Reachable(tree_, node)) << NodePath(node).toStdString();
        calls << QStringLiteral("record %1").arg(NodePath(node));
    }

    QStringList calls;

private:
    int Count(const TFolderNode* parent) const {
        return parent ? parent->ChildCount() : tree_.TopLevelCount();
    }
    void Check(const TFolderNode* parent, int first, int last, const char* what) {
        EXPECT_TRUE(!parent || Reachable(tree_, parent)) << what << " under a hidden node";
        EXPECT_LE(0, first) << what;
        EXPECT_LE(first, last) << what;
    }
    static QString Text(const char* what, const TFolderNode* parent, int first, int last) {
        return QStringLiteral("%1 %2 %3-%4")
            .arg(QLatin1String(what), parent ? NodePath(parent) : QStringLiteral("top"))
            .arg(first)
            .arg(last);
    }
    TFolderTree& tree_;
};

// Checks the totals invariants of every node below (and of) node whose children all have
// records; the dates and attributes too unless the node's own files' times were dropped.
inline void ExpectConsistentTotals(const TFolderNode* node) {
    const TFolderSize* r = node->Record();
    for (int i = 0; i < node->ChildCount(); ++i) ExpectConsistentTotals(node->Child(i));
    if (!r) return;
    TFolderSize sum;
    sum.TreeSize = r->FilesSize;
    sum.TreeWasted = r->FilesWasted;
    sum.TreeFileCount = r->FileCount;
    sum.TreeFolderCount = r->SubfolderCount;
    sum.TreeWastedAt = r->FilesWastedAt;
    for (int i = 0; i < node->ChildCount(); ++i) {
        const TFolderSize* c = node->Child(i)->Record();
        if (!c) return;
        sum.TreeSize += c->TreeSize;
        sum.TreeWasted += c->TreeWasted;
        sum.TreeFileCount += c->TreeFileCount;
        sum.TreeFolderCount += c->TreeFolderCount;
        for (int k = 0; k < kReferenceClusterSizeCount; ++k)
            sum.TreeWastedAt[k] += c->TreeWastedAt[k];
    }
    const std::string where = NodePath(node).toStdString();
    EXPECT_EQ(r->SubfolderCount, node->ChildCount()) << where;
    EXPECT_EQ(r->TreeSize, sum.TreeSize) << where;
    EXPECT_EQ(r->TreeWasted, sum.TreeWasted) << where;
    EXPECT_EQ(r->TreeFileCount, sum.TreeFileCount) << where;
    EXPECT_EQ(r->TreeFolderCount, sum.TreeFolderCount) << where;
    EXPECT_EQ(r->TreeWastedAt, sum.TreeWastedAt) << where;
    EXPECT_GE(r->TreeSize, 0) << where;
}

// Every field of two records alike.
inline void ExpectSameRecord(const TFolderSize& a, const TFolderSize& b) {
    EXPECT_EQ(a.TreeSize, b.TreeSize);
    EXPECT_EQ(a.FilesSize, b.FilesSize);
    EXPECT_EQ(a.TreeWasted, b.TreeWasted);
    EXPECT_EQ(a.FilesWasted, b.FilesWasted);
    EXPECT_EQ(a.TreeFileCount, b.TreeFileCount);
    EXPECT_EQ(a.TreeFolderCount, b.TreeFolderCount);
    EXPECT_EQ(a.FileCount, b.FileCount);
    EXPECT_EQ(a.SubfolderCount, b.SubfolderCount);
    EXPECT_EQ(a.LastAccessTime, b.LastAccessTime);
    EXPECT_EQ(a.LastWriteTime, b.LastWriteTime);
    EXPECT_EQ(a.Attributes, b.Attributes);
    EXPECT_EQ(a.TreeWastedAt, b.TreeWastedAt);
    EXPECT_EQ(a.FilesWastedAt, b.FilesWastedAt);
}

// Two trees alike: the same folders in the same order, every record alike (or both missing).
inline void ExpectIdenticalTrees(const TFolderNode* a, const TFolderNode* b) {
    const std::string where = NodePath(a).toStdString();
    ASSERT_EQ(a->DisplayName(), b->DisplayName()) << where;
    ASSERT_EQ(a->ChildCount(), b->ChildCount()) << where;
    ASSERT_EQ(a->Record() != nullptr, b->Record() != nullptr) << where;
    if (a->Record()) {
        SCOPED_TRACE(where);
        ExpectSameRecord(*a->Record(), *b->Record());
    }
    for (int i = 0; i < a->ChildCount(); ++i) ExpectIdenticalTrees(a->Child(i), b->Child(i));
}

inline TFolderNode* Find(TFolderNode* top, const char* path) {
    return FindNodeByPath(top, QString::fromUtf8(path), true);
}

}  // namespace engine_test
