#pragma once
// The folder tree: one node per folder met by a scan, drives at the top level, each finished
// folder carrying a TFolderSize record with its totals; the operations that keep the totals
// right when a folder or a file leaves the disk; and the list of scanned drives.
//
// The tree is a plain model: a view binds to it through TFolderTreeListener, whose calls have
// the shape of an item model's (rows of a parent inserted or removed, a node's record changed).
// Everything here runs on the main thread.

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/WinTypes.h"

class QCollator;

namespace engine {

using platform::FileTime;

inline constexpr int kReferenceClusterSizeCount = 7;

// The seven hypothetical cluster sizes; index 0 here is reference size 1 (512 bytes), the
// first position after "the drive's own" in the cluster-size box.
inline constexpr std::array<int32_t, kReferenceClusterSizeCount> ReferenceClusterSizes = {
    512, 2048, 4096, 8192, 16384, 32768, 65536};

// The totals of one completely scanned folder. All fields are zero when it is made. The wasted
// arrays are indexed like ReferenceClusterSizes (element 0 is reference size 1).
struct TFolderSize {
    int64_t TreeSize = 0;
    int64_t FilesSize = 0;
    int64_t TreeWasted = 0;
    int64_t FilesWasted = 0;
    int32_t TreeFileCount = 0;
    int32_t TreeFolderCount = 0;  // folders below, at all depths; the folder itself not counted
    int32_t FileCount = 0;
    int32_t SubfolderCount = 0;
    FileTime LastAccessTime = 0;  // latest of the subtree's files; 0 when there is none
    FileTime LastWriteTime = 0;
    uint32_t Attributes = 0;  // union of the subtree's files' attribute bits
    std::array<int64_t, kReferenceClusterSizeCount> TreeWastedAt{};
    std::array<int64_t, kReferenceClusterSizeCount> FilesWastedAt{};
    // The space the files take on the disk (blocks given, not lengths): sparse files take less,
    // and so do files stored compressed.
    int64_t TreeOnDisk = 0;
    int64_t FilesOnDisk = 0;
    // The folder's own files in its drive's file store (engine/FileStore.h), when it keeps one.
    uint32_t FirstFile = 0;
    uint32_t StoredFiles = 0;
};

// The space a file of this length loses in its last cluster; 0 for a cluster size of 0 or less.
constexpr int64_t Slack(int64_t length, int64_t clusterSize) {
    if (clusterSize <= 0) return 0;
    const int64_t r = length % clusterSize;
    return r == 0 ? 0 : clusterSize - r;
}

// Building a record as a walk does: each file directly in the folder counted (slack at the
// drive's cluster size and at the seven reference sizes), each finished subfolder's tree
// totals added, and at the end the folder's own files added to its tree totals.
void AddFileTotals(TFolderSize& r, int64_t size, int64_t onDisk, int32_t clusterSize,
                   FileTime lastAccess, FileTime lastWrite, uint32_t attributes);
void AddChildTotals(TFolderSize& r, const TFolderSize& child);
void AddOwnFilesToTree(TFolderSize& r);

// Which cluster size the views show: 0 the drive's own, 1 to 7 a reference size. Only the
// accessors below read it; the scanner always stores every size.
extern int ClusterSizeChoice;

// The stored value for reference size i (1 to 7); 0 for any other i.
int64_t TreeWastedAt(const TFolderSize& record, int i);
int64_t ShownTreeWasted(const TFolderSize& record);
int64_t ShownFilesWasted(const TFolderSize& record);

class TFolderTree;

// One folder of the tree, or a drive at its top level. Nodes are made and changed through
// TFolderTree and the scanner, which tell the listeners.
class TFolderNode {
public:
    TFolderNode(QString displayName, TFolderNode* parent);
    ~TFolderNode();
    TFolderNode(const TFolderNode&) = delete;
    TFolderNode& operator=(const TFolderNode&) = delete;

    const QString& DisplayName() const { return displayName_; }
    TFolderNode* Parent() const { return parent_; }
    bool IsTopLevel() const { return parent_ == nullptr; }
    // The drive letter of a top-level node ('A'..'Z'); 0 for any other node.
    char DriveLetter() const { return driveLetter_; }

    // The record, or nullptr while the folder's scan runs or after it was interrupted.
    TFolderSize* Record() const { return record_.get(); }

    int ChildCount() const { return int(children_.size()); }
    TFolderNode* Child(int row) const { return children_[size_t(row)].get(); }
    // The node's position among its parent's children (or among the top-level nodes).
    int Row() const { return row_; }

    // The tree the node belongs to; nullptr for a node that is not in one.
    TFolderTree* Tree() const;

private:
    friend class TFolderTree;

    QString displayName_;
    std::unique_ptr<TFolderSize> record_;
    TFolderNode* parent_;
    TFolderTree* tree_ = nullptr;  // top-level nodes only
    std::vector<std::unique_ptr<TFolderNode>> children_;
    int row_ = 0;
    char driveLetter_ = 0;
    // False while the node waits in the scanner's list of a folder not yet finished: then
    // neither it nor anything below it is visible.
    bool attached_ = false;
};

// What a view follows. parent nullptr stands for the top level. Rows are positions among the
// parent's children; "about to be removed" comes while the nodes still exist, so a view can
// let go of them.
class TFolderTreeListener {
public:
    virtual ~TFolderTreeListener() = default;
    // A listener hears only what it overrides.
    virtual void RowsAboutToBeInserted(TFolderNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsInserted(TFolderNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsAboutToBeRemoved(TFolderNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsRemoved(TFolderNode* /*parent*/, int /*first*/, int /*last*/) {}
    // The node got a record, lost it, or its totals changed.
    virtual void RecordChanged(TFolderNode* /*node*/) {}
};

// The tree: owns its top-level nodes and, through them, every node.
class TFolderTree {
public:
    TFolderTree();
    ~TFolderTree();
    TFolderTree(const TFolderTree&) = delete;
    TFolderTree& operator=(const TFolderTree&) = delete;

    void AddListener(TFolderTreeListener* listener);
    void RemoveListener(TFolderTreeListener* listener);

    int TopLevelCount() const { return int(drives_.size()); }
    TFolderNode* TopLevel(int row) const { return drives_[size_t(row)].get(); }

    // Appends a top-level node for a drive (drives are not sorted), without record.
    TFolderNode* AppendDrive(char letter, const QString& displayName);
    // Appends one child without record at the end of parent's children.
    TFolderNode* AppendChild(TFolderNode* parent, const QString& displayName);
    // Makes a finished list of children (whose parent is already node) node's children, in
    // one step, after any it had.
    static void AttachChildren(TFolderNode* node,
                               std::vector<std::unique_ptr<TFolderNode>> children);

    // Deletes a node with its subtree and records. A drive's DriveRecord lets go of it.
    static void DeleteNode(TFolderNode* node);
    static void DeleteChildren(TFolderNode* node);

    // Replaces a node's record (nullptr: none); the old one is given back.
    static std::unique_ptr<TFolderSize> SetRecord(TFolderNode* node,
                                                  std::unique_ptr<TFolderSize> record);
    // Tells the listeners that a visible node's record was changed in place.
    static void NotifyRecordChanged(TFolderNode* node);

private:
    // The tree of a node that a view can see, nullptr otherwise.
    static TFolderTree* VisibleTreeOf(const TFolderNode* node);

    std::vector<std::unique_ptr<TFolderNode>> drives_;
    std::vector<TFolderTreeListener*> listeners_;
};

// Sorts a finished list of children by their display names as the collator orders them.
void SortByDisplayName(std::vector<std::unique_ptr<TFolderNode>>& children,
                       const QCollator& collator);

// "C:\" for a top-level node; "C:\Windows\System" below; empty for none.
QString NodePath(const TFolderNode* node);
// True when node is root or lies below it; false for no node.
bool IsInSubtree(const TFolderNode* node, const TFolderNode* root);
// The node's top-level ancestor (the node itself at the top level); nullptr for none.
TFolderNode* DriveRootOf(const TFolderNode* node);
// The first child whose display name equals name; without caseSensitive, ASCII letters are
// compared as upper case. nullptr when none matches.
TFolderNode* FindChildNode(const TFolderNode* node, const QString& name, bool caseSensitive);
// Steps from start through the parts of a relative path ("Windows\System"); nullptr as soon as
// a part is not found. No start or an empty path gives start. A final "\" is ignored.
TFolderNode* FindNodeByPath(TFolderNode* start, const QString& relativePath, bool caseSensitive);

// Frees the records of every node below node, and node's own when includeNode is true.
void FreeFolderRecords(TFolderNode* node, bool includeNode);

// When nothing exists any more at path (a folder that is not a drive root), removes node with
// its subtree and takes its totals off its ancestors; true when it did. A node with a record
// takes its totals off each ancestor up to the first without a record. A node without one
// (its scan was interrupted) has totals its ancestors can no longer split exactly: then the
// nearest ancestor with a record keeps its own files and its children with records, and
// counts its children without a record (the vanished one aside) as empty folders.
bool RemoveVanishedFolder(const QString& path, TFolderNode* node);

// Takes one removed folder's subtree (removedFolder, with folders = its TreeFolderCount + 1)
// or one removed file (removedFolder nullptr, folders 0, files 1) off start and each ancestor
// with a record, up to the first without one. wasted is at the drive's own cluster size; a
// removed folder's space on disk is its record's, a file's is onDisk.
void SubtractFromAncestors(TFolderNode* start, const TFolderNode* removedFolder, int32_t folders,
                           int32_t files, int64_t wasted, int64_t size, int64_t onDisk = 0);

// Sets the node's latest times and attribute union from its children with records alone.
void RecomputeDatesAndAttributes(TFolderNode* node);

// Adds the subtree differences of d (TreeSize, TreeWasted, the counts and TreeWastedAt) to
// start and each ancestor with a record, up to the first without one.
void AddDifferenceUpwards(TFolderNode* start, const TFolderSize& d);

struct TImportFacts;
class TFileStore;

// A file with more than one name, whatever the name: its device and file id.
struct THardLinkKey {
    uint64_t Device = 0;
    uint64_t FileId = 0;
    bool operator==(const THardLinkKey&) const = default;
};
struct THardLinkKeyHash {
    size_t operator()(const THardLinkKey& k) const {
        return std::hash<uint64_t>()(k.FileId * 0x9E3779B97F4A7C15ull ^ k.Device);
    }
};
// What a hard-linked file adds to the folder that counts it.
struct TLinkedFile {
    int64_t Size = 0;
    int64_t OnDisk = 0;
    FileTime LastAccessTime = 0;
    FileTime LastWriteTime = 0;
    uint32_t Attributes = 0;
};

// One hard-linked file of a drive scanned with links counted once: the folders that hold a name
// of it, in the order the scans met them. The first counts it; the others pass over it.
struct THardLinkClaim {
    TLinkedFile File;
    std::vector<TFolderNode*> Holders;
    bool Released = false;  // its counter is being scanned again and may take it back
};
using THardLinkClaims = std::unordered_map<THardLinkKey, THardLinkClaim, THardLinkKeyHash>;

// One drive that has been put into the tree.
struct DriveRecord {
    char Letter = 0;                // upper-case ASCII letter
    TFolderNode* Node = nullptr;    // its top-level node; nullptr once that was deleted
    int32_t ClusterSize = -1;       // at its last scan; -1 when unknown
    QString DriveText;              // the letter followed by the drive's display name
    bool LinksCountedOnce = false;  // how its scan counted hard-linked files; rescans follow it
    THardLinkClaims HardLinks;      // kept only when LinksCountedOnce
    std::shared_ptr<const TImportFacts> Import;  // an imported drive's origin (engine/Ncdu.h)
    std::shared_ptr<TFileStore> Files;           // the files its scan kept; none when it kept none
};

// Notes that holder holds a name of the file; true when it is to count the file, because no
// folder does already (or its counter is being scanned again).
bool ClaimHardLink(THardLinkClaims& claims, const THardLinkKey& key, TFolderNode* holder,
                   const TLinkedFile& file);

// The folders of a subtree (with or without the folder itself) hold no names any more: the
// files they counted are released, to be counted again by a rescan or given to another holder
// by SettleHardLinkClaims. Deleting nodes does this by itself.
void ReleaseHardLinkClaims(const TFolderNode* node, bool ownFilesToo);

// Each released file not taken back goes to the first folder still holding it with a record,
// its totals added to that folder and its ancestors, or, with give false (after a stopped
// rescan, whose ancestors still count it), to that folder with the totals left as they are.
// A file no folder holds is forgotten.
void SettleHardLinkClaims(DriveRecord& drive, bool give);

// The folder that counts the hard-linked file, or nullptr when the drive keeps no claim of it.
const TFolderNode* HardLinkCounter(const TFolderNode* node, const THardLinkKey& key);

// The drives in the order they were first scanned; lookup by letter, first match.
class TScannedDrives {
public:
    DriveRecord* Add(char letter);
    DriveRecord* Find(char letter) const;
    void Remove(const DriveRecord* record);
    void Clear();

    int Count() const { return int(records_.size()); }
    DriveRecord* At(int i) const { return records_[size_t(i)].get(); }

private:
    std::vector<std::unique_ptr<DriveRecord>> records_;
};

// The process-wide list.
TScannedDrives& ScannedDrives();

// The record of the drive a node is in; nullptr when the node is not in the drive's tree.
DriveRecord* DriveRecordOf(const TFolderNode* node);

// Removes a drive from the tree: its node with the subtree and its DriveRecord.
void RemoveDrive(char letter);

// True while a scan walks a tree. The walk holds nodes, so nothing may delete nodes or change
// totals then: the operations of this unit that would (DeleteNode, DeleteChildren,
// RemoveVanishedFolder, SubtractFromAncestors, RemoveDrive) do nothing while it is set.
bool TreeBusy();

// Marks a walk for its lifetime.
class TTreeBusy {
public:
    TTreeBusy();
    ~TTreeBusy();
    TTreeBusy(const TTreeBusy&) = delete;
    TTreeBusy& operator=(const TTreeBusy&) = delete;
};

}  // namespace engine
