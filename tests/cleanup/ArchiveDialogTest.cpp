// The archive page of the archive dialog on a temporary drive: the archives folder and the
// register it makes, the results it shows, and that a run that fails or is stopped loses no
// file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>

#include "cleanup/FormCleanUpCompress.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/FindFile.h"
#include "tests/cleanup/ArchiveTestSupport.h"
#include "tests/cleanup/ZipTestSupport.h"
#include "tests/fixtures/Privileges.h"
#include "views/PageParts.h"

using namespace archive_testing;

namespace {

class ArchiveDialogTest : public ArchiveTest {};

const QRegularExpression kArchiveName(QStringLiteral("^T[0-9A-F]{7,8}\\.ZIP$"));

TEST_F(ArchiveDialogTest, TheFirstArchiveMakesTheHiddenFolderAndARegisterOfThreeSections) {
    const QString host = MakeSampleFolder(drive.host("a"), "Docs");
    const TreeFacts original = FactsOf(host);
    const ArchiveRun run = Archive(drive.path("a\\Docs"), true, 5 << 20);
    ASSERT_TRUE(run.resultsShown) << boxes.join('\n').toStdString();
    EXPECT_TRUE(kArchiveName.match(run.archive).hasMatch()) << run.archive.toStdString();
    EXPECT_FALSE(QFileInfo::exists(host));  // moved into the archive
    EXPECT_TRUE(QFileInfo::exists(drive.host("a")));

    // Hidden by the root's list, under its own name: file managers and the program agree.
    EXPECT_EQ(ReadFile(drive.host(".hidden")), "Archives Bin\n");
    const uint32_t attributes = platform::GetFileAttributes(drive.path("Archives Bin"));
    EXPECT_EQ(attributes, platform::FILE_ATTRIBUTE_DIRECTORY | platform::FILE_ATTRIBUTE_HIDDEN);
    // GLib, through which GNOME Files, Nemo and Caja list folders, reads the list as well.
    if (!QStandardPaths::findExecutable("gio").isEmpty()) {
        QString shown, all;
        EXPECT_EQ(zip_testing::RunProgram("gio", {"list", drive.host()}, &shown), 0);
        EXPECT_EQ(zip_testing::RunProgram("gio", {"list", "--hidden", drive.host()}, &all), 0);
        EXPECT_FALSE(shown.split('\n').contains("Archives Bin")) << shown.toStdString();
        EXPECT_TRUE(all.split('\n').contains("Archives Bin")) << all.toStdString();
    }
    EXPECT_EQ(ArchiveFiles(), QStringList({run.archive, "archives.ini"}));
    EXPECT_EQ(RegisterLines(), QStringList({"Descriptions/" + run.archive + "=Docs Folder",
                                            "FolderNames/" + run.archive + "=Docs",
                                            "OriginalPaths/" + run.archive + "=T:\\a"}));
    EXPECT_TRUE(ReadFile(RegisterHost()).startsWith("[Descriptions]\r\n"));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();

    // What the archive holds is the folder, as Info-ZIP reads it back.
    QString output;
    EXPECT_EQ(zip_testing::RunProgram("unzip", {"-tq", drive.host("Archives Bin/" + run.archive)},
                                      &output),
              0)
        << output.toStdString();
    EXPECT_EQ(
        zip_testing::RunProgram(
            "unzip", {"-q", drive.host("Archives Bin/" + run.archive), "-d", drive.host("check")},
            &output),
        0)
        << output.toStdString();
    const auto contents = [](const TreeFacts& facts) {
        std::map<QString, std::pair<char, QByteArray>> kept;
        for (const auto& [path, e] : facts) kept[path] = {e.kind, e.bytes};
        return kept;
    };
    EXPECT_EQ(contents(FactsOf(drive.host("check/Docs"))), contents(original));
}

TEST_F(ArchiveDialogTest, TwoRunsOfOneFolderGiveTwoArchivesWithTheirOwnEntries) {
    MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun first = Archive(drive.path("Docs"), false);
    const ArchiveRun second =
        Archive(drive.path("Docs"), false, 0, [](TCleanUpCompressFolderBox& box) {
            box.findChild<QSpinBox*>("ediCompressionLevel")->setValue(0);
        });
    ASSERT_TRUE(first.resultsShown && second.resultsShown);
    EXPECT_NE(first.archive, second.archive);
    EXPECT_EQ(ArchiveFiles().size(), 3);
    const QStringList lines = RegisterLines();
    EXPECT_EQ(lines.size(), 6);
    for (const QString& archive : {first.archive, second.archive}) {
        EXPECT_TRUE(lines.contains("Descriptions/" + archive + "=Docs Folder"));
        EXPECT_TRUE(lines.contains("FolderNames/" + archive + "=Docs"));
        EXPECT_TRUE(lines.contains("OriginalPaths/" + archive + "=T:\\"));  // a root keeps "\"
    }
    // Level 0 stores: the second archive is the larger.
    EXPECT_GT(QFileInfo(drive.host("Archives Bin/" + second.archive)).size(),
              QFileInfo(drive.host("Archives Bin/" + first.archive)).size());
    EXPECT_TRUE(QFileInfo::exists(drive.host("Docs/big.bin")));
}

// With "Move" the gain is what really left the drive less the archive; kept, the Part's
// estimate from the space the folder was using.
TEST_F(ArchiveDialogTest, TheResultsSayWhatWasUsedAndGainedOrHideTheGainThereIsNot) {
    const QString root = engine::DriveDisplayName("T:\\");
    const QByteArray text = QByteArray("compresses well ").repeated(65536);
    const QByteArray noise = Noise(50000, 3);
    const struct {
        bool move;
        const QByteArray& contents;
        int64_t used;
        const char* third;  // nullptr: hidden; "%1" the size
    } cases[] = {
        {true, text, 10 << 20, "By compressing the folder you have gained %1 of disk space"},
        {true, noise, 10 << 20,
         "By compressing the folder you have gained no disk space: the archive takes %1 more "
         "than the files it replaced"},
        {false, noise, 10 << 20,
         "You should delete the folder you have compressed. This way you will gain %1 of disk "
         "space"},
        {false, noise, 100, nullptr},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const QString name = QStringLiteral("F%1").arg(n++);
        WriteFile(drive.host(name + "/contents.bin"), c.contents);
        const ArchiveRun run = Archive(drive.path(name), c.move, c.used);
        ASSERT_TRUE(run.resultsShown) << boxes.join('\n').toStdString();
        const int64_t a = QFileInfo(drive.host("Archives Bin/" + run.archive)).size();
        QStringList expected = {"The folder you have compressed was using " +
                                    engine::SizeText(c.used) + " of disk space on drive " + root,
                                "The ZIP achive containing the compressed folder is using " +
                                    engine::SmallSizeText(a) + " of disk space on drive " + root};
        const int64_t gain = c.move ? c.contents.size() - a : c.used - a;
        if (c.third) expected << QString(c.third).arg(engine::SizeText(std::abs(gain)));
        EXPECT_EQ(run.results, expected);
        EXPECT_EQ(QFileInfo::exists(drive.host(name)), !c.move);
    }
}

TEST_F(ArchiveDialogTest, AStoppedRunRegistersNothingItDidNotFinishAndKeepsEverySource) {
    const struct {
        const char* when;
        bool move;
        // Whether to press "Stop" now, asked at each pump of the run.
        std::function<bool(TCleanUpCompressFolderBox&)> now;
        const char* message;
    } cases[] = {
        {"at once", true, [](TCleanUpCompressFolderBox&) { return true; },
         "The folder was not archived:\nStopped: nothing was added"},
        {"part-way", false,
         [](TCleanUpCompressFolderBox& box) {
             return box.findChild<TPathLabel*>("txtProgressFile")->Path().endsWith("run.sh");
         },
         "The folder was not archived:\nStopped: nothing was added"},
        {"while the archive is read back", true,
         [this](TCleanUpCompressFolderBox&) {
             // The archive is in place once written; "move" then reads it back.
             return !QDir(drive.host("Archives Bin")).entryList({"T*.ZIP"}, QDir::Files).isEmpty();
         },
         "The folder was not archived:\nStopped: nothing was added, nothing was deleted"},
    };
    const QString host = MakeSampleFolder(drive.host(), "Docs");
    const TreeFacts original = FactsOf(host);
    const int64_t size = 2 << 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        boxes.clear();
        bool pressed = false;
        const ArchiveRun run =
            Archive(drive.path("Docs"), c.move, size, [&](TCleanUpCompressFolderBox& box) {
                auto* watch = new QTimer(&box);
                QObject::connect(watch, &QTimer::timeout, &box, [&] {
                    if (!pressed && c.now(box)) {
                        pressed = true;
                        box.findChild<QPushButton*>("cmdStop")->click();
                    }
                });
                watch->start(0);
            });
        EXPECT_TRUE(pressed);
        EXPECT_FALSE(run.resultsShown);
        EXPECT_EQ(run.archive, QString());
        EXPECT_EQ(FactsOf(host), original);
        ASSERT_FALSE(boxes.isEmpty());
        EXPECT_TRUE(boxes.last().startsWith(c.message)) << boxes.last().toStdString();
        // Nothing is left of the run: no register, no archives folder, nothing hidden.
        EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
        EXPECT_FALSE(QFileInfo::exists(drive.host(".hidden")));
    }
}

TEST_F(ArchiveDialogTest, FailuresBeforeTheEngineTouchNothingAndLeadBackToThePage) {
    const QString host = MakeSampleFolder(drive.host(), "Docs");
    const TreeFacts original = FactsOf(host);
    // The box the dialog shows when it opens, before any run.
    QString expectedFirst;
    const auto check = [&](bool move, const QString& box) {
        SCOPED_TRACE(box.toStdString());
        boxes.clear();
        testing_support::WithoutPermissionOverride asAnyUser;
        if (!asAnyUser.ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
        bool closeEnabled = false;
        // The page's name, not the page: the dialog is gone when the run returns.
        QString page;
        const ArchiveRun run =
            Archive(drive.path("Docs"), move, 0, [&](TCleanUpCompressFolderBox& box) {
                QObject::connect(
                    box.findChild<QPushButton*>("cmdCompress"), &QPushButton::clicked, &box, [&] {
                        closeEnabled = box.findChild<QPushButton*>("cmdClose")->isEnabled();
                        page =
                            box.findChild<QTabWidget*>("ThePages")->currentWidget()->objectName();
                    });
            });
        const QStringList expected =
            expectedFirst.isEmpty() ? QStringList{box} : QStringList{expectedFirst, box};
        EXPECT_EQ(boxes, expected);
        EXPECT_FALSE(run.resultsShown);
        EXPECT_TRUE(closeEnabled);
        EXPECT_EQ(page, "sheetCompress");
        EXPECT_EQ(FactsOf(host), original);
    };
    // A drive whose root takes no new folder; with "Move", whose root would not let the folder go
    // either, which is said first.
    ASSERT_EQ(::chmod(QFile::encodeName(drive.host()).constData(), 0555), 0);
    check(false,
          "Could not create folder T:\\Archives Bin\n\"T:\\Archives Bin\": Permission denied");
    check(true,
          "The folder T:\\Docs cannot be moved into an archive; nothing was written and nothing "
          "deleted:\n\"T:\\Docs\" cannot be removed from its folder: Permission denied");
    ::chmod(QFile::encodeName(drive.host()).constData(), 0755);
    EXPECT_FALSE(QFileInfo::exists(drive.host("Archives Bin")));
    // A register that cannot be read: the entry cannot go in before the folder goes out.
    QDir().mkdir(drive.host("Archives Bin"));
    WriteFile(RegisterHost(), "[Descriptions]\r\nTOLD.ZIP=kept\r\n");
    ::chmod(QFile::encodeName(RegisterHost()).constData(), 0);
    expectedFirst =
        "The archives of drive T: cannot be listed: T:\\Archives Bin\\archives.ini: "
        "Permission denied";
    check(true, "Unable to write to T:\\Archives Bin\\archives.ini");
    ::chmod(QFile::encodeName(RegisterHost()).constData(), 0644);
    EXPECT_EQ(ReadFile(RegisterHost()), "[Descriptions]\r\nTOLD.ZIP=kept\r\n");
    EXPECT_EQ(ArchiveFiles(), QStringList{"archives.ini"});
}

TEST_F(ArchiveDialogTest, TheArchivesFolderItselfIsNeverArchivedIntoItself) {
    MakeSampleFolder(drive.host(), "Docs");
    const ArchiveRun kept = Archive(drive.path("Docs"), false);
    ASSERT_TRUE(kept.resultsShown);
    const QStringList files = ArchiveFiles();
    const ArchiveRun run = Archive(drive.path("Archives Bin"), true);
    EXPECT_FALSE(run.resultsShown);
    EXPECT_EQ(ArchiveFiles(), files);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("The folder T:\\Archives Bin holds the archives of drive T:"));
}

TEST_F(ArchiveDialogTest, TheBarFollowsTheRoundedPercentageAndNeverMovesBack) {
    TCleanUpCompressFolderBox box;
    auto* bar = box.findChild<QProgressBar*>("pbOverall");
    auto* text = box.findChild<QLabel*>("txtProgress");
    box.SetFolder("T:\\x", 0, 0);
    box.ShowProgressPage("Now Compressing...");
    box.SetBytesDone(500);  // a total of 0 leaves the bar alone
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(text->text(), "0%");
    box.SetFolder("T:\\x", 1000, 1000);
    const struct {
        int64_t done;
        int bar;
    } steps[] = {{4, 0}, {5, 1}, {994, 99}, {500, 99}, {995, 100}, {5000, 100}, {0, 100}};
    for (const auto& s : steps) {
        box.SetBytesDone(s.done);
        EXPECT_EQ(bar->value(), s.bar) << s.done;
        EXPECT_EQ(text->text(), QString::number(s.bar) + "%") << s.done;
    }
    auto* pages = box.findChild<QTabWidget*>("ThePages");
    EXPECT_EQ(pages->currentWidget()->objectName(), "sheetProgress");
    EXPECT_FALSE(pages->isTabVisible(0));
    EXPECT_FALSE(pages->isTabVisible(1));
    EXPECT_TRUE(pages->isTabVisible(2));
    EXPECT_FALSE(box.findChild<QPushButton*>("cmdClose")->isEnabled());
    EXPECT_EQ(box.findChild<QLabel*>("txtProgressTitle1")->text(), "Now Compressing...");
    EXPECT_EQ(box.findChild<QLabel*>("txtProgressTitle2")->text(), "Now Compressing...");
}

}  // namespace
