#pragma once
// The "Folder Info" page: a header with the folder's icon, type and path, the totals of the
// folder with its subfolders and of its own files, and a grid of names, dates and attributes.

#include <QWidget>

class QLabel;
class QTableWidget;

class TFolderInfoPage : public QWidget {
    Q_OBJECT
public:
    explicit TFolderInfoPage(QWidget* parent = nullptr);

    QLabel* imgWebFolderInfo = nullptr;  // 32 x 32, opens the item's properties
    QLabel* txtWebFolderInfoType = nullptr;
    QLabel* txtWebFolderInfoPath = nullptr;
    QLabel* imgTreeBarChart = nullptr;  // opens the tree bar chart window
    QWidget* panWebFolderInfoSizeSupport2 = nullptr;
    QLabel* txtWebTreeInfoSize = nullptr;
    QLabel* txtWebTreeInfoAllocated = nullptr;
    QLabel* txtWebTreeInfoWasted = nullptr;
    QLabel* txtWebTreeInfoObjects = nullptr;
    QLabel* txtWebFolderInfoSize = nullptr;
    QLabel* txtWebFolderInfoAllocated = nullptr;
    QLabel* txtWebFolderInfoWasted = nullptr;
    QLabel* txtWebFolderInfoObjects = nullptr;
    QTableWidget* gridFolderInfo = nullptr;  // 2 columns, 11 rows

signals:
    void imgWebFolderInfoClick();
    void imgTreeBarChartClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
