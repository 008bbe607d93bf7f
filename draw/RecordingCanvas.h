#pragma once
// A canvas that keeps every call that changes its state or draws, in order, with its
// arguments: tests read what a drawing did, and the picture export replays it into its own
// writers. Queries (text extents, the pen position, Grab) are answered and not kept; text is
// measured as the other back ends measure it. It keeps no pixels, so copying from it copies
// nothing.

#include <QFont>
#include <QImage>
#include <QString>
#include <vector>

#include "draw/Canvas.h"

namespace draw {

struct CanvasCall {
    enum Kind {
        SetPenColor,    // color
        SetBrushColor,  // color
        SetBrushStyle,  // brush
        SetFont,        // font
        SetFontColor,   // color
        MoveTo,         // args x, y
        LineTo,         // args x, y
        FillRect,       // args left, top, right, bottom
        Rectangle,      // args x1, y1, x2, y2
        Ellipse,        // args x1, y1, x2, y2
        Pie,            // args x1, y1, x2, y2, x3, y3, x4, y4
        TextOut,        // args x, y; text
        TextRect,       // args left, top, right, bottom, x, y; text
        CopyRect,       // args dest left, top, right, bottom, source left, top, right, bottom;
                        // source
        Draw,           // args x, y; picture
    };

    Kind kind;
    std::vector<int> args;
    TColor color = 0;
    BrushStyle brush = BrushStyle::Solid;
    QFont font;
    QString text;
    const Canvas* source = nullptr;  // not owned; may be gone by the time the call is read
    QImage picture;

    // The state the surface had when the call was made (for drawing calls).
    TColor penColor = 0;
    TColor brushColor = 0;
    BrushStyle brushStyle = BrushStyle::Solid;
    TColor fontColor = 0;
};

class RecordingCanvas : public Canvas {
public:
    const std::vector<CanvasCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // Makes the same calls, in the same order, on target. A CopyRect whose source is this
    // recording copies from target itself; any other source must still exist.
    void Replay(Canvas& target) const;

    void SetPenColor(TColor color) override;
    void SetBrushColor(TColor color) override;
    void SetBrushStyle(BrushStyle style) override;
    void SetFont(const QFont& font) override;
    void SetFontColor(TColor color) override;
    void MoveTo(int x, int y) override;
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
    CanvasCall& Add(CanvasCall::Kind kind, std::vector<int> args = {});

    std::vector<CanvasCall> calls_;
};

}  // namespace draw
