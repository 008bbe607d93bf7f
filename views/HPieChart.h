#pragma once
// The pie chart engine: draws a pie of labelled sections onto a canvas, keeps the geometry of
// the disc so that a point maps back to a section, and redraws single labels normal or
// highlighted. It knows nothing of folders: a section is a text, a colour and an angle, plus two
// values the caller keeps there and the chart never reads.
//
// Angles are degrees, 0 straight up (12 o'clock), growing counter-clockwise: 90 is 9 o'clock,
// 180 is 6 o'clock, 270 is 3 o'clock. Sections follow one another from 0 in list order.
//
// "Locked" means UpdateCount() is not 0: nothing is drawn then. The chart draws only through
// its canvas, Display's canvas and Buffer; it owns none of them.

#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "draw/Canvas.h"
#include "draw/PainterCanvas.h"
#include "draw/SystemColors.h"

class TPieSection {
public:
    double Angle = 0;        // size in degrees
    QString Text;            // label text; empty means no label
    draw::TColor Color = 0;  // fill colour of the wedge
    void* Data = nullptr;    // the caller's value
    int32_t Tag = 0;         // the caller's value
    QPoint LabelPos;         // top left of the label text, written by Draw, read by DrawLabel
};

class THPieChart {
public:
    // Nothing is drawn. Margins 50 and 20, MinTextAngle 5, HotIndex -1, all colours black.
    THPieChart(draw::Canvas* canvas, int width, int height);
    // Frees the sections; nothing is drawn.
    ~THPieChart();
    THPieChart(const THPieChart&) = delete;
    THPieChart& operator=(const THPieChart&) = delete;

    // Set by the caller directly.
    int32_t MarginX = 50;  // SetSize applies a change
    int32_t MarginY = 20;
    bool CloseLastSection = false;  // the last section always ends at 12 o'clock
    double MinTextAngle = 5.0;      // sections of a smaller angle get no label
    int32_t HotIndex = -1;          // the highlighted section, -1 for none
    // The on-screen surface: label boxes drawn are copied onto it at once, and EndUpdate
    // draws Buffer onto it. Either may be none.
    draw::Canvas* Display = nullptr;
    const draw::Bitmap* Buffer = nullptr;

    draw::Canvas* Canvas() const { return canvas_; }
    int32_t UpdateCount() const { return updateCount_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The bounding square of the disc (left, top, width, height; never use its right()).
    QRect PieRect() const { return pieRect_; }
    int32_t Radius() const { return radius_; }
    QPoint Center() const { return {pieRect_.left() + radius_, pieRect_.top() + radius_}; }
    const std::vector<std::unique_ptr<TPieSection>>& Sections() const { return sections_; }
    int Count() const { return int(sections_.size()); }

    draw::TColor BackColor() const { return backColor_; }
    draw::TColor LineColor() const { return lineColor_; }
    draw::TColor FillColor() const { return fillColor_; }
    draw::TColor LabelBackColor() const { return labelBackColor_; }
    draw::TColor LabelLineColor() const { return labelLineColor_; }
    draw::TColor LabelTextColor() const { return labelTextColor_; }
    draw::TColor HotLabelBackColor() const { return hotLabelBackColor_; }
    draw::TColor HotLabelLineColor() const { return hotLabelLineColor_; }
    draw::TColor HotLabelTextColor() const { return hotLabelTextColor_; }

    // Stores a different canvas and, unless locked, draws on it.
    void SetCanvas(draw::Canvas* canvas);
    // Store the colours and, unless locked, draw.
    void SetColors(draw::TColor back, draw::TColor line, draw::TColor fill);
    void SetLabelColors(draw::TColor back, draw::TColor line, draw::TColor text,
                        draw::TColor hotBack, draw::TColor hotLine, draw::TColor hotText);
    // Stores the size of the drawing area and recomputes the disc's geometry; does not draw.
    // When the margins leave less than 2 pixels (an area smaller than twice the margins, say)
    // there is no disc: Radius() is 0, Draw paints the background alone, DrawLabel does nothing
    // and SectionAt finds nothing.
    void SetSize(int width, int height);

    // Appends a section (Data none, Tag 0) and, unless locked, draws. The chart owns it.
    TPieSection* AddSection(const QString& text, draw::TColor color, double angle);
    // The section, or none when index is below 0 or not below the count.
    TPieSection* GetSection(int index) const;
    // Frees every section, inside BeginUpdate/EndUpdate (so, unless locked, draws the empty
    // chart).
    void Clear();
    // Orders the sections by Angle, largest first when descending; equal angles come out in no
    // particular order. Runs inside BeginUpdate/EndUpdate.
    void Sort(bool descending);

    void BeginUpdate();
    // Counts down unless already 0; when the count is then 0, draws and shows Buffer on Display
    // (when both are set). So an unbalanced call still redraws.
    void EndUpdate();

    // The index of the section under (x, y) of the drawing area, or -1: outside the disc (a
    // point on the circle is inside), at its exact centre, or beyond the last section.
    int SectionAt(int x, int y) const;
    // Draws the label box of section index, in the highlighted colours when hot, at the place
    // the last Draw gave it, and copies the box onto Display. Does nothing for an index out of
    // range, without a canvas, while locked, or for a section without a label.
    void DrawLabel(int index, bool hot);
    // The full drawing; does nothing while locked or without a canvas. A label goes beyond the
    // 10-pixel leader line from the middle of its section's arc, to its left on the left half and
    // above it on the upper half, but never past the drawing area's edges.
    void Draw();

    // The point at angle degrees on radius r: with absolute, in drawing-area pixels on a circle
    // around the disc's centre; otherwise the offset (r sin a, r cos a) itself. Each coordinate is
    // rounded to the nearest integer, halves to even.
    QPoint PointOnCircle(long double angle, int r, bool absolute) const;

private:
    bool Locked() const { return updateCount_ != 0; }
    bool HasLabel(const TPieSection& section) const;
    void PlaceLabel(int index, long double from, long double to);

    draw::Canvas* canvas_ = nullptr;
    int32_t updateCount_ = 0;
    std::vector<std::unique_ptr<TPieSection>> sections_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    QRect pieRect_;
    int32_t radius_ = 0;
    int reached_ = 0;  // sections the last full drawing went through (their LabelPos is set)
    draw::TColor backColor_ = 0;
    draw::TColor lineColor_ = 0;
    draw::TColor fillColor_ = 0;
    draw::TColor labelBackColor_ = 0;
    draw::TColor labelLineColor_ = 0;
    draw::TColor labelTextColor_ = 0;
    draw::TColor hotLabelBackColor_ = 0;
    draw::TColor hotLabelLineColor_ = 0;
    draw::TColor hotLabelTextColor_ = 0;
};
