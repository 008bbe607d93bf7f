#pragma once
// The "Subfolders" page: the direct subfolders of the selected folder in a sortable list, with
// the filters that choose which of them are listed.

#include "views/ViewPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;

class TSubfoldersPage : public TViewPage {
    Q_OBJECT
public:
    explicit TSubfoldersPage(QWidget* parent = nullptr);

    void Present(const TPresentation& presentation) override;
    void Forget() override;
    void NodeLeaving(const engine::TFolderNode* gone) override;

    // The filter and the sort kept between runs: read when the main window is made, written
    // when it goes.
    void LoadSettings();
    void SaveSettings() const;

    // The sort code: the column number 1 to 8, negative for descending.
    int SortCode() const { return sortCode_; }
    // ListShownFor: the folder the list was last built for; nullptr means build again.
    const engine::TFolderNode* ShownFor() const { return shownFor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Marks the sorted column with "-> " in front of its caption.
    void MarkSortColumn();
    // Shows the filter controls of the chosen display type.
    void ShowFilterControls();

    QWidget* panWebFolderListPath_ = nullptr;
    QLabel* txtWebFolderListPath_ = nullptr;
    // "Top Large Folders", "Folders Larger Than", "All Folders"
    QComboBox* cbFoldersDisplayType_ = nullptr;
    QLabel* txtFoldersTop_ = nullptr;
    QComboBox* cbFoldersTop_ = nullptr;        // editable
    QSpinBox* udFoldersLargerThan_ = nullptr;  // 0 to 32767, the up-down of ediFoldersLargerThan
    QLineEdit* ediFoldersLargerThan_ = nullptr;
    QComboBox* cbFoldersLargerThanBytes_ = nullptr;  // "bytes", "KB", "MB"
    QWidget* panWebListLevelUp_ = nullptr;
    QTreeWidget* TheFilesList_ = nullptr;
    int sortCode_ = 1;
    const engine::TFolderNode* shownFor_ = nullptr;
};
