// The main window's view, tool-strip, tools and help commands, and the hand-over to the pages.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>

#include "app/FolderTreeModel.h"
#include "app/Messages.h"
#include "app/Periphery.h"
#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "config/AppConfiguration.h"
#include "controls/Helpers.h"
#include "engine/TextForms.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "views/FormBarChart.h"
#include "views/FormSectionSize.h"
#include "views/PieChartPage.h"

using engine::TFolderNode;

// --- tool strip ---

void TMainForm::ClustersBoxChange() {
    engine::ClusterSizeChoice = ClustersBox->currentIndex();
    RefreshViews(true);
}

void TMainForm::toolShowWastedClick() {
    optIncludeWastedInformation->Value = toolShowWasted->isChecked();
    RefreshViews(true);
}

void TMainForm::toolShowFilesClick() {
    optShowFileNames->Value = toolShowFiles->isChecked();
    RefreshPie();
}

void TMainForm::toolPercentClick() {
    if (toolPercent->isChecked()) toolMB->setChecked(false);
    optShowPercentInPie->Value = toolPercent->isChecked() ? 1 : 0;
    RefreshViews(true);
}

void TMainForm::toolMBClick() {
    if (toolMB->isChecked()) toolPercent->setChecked(false);
    optShowPercentInPie->Value = toolMB->isChecked() ? 2 : 0;
    RefreshViews(true);
}

void TMainForm::toolLevelUpClick() {
    if (!CurrentNode || !CurrentNode->Parent()) return;
    TFolderNode* parent = CurrentNode->Parent();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FolderTree->collapse(treeModel_->IndexOf(CurrentNode));
    for (int i = 0; i < CurrentNode->ChildCount(); ++i) {
        // Collapsing the node's descendants too, so that going down again starts closed.
        std::vector<TFolderNode*> pending = {CurrentNode->Child(i)};
        while (!pending.empty()) {
            TFolderNode* n = pending.back();
            pending.pop_back();
            FolderTree->collapse(treeModel_->IndexOf(n));
            for (int c = 0; c < n->ChildCount(); ++c) pending.push_back(n->Child(c));
        }
    }
    SelectNode(parent);
    QApplication::restoreOverrideCursor();
}

void TMainForm::toolExploreClick() {
    if (!CurrentPath.isEmpty()) platform::OpenFileManager(CurrentPath);
}

// --- pages ---

void TMainForm::PresentPageContent() {
    // Each page fills itself from CurrentNode; the pages' own presenters follow.
    if (CurrentPage == PageCleanUp && CurrentNode && !CurrentNode->Parent()) {
        CurrentPage = PagePieChart;  // clean-up actions never apply to a whole drive
        ActivatePageTab(pagePieChart);
    }
}

void TMainForm::TheRightPanelResize() {
    if (CurrentPage == PagePieChart && isVisible()) PresentPageContent();
}

void TMainForm::TellSectionSizeWindowWasted(TFolderNode* node) {
    const engine::TFolderSize* r = node ? node->Record() : nullptr;
    if (!r || !SectionSizeBox) return;
    const int64_t wasted = engine::ShownTreeWasted(*r);
    SectionSizeBox->SetWasted(r->TreeSize == 0 ? 0 : int(wasted * 100 / r->TreeSize),
                              engine::SizeText(wasted));
}

void TMainForm::TellSectionSizeWindowDrive() {
    if (!SectionSizeBox) return;
    SectionSizeBox->SetDrive(QChar(CurrentDriveLetter), PercentOf(DriveFree, DriveTotal),
                             engine::SizeText(DriveFree), engine::SizeText(DriveTotal));
}

void TMainForm::HideSectionSizeWindow() {
    if (SectionSizeBox && SectionSizeBox->isVisible()) SectionSizeBox->hide();
}

// --- View menu ---

void TMainForm::mnuViewClick() {
    const bool scanned = SelectedNode() && SelectedNode()->Record();
    for (QAction* item : {cmdViewPieChart, cmdViewFolderInformation, cmdViewSubfolders,
                          cmdViewWastedSpace, cmdViewCleanUp, cmdViewPieSectionSizeWindow,
                          cmdViewBarChart})
        item->setEnabled(scanned);
    if (scanned) cmdViewCleanUp->setEnabled(ThePages->isTabVisible(TabOf(pageCleanUp)));
    QAction* const pageItems[] = {cmdViewPieChart, cmdViewFolderInformation, cmdViewSubfolders,
                                  cmdViewWastedSpace, cmdViewCleanUp};
    pageItems[CurrentPage]->setChecked(true);
}

void TMainForm::cmdViewToolbarClick() {
    optViewToolbar->Value = cmdViewToolbar->isChecked();
    ToolbarSupport->setVisible(optViewToolbar->Value);
}

void TMainForm::cmdViewStatusBarClick() {
    optViewStatusBar->Value = cmdViewStatusBar->isChecked();
    TheStatusBar->setVisible(optViewStatusBar->Value);
}

void TMainForm::cmdViewFolderTreeClick() {
    // Called by start-up with the check set against the setting, as a click toggles it.
    if (sender() != cmdViewFolderTree) cmdViewFolderTree->setChecked(!cmdViewFolderTree->isChecked());
    optViewFolderTree->Value = cmdViewFolderTree->isChecked();
    TheLeftPanel->setVisible(optViewFolderTree->Value);
}

void TMainForm::cmdViewPieChartClick(QAction* item) {
    const int page = item->data().toInt();
    if (page == CurrentPage && ThePages->currentWidget() != pageNotScanned) return;
    Guarded([&] { PresentPage(page); });
}

void TMainForm::cmdViewPieSectionSizeWindowClick() {
    optPieSectionSizeWindow->Value = cmdViewPieSectionSizeWindow->isChecked();
    if (!SectionSizeBox) return;
    const bool show = optPieSectionSizeWindow->Value && CurrentPage == PagePieChart &&
                      ThePages->currentWidget() != pageNotScanned;
    SectionSizeBox->setVisible(show);
}

void TMainForm::cmdViewBarChartClick() {
    if (BarChartBox) platform::RunModal(*BarChartBox);
}

void TMainForm::cmdViewPieSortAscendingClick() {
    optSortAscending->Value = true;
    cmdViewPieSortAscending->setChecked(true);
    RefreshPie();
}

void TMainForm::cmdViewPieSortDescendingClick() {
    optSortAscending->Value = false;
    cmdViewPieSortDescending->setChecked(true);
    RefreshPie();
}

// --- Tools and Help ---

void TMainForm::cmdToolsFindFilesClick() {
    // The file manager stands in for the system's find dialog.
    const TFolderNode* node = SelectedNode();
    platform::OpenFileManager(node ? engine::NodePath(node) : QString());
}

void TMainForm::cmdHelpHelpTopicsClick() { ShowHelpContents(this); }

void TMainForm::cmdHelpVisitWebPageClick() { OpenProductWebPage(); }

void TMainForm::cmdHelpIntroductoryLetterClick() { ShowIntroductoryLetter(this); }

void TMainForm::cmdHelpUserSurveyClick() { ShowUserSurvey(this); }

void TMainForm::cmdHelpAboutClick() { ShowAboutBox(this); }
