#include "controls/FileOperationDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <algorithm>
#include <cstdint>

#include "desktop/MessageBox.h"

using platform::FileOperationCallbacks;
using platform::FileOperationProgress;
using platform::FileOperationResult;

// The progress dialog of one operation, made on its first step; none on the offscreen platform.
class FileOperationDialogs::ProgressBox {
public:
    ProgressBox(QWidget* owner, const QString& label) : owner_(owner), label_(label) {
        clock_.start();
    }

    // Hears every step; the dialog and the event pump are fed at most every 40 ms. False once
    // the user has cancelled.
    bool Update(const FileOperationProgress& now) {
        if (cancelled_) return false;
        if (clock_.elapsed() - last_ < 40) return true;
        last_ = clock_.elapsed();
        if (!dialog_ && !desktop::IsOffscreen()) Open();
        if (dialog_) {
            dialog_->setLabelText(now.item);
            dialog_->setValue(Permille(now));
            if (dialog_->wasCanceled()) cancelled_ = true;
        } else {
            QCoreApplication::processEvents();
        }
        return !cancelled_;
    }

    void Close() {
        if (dialog_) dialog_->reset();
    }

private:
    void Open() {
        dialog_ =
            std::make_unique<QProgressDialog>(label_, QStringLiteral("Cancel"), 0, 1000, owner_);
        dialog_->setWindowTitle(QCoreApplication::applicationName());
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(800);
        dialog_->setAutoReset(false);
        dialog_->setValue(0);
    }

    // While the totals are being added up (they read 0) the bar stays where it is.
    int Permille(const FileOperationProgress& now) const {
        if (now.totalBytes > 0)
            return static_cast<int>(std::min<int64_t>(1000, now.doneBytes * 1000 / now.totalBytes));
        if (now.totalEntries > 0) return std::min(1000, now.doneEntries * 1000 / now.totalEntries);
        return std::max(0, dialog_->value());
    }

    QWidget* owner_;
    QString label_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    qint64 last_ = -1000;
    bool cancelled_ = false;
};

FileOperationDialogs::FileOperationDialogs(QWidget* owner, const QString& progressLabel,
                                           const FileOperationCallbacks& given)
    : callbacks_(given) {
    using namespace desktop;
    using platform::ReplaceAnswer;
    if (!callbacks_.progress) {
        progressBox_ = std::make_unique<ProgressBox>(owner, progressLabel);
        callbacks_.progress = [box = progressBox_.get()](const FileOperationProgress& now) {
            return box->Update(now);
        };
    }
    if (!callbacks_.confirm) {
        callbacks_.confirm = [owner](const QString& caption, const QString& text,
                                     bool yesIsDefault) {
            return ShowMessage(owner, {caption, text, MessageIcon::Question, Yes | No,
                                       yesIsDefault ? Yes : No}) == Yes;
        };
    }
    if (!callbacks_.replace) {
        callbacks_.replace = [owner](const QString& caption, const QString& text) {
            switch (
                ShowMessage(owner, {caption, text, MessageIcon::Question, Yes | No | Cancel, No})) {
                case Yes:
                    return ReplaceAnswer::Replace;
                case Cancel:
                    return ReplaceAnswer::Cancel;
                default:
                    return ReplaceAnswer::Keep;
            }
        };
    }
    if (!callbacks_.deleteInstead) {
        callbacks_.deleteInstead = [owner](const QString& caption, const QString& text) {
            return ShowMessage(owner, {caption, text, MessageIcon::Warning, Yes | No, No}) == Yes;
        };
    }
    if (!callbacks_.notice) {
        callbacks_.notice = [owner, box = progressBox_.get()](const QString& caption,
                                                              const QString& text) {
            if (box) box->Close();
            ShowMessage(owner, {caption, text, MessageIcon::Information, Ok});
        };
    }
    if (!callbacks_.error) {
        callbacks_.error = [owner, box = progressBox_.get()](const QString& caption,
                                                             const QString& text) {
            if (box) box->Close();
            ShowMessage(owner, {caption, text, MessageIcon::Error, Ok});
        };
    }
}

FileOperationDialogs::~FileOperationDialogs() = default;

FileOperationResult DeleteItems(QWidget* owner, const QStringList& paths, unsigned flags,
                                const FileOperationCallbacks& callbacks) {
    const FileOperationDialogs dialogs(owner, QStringLiteral("Deleting..."), callbacks);
    return platform::DeleteItems(paths, flags, dialogs.callbacks());
}

FileOperationResult RecycleItems(QWidget* owner, const QStringList& paths, unsigned flags,
                                 const FileOperationCallbacks& callbacks) {
    const FileOperationDialogs dialogs(owner, QStringLiteral("Moving to the Trash..."), callbacks);
    return platform::RecycleItems(paths, flags, dialogs.callbacks());
}

FileOperationResult MoveItems(QWidget* owner, const QStringList& paths, const QString& targetFolder,
                              unsigned flags, const FileOperationCallbacks& callbacks) {
    const FileOperationDialogs dialogs(owner, QStringLiteral("Moving..."), callbacks);
    return platform::MoveItems(paths, targetFolder, flags, dialogs.callbacks());
}

FileOperationResult MoveFolder(QWidget* owner, const QString& source, const QString& target,
                               unsigned flags, const FileOperationCallbacks& callbacks) {
    const FileOperationDialogs dialogs(owner, QStringLiteral("Moving..."), callbacks);
    return platform::MoveFolder(source, target, flags, dialogs.callbacks());
}
