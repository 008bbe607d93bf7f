#include "draw/EmfCanvas.h"

#include <cmath>

namespace draw {

namespace {

enum : std::uint32_t {
    kHeader = 1,
    kEof = 14,
    kSetBkMode = 18,
    kSetTextColor = 24,
    kMoveToEx = 27,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kPie = 47,
    kLineTo = 54,
    kExtCreateFontIndirectW = 82,
    kExtTextOutW = 84,
};

constexpr std::uint32_t kTransparent = 1;
constexpr std::uint32_t kPenSolid = 0;
constexpr std::uint32_t kBrushSolid = 0;
constexpr std::uint32_t kNullBrush = 0x80000005u, kNullPen = 0x80000008u;  // stock objects
constexpr int kHeaderBytes = 108;
constexpr int kEofBytes = 20;
constexpr int kFaceUnits = 32;
constexpr int kLogFontPanoseRest = 228;  // what follows the LogFont in the font record

// The reference device: 1024 × 768 pixels on 271 × 203 millimetres, about 96 dots per inch.
constexpr int kDevicePixelsX = 1024, kDevicePixelsY = 768;
constexpr int kDeviceMmX = 271, kDeviceMmY = 203;

void WriteBox(LittleEndianWriter& out, const Rect& box) {
    out.I32(box.left);
    out.I32(box.top);
    out.I32(box.right);
    out.I32(box.bottom);
}

}  // namespace

EmfCanvas::EmfCanvas(int width, int height) : MetafileCanvas(width, height, 1) {
    // Text never paints its background: a solid brush under text is a rectangle of its own.
    QByteArray params;
    LittleEndianWriter(params).U32(kTransparent);
    Add(kSetBkMode, params);
}

void EmfCanvas::Add(std::uint32_t type, const QByteArray& params) {
    QByteArray record;
    LittleEndianWriter out(record);
    out.U32(type);
    out.U32(std::uint32_t(8 + params.size()));
    record.append(params);
    AddRecord(record);
}

QByteArray EmfCanvas::Bytes() const {
    const int w = PictureWidth(), h = PictureHeight();
    QByteArray file;
    LittleEndianWriter out(file);
    out.U32(kHeader);
    out.U32(kHeaderBytes);
    WriteBox(out, {0, 0, w - 1, h - 1});  // inclusive
    WriteBox(out, {0, 0, int(std::lround(w * 100.0 * kDeviceMmX / kDevicePixelsX)),
                   int(std::lround(h * 100.0 * kDeviceMmY / kDevicePixelsY))});
    out.U32(0x464D4520u);  // " EMF"
    out.U32(0x00010000u);
    out.U32(std::uint32_t(kHeaderBytes + Body().size() + kEofBytes));
    out.U32(std::uint32_t(RecordCount() + 2));
    out.U16(std::uint16_t(TableSize()));
    out.U16(0);
    out.U32(0);  // no description
    out.U32(0);
    out.U32(0);  // no palette
    out.I32(kDevicePixelsX);
    out.I32(kDevicePixelsY);
    out.I32(kDeviceMmX);
    out.I32(kDeviceMmY);
    out.U32(0);  // no pixel format
    out.U32(0);
    out.U32(0);  // not OpenGL
    out.U32(kDeviceMmX * 1000);
    out.U32(kDeviceMmY * 1000);
    file.append(Body());
    out.U32(kEof);
    out.U32(kEofBytes);
    out.U32(0);  // no palette entries
    out.U32(0);
    out.U32(kEofBytes);
    return file;
}

MetafileCanvas::Handle EmfCanvas::CreatePen(const PenObject& pen) {
    if (pen.null) return Handle{kNullPen, true};
    const std::uint32_t index = TakeIndex();
    QByteArray params;
    LittleEndianWriter out(params);
    out.U32(index);
    out.U32(kPenSolid);
    out.I32(1);
    out.I32(0);
    out.U32(pen.rgb);
    Add(kCreatePen, params);
    return Handle{index, false};
}

MetafileCanvas::Handle EmfCanvas::CreateBrush(const BrushObject& brush) {
    if (brush.null) return Handle{kNullBrush, true};
    const std::uint32_t index = TakeIndex();
    QByteArray params;
    LittleEndianWriter out(params);
    out.U32(index);
    out.U32(kBrushSolid);
    out.U32(brush.rgb);
    out.U32(0);
    Add(kCreateBrushIndirect, params);
    return Handle{index, false};
}

MetafileCanvas::Handle EmfCanvas::CreateFont(const FontObject& font) {
    const std::uint32_t index = TakeIndex();
    QByteArray params;
    LittleEndianWriter out(params);
    out.U32(index);
    out.I32(-font.pixelSize);  // negative: the em height, not the cell height
    out.I32(0);
    out.I32(0);
    out.I32(0);
    out.I32(font.weight);
    out.U8(font.italic);
    out.U8(font.underline);
    out.U8(font.strikeOut);
    out.Zeros(5);  // ANSI character set, default precisions, quality, pitch and family
    const QString face = font.face.left(kFaceUnits - 1);
    for (QChar unit : face) out.U16(unit.unicode());
    out.Zeros(2 * (kFaceUnits - int(face.size())));
    out.Zeros(kLogFontPanoseRest);
    Add(kExtCreateFontIndirectW, params);
    return Handle{index, false};
}

void EmfCanvas::WriteSelectObject(Handle object) {
    QByteArray params;
    LittleEndianWriter(params).U32(object.id);
    Add(kSelectObject, params);
}

void EmfCanvas::WriteDeleteObject(std::uint32_t index) {
    QByteArray params;
    LittleEndianWriter(params).U32(index);
    Add(kDeleteObject, params);
}

void EmfCanvas::WriteTextColor(TColor rgb) {
    QByteArray params;
    LittleEndianWriter(params).U32(rgb);
    Add(kSetTextColor, params);
}

void EmfCanvas::WriteMoveTo(int x, int y) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I32(x);
    out.I32(y);
    Add(kMoveToEx, params);
}

void EmfCanvas::WriteLineTo(int x, int y) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I32(x);
    out.I32(y);
    Add(kLineTo, params);
}

void EmfCanvas::WriteRectangle(const Rect& box) {
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, box);
    Add(kRectangle, params);
}

void EmfCanvas::WriteEllipse(const Rect& box) {
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, box);
    Add(kEllipse, params);
}

void EmfCanvas::WritePie(const Rect& box, int xStart, int yStart, int xEnd, int yEnd) {
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, box);
    out.I32(xStart);
    out.I32(yStart);
    out.I32(xEnd);
    out.I32(yEnd);
    Add(kPie, params);
}

void EmfCanvas::WriteText(int x, int y, const QString& text, const std::vector<int>& advances) {
    const int n = int(text.size());
    const int stringBytes = 4 * ((n + 1) / 2);
    constexpr int kStringOffset = 76;  // from the start of the record
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, {0, 0, -1, -1});  // bounds, which readers work out themselves
    out.U32(1);                     // compatible graphics mode
    out.F32(0);                     // no scaling
    out.F32(0);
    out.I32(x);
    out.I32(y);
    out.U32(std::uint32_t(n));
    out.U32(kStringOffset);
    out.U32(0);  // no options; the rectangle below is present all the same
    WriteBox(out, {0, 0, -1, -1});
    out.U32(std::uint32_t(kStringOffset + stringBytes));
    for (QChar unit : text) out.U16(unit.unicode());
    out.Zeros(stringBytes - 2 * n);
    for (int advance : advances) out.I32(advance);
    Add(kExtTextOutW, params);
}

}  // namespace draw
