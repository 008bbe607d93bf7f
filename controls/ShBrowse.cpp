#include "controls/ShBrowse.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "desktop/MessageBox.h"
#include "platform/Drives.h"

bool IsDriveRootPath(const QString& path) {
    return path.size() >= 2 && path.size() <= 3 && path[0].isLetter() && path[1] == u':' &&
           (path.size() == 2 || path[2] == u'\\');
}

namespace {

// A folder dialog that keeps OK disabled on a drive root, also against the dialog's own updates.
class FolderDialog : public QFileDialog {
public:
    FolderDialog(QWidget* owner, const QString& title, bool allowRoot)
        : QFileDialog(owner, title), allowRoot_(allowRoot) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        // The platform's own dialog gives no hold on its OK button.
        setOption(QFileDialog::DontUseNativeDialog);
        if (!allowRoot_) {
            for (auto signal : {&QFileDialog::currentChanged, &QFileDialog::directoryEntered}) {
                connect(this, signal, this, [this] {
                    // After the dialog has set the button itself.
                    QTimer::singleShot(0, this, [this] { GuardRoot(); });
                });
            }
        }
    }

    // The folder OK would choose, as a program path.
    QString Choice() const {
        const QStringList chosen = selectedFiles();
        return platform::FromHostPath(chosen.isEmpty() ? directory().absolutePath()
                                                       : chosen.front());
    }

    QPushButton* OkButton() const {
        const auto* box = findChild<QDialogButtonBox*>();
        return box ? box->button(QDialogButtonBox::Open) : nullptr;
    }

    void GuardRoot() {
        if (QPushButton* ok = OkButton(); ok && IsDriveRootPath(Choice())) ok->setEnabled(false);
    }

protected:
    void accept() override {
        if (!allowRoot_ && IsDriveRootPath(Choice())) return;
        QFileDialog::accept();
    }

private:
    bool allowRoot_;
};

}  // namespace

bool TFolderBrowse::Execute(const QString& root) {
    FolderDialog dialog(QApplication::activeWindow(), Title, AllowRoot);
    QString start = Folder.isEmpty() ? root : Folder;
    if (start.isEmpty() && !platform::DriveMap().empty())
        start = QChar(platform::DriveMap().front().letter) + QStringLiteral(":\\");
    const QString host = platform::ToHostPath(start);
    if (!host.isEmpty()) dialog.setDirectory(host);
    if (!Folder.isEmpty() && !host.isEmpty()) dialog.selectFile(host);
    if (!AllowRoot) QTimer::singleShot(0, &dialog, [&dialog] { dialog.GuardRoot(); });
    if (desktop::RunModal(dialog) != QDialog::Accepted) return false;
    Folder = dialog.Choice();
    return !Folder.isEmpty();
}
