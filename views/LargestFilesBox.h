#pragma once
// TLargestFilesBox, the Largest Files window: the largest files below a folder (100 by default,
// up to 10,000), by size or by space on disk, of every type or of one category or extension,
// with their size, space on disk, latest change, type and folder. Section "LargestFilesBox" of
// the program's key keeps its placement, the count and the measure.

#include "engine/FileQueries.h"
#include "views/FileWindow.h"

class QComboBox;

class TLargestFilesBox : public TFileWindow {
    Q_OBJECT
public:
    explicit TLargestFilesBox(QWidget* owner = nullptr);
    ~TLargestFilesBox() override;

    // Lists the largest files below root under the window's choices; an extension given here
    // (from the File Types window) narrows the list to it until the next Fill.
    void Fill(const engine::TFolderNode* root, bool byOnDisk,
              const engine::TFileFilter& filter = {});

    QComboBox* cbCount = nullptr;     // "100" ... "10000"
    QComboBox* cbMeasure = nullptr;   // "By Size", "By Size on Disk"
    QComboBox* cbCategory = nullptr;  // "All Types", then each category
    TFileRows* FileList = nullptr;

protected:
    void Forget() override;

private:
    void Rebuild();

    const engine::TFolderNode* root_ = nullptr;
    engine::TFileFilter filter_;
};
