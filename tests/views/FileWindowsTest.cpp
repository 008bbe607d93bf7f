// The file windows on their own: what Largest Files, File Types and Find in Scan list for a
// scanned folder under their choices, and the folder each gives back.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "engine/FolderTree.h"
#include "tests/views/PageTestSupport.h"
#include "views/FileRows.h"
#include "views/FileTypesBox.h"
#include "views/FindBox.h"
#include "views/LargestFilesBox.h"

namespace {

class FileWindowsTest : public PageTest {
protected:
    void SetUp() override {
        PageTest::SetUp();
        drive.file("media/film.mkv", 64 << 20);  // sparse
        testing_support::WriteFile(drive.host("media/photo.jpg"), QByteArray(9000, 'p'));
        testing_support::WriteFile(drive.host("media/raw/shot.JPG"), QByteArray(7000, 'r'));
        testing_support::WriteFile(drive.host("docs/a.pdf"), QByteArray(5000, 'a'));
        testing_support::WriteFile(drive.host("docs/notes"), QByteArray(100, 'n'));
        root = Scanned("");
    }
    static QStringList Column(const TFileRows& rows, int column) {
        QStringList texts;
        for (int i = 0; i < rows.topLevelItemCount(); ++i) texts << rows.RowTexts(i)[column];
        return texts;
    }
    static void Press(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }

    engine::TFolderNode* root = nullptr;
};

}  // namespace

TEST_F(FileWindowsTest, LargestFilesFollowTheChoicesAndGiveTheFileFolder) {
    TLargestFilesBox box;
    box.Fill(root, false);
    EXPECT_EQ(Column(*box.FileList, TFileRows::Name),
              QStringList({"film.mkv", "photo.jpg", "shot.JPG", "a.pdf", "notes"}));
    EXPECT_TRUE(box.FileList->RowTexts(0)[TFileRows::OnDisk].endsWith("(sparse)"));
    EXPECT_EQ(box.FileList->RowTexts(2)[TFileRows::Folder], drive.path("media\\raw"));
    EXPECT_EQ(box.FileList->RowTexts(2)[TFileRows::Type], QStringLiteral("JPG"));
    const struct {
        int measure;
        int category;  // 0 all, then each category
        QStringList names;
    } cases[] = {
        // By the blocks given: 12 KB, 8 KB twice (alike ones by name), 4 KB, and the hole.
        {1, 0, {"photo.jpg", "a.pdf", "shot.JPG", "notes", "film.mkv"}},
        {0, 1, {"photo.jpg", "shot.JPG"}},
        {0, 5, {"a.pdf"}},
        {0, 8, {"notes"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.measure << ' ' << c.category);
        box.cbMeasure->setCurrentIndex(c.measure);
        box.cbCategory->setCurrentIndex(c.category);
        EXPECT_EQ(Column(*box.FileList, TFileRows::Name), c.names);
    }
    box.cbCategory->setCurrentIndex(0);
    box.cbMeasure->setCurrentIndex(0);

    // Enter gives the current file's folder, and the list is emptied as the window closes.
    box.FileList->setCurrentItem(box.FileList->topLevelItem(2));
    Press(box.FileList, Qt::Key_Return);
    EXPECT_EQ(box.ResultPath(), drive.path("media\\raw"));
    EXPECT_EQ(box.FileList->topLevelItemCount(), 0);

    // An extension from the File Types window narrows the list until the next Fill.
    box.Fill(root, false, {{}, true, QStringLiteral("jpg")});
    EXPECT_EQ(Column(*box.FileList, TFileRows::Name), QStringList({"photo.jpg", "shot.JPG"}));
    EXPECT_TRUE(box.ResultPath().isEmpty());
    box.Fill(engine::FindNodeByPath(root, "docs", true), false);
    EXPECT_EQ(Column(*box.FileList, TFileRows::Name), QStringList({"a.pdf", "notes"}));
}

TEST_F(FileWindowsTest, FileTypesListCategoriesWithTheirExtensionsAndOpenThem) {
    TFileTypesBox box;
    engine::TFileFilter opened;
    box.SetOpenFiles([&](const engine::TFileFilter& filter) {
        opened = filter;
        return drive.path("media");
    });
    box.Fill(root);
    QStringList categories;
    for (int i = 0; i < box.TypeList->topLevelItemCount(); ++i)
        categories << box.TypeList->topLevelItem(i)->text(0);
    EXPECT_EQ(categories, QStringList({"Videos", "Images", "Documents", "Other"}));
    const QTreeWidgetItem* images = box.TypeList->topLevelItem(1);
    EXPECT_EQ(images->text(1), QStringLiteral("2"));
    ASSERT_EQ(images->childCount(), 1);
    EXPECT_EQ(images->child(0)->text(0), QStringLiteral(".jpg"));
    EXPECT_EQ(box.TypeList->topLevelItem(3)->child(0)->text(0), QStringLiteral("(no extension)"));

    box.TypeList->setCurrentItem(images->child(0));
    Press(box.TypeList, Qt::Key_Return);
    EXPECT_TRUE(opened.ByExtension);
    EXPECT_EQ(opened.Extension, QStringLiteral("jpg"));
    EXPECT_EQ(box.ResultPath(), drive.path("media"));  // chosen there, given here
}

TEST_F(FileWindowsTest, FindListsFilesAndFoldersAsTheKindAndTheCaseSay) {
    TFindBox box;
    box.Fill(engine::FindNodeByPath(root, "media", true), {root});
    const struct {
        const char* text;
        int kind;
        bool matchCase;
        int where;
        QStringList names;
        const char* status;
    } cases[] = {
        {"jpg", 0, false, 0, {"photo.jpg", "shot.JPG"}, "2 found."},
        {"jpg", 0, true, 0, {"photo.jpg"}, "1 found."},
        {"*.pdf", 1, false, 0, {}, "0 found."},
        {"*.pdf", 1, false, 1, {"a.pdf"}, "1 found."},
        {"sh?t*", 0, false, 0, {"shot.JPG"}, "1 found. (\"*\" and \"?\" taken as wildcards)"},
        {"^(docs|raw)$", 2, false, 1, {"docs", "raw"}, "2 found."},
        {"[", 2, false, 1, {}, "The regular expression is not valid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        box.ediText->setText(QString::fromUtf8(c.text));
        box.cbKind->setCurrentIndex(c.kind);
        box.chkMatchCase->setChecked(c.matchCase);
        box.cbWhere->setCurrentIndex(c.where);
        box.Find();
        QStringList names = Column(*box.FoundList, TFileRows::Name);
        names.sort();
        EXPECT_EQ(names, c.names);
        EXPECT_TRUE(box.StatusLine->text().startsWith(QString::fromUtf8(c.status)))
            << box.StatusLine->text().toStdString();
    }
    // A folder found gives itself; Enter takes it to the main window.
    box.ediText->setText("raw");
    box.cbKind->setCurrentIndex(0);
    box.Find();
    ASSERT_EQ(box.FoundList->topLevelItemCount(), 1);
    EXPECT_EQ(box.FoundList->RowTexts(0)[TFileRows::Type], QStringLiteral("Folder"));
    box.FoundList->setCurrentItem(box.FoundList->topLevelItem(0));
    Press(box.FoundList, Qt::Key_Return);
    EXPECT_EQ(box.ResultPath(), drive.path("media\\raw"));
}

TEST_F(FileWindowsTest, ADriveScannedWithoutFileDetailsSaysSo) {
    engine::ScannedDrives().Clear();
    engine::TFolderTree other;
    engine::DriveRecord* record = engine::ScannedDrives().Add(drive.letter());
    engine::TFolderNode* bare =
        engine::ScanDrive(other, QChar(drive.letter()) + engine::DriveDisplayName(drive.root()),
                          *record, {.KeepFileDetails = false});
    TLargestFilesBox files;
    files.Fill(bare, false);
    EXPECT_EQ(files.FileList->topLevelItemCount(), 0);
    EXPECT_EQ(files.StatusLine->text(), TFileWindow::NotKeptText());
    TFileTypesBox types;
    types.Fill(bare);
    EXPECT_EQ(types.StatusLine->text(), TFileWindow::NotKeptText());
    EXPECT_FALSE(types.btnSaveCsv->isEnabled());
    TFindBox find;
    find.Fill(bare, {bare});
    find.ediText->setText("media");
    find.Find();
    EXPECT_EQ(find.FoundList->topLevelItemCount(), 1);  // the folder: folders are always kept
    EXPECT_TRUE(find.StatusLine->text().contains("Only folders were searched"));
}
