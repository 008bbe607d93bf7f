// The main window's scan commands and its scanning state.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QScopeGuard>
#include <QTreeView>

#include "app/FolderTreeModel.h"
#include "app/Messages.h"
#include "app/NcduTransfer.h"
#include "app/main.h"
#include "config/AppConfiguration.h"
#include "controls/FormSelectDrives.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "controls/ShBrowse.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/Ncdu.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/WinTypes.h"
#include "views/SubfoldersPage.h"

using engine::TFolderNode;

namespace {

bool NamesCaseSensitive(QChar letter) {
    engine::VolumeInfo info;
    engine::GetVolumeFacts(QString(letter) + QLatin1String(":\\"), info);
    return info.flags & platform::FILE_CASE_SENSITIVE_SEARCH;
}

}  // namespace

QString TMainForm::ScannedLetters() const {
    QString letters;
    for (int i = 0; i < tree_.TopLevelCount(); ++i)
        letters += QChar(tree_.TopLevel(i)->DriveLetter());
    return letters;
}

QString TMainForm::DriveTextOf(QChar letter) {
    return QString(letter) + engine::DriveDisplayName(QString(letter) + QLatin1String(":\\"));
}

// --- scanning state and the scanner's needs ---

void TMainForm::SetScanningState(bool on) {
    nav_.SetScanning(on);
    for (QAction* command :
         {cmdFileScanDrives, cmdFileRescan->menuAction(), cmdFileRemove->menuAction(),
          toolRescanDir, toolScan, cmdFileSelectFolder})
        command->setEnabled(!on);
    ClustersBox->setEnabled(!on);
    cmdFileAbort->setEnabled(on);
    toolStop->setEnabled(on);
    // The records of the scanned folders come and go with the scan.
    UpdateViewCommands(nav_.CurrentNode());
    // A close asked for during the scan waits until the walk has unwound.
    if (!on && closeRequested_) desktop::Post(this, [this] { close(); });
}

bool TMainForm::MayChangeTree() const {
    return !nav_.Scanning() && !engine::TreeBusy();
}

void TMainForm::ShowScanStatus(const QString& text) {
    ShowStatusText(0, text);
}

void TMainForm::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

void TMainForm::SetScanning(bool on) {
    SetScanningState(on);
}

void TMainForm::FolderScanned(TFolderNode* node) {
    if (node == nav_.CurrentNode()) RefreshViews(true);
}

// --- commands ---

void TMainForm::toolScanClick() {
    if (!DriveBox->Drive().isNull()) ScanOrRescanDrive(DriveBox->currentText());
}

void TMainForm::cmdFileScanDrivesClick() {
    if (!MayChangeTree()) return;
    TDrivesSelectBox dialog(this);
    desktop::RunModal(dialog);
    if (!dialog.ScanChosen()) return;
    const QString letters = dialog.TheDrivesBox()->CheckedDrives();
    const TOrbDriveCheckListBox* list = dialog.TheDrivesBox();
    for (int i = 0; i < list->count(); ++i) {
        const QString text = list->item(i)->text();
        if (!letters.contains(text.left(1))) continue;
        ScanOrRescanDrive(text);
        if (engine::StopRequested) break;
    }
}

void TMainForm::cmdFileRescanCurrentDirectoryClick() {
    if (nav_.CurrentNode()) RescanFolder(SelectedNode());
}

void TMainForm::cmdFileRescanCurrentDriveClick() {
    if (nav_.CurrentDriveLetter()) RescanDrives(QString(QChar(nav_.CurrentDriveLetter())));
}

void TMainForm::cmdFileRescanAllDrivesClick() {
    RescanDrives(ScannedLetters());
}

void TMainForm::cmdFileRemoveCurrentDriveClick() {
    RemoveDrive(QChar(nav_.CurrentDriveLetter()));
}

void TMainForm::cmdFileRemoveAllDrivesClick() {
    for (qsizetype n = ScannedLetters().size(); n > 0; --n) RemoveDrive(ScannedLetters().at(0));
}

void TMainForm::cmdFileAbortClick() {
    // A stop with no scan running would stop the next multi-drive command before it began.
    if (nav_.Scanning()) engine::StopRequested = true;
}

void TMainForm::cmdFileSelectFolderClick() {
    TFolderBrowse browse;
    browse.Title =
        "Select the folder you want to analyze. If the folder has not been scanned, Quillon Pro "
        "will scan it now.";
    browse.AllowRoot = true;
    if (browse.Execute()) OpenFolderPath(browse.Folder);
}

void TMainForm::mnuFileClick() {
    cmdFileRemove->menuAction()->setVisible(true);
    const bool scanned = nav_.CurrentNode() && nav_.CurrentNode()->Record();
    cmdFileExportPie->menuAction()->setEnabled(scanned);
    cmdFileReports->menuAction()->setEnabled(scanned);
    cmdFileOpenNcdu->setEnabled(MayChangeTree());
    cmdFileSaveNcdu->setEnabled(TNcduTransfer(*this, tree_).CanSave());
}

// --- the scan operations ---

void TMainForm::ScanOrRescanDrive(const QString& driveText) {
    if (driveText.isEmpty() || !MayChangeTree()) return;
    const QChar letter = driveText[0].toUpper();
    if (ScannedLetters().contains(letter))
        RescanDrives(QString(letter));
    else
        ScanDriveCommand(driveText, nullptr);
}

bool TMainForm::ScanDriveCommand(const QString& driveText, engine::DriveRecord* record) {
    if (!MayChangeTree()) return false;
    if (!engine::CheckDriveAccess(char(driveText[0].toUpper().unicode()))) return false;
    ScanCheckedDrive(driveText, record);
    return true;
}

engine::TScanSession TMainForm::ScanSession() const {
    return {.CountHardLinksOnce = optCountHardLinksOnce->Value,
            .KeepFileDetails = optKeepFileDetails->Value};
}

void TMainForm::ScanCheckedDrive(const QString& driveText, engine::DriveRecord* record) {
    const char letter = char(driveText[0].toUpper().unicode());
    if (!record) record = engine::ScannedDrives().Add(letter);

    auto finish = [&] {
        ShowStatusText(0, "Done.");
        RefreshViews(engine::StopRequested);
        if (!SelectedNode() && tree_.TopLevelCount() > 0) SelectNode(tree_.TopLevel(0));
    };
    try {
        engine::ScanDrive(tree_, driveText, *record, ScanSession());
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

bool TMainForm::ScanDriveFolderCommand(const QString& path) {
    const char letter = char(path[0].toUpper().unicode());
    if (!MayChangeTree()) return false;
    if (engine::ScannedDrives().Find(letter)) return true;
    if (!engine::CheckDriveAccess(letter)) return false;
    engine::DriveRecord* record = engine::ScannedDrives().Add(letter);
    const auto finish = qScopeGuard([&] {
        ShowStatusText(0, "Done.");
        RefreshViews(engine::StopRequested);
        if (!SelectedNode() && tree_.TopLevelCount() > 0) SelectNode(tree_.TopLevel(0));
    });
    if (engine::ScanDriveFolder(tree_, DriveTextOf(QChar(letter)), *record, path, ScanSession()))
        return true;
    engine::ScannedDrives().Remove(record);  // no such folder: the drive stays out
    return false;
}

void TMainForm::RescanDrives(const QString& letters) {
    if (!MayChangeTree()) return;
    RefreshViews(false);
    for (const QChar letter : letters) {
        engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
        if (!ScannedLetters().contains(letter) || !record) continue;
        if (record->Import) {
            if (letters.size() == 1) ShowInfo(engine::kImportedDriveNote);
            continue;
        }
        // The drive stays in the tree until it is known to answer: Cancel keeps everything.
        if (!engine::CheckDriveAccess(record->Letter)) continue;
        const QString remembered = nav_.CurrentPath();
        if (record->Node) DeleteTreeNode(record->Node);
        if (!SelectedNode()) ClearCurrentFolder();
        ScanCheckedDrive(record->DriveText, record);
        OpenFolderPath(remembered);
        if (engine::StopRequested) break;
    }
}

void TMainForm::RemoveDrive(QChar letter) {
    if (letter.isNull() || !MayChangeTree()) return;
    engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
    if (!record) return;
    const char drive = record->Letter;
    if (record->Node)
        RemoveFromTree(record->Node, [drive] { engine::RemoveDrive(drive); });
    else
        engine::RemoveDrive(drive);
    if (!SelectedNode()) ClearCurrentFolder();
}

void TMainForm::RescanFolder(TFolderNode* node) {
    if (!node || !MayChangeTree()) return;
    if (engine::ImportFactsOf(node)) return ShowInfo(engine::kImportedDriveNote);
    SetScanningState(true);
    PresentNode(nullptr);
    auto finish = [&] {
        RefreshViews(true);
        SetScanningState(false);
        PresentNode(SelectedNode());
    };
    try {
        engine::RescanFolder(engine::NodePath(node), node);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TMainForm::ClearCurrentFolder() {
    PresentNode(nullptr);
    nav_.Clear();
    setWindowTitle(kAppTitle);
    ShowStatusText(0, QString());
    ShowStatusText(1, QString());
    toolRescanDir->setEnabled(false);
    toolExplore->setEnabled(false);
    if (ScannedLetters().isEmpty()) {
        UpdateNotReadyNotice();
        cmdFileRescan->menuAction()->setEnabled(false);
        cmdFileRemove->menuAction()->setEnabled(false);
    }
}

bool TMainForm::OpenFolderPath(const QString& path) {
    if (path.size() <= 2 || path[1] != u':' || path[2] != u'\\') return false;
    const QChar letter = path[0].toUpper();
    if (!engine::ScannedDrives().Find(char(letter.unicode())))
        ScanOrRescanDrive(DriveTextOf(letter));  // refused while a scan runs
    const engine::DriveRecord* record = engine::ScannedDrives().Find(char(letter.unicode()));
    if (!record) return false;
    TFolderNode* target = path.size() == 3 ? record->Node
                                           : engine::FindNodeByPath(record->Node, path.mid(3),
                                                                    NamesCaseSensitive(letter));
    if (target) {
        SelectNode(target);
        FolderTree->expand(treeModel_->IndexOf(target));
        FolderTree->setFocus();
    }
    return true;
}
