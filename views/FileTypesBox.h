#pragma once
// TFileTypesBox, the File Types window: the files below a folder by category, and within each
// category by extension, with their count, size, space on disk and share of the folder's size,
// largest first. Opening an extension (Enter or a double click) lists its files, largest first,
// in the Largest Files window. Section "FileTypesBox" of the program's key keeps its placement.

#include <functional>

#include "engine/FileQueries.h"
#include "views/FileWindow.h"

class QPushButton;
class QTreeWidget;

class TFileTypesBox : public TFileWindow {
    Q_OBJECT
public:
    explicit TFileTypesBox(QWidget* owner = nullptr);

    void Fill(const engine::TFolderNode* root);
    // What opening an extension does (the main window runs the Largest Files window); it gives
    // the folder chosen there, if any, which this window then gives as its own choice.
    void SetOpenFiles(std::function<QString(const engine::TFileFilter&)> open) {
        openFiles_ = std::move(open);
    }
    // What "Save As CSV..." does with the totals shown.
    void SetSaveCsv(std::function<void(const engine::TFileTypes&)> save) {
        saveCsv_ = std::move(save);
    }

    QTreeWidget* TypeList = nullptr;  // a row per category, its extensions below it
    QPushButton* btnSaveCsv = nullptr;

    // Opens the current row's files: an extension's, or a category's.
    void OpenCurrentRow();

protected:
    void Forget() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const engine::TFolderNode* root_ = nullptr;
    engine::TFileTypes types_;
    std::function<QString(const engine::TFileFilter&)> openFiles_;
    std::function<void(const engine::TFileTypes&)> saveCsv_;
};
