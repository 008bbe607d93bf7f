// The main window's scan commands, its scanning state, and the navigation in the folder tree.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <stdexcept>

#include "app/FolderTreeModel.h"
#include "app/Messages.h"
#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "config/AppConfiguration.h"
#include "controls/FormSelectDrives.h"
#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "controls/OrbDriveControls.h"
#include "controls/ShBrowse.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/SystemColors.h"
#include "platform/WinTypes.h"
#include "views/FolderInfoPage.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

using engine::TFolderNode;

namespace {

bool IsInSubtree(const TFolderNode* node, const TFolderNode* root) {
    for (; node; node = node->Parent()) {
        if (node == root) return true;
    }
    return false;
}

// The node a tree control selects when the selected one is deleted: the next sibling, else the
// previous one, else the parent.
TFolderNode* NeighbourOf(const TFolderNode* node, const engine::TFolderTree& tree) {
    TFolderNode* parent = node->Parent();
    const int count = parent ? parent->ChildCount() : tree.TopLevelCount();
    auto at = [&](int row) { return parent ? parent->Child(row) : tree.TopLevel(row); };
    if (node->Row() + 1 < count) return at(node->Row() + 1);
    if (node->Row() > 0) return at(node->Row() - 1);
    return parent;
}

bool NamesCaseSensitive(QChar letter) {
    engine::VolumeInfo info;
    engine::GetVolumeFacts(QString(letter) + QLatin1String(":\\"), info);
    return info.flags & platform::FILE_CASE_SENSITIVE_SEARCH;
}

}  // namespace

QString TMainForm::DriveTextOf(QChar letter) {
    return QString(letter) + engine::DriveDisplayName(QString(letter) + QLatin1String(":\\"));
}

// --- scanning state and the scanner's needs ---

void TMainForm::SetScanningState(bool on) {
    Scanning = on;
    for (QAction* command :
         {cmdFileScanDrives, cmdFileRescan->menuAction(), cmdFileRemove->menuAction(),
          toolRescanDir, toolScan, cmdFileSelectFolder})
        command->setEnabled(!on);
    ClustersBox->setEnabled(!on);
    cmdFileAbort->setEnabled(on);
    toolStop->setEnabled(on);
    // A close asked for during the scan waits until the walk has unwound.
    if (!on && closeRequested_) platform::Post(this, [this] { close(); });
}

bool TMainForm::MayChangeTree() const {
    return !Scanning && !engine::TreeBusy();
}

void TMainForm::ShowScanStatus(const QString& text) {
    ShowStatusText(0, text);
}

void TMainForm::ProcessPendingEvents() {
    // Once every 10 ms is enough to keep the window alive and the Stop command heard.
    if (lastPump_.isValid() && lastPump_.elapsed() < 10) return;
    QCoreApplication::processEvents();
    lastPump_.start();
}

void TMainForm::SetScanning(bool on) {
    SetScanningState(on);
}

void TMainForm::FolderScanned(TFolderNode* node) {
    if (node == CurrentNode) RefreshViews(true);
}

// --- commands ---

void TMainForm::toolScanClick() {
    if (!DriveBox->Drive().isNull()) ScanOrRescanDrive(DriveBox->currentText());
}

void TMainForm::cmdFileScanDrivesClick() {
    if (!MayChangeTree()) return;
    TDrivesSelectBox dialog(this);
    platform::RunModal(dialog);
    if (!dialog.ScanChosen()) return;
    const QString letters = dialog.TheDrivesBox()->CheckedDrives();
    const TOrbDriveCheckListBox* list = dialog.TheDrivesBox();
    for (int i = 0; i < list->count(); ++i) {
        const QString text = list->item(i)->text();
        if (!letters.contains(text.left(1))) continue;
        ScanOrRescanDrive(text);
        if (engine::StopRequested) break;
    }
}

void TMainForm::cmdFileRescanCurrentDirectoryClick() {
    RescanCurrentFolder();
}

void TMainForm::cmdFileRescanCurrentDriveClick() {
    if (CurrentDriveLetter) RescanDrives(QString(QChar(CurrentDriveLetter)));
}

void TMainForm::cmdFileRescanAllDrivesClick() {
    const QString letters = ScannedLetters;  // RescanDrives changes the original as it goes
    RescanDrives(letters);
}

void TMainForm::cmdFileRemoveCurrentDriveClick() {
    RemoveDrive(QChar(CurrentDriveLetter));
}

void TMainForm::cmdFileRemoveAllDrivesClick() {
    for (qsizetype n = ScannedLetters.size(); n > 0; --n) RemoveDrive(ScannedLetters.at(0));
}

void TMainForm::cmdFileAbortClick() {
    // A stop with no scan running would stop the next multi-drive command before it began.
    if (Scanning) engine::StopRequested = true;
}

void TMainForm::cmdFileSelectFolderClick() {
    TFolderBrowse browse;
    browse.Title =
        "Select the folder you want to analyze. If the folder has not been scanned, Quillon Pro "
        "will scan it now.";
    browse.AllowRoot = true;
    if (browse.Execute()) OpenFolderPath(browse.Folder);
}

void TMainForm::DriveBoxChange() {
    // Choosing a drive starts no scan; the Scan button does.
}

void TMainForm::mnuFileClick() {
    cmdFileRemove->menuAction()->setVisible(true);
    const bool scanned = CurrentNode && CurrentNode->Record();
    cmdFileExportPie->menuAction()->setEnabled(scanned);
    cmdFileReports->menuAction()->setEnabled(scanned);
}

// --- the scan operations ---

void TMainForm::ScanOrRescanDrive(const QString& driveText) {
    if (driveText.isEmpty() || !MayChangeTree()) return;
    const QChar letter = driveText[0].toUpper();
    if (ScannedLetters.contains(letter))
        RescanDrives(QString(letter));
    else
        ScanDriveCommand(driveText, nullptr);
}

bool TMainForm::ScanDriveCommand(const QString& driveText, engine::DriveRecord* record) {
    if (!MayChangeTree()) return false;
    if (!engine::CheckDriveAccess(char(driveText[0].toUpper().unicode()))) return false;
    ScanCheckedDrive(driveText, record);
    return true;
}

void TMainForm::ScanCheckedDrive(const QString& driveText, engine::DriveRecord* record) {
    const char letter = char(driveText[0].toUpper().unicode());
    ScannedLetters += QChar(letter);
    if (!record) record = engine::ScannedDrives().Add(letter);

    auto finish = [&] {
        ShowStatusText(0, "Done.");
        RefreshViews(engine::StopRequested);
        if (!SelectedNode() && tree_.TopLevelCount() > 0) SelectNode(tree_.TopLevel(0));
    };
    try {
        engine::ScanDrive(tree_, driveText, *record);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TMainForm::RescanDrives(const QString& letters) {
    if (!MayChangeTree()) return;
    RefreshViews(false);
    for (const QChar letter : letters) {
        engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
        if (!ScannedLetters.contains(letter) || !record) continue;
        // The drive stays in the tree until it is known to answer: Cancel keeps everything.
        if (!engine::CheckDriveAccess(record->Letter)) continue;
        const QString remembered = CurrentPath;
        ScannedLetters.remove(letter);
        if (record->Node) DeleteTreeNode(record->Node);
        if (!SelectedNode()) ClearCurrentFolder();
        ScanCheckedDrive(record->DriveText, record);
        OpenFolderPath(remembered);
        if (engine::StopRequested) break;
    }
}

void TMainForm::RemoveDrive(QChar letter) {
    if (letter.isNull() || !MayChangeTree()) return;
    engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
    if (!record) return;
    ScannedLetters.remove(letter);
    const char drive = record->Letter;
    if (record->Node)
        RemoveFromTree(record->Node, [drive] { engine::RemoveDrive(drive); });
    else
        engine::RemoveDrive(drive);
    if (!SelectedNode()) ClearCurrentFolder();
}

void TMainForm::RescanCurrentFolder() {
    if (!CurrentNode || !MayChangeTree()) return;
    TFolderNode* selected = SelectedNode();
    SetScanningState(true);
    PresentNode(nullptr);
    auto finish = [&] {
        RefreshViews(true);
        SetScanningState(false);
        PresentNode(SelectedNode());
    };
    try {
        if (selected) engine::RescanFolder(engine::NodePath(selected), selected);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TMainForm::ClearCurrentFolder() {
    PresentNode(nullptr);
    CurrentPath.clear();
    setWindowTitle(kAppTitle);
    ShowStatusText(0, QString());
    ShowStatusText(1, QString());
    toolRescanDir->setEnabled(false);
    toolExplore->setEnabled(false);
    if (ScannedLetters.isEmpty()) {
        UpdateNotReadyNotice();
        cmdFileRescan->menuAction()->setEnabled(false);
        cmdFileRemove->menuAction()->setEnabled(false);
    }
}

bool TMainForm::OpenFolderPath(const QString& path) {
    if (path.size() <= 2 || path[1] != u':' || path[2] != u'\\') return false;
    const QChar letter = path[0].toUpper();
    if (!engine::ScannedDrives().Find(char(letter.unicode())))
        ScanOrRescanDrive(DriveTextOf(letter));  // refused while a scan runs
    const engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
    if (!record) return false;
    TFolderNode* target = path.size() == 3 ? record->Node
                                           : engine::FindNodeByPath(record->Node, path.mid(3),
                                                                    NamesCaseSensitive(letter));
    if (target) {
        SelectNode(target);
        FolderTree->expand(treeModel_->IndexOf(target));
        FolderTree->setFocus();
    }
    return true;
}

// --- selection ---

TFolderNode* TMainForm::SelectedNode() const {
    return TFolderTreeModel::NodeOf(FolderTree->currentIndex());
}

void TMainForm::SelectNode(TFolderNode* node) {
    const QModelIndex index = treeModel_->IndexOf(node);
    FolderTree->setCurrentIndex(index);
    if (index.isValid()) FolderTree->scrollTo(index);
}

void TMainForm::OnTreeSelectionChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (suppressSelection_) return;
    if (removing_ > 0) {
        selectionPending_ = true;  // handled once the removal is complete
        return;
    }
    HandleSelection(TFolderTreeModel::NodeOf(current), TFolderTreeModel::NodeOf(previous));
}

void TMainForm::HandleSelection(TFolderNode* node, TFolderNode* previous) {
    ++selecting_;
    bool allowed = false;
    const auto done = qScopeGuard([&] {
        --selecting_;
        if (allowed) return;
        // Refused, or the drive check failed: the selection goes back to where it was.
        suppressSelection_ = true;
        FolderTree->setCurrentIndex(treeModel_->IndexOf(previous));
        suppressSelection_ = false;
    });
    allowed = !node || FolderTreeChanging(node);
    if (allowed) FolderTreeChange(node);
}

bool TMainForm::FolderTreeChanging(TFolderNode* node) {
    const QString path = engine::NodePath(node);
    if (node->IsTopLevel() || path[0] != QChar(CurrentDriveLetter)) {
        const char letter = node->IsTopLevel() ? node->DriveLetter() : char(path[0].unicode());
        return engine::CheckDriveAccess(letter);
    }
    return true;
}

void TMainForm::FolderTreeChange(TFolderNode* node) {
    CurrentNode = node;
    if (!node) return;
    CurrentPath = engine::NodePath(node);

    if (!node->IsTopLevel() && !FolderExists(CurrentPath)) {  // deleted outside the program
        PresentNode(nullptr);
        // The tree control is still inside its selection change: the node goes after it.
        platform::Post(this, [this, path = CurrentPath] { RemoveVanishedNode(path); });
        return;
    }

    setWindowTitle(kAppTitle + " - " + CurrentPath);
    pagePieChart->txtWebFolderName->setText(node->IsTopLevel() ? node->DisplayName() : CurrentPath);
    ShowStatusText(0, CurrentPath);
    toolLevelUp->setEnabled(node->Parent() != nullptr);
    toolExplore->setEnabled(true);
    if (node->IsTopLevel() || CurrentPath[0] != QChar(CurrentDriveLetter)) DriveChange();
    if (PresentNode(node)) {
        if (node->IsTopLevel() && ThePages->currentWidget() == pageCleanUp) {
            CurrentPage = PagePieChart;
            ActivatePageTab(pagePieChart);
        }
        TellSectionSizeWindowWasted(node);
        PresentPageContent();
    }
}

void TMainForm::DriveChange() {
    CurrentDriveLetter = char(CurrentPath[0].unicode());
    const engine::DriveRecord* record = engine::ScannedDrives().Find(CurrentDriveLetter);
    CurrentClusterSize = record ? record->ClusterSize : -1;
    const QString root = QString(QChar(CurrentDriveLetter)) + QLatin1String(":\\");
    DriveTotal = engine::DriveTotalBytes(root);
    DriveFree = engine::DriveFreeBytes(root);
    pagePieChart->txtWebSectionDrive->setText("of " + QString(QChar(CurrentDriveLetter)) + ":");
    pagePieChart->txtWebSectionDriveSize->setText(engine::SizeText(DriveTotal));
    TellSectionSizeWindowDrive();
    const QString fileSystem = engine::FileSystemName(root);
    ShowStatusText(
        1, CurrentClusterSize >= 1024
               ? QStringLiteral("%1K Cluster (%2)").arg(CurrentClusterSize / 1024).arg(fileSystem)
               : QStringLiteral("%1 Cluster (%2)")
                     .arg(engine::SmallSizeText(CurrentClusterSize), fileSystem));
    DriveBox->setDrive(QChar(CurrentDriveLetter));
}

// --- presentation ---

int TMainForm::TabOf(QWidget* page) const {
    return ThePages->indexOf(page);
}

void TMainForm::ActivatePageTab(QWidget* page) {
    switchingPages_ = true;
    ThePages->setCurrentWidget(page);
    switchingPages_ = false;
}

bool TMainForm::PresentNode(TFolderNode* node) {
    CurrentNode = node;
    QWidget* const views[] = {pagePieChart, pageFolderInfo, pageSubfolders, pageWastedSpace,
                              pageCleanUp};
    switchingPages_ = true;
    if (node && node->Record()) {
        if (node->IsTopLevel() && CurrentPage == PageCleanUp) CurrentPage = PagePieChart;
        for (int page = 0; page < 5; ++page)
            ThePages->setTabVisible(TabOf(views[page]), page != PageCleanUp || node->Parent());
        ThePages->setCurrentWidget(views[CurrentPage]);
        ThePages->setTabVisible(TabOf(pageNotScanned), false);
        switchingPages_ = false;
        return true;
    }
    HideSectionSizeWindow();
    QPalette palette = panNotReady->palette();
    palette.setColor(QPalette::Window, platform::ColorToQColor(AppColors[13]));
    panNotReady->setPalette(palette);
    ThePages->setTabVisible(TabOf(pageNotScanned), true);
    ThePages->setCurrentWidget(pageNotScanned);
    for (QWidget* view : views) ThePages->setTabVisible(TabOf(view), false);
    switchingPages_ = false;
    UpdateNotReadyNotice();
    return false;
}

void TMainForm::RefreshViews(bool present) {
    PieShownFor.clear();
    InfoShownFor.clear();
    ListShownFor = nullptr;
    if (!present) return;
    CurrentNode = SelectedNode();
    if (PresentNode(CurrentNode)) PresentPageContent();
}

void TMainForm::RefreshPie() {
    PieShownFor.clear();
    if (CurrentPage == PagePieChart) PresentPage(PagePieChart);
}

void TMainForm::RefreshList(bool present) {
    ListShownFor = nullptr;
    if (present) PresentPage(CurrentPage);
}

void TMainForm::PresentPage(int page) {
    CurrentPage = page;
    CurrentNode = SelectedNode();
    if (PresentNode(CurrentNode)) PresentPageContent();
}

void TMainForm::ThePagesChange() {
    if (switchingPages_ || ThePages->isTabVisible(TabOf(pageNotScanned))) return;
    // The position of the tab among the visible ones is the page number.
    int page = 0;
    for (int tab = 0; tab < ThePages->currentIndex(); ++tab) {
        if (ThePages->isTabVisible(tab)) ++page;
    }
    QWidget* current = ThePages->currentWidget();
    current->setUpdatesEnabled(false);
    const auto repaint = qScopeGuard([current] { current->setUpdatesEnabled(true); });
    PresentPage(page);
}

void TMainForm::UpdateNotReadyNotice() {
    if (!ScannedLetters.isEmpty()) {
        if (ThePages->isTabVisible(TabOf(pageNotScanned)))
            ThePages->setTabText(TabOf(pageNotScanned), "Folder not scanned");
        const QString item = !CurrentNode ? "item" : CurrentNode->Parent() ? "folder" : "drive";
        const QString text =
            Scanning
                ? QStringLiteral(
                      "Quillon Pro has not finished gathering information about this %1.\r\n\r\n"
                      "You may wait until the %1 is completely scanned\r\n\r\nor\r\n\r\n"
                      "you may select another drive or folder from the left folder tree view.")
                : QStringLiteral(
                      "The scannning process was interrupted before Quillon Pro had finished "
                      "scanning this %1.\r\n\r\nYou may rescan the %1\r\n\r\nor\r\n\r\n"
                      "you may select another drive or folder from the left folder tree view.");
        txtNotReady->setPlainText(text.arg(item));
    } else {
        ThePages->setTabText(TabOf(pageNotScanned), "No scanned items");
        txtNotReady->setPlainText(
            "No drives have been scanned.\r\n\r\nTo scan a drive, select it in the drives list box "
            "located in the toolbar and press the 'Scan' toolbar button.");
    }
}

// --- deleting nodes ---

TFolderNode* TMainForm::NodeAt(const QString& path) const {
    const engine::DriveRecord* record =
        path.size() >= 3 ? engine::ScannedDrives().Find(char(path[0].unicode())) : nullptr;
    if (!record || !record->Node) return nullptr;
    return path.size() == 3 ? record->Node
                            : engine::FindNodeByPath(record->Node, path.mid(3), true);
}

void TMainForm::RemoveVanishedNode(const QString& path) {
    // Never inside a selection change that waits in a modal box, nor inside a removal: the tree
    // control holds indexes of the nodes then. The removal waits until those are done.
    if (selecting_ > 0 || removing_ > 0) {
        QTimer::singleShot(kRetryRemovalMs, this,
                           [this, path] { platform::Guarded([&] { RemoveVanishedNode(path); }); });
        return;
    }
    TFolderNode* node = NodeAt(path);
    if (!node || node->IsTopLevel() || !MayChangeTree() || FolderExists(path)) return;
    if (!engine::RemoveVanishedFolder(path, node)) {
        // Something that is not a folder stands at the path now.
        if (const engine::TFolderSize* r = node->Record())
            engine::SubtractFromAncestors(node->Parent(), node, r->TreeFolderCount + 1,
                                          r->TreeFileCount, r->TreeWasted, r->TreeSize);
        DeleteTreeNode(node);
    }
    RefreshViews(true);
}

void TMainForm::DeleteTreeNode(TFolderNode* node) {
    RemoveFromTree(node, [node] { engine::TFolderTree::DeleteNode(node); });
}

void TMainForm::RemoveFromTree(TFolderNode* node, const std::function<void()>& removal) {
    if (!MayChangeTree()) return;
    TFolderNode* next = nullptr;
    if (IsInSubtree(SelectedNode(), node)) {
        next = NeighbourOf(node, tree_);
        suppressSelection_ = true;
        FolderTree->setCurrentIndex(QModelIndex());
        suppressSelection_ = false;
    }
    removal();
    if (next) SelectNode(next);
}

void TMainForm::RowsAboutToBeRemoved(TFolderNode* parent, int first, int last) {
    ++removing_;
    for (int row = first; row <= last; ++row) {
        TFolderNode* gone = parent ? parent->Child(row) : tree_.TopLevel(row);
        if (IsInSubtree(CurrentNode, gone)) CurrentNode = nullptr;
        if (IsInSubtree(ListShownFor, gone)) ListShownFor = nullptr;
    }
}

void TMainForm::RowsRemoved(TFolderNode*, int, int) {
    if (--removing_ > 0 || !selectionPending_) return;
    selectionPending_ = false;
    // The tree control moved its selection while the rows went; the procedures run now.
    platform::Post(this, [this] { HandleSelection(SelectedNode(), nullptr); });
}

// --- the tree's context menu ---

void TMainForm::FolderTreeMouseDown(const QPoint& pos) {
    const QModelIndex index = FolderTree->indexAt(pos);
    if (index.isValid() && index != FolderTree->currentIndex()) FolderTree->setCurrentIndex(index);
    TFolderNode* node = SelectedNode();
    if (!node) return;
    const engine::TFolderSize* r = node->Record();
    if (!r) {
        platform::ShowMessage(
            this, {"Error",
                   "The context menu of the selected folder cannot be displayed because "
                   "Quillon Pro has not finished scanning the folder",
                   platform::MessageIcon::Error, platform::Ok});
        return;
    }
    ShowFolderItemMenu(engine::NodePath(node), true, r->TreeSize, r->TreeWasted,
                       FolderTree->viewport()->mapToGlobal(pos));
}

void TMainForm::ShowFolderItemMenu(const QString& path, bool folder, int64_t size, int64_t wasted,
                                   const QPoint& globalPos) {
    if (engine::IsDriveRoot(path)) {
        ShowItemContextMenu(engine::AddBackslash(path), this, globalPos);
        return;
    }
    ShowItemContextMenu(path, this, globalPos);
    // The menu ran an event loop of its own: what is in the tree now is found again by path.
    if (PathExists(path) || !MayChangeTree()) return;
    if (folder) {  // the folder was deleted, moved or renamed from the menu
        TFolderNode* node = NodeAt(path);
        if (!node) return;
        PresentNode(nullptr);
        TFolderNode* parent = node->Parent();
        engine::RemoveVanishedFolder(path, node);
        SelectNode(parent);
        // From the pie the parent is the selected folder already: present it again.
        if (SelectedNode() == parent) RefreshViews(true);
    } else {
        engine::SubtractFromAncestors(SelectedNode(), nullptr, 0, 1, wasted, size);
        RefreshViews(true);  // the views still show the file otherwise
    }
}
