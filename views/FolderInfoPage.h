#pragma once
// The "Folder Info" page: a header with the folder's icon, type and path, the totals of the
// folder with its subfolders and of its own files, and a grid of names, dates and attributes.

#include <array>

#include "views/ViewPage.h"

class QLabel;
class QTableWidget;
class TPathLabel;
namespace engine {
struct TEntryFacts;
struct TFolderSize;
}  // namespace engine

class TFolderInfoPage : public TViewPage {
    Q_OBJECT
public:
    explicit TFolderInfoPage(QWidget* parent = nullptr);

    void Present(const TPresentation& presentation) override;
    void Forget() override;
    void NodeLeaving(const engine::TFolderNode* gone) override;

    // InfoShownFor: the path the page was last built for; empty means build again.
    const QString& ShownFor() const { return shownFor_; }

    // What the page shows, as a report repeats it.
    struct TTexts {
        // Size, allocated, wasted and objects of the tree and of the folder: text and hint.
        std::array<std::pair<QString, QString>, 4> Tree, Folder;
        // The grid's eleven rows: caption and value.
        std::array<std::pair<QString, QString>, 11> Grid;
    };
    TTexts Texts() const;

signals:
    // The tree bar chart picture was clicked.
    void imgTreeBarChartClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillGrid(const QString& displayName, const engine::TEntryFacts& entry,
                  const engine::TFolderSize& record);
    // A block's size, allocated and wasted texts with the exact bytes as their hints, and its
    // objects with the files and subfolders as the hint.
    static void FillBlock(const std::array<QLabel*, 4>& labels, int64_t size, int64_t wasted,
                          int32_t files, int32_t folders);

    QLabel* imgWebFolderInfo_ = nullptr;  // 32 x 32, opens the item's properties
    QLabel* txtWebFolderInfoType_ = nullptr;
    TPathLabel* txtWebFolderInfoPath_ = nullptr;
    QLabel* imgTreeBarChart_ = nullptr;  // opens the tree bar chart window
    QWidget* panWebFolderInfoSizeSupport2_ = nullptr;
    QLabel* txtWebTreeInfoSize_ = nullptr;
    QLabel* txtWebTreeInfoAllocated_ = nullptr;
    QLabel* txtWebTreeInfoWasted_ = nullptr;
    QLabel* txtWebTreeInfoObjects_ = nullptr;
    QLabel* txtWebFolderInfoSize_ = nullptr;
    QLabel* txtWebFolderInfoAllocated_ = nullptr;
    QLabel* txtWebFolderInfoWasted_ = nullptr;
    QLabel* txtWebFolderInfoObjects_ = nullptr;
    QTableWidget* gridFolderInfo_ = nullptr;  // 2 columns, 11 rows
    QLabel* txtImportedFrom_ = nullptr;       // where an imported drive came from
    TPresentation presentation_;
    QString shownFor_;
};
