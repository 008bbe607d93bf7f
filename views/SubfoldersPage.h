#pragma once
// The "Subfolders" page: the direct subfolders of the selected folder in a sortable list (size,
// allocated and wasted space in KB, share of the parent, objects, latest access and change),
// with the filters that choose which of them are listed: the largest N, those larger than a
// size, or all.

#include <QStringList>
#include <vector>

#include "views/SubfolderRows.h"
#include "views/ViewPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;
class TPathLabel;

// One row of the list as a report writes it: the captions and texts as shown.
struct TListTable {
    QStringList Captions;
    std::vector<QStringList> Rows;
};

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

    // The filter and the sort as the controls hold them; setting them re-marks the sort column
    // and shows the filter's controls, and builds the list anew when it is next presented.
    struct TFilter {
        int DisplayType = 2;     // 0 top large folders, 1 larger than, 2 all
        QString TopText;         // the "top" box's text
        int Unit = 1;            // 0 bytes, 1 KB, 2 MB
        QString LargerThanText;  // the number edit's text
        int SortCode = 1;
    };
    TFilter Filter() const;
    void SetFilter(const TFilter& filter);
    // ListShownFor: the folder the list was last built for; nullptr means build again.
    const engine::TFolderNode* ShownFor() const { return shownFor_; }
    // The list as it stands, captions (with the sort mark) and rows in their order.
    TListTable Table() const;
    // The list a page with this filter would show for a folder, built on a page of its own (the
    // window's page and its filter stay as they are).
    static TListTable TableFor(const TPresentation& presentation, const TFilter& filter);
    // Which subfolders a filter lists and in which order, as the page's controls would hold it.
    static TSubfolderChoice ChoiceOf(const TFilter& filter);

    // Handlers with the names of the layout.
    void cbFoldersDisplayTypeChange();
    void ediFoldersLargerThanChange();
    void TheFilesListColumnClick(int column);
    void TheFilesListDblClick();
    void TheFilesListMouseDown(const QPoint& pos);
    // The order of two rows under the sort code: its sign orders them.
    int TheFilesListCompare(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Rebuild();
    // Marks the sorted column with "-> " in front of its caption.
    void MarkSortColumn();
    // Shows the filter controls of the chosen display type.
    void ShowFilterControls();
    // The folder presented again with the list built anew (RefreshList).
    void RefreshList();

    QWidget* panWebFolderListPath_ = nullptr;
    TPathLabel* txtWebFolderListPath_ = nullptr;
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
    TPresentation presentation_;
    const engine::TFolderNode* shownFor_ = nullptr;
    bool loading_ = false;  // the settings are being applied: no list is built meanwhile
};
