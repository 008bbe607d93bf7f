// The main window's navigation: the folder tree's selection, presenting the current folder on
// its pages, the nodes that leave the tree, and the tree's context menu.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include "app/FolderTreeModel.h"
#include "app/Messages.h"
#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "config/AppConfiguration.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "controls/OrbDriveControls.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "draw/SystemColors.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "views/FolderInfoPage.h"
#include "views/FormSectionSize.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/ViewPage.h"
#include "views/WastedSpacePage.h"

using engine::TFolderNode;

namespace {

// How long a removal waits for the tree control or a selection change to be done.
constexpr int kRetryRemovalMs = 50;

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

}  // namespace

// --- the pages ---

// What the pages ask of the window: the status bar, a folder chosen, a step up, an item's menu.
void TMainForm::ConnectPages() {
    for (TViewPage* page : Pages()) {
        desktop::Connect(page, &TViewPage::StatusTextChanged, this,
                         [this](const QString& text) { ShowStatusText(0, text); });
        desktop::Connect(page, &TViewPage::FolderChosen, this,
                         [this](engine::TFolderNode* node, bool expand) {
                             // Selecting a folder that has vanished removes it from the tree.
                             const QString target = engine::NodePath(node);
                             SelectNode(node);
                             if (expand && nav_.CurrentNode() && nav_.CurrentPath() == target)
                                 FolderTree->expand(treeModel_->IndexOf(nav_.CurrentNode()));
                         });
        desktop::Connect(page, &TViewPage::LevelUpRequested, this, &TMainForm::GoUpOneLevel);
        desktop::Connect(page, &TViewPage::ItemMenuRequested, this, &TMainForm::ShowFolderItemMenu);
    }
    desktop::Connect(pageFolderInfo, &TFolderInfoPage::imgTreeBarChartClick, this,
                     &TMainForm::cmdViewBarChartClick);
    // The section size window is made after the main window: it is looked up when told.
    desktop::Connect(pagePieChart, &TPieChartPage::WastedShown, this,
                     [](int percent, const QString& wasted) {
                         if (SectionSizeBox) SectionSizeBox->SetWasted(percent, wasted);
                     });
    desktop::Connect(pagePieChart, &TPieChartPage::SmallerFilesChosen, this,
                     [this](engine::TFolderNode* folder) { ShowLargestFiles(folder); });
    desktop::Connect(pagePieChart, &TPieChartPage::ColorsApplied, this, [] {
        if (SectionSizeBox) SectionSizeBox->ApplyColors();
    });
    pageCleanUp->SetHost(this);
    desktop::Connect(pageCleanUp, &TCleanUpPage::HelpRequested, this,
                     [](int topic, QWidget* over) { ShowHelpTopic(over, topic); });
    desktop::Connect(pageWastedSpace, &TWastedSpacePage::HelpRequested, this,
                     [this](int topic) { ShowHelpTopic(this, topic); });
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
    const char letter = nav_.DriveToCheck(*node);
    return letter == 0 || engine::CheckDriveAccess(letter);
}

void TMainForm::FolderTreeChange(TFolderNode* node) {
    nav_.Present(node);
    if (!node) return UpdateViewCommands(nullptr);

    if (!node->IsTopLevel() && !engine::ImportFactsOf(node) &&
        !IsFolderAt(nav_.CurrentPath())) {  // deleted outside the program
        PresentNode(nullptr);
        // The tree control is still inside its selection change: the node goes after it.
        desktop::Post(this, [this, path = nav_.CurrentPath()] { RemoveVanishedNode(path); });
        return;
    }

    setWindowTitle(kAppTitle + " - " + nav_.CurrentPath());
    ShowStatusText(0, nav_.CurrentPath());
    toolLevelUp->setEnabled(node->Parent() != nullptr);
    toolExplore->setEnabled(true);
    if (nav_.EntersDrive()) DriveChange();
    if (PresentNode(node)) {
        if (node->IsTopLevel() && ThePages->currentWidget() == pageCleanUp) {
            nav_.ChoosePage(PagePieChart);
            ActivatePageTab(pagePieChart);
        }
        TellSectionSizeWindowWasted(node);
        PresentPageContent();
    }
}

void TMainForm::DriveChange() {
    nav_.EnterDrive();
    TellSectionSizeWindowDrive();
    ShowStatusText(1, nav_.ClusterText());
    DriveBox->setDrive(QChar(nav_.CurrentDriveLetter()));
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
    nav_.Present(node);
    QWidget* const views[] = {pagePieChart, pageFolderInfo, pageSubfolders, pageWastedSpace,
                              pageCleanUp};
    switchingPages_ = true;
    if (node && node->Record()) {
        const int shown = nav_.PageShown();
        for (int page = 0; page < 5; ++page)
            ThePages->setTabVisible(TabOf(views[page]), TNavigator::Offers(page, *node));
        ThePages->setCurrentWidget(views[shown]);
        ThePages->setTabVisible(TabOf(pageNotScanned), false);
        switchingPages_ = false;
        UpdateViewCommands(node);
        return true;
    }
    HideSectionSizeWindow();
    QPalette palette = panNotReady->palette();
    palette.setColor(QPalette::Window, draw::ColorToQColor(AppColors[13]));
    panNotReady->setPalette(palette);
    ThePages->setTabVisible(TabOf(pageNotScanned), true);
    ThePages->setCurrentWidget(pageNotScanned);
    for (QWidget* view : views) ThePages->setTabVisible(TabOf(view), false);
    switchingPages_ = false;
    UpdateNotReadyNotice();
    UpdateViewCommands(node);
    return false;
}

void TMainForm::RefreshViews(bool present) {
    for (TViewPage* page : Pages()) page->Forget();
    if (!present) return;
    if (PresentNode(SelectedNode())) PresentPageContent();
}

void TMainForm::RefreshPie() {
    pagePieChart->Forget();
    if (nav_.CurrentPage() == PagePieChart) PresentPage(PagePieChart);
}

void TMainForm::RefreshList(bool present) {
    pageSubfolders->Forget();
    if (present) PresentPage(nav_.CurrentPage());
}

void TMainForm::PresentPage(int page) {
    nav_.ChoosePage(page);
    if (PresentNode(SelectedNode())) PresentPageContent();
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
    const bool anyScanned = !ScannedLetters().isEmpty();
    // With drives in the tree the caption changes only while the notice is shown.
    if (!anyScanned || ThePages->isTabVisible(TabOf(pageNotScanned)))
        ThePages->setTabText(TabOf(pageNotScanned), TNavigator::NoticeCaption(anyScanned));
    txtNotReady->setPlainText(nav_.NoticeText(anyScanned));
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
                           [this, path] { desktop::Guarded([&] { RemoveVanishedNode(path); }); });
        return;
    }
    TFolderNode* node = NodeAt(path);
    if (!node || node->IsTopLevel() || !MayChangeTree() || IsFolderAt(path) ||
        engine::ImportFactsOf(node))
        return;
    if (!engine::RemoveVanishedFolder(path, node)) {
        // Something that is not a folder stands at the path now.
        if (const engine::TFolderSize* r = node->Record())
            engine::SubtractFromAncestors(node->Parent(), node, r->TreeFolderCount + 1,
                                          r->TreeFileCount, r->TreeWasted, r->TreeSize);
        DeleteTreeNode(node);
    }
    RefreshViews(true);
}

bool TMainForm::RemoveVanishedFolder(const QString& path, TFolderNode* node) {
    if (!MayChangeTree() || engine::ImportFactsOf(node) ||
        !engine::RemoveVanishedFolder(path, node))
        return false;
    RefreshViews(true);
    return true;
}

void TMainForm::DeleteTreeNode(TFolderNode* node) {
    RemoveFromTree(node, [node] { engine::TFolderTree::DeleteNode(node); });
}

void TMainForm::RemoveFromTree(TFolderNode* node, const std::function<void()>& removal) {
    if (!MayChangeTree()) return;
    TFolderNode* next = nullptr;
    if (engine::IsInSubtree(SelectedNode(), node)) {
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
        nav_.NodeLeaving(gone);
        for (TViewPage* page : Pages()) page->NodeLeaving(gone);
    }
}

void TMainForm::RowsRemoved(TFolderNode*, int, int) {
    if (--removing_ > 0 || !selectionPending_) return;
    selectionPending_ = false;
    // The tree control moved its selection while the rows went; the procedures run now.
    desktop::Post(this, [this] { HandleSelection(SelectedNode(), nullptr); });
}

// --- the tree's context menu ---

void TMainForm::FolderTreeMouseDown(const QPoint& pos) {
    const QModelIndex index = FolderTree->indexAt(pos);
    if (index.isValid() && index != FolderTree->currentIndex()) FolderTree->setCurrentIndex(index);
    TFolderNode* node = SelectedNode();
    if (!node) return;
    const engine::TFolderSize* r = node->Record();
    if (!r) {
        desktop::ShowMessage(this,
                             {"Error",
                              "The context menu of the selected folder cannot be displayed because "
                              "Quillon Pro has not finished scanning the folder",
                              desktop::MessageIcon::Error, desktop::Ok});
        return;
    }
    ShowFolderItemMenu(engine::NodePath(node), true, r->TreeSize, r->TreeWasted,
                       FolderTree->viewport()->mapToGlobal(pos));
}

void TMainForm::ShowFolderItemMenu(const QString& path, bool folder, int64_t size, int64_t wasted,
                                   const QPoint& globalPos) {
    if (engine::ImportFactsOf(path)) return ShowInfo(engine::kImportedDriveNote);
    if (engine::IsDriveRoot(path)) {
        ShowItemContextMenu(engine::AddBackslash(path), this, globalPos);
        return;
    }
    ShowItemContextMenu(path, this, globalPos);
    // The menu ran an event loop of its own: what is in the tree now is found again by path.
    if (IsEntryAt(path) || !MayChangeTree()) return;
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
        // The file's folder: the one presented when the pie shows the file.
        const qsizetype slash = path.lastIndexOf(u'\\');
        FileRemoved(NodeAt(path.left(slash == 2 ? 3 : slash)), path.mid(slash + 1), size, wasted);
    }
}
