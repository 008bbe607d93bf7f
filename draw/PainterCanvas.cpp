#include "draw/PainterCanvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace draw {

namespace {

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// The box of two corners given in any order.
Rect BoxOf(int x1, int y1, int x2, int y2) {
    return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The outline of a box whose right and bottom edges lie outside it: Qt's aliased one-pixel pen
// covers the pixels from left to left + width inclusive, so the path box is one pixel smaller.
QRectF OutlineBox(const Rect& box) {
    return QRectF(box.left, box.top, box.Width() - 1, box.Height() - 1);
}

// Angle in degrees, counter-clockwise from 3 o'clock, of the point where the radial from the
// box's centre towards (x, y) meets the ellipse, in the parametric form Qt's arcs take.
double ArcAngleOf(const Rect& box, double x, double y) {
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const double rx = box.Width() / 2.0;
    const double ry = box.Height() / 2.0;
    return std::atan2((cy - y) / ry, (x - cx) / rx) * 180.0 / std::numbers::pi;
}

}  // namespace

QFont CanvasPixelFont(const QFont& font) {
    if (font.pixelSize() > 0) return font;
    QFont pixelFont = font;
    pixelFont.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * 96.0 / 72.0))));
    return pixelFont;
}

int CanvasTextWidth(const QFont& font, const QString& text) {
    return QFontMetrics(CanvasPixelFont(font)).horizontalAdvance(text);
}

int CanvasTextHeight(const QFont& font) {
    return QFontMetrics(CanvasPixelFont(font)).height();
}

// One painter per call: the target stays free between calls (a Bitmap may be resized, and its
// image read, at any time).
class PainterCanvas::Painter : public QPainter {
public:
    Painter(QPaintDevice* device, const Canvas& canvas) : QPainter(device) {
        setRenderHint(QPainter::Antialiasing, false);
        setRenderHint(QPainter::TextAntialiasing, true);
        QPen pen(ColorToQColor(canvas.PenColor()), 0);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        setPen(pen);
        if (canvas.Brush() == BrushStyle::Solid) {
            setBrush(ColorToQColor(canvas.BrushColor()));
        } else {
            setBrush(Qt::NoBrush);
        }
    }
};

PainterCanvas::PainterCanvas(QImage* image) : image_(image) {}
PainterCanvas::PainterCanvas(QPixmap* pixmap) : pixmap_(pixmap) {}

void PainterCanvas::SetTarget(QImage* image) {
    image_ = image;
    pixmap_ = nullptr;
}

void PainterCanvas::SetTarget(QPixmap* pixmap) {
    pixmap_ = pixmap;
    image_ = nullptr;
}

QPaintDevice* PainterCanvas::Device() const {
    if (image_ && !image_->isNull()) return image_;
    if (pixmap_ && !pixmap_->isNull()) return pixmap_;
    return nullptr;
}

// Qt's stroker orders a line's ends by itself, so it would leave out the wrong end of a line
// drawn leftwards or upwards; the pixels are stepped here instead, from the start point on.
void PainterCanvas::LineTo(int x, int y) {
    const QPoint from = PenPos();
    Canvas::MoveTo(x, y);
    QPaintDevice* device = Device();
    if (!device || from == QPoint(x, y)) return;
    const int dx = std::abs(x - from.x()), dy = -std::abs(y - from.y());
    const int sx = from.x() < x ? 1 : -1, sy = from.y() < y ? 1 : -1;
    QPolygon pixels;
    pixels.reserve(std::max(dx, -dy));
    int px = from.x(), py = from.y(), error = dx + dy;
    while (px != x || py != y) {
        pixels << QPoint(px, py);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            px += sx;
        }
        if (twice <= dx) {
            error += dx;
            py += sy;
        }
    }
    Painter(device, *this).drawPoints(pixels);
}

void PainterCanvas::FillRect(const Rect& r) {
    QPaintDevice* device = Device();
    if (!device || r.IsEmpty() || Brush() == BrushStyle::Clear) return;
    Painter(device, *this).fillRect(ToQRect(r), ColorToQColor(BrushColor()));
}

void PainterCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    QPaintDevice* device = Device();
    if (!device || box.IsEmpty()) return;
    Painter painter(device, *this);
    if (Brush() == BrushStyle::Solid) {
        const Rect inside{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
        if (!inside.IsEmpty()) painter.fillRect(ToQRect(inside), ColorToQColor(BrushColor()));
    }
    // The outline as four one-pixel bands, so its pixels do not depend on the stroker.
    const QColor pen = ColorToQColor(PenColor());
    painter.fillRect(ToQRect({box.left, box.top, box.right, box.top + 1}), pen);
    painter.fillRect(ToQRect({box.left, box.bottom - 1, box.right, box.bottom}), pen);
    painter.fillRect(ToQRect({box.left, box.top, box.left + 1, box.bottom}), pen);
    painter.fillRect(ToQRect({box.right - 1, box.top, box.right, box.bottom}), pen);
}

void PainterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    QPaintDevice* device = Device();
    if (!device || box.IsEmpty()) return;
    Painter(device, *this).drawEllipse(OutlineBox(box));
}

void PainterCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    QPaintDevice* device = Device();
    if (!device || box.IsEmpty()) return;
    // Radials in the same direction: exact in doubles, since the centre is a multiple of 0.5.
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const double ux = x3 - cx, uy = y3 - cy, vx = x4 - cx, vy = y4 - cy;
    Painter painter(device, *this);
    if (ux * vy - uy * vx == 0 && ux * vx + uy * vy > 0) {
        painter.drawEllipse(OutlineBox(box));
        return;
    }
    const double start = ArcAngleOf(box, x3, y3);
    double sweep = std::fmod(ArcAngleOf(box, x4, y4) - start + 720.0, 360.0);
    const QRectF outline = OutlineBox(box);
    QPainterPath wedge;
    wedge.moveTo(outline.center());
    wedge.arcTo(outline, start, sweep);
    wedge.closeSubpath();
    painter.drawPath(wedge);
}

int PainterCanvas::TextWidth(const QString& text) const {
    return CanvasTextWidth(Font(), text);
}

int PainterCanvas::TextHeight(const QString&) const {
    return CanvasTextHeight(Font());
}

void PainterCanvas::TextOut(int x, int y, const QString& text) {
    WriteText(nullptr, x, y, text);
}

void PainterCanvas::TextRect(const Rect& clip, int x, int y, const QString& text) {
    if (!clip.IsEmpty()) WriteText(&clip, x, y, text);
}

void PainterCanvas::WriteText(const Rect* clip, int x, int y, const QString& text) {
    QPaintDevice* device = Device();
    if (!device || text.isEmpty()) return;
    const QFont font = CanvasPixelFont(Font());
    const QFontMetrics metrics(font);
    Painter painter(device, *this);
    if (clip) painter.setClipRect(ToQRect(*clip));
    if (Brush() == BrushStyle::Solid) {
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                         ColorToQColor(BrushColor()));
    }
    painter.setFont(font);
    painter.setPen(ColorToQColor(FontColor()));
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
}

void PainterCanvas::CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) {
    QPaintDevice* device = Device();
    if (!device || dest.IsEmpty() || sourceRect.IsEmpty()) return;
    const QImage pixels = source.Grab(sourceRect);
    if (pixels.isNull()) return;
    Painter(device, *this).drawImage(ToQRect(dest), pixels);
}

void PainterCanvas::Draw(int x, int y, const QImage& picture) {
    QPaintDevice* device = Device();
    if (!device || picture.isNull()) return;
    Painter(device, *this).drawImage(QPoint(x, y), picture);
}

QImage PainterCanvas::Grab(const Rect& r) const {
    if (r.IsEmpty()) return QImage();
    if (image_ && !image_->isNull()) return image_->copy(ToQRect(r));
    if (pixmap_ && !pixmap_->isNull()) {
        QImage pixels(r.Width(), r.Height(), QImage::Format_RGB32);
        pixels.fill(Qt::black);
        QPainter(&pixels).drawPixmap(QPoint(0, 0), *pixmap_, ToQRect(r));
        return pixels;
    }
    return QImage();
}

void ResizeImage(QImage& image, int width, int height) {
    if (width <= 0 || height <= 0) {
        image = QImage();
        return;
    }
    if (width == image.width() && height == image.height()) return;
    QImage resized(width, height, QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!image.isNull()) QPainter(&resized).drawImage(QPoint(0, 0), image);
    image = std::move(resized);
}

Bitmap::Bitmap(int width, int height) : canvas_(&image_) {
    SetSize(width, height);
}

}  // namespace draw
