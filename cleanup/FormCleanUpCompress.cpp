#include "cleanup/FormCleanUpCompress.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
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

#include "cleanup/ArchivesRegister.h"
#include "config/AppConfiguration.h"
#include "controls/FilCtl95.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "controls/ShBrowse.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/Drives.h"
#include "platform/EntryDigest.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "views/PageParts.h"

QString TCleanUpCompressFolderBox::EngineFolder;

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int64_t kStepBytes = 32768;  // what each engine step counts for
constexpr uint16_t kAesMethod = 99;    // WinZip AES: the header's CRC may be left 0

const char* const kResults1 =
    "The folder you have compressed was using %s of disk space on drive %s";
const char* const kResults2 =
    "The ZIP achive containing the compressed folder is using %s of disk space on drive %s";
const char* const kResults3 = "By compressing the folder you have gained %s of disk space";
const char* const kResults3Kept =
    "You should delete the folder you have compressed. This way you will gain %s of disk space";

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

// A folder inside another, or the same one; letter case is not trusted to tell them apart.
bool IsSameOrInside(const QString& path, const QString& folder) {
    const QString p = engine::AddBackslash(path);
    return p.startsWith(engine::AddBackslash(folder), Qt::CaseInsensitive);
}

// A drive's root too, which a find does not find.
bool IsFolder(const QString& path) {
    const uint32_t attributes = platform::GetFileAttributes(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           (attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const QString& path) {
    const uint32_t attributes = platform::GetFileAttributes(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileLength(const QString& path) {
    platform::FindData data;
    return FindFirstEntry(path, data) ? data.size : 0;
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

// The process's current folder for one engine call, given back afterwards.
class CurrentFolderScope {
public:
    CurrentFolderScope() : previous_(QDir::currentPath()) {}
    ~CurrentFolderScope() { QDir::setCurrent(previous_); }
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    QString previous_;
};

}  // namespace

// --- creation ---

TCleanUpCompressFolderBox::TCleanUpCompressFolderBox(QWidget* owner) : QDialog(owner) {
    setObjectName("CleanUpCompressFolderBox");
    setWindowTitle("Archive Folder To Gain Some Space");
    SetHelpContext(this, kHelpTopic);

    TheZip_ = std::make_unique<TZipEngine>(this);
    TheZip_->ExtrOptions = ExtrOpts{ExtrDirNames, ExtrOverWrite};
    TheZip_->AddCompLevel = 9;
    if (!EngineFolder.isEmpty()) TheZip_->SetDLLDirectory(EngineFolder);
    TheZip_->OnProgress = [this](TZipEngine* sender, ProgressType kind, const QString& name,
                                 int64_t size) { TheZipProgress(sender, kind, name, size); };
    TheZip_->OnMessage = [this](TZipEngine* sender, int code, const QString& text) {
        TheZipMessage(sender, code, text);
    };

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

    platform::Connect(cmdCompress_, &QPushButton::clicked, this,
                      &TCleanUpCompressFolderBox::cmdCompressClick);
    platform::Connect(cmdStop_, &QPushButton::clicked, this,
                      &TCleanUpCompressFolderBox::cmdStopClick);
    platform::Connect(cmdHelp_, &QPushButton::clicked, this,
                      &TCleanUpCompressFolderBox::cmdHelpClick);
    platform::Connect(cmdClose_, &QPushButton::clicked, this, &TCleanUpCompressFolderBox::reject);
    platform::Connect(cbRestoreDrivesList_, &TDrive95ComboBox::OnChange, this,
                      &TCleanUpCompressFolderBox::cbRestoreDrivesListChange);
    platform::Connect(lvArchives_, &QTreeWidget::itemSelectionChanged, this,
                      &TCleanUpCompressFolderBox::lvArchivesChange);
    platform::Connect(lvArchives_, &QTreeWidget::itemChanged, this,
                      &TCleanUpCompressFolderBox::lvArchivesEdited);
    platform::Connect(ediRestorePath_, &QLineEdit::textChanged, this,
                      &TCleanUpCompressFolderBox::ediRestorePathChange);
    platform::Connect(cmdRestorePath_, &QPushButton::clicked, this,
                      &TCleanUpCompressFolderBox::cmdRestorePathClick);
    platform::Connect(cmdDeleteArchive_, &QPushButton::clicked, this,
                      &TCleanUpCompressFolderBox::cmdDeleteArchiveClick);
    platform::Connect(cmdRestore_, &QPushButton::clicked, this,
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

void TCleanUpCompressFolderBox::SetFolder(const QString& path, int64_t total, int64_t usedSpace) {
    folderPath_ = path;
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
    platform::ShowMessage(
        this, {QApplication::applicationName(), text, platform::MessageIcon::Error, platform::Ok});
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

void TCleanUpCompressFolderBox::TheZipMessage(TZipEngine*, int errCode, const QString& message) {
    if (errCode == 0) return;
    ShowError(QStringLiteral("Error: ") + message + QStringLiteral("\n(error code ") +
              QString::number(errCode) + u')');
}

void TCleanUpCompressFolderBox::cmdStopClick() {
    TheZip_->RequestCancel();
    stopRequested_ = true;
}

// --- archive ---

void TCleanUpCompressFolderBox::cmdCompressClick() {
    if (running_ || TheZip_->AddBusy() || folderPath_.isEmpty()) return;
    ShowProgressPage("Now Compressing...");
    const QChar letter = cbDrives_->Drive().toUpper();
    const QString archives = ArchivesFolderOf(letter);
    if (IsSameOrInside(folderPath_, archives)) {
        ShowError(QStringLiteral("The folder %1 holds the archives of drive %2: and cannot be "
                                 "archived into them.")
                      .arg(folderPath_, letter));
        ReturnToChoice(sheetCompress_);
        return;
    }
    if (!CreateArchivesFolder(archives)) {
        ShowError(QStringLiteral("Could not create folder ") + archives);
        ReturnToChoice(sheetCompress_);
        return;
    }

    AddOpts options{AddDirNames};
    if (chkIncludeSubfolders_->isChecked()) options.Include(AddRecurseDirs);
    if (chkIncludeHidden_->isChecked()) options.Include(AddHiddenFiles);
    if (chkDeleteAfterCompressing_->isChecked()) options.Include(AddMove);
    if (chkPasswordProtect_->isChecked()) options.Include(AddEncrypt);
    TheZip_->AddOptions = options;
    TheZip_->AddCompLevel = ediCompressionLevel_->value();

    const QString archive = UniqueArchiveName(archives, letter);
    const QString key = LastComponent(archive);
    TheZip_->SetZipFilename(archive);

    // The entry goes into the register before the engine may remove a file, so an archive
    // that took the folder's files is never left out of it.
    TArchivesRegister archivesRegister(archives);
    try {
        archivesRegister.Record(key, ediZIPDescription_->text(), LastComponent(folderPath_),
                                engine::ParentFolderPath(folderPath_));
    } catch (const ERegisterWrite& e) {
        ShowError(QString::fromStdString(e.what()));
        archivesRegister.RemoveWhenEmpty();
        ReturnToChoice(sheetCompress_);
        return;
    }

    const QString parent = engine::ParentFolderPath(folderPath_);
    progressBase_ = engine::AddBackslash(parent);
    {
        // The archive stores paths that begin with the folder's own name.
        const CurrentFolderScope scope;
        if (QDir::setCurrent(platform::ToHostPath(parent))) {
            TheZip_->FileSpecs = {LastComponent(folderPath_) + QStringLiteral("\\*.*")};
            running_ = true;
            stopRequested_ = false;
            try {
                TheZip_->AddFiles();
            } catch (...) {
                ShowError("A fatal error encountered while compressing to the ZIP archive");
            }
            running_ = false;
            sourcesTouched_ = options.Contains(AddMove) && TheZip_->ResultCount() > 0;
        }
    }

    // An archive that took files stays registered even where this reader cannot follow it:
    // the engine read it back itself before it deleted anything.
    if (!IsFile(archive) || (!ArchiveReadsBack(archive) && !sourcesTouched_)) {
        try {
            archivesRegister.Forget(key);
        } catch (const ERegisterWrite&) {
            // The next listing drops an entry whose archive is missing.
        }
        archivesRegister.RemoveWhenEmpty();
        done(QDialog::Rejected);
        return;
    }
    ShowResults(archive);
}

bool TCleanUpCompressFolderBox::ArchiveReadsBack(const QString& archive) {
    if (!IsFile(archive)) return false;
    try {
        TheZip_->SetZipFilename(archive);
    } catch (const EZipReadError&) {
        return false;
    }
    return TheZip_->Count() > 0;
}

void TCleanUpCompressFolderBox::ShowResults(const QString& archive) {
    cmdClose_->setEnabled(true);
    cmdStop_->hide();
    panResults_->show();
    txtProgressTitle1_->setText("Folder compressed OK.");
    txtProgressTitle2_->setText("Folder compressed OK.");
    txtCResults1_->setText(Filled(
        kResults1, {engine::SizeText(usedSpace_), engine::DriveDisplayName(RootOf(folderPath_))}));
    // The whole size: an archive may pass 4 GB.
    const int64_t a = FileLength(archive);
    txtCResults2_->setText(
        Filled(kResults2, {engine::SmallSizeText(a), engine::DriveDisplayName(RootOf(archive))}));
    const char* third = chkDeleteAfterCompressing_->isChecked() ? kResults3 : kResults3Kept;
    if (usedSpace_ > a) {
        txtCResults3_->setText(Filled(third, {engine::SizeText(usedSpace_ - a)}));
        txtCResults3_->show();
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
    if (!archivesFolder_.isEmpty()) {
        TArchivesRegister archivesRegister(archivesFolder_);
        std::set<QString> listed;
        for (const QString& key : archivesRegister.Keys()) {
            // A key met again is the same key: the first of its lines is the one that counts.
            if (!listed.insert(key.toCaseFolded()).second) continue;
            if (IsArchiveKey(key) && IsFile(archivesRegister.ArchivePath(key))) {
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
        const platform::MessageButton answer = platform::ShowMessage(
            this, {QApplication::applicationName(),
                   QStringLiteral("Really delete the ZIP archive that contains the folder '") +
                       entry->text(1) + QStringLiteral("' ?\n\n") +
                       "Warning: You will not be able to restore any file from this folder if you "
                       "delete the ZIP archive.",
                   platform::MessageIcon::Warning, platform::Yes | platform::No | platform::Cancel,
                   platform::No});
        if (answer != platform::Yes) return;
    }
    TArchivesRegister archivesRegister(archivesFolder_);
    const QString archive = archivesRegister.ArchivePath(key);
    const QString host = platform::ToHostPath(archive);
    if (host.isEmpty() || !IsArchiveKey(key) || !QFile::remove(host)) {
        ShowError(QStringLiteral("Could not delete archive ") + archive);
        return;
    }
    try {
        archivesRegister.Forget(key);
    } catch (const ERegisterWrite&) {
        // The listing drops the entry of a missing archive again.
    }
    cbRestoreDrivesListChange();
}

void TCleanUpCompressFolderBox::cmdRestoreClick() {
    const QTreeWidgetItem* entry = SelectedEntry();
    if (running_ || TheZip_->ExtractBusy() || !entry) return;
    const QString key = SelectedKey();
    const QString folderName = entry->text(1);
    const QString archive = TArchivesRegister(archivesFolder_).ArchivePath(key);

    QString base = ediRestorePath_->text();
    if (base.startsWith(u'/')) base = platform::FromHostPath(base);  // a host path typed in
    base = engine::IsDriveRoot(base) ? base.left(2) + u'\\' : engine::RemoveBackslash(base);
    // The engine would extract into the current folder, wherever that is, when the folder is
    // missing: it is made first.
    const QString host = platform::ToHostPath(base);
    if (!IsFolder(base) && (host.isEmpty() || !QDir().mkpath(host) || !IsFolder(base))) {
        ShowError(QStringLiteral("Could not create folder ") + base);
        return;
    }
    try {
        TheZip_->SetZipFilename(archive);
    } catch (const EZipReadError& e) {
        ShowError(QString::fromStdString(e.what()));
        return;
    }

    // Restoring an older archive over a folder that is there replaces its newer files of the
    // same names: the user says so first.
    QStringList existing;
    for (const auto& header : TheZip_->ZipContents()) {
        const QString top = header->FileName.section(u'/', 0, 0, QString::SectionSkipEmpty);
        const QString path = engine::AddBackslash(base) + top;
        if (!top.isEmpty() && !existing.contains(path) && !platform::PathIsMissing(path))
            existing << path;
    }
    if (!existing.isEmpty()) {
        const platform::MessageButton answer = platform::ShowMessage(
            this, {QApplication::applicationName(),
                   QStringLiteral("The folder %1 already exists. Restoring the archive into it "
                                  "replaces every file in it that has the same name as a file in "
                                  "the archive; its other files stay as they are.\n\n"
                                  "Do you want to restore the folder over the existing one?")
                       .arg(existing.join(QStringLiteral(", "))),
                   platform::MessageIcon::Warning, platform::Yes | platform::No, platform::No});
        if (answer != platform::Yes) return;
    }

    ShowProgressPage("Now Restoring...");
    TheZip_->ExtrBaseDir = base;
    TheZip_->FileSpecs.clear();
    TheZip_->ExtrOptions = ExtrOpts{ExtrDirNames, ExtrOverWrite};
    total_ = 0;
    for (const auto& header : TheZip_->ZipContents()) total_ += header->UncompressedSize;
    progressBase_ = engine::AddBackslash(base);
    {
        const CurrentFolderScope scope;
        running_ = true;
        stopRequested_ = false;
        try {
            TheZip_->ExtractFiles();
        } catch (...) {
            ShowError("A fatal error encountered while restoring from the ZIP archive");
        }
        running_ = false;
    }

    const bool success = TheZip_->Count() > 0 && TheZip_->Count() == TheZip_->ResultCount() &&
                         RestoredAsArchived(base);
    const QString restored = engine::AddBackslash(ediRestorePath_->text()) + folderName;
    if (success) {
        platform::ShowMessage(this, {QApplication::applicationName(),
                                     QStringLiteral("The folder ") + restored +
                                         QStringLiteral(" was successfully restored"),
                                     platform::MessageIcon::Information, platform::Ok});
        if (chkDeleteArchive_->isChecked()) DeleteArchive(false);
    } else {
        ShowError(QStringLiteral("The folder ") + restored +
                  QStringLiteral(" was not successfully ") +
                  QStringLiteral("restored. The ZIP archive containing the folder (") + archive +
                  QStringLiteral(") will not be deleted from your hard-disk so you can try to "
                                 "manually ") +
                  QStringLiteral("restore the folder from the archive."));
    }
    if (!base.isEmpty() && scannedLetters_.contains(base[0])) {
        platform::ShowMessage(
            this, {QApplication::applicationName(),
                   QStringLiteral("You should rescan drive ") + base[0] + QStringLiteral(": as ") +
                       QStringLiteral("its contents has been changed since the "
                                      "last time you have ") +
                       QStringLiteral("scanned it."),
                   platform::MessageIcon::Information, platform::Ok});
    }
    done(QDialog::Accepted);
}

bool TCleanUpCompressFolderBox::RestoredAsArchived(const QString& base) {
    const auto keepGoing = [this] {
        QCoreApplication::processEvents();
        return !stopRequested_;
    };
    for (const auto& header : TheZip_->ZipContents()) {
        const platform::EntryDigest found =
            platform::DigestEntry(base, header->FileName, keepGoing);
        if (header->FileName.endsWith(u'/')) {
            if (found.kind != platform::EntryKind::Folder) return false;
            continue;
        }
        if (found.kind != platform::EntryKind::File && found.kind != platform::EntryKind::Link)
            return false;
        if (found.length != header->UncompressedSize) return false;
        // An AES entry may keep its CRC only inside the encrypted data, which the engine
        // checked while extracting it; the length is what is left to compare.
        const bool crcKnown = header->ComprMethod != kAesMethod || header->CRC32 != 0;
        if (crcKnown && found.crc != header->CRC32) return false;
    }
    return true;
}

// --- the two ways in ---

bool ArchiveFolder(QWidget* owner, const QString& path, int64_t total, int64_t usedSpace) {
    TCleanUpCompressFolderBox box(owner);
    box.SetFolder(path, total, usedSpace);
    // The drives in the folder tree, for a restore from the dialog's second page.
    QString letters;
    for (int i = 0; i < engine::ScannedDrives().Count(); ++i)
        if (const engine::DriveRecord* drive = engine::ScannedDrives().At(i); drive->Node)
            letters += QChar(drive->Letter);
    box.SetScannedLetters(letters);
    platform::RunModal(box);
    return box.SourcesTouched();
}

void RestoreCompressedFolders(QWidget* owner, const QString& scannedLetters) {
    TCleanUpCompressFolderBox box(owner);
    box.SetScannedLetters(scannedLetters);
    box.ShowOnlyRestorePage();
    platform::RunModal(box);
}
