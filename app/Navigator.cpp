#include "app/Navigator.h"

#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"

using engine::TFolderNode;

char TNavigator::DriveToCheck(const TFolderNode& node) const {
    if (engine::ImportFactsOf(&node)) return 0;
    if (node.IsTopLevel()) return node.DriveLetter();
    const QString path = engine::NodePath(&node);
    return path[0] != QChar(driveLetter_) ? char(path[0].unicode()) : 0;
}

void TNavigator::Present(TFolderNode* node) {
    node_ = node;
    if (node) path_ = engine::NodePath(node);
}

bool TNavigator::EntersDrive() const {
    return node_ && (node_->IsTopLevel() || path_[0] != QChar(driveLetter_));
}

void TNavigator::EnterDrive() {
    driveLetter_ = char(path_[0].unicode());
    const engine::DriveRecord* record = engine::ScannedDrives().Find(driveLetter_);
    clusterSize_ = record ? record->ClusterSize : -1;
    const QString root = QString(QChar(driveLetter_)) + QLatin1String(":\\");
    driveTotal_ = engine::DriveTotalBytes(root);
    driveFree_ = engine::DriveFreeBytes(root);
}

QString TNavigator::ClusterText() const {
    const engine::DriveRecord* record = engine::ScannedDrives().Find(driveLetter_);
    const QString fileSystem =
        record && record->Import
            ? QStringLiteral("ncdu export")
            : engine::FileSystemName(QString(QChar(driveLetter_)) + QLatin1String(":\\"));
    return clusterSize_ >= 1024
               ? QStringLiteral("%1K Cluster (%2)").arg(clusterSize_ / 1024).arg(fileSystem)
               : QStringLiteral("%1 Cluster (%2)")
                     .arg(engine::SmallSizeText(clusterSize_), fileSystem);
}

void TNavigator::Clear() {
    node_ = nullptr;
    path_.clear();
}

int TNavigator::PageShown() {
    if (node_ && !Offers(page_, *node_)) page_ = PagePieChart;
    return page_;
}

bool TNavigator::Offers(int page, const TFolderNode& node) {
    return page != PageCleanUp || node.Parent() != nullptr;
}

QString TNavigator::NoticeCaption(bool anyScanned) {
    return anyScanned ? QStringLiteral("Folder not scanned") : QStringLiteral("No scanned items");
}

QString TNavigator::NoticeText(bool anyScanned) const {
    if (!anyScanned)
        return QStringLiteral(
            "No drives have been scanned.\r\n\r\nTo scan a drive, select it in the drives list box "
            "located in the toolbar and press the 'Scan' toolbar button.");
    const QString item = !node_ ? "item" : node_->Parent() ? "folder" : "drive";
    const QString text =
        scanning_ ? QStringLiteral(
                        "Quillon Pro has not finished gathering information about this %1.\r\n\r\n"
                        "You may wait until the %1 is completely scanned\r\n\r\nor\r\n\r\n"
                        "you may select another drive or folder from the left folder tree view.")
                  : QStringLiteral(
                        "The scannning process was interrupted before Quillon Pro had finished "
                        "scanning this %1.\r\n\r\nYou may rescan the %1\r\n\r\nor\r\n\r\n"
                        "you may select another drive or folder from the left folder tree view.");
    return text.arg(item);
}

void TNavigator::NodeLeaving(const TFolderNode* gone) {
    if (engine::IsInSubtree(node_, gone)) node_ = nullptr;
}

TPresentation TNavigator::Presentation(bool includeWasted) const {
    return {node_,       path_,      QChar(driveLetter_), clusterSize_,
            driveTotal_, driveFree_, includeWasted};
}
