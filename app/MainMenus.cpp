// The main window's menus: their items, captions, hints, shortcuts and wiring.
#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

#include "app/NcduTransfer.h"
#include "app/main.h"
#include "cleanup/FormCleanUpCompress.h"
#include "controls/Helpers.h"
#include "desktop/Guarded.h"

namespace {

QMenu* AddMenu(QMenuBar* bar, const QString& caption, const QString& hint) {
    QMenu* menu = bar->addMenu(caption);
    menu->menuAction()->setStatusTip(hint);
    return menu;
}

QMenu* AddSubmenu(QMenu* parent, const QString& caption, const QString& hint) {
    QMenu* menu = parent->addMenu(caption);
    menu->menuAction()->setStatusTip(hint);
    // Submenus show the status texts of their items too.
    menu->setToolTipsVisible(false);
    return menu;
}

QAction* AddItem(QMenu* menu, const QString& caption, const QString& hint,
                 const QKeySequence& key = {}) {
    QAction* item = menu->addAction(caption);
    item->setStatusTip(hint);
    if (!key.isEmpty()) item->setShortcut(key);
    return item;
}

}  // namespace

void TMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();

    mnuFile = AddMenu(bar, "&File",
                      "Scan or rescan drives, export pie charts and reports or quit the program");
    cmdFileScanDrives = AddItem(mnuFile, "&Scan Drive(s)...", "Scans one or more drives.");
    cmdFileRescan =
        AddSubmenu(mnuFile, "Resca&n", "Contains commands for rescanning folders or drives.");
    cmdFileRescanCurrentDirectory = AddItem(cmdFileRescan, "Current &Folder",
                                            "Rescans the current folder and all its subfolders.");
    cmdFileRescanCurrentDrive =
        AddItem(cmdFileRescan, "&Current Drive", "Rescans the current drive.");
    cmdFileRescanAllDrives = AddItem(cmdFileRescan, "&All Drives", "Rescans all scanned drives.");
    cmdFileRemove = AddSubmenu(mnuFile, "Remo&ve from Tree",
                               "Contains commands for removing drives from the folder tree.");
    cmdFileRemoveCurrentDrive = AddItem(cmdFileRemove, "&Current Drive",
                                        "Removes the current selected drive from the folder tree.");
    cmdFileRemoveAllDrives =
        AddItem(cmdFileRemove, "&All Drives", "Removes all drives from the folder tree.");
    mnuFile->addSeparator();
    cmdFileAbort = AddItem(mnuFile, "&Abort Scanning", "Aborts the scanning process.",
                           QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuFile->addSeparator();
    cmdFileExportPie =
        AddSubmenu(mnuFile, "Export &Pie",
                   "Copies the pie chart to the clipboard or saves it in a graphic file.");
    ToClipboard1 =
        AddSubmenu(cmdFileExportPie, "To &Clipboard",
                   "Copies the pie chart to the clipboard in metafile or bitmap format.");
    cmdFilePieAsMetafile = AddItem(ToClipboard1, "As &Metafile",
                                   "Copies the pie chart to the clipboard in metafile format.");
    cmdFilePieAsBitmap = AddItem(ToClipboard1, "As &Bitmap",
                                 "Copies the pie chart to the clipboard in bitmap format.");
    cmdFilePieToFile = AddItem(cmdFileExportPie, "To &File...",
                               "Saves the pie chart in a bitmap of metafile file.");
    cmdFileReports = AddSubmenu(mnuFile, "&Reports", "Export folder reports.");
    cmdFileReportFolderInformation =
        AddItem(cmdFileReports, "Folder &Information...",
                "Generates a report with detailed information about the current folder.");
    cmdFileReportFolderContents =
        AddItem(cmdFileReports, "Subfolder &List...",
                "Generates a report with the list of subfolders of the current folder.");
    mnuFile->addSeparator();
    cmdFileSelectFolder =
        AddItem(mnuFile, "Select &Folder...", "Selectes a new folder to be analyzed.");
    cmdFileOpenNcdu = AddItem(mnuFile, "&Open ncdu Export...",
                              "Shows a scan saved by ncdu, as a drive of its own.");
    cmdFileSaveNcdu = AddItem(mnuFile, "Save as ncdu &Export...",
                              "Saves the current folder in ncdu's export format.");
    mnuFile->addSeparator();
    cmdFileRestoreCompressedFolders = AddItem(mnuFile, "Restore &Compressed Folders...",
                                              "Decompresses and restores the folders compressed by "
                                              "Quillon Pro to their original location.");
    mnuFile->addSeparator();
    cmdFileExit = AddItem(mnuFile, "E&xit", "Quits Quillon Pro.");

    mnuView = AddMenu(bar, "&View", "Customize the main window and set program options");
    cmdViewToolbar = AddItem(mnuView, "Toolbar", "Shows or hides the toolbar.");
    cmdViewStatusBar = AddItem(mnuView, "Status &Bar", "Shows or hides the status bar.");
    cmdViewFolderTree = AddItem(mnuView, "Folder T&ree",
                                "Shows or hides the folder tree view from the left panel.");
    mnuView->addSeparator();
    cmdViewPieChart =
        AddItem(mnuView, "&Pie Chart",
                "Displays a graphical pie chart view of the space used by the current folder.");
    cmdViewFolderInformation = AddItem(mnuView, "Folder &Information",
                                       "Displays detailed information about the current folder.");
    cmdViewSubfolders =
        AddItem(mnuView, "Subfo&lders",
                "Displays a detailed list of the subfolders of the current folder.");
    cmdViewWastedSpace =
        AddItem(mnuView, "&Wasted Space",
                "Displays information about the space wasted by the current folder/drive.");
    cmdViewCleanUp = AddItem(mnuView, "&Free Some Space",
                             "Displays a few options that can be use to free up some disk space.");
    mnuView->addSeparator();
    cmdViewPieSectionSizeWindow = AddItem(mnuView, "Wasted && Drive Pie &Charts",
                                          "Shows or hides the Section & Free Information Window.",
                                          QKeySequence(Qt::CTRL | Qt::Key_C));
    cmdViewBarChart = AddItem(
        mnuView, "&Tree Bar Chart",
        "Displays the Tree Bar Chart Window, that helps you quickly find large folders (hogs).",
        QKeySequence(Qt::CTRL | Qt::Key_T));
    cmdViewLargestFiles = AddItem(mnuView, "&Largest Files",
                                  "Lists the largest files below the current folder, at any depth.",
                                  QKeySequence(Qt::CTRL | Qt::Key_L));
    cmdViewFileTypes = AddItem(mnuView, "File T&ypes",
                               "Shows how much space each kind of file takes below the current "
                               "folder.",
                               QKeySequence(Qt::CTRL | Qt::Key_Y));
    cmdViewFindInScan = AddItem(mnuView, "Fi&nd in Scan...",
                                "Finds files and folders of the scanned drives by name.",
                                QKeySequence(Qt::CTRL | Qt::Key_F));
    cmdViewTreemap = AddItem(mnuView, "Tree&map",
                             "Shows every file below the current folder at once, as rectangles "
                             "sized by their space.",
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    cmdViewMeasureOnDisk =
        AddItem(mnuView, "Measure Space on &Disk",
                "Measures the pie and the tree bar chart by the space files take on the disk "
                "rather than by their length.");
    mnuView->addSeparator();
    cmdViewPieSort = AddSubmenu(mnuView, "Pie Sections &Sort",
                                "Contains commands for arranging the pie sections.");
    cmdViewPieSortAscending =
        AddItem(cmdViewPieSort, "&Ascending", "Sorts pie sections by size in ascending order.");
    cmdViewPieSortDescending =
        AddItem(cmdViewPieSort, "&Descending", "Sorts pie sections by size in descending order.");
    mnuView->addSeparator();
    cmdViewOptions = AddItem(mnuView, "&Options...", "Changes program configuration.");

    mnuTools = AddMenu(bar, "&Tools", "Contains tools commands");
    cmdToolsFindFiles = AddItem(mnuTools, "Find Files or Folders...",
                                "Opens the Windows Find dialog box, that allows you to search for "
                                "files or folders based on various search criteria.");
    LT1 = mnuTools->addSeparator();

    mnuHelp = AddMenu(bar, "&Help", "Display help, ordering or program information");
    cmdHelpHelpTopics = AddItem(mnuHelp, "&Help Topics", "Opens Help.", QKeySequence(Qt::Key_F1));
    mnuHelp->addSeparator();
    cmdHelpVisitWebPage =
        AddItem(mnuHelp, "Visit the Quillon Pro &Web page",
                "Visit the Quillon Pro Web page for the latest information about the product.");
    cmdHelpIntroductoryLetter =
        AddItem(mnuHelp, "Introductory &Letter...", "Displays the introductory letter.");
    cmdHelpUserSurvey =
        AddItem(mnuHelp, "User &Survey...",
                "Displays a survey form that can help the authors improve Quillon Pro.");
    mnuHelp->addSeparator();
    cmdHelpAbout = AddItem(mnuHelp, "&About...", QString());

    SetHelpContext(mnuFile, 4000);
    SetHelpContext(mnuView, 4010);
    SetHelpContext(mnuTools, 4020);
    SetHelpContext(mnuHelp, 4030);

    for (QAction* item : {cmdViewToolbar, cmdViewStatusBar, cmdViewFolderTree, cmdViewPieChart,
                          cmdViewFolderInformation, cmdViewSubfolders, cmdViewWastedSpace,
                          cmdViewCleanUp, cmdViewPieSectionSizeWindow, cmdViewPieSortAscending,
                          cmdViewPieSortDescending, cmdViewMeasureOnDisk})
        item->setCheckable(true);
    // The five page items are radio items: their tags are the page numbers.
    auto* pageItems = new QActionGroup(this);
    int tag = 0;
    for (QAction* item : {cmdViewPieChart, cmdViewFolderInformation, cmdViewSubfolders,
                          cmdViewWastedSpace, cmdViewCleanUp}) {
        item->setData(tag++);
        pageItems->addAction(item);
    }
    auto* sortItems = new QActionGroup(this);
    sortItems->addAction(cmdViewPieSortAscending);
    sortItems->addAction(cmdViewPieSortDescending);

    desktop::Connect(mnuFile, &QMenu::aboutToShow, this, &TMainForm::mnuFileClick);
    desktop::Connect(cmdFileScanDrives, &QAction::triggered, this,
                     &TMainForm::cmdFileScanDrivesClick);
    desktop::Connect(cmdFileRescanCurrentDirectory, &QAction::triggered, this,
                     &TMainForm::cmdFileRescanCurrentDirectoryClick);
    desktop::Connect(cmdFileRescanCurrentDrive, &QAction::triggered, this,
                     &TMainForm::cmdFileRescanCurrentDriveClick);
    desktop::Connect(cmdFileRescanAllDrives, &QAction::triggered, this,
                     &TMainForm::cmdFileRescanAllDrivesClick);
    desktop::Connect(cmdFileRemoveCurrentDrive, &QAction::triggered, this,
                     &TMainForm::cmdFileRemoveCurrentDriveClick);
    desktop::Connect(cmdFileRemoveAllDrives, &QAction::triggered, this,
                     &TMainForm::cmdFileRemoveAllDrivesClick);
    desktop::Connect(cmdFileAbort, &QAction::triggered, this, &TMainForm::cmdFileAbortClick);
    desktop::Connect(cmdFileOpenNcdu, &QAction::triggered, this,
                     [this] { TNcduTransfer(*this, tree_).OpenExport(); });
    desktop::Connect(cmdFileSaveNcdu, &QAction::triggered, this,
                     [this] { TNcduTransfer(*this, tree_).SaveExport(); });
    desktop::Connect(cmdFileSelectFolder, &QAction::triggered, this,
                     &TMainForm::cmdFileSelectFolderClick);
    desktop::Connect(cmdFileRestoreCompressedFolders, &QAction::triggered, this,
                     &TMainForm::cmdFileRestoreCompressedFoldersClick);
    desktop::Connect(cmdFilePieAsMetafile, &QAction::triggered, this,
                     &TMainForm::cmdFilePieAsMetafileClick);
    desktop::Connect(cmdFilePieAsBitmap, &QAction::triggered, this,
                     &TMainForm::cmdFilePieAsBitmapClick);
    desktop::Connect(cmdFilePieToFile, &QAction::triggered, this,
                     &TMainForm::cmdFilePieToFileClick);
    desktop::Connect(cmdFileReportFolderInformation, &QAction::triggered, this,
                     &TMainForm::cmdFileReportFolderInformationClick);
    desktop::Connect(cmdFileReportFolderContents, &QAction::triggered, this,
                     &TMainForm::cmdFileReportFolderContentsClick);
    desktop::Connect(cmdFileExit, &QAction::triggered, this, &TMainForm::cmdFileExitClick);
    desktop::Connect(mnuView, &QMenu::aboutToShow, this, &TMainForm::mnuViewClick);
    desktop::Connect(cmdViewToolbar, &QAction::triggered, this, &TMainForm::cmdViewToolbarClick);
    desktop::Connect(cmdViewStatusBar, &QAction::triggered, this,
                     &TMainForm::cmdViewStatusBarClick);
    desktop::Connect(cmdViewFolderTree, &QAction::triggered, this,
                     &TMainForm::cmdViewFolderTreeClick);
    desktop::Connect(pageItems, &QActionGroup::triggered, this, &TMainForm::cmdViewPieChartClick);
    desktop::Connect(cmdViewPieSectionSizeWindow, &QAction::triggered, this,
                     &TMainForm::cmdViewPieSectionSizeWindowClick);
    desktop::Connect(cmdViewBarChart, &QAction::triggered, this, &TMainForm::cmdViewBarChartClick);
    desktop::Connect(cmdViewLargestFiles, &QAction::triggered, this,
                     &TMainForm::cmdViewLargestFilesClick);
    desktop::Connect(cmdViewFileTypes, &QAction::triggered, this,
                     &TMainForm::cmdViewFileTypesClick);
    desktop::Connect(cmdViewFindInScan, &QAction::triggered, this,
                     &TMainForm::cmdViewFindInScanClick);
    desktop::Connect(cmdViewTreemap, &QAction::triggered, this, &TMainForm::cmdViewTreemapClick);
    desktop::Connect(cmdViewMeasureOnDisk, &QAction::triggered, this,
                     &TMainForm::cmdViewMeasureOnDiskClick);
    desktop::Connect(cmdViewPieSortAscending, &QAction::triggered, this,
                     &TMainForm::cmdViewPieSortAscendingClick);
    desktop::Connect(cmdViewPieSortDescending, &QAction::triggered, this,
                     &TMainForm::cmdViewPieSortDescendingClick);
    desktop::Connect(cmdViewOptions, &QAction::triggered, this, &TMainForm::cmdViewOptionsClick);
    desktop::Connect(cmdToolsFindFiles, &QAction::triggered, this,
                     &TMainForm::cmdToolsFindFilesClick);
    desktop::Connect(mnuHelp, &QMenu::aboutToShow, this, &TMainForm::mnuHelpClick);
    desktop::Connect(cmdHelpHelpTopics, &QAction::triggered, this,
                     &TMainForm::cmdHelpHelpTopicsClick);
    desktop::Connect(cmdHelpVisitWebPage, &QAction::triggered, this,
                     &TMainForm::cmdHelpVisitWebPageClick);
    desktop::Connect(cmdHelpIntroductoryLetter, &QAction::triggered, this,
                     &TMainForm::cmdHelpIntroductoryLetterClick);
    desktop::Connect(cmdHelpUserSurvey, &QAction::triggered, this,
                     &TMainForm::cmdHelpUserSurveyClick);
    desktop::Connect(cmdHelpAbout, &QAction::triggered, this, &TMainForm::cmdHelpAboutClick);
}

// The restore page alone; the tree stays as it is, the user is asked to rescan instead.
void TMainForm::cmdFileRestoreCompressedFoldersClick() {
    RestoreCompressedFolders(this, ScannedLetters());
}
