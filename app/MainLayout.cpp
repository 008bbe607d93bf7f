// The main window's regions below the menus: tool strip, tree and pages, status bar, dialogs.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
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
#include "desktop/Guarded.h"
#include "views/FolderInfoPage.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"
#include "views/WastedSpacePage.h"

namespace {
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

    desktop::Connect(toolScan, &QAction::triggered, this, &TMainForm::toolScanClick);
    desktop::Connect(toolRescanDir, &QAction::triggered, this,
                     &TMainForm::cmdFileRescanCurrentDirectoryClick);
    desktop::Connect(toolStop, &QAction::triggered, this, &TMainForm::cmdFileAbortClick);
    desktop::Connect(toolLevelUp, &QAction::triggered, this, &TMainForm::toolLevelUpClick);
    desktop::Connect(toolExplore, &QAction::triggered, this, &TMainForm::toolExploreClick);
    desktop::Connect(toolShowWasted, &QAction::triggered, this, &TMainForm::toolShowWastedClick);
    desktop::Connect(toolShowFiles, &QAction::triggered, this, &TMainForm::toolShowFilesClick);
    desktop::Connect(toolPercent, &QAction::triggered, this, &TMainForm::toolPercentClick);
    desktop::Connect(toolMB, &QAction::triggered, this, &TMainForm::toolMBClick);
    // Choosing a drive in DriveBox starts no scan: the Scan button does.
    desktop::Connect(ClustersBox, &QComboBox::activated, this, &TMainForm::ClustersBoxChange);
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
    // F1 on a page opens the View topic at the page's part; the wasted-space page sets its own.
    SetHelpContext(pagePieChart, 4010, "pie");
    SetHelpContext(pageFolderInfo, 4010, "info");
    SetHelpContext(pageSubfolders, 4010, "subfolders");
    SetHelpContext(pageCleanUp, 4010, "cleanup");
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

    desktop::Connect(FolderTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
                     &TMainForm::OnTreeSelectionChanged);
    desktop::Connect(FolderTree, &QWidget::customContextMenuRequested, this,
                     &TMainForm::FolderTreeMouseDown);
    desktop::Connect(ThePages, &QTabWidget::currentChanged, this, &TMainForm::ThePagesChange);
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

QFileDialog& TMainForm::SaveDialog(TSaveDialog which) {
    QFileDialog*& dialog = saveDialogs_[size_t(which)];
    if (dialog) return *dialog;
    static const struct {
        const char* name;
        const char* title;
        QStringList filters;
        const char* suffix;
    } kDialogs[] = {
        {"TheSaveDialog", "Save Report As", {"Text file (*.txt)"}, "txt"},
        {"dlgExportPie",
         "",
         {"Bitmap (*.bmp)", "Metafile (*.wmf)", "Enhanced Metafile (*.emf)"},
         ""},
        {"dlgExportList",
         "",
         {"CSV (Comma delimited) (*.csv)", "Text (Tab delimited) (*.txt)",
          "Formatted Text (Space delimited) (*.txt)"},
         ""},
        {"dlgExportPicture", "", {"PNG image (*.png)", "SVG drawing (*.svg)"}, ""},
    };
    const auto& made = kDialogs[size_t(which)];
    dialog = new QFileDialog(this, QString::fromLatin1(made.title));
    dialog->setObjectName(QLatin1String(made.name));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters(made.filters);
    dialog->setDefaultSuffix(QString::fromLatin1(made.suffix));
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);  // prompt before overwriting
    dialog->setOption(QFileDialog::ReadOnly, false);
    // The same dialog on every desktop, and one whose choices tests can make.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    return *dialog;
}

void TMainFormControls::NameControls() {
#define QUILLON_NAME_CONTROL(type, name) name->setObjectName(QStringLiteral(#name));
    QUILLON_MAIN_FORM_CONTROLS(QUILLON_NAME_CONTROL)
#undef QUILLON_NAME_CONTROL
}
