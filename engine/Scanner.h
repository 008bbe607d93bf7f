#pragma once
// The scanner: walks a drive or a folder depth-first on the main thread, makes a node for every
// folder it meets and gives each folder whose whole subtree it finished a record with its
// totals. Between folders it lets the user interface run, so the Stop command can set
// StopRequested, which ends the walk at the next directory entry.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/FolderTree.h"

namespace engine {

// What the scanner needs from the main window.
class IScanHost {
public:
    virtual ~IScanHost() = default;
    // Shows the folder being read in the first status-bar field.
    virtual void ShowScanStatus(const QString& text) = 0;
    // Lets the user interface handle its pending events.
    virtual void ProcessPendingEvents() = 0;
    // Enters or leaves the scanning state.
    virtual void SetScanning(bool on) = 0;
    // A folder's walk ended (finished or stopped); refresh the views when it is the one shown.
    virtual void FolderScanned(TFolderNode* node) = 0;
};

// The host every scan reports to; nullptr (the start) stands for one that does nothing.
void SetScanHost(IScanHost* host);
// The host set, or one that does nothing.
IScanHost& CurrentScanHost();

// The host's scanning state for the lifetime of the object, however the work ends.
class TScanningState {
public:
    explicit TScanningState(IScanHost& host) : host_(host) { host_.SetScanning(true); }
    ~TScanningState() { host_.SetScanning(false); }
    TScanningState(const TScanningState&) = delete;
    TScanningState& operator=(const TScanningState&) = delete;

private:
    IScanHost& host_;
};

// Set by the Stop command; cleared when a drive scan or a folder rescan begins.
extern bool StopRequested;
// The cluster size of the drive being scanned, -1 when unknown.
extern int32_t ScanClusterSize;
// What a drive's scan or import is asked to do, as the options said when it began; its rescans
// follow what the drive's record kept of it.
struct TScanSession {
    // A file with several names is counted in the first folder the scan meets it in, and not
    // again (the drive's record keeps the claims). Off: counted under every name.
    bool CountHardLinksOnce = false;
    // Every file's name, length, space on disk, dates and type kept in the drive's file store.
    bool KeepFileDetails = true;
};

// Scans the folder at path (ending in "\") into node, which is in the tree without children
// and without record, at ScanClusterSize. Returns node's new record, or nullptr when the walk
// was stopped. A folder that cannot be listed counts as empty.
TFolderSize* ScanFolder(const QString& path, TFolderNode* node);

// Scans a whole drive into a new top-level node of tree. Does nothing (nullptr) while another
// scan runs (TreeBusy). driveText is the letter followed by
// the drive's display name; driveRecord (made by the caller) gets the node, the text and the
// cluster size. The host is in its scanning state throughout, also when this throws.
TFolderNode* ScanDrive(TFolderTree& tree, const QString& driveText, DriveRecord& driveRecord,
                       const TScanSession& session);

// Scans one folder of a drive that is not in the tree, as a report of that folder needs it: the
// drive's top-level node and the folders on the way down are made without records (as after an
// interrupted scan) and only the folder is walked. Returns its node; nullptr (and nothing made)
// when no folder is at path or while another scan runs. path is a program path below the root.
TFolderNode* ScanDriveFolder(TFolderTree& tree, const QString& driveText, DriveRecord& driveRecord,
                             const QString& path, const TScanSession& session);

// Replaces the subtree of a folder already in the tree (path is its NodePath, with or without
// a final "\") by a fresh scan and corrects its ancestors; removes it when it is gone. A
// stopped rescan leaves the node without record and its ancestors as they were. Does nothing
// while another scan runs.
void RescanFolder(const QString& path, TFolderNode* node);

// One file directly in a folder: its name as the program writes it and its length.
struct TFolderFile {
    QString Name;
    int64_t Size = 0;
    int64_t OnDisk = 0;
};

// The files a folder's record counts, as the disk lists them now, in listing order: a
// hard-linked file that another folder counts is left out. MatchRecord is false when they do
// not add up to the record (an imported folder, one changed since its scan or that cannot be
// listed): the record's own figures are then all there is.
struct TCountedFiles {
    std::vector<TFolderFile> Files;
    bool MatchRecord = false;
};
TCountedFiles ListCountedFiles(const TFolderNode& node);

// What lies below a folder, counted by the scan's rules (a link is a file of its own length,
// another drive or mount point is empty): the bytes and files of the whole subtree and its
// folders, itself not counted.
struct TFolderContents {
    int64_t Bytes = 0;
    int64_t Files = 0;
    int64_t Folders = 0;
    bool Complete = true;  // false when keepGoing stopped the count
};

// Counts a folder without a tree. keepGoing is asked before each folder is read (it may let the
// user interface run); when it answers false the count stops with what it has.
TFolderContents CountFolderContents(const QString& path, const std::function<bool()>& keepGoing);

// The directory entry of a file or folder itself, as its parent folder lists it. A drive root
// has none (Found is false).
struct TEntryFacts {
    bool Found = false;
    uint32_t Attributes = 0;
    FileTime CreationTime = 0;  // 0 when the file system keeps none
    QString ShortName;          // empty when the name fits the 8.3 form
};
TEntryFacts LookUpEntry(const QString& path);

// The name a folder is shown under: as stored, except that on volumes whose names are not
// case-sensitive a name without a short alternate name is written in lower case with a capital
// first letter (ASCII letters only).
QString FolderDisplayName(const QString& longName, bool hasShortName, bool namesCaseSensitive);

}  // namespace engine
