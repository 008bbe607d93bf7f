// The shell services: names, types and icons of paths, and what a launch hands to the host.
#include <gtest/gtest.h>

#include <QFile>
#include <QUrl>

#include "desktop/Shell.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using namespace desktop;
using testing_support::TempDrive;

namespace {

// Keeps every launch instead of carrying it out.
class Launches {
public:
    explicit Launches(ShellOutcome answer = {}) {
        SetShellLauncher([this, answer](const ShellLaunch& l) {
            seen.push_back(l);
            return answer;
        });
    }
    ~Launches() { SetShellLauncher({}); }
    std::vector<ShellLaunch> seen;
};

}  // namespace

TEST(Shell, NamesAndTypesOfPaths) {
    TempDrive drive;
    drive.file("notes.txt", 3);
    drive.folder("sub");
    EXPECT_EQ(ShellDisplayName(drive.root()), drive.host() + " (T:)");
    EXPECT_EQ(ShellDisplayName("t:"), drive.host() + " (T:)");
    EXPECT_EQ(ShellDisplayName(drive.path("sub\\")), "sub");
    EXPECT_EQ(ShellDisplayName("Q:\\"), "");
    EXPECT_EQ(ShellTypeName(drive.root()), "Folder");
    EXPECT_EQ(ShellTypeName(drive.path("sub")), "Folder");
    EXPECT_EQ(ShellTypeName(drive.path("notes.txt")), "plain text document");
}

TEST(Shell, TheIconListSharesIndicesByKind) {
    TempDrive drive;
    drive.folder("a");
    drive.folder("b");
    ShellIconList& list = ShellIconList::Instance();
    const int folder = list.IndexOf(drive.path("a"));
    EXPECT_EQ(list.IndexOf(drive.path("b")), folder);
    EXPECT_NE(list.IndexOf(drive.path("b"), true), folder);
    EXPECT_NE(list.IndexOf(drive.root()), folder);
    for (int i : {folder, list.IndexOf(drive.root()), list.IndexOf(drive.path("missing.txt"))}) {
        EXPECT_FALSE(list.Icon(i).isNull()) << i;
        EXPECT_EQ(list.Pixmap(i, IconSize::Small).size(), ShellIconSize(IconSize::Small)) << i;
    }
    EXPECT_TRUE(list.Icon(list.Count()).isNull());
    EXPECT_EQ(ShellIconSize(IconSize::Small), QSize(16, 16));
}

TEST(Shell, OpeningHandsTheHostAnAddressOrAFileUrl) {
    TempDrive drive;
    drive.file("a b.txt", 1);
    Launches launches;
    EXPECT_TRUE(OpenWithDefaultHandler("mailto:ann@example.org").ok());
    EXPECT_TRUE(OpenWithDefaultHandler(drive.path("a b.txt")).ok());
    EXPECT_TRUE(OpenFileManager(drive.root()).ok());
    const ShellOutcome missing = OpenWithDefaultHandler(drive.path("missing.txt"));
    EXPECT_EQ(missing.error, ShellError::FileNotFound);
    EXPECT_EQ(missing.errorText, "No such file or directory");
    ASSERT_EQ(launches.seen.size(), 3u);
    EXPECT_EQ(launches.seen[0].target, "mailto:ann@example.org");
    EXPECT_EQ(QUrl(launches.seen[1].target).toLocalFile(), drive.host("a b.txt"));
    EXPECT_EQ(QUrl(launches.seen[2].target).toLocalFile(), drive.host());
}

TEST(Shell, AProgramGetsItsArgumentsAndFolder) {
    TempDrive drive;
    drive.folder("work");
    Launches launches;
    EXPECT_TRUE(
        StartProgram("/bin/true", "one \"two words\"", drive.path("work"), ShowMode::Maximized)
            .ok());
    ASSERT_EQ(launches.seen.size(), 1u);
    EXPECT_EQ(launches.seen[0].arguments, (QStringList{"one", "two words"}));
    EXPECT_EQ(launches.seen[0].workingFolder, drive.host("work"));
    EXPECT_EQ(launches.seen[0].show, ShowMode::Maximized);
}

TEST(Shell, FailuresCarryTheSystemsWords) {
    TempDrive drive;
    const QString plain = drive.file("plain.txt", 1);
    struct Case {
        QString program, folder;
        ShellError error;
        QString text;
    } cases[] = {
        {drive.path("none"), {}, ShellError::FileNotFound, "No such file or directory"},
        {drive.path("plain.txt"), {}, ShellError::AccessDenied, "Permission denied"},
        {"/bin/true", drive.path("no-folder"), ShellError::PathNotFound,
         "No such file or directory"},
        {"Q:\\prog", {}, ShellError::PathNotFound, "No such file or directory"},
    };
    for (const Case& c : cases) {
        const ShellOutcome out = StartProgram(c.program, {}, c.folder, ShowMode::Normal);
        EXPECT_EQ(out.error, c.error) << c.program.toStdString();
        EXPECT_EQ(out.errorText, c.text) << c.program.toStdString();
    }
    // Without a launcher in between, the host's own words come back.
    ASSERT_TRUE(
        QFile::setPermissions(plain, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const ShellOutcome out = StartProgram(drive.path("plain.txt"), {}, {}, ShowMode::Normal);
    EXPECT_EQ(out.error, ShellError::Other);
    EXPECT_EQ(out.errorText, "execv: Exec format error");
}
