// The main window's life: creation, first showing and activation, the start-up work, the
// command line, dropped folders, hints, add-on tools, and what is saved when it closes.
#include "app/main.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <cstdio>

#include "app/Addons.h"
#include "app/CommandLine.h"
#include "app/FolderTreeModel.h"
#include "app/MainReports.h"
#include "app/Messages.h"
#include "app/NcduTransfer.h"
#include "app/Periphery.h"
#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "controls/WindowPlacement.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"

QDate TMainForm::ReleaseDate() {
    return QDate::fromString(QStringLiteral(QUILLON_RELEASE_DATE), Qt::ISODate);
}

namespace {

const QString kDesktop = QStringLiteral("Desktop");
const QString kOptions = QStringLiteral("Options");

}  // namespace

TMainForm::TMainForm(TMainFormSetup setup, QWidget* parent)
    : QMainWindow(parent),
      arguments_(std::move(setup.Arguments)),
      addonsFolder_(std::move(setup.AddonsFolder)),
      today_(setup.Today ? std::move(setup.Today) : [] { return QDate::currentDate(); }) {
    try {
        FormCreate();
    } catch (...) {
        creationFailed_ = true;
        ShowError("Fatal error: Quillon Pro must close", 0, true);
    }
}

void TMainForm::FormCreate() {
    engine::ClusterSizeChoice = 0;
    LoadSettings();
    // Qt seeds its generator itself; nothing else of the program draws random numbers.
    Q_UNUSED(QRandomGenerator::global());

    setObjectName("MainForm");
    Q_INIT_RESOURCE(toolbar);
    Q_INIT_RESOURCE(help);
    setWindowTitle(kAppTitle);
    setWindowIcon(QIcon(QStringLiteral(":/toolbar/wasted.png")));
    resize(1000, 680);

    CreateMenus();
    CreateToolStrip();
    CreateTreeAndPages();
    CreateStatusBar();
    NameControls();
    QCoreApplication::instance()->installEventFilter(this);
    InstallHelpKey(this);
    engine::SetScanHost(this);
    engine::SetDriveRetryQuestion([this](const QString& text) {
        return desktop::ShowMessage(this, {kAppTitle, text, desktop::MessageIcon::Error,
                                           desktop::Retry | desktop::Cancel}) == desktop::Retry;
    });

    nav_.ChoosePage(PagePieChart);
    SetScanningState(false);
    DriveBox->setCurrentIndex(-1);
    ClustersBox->setCurrentIndex(0);
    pageSubfolders->LoadSettings();
    RefreshList(true);
    BuildAddonTools();
    setAcceptDrops(true);
    ClearCurrentFolder();
}

TMainForm::~TMainForm() {
    // The scanner and the drive check must not call back into a window that is going.
    engine::SetScanHost(nullptr);
    engine::SetDriveRetryQuestion({});
    if (!creationFailed_) {
        try {
            SaveWindowState(this, AppRegistryKey, kDesktop);
            if (!(windowState() &
                  (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
                SaveFormPlacement(this, AppRegistryKey, kDesktop);
            pageSubfolders->SaveSettings();
        } catch (...) {
            // The settings below are saved whatever happened to the placement.
        }
        const QString failure = SaveSettings();
        if (!failure.isEmpty()) ShowAppError(failure, 2);
    }
    // The folder tree goes with the window: the view and its model let go of it first, and the
    // drive list must not keep its nodes.
    if (FolderTree) FolderTree->setModel(nullptr);
    delete treeModel_;
    tree_.RemoveListener(this);
    engine::ScannedDrives().Clear();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    pagePieChart->ApplyColors();
    RestoreFormPlacement(this, AppRegistryKey, kDesktop);
    ApplySettingsToControls();
    // Without a window manager (or offscreen) no window is ever activated; the first showing
    // stands in for the first activation there, and only one of the two does the work.
    desktop::Post(this, [this] { FirstActivation(); });
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FirstActivation();
}

void TMainForm::ApplySettingsToControls() {
    toolShowWasted->setChecked(optIncludeWastedInformation->Value);
    toolShowFiles->setChecked(optShowFileNames->Value);
    toolPercent->setChecked(optShowPercentInPie->Value == 1);
    toolMB->setChecked(optShowPercentInPie->Value == 2);
    ToolbarSupport->setVisible(optViewToolbar->Value);
    cmdViewToolbar->setChecked(optViewToolbar->Value);
    TheStatusBar->setVisible(optViewStatusBar->Value);
    cmdViewStatusBar->setChecked(optViewStatusBar->Value);
    cmdViewFolderTree->setChecked(!optViewFolderTree->Value);
    cmdViewFolderTreeClick();  // toggles the check and shows or hides the tree to match
    cmdViewPieSectionSizeWindow->setChecked(optPieSectionSizeWindow->Value);
    cmdViewPieSortAscending->setChecked(optSortAscending->Value);
    cmdViewPieSortDescending->setChecked(!optSortAscending->Value);
    cmdViewMeasureOnDisk->setChecked(optMeasureSpaceOnDisk->Value);
}

void TMainForm::FirstActivation() {
    if (!firstActivation_) return;
    firstActivation_ = false;
    // The drive the program runs from.
    const QString programFolder = platform::FromHostPath(QCoreApplication::applicationDirPath());
    if (!programFolder.isEmpty()) DriveBox->setDrive(programFolder[0]);
    // A program on no drive leaves the box on the first one, not on nothing to scan.
    if (DriveBox->Drive().isNull() && DriveBox->count() > 0)
        DriveBox->setDrive(DriveBox->itemText(0)[0]);
    RestoreWindowState(this, AppRegistryKey, kDesktop);
    if (today_() > ReleaseDate().addYears(3)) {
        ShowInfo(
            "This version of Quillon Pro is more than 3 years old. Please look on the Norvane "
            "web site for a newer release. This program will continue to work as designed, "
            "but you are missing out on new features and support for modern hardware.");
    }
    // Posted, so that the start-up work runs once the window has been shown and painted.
    desktop::Post(this, [this] { WMStartup(); });
}

void TMainForm::WMStartup() {
    const auto done = qScopeGuard([this] {
        startupDone_ = true;
        emit StartupFinished();
    });
    if (RegReadString(AppRegistryKey, "Version", "ShowIntroLetter", "0") == QLatin1String("1")) {
        // Written first, so that the letter is shown once even if the program ends meanwhile.
        RegWriteString(AppRegistryKey, "Version", "ShowIntroLetter", "0");
        ShowIntroductoryLetter(this);
    }
    for (const QChar letter : optDrivesToAutoScan->Value.toUpper()) {
        ScanOrRescanDrive(DriveTextOf(letter));
        if (engine::StopRequested) break;
    }
    // A command line that rests on an import that failed would report on something else.
    const TNcduOptions ncdu = TakeNcduOptions(arguments_);
    if (ncdu.ImportFile.isEmpty() ||
        TNcduTransfer(*this, tree_).Import(ncdu.ImportFile, ncdu.ClusterSize))
        WorkThroughCommandLine();
    // A report run without a display ends here: nobody is there to pick drives.
    const bool headlessReport = desktop::IsOffscreen() && IsReportRequest(arguments_);
    if (tree_.TopLevelCount() == 0 && !closeRequested_ && !headlessReport) cmdFileScanDrivesClick();
}

void TMainForm::WorkThroughCommandLine() {
    if (arguments_.isEmpty()) return;
    if (IsReportRequest(arguments_)) {
        headlessExitStatus_ = TReportRunner(*this).Run(arguments_);
        return;
    }
    for (const QString& argument : std::as_const(arguments_)) {
        // A program path (letter, colon) or an absolute host path; anything else names nothing.
        const QString path = engine::IsProgramPath(argument) ? argument
                             : argument.startsWith(u'/')     ? platform::FromGivenHostPath(argument)
                                                             : QString();
        if (path.isEmpty()) continue;
        if (engine::IsDriveRoot(path)) {
            ScanOrRescanDrive(DriveTextOf(path[0].toUpper()));
        } else {
            OpenFolderPath(path);
        }
        if (engine::StopRequested) break;
    }
}

// Folders are taken while no scan runs; the pointer shows when a drop is not accepted.
void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && MayChangeTree())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
    if (MayChangeTree())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event) {
    if (!MayChangeTree()) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths << (url.isLocalFile() ? url.toLocalFile() : QString());
    event->acceptProposedAction();
    // Handled once the drop is complete, so that the program the folder came from is not held
    // while the drive is scanned.
    desktop::Post(this, [this, paths] { WMDropFiles(paths); });
}

void TMainForm::WMDropFiles(const QStringList& hostPaths) {
    raise();
    activateWindow();
    if (hostPaths.isEmpty() || hostPaths.first().isEmpty()) return;
    const QString path = platform::FromGivenHostPath(hostPaths.first());
    if (!path.isEmpty()) OpenFolderPath(path);
}

// Every event handler of the window runs from here, behind the program's error boundary.
bool TMainForm::event(QEvent* event) {
    return desktop::GuardedHandler([&] {
        if (event->type() == QEvent::StatusTip) {
            ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
            return true;
        }
        return QMainWindow::event(event);
    });
}

void TMainForm::ShowHint(const QString& hint) {
    hintShown_ = !hint.isEmpty() && hint != u":";
    if (hintShown_) {
        StatusField2->hide();
        StatusField1->setFrameStyle(QFrame::NoFrame);
        StatusField1->setFixedWidth(std::max(1, TheStatusBar->width() - 24));
        StatusField1->setText(hint);
    } else {
        StatusField2->show();
        StatusField1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        TheStatusBarResize();
        StatusField1->setText(nav_.CurrentPath());
    }
}

void TMainForm::ShowStatusText(int field, const QString& text) {
    (field == 0 ? StatusField1 : StatusField2)->setText(text);
}

void TMainForm::BuildAddonTools() {
    const QString folder =
        addonsFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : addonsFolder_;
    const QString file = QDir(folder).filePath("ADDONS.INI");
    const std::vector<AddonTool> tools = ReadAddonTools(file);  // a short line throws
    int tag = 0;
    for (const AddonTool& tool : tools) {
        addonCommands_ << tool.command;
        QAction* item = mnuTools->addAction(tool.caption);
        SetHint(item, tool.hint);
        item->setData(tag);
        desktop::Connect(item, &QAction::triggered, this, [this, tag] { AddonToolClick(tag); });
        ++tag;
    }
    LT1->setVisible(!addonCommands_.isEmpty());
}

void TMainForm::AddonToolClick(int tag) {
    // The tool gets the folder as the host names it, in its own folder, through the shell's
    // open: a program runs with the folder, a document or an address opens in its handler.
    const QString command = addonCommands_.value(tag);
    const QString host = engine::IsProgramPath(command) ? platform::ToHostPath(command) : command;
    const QString folder = host.startsWith(u'/') ? QFileInfo(host).absolutePath() : QString();
    const QString parameter = platform::ToHostPath(nav_.CurrentPath());
    const desktop::ShellOutcome outcome =
        desktop::ShellOpen(host, parameter.isEmpty() ? QStringList() : QStringList{parameter},
                           folder, desktop::ShowMode::Normal);
    if (!outcome.ok()) ShowAppError("Error running the selected option:\n" + outcome.errorText, 2);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (nav_.Scanning()) {
        // The walk must unwind before the window goes: stop it, and close once it has.
        closeRequested_ = true;
        engine::StopRequested = true;
        event->ignore();
        return;
    }
    setAcceptDrops(false);  // FormClose
    // The section size window closes with the program from here on: that is not the user's
    // closing it, which alone clears its setting.
    QObject::disconnect(sectionSizeClosed_);
    QMainWindow::closeEvent(event);
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    TheStatusBarResize();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // FormKeyDown: the window sees its keys before its controls do. Ctrl with B, D, M or R is
    // a clean-up action while that page's tab is there; a held key does not repeat it.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && !key->isAutoRepeat() &&
            ThePages->isTabVisible(TabOf(pageCleanUp)))
            return pageCleanUp->ShortcutPressed(key->key());
        return QMainWindow::eventFilter(watched, event);
    }
    // Ctrl+C is the View menu's "Wasted & Drive Pie Charts": the folder tree and the lists would
    // take it for copying their current item, and the command would never come.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) &&
        qobject_cast<QAbstractItemView*>(watched)) {
        event->ignore();
        return true;
    }
    desktop::Guarded([&] {
        if (event->type() != QEvent::Resize) return;
        if (watched == ToolbarSupport)
            ToolbarSupportResize();
        else if (watched == TheStatusBar)
            TheStatusBarResize();
        else if (watched == panNotReady)
            panNotReadyResize();
    });
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::cmdFileExitClick() {
    close();
}
