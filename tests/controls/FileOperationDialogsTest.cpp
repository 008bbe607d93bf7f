// The shell's file operations on temporary drives: what they remove, what they must leave alone,
// and that the Trash they fill is the one the desktop's own tools read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

#include "controls/FileOperationDialogs.h"
#include "desktop/MessageBox.h"
#include "platform/Trash.h"
#include "tests/fixtures/Answers.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::EnvironmentScope;
using testing_support::ReadFile;
using testing_support::ScriptedAnswers;
using namespace platform;
using namespace desktop;
using testing_support::DriveMapScope;
using testing_support::TempDrive;
using testing_support::TempTree;
using testing_support::WriteFile;

namespace {

bool Exists(const QString& host) {
    return QFileInfo(host).exists() || QFileInfo(host).isSymLink();
}

}  // namespace

TEST(DeleteItems, RemovesTheTreeButNeverWhatItsLinksPointAt) {
    TempTree outside;
    WriteFile(outside.host("keep/precious.txt"), "data");
    TempDrive drive;
    WriteFile(drive.host("dir/sub/a.txt"), "a");
    ASSERT_TRUE(QFile::link(outside.host("keep"), drive.host("dir/to-folder")));
    ASSERT_TRUE(QFile::link(outside.host("keep/precious.txt"), drive.host("dir/sub/to-file")));

    ScriptedAnswers yes(Yes);
    const FileOperationResult r = DeleteItems(nullptr, {drive.path("dir")});
    EXPECT_TRUE(r.ok()) << r.errorText.toStdString();
    EXPECT_EQ(yes.asked, QStringList{"Are you sure you want to permanently delete \"dir\"?"});
    EXPECT_FALSE(Exists(drive.host("dir")));
    EXPECT_EQ(ReadFile(outside.host("keep/precious.txt")), QByteArray("data"));
}

TEST(DeleteItems, DecliningOrNobodyToAskLeavesEverything) {
    TempDrive drive;
    WriteFile(drive.host("dir/a.txt"), "a");
    {
        ScriptedAnswers no(No);
        EXPECT_EQ(DeleteItems(nullptr, {drive.path("dir")}).status, FileOperationStatus::Declined);
    }
    // Offscreen, a box answers its default button: permanent deletion defaults to No.
    EXPECT_EQ(DeleteItems(nullptr, {drive.path("dir")}).status, FileOperationStatus::Declined);
    EXPECT_TRUE(Exists(drive.host("dir/a.txt")));
}

TEST(DeleteItems, RefusesADriveRootAndKeepsItsContents) {
    TempDrive drive;
    WriteFile(drive.host("a.txt"), "a");
    const FileOperationResult r = DeleteItems(nullptr, {drive.root()}, NoConfirmation | NoErrorUi);
    EXPECT_EQ(r.status, FileOperationStatus::Failed);
    EXPECT_TRUE(Exists(drive.host("a.txt")));
}

TEST(DeleteItems, AWildcardActsOnEveryMatchWithOneQuestion) {
    TempDrive drive;
    WriteFile(drive.host("d/one.tmp"), "1");
    WriteFile(drive.host("d/two.TMP"), "2");
    WriteFile(drive.host("d/keep.txt"), "3");
    ScriptedAnswers yes(Yes);
    EXPECT_TRUE(DeleteItems(nullptr, {drive.path("d/*.tmp")}).ok());
    EXPECT_EQ(yes.asked, QStringList{"Are you sure you want to permanently delete these 2 items?"});
    EXPECT_EQ(QDir(drive.host("d")).entryList(QDir::Files), QStringList{"keep.txt"});
}

TEST(DeleteItems, CancelledFromTheProgressStopsPartWay) {
    TempDrive drive;
    for (int i = 0; i < 20; ++i) WriteFile(drive.host(QStringLiteral("d/f%1").arg(i)), "x");
    int working = 0;  // calls after the counting, which reports no totals yet
    FileOperationCallbacks callbacks{[&](const FileOperationProgress& p) {
        if (p.totalEntries == 0) return true;
        EXPECT_EQ(p.totalEntries, 21);
        return ++working < 3;
    }};
    const FileOperationResult r =
        DeleteItems(nullptr, {drive.path("d")}, NoConfirmation, callbacks);
    EXPECT_EQ(r.status, FileOperationStatus::Cancelled);
    EXPECT_TRUE(Exists(drive.host("d")));
}

class TrashTest : public ::testing::Test {
protected:
    QTemporaryDir xdg;
    TempDrive drive;
    // The data folder does not exist yet: the operation must create it first.
    QString dataHome = xdg.filePath(QStringLiteral("home/.local/share"));
    EnvironmentScope data{"XDG_DATA_HOME", dataHome};
    EnvironmentScope home{"HOME", xdg.filePath(QStringLiteral("home"))};

    QString Trash(const QString& rel) const { return dataHome + QLatin1String("/Trash/") + rel; }
};

TEST_F(TrashTest, ItemsGoToTheHomeTrashWithTheirInfoFiles) {
    WriteFile(drive.host("my file%.txt"), "1");
    WriteFile(drive.host("dir/inner.txt"), "2");
    ScriptedAnswers yes(Yes);
    const FileOperationResult r =
        RecycleItems(nullptr, {drive.path("my file%.txt"), drive.path("dir")});
    ASSERT_TRUE(r.ok()) << r.errorText.toStdString();
    EXPECT_EQ(yes.asked, QStringList{"Are you sure you want to move these 2 items to the Trash?"});
    EXPECT_FALSE(Exists(drive.host("dir")));
    EXPECT_EQ(ReadFile(Trash("files/dir/inner.txt")), QByteArray("2"));
    const QByteArray info = ReadFile(Trash("info/my file%.txt.trashinfo"));
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=")) << info.constData();
    EXPECT_TRUE(info.contains(QUrl::toPercentEncoding(drive.host("my file%.txt"), "/")));
    EXPECT_TRUE(info.contains("/my%20file%25.txt\n")) << info.constData();
    EXPECT_TRUE(info.contains("\nDeletionDate=2")) << info.constData();
    EXPECT_EQ(QFileInfo(dataHome).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST_F(TrashTest, ASecondItemOfTheSameNameGetsItsOwnName) {
    WriteFile(drive.host("a.txt"), "first");
    EXPECT_TRUE(RecycleItems(nullptr, {drive.path("a.txt")}, NoConfirmation).ok());
    WriteFile(drive.host("a.txt"), "second");
    EXPECT_TRUE(RecycleItems(nullptr, {drive.path("a.txt")}, NoConfirmation).ok());
    EXPECT_EQ(ReadFile(Trash("files/a.txt")), QByteArray("first"));
    EXPECT_EQ(ReadFile(Trash("files/a.txt.2")), QByteArray("second"));
    EXPECT_TRUE(Exists(Trash("info/a.txt.2.trashinfo")));
}

TEST_F(TrashTest, ARelativeDataHomeIsIgnored) {
    EnvironmentScope relative("XDG_DATA_HOME", QStringLiteral("relative/share"));
    EXPECT_EQ(HomeTrashFolder(), xdg.filePath(QStringLiteral("home/.local/share/Trash")));
    WriteFile(drive.host("a.txt"), "1");
    EXPECT_TRUE(RecycleItems(nullptr, {drive.path("a.txt")}, NoConfirmation).ok());
    EXPECT_TRUE(Exists(Trash("files/a.txt")));
    EXPECT_FALSE(Exists(QDir::current().filePath(QStringLiteral("relative"))));
}

TEST_F(TrashTest, WhereNoTrashCanTakeItTheUserDecides) {
    // The folder that holds the Trash itself cannot go into it.
    const QString holder = xdg.filePath(QStringLiteral("home"));
    DriveMapScope map(QStringLiteral("H=") + xdg.path());
    WriteFile(holder + QLatin1String("/file.txt"), "x");
    {
        ScriptedAnswers no(No);
        const FileOperationResult r =
            RecycleItems(nullptr, {QStringLiteral("H:\\home")}, NoConfirmation);
        EXPECT_EQ(r.status, FileOperationStatus::Failed);
        ASSERT_EQ(no.asked.size(), 1);
        EXPECT_TRUE(no.asked[0].startsWith(
            "\"home\" cannot be moved to the Trash: the Trash is inside it."))
            << no.asked[0].toStdString();
        EXPECT_TRUE(no.asked[0].endsWith("Do you want to delete it permanently?"));
        EXPECT_TRUE(Exists(holder + QLatin1String("/file.txt")));
    }
    ScriptedAnswers yes(Yes);
    EXPECT_TRUE(RecycleItems(nullptr, {QStringLiteral("H:\\home")}, NoConfirmation).ok());
    EXPECT_FALSE(Exists(holder));
}

TEST_F(TrashTest, TheDesktopsTrashToolsSeeWhatWeTrashed) {
    WriteFile(drive.host("seen by tools.txt"), "1");
    ASSERT_TRUE(RecycleItems(nullptr, {drive.path("seen by tools.txt")}, NoConfirmation).ok());
    const QString original = drive.host("seen by tools.txt");
    int checked = 0;
    if (!QStandardPaths::findExecutable(QStringLiteral("trash-list")).isEmpty()) {
        QProcess p;
        p.start(QStringLiteral("trash-list"), {});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(original));
        ++checked;
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty() &&
        !QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty() &&
        QFileInfo::exists(QStringLiteral("/usr/libexec/gvfsd-trash"))) {
        QProcess p;
        p.start(QStringLiteral("dbus-run-session"),
                {QStringLiteral("--"), QStringLiteral("gio"), QStringLiteral("trash"),
                 QStringLiteral("--list")});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(original))
            << p.readAllStandardError().constData();
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "neither trash-list nor gio with gvfs is installed";
}

TEST(MoveItems, WithinADriveAFolderIsRenamedWhole) {
    TempDrive drive;
    WriteFile(drive.host("src/a/b.txt"), "b");
    const FileOperationResult r =
        MoveFolder(nullptr, drive.path("src"), drive.path("new/src"), NoConfirmation);
    EXPECT_TRUE(r.ok()) << r.errorText.toStdString();
    EXPECT_EQ(ReadFile(drive.host("new/src/a/b.txt")), QByteArray("b"));
    EXPECT_FALSE(Exists(drive.host("src")));
}

TEST(MoveItems, AFolderCannotGoIntoItself) {
    TempDrive drive;
    WriteFile(drive.host("src/a.txt"), "a");
    const FileOperationResult r =
        MoveFolder(nullptr, drive.path("src"), drive.path("src/inner"), NoConfirmation | NoErrorUi);
    EXPECT_EQ(r.status, FileOperationStatus::Failed);
    EXPECT_EQ(ReadFile(drive.host("src/a.txt")), QByteArray("a"));
}

TEST(MoveItems, AFileMeetingAFileAsksBeforeReplacing) {
    TempDrive drive;
    WriteFile(drive.host("src/a.txt"), "new");
    WriteFile(drive.host("dst/a.txt"), "old");
    {
        ScriptedAnswers no(No);
        MoveItems(nullptr, {drive.path("src/a.txt")}, drive.path("dst"));
        EXPECT_EQ(no.asked.size(), 1);
        EXPECT_EQ(ReadFile(drive.host("dst/a.txt")), QByteArray("old"));
        EXPECT_EQ(ReadFile(drive.host("src/a.txt")), QByteArray("new"));
    }
    ScriptedAnswers yes(Yes);
    EXPECT_TRUE(MoveItems(nullptr, {drive.path("src/a.txt")}, drive.path("dst")).ok());
    EXPECT_EQ(ReadFile(drive.host("dst/a.txt")), QByteArray("new"));
    EXPECT_FALSE(Exists(drive.host("src/a.txt")));
}

// A second file system: tmpfs at /dev/shm, when it is one.
class CrossDeviceMove : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat a {
        }, b{};
        if (!other.isValid() || ::stat(other.path().toLocal8Bit(), &a) != 0 ||
            ::stat(source.host().toLocal8Bit(), &b) != 0 || a.st_dev == b.st_dev)
            GTEST_SKIP() << "no second file system to move across";
        map = std::make_unique<DriveMapScope>(
            QStringLiteral("S=%1;O=%2").arg(source.host(), other.path()));
    }
    TempTree source;
    QTemporaryDir other{QStringLiteral("/dev/shm/quillon-test-XXXXXX")};
    std::unique_ptr<DriveMapScope> map;
};

TEST_F(CrossDeviceMove, CopiesReadsBackThenRemovesTheSource) {
    TempTree outside;
    WriteFile(outside.host("target.txt"), "outside");
    WriteFile(source.host("src/a/data.bin"), QByteArray(3 << 20, 'q'));
    WriteFile(source.host("src/.hidden"), "h");
    ASSERT_TRUE(QFile::link(outside.host("target.txt"), source.host("src/link")));
    ASSERT_TRUE(QFile::setPermissions(source.host("src/.hidden"), QFile::ReadOwner));

    const FileOperationResult r = MoveFolder(nullptr, "S:\\src", "O:\\moved", NoConfirmation);
    ASSERT_TRUE(r.ok()) << r.errorText.toStdString();
    EXPECT_FALSE(Exists(source.host("src")));
    const QString moved = other.filePath(QStringLiteral("moved"));
    EXPECT_EQ(ReadFile(moved + "/a/data.bin"), QByteArray(3 << 20, 'q'));
    EXPECT_EQ(QFileInfo(moved + "/link").symLinkTarget(), outside.host("target.txt"));
    EXPECT_EQ(QFileInfo(moved + "/.hidden").permissions() &
                  (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther),
              QFile::ReadOwner);
    EXPECT_EQ(ReadFile(outside.host("target.txt")), QByteArray("outside"));
}

TEST_F(CrossDeviceMove, ACancelledCopyLeavesTheSourceWholeAndNoHalfCopy) {
    WriteFile(source.host("src/one.bin"), QByteArray(2 << 20, '1'));
    WriteFile(source.host("src/two.bin"), QByteArray(2 << 20, '2'));
    int calls = 0;
    FileOperationCallbacks stopSoon{[&](const FileOperationProgress&) { return ++calls < 4; }};
    const FileOperationResult r = MoveItems(nullptr, {"S:\\src"}, "O:\\", NoConfirmation, stopSoon);
    EXPECT_EQ(r.status, FileOperationStatus::Cancelled);
    EXPECT_EQ(ReadFile(source.host("src/one.bin")), QByteArray(2 << 20, '1'));
    EXPECT_EQ(ReadFile(source.host("src/two.bin")), QByteArray(2 << 20, '2'));
    EXPECT_EQ(QDir(other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{});
}
