#include "engine/Scanner.h"

#include <QScopeGuard>

#include <QCollator>
#include <QStringBuilder>
#include <algorithm>
#include <chrono>

#include "engine/FileStore.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HostNames.h"

namespace engine {

bool StopRequested = false;
int32_t ScanClusterSize = -1;

namespace {

class TSilentHost : public IScanHost {
public:
    void ShowScanStatus(const QString&) override {}
    void ProcessPendingEvents() override {}
    void SetScanning(bool) override {}
    void FolderScanned(TFolderNode*) override {}
};

IScanHost* scanHost = nullptr;

IScanHost& Host() {
    return CurrentScanHost();
}

// The user interface gets control between folders, but not more often than this: reading a
// small folder takes microseconds, handling the window's events far longer.
constexpr auto kPumpInterval = std::chrono::milliseconds(10);

// One scan operation: what stays the same for all its folders.
class TWalk {
public:
    explicit TWalk(const QString& path) : clusterSize_(ScanClusterSize), host_(Host()) {
        VolumeInfo volume;
        GetVolumeFacts(path.left(3), volume);
        namesCaseSensitive_ = volume.flags & platform::FILE_CASE_SENSITIVE_SEARCH;
        collator_.setCaseSensitivity(Qt::CaseSensitive);
        if (DriveRecord* drive = ScannedDrives().Find(char(path[0].toUpper().unicode()))) {
            if (drive->LinksCountedOnce) claims_ = &drive->HardLinks;
            store_ = drive->Files.get();
        }
    }

    // Scans the folder that reader has open (or failed to open: then it is empty).
    TFolderSize* Scan(const QString& path, TFolderNode* node, platform::FolderReader& reader);

private:
    void Pump(const QString& path);
    QString DisplayNameOf(const QString& name) const {
        // Most volumes tell names apart by case: no need to ask about short names there.
        return namesCaseSensitive_
                   ? name
                   : FolderDisplayName(name, platform::HasShortAlternateName(name), false);
    }
    // Counts a file directly in the folder; false when another folder counts it.
    bool CountFile(TFolderSize& r, const platform::FolderEntry& file, TFolderNode* node);
    // The files of the folder at a depth wait in their buffer until the folder is finished, so
    // that a folder's files lie together in the store.
    void ClearFilesAt(size_t depth) {
        if (depth >= files_.size()) files_.resize(depth + 1);
        files_[depth].clear();
    }

    int32_t clusterSize_;
    THardLinkClaims* claims_ = nullptr;
    TFileStore* store_ = nullptr;
    std::vector<std::vector<TStoredFile>> files_;
    size_t depth_ = 0;
    bool namesCaseSensitive_ = true;
    IScanHost& host_;
    QCollator collator_;
    std::chrono::steady_clock::time_point lastPump_{};
};

void TWalk::Pump(const QString& path) {
    if (std::chrono::steady_clock::now() - lastPump_ < kPumpInterval) return;
    host_.ShowScanStatus(path);
    host_.ProcessPendingEvents();
    lastPump_ = std::chrono::steady_clock::now();
}

bool TWalk::CountFile(TFolderSize& r, const platform::FolderEntry& file, TFolderNode* node) {
    if (claims_ && file.linkCount > 1 &&
        !ClaimHardLink(
            *claims_, {file.device, file.fileId}, node,
            {file.size, file.allocated, file.lastAccessTime, file.lastWriteTime, file.attributes}))
        return false;  // counted where the scan met it first
    AddFileTotals(r, file.size, file.allocated, clusterSize_, file.lastAccessTime,
                  file.lastWriteTime, file.attributes);
    return true;
}

TFolderSize* TWalk::Scan(const QString& path, TFolderNode* node, platform::FolderReader& reader) {
    Pump(path);
    auto r = std::make_unique<TFolderSize>();
    // The children wait here, invisible to the views, until they can be shown sorted.
    std::vector<std::unique_ptr<TFolderNode>> children;
    const size_t depth = depth_++;
    const auto up = qScopeGuard([this] { --depth_; });
    if (store_) ClearFilesAt(depth);
    while (!StopRequested && reader.Next()) {
        const platform::FolderEntry& entry = reader.entry();
        if (!reader.entryIsFolder()) {
            // The buffers of deeper folders come and go: this depth's is found again each time.
            if (CountFile(*r, entry, node) && store_)
                files_[depth].push_back(store_->Make(reader.entryHostBytes(), entry.size,
                                                     entry.allocated, entry.lastWriteTime,
                                                     entry.lastAccessTime, entry.attributes));
            continue;
        }
        children.push_back(std::make_unique<TFolderNode>(DisplayNameOf(reader.entryName()), node));
        TFolderNode* child = children.back().get();
        r->TreeFolderCount += 1;
        r->SubfolderCount += 1;
        platform::FolderReader sub;
        sub.OpenEntryOf(reader);
        const TFolderSize* c = Scan(path % child->DisplayName() % u'\\', child, sub);
        if (!c) break;
        AddChildTotals(*r, *c);
    }
    const bool stopped = StopRequested;
    reader.Close();

    SortByDisplayName(children, collator_);
    TFolderTree::AttachChildren(node, std::move(children));

    AddOwnFilesToTree(*r);
    if (store_ && !stopped) {
        r->FirstFile = store_->Commit(files_[depth]);
        r->StoredFiles = uint32_t(files_[depth].size());
    }
    if (!stopped) TFolderTree::SetRecord(node, std::move(r));
    host_.FolderScanned(node);
    return stopped ? nullptr : node->Record();
}

}  // namespace

void SetScanHost(IScanHost* host) {
    scanHost = host;
}

IScanHost& CurrentScanHost() {
    static TSilentHost silent;
    return scanHost ? *scanHost : silent;
}

TEntryFacts LookUpEntry(const QString& path) {
    platform::FindHandle find;
    platform::FindData data;
    if (IsDriveRoot(path) || !find.FindFirst(RemoveBackslash(path), data)) return {};
    return {true, data.attributes, data.creationTime, data.shortName};
}

TCountedFiles ListCountedFiles(const TFolderNode& node) {
    TCountedFiles counted;
    const TFolderSize* record = node.Record();
    const DriveRecord* drive = DriveRecordOf(&node);
    if (!record || (drive && drive->Import)) return counted;
    platform::FolderReader reader;
    if (!reader.Open(NodePath(&node), nullptr, platform::FolderReader::Listed::FilesOnly))
        return counted;
    int64_t bytes = 0;
    while (reader.Next()) {
        const platform::FolderEntry& file = reader.entry();
        if (reader.entryIsFolder()) continue;
        if (file.linkCount > 1 && drive && drive->LinksCountedOnce) {
            const TFolderNode* counter = HardLinkCounter(&node, {file.device, file.fileId});
            if (counter && counter != &node) continue;
        }
        counted.Files.push_back({reader.entryName(), file.size, file.allocated});
        bytes += file.size;
    }
    counted.MatchRecord = reader.error() == platform::FindError::NoMoreFiles &&
                          int64_t(counted.Files.size()) == record->FileCount &&
                          bytes == record->FilesSize;
    return counted;
}

namespace {

void CountInto(platform::FolderReader& reader, TFolderContents& contents,
               const std::function<bool()>& keepGoing) {
    if (!contents.Complete) return;
    contents.Complete = keepGoing();
    if (!contents.Complete) return;
    while (reader.Next()) {
        if (!reader.entryIsFolder()) {
            contents.Files += 1;
            contents.Bytes += reader.entry().size;
            continue;
        }
        contents.Folders += 1;
        platform::FolderReader sub;
        sub.OpenEntryOf(reader);
        CountInto(sub, contents, keepGoing);
        if (!contents.Complete) return;
    }
}

}  // namespace

TFolderContents CountFolderContents(const QString& path, const std::function<bool()>& keepGoing) {
    TFolderContents contents;
    platform::FolderReadAhead ahead;
    platform::FolderReader reader;
    reader.Open(path, &ahead);
    CountInto(reader, contents, keepGoing);
    return contents;
}

QString FolderDisplayName(const QString& longName, bool hasShortName, bool namesCaseSensitive) {
    // On a volume that tells names apart by case, another spelling names another folder.
    if (namesCaseSensitive || hasShortName || longName.isEmpty()) return longName;
    QString name = longName;
    for (QChar& c : name) {
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    }
    if (name[0] >= u'a' && name[0] <= u'z') name[0] = QChar(name[0].unicode() - 32);
    return name;
}

TFolderSize* ScanFolder(const QString& path, TFolderNode* node) {
    TWalk walk(path);
    // Declared before the readers, which must go first: its workers end with the scan.
    platform::FolderReadAhead ahead;
    platform::FolderReader reader;
    reader.Open(path, &ahead);
    return walk.Scan(path, node, reader);
}

namespace {

// The drive's top node, appended to the tree, and its record made ready for the walk.
TFolderNode* AppendScannedDrive(TFolderTree& tree, const QString& driveText,
                                DriveRecord& driveRecord, const TScanSession& session) {
    const char letter = char(driveText[0].toUpper().unicode());
    TFolderNode* node = tree.AppendDrive(letter, driveText.mid(1, 255));
    driveRecord.Node = node;
    driveRecord.DriveText = driveText;
    driveRecord.LinksCountedOnce = session.CountHardLinksOnce;
    driveRecord.HardLinks.clear();
    driveRecord.Files = session.KeepFileDetails ? std::make_shared<TFileStore>() : nullptr;
    driveRecord.ClusterSize = ClusterSize(QChar(letter) + QLatin1String(":\\"));
    ScanClusterSize = driveRecord.ClusterSize;
    return node;
}

}  // namespace

TFolderNode* ScanDrive(TFolderTree& tree, const QString& driveText, DriveRecord& driveRecord,
                       const TScanSession& session) {
    if (TreeBusy() || driveText.isEmpty()) return nullptr;
    StopRequested = false;
    TScanningState scanning(Host());
    const TTreeBusy walking;
    TFolderNode* node = AppendScannedDrive(tree, driveText, driveRecord, session);
    ScanFolder(NodePath(node), node);
    return node;
}

TFolderNode* ScanDriveFolder(TFolderTree& tree, const QString& driveText, DriveRecord& driveRecord,
                             const QString& path, const TScanSession& session) {
    const uint32_t attributes = platform::GetFileAttributes(RemoveBackslash(path));
    if (TreeBusy() || driveText.isEmpty() || attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    StopRequested = false;
    TScanningState scanning(Host());
    const TTreeBusy walking;
    TFolderNode* node = AppendScannedDrive(tree, driveText, driveRecord, session);
    const QString root = NodePath(node);
    // The names on the way as the host spells them, shown as a scan would show them.
    VolumeInfo volume;
    GetVolumeFacts(root, volume);
    const bool caseSensitive = volume.flags & platform::FILE_CASE_SENSITIVE_SEARCH;
    const QString host = platform::ToHostPath(path);
    const QString hostRoot = platform::ToHostPath(root);
    for (const QString& name : host.mid(hostRoot.size()).split(u'/', Qt::SkipEmptyParts)) {
        const QString programName = platform::ProgramNameOf(name);
        node = tree.AppendChild(
            node, caseSensitive
                      ? programName
                      : FolderDisplayName(programName, platform::HasShortAlternateName(programName),
                                          false));
    }
    ScanFolder(AddBackslash(NodePath(node)), node);
    return node;
}

void RescanFolder(const QString& path, TFolderNode* node) {
    if (TreeBusy()) return;
    StopRequested = false;
    if (!node || RemoveVanishedFolder(path, node)) return;
    ReleaseHardLinkClaims(node, true);
    TFolderTree::DeleteChildren(node);
    const std::unique_ptr<TFolderSize> old = TFolderTree::SetRecord(node, nullptr);

    const TFolderNode* top = DriveRootOf(node);
    DriveRecord* drive = ScannedDrives().Find(top->DriveLetter());
    ScanClusterSize =
        drive ? drive->ClusterSize : ClusterSize(QChar(top->DriveLetter()) + QLatin1String(":\\"));
    const TFolderSize* fresh = [&] {
        const TTreeBusy walking;
        return ScanFolder(AddBackslash(path), node);
    }();
    // What the rescan did not meet again goes to the other folders holding it.
    if (drive && drive->Node == top) SettleHardLinkClaims(*drive, fresh != nullptr);
    // The files of the folders that went stay in the store until they outnumber the rest.
    if (drive && drive->Files && drive->Files->Count() > 65536 &&
        drive->Files->Count() > 2 * TFileStore::NamedBy(drive->Node))
        drive->Files->Compact(drive->Node);
    if (!old || !fresh) return;

    TFolderSize d;
    d.TreeSize = fresh->TreeSize - old->TreeSize;
    d.TreeOnDisk = fresh->TreeOnDisk - old->TreeOnDisk;
    d.TreeWasted = fresh->TreeWasted - old->TreeWasted;
    d.TreeFileCount = fresh->TreeFileCount - old->TreeFileCount;
    d.TreeFolderCount = fresh->TreeFolderCount - old->TreeFolderCount;
    for (int i = 0; i < kReferenceClusterSizeCount; ++i)
        d.TreeWastedAt[i] = fresh->TreeWastedAt[i] - old->TreeWastedAt[i];
    AddDifferenceUpwards(node->Parent(), d);
}

}  // namespace engine
