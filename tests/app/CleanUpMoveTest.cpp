// "Move Folder" from the clean-up page of the main window, across file systems: a whole move
// takes the folder's node out of the tree and its totals off its ancestors; a move that fails
// or is cancelled part-way loses no file, and the folder that stays is counted as the disk now
// holds it; a target inside the folder touches nothing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <csignal>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <tuple>

#include "app/main.h"
#include "cleanup/FormCleanUpMove.h"
#include "controls/HelpWindow.h"
#include "desktop/MessageBox.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "tests/app/FreshTotals.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/TempTree.h"
#include "tests/fixtures/TestMounts.h"

using app_testing::FreshTotals;
using app_testing::TotalsOf;
using engine::TFolderNode;
using engine::TFolderSize;
using testing_support::DriveMapScope;
using testing_support::MainWindowTest;
using testing_support::Noise;
using testing_support::TempTree;
using testing_support::TestMount;
using testing_support::WriteFile;

namespace {

using Files = std::map<QString, QByteArray>;

Files FilesBelow(const QString& root) {
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        files[QDir(root).relativeFilePath(path)] =
            f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>";
    }
    return files;
}

// Each file of before is whole in exactly one place, and nothing else is at the target.
int ExpectEachFileInOnePlace(const Files& before, const QString& source, const QString& target) {
    const Files left = FilesBelow(source);
    const Files arrived = FilesBelow(target);
    int moved = 0;
    for (const auto& [name, bytes] : before) {
        SCOPED_TRACE(name.toStdString());
        const bool stayed = left.count(name) > 0;
        EXPECT_NE(stayed, arrived.count(name) > 0);
        EXPECT_EQ(stayed                ? left.at(name)
                  : arrived.count(name) ? arrived.at(name)
                                        : "<lost>",
                  bytes);
        moved += stayed ? 0 : 1;
    }
    for (const auto& [name, bytes] : arrived)
        EXPECT_EQ(before.count(name), 1u) << name.toStdString();
    return moved;
}

// Drive T: on this file system holds the folders to move; drive O: is another file system (an
// ext4 loop mount with 1 KB clusters where this process may mount one, otherwise /dev/shm),
// drive F: a full one (a 1 MiB tmpfs, otherwise O: with a file size limit during the move).
class CleanUpMoveTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ext4_ = TestMount::Ext4(mounts_.folder("o"), 1024, 16);
        small_ = TestMount::Tmpfs(mounts_.folder("f"), "1m");
        std::cout << "[ drives ] O: " << ext4_->Describe().toStdString()
                  << "; F: " << small_->Describe().toStdString() << "\n";
        RecordProperty("drive O", ext4_->ok() ? "ext4 loop, 1 KB clusters" : "/dev/shm");
        RecordProperty("drive F", small_->ok() ? "tmpfs of 1 MiB" : "file size limit of 512 KiB");
        otherRoot_ = ext4_->ok() ? mounts_.host("o") : shm_.path();
        fullRoot_ = small_->ok() ? mounts_.host("f") : otherRoot_;
        struct stat a {
        }, b{};
        crossing_ = ::stat(QFile::encodeName(otherRoot_).constData(), &a) == 0 &&
                    ::stat(QFile::encodeName(source_.host()).constData(), &b) == 0 &&
                    a.st_dev != b.st_dev;
        map_ = std::make_unique<DriveMapScope>("T=" + source_.host() + ";O=" + otherRoot_ +
                                               ";F=" + fullRoot_);
        runDialog = [this](QDialog& dialog) {
            auto* box = dynamic_cast<TCleanUpMoveFolderBox*>(&dialog);
            if (!box) {
                // Another dialog over it: its title and what it says.
                QStringList texts{dialog.windowTitle()};
                for (const QTextBrowser* b : dialog.findChildren<QTextBrowser*>())
                    texts << b->toPlainText();
                others << texts.join(u'\n');
                return int(QDialog::Rejected);
            }
            ++opened;
            treeHeldStill = engine::TreeBusy();
            drive(*box);
            return dialog.result();
        };
    }

    TMainForm& Start() { return MainWindowTest::Start(QStringList{"T:\\"}); }
    TFolderNode* Node(const QString& relative) const {
        return engine::FindNodeByPath(form->Tree().TopLevel(0), relative, true);
    }
    // Moves the folder with the dialog as a person would: the target typed, OK pressed.
    void MoveWithDialog(const QString& relative, const QString& target) {
        ASSERT_TRUE(form->OpenFolderPath("T:\\" + relative));
        form->PresentPage(PageCleanUp);
        drive = [target](TCleanUpMoveFolderBox& box) {
            box.ediFolderTarget()->setText(target);
            box.cmdOK()->click();
        };
        QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_M, Qt::ControlModifier);
    }
    // The folder that stays and every folder above it count what the disk holds.
    void ExpectTotalsOfTheDisk(const QString& relative) {
        for (QString kept = relative; !kept.isEmpty();
             kept = kept.left(std::max<qsizetype>(0, kept.lastIndexOf(u'\\')))) {
            SCOPED_TRACE(kept.toStdString());
            ASSERT_NE(Node(kept), nullptr);
            EXPECT_EQ(TotalsOf(*Node(kept)->Record()), FreshTotals(*form, "T:\\" + kept));
        }
        EXPECT_EQ(TotalsOf(*form->Tree().TopLevel(0)->Record()), FreshTotals(*form, "T:\\"));
    }

    TempTree source_;
    TempTree mounts_;
    QTemporaryDir shm_{QStringLiteral("/dev/shm/quillon-test-XXXXXX")};
    std::unique_ptr<TestMount> ext4_, small_;
    QString otherRoot_, fullRoot_;
    bool crossing_ = false;
    std::unique_ptr<DriveMapScope> map_;

    std::function<void(TCleanUpMoveFolderBox&)> drive;
    QStringList others;
    int opened = 0;
    bool treeHeldStill = false;
};

TEST_F(CleanUpMoveTest, AWholeMoveLeavesTheBytesAtTheTargetAndTakesTheFolderOffTheTree) {
    if (!crossing_) GTEST_SKIP() << "no second file system to move to";
    WriteFile(source_.host("a/b/photos/one.jpg"), Noise(70000, 1));
    WriteFile(source_.host("a/b/photos/2020/two.jpg"), Noise(5000, 2));
    WriteFile(source_.host("a/b/photos/.hidden"), "h");
    WriteFile(source_.host("a/keep.txt"), Noise(3000, 3));
    const Files before = FilesBelow(source_.host("a/b/photos"));
    TMainForm& window = Start();
    const TFolderSize folder = *Node("a\\b\\photos")->Record();
    const auto aBefore = TotalsOf(*Node("a")->Record());

    ASSERT_TRUE(window.OpenFolderPath("T:\\a\\b\\photos"));
    window.PresentPage(PageCleanUp);
    QStringList listed;
    QString wastedText;
    drive = [&](TCleanUpMoveFolderBox& box) {
        for (int i = 0; i < box.lvWasting()->topLevelItemCount(); ++i)
            listed << box.lvWasting()->topLevelItem(i)->data(0, Qt::UserRole).toString();
        wastedText = box.txtWastedOnSource()->text();
        EXPECT_EQ(box.ediFolderSource()->text(), "T:\\a\\b\\photos");
        box.ediFolderTarget()->setText("O:\\new place\\photos");
        box.cmdOK()->click();
    };
    QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_M, Qt::ControlModifier);

    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(treeHeldStill);
    EXPECT_EQ(wastedText, "This folder is wasting " +
                              engine::SizeText(engine::ShownTreeWasted(folder)) +
                              " on the drive where is located.");
    if (ext4_->ok()) {
        EXPECT_TRUE(listed.contains("o"));  // 1 KB clusters against T:'s 4 KB
    }
    EXPECT_EQ(asked, QStringList{"The folder \"O:\\new place\\photos\" does not exist. Do you "
                                 "want to create it?"});
    EXPECT_EQ(FilesBelow(otherRoot_ + "/new place/photos"), before);
    EXPECT_FALSE(QFileInfo::exists(source_.host("a/b/photos")));
    EXPECT_EQ(Node("a\\b\\photos"), nullptr);
    // Every folder above lost exactly the folder's totals.
    const TFolderSize& a = *Node("a")->Record();
    EXPECT_EQ(a.TreeSize, std::get<0>(aBefore) - folder.TreeSize);
    EXPECT_EQ(a.TreeWasted, std::get<1>(aBefore) - folder.TreeWasted);
    EXPECT_EQ(a.TreeFileCount, std::get<2>(aBefore) - folder.TreeFileCount);
    EXPECT_EQ(a.TreeFolderCount, std::get<3>(aBefore) - folder.TreeFolderCount - 1);
    ExpectTotalsOfTheDisk("a\\b");
}

TEST_F(CleanUpMoveTest, AMoveThatFailsOrIsCancelledPartWayLosesNothingAndRecountsTheFolder) {
    if (!crossing_) GTEST_SKIP() << "no second file system to move to";
    if (!testing_support::WithoutPermissionOverride().ok())
        GTEST_SKIP() << "the capabilities cannot be dropped";
    enum Fault { ReadOnlyFolder, FullTarget, Cancel };
    const struct {
        Fault fault;
        const char* folder;
        QString target;
        const char* box;  // how the last box begins
    } cases[] = {
        {ReadOnlyFolder, "ro", "O:\\ro", "Cannot move 2 items; they remain in \"T:\\a\\b\\ro\":"},
        {FullTarget, "big", "F:\\big", "Cannot move "},
        {Cancel, "many", "O:\\many",
         "The move was cancelled. What was moved is now in \"O:\\many\". Everything else "
         "remains in \"T:\\a\\b\\many\"."},
    };
    WriteFile(source_.host("a/b/ro/x.bin"), Noise(4000, 1));
    WriteFile(source_.host("a/b/ro/sub/y.bin"), Noise(5000, 2));
    WriteFile(source_.host("a/b/ro/sub/z.bin"), Noise(6000, 3));
    WriteFile(source_.host("a/b/big/a.bin"), Noise(300 << 10, 4));
    WriteFile(source_.host("a/b/big/b.bin"), Noise(700 << 10, 5));
    WriteFile(source_.host("a/b/big/c/d.bin"), Noise(700 << 10, 6));
    WriteFile(source_.host("a/b/big/e.bin"), Noise(300 << 10, 7));
    for (int i = 0; i < 6; ++i)
        WriteFile(source_.host(QStringLiteral("a/b/many/f%1.bin").arg(i)), Noise(1 << 20, 10 + i));
    QDir().mkpath(otherRoot_ + "/ro/sub");
    ASSERT_TRUE(QFile::setPermissions(otherRoot_ + "/ro/sub", QFile::ReadOwner | QFile::ExeOwner));
    TMainForm& window = Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const QString relative = QStringLiteral("a\\b\\") + c.folder;
        const QString host = source_.host(QStringLiteral("a/b/") + c.folder);
        const Files before = FilesBelow(host);
        TFolderNode* node = Node(relative);
        ASSERT_NE(node, nullptr);
        ASSERT_TRUE(window.OpenFolderPath("T:\\" + relative));
        window.PresentPage(PageCleanUp);
        asked.clear();
        std::unique_ptr<testing_support::WithoutPermissionOverride> asAnyUser;
        rlimit previous{};
        const bool limited = c.fault == FullTarget && !small_->ok();
        drive = [&](TCleanUpMoveFolderBox& box) {
            box.ediFolderTarget()->setText(c.target);
            if (c.fault == Cancel) {
                // Cancelled from the progress in the middle of the third file's copy.
                platform::FileOperationCallbacks callbacks;
                callbacks.progress = [](const platform::FileOperationProgress& p) {
                    return p.totalBytes == 0 || p.doneBytes < (5 << 20) / 2;
                };
                box.SetMoveCallbacks(callbacks);
            }
            if (c.fault == ReadOnlyFolder)
                asAnyUser = std::make_unique<testing_support::WithoutPermissionOverride>();
            if (limited) {
                ::signal(SIGXFSZ, SIG_IGN);
                ::getrlimit(RLIMIT_FSIZE, &previous);
                rlimit small = previous;
                small.rlim_cur = 512 << 10;
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
            box.cmdOK()->click();
            if (limited) ::setrlimit(RLIMIT_FSIZE, &previous);
            asAnyUser.reset();
        };
        QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_M, Qt::ControlModifier);

        const QString targetHost =
            (c.fault == FullTarget ? fullRoot_ : otherRoot_) + "/" + c.folder;
        const int moved = ExpectEachFileInOnePlace(before, host, targetHost);
        EXPECT_GT(moved, 0);
        EXPECT_LT(moved, int(before.size()));
        ASSERT_FALSE(asked.isEmpty());
        EXPECT_TRUE(asked.last().startsWith(c.box)) << asked.last().toStdString();
        if (c.fault != Cancel) {
            EXPECT_TRUE(asked.last().endsWith("What was moved is now in \"" + c.target + "\"."))
                << asked.last().toStdString();
        }
        // The folder stays in the tree, counted as the disk now holds it.
        ExpectTotalsOfTheDisk(relative);
    }
    QFile::setPermissions(otherRoot_ + "/ro/sub",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(CleanUpMoveTest, ATargetInsideTheFolderTouchesNeitherTheDiskNorTheTree) {
    WriteFile(source_.host("a/b/self/x.bin"), Noise(4000, 1));
    WriteFile(source_.host("a/b/self/sub/y.bin"), Noise(9000, 2));
    const Files before = FilesBelow(source_.host("a"));
    TMainForm& window = Start();
    TFolderNode* node = Node("a\\b\\self");
    const auto totals =
        std::make_tuple(TotalsOf(*node->Record()), TotalsOf(*Node("a\\b")->Record()),
                        TotalsOf(*Node("a")->Record()));
    MoveWithDialog("a\\b\\self", "T:\\a\\b\\self\\sub\\self");
    EXPECT_EQ(asked, QStringList{"Cannot move \"T:\\a\\b\\self\": the target "
                                 "\"T:\\a\\b\\self\\sub\\self\" lies inside it"});
    EXPECT_EQ(FilesBelow(source_.host("a")), before);
    EXPECT_FALSE(QFileInfo::exists(source_.host("a/b/self/sub/self")));
    EXPECT_EQ(Node("a\\b\\self"), node);
    EXPECT_EQ(std::make_tuple(TotalsOf(*node->Record()), TotalsOf(*Node("a\\b")->Record()),
                              TotalsOf(*Node("a")->Record())),
              totals);
    EXPECT_EQ(window.SelectedNode(), node);
}

TEST_F(CleanUpMoveTest, HelpOpensTheTopicOfMovingAFolderOverTheDialog) {
    WriteFile(source_.host("a/f.bin"), "f");
    Start();
    ASSERT_TRUE(form->OpenFolderPath("T:\\a"));
    QUrl shown;
    drive = [&](TCleanUpMoveFolderBox& box) {
        box.cmdHelp()->click();
        QApplication::processEvents();
        // The dialog is modal: the topic opens in a help window of its own, over it.
        const THelpWindow* help = HelpWindowOf(&box);
        shown = help ? help->Source() : QUrl();
    };
    QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(shown, QUrl("qrc:/help/2100.html"));
    EXPECT_TRUE(QFileInfo::exists(source_.host("a/f.bin")));
}

}  // namespace
