#pragma once
// The shell's file operations: delete, move to the Trash, move. They do the shell's duties
// through callbacks, so that they run without a window: the question before the work, progress
// with a way to cancel, the failures for the user (controls/FileOperationDialogs answers them
// with dialogs).
//
// Safety rules every operation keeps:
// - symbolic links are never followed: a link is removed, trashed or moved as the link itself;
// - a folder on which another file system is mounted is never entered, and a drive root is
//   never acted on;
// - a move never removes a source before its copy is complete and read back identical;
// - the Trash follows the freedesktop.org Trash standard (the home trash under
//   $XDG_DATA_HOME, which is created first and only used when it is an absolute path, or the
//   trash of the item's own file system); where no trash can take an item the user is told so
//   and asked before it is deleted instead.
//
// Paths are program paths ("C:\dir\name"); a path whose name part holds '*' or '?' stands for
// every entry it matches. Captions are the application's name unless an operation names its own.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace platform {

struct FileOperationProgress {
    QString item;  // program path of the entry being worked on
    int doneEntries = 0;
    int totalEntries = 0;  // 0 while unknown
    int64_t doneBytes = 0;
    int64_t totalBytes = 0;
};

// The answer to "... already exists. Do you want to replace it?".
enum class ReplaceAnswer {
    Replace,
    Keep,    // this file stays where it is, the move goes on
    Cancel,  // the file stays and the operation stops
};

// How an operation talks to the user. A callback left empty gets the safe answer: no
// confirmation is a no, no answer about replacing keeps the file, no answer about deleting
// instead of trashing keeps the item, and without a progress callback the event loop is pumped
// now and then and the work cannot be cancelled.
struct FileOperationCallbacks {
    // Called as the work goes on; answering false cancels what is left. While the totals are
    // still being added up they read 0.
    std::function<bool(const FileOperationProgress&)> progress;
    // The question before the work starts ("Are you sure ...?", "The folder ... does not exist.
    // Do you want to create it?"); true goes ahead. Not asked with NoConfirmation.
    std::function<bool(const QString& caption, const QString& text, bool yesIsDefault)> confirm;
    // A file moved onto a file of its name; Keep is the default answer. Not asked with
    // NoConfirmation, which replaces.
    std::function<ReplaceAnswer(const QString& caption, const QString& text)> replace;
    // No trash can take an item (the text says why and asks "Do you want to delete it
    // permanently?"); true deletes it. Asked even with NoConfirmation: nothing could bring the
    // item back.
    std::function<bool(const QString& caption, const QString& text)> deleteInstead;
    // What failed, once, when the operation ends with failures: each item that remains with the
    // system's words (the first ten); never with NoErrorUi.
    std::function<void(const QString& caption, const QString& text)> error;
    // A folder move cancelled after some items were moved: where what was moved is now and where
    // the rest remains. Never with NoErrorUi.
    std::function<void(const QString& caption, const QString& text)> notice;
};

enum FileOperationFlag : unsigned {
    NoConfirmation = 0x1,  // ask nothing before starting; a move replaces what it meets
    NoErrorUi = 0x2,       // failures only in the result, not through the error callback
};

enum class FileOperationStatus {
    Done,       // every item was done
    Declined,   // the user said no before anything was touched
    Cancelled,  // stopped during the work; items not reached are untouched
    Failed,     // at least one item was not (wholly) done
};

struct FileOperationResult {
    FileOperationStatus status = FileOperationStatus::Done;
    QStringList failed;    // program paths of the items not (wholly) done
    QStringList failures;  // for each of them, in that order: "path": the system's words
    QString errorText;     // the first failure, with the system's words
    int moved = 0;         // a move: the entries that reached the target (merged folders' each)
    bool ok() const { return status == FileOperationStatus::Done; }
};

// The entries a path stands for: with wildcards in its name part, the matching entries (any
// attributes) in listing order; otherwise the path itself when something exists there.
QStringList ExpandWildcards(const QString& path);

// Deletes files and folders with all their contents, permanently. Confirmation (caption
// "Delete"): "Are you sure you want to permanently delete ...?", No being the default answer.
FileOperationResult DeleteItems(const QStringList& paths, unsigned flags,
                                const FileOperationCallbacks& callbacks);

// Moves files and folders to the Trash. Confirmation (caption "Move to Trash"): "Are you sure
// you want to move ... to the Trash?". An item no trash can take is deleted only when
// deleteInstead says yes.
FileOperationResult RecycleItems(const QStringList& paths, unsigned flags,
                                 const FileOperationCallbacks& callbacks);

// Moves files and folders into targetFolder under their own names; the folder is created
// (after asking, unless NoConfirmation) when missing. A folder meeting a folder of its name
// is merged into it; a file meeting a file asks before replacing it. Within one file system
// an item is renamed; across file systems it is copied, read back, and only then removed.
// An item that crosses file systems moves whole or not at all: before anything of it is
// copied, every file must be readable, every folder emptiable, and every name and size fit
// the target (a FAT drive takes no file of 4 GiB or more and no name with \ : * ? " < > |);
// a copy that fails part-way is removed again. Such an item stays where it was, and the
// failure names it with the entry that stopped it.
FileOperationResult MoveItems(const QStringList& paths, const QString& targetFolder, unsigned flags,
                              const FileOperationCallbacks& callbacks);

// Moves a folder so that it stands at target: its entries go into target as MoveItems moves
// them, then the emptied source folder is removed. A target that is the folder itself or lies
// inside it (also through links or another spelling) is refused before anything is touched.
// When items remain, the failure lists them as remaining in the source and says where the rest
// went; a cancel after some items were moved says the same through the notice.
FileOperationResult MoveFolder(const QString& source, const QString& target, unsigned flags,
                               const FileOperationCallbacks& callbacks);

}  // namespace platform
