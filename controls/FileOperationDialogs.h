#pragma once
// The file operations of platform/FileOperations.h with the program's dialogs: every question
// and failure in a message box over the owner (through desktop::ShowMessage, so tests can
// answer them), and a progress dialog with Cancel over the owner once the work takes long. On
// the offscreen platform no progress dialog is shown; the event loop is pumped instead.

#include <QString>
#include <QStringList>
#include <memory>

#include "platform/FileOperations.h"

class QWidget;

// Callbacks answered with dialogs over owner, for one operation. A callback the caller gives in
// `given` is used as it is: a progress callback there takes the place of the progress dialog.
// progressLabel is the dialog's text until the first item shows ("Deleting..."). The object
// must outlive the operation it serves.
class FileOperationDialogs {
public:
    FileOperationDialogs(QWidget* owner, const QString& progressLabel,
                         const platform::FileOperationCallbacks& given = {});
    ~FileOperationDialogs();
    FileOperationDialogs(const FileOperationDialogs&) = delete;
    FileOperationDialogs& operator=(const FileOperationDialogs&) = delete;

    const platform::FileOperationCallbacks& callbacks() const { return callbacks_; }

private:
    class ProgressBox;
    std::unique_ptr<ProgressBox> progressBox_;
    platform::FileOperationCallbacks callbacks_;
};

// The operations of platform/FileOperations.h, asking and reporting through these dialogs.
platform::FileOperationResult DeleteItems(QWidget* owner, const QStringList& paths,
                                          unsigned flags = 0,
                                          const platform::FileOperationCallbacks& callbacks = {});
platform::FileOperationResult RecycleItems(QWidget* owner, const QStringList& paths,
                                           unsigned flags = 0,
                                           const platform::FileOperationCallbacks& callbacks = {});
platform::FileOperationResult MoveItems(QWidget* owner, const QStringList& paths,
                                        const QString& targetFolder, unsigned flags = 0,
                                        const platform::FileOperationCallbacks& callbacks = {});
platform::FileOperationResult MoveFolder(QWidget* owner, const QString& source,
                                         const QString& target, unsigned flags = 0,
                                         const platform::FileOperationCallbacks& callbacks = {});
