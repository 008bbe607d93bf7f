// Archiving a folder from the clean-up page and restoring it from the File menu, through the
// main window: the folder leaves the tree and the disk, and comes back byte for byte.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "app/main.h"
#include "cleanup/FormCleanUpCompress.h"
#include "controls/FilCtl95.h"
#include "controls/HelpWindow.h"
#include "controls/SensiControls.h"
#include "tests/cleanup/ArchiveTestSupport.h"
#include "tests/fixtures/MainWindow.h"

using archive_testing::FactsOf;
using archive_testing::MakeSampleFolder;
using engine::TFolderNode;
using testing_support::MainWindowTestOf;

namespace {

class ArchiveRoundTripTest : public MainWindowTestOf<archive_testing::ArchiveTest> {
protected:
    void SetUp() override {
        MainWindowTestOf::SetUp();
        answer = [this](const desktop::MessageRequest& r) {
            if (!answers.isEmpty()) return answers.takeFirst();
            return (r.buttons & desktop::Ok) ? desktop::Ok : desktop::No;
        };
        runDialog = [this](QDialog& dialog) {
            auto* box = qobject_cast<TCleanUpCompressFolderBox*>(&dialog);
            dialog.show();  // as running it would
            if (box && drive_) drive_(*box);
            return dialog.result();
        };
    }
    TFolderNode* Node(const QString& relative) const {
        TFolderNode* top = form->Tree().TopLevel(0);
        return relative.isEmpty() ? top : engine::FindNodeByPath(top, relative, true);
    }
    QLabel* LabelOf(const char* panel) const {
        return Control<TCleanUpPage>("pageCleanUp")
            ->findChild<TSensitivePanel*>(panel)
            ->findChildren<QLabel*>()[1];
    }
    template <typename T>
    static T* Child(TCleanUpCompressFolderBox& box, const char* name) {
        return box.findChild<T*>(name);
    }
    static QStringList VisibleTabs(TCleanUpCompressFolderBox& box) {
        QStringList tabs;
        auto* pages = Child<QTabWidget>(box, "ThePages");
        for (int i = 0; i < pages->count(); ++i)
            if (pages->isTabVisible(i)) tabs << pages->tabText(i);
        return tabs;
    }

    // What the test does with the archive dialog while it is up.
    std::function<void(TCleanUpCompressFolderBox&)> drive_;
};

TEST_F(ArchiveRoundTripTest, AFolderArchivedWithMoveComesBackFromTheFileMenuByteForByte) {
    const QString host = MakeSampleFolder(drive.host("a"), "Docs");
    archive_testing::WriteFile(drive.host("a/keep.txt"), "stays");
    const archive_testing::TreeFacts original = FactsOf(host);
    TMainForm& window = Start({drive.root()});
    ASSERT_TRUE(window.OpenFolderPath(drive.path("a\\Docs")));
    const int64_t docs = Node("a\\Docs")->Record()->TreeSize;
    const int64_t before = Node("a")->Record()->TreeSize;
    window.PresentPage(PageCleanUp);

    QStringList tabs, results;
    QString description;
    QChar archiveDrive;
    QString helpPage;
    drive_ = [&](TCleanUpCompressFolderBox& box) {
        tabs = VisibleTabs(box);
        description = Child<QLineEdit>(box, "ediZIPDescription")->text();
        archiveDrive = Child<TDrive95ComboBox>(box, "cbDrives")->Drive();
        EXPECT_TRUE(Child<QCheckBox>(box, "chkDeleteAfterCompressing")->isChecked());
        Child<QPushButton>(box, "cmdHelp")->click();
        if (THelpWindow* help = HelpWindowOf(&box)) helpPage = help->Source().fileName();
        Child<QPushButton>(box, "cmdCompress")->click();
        for (const char* name : {"txtProgressTitle1", "txtCResults1", "txtCResults3"})
            results << Child<QLabel>(box, name)->text();
        EXPECT_TRUE(Child<QPushButton>(box, "cmdClose")->isEnabled());
        Child<QPushButton>(box, "cmdClose")->click();
    };
    QTest::mouseClick(LabelOf("panCleanMenuCompress"), Qt::LeftButton);
    EXPECT_EQ(dialogs, QStringList{"Archive Folder To Gain Some Space"});
    EXPECT_EQ(helpPage, "2120.html");  // the archive page's topic
    EXPECT_EQ(tabs, QStringList({"Archive Folder", "Restore Folder"}));
    EXPECT_EQ(description, "Docs Folder");
    EXPECT_EQ(archiveDrive, QChar('t'));
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0], "Folder compressed OK.");
    EXPECT_TRUE(results[2].startsWith("By compressing the folder you have gained "));
    EXPECT_TRUE(asked.isEmpty()) << asked.join('\n').toStdString();
    // Gone from the disk and from the tree, its totals taken off its parent.
    EXPECT_FALSE(QFileInfo::exists(host));
    EXPECT_EQ(Node("a\\Docs"), nullptr);
    EXPECT_EQ(Node("a")->Record()->TreeSize, before - docs);

    dialogs.clear();
    int rows = -1;
    drive_ = [&](TCleanUpCompressFolderBox& box) {
        tabs = VisibleTabs(box);
        auto* list = Child<QTreeWidget>(box, "lvArchives");
        rows = list->topLevelItemCount();
        if (rows != 1) return;
        list->setCurrentItem(list->topLevelItem(0));
        EXPECT_EQ(Child<QLineEdit>(box, "ediRestorePath")->text(), "T:\\a");
        EXPECT_TRUE(Child<QCheckBox>(box, "chkDeleteArchive")->isChecked());
        Child<QPushButton>(box, "cmdRestore")->click();
    };
    Action("cmdFileRestoreCompressedFolders")->trigger();
    EXPECT_EQ(dialogs, QStringList{"Restore Compressed Folders"});
    EXPECT_EQ(tabs, QStringList{"Restore Folder"});
    ASSERT_EQ(rows, 1);
    EXPECT_EQ(asked, QStringList({"The folder T:\\a\\Docs was successfully restored",
                                  "You should rescan drive T: as its contents has been changed "
                                  "since the last time you have scanned it."}));
    EXPECT_EQ(FactsOf(host), original);
    EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
    EXPECT_EQ(Node("a\\Docs"), nullptr);  // the tree waits for the rescan it asked for
}

TEST_F(ArchiveRoundTripTest, CtrlROpensTheDialogForAFolderAndNeverForADrive) {
    drive.file("a/f.bin", 10);
    TMainForm& window = Start({drive.root()});
    for (const char* folder : {"", "a"}) {
        SCOPED_TRACE(folder);
        dialogs.clear();
        ASSERT_TRUE(window.OpenFolderPath(drive.path(folder)));
        window.PresentPage(PagePieChart);  // the key acts from any page
        QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_R, Qt::ControlModifier);
        EXPECT_EQ(dialogs.size(), *folder ? 1 : 0);
        EXPECT_TRUE(QFileInfo::exists(drive.host("a/f.bin")));
    }
    EXPECT_EQ(dialogs, QStringList{"Archive Folder To Gain Some Space"});
}

TEST_F(ArchiveRoundTripTest, TheCleanUpDialogsRestorePageAsksForARescanOfADriveInTheTree) {
    MakeSampleFolder(drive.host("a"), "Docs");
    const archive_testing::TreeFacts original = FactsOf(drive.host("a/Docs"));
    TMainForm& window = Start({drive.root()});
    ASSERT_TRUE(window.OpenFolderPath(drive.path("a\\Docs")));
    window.PresentPage(PageCleanUp);
    drive_ = [&](TCleanUpCompressFolderBox& box) {
        Child<QCheckBox>(box, "chkDeleteAfterCompressing")->setChecked(false);
        Child<QPushButton>(box, "cmdCompress")->click();
    };
    QTest::mouseClick(LabelOf("panCleanMenuCompress"), Qt::LeftButton);
    ASSERT_NE(Node("a\\Docs"), nullptr);  // kept, so still in the tree

    drive_ = [&](TCleanUpCompressFolderBox& box) {
        auto* list = Child<QTreeWidget>(box, "lvArchives");
        ASSERT_EQ(list->topLevelItemCount(), 1);
        list->setCurrentItem(list->topLevelItem(0));
        Child<QLineEdit>(box, "ediRestorePath")->setText(drive.path("copy"));
        Child<QPushButton>(box, "cmdRestore")->click();
    };
    QTest::mouseClick(LabelOf("panCleanMenuCompress"), Qt::LeftButton);
    EXPECT_EQ(asked, QStringList({"The folder T:\\copy\\Docs was successfully restored",
                                  "You should rescan drive T: as its contents has been changed "
                                  "since the last time you have scanned it."}));
    EXPECT_EQ(FactsOf(drive.host("copy/Docs")), original);
    EXPECT_NE(Node("a\\Docs"), nullptr);
}

}  // namespace
