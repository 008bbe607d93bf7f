#pragma once
// Scans that travel: the JSON export format of ncdu (format 1.0 to 1.2), read into the folder
// tree as a drive of its own and written from a walk of a folder on disk.
//
// An imported drive is a picture of another machine's disk: its letter maps to no host folder,
// so nothing ever reads or changes a path the export names, and its folders cannot be rescanned
// or cleaned up. Files are not kept, as after a scan: each folder gets its record from the
// apparent sizes of its files, with the wasted space at the import's cluster size and at the
// seven reference sizes.

#include <QString>
#include <cstdint>

#include "engine/FolderTree.h"
#include "engine/Scanner.h"

class QIODevice;

namespace platform {
class ByteInput;
}

namespace engine {

// Where an imported tree came from, and how whole it is.
struct TImportFacts {
    QString RootPath;  // the exported folder, as the export names it
    QString Program;   // the program and version that wrote the export
    QString ProgramVersion;
    FileTime Created = 0;  // when it was written; 0 when the export does not say
    int32_t ClusterSize = kDefaultImportClusterSize;
    bool Complete = true;
    QString Problem;         // why the tree is incomplete
    int64_t ReadErrors = 0;  // entries the exporting program could not read
    int64_t Excluded = 0;    // entries it left out (other file systems, patterns)

    static constexpr int32_t kDefaultImportClusterSize = 4096;
};

// The letter an import gets: the first from Z down that is neither a drive of the map nor in
// the tree; 0 when none is left.
char FreeImportLetter();

// Reads an export into a new top-level node of tree under letter and fills record (node, text,
// cluster size, the facts). Damaged input gives the tree as far as it could be read, marked
// incomplete; input with nothing usable gives nullptr and no node. error says what went wrong
// in either case. Hard-linked files are counted once when the session says so. The scan host is
// told the progress and may stop the reading (StopRequested).
TFolderNode* ImportNcdu(TFolderTree& tree, DriveRecord& record, char letter,
                        platform::ByteInput& input, int32_t clusterSize, QString& error,
                        const TScanSession& session);

// Why nothing that reads or changes the disk works on an imported drive.
inline const QString kImportedDriveNote = QStringLiteral(
    "This drive is a scan imported from an ncdu export: it shows another disk as it was, so it "
    "cannot be scanned again, opened or changed from here.");

// The facts of an imported drive, nullptr for a drive scanned from disk; by a node or by a
// program path.
const TImportFacts* ImportFactsOf(const TFolderNode* node);
const TImportFacts* ImportFactsOf(const QString& path);

// One sentence (or two) on where an imported tree came from, for pages and reports.
QString ImportDescription(const TImportFacts& facts);

// The drive's name as the tree shows it, and the entry of a folder, for a path of an imported
// drive: what the shell would tell of a folder on disk.
QString ImportedDriveName(const QString& path);
TEntryFacts ImportedEntryFacts(const QString& path);

// Writes the folder at path (a program path) and everything below it to out in format 1.2, as
// a walk of the disk finds it now. False with error when the folder cannot be read or writing
// fails; a stop (StopRequested) also ends it with false.
bool ExportNcdu(const QString& path, QIODevice& out, QString& error);

}  // namespace engine
