// The folder verb read by the desktop's own tools (desktop-file-validate, gio), and the shell's
// "find" on a folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include "desktop/DesktopIntegration.h"
#include "platform/Drives.h"
#include "tests/fixtures/TempTree.h"

using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

const QString kCaption = QStringLiteral("Analyze with Quillon Pro");

// Runs a tool to its end; its exit code, or -1 when it did not run. out gets what it wrote.
int RunTool(const QString& program, const QStringList& arguments, QString* out = nullptr,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return -1;
    if (out) *out = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A program that writes its arguments, one per line, to the file named by $ARGS_OUT.
QString FakeProgram(const TempTree& tree, const QString& relative) {
    const QString path = tree.file(relative);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$ARGS_OUT.part\"\nmv \"$ARGS_OUT.part\" "
        "\"$ARGS_OUT\"\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class FolderVerbTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"desktop-file-validate", "gio", "update-desktop-database"})
            ASSERT_FALSE(QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                << tool << " is missing: scripts/setup-deps.sh installs it";
        ASSERT_TRUE(desktop::FolderVerbPath().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
        desktop::RemoveFolderVerb();
    }
    void TearDown() override { desktop::RemoveFolderVerb(); }
};

}  // namespace

// The names a program and a folder may have on Linux, with everything a desktop entry or a shell
// would take up, started through the entry as the file manager's "Open With" starts it.
TEST_F(FolderVerbTest, TheEntryIsValidAndStartsTheProgramWithTheFolderWhateverTheirNames) {
    const QString programs[] = {
        "bin/quillon",
        "Program Files/Quillon Pro/quillon",
        QStringLiteral("Prügramme/Straße ö/quillon"),
        "odd/a \"quoted\" $HOME `pwd` 100% \\back\\/quillon",
    };
    TempTree tree;
    const QString folder = tree.folder(QStringLiteral("My Folder ü/Ärger & Co"));
    for (const QString& relative : programs) {
        SCOPED_TRACE(relative.toStdString());
        const QString program = FakeProgram(tree, relative);
        ASSERT_EQ(desktop::WriteFolderVerb(kCaption, program), QString());
        ASSERT_TRUE(desktop::FolderVerbExists());

        QString said;
        EXPECT_EQ(RunTool("desktop-file-validate", {desktop::FolderVerbPath()}, &said), 0)
            << said.toStdString();
        EXPECT_EQ(said.trimmed(), QString());

        const QString out = tree.host("args.txt");
        QFile::remove(out);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ARGS_OUT", out);
        EXPECT_EQ(RunTool("gio", {"launch", desktop::FolderVerbPath(), folder}, &said, env), 0)
            << said.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(out); }, 10000));
        EXPECT_EQ(ReadText(out), folder + u'\n');
    }
}

TEST_F(FolderVerbTest, TheDatabaseIsRefreshedAndNoDefaultIsEverWritten) {
    TempTree tree;
    const QString program = FakeProgram(tree, "quillon");
    ASSERT_EQ(desktop::WriteFolderVerb(kCaption, program), QString());
    const QString applications = QFileInfo(desktop::FolderVerbPath()).absolutePath();
    // The folder's type list names the entry, so that file managers reading it offer it.
    EXPECT_TRUE(ReadText(applications + "/mimeinfo.cache")
                    .contains(QStringLiteral("inode/directory=quillon-pro-folder.desktop;")));
    const QString text = ReadText(desktop::FolderVerbPath());
    EXPECT_TRUE(text.contains(QStringLiteral("\nNoDisplay=true\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nMimeType=inode/directory;\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nName=Analyze with Quillon Pro\n")));
    for (const QString& folder : {qEnvironmentVariable("XDG_CONFIG_HOME"), applications})
        EXPECT_FALSE(QFileInfo::exists(folder + "/mimeapps.list")) << folder.toStdString();

    desktop::RemoveFolderVerb();
    EXPECT_FALSE(desktop::FolderVerbExists());
    EXPECT_FALSE(ReadText(applications + "/mimeinfo.cache").contains("quillon-pro-folder"));
    desktop::RemoveFolderVerb();  // nothing there: no error, nothing made
    EXPECT_FALSE(desktop::FolderVerbExists());
}

// A desktop that names its file manager as what opens folders keeps it: the verb only joins the
// list of programs that can.
TEST_F(FolderVerbTest, TheDesktopsOwnFolderOpenerStaysTheDefault) {
    TempTree system;
    system.file("applications/files.desktop");
    QFile entry(system.host("applications/files.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(
        "[Desktop Entry]\nType=Application\nName=Files\nExec=/usr/bin/true %U\n"
        "MimeType=inode/directory;\n");
    entry.close();
    system.file("applications/mimeapps.list");
    QFile defaults(system.host("applications/mimeapps.list"));
    ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
    defaults.write("[Default Applications]\ninode/directory=files.desktop\n");
    defaults.close();
    TempTree program;
    ASSERT_EQ(desktop::WriteFolderVerb(kCaption, FakeProgram(program, "quillon")), QString());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_DIRS", system.host());
    env.insert("XDG_CONFIG_DIRS", system.folder("config"));
    env.remove("XDG_CURRENT_DESKTOP");
    QString said;
    ASSERT_EQ(RunTool("gio", {"mime", "inode/directory"}, &said, env), 0) << said.toStdString();
    const QStringList lines = said.split(u'\n');
    EXPECT_TRUE(lines.value(0).endsWith(QStringLiteral(": files.desktop"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("quillon-pro-folder.desktop")));
}

TEST_F(FolderVerbTest, AnApplicationsFolderThatCannotBeMadeIsReported) {
    const QString applications = QFileInfo(desktop::FolderVerbPath()).absolutePath();
    QDir(applications).removeRecursively();
    QDir().mkpath(QFileInfo(applications).absolutePath());
    QFile blocker(applications);  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_NE(desktop::WriteFolderVerb(kCaption, "/usr/bin/true"), QString());
    EXPECT_FALSE(desktop::FolderVerbExists());
    QFile::remove(applications);
}

// --- the shell's "find" ---

namespace {

class FindFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = qgetenv("PATH");
        desktop_ = qgetenv("XDG_CURRENT_DESKTOP");
        qputenv("PATH", tools.host().toLocal8Bit());  // only the tools a case makes
        desktop::SetShellLauncher([this](const desktop::ShellLaunch& launch) {
            launches.push_back(launch);
            return desktop::ShellOutcome{};
        });
    }
    void TearDown() override {
        desktop::SetShellLauncher({});
        qputenv("PATH", path_);
        qputenv("XDG_CURRENT_DESKTOP", desktop_);
    }
    QString Tool(const char* name) {
        const QString path = tools.file(QLatin1String(name));
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        return path;
    }

    TempTree tools;
    std::vector<desktop::ShellLaunch> launches;
    QByteArray path_, desktop_;
};

}  // namespace

TEST_F(FindFilesTest, TheDesktopsSearchToolStartsInTheFolderElseTheFileManagerOpensIt) {
    TempDrive drive;
    const QString folder = drive.folder("a b");
    using Kind = desktop::ShellLaunch::Kind;

    // No search tool: the file manager on the folder, or on the home folder for none.
    EXPECT_TRUE(desktop::FindFilesIn(drive.path("a b")).ok());
    EXPECT_TRUE(desktop::FindFilesIn(QString()).ok());
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].kind, Kind::OpenUrl);
    EXPECT_EQ(QUrl(launches[0].target), QUrl::fromLocalFile(folder));
    EXPECT_EQ(QUrl(launches[1].target), QUrl::fromLocalFile(QDir::homePath()));

    const QString catfish = Tool("catfish");
    const QString kfind = Tool("kfind");
    const QString mate = Tool("mate-search-tool");
    const struct {
        const char* desktop;
        QString program;
        QStringList arguments;
    } cases[] = {
        {"", kfind, {folder}},  // none of theirs: the first of the list
        {"XFCE", catfish, {folder}},
        {"ubuntu:GNOME", kfind, {folder}},  // GNOME's own is not installed here
        {"MATE", mate, {"--path=" + folder}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desktop);
        qputenv("XDG_CURRENT_DESKTOP", c.desktop);
        launches.clear();
        EXPECT_TRUE(desktop::FindFilesIn(drive.path("a b")).ok());
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].kind, Kind::StartProgram);
        EXPECT_EQ(launches[0].target, c.program);
        EXPECT_EQ(launches[0].arguments, c.arguments);
    }
    launches.clear();
    desktop::FindFilesIn(QString());  // no folder selected: the tool alone
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].arguments, QStringList());
}
