// The folder info page on its own: the totals, names, dates and attributes of a folder.
#include "views/FolderInfoPage.h"

#include <QTableWidget>

#include "engine/TextForms.h"
#include "platform/FindFile.h"
#include "tests/views/PageTestSupport.h"

using engine::TFolderNode;

namespace {

class FolderInfoPageTest : public PageTest {
protected:
    QString Row(int row) const {
        return Control<QTableWidget>(page, "gridFolderInfo")->item(row, 1)->text();
    }
    QString Text(const char* label) const { return Control(page, label)->text(); }
    QString Hint(const char* label) const { return Control(page, label)->toolTip(); }

    TFolderInfoPage page;
};

}  // namespace

TEST_F(FolderInfoPageTest, ADriveRootHasNoEntryOfItsOwn) {
    drive.file("f", 10);
    Show(page, Scanned(""));
    EXPECT_EQ(Text("txtWebFolderInfoType"), QStringLiteral("Root Folder of Drive"));
    EXPECT_EQ(Row(0), engine::DriveDisplayName(drive.root()));
    EXPECT_EQ(Row(1), QString());
    EXPECT_EQ(Row(4), QStringLiteral("(unknown)"));
    EXPECT_EQ(Row(5), QString());
    EXPECT_EQ(Row(6), QString());
}

TEST_F(FolderInfoPageTest, NamesDatesAndAttributesOfAFolder) {
    drive.file("data/old.txt", 10);
    drive.file("data/deep/er/.secret", 1);
    drive.folder("My Files");
    drive.folder("empty");
    drive.setTimes("data/old.txt", QDateTime(QDate(2003, 4, 5), QTime(6, 7, 8)),
                   QDateTime(QDate(2004, 5, 6), QTime(0, 0)));
    const struct {
        const char* folder;
        const char* shortName;  // row 1
        bool datesKnown;        // rows 2 and 3
        const char* hidden;     // row 8
    } cases[] = {
        {"data", "DATA", true, "The folder contains Hidden files"},
        {"My Files", "MYFILE~1", false, "No Hidden files"},
        {"empty", "EMPTY", false, "No Hidden files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        page.Forget();
        Show(page, Scanned(c.folder));
        EXPECT_EQ(Text("txtWebFolderInfoType"), QStringLiteral("Folder"));
        EXPECT_EQ(Row(0), QString::fromUtf8(c.folder));
        EXPECT_EQ(Row(1), QString::fromUtf8(c.shortName));
        EXPECT_EQ(Row(2) == QLatin1String("(unknown)"), !c.datesKnown);
        EXPECT_EQ(Row(3) == QLatin1String("(unknown)"), !c.datesKnown);
        EXPECT_EQ(Row(5), QStringLiteral("Directory"));
        EXPECT_EQ(Row(7), QStringLiteral("No Read-Only files"));
        EXPECT_EQ(Row(8), QString::fromUtf8(c.hidden));
        EXPECT_EQ(Row(10), QStringLiteral("No Compressed files"));
    }
    // The folder's own entry knows its birth where the file system keeps it; else unknown.
    const platform::FileTime born = engine::LookUpEntry(drive.path("data")).CreationTime;
    Show(page, Scanned("data"));
    EXPECT_EQ(Row(4), born ? engine::FileTimeText(born) : QStringLiteral("(unknown)"));
    EXPECT_EQ(Row(3), engine::FileTimeText(Scanned("data")->Record()->LastWriteTime));
}

// 3 files and 2 subfolders of 4 files each.
TEST_F(FolderInfoPageTest, TheTwoBlocksCountTheTreeAndTheFolder) {
    for (const char* file : {"f/1", "f/2", "f/3"}) drive.file(file, 5000);
    for (int i = 0; i < 4; ++i) {
        drive.file(QStringLiteral("f/a/%1").arg(i), 100);
        drive.file(QStringLiteral("f/b/%1").arg(i), 100);
    }
    Show(page, Scanned("f"));
    const engine::TFolderSize& r = *Scanned("f")->Record();
    EXPECT_EQ(Text("txtWebTreeInfoObjects"), QStringLiteral("13"));
    EXPECT_EQ(Hint("txtWebTreeInfoObjects"), QStringLiteral("11 file(s) and 2 subfolder(s)"));
    EXPECT_EQ(Text("txtWebFolderInfoObjects"), QStringLiteral("5"));
    EXPECT_EQ(Hint("txtWebFolderInfoObjects"), QStringLiteral("3 file(s) and 2 subfolder(s)"));
    EXPECT_EQ(Text("txtWebTreeInfoSize"), engine::SizeText(15'800));
    EXPECT_EQ(Hint("txtWebTreeInfoSize"), QStringLiteral("15,800 bytes"));
    EXPECT_EQ(Text("txtWebTreeInfoAllocated"), engine::SizeText(r.TreeSize + r.TreeWasted));
    EXPECT_EQ(Text("txtWebFolderInfoWasted"), engine::SizeText(r.FilesWasted));
    EXPECT_EQ(Hint("txtWebFolderInfoWasted"), engine::ExactBytesText(r.FilesWasted));
}

TEST_F(FolderInfoPageTest, TheSameFolderIsNotBuiltAgainUntilTheFiguresChange) {
    drive.file("c/x", 5000);
    TFolderNode* c = Scanned("c");
    Show(page, c);
    EXPECT_EQ(page.ShownFor(), drive.path("c"));
    QLabel* wasted = Control(page, "txtWebTreeInfoWasted");
    wasted->setText("kept");
    Show(page, c);
    EXPECT_EQ(wasted->text(), QStringLiteral("kept"));
    engine::ClusterSizeChoice = 7;  // what the cluster-size box does, with the views' refresh
    page.Forget();
    Show(page, c);
    EXPECT_EQ(wasted->text(), engine::SizeText(engine::TreeWastedAt(*c->Record(), 7)));
}

TEST(PathLabels, LongPathsAreShortenedInTheMiddle) {
    const auto chars = [](const QString& text) { return int(text.size()); };
    const struct {
        const char* path;
        int width;
        const char* shown;
    } cases[] = {
        {"C:\\a\\b\\c", 20, "C:\\a\\b\\c"},
        {"C:\\one\\two\\three\\last", 18, "C:\\...\\three\\last"},
        {"C:\\one\\two\\three\\last", 12, "C:\\...\\last"},
        {"C:\\one\\averyverylongname", 14, "C:\\...\\aver..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engine::ShortenedPath(QString::fromLatin1(c.path), c.width, chars),
                  QString::fromLatin1(c.shown))
            << c.path << " in " << c.width;
}
