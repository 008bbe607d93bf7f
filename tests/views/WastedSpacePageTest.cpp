// The wasted space page on its own: the seven panels, the highlighted one, the header, the link.
#include "views/WastedSpacePage.h"

#include <QFrame>
#include <QMouseEvent>
#include <QTest>

#include "draw/SystemColors.h"
#include "engine/TextForms.h"
#include "tests/views/PageTestSupport.h"
#include "views/PageParts.h"
#include "views/SimpleControls.h"

namespace {

class WastedSpacePageTest : public PageTest {
protected:
    void ShowWith(engine::TFolderNode* node, int32_t clusterSize) {
        page.Present({node, engine::NodePath(node), u'T', clusterSize, -1, -1});
    }
    int Gauge(int panel) const {
        return Control<TSimplePieGauge>(page, qPrintable(QStringLiteral("WastedInd%1").arg(panel)))
            ->Progress();
    }
    QString Text(int panel) const {
        return Control(page, qPrintable(QStringLiteral("txtWasted%1").arg(panel)))->text();
    }
    // As the page is drawn: the colour of the panel's margin above its caption.
    bool Highlighted(int panel) {
        const QFrame* frame =
            Control<QFrame>(page, qPrintable(QStringLiteral("panWasted%1").arg(panel)));
        page.resize(700, 500);
        const QImage picture = page.grab().toImage();
        const QPoint at = frame->mapTo(&page, QPoint(frame->width() / 2, 2));
        const QColor drawn = picture.pixelColor(at * picture.devicePixelRatio());
        const QColor face = draw::ColorToQColor(draw::clBtnFace);
        EXPECT_NE(face, draw::ColorToQColor(draw::clWindow)) << "the test needs them apart";
        return drawn == face;
    }

    TWastedSpacePage page;
};

}  // namespace

TEST_F(WastedSpacePageTest, EachPanelShowsTheWasteAtItsClusterSize) {
    drive.file("zero/empty", 0);
    drive.file("one/byte", 1);
    drive.file("page/full", 4096);
    const struct {
        const char* folder;
        std::array<int64_t, 7> wasted;
        std::array<int, 7> gauges;
    } cases[] = {
        {"zero", {0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}},
        {"one", {511, 2047, 4095, 8191, 16383, 32767, 65535}, {99, 99, 99, 99, 99, 99, 99}},
        {"page", {0, 0, 0, 4096, 12288, 28672, 61440}, {0, 0, 0, 50, 75, 87, 93}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        ShowWith(Scanned(c.folder), 4096);
        for (int panel = 1; panel <= 7; ++panel) {
            EXPECT_EQ(Text(panel), engine::SizeText(c.wasted[size_t(panel - 1)])) << panel;
            EXPECT_EQ(Gauge(panel), c.gauges[size_t(panel - 1)]) << panel;
        }
    }
    // The cluster-size box changes what the other views show, never this page.
    engine::ClusterSizeChoice = 1;
    ShowWith(Scanned("one"), 4096);
    EXPECT_EQ(Text(7), engine::SizeText(65535));
    EXPECT_EQ(Control(page, "txtWasted7")->toolTip(), QStringLiteral("65,535 bytes"));
}

TEST_F(WastedSpacePageTest, TheDrivesOwnClusterSizeIsHighlighted) {
    drive.file("f/x", 10);
    const struct {
        int32_t clusterSize;
        int highlighted;  // 0: none
    } cases[] = {{4096, 3}, {512, 1}, {65536, 7}, {1024, 0}, {-1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clusterSize);
        ShowWith(Scanned("f"), c.clusterSize);
        for (int panel = 1; panel <= 7; ++panel)
            EXPECT_EQ(Highlighted(panel), panel == c.highlighted) << panel;
    }
    EXPECT_EQ(Control(page, "capWasted3")->toolTip(), QStringLiteral("4196 bytes"));
}

TEST_F(WastedSpacePageTest, AFolderAndADriveRootSpeakOfThemselvesAndTheirHelpTopic) {
    drive.file("f/x", 10);
    QList<int> topics;
    QObject::connect(&page, &TWastedSpacePage::HelpRequested, [&](int topic) { topics << topic; });
    const struct {
        const char* folder;
        const char* amount;
        QString path;
        int topic;
    } cases[] = {
        {"f", "Amount of space wasted by folder (+ subfolders)", drive.path("f"), 3010},
        {"", "Amount of space wasted on drive", engine::DriveDisplayName(drive.root()), 3020},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        ShowWith(Scanned(c.folder), 4096);
        EXPECT_EQ(Control(page, "txtWebWastedAmount")->text(), QLatin1String(c.amount));
        EXPECT_EQ(Control<TPathLabel>(page, "txtWebWastedPath")->Path(), c.path);
        QTest::mouseClick(Control(page, "txtWebReduceWaste"), Qt::LeftButton);
        ASSERT_FALSE(topics.isEmpty());
        EXPECT_EQ(topics.takeLast(), c.topic);
    }
}

TEST_F(WastedSpacePageTest, TheRowsShareOneBorderLineAndStandCentred) {
    drive.file("f/x", 10);
    page.resize(800, 600);
    page.show();
    ShowWith(Scanned("f"), 4096);
    QCoreApplication::processEvents();
    const QWidget* one = Control<QWidget>(page, "panWastedSupport1");
    const QWidget* two = Control<QWidget>(page, "panWastedSupport2");
    const QWidget* area = one->parentWidget();
    EXPECT_EQ(two->y(), one->y() + one->height() - 1);
    EXPECT_LE(std::abs(one->x() - (area->width() - one->width()) / 2), 0);
    EXPECT_LE(std::abs(two->x() - (area->width() - two->width()) / 2), 0);
    EXPECT_GT(one->y(), 0);  // centred from top to bottom in the spare room
}
