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

#include <QScopeGuard>
#include "app/FolderTreeModel.h"
#include "app/Messages.h"
#include "app/Periphery.h"
#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "config/AppConfiguration.h"
#include "controls/FormOptions.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "views/FolderInfoPage.h"
#include "views/FormBarChart.h"
#include "views/FormSectionSize.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

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
    GoUpOneLevel(true);
}

void TMainForm::GoUpOneLevel(bool collapse) {
    TFolderNode* current = nav_.CurrentNode();
    if (!current || !current->Parent()) return;
    TFolderNode* parent = current->Parent();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    PresentNode(parent);
    if (collapse) CollapseWithDescendants(current);
    SelectNode(parent);
}

// The descendants too, so that going down again starts closed.
void TMainForm::CollapseWithDescendants(TFolderNode* node) {
    std::vector<TFolderNode*> pending = {node};
    while (!pending.empty()) {
        TFolderNode* n = pending.back();
        pending.pop_back();
        FolderTree->collapse(treeModel_->IndexOf(n));
        for (int c = 0; c < n->ChildCount(); ++c) pending.push_back(n->Child(c));
    }
}

void TMainForm::toolExploreClick() {
    if (engine::ImportFactsOf(nav_.CurrentPath())) return ShowInfo(engine::kImportedDriveNote);
    if (nav_.CurrentPath().isEmpty()) return;
    if (const desktop::ShellOutcome outcome = desktop::OpenFileManager(nav_.CurrentPath());
        !outcome.ok())
        ShowAppError("The folder cannot be shown:\n" + outcome.errorText, 2);
}

// --- pages ---

std::array<TViewPage*, 5> TMainForm::Pages() const {
    return {pagePieChart, pageFolderInfo, pageSubfolders, pageWastedSpace, pageCleanUp};
}

void TMainForm::PresentPageContent() {
    const int chosen = nav_.CurrentPage();
    const int page = nav_.PageShown();
    if (page != chosen) ActivatePageTab(pagePieChart);  // clean-up never applies to a whole drive
    // The section size window speaks of the pie's items.
    if (page == PagePieChart && optPieSectionSizeWindow->Value)
        ShowSectionSizeWindow();
    else
        HideSectionSizeWindow();
    Pages()[size_t(page)]->Present(nav_.Presentation(optIncludeWastedInformation->Value));
}

void TMainForm::TellSectionSizeWindowWasted(TFolderNode* node) {
    const engine::TFolderSize* r = node ? node->Record() : nullptr;
    if (!r || !SectionSizeBox) return;
    const int64_t wasted = engine::ShownTreeWasted(*r);
    SectionSizeBox->SetWasted(PercentOf(wasted, r->TreeSize), engine::SizeText(wasted));
}

void TMainForm::TellSectionSizeWindowDrive() {
    if (!SectionSizeBox) return;
    // A drive that does not tell its size (an imported one) shows it unknown, not as -1 bytes.
    const auto size = [](int64_t bytes) {
        return bytes < 0 ? QStringLiteral("unknown") : engine::SizeText(bytes);
    };
    SectionSizeBox->SetDrive(
        QChar(nav_.CurrentDriveLetter()),
        nav_.DriveTotal() < 0 ? 0 : PercentOf(nav_.DriveFree(), nav_.DriveTotal()),
        size(nav_.DriveFree()), size(nav_.DriveTotal()));
}

void TMainForm::HideSectionSizeWindow() {
    if (SectionSizeBox && SectionSizeBox->isVisible()) SectionSizeBox->hide();
}

// --- View menu ---

void TMainForm::UpdateViewCommands(const TFolderNode* node) {
    const bool scanned = node && node->Record();
    for (QAction* item : {cmdViewPieChart, cmdViewFolderInformation, cmdViewSubfolders,
                          cmdViewWastedSpace, cmdViewCleanUp, cmdViewPieSectionSizeWindow,
                          cmdViewBarChart, cmdViewLargestFiles, cmdViewFileTypes, cmdViewTreemap})
        item->setEnabled(scanned);
    if (scanned) cmdViewCleanUp->setEnabled(ThePages->isTabVisible(TabOf(pageCleanUp)));
}

void TMainForm::mnuViewClick() {
    UpdateViewCommands(SelectedNode());
    QAction* const pageItems[] = {cmdViewPieChart, cmdViewFolderInformation, cmdViewSubfolders,
                                  cmdViewWastedSpace, cmdViewCleanUp};
    pageItems[nav_.CurrentPage()]->setChecked(true);
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
    if (sender() != cmdViewFolderTree)
        cmdViewFolderTree->setChecked(!cmdViewFolderTree->isChecked());
    optViewFolderTree->Value = cmdViewFolderTree->isChecked();
    TheLeftPanel->setVisible(optViewFolderTree->Value);
}

void TMainForm::cmdViewPieChartClick(QAction* item) {
    const int page = item->data().toInt();
    if (page == nav_.CurrentPage() && ThePages->currentWidget() != pageNotScanned) return;
    PresentPage(page);
}

void TMainForm::cmdViewPieSectionSizeWindowClick() {
    optPieSectionSizeWindow->Value = cmdViewPieSectionSizeWindow->isChecked();
    if (optPieSectionSizeWindow->Value && nav_.CurrentPage() == PagePieChart &&
        ThePages->currentWidget() != pageNotScanned)
        ShowSectionSizeWindow();
    else
        HideSectionSizeWindow();
}

void TMainForm::cmdViewBarChartClick() {
    if (!BarChartBox || !nav_.CurrentNode()) return;
    BarChartBox->Fill(nav_.CurrentNode());
    desktop::RunModal(*BarChartBox);
    // The window lets go of the tree's nodes when it closes; the choice outlives them.
    const QString chosen = BarChartBox->ResultPath();
    if (!chosen.isEmpty()) OpenFolderPath(chosen);
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

void TMainForm::cmdViewOptionsClick() {
    TOptionsBox dialog(this);
    desktop::RunModal(dialog);
    if (dialog.Accepted()) PieOptionsChanged();
}

// --- Tools and Help ---

void TMainForm::cmdToolsFindFilesClick() {
    const TFolderNode* node = SelectedNode();
    if (engine::ImportFactsOf(node)) return ShowInfo(engine::kImportedDriveNote);
    const desktop::ShellOutcome outcome =
        desktop::FindFilesIn(node ? engine::NodePath(node) : QString());
    if (!outcome.ok()) ShowAppError("Files cannot be searched for:\n" + outcome.errorText, 2);
}

void TMainForm::mnuHelpClick() {
    cmdHelpVisitWebPage->setVisible(ProductWebPageOffered());
}

void TMainForm::cmdHelpHelpTopicsClick() {
    ShowHelpTopic(this, 0);
}

void TMainForm::cmdHelpVisitWebPageClick() {
    OpenProductWebPage();
}

void TMainForm::cmdHelpIntroductoryLetterClick() {
    ShowIntroductoryLetter(this);
}

void TMainForm::cmdHelpUserSurveyClick() {
    ShowUserSurvey(this);
}

void TMainForm::cmdHelpAboutClick() {
    ShowAboutBox(this);
}

// --- the pie and the section size window ---

void TMainForm::PieOptionsChanged() {
    pagePieChart->OptionsChanged();
    // Every page, not the pie alone: the subfolders' shares follow the wasted space preference.
    RefreshViews(true);
    toolShowWasted->setChecked(optIncludeWastedInformation->Value);
    toolShowFiles->setChecked(optShowFileNames->Value);
}

void TMainForm::ShowSectionSizeWindow() {
    if (!SectionSizeBox) return;
    // The window is made after the main window: its close is connected when first shown.
    if (!sectionSizeClosed_)
        sectionSizeClosed_ =
            desktop::Connect(SectionSizeBox, &TSectionSizeBox::Closed, this, [this] {
                optPieSectionSizeWindow->Value = false;
                cmdViewPieSectionSizeWindow->setChecked(false);
            });
    if (!SectionSizeBox->isVisible()) SectionSizeBox->show();
}
