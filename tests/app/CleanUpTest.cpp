// The clean-up page on temporary drives: what delete and the Trash take from the disk and from
// the tree, that the tree then agrees with a fresh scan, and what the keys and the pointer do.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QUrl>
#include <memory>
#include <tuple>

#include "app/main.h"
#include "cleanup/CleanUpPage.h"
#include "controls/SensiControls.h"
#include "desktop/MessageBox.h"
#include "tests/app/FreshTotals.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/TempTree.h"

using app_testing::FreshTotals;
using app_testing::TotalsOf;
using engine::TFolderNode;
using engine::TFolderSize;
using testing_support::DriveMapScope;
using testing_support::MainWindowTest;
using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

class CleanUpTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        MainWindowTest::answer = [this](const desktop::MessageRequest& r) {
            if (r.buttons & desktop::Yes) return answer;
            return (r.buttons & desktop::Ok) ? desktop::Ok : desktop::Cancel;
        };
    }

    TFolderNode* Node(const QString& relative) const {
        TFolderNode* top = form->Tree().TopLevel(0);
        return relative.isEmpty() ? top : engine::FindNodeByPath(top, relative, true);
    }
    TSensitivePanel* Panel(const char* name) const {
        return Control<TCleanUpPage>("pageCleanUp")->findChild<TSensitivePanel*>(name);
    }
    // The panel's label, which a user clicks.
    QLabel* LabelOf(const char* panel) const { return Panel(panel)->findChildren<QLabel*>()[1]; }

    TempDrive drive;
    desktop::MessageButton answer = desktop::Yes;  // to a question with Yes
};

TEST_F(CleanUpTest, DeleteAndTrashLeaveTheTreeAsAFreshScanFindsTheDisk) {
    TempTree outside;
    const QString linked = outside.file("kept.bin", 40);
    drive.file("a/b/t0/f.bin", 3000);
    drive.file("a/b/t0/sub/g.bin", 5000);
    ASSERT_TRUE(QFile::link(linked, drive.host("a/b/t0/link")));
    drive.file("a/b/t1/f.bin", 100);
    drive.file("a/b/t2/f.bin", 7000);
    drive.file("a/b/t2/sub/g.bin", 1);
    drive.file("a/b/t3/f.bin", 4097);
    drive.file("a/b/t3/locked/h.bin", 10);
    drive.file("a/keep.bin", 20);
    enum How { Click, Key };
    const struct {
        const char* folder;
        How how;
        const char* what;  // the panel, or the key with Ctrl
        desktop::MessageButton answer;
        bool locked;      // a subfolder that cannot be emptied
        bool gone;        // the folder's node leaves the tree
        const char* box;  // the start of the last box shown
    } cases[] = {
        {"t0", Click, "panCleanMenuDelete", desktop::Yes, false, true,
         "Are you sure you want to permanently delete"},
        {"t1", Key, "D", desktop::No, false, false, "Are you sure you want to permanently delete"},
        {"t2", Key, "B", desktop::Yes, false, true, "Are you sure you want to move"},
        {"t3", Click, "panCleanMenuDelete", desktop::Yes, true, false,
         "Cannot delete \"T:\\a\\b\\t3\\locked\\h.bin\": Permission denied"},
    };
    TMainForm& window = Start({drive.root()});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const QString relative = QStringLiteral("a\\b\\") + c.folder;
        ASSERT_TRUE(window.OpenFolderPath(drive.root() + relative));
        window.PresentPage(PageCleanUp);
        answer = c.answer;
        asked.clear();
        const QString locked = drive.host(QStringLiteral("a/b/%1/locked").arg(c.folder));
        std::unique_ptr<testing_support::WithoutPermissionOverride> asAnyUser;
        if (c.locked) {
            ASSERT_EQ(::chmod(locked.toLocal8Bit(), 0555), 0);
            asAnyUser = std::make_unique<testing_support::WithoutPermissionOverride>();
            if (!asAnyUser->ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
        }
        if (c.how == Click)
            QTest::mouseClick(LabelOf(c.what), Qt::LeftButton);
        else
            QTest::keyClick(Control<QTreeView>("FolderTree"), c.what[0], Qt::ControlModifier);
        asAnyUser.reset();
        ::chmod(locked.toLocal8Bit(), 0755);

        ASSERT_FALSE(asked.isEmpty());
        EXPECT_TRUE(asked.last().startsWith(c.box)) << asked.last().toStdString();
        EXPECT_EQ(Node(relative) == nullptr, c.gone);
        EXPECT_EQ(QFileInfo::exists(drive.host("a/b/") + c.folder), !c.gone);
        // What stays of the folder and everything above it count what the disk holds.
        for (const QString& kept : {relative, QStringLiteral("a\\b"), QStringLiteral("a")}) {
            if (TFolderNode* node = Node(kept)) {
                EXPECT_EQ(TotalsOf(*node->Record()), FreshTotals(window, drive.root() + kept))
                    << kept.toStdString();
            }
        }
        EXPECT_EQ(TotalsOf(*Node({})->Record()), FreshTotals(window, drive.root()));
    }
    EXPECT_EQ(QFileInfo(linked).size(), 40);  // a link goes, never what it points at
    EXPECT_EQ(QFileInfo(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/Trash/files/t2/f.bin")
                  .size(),
              7000);
}

TEST_F(CleanUpTest, KeysActWithCtrlAloneWhileThePageIsOfferedAndNeverOnADrive) {
    drive.file("a/f.bin", 10);
    const struct {
        const char* folder;  // "" for the drive's root
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* box;               // the box the key brings, or nothing
        const char* dialog = nullptr;  // the dialog it opens, left with Cancel
    } cases[] = {
        {"", Qt::Key_D, Qt::ControlModifier, nullptr},
        {"", Qt::Key_B, Qt::ControlModifier, nullptr},
        {"", Qt::Key_M, Qt::ControlModifier, nullptr},
        {"", Qt::Key_R, Qt::ControlModifier, nullptr},
        {"a", Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier, nullptr},
        {"a", Qt::Key_D, Qt::NoModifier, nullptr},
        {"a", Qt::Key_D, Qt::ControlModifier, "Are you sure you want to permanently delete"},
        {"a", Qt::Key_B, Qt::ControlModifier, "Are you sure you want to move"},
        {"a", Qt::Key_M, Qt::ControlModifier, nullptr, "Move Folder"},
        {"a", Qt::Key_R, Qt::ControlModifier, nullptr, "Archive Folder To Gain Some Space"},
    };
    answer = desktop::No;
    QStringList dialogs;
    desktop::SetDialogRunner([&](QDialog& d) {
        dialogs << d.windowTitle();
        return int(QDialog::Rejected);
    });
    TMainForm& window = Start({drive.root()});
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.folder).arg(c.key).toStdString());
        ASSERT_TRUE(window.OpenFolderPath(drive.root() + c.folder));
        window.PresentPage(PagePieChart);  // the keys act from any page
        asked.clear();
        dialogs.clear();
        QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key(c.key), c.modifiers);
        EXPECT_TRUE(asked.value(0).startsWith(c.box)) << asked.value(0).toStdString();
        EXPECT_EQ(asked.size(), c.box ? 1 : 0);
        EXPECT_EQ(dialogs, c.dialog ? QStringList{c.dialog} : QStringList{});
        EXPECT_TRUE(QFileInfo::exists(drive.host("a/f.bin")));
    }
    desktop::SetDialogRunner({});
}

TEST_F(CleanUpTest, ThePointerMovingStraightFromPanelToPanelLightsOnlyTheSecond) {
    drive.folder("a");
    TMainForm& window = Start({drive.path("a")});
    window.PresentPage(PageCleanUp);
    const auto* memo =
        Control<TCleanUpPage>("pageCleanUp")->findChild<QTextEdit*>("ediCleanMenuHint");
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const auto lit = [&](const char* name) {
        return Panel(name)->palette().color(QPalette::Button) == highlight &&
               LabelOf(name)->palette().color(QPalette::WindowText) == QColor(Qt::white);
    };
    const auto enter = [&](const char* name) {
        QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(Panel(name), &event);
    };
    const auto leave = [&](const char* name) {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(Panel(name), &event);
    };
    EXPECT_EQ(memo->toPlainText(), TCleanUpPage::HintTexts[0]);
    enter("panCleanMenuDelete");
    EXPECT_TRUE(lit("panCleanMenuDelete"));
    EXPECT_EQ(memo->toPlainText(), TCleanUpPage::HintTexts[4]);
    leave("panCleanMenuDelete");
    enter("panCleanMenuMove");
    EXPECT_FALSE(lit("panCleanMenuDelete"));
    EXPECT_EQ(LabelOf("panCleanMenuDelete")->palette().color(QPalette::WindowText),
              QColor(Qt::black));
    EXPECT_TRUE(lit("panCleanMenuMove"));
    EXPECT_EQ(memo->toPlainText(), TCleanUpPage::HintTexts[1]);
    leave("panCleanMenuMove");
    EXPECT_EQ(memo->toPlainText(), TCleanUpPage::HintTexts[0]);
}

TEST_F(CleanUpTest, TrashedFromThePageTheDesktopsToolsListAndRestoreIt) {
    if (QStandardPaths::findExecutable("trash-list").isEmpty() ||
        QStandardPaths::findExecutable("trash-restore").isEmpty())
        GTEST_SKIP() << "trash-cli is not installed (scripts/setup-deps.sh installs it)";
    drive.file("a/photos/one.jpg", 12345);
    TMainForm& window = Start({drive.path("a/photos")});
    window.PresentPage(PageCleanUp);
    QTest::mouseClick(LabelOf("panCleanMenuRecycle"), Qt::LeftButton);
    ASSERT_EQ(Node("a\\photos"), nullptr);
    const QString original = drive.host("a/photos");

    QProcess list;
    list.start("trash-list", {});
    ASSERT_TRUE(list.waitForFinished(60000));
    EXPECT_TRUE(QString::fromUtf8(list.readAllStandardOutput()).contains(original));
    if (!QStandardPaths::findExecutable("dbus-run-session").isEmpty() &&
        QFileInfo::exists("/usr/libexec/gvfsd-trash")) {
        QProcess gio;
        gio.start("dbus-run-session", {"--", "gio", "trash", "--list"});
        ASSERT_TRUE(gio.waitForFinished(60000));
        EXPECT_TRUE(QString::fromUtf8(gio.readAllStandardOutput()).contains(original));
    }
    QProcess restore;
    restore.setWorkingDirectory(drive.host("a"));
    restore.start("trash-restore", {original});
    restore.write("0\n");
    restore.closeWriteChannel();
    ASSERT_TRUE(restore.waitForFinished(60000));
    EXPECT_EQ(QFileInfo(drive.host("a/photos/one.jpg")).size(), 12345);
}

TEST_F(CleanUpTest, AFolderOnAnotherFileSystemGoesToThatFileSystemsTrash) {
    QTemporaryDir other(QStringLiteral("/dev/shm/quillon-test-XXXXXX"));
    struct stat here {
    }, there{};
    if (!other.isValid() || ::stat(other.path().toLocal8Bit(), &there) != 0 ||
        ::stat(drive.host().toLocal8Bit(), &here) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const QString trash = QStringLiteral("/dev/shm/.Trash-%1").arg(::getuid());
    const bool trashWasThere = QFileInfo::exists(trash);
    DriveMapScope map(QStringLiteral("T=%1;O=%2").arg(drive.host(), other.path()));
    const QString name = QFileInfo(other.path()).fileName() + "-moved";
    QDir().mkpath(other.path() + "/" + name);
    QFile file(other.path() + "/" + name + "/data.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(2000, 'x'));
    file.close();

    TMainForm& window = Start({QStringLiteral("O:\\") + name});
    window.PresentPage(PageCleanUp);
    QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_B, Qt::ControlModifier);
    const QString trashed = trash + "/files/" + name;
    EXPECT_EQ(testing_support::ReadFile(trashed + "/data.bin"), QByteArray(2000, 'x'));
    EXPECT_TRUE(testing_support::ReadFile(trash + "/info/" + name + ".trashinfo")
                    .contains(QUrl::toPercentEncoding(QFileInfo(other.path()).fileName(), "/")));
    EXPECT_FALSE(QFileInfo::exists(other.path() + "/" + name));
    if (trashWasThere) {
        QDir(trashed).removeRecursively();
        QFile::remove(trash + "/info/" + name + ".trashinfo");
    } else {
        QDir(trash).removeRecursively();
    }
}

}  // namespace
