#include "views/HPieChart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

using draw::BrushStyle;

namespace {

// Nearest integer, halves to even (the default rounding mode); anything not finite gives 0, so
// a broken angle cannot turn into an undefined conversion.
int RoundHalfEven(long double value) {
    if (!std::isfinite(value)) return 0;
    value = std::clamp<long double>(value, std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max());
    return int(std::nearbyint(value));
}

}  // namespace

THPieChart::THPieChart(draw::Canvas* canvas, int width, int height) : canvas_(canvas) {
    updateCount_ = 1;
    SetSize(width, height);
    updateCount_ = 0;
}

THPieChart::~THPieChart() {
    BeginUpdate();
    Clear();
}

void THPieChart::SetCanvas(draw::Canvas* canvas) {
    if (canvas == canvas_) return;
    canvas_ = canvas;
    if (!Locked()) Draw();
}

void THPieChart::SetColors(draw::TColor back, draw::TColor line, draw::TColor fill) {
    backColor_ = back;
    lineColor_ = line;
    fillColor_ = fill;
    if (!Locked()) Draw();
}

void THPieChart::SetLabelColors(draw::TColor back, draw::TColor line, draw::TColor text,
                                draw::TColor hotBack, draw::TColor hotLine, draw::TColor hotText) {
    labelBackColor_ = back;
    labelLineColor_ = line;
    labelTextColor_ = text;
    hotLabelBackColor_ = hotBack;
    hotLabelLineColor_ = hotLine;
    hotLabelTextColor_ = hotText;
    if (!Locked()) Draw();
}

void THPieChart::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    const int64_t side =
        std::min(int64_t(width) - 2 * int64_t(MarginX), int64_t(height) - 2 * int64_t(MarginY));
    const int d = int(std::max<int64_t>(side, 0));  // too small for the margins: no disc
    pieRect_ = QRect(int((int64_t(width) - d) / 2), int((int64_t(height) - d) / 2), d, d);
    radius_ = d / 2;
}

TPieSection* THPieChart::AddSection(const QString& text, draw::TColor color, double angle) {
    auto section = std::make_unique<TPieSection>();
    section->Text = text;
    section->Color = color;
    section->Angle = angle;
    TPieSection* added = sections_.emplace_back(std::move(section)).get();
    if (!Locked()) Draw();
    return added;
}

TPieSection* THPieChart::GetSection(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return sections_[size_t(index)].get();
}

void THPieChart::Clear() {
    BeginUpdate();
    sections_.clear();
    reached_ = 0;
    EndUpdate();
}

void THPieChart::Sort(bool descending) {
    BeginUpdate();
    // A NaN angle sorts as the smallest, so the order stays a strict weak ordering.
    auto key = [](const std::unique_ptr<TPieSection>& s) {
        return std::isnan(s->Angle) ? -std::numeric_limits<double>::infinity() : s->Angle;
    };
    std::sort(sections_.begin(), sections_.end(), [&](const auto& a, const auto& b) {
        return descending ? key(a) > key(b) : key(a) < key(b);
    });
    EndUpdate();
}

void THPieChart::BeginUpdate() {
    ++updateCount_;
}

void THPieChart::EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
    if (updateCount_ != 0) return;
    Draw();
    if (Display && Buffer) Display->Draw(0, 0, Buffer->Image());
}

QPoint THPieChart::PointOnCircle(long double angle, int r, bool absolute) const {
    const long double a = angle * std::numbers::pi_v<long double> / 180;
    const int sx = RoundHalfEven(r * std::sin(a));
    const int sy = RoundHalfEven(r * std::cos(a));
    if (!absolute) return {sx, sy};
    return {pieRect_.left() + r - sx, pieRect_.top() + r - sy};
}

int THPieChart::SectionAt(int x, int y) const {
    const QPoint centre = Center();
    const int64_t dx = int64_t(x) - centre.x();
    const int64_t dy = int64_t(y) - centre.y();
    const int64_t distance2 = dx * dx + dy * dy;
    if (distance2 > int64_t(radius_) * radius_) return -1;
    if (dx == 0 && dy == 0) return -1;
    // Whole degrees from the horizontal, 0 to 90, then the chart's angle of the point.
    const long double phi =
        RoundHalfEven(std::asin(std::abs(dy) / std::sqrt((long double)distance2)) * 180 /
                      std::numbers::pi_v<long double>);
    long double theta;
    if (dx < 0) {
        theta = dy < 0 ? 90 - phi : 90 + phi;
    } else {
        theta = dy < 0 ? 270 + phi : 270 - phi;
    }
    long double sum = 0;
    for (int i = 0; i < Count(); ++i) {
        sum += sections_[size_t(i)]->Angle;
        if (i == Count() - 1 && CloseLastSection) sum = 360;
        if (sum >= theta) return i;
    }
    return -1;
}

bool THPieChart::HasLabel(const TPieSection& section) const {
    return !section.Text.isEmpty() && section.Angle >= MinTextAngle;
}

void THPieChart::Draw() {
    if (Locked() || !canvas_) return;
    draw::Canvas& canvas = *canvas_;
    canvas.SetBrushStyle(BrushStyle::Solid);
    canvas.SetBrushColor(backColor_);
    canvas.FillRect({0, 0, width_, height_});
    reached_ = 0;
    if (radius_ < 1) return;

    const QPoint centre = Center();
    const int left = pieRect_.left(), top = pieRect_.top();
    const int right = left + pieRect_.width(), bottom = top + pieRect_.height();
    long double previous = 0;
    long double cumulative = 0;
    QPoint start = PointOnCircle(0, radius_, true);
    canvas.SetPenColor(lineColor_);
    canvas.SetBrushColor(fillColor_);
    canvas.Ellipse(left, top, right, bottom);

    for (int i = 0; i < Count(); ++i) {
        const TPieSection& section = *sections_[size_t(i)];
        cumulative += section.Angle;
        if (cumulative > 360) cumulative = 360;
        const QPoint end = i == Count() - 1 && CloseLastSection
                               ? QPoint(left + radius_, top)
                               : PointOnCircle(cumulative, radius_, true);
        // A wedge whose ends share a pixel would paint the whole disc: only one of more than
        // 180 degrees means that. The disc already has the fill colour.
        if (section.Color != fillColor_ && (end != start || section.Angle > 180)) {
            canvas.SetBrushColor(section.Color);
            canvas.SetPenColor(section.Color);
            canvas.Pie(left, top, right, bottom, start.x(), start.y(), end.x(), end.y());
            canvas.SetPenColor(lineColor_);
        }
        canvas.MoveTo(centre.x(), centre.y());
        canvas.LineTo(start.x(), start.y());
        canvas.MoveTo(centre.x(), centre.y());
        canvas.LineTo(end.x(), end.y());
        reached_ = i + 1;
        if (HasLabel(section)) PlaceLabel(i, previous, cumulative);
        previous = cumulative;
        start = end;
        if (cumulative >= 360) break;
    }

    DrawLabel(HotIndex, true);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.Ellipse(left, top, right, bottom);
}

// The leader line runs 10 pixels outwards from the rim at the middle of the section; the label
// lies beyond its end, on the side away from the disc.
void THPieChart::PlaceLabel(int index, long double from, long double to) {
    TPieSection& section = *sections_[size_t(index)];
    draw::Canvas& canvas = *canvas_;
    const long double middle = from + (to - from) * 0.5L;
    const QPoint centre = Center();
    const QPoint rim = PointOnCircle(middle, radius_, true);
    const QPoint outward = PointOnCircle(middle, radius_ + 10, false);
    QPoint anchor(centre.x() - outward.x(), centre.y() - outward.y());
    canvas.MoveTo(rim.x(), rim.y());
    canvas.LineTo(anchor.x(), anchor.y());
    const int textWidth = canvas.TextWidth(section.Text);
    const int textHeight = canvas.TextHeight(section.Text);
    if (middle < 180) anchor.rx() -= textWidth;
    if (middle < 90 || middle > 270) anchor.ry() -= textHeight;
    // The margins are narrow for long names: a box that would reach past the drawing area is
    // moved back inside it (to its left or top edge when it is wider or taller than the area).
    anchor.setX(std::max(4, std::min(anchor.x(), width_ - textWidth - 4)));
    anchor.setY(std::max(2, std::min(anchor.y(), height_ - textHeight - 2)));
    section.LabelPos = anchor;
    DrawLabel(index, false);
}

void THPieChart::DrawLabel(int index, bool hot) {
    // Sections the last drawing did not reach have no place for a label yet.
    if (index < 0 || index >= reached_ || index >= Count() || !canvas_ || Locked()) return;
    const TPieSection& section = *sections_[size_t(index)];
    if (!HasLabel(section)) return;
    draw::Canvas& canvas = *canvas_;
    const int x = section.LabelPos.x(), y = section.LabelPos.y();
    const draw::Rect box{x - 4, y - 2, x + canvas.TextWidth(section.Text) + 4,
                         y + canvas.TextHeight(section.Text) + 2};
    canvas.SetBrushColor(hot ? hotLabelBackColor_ : labelBackColor_);
    canvas.SetPenColor(hot ? hotLabelLineColor_ : labelLineColor_);
    canvas.Rectangle(box.left, box.top, box.right, box.bottom);
    canvas.SetFontColor(hot ? hotLabelTextColor_ : labelTextColor_);
    canvas.SetBrushStyle(BrushStyle::Clear);
    canvas.TextOut(x, y, section.Text);
    if (Display) Display->CopyRect(box, canvas, box);
}
