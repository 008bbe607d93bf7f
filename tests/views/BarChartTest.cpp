// The tree bar chart window on its own: the rows and their bars, the texts, the keys that close
// it, its columns when it is resized, and its settings from one run to the next.
#include "views/FormBarChart.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QTest>
#include <memory>

#include "config/SettingsStore.h"
#include "engine/TextForms.h"
#include "tests/views/PageTestSupport.h"

namespace {

constexpr int kRow = 24;

class BarChartTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        // Every test starts as on a first run: no values of the window's own yet.
        config::SettingsKey key;
        if (key.Open(AppRegistryKey, config::SettingsAccess::All) == config::SettingsStatus::Ok)
            key.DeleteKey(QStringLiteral("BarChartBox"));
        optIncludeWastedInformation->Value = false;  // sizes in exact bytes unless a test says
        box = std::make_unique<TBarChartBox>();
    }
    void TearDown() override {
        box.reset();
        PageTest::TearDown();
    }

    // Fills the window for a folder of the drive and shows it at a width, the "Graph" section
    // as wide as asked (the default when 0).
    void Open(const QString& folder, int width = 509, int graph = 0) {
        box->resize(width, 300);
        box->show();
        QCoreApplication::processEvents();
        if (graph > 0) box->TheHeader->resizeSection(0, graph);
        box->Fill(Scanned(folder));
        QCoreApplication::processEvents();
    }
    void Tick(QCheckBox* check, bool on) {
        check->setChecked(on);
        QCoreApplication::processEvents();
    }
    QImage Rows() const { return box->BarList->viewport()->grab().toImage(); }
    // Whether the bar colour is at x in the middle of a row.
    static bool Red(const QImage& rows, int x, int row) {
        return rows.pixelColor(x, row * kRow + kRow / 2) == QColor(Qt::red);
    }
    static int RedPixels(const QImage& rows) {
        int count = 0;
        for (int y = 0; y < rows.height(); ++y)
            for (int x = 0; x < rows.width(); ++x) count += rows.pixelColor(x, y) == Qt::red;
        return count;
    }

    std::unique_ptr<TBarChartBox> box;
};

}  // namespace

TEST_F(BarChartTest, AFolderWithoutSubfoldersIsOneRowWithAFullBar) {
    drive.file("solo/a.bin", 1000);
    for (bool subfolders : {true, false}) {
        SCOPED_TRACE(subfolders);
        Tick(box->chkIncludeSubfolders, subfolders);
        Open("solo");
        ASSERT_EQ(box->RowCount(), 1);
        const int g = box->GraphWidth();
        EXPECT_EQ(box->BarLength(0), g);
        const QImage rows = Rows();
        EXPECT_TRUE(Red(rows, 1, 0));
        EXPECT_TRUE(Red(rows, g - 2, 0));
        EXPECT_FALSE(Red(rows, g, 0));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Tree Bar Chart - T:\\solo"));
        EXPECT_EQ(box->panSize->text(), QStringLiteral("1,000 bytes"));
        EXPECT_EQ(box->panPath->text(), QStringLiteral("T:\\solo"));
    }
}

// r: 1,000 bytes of its own; r\big 3,000 with r\big\deep 4,000 below it; r\small 2,000.
TEST_F(BarChartTest, RowsFollowTheTreeAndTheirBarsTheRootsSize) {
    drive.file("r/own.bin", 1000);
    drive.file("r/big/own.bin", 3000);
    drive.file("r/big/deep/own.bin", 4000);
    drive.file("r/small/own.bin", 2000);
    const struct {
        bool subfolders;
        int bars[4];  // of 500 pixels, for r, big, deep, small
    } cases[] = {
        {true, {500, 350, 200, 100}},
        // The root's own files alone: its bar is shorter than its children's.
        {false, {50, 150, 200, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subfolders);
        Tick(box->chkIncludeSubfolders, c.subfolders);
        Open("r", 900, 500);
        ASSERT_EQ(box->RowCount(), 4);
        const char* paths[] = {"T:\\r", "T:\\r\\big", "T:\\r\\big\\deep", "T:\\r\\small"};
        const QImage rows = Rows();
        for (int row = 0; row < 4; ++row) {
            SCOPED_TRACE(row);
            EXPECT_EQ(box->RowText(row), QString::fromLatin1(paths[row]));
            EXPECT_EQ(box->BarLength(row), c.bars[row]);
            EXPECT_TRUE(Red(rows, c.bars[row] - 2, row));
            EXPECT_EQ(rows.pixelColor(c.bars[row] - 1, row * kRow + kRow / 2), QColor(Qt::black));
            EXPECT_FALSE(Red(rows, c.bars[row], row));
        }
    }
    // The base is the root's subtree whatever the boxes say, and the status bar follows them.
    box->BarList->setCurrentIndex(box->BarList->model()->index(1, 0));
    EXPECT_EQ(box->panSize->text(), engine::SizeText(3000));
    Tick(box->chkIncludeSubfolders, true);
    EXPECT_EQ(box->panSize->text(), engine::SizeText(7000));
    EXPECT_EQ(box->BarLength(1), 350);
}

TEST_F(BarChartTest, WastedSpaceCountsWhenTheOptionSaysSo) {
    // One full cluster at the top and one byte below: the byte's folder weighs a cluster too.
    const int32_t cluster = engine::ClusterSize(drive.root());
    ASSERT_GT(cluster, 1);
    drive.file("w/full.bin", cluster);
    drive.file("w/one/byte.bin", 1);
    Open("w", 900, 500);
    EXPECT_EQ(box->BarLength(1), 0);  // 1 byte of cluster + 1
    optIncludeWastedInformation->Value = true;
    Open("w", 900, 500);
    EXPECT_EQ(box->BarLength(0), 500);
    EXPECT_EQ(box->BarLength(1), 250);
}

TEST_F(BarChartTest, ARootOfNoBytesDrawsNoBars) {
    drive.folder("z/a/b");
    for (bool subfolders : {true, false}) {
        Tick(box->chkIncludeSubfolders, subfolders);
        Open("z");
        ASSERT_EQ(box->RowCount(), 3);
        for (int row = 0; row < 3; ++row) EXPECT_EQ(box->BarLength(row), 0);
        EXPECT_EQ(RedPixels(Rows()), 0);
        EXPECT_EQ(box->panSize->text(), QStringLiteral("0 bytes"));
    }
}

TEST_F(BarChartTest, EnterAndDoubleClickChooseAFolderEscapeNone) {
    drive.folder("k/a");
    drive.folder("k/b");
    enum Action { Enter, DownDownEnter, DoubleClickSecond, Escape, DownEscape };
    const struct {
        Action action;
        const char* chosen;
        int result;
    } cases[] = {
        {Enter, "T:\\k", QDialog::Accepted},
        {DownDownEnter, "T:\\k\\b", QDialog::Accepted},
        {DoubleClickSecond, "T:\\k\\a", QDialog::Accepted},
        {Escape, "", QDialog::Rejected},
        {DownEscape, "", QDialog::Rejected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.action));
        Open("k");
        ASSERT_EQ(box->RowCount(), 3);
        QListView* list = box->BarList;
        const QPoint second(40, kRow + kRow / 2);
        switch (c.action) {
            case Enter:
                QTest::keyClick(list, Qt::Key_Return);
                break;
            case DownDownEnter:
                QTest::keyClick(list, Qt::Key_Down);
                QTest::keyClick(list, Qt::Key_Down);
                QTest::keyClick(list, Qt::Key_Enter);
                break;
            case DoubleClickSecond:
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second);
                break;
            case Escape:
                QTest::keyClick(list, Qt::Key_Escape);
                break;
            case DownEscape:
                QTest::keyClick(list, Qt::Key_Down);
                // The window sees the key first, also when a check box has the focus.
                QTest::keyClick(box->chkShowFullPath, Qt::Key_Escape);
                break;
        }
        EXPECT_EQ(box->ResultPath(), QString::fromLatin1(c.chosen));
        EXPECT_EQ(box->result(), c.result);
        EXPECT_FALSE(box->isVisible());
        EXPECT_EQ(box->RowCount(), 0);  // a closed window holds no nodes
    }
    // The next filling forgets the last choice.
    Open("k");
    EXPECT_EQ(box->ResultPath(), QString());
}

TEST_F(BarChartTest, NamesAreIndentedFourSpacesALevelBelowTheDriveRoot) {
    drive.folder("a/b/c");
    Tick(box->chkShowFullPath, false);
    const struct {
        const char* opened;
        int row;
        int spaces;
        const char* name;
    } cases[] = {
        {"", 1, 4, "a"},
        {"", 3, 12, "c"},
        {"a", 0, 4, "a"},
        {"a\\b", 1, 12, "c"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.opened);
        Open(QString::fromLatin1(c.opened));
        EXPECT_EQ(box->RowText(c.row), QString(c.spaces, u' ') + QString::fromLatin1(c.name));
    }
    Open("");
    EXPECT_EQ(box->RowText(0), engine::DriveDisplayName(drive.root()));
}

TEST_F(BarChartTest, FullPathsAreShortenedToTheFolderColumn) {
    const QString name = QStringLiteral("a folder name long enough to need shortening");
    drive.folder("p/" + name + "/x");
    Open("p", 400, 100);
    const QString text = box->RowText(2);
    EXPECT_TRUE(text.startsWith(QLatin1String("T:\\...")));
    EXPECT_TRUE(text.endsWith(QLatin1String("\\x")));
    EXPECT_LE(box->BarList->fontMetrics().horizontalAdvance(text),
              box->BarList->viewport()->width() - box->GraphWidth());
    box->resize(1200, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(box->RowText(2), "T:\\p\\" + name + "\\x");
}

TEST_F(BarChartTest, WideningKeepsTheGraphWidthAndWidensTheFolderColumn) {
    drive.file("f/a.bin", 10);
    Open("f");
    const int graph = box->GraphWidth();
    EXPECT_EQ(graph, box->TheHeader->width() / 2);
    box->resize(800, 300);
    QCoreApplication::processEvents();
    ASSERT_EQ(box->TheHeader->width(), 800);
    EXPECT_EQ(box->GraphWidth(), graph);
    EXPECT_EQ(box->TheHeader->sectionSize(1), 800 - graph);
    EXPECT_EQ(box->BarLength(0), graph);
    // Dragging the "Graph" section gives the rest to "Folder" and sets the longest bar.
    box->TheHeader->resizeSection(0, 100);
    EXPECT_EQ(box->TheHeader->sectionSize(1), 700);
    EXPECT_EQ(box->BarLength(0), 100);
    EXPECT_TRUE(Red(Rows(), 98, 0));
    EXPECT_FALSE(Red(Rows(), 100, 0));
}

TEST_F(BarChartTest, ItsValuesComeBackOnTheNextStart) {
    EXPECT_TRUE(box->chkIncludeSubfolders->isChecked());
    EXPECT_TRUE(box->chkShowFullPath->isChecked());
    // A window that was never shown keeps no placement.
    box.reset();
    EXPECT_EQ(RegReadInteger(AppRegistryKey, "BarChartBox", "Left", -1), -1);
    EXPECT_EQ(RegReadInteger(AppRegistryKey, "BarChartBox", "GraphWidth", -1), 509 / 2);

    box = std::make_unique<TBarChartBox>();
    box->show();
    box->move(40, 50);
    box->resize(620, 350);
    box->TheHeader->resizeSection(0, 123);
    box->chkIncludeSubfolders->setChecked(false);
    box->chkShowFullPath->setChecked(false);
    const QRect placed = box->geometry();
    box.reset();

    box = std::make_unique<TBarChartBox>();
    EXPECT_EQ(box->geometry(), placed);
    EXPECT_EQ(box->size(), QSize(620, 350));
    EXPECT_EQ(box->GraphWidth(), 123);
    EXPECT_FALSE(box->chkIncludeSubfolders->isChecked());
    EXPECT_FALSE(box->chkShowFullPath->isChecked());
    box->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(box->TheHeader->sectionSize(1), 620 - 123);
}
