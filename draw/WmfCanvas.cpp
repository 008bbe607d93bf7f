#include "draw/WmfCanvas.h"

#include <algorithm>
#include <array>

namespace draw {

namespace {

enum : std::uint16_t {
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kSelectObject = 0x012D,
    kDeleteObject = 0x01F0,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kPie = 0x081A,
    kExtTextOut = 0x0A32,
    kEof = 0x0000,
};

constexpr std::uint16_t kTransparent = 1;
constexpr std::uint16_t kAnisotropic = 8;
constexpr std::uint16_t kPenSolid = 0, kPenNull = 5;
constexpr std::uint16_t kBrushSolid = 0, kBrushNull = 1;
constexpr int kHeaderBytes = 18;     // the header after the placeable one
constexpr int kPlaceableBytes = 22;  // not counted in the header's file size
constexpr int kFaceBytes = 32;
// A text's length is a signed 16-bit field.
constexpr int kMaxTextLength = 32767;

// Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char Windows1252Byte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
    const auto found = std::find(kHighControls.begin(), kHighControls.end(), unit);
    if (unit != 0 && found != kHighControls.end()) {
        return char(0x80 + (found - kHighControls.begin()));
    }
    return '?';
}

bool StartsPair(const QString& text, qsizetype i) {
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
}

}  // namespace

QByteArray ToWindows1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (StartsPair(text, i)) {
            bytes.append('?');
            ++i;
        } else {
            bytes.append(Windows1252Byte(text[i].unicode()));
        }
    }
    return bytes;
}

WmfCanvas::WmfCanvas(int width, int height) : MetafileCanvas(width, height, 0) {
    // One logical unit per pixel, from (0, 0); text never paints its background (a solid
    // brush under text is drawn as a rectangle of its own).
    QByteArray params;
    LittleEndianWriter(params).U16(kAnisotropic);
    Add(kSetMapMode, params);
    params.clear();
    LittleEndianWriter org(params);
    org.I16(0);
    org.I16(0);
    Add(kSetWindowOrg, params);
    params.clear();
    LittleEndianWriter ext(params);
    ext.I16(PictureHeight());
    ext.I16(PictureWidth());
    Add(kSetWindowExt, params);
    params.clear();
    LittleEndianWriter(params).U16(kTransparent);
    Add(kSetBkMode, params);
}

void WmfCanvas::Add(std::uint16_t function, const QByteArray& params) {
    QByteArray record;
    LittleEndianWriter out(record);
    out.U32(std::uint32_t(3 + params.size() / 2));
    out.U16(function);
    record.append(params);
    AddRecord(record);
}

QByteArray WmfCanvas::Bytes() const {
    constexpr int kEofBytes = 6;
    QByteArray file;
    LittleEndianWriter out(file);
    out.U32(0x9AC6CDD7u);
    out.U16(0);
    out.I16(0);
    out.I16(0);
    out.I16(PictureWidth());
    out.I16(PictureHeight());
    out.U16(96);  // logical units per inch: one unit is one pixel on a 96 dpi screen
    out.U32(0);
    std::uint16_t checksum = 0;
    for (int i = 0; i < 20; i += 2) {
        checksum ^= std::uint16_t(std::uint8_t(file[i]) | std::uint8_t(file[i + 1]) << 8);
    }
    out.U16(checksum);

    out.U16(1);  // in memory
    out.U16(kHeaderBytes / 2);
    out.U16(0x0300);
    out.U32(std::uint32_t((kHeaderBytes + Body().size() + kEofBytes) / 2));
    out.U16(std::uint16_t(TableSize()));
    out.U32(std::uint32_t(std::max(LargestRecord(), kEofBytes) / 2));
    out.U16(0);
    file.append(Body());
    out.U32(kEofBytes / 2);
    out.U16(kEof);
    Q_ASSERT(file.size() == kPlaceableBytes + kHeaderBytes + Body().size() + kEofBytes);
    return file;
}

MetafileCanvas::Handle WmfCanvas::CreatePen(const PenObject& pen) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.U16(pen.null ? kPenNull : kPenSolid);
    out.I16(1);
    out.I16(0);
    out.U32(pen.rgb);
    Add(kCreatePenIndirect, params);
    return Handle{TakeIndex(), false};
}

MetafileCanvas::Handle WmfCanvas::CreateBrush(const BrushObject& brush) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.U16(brush.null ? kBrushNull : kBrushSolid);
    out.U32(brush.rgb);
    out.U16(0);
    Add(kCreateBrushIndirect, params);
    return Handle{TakeIndex(), false};
}

MetafileCanvas::Handle WmfCanvas::CreateFont(const FontObject& font) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I16(-font.pixelSize);  // negative: the em height, not the cell height
    out.I16(0);
    out.I16(0);
    out.I16(0);
    out.I16(font.weight);
    out.U8(font.italic);
    out.U8(font.underline);
    out.U8(font.strikeOut);
    out.Zeros(5);  // ANSI character set, default precisions, quality, pitch and family
    const QByteArray face = ToWindows1252(font.face).left(kFaceBytes - 1);
    params.append(face);
    out.Zeros(kFaceBytes - int(face.size()));
    Add(kCreateFontIndirect, params);
    return Handle{TakeIndex(), false};
}

void WmfCanvas::WriteSelectObject(Handle object) {
    QByteArray params;
    LittleEndianWriter(params).U16(std::uint16_t(object.id));
    Add(kSelectObject, params);
}

void WmfCanvas::WriteDeleteObject(std::uint32_t index) {
    QByteArray params;
    LittleEndianWriter(params).U16(std::uint16_t(index));
    Add(kDeleteObject, params);
}

void WmfCanvas::WriteTextColor(TColor rgb) {
    QByteArray params;
    LittleEndianWriter(params).U32(rgb);
    Add(kSetTextColor, params);
}

// Points go y first, and boxes bottom-right first: the record's parameters are in the reverse
// order of the call's.
void WmfCanvas::WriteMoveTo(int x, int y) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I16(y);
    out.I16(x);
    Add(kMoveTo, params);
}

void WmfCanvas::WriteLineTo(int x, int y) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I16(y);
    out.I16(x);
    Add(kLineTo, params);
}

namespace {

void WriteBox(LittleEndianWriter& out, const Rect& box) {
    out.I16(box.bottom);
    out.I16(box.right);
    out.I16(box.top);
    out.I16(box.left);
}

}  // namespace

void WmfCanvas::WriteRectangle(const Rect& box) {
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, box);
    Add(kRectangle, params);
}

void WmfCanvas::WriteEllipse(const Rect& box) {
    QByteArray params;
    LittleEndianWriter out(params);
    WriteBox(out, box);
    Add(kEllipse, params);
}

void WmfCanvas::WritePie(const Rect& box, int xStart, int yStart, int xEnd, int yEnd) {
    QByteArray params;
    LittleEndianWriter out(params);
    out.I16(yEnd);
    out.I16(xEnd);
    out.I16(yStart);
    out.I16(xStart);
    WriteBox(out, box);
    Add(kPie, params);
}

void WmfCanvas::WriteText(int x, int y, const QString& text, const std::vector<int>& advances) {
    QByteArray bytes;
    std::vector<int> dx;
    for (qsizetype i = 0; i < text.size() && bytes.size() < kMaxTextLength; ++i) {
        if (StartsPair(text, i)) {
            bytes.append('?');
            dx.push_back(advances[size_t(i)] + advances[size_t(i) + 1]);
            ++i;
        } else {
            bytes.append(Windows1252Byte(text[i].unicode()));
            dx.push_back(advances[size_t(i)]);
        }
    }
    QByteArray params;
    LittleEndianWriter out(params);
    out.I16(y);
    out.I16(x);
    out.I16(int(bytes.size()));
    out.U16(0);  // no options, so no rectangle follows
    params.append(bytes);
    if (bytes.size() % 2) out.U8(0);
    for (int advance : dx) out.I16(advance);
    Add(kExtTextOut, params);
}

}  // namespace draw
