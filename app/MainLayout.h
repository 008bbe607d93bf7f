#pragma once
// The main window's own controls: its menus and commands, the tool strip, the folder tree, the
// page control with its pages, and the status bar, named as the layout names them. The window
// makes them (MainLayout.cpp), holds them privately and is the only one that writes into them;
// the pages own their controls themselves.

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

// Every control of the window with its type and its name, region by region.
#define QUILLON_MAIN_FORM_CONTROLS(X)                                                  \
    /* File menu. */                                                                   \
    X(QMenu, mnuFile)                                                                  \
    X(QMenu, cmdFileRescan)                                                            \
    X(QMenu, cmdFileRemove)                                                            \
    X(QMenu, cmdFileExportPie)                                                         \
    X(QMenu, ToClipboard1)                                                             \
    X(QMenu, cmdFileReports)                                                           \
    X(QAction, cmdFileScanDrives)                                                      \
    X(QAction, cmdFileRescanCurrentDirectory)                                          \
    X(QAction, cmdFileRescanCurrentDrive)                                              \
    X(QAction, cmdFileRescanAllDrives)                                                 \
    X(QAction, cmdFileRemoveCurrentDrive)                                              \
    X(QAction, cmdFileRemoveAllDrives)                                                 \
    X(QAction, cmdFileAbort)                                                           \
    X(QAction, cmdFilePieAsMetafile)                                                   \
    X(QAction, cmdFilePieAsBitmap)                                                     \
    X(QAction, cmdFilePieToFile)                                                       \
    X(QAction, cmdFileReportFolderInformation)                                         \
    X(QAction, cmdFileReportFolderContents)                                            \
    X(QAction, cmdFileSelectFolder)                                                    \
    X(QAction, cmdFileRestoreCompressedFolders)                                        \
    X(QAction, cmdFileOpenNcdu)                                                        \
    X(QAction, cmdFileSaveNcdu)                                                        \
    X(QAction, cmdFileExit)                                                            \
    /* View menu. */                                                                   \
    X(QMenu, mnuView)                                                                  \
    X(QMenu, cmdViewPieSort)                                                           \
    X(QAction, cmdViewToolbar)                                                         \
    X(QAction, cmdViewStatusBar)                                                       \
    X(QAction, cmdViewFolderTree)                                                      \
    X(QAction, cmdViewPieChart)                                                        \
    X(QAction, cmdViewFolderInformation)                                               \
    X(QAction, cmdViewSubfolders)                                                      \
    X(QAction, cmdViewWastedSpace)                                                     \
    X(QAction, cmdViewCleanUp)                                                         \
    X(QAction, cmdViewPieSectionSizeWindow)                                            \
    X(QAction, cmdViewBarChart)                                                        \
    X(QAction, cmdViewLargestFiles)                                                    \
    X(QAction, cmdViewFileTypes)                                                       \
    X(QAction, cmdViewFindInScan)                                                      \
    X(QAction, cmdViewTreemap)                                                         \
    X(QAction, cmdViewMeasureOnDisk)                                                   \
    X(QAction, cmdViewPieSortAscending)                                                \
    X(QAction, cmdViewPieSortDescending)                                               \
    X(QAction, cmdViewOptions)                                                         \
    /* Tools and Help menus; LT1 is the separator below "Find Files or Folders...". */ \
    X(QMenu, mnuTools)                                                                 \
    X(QMenu, mnuHelp)                                                                  \
    X(QAction, cmdToolsFindFiles)                                                      \
    X(QAction, LT1)                                                                    \
    X(QAction, cmdHelpHelpTopics)                                                      \
    X(QAction, cmdHelpVisitWebPage)                                                    \
    X(QAction, cmdHelpIntroductoryLetter)                                              \
    X(QAction, cmdHelpUserSurvey)                                                      \
    X(QAction, cmdHelpAbout)                                                           \
    /* Tool strip. */                                                                  \
    X(QFrame, ToolbarSupport)                                                          \
    X(QToolBar, TheToolbar)                                                            \
    X(QAction, toolScan)                                                               \
    X(QAction, toolRescanDir)                                                          \
    X(QAction, toolStop)                                                               \
    X(QAction, toolLevelUp)                                                            \
    X(QAction, toolExplore)                                                            \
    X(QAction, toolShowWasted)                                                         \
    X(QAction, toolShowFiles)                                                          \
    X(QAction, toolPercent)                                                            \
    X(QAction, toolMB)                                                                 \
    X(TOrbDriveComboBox, DriveBox)                                                     \
    X(QComboBox, ClustersBox)                                                          \
    /* Folder tree, splitter, pages. */                                                \
    X(QWidget, TheLeftPanel)                                                           \
    X(QTreeView, FolderTree)                                                           \
    X(QSplitter, MainSplitter)                                                         \
    X(QWidget, TheRightPanel)                                                          \
    X(QTabWidget, ThePages)                                                            \
    X(QWidget, pageNotScanned)                                                         \
    X(QWidget, panNotReady)                                                            \
    X(QLabel, imgNotReady)                                                             \
    X(QTextEdit, txtNotReady)                                                          \
    X(TPieChartPage, pagePieChart)                                                     \
    X(TFolderInfoPage, pageFolderInfo)                                                 \
    X(TSubfoldersPage, pageSubfolders)                                                 \
    X(TWastedSpacePage, pageWastedSpace)                                               \
    X(TCleanUpPage, pageCleanUp)                                                       \
    /* Status bar with its two fields. */                                              \
    X(QStatusBar, TheStatusBar)                                                        \
    X(QLabel, StatusField1)                                                            \
    X(QLabel, StatusField2)

struct TMainFormControls {
#define QUILLON_CONTROL_FIELD(type, name) type* name{};
    QUILLON_MAIN_FORM_CONTROLS(QUILLON_CONTROL_FIELD)
#undef QUILLON_CONTROL_FIELD

    // Gives every control its field's name as its object name: outside the window a control is
    // found by its name, never through a field.
    void NameControls();
};
