#pragma once
// The drawing surface the program's pictures are drawn through: the pie chart, the pie gauges,
// and the exported pictures, which replay a recorded drawing into their own writers.
//
// The calls follow the Windows device-context conventions, so a drawing looks the same on
// every back end and replays into a Windows metafile unchanged:
// - integer device coordinates, x to the right and y downwards;
// - a shape's bounding box is given by two corners, and its right and bottom edges lie just
//   outside the shape: Rectangle(0, 0, 10, 10) covers pixels 0 to 9 in each direction;
// - colours are the program's colour values (platform/SystemColors.h), resolved when drawn, so
//   a recording keeps system colours as system colours;
// - the pen is solid and one pixel wide; shapes are outlined with the pen and filled with the
//   brush, which is solid or clear (no fill).
//
// A surface also remembers its state: pen colour, brush colour and style, font, font colour
// and the current pen position. A new surface has a black pen, a solid white brush, the
// application's default font in black, and the pen at (0, 0).

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>

#include "draw/SystemColors.h"

namespace draw {

enum class BrushStyle { Solid, Clear };

// A rectangle as the drawing calls take it: right and bottom lie just outside it.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // True when it covers no pixel (also when right < left or bottom < top).
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Canvas {
public:
    Canvas() = default;
    virtual ~Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // State.
    virtual void SetPenColor(TColor color) { penColor_ = color; }
    // Setting a brush colour also makes the brush solid.
    virtual void SetBrushColor(TColor color) {
        brushColor_ = color;
        brushStyle_ = BrushStyle::Solid;
    }
    virtual void SetBrushStyle(BrushStyle style) { brushStyle_ = style; }
    virtual void SetFont(const QFont& font) { font_ = font; }
    virtual void SetFontColor(TColor color) { fontColor_ = color; }
    TColor PenColor() const { return penColor_; }
    TColor BrushColor() const { return brushColor_; }
    BrushStyle Brush() const { return brushStyle_; }
    const QFont& Font() const { return font_; }
    TColor FontColor() const { return fontColor_; }

    // The current pen position: MoveTo sets it without drawing; LineTo draws a line from it to
    // (x, y), leaving out the end point itself, and then sets it to (x, y).
    virtual void MoveTo(int x, int y) { penPos_ = QPoint(x, y); }
    virtual void LineTo(int x, int y) = 0;
    QPoint PenPos() const { return penPos_; }

    // Fills r with the brush, without outline; nothing when r is empty or the brush is clear.
    virtual void FillRect(const Rect& r) = 0;
    // Outlines the box with the pen and fills its inside with the brush. The corners may come in
    // any order; a box without width or height draws nothing.
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    // The ellipse inscribed in the box, outlined and filled as Rectangle.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // The wedge of the ellipse in the box (x1, y1, x2, y2) cut by the two radials from the box's
    // centre through (x3, y3) and through (x4, y4): the arc runs counter-clockwise on screen from
    // the first radial to the second. Radials in the same direction (equal points among them)
    // give the whole ellipse. Outlined (arc and both radii) and filled as Rectangle.
    virtual void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) = 0;

    // The extent of a single line of text in the current font.
    virtual int TextWidth(const QString& text) const = 0;
    virtual int TextHeight(const QString& text) const = 0;
    // Writes text in the font colour with the top left of its extent at (x, y). With a solid
    // brush the extent is first filled with the brush colour; with a clear one the text is
    // written over what lies there. The pen position does not change.
    virtual void TextOut(int x, int y, const QString& text) = 0;
    // TextOut with everything outside clip left untouched.
    virtual void TextRect(const Rect& clip, int x, int y, const QString& text) = 0;

    // Copies the pixels of sourceRect on source into dest on this surface, scaling when the
    // sizes differ. A source that keeps no pixels (a recording) copies nothing; source may be
    // this surface itself.
    virtual void CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) = 0;
    // Draws picture unscaled with its top left at (x, y).
    virtual void Draw(int x, int y, const QImage& picture) = 0;

    // The pixels of r as this surface holds them (parts outside the surface black), or a null
    // image when the surface keeps no pixels.
    virtual QImage Grab(const Rect& r) const = 0;

private:
    TColor penColor_ = clBlack;
    TColor brushColor_ = clWhite;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    QFont font_;
    TColor fontColor_ = clBlack;
    QPoint penPos_;
};

}  // namespace draw
