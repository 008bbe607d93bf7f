#pragma once
// The canvas back end over QPainter: draws on a QImage or a QPixmap, and Bitmap, a picture that
// owns its image and its canvas (the off-screen pictures of the pie chart and the gauges).
//
// Shapes and lines are drawn without antialiasing, so their pixels follow the conventions of
// platform/Canvas.h exactly; text is antialiased. Fonts given in points are drawn at 96 dots per
// inch whatever the device says, so that every back end measures text alike.

#include <QFont>
#include <QImage>

#include "draw/Canvas.h"

class QPaintDevice;
class QPixmap;

namespace draw {

// The font as the canvases draw it: sized in pixels (points at 96 dots per inch).
QFont CanvasPixelFont(const QFont& font);
// Text extent in that font, as Canvas::TextWidth and Canvas::TextHeight give it.
int CanvasTextWidth(const QFont& font, const QString& text);
int CanvasTextHeight(const QFont& font);

// Gives image the new size, keeping what lies inside both sizes and filling the rest with white;
// a width or height of 0 or less leaves an image without pixels.
void ResizeImage(QImage& image, int width, int height);

class PainterCanvas : public Canvas {
public:
    // Draws on image or pixmap, which the caller owns and keeps alive; with none, or while the
    // target has no pixels, drawing calls do nothing.
    explicit PainterCanvas(QImage* image = nullptr);
    explicit PainterCanvas(QPixmap* pixmap);

    void SetTarget(QImage* image);
    void SetTarget(QPixmap* pixmap);

    void LineTo(int x, int y) override;
    void FillRect(const Rect& r) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void TextOut(int x, int y, const QString& text) override;
    void TextRect(const Rect& clip, int x, int y, const QString& text) override;
    void CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) override;
    void Draw(int x, int y, const QImage& picture) override;
    QImage Grab(const Rect& r) const override;

private:
    class Painter;
    QPaintDevice* Device() const;
    void WriteText(const Rect* clip, int x, int y, const QString& text);

    QImage* image_ = nullptr;
    QPixmap* pixmap_ = nullptr;
};

// A picture (32-bit RGB) with its own canvas. A new or resized picture is white where it has
// no earlier content.
class Bitmap {
public:
    explicit Bitmap(int width = 0, int height = 0);
    virtual ~Bitmap() = default;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    // As ResizeImage.
    void SetSize(int width, int height) { ResizeImage(image_, width, height); }

    draw::Canvas& Canvas() { return canvas_; }
    const QImage& Image() const { return image_; }

private:
    QImage image_;
    PainterCanvas canvas_;
};

}  // namespace draw
