#pragma once
// A canvas that writes a placeable Windows metafile (.wmf): 16-bit records, the picture's size
// at 96 logical units per inch in the placeable header, and text in the Windows-1252 code page
// (characters it lacks are written as '?'). Coordinates beyond ±32767 are clamped. What it shares
// with the enhanced form is described in platform/MetafileCanvas.h.

#include "draw/MetafileCanvas.h"

namespace draw {

class WmfCanvas final : public MetafileCanvas {
public:
    // An empty picture of width × height pixels.
    WmfCanvas(int width, int height);

    QByteArray Bytes() const override;

protected:
    Handle CreatePen(const PenObject& pen) override;
    Handle CreateBrush(const BrushObject& brush) override;
    Handle CreateFont(const FontObject& font) override;
    void WriteSelectObject(Handle object) override;
    void WriteDeleteObject(std::uint32_t index) override;
    void WriteTextColor(TColor rgb) override;
    void WriteMoveTo(int x, int y) override;
    void WriteLineTo(int x, int y) override;
    void WriteRectangle(const Rect& box) override;
    void WriteEllipse(const Rect& box) override;
    void WritePie(const Rect& box, int xStart, int yStart, int xEnd, int yEnd) override;
    void WriteText(int x, int y, const QString& text, const std::vector<int>& advances) override;

private:
    // Adds the record of function with params (whole 16-bit words) after its header.
    void Add(std::uint16_t function, const QByteArray& params);
};

// The Windows-1252 byte of each character of text ('?' for those it lacks; a surrogate pair is
// one character).
QByteArray ToWindows1252(const QString& text);

}  // namespace draw
