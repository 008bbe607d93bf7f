// The subfolders page on its own: which subfolders are listed, their texts and their order.
#include "views/SubfoldersPage.h"

#include <QComboBox>
#include <QHeaderView>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include "engine/TextForms.h"
#include "tests/views/PageTestSupport.h"

using engine::TFolderNode;

namespace {

class SubfoldersPageTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        optIncludeWastedInformation->Value = false;
    }
    QTreeWidget* List() const { return Control<QTreeWidget>(page, "TheFilesList"); }
    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            texts << List()->topLevelItem(i)->text(column);
        return texts;
    }
    void DisplayType(int type) {
        Control<QComboBox>(page, "cbFoldersDisplayType")->setCurrentIndex(type);
    }
    void ClickHeader(int column) { emit List()->header()->sectionClicked(column); }

    TSubfoldersPage page;
};

// Folder "s01" holds a little over 4 KB, "s02" over 8 KB and so on: no two are alike even
// when they are counted in whole clusters.
void MakeSizedFolders(const testing_support::TempDrive& drive, int count) {
    for (int i = 1; i <= count; ++i)
        drive.file(QStringLiteral("p/s%1/x").arg(i, 2, 10, QLatin1Char('0')), 4096 * i + 1);
}

}  // namespace

TEST_F(SubfoldersPageTest, TopLargeFoldersListsTheLargestByAllocatedOrBySize) {
    MakeSizedFolders(drive, 25);
    TFolderNode* p = Scanned("p");
    for (const bool withWasted : {false, true}) {
        SCOPED_TRACE(withWasted);
        optIncludeWastedInformation->Value = withWasted;
        Control<QComboBox>(page, "cbFoldersTop")->setCurrentText("10");
        DisplayType(0);
        page.Forget();
        Show(page, p);
        ASSERT_EQ(List()->topLevelItemCount(), 10);
        EXPECT_EQ(Column(0).first(), QStringLiteral("s25"));
        EXPECT_EQ(Column(0).last(), QStringLiteral("s16"));
        EXPECT_EQ(page.SortCode(), withWasted ? -3 : -2);
        EXPECT_EQ(List()->headerItem()->text(withWasted ? 2 : 1),
                  withWasted ? QStringLiteral("-> Allocated") : QStringLiteral("-> Size"));
    }
    // A count that is no number counts as 10, and the box says so after the next build.
    Control<QComboBox>(page, "cbFoldersTop")->setCurrentText("many");
    EXPECT_EQ(List()->topLevelItemCount(), 10);
    EXPECT_EQ(Control<QComboBox>(page, "cbFoldersTop")->currentText(), QStringLiteral("10"));
}

TEST_F(SubfoldersPageTest, LargerThanOneMegabyteDrawsTheLineAtExactlyOneMegabyte) {
    drive.file("p/below/x", 1048575);
    drive.file("p/at/x", 1048576);
    TFolderNode* p = Scanned("p");
    DisplayType(1);
    Control<QSpinBox>(page, "udFoldersLargerThan")->setValue(1);
    Control<QComboBox>(page, "cbFoldersLargerThanBytes")->setCurrentIndex(2);
    Show(page, p);
    EXPECT_EQ(Column(0), QStringList{"at"});
    Control<QComboBox>(page, "cbFoldersLargerThanBytes")->setCurrentIndex(1);  // KB: both
    EXPECT_EQ(Column(0).size(), 2);
}

TEST_F(SubfoldersPageTest, ARowShowsKilobytesShareObjectsAndDates) {
    drive.file("p/a/x", 1536);  // 1.5 KB: halves go to the even number
    drive.file("p/a/y", 1024);  // 2.5 KB in all
    drive.file("p/b/x", 512);
    drive.setTimes("p/a/x", QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                   QDateTime(QDate(2002, 3, 4), QTime(5, 6, 8)));
    drive.setTimes("p/a/y", QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                   QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    DisplayType(2);
    Show(page, Scanned("p"));  // by name, as a new page sorts
    const QTreeWidgetItem* a = List()->topLevelItem(0);
    ASSERT_EQ(a->text(0), QStringLiteral("a"));
    EXPECT_EQ(a->text(1), QStringLiteral("2 KB"));
    EXPECT_EQ(a->text(4), QStringLiteral("83.33 %"));
    EXPECT_EQ(a->text(5), QStringLiteral("2"));
    EXPECT_EQ(a->text(7), QStringLiteral("3/4/2002 5:06:08 AM"));
    EXPECT_EQ(List()->topLevelItem(1)->text(1), QStringLiteral("0 KB"));  // 0.5 to even
}

TEST_F(SubfoldersPageTest, ColumnsSortByTheirTextsLengthFirstAndByDate) {
    drive.file("p/big/x", 1000 * 1024);  // "1,000 KB"
    drive.file("p/mid/x", 999 * 1024);   // "999 KB"
    drive.file("p/low/x", 998 * 1024);
    drive.folder("p/none");  // no files: no dates
    drive.setTimes("p/big/x", QDateTime(QDate(2010, 1, 1), QTime(1, 0)),
                   QDateTime(QDate(2010, 1, 1), QTime(1, 0)));
    drive.setTimes("p/mid/x", QDateTime(QDate(2005, 1, 1), QTime(1, 0)),
                   QDateTime(QDate(2005, 1, 1), QTime(1, 0)));
    drive.setTimes("p/low/x", QDateTime(QDate(2020, 1, 1), QTime(1, 0)),
                   QDateTime(QDate(2020, 1, 1), QTime(1, 0)));
    DisplayType(2);
    Show(page, Scanned("p"));
    const struct {
        int column;
        int clicks;  // on top of those before
        QStringList order;
        int code;
        const char* caption;
    } cases[] = {
        {1, 1, {"none", "low", "mid", "big"}, 2, "-> Size"},
        {1, 1, {"big", "mid", "low", "none"}, -2, "-> Size"},  // the second click
        {7, 1, {"none", "mid", "big", "low"}, 8, "-> Last Change"},
        {0, 1, {"big", "low", "mid", "none"}, 1, "-> Name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        for (int i = 0; i < c.clicks; ++i) ClickHeader(c.column);
        EXPECT_EQ(Column(0), c.order);
        EXPECT_EQ(page.SortCode(), c.code);
        EXPECT_EQ(List()->headerItem()->text(c.column), QString::fromLatin1(c.caption));
        for (int other = 0; other < 8; ++other) {
            if (other == c.column) continue;
            EXPECT_FALSE(List()->headerItem()->text(other).startsWith("->"));
        }
    }
    // "All Folders" keeps the order chosen by the header across selections.
    Show(page, Scanned(""));
    Show(page, Scanned("p"));
    EXPECT_EQ(page.SortCode(), 1);
    EXPECT_EQ(Column(0), (QStringList{"big", "low", "mid", "none"}));
}

TEST_F(SubfoldersPageTest, AParentOfNoBytesAndARootAndAnEmptyClick) {
    drive.folder("z/a");
    drive.folder("z/b");
    DisplayType(2);
    Show(page, Scanned("z"));
    EXPECT_EQ(Column(4), (QStringList{"0.00 %", "0.00 %"}));
    EXPECT_FALSE(Control<QWidget>(page, "panWebListLevelUp")->isHidden());
    Show(page, Scanned(""));
    EXPECT_TRUE(Control<QWidget>(page, "panWebListLevelUp")->isHidden());

    int menus = 0;
    QObject::connect(&page, &TViewPage::ItemMenuRequested, [&] { ++menus; });
    page.resize(700, 400);
    emit List()->customContextMenuRequested(QPoint(5, List()->viewport()->height() - 2));
    EXPECT_EQ(menus, 0);  // empty space below the rows
    emit List()->customContextMenuRequested(
        List()->visualItemRect(List()->topLevelItem(0)).center());
    EXPECT_EQ(menus, 1);
}

TEST_F(SubfoldersPageTest, ADoubleClickChoosesTheFolderOfTheRow) {
    drive.folder("p/Inner");
    DisplayType(2);
    TFolderNode* p = Scanned("p");
    Show(page, p);
    TFolderNode* chosen = nullptr;
    QObject::connect(&page, &TViewPage::FolderChosen,
                     [&](TFolderNode* node, bool) { chosen = node; });
    List()->setCurrentItem(List()->topLevelItem(0));
    emit List()->itemDoubleClicked(List()->topLevelItem(0), 0);
    EXPECT_EQ(chosen, p->Child(0));
}

// As the list is drawn: the selected row in the highlight colour, its texts in the highlighted
// text colour, so that the row the menu and Delete act on can be read.
TEST_F(SubfoldersPageTest, TheSelectedRowIsDrawnHighlightedAndReadable) {
    MakeSizedFolders(drive, 3);
    DisplayType(2);
    Show(page, Scanned("p"));
    page.resize(800, 400);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    List()->setFocus();
    List()->setCurrentItem(List()->topLevelItem(1));
    QCoreApplication::processEvents();
    const QRect row = List()->visualItemRect(List()->topLevelItem(1));
    const QImage picture = List()->viewport()->grab().toImage();
    const QPalette colors = List()->palette();
    const QColor highlight = colors.color(QPalette::Active, QPalette::Highlight);
    const QColor text = colors.color(QPalette::Active, QPalette::HighlightedText);
    // Styles shade the selection: near the colour is the colour.
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue()) <
               60;
    };
    int background = 0, letters = 0;
    for (int x = row.left(); x < std::min(row.right(), picture.width()); ++x) {
        for (int y = row.top() + 1; y < row.bottom(); ++y) {
            const QColor drawn =
                picture.pixelColor(x * picture.devicePixelRatio(), y * picture.devicePixelRatio());
            background += near(drawn, highlight);
            letters += near(drawn, text);
        }
    }
    EXPECT_GT(background, row.width() * (row.height() - 2) / 2);
    EXPECT_GT(letters, 20) << "no text in the highlighted text colour";
}
