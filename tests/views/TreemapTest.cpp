// The treemap: what its layout must hold on small trees (areas as the sizes say, no overlaps,
// every tile in its folder, small ones merged), and the window's zoom, hover and pictures.
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include "engine/FolderTree.h"
#include "tests/views/Inkscape.h"
#include "tests/views/PageTestSupport.h"
#include "views/TreemapBox.h"
#include "views/TreemapLayout.h"

using TKind = TTreemapTile::TKind;

namespace {

class TreemapTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        for (const auto& [name, bytes] :
             std::initializer_list<std::pair<const char*, int>>{{"a/big.iso", 400'000},
                                                                {"a/b/c/deep.mkv", 300'000},
                                                                {"a/b/photo.jpg", 100'000},
                                                                {"d/notes.txt", 150'000},
                                                                {"d/code.cpp", 50'000}})
            testing_support::WriteFile(drive.host(name), QByteArray(bytes, 'x'));
        for (int i = 0; i < 40; ++i)  // too small to be seen one by one
            testing_support::WriteFile(drive.host(QStringLiteral("d/tiny%1").arg(i)), "t");
        root = Scanned("");
    }
    // The folder tile of a node in a layout.
    static const TTreemapTile* FrameOf(const std::vector<TTreemapTile>& tiles,
                                       const engine::TFolderNode* folder) {
        for (const TTreemapTile& tile : tiles)
            if (tile.Folder == folder && (tile.Kind == TKind::Folder || tile.Kind == TKind::Solid))
                return &tile;
        return nullptr;
    }

    engine::TFolderNode* root = nullptr;
};

}  // namespace

TEST_F(TreemapTest, TheLayoutHoldsWhatATreemapMust) {
    const QRectF area(0, 0, 600, 400);
    // By length the 40 one-byte files are too small to see; on the disk each takes a block.
    const struct {
        bool onDisk;
        int files, small;
    } cases[] = {{false, 5, 1}, {true, 45, 0}};
    for (const auto& [onDisk, expectedFiles, expectedSmall] : cases) {
        SCOPED_TRACE(onDisk);
        const std::vector<TTreemapTile> tiles = LayOutTreemap(root, area, onDisk);
        ASSERT_FALSE(tiles.empty());
        EXPECT_EQ(tiles[0].Rect, area);
        EXPECT_EQ(tiles[0].Folder, root);
        int files = 0, small = 0;
        for (size_t i = 1; i < tiles.size(); ++i) {
            const TTreemapTile& tile = tiles[i];
            // Inside its folder's frame, within the frame's border.
            const engine::TFolderNode* holder =
                tile.Kind == TKind::Folder || tile.Kind == TKind::Solid ? tile.Folder->Parent()
                                                                        : tile.Folder;
            const TTreemapTile* frame = FrameOf(tiles, holder);
            ASSERT_NE(frame, nullptr);
            const QRectF inner =
                frame->Rect.adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
            EXPECT_TRUE(inner.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(tile.Rect)) << i;
            EXPECT_EQ(tile.Depth, frame->Depth + 1);
            // No two tiles of one folder overlap.
            for (size_t j = i + 1; j < tiles.size(); ++j) {
                const TTreemapTile& other = tiles[j];
                const engine::TFolderNode* otherHolder =
                    other.Kind == TKind::Folder || other.Kind == TKind::Solid
                        ? other.Folder->Parent()
                        : other.Folder;
                if (otherHolder != holder) continue;
                const QRectF overlap = tile.Rect & other.Rect;
                EXPECT_LT(overlap.width() * overlap.height(), 1e-6) << i << ' ' << j;
            }
            files += tile.Kind == TKind::File;
            small += tile.Kind == TKind::Small;
        }
        EXPECT_EQ(files, expectedFiles);
        EXPECT_EQ(small, expectedSmall);

        // Within a folder, areas are to one another as the sizes are.
        const engine::TFolderNode* d = engine::FindNodeByPath(root, "d", true);
        std::vector<const TTreemapTile*> inD;
        for (const TTreemapTile& tile : tiles)
            if (tile.Folder == d && tile.Kind != TKind::Folder) inD.push_back(&tile);
        ASSERT_EQ(inD.size(), size_t(2 + expectedSmall + (expectedFiles - 5)));
        const auto area = [](const TTreemapTile* t) { return t->Rect.width() * t->Rect.height(); };
        for (const TTreemapTile* a : inD)
            for (const TTreemapTile* b : inD)
                EXPECT_NEAR(area(a) / area(b), double(a->Size) / double(b->Size),
                            0.01 * double(a->Size) / double(b->Size));
        int64_t sizes = 0;
        double areas = 0;
        for (const TTreemapTile* t : inD) sizes += t->Size, areas += area(t);
        const TTreemapTile* frame = FrameOf(tiles, d);
        const QRectF inner = frame->Rect.adjusted(1, 1, -1, -1);
        EXPECT_NEAR(areas, inner.width() * inner.height(), 1e-3);
        EXPECT_EQ(sizes, onDisk ? d->Record()->TreeOnDisk : d->Record()->TreeSize);
    }
}

TEST_F(TreemapTest, AFolderTooSmallForItsContentIsOneSolidTile) {
    const std::vector<TTreemapTile> tiles = LayOutTreemap(root, QRectF(0, 0, 12, 8), false);
    for (const TTreemapTile& tile : tiles) {
        EXPECT_GE(tile.Rect.width() * tile.Rect.height(), kSmallestTileArea - 1e-9);
        if (tile.Kind == TKind::Solid) {
            EXPECT_TRUE(tile.Rect.width() - 2 * kFrameWidth < kSmallestTileSide ||
                        tile.Rect.height() - 2 * kFrameWidth < kSmallestTileSide);
        }
    }
    EXPECT_TRUE(LayOutTreemap(root, QRectF(), false).empty());
    EXPECT_TRUE(LayOutTreemap(nullptr, QRectF(0, 0, 10, 10), false).empty());
}

TEST_F(TreemapTest, TheWindowZoomsTellsAndDraws) {
    TTreemapBox box;
    box.View->resize(400, 300);
    box.Fill(root, false);
    ASSERT_FALSE(box.Tiles().empty());
    // The largest file below: its tile tells its path, size and type.
    const auto tileOf = [&](const QString& name) {
        for (const TTreemapTile& tile : box.Tiles())
            if (tile.Kind == TKind::File &&
                engine::FileStoreOf(tile.Folder)
                        ->Name(engine::FileStoreOf(tile.Folder)->At(tile.File)) == name)
                return tile;
        ADD_FAILURE() << name.toStdString();
        return TTreemapTile{};
    };
    const TTreemapTile deep = tileOf("deep.mkv");
    EXPECT_EQ(box.TextAt(deep.Rect.center()),
              drive.path("a\\b\\c\\deep.mkv") + " - 293 KB - Videos (.mkv)");

    // A double click goes one folder down towards the tile, Backspace back up.
    QTest::mouseDClick(box.View, Qt::LeftButton, {}, deep.Rect.center().toPoint());
    EXPECT_EQ(box.Shown(), engine::FindNodeByPath(root, "a", true));
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.Shown(), root);
    box.btnUp->click();  // at the drive's root: nothing above
    EXPECT_EQ(box.Shown(), root);
    QString selected;
    box.SetSelectFolder([&](const QString& path) { selected = path; });
    QTest::mouseClick(box.View, Qt::LeftButton, {}, tileOf("notes.txt").Rect.center().toPoint());
    EXPECT_EQ(selected, drive.path("d"));

    // The picture and its SVG: one rectangle a tile drawn.
    EXPECT_EQ(box.Picture().size(), box.View->size());
    EXPECT_EQ(box.Picture().pixelColor(deep.Rect.center().toPoint()).red() >
                  box.Picture().pixelColor(deep.Rect.center().toPoint()).blue(),
              true);  // a video is red
    const QByteArray svg = box.Svg();
    EXPECT_TRUE(svg.startsWith("<?xml"));
    EXPECT_TRUE(svg.trimmed().endsWith("</svg>"));
    // The background, then each tile wider and higher than its rounding.
    EXPECT_GT(svg.count("<rect "), qsizetype(box.Tiles().size()) / 2);
    EXPECT_LE(svg.count("<rect "), qsizetype(box.Tiles().size()) + 1);
}

TEST_F(TreemapTest, TheSvgExportLooksLikeTheWindowInInkscape) {
    if (QStandardPaths::findExecutable("inkscape").isEmpty()) GTEST_SKIP() << "no inkscape here";
    TTreemapBox box;
    box.View->resize(300, 200);
    box.Fill(root, false);
    testing_support::TempTree out;
    const QString svg = out.host("treemap.svg");
    testing_support::WriteFile(svg, box.Svg());
    ASSERT_EQ(RenderWithInkscape({svg}, out.host("home")), QString());
    const QImage rendered(out.host("treemap.png"));
    ASSERT_EQ(rendered.size(), box.Picture().size());
    int compared = 0;
    for (const TTreemapTile& tile : box.Tiles()) {
        if (tile.Rect.width() < 10 || tile.Rect.height() < 10) continue;
        // Inside the tile, off its edges: the same colour within the gradients' rendering.
        const QPoint at = tile.Rect.center().toPoint();
        const QColor a = rendered.pixelColor(at), b = box.Picture().pixelColor(at);
        EXPECT_LE(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                      std::abs(a.blue() - b.blue()),
                  40)
            << at.x() << ',' << at.y();
        ++compared;
    }
    EXPECT_GE(compared, 4);
}
