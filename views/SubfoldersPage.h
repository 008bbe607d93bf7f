#pragma once
// The "Subfolders" page: the direct subfolders of the selected folder in a sortable list, with
// the filters that choose which of them are listed.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;

class TSubfoldersPage : public QWidget {
    Q_OBJECT
public:
    explicit TSubfoldersPage(QWidget* parent = nullptr);

    QWidget* panWebFolderListPath = nullptr;
    QLabel* txtWebFolderListPath = nullptr;
    QComboBox* cbFoldersDisplayType =
        nullptr;  // "Top Large Folders", "Folders Larger Than", "All Folders"
    QLabel* txtFoldersTop = nullptr;
    QComboBox* cbFoldersTop = nullptr;        // editable
    QSpinBox* udFoldersLargerThan = nullptr;  // 0 to 32767, the up-down of ediFoldersLargerThan
    QLineEdit* ediFoldersLargerThan = nullptr;
    QComboBox* cbFoldersLargerThanBytes = nullptr;  // "bytes", "KB", "MB"
    QWidget* panWebListLevelUp = nullptr;
    QTreeWidget* TheFilesList = nullptr;

    // The sort code: the column number 1 to 8, negative for descending.
    int SortCode = 1;
    // Marks the sorted column with "-> " in front of its caption.
    void MarkSortColumn();

    // Shows the filter controls of the chosen display type.
    void ShowFilterControls();

signals:
    void UpOneLevelClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
