// The restore page of the archive dialog on a temporary drive: the listing and the register it
// cleans, deleting archives, and restores that give back every byte or keep the archive.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "cleanup/FormCleanUpCompress.h"
#include "engine/TextForms.h"
#include "tests/cleanup/ArchiveTestSupport.h"
#include "tests/fixtures/Privileges.h"
#include "views/PageParts.h"

using namespace archive_testing;

namespace {

class RestoreDialogTest : public ArchiveTest {
protected:
    // The File menu's form of the dialog on the current drive.
    std::unique_ptr<TCleanUpCompressFolderBox> Open(const QString& scannedLetters = {}) {
        auto box = std::make_unique<TCleanUpCompressFolderBox>();
        box->SetScannedLetters(scannedLetters);
        box->ShowOnlyRestorePage();
        box->show();
        return box;
    }
    static QTreeWidget* List(TCleanUpCompressFolderBox& box) {
        return box.findChild<QTreeWidget*>("lvArchives");
    }
    static QStringList Rows(TCleanUpCompressFolderBox& box) {
        QStringList rows;
        QTreeWidget* list = List(box);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows << item->text(0) + " | " + item->text(1) + " | " + item->text(2);
        }
        return rows;
    }
    static void Select(TCleanUpCompressFolderBox& box, int row) {
        List(box)->setCurrentItem(List(box)->topLevelItem(row));
    }
    static QPushButton* ButtonOf(TCleanUpCompressFolderBox& box, const char* name) {
        return box.findChild<QPushButton*>(name);
    }
    static QLineEdit* PathEdit(TCleanUpCompressFolderBox& box) {
        return box.findChild<QLineEdit*>("ediRestorePath");
    }
    // Selects the entry and restores it into path (its recorded place when empty).
    static void Restore(TCleanUpCompressFolderBox& box, int row, bool deleteAfter,
                        const QString& path = {}) {
        Select(box, row);
        box.findChild<QCheckBox*>("chkDeleteArchive")->setChecked(deleteAfter);
        if (!path.isEmpty()) PathEdit(box)->setText(path);
        ButtonOf(box, "cmdRestore")->click();
    }
    static QString Success(const QString& restored) {
        return "The folder " + restored + " was successfully restored";
    }
    static QString Failure(const QString& restored, const QString& archive) {
        return "The folder " + restored +
               " was not successfully restored. The ZIP archive containing the folder (" + archive +
               ") will not be deleted from your hard-disk so you can try to manually restore the "
               "folder from the archive.";
    }
};

TEST_F(RestoreDialogTest, TheFileMenusFormShowsTheRestorePageAloneWithTheCurrentDrivesArchives) {
    MakeSampleFolder(drive.host("a"), "Docs");
    const ArchiveRun run = Archive(drive.path("a\\Docs"), false);
    auto box = Open();
    EXPECT_EQ(box->windowTitle(), "Restore Compressed Folders");
    auto* pages = box->findChild<QTabWidget*>("ThePages");
    EXPECT_EQ(pages->currentWidget()->objectName(), "sheetRestore");
    EXPECT_FALSE(pages->isTabVisible(0));
    EXPECT_TRUE(pages->isTabVisible(1));
    EXPECT_FALSE(pages->isTabVisible(2));
    EXPECT_EQ(Rows(*box), QStringList{"Docs Folder | Docs | T:\\a"});

    // Nothing selected: nothing to restore, delete or browse.
    for (const char* name : {"cmdRestore", "cmdDeleteArchive", "cmdRestorePath"})
        EXPECT_FALSE(ButtonOf(*box, name)->isEnabled()) << name;
    EXPECT_FALSE(PathEdit(*box)->isEnabled());
    Select(*box, 0);
    for (const char* name : {"cmdRestore", "cmdDeleteArchive", "cmdRestorePath"})
        EXPECT_TRUE(ButtonOf(*box, name)->isEnabled()) << name;
    EXPECT_EQ(PathEdit(*box)->text(), "T:\\a");
    EXPECT_EQ(PathEdit(*box)->toolTip(), "The path of the restored folder will be \nT:\\a\\Docs");
    EXPECT_EQ(PathEdit(*box)->statusTip(), "");
    PathEdit(*box)->setText("T:\\");
    EXPECT_EQ(PathEdit(*box)->toolTip(), "The path of the restored folder will be \nT:\\Docs");
    List(*box)->clearSelection();
    EXPECT_EQ(PathEdit(*box)->text(), "");
    EXPECT_EQ(PathEdit(*box)->toolTip(), "");

    // The description is edited in place and kept in the register.
    List(*box)->topLevelItem(0)->setText(0, "Old letters");
    EXPECT_TRUE(RegisterLines().contains("Descriptions/" + run.archive + "=Old letters"));
    EXPECT_EQ(Rows(*Open()), QStringList{"Old letters | Docs | T:\\a"});
}

TEST_F(RestoreDialogTest, TheListingDropsVanishedArchivesAndTheLastOneTakesTheRegisterAlong) {
    MakeSampleFolder(drive.host(), "One");
    MakeSampleFolder(drive.host(), "Two");
    const ArchiveRun one = Archive(drive.path("One"), false);
    const ArchiveRun two = Archive(drive.path("Two"), false);
    EXPECT_EQ(Rows(*Open()).size(), 2);

    QFile::remove(drive.host("Archives Bin/" + one.archive));
    EXPECT_EQ(Rows(*Open()), QStringList{"Two Folder | Two | T:\\"});
    EXPECT_EQ(RegisterLines(), QStringList({"Descriptions/" + two.archive + "=Two Folder",
                                            "FolderNames/" + two.archive + "=Two",
                                            "OriginalPaths/" + two.archive + "=T:\\"}));

    // The last one gone: the register, the empty folder and its line in ".hidden" go too.
    QFile::remove(drive.host("Archives Bin/" + two.archive));
    EXPECT_TRUE(Rows(*Open()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
    EXPECT_FALSE(QFileInfo::exists(drive.host(".hidden")));

    // A folder that holds something else stays.
    MakeSampleFolder(drive.host(), "Three");
    const ArchiveRun three = Archive(drive.path("Three"), false);
    WriteFile(drive.host("Archives Bin/notes.txt"), "mine");
    QFile::remove(drive.host("Archives Bin/" + three.archive));
    EXPECT_TRUE(Rows(*Open()).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(RegisterHost()));
    EXPECT_EQ(ArchiveFiles(), QStringList{"notes.txt"});
}

TEST_F(RestoreDialogTest, ARegisterDamagedByHandListsWhatItCanAndLosesNothing) {
    MakeSampleFolder(drive.host(), "One");
    MakeSampleFolder(drive.host(), "Two");
    const QString one = Archive(drive.path("One"), false).archive;
    const QString two = Archive(drive.path("Two"), false).archive;
    // A line cut in half, a key twice, a section repeated, a key that names no archive.
    WriteFile(RegisterHost(), ("[Descriptions]\r\n" + one + "=First\r\nT12\r\n" + one +
                               "=again\r\n..\\..\\x=escape\r\n[FolderNames]\r\n" + one +
                               "=One\r\n[OriginalPaths]\r\n" + one + "=T:\\\r\n[Descriptions]\r\n" +
                               two + "=in the second section\r\n")
                                  .toUtf8());
    auto box = Open();
    EXPECT_EQ(Rows(*box), QStringList{"First | One | T:\\"});
    // The second section's entry is out of reach, but it and its archive are kept.
    EXPECT_TRUE(ReadFile(RegisterHost()).contains((two + "=in the second section").toUtf8()));
    EXPECT_FALSE(ReadFile(RegisterHost()).contains("T12"));
    EXPECT_FALSE(ReadFile(RegisterHost()).contains("escape"));
    EXPECT_EQ(ArchiveFiles().size(), 3);

    // Restoring the listed one works, and deleting it keeps the other entry's section.
    Restore(*box, 0, true, drive.path("restored"));
    EXPECT_EQ(boxes, QStringList{Success("T:\\restored\\One")});
    EXPECT_EQ(FactsOf(drive.host("restored/One")), FactsOf(drive.host("One")));
    EXPECT_TRUE(QFileInfo::exists(RegisterHost()));
    EXPECT_TRUE(QFileInfo::exists(drive.host("Archives Bin/" + two)));
    EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin/" + one)));
}

TEST_F(RestoreDialogTest, ARestoreGivesBackEveryByteTimeAndPermissionThenDeletesTheArchive) {
    for (const char* parent : {"a/b", ""}) {  // also straight under the drive's root
        SCOPED_TRACE(parent);
        boxes.clear();
        const QString host = MakeSampleFolder(drive.host(parent), "Docs");
        const TreeFacts original = FactsOf(host);
        const QString path = QString(drive.path(parent)).replace('/', '\\');
        const QString folder = engine::AddBackslash(path) + "Docs";
        const ArchiveRun run = Archive(folder, true);
        ASSERT_TRUE(run.resultsShown);
        ASSERT_FALSE(QFileInfo::exists(host));

        auto box = Open("DT");
        Restore(*box, 0, true);
        EXPECT_EQ(box->result(), QDialog::Accepted);
        EXPECT_EQ(boxes, QStringList({Success(engine::AddBackslash(path) + "Docs"),
                                      "You should rescan drive T: as its contents has been "
                                      "changed since the last time you have scanned it."}));
        EXPECT_EQ(FactsOf(host), original);
        // Deleted without asking; the register and the folder went with the last archive.
        EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
    }
}

TEST_F(RestoreDialogTest, ARestoredFileThatDoesNotReadBackAsArchivedKeepsTheArchive) {
    const QString host = MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun run = Archive(drive.path("Docs"), true);
    auto box = Open();
    bool changed = false;
    auto* watch = new QTimer(box.get());
    QObject::connect(watch, &QTimer::timeout, box.get(), [&] {
        // Another program changes a restored file while the restore goes on: same length,
        // other bytes.
        if (changed || !box->findChild<TPathLabel*>("txtProgressFile")->Path().endsWith("run.sh"))
            return;
        QByteArray bytes = ReadFile(host + "/a.txt");
        bytes[10] = 'X';
        WriteFile(host + "/a.txt", bytes);
        changed = true;
    });
    watch->start(0);
    Restore(*box, 0, true);
    EXPECT_TRUE(changed);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], Failure("T:\\Docs", "T:\\Archives Bin\\" + run.archive) +
                            "\n\nWhat did not come back:\nDocs/a.txt: it does not read back as "
                            "the archive holds it");
    EXPECT_TRUE(QFileInfo::exists(drive.host("Archives Bin/" + run.archive)));
    EXPECT_EQ(RegisterLines().size(), 3);
}

TEST_F(RestoreDialogTest, ARestoreThatFailsHalfWayKeepsTheArchiveAndSaysSo) {
    const QString host = MakeSampleFolder(drive.host(), "Docs");
    const TreeFacts original = FactsOf(host);
    const ArchiveRun run = Archive(drive.path("Docs"), true);
    // The target holds the folder already, with a subfolder nothing can be written into.
    QDir().mkpath(drive.host("target/Docs/sub"));
    ASSERT_EQ(::chmod(QFile::encodeName(drive.host("target/Docs/sub")).constData(), 0555), 0);
    answers = {desktop::Yes};  // restore over it
    {
        testing_support::WithoutPermissionOverride asAnyUser;
        if (!asAnyUser.ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
        auto box = Open();
        Restore(*box, 0, true, drive.path("target"));
    }
    ::chmod(QFile::encodeName(drive.host("target/Docs/sub")).constData(), 0755);
    ASSERT_GE(boxes.size(), 2);
    EXPECT_TRUE(boxes.first().startsWith("The folder T:\\target\\Docs already exists."));
    EXPECT_TRUE(
        boxes.last().startsWith(Failure("T:\\target\\Docs", "T:\\Archives Bin\\" + run.archive) +
                                "\n\nWhat did not come back:\n"))
        << boxes.last().toStdString();
    EXPECT_TRUE(QFileInfo::exists(drive.host("Archives Bin/" + run.archive)));
    EXPECT_EQ(RegisterLines().size(), 3);
    // Files outside the locked folder came back; the archive still holds everything.
    EXPECT_EQ(ReadFile(drive.host("target/Docs/a.txt")), original.at("a.txt").bytes);

    boxes.clear();
    auto again = Open();
    Restore(*again, 0, true);
    EXPECT_EQ(boxes, QStringList{Success("T:\\Docs")});
    EXPECT_EQ(FactsOf(host), original);
}

TEST_F(RestoreDialogTest, RestoringOverAnExistingFolderAsksFirstAndNoChangesNothing) {
    const QString host = MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun run = Archive(drive.path("Docs"), false);
    WriteFile(host + "/a.txt", "newer work");
    WriteFile(host + "/new.txt", "only here");
    const TreeFacts changed = FactsOf(host);
    const QString question =
        "The folder T:\\Docs already exists. Restoring the archive into it replaces every file "
        "in it that has the same name as a file in the archive; its other files stay as they "
        "are.\n\nDo you want to restore the folder over the existing one?";

    answers = {desktop::No};
    auto box = Open();
    Restore(*box, 0, true);
    EXPECT_EQ(boxes, QStringList{question});
    EXPECT_NE(box->result(), QDialog::Accepted);  // still open, on the restore page
    EXPECT_EQ(box->findChild<QTabWidget*>("ThePages")->currentWidget()->objectName(),
              "sheetRestore");
    EXPECT_EQ(FactsOf(host), changed);

    boxes.clear();
    answers = {desktop::Yes};
    Restore(*box, 0, false);
    EXPECT_EQ(boxes, QStringList({question, Success("T:\\Docs")}));
    EXPECT_EQ(ReadFile(host + "/a.txt"),
              QByteArray("Nothing is lost on the way back.\n").repeated(400));
    EXPECT_EQ(ReadFile(host + "/new.txt"), "only here");
    EXPECT_TRUE(QFileInfo::exists(drive.host("Archives Bin/" + run.archive)));  // not ticked
}

TEST_F(RestoreDialogTest, DeletingAnArchiveAsksAndOnlyYesDeletes) {
    MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun run = Archive(drive.path("Docs"), false);
    const QString question =
        "Really delete the ZIP archive that contains the folder 'Docs' ?\n\nWarning: You will "
        "not be able to restore any file from this folder if you delete the ZIP archive.";
    for (const desktop::MessageButton answer : {desktop::No, desktop::Cancel, desktop::Yes}) {
        SCOPED_TRACE(answer);
        boxes.clear();
        answers = {answer};
        auto box = Open();
        Select(*box, 0);
        ButtonOf(*box, "cmdDeleteArchive")->click();
        EXPECT_EQ(boxes, QStringList{question});
        const bool kept = answer != desktop::Yes;
        EXPECT_EQ(QFileInfo::exists(drive.host("Archives Bin/" + run.archive)), kept);
        EXPECT_EQ(Rows(*box).size(), kept ? 1 : 0);
        EXPECT_EQ(RegisterLines().size(), kept ? 3 : 0);
    }
    EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
}

TEST_F(RestoreDialogTest, AMissingTargetIsMadeAndTheRescanNoticeComparesTheLetterExactly) {
    MakeSampleFolder(drive.host(), "Docs");
    const QString original = drive.host("Docs");
    const TreeFacts facts = FactsOf(original);
    Archive(drive.path("Docs"), false);
    const struct {
        const char* path;
        const char* restored;
        bool notice;
    } cases[] = {
        {"t:\\new\\place\\", "t:\\new\\place\\Docs", false},  // "t" is not "T"
        {"T:\\other\\", "T:\\other\\Docs", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        boxes.clear();
        auto box = Open("T");
        Restore(*box, 0, false, c.path);
        QStringList expected{Success(c.restored)};
        if (c.notice)
            expected << "You should rescan drive T: as its contents has been changed since the "
                        "last time you have scanned it.";
        EXPECT_EQ(boxes, expected);
        EXPECT_EQ(FactsOf(drive.host(QString(c.restored).mid(3).replace('\\', '/'))), facts);
    }
}

TEST_F(RestoreDialogTest, ATargetThatCannotBeMadeStopsBeforeAnythingIsWritten) {
    MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun run = Archive(drive.path("Docs"), true);
    WriteFile(drive.host("blocker"), "a file where a folder should go");
    auto box = Open();
    Restore(*box, 0, true, drive.path("blocker\\inside"));
    EXPECT_EQ(boxes, QStringList{"Could not create folder T:\\blocker\\inside: \"T:\\blocker\" is "
                                 "not a folder"});
    EXPECT_EQ(box->findChild<QTabWidget*>("ThePages")->currentWidget()->objectName(),
              "sheetRestore");
    EXPECT_TRUE(QFileInfo::exists(drive.host("Archives Bin/" + run.archive)));
    EXPECT_EQ(ReadFile(drive.host("blocker")), "a file where a folder should go");
}

TEST_F(RestoreDialogTest, BrowsingPutsTheChosenFolderIntoThePath) {
    MakeSampleFolder(drive.host(), "Docs");
    Archive(drive.path("Docs"), false);
    drive.folder("elsewhere/inner");
    QString title;
    desktop::SetDialogRunner([&](QDialog& dialog) {
        auto& files = static_cast<QFileDialog&>(dialog);
        title = files.windowTitle();
        files.selectFile(drive.host("elsewhere/inner"));
        dialog.accept();
        return int(QDialog::Accepted);
    });
    auto box = Open();
    Select(*box, 0);
    PathEdit(*box)->setText(drive.path("elsewhere"));
    ButtonOf(*box, "cmdRestorePath")->click();
    desktop::SetDialogRunner({});
    EXPECT_EQ(title,
              "Select the destination folder where you want to restore the selected folder from "
              "the ZIP archive.");
    EXPECT_EQ(PathEdit(*box)->text(), "T:\\elsewhere\\inner");
    EXPECT_EQ(PathEdit(*box)->toolTip(),
              "The path of the restored folder will be \nT:\\elsewhere\\inner\\Docs");
}

}  // namespace
