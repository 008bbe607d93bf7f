#include "engine/FolderTree.h"

#include <QCollator>

#include <algorithm>
#include <unordered_set>

#include "engine/TextForms.h"
#include "platform/FindFile.h"

namespace engine {

int ClusterSizeChoice = 0;

namespace {

int walks = 0;

}  // namespace

bool TreeBusy() {
    return walks > 0;
}

TTreeBusy::TTreeBusy() {
    ++walks;
}

TTreeBusy::~TTreeBusy() {
    --walks;
}

int64_t TreeWastedAt(const TFolderSize& record, int i) {
    return i >= 1 && i <= kReferenceClusterSizeCount ? record.TreeWastedAt[size_t(i - 1)] : 0;
}

int64_t ShownTreeWasted(const TFolderSize& record) {
    return ClusterSizeChoice >= 1 && ClusterSizeChoice <= kReferenceClusterSizeCount
               ? record.TreeWastedAt[size_t(ClusterSizeChoice - 1)]
               : record.TreeWasted;
}

int64_t ShownFilesWasted(const TFolderSize& record) {
    return ClusterSizeChoice >= 1 && ClusterSizeChoice <= kReferenceClusterSizeCount
               ? record.FilesWastedAt[size_t(ClusterSizeChoice - 1)]
               : record.FilesWasted;
}

// ---------------------------------------------------------------------------------------------
// Nodes and the tree

TFolderNode::TFolderNode(QString displayName, TFolderNode* parent)
    : displayName_(std::move(displayName)), parent_(parent) {}

TFolderNode::~TFolderNode() = default;

TFolderTree* TFolderNode::Tree() const {
    const TFolderNode* top = DriveRootOf(this);
    return top->tree_;
}

TFolderTree::TFolderTree() = default;

TFolderTree::~TFolderTree() {
    TScannedDrives& drives = ScannedDrives();
    for (int i = 0; i < drives.Count(); ++i) {
        DriveRecord* record = drives.At(i);
        if (!record->Node || record->Node->tree_ != this) continue;
        record->Node = nullptr;
        record->HardLinks.clear();  // its holders go with the nodes
    }
}

void TFolderTree::AddListener(TFolderTreeListener* listener) {
    listeners_.push_back(listener);
}

void TFolderTree::RemoveListener(TFolderTreeListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

TFolderTree* TFolderTree::VisibleTreeOf(const TFolderNode* node) {
    for (; node; node = node->parent_) {
        if (!node->attached_) return nullptr;
        if (!node->parent_) return node->tree_;
    }
    return nullptr;
}

TFolderNode* TFolderTree::AppendDrive(char letter, const QString& displayName) {
    const int row = TopLevelCount();
    for (auto* l : listeners_) l->RowsAboutToBeInserted(nullptr, row, row);
    auto node = std::make_unique<TFolderNode>(displayName, nullptr);
    node->tree_ = this;
    node->driveLetter_ = letter;
    node->row_ = row;
    node->attached_ = true;
    drives_.push_back(std::move(node));
    for (auto* l : listeners_) l->RowsInserted(nullptr, row, row);
    return drives_.back().get();
}

TFolderNode* TFolderTree::AppendChild(TFolderNode* parent, const QString& displayName) {
    std::vector<std::unique_ptr<TFolderNode>> one;
    one.push_back(std::make_unique<TFolderNode>(displayName, parent));
    TFolderNode* child = one.back().get();
    AttachChildren(parent, std::move(one));
    return child;
}

void TFolderTree::AttachChildren(TFolderNode* node,
                                 std::vector<std::unique_ptr<TFolderNode>> children) {
    if (children.empty()) return;
    const int first = node->ChildCount();
    const int last = first + int(children.size()) - 1;
    TFolderTree* tree = VisibleTreeOf(node);
    if (tree)
        for (auto* l : tree->listeners_) l->RowsAboutToBeInserted(node, first, last);
    int row = first;
    for (auto& child : children) {
        child->row_ = row++;
        child->attached_ = true;
    }
    if (node->children_.empty()) {
        node->children_ = std::move(children);
    } else {
        for (auto& child : children) node->children_.push_back(std::move(child));
    }
    if (tree)
        for (auto* l : tree->listeners_) l->RowsInserted(node, first, last);
}

void TFolderTree::DeleteNode(TFolderNode* node) {
    if (TreeBusy()) return;
    TFolderNode* parent = node->parent_;
    TFolderTree* tree = VisibleTreeOf(node);
    const int row = node->row_;
    auto& siblings = parent ? parent->children_ : node->tree_->drives_;
    if (size_t(row) >= siblings.size() || siblings[size_t(row)].get() != node) return;
    ReleaseHardLinkClaims(node, true);
    DriveRecord* drive = parent ? DriveRecordOf(parent) : nullptr;
    if (tree)
        for (auto* l : tree->listeners_) l->RowsAboutToBeRemoved(parent, row, row);
    if (!parent) {
        TScannedDrives& drives = ScannedDrives();
        for (int i = 0; i < drives.Count(); ++i) {
            if (drives.At(i)->Node == node) drives.At(i)->Node = nullptr;
        }
    }
    siblings.erase(siblings.begin() + row);
    for (size_t i = size_t(row); i < siblings.size(); ++i) siblings[i]->row_ = int(i);
    if (tree)
        for (auto* l : tree->listeners_) l->RowsRemoved(parent, row, row);
    if (drive) SettleHardLinkClaims(*drive, true);
}

void TFolderTree::DeleteChildren(TFolderNode* node) {
    if (TreeBusy() || node->children_.empty()) return;
    ReleaseHardLinkClaims(node, false);
    const int last = node->ChildCount() - 1;
    TFolderTree* tree = VisibleTreeOf(node);
    if (tree)
        for (auto* l : tree->listeners_) l->RowsAboutToBeRemoved(node, 0, last);
    node->children_.clear();
    if (tree)
        for (auto* l : tree->listeners_) l->RowsRemoved(node, 0, last);
}

std::unique_ptr<TFolderSize> TFolderTree::SetRecord(TFolderNode* node,
                                                    std::unique_ptr<TFolderSize> record) {
    std::swap(node->record_, record);
    NotifyRecordChanged(node);
    return record;
}

void TFolderTree::NotifyRecordChanged(TFolderNode* node) {
    if (TFolderTree* tree = VisibleTreeOf(node))
        for (auto* l : tree->listeners_) l->RecordChanged(node);
}

// ---------------------------------------------------------------------------------------------
// Paths and lookups

void SortByDisplayName(std::vector<std::unique_ptr<TFolderNode>>& children,
                       const QCollator& collator) {
    // A wide folder's names are each made into a collation key once, not once per comparison.
    constexpr size_t kWide = 32;
    if (children.size() < kWide) {
        std::sort(children.begin(), children.end(), [&collator](const auto& a, const auto& b) {
            return collator.compare(a->DisplayName(), b->DisplayName()) < 0;
        });
        return;
    }
    std::vector<std::pair<QCollatorSortKey, std::unique_ptr<TFolderNode>>> keyed;
    keyed.reserve(children.size());
    for (auto& child : children)
        keyed.emplace_back(collator.sortKey(child->DisplayName()), std::move(child));
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    for (size_t i = 0; i < keyed.size(); ++i) children[i] = std::move(keyed[i].second);
}

QString NodePath(const TFolderNode* node) {
    if (!node) return {};
    std::vector<const TFolderNode*> chain;
    for (; !node->IsTopLevel(); node = node->Parent()) chain.push_back(node);
    QString path = QChar(node->DriveLetter()) + QLatin1String(":\\");
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) path += u'\\';
        path += (*it)->DisplayName();
    }
    return path;
}

bool IsInSubtree(const TFolderNode* node, const TFolderNode* root) {
    for (; node; node = node->Parent()) {
        if (node == root) return true;
    }
    return false;
}

TFolderNode* DriveRootOf(const TFolderNode* node) {
    if (!node) return nullptr;
    while (node->Parent()) node = node->Parent();
    return const_cast<TFolderNode*>(node);
}

namespace {

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

bool NamesEqual(QStringView a, QStringView b, bool caseSensitive) {
    if (caseSensitive) return a == b;
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i].unicode()) != AsciiUpper(b[i].unicode())) return false;
    }
    return true;
}

TFolderNode* FindChild(const TFolderNode* node, QStringView name, bool caseSensitive) {
    for (int i = 0; i < node->ChildCount(); ++i) {
        if (NamesEqual(node->Child(i)->DisplayName(), name, caseSensitive)) return node->Child(i);
    }
    return nullptr;
}

}  // namespace

TFolderNode* FindChildNode(const TFolderNode* node, const QString& name, bool caseSensitive) {
    return node ? FindChild(node, name, caseSensitive) : nullptr;
}

TFolderNode* FindNodeByPath(TFolderNode* start, const QString& relativePath, bool caseSensitive) {
    TFolderNode* node = start;
    QStringView rest = relativePath;
    while (node && !rest.isEmpty()) {
        const qsizetype cut = rest.indexOf(u'\\');
        node = FindChild(node, cut < 0 ? rest : rest.left(cut), caseSensitive);
        rest = cut < 0 ? QStringView() : rest.mid(cut + 1);
    }
    return node;
}

// ---------------------------------------------------------------------------------------------
// Keeping the totals right

void FreeFolderRecords(TFolderNode* node, bool includeNode) {
    if (!node) return;
    for (int i = 0; i < node->ChildCount(); ++i) FreeFolderRecords(node->Child(i), true);
    if (includeNode && node->Record()) TFolderTree::SetRecord(node, nullptr);
}

namespace {

// Recomputes a node's times and attributes from its children with records, passing over one
// child that is about to go.
void RecomputeWithout(TFolderNode* node, const TFolderNode* leaving) {
    TFolderSize* r = node ? node->Record() : nullptr;
    if (!r) return;
    r->LastAccessTime = 0;
    r->LastWriteTime = 0;
    r->Attributes = 0;
    for (int i = 0; i < node->ChildCount(); ++i) {
        const TFolderSize* c = node->Child(i)->Record();
        if (!c || node->Child(i) == leaving) continue;
        r->LastAccessTime = std::max(r->LastAccessTime, c->LastAccessTime);
        r->LastWriteTime = std::max(r->LastWriteTime, c->LastWriteTime);
        r->Attributes |= c->Attributes;
    }
}

}  // namespace

void RecomputeDatesAndAttributes(TFolderNode* node) {
    RecomputeWithout(node, nullptr);
}

namespace {

// Subtracts the subtree totals of d from start and each ancestor with a record, up to the
// first without one; d's TreeWastedAt are the seven reference values. removed, a child of
// start that is about to be deleted, no longer lends start its times and attributes.
void SubtractUpwards(TFolderNode* start, const TFolderSize& d, const TFolderNode* removed) {
    for (TFolderNode* node = start; node && node->Record();
         node = node->Parent(), removed = nullptr) {
        TFolderSize& r = *node->Record();
        r.TreeSize -= d.TreeSize;
        r.TreeOnDisk -= d.TreeOnDisk;
        r.TreeWasted -= d.TreeWasted;
        r.TreeFolderCount -= d.TreeFolderCount;
        r.TreeFileCount -= d.TreeFileCount;
        for (int i = 0; i < kReferenceClusterSizeCount; ++i) r.TreeWastedAt[i] -= d.TreeWastedAt[i];
        RecomputeWithout(node, removed);
        TFolderTree::NotifyRecordChanged(node);
    }
}

// The subtree totals a folder's record holds for its children without a record: what is left
// of them after its own files and its children with records. Never negative.
TFolderSize TotalsOfChildrenWithoutRecord(const TFolderNode* node) {
    const TFolderSize& r = *node->Record();
    TFolderSize d;
    d.TreeSize = r.TreeSize - r.FilesSize;
    d.TreeOnDisk = r.TreeOnDisk - r.FilesOnDisk;
    d.TreeWasted = r.TreeWasted - r.FilesWasted;
    d.TreeFileCount = r.TreeFileCount - r.FileCount;
    d.TreeFolderCount = r.TreeFolderCount - r.SubfolderCount;
    for (int i = 0; i < kReferenceClusterSizeCount; ++i)
        d.TreeWastedAt[i] = r.TreeWastedAt[i] - r.FilesWastedAt[i];
    for (int i = 0; i < node->ChildCount(); ++i) {
        const TFolderSize* c = node->Child(i)->Record();
        if (!c) continue;
        d.TreeSize -= c->TreeSize;
        d.TreeOnDisk -= c->TreeOnDisk;
        d.TreeWasted -= c->TreeWasted;
        d.TreeFileCount -= c->TreeFileCount;
        d.TreeFolderCount -= c->TreeFolderCount;
        for (int k = 0; k < kReferenceClusterSizeCount; ++k)
            d.TreeWastedAt[k] -= c->TreeWastedAt[k];
    }
    d.TreeSize = std::max<int64_t>(d.TreeSize, 0);
    d.TreeOnDisk = std::max<int64_t>(d.TreeOnDisk, 0);
    d.TreeWasted = std::max<int64_t>(d.TreeWasted, 0);
    d.TreeFileCount = std::max(d.TreeFileCount, 0);
    d.TreeFolderCount = std::max(d.TreeFolderCount, 0);
    for (auto& v : d.TreeWastedAt) v = std::max<int64_t>(v, 0);
    return d;
}

}  // namespace

void SubtractFromAncestors(TFolderNode* start, const TFolderNode* removedFolder, int32_t folders,
                           int32_t files, int64_t wasted, int64_t size, int64_t onDisk) {
    if (!start || TreeBusy()) return;
    TFolderSize d;
    d.TreeSize = size;
    d.TreeOnDisk =
        removedFolder && removedFolder->Record() ? removedFolder->Record()->TreeOnDisk : onDisk;
    d.TreeWasted = wasted;
    d.TreeFolderCount = folders;
    d.TreeFileCount = files;
    if (removedFolder) {
        if (const TFolderSize* removed = removedFolder->Record())
            d.TreeWastedAt = removed->TreeWastedAt;
    } else {
        for (int i = 0; i < kReferenceClusterSizeCount; ++i)
            d.TreeWastedAt[i] = Slack(size, ReferenceClusterSizes[i]);
    }
    if (TFolderSize* r = start->Record()) {
        if (removedFolder) {
            r->SubfolderCount -= 1;
        } else {
            r->FileCount -= 1;
            r->FilesSize -= size;
            r->FilesOnDisk -= onDisk;
            r->FilesWasted -= wasted;
            for (int i = 0; i < kReferenceClusterSizeCount; ++i)
                r->FilesWastedAt[i] -= d.TreeWastedAt[i];
        }
    }
    SubtractUpwards(start, d, removedFolder);
}

bool RemoveVanishedFolder(const QString& path, TFolderNode* node) {
    if (!node || TreeBusy() || IsDriveRoot(path) || !platform::PathIsMissing(path)) return false;
    TFolderNode* parent = node->Parent();
    if (const TFolderSize* r = node->Record()) {
        SubtractFromAncestors(parent, node, r->TreeFolderCount + 1, r->TreeFileCount, r->TreeWasted,
                              r->TreeSize);
    } else {
        // The ancestors still count what an interrupted rescan replaced, which no record
        // holds any more: take off all that the nearest recorded ancestor cannot account for.
        TFolderNode* holder = parent;
        while (holder && !holder->Record()) holder = holder->Parent();
        if (holder) {
            TFolderSize d = TotalsOfChildrenWithoutRecord(holder);
            if (holder == parent) {
                d.TreeFolderCount += 1;
                parent->Record()->SubfolderCount -= 1;
            }
            SubtractUpwards(holder, d, node);
        }
    }
    TFolderTree::DeleteNode(node);
    return true;
}

void AddDifferenceUpwards(TFolderNode* start, const TFolderSize& d) {
    for (TFolderNode* node = start; node && node->Record(); node = node->Parent()) {
        TFolderSize& r = *node->Record();
        r.TreeSize += d.TreeSize;
        r.TreeOnDisk += d.TreeOnDisk;
        r.TreeWasted += d.TreeWasted;
        r.TreeFileCount += d.TreeFileCount;
        r.TreeFolderCount += d.TreeFolderCount;
        for (int i = 0; i < kReferenceClusterSizeCount; ++i) r.TreeWastedAt[i] += d.TreeWastedAt[i];
        RecomputeDatesAndAttributes(node);
        TFolderTree::NotifyRecordChanged(node);
    }
}

// ---------------------------------------------------------------------------------------------
// Scanned drives

DriveRecord* TScannedDrives::Add(char letter) {
    records_.push_back(std::make_unique<DriveRecord>());
    records_.back()->Letter = letter;
    return records_.back().get();
}

DriveRecord* TScannedDrives::Find(char letter) const {
    for (const auto& record : records_) {
        if (record->Letter == letter) return record.get();
    }
    return nullptr;
}

void TScannedDrives::Remove(const DriveRecord* record) {
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&](const auto& r) { return r.get() == record; });
    if (it != records_.end()) records_.erase(it);
}

void TScannedDrives::Clear() {
    records_.clear();
}

TScannedDrives& ScannedDrives() {
    static TScannedDrives drives;
    return drives;
}

namespace {

void CollectSubtree(const TFolderNode* node, std::unordered_set<const TFolderNode*>& nodes) {
    nodes.insert(node);
    for (int i = 0; i < node->ChildCount(); ++i) CollectSubtree(node->Child(i), nodes);
}

// Adds a file to a folder's own files and to the subtree totals up from it.
void GiveFile(TFolderNode* holder, const TLinkedFile& linked, int32_t clusterSize) {
    TFolderSize file;
    AddFileTotals(file, linked.Size, linked.OnDisk, clusterSize, linked.LastAccessTime,
                  linked.LastWriteTime, linked.Attributes);
    TFolderSize& own = *holder->Record();
    own.FileCount += file.FileCount;
    own.FilesSize += file.FilesSize;
    own.FilesOnDisk += file.FilesOnDisk;
    own.FilesWasted += file.FilesWasted;
    for (int i = 0; i < kReferenceClusterSizeCount; ++i)
        own.FilesWastedAt[i] += file.FilesWastedAt[i];
    AddOwnFilesToTree(file);
    for (TFolderNode* node = holder; node && node->Record(); node = node->Parent()) {
        AddChildTotals(*node->Record(), file);
        TFolderTree::NotifyRecordChanged(node);
    }
}

}  // namespace

bool ClaimHardLink(THardLinkClaims& claims, const THardLinkKey& key, TFolderNode* holder,
                   const TLinkedFile& file) {
    THardLinkClaim& claim = claims[key];
    if (!claim.Holders.empty() && !claim.Released) {
        claim.Holders.push_back(holder);
        return false;
    }
    claim.File = file;  // as it is now: it may have changed since it was counted
    claim.Holders.insert(claim.Holders.begin(), holder);
    claim.Released = false;
    return true;
}

void ReleaseHardLinkClaims(const TFolderNode* node, bool ownFilesToo) {
    DriveRecord* record = DriveRecordOf(node);
    if (!record || record->HardLinks.empty()) return;
    // The holders are compared, never followed: a set of the subtree's nodes asks no pointer.
    std::unordered_set<const TFolderNode*> leaving;
    CollectSubtree(node, leaving);
    if (!ownFilesToo) leaving.erase(node);
    for (auto& [key, claim] : record->HardLinks) {
        if (!claim.Released && leaving.contains(claim.Holders.front())) claim.Released = true;
        std::erase_if(claim.Holders, [&](const TFolderNode* h) { return leaving.contains(h); });
    }
}

void SettleHardLinkClaims(DriveRecord& drive, bool give) {
    for (auto it = drive.HardLinks.begin(); it != drive.HardLinks.end();) {
        THardLinkClaim& claim = it->second;
        if (!claim.Released) {
            ++it;
            continue;
        }
        const auto heir = std::find_if(claim.Holders.begin(), claim.Holders.end(),
                                       [](const TFolderNode* h) { return h->Record() != nullptr; });
        if (heir == claim.Holders.end()) {
            it = drive.HardLinks.erase(it);
            continue;
        }
        claim.Released = false;
        std::rotate(claim.Holders.begin(), heir, heir + 1);
        if (give) GiveFile(claim.Holders.front(), claim.File, drive.ClusterSize);
        ++it;
    }
}

const TFolderNode* HardLinkCounter(const TFolderNode* node, const THardLinkKey& key) {
    const DriveRecord* record = DriveRecordOf(node);
    if (!record) return nullptr;
    const auto it = record->HardLinks.find(key);
    return it == record->HardLinks.end() || it->second.Released ? nullptr
                                                                : it->second.Holders.front();
}

DriveRecord* DriveRecordOf(const TFolderNode* node) {
    const TFolderNode* top = DriveRootOf(node);
    DriveRecord* record = top ? ScannedDrives().Find(top->DriveLetter()) : nullptr;
    return record && record->Node == top ? record : nullptr;
}

void RemoveDrive(char letter) {
    DriveRecord* record = ScannedDrives().Find(letter);
    if (!record || TreeBusy()) return;
    if (record->Node) TFolderTree::DeleteNode(record->Node);
    ScannedDrives().Remove(record);
}

void AddFileTotals(TFolderSize& r, int64_t size, int64_t onDisk, int32_t clusterSize,
                   FileTime lastAccess, FileTime lastWrite, uint32_t attributes) {
    r.TreeFileCount += 1;
    r.FileCount += 1;
    r.FilesOnDisk += onDisk;
    if (size != 0) {
        r.FilesSize += size;
        r.FilesWasted += Slack(size, clusterSize);
        for (int i = 0; i < kReferenceClusterSizeCount; ++i)
            r.FilesWastedAt[i] += Slack(size, ReferenceClusterSizes[i]);
    }
    r.LastAccessTime = std::max(r.LastAccessTime, lastAccess);
    r.LastWriteTime = std::max(r.LastWriteTime, lastWrite);
    r.Attributes |= attributes;
}

void AddChildTotals(TFolderSize& r, const TFolderSize& c) {
    r.TreeSize += c.TreeSize;
    r.TreeOnDisk += c.TreeOnDisk;
    r.TreeWasted += c.TreeWasted;
    r.TreeFolderCount += c.TreeFolderCount;
    r.TreeFileCount += c.TreeFileCount;
    r.LastAccessTime = std::max(r.LastAccessTime, c.LastAccessTime);
    r.LastWriteTime = std::max(r.LastWriteTime, c.LastWriteTime);
    for (int i = 0; i < kReferenceClusterSizeCount; ++i) r.TreeWastedAt[i] += c.TreeWastedAt[i];
    r.Attributes |= c.Attributes;
}

void AddOwnFilesToTree(TFolderSize& r) {
    r.TreeSize += r.FilesSize;
    r.TreeOnDisk += r.FilesOnDisk;
    r.TreeWasted += r.FilesWasted;
    for (int i = 0; i < kReferenceClusterSizeCount; ++i) r.TreeWastedAt[i] += r.FilesWastedAt[i];
}

}  // namespace engine
