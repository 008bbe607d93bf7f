#pragma once
// The main window: the folder tree on the left, the pages that present the selected folder on
// the right, the menus, the tool strip and the status bar. It owns the tree, the scan commands
// and the navigation (which folder is current, which page shows it), and dispatches to the
// pages, each of which presents the current folder itself.

#include <QDate>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>

#include "app/MainLayout.h"
#include "app/Navigator.h"
#include "cleanup/CleanUpPage.h"
#include "engine/FileQueries.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "reports/FolderReport.h"
#include "views/SubfoldersPage.h"
#include "views/ViewPage.h"

class TFileTypesBox;
class TFindBox;
class TFolderTreeModel;
class THPieChart;
class TLargestFilesBox;
class TTreemapBox;
namespace draw {
class Bitmap;
}

// What a main window is started with: the command-line arguments without the program (worked
// through once the window has been shown), the folder "ADDONS.INI" is read from (empty: the
// program's folder), and the clock that says today's date (null: the system's).
struct TMainFormSetup {
    QStringList Arguments;
    QString AddonsFolder;
    std::function<QDate()> Today;
};

class TMainForm : public QMainWindow,
                  private TMainFormControls,
                  public ICleanUpHost,
                  private engine::IScanHost,
                  private engine::TFolderTreeListener {
    Q_OBJECT
public:
    // Creates the window (FormCreate).
    explicit TMainForm(TMainFormSetup setup = {}, QWidget* parent = nullptr);
    explicit TMainForm(QStringList arguments, QWidget* parent = nullptr)
        : TMainForm(TMainFormSetup{.Arguments = std::move(arguments)}, parent) {}
    ~TMainForm() override;

    // True when the creation failed (the fatal box was shown); true once the start-up work is
    // done; what a run without a display then ends with (TExitStatus).
    bool CreationFailed() const { return creationFailed_; }
    bool StartupDone() const { return startupDone_; }
    int HeadlessExitStatus() const { return headlessExitStatus_; }
    // What the scanner reports to; a test may wrap it to watch a scan.
    engine::IScanHost* ScanHost() { return this; }
    // The day this build was made, from which the old-version notice counts three years.
    static QDate ReleaseDate();
    const engine::TFolderTree& Tree() const { return tree_; }

    // Where the window stands (the current folder, its drive, the page, the scanning state);
    // ScannedLetters: the letters of the tree's drives in (re)scan order.
    const TNavigator& Navigator() const { return nav_; }
    QString ScannedLetters() const;
    // The add-on tools' commands, by menu tag.
    const QStringList& AddonCommands() const { return addonCommands_; }

    void ShowStatusText(int field, const QString& text);
    void SetScanningState(bool on);
    // The one gate of every command that scans or changes the tree: false while a scan runs,
    // since the walk holds nodes that such a change would free.
    bool MayChangeTree() const override;
    // Presentation: the notice or the view pages for a node, every page made to forget (and the
    // current one presented again), one page presented, the pie or the list forgotten.
    bool PresentNode(engine::TFolderNode* node);
    void RefreshViews(bool present);
    void PresentPage(int page);
    void RefreshPie();
    void RefreshList(bool present);
    void ClearCurrentFolder();
    void UpdateNotReadyNotice();

    // Scan commands.
    void ScanOrRescanDrive(const QString& driveText);
    bool ScanDriveCommand(const QString& driveText, engine::DriveRecord* record);
    // A report's folder on a drive not in the tree: only that folder is scanned. False when
    // the folder cannot be reached.
    bool ScanDriveFolderCommand(const QString& path);
    void RescanDrives(const QString& letters);
    void RemoveDrive(QChar letter);
    // What a drive scan or import starting now is asked to do, as the options say.
    engine::TScanSession ScanSession() const;
    // What the clean-up page asks: the selected folder, its node gone or its totals counted again.
    engine::TFolderNode* CleanUpFolder() const override { return SelectedNode(); }
    bool RemoveVanishedFolder(const QString& path, engine::TFolderNode* node) override;
    void RescanFolder(engine::TFolderNode* node) override;
    bool OpenFolderPath(const QString& path);

    // The shell's menu of a folder or a file, and the tree's correction when it is gone after.
    void ShowFolderItemMenu(const QString& path, bool folder, int64_t size, int64_t wasted,
                            const QPoint& globalPos);
    // Selects a node in the folder tree (the selection procedures run).
    void SelectNode(engine::TFolderNode* node);
    engine::TFolderNode* SelectedNode() const;
    // The drive text of a letter: the letter and its drive's display name.
    static QString DriveTextOf(QChar letter);
    // What the options dialog's OK changes on the pie and its two tool buttons.
    void PieOptionsChanged();

    // A folder report's content for the selected folder: the pages' texts, and its subfolder
    // list as a list with this filter shows it, the wasted space counted when includeWasted.
    // The page the user had chosen is presented again afterwards.
    TFolderReportContent ReportContent(const TSubfoldersPage::TFilter& filter, bool includeWasted);
    // The subfolder list alone, as the list reports write it (no page is presented for it).
    TListTable ReportList(const TSubfoldersPage::TFilter& filter, bool includeWasted) const;
    // The subfolder page's filter and sort as its controls hold them.
    TSubfoldersPage::TFilter SubfolderFilter() const;

    // The start-up work, run once after the window has been shown; the first dropped folder
    // opened; a hint in the status bar, or the current path when hint is empty.
    void WMStartup();
    void WMDropFiles(const QStringList& hostPaths);
    void ShowHint(const QString& hint);

    // Handlers with the names of the command map.
    void toolScanClick();
    void cmdFileScanDrivesClick();
    void cmdFileRescanCurrentDirectoryClick();
    void cmdFileRescanCurrentDriveClick();
    void cmdFileRescanAllDrivesClick();
    void cmdFileRemoveCurrentDriveClick();
    void cmdFileRemoveAllDrivesClick();
    void cmdFileAbortClick();
    void cmdFileSelectFolderClick();
    void cmdFileRestoreCompressedFoldersClick();
    void cmdFilePieAsMetafileClick();
    void cmdFilePieAsBitmapClick();
    void cmdFilePieToFileClick();
    void cmdFileReportFolderInformationClick();
    void cmdFileReportFolderContentsClick();
    void cmdFileExitClick();
    void mnuFileClick();
    void ClustersBoxChange();
    void toolLevelUpClick();
    void toolExploreClick();
    void toolShowWastedClick();
    void toolShowFilesClick();
    void toolPercentClick();
    void toolMBClick();
    void mnuViewClick();
    void cmdViewToolbarClick();
    void cmdViewStatusBarClick();
    void cmdViewFolderTreeClick();
    void cmdViewPieChartClick(QAction* item);
    void cmdViewPieSectionSizeWindowClick();
    void cmdViewBarChartClick();
    void cmdViewLargestFilesClick();
    void cmdViewFileTypesClick();
    void cmdViewFindInScanClick();
    void cmdViewMeasureOnDiskClick();
    void cmdViewTreemapClick();
    // The Largest Files window over a folder (the pie's "Other smaller files" opens it too).
    void ShowLargestFiles(engine::TFolderNode* folder, const engine::TFileFilter& filter = {});
    void cmdViewPieSortAscendingClick();
    void cmdViewPieSortDescendingClick();
    void cmdViewOptionsClick();
    void cmdToolsFindFilesClick();
    void mnuHelpClick();
    void cmdHelpHelpTopicsClick();
    void cmdHelpVisitWebPageClick();
    void cmdHelpIntroductoryLetterClick();
    void cmdHelpUserSurveyClick();
    void cmdHelpAboutClick();
    void AddonToolClick(int tag);
    void ThePagesChange();
    void ToolbarSupportResize();
    void TheStatusBarResize();
    void panNotReadyResize();

signals:
    // The start-up work is done (StartupDone is true).
    void StartupFinished();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Layout (MainLayout.cpp), one function per region.
    void CreateMenus();
    void CreateToolStrip();
    void CreateTreeAndPages();
    void CreateNotScannedPage();
    void CreateStatusBar();
    // The save dialogs, each made when it is first asked for (a file dialog lists its folder
    // as it is made, which a report run without a person never needs).
    enum class TSaveDialog { Report, Pie, List, Picture };
    QFileDialog& SaveDialog(TSaveDialog which);
    void ConnectPages();
    void BuildAddonTools();
    void ApplySettingsToControls();
    // The View commands that need a scanned folder follow the node presented, so that their
    // shortcuts act only where the menu would offer them.
    void UpdateViewCommands(const engine::TFolderNode* node);

    // Start-up steps.
    void FormCreate();
    void FirstActivation();
    void WorkThroughCommandLine();

    // Folder-tree navigation.
    bool FolderTreeChanging(engine::TFolderNode* node);
    void FolderTreeChange(engine::TFolderNode* node);
    void DriveChange();
    void FolderTreeMouseDown(const QPoint& pos);
    void OnTreeSelectionChanged(const QModelIndex& current, const QModelIndex& previous);
    void HandleSelection(engine::TFolderNode* node, engine::TFolderNode* previous);
    // Goes from the current folder to its parent, collapsing the current one's branch first
    // when asked.
    void GoUpOneLevel(bool collapse);
    void CollapseWithDescendants(engine::TFolderNode* node);
    // Scans a drive whose access was checked (ScanDriveCommand after its check).
    void ScanCheckedDrive(const QString& driveText, engine::DriveRecord* record);
    // The node of a path now in the tree, nullptr when none.
    engine::TFolderNode* NodeAt(const QString& path) const;
    // Removes the node of a folder that is no longer on disk, when it is still in the tree; it
    // waits while the tree control or a selection change is busy.
    void RemoveVanishedNode(const QString& path);
    // Deletes a node with its subtree and records; a selection inside it moves to a neighbour,
    // as a tree control moves it, and the selection procedures run for that one.
    void DeleteTreeNode(engine::TFolderNode* node);
    void RemoveFromTree(engine::TFolderNode* node, const std::function<void()>& removal);

    // Runs an export with the pie page presented, the page the user had chosen presented again
    // afterwards.
    void ExportPie(const std::function<void(THPieChart&, draw::Bitmap&)>& exportTo);
    // The pages in page order, and presenting the current page for CurrentNode.
    std::array<TViewPage*, 5> Pages() const;
    void PresentPageContent();
    int TabOf(QWidget* page) const;
    // Activates a page's tab without presenting it a second time.
    void ActivatePageTab(QWidget* page);
    // The section size window beside the pie page, and what it is told.
    void ShowSectionSizeWindow();
    void HideSectionSizeWindow();
    void TellSectionSizeWindowWasted(engine::TFolderNode* node);
    void TellSectionSizeWindowDrive();

    // The tree's removals: the window and its pages let go of nodes before they go.
    void RowsAboutToBeRemoved(engine::TFolderNode* parent, int first, int last) override;
    void RowsRemoved(engine::TFolderNode* parent, int first, int last) override;

    // What the scanner asks of the window.
    void ShowScanStatus(const QString& text) override;
    void ProcessPendingEvents() override;
    void SetScanning(bool on) override;
    void FolderScanned(engine::TFolderNode* node) override;

    engine::TFolderTree tree_;
    TNavigator nav_;
    QStringList addonCommands_;
    TFolderTreeModel* treeModel_ = nullptr;
    std::array<QFileDialog*, 4> saveDialogs_{};  // by TSaveDialog, owned by the window
    // The file windows (app/MainFiles.cpp), made when first asked for, owned by the window.
    TLargestFilesBox& LargestFilesWindow();
    TFileTypesBox& FileTypesWindow();
    TFindBox& FindWindow();
    // The item menu of a file or folder in a file window; true when it is gone afterwards.
    bool FileWindowItemMenu(const QString& path, bool folder, const QPoint& at);
    // A file deleted from the disk (by an item menu) leaves the totals and the file store.
    void FileRemoved(engine::TFolderNode* folder, const QString& name, int64_t size,
                     int64_t wasted);
    TLargestFilesBox* largestFiles_ = nullptr;
    TFileTypesBox* fileTypes_ = nullptr;
    TFindBox* find_ = nullptr;
    TTreemapBox* treemap_ = nullptr;
    TTreemapBox& TreemapWindow();
    QStringList arguments_;
    QString addonsFolder_;
    std::function<QDate()> today_;
    bool creationFailed_ = false;
    bool startupDone_ = false;
    int headlessExitStatus_ = 2;  // nothing done
    bool firstActivation_ = true;
    bool shownOnce_ = false;
    bool hintShown_ = false;
    int removing_ = 0;                // inside a removal of tree rows
    int selecting_ = 0;               // inside the procedures of a selection change
    bool closeRequested_ = false;     // a close waits for the scan to unwind
    bool selectionPending_ = false;   // the tree's selection moved during a removal
    bool suppressSelection_ = false;  // the window moves the selection itself
    bool switchingPages_ = false;     // the window activates a tab itself
    QMetaObject::Connection sectionSizeClosed_;
};
