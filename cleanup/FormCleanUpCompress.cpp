#include "cleanup/FormCleanUpCompress.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <set>

#include "cleanup/ArchiveCore.h"
#include "cleanup/ArchivesRegister.h"
#include "config/AppConfiguration.h"
#include "controls/FilCtl95.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/ShBrowse.h"
#include "controls/WindowPlacement.h"
#include "desktop/Guarded.h"
#include "desktop/MessageBox.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "platform/HostNames.h"
#include "platform/PinnedFolder.h"
#include "views/PageParts.h"

QString TCleanUpCompressFolderBox::EngineFolder;

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int64_t kStepBytes = 32768;  // what each engine step counts for

const char* const kResults1 =
    "The folder you have compressed was using %s of disk space on drive %s";
const char* const kResults2 =
    "The ZIP achive containing the compressed folder is using %s of disk space on drive %s";
const char* const kResults3 = "By compressing the folder you have gained %s of disk space";
const char* const kResults3Kept =
    "You should delete the folder you have compressed. This way you will gain %s of disk space";
const char* const kResults3Lost =
    "By compressing the folder you have gained no disk space: the archive takes %s more than "
    "the files it replaced";

// A caption with each "%s" replaced, in order, by the next value.
QString Filled(const char* caption, const QStringList& values) {
    QString text = QString::fromUtf8(caption);
    qsizetype at = 0;
    for (const QString& value : values) {
        at = text.indexOf(QLatin1String("%s"), at);
        if (at < 0) break;
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

QString LastComponent(const QString& path) {
    return engine::RemoveBackslash(path).mid(engine::RemoveBackslash(path).lastIndexOf(u'\\') + 1);
}

QString RootOf(const QString& path) {
    return path.left(1) + QStringLiteral(":\\");
}

QLabel* Heading(const QString& text) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton* Button(const QString& caption, const char* name) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);  // Enter in an edit starts nothing
    return button;
}

QCheckBox* CheckBox(const QString& caption, const char* name) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    return box;
}

// Only the description column of the archive list is edited in place.
class FirstColumnEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        return index.column() == 0 ? QStyledItemDelegate::createEditor(parent, option, index)
                                   : nullptr;
    }
};

}  // namespace

// --- creation ---

TCleanUpCompressFolderBox::TCleanUpCompressFolderBox(QWidget* owner) : QDialog(owner) {
    setObjectName("CleanUpCompressFolderBox");
    setWindowTitle("Archive Folder To Gain Some Space");
    SetHelpContext(this, kHelpTopic);

    auto* layout = new QVBoxLayout(this);
    ThePages_ = new QTabWidget;
    ThePages_->setObjectName("ThePages");
    ThePages_->addTab(CreateCompressPage(), "Archive Folder");
    ThePages_->addTab(CreateRestorePage(), "Restore Folder");
    ThePages_->addTab(CreateProgressPage(), "Progress");
    ThePages_->setTabVisible(ThePages_->indexOf(sheetProgress_), false);
    layout->addWidget(ThePages_, 1);

    auto* buttons = new QHBoxLayout;
    cmdHelp_ = Button("Help", "cmdHelp");
    cmdClose_ = Button("Close", "cmdClose");
    buttons->addWidget(cmdHelp_);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose_);
    layout->addLayout(buttons);

    desktop::Connect(cmdCompress_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdCompressClick);
    desktop::Connect(cmdStop_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdStopClick);
    desktop::Connect(cmdHelp_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdHelpClick);
    desktop::Connect(cmdClose_, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::reject);
    desktop::Connect(cbRestoreDrivesList_, &TDrive95ComboBox::OnChange, this,
                     &TCleanUpCompressFolderBox::cbRestoreDrivesListChange);
    desktop::Connect(lvArchives_, &QTreeWidget::itemSelectionChanged, this,
                     &TCleanUpCompressFolderBox::lvArchivesChange);
    desktop::Connect(lvArchives_, &QTreeWidget::itemChanged, this,
                     &TCleanUpCompressFolderBox::lvArchivesEdited);
    desktop::Connect(ediRestorePath_, &QLineEdit::textChanged, this,
                     &TCleanUpCompressFolderBox::ediRestorePathChange);
    desktop::Connect(cmdRestorePath_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdRestorePathClick);
    desktop::Connect(cmdDeleteArchive_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdDeleteArchiveClick);
    desktop::Connect(cmdRestore_, &QPushButton::clicked, this,
                     &TCleanUpCompressFolderBox::cmdRestoreClick);

    LoadSettings();
    resize(560, 430);
    CenterOnForm(owner ? owner->window() : nullptr, this);
    // The drive box reports its drive once the window is made: the list is filled at once.
    cbRestoreDrivesListChange();
}

TCleanUpCompressFolderBox::~TCleanUpCompressFolderBox() {
    SaveSettings();
}

QWidget* TCleanUpCompressFolderBox::CreateCompressPage() {
    sheetCompress_ = new QWidget;
    sheetCompress_->setObjectName("sheetCompress");
    SetHelpContext(sheetCompress_, kCompressHelpTopic);
    auto* layout = new QVBoxLayout(sheetCompress_);
    layout->addWidget(Heading("Compress folder to a ZIP archive"));

    auto* description =
        new QLabel("&Description of the archive (so you can easily identify it later):");
    ediZIPDescription_ = new QLineEdit;
    ediZIPDescription_->setObjectName("ediZIPDescription");
    description->setBuddy(ediZIPDescription_);
    layout->addWidget(description);
    layout->addWidget(ediZIPDescription_);

    auto* drive = new QHBoxLayout;
    txtStoreOnDrive_ = new QLabel;
    txtStoreOnDrive_->setObjectName("txtStoreOnDrive");
    txtStoreOnDrive_->setText(
        Filled("Store archive in a special '%s' folder on drive", {kArchivesFolderName}));
    cbDrives_ = new TDrive95ComboBox;
    cbDrives_->setObjectName("cbDrives");
    drive->addWidget(txtStoreOnDrive_);
    drive->addWidget(cbDrives_, 1);
    layout->addLayout(drive);

    auto* level = new QHBoxLayout;
    auto* levelLabel = new QLabel("Compression &Level (0-9):");
    ediCompressionLevel_ = new QSpinBox;
    ediCompressionLevel_->setObjectName("ediCompressionLevel");
    ediCompressionLevel_->setRange(0, 9);
    levelLabel->setBuddy(ediCompressionLevel_);
    level->addWidget(levelLabel);
    level->addWidget(ediCompressionLevel_);
    level->addStretch(1);
    layout->addLayout(level);

    chkIncludeSubfolders_ = CheckBox("Add &subfolders and all their files", "chkIncludeSubfolders");
    chkIncludeHidden_ = CheckBox("Add &Hidden and System Files", "chkIncludeHidden");
    chkDeleteAfterCompressing_ =
        CheckBox("&Move folder to archive (delete folder after compressing it)",
                 "chkDeleteAfterCompressing");
    chkPasswordProtect_ = CheckBox("&Password protect archive", "chkPasswordProtect");
    for (QCheckBox* box : {chkIncludeSubfolders_, chkIncludeHidden_, chkDeleteAfterCompressing_,
                           chkPasswordProtect_})
        layout->addWidget(box);
    layout->addStretch(1);

    auto* go = new QHBoxLayout;
    cmdCompress_ = Button("&Archive >>", "cmdCompress");
    go->addStretch(1);
    go->addWidget(cmdCompress_);
    layout->addLayout(go);
    return sheetCompress_;
}

QWidget* TCleanUpCompressFolderBox::CreateRestorePage() {
    sheetRestore_ = new QWidget;
    sheetRestore_->setObjectName("sheetRestore");
    SetHelpContext(sheetRestore_, kRestoreHelpTopic);
    auto* layout = new QVBoxLayout(sheetRestore_);
    layout->addWidget(Heading("Restore folder from a ZIP archive"));

    auto* drive = new QHBoxLayout;
    cbRestoreDrivesList_ = new TDrive95ComboBox;
    cbRestoreDrivesList_->setObjectName("cbRestoreDrivesList");
    drive->addWidget(new QLabel("Folders compressed by Quillon Pro stored on drive"));
    drive->addWidget(cbRestoreDrivesList_, 1);
    layout->addLayout(drive);

    lvArchives_ = new QTreeWidget;
    lvArchives_->setObjectName("lvArchives");
    lvArchives_->setColumnCount(3);
    lvArchives_->setHeaderLabels({"Archive Description", "Folder Name", "Original Location"});
    lvArchives_->setRootIsDecorated(false);
    lvArchives_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvArchives_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvArchives_->setEditTriggers(QAbstractItemView::SelectedClicked |
                                 QAbstractItemView::EditKeyPressed);
    lvArchives_->setItemDelegate(new FirstColumnEditor(lvArchives_));
    lvArchives_->header()->setSectionsClickable(false);
    lvArchives_->setColumnWidth(0, 160);
    lvArchives_->setColumnWidth(1, 100);
    lvArchives_->setColumnWidth(2, 200);
    layout->addWidget(lvArchives_, 1);

    auto* pathLabel = new QLabel("Restore folder to the following &location:");
    ediRestorePath_ = new QLineEdit;
    ediRestorePath_->setObjectName("ediRestorePath");
    pathLabel->setBuddy(ediRestorePath_);
    cmdRestorePath_ = Button("...", "cmdRestorePath");
    cmdRestorePath_->setMaximumWidth(32);
    auto* path = new QHBoxLayout;
    path->addWidget(ediRestorePath_, 1);
    path->addWidget(cmdRestorePath_);
    layout->addWidget(pathLabel);
    layout->addLayout(path);

    chkDeleteArchive_ = CheckBox("&Delete archive after restoring folder", "chkDeleteArchive");
    layout->addWidget(chkDeleteArchive_);

    auto* go = new QHBoxLayout;
    cmdDeleteArchive_ = Button("Delete Archive", "cmdDeleteArchive");
    cmdRestore_ = Button("&Restore >>", "cmdRestore");
    go->addStretch(1);
    go->addWidget(cmdDeleteArchive_);
    go->addWidget(cmdRestore_);
    layout->addLayout(go);
    for (QWidget* w :
         {static_cast<QWidget*>(ediRestorePath_), static_cast<QWidget*>(cmdRestorePath_),
          static_cast<QWidget*>(cmdDeleteArchive_), static_cast<QWidget*>(cmdRestore_)})
        w->setEnabled(false);
    return sheetRestore_;
}

QWidget* TCleanUpCompressFolderBox::CreateProgressPage() {
    sheetProgress_ = new QWidget;
    sheetProgress_->setObjectName("sheetProgress");
    auto* layout = new QVBoxLayout(sheetProgress_);

    // The two title labels lie on each other: a grey one a little below and to the right
    // gives the other its shadow.
    auto* titles = new QGridLayout;
    txtProgressTitle2_ = Heading(QString());
    txtProgressTitle1_ = Heading(QString());
    txtProgressTitle1_->setObjectName("txtProgressTitle1");
    txtProgressTitle2_->setObjectName("txtProgressTitle2");
    for (QLabel* title : {txtProgressTitle2_, txtProgressTitle1_}) {
        QFont font = title->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        title->setFont(font);
    }
    QPalette shadow = txtProgressTitle2_->palette();
    shadow.setColor(QPalette::WindowText, QColor(Qt::gray));
    txtProgressTitle2_->setPalette(shadow);
    QPalette face = txtProgressTitle1_->palette();
    face.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Highlight));
    txtProgressTitle1_->setPalette(face);
    txtProgressTitle2_->setContentsMargins(2, 2, 0, 0);
    txtProgressTitle1_->setContentsMargins(0, 0, 2, 2);
    titles->addWidget(txtProgressTitle2_, 0, 0);
    titles->addWidget(txtProgressTitle1_, 0, 0);
    layout->addLayout(titles);

    txtProgressFile_ = new TPathLabel;
    txtProgressFile_->setObjectName("txtProgressFile");
    QFont plain = txtProgressFile_->font();
    plain.setBold(false);
    txtProgressFile_->setFont(plain);
    layout->addWidget(txtProgressFile_);

    auto* bar = new QHBoxLayout;
    pbOverall_ = new QProgressBar;
    pbOverall_->setObjectName("pbOverall");
    pbOverall_->setRange(0, 100);
    pbOverall_->setValue(0);
    pbOverall_->setTextVisible(false);
    txtProgress_ = new QLabel("0%");
    txtProgress_->setObjectName("txtProgress");
    txtProgress_->setMinimumWidth(txtProgress_->fontMetrics().horizontalAdvance("100%") + 4);
    bar->addWidget(pbOverall_, 1);
    bar->addWidget(txtProgress_);
    layout->addLayout(bar);

    auto* stop = new QHBoxLayout;
    cmdStop_ = Button("Stop", "cmdStop");
    stop->addStretch(1);
    stop->addWidget(cmdStop_);
    layout->addLayout(stop);

    panResults_ = new QWidget;
    panResults_->setObjectName("panResults");
    auto* results = new QVBoxLayout(panResults_);
    results->setContentsMargins(0, 8, 0, 0);
    txtCResults1_ = new QLabel(kResults1);
    txtCResults2_ = new QLabel(kResults2);
    txtCResults3_ = new QLabel(kResults3);
    txtCResults1_->setObjectName("txtCResults1");
    txtCResults2_->setObjectName("txtCResults2");
    txtCResults3_->setObjectName("txtCResults3");
    for (QLabel* line : {txtCResults1_, txtCResults2_, txtCResults3_}) {
        line->setWordWrap(true);
        results->addWidget(line);
    }
    QFont gained = txtCResults3_->font();
    gained.setBold(true);
    txtCResults3_->setFont(gained);
    panResults_->hide();
    layout->addWidget(panResults_);
    layout->addStretch(1);
    return sheetProgress_;
}

void TCleanUpCompressFolderBox::LoadSettings() {
    const auto flag = [](const TBoolOption* option, bool fallback) {
        return option ? option->Value : fallback;
    };
    chkIncludeSubfolders_->setChecked(flag(optZIPAddSubfolders, true));
    chkIncludeHidden_->setChecked(flag(optZIPAddHiddenFiles, true));
    chkDeleteAfterCompressing_->setChecked(flag(optZIPDeleteAfterCompressing, true));
    chkPasswordProtect_->setChecked(flag(optZIPPasswordProtect, false));
    chkDeleteArchive_->setChecked(flag(optZIPDeleteArchive, true));
    ediCompressionLevel_->setValue(optZIPCompressionLevel ? optZIPCompressionLevel->Value : 9);
}

void TCleanUpCompressFolderBox::SaveSettings() const {
    const auto keep = [](TBoolOption* option, const QCheckBox* box) {
        if (option) option->Value = box->isChecked();
    };
    keep(optZIPAddSubfolders, chkIncludeSubfolders_);
    keep(optZIPAddHiddenFiles, chkIncludeHidden_);
    keep(optZIPDeleteAfterCompressing, chkDeleteAfterCompressing_);
    keep(optZIPPasswordProtect, chkPasswordProtect_);
    keep(optZIPDeleteArchive, chkDeleteArchive_);
    if (optZIPCompressionLevel) optZIPCompressionLevel->Value = ediCompressionLevel_->value();
}

void TCleanUpCompressFolderBox::SetFolder(const QString& path, int64_t total, int64_t usedSpace,
                                          int32_t clusterSize) {
    folderPath_ = path;
    clusterSize_ = clusterSize;
    total_ = total;
    usedSpace_ = usedSpace;
    if (path.isEmpty()) return;
    // The archive is kept on the folder's own drive unless the user picks another: that is
    // where the space is to be gained.
    cbDrives_->setDrive(path[0]);
    cbRestoreDrivesList_->setDrive(path[0]);
}

void TCleanUpCompressFolderBox::ShowOnlyRestorePage() {
    restoreOnly_ = true;
    setWindowTitle("Restore Compressed Folders");
    ThePages_->setCurrentWidget(sheetRestore_);
    ThePages_->setTabVisible(ThePages_->indexOf(sheetCompress_), false);
}

void TCleanUpCompressFolderBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TCleanUpCompressFolderBox::FormShow() {
    if (!folderPath_.isEmpty())
        ediZIPDescription_->setText(LastComponent(folderPath_) + QStringLiteral(" Folder"));
    if (ThePages_->currentWidget() == sheetCompress_)
        ediZIPDescription_->setFocus();
    else
        lvArchives_->setFocus();
}

void TCleanUpCompressFolderBox::closeEvent(QCloseEvent* event) {
    // The engine runs inside a handler of this dialog: the dialog stays until it returns.
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TCleanUpCompressFolderBox::reject() {
    if (!running_) QDialog::reject();
}

void TCleanUpCompressFolderBox::ShowError(const QString& text) {
    desktop::ShowMessage(
        this, {QApplication::applicationName(), text, desktop::MessageIcon::Error, desktop::Ok});
}

void TCleanUpCompressFolderBox::cmdHelpClick() {
    const int topic = HelpContextOf(ThePages_->currentWidget());
    ShowHelpTopic(this, topic ? topic : HelpContextOf(this));
}

// --- progress ---

void TCleanUpCompressFolderBox::ShowProgressPage(const QString& title) {
    txtProgressTitle1_->setText(title);
    txtProgressTitle2_->setText(title);
    bytesDone_ = fileStartBytes_ = fileSize_ = 0;
    pbOverall_->setValue(0);
    txtProgress_->setText("0%");
    txtProgressFile_->SetPath(QString());
    panResults_->hide();
    cmdStop_->show();
    ThePages_->setTabVisible(ThePages_->indexOf(sheetProgress_), true);
    ThePages_->setCurrentWidget(sheetProgress_);
    ThePages_->setTabVisible(ThePages_->indexOf(sheetCompress_), false);
    ThePages_->setTabVisible(ThePages_->indexOf(sheetRestore_), false);
    cmdClose_->setEnabled(false);
    repaint();
}

void TCleanUpCompressFolderBox::ReturnToChoice(QWidget* page) {
    if (!restoreOnly_) ThePages_->setTabVisible(ThePages_->indexOf(sheetCompress_), true);
    ThePages_->setTabVisible(ThePages_->indexOf(sheetRestore_), true);
    ThePages_->setCurrentWidget(page);
    ThePages_->setTabVisible(ThePages_->indexOf(sheetProgress_), false);
    cmdClose_->setEnabled(true);
}

void TCleanUpCompressFolderBox::SetBytesDone(int64_t count) {
    bytesDone_ = count;
    if (total_ <= 0) return;
    const auto percent = std::llround(double(count) * 100.0 / double(total_));
    if (percent > pbOverall_->value() && percent <= 100) {
        pbOverall_->setValue(int(percent));
        txtProgress_->setText(QString::number(percent) + u'%');
    }
}

void TCleanUpCompressFolderBox::TheZipProgress(TZipEngine*, ProgressType kind,
                                               const QString& fileName, int64_t fileSize) {
    switch (kind) {
        case ProgressFileStart: {
            // The previous file counts with its true size, whatever its steps added up to.
            SetBytesDone(fileStartBytes_ + fileSize_);
            fileStartBytes_ = bytesDone_;
            fileSize_ = fileSize;
            QString name = fileName;
            name.replace(u'/', u'\\');
            txtProgressFile_->SetPath(progressBase_ + name);
            break;
        }
        case ProgressStep:
            SetBytesDone(bytesDone_ + kStepBytes);
            break;
        case ProgressBatchEnd:
            break;
    }
    // The dialog repaints, and "Stop" can be pressed.
    QCoreApplication::processEvents();
}

void TCleanUpCompressFolderBox::cmdStopClick() {
    stopRequested_ = true;
}

cleanup::ArchiveCallbacks TCleanUpCompressFolderBox::RunCallbacks() {
    cleanup::ArchiveCallbacks callbacks;
    callbacks.started = [this](int64_t total) {
        total_ = total > 0 ? total : total_;
        if (!running_) ShowProgressPage(restoring_ ? "Now Restoring..." : "Now Compressing...");
        running_ = true;
    };
    callbacks.progress = [this](ProgressType kind, const QString& name, int64_t size) {
        TheZipProgress(nullptr, kind, name, size);
        return !stopRequested_;
    };
    callbacks.confirm = [this](const QString& text) {
        return desktop::ShowMessage(
                   this, {QApplication::applicationName(), text, desktop::MessageIcon::Warning,
                          desktop::Yes | desktop::No, desktop::No}) == desktop::Yes;
    };
    return callbacks;
}

// --- archive ---

void TCleanUpCompressFolderBox::cmdCompressClick() {
    if (running_ || folderPath_.isEmpty()) return;
    cleanup::ArchiveRequest request;
    request.folder = folderPath_;
    request.archiveDrive = cbDrives_->Drive().toUpper();
    request.description = ediZIPDescription_->text();
    request.compressionLevel = ediCompressionLevel_->value();
    request.subfolders = chkIncludeSubfolders_->isChecked();
    request.hiddenFiles = chkIncludeHidden_->isChecked();
    request.move = chkDeleteAfterCompressing_->isChecked();
    request.encrypt = chkPasswordProtect_->isChecked();
    request.usedSpace = usedSpace_;
    request.clusterSize = clusterSize_;
    request.engineFolder = EngineFolder;
    request.owner = this;
    progressBase_ = engine::AddBackslash(engine::ParentFolderPath(folderPath_));
    restoring_ = false;
    stopRequested_ = false;
    ShowProgressPage("Now Compressing...");
    running_ = true;
    const cleanup::ArchiveResult result = cleanup::ArchiveFolder(request, RunCallbacks());
    running_ = false;
    sourcesTouched_ = result.sourcesTouched;
    if (!result.refusal.isEmpty()) {
        ShowError(result.refusal);
        ReturnToChoice(sheetCompress_);
        return;
    }
    if (!result.problems.isEmpty()) ShowError(result.problems);
    if (!result.archived) {
        done(QDialog::Rejected);
        return;
    }
    ShowResults(result);
}

void TCleanUpCompressFolderBox::ShowResults(const cleanup::ArchiveResult& result) {
    cmdClose_->setEnabled(true);
    cmdStop_->hide();
    panResults_->show();
    txtProgressTitle1_->setText("Folder compressed OK.");
    txtProgressTitle2_->setText("Folder compressed OK.");
    txtCResults1_->setText(Filled(
        kResults1, {engine::SizeText(usedSpace_), engine::DriveDisplayName(RootOf(folderPath_))}));
    // The whole size: an archive may pass 4 GB.
    const int64_t a = result.archiveSize;
    txtCResults2_->setText(Filled(
        kResults2, {engine::SmallSizeText(a), engine::DriveDisplayName(RootOf(result.archive))}));
    txtCResults3_->show();
    if (chkDeleteAfterCompressing_->isChecked()) {
        // What really left the drive, less what the archive takes on it.
        if (result.gained > 0)
            txtCResults3_->setText(Filled(kResults3, {engine::SizeText(result.gained)}));
        else
            txtCResults3_->setText(Filled(kResults3Lost, {engine::SizeText(-result.gained)}));
    } else if (usedSpace_ > a) {
        txtCResults3_->setText(Filled(kResults3Kept, {engine::SizeText(usedSpace_ - a)}));
    } else {
        txtCResults3_->hide();
    }
}

// --- restore ---

void TCleanUpCompressFolderBox::cbRestoreDrivesListChange() {
    const QChar letter = cbRestoreDrivesList_->Drive().toUpper();
    filling_ = true;
    lvArchives_->clear();
    archivesFolder_ = letter.isNull() ? QString() : ArchivesFolderOf(letter);
    keys_.clear();
    platform::PinnedFolder bin;
    QString why;
    if (!archivesFolder_.isEmpty() && !platform::PathIsMissing(archivesFolder_) &&
        !PinArchivesFolder(letter, bin, false, why))
        ShowError(
            QStringLiteral("The archives of drive %1: cannot be listed: %2").arg(letter, why));
    if (bin.IsOpen()) {
        TArchivesRegister archivesRegister(archivesFolder_);
        if (!archivesRegister.ReadError().isEmpty())
            ShowError(QStringLiteral("The archives of drive %1: cannot be listed: %2")
                          .arg(letter, archivesRegister.ReadError()));
        std::set<QString> listed;
        for (const QString& key : archivesRegister.Keys()) {
            // A key met again is the same key: the first of its lines is the one that counts.
            if (!listed.insert(key.toCaseFolded()).second) continue;
            platform::EntryIdentity archive;
            if (IsArchiveKey(key) &&
                platform::StatEntryIn(bin, platform::EncodeHostName(key), archive, why) &&
                archive.IsFile()) {
                auto* entry = new QTreeWidgetItem(lvArchives_);
                entry->setText(0, archivesRegister.Description(key));
                entry->setText(1, archivesRegister.FolderName(key));
                entry->setText(2, archivesRegister.OriginalPath(key));
                entry->setData(0, kKeyRole, key);
                entry->setFlags(entry->flags() | Qt::ItemIsEditable);
            } else {
                try {
                    archivesRegister.Forget(key);
                } catch (const ERegisterWrite&) {
                    // Kept for the next listing; the entry is not shown meanwhile.
                }
            }
        }
        keys_ = archivesRegister.Keys();
        if (keys_.isEmpty()) archivesRegister.RemoveWhenEmpty();
    }
    filling_ = false;
    lvArchivesChange();
}

QTreeWidgetItem* TCleanUpCompressFolderBox::SelectedEntry() const {
    const QList<QTreeWidgetItem*> selected = lvArchives_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

QString TCleanUpCompressFolderBox::SelectedKey() const {
    const QTreeWidgetItem* entry = SelectedEntry();
    return entry ? entry->data(0, kKeyRole).toString() : QString();
}

void TCleanUpCompressFolderBox::lvArchivesChange() {
    const QTreeWidgetItem* entry = SelectedEntry();
    for (QWidget* w :
         {static_cast<QWidget*>(cmdRestore_), static_cast<QWidget*>(cmdRestorePath_),
          static_cast<QWidget*>(ediRestorePath_), static_cast<QWidget*>(cmdDeleteArchive_)})
        w->setEnabled(entry != nullptr);
    ediRestorePath_->setText(entry ? entry->text(2) : QString());
    ediRestorePathChange();
}

void TCleanUpCompressFolderBox::ediRestorePathChange() {
    const QTreeWidgetItem* entry = SelectedEntry();
    SetHint(ediRestorePath_, entry ? QStringLiteral("The path of the restored folder will be \n") +
                                         engine::AddBackslash(ediRestorePath_->text()) +
                                         entry->text(1) + u'|'
                                   : QString());
}

void TCleanUpCompressFolderBox::lvArchivesEdited(QTreeWidgetItem* item, int column) {
    if (filling_ || column != 0 || !item) return;
    try {
        TArchivesRegister(archivesFolder_)
            .SetDescription(item->data(0, kKeyRole).toString(), item->text(0));
    } catch (const ERegisterWrite& e) {
        ShowError(QString::fromStdString(e.what()));
    }
}

void TCleanUpCompressFolderBox::cmdRestorePathClick() {
    TFolderBrowse browse;
    browse.Title =
        "Select the destination folder where you want to restore the selected folder from the "
        "ZIP archive.";
    browse.Folder = ediRestorePath_->text();
    browse.AllowRoot = true;
    if (browse.Execute()) ediRestorePath_->setText(browse.Folder);
}

void TCleanUpCompressFolderBox::cmdDeleteArchiveClick() {
    DeleteArchive(true);
}

void TCleanUpCompressFolderBox::DeleteArchive(bool ask) {
    const QTreeWidgetItem* entry = SelectedEntry();
    if (!entry) return;
    const QString key = SelectedKey();
    if (ask) {
        const desktop::MessageButton answer = desktop::ShowMessage(
            this, {QApplication::applicationName(),
                   QStringLiteral("Really delete the ZIP archive that contains the folder '") +
                       entry->text(1) + QStringLiteral("' ?\n\n") +
                       "Warning: You will not be able to restore any file from this folder if you "
                       "delete the ZIP archive.",
                   desktop::MessageIcon::Warning, desktop::Yes | desktop::No | desktop::Cancel,
                   desktop::No});
        if (answer != desktop::Yes) return;
    }
    QString why;
    if (!cleanup::DeleteArchive(archivesFolder_[0], key, why)) {
        ShowError(QStringLiteral("Could not delete archive ") +
                  engine::AddBackslash(archivesFolder_) + key + u'\n' + why);
        return;
    }
    cbRestoreDrivesListChange();
}

void TCleanUpCompressFolderBox::cmdRestoreClick() {
    const QTreeWidgetItem* entry = SelectedEntry();
    if (running_ || !entry) return;
    cleanup::RestoreRequest request;
    request.drive = archivesFolder_[0];
    request.key = SelectedKey();
    QString base = ediRestorePath_->text();
    if (base.startsWith(u'/')) base = platform::FromHostPath(base);  // a host path typed in
    request.target = base;
    request.deleteArchive = chkDeleteArchive_->isChecked();
    request.engineFolder = EngineFolder;
    request.owner = this;
    progressBase_ = engine::AddBackslash(base);
    restoring_ = true;
    stopRequested_ = false;
    const cleanup::RestoreResult result = cleanup::RestoreArchive(request, RunCallbacks());
    const bool ran = running_;
    running_ = false;
    if (result.declined) return ReturnToChoice(sheetRestore_);
    if (!result.refusal.isEmpty()) {
        ShowError(result.refusal);
        return ReturnToChoice(sheetRestore_);
    }
    const QString restored = engine::AddBackslash(ediRestorePath_->text()) + entry->text(1);
    if (result.restored) {
        desktop::ShowMessage(this, {QApplication::applicationName(),
                                    QStringLiteral("The folder ") + restored +
                                        QStringLiteral(" was successfully restored"),
                                    desktop::MessageIcon::Information, desktop::Ok});
        if (!result.problems.isEmpty()) ShowError(result.problems);
    } else {
        QString text =
            QStringLiteral("The folder ") + restored + QStringLiteral(" was not successfully ") +
            QStringLiteral("restored. The ZIP archive containing the folder (") + result.archive +
            QStringLiteral(
                ") will not be deleted from your hard-disk so you can try "
                "to manually ") +
            QStringLiteral("restore the folder from the archive.");
        if (!result.problems.isEmpty()) text += QStringLiteral("\n\n") + result.problems;
        ShowError(text);
    }
    if (ran && !base.isEmpty() && scannedLetters_.contains(base[0])) {
        desktop::ShowMessage(
            this, {QApplication::applicationName(),
                   QStringLiteral("You should rescan drive ") + base[0] + QStringLiteral(": as ") +
                       QStringLiteral("its contents has been changed since the "
                                      "last time you have ") +
                       QStringLiteral("scanned it."),
                   desktop::MessageIcon::Information, desktop::Ok});
    }
    done(QDialog::Accepted);
}

// --- the two ways in ---

bool ShowArchiveFolderBox(QWidget* owner, const QString& path, int64_t total, int64_t usedSpace,
                          int32_t clusterSize) {
    TCleanUpCompressFolderBox box(owner);
    box.SetFolder(path, total, usedSpace, clusterSize);
    // The drives in the folder tree, for a restore from the dialog's second page.
    QString letters;
    for (int i = 0; i < engine::ScannedDrives().Count(); ++i)
        if (const engine::DriveRecord* drive = engine::ScannedDrives().At(i); drive->Node)
            letters += QChar(drive->Letter);
    box.SetScannedLetters(letters);
    desktop::RunModal(box);
    return box.SourcesTouched();
}

void RestoreCompressedFolders(QWidget* owner, const QString& scannedLetters) {
    TCleanUpCompressFolderBox box(owner);
    box.SetScannedLetters(scannedLetters);
    box.ShowOnlyRestorePage();
    desktop::RunModal(box);
}
