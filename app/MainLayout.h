#pragma once
// The main window's own controls: its menus and commands, the tool strip, the folder tree, the
// page control with its pages, and the status bar, named as the layout names them. The window
// makes them (MainLayout.cpp) and is the only one that writes into them; the pages own their
// controls themselves.

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
class QWidget;
class TCleanUpPage;
class TFolderInfoPage;
class TOrbDriveComboBox;
class TPieChartPage;
class TSubfoldersPage;
class TWastedSpacePage;

struct TMainFormControls {
    // File menu.
    QMenu *mnuFile{}, *cmdFileRescan{}, *cmdFileRemove{}, *cmdFileExportPie{}, *ToClipboard1{},
        *cmdFileReports{};
    QAction *cmdFileScanDrives{}, *cmdFileRescanCurrentDirectory{}, *cmdFileRescanCurrentDrive{},
        *cmdFileRescanAllDrives{}, *cmdFileRemoveCurrentDrive{}, *cmdFileRemoveAllDrives{},
        *cmdFileAbort{}, *cmdFilePieAsMetafile{}, *cmdFilePieAsBitmap{}, *cmdFilePieToFile{},
        *cmdFileReportFolderInformation{}, *cmdFileReportFolderContents{}, *cmdFileSelectFolder{},
        *cmdFileRestoreCompressedFolders{}, *cmdFileOpenNcdu{}, *cmdFileSaveNcdu{}, *cmdFileExit{};
    // View menu.
    QMenu *mnuView{}, *cmdViewPieSort{};
    QAction *cmdViewToolbar{}, *cmdViewStatusBar{}, *cmdViewFolderTree{}, *cmdViewPieChart{},
        *cmdViewFolderInformation{}, *cmdViewSubfolders{}, *cmdViewWastedSpace{}, *cmdViewCleanUp{},
        *cmdViewPieSectionSizeWindow{}, *cmdViewBarChart{}, *cmdViewPieSortAscending{},
        *cmdViewPieSortDescending{}, *cmdViewOptions{};
    // Tools and Help menus; LT1 is the separator below "Find Files or Folders...".
    QMenu *mnuTools{}, *mnuHelp{};
    QAction *cmdToolsFindFiles{}, *LT1{}, *cmdHelpHelpTopics{}, *cmdHelpVisitWebPage{},
        *cmdHelpIntroductoryLetter{}, *cmdHelpUserSurvey{}, *cmdHelpAbout{};

    // Tool strip.
    QFrame* ToolbarSupport{};
    QToolBar* TheToolbar{};
    QAction *toolScan{}, *toolRescanDir{}, *toolStop{}, *toolLevelUp{}, *toolExplore{},
        *toolShowWasted{}, *toolShowFiles{}, *toolPercent{}, *toolMB{};
    TOrbDriveComboBox* DriveBox{};
    QComboBox* ClustersBox{};

    // Folder tree, splitter, pages.
    QWidget* TheLeftPanel{};
    QTreeView* FolderTree{};
    QSplitter* MainSplitter{};
    QWidget* TheRightPanel{};
    QTabWidget* ThePages{};
    QWidget *pageNotScanned{}, *panNotReady{};
    QLabel* imgNotReady{};
    QTextEdit* txtNotReady{};
    TPieChartPage* pagePieChart{};
    TFolderInfoPage* pageFolderInfo{};
    TSubfoldersPage* pageSubfolders{};
    TWastedSpacePage* pageWastedSpace{};
    TCleanUpPage* pageCleanUp{};

    // Status bar with its two fields.
    QStatusBar* TheStatusBar{};
    QLabel *StatusField1{}, *StatusField2{};

    // File dialogs.
    QFileDialog *TheSaveDialog{}, *dlgExportPie{}, *dlgExportList{};
};
