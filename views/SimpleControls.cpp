#include "views/SimpleControls.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

using draw::BrushStyle;

namespace {

void FillBlack(draw::Bitmap& picture) {
    picture.Canvas().SetBrushColor(draw::clBlack);
    picture.Canvas().FillRect({0, 0, picture.Width(), picture.Height()});
}

// The raster operation "source XOR destination" on the colour channels.
void XorInto(QImage& image, const QImage& source) {
    const int height = std::min(image.height(), source.height());
    const int width = std::min(image.width(), source.width());
    for (int y = 0; y < height; ++y) {
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) to[x] = (to[x] ^ from[x]) | 0xFF000000u;
    }
}

int RoundHalfEven(double value) {
    return int(std::nearbyint(value));
}

}  // namespace

void TBltBitmap::MakeLike(const draw::Bitmap& templ) {
    SetSize(templ.Width(), templ.Height());
    Canvas().SetBrushColor(draw::clWindowFrame);
    Canvas().FillRect({0, 0, Width(), Height()});
}

TSimplePieGauge::TSimplePieGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(100, 100);
}

draw::TColor TSimplePieGauge::Color() const {
    return parentColor_ ? draw::QColorToColor(palette().color(QPalette::Window)) : color_;
}

void TSimplePieGauge::SetColor(draw::TColor value) {
    if (value == color_ && !parentColor_) return;
    color_ = value;
    parentColor_ = false;
    update();
}

// The bounds in the messages are worked out in 64 bits: MaxValue - 1 of the smallest integer
// must not wrap around.
void TSimplePieGauge::SetMinValue(int32_t value) {
    if (value == minValue_) return;
    if (value > maxValue_ && !loading_) {
        throw EInvalidOperation(QString::asprintf("Value must be between %lld and %lld",
                                                  -2147483647LL, (long long)maxValue_ - 1));
    }
    minValue_ = value;
    if (progress_ < value) progress_ = value;
    update();
}

void TSimplePieGauge::SetMaxValue(int32_t value) {
    if (value == maxValue_) return;
    if (value < minValue_ && !loading_) {
        throw EInvalidOperation(QString::asprintf("Value must be between %lld and %lld",
                                                  (long long)minValue_ + 1, 2147483647LL));
    }
    maxValue_ = value;
    if (progress_ > value) progress_ = value;
    update();
}

void TSimplePieGauge::SetProgress(int32_t value) {
    if (value < minValue_) {
        value = minValue_;
    } else if (value > maxValue_) {
        value = maxValue_;
    }
    if (value == progress_) return;
    const int before = PercentDone();
    progress_ = value;
    if (PercentDone() != before) update();
}

// In 64 bits: the range and the product by 100 overflow 32 bits for wide ranges.
int TSimplePieGauge::PercentDone() const {
    if (maxValue_ == minValue_) return 0;
    return int((int64_t(progress_) - minValue_) * 100 / (int64_t(maxValue_) - minValue_));
}

// The image starts black; the pie and the text are each drawn on black and combined with XOR,
// so the text shows as the inverse of what lies under it.
QImage TSimplePieGauge::Compose() const {
    draw::Bitmap image(width(), height());
    if (image.Image().isNull()) return QImage();
    FillBlack(image);
    draw::Rect paint{0, 0, width(), height()};
    if (borderStyle_ == bsSingle) paint = {1, 1, width() - 1, height() - 1};

    TBltBitmap overlay;
    overlay.MakeLike(image);
    FillBlack(overlay);
    DrawPie(overlay.Canvas(), paint);
    QImage composed = image.Image();
    XorInto(composed, overlay.Image());

    if (showText_) {
        TBltBitmap text;
        text.MakeLike(image);
        FillBlack(text);
        draw::Canvas& canvas = text.Canvas();
        canvas.SetBrushStyle(BrushStyle::Clear);
        canvas.SetFont(font());
        canvas.SetFontColor(draw::clWhite);
        const QString percent = QString::asprintf("%d%%", PercentDone());
        const int x = (paint.right - paint.left + 1 - canvas.TextWidth(percent)) / 2;
        const int y = (paint.bottom - paint.top + 1 - canvas.TextHeight(percent)) / 2;
        canvas.TextRect(paint, x, y, percent);
        XorInto(composed, text.Image());
    }
    return composed;
}

// The ellipse's second corner is (W, H) itself, which with a single border puts the disc
// exactly inside the frame.
void TSimplePieGauge::DrawPie(draw::Canvas& canvas, const draw::Rect& paint) const {
    const int left = paint.left, top = paint.top;
    int w = paint.right - paint.left, h = paint.bottom - paint.top;
    if (borderStyle_ == bsSingle) {
        ++w;
        ++h;
    }
    canvas.SetBrushColor(Color());
    canvas.FillRect(paint);
    canvas.SetBrushColor(backColor_);
    canvas.SetPenColor(borderColor_);
    canvas.Ellipse(left, top, w, h);
    if (const int percent = PercentDone(); percent > 0) {
        canvas.SetBrushColor(foreColor_);
        canvas.SetPenColor(foreColor_);
        const int mx = w / 2, my = h / 2;
        const double a = (percent * 0.02 + 0.5) * std::numbers::pi;
        // Counter-clockwise from the end of the filled part to 12 o'clock: the wedge grows
        // clockwise from 12 o'clock as the percentage rises.
        canvas.Pie(left, top, w, h, RoundHalfEven(mx * (1 - std::cos(a))),
                   RoundHalfEven(my * (1 - std::sin(a))), mx, 0);
    }
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.SetPenColor(borderColor_);
    canvas.Ellipse(left, top, w, h);
    canvas.SetBrushStyle(BrushStyle::Solid);
}

void TSimplePieGauge::paintEvent(QPaintEvent*) {
    const QImage picture = Compose();
    if (!picture.isNull()) QPainter(this).drawImage(QPoint(0, 0), picture);
}
