#include "views/FileWindow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "config/AppConfiguration.h"
#include "controls/WindowPlacement.h"
#include "desktop/Guarded.h"
#include "views/FileRows.h"

TFileWindow::TFileWindow(const QString& title, const QString& section, QWidget* owner)
    : QDialog(owner), section_(section) {
    setWindowTitle(title);
    setSizeGripEnabled(true);
    resize(900, 560);
    Layout = new QVBoxLayout(this);
    StatusLine = new QLabel;
    StatusLine->setObjectName("StatusLine");
    StatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

TFileWindow::~TFileWindow() {
    // A placement that cannot be written is simply not kept.
    if (shown_) (void)SaveFormPlacement(this, AppRegistryKey, section_);
}

QString TFileWindow::NotKeptText() {
    return QStringLiteral(
        "File details were not kept for this drive. Turn on \"Keep file details\" in View > "
        "Options and scan it again.");
}

void TFileWindow::ConnectRows(TFileRows* rows) {
    rows_ = rows;
    rows->installEventFilter(this);
    desktop::Connect(rows, &QTreeWidget::itemDoubleClicked, this,
                     [this] { Choose(rows_->CurrentFolderPath()); });
    desktop::Connect(rows, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* row = rows_->itemAt(at);
        if (!row || !itemMenu_) return;
        rows_->setCurrentItem(row);
        const bool folder = rows_->CurrentIsFolder();
        if (!itemMenu_(rows_->CurrentItemPath(), folder, rows_->viewport()->mapToGlobal(at)))
            return;
        // Gone from the disk, and the main window took it off the tree. A folder may have held
        // what the window stands on: the window closes rather than keep nodes that went.
        if (folder)
            reject();
        else
            delete row;
    });
}

void TFileWindow::Choose(const QString& folderPath) {
    if (folderPath.isEmpty()) return;
    resultPath_ = folderPath;
    accept();
}

void TFileWindow::done(int result) {
    Forget();
    QDialog::done(result);
}

void TFileWindow::showEvent(QShowEvent* event) {
    if (!shown_) RestoreFormPlacement(this, AppRegistryKey, section_);
    shown_ = true;
    QDialog::showEvent(event);
}

bool TFileWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == rows_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Choose(rows_->CurrentFolderPath());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
