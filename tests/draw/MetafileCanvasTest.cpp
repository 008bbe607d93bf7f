// The metafile canvases read back: headers that agree with their records, the records each
// call writes, objects created and freed, text measured and encoded, and saving.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "draw/EmfCanvas.h"
#include "draw/PainterCanvas.h"
#include "draw/WmfCanvas.h"
#include "tests/draw/Metafiles.h"
#include "tests/fixtures/QtPrinters.h"
#include "views/HPieChart.h"

using namespace draw;
using namespace metafiles;

namespace {

struct Format {
    const char* name;
    bool emf;
    std::function<std::unique_ptr<MetafileCanvas>(int, int)> make;
    Metafile (*read)(const QByteArray&);
};

const Format kFormats[] = {
    {"WMF", false, [](int w, int h) { return std::make_unique<WmfCanvas>(w, h); }, ReadWmf},
    {"EMF", true, [](int w, int h) { return std::make_unique<EmfCanvas>(w, h); }, ReadEmf},
};

// A pie of many sections in many colours, each with a label, as the chart page draws it.
void DrawPie(Canvas& canvas, int width, int height, int sections) {
    THPieChart chart(&canvas, width, height);
    chart.BeginUpdate();
    chart.SetColors(clWindow, clBlack, clLime);
    chart.SetLabelColors(clInfoBk, clBlack, clBlack, clYellow, clBlack, clBlack);
    for (int i = 0; i < sections; ++i) {
        chart.AddSection(QStringLiteral("Folder %1").arg(i), RGBColor(10 * i, 255 - 7 * i, 3 * i),
                         360.0 / sections);
    }
    chart.HotIndex = 1;
    chart.EndUpdate();
}

// The records that draw, as their type followed by their parameters read as coordinates.
std::vector<std::vector<int>> Shapes(const Metafile& m, bool emf) {
    const std::vector<std::uint32_t> shapes =
        emf ? std::vector<std::uint32_t>{emf::MoveToEx, emf::LineTo, emf::Rectangle, emf::Ellipse,
                                         emf::Pie}
            : std::vector<std::uint32_t>{wmf::MoveTo, wmf::LineTo, wmf::Rectangle, wmf::Ellipse,
                                         wmf::Pie};
    std::vector<std::vector<int>> found;
    for (const Record& r : m.records) {
        if (std::find(shapes.begin(), shapes.end(), r.type) == shapes.end()) continue;
        std::vector<int> shape{int(r.type)};
        for (qsizetype at = 0; at < r.params.size(); at += emf ? 4 : 2) {
            shape.push_back(emf ? I32(r.params, at) : I16(r.params, at));
        }
        found.push_back(shape);
    }
    return found;
}

// The created objects of one kind, as their parameters after the EMF index.
std::vector<QByteArray> Created(const Metafile& m, std::uint32_t type, bool emf) {
    std::vector<QByteArray> found;
    for (const Record* r : m.Of(type)) found.push_back(emf ? r->params.mid(4) : r->params);
    return found;
}

}  // namespace

TEST(MetafileCanvas, HeadersAgreeWithTheRecordsAndTheObjectTableStaysSmall) {
    struct DrawingCase {
        const char* name;
        int width, height;
        int sections;
        int expectedWidth, expectedHeight;
    };
    const DrawingCase drawings[] = {
        {"nothing drawn", 200, 100, -1, 200, 100},
        {"no size at all", 0, -5, -1, 1, 1},
        {"a pie of 30 labelled sections", 400, 300, 30, 400, 300},
        {"a wide pie of 3", 1200, 250, 3, 1200, 250},
    };
    for (const Format& format : kFormats) {
        for (const DrawingCase& d : drawings) {
            SCOPED_TRACE(testing::Message() << format.name << ", " << d.name);
            auto canvas = format.make(d.width, d.height);
            if (d.sections >= 0) DrawPie(*canvas, d.width, d.height, d.sections);
            const Metafile m = format.read(canvas->Bytes());
            EXPECT_EQ(m.width, d.expectedWidth);
            EXPECT_EQ(m.height, d.expectedHeight);
            // Pen, brush and font, and the next one of a kind before the last is deleted.
            EXPECT_LE(m.objects.highest, format.emf ? 4u : 3u);
            if (d.sections > 0) {
                EXPECT_GE(m.objects.created.size(), size_t(d.sections));
                EXPECT_EQ(m.Of(format.emf ? emf::ExtTextOutW : wmf::ExtTextOut).size(),
                          size_t(d.sections) + 1)
                    << "every label, and the hot one again";
            }
        }
    }
}

TEST(MetafileCanvas, AWmfKeepsTheWindowAndTheTransparentTextBackground) {
    WmfCanvas wmfCanvas(320, 200);
    const Metafile w = ReadWmf(wmfCanvas.Bytes());
    ASSERT_EQ(w.records.size(), 5u);
    EXPECT_EQ(w.records[0].type, wmf::SetMapMode);
    EXPECT_EQ(U16(w.records[0].params, 0), 8u) << "anisotropic";
    EXPECT_EQ(w.records[1].type, wmf::SetWindowOrg);
    EXPECT_EQ(w.records[1].params, QByteArray(4, '\0'));
    EXPECT_EQ(w.records[2].type, wmf::SetWindowExt);
    EXPECT_EQ(I16(w.records[2].params, 0), 200) << "height first";
    EXPECT_EQ(I16(w.records[2].params, 2), 320);
    EXPECT_EQ(w.records[3].type, wmf::SetBkMode);
    EXPECT_EQ(U16(w.records[3].params, 0), 1u) << "transparent";

    EmfCanvas emfCanvas(320, 200);
    const Metafile e = ReadEmf(emfCanvas.Bytes());
    ASSERT_EQ(e.records.size(), 3u);
    EXPECT_EQ(e.records[1].type, emf::SetBkMode);
    EXPECT_EQ(U32(e.records[1].params, 0), 1u) << "transparent";
}

TEST(MetafileCanvas, EachShapeIsOneRecordWithTheCallsCoordinates) {
    struct ShapeCase {
        const char* name;
        std::function<void(Canvas&)> draw;
        std::vector<std::vector<int>> wmf, emf;  // type, then the parameters in file order
    };
    using namespace metafiles::wmf;
    namespace e = metafiles::emf;
    const ShapeCase cases[] = {
        {"Rectangle, corners swapped",
         [](Canvas& c) { c.Rectangle(12, 10, 2, 3); },
         {{Rectangle, 10, 12, 3, 2}},
         {{e::Rectangle, 2, 3, 12, 10}}},
        {"FillRect",
         [](Canvas& c) {
             c.FillRect({2, 3, 12, 10});
         },
         {{Rectangle, 10, 12, 3, 2}},
         {{e::Rectangle, 2, 3, 12, 10}}},
        {"Ellipse",
         [](Canvas& c) { c.Ellipse(2, 3, 12, 10); },
         {{Ellipse, 10, 12, 3, 2}},
         {{e::Ellipse, 2, 3, 12, 10}}},
        {"Pie, 3 to 12 o'clock",
         [](Canvas& c) { c.Pie(0, 0, 40, 40, 40, 20, 20, 0); },
         {{Pie, 0, 20, 20, 40, 40, 40, 0, 0}},
         {{e::Pie, 0, 0, 40, 40, 40, 20, 20, 0}}},
        {"Pie, box corners swapped",
         [](Canvas& c) { c.Pie(40, 40, 0, 0, 20, 0, 40, 20); },
         {{Pie, 20, 40, 0, 20, 40, 40, 0, 0}},
         {{e::Pie, 0, 0, 40, 40, 20, 0, 40, 20}}},
        {"Pie, equal points: the whole ellipse",
         [](Canvas& c) { c.Pie(0, 0, 40, 40, 20, 0, 20, 0); },
         {{Ellipse, 40, 40, 0, 0}},
         {{e::Ellipse, 0, 0, 40, 40}}},
        {"Pie, radials the same way: the whole ellipse",
         [](Canvas& c) { c.Pie(0, 0, 40, 40, 20, 0, 20, 6); },
         {{Ellipse, 40, 40, 0, 0}},
         {{e::Ellipse, 0, 0, 40, 40}}},
        {"Pie, radials opposite",
         [](Canvas& c) { c.Pie(0, 0, 40, 40, 20, 0, 20, 40); },
         {{Pie, 40, 20, 0, 20, 40, 40, 0, 0}},
         {{e::Pie, 0, 0, 40, 40, 20, 0, 20, 40}}},
        {"lines: a move only where a line starts",
         [](Canvas& c) {
             c.MoveTo(5, 5);
             c.MoveTo(1, 2);
             c.LineTo(30, -5);
             c.LineTo(7, 8);
             c.SetPenColor(clRed);
             c.MoveTo(7, 8);
             c.LineTo(0, 0);
             c.MoveTo(9, 9);
         },
         {{MoveTo, 2, 1}, {LineTo, -5, 30}, {LineTo, 8, 7}, {LineTo, 0, 0}},
         {{e::MoveToEx, 1, 2}, {e::LineTo, 30, -5}, {e::LineTo, 7, 8}, {e::LineTo, 0, 0}}},
        {"a line from where a reader starts",
         [](Canvas& c) { c.LineTo(3, 4); },
         {{LineTo, 4, 3}},
         {{e::LineTo, 3, 4}}},
        {"coordinates beyond 16 bits",
         [](Canvas& c) {
             c.MoveTo(40000, -40000);
             c.LineTo(0, 0);
         },
         {{MoveTo, -32768, 32767}, {LineTo, 0, 0}},
         {{e::MoveToEx, 40000, -40000}, {e::LineTo, 0, 0}}},
        {"empty boxes and a clear brush draw nothing",
         [](Canvas& c) {
             c.Rectangle(5, 5, 5, 9);
             c.FillRect({5, 5, 4, 9});
             c.Ellipse(5, 5, 9, 5);
             c.Pie(5, 5, 9, 5, 0, 0, 1, 1);
             c.SetBrushStyle(BrushStyle::Clear);
             c.FillRect({0, 0, 10, 10});
         },
         {},
         {}},
        {"pixels are not written",
         [](Canvas& c) {
             Bitmap source(10, 10);
             c.CopyRect({0, 0, 10, 10}, source.Canvas(), {0, 0, 10, 10});
             c.Draw(0, 0, source.Image());
             EXPECT_TRUE(c.Grab({0, 0, 10, 10}).isNull());
         },
         {},
         {}},
    };
    for (const Format& format : kFormats) {
        for (const ShapeCase& shape : cases) {
            SCOPED_TRACE(testing::Message() << format.name << ", " << shape.name);
            auto canvas = format.make(50, 50);
            shape.draw(*canvas);
            EXPECT_EQ(Shapes(format.read(canvas->Bytes()), format.emf),
                      format.emf ? shape.emf : shape.wmf);
        }
    }
}

TEST(MetafileCanvas, PensAndBrushesFollowTheCanvasWithColoursResolved) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        const std::uint32_t pens = format.emf ? emf::CreatePen : wmf::CreatePen;
        const std::uint32_t brushes = format.emf ? emf::CreateBrush : wmf::CreateBrush;
        const std::uint32_t selects = format.emf ? emf::SelectObject : wmf::SelectObject;
        auto canvas = format.make(50, 50);
        canvas->SetPenColor(RGBColor(0x12, 0x34, 0x56));
        canvas->SetBrushColor(clWindow);
        canvas->Rectangle(0, 0, 10, 10);
        canvas->Ellipse(0, 0, 10, 10);  // the same pen and brush: no new objects
        Metafile m = format.read(canvas->Bytes());
        ASSERT_EQ(m.Of(pens).size(), 1u);
        ASSERT_EQ(m.Of(brushes).size(), 1u);
        const QByteArray pen = Created(m, pens, format.emf)[0];
        const QByteArray brush = Created(m, brushes, format.emf)[0];
        // Pen: style solid, 1 pixel wide, then the colour as bytes red, green, blue, 0.
        EXPECT_EQ(format.emf ? U32(pen, 0) : U16(pen, 0), 0u);
        EXPECT_EQ(format.emf ? I32(pen, 4) : I16(pen, 2), 1);
        EXPECT_EQ(pen.mid(format.emf ? 12 : 6, 4), QByteArray("\x12\x34\x56\x00", 4));
        // Brush: style solid, the window colour as the palette has it.
        EXPECT_EQ(format.emf ? U32(brush, 0) : U16(brush, 0), 0u);
        EXPECT_EQ(U32(brush, format.emf ? 4 : 2), ColorToRGB(clWindow));
        EXPECT_EQ(m.Of(selects).size(), 2u);

        // FillRect draws with no pen; a clear brush fills nothing.
        canvas->SetBrushColor(clRed);
        canvas->FillRect({0, 0, 5, 5});
        canvas->SetBrushStyle(BrushStyle::Clear);
        canvas->Rectangle(0, 0, 10, 10);
        m = format.read(canvas->Bytes());
        const auto selected = m.Of(selects);
        ASSERT_EQ(selected.size(), 6u);
        if (format.emf) {
            EXPECT_EQ(U32(selected[2]->params, 0), 0x80000008u) << "stock null pen";
            EXPECT_EQ(U32(selected[3]->params, 0), U32(m.Of(brushes)[1]->params, 0));
            EXPECT_EQ(U32(selected[5]->params, 0), 0x80000005u) << "stock null brush";
            ASSERT_EQ(m.Of(pens).size(), 2u);
            EXPECT_EQ(U32(m.Of(brushes)[1]->params, 8), ColorToRGB(clRed));
        } else {
            const auto created = Created(m, pens, false);
            ASSERT_EQ(created.size(), 3u);
            EXPECT_EQ(U16(created[1], 0), 5u) << "null pen";
            EXPECT_EQ(U16(created[2], 0), 0u);
            const auto madeBrushes = Created(m, brushes, false);
            ASSERT_EQ(madeBrushes.size(), 3u);
            EXPECT_EQ(U32(madeBrushes[1], 2), ColorToRGB(clRed));
            EXPECT_EQ(U16(madeBrushes[2], 0), 1u) << "null brush";
        }
    }
}

TEST(MetafileCanvas, AFreedObjectIndexIsTakenByTheNextObject) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        auto canvas = format.make(50, 50);
        for (TColor color : {clRed, clLime, clAqua, clYellow}) {
            canvas->SetBrushColor(color);
            canvas->Rectangle(0, 0, 10, 10);
        }
        const Metafile m = format.read(canvas->Bytes());
        // The pen, then brushes: each new brush is selected before the one before is deleted,
        // and takes the lowest index free.
        const std::vector<std::uint32_t> expected = format.emf
                                                        ? std::vector<std::uint32_t>{1, 2, 3, 2, 3}
                                                        : std::vector<std::uint32_t>{0, 1, 2, 1, 2};
        EXPECT_EQ(m.objects.created, expected);
        EXPECT_EQ(m.Of(format.emf ? emf::DeleteObject : wmf::DeleteObject).size(), 3u);
    }
}

TEST(MetafileCanvas, MeasuresTextAsTheScreenDoes) {
    QFont bold(QStringLiteral("DejaVu Sans"), 11);
    bold.setBold(true);
    QFont pixels(QStringLiteral("DejaVu Serif"));
    pixels.setPixelSize(17);
    const QFont fonts[] = {QFont(), bold, pixels};
    const QString texts[] = {"", "Program Files", "Café 12.5 MB", "WWW iii"};
    Bitmap screen(10, 10);
    WmfCanvas wmfCanvas(10, 10);
    EmfCanvas emfCanvas(10, 10);
    for (const QFont& font : fonts) {
        screen.Canvas().SetFont(font);
        wmfCanvas.SetFont(font);
        emfCanvas.SetFont(font);
        for (const QString& text : texts) {
            SCOPED_TRACE(testing::Message()
                         << font.family().toStdString() << ": " << text.toStdString());
            EXPECT_EQ(wmfCanvas.TextWidth(text), screen.Canvas().TextWidth(text));
            EXPECT_EQ(emfCanvas.TextWidth(text), screen.Canvas().TextWidth(text));
            EXPECT_EQ(wmfCanvas.TextHeight(text), screen.Canvas().TextHeight(text));
            EXPECT_EQ(emfCanvas.TextHeight(text), screen.Canvas().TextHeight(text));
        }
    }
}

TEST(MetafileCanvas, TextGoesWithItsFontColourAndAdvances) {
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    font.setBold(true);
    const QFont inPixels = CanvasPixelFont(font);
    const QString face = QFontInfo(inPixels).family();
    struct TextCase {
        QString text;
        QByteArray wmfBytes;  // Windows-1252
    };
    const TextCase cases[] = {
        {"Folder 1", "Folder 1"},
        {"Café – 5 €", "Caf\xE9 \x96 5 \x80"},
        {QString::fromUtf8("Ωmega"), "?mega"},
        {QString::fromUtf8("a\U0001F600b"), "a?b"},  // a pair of UTF-16 units is one character
    };
    for (const Format& format : kFormats) {
        for (const TextCase& c : cases) {
            SCOPED_TRACE(testing::Message() << format.name << ": " << c.text.toStdString());
            auto canvas = format.make(200, 50);
            canvas->SetFont(font);
            canvas->SetFontColor(clHighlight);
            canvas->SetBrushStyle(BrushStyle::Clear);
            canvas->TextOut(10, 20, c.text);
            const Metafile m = format.read(canvas->Bytes());
            EXPECT_TRUE(Shapes(m, format.emf).empty()) << "a clear brush fills nothing";
            const int width = canvas->TextWidth(c.text);
            int sum = 0;
            if (format.emf) {
                ASSERT_EQ(m.Of(emf::ExtTextOutW).size(), 1u);
                const EmfText t = ReadEmfText(*m.Of(emf::ExtTextOutW)[0]);
                EXPECT_EQ(QPoint(t.x, t.y), QPoint(10, 20));
                EXPECT_EQ(t.text, c.text);
                for (int dx : t.dx) sum += dx;
                if (c.text.size() == 4) {
                    EXPECT_EQ(t.dx[2], 0) << "second unit of a pair";
                }
            } else {
                ASSERT_EQ(m.Of(wmf::ExtTextOut).size(), 1u);
                const WmfText t = ReadWmfText(*m.Of(wmf::ExtTextOut)[0]);
                EXPECT_EQ(QPoint(t.x, t.y), QPoint(10, 20));
                EXPECT_EQ(t.bytes, c.wmfBytes);
                for (int dx : t.dx) sum += dx;
            }
            EXPECT_EQ(sum, width) << "the advances add up to the measured width";

            const auto colours = m.Of(format.emf ? emf::SetTextColor : wmf::SetTextColor);
            ASSERT_EQ(colours.size(), 1u);
            EXPECT_EQ(U32(colours[0]->params, 0), ColorToRGB(clHighlight));
            const auto fonts = m.Of(format.emf ? emf::CreateFont : wmf::CreateFont);
            ASSERT_EQ(fonts.size(), 1u);
            const QByteArray& f = fonts[0]->params;
            if (format.emf) {
                EXPECT_EQ(f.size(), 332 - 8);
                EXPECT_EQ(I32(f, 4), -inPixels.pixelSize()) << "the em height";
                EXPECT_EQ(I32(f, 20), 700) << "bold";
                QString name;
                for (int i = 0; i < 32 && U16(f, 32 + 2 * i); ++i) {
                    name.append(QChar(char16_t(U16(f, 32 + 2 * i))));
                }
                EXPECT_EQ(name, face);
            } else {
                EXPECT_EQ(f.size(), 28 * 2 - 6);
                EXPECT_EQ(I16(f, 0), -inPixels.pixelSize()) << "the em height";
                EXPECT_EQ(I16(f, 8), 700) << "bold";
                EXPECT_EQ(QString::fromLatin1(f.mid(18, 32).constData()), face);
            }
        }
    }
}

TEST(MetafileCanvas, TextOnASolidBrushFillsItsExtentAndTextRectKeepsToTheClip) {
    const QString text = QStringLiteral("ABCDEF");
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        const std::uint32_t texts = format.emf ? emf::ExtTextOutW : wmf::ExtTextOut;
        const std::uint32_t rectangle = format.emf ? emf::Rectangle : wmf::Rectangle;
        auto canvas = format.make(200, 50);
        canvas->SetBrushColor(clYellow);
        const int w = canvas->TextWidth(text), h = canvas->TextHeight(text);
        canvas->TextOut(10, 20, text);
        Metafile m = format.read(canvas->Bytes());
        EXPECT_EQ(Shapes(m, format.emf),
                  (std::vector<std::vector<int>>{
                      format.emf ? std::vector<int>{int(rectangle), 10, 20, 10 + w, 20 + h}
                                 : std::vector<int>{int(rectangle), 20 + h, 10 + w, 20, 10}}));
        ASSERT_EQ(m.Of(texts).size(), 1u);

        // Characters B to D lie wholly inside the clip; A and E only partly.
        const int b = canvas->TextWidth("A"), e = canvas->TextWidth("ABCDE");
        auto clipped = format.make(200, 50);
        clipped->SetBrushStyle(BrushStyle::Clear);
        clipped->TextRect({10 + b - 1, 0, 10 + e - 1, 50}, 10, 20, text);
        m = format.read(clipped->Bytes());
        ASSERT_EQ(m.Of(texts).size(), 1u);
        if (format.emf) {
            const EmfText t = ReadEmfText(*m.Of(texts)[0]);
            EXPECT_EQ(t.text, QStringLiteral("BCD"));
            EXPECT_EQ(t.x, 10 + b);
        } else {
            const WmfText t = ReadWmfText(*m.Of(texts)[0]);
            EXPECT_EQ(t.bytes, QByteArray("BCD"));
            EXPECT_EQ(t.x, 10 + b);
        }
        // A clip lower than the text's top leaves no character whole.
        auto below = format.make(200, 50);
        below->SetBrushColor(clYellow);
        below->TextRect({0, 25, 200, 50}, 10, 20, text);
        m = format.read(below->Bytes());
        EXPECT_TRUE(m.Of(texts).empty());
        EXPECT_EQ(Shapes(m, format.emf).size(), 1u) << "the clipped part of the extent is filled";
    }
}

TEST(MetafileCanvas, SaveToFileWritesTheBytesAndReportsAFailure) {
    QTemporaryDir dir;
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        auto canvas = format.make(300, 200);
        DrawPie(*canvas, 300, 200, 5);
        const QString path = dir.filePath(QStringLiteral("pie.%1").arg(format.name));
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));  // longer than the picture: must not remain
        old.close();
        canvas->SaveToFile(path);
        QFile saved(path);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(), canvas->Bytes());

        const QString failing[] = {
            dir.filePath(QStringLiteral("missing/pie.wmf")),  // no such folder
            dir.path(),                                       // a folder
            QStringLiteral("/dev/full"),                      // a full disk
        };
        for (const QString& target : failing) {
            if (target.startsWith("/dev/") && !QFile::exists(target)) continue;
            SCOPED_TRACE(target.toStdString());
            try {
                canvas->SaveToFile(target);
                ADD_FAILURE() << "no error reported";
            } catch (const EMetafileWriteError& error) {
                EXPECT_TRUE(QString::fromStdString(error.what()).contains(target)) << error.what();
            }
        }
    }
}
