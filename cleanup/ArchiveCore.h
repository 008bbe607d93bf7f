#pragma once
// The two archive actions: a folder compressed into a ZIP archive in a drive's hidden
// "Archives Bin" (with "Move", the folder's files deleted once the archive holds them), and an
// archived folder restored. They work as the file operations of platform/FileOperations.h do:
// on Qt Core, with callbacks for progress and questions, and a result that says what happened;
// the dialog (FormCleanUpCompress.h) fills a request, asks and shows.
//
// What they keep to, whatever happens on the disk meanwhile:
// - The folder, the archives folder and the restore target are pinned (PinnedFolder.h): reached
//   from the drive's root without following a link, and worked in through their descriptors.
// - A folder that is a mount point is refused; a mount point inside one is neither archived nor
//   deleted, and stays with the folders that hold it.
// - Before a "Move" starts, every file must be readable and every folder emptiable: what stands
//   in the way is said before anything is written. The engine deletes a file only once the
//   archive reads back, and only while the file is still what it archived.
// - The register entry is written before the engine may delete a file.
// - A restore writes only the archive's entries below its recorded folder name, into the target
//   folder, never through a link; links come back as the links they were. The archive is
//   deleted afterwards only when every entry reads back from the disk as the central directory
//   records it (so also an archive written as a stream).
// - An engine's failures are gathered into one text, never one box per file.

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "cleanup/ZipEngine.h"

class QWidget;

namespace cleanup {

struct ArchiveCallbacks {
    // Just before the engine starts: the bytes it is to work through.
    std::function<void(int64_t total)> started;
    // The engine's progress, as TZipEngine reports it; false stops the engine at its next step.
    std::function<bool(ProgressType kind, const QString& fileName, int64_t fileSize)> progress;
    // A question; true goes ahead. Unanswered is no.
    std::function<bool(const QString& text)> confirm;
};

struct ArchiveRequest {
    QString folder;      // program path of the folder to archive
    QChar archiveDrive;  // the drive whose "Archives Bin" takes the archive
    QString description;
    int compressionLevel = 9;
    bool subfolders = true;
    bool hiddenFiles = true;
    bool move = true;  // delete what went into the archive
    bool encrypt = false;
    // What the folder counts as using (for the gain): its bytes, with the last clusters when the
    // wasted space is shown (clusterSize, else 0).
    int64_t usedSpace = 0;
    int64_t clusterSize = 0;
    QString engineFolder;      // where the engine libraries are looked for first
    QWidget* owner = nullptr;  // for the engine's own dialogs (the password)
};

struct ArchiveResult {
    // Refused before anything was written: why, for the user.
    QString refusal;
    bool archived = false;  // an archive was written, read back and registered
    QString archive;        // its program path
    int64_t archiveSize = 0;
    // Some of the folder's files were deleted (with "Move"): the tree must take it into account.
    bool sourcesTouched = false;
    // With "Move": the space the deleted files took, and the gain (that less the archive's size;
    // negative when the archive takes more).
    int64_t freed = 0;
    int64_t gained = 0;
    // What did not go as asked, one text for the user; empty when all went well.
    QString problems;
};

ArchiveResult ArchiveFolder(const ArchiveRequest& request, const ArchiveCallbacks& callbacks);

struct RestoreRequest {
    QChar drive;     // whose archives register
    QString key;     // the archive's register key
    QString target;  // program path of the folder the archived folder is restored into
    bool deleteArchive = false;
    QString engineFolder;
    QWidget* owner = nullptr;
};

struct RestoreResult {
    bool declined = false;  // the user said no; nothing was written
    QString refusal;        // nothing was written: why
    bool restored = false;  // every entry came back whole
    QString restoredPath;   // program path of the restored folder
    QString archive;        // program path of the archive
    bool archiveDeleted = false;
    QString problems;  // what did not come back, or could not be deleted; empty when all did
};

RestoreResult RestoreArchive(const RestoreRequest& request, const ArchiveCallbacks& callbacks);

// Deletes an archive of a drive and its register values. Only a file named as the program names
// its archives is ever deleted; false with why otherwise or when it cannot be.
bool DeleteArchive(QChar drive, const QString& key, QString& why);

}  // namespace cleanup
