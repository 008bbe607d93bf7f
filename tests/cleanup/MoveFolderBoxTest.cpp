// The "Move Folder" dialog on temporary drives: which drives it proposes and what each would
// gain, how the drive box, the folder list and the target follow one another, and when OK may
// be pressed.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <iostream>
#include <memory>
#include <vector>

#include "cleanup/FormCleanUpMove.h"
#include "controls/FilCtl95.h"
#include "desktop/MessageBox.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"
#include "tests/fixtures/TestMounts.h"

using testing_support::DriveMapScope;
using testing_support::TempTree;
using testing_support::TestMount;

namespace {

// A folder's record with distinct wasted values at every reference size.
engine::TFolderSize Record() {
    engine::TFolderSize r;
    r.TreeSize = 50'000'000;
    r.TreeWasted = 3'000'000;  // at the source drive's own cluster size
    r.TreeWastedAt = {100'000, 700'000, 1'500'000, 2'900'000, 6'000'000, 12'000'000, 25'000'000};
    return r;
}

// The rows of the list: caption, cluster, gain and the letter the row carries.
std::vector<QStringList> Rows(const QTreeWidget* list) {
    std::vector<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.push_back(
            {item->text(0), item->text(1), item->text(2), item->data(0, Qt::UserRole).toString()});
        EXPECT_FALSE(item->icon(0).isNull()) << item->text(0).toStdString();
    }
    return rows;
}

// A row as the list should show it for the drive of a letter, in the drive map of the moment.
struct Row {
    char letter;
    const char* cluster;
    int64_t gain;

    QStringList Texts() const {
        const QString root = QString(QChar(letter)) + ":\\";
        return {platform::DriveDisplayNameOf(root), cluster, engine::SizeText(gain),
                QString(QChar(letter).toLower())};
    }
};

class MoveFolderBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop::SetMessageAnswerer([this](const desktop::MessageRequest& r) {
            boxes << r.caption + " | " + r.text;
            return desktop::Ok;
        });
    }
    void TearDown() override { desktop::SetMessageAnswerer({}); }

    std::unique_ptr<TCleanUpMoveFolderBox> Open(const QString& source) {
        auto box = std::make_unique<TCleanUpMoveFolderBox>();
        box->SetSource(source);
        box->SetWastedText("This folder is wasting 2.86 MB on the drive where is located.");
        box->FillBetterDrives(Record());
        return box;
    }

    TempTree tree;
    QStringList boxes;
};

TEST_F(MoveFolderBoxTest, BetterDrivesAreFixedDrivesWithSmallerClustersAndWhatEachGains) {
    // E: is a real file system with 1 KB clusters where this process may mount one.
    auto ext4 = TestMount::Ext4(tree.folder("e"), 1024, 8);
    std::cout << "[ drives ] " << ext4->Describe().toStdString() << "\n";
    RecordProperty("drive E", ext4->ok() ? "ext4 loop mount, 1 KB blocks" : "mapped cluster=1024");
    const QString e = "E=" + tree.host("e") + (ext4->ok() ? "" : "#cluster=1024");
    const engine::TFolderSize r = Record();
    const struct {
        const char* what;
        QString map;  // besides T: (the source's drive, 4 KB clusters)
        std::vector<Row> rows;
    } cases[] = {
        {"the only other fixed drive has the same cluster size",
         "U=" + tree.folder("u") + "#cluster=4096",
         {}},
        {"removable and CD-ROM drives never, whatever their clusters",
         "A=" + tree.folder("a") + "#removable,cluster=512;D=" + tree.folder("d") +
             "#iso9660;F=" + tree.folder("f") + "#vfat,removable,cluster=512",
         {}},
        {"smaller clusters, from a to z; a drive that cannot be read or has larger clusters is "
         "left out",
         e + ";H=" + tree.folder("h") + "#cluster=2048;N=" + tree.host("missing") + ";R=" +
             tree.folder("r") + "#tmpfs,cluster=512;Z=" + tree.folder("z") + "#cluster=65536",
         {{'E', "1,024 bytes", r.TreeWasted},  // not a reference size: the whole wasted space
          {'H', "2 KB", r.TreeWasted - r.TreeWastedAt[1]},
          {'R', "512 bytes", r.TreeWasted - r.TreeWastedAt[0]}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DriveMapScope map("T=" + tree.folder("t") + "#cluster=4096;" + c.map);
        tree.folder("t/data/Old");
        const auto box = Open("T:\\data\\Old");
        std::vector<QStringList> rows;
        for (const Row& row : c.rows) rows.push_back(row.Texts());
        EXPECT_EQ(Rows(box->lvWasting()), rows);
    }
}

TEST_F(MoveFolderBoxTest, HoldsEveryControlAndTextAndAsksForItsHelpTopic) {
    DriveMapScope map("T=" + tree.folder("t"));
    const auto box = Open("T:\\data\\Old");
    EXPECT_EQ(box->windowTitle(), "Move Folder");
    EXPECT_EQ(box->ediFolderSource()->text(), "T:\\data\\Old");
    EXPECT_TRUE(box->ediFolderSource()->isReadOnly());
    EXPECT_EQ(box->txtWastedOnSource()->text(),
              "This folder is wasting 2.86 MB on the drive where is located.");
    QStringList labels;
    for (const QLabel* l : box->findChildren<QLabel*>()) labels << l->text();
    for (const char* text :
         {"Move folder:",
          "You should move the folder to one of the following drives, as they have smaller "
          "cluster sizes:",
          "To the following &new location:",
          "IMPORTANT: Before moving the folder, make sure that all applications that use it will "
          "continue to work properly even if you move the folder."})
        EXPECT_TRUE(labels.contains(text)) << text;
    const auto* note = box->findChild<QPlainTextEdit*>("ediNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isReadOnly());
    EXPECT_EQ(note->toPlainText(),
              "Note: If the folder contains an installed application, you should uninstall the "
              "application and install it to \nthe new location. Some folders can also be moved "
              "by the application that uses them.");
    const QTreeWidgetItem* header = box->lvWasting()->headerItem();
    EXPECT_EQ(QStringList({header->text(0), header->text(1), header->text(2)}),
              QStringList({"Drive", "Cluster", "You gain"}));
    EXPECT_FALSE(box->lvWasting()->header()->sectionsClickable());
    EXPECT_EQ(box->lvWasting()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(box->cmdOK()->text(), "OK");
    EXPECT_TRUE(box->cmdOK()->isDefault());
    EXPECT_EQ(box->cmdCancel()->text(), "Cancel");
    QList<int> topics;
    QObject::connect(box.get(), &TCleanUpMoveFolderBox::HelpRequested,
                     [&](int topic) { topics << topic; });
    box->cmdHelp()->click();
    EXPECT_EQ(topics, QList<int>{2100});
}

TEST_F(MoveFolderBoxTest, OkIsEnabledExactlyWhenTheTargetDiffersFromTheSource) {
    DriveMapScope map("T=" + tree.folder("t"));
    const auto box = Open("T:\\data\\Old");
    const struct {
        const char* target;
        bool enabled;
    } cases[] = {
        {"T:\\data\\Old", false},
        {"T:\\data\\old", true},
        {"t:\\data\\Old", true},
        {"T:\\data\\Old\\", true},
        {"", false},
        {"T:\\elsewhere\\Old", true},
        {"T:\\data\\Old", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        box->ediFolderTarget()->setText(c.target);
        EXPECT_EQ(box->cmdOK()->isEnabled(), c.enabled);
    }
}

TEST_F(MoveFolderBoxTest, ADriveChosenInTheListAndAFolderOpenedBelowMakeTheTarget) {
    DriveMapScope map("T=" + tree.folder("t") + "#cluster=4096;O=" + tree.folder("o") +
                      "#cluster=512");
    tree.folder("t/data/Old Stuff");
    tree.folder("o/archive/2020");
    tree.folder("o/backup");
    const auto box = Open("T:\\data\\Old Stuff");
    ASSERT_EQ(box->lvWasting()->topLevelItemCount(), 1);
    box->lvWasting()->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(box->cbDrives()->Drive(), u'o');
    EXPECT_EQ(box->lbFolders()->Directory(), "O:\\");
    EXPECT_EQ(box->ediFolderTarget()->text(), "O:\\Old Stuff");
    EXPECT_TRUE(box->cmdOK()->isEnabled());

    const QList<QListWidgetItem*> archive =
        box->lbFolders()->findItems("archive", Qt::MatchExactly);
    ASSERT_EQ(archive.size(), 1);
    emit box->lbFolders()->itemActivated(archive.front());
    EXPECT_EQ(box->lbFolders()->Directory(), "O:\\archive");
    EXPECT_EQ(box->ediFolderTarget()->text(), "O:\\archive\\Old Stuff");

    // Another drive in the drive box: its folder list and a target there.
    box->cbDrives()->setDrive(u't');
    EXPECT_EQ(box->lbFolders()->Drive(), u'T');
    EXPECT_TRUE(box->ediFolderTarget()->text().startsWith("T:\\"));
    EXPECT_TRUE(box->ediFolderTarget()->text().endsWith("\\Old Stuff"));
    EXPECT_EQ(boxes, QStringList{});
}

TEST_F(MoveFolderBoxTest, ADriveThatCannotBeReadSaysSoAndTheDriveBoxGoesBack) {
    DriveMapScope map("T=" + tree.folder("t") + ";N=" + tree.host("no medium") + "#removable");
    tree.folder("t/data/Old");
    const auto box = Open("T:\\data\\Old");
    box->cbDrives()->setDrive(u't');
    box->ediFolderTarget()->clear();
    ASSERT_EQ(box->cbDrives()->Drive(), u't');
    box->cbDrives()->setDrive(u'N');
    EXPECT_EQ(boxes, QStringList{"Quillon Pro | n: is not accessible. The drive door may not be "
                                 "closed or the network connection may be down. Please try to "
                                 "correct this error and retry."});
    EXPECT_EQ(box->cbDrives()->Drive(), u't');
    EXPECT_EQ(box->lbFolders()->Drive(), u'T');
    // The folder change still runs: the target is the folder list's folder.
    EXPECT_EQ(box->ediFolderTarget()->text(),
              engine::AddBackslash(box->lbFolders()->Directory()) + "Old");
}

}  // namespace
