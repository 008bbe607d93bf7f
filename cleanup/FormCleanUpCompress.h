#pragma once
// TCleanUpCompressFolderBox, "Archive Folder To Gain Some Space": compresses a folder into a ZIP
// archive in the hidden "Archives Bin" folder of a drive, optionally removing the folder, and
// records the archive in that drive's register (ArchivesRegister.h); its second page lists the
// archives of a drive and restores, describes or deletes them. A third page shows the progress
// of a run and, after an archive run, what it gained.
//
// The dialog fills a request, asks and shows; the work and its rules are the archive actions'
// (ArchiveCore.h): nothing lost, nothing touched outside the folder, one message for what went
// wrong. Restoring over a folder that exists asks first.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "cleanup/ArchiveCore.h"
#include "cleanup/ZipEngine.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TDrive95ComboBox;
class TPathLabel;

class TCleanUpCompressFolderBox : public QDialog {
    Q_OBJECT
public:
    // Help topics: the dialog's own, the archive page's and the restore page's.
    static constexpr int kHelpTopic = 2100;
    static constexpr int kCompressHelpTopic = 2120;
    static constexpr int kRestoreHelpTopic = 2130;

    // Where the engine libraries are looked for first. Empty for the program: its own folder,
    // then the system's search; tests point it at the libraries they built.
    static QString EngineFolder;

    // FormCreate: the settings into the controls, centred over the owner.
    explicit TCleanUpCompressFolderBox(QWidget* owner = nullptr);
    // FormDestroy: the controls back into the settings, whatever happened.
    ~TCleanUpCompressFolderBox() override;

    // What the clean-up page hands over before showing the dialog: the folder's path, the total
    // for the progress bar (its TreeSize), the space it uses for the results page and the
    // cluster size that space counts whole clusters of (0: its bytes alone). Both drive boxes
    // then show the folder's drive.
    void SetFolder(const QString& path, int64_t total, int64_t usedSpace, int32_t clusterSize = 0);
    // The letters of the drives in the folder tree, for the rescan notice after a restore.
    void SetScannedLetters(const QString& letters) { scannedLetters_ = letters; }
    // The File menu's form: captioned "Restore Compressed Folders", the restore page alone.
    void ShowOnlyRestorePage();

    // True once an archive run with "move" had the engine add files: some of the folder's files
    // may be gone, even if the folder is still there.
    bool SourcesTouched() const { return sourcesTouched_; }

    // The progress page with both titles set; the other pages' tabs hidden, "Close" disabled.
    void ShowProgressPage(const QString& title);
    // Moves the bar to the rounded percentage of the total; it never moves back.
    void SetBytesDone(int64_t count);

    // Handlers with the names of the form.
    void cmdCompressClick();
    void cmdStopClick();
    void cmdHelpClick();
    void TheZipProgress(TZipEngine* sender, ProgressType kind, const QString& fileName,
                        int64_t fileSize);
    void cbRestoreDrivesListChange();
    void lvArchivesChange();
    void lvArchivesEdited(QTreeWidgetItem* item, int column);
    void ediRestorePathChange();
    void cmdRestorePathClick();
    void cmdDeleteArchiveClick();
    void cmdRestoreClick();
    // Deletes the selected entry's archive and its register values, asking first when told to.
    void DeleteArchive(bool ask);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QWidget* CreateCompressPage();
    QWidget* CreateRestorePage();
    QWidget* CreateProgressPage();
    void FormShow();
    void LoadSettings();
    void SaveSettings() const;
    // Back on the page a run started from, after a failure that stopped it before the engine.
    void ReturnToChoice(QWidget* page);
    void ShowResults(const cleanup::ArchiveResult& result);
    // The progress page's side of a run: the bar, the file shown, Stop, and the questions.
    cleanup::ArchiveCallbacks RunCallbacks();
    // The selected entry's register key, or empty.
    QString SelectedKey() const;
    QTreeWidgetItem* SelectedEntry() const;
    void ShowError(const QString& text);

    QString folderPath_;
    int64_t total_ = 0;
    int64_t usedSpace_ = 0;
    int32_t clusterSize_ = 0;
    QString scannedLetters_;
    QString archivesFolder_;  // of the drive the restore page shows
    QStringList keys_;
    int64_t bytesDone_ = 0;
    int64_t fileStartBytes_ = 0;
    int64_t fileSize_ = 0;
    QString progressBase_;  // what the progress line puts before an entry's name
    bool running_ = false;
    bool restoring_ = false;
    bool restoreOnly_ = false;
    bool sourcesTouched_ = false;
    bool stopRequested_ = false;
    bool filling_ = false;  // the list is being filled: its changes are no edits

    QTabWidget* ThePages_ = nullptr;
    QWidget* sheetCompress_ = nullptr;
    QWidget* sheetRestore_ = nullptr;
    QWidget* sheetProgress_ = nullptr;
    QLineEdit* ediZIPDescription_ = nullptr;
    QLabel* txtStoreOnDrive_ = nullptr;
    TDrive95ComboBox* cbDrives_ = nullptr;
    QSpinBox* ediCompressionLevel_ = nullptr;
    QCheckBox* chkIncludeSubfolders_ = nullptr;
    QCheckBox* chkIncludeHidden_ = nullptr;
    QCheckBox* chkDeleteAfterCompressing_ = nullptr;
    QCheckBox* chkPasswordProtect_ = nullptr;
    QPushButton* cmdCompress_ = nullptr;
    TDrive95ComboBox* cbRestoreDrivesList_ = nullptr;
    QTreeWidget* lvArchives_ = nullptr;
    QLineEdit* ediRestorePath_ = nullptr;
    QPushButton* cmdRestorePath_ = nullptr;
    QCheckBox* chkDeleteArchive_ = nullptr;
    QPushButton* cmdDeleteArchive_ = nullptr;
    QPushButton* cmdRestore_ = nullptr;
    QLabel* txtProgressTitle1_ = nullptr;
    QLabel* txtProgressTitle2_ = nullptr;
    TPathLabel* txtProgressFile_ = nullptr;
    QLabel* txtProgress_ = nullptr;
    QProgressBar* pbOverall_ = nullptr;
    QPushButton* cmdStop_ = nullptr;
    QWidget* panResults_ = nullptr;
    QLabel* txtCResults1_ = nullptr;
    QLabel* txtCResults2_ = nullptr;
    QLabel* txtCResults3_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
    QPushButton* cmdHelp_ = nullptr;
};

// The clean-up page's "Archive Folder": the dialog for the folder, shown modally. True when the
// engine may have removed some of the folder's files, which the tree must then take into account.
bool ShowArchiveFolderBox(QWidget* owner, const QString& path, int64_t total, int64_t usedSpace,
                          int32_t clusterSize = 0);

// The File menu's "Restore Compressed Folders...": the restore page alone, shown modally.
void RestoreCompressedFolders(QWidget* owner, const QString& scannedLetters);
