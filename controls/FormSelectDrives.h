#pragma once
// TDrivesSelectBox: the "Scan Drives" dialog, in which the user checks the drives to scan.
// The caller shows it modally and, before destroying it, reads ScanChosen and the check marks of
// TheDrivesBox: when ScanChosen is true it scans the checked drives in list order.

#include <QDialog>
#include <QString>

class QPushButton;
class TOrbDriveCheckListBox;

class TDrivesSelectBox : public QDialog {
    Q_OBJECT
public:
    // What "&Scan" says, the dialog staying open, when no drive is checked.
    static inline const QString kNothingTicked = QStringLiteral(
        "No drive is checked. Check the drives to scan, or press Cancel to scan none.");

    // owner: the main window the dialog centres over. programPath: the program file's full path
    // as a program path, whose drive is checked at first; by default the running program's.
    explicit TDrivesSelectBox(QWidget* owner = nullptr, const QString& programPath = ProgramPath());

    // True once the dialog was closed with "&Scan".
    bool ScanChosen() const { return scanChosen_; }
    TOrbDriveCheckListBox* TheDrivesBox() const { return drivesBox_; }

    QPushButton* cmdScan() const { return cmdScan_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QPushButton* cmdSelectAll() const { return cmdSelectAll_; }
    QPushButton* cmdFixedDrives() const { return cmdFixedDrives_; }
    QPushButton* cmdDeselectAll() const { return cmdDeselectAll_; }

    // The running program file as a program path; empty when it lies on no drive.
    static QString ProgramPath();

private:
    // "Select &all" (tag 0) checks every entry, "&Deselect all" (tag 1) unchecks every entry.
    void cmdSelectAllClick();
    void cmdFixedDrivesClick();
    void cmdScanClick();

    bool scanChosen_ = false;
    TOrbDriveCheckListBox* drivesBox_;
    QPushButton* cmdScan_;
    QPushButton* cmdCancel_;
    QPushButton* cmdSelectAll_;
    QPushButton* cmdFixedDrives_;
    QPushButton* cmdDeselectAll_;
};
