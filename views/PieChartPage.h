#pragma once
// The "Pie Chart" page: the pie of the presented folder in the paint box FolderPie, drawn into
// an off-screen picture, and above it a header naming the item under the pointer (icon, type,
// name, size, and a gauge of its share of the drive). Moving the pointer lights the label of
// the section under it; a click on a subfolder goes into it, a click outside the disc goes up,
// a right click asks for the item's menu.

#include <QCursor>
#include <QPixmap>
#include <memory>
#include <vector>

#include "views/PieBuilder.h"
#include "views/ViewPage.h"

class QLabel;
class TSimplePieGauge;
class THPieChart;
namespace draw {
class Bitmap;
class WidgetCanvas;
}  // namespace draw

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

class TPieChartPage : public TViewPage {
    Q_OBJECT
public:
    explicit TPieChartPage(QWidget* parent = nullptr);
    ~TPieChartPage() override;

    void Present(const TPresentation& presentation) override;
    void Forget() override;
    void NodeLeaving(const engine::TFolderNode* gone) override;

    // Gives the chart the colours of the colour table.
    void ApplyColors();
    // What the options dialog's OK changes: the label threshold, the colours, the pie itself.
    void OptionsChanged();

    // The cursor of a TPieCursor number; any other number gives the default arrow.
    QCursor Cursor(int id) const;
    // The 32 x 32 picture of a TGroupImage; any other index gives image 0.
    QPixmap GroupImage(int index) const;

    // What the pie shows: the chart, its picture, what each section stands for (entry 0 the
    // folder itself), the item last under the pointer, and the path it was built for.
    THPieChart& Chart() { return *chart_; }
    const draw::Bitmap& Picture() const { return *picture_; }
    draw::Bitmap& Picture() { return *picture_; }
    const std::vector<TSectionInfo>& SectionInfos() const { return infos_; }
    const TSectionInfo& ContextItem() const { return contextItem_; }
    const QString& ShownFor() const { return shownFor_; }
    // The header's type and name texts of the presented folder itself.
    QString FolderType() const { return folderHeader_.type; }
    QString FolderName() const { return folderHeader_.name; }

    // Handlers of the paint box and the header's icon.
    void FolderPiePaint(const QRect& rect);
    void FolderPieMouseMove(const QPoint& pos);
    void FolderPieMouseDown(Qt::MouseButton button, const QPoint& pos);
    void FolderPieResize();
    void imgIconClick();

signals:
    // The item the pie's header shows wastes this share of its allocated space (the section size
    // window says it).
    void WastedShown(int percent, const QString& wastedText);
    // The colour table was applied again (the section size window follows).
    void ColorsApplied();
    // "Other smaller files" was clicked: the folder's files are to be listed by size.
    void SmallerFilesChosen(engine::TFolderNode* folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPie();
    void LayOutPie(bool draw);
    void UpdatePieHeader(const QString& path, TItemKind kind, int64_t wasted, int64_t size);

    QLabel* imgIcon_ = nullptr;  // 32 x 32, opens the item's properties
    QLabel* txtWebFolderType_ = nullptr;
    QLabel* txtWebFolderName_ = nullptr;
    QLabel* txtWebFolderSize_ = nullptr;
    QLabel* txtWebSectionDrive_ = nullptr;
    TSimplePieGauge* gaugeWebSection_ = nullptr;
    QLabel* txtWebSectionDriveSize_ = nullptr;
    TPaintBox* FolderPie_ = nullptr;
    QCursor zoomIn_;
    QCursor zoomOut_;
    QPixmap otherItems_;
    QPixmap otherFolders_;

    // The pie, drawn into the picture (as large as the paint box) that the display shows.
    std::unique_ptr<draw::Bitmap> picture_;
    std::unique_ptr<draw::WidgetCanvas> display_;
    std::unique_ptr<THPieChart> chart_;
    std::vector<TSectionInfo> infos_;
    TSectionInfo contextItem_;
    TPresentation presentation_;
    QString shownFor_;  // PieShownFor: empty means build again
    // The shell's name, type and icon of the item the header showed last; a pointer resting on
    // one item asks the shell only once. And those of the presented folder.
    struct THeaderItem {
        QString path;
        QString name;
        QString type;
        QPixmap icon;
    };
    THeaderItem headerItem_;
    THeaderItem folderHeader_;
};
