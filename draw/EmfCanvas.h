#pragma once
// A canvas that writes an enhanced metafile (.emf): 32-bit records, text in UTF-16, and a
// reference device of about 96 dots per inch, so one logical unit is one pixel and the picture's
// frame is its size in hundredths of a millimetre. What it shares with the placeable Windows
// metafile is described in platform/MetafileCanvas.h.

#include "draw/MetafileCanvas.h"

namespace draw {

class EmfCanvas final : public MetafileCanvas {
public:
    // An empty picture of width × height pixels.
    EmfCanvas(int width, int height);

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
    // Adds the record of type with params (whole 32-bit units) after its header.
    void Add(std::uint32_t type, const QByteArray& params);
};

}  // namespace draw
