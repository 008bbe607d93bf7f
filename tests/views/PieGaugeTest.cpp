// The pie gauge: its properties and range rules, when it repaints, and its pixels at several
// percentages with both border styles, the text inverted over what lies under it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPainter>

#include "tests/fixtures/Pictures.h"
#include "tests/fixtures/QtPrinters.h"
#include "views/SimpleControls.h"

using namespace draw;

namespace {

constexpr TColor kAround = RGBColor(0, 128, 0);
constexpr TColor kFore = clRed;
constexpr TColor kBack = clWhite;
constexpr TColor kBorder = RGBColor(0, 0, 255);

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

std::unique_ptr<TSimplePieGauge> Gauge(int size, TSimplePieGauge::TBorderStyle border, int progress,
                                       bool text) {
    auto gauge = std::make_unique<TSimplePieGauge>();
    gauge->resize(size, size);
    gauge->SetBorderStyle(border);
    gauge->SetColor(kAround);
    gauge->SetForeColor(kFore);
    gauge->SetBackColor(kBack);
    gauge->SetBorderColor(kBorder);
    gauge->SetShowText(text);
    gauge->SetProgress(progress);
    return gauge;
}

}  // namespace

TEST(PieGauge, ANewGaugeHasThePublishedDefaults) {
    TSimplePieGauge gauge;
    EXPECT_EQ(gauge.size(), QSize(100, 100));
    EXPECT_EQ(gauge.property("ShowText").toBool(), true);
    EXPECT_EQ(gauge.property("BorderStyle").value<TSimplePieGauge::TBorderStyle>(),
              TSimplePieGauge::bsSingle);
    EXPECT_EQ(gauge.property("ForeColor").toUInt(), clBlack);
    EXPECT_EQ(gauge.property("BackColor").toUInt(), clWhite);
    EXPECT_EQ(gauge.property("BorderColor").toUInt(), clBlack);
    EXPECT_EQ(gauge.property("MinValue").toInt(), 0);
    EXPECT_EQ(gauge.property("MaxValue").toInt(), 100);
    EXPECT_EQ(gauge.property("Progress").toInt(), 0);
    EXPECT_TRUE(gauge.ParentColor());
    EXPECT_TRUE(gauge.setProperty("Progress", 42));
    EXPECT_EQ(gauge.Progress(), 42);
}

TEST(PieGauge, ProgressStaysInRangeAndPercentDoneTruncates) {
    struct RangeCase {
        int min, max, progress, stored, percent;
    };
    const RangeCase cases[] = {
        {0, 100, 150, 100, 100},
        {0, 100, -5, 0, 0},
        {0, 100, 33, 33, 33},
        {0, 1000, 339, 339, 33},
        {-50, 50, 0, 0, 50},
        {7, 7, 7, 7, 0},                                        // an empty range is 0 percent
        {-2000000000, 2000000000, 1000000000, 1000000000, 75},  // beyond 32-bit products
        {-2147483647, 2147483647, 2147483647, 2147483647, 100},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " " << c.progress);
        TSimplePieGauge gauge;
        gauge.SetMaxValue(std::max(c.max, 100));
        gauge.SetMinValue(c.min);
        gauge.SetMaxValue(c.max);
        gauge.SetProgress(c.progress);
        EXPECT_EQ(gauge.Progress(), c.stored);
        EXPECT_EQ(gauge.PercentDone(), c.percent);
    }
}

TEST(PieGauge, RangeErrorsCarryTheirMessageAndTheRangeDragsProgress) {
    TSimplePieGauge gauge;
    try {
        gauge.SetMinValue(101);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Value must be between -2147483647 and 99"));
    }
    try {
        gauge.SetMaxValue(-1);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Value must be between 1 and 2147483647"));
    }
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);

    gauge.SetMaxValue(2147483647);
    gauge.SetMinValue(2147483647);
    try {
        gauge.SetMaxValue(0);
        FAIL() << "no error";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Value must be between 2147483648 and 2147483647"));
    }

    TSimplePieGauge dragged;
    dragged.SetProgress(10);
    dragged.SetMinValue(40);
    EXPECT_EQ(dragged.Progress(), 40);
    dragged.SetMaxValue(60);
    dragged.SetProgress(100);
    dragged.SetMaxValue(50);
    EXPECT_EQ(dragged.Progress(), 50);
    EXPECT_EQ(dragged.MinValue(), 40);
    EXPECT_EQ(dragged.MaxValue(), 50);
    EXPECT_EQ(dragged.PercentDone(), 100);

    TSimplePieGauge loading;
    loading.SetLoading(true);
    EXPECT_NO_THROW(loading.SetMinValue(500));
    EXPECT_NO_THROW(loading.SetMaxValue(200));
    loading.SetLoading(false);
    EXPECT_EQ(loading.MinValue(), 500);
    EXPECT_EQ(loading.MaxValue(), 200);
}

TEST(PieGauge, RepaintsOnlyWhenThePercentChanges) {
    TSimplePieGauge gauge;
    gauge.SetMaxValue(1000);
    gauge.SetProgress(330);
    gauge.show();
    QApplication::processEvents();
    PaintCounter counter;
    gauge.installEventFilter(&counter);
    QApplication::processEvents();
    counter.paints = 0;

    gauge.SetProgress(331);
    QApplication::processEvents();
    EXPECT_EQ(gauge.Progress(), 331);
    EXPECT_EQ(counter.paints, 0) << "33 percent either way";

    gauge.SetProgress(340);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);

    gauge.SetForeColor(clRed);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2);
    gauge.SetForeColor(clRed);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2) << "the same value again";
}

TEST(PieGaugePixels, TheWedgeGrowsClockwiseFromTwelveInBothBorderStyles) {
    // Sample points of a 32 × 32 gauge, one in each quadrant around (16, 16).
    const QPoint upperRight(23, 9), lowerRight(23, 23), lowerLeft(9, 23), upperLeft(9, 9);
    struct FillCase {
        int percent;
        std::vector<QPoint> filled;
    };
    const FillCase fills[] = {
        {0, {}},
        {25, {upperRight}},
        {50, {upperRight, lowerRight}},
        {75, {upperRight, lowerRight, lowerLeft}},
        {100, {upperRight, lowerRight, lowerLeft, upperLeft}},
    };
    QImage sheet(5 * 40, 2 * 40, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    for (auto border : {TSimplePieGauge::bsNone, TSimplePieGauge::bsSingle}) {
        for (const FillCase& f : fills) {
            SCOPED_TRACE(testing::Message() << f.percent << "% border " << border);
            auto gauge = Gauge(32, border, f.percent, false);
            const QImage image = gauge->grab().toImage();
            ASSERT_EQ(image.size(), QSize(32, 32));
            for (QPoint q : {upperRight, lowerRight, lowerLeft, upperLeft}) {
                const bool filled =
                    std::find(f.filled.begin(), f.filled.end(), q) != f.filled.end();
                EXPECT_EQ(PixelAt(image, q.x(), q.y()), filled ? kFore : kBack)
                    << q.x() << "," << q.y();
            }
            if (border == TSimplePieGauge::bsSingle) {
                // A black frame; the disc spans (1, 1) to (31, 31).
                for (int i = 0; i < 32; ++i) {
                    ASSERT_EQ(PixelAt(image, i, 0), clBlack);
                    ASSERT_EQ(PixelAt(image, i, 31), clBlack);
                    ASSERT_EQ(PixelAt(image, 0, i), clBlack);
                    ASSERT_EQ(PixelAt(image, 31, i), clBlack);
                }
                EXPECT_EQ(PixelAt(image, 1, 1), kAround);
                EXPECT_NE(PixelAt(image, 16, 1), kAround);
                EXPECT_NE(PixelAt(image, 1, 16), kAround);
                EXPECT_NE(PixelAt(image, 16, 30), kAround);
                EXPECT_NE(PixelAt(image, 30, 16), kAround);
            } else {
                // No frame; the disc spans (0, 0) to (32, 32).
                EXPECT_EQ(PixelAt(image, 0, 0), kAround);
                EXPECT_EQ(PixelAt(image, 31, 31), kAround);
                EXPECT_NE(PixelAt(image, 16, 0), kAround);
                EXPECT_NE(PixelAt(image, 0, 16), kAround);
                EXPECT_NE(PixelAt(image, 16, 31), kAround);
                EXPECT_NE(PixelAt(image, 31, 16), kAround);
            }
            const int column = int(&f - fills), row = border == TSimplePieGauge::bsSingle;
            QPainter(&sheet).drawImage(column * 40 + 4, row * 40 + 4, image);
        }
    }
    SavePicture(sheet.scaled(sheet.size() * 4), "gauges-32");
}

TEST(PieGaugePixels, TheTextIsTheInverseOfWhatLiesUnderIt) {
    // 50 percent in black on white: the right half is black, the left half white, and the
    // text "50%" straddles both.
    for (auto border : {TSimplePieGauge::bsNone, TSimplePieGauge::bsSingle}) {
        SCOPED_TRACE(border);
        auto plain = Gauge(48, border, 50, false);
        auto text = Gauge(48, border, 50, true);
        for (auto* g : {plain.get(), text.get()}) {
            g->SetForeColor(clBlack);
            QFont font = g->font();
            font.setPixelSize(14);
            g->setFont(font);
        }
        const QImage without = plain->grab().toImage();
        const QImage with = text->grab().toImage();
        int turnedWhite = 0, turnedBlack = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                const TColor before = PixelAt(without, x, y), after = PixelAt(with, x, y);
                const TColor mask = before ^ after;
                // XOR with a grey level: the same change in every channel.
                ASSERT_EQ(mask & 0xFF, (mask >> 8) & 0xFF) << x << "," << y;
                ASSERT_EQ(mask & 0xFF, (mask >> 16) & 0xFF) << x << "," << y;
                if (border == TSimplePieGauge::bsSingle &&
                    (x == 0 || y == 0 || x == 47 || y == 47)) {
                    ASSERT_EQ(mask, 0u) << "the frame is outside the text's clip";
                }
                // Glyphs are antialiased: their cores turn at least half way over.
                turnedWhite += before == clBlack && (after & 0xFF) >= 0x80;
                turnedBlack += before == clWhite && (after & 0xFF) < 0x80;
            }
        }
        EXPECT_GT(turnedWhite, 10) << "text over the black half shows white";
        EXPECT_GT(turnedBlack, 10) << "text over the white half shows black";
        SavePicture(with.scaled(192, 192), QStringLiteral("gauge-text-%1").arg(int(border)));
    }
    // 0 and 100 percent write "0%" and "100%".
    for (int percent : {0, 100}) {
        auto plain = Gauge(48, TSimplePieGauge::bsSingle, percent, false);
        auto text = Gauge(48, TSimplePieGauge::bsSingle, percent, true);
        EXPECT_NE(plain->grab().toImage(), text->grab().toImage()) << percent;
        SavePicture(text->grab().toImage().scaled(192, 192),
                    QStringLiteral("gauge-text-%1pct").arg(percent));
    }
}

TEST(PieGaugePixels, ParentColourAroundTheDiscAndTBltBitmapMakeLike) {
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(palette);
    auto* gauge = new TSimplePieGauge(&parent);
    gauge->resize(32, 32);
    gauge->SetBorderStyle(TSimplePieGauge::bsNone);
    EXPECT_EQ(gauge->Color(), RGBColor(10, 20, 30));
    EXPECT_EQ(PixelAt(gauge->Compose(), 0, 0), RGBColor(10, 20, 30));
    gauge->SetColor(kAround);
    EXPECT_FALSE(gauge->ParentColor());
    EXPECT_EQ(PixelAt(gauge->Compose(), 0, 0), kAround);

    Bitmap templ(13, 7);
    TBltBitmap like;
    like.MakeLike(templ);
    EXPECT_EQ(like.Width(), 13);
    EXPECT_EQ(like.Height(), 7);
    EXPECT_EQ(CountPixels(like.Image(), ColorToRGB(clWindowFrame)), 13 * 7);
}
