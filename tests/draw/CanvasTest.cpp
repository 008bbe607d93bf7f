// The canvas back ends: the device-context conventions the drawings rely on, checked on pixels
// with antialiasing off; the recording and its replay; the widget surface; system colours.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "draw/PainterCanvas.h"
#include "draw/RecordingCanvas.h"
#include "draw/SystemColors.h"
#include "draw/WidgetCanvas.h"
#include "tests/fixtures/Pictures.h"
#include "tests/fixtures/QtPrinters.h"

using namespace draw;

namespace {

constexpr TColor kPen = clRed;
constexpr TColor kBrush = RGBColor(0, 0, 200);

struct ShapeCase {
    const char* name;
    std::function<void(Canvas&)> draw;
};

// A white 20 × 16 picture with the canvas set to a red pen and a blue solid brush.
struct Picture {
    Bitmap bitmap{20, 16};
    Picture() {
        bitmap.Canvas().SetPenColor(kPen);
        bitmap.Canvas().SetBrushColor(kBrush);
    }
    Canvas& canvas() { return bitmap.Canvas(); }
    TColor at(int x, int y) const { return PixelAt(bitmap.Image(), x, y); }
};

}  // namespace

TEST(Canvas, ShapesLeaveOutTheRightAndBottomEdgeOfTheirBox) {
    // Box (2, 3) to (12, 10): pixels 2..11 across and 3..9 down, in whichever order the corners
    // come; the Pie's equal radial points make it the whole ellipse.
    const ShapeCase cases[] = {
        {"Rectangle", [](Canvas& c) { c.Rectangle(2, 3, 12, 10); }},
        {"Rectangle swapped corners", [](Canvas& c) { c.Rectangle(12, 10, 2, 3); }},
        {"Ellipse", [](Canvas& c) { c.Ellipse(2, 3, 12, 10); }},
        {"Pie whole", [](Canvas& c) { c.Pie(2, 3, 12, 10, 7, 0, 7, 0); }},
        {"FillRect",
         [](Canvas& c) {
             c.FillRect({2, 3, 12, 10});
         }},
    };
    for (const ShapeCase& shape : cases) {
        SCOPED_TRACE(shape.name);
        Picture p;
        shape.draw(p.canvas());
        EXPECT_EQ(PaintedBounds(p.bitmap.Image(), clWhite), QRect(QPoint(2, 3), QPoint(11, 9)));
    }
}

TEST(Canvas, RectangleHasAPenOutlineAndFillRectNone) {
    Picture p;
    p.canvas().Rectangle(2, 3, 12, 10);
    for (auto [x, y] : {std::pair{2, 3}, {11, 3}, {2, 9}, {11, 9}, {6, 3}, {2, 6}}) {
        EXPECT_EQ(p.at(x, y), kPen) << x << "," << y;
    }
    EXPECT_EQ(p.at(3, 4), kBrush);
    EXPECT_EQ(p.at(10, 8), kBrush);

    Picture fill;
    fill.canvas().FillRect({2, 3, 12, 10});
    EXPECT_EQ(CountPixels(fill.bitmap.Image(), kBrush), 10 * 7);

    Picture clear;
    clear.canvas().SetBrushStyle(BrushStyle::Clear);
    clear.canvas().FillRect({2, 3, 12, 10});
    clear.canvas().Rectangle(2, 3, 12, 10);
    EXPECT_EQ(clear.at(5, 5), clWhite) << "a clear brush fills nothing";
    EXPECT_EQ(clear.at(2, 3), kPen);
    clear.canvas().SetBrushColor(kBrush);
    EXPECT_EQ(clear.canvas().Brush(), BrushStyle::Solid) << "a brush colour makes it solid";

    Picture empty;
    empty.canvas().Rectangle(5, 5, 5, 9);
    empty.canvas().FillRect({5, 5, 4, 9});
    empty.canvas().Ellipse(5, 5, 9, 5);
    EXPECT_TRUE(PaintedBounds(empty.bitmap.Image(), clWhite).isNull());
}

TEST(Canvas, LineToLeavesOutItsEndPointAndMovesThePen) {
    struct LineCase {
        QPoint from, to;
    };
    const LineCase lines[] = {
        {{2, 5}, {12, 5}}, {{12, 5}, {2, 5}}, {{4, 1}, {4, 12}},
        {{4, 12}, {4, 1}}, {{1, 1}, {11, 9}}, {{11, 9}, {1, 1}},
    };
    for (const LineCase& line : lines) {
        SCOPED_TRACE(testing::Message() << line.from.x() << "," << line.from.y() << " to "
                                        << line.to.x() << "," << line.to.y());
        Picture p;
        p.canvas().MoveTo(line.from.x(), line.from.y());
        p.canvas().LineTo(line.to.x(), line.to.y());
        EXPECT_EQ(p.at(line.from.x(), line.from.y()), kPen);
        EXPECT_EQ(p.at(line.to.x(), line.to.y()), clWhite);
        EXPECT_EQ(p.canvas().PenPos(), line.to);
        const int length =
            std::max(std::abs(line.to.x() - line.from.x()), std::abs(line.to.y() - line.from.y()));
        EXPECT_EQ(CountPixels(p.bitmap.Image(), kPen), length);
    }
}

TEST(Canvas, PieRunsCounterClockwiseFromTheFirstRadialToTheSecond) {
    // A disc in (0, 0, 40, 40); one sample point in each quadrant.
    const QPoint upperRight(30, 10), upperLeft(10, 10), lowerLeft(10, 30), lowerRight(30, 30);
    struct PieCase {
        const char* name;
        QPoint first, second;
        std::vector<QPoint> filled, empty;
    };
    const PieCase cases[] = {
        {"3 to 12 o'clock", {40, 20}, {20, 0}, {upperRight}, {upperLeft, lowerLeft, lowerRight}},
        {"12 to 3 o'clock", {20, 0}, {40, 20}, {upperLeft, lowerLeft, lowerRight}, {upperRight}},
        {"12 to 6 o'clock", {20, 0}, {20, 40}, {upperLeft, lowerLeft}, {upperRight, lowerRight}},
        {"points beyond the rim", {90, 20}, {20, -50}, {upperRight}, {upperLeft, lowerLeft}},
        {"equal points", {20, 0}, {20, 0}, {upperRight, upperLeft, lowerLeft, lowerRight}, {}},
        {"same direction", {20, 0}, {20, 6}, {upperRight, upperLeft, lowerLeft, lowerRight}, {}},
    };
    for (const PieCase& pie : cases) {
        SCOPED_TRACE(pie.name);
        Bitmap bitmap(40, 40);
        bitmap.Canvas().SetPenColor(kPen);
        bitmap.Canvas().SetBrushColor(kBrush);
        bitmap.Canvas().Pie(0, 0, 40, 40, pie.first.x(), pie.first.y(), pie.second.x(),
                            pie.second.y());
        for (QPoint q : pie.filled)
            EXPECT_EQ(PixelAt(bitmap.Image(), q.x(), q.y()), kBrush) << q.x() << "," << q.y();
        for (QPoint q : pie.empty)
            EXPECT_EQ(PixelAt(bitmap.Image(), q.x(), q.y()), clWhite) << q.x() << "," << q.y();
        EXPECT_EQ(PixelAt(bitmap.Image(), 39, 39), clWhite) << "corner outside the ellipse";
    }
}

TEST(Canvas, TextGoesOverWithAClearBrushAndOnItsExtentWithASolidOne) {
    Bitmap bitmap(120, 40);
    Canvas& c = bitmap.Canvas();
    c.SetFontColor(clBlack);
    const QString text = QStringLiteral("Wg 42%");
    const int w = c.TextWidth(text), h = c.TextHeight(text);
    ASSERT_GT(w, 10);
    ASSERT_GT(h, 5);

    c.SetBrushStyle(BrushStyle::Clear);
    c.TextOut(4, 4, text);
    const QRect written = PaintedBounds(bitmap.Image(), clWhite);
    ASSERT_FALSE(written.isNull());
    EXPECT_TRUE(QRect(4, 4, w, h).contains(written)) << "glyphs stay inside the extent";
    EXPECT_EQ(c.PenPos(), QPoint(0, 0));

    Bitmap solid(120, 40);
    solid.Canvas().SetBrushColor(kBrush);
    solid.Canvas().TextOut(4, 4, text);
    EXPECT_EQ(PaintedBounds(solid.Image(), clWhite), QRect(4, 4, w, h));

    Bitmap clipped(120, 40);
    clipped.Canvas().SetBrushColor(kBrush);
    clipped.Canvas().TextRect({10, 6, 30, 12}, 4, 4, text);
    EXPECT_EQ(PaintedBounds(clipped.Image(), clWhite), QRect(QPoint(10, 6), QPoint(29, 11)));
}

TEST(Canvas, CopyRectAndDrawMovePixelsBetweenSurfaces) {
    Bitmap source(30, 30);
    source.Canvas().SetBrushColor(kBrush);
    source.Canvas().FillRect({5, 5, 15, 10});

    Bitmap target(30, 30);
    target.Canvas().CopyRect({10, 12, 20, 17}, source.Canvas(), {5, 5, 15, 10});
    EXPECT_EQ(PaintedBounds(target.Image(), clWhite), QRect(QPoint(10, 12), QPoint(19, 16)));
    EXPECT_EQ(PixelAt(target.Image(), 10, 12), kBrush);

    Bitmap drawn(30, 30);
    drawn.Canvas().Draw(-5, 2, source.Image());
    EXPECT_EQ(PaintedBounds(drawn.Image(), clWhite), QRect(QPoint(0, 7), QPoint(9, 11)));

    RecordingCanvas recording;
    Bitmap untouched(30, 30);
    untouched.Canvas().CopyRect({0, 0, 30, 30}, recording, {0, 0, 30, 30});
    EXPECT_EQ(CountPixels(untouched.Image(), clWhite), 900) << "a recording has no pixels";

    // Within one surface, and a picture that grows keeps what it had.
    source.Canvas().CopyRect({20, 20, 30, 25}, source.Canvas(), {5, 5, 15, 10});
    EXPECT_EQ(PixelAt(source.Image(), 29, 24), kBrush);
    source.SetSize(40, 26);
    EXPECT_EQ(PixelAt(source.Image(), 5, 5), kBrush);
    EXPECT_EQ(PixelAt(source.Image(), 35, 20), clWhite);
}

TEST(Canvas, APixmapTargetDrawsTheSamePixelsAsAnImage) {
    auto drawing = [](Canvas& c) {
        c.SetBrushColor(clYellow);
        c.FillRect({0, 0, 50, 40});
        c.SetPenColor(clBlack);
        c.SetBrushColor(kBrush);
        c.Pie(5, 5, 45, 35, 45, 20, 25, 5);
        c.MoveTo(0, 39);
        c.LineTo(49, 0);
    };
    QImage image(50, 40, QImage::Format_RGB32);
    QPixmap pixmap(50, 40);
    PainterCanvas onImage(&image), onPixmap(&pixmap);
    drawing(onImage);
    drawing(onPixmap);
    EXPECT_EQ(onPixmap.Grab({0, 0, 50, 40}), image);
    EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_RGB32), image);
}

TEST(RecordingCanvas, KeepsEveryCallWithItsStateAndReplaysToTheSamePixels) {
    Bitmap other(10, 10);
    auto drawing = [&](Canvas& c) {
        c.SetBrushColor(clWindow);
        c.FillRect({0, 0, 60, 50});
        c.SetPenColor(clBlack);
        c.SetBrushColor(clLime);
        c.Ellipse(5, 5, 55, 45);
        c.Pie(5, 5, 55, 45, 30, 5, 5, 25);
        c.MoveTo(30, 25);
        c.LineTo(55, 25);
        c.SetFontColor(clRed);
        c.SetBrushStyle(BrushStyle::Clear);
        c.TextOut(8, 30, QStringLiteral("A1"));
        c.CopyRect({0, 0, 10, 10}, other.Canvas(), {0, 0, 10, 10});
        c.CopyRect({50, 40, 60, 50}, c, {25, 20, 35, 30});
    };
    RecordingCanvas recording;
    drawing(recording);
    const auto& calls = recording.Calls();
    ASSERT_EQ(calls.size(), 13u);
    EXPECT_EQ(calls[0].kind, CanvasCall::SetBrushColor);
    EXPECT_EQ(calls[0].color, clWindow) << "system colours stay unresolved";
    EXPECT_EQ(calls[5].kind, CanvasCall::Pie);
    EXPECT_EQ(calls[5].args, (std::vector<int>{5, 5, 55, 45, 30, 5, 5, 25}));
    EXPECT_EQ(calls[5].brushColor, clLime);
    EXPECT_EQ(calls[7].kind, CanvasCall::LineTo);
    EXPECT_EQ(recording.PenPos(), QPoint(55, 25));
    EXPECT_EQ(calls[10].text, QStringLiteral("A1"));
    EXPECT_EQ(calls[10].brushStyle, BrushStyle::Clear);
    EXPECT_EQ(calls[10].fontColor, clRed);
    EXPECT_EQ(calls[11].source, &other.Canvas());
    EXPECT_EQ(calls[12].source, &recording);
    EXPECT_EQ(recording.TextWidth(QStringLiteral("A1")), other.Canvas().TextWidth("A1"));

    Bitmap direct(60, 50), replayed(60, 50);
    drawing(direct.Canvas());
    recording.Replay(replayed.Canvas());
    EXPECT_EQ(replayed.Image(), direct.Image());
}

TEST(WidgetCanvas, WhatIsDrawnShowsInTheWidgetAndSurvivesAResize) {
    QWidget widget;
    widget.resize(60, 40);
    WidgetCanvas canvas(&widget);
    canvas.SetBrushColor(clYellow);
    canvas.FillRect({0, 0, 60, 40});
    Bitmap picture(10, 10);
    picture.Canvas().SetBrushColor(kBrush);
    picture.Canvas().FillRect({0, 0, 10, 10});
    canvas.CopyRect({50, 30, 60, 40}, picture.Canvas(), {0, 0, 10, 10});

    QImage shown = widget.grab().toImage();
    EXPECT_EQ(PixelAt(shown, 0, 0), clYellow);
    EXPECT_EQ(PixelAt(shown, 55, 35), kBrush);

    widget.resize(80, 50);
    canvas.SetBrushColor(clLime);
    canvas.FillRect({60, 0, 80, 50});
    shown = widget.grab().toImage();
    EXPECT_EQ(PixelAt(shown, 55, 35), kBrush);
    EXPECT_EQ(PixelAt(shown, 70, 45), clLime);
    EXPECT_EQ(canvas.Grab({50, 30, 51, 31}).pixel(0, 0), QColor(0, 0, 200).rgb());
}

TEST(SystemColors, PlainValuesAreBGRAndSystemValuesFollowThePalette) {
    EXPECT_EQ(ColorToQColor(0x000000FF), QColor(255, 0, 0));
    EXPECT_EQ(ColorToQColor(0x00C6FFC6), QColor(198, 255, 198));
    EXPECT_EQ(ColorToQColor(0x00FF8000), QColor(0, 128, 255));

    const QPalette saved = QGuiApplication::palette();
    QPalette palette = saved;
    struct RoleCase {
        TColor value;
        QPalette::ColorRole role;
        QColor color;
    };
    const RoleCase roles[] = {
        {0x80000005, QPalette::Base, QColor(1, 2, 3)},          // window background
        {0x80000018, QPalette::ToolTipBase, QColor(4, 5, 6)},   // tool-tip background
        {0x8000000F, QPalette::Button, QColor(7, 8, 9)},        // button face
        {0x8000000D, QPalette::Highlight, QColor(10, 11, 12)},  // highlight
        {0x80000006, QPalette::Shadow, QColor(13, 14, 15)},     // window frame
        {0x80000008, QPalette::Text, QColor(16, 17, 18)},       // window text
    };
    for (const RoleCase& r : roles) palette.setColor(r.role, r.color);
    QApplication::setPalette(palette);
    for (const RoleCase& r : roles) {
        EXPECT_EQ(ColorToQColor(r.value), r.color) << std::hex << r.value;
        EXPECT_EQ(ColorToRGB(r.value), QColorToColor(r.color));
    }
    QApplication::setPalette(saved);
    EXPECT_EQ(ColorToQColor(0x80000005), saved.color(QPalette::Active, QPalette::Base));

    for (unsigned index = 0; index <= 30; ++index) {
        EXPECT_TRUE(ColorToQColor(SystemColorFlag | index).isValid()) << index;
    }
    EXPECT_EQ(ColorToQColor(0x80000019), QColor(Qt::black)) << "index 25 is not defined";
    EXPECT_EQ(ColorToQColor(0x80000040), QColor(Qt::black));
}
