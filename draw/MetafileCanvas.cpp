#include "draw/MetafileCanvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <bit>

#include "draw/PainterCanvas.h"
#include "platform/HostFiles.h"

namespace draw {

namespace {

Rect BoxOf(int x1, int y1, int x2, int y2) {
    return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

Rect Intersection(const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

// The x offset of each UTF-16 unit from the start of the text, and the text's width at the end:
// differences of whole-prefix widths, so that kerning is kept and the advances add up to exactly
// the width TextWidth reports (a label then fills its box as on the screen). A surrogate pair
// is one character: its second unit starts where the pair ends.
std::vector<int> UnitOffsets(const QFont& font, const QString& text) {
    const QFontMetrics metrics(CanvasPixelFont(font));
    std::vector<int> offsets(size_t(text.size()) + 1, 0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text[i].isHighSurrogate() && i + 1 < text.size() ? i + 2 : i + 1;
        offsets[size_t(i) + 1] = metrics.horizontalAdvance(text.left(end));
        if (end == i + 2) {
            offsets[size_t(i) + 2] = offsets[size_t(i) + 1];
            ++i;
        }
    }
    return offsets;
}

}  // namespace

void LittleEndianWriter::I16(int value) {
    U16(std::uint16_t(std::int16_t(std::clamp(value, -32768, 32767))));
}

void LittleEndianWriter::F32(float value) {
    U32(std::bit_cast<std::uint32_t>(value));
}

MetafileCanvas::MetafileCanvas(int width, int height, std::uint32_t firstIndex)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      firstIndex_(firstIndex),
      tableSize_(firstIndex) {}

void MetafileCanvas::SaveToFile(const QString& path) const {
    QString why;
    if (!platform::ReplaceHostFile(path, Bytes(), &why))
        throw EMetafileWriteError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(path, why).toStdString());
}

void MetafileCanvas::AddRecord(const QByteArray& record) {
    body_.append(record);
    ++recordCount_;
    largestRecord_ = std::max(largestRecord_, int(record.size()));
}

std::uint32_t MetafileCanvas::TakeIndex() {
    auto free = std::find(taken_.begin(), taken_.end(), false);
    if (free == taken_.end()) free = taken_.insert(free, false);
    *free = true;
    const std::uint32_t index = firstIndex_ + std::uint32_t(free - taken_.begin());
    tableSize_ = std::max(tableSize_, index + 1);
    return index;
}

// The new object is selected before the old one is deleted: a selected object must not be
// deleted, and a reader that keeps the table short reuses the freed index at once.
template <typename Object, typename Create>
void MetafileCanvas::Use(std::optional<Object>& selected, Handle& handle, const Object& wanted,
                         Create create) {
    if (selected == wanted) return;
    const Handle made = create(wanted);
    WriteSelectObject(made);
    if (selected && !handle.stock) {
        WriteDeleteObject(handle.id);
        taken_[handle.id - firstIndex_] = false;
    }
    selected = wanted;
    handle = made;
}

void MetafileCanvas::UsePen(const PenObject& pen) {
    Use(pen_, penHandle_, pen, [this](const PenObject& p) { return CreatePen(p); });
}

void MetafileCanvas::UseBrush(const BrushObject& brush) {
    Use(brush_, brushHandle_, brush, [this](const BrushObject& b) { return CreateBrush(b); });
}

void MetafileCanvas::UseFont() {
    const QFont font = CanvasPixelFont(Font());
    // The family the font really resolves to, which a reader is most likely to have as well.
    const FontObject wanted{
        QFontInfo(font).family(), font.pixelSize(), font.weight(), font.italic(),
        font.underline(),         font.strikeOut()};
    Use(font_, fontHandle_, wanted, [this](const FontObject& f) { return CreateFont(f); });
    const TColor color = ColorToRGB(FontColor());
    if (textColor_ != color) {
        WriteTextColor(color);
        textColor_ = color;
    }
}

MetafileCanvas::BrushObject MetafileCanvas::CurrentBrush() const {
    if (Brush() == BrushStyle::Clear) return BrushObject{true, 0};
    return BrushObject{false, ColorToRGB(BrushColor())};
}

// The move is written just before the line that starts there, after any pen change: some
// readers start a path at a move and lose it when an object record comes between the two.
void MetafileCanvas::LineTo(int x, int y) {
    UsePen({false, ColorToRGB(PenColor())});
    if (filePenPos_ != PenPos()) WriteMoveTo(PenPos().x(), PenPos().y());
    WriteLineTo(x, y);
    Canvas::MoveTo(x, y);
    filePenPos_ = PenPos();
}

void MetafileCanvas::FillRect(const Rect& r) {
    if (r.IsEmpty() || Brush() == BrushStyle::Clear) return;
    UsePen({true, 0});
    UseBrush(CurrentBrush());
    WriteRectangle(r);
}

void MetafileCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    if (box.IsEmpty()) return;
    UsePen({false, ColorToRGB(PenColor())});
    UseBrush(CurrentBrush());
    WriteRectangle(box);
}

void MetafileCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    if (box.IsEmpty()) return;
    UsePen({false, ColorToRGB(PenColor())});
    UseBrush(CurrentBrush());
    WriteEllipse(box);
}

void MetafileCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    const Rect box = BoxOf(x1, y1, x2, y2);
    if (box.IsEmpty()) return;
    UsePen({false, ColorToRGB(PenColor())});
    UseBrush(CurrentBrush());
    // Radials in the same direction mean the whole ellipse. Some readers draw a pie with equal
    // radials as a bare radius line, so it is written as the ellipse it is.
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const double ux = x3 - cx, uy = y3 - cy, vx = x4 - cx, vy = y4 - cy;
    if (ux * vy - uy * vx == 0 && ux * vx + uy * vy > 0) {
        WriteEllipse(box);
    } else {
        WritePie(box, x3, y3, x4, y4);
    }
}

int MetafileCanvas::TextWidth(const QString& text) const {
    return CanvasTextWidth(Font(), text);
}

int MetafileCanvas::TextHeight(const QString&) const {
    return CanvasTextHeight(Font());
}

void MetafileCanvas::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) return;
    FillRect({x, y, x + TextWidth(text), y + TextHeight(text)});
    WriteRun(x, y, text, 0, int(text.size()));
}

void MetafileCanvas::TextRect(const Rect& clip, int x, int y, const QString& text) {
    if (clip.IsEmpty() || text.isEmpty()) return;
    const int height = TextHeight(text);
    FillRect(Intersection({x, y, x + TextWidth(text), y + height}, clip));
    if (y < clip.top || y + height > clip.bottom) return;
    // The characters wholly inside the clip follow one another, as the offsets only grow.
    const std::vector<int> offsets = UnitOffsets(Font(), text);
    int from = int(text.size()), to = 0;
    for (int i = 0; i < int(text.size()); ++i) {
        const int end = text[i].isHighSurrogate() && i + 1 < int(text.size()) ? i + 2 : i + 1;
        if (x + offsets[size_t(i)] >= clip.left && x + offsets[size_t(end)] <= clip.right) {
            from = std::min(from, i);
            to = end;
        }
        i = end - 1;
    }
    if (from < to) WriteRun(x, y, text, from, to);
}

// Units from..to of text, placed where they stand in the whole text written at (x, y).
void MetafileCanvas::WriteRun(int x, int y, const QString& text, int from, int to) {
    const std::vector<int> offsets = UnitOffsets(Font(), text);
    std::vector<int> advances;
    advances.reserve(size_t(to - from));
    for (int i = from; i < to; ++i) advances.push_back(offsets[size_t(i) + 1] - offsets[size_t(i)]);
    UseFont();
    WriteText(x + offsets[size_t(from)], y, text.mid(from, to - from), advances);
}

void MetafileCanvas::CopyRect(const Rect&, const Canvas&, const Rect&) {}

void MetafileCanvas::Draw(int, int, const QImage&) {}

QImage MetafileCanvas::Grab(const Rect&) const {
    return QImage();
}

}  // namespace draw
