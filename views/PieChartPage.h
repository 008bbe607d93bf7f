#pragma once
// The "Pie Chart" page: a header naming the item under the pointer (icon, type, name, size and
// a gauge of its share of the drive) above the paint box the pie is drawn in. The page holds the
// pie's two zoom cursors and the header's pictures of grouped items; the main window draws.

#include <QCursor>
#include <QPixmap>
#include <QWidget>

class QLabel;
class TSimplePieGauge;

// The cursors over the pie, by the numbers the pie's items carry.
enum TPieCursor : int { crPieDefault = 0, crZoomIn = 5, crZoomOut = 6 };

// The header's pictures of grouped items.
enum TGroupImage : int { giOtherItems = 0, giOtherFolders = 1 };

// A plain surface that leaves painting and mouse handling to its owner.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);

signals:
    void Paint(QPaintEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseDown(QMouseEvent* event);
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class TPieChartPage : public QWidget {
    Q_OBJECT
public:
    explicit TPieChartPage(QWidget* parent = nullptr);

    // The cursor of a TPieCursor number; any other number gives the default arrow.
    QCursor Cursor(int id) const;
    // The 32 x 32 picture of a TGroupImage; any other index gives image 0.
    QPixmap GroupImage(int index) const;

    QWidget* panWebHeader = nullptr;
    QLabel* imgIcon = nullptr;  // 32 x 32, opens the item's properties
    QLabel* txtWebFolderType = nullptr;
    QLabel* txtWebFolderName = nullptr;
    QLabel* txtWebFolderSize = nullptr;
    QLabel* txtWebSectionDrive = nullptr;
    TSimplePieGauge* gaugeWebSection = nullptr;
    QLabel* txtWebSectionDriveSize = nullptr;
    TPaintBox* FolderPie = nullptr;

signals:
    void imgIconClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCursor zoomIn_;
    QCursor zoomOut_;
    QPixmap otherItems_;
    QPixmap otherFolders_;
};
