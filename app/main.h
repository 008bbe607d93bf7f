#pragma once
// The main window: the folder tree on the left, the pages that present the selected folder on
// the right, the menus, the tool strip and the status bar; the scan commands and the navigation
// in the tree; the program's start-up work and what is saved when the window closes.
//
// Controls carry the names the layout gives them and are public, as the views, dialogs and
// tests that work with the window reach them by those names.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPixmap>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "app/Addons.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "platform/PainterCanvas.h"
#include "platform/WidgetCanvas.h"
#include "views/HPieChart.h"

class QAction;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QTreeView;
class TCleanUpPage;
class TFolderInfoPage;
class TFolderTreeModel;
class TOrbDriveComboBox;
class TPieChartPage;
class TSubfoldersPage;
class TWastedSpacePage;

// The five view pages and the notice page, in the order of the page control.
enum TPageIndex : int {
    PagePieChart = 0,
    PageFolderInfo,
    PageSubfolders,
    PageWastedSpace,
    PageCleanUp
};

// What a pie item is: a single file, a folder, or a group ("Files in this folder", "Other
// smaller folders", "Other smaller files", "This folder (0 bytes)").
enum class TItemKind : uint8_t { File = 0, Folder = 1, Other = 3 };

// What one section of the pie stands for.
struct TSectionInfo {
    engine::TFolderNode* Node = nullptr;  // subfolders, the folder itself, "Files in this folder"
    int64_t Size = 0;                     // tree size of a folder, length of a file
    int64_t Wasted = 0;                   // at the cluster size the views show
    int Cursor = 0;                       // TPieCursor: 0 default, 5 zoom in, 6 zoom out
    QString Name;  // as the tree shows it, the file name, or the group's text
    QString Path;  // the full path; a group's is its name
    TItemKind Kind = TItemKind::Other;
};

// The items of the pie last built. Entry 0 is the presented folder itself; each section's Tag is
// the index of its entry and its Data the entry's node.
extern std::vector<TSectionInfo> SectionInfos;

class TMainForm : public QMainWindow,
                  private engine::IScanHost,
                  private engine::TFolderTreeListener {
    Q_OBJECT
public:
    // Creates the window (FormCreate). arguments are the command-line arguments without the
    // program; they are worked through once the window has been shown.
    explicit TMainForm(QStringList arguments = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // True when the creation failed; the fatal box has been shown and the program must end.
    bool CreationFailed() const { return creationFailed_; }
    // True once the start-up work (start-up scans, command line) is done.
    bool StartupDone() const { return startupDone_; }
    // What a run without a display ends with once the start-up work is done (TExitStatus).
    int HeadlessExitStatus() const { return headlessExitStatus_; }
    // What the scanner reports to; a test may wrap it to watch a scan.
    engine::IScanHost* ScanHost() { return this; }
    // The folder "ADDONS.INI" is read from; the program's folder unless a test sets another
    // before creating the window.
    static QString AddonsFolder;

    engine::TFolderTree& Tree() { return tree_; }

    // Status bar, scanning state, presentation.
    void ShowStatusText(int field, const QString& text);
    void SetScanningState(bool on);
    bool PresentNode(engine::TFolderNode* node);
    void RefreshViews(bool present);
    void PresentPage(int page);
    // Forget the pie (and present it again when it is the current page) or the list.
    void RefreshPie();
    void RefreshList(bool present);
    void ClearCurrentFolder();

    // The one gate of every command that scans or changes the tree: false while a scan runs,
    // since the walk holds nodes that such a change would free.
    bool MayChangeTree() const;

    // Scan commands.
    void ScanOrRescanDrive(const QString& driveText);
    bool ScanDriveCommand(const QString& driveText, engine::DriveRecord* record);
    void RescanDrives(const QString& letters);
    void RemoveDrive(QChar letter);
    void RescanCurrentFolder();
    bool OpenFolderPath(const QString& path);

    // The shell's context menu of a folder or a single file at a screen point, and the tree's
    // correction when the item is gone afterwards.
    void ShowFolderItemMenu(const QString& path, bool folder, int64_t size, int64_t wasted,
                            const QPoint& globalPos);

    // Selects a node in the folder tree (the selection procedures run).
    void SelectNode(engine::TFolderNode* node);
    engine::TFolderNode* SelectedNode() const;

    // The drive text of a letter: the letter and its drive's display name.
    static QString DriveTextOf(QChar letter);

    // Presentation state.
    QString ScannedLetters;
    bool Scanning = false;
    engine::TFolderNode* CurrentNode = nullptr;
    QString CurrentPath;
    char CurrentDriveLetter = 0;
    int32_t CurrentClusterSize = -1;
    int64_t DriveTotal = -1;
    int64_t DriveFree = -1;
    int CurrentPage = PagePieChart;
    // What each page was last built for; empty or nullptr: build it again when presented.
    QString PieShownFor;
    QString InfoShownFor;
    engine::TFolderNode* ListShownFor = nullptr;

    // The pie: drawn into the off-screen picture PieBuffer (as large as FolderPie), which
    // PieDisplay, the canvas of FolderPie, shows.
    std::unique_ptr<platform::Bitmap> PieBuffer;
    std::unique_ptr<platform::WidgetCanvas> PieDisplay;
    std::unique_ptr<THPieChart> PieChart;
    // The section under the pointer, -1 for none; the item last hovered (its right-click menu).
    int HoveredIndex = -1;
    TSectionInfo ContextItem;

    // The add-on tools' commands, by menu tag.
    QStringList AddonCommands;

    // Menus.
    QMenu* mnuFile = nullptr;
    QAction* cmdFileScanDrives = nullptr;
    QMenu* cmdFileRescan = nullptr;
    QAction* cmdFileRescanCurrentDirectory = nullptr;
    QAction* cmdFileRescanCurrentDrive = nullptr;
    QAction* cmdFileRescanAllDrives = nullptr;
    QMenu* cmdFileRemove = nullptr;
    QAction* cmdFileRemoveCurrentDrive = nullptr;
    QAction* cmdFileRemoveAllDrives = nullptr;
    QAction* cmdFileAbort = nullptr;
    QMenu* cmdFileExportPie = nullptr;
    QMenu* ToClipboard1 = nullptr;
    QAction* cmdFilePieAsMetafile = nullptr;
    QAction* cmdFilePieAsBitmap = nullptr;
    QAction* cmdFilePieToFile = nullptr;
    QMenu* cmdFileReports = nullptr;
    QAction* cmdFileReportFolderInformation = nullptr;
    QAction* cmdFileReportFolderContents = nullptr;
    QAction* cmdFileSelectFolder = nullptr;
    QAction* cmdFileRestoreCompressedFolders = nullptr;
    QAction* cmdFileExit = nullptr;
    QMenu* mnuView = nullptr;
    QAction* cmdViewToolbar = nullptr;
    QAction* cmdViewStatusBar = nullptr;
    QAction* cmdViewFolderTree = nullptr;
    QAction* cmdViewPieChart = nullptr;
    QAction* cmdViewFolderInformation = nullptr;
    QAction* cmdViewSubfolders = nullptr;
    QAction* cmdViewWastedSpace = nullptr;
    QAction* cmdViewCleanUp = nullptr;
    QAction* cmdViewPieSectionSizeWindow = nullptr;
    QAction* cmdViewBarChart = nullptr;
    QMenu* cmdViewPieSort = nullptr;
    QAction* cmdViewPieSortAscending = nullptr;
    QAction* cmdViewPieSortDescending = nullptr;
    QAction* cmdViewOptions = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* cmdToolsFindFiles = nullptr;
    QAction* LT1 = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* cmdHelpHelpTopics = nullptr;
    QAction* cmdHelpVisitWebPage = nullptr;
    QAction* cmdHelpIntroductoryLetter = nullptr;
    QAction* cmdHelpUserSurvey = nullptr;
    QAction* cmdHelpAbout = nullptr;

    // Tool strip.
    QFrame* ToolbarSupport = nullptr;
    QToolBar* TheToolbar = nullptr;
    QAction* toolScan = nullptr;
    QAction* toolRescanDir = nullptr;
    QAction* toolStop = nullptr;
    QAction* toolLevelUp = nullptr;
    QAction* toolExplore = nullptr;
    QAction* toolShowWasted = nullptr;
    QAction* toolShowFiles = nullptr;
    QAction* toolPercent = nullptr;
    QAction* toolMB = nullptr;
    TOrbDriveComboBox* DriveBox = nullptr;
    QComboBox* ClustersBox = nullptr;

    // Tree, splitter, pages, status bar.
    QWidget* TheLeftPanel = nullptr;
    QTreeView* FolderTree = nullptr;
    QSplitter* MainSplitter = nullptr;
    QWidget* TheRightPanel = nullptr;
    QTabWidget* ThePages = nullptr;
    QWidget* pageNotScanned = nullptr;
    TPieChartPage* pagePieChart = nullptr;
    TFolderInfoPage* pageFolderInfo = nullptr;
    TSubfoldersPage* pageSubfolders = nullptr;
    TWastedSpacePage* pageWastedSpace = nullptr;
    TCleanUpPage* pageCleanUp = nullptr;
    QWidget* panNotReady = nullptr;
    QLabel* imgNotReady = nullptr;
    QTextEdit* txtNotReady = nullptr;
    QStatusBar* TheStatusBar = nullptr;
    QLabel* StatusField1 = nullptr;
    QLabel* StatusField2 = nullptr;

    // File dialogs.
    QFileDialog* TheSaveDialog = nullptr;
    QFileDialog* dlgExportPie = nullptr;
    QFileDialog* dlgExportList = nullptr;

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
    void cmdFileExitClick();
    void mnuFileClick();
    void DriveBoxChange();
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
    void cmdViewPieSortAscendingClick();
    void cmdViewPieSortDescendingClick();
    void cmdToolsFindFilesClick();
    void cmdHelpHelpTopicsClick();
    void cmdHelpVisitWebPageClick();
    void cmdHelpIntroductoryLetterClick();
    void cmdHelpUserSurveyClick();
    void cmdHelpAboutClick();
    void AddonToolClick(int tag);
    void ThePagesChange();
    void TheRightPanelResize();
    // The pie chart page.
    void FolderPiePaint(const QRect& rect);
    void FolderPieMouseMove(const QPoint& pos);
    void FolderPieMouseDown(Qt::MouseButton button, const QPoint& pos);
    void FolderPieResize();
    void imgIconClick();
    // Gives the chart and the section size window the colours of the colour table.
    void ApplyColors();
    // What the options dialog's OK changes on the pie: the label threshold, the colours, the
    // pie itself and the down state of "Include Wasted Space" and "Show Files".
    void PieOptionsChanged();
    void ToolbarSupportResize();
    void TheStatusBarResize();
    void panNotReadyResize();

    // The start-up work, run once after the window has been shown.
    void WMStartup();
    // Opens the first of the dropped host paths.
    void WMDropFiles(const QStringList& hostPaths);
    // Shows a hint in the status bar, or the current path when hint is empty.
    void ShowHint(const QString& hint);
    // Updates the notice of the "No scanned items" page.
    void UpdateNotReadyNotice();

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
    // Layout (one function per region).
    void CreateMenus();
    void CreateToolStrip();
    void CreateTreeAndPages();
    void CreateNotScannedPage();
    void CreateStatusBar();
    void CreateFileDialogs();
    void BuildAddonTools();
    void ApplySettingsToControls();
    void LoadSubfoldersPageSettings();
    void SaveSubfoldersPageSettings();

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
    // Runs a removal of node's subtree with the selection moved out of it as above.
    void RemoveFromTree(engine::TFolderNode* node, const std::function<void()>& removal);
    // Fills the page of CurrentPage for CurrentNode, through the page's own presenter.
    void PresentPageContent();
    void PresentPie();
    void PresentFolderInfo();
    void PresentSubfolders();
    void PresentWastedSpace();
    void PresentCleanUp();
    // The pie page (MainPie.cpp): the chart made at creation, the build for a folder, the
    // layout, the header naming an item.
    void CreatePieChart();
    void BuildPie(engine::TFolderNode* node);
    void LayOutPie(bool draw);
    void UpdatePieHeader(const QString& path, TItemKind kind, int64_t wasted, int64_t size);
    void ShowSectionSizeWindow();
    void SectionSizeWindowClosed();
    // Collapses a node of the folder tree and every node below it.
    void CollapseWithDescendants(engine::TFolderNode* node);
    // The section size window's share of the current item and facts of the current drive.
    void TellSectionSizeWindowWasted(engine::TFolderNode* node);
    void TellSectionSizeWindowDrive();
    void HideSectionSizeWindow();
    // Activates a page's tab without presenting it a second time.
    void ActivatePageTab(QWidget* page);
    int TabOf(QWidget* page) const;

    // The tree's removals: the window lets go of nodes before they go.
    void RowsAboutToBeInserted(engine::TFolderNode*, int, int) override {}
    void RowsInserted(engine::TFolderNode*, int, int) override {}
    void RowsAboutToBeRemoved(engine::TFolderNode* parent, int first, int last) override;
    void RowsRemoved(engine::TFolderNode* parent, int first, int last) override;
    void RecordChanged(engine::TFolderNode*) override {}

    // What the scanner asks of the window.
    void ShowScanStatus(const QString& text) override;
    void ProcessPendingEvents() override;
    void SetScanning(bool on) override;
    void FolderScanned(engine::TFolderNode* node) override;

    engine::TFolderTree tree_;
    TFolderTreeModel* treeModel_ = nullptr;
    QStringList arguments_;
    bool creationFailed_ = false;
    bool startupDone_ = false;
    int headlessExitStatus_ = 2;  // nothing done
    bool firstActivation_ = true;
    bool shownOnce_ = false;
    bool hintShown_ = false;
    int removing_ = 0;             // inside a removal of tree rows
    int selecting_ = 0;            // inside the procedures of a selection change
    bool closeRequested_ = false;  // a close waits for the scan to unwind
    static constexpr int kRetryRemovalMs = 50;
    bool selectionPending_ = false;   // the tree's selection moved during a removal
    bool suppressSelection_ = false;  // the window moves the selection itself
    bool switchingPages_ = false;     // the window activates a tab itself
    QElapsedTimer lastPump_;
    QMetaObject::Connection sectionSizeClosed_;
    // The shell's name, type and icon of the item the pie header showed last; a pointer resting
    // on one item asks the shell only once.
    struct {
        QString path;
        QString name;
        QString type;
        QPixmap icon;
    } headerItem_;
};

// The one main window of the run, nullptr before it exists and after it is gone.
extern TMainForm* MainForm;
// The program's folder (a program path without final backslash) and the small icon indices of
// a closed and an open folder, which the views show for folders.
extern QString ProgramFolder;
extern int FolderIconClosed;
extern int FolderIconOpen;
