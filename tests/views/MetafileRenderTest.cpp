// The metafiles as a real reader draws them: inkscape renders the pie chart's WMF and EMF to
// PNG, and each wedge, the background and the labels are where the screen drawing has them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "draw/EmfCanvas.h"
#include "draw/PainterCanvas.h"
#include "draw/WmfCanvas.h"
#include "tests/fixtures/Pictures.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/views/Inkscape.h"
#include "views/HPieChart.h"

using namespace draw;

namespace {

constexpr int kWidth = 420, kHeight = 300;

struct Section {
    const char* text;
    double angle;
    TColor color;
};

// The pie chart page's drawing: system colours for the background and the label boxes.
void DrawChart(THPieChart& chart, const std::vector<Section>& sections) {
    chart.BeginUpdate();
    chart.CloseLastSection = true;
    chart.SetColors(clWindow, clBlack, clLime);
    chart.SetLabelColors(clInfoBk, clBlack, clBlack, clYellow, clBlack, clBlack);
    for (const Section& s : sections) chart.AddSection(QString::fromUtf8(s.text), s.color, s.angle);
    chart.EndUpdate();
}

struct Rendered {
    const char* name;
    QImage image;
};

}  // namespace

TEST(MetafileRendering, InkscapeDrawsTheWedgesLabelsAndBackgroundAsTheScreenDoes) {
    if (QStandardPaths::findExecutable(QStringLiteral("inkscape")).isEmpty()) {
        GTEST_SKIP() << "inkscape is not installed (scripts/setup-deps.sh installs it)";
    }
    const std::vector<Section> several = {
        {"Documents", 100, RGBColor(220, 40, 40)}, {"Music", 75, RGBColor(40, 60, 220)},
        {"Photos", 60, RGBColor(250, 160, 20)},    {"Vidéos", 45, RGBColor(150, 60, 200)},
        {"Files in this folder", 50, clAqua},      {"Other", 30, RGBColor(120, 120, 120)},
    };
    const std::vector<Section> whole = {{"Everything", 360, RGBColor(200, 30, 120)}};
    struct Picture {
        const char* name;
        std::vector<Section> sections;
    };
    const Picture pictures[] = {{"pie", several}, {"whole", whole}};

    QTemporaryDir dir;
    QStringList files;
    for (const Picture& picture : pictures) {
        for (bool emf : {false, true}) {
            std::unique_ptr<MetafileCanvas> canvas;
            if (emf) {
                canvas = std::make_unique<EmfCanvas>(kWidth, kHeight);
            } else {
                canvas = std::make_unique<WmfCanvas>(kWidth, kHeight);
            }
            THPieChart chart(canvas.get(), kWidth, kHeight);
            DrawChart(chart, picture.sections);
            files << dir.filePath(
                QStringLiteral("%1-%2.%2").arg(picture.name, emf ? "emf" : "wmf"));
            canvas->SaveToFile(files.back());
            // Kept beside the pictures, for a person to open in other readers.
            QDir pictures(QCoreApplication::applicationDirPath());
            pictures.mkpath(QStringLiteral("pictures"));
            canvas->SaveToFile(pictures.filePath(QStringLiteral("pictures/metafile-") +
                                                 QFileInfo(files.back()).fileName()));
        }
    }
    const QString failure = RenderWithInkscape(files, dir.filePath(QStringLiteral("home")));
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();

    int file = 0;
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.name);
        Bitmap screen(kWidth, kHeight);
        THPieChart chart(&screen.Canvas(), kWidth, kHeight);
        DrawChart(chart, picture.sections);
        SavePicture(screen.Image(), QStringLiteral("metafile-%1-screen").arg(picture.name));

        std::vector<Rendered> rendered{{"screen", screen.Image()}};
        for (const char* format : {"wmf", "emf"}) {
            QString png = files[file++];
            png.replace(png.size() - 3, 3, QStringLiteral("png"));
            ASSERT_TRUE(QFile::exists(png)) << "inkscape wrote no " << png.toStdString();
            const QImage image(png);
            ASSERT_FALSE(image.isNull()) << png.toStdString();
            SavePicture(image, QStringLiteral("metafile-%1-%2").arg(picture.name, format));
            // The placeable header's box is read by inkscape as inclusive: one more pixel each
            // way, with the picture's pixels where they are.
            const QSize size =
                QString(format) == "wmf" ? QSize(kWidth + 1, kHeight + 1) : QSize(kWidth, kHeight);
            EXPECT_EQ(image.size(), size) << format;
            rendered.push_back({format, image});
        }

        const QPoint centre = chart.Center();
        const int r = chart.Radius();
        for (const Rendered& image : rendered) {
            SCOPED_TRACE(image.name);
            EXPECT_EQ(PixelAt(image.image, 4, kHeight - 4), ColorToRGB(clWindow)) << "background";
            EXPECT_EQ(PixelAt(image.image, centre.x() + r + 3, centre.y()), ColorToRGB(clWindow))
                << "just outside the disc";
            // The middle of each wedge, halfway out.
            double from = 0;
            for (const Section& s : picture.sections) {
                const QPoint probe = centre - chart.PointOnCircle(from + s.angle / 2, r / 2, false);
                EXPECT_EQ(PixelAt(image.image, probe.x(), probe.y()), s.color)
                    << s.text << " at " << probe.x() << "," << probe.y();
                from += s.angle;
            }
            if (picture.sections.size() == 1) {
                for (double angle : {45, 135, 225, 315}) {
                    const QPoint probe = centre - chart.PointOnCircle(angle, r * 3 / 4, false);
                    EXPECT_EQ(PixelAt(image.image, probe.x(), probe.y()), picture.sections[0].color)
                        << "whole disc at " << angle;
                }
            }
            // Each label box: its background, and dark text inside its extent, hanging below the
            // given point as on the screen.
            for (int i = 0; i < chart.Count(); ++i) {
                const TPieSection& section = *chart.GetSection(i);
                const QPoint at = section.LabelPos;
                const int tw = screen.Canvas().TextWidth(section.Text);
                const int th = screen.Canvas().TextHeight(section.Text);
                SCOPED_TRACE(section.Text.toStdString());
                EXPECT_EQ(PixelAt(image.image, at.x() - 2, at.y()), ColorToRGB(clInfoBk));
                QRect ink;
                for (int y = at.y() - 1; y < at.y() + th + 1; ++y) {
                    for (int x = at.x() - 3; x < at.x() + tw + 3; ++x) {
                        // The disc's outline is drawn last, over the labels it crosses.
                        if (std::abs(std::hypot(x - centre.x(), y - centre.y()) - r) < 2) continue;
                        const QColor c(image.image.pixel(x, y));
                        if (c.red() + c.green() + c.blue() < 200) ink |= QRect(x, y, 1, 1);
                    }
                }
                ASSERT_FALSE(ink.isNull()) << "no text";
                EXPECT_GE(ink.top(), at.y()) << "text begins below its point";
                EXPECT_LE(ink.bottom(), at.y() + th);
                EXPECT_GE(ink.left(), at.x() - 1);
                EXPECT_LE(ink.right(), at.x() + tw + 1);
                EXPECT_GE(ink.width(), tw * 3 / 4) << "text spans its measured width";
            }
        }
    }
}
