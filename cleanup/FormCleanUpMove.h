#pragma once
// TCleanUpMoveFolderBox: the "Move Folder" dialog. It proposes the fixed drives whose clusters
// are smaller than the source drive's, with the space each would save, lets the user choose a
// target folder, and moves the folder there when closed with OK. The caller sets the source
// and the wasted-space text, fills the list of better drives from the folder's record, shows
// the dialog modally and, after OK, reads what the move did.

#include <QDialog>
#include <QString>

#include "platform/FileOperations.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class TDirectory95ListBox;
class TDrive95ComboBox;
namespace engine {
struct TFolderSize;
}

class TCleanUpMoveFolderBox : public QDialog {
    Q_OBJECT
public:
    // The help topic of the dialog.
    static constexpr int HelpContext = 2100;

    // FormCreate: the controls, the icon list of the drive list, the place over owner.
    explicit TCleanUpMoveFolderBox(QWidget* owner = nullptr);

    // The folder to move ("C:\Data\Old") and the text above the list of better drives.
    void SetSource(const QString& path);
    void SetWastedText(const QString& text);
    // The better drives for the folder of this record: each fixed drive (or RAM disk or network
    // drive; never a removable or CD-ROM drive) whose cluster size is known and smaller than the
    // source drive's, from a to z, with its cluster size and the wasted space it saves.
    void FillBetterDrives(const engine::TFolderSize& record);

    // What the move did; meaningful once the dialog was closed with OK.
    const platform::FileOperationResult& MoveResult() const { return result_; }
    // Callbacks the move uses in place of the program's own dialogs (a test's cancel).
    void SetMoveCallbacks(const platform::FileOperationCallbacks& callbacks) {
        moveCallbacks_ = callbacks;
    }

    QLineEdit* ediFolderSource() const { return ediFolderSource_; }
    QLabel* txtWastedOnSource() const { return txtWastedOnSource_; }
    QTreeWidget* lvWasting() const { return lvWasting_; }
    QLineEdit* ediFolderTarget() const { return ediFolderTarget_; }
    TDrive95ComboBox* cbDrives() const { return cbDrives_; }
    TDirectory95ListBox* lbFolders() const { return lbFolders_; }
    QPushButton* cmdOK() const { return cmdOK_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QPushButton* cmdHelp() const { return cmdHelp_; }

signals:
    // The help of a topic, over this dialog.
    void HelpRequested(int topic);

private:
    void lvWastingChange();
    void cbDrivesChange();
    void lbFoldersChange();
    void ediFolderTargetChange();
    void cmdOKClick();
    void cmdHelpClick();

    QString source_;
    platform::FileOperationResult result_;
    platform::FileOperationCallbacks moveCallbacks_;
    QLineEdit* ediFolderSource_;
    QLabel* txtWastedOnSource_;
    QTreeWidget* lvWasting_;
    QLineEdit* ediFolderTarget_;
    TDrive95ComboBox* cbDrives_;
    TDirectory95ListBox* lbFolders_;
    QPlainTextEdit* ediNote_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QPushButton* cmdHelp_;
};
