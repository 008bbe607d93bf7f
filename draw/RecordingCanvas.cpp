#include "draw/RecordingCanvas.h"

#include "draw/PainterCanvas.h"

namespace draw {

CanvasCall& RecordingCanvas::Add(CanvasCall::Kind kind, std::vector<int> args) {
    CanvasCall& call = calls_.emplace_back(CanvasCall{kind, std::move(args)});
    call.penColor = PenColor();
    call.brushColor = BrushColor();
    call.brushStyle = Brush();
    call.fontColor = FontColor();
    return call;
}

void RecordingCanvas::SetPenColor(TColor color) {
    Canvas::SetPenColor(color);
    Add(CanvasCall::SetPenColor).color = color;
}

void RecordingCanvas::SetBrushColor(TColor color) {
    Canvas::SetBrushColor(color);
    Add(CanvasCall::SetBrushColor).color = color;
}

void RecordingCanvas::SetBrushStyle(BrushStyle style) {
    Canvas::SetBrushStyle(style);
    Add(CanvasCall::SetBrushStyle).brush = style;
}

void RecordingCanvas::SetFont(const QFont& font) {
    Canvas::SetFont(font);
    Add(CanvasCall::SetFont).font = font;
}

void RecordingCanvas::SetFontColor(TColor color) {
    Canvas::SetFontColor(color);
    Add(CanvasCall::SetFontColor).color = color;
}

void RecordingCanvas::MoveTo(int x, int y) {
    Canvas::MoveTo(x, y);
    Add(CanvasCall::MoveTo, {x, y});
}

void RecordingCanvas::LineTo(int x, int y) {
    Add(CanvasCall::LineTo, {x, y});
    Canvas::MoveTo(x, y);
}

void RecordingCanvas::FillRect(const Rect& r) {
    Add(CanvasCall::FillRect, {r.left, r.top, r.right, r.bottom});
}

void RecordingCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Add(CanvasCall::Rectangle, {x1, y1, x2, y2});
}

void RecordingCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Add(CanvasCall::Ellipse, {x1, y1, x2, y2});
}

void RecordingCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Add(CanvasCall::Pie, {x1, y1, x2, y2, x3, y3, x4, y4});
}

int RecordingCanvas::TextWidth(const QString& text) const {
    return CanvasTextWidth(Font(), text);
}

int RecordingCanvas::TextHeight(const QString&) const {
    return CanvasTextHeight(Font());
}

void RecordingCanvas::TextOut(int x, int y, const QString& text) {
    Add(CanvasCall::TextOut, {x, y}).text = text;
}

void RecordingCanvas::TextRect(const Rect& clip, int x, int y, const QString& text) {
    Add(CanvasCall::TextRect, {clip.left, clip.top, clip.right, clip.bottom, x, y}).text = text;
}

void RecordingCanvas::CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) {
    Add(CanvasCall::CopyRect, {dest.left, dest.top, dest.right, dest.bottom, sourceRect.left,
                               sourceRect.top, sourceRect.right, sourceRect.bottom})
        .source = &source;
}

void RecordingCanvas::Draw(int x, int y, const QImage& picture) {
    Add(CanvasCall::Draw, {x, y}).picture = picture;
}

QImage RecordingCanvas::Grab(const Rect&) const {
    return QImage();
}

void RecordingCanvas::Replay(Canvas& target) const {
    for (const CanvasCall& call : calls_) {
        const std::vector<int>& a = call.args;
        switch (call.kind) {
            case CanvasCall::SetPenColor:
                target.SetPenColor(call.color);
                break;
            case CanvasCall::SetBrushColor:
                target.SetBrushColor(call.color);
                break;
            case CanvasCall::SetBrushStyle:
                target.SetBrushStyle(call.brush);
                break;
            case CanvasCall::SetFont:
                target.SetFont(call.font);
                break;
            case CanvasCall::SetFontColor:
                target.SetFontColor(call.color);
                break;
            case CanvasCall::MoveTo:
                target.MoveTo(a[0], a[1]);
                break;
            case CanvasCall::LineTo:
                target.LineTo(a[0], a[1]);
                break;
            case CanvasCall::FillRect:
                target.FillRect({a[0], a[1], a[2], a[3]});
                break;
            case CanvasCall::Rectangle:
                target.Rectangle(a[0], a[1], a[2], a[3]);
                break;
            case CanvasCall::Ellipse:
                target.Ellipse(a[0], a[1], a[2], a[3]);
                break;
            case CanvasCall::Pie:
                target.Pie(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
                break;
            case CanvasCall::TextOut:
                target.TextOut(a[0], a[1], call.text);
                break;
            case CanvasCall::TextRect:
                target.TextRect({a[0], a[1], a[2], a[3]}, a[4], a[5], call.text);
                break;
            case CanvasCall::CopyRect:
                target.CopyRect({a[0], a[1], a[2], a[3]},
                                call.source == this ? target : *call.source,
                                {a[4], a[5], a[6], a[7]});
                break;
            case CanvasCall::Draw:
                target.Draw(a[0], a[1], call.picture);
                break;
        }
    }
}

}  // namespace draw
