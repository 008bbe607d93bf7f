// The main window's regions, controls, captions, hints and wiring.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/FolderTreeModel.h"
#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "platform/Guarded.h"
#include "views/FolderInfoPage.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

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

QAction* AddButton(QToolBar* bar, const QString& image, const QString& hint, bool checkable,
                   bool on, bool enabled) {
    QAction* button =
        bar->addAction(QIcon(QStringLiteral(":/toolbar/%1.png").arg(image)), QString());
    SetHint(button, hint);
    button->setCheckable(checkable);
    button->setChecked(on);
    button->setEnabled(enabled);
    return button;
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

    for (QAction* item :
         {cmdViewToolbar, cmdViewStatusBar, cmdViewFolderTree, cmdViewPieChart,
          cmdViewFolderInformation, cmdViewSubfolders, cmdViewWastedSpace, cmdViewCleanUp,
          cmdViewPieSectionSizeWindow, cmdViewPieSortAscending, cmdViewPieSortDescending})
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

    platform::Connect(mnuFile, &QMenu::aboutToShow, this, &TMainForm::mnuFileClick);
    platform::Connect(cmdFileScanDrives, &QAction::triggered, this,
                      &TMainForm::cmdFileScanDrivesClick);
    platform::Connect(cmdFileRescanCurrentDirectory, &QAction::triggered, this,
                      &TMainForm::cmdFileRescanCurrentDirectoryClick);
    platform::Connect(cmdFileRescanCurrentDrive, &QAction::triggered, this,
                      &TMainForm::cmdFileRescanCurrentDriveClick);
    platform::Connect(cmdFileRescanAllDrives, &QAction::triggered, this,
                      &TMainForm::cmdFileRescanAllDrivesClick);
    platform::Connect(cmdFileRemoveCurrentDrive, &QAction::triggered, this,
                      &TMainForm::cmdFileRemoveCurrentDriveClick);
    platform::Connect(cmdFileRemoveAllDrives, &QAction::triggered, this,
                      &TMainForm::cmdFileRemoveAllDrivesClick);
    platform::Connect(cmdFileAbort, &QAction::triggered, this, &TMainForm::cmdFileAbortClick);
    platform::Connect(cmdFileSelectFolder, &QAction::triggered, this,
                      &TMainForm::cmdFileSelectFolderClick);
    platform::Connect(cmdFilePieAsMetafile, &QAction::triggered, this,
                      &TMainForm::cmdFilePieAsMetafileClick);
    platform::Connect(cmdFilePieAsBitmap, &QAction::triggered, this,
                      &TMainForm::cmdFilePieAsBitmapClick);
    platform::Connect(cmdFilePieToFile, &QAction::triggered, this,
                      &TMainForm::cmdFilePieToFileClick);
    platform::Connect(cmdFileReportFolderInformation, &QAction::triggered, this,
                      &TMainForm::cmdFileReportFolderInformationClick);
    platform::Connect(cmdFileReportFolderContents, &QAction::triggered, this,
                      &TMainForm::cmdFileReportFolderContentsClick);
    platform::Connect(cmdFileExit, &QAction::triggered, this, &TMainForm::cmdFileExitClick);
    platform::Connect(mnuView, &QMenu::aboutToShow, this, &TMainForm::mnuViewClick);
    platform::Connect(cmdViewToolbar, &QAction::triggered, this, &TMainForm::cmdViewToolbarClick);
    platform::Connect(cmdViewStatusBar, &QAction::triggered, this,
                      &TMainForm::cmdViewStatusBarClick);
    platform::Connect(cmdViewFolderTree, &QAction::triggered, this,
                      &TMainForm::cmdViewFolderTreeClick);
    platform::Connect(pageItems, &QActionGroup::triggered, this, &TMainForm::cmdViewPieChartClick);
    platform::Connect(cmdViewPieSectionSizeWindow, &QAction::triggered, this,
                      &TMainForm::cmdViewPieSectionSizeWindowClick);
    platform::Connect(cmdViewBarChart, &QAction::triggered, this, &TMainForm::cmdViewBarChartClick);
    platform::Connect(cmdViewPieSortAscending, &QAction::triggered, this,
                      &TMainForm::cmdViewPieSortAscendingClick);
    platform::Connect(cmdViewPieSortDescending, &QAction::triggered, this,
                      &TMainForm::cmdViewPieSortDescendingClick);
    platform::Connect(cmdToolsFindFiles, &QAction::triggered, this,
                      &TMainForm::cmdToolsFindFilesClick);
    platform::Connect(cmdHelpHelpTopics, &QAction::triggered, this,
                      &TMainForm::cmdHelpHelpTopicsClick);
    platform::Connect(cmdHelpVisitWebPage, &QAction::triggered, this,
                      &TMainForm::cmdHelpVisitWebPageClick);
    platform::Connect(cmdHelpIntroductoryLetter, &QAction::triggered, this,
                      &TMainForm::cmdHelpIntroductoryLetterClick);
    platform::Connect(cmdHelpUserSurvey, &QAction::triggered, this,
                      &TMainForm::cmdHelpUserSurveyClick);
    platform::Connect(cmdHelpAbout, &QAction::triggered, this, &TMainForm::cmdHelpAboutClick);
}

void TMainForm::CreateToolStrip() {
    ToolbarSupport = new QFrame;
    ToolbarSupport->setObjectName("ToolbarSupport");
    ToolbarSupport->setFrameStyle(QFrame::Panel | QFrame::Raised);  // a bevel above and below
    ToolbarSupport->installEventFilter(this);                       // its resizes lay the strip out

    DriveBox = new TOrbDriveComboBox(ToolbarSupport);
    DriveBox->setObjectName("DriveBox");
    SetHint(DriveBox, "Drives List Box|Select a drive and press the Scan button to scan it");
    DriveBox->setMinimumContentsLength(18);

    TheToolbar = new QToolBar(ToolbarSupport);
    TheToolbar->setObjectName("TheToolbar");
    TheToolbar->setIconSize(QSize(16, 16));
    TheToolbar->setMovable(false);
    TheToolbar->setFloatable(false);
    // Compact buttons, so that the nine buttons and five separators fit the strip's 247 pixels.
    TheToolbar->setStyleSheet(
        "QToolButton { padding: 1px; margin: 0px; } QToolBar { spacing: 0px; padding: 0px; }");
    toolScan = AddButton(TheToolbar, "scan",
                         "Scan/Rescan Selected Drive|Scan or rescan the drive that is selected in "
                         "the Drives List Box",
                         false, false, true);
    TheToolbar->addSeparator();
    toolRescanDir =
        AddButton(TheToolbar, "rescandir",
                  "Rescan Current Folder|Rescans the current folder and all its subfolders", false,
                  false, false);
    TheToolbar->addSeparator();
    toolStop = AddButton(TheToolbar, "stop", "Abort scanning|Abort the scanning process", false,
                         false, false);
    TheToolbar->addSeparator();
    toolLevelUp = AddButton(TheToolbar, "levelup",
                            "Up One Level|Select the parent folder of the current folder", false,
                            false, false);
    toolExplore =
        AddButton(TheToolbar, "explore", "Explore Current Folder|Explore the current folder", false,
                  false, false);
    TheToolbar->addSeparator();
    toolShowWasted = AddButton(TheToolbar, "wasted",
                               "Include Wasted Space|Show the actual allocated space for each "
                               "folder and file in the pie chart",
                               true, true, true);
    toolShowFiles =
        AddButton(TheToolbar, "files", "Show Files|Display individual files in the pie chart", true,
                  true, true);
    TheToolbar->addSeparator();
    toolPercent = AddButton(TheToolbar, "percent",
                            "Relative sizes|Display relative sizes near the pie chart sections",
                            true, false, true);
    toolMB = AddButton(TheToolbar, "absolute",
                       "Absolute sizes|Display absolute sizes near the pie chart sections", true,
                       false, true);

    ClustersBox = new QComboBox(ToolbarSupport);
    ClustersBox->setObjectName("ClustersBox");
    ClustersBox->addItems({"Drive cluster size", "0.5 K (high density floppy disks)",
                           "2 K (CD-ROM)", "4 K (FAT 128 MB - 255 MB, FAT32)",
                           "8 K (FAT 256 MB - 511 MB)", "16 K (FAT 512 MB - 1023 MB)",
                           "32 K (FAT 1 GB - 2 GB)", "64 K"});
    SetHint(ClustersBox,
            "User Defined Cluster Size|Select a cluster size to see how the current folder would "
            "look on a drive with that cluster size.");

    const int height = std::max({DriveBox->sizeHint().height(), TheToolbar->sizeHint().height(),
                                 ClustersBox->sizeHint().height()}) +
                       6;
    ToolbarSupport->setFixedHeight(height);

    platform::Connect(toolScan, &QAction::triggered, this, &TMainForm::toolScanClick);
    platform::Connect(toolRescanDir, &QAction::triggered, this,
                      &TMainForm::cmdFileRescanCurrentDirectoryClick);
    platform::Connect(toolStop, &QAction::triggered, this, &TMainForm::cmdFileAbortClick);
    platform::Connect(toolLevelUp, &QAction::triggered, this, &TMainForm::toolLevelUpClick);
    platform::Connect(toolExplore, &QAction::triggered, this, &TMainForm::toolExploreClick);
    platform::Connect(toolShowWasted, &QAction::triggered, this, &TMainForm::toolShowWastedClick);
    platform::Connect(toolShowFiles, &QAction::triggered, this, &TMainForm::toolShowFilesClick);
    platform::Connect(toolPercent, &QAction::triggered, this, &TMainForm::toolPercentClick);
    platform::Connect(toolMB, &QAction::triggered, this, &TMainForm::toolMBClick);
    // Choosing a drive in DriveBox starts no scan: the Scan button does.
    platform::Connect(ClustersBox, &QComboBox::activated, this, &TMainForm::ClustersBoxChange);
}

// The strip is laid out by hand: the drive box, the toolbar 247 pixels wide, and the
// cluster-size box from 4 pixels right of the toolbar to 4 pixels before the strip's end,
// shown only while it is at least 32 pixels wide.
void TMainForm::ToolbarSupportResize() {
    const QRect area = ToolbarSupport->contentsRect();
    const int h = area.height();
    auto centre = [&](QWidget* w, int x, int width) {
        const int wh = w->sizeHint().height();
        w->setGeometry(x, area.top() + (h - wh) / 2, width, wh);
    };
    const int driveWidth = DriveBox->sizeHint().width();
    centre(DriveBox, area.left() + 4, driveWidth);
    centre(TheToolbar, DriveBox->geometry().right() + 5, 247);
    const int left = TheToolbar->geometry().right() + 1 + 4;
    const int width = ToolbarSupport->width() - 4 - left;
    ClustersBox->setVisible(width >= 32);
    if (width >= 32) centre(ClustersBox, left, width);
}

void TMainForm::CreateTreeAndPages() {
    TheLeftPanel = new QWidget;
    TheLeftPanel->setObjectName("TheLeftPanel");
    auto* leftLayout = new QVBoxLayout(TheLeftPanel);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    FolderTree = new QTreeView(TheLeftPanel);
    FolderTree->setObjectName("FolderTree");
    FolderTree->setHeaderHidden(true);
    FolderTree->setIndentation(19);
    FolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FolderTree->setSelectionMode(QAbstractItemView::SingleSelection);
    FolderTree->setUniformRowHeights(true);
    FolderTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    FolderTree->header()->setStretchLastSection(false);
    FolderTree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_.AddListener(this);  // before the model: removals are known here before the view moves
    treeModel_ = new TFolderTreeModel(tree_, this);
    FolderTree->setModel(treeModel_);
    leftLayout->addWidget(FolderTree);

    TheRightPanel = new QWidget;
    TheRightPanel->setObjectName("TheRightPanel");
    auto* rightLayout = new QVBoxLayout(TheRightPanel);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    ThePages = new QTabWidget(TheRightPanel);
    ThePages->setObjectName("ThePages");
    rightLayout->addWidget(ThePages);

    CreateNotScannedPage();
    auto addPage = [&](auto*& page, const char* name, const QString& caption) {
        page = new std::remove_reference_t<decltype(*page)>;
        page->setObjectName(name);
        ThePages->addTab(page, caption);
    };
    addPage(pagePieChart, "pagePieChart", "Pie Chart");
    addPage(pageFolderInfo, "pageFolderInfo", "Folder Info");
    addPage(pageSubfolders, "pageSubfolders", "Subfolders");
    addPage(pageWastedSpace, "pageWastedSpace", "Wasted Space");
    addPage(pageCleanUp, "pageCleanUp", "Free Some Space");
    ConnectPages();

    MainSplitter = new QSplitter(Qt::Horizontal);
    MainSplitter->setObjectName("MainSplitter");
    MainSplitter->addWidget(TheLeftPanel);
    MainSplitter->addWidget(TheRightPanel);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setSizes({240, 560});
    MainSplitter->setChildrenCollapsible(false);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolbarSupport);
    layout->addWidget(MainSplitter, 1);
    setCentralWidget(central);

    platform::Connect(FolderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
                      &TMainForm::OnTreeSelectionChanged);
    platform::Connect(FolderTree, &QWidget::customContextMenuRequested, this,
                      &TMainForm::FolderTreeMouseDown);
    platform::Connect(ThePages, &QTabWidget::currentChanged, this, &TMainForm::ThePagesChange);
}

void TMainForm::CreateNotScannedPage() {
    pageNotScanned = new QWidget;
    pageNotScanned->setObjectName("pageNotScanned");
    auto* layout = new QVBoxLayout(pageNotScanned);
    layout->setContentsMargins(0, 0, 0, 0);
    panNotReady = new QWidget(pageNotScanned);
    panNotReady->setObjectName("panNotReady");
    panNotReady->setAutoFillBackground(true);
    panNotReady->installEventFilter(this);
    layout->addWidget(panNotReady);

    imgNotReady = new QLabel(panNotReady);
    imgNotReady->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    imgNotReady->setGeometry(8, 8, 32, 32);

    txtNotReady = new QTextEdit(panNotReady);
    txtNotReady->setObjectName("txtNotReady");
    txtNotReady->setReadOnly(true);
    txtNotReady->setFrameShape(QFrame::NoFrame);
    txtNotReady->setFocusPolicy(Qt::NoFocus);  // the memo never keeps the focus
    txtNotReady->viewport()->setAutoFillBackground(false);
    txtNotReady->move(48, 8);
    ThePages->addTab(pageNotScanned, "No scanned items");
}

// The memo is as wide as the panel less 4 pixels, at most 200, and reaches to 4 pixels above
// the panel's bottom.
void TMainForm::panNotReadyResize() {
    txtNotReady->resize(std::min(TheRightPanel->width() - 4, 200),
                        std::max(0, panNotReady->height() - txtNotReady->y() - 4));
    UpdateNotReadyNotice();
}

void TMainForm::CreateStatusBar() {
    TheStatusBar = statusBar();
    TheStatusBar->setObjectName("TheStatusBar");
    TheStatusBar->setSizeGripEnabled(true);
    StatusField1 = new QLabel;
    StatusField2 = new QLabel;
    for (QLabel* field : {StatusField1, StatusField2}) {
        field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        field->setTextFormat(Qt::PlainText);
    }
    StatusField1->setMinimumWidth(1);
    StatusField1->setFixedWidth(400);
    StatusField2->setFixedWidth(150);
    TheStatusBar->addWidget(StatusField1);
    TheStatusBar->addWidget(StatusField2);
    TheStatusBar->installEventFilter(this);
}

// The first field takes the status bar's width less 150 pixels; the second keeps its width.
void TMainForm::TheStatusBarResize() {
    if (!hintShown_) StatusField1->setFixedWidth(std::max(1, TheStatusBar->width() - 150 - 24));
}

void TMainForm::CreateFileDialogs() {
    auto make = [this](const QString& title, const QStringList& filters, const QString& suffix) {
        auto* dialog = new QFileDialog(this, title);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setNameFilters(filters);
        dialog->setDefaultSuffix(suffix);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, false);  // prompt before overwriting
        dialog->setOption(QFileDialog::ReadOnly, false);
        // The same dialog on every desktop, and one whose choices tests can make.
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
        return dialog;
    };
    TheSaveDialog = make("Save Report As", {"Text file (*.txt)"}, "txt");
    dlgExportPie = make(
        QString(), {"Bitmap (*.bmp)", "Metafile (*.wmf)", "Enhanced Metafile (*.emf)"}, QString());
    dlgExportList = make(QString(),
                         {"CSV (Comma delimited) (*.csv)", "Text (Tab delimited) (*.txt)",
                          "Formatted Text (Space delimited) (*.txt)"},
                         QString());
}
