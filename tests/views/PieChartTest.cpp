// The pie chart engine: geometry, the drawing as a sequence of canvas calls, labels, hit
// testing, the update lock, and the pixels of whole charts.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <functional>

#include "draw/PainterCanvas.h"
#include "draw/RecordingCanvas.h"
#include "tests/fixtures/Pictures.h"
#include "tests/fixtures/QtPrinters.h"
#include "views/HPieChart.h"

using namespace draw;

namespace {

constexpr TColor kBack = RGBColor(250, 250, 250);
constexpr TColor kLine = RGBColor(0, 0, 1);
constexpr TColor kFill = clLime;
constexpr TColor kLabelBack = RGBColor(255, 255, 225), kLabelLine = RGBColor(0, 0, 2),
                 kLabelText = RGBColor(0, 0, 3), kHotBack = clYellow, kHotLine = RGBColor(0, 0, 4),
                 kHotText = RGBColor(0, 0, 5);

void Colour(THPieChart& chart) {
    chart.BeginUpdate();
    chart.SetColors(kBack, kLine, kFill);
    chart.SetLabelColors(kLabelBack, kLabelLine, kLabelText, kHotBack, kHotLine, kHotText);
    chart.EndUpdate();
}

// A chart of 400 × 300 on a recording: disc (70, 20, 260, 260), radius 130, centre (200, 150).
struct Recorded {
    RecordingCanvas canvas;
    THPieChart chart{&canvas, 400, 300};
    Recorded() { Colour(chart); }

    void Build(std::initializer_list<std::pair<const char*, double>> sections,
               TColor color = clRed) {
        chart.BeginUpdate();
        for (auto [text, angle] : sections) chart.AddSection(text, color, angle);
        canvas.ClearCalls();
        chart.EndUpdate();
    }
    std::vector<const CanvasCall*> Of(CanvasCall::Kind kind) const {
        std::vector<const CanvasCall*> found;
        for (const CanvasCall& call : canvas.Calls()) {
            if (call.kind == kind) found.push_back(&call);
        }
        return found;
    }
    QStringList Texts() const {
        QStringList texts;
        for (const CanvasCall* call : Of(CanvasCall::TextOut)) texts << call->text;
        return texts;
    }
};

QString Describe(const CanvasCall& call) {
    static const char* const names[] = {
        "SetPenColor", "SetBrushColor", "SetBrushStyle", "SetFont",   "SetFontColor",
        "MoveTo",      "LineTo",        "FillRect",      "Rectangle", "Ellipse",
        "Pie",         "TextOut",       "TextRect",      "CopyRect",  "Draw",
    };
    QStringList parts;
    for (int a : call.args) parts << QString::number(a);
    switch (call.kind) {
        case CanvasCall::SetPenColor:
        case CanvasCall::SetBrushColor:
        case CanvasCall::SetFontColor:
            parts << QString::number(call.color, 16);
            break;
        case CanvasCall::SetBrushStyle:
            parts << (call.brush == BrushStyle::Solid ? "solid" : "clear");
            break;
        case CanvasCall::TextOut:
            parts << call.text;
            break;
        default:
            break;
    }
    return QString::fromLatin1(names[call.kind]) + "(" + parts.join(",") + ")";
}

QStringList Describe(const std::vector<CanvasCall>& calls) {
    QStringList described;
    for (const CanvasCall& call : calls) described << Describe(call);
    return described;
}

}  // namespace

TEST(PieChart, GeometryFollowsTheSmallerSideInsideTheMargins) {
    struct GeometryCase {
        int width, height;
        QRect pie;
        int radius;
    };
    const GeometryCase cases[] = {
        {400, 300, {70, 20, 260, 260}, 130},
        {301, 200, {70, 20, 160, 160}, 80},
        {500, 141, {199, 20, 101, 101}, 50},
        {99, 300, {49, 150, 0, 0}, 0},  // narrower than the margins: no disc
        {101, 41, {50, 20, 1, 1}, 0},
        {0, 0, {0, 0, 0, 0}, 0},
    };
    for (const GeometryCase& g : cases) {
        SCOPED_TRACE(testing::Message() << g.width << " x " << g.height);
        THPieChart chart(nullptr, g.width, g.height);
        EXPECT_EQ(chart.PieRect(), g.pie);
        EXPECT_EQ(chart.Radius(), g.radius);
    }
    THPieChart chart(nullptr, 400, 300);
    EXPECT_EQ(chart.PointOnCircle(0, 130, true), QPoint(200, 20));
    EXPECT_EQ(chart.PointOnCircle(90, 130, true), QPoint(70, 150));
    EXPECT_EQ(chart.PointOnCircle(180, 130, true), QPoint(200, 280));
    EXPECT_EQ(chart.PointOnCircle(270, 130, true), QPoint(330, 150));
    EXPECT_EQ(chart.PointOnCircle(360, 130, true), QPoint(200, 20));
    EXPECT_EQ(chart.PointOnCircle(45, 100, false), QPoint(71, 71));
    EXPECT_EQ(chart.PointOnCircle(210, 140, false), QPoint(-70, -121));
}

TEST(PieChart, DrawsBackgroundDiscWedgesRadiiLabelsAndOutlineInOrder) {
    Recorded r;
    r.Build({{"", 90}, {"", 270}});
    const TColor red = clRed;
    auto hex = [](TColor c) { return QString::number(c, 16); };
    const QStringList expected = {
        "SetBrushStyle(solid)", "SetBrushColor(" + hex(kBack) + ")", "FillRect(0,0,400,300)",
        "SetPenColor(" + hex(kLine) + ")", "SetBrushColor(" + hex(kFill) + ")",
        "Ellipse(70,20,330,280)",
        // 0 to 90 degrees: 12 o'clock to 9 o'clock.
        "SetBrushColor(" + hex(red) + ")", "SetPenColor(" + hex(red) + ")",
        "Pie(70,20,330,280,200,20,70,150)", "SetPenColor(" + hex(kLine) + ")", "MoveTo(200,150)",
        "LineTo(200,20)", "MoveTo(200,150)", "LineTo(70,150)",
        // 90 to 360.
        "SetBrushColor(" + hex(red) + ")", "SetPenColor(" + hex(red) + ")",
        "Pie(70,20,330,280,70,150,200,20)", "SetPenColor(" + hex(kLine) + ")", "MoveTo(200,150)",
        "LineTo(70,150)", "MoveTo(200,150)", "LineTo(200,20)", "SetBrushStyle(clear)",
        "Ellipse(70,20,330,280)"};
    EXPECT_EQ(Describe(r.canvas.Calls()), expected);
}

TEST(PieChart, WedgeEndPointsAndTheSkippedOnes) {
    Recorded quarters;
    quarters.Build({{"", 90}, {"", 90}, {"", 90}, {"", 90}});
    std::vector<std::vector<int>> ends;
    for (const CanvasCall* pie : quarters.Of(CanvasCall::Pie)) {
        ends.push_back({pie->args[4], pie->args[5], pie->args[6], pie->args[7]});
    }
    EXPECT_EQ(
        ends,
        (std::vector<std::vector<int>>{
            {200, 20, 70, 150}, {70, 150, 200, 280}, {200, 280, 330, 150}, {330, 150, 200, 20}}));

    // A whole circle in one section: both ends on the same pixel, painted as the full disc.
    Recorded whole;
    whole.Build({{"", 360}});
    ASSERT_EQ(whole.Of(CanvasCall::Pie).size(), 1u);
    EXPECT_EQ(whole.Of(CanvasCall::Pie)[0]->args,
              (std::vector<int>{70, 20, 330, 280, 200, 20, 200, 20}));

    // 0.2 degrees on a radius of 130 ends on its start pixel: no wedge, but both radius lines.
    Recorded tiny;
    tiny.Build({{"", 0.2}});
    EXPECT_TRUE(tiny.Of(CanvasCall::Pie).empty());
    EXPECT_EQ(tiny.Of(CanvasCall::LineTo).size(), 2u);

    // A section in the fill colour is not painted either.
    Recorded filled;
    filled.Build({{"", 120}}, kFill);
    EXPECT_TRUE(filled.Of(CanvasCall::Pie).empty());

    // Past 360 the angle is held there and the drawing stops after the section reaching it.
    Recorded over;
    over.Build({{"a", 200}, {"b", 200}, {"c", 50}});
    ASSERT_EQ(over.Of(CanvasCall::Pie).size(), 2u);
    EXPECT_EQ(over.Of(CanvasCall::Pie)[1]->args[6], 200);
    EXPECT_EQ(over.Of(CanvasCall::Pie)[1]->args[7], 20);
    EXPECT_EQ(over.Texts(), (QStringList{"a", "b"}));
    over.canvas.ClearCalls();
    over.chart.DrawLabel(2, true);
    EXPECT_TRUE(over.canvas.Calls().empty()) << "a section never reached has no label place";
}

TEST(PieChart, CloseLastSectionEndsTheLastWedgeAtTwelveOClock) {
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "closed" : "open");
        Recorded r;
        r.chart.CloseLastSection = close;
        r.Build({{"", 100}, {"", 100}, {"", 155}});
        const auto pies = r.Of(CanvasCall::Pie);
        ASSERT_EQ(pies.size(), 3u);
        const QPoint end(pies[2]->args[6], pies[2]->args[7]);
        EXPECT_EQ(end, close ? QPoint(200, 20) : QPoint(211, 20));
        // (205, 60) lies at 357 degrees: past the open pie's 355, inside the closed one.
        EXPECT_EQ(r.chart.SectionAt(205, 60), close ? 2 : -1);
    }
}

TEST(PieChart, TheRunningPenColourDrawsRadiusAndLeaderLines) {
    Recorded r;
    r.Build({{"first", 90}, {"", 90}});
    const auto lines = r.Of(CanvasCall::LineTo);
    // Section 0: two radius lines, then its leader line; section 1: two radius lines.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0]->penColor, kLine);
    EXPECT_EQ(lines[2]->penColor, kLine) << "leader line";
    EXPECT_EQ(lines[3]->penColor, kLine) << "the wedge sets the line colour again";
    EXPECT_EQ(lines[4]->penColor, kLine);

    Recorded filled;
    filled.Build({{"first", 90}, {"", 90}}, kFill);  // no wedge resets the pen
    const auto after = filled.Of(CanvasCall::LineTo);
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[3]->penColor, kLabelLine);
    const auto outline = filled.Of(CanvasCall::Ellipse).back();
    EXPECT_EQ(outline->penColor, kLabelLine);
    EXPECT_EQ(outline->brushStyle, BrushStyle::Clear);
}

TEST(PieChart, LabelsSitBeyondTheirLeaderLinesByQuadrant) {
    // Middle angles 45 (upper left), 135 (lower left), 225 (lower right), 315 (upper right).
    Recorded r;
    r.Build({{"UL", 90}, {"LL", 90}, {"LR", 90}, {"UR", 90}});
    ASSERT_EQ(r.Texts(), (QStringList{"UL", "LL", "LR", "UR"}));
    struct LabelCase {
        int index;
        double middle;
        bool left, up;
    };
    const LabelCase cases[] = {
        {0, 45, true, true}, {1, 135, true, false}, {2, 225, false, false}, {3, 315, false, true}};
    const auto lines = r.Of(CanvasCall::LineTo);
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.middle);
        const TPieSection& section = *r.chart.GetSection(c.index);
        const QPoint rim = r.chart.PointOnCircle(c.middle, 130, true);
        const QPoint outward = r.chart.PointOnCircle(c.middle, 140, false);
        const QPoint leaderEnd(200 - outward.x(), 150 - outward.y());
        // The leader line: the third line of each section, from the rim 10 pixels outwards.
        const CanvasCall& leader = *lines[size_t(c.index) * 3 + 2];
        EXPECT_EQ(leader.args, (std::vector<int>{leaderEnd.x(), leaderEnd.y()}));
        EXPECT_NEAR(std::hypot(rim.x() - 200, rim.y() - 150), 130, 1);
        const int tw = r.canvas.TextWidth(section.Text), th = r.canvas.TextHeight(section.Text);
        EXPECT_EQ(section.LabelPos, leaderEnd - QPoint(c.left ? tw : 0, c.up ? th : 0));
    }
    // The label box: 4 pixels beside the text, 2 above and below, then the text over it.
    const auto boxes = r.Of(CanvasCall::Rectangle);
    ASSERT_EQ(boxes.size(), 4u);
    const QPoint at = r.chart.GetSection(2)->LabelPos;
    const int tw = r.canvas.TextWidth("LR"), th = r.canvas.TextHeight("LR");
    EXPECT_EQ(boxes[2]->args,
              (std::vector<int>{at.x() - 4, at.y() - 2, at.x() + tw + 4, at.y() + th + 2}));
    EXPECT_EQ(boxes[2]->brushColor, kLabelBack);
    EXPECT_EQ(boxes[2]->penColor, kLabelLine);
    EXPECT_EQ(r.Of(CanvasCall::TextOut)[2]->args, (std::vector<int>{at.x(), at.y()}));
    EXPECT_EQ(r.Of(CanvasCall::TextOut)[2]->fontColor, kLabelText);
    EXPECT_EQ(r.Of(CanvasCall::TextOut)[2]->brushStyle, BrushStyle::Clear);
}

TEST(PieChart, SectionsBelowMinTextAngleGetNoLabelAndNoLeaderLine) {
    Recorded r;
    r.Build({{"four nine", 4.9}, {"five", 5.0}, {"", 200}, {"rest", 150.1}});
    EXPECT_EQ(r.Texts(), (QStringList{"five", "rest"}));
    EXPECT_EQ(r.Of(CanvasCall::LineTo).size(), 4u * 2 + 2);

    r.chart.MinTextAngle = 160;
    r.canvas.ClearCalls();
    r.chart.Draw();
    EXPECT_TRUE(r.Texts().isEmpty());
}

TEST(PieChart, SectionAtMapsPointsToSections) {
    Recorded r;
    r.Build({{"", 90}, {"", 90}, {"", 90}, {"", 90}});
    struct HitCase {
        int x, y, index;
        const char* where;
    };
    const HitCase cases[] = {
        {200, 150, -1, "centre"},
        {150, 100, 0, "upper left"},
        {150, 200, 1, "lower left"},
        {250, 200, 2, "lower right"},
        {250, 100, 3, "upper right"},
        {200, 20, 3, "on the circle at 12 o'clock (360)"},
        {200, 19, -1, "one pixel above"},
        {70, 150, 0, "on the circle at 9 o'clock (90)"},
        {69, 150, -1, "one pixel left"},
        {200, 280, 1, "on the circle at 6 o'clock (180)"},
        {200, 281, -1, "one pixel below"},
        {330, 150, 2, "on the circle at 3 o'clock (270)"},
        {331, 150, -1, "one pixel right"},
        {250, 30, 3, "on the circle at 337 degrees"},
        {251, 30, -1, "one pixel beyond it"},
        {320, 200, 2, "on the circle at 247 degrees"},
        {320, 201, -1, "one pixel below it"},
        {0, 0, -1, "far outside"},
    };
    for (const HitCase& c : cases) EXPECT_EQ(r.chart.SectionAt(c.x, c.y), c.index) << c.where;

    Recorded empty;
    empty.Build({});
    for (int y = 0; y < 300; y += 7) {
        for (int x = 0; x < 400; x += 7) ASSERT_EQ(empty.chart.SectionAt(x, y), -1);
    }
    // An empty chart still draws the background, the disc and its outline.
    EXPECT_EQ(Describe(empty.canvas.Calls()).join(" "),
              QStringLiteral("SetBrushStyle(solid) SetBrushColor(fafafa) FillRect(0,0,400,300) "
                             "SetPenColor(10000) SetBrushColor(ff00) Ellipse(70,20,330,280) "
                             "SetBrushStyle(clear) Ellipse(70,20,330,280)"));
}

TEST(PieChart, DrawLabelHighlightsAndCopiesTheBoxToTheDisplay) {
    Recorded r;
    RecordingCanvas display;
    r.chart.Display = &display;
    r.Build({{"big", 300}, {"small", 60}});
    display.ClearCalls();
    r.canvas.ClearCalls();

    r.chart.DrawLabel(1, true);
    const auto boxes = r.Of(CanvasCall::Rectangle);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->brushColor, kHotBack);
    EXPECT_EQ(boxes[0]->penColor, kHotLine);
    EXPECT_EQ(r.Of(CanvasCall::TextOut)[0]->fontColor, kHotText);
    ASSERT_EQ(display.Calls().size(), 1u);
    const CanvasCall& copy = display.Calls()[0];
    EXPECT_EQ(copy.kind, CanvasCall::CopyRect);
    EXPECT_EQ(copy.source, &r.canvas);
    const std::vector<int> box = boxes[0]->args;
    EXPECT_EQ(copy.args,
              (std::vector<int>{box[0], box[1], box[2], box[3], box[0], box[1], box[2], box[3]}));

    // Nothing for indices out of range, while locked, or without a canvas.
    r.canvas.ClearCalls();
    display.ClearCalls();
    r.chart.DrawLabel(-1, true);
    r.chart.DrawLabel(2, true);
    r.chart.BeginUpdate();
    r.chart.DrawLabel(0, true);
    EXPECT_TRUE(r.canvas.Calls().empty());
    EXPECT_TRUE(display.Calls().empty());
    EXPECT_EQ(r.chart.GetSection(-1), nullptr);
    EXPECT_EQ(r.chart.GetSection(2), nullptr);
    EXPECT_NE(r.chart.GetSection(1), nullptr);

    // The hot label is drawn last in a full drawing.
    r.chart.HotIndex = 0;
    r.chart.EndUpdate();
    const auto drawnBoxes = r.Of(CanvasCall::Rectangle);
    ASSERT_EQ(drawnBoxes.size(), 3u);
    EXPECT_EQ(drawnBoxes[2]->brushColor, kHotBack);
}

TEST(PieChart, TheUpdateLockHoldsBackDrawingUntilTheCountReturnsToZero) {
    RecordingCanvas canvas, display;
    Bitmap buffer(400, 300);
    THPieChart chart(&canvas, 400, 300);
    EXPECT_TRUE(canvas.Calls().empty()) << "creation draws nothing";
    chart.Display = &display;
    chart.Buffer = &buffer;

    chart.BeginUpdate();
    chart.BeginUpdate();
    chart.AddSection("", clRed, 100);
    chart.SetColors(kBack, kLine, kFill);
    chart.EndUpdate();
    EXPECT_TRUE(canvas.Calls().empty());
    EXPECT_TRUE(display.Calls().empty());
    chart.EndUpdate();
    EXPECT_FALSE(canvas.Calls().empty());
    ASSERT_EQ(display.Calls().size(), 1u);
    EXPECT_EQ(display.Calls()[0].kind, CanvasCall::Draw);
    EXPECT_EQ(display.Calls()[0].args, (std::vector<int>{0, 0}));
    EXPECT_EQ(display.Calls()[0].picture.size(), QSize(400, 300));

    // Unbalanced: still draws and shows, and the count stays at 0.
    canvas.ClearCalls();
    display.ClearCalls();
    chart.EndUpdate();
    EXPECT_EQ(chart.UpdateCount(), 0);
    EXPECT_FALSE(canvas.Calls().empty());
    EXPECT_EQ(display.Calls().size(), 1u);

    // Setters draw unless locked; SetSize never does; the same canvas again is no change.
    struct SetterCase {
        const char* name;
        std::function<void()> set;
        bool draws;
    };
    const SetterCase setters[] = {
        {"SetColors", [&] { chart.SetColors(kBack, kLine, kFill); }, true},
        {"SetLabelColors", [&] { chart.SetLabelColors(1, 2, 3, 4, 5, 6); }, true},
        {"AddSection", [&] { chart.AddSection("b", clAqua, 10); }, true},
        {"SetSize", [&] { chart.SetSize(300, 200); }, false},
        {"SetCanvas same", [&] { chart.SetCanvas(&canvas); }, false},
    };
    for (const SetterCase& s : setters) {
        SCOPED_TRACE(s.name);
        canvas.ClearCalls();
        s.set();
        EXPECT_EQ(!canvas.Calls().empty(), s.draws);
        chart.BeginUpdate();
        canvas.ClearCalls();
        s.set();
        EXPECT_TRUE(canvas.Calls().empty());
        chart.EndUpdate();
    }
    RecordingCanvas other;
    chart.SetCanvas(&other);
    EXPECT_FALSE(other.Calls().empty());

    // Clear draws the empty chart; Sort orders by angle.
    chart.SetCanvas(&canvas);
    chart.BeginUpdate();
    chart.Clear();
    for (double angle : {30.0, 120.0, 5.0, 60.0}) chart.AddSection("", clRed, angle);
    chart.Sort(true);
    EXPECT_EQ(chart.UpdateCount(), 1);
    chart.EndUpdate();
    std::vector<double> angles;
    for (const auto& s : chart.Sections()) angles.push_back(s->Angle);
    EXPECT_EQ(angles, (std::vector<double>{120, 60, 30, 5}));
    chart.Sort(false);
    angles.clear();
    for (const auto& s : chart.Sections()) angles.push_back(s->Angle);
    EXPECT_EQ(angles, (std::vector<double>{5, 30, 60, 120}));
    canvas.ClearCalls();
    chart.Clear();
    EXPECT_EQ(chart.Count(), 0);
    EXPECT_EQ(Describe(canvas.Calls()).filter("Pie").size(), 0);
    EXPECT_EQ(Describe(canvas.Calls()).filter("Ellipse").size(), 2);
}

TEST(PieChart, AnAreaSmallerThanTheMarginsDrawsTheBackgroundAlone) {
    for (auto [w, h] : {std::pair{80, 30}, {101, 41}, {0, 0}, {-5, -5}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        RecordingCanvas canvas;
        THPieChart chart(&canvas, w, h);
        chart.HotIndex = 0;
        chart.AddSection("label", clRed, 360);
        EXPECT_EQ(Describe(canvas.Calls()).filter(QRegularExpression("Pie|Ellipse|TextOut|LineTo")),
                  QStringList());
        EXPECT_EQ(chart.SectionAt(w / 2, h / 2), -1);
        chart.DrawLabel(0, true);
        Bitmap picture(std::max(w, 1), std::max(h, 1));
        chart.SetCanvas(&picture.Canvas());
    }
}

TEST(PieChartPixels, AFullDiscSectionAndASkippedTinyWedge) {
    // 200 × 140: disc (50, 20, 100, 100), radius 50, centre (100, 70).
    Bitmap picture(200, 140);
    THPieChart chart(&picture.Canvas(), 200, 140);
    Colour(chart);
    chart.BeginUpdate();
    chart.AddSection("", clRed, 360);
    chart.EndUpdate();
    EXPECT_EQ(CountPixels(picture.Image(), kFill), 0) << "no fill colour left";
    for (QPoint p :
         {QPoint(95, 25), QPoint(60, 70), QPoint(100, 110), QPoint(140, 70), QPoint(80, 50)}) {
        EXPECT_EQ(PixelAt(picture.Image(), p.x(), p.y()), clRed) << p.x() << "," << p.y();
    }
    EXPECT_EQ(PixelAt(picture.Image(), 52, 22), kBack) << "outside the disc";
    SavePicture(picture.Image(), "pie-full-disc");

    chart.BeginUpdate();
    chart.Clear();
    chart.AddSection("", clRed, 0.3);
    chart.EndUpdate();
    EXPECT_EQ(CountPixels(picture.Image(), clRed), 0);
    EXPECT_EQ(PixelAt(picture.Image(), 100, 40), kLine) << "the radius line to 12 o'clock";
    EXPECT_EQ(PixelAt(picture.Image(), 90, 50), kFill);
}

TEST(PieChartPixels, SixSectionsMakeAClosedPieWithReadableLabels) {
    Bitmap picture(400, 300);
    THPieChart chart(&picture.Canvas(), 400, 300);
    chart.CloseLastSection = true;
    chart.BeginUpdate();
    chart.SetColors(clWhite, clBlack, clLime);
    chart.SetLabelColors(RGBColor(255, 255, 225), clBlack, clBlack, clYellow, clBlack, clBlack);
    const struct {
        const char* text;
        TColor color;
        double angle;
    } sections[] = {
        {"Windows (38%)", RGBColor(0, 200, 0), 137.3},
        {"Program Files (22%)", RGBColor(0, 160, 255), 80.1},
        {"Files in this folder (15%)", clYellow, 54.2},
        {"Users (11%)", RGBColor(230, 120, 0), 40.0},
        {"Other smaller folders (8%)", RGBColor(198, 255, 198), 28.6},
        {"temp (5%)", clAqua, 19.7},
    };
    for (const auto& s : sections) chart.AddSection(s.text, s.color, s.angle);
    chart.HotIndex = 3;
    chart.EndUpdate();
    SavePicture(picture.Image(), "pie-six-sections");

    // No gaps: inside the disc only section colours and lines show, never the fill colour.
    const QImage& image = picture.Image();
    int inside = 0;
    for (int y = 20; y < 280; ++y) {
        for (int x = 70; x < 330; ++x) {
            if (std::hypot(x - 200, y - 150) > 127) continue;
            ++inside;
            ASSERT_NE(PixelAt(image, x, y), clLime) << x << "," << y;
        }
    }
    EXPECT_GT(inside, 50000);
    // Long labels beside the narrow margins are kept inside the picture.
    for (const auto& s : chart.Sections()) {
        const QPoint at = s->LabelPos;
        const QRect box(at - QPoint(4, 2), QSize(picture.Canvas().TextWidth(s->Text) + 8,
                                                 picture.Canvas().TextHeight(s->Text) + 4));
        EXPECT_TRUE(QRect(0, 0, 400, 300).contains(box)) << s->Text.toStdString();
    }
    EXPECT_EQ(
        PixelAt(image, chart.GetSection(3)->LabelPos.x() - 2, chart.GetSection(3)->LabelPos.y()),
        clYellow)
        << "the highlighted label";

    // The same drawing recorded and replayed gives the same picture.
    RecordingCanvas recording;
    chart.SetCanvas(&recording);
    Bitmap replayed(400, 300);
    recording.Replay(replayed.Canvas());
    EXPECT_EQ(replayed.Image(), image);
}
