#pragma once
// The shell's file operations: delete, move to the Trash, move. They do the shell's duties:
// confirm first, show progress on long work with a way to cancel, report what failed.
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
// every entry it matches.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QWidget;

namespace platform {

struct FileOperationProgress {
    QString item;  // program path of the entry being worked on
    int doneEntries = 0;
    int totalEntries = 0;  // 0 while unknown
    int64_t doneBytes = 0;
    int64_t totalBytes = 0;
};

struct FileOperationCallbacks {
    // Called as the work goes on; answering false cancels what is left. Empty: the operation
    // shows its own cancellable progress dialog over its owner when the work takes long.
    std::function<bool(const FileOperationProgress&)> progress;
};

enum FileOperationFlag : unsigned {
    NoConfirmation = 0x1,  // ask nothing before starting; a move replaces what it meets
    NoErrorUi = 0x2,       // failures only in the result, no message box
};

enum class FileOperationStatus {
    Done,       // every item was done
    Declined,   // the user said no before anything was touched
    Cancelled,  // stopped during the work; items not reached are untouched
    Failed,     // at least one item was not (wholly) done
};

struct FileOperationResult {
    FileOperationStatus status = FileOperationStatus::Done;
    QStringList failed;  // program paths of the items not (wholly) done
    QString errorText;   // the first failure, with the system's words
    bool ok() const { return status == FileOperationStatus::Done; }
};

// The entries a path stands for: with wildcards in its name part, the matching entries (any
// attributes) in listing order; otherwise the path itself when something exists there.
QStringList ExpandWildcards(const QString& path);

// Deletes files and folders with all their contents, permanently. Confirmation: "Are you sure
// you want to permanently delete ...?", No being the default answer.
FileOperationResult DeleteItems(QWidget* owner, const QStringList& paths, unsigned flags = 0,
                                const FileOperationCallbacks& callbacks = {});

// Moves files and folders to the Trash. Confirmation: "Are you sure you want to move ... to the
// Trash?". An item no trash can take is deleted only when the user says yes to that.
FileOperationResult RecycleItems(QWidget* owner, const QStringList& paths, unsigned flags = 0,
                                 const FileOperationCallbacks& callbacks = {});

// Moves files and folders into targetFolder under their own names; the folder is created
// (after asking, unless NoConfirmation) when missing. A folder meeting a folder of its name
// is merged into it; a file meeting a file asks before replacing it. Within one file system
// an item is renamed; across file systems it is copied, read back, and only then removed.
FileOperationResult MoveItems(QWidget* owner, const QStringList& paths, const QString& targetFolder,
                              unsigned flags = 0, const FileOperationCallbacks& callbacks = {});

// Moves a folder so that it stands at target: its entries go into target, then the emptied
// source folder is removed (a source that is not empty stays, and is reported).
FileOperationResult MoveFolder(QWidget* owner, const QString& source, const QString& target,
                               unsigned flags = 0, const FileOperationCallbacks& callbacks = {});

// The folder holding the home trash ($XDG_DATA_HOME/Trash, or ~/.local/share/Trash when that
// variable is unset or relative); empty when neither gives an absolute path.
QString HomeTrashFolder();

}  // namespace platform
