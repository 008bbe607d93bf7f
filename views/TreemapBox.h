#pragma once
// TTreemapBox, the Treemap window: the selected folder's whole subtree in one picture, each file
// a tile sized by its length (or its space on disk), coloured by its category, framed by its
// folders, with a legend of the colours. Hovering tells a tile's path, size and type; a click
// selects the tile's folder in the main window; a double click zooms into the folder, Backspace
// or a click on the header zooms out; a right click opens the item menu. The picture copies to
// the clipboard and saves as PNG or SVG. Section "TreemapBox" of the program's key keeps its
// placement.

#include <QImage>
#include <functional>
#include <vector>

#include "views/FileWindow.h"
#include "views/TreemapLayout.h"

class QPushButton;
class TTreemapView;

class TTreemapBox : public TFileWindow {
    Q_OBJECT
public:
    explicit TTreemapBox(QWidget* owner = nullptr);

    void Fill(const engine::TFolderNode* root, bool byOnDisk);
    // What a click on a tile selects in the main window (its folder's path).
    void SetSelectFolder(std::function<void(const QString&)> select) {
        selectFolder_ = std::move(select);
    }
    // What "Save As..." does with the picture: the window asks for the file.
    void SetSave(std::function<void(const QImage&, const QByteArray& svg)> save) {
        save_ = std::move(save);
    }

    // The folder shown, zoomed into or out of; the tiles as laid out at the view's size.
    const engine::TFolderNode* Shown() const { return shown_; }
    const std::vector<TTreemapTile>& Tiles() const;
    void ZoomInto(const engine::TFolderNode* folder);
    void ZoomOut();
    // The picture as the view shows it, and as SVG.
    QImage Picture() const;
    QByteArray Svg() const;
    // The status text for the tile under a point of the view.
    QString TextAt(const QPointF& point) const;

    QPushButton* btnUp = nullptr;    // the header: the shown folder, a click zooms out
    QPushButton* btnCopy = nullptr;  // "Copy"
    QPushButton* btnSave = nullptr;  // "Save As..."
    TTreemapView* View = nullptr;

protected:
    void Forget() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TTreemapView;
    void ShowHeader();
    void Clicked(int tile, bool twice, const QPoint& global, Qt::MouseButton button);

    const engine::TFolderNode* root_ = nullptr;  // what Fill was given: zooming stops above it
    const engine::TFolderNode* shown_ = nullptr;
    bool onDisk_ = false;
    std::function<void(const QString&)> selectFolder_;
    std::function<void(const QImage&, const QByteArray&)> save_;
};

// The picture itself: lays the tiles out for its size and paints them, cached.
class TTreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TTreemapView(TTreemapBox& box);
    void SetFolder(const engine::TFolderNode* folder, bool byOnDisk);
    const std::vector<TTreemapTile>& Tiles() const { return tiles_; }
    const QImage& Picture() const { return picture_; }
    // Lays out and paints again at the present size.
    void Rebuild();
    QSize sizeHint() const override { return {800, 500}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TTreemapBox& box_;
    const engine::TFolderNode* folder_ = nullptr;
    bool onDisk_ = false;
    std::vector<TTreemapTile> tiles_;
    QImage picture_;
};

// The colour of a file category's tiles.
QColor CategoryColor(engine::TFileCategory category);
// The picture of laid-out tiles: with cushion shading on tiles large enough for it.
void PaintTreemap(QImage& picture, const std::vector<TTreemapTile>& tiles);
// The same tiles as an SVG document of the given size.
QByteArray TreemapSvg(const std::vector<TTreemapTile>& tiles, const QSize& size);
