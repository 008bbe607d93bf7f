#pragma once
// TBarChartBox, the tree bar chart window: the selected folder and every folder below it, one
// row each in tree order, each with a bar as long as its share of the selected folder.
//
// The window is made once at start and reused: Fill sets it up for a folder, the caller runs it
// modally and then reads ResultPath. The rows are the engine's nodes, so the list is emptied
// whenever the window closes and nothing of a tree is kept between openings.
//
// Section "BarChartBox" of the program's key holds its placement and "GraphWidth",
// "IncludeSubfolders" and "ShowFullPath": read when the window is made, written when it goes.

#include <QDialog>
#include <QString>
#include <cstdint>

namespace engine {
class TFolderNode;
}

class QCheckBox;
class QHeaderView;
class QLabel;
class QListView;
class QPainter;
class QStatusBar;
class QStyleOptionViewItem;
class TBarListModel;

class TBarChartBox : public QDialog {
    Q_OBJECT
public:
    explicit TBarChartBox(QWidget* owner = nullptr);
    ~TBarChartBox() override;

    // Lists root and every folder below it (each before its own subfolders), selects the first
    // row and shows its size and path; the result path becomes empty. The bars are scaled to
    // root's subtree size, which the check boxes do not change. A null root gives an empty list.
    void Fill(engine::TFolderNode* root);
    // The path of the folder the user chose with Enter or a double click; empty otherwise.
    const QString& ResultPath() const { return resultPath_; }

    // What the rows show, as drawn at the list's present size: the number of rows, the value a
    // row stands for under the check boxes, its bar length in pixels, and the text of its
    // "Folder" column (the path shortened to the room, or the name indented four spaces a
    // level).
    int RowCount() const;
    int64_t RowValue(int row) const;
    int BarLength(int row) const;
    QString RowText(int row) const;
    // The longest bar: the width of the header's "Graph" section.
    int GraphWidth() const;

    QCheckBox* chkIncludeSubfolders = nullptr;  // "Include subfolder sizes"
    QCheckBox* chkShowFullPath = nullptr;       // "Show folder full path"
    QHeaderView* TheHeader = nullptr;           // "Graph", "Folder"
    QListView* BarList = nullptr;               // owner-drawn rows of 24 pixels
    QStatusBar* TheStatusBar = nullptr;
    QLabel* panSize = nullptr;  // status panel 0: the selected row's value
    QLabel* panPath = nullptr;  // status panel 1: the selected row's path

    // Handlers with the names of the layout.
    void BarListDrawItem(QPainter& painter, const QStyleOptionViewItem& option, int row) const;
    void BarListClick();
    void BarListDblClick();
    // Enter chooses the selected folder, Escape closes without one; false for other keys.
    bool FormKeyPress(int key);
    void chkIncludeSubfoldersClick();
    void TheHeaderSectionResize();

    // Closing empties the list, whichever way the window closes.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ShowRow(int row);

    TBarListModel* model_ = nullptr;
    bool shown_ = false;  // a window never shown has no placement worth keeping
    int64_t base_ = 0;
    QString resultPath_;
};

// The window of the run, created at start beside the main window.
extern TBarChartBox* BarChartBox;
