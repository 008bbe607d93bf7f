// The engine libraries through TZipEngine: archives other programs read, archives other
// programs made, ZIP64, update and freshen, move, stops and failing writes, hostile archives.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <iostream>

#include "ZipTestSupport.h"
#include "zipengine/ZipBlocks.h"

using namespace zip_testing;

namespace {

const QString kPassword = QStringLiteral("s3cret pass");

class ZipArchiveTest : public ZipTest {
protected:
    // A folder with a text file, an incompressible file in a subfolder, an empty folder, a
    // hidden file and a link. Returns the entry names archiving "Folder\*.*" gives.
    QStringList MakeFolder() {
        Write("Folder/a.txt", "alpha alpha alpha alpha");
        Write("Folder/sub/b.bin", Noise(100000, 1));
        tree.folder("Folder/empty");
        Write("Folder/.hidden", "hidden");
        EXPECT_EQ(::symlink("a.txt", Host("Folder/link").toLocal8Bit().constData()), 0);
        return {"Folder/",     "Folder/.hidden", "Folder/a.txt",    "Folder/empty/",
                "Folder/link", "Folder/sub/",    "Folder/sub/b.bin"};
    }

    // The entry names as Python's zipfile lists them, sorted.
    QStringList PythonNames(const QString& archive) {
        QString output;
        EXPECT_EQ(RunProgram("python3",
                             {"-c",
                              "import sys, zipfile\n"
                              "for n in sorted(zipfile.ZipFile(sys.argv[1]).namelist()): print(n)",
                              archive},
                             &output),
                  0)
            << output.toStdString();
        return output.split('\n', Qt::SkipEmptyParts);
    }
};

TEST_F(ZipArchiveTest, OtherReadersAcceptOurArchivesAndTheyComeBackWhole) {
    const struct {
        int level;
        bool encrypt;
    } cases[] = {{0, false}, {9, false}, {0, true}, {9, true}};
    const QStringList names = MakeFolder();
    const auto original = Snapshot(Host("Folder"));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << (c.encrypt ? ", AES" : ""));
        const QString archive = Host(QString("out%1%2.zip").arg(c.level).arg(c.encrypt));
        zip.Password = c.encrypt ? kPassword : QString();
        AddOpts options{AddDirNames, AddRecurseDirs, AddHiddenFiles};
        if (c.encrypt) options.Include(AddEncrypt);
        EXPECT_EQ(Add(archive, {"Folder\\*.*"}, options, c.level), names.size());
        EXPECT_TRUE(messages.empty());

        EXPECT_EQ(PythonNames(archive), names);
        QString output;
        if (c.encrypt) {
            EXPECT_EQ(RunProgram("7z", {"t", "-p" + kPassword, archive}, &output), 0);
            EXPECT_TRUE(output.contains("Everything is Ok")) << output.toStdString();
            EXPECT_NE(RunProgram("7z", {"t", "-pwrong", archive}, &output), 0);
        } else {
            EXPECT_EQ(RunProgram("unzip", {"-t", archive}, &output), 0) << output.toStdString();
        }
        ASSERT_EQ(zip.Count(), names.size());
        for (const auto& entry : zip.ZipContents()) {
            const bool folder = entry->FileName.endsWith('/');
            const bool link = entry->FileName.endsWith("link");
            const int method = folder ? 0 : c.encrypt ? 99 : (c.level == 0 || link) ? 0 : 8;
            EXPECT_EQ(entry->ComprMethod, method) << entry->FileName.toStdString();
        }

        const QString back = QString("back%1%2").arg(c.level).arg(c.encrypt);
        EXPECT_EQ(Extract(archive, back), zip.Count());
        EXPECT_EQ(Snapshot(Host(back + "/Folder")), original);
        EXPECT_TRUE(messages.empty()) << MessageTexts().join('\n').toStdString();
    }
}

TEST_F(ZipArchiveTest, ArchivesMadeByInfoZipRestore) {
    MakeFolder();
    Write("Folder/sub/deeper/c.txt", QByteArray(70000, 'c'));
    const auto original = Snapshot(Host("Folder"));
    QString output;
    ASSERT_EQ(RunProgram("zip", {"-r", "-y", "-q", "made.zip", "Folder"}, &output), 0)
        << output.toStdString();
    zip.SetZipFilename(Host("made.zip"));
    const int entries = zip.Count();
    EXPECT_EQ(entries, 9);
    EXPECT_EQ(Extract(Host("made.zip"), "back"), entries);
    EXPECT_EQ(Snapshot(Host("back/Folder")), original);

    // Named entries only: a folder stands for what is in it.
    EXPECT_EQ(Extract(Host("made.zip"), "part", {"Folder/sub"}), 4);
    EXPECT_TRUE(QFileInfo::exists(Host("part/Folder/sub/deeper/c.txt")));
    EXPECT_FALSE(QFileInfo::exists(Host("part/Folder/a.txt")));
}

TEST_F(ZipArchiveTest, ASparseFileOver4GiBRoundTrips) {
    const int64_t size = (int64_t(1) << 32) + 3 * 4096 + 17;
    const struct {
        int64_t at;
        QByteArray bytes;
    } marks[] = {{0, "start"}, {(int64_t(1) << 32) - 3, "across"}, {size - 3, "end"}};
    {
        QDir().mkpath(Host("Big"));
        QFile file(Host("Big/huge.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));  // sparse: costs no disk
        for (const auto& m : marks) {
            file.seek(m.at);
            file.write(m.bytes);
        }
    }
    // Level 1: zeros deflate fast and the archive stays small.
    EXPECT_EQ(Add(Host("big.zip"), {"Big"}, {AddDirNames, AddRecurseDirs}, 1), 2);
    EXPECT_LT(QFileInfo(Host("big.zip")).size(), 64 << 20);
    QString output;
    EXPECT_EQ(RunProgram("python3",
                         {"-c",
                          "import sys, zipfile; "
                          "print(zipfile.ZipFile(sys.argv[1]).getinfo('Big/huge.bin').file_size)",
                          Host("big.zip")},
                         &output),
              0);
    EXPECT_EQ(output.trimmed().toLongLong(), size);

    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.Entry(1).FileName, "Big/huge.bin");
    EXPECT_EQ(zip.Entry(1).UncompressedSize, size);
    EXPECT_EQ(zip.Entry(1).UncomprSize, 0xFFFFFFFFu);

    EXPECT_EQ(Extract(Host("big.zip"), "back"), zip.Count());
    QFile back(Host("back/Big/huge.bin"));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.size(), size);
    for (const auto& m : marks) {
        back.seek(m.at);
        EXPECT_EQ(back.read(m.bytes.size()), m.bytes);
    }
    struct stat st;
    ASSERT_EQ(::stat(Host("back/Big/huge.bin").toLocal8Bit().constData(), &st), 0);
    EXPECT_LT(int64_t(st.st_blocks) * 512, 1 << 20) << "the zeros came back as holes";
}

TEST_F(ZipArchiveTest, UpdateAndFreshenReplaceOnlyOlderEntries) {
    const struct {
        AddOpts options;
        int added;
        QStringList names;
    } cases[] = {
        {{}, 3, {"a.txt", "b.txt", "c.txt"}},
        {{AddFreshen}, 1, {"a.txt", "c.txt"}},
        {{AddUpdate}, 2, {"a.txt", "b.txt", "c.txt"}},
        {{AddUpdate, AddFreshen}, 2, {"a.txt", "b.txt", "c.txt"}},
    };
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    for (const auto& c : cases) {
        QFile::remove(Host("u.zip"));
        QFile::remove(Host("b.txt"));
        Write("a.txt", "old a");
        Write("c.txt", "old c");
        tree.setTimes("a.txt", old, old);
        tree.setTimes("c.txt", old, old);
        ASSERT_EQ(Add(Host("u.zip"), {"a.txt", "c.txt"}, {}), 2);
        Write("a.txt", "new a");
        Write("b.txt", "new b");
        EXPECT_EQ(Add(Host("u.zip"), {"a.txt", "b.txt", "c.txt"}, c.options), c.added)
            << c.options.bits();
        QStringList names;
        for (const auto& e : zip.ZipContents()) names << e->FileName;
        names.sort();
        EXPECT_EQ(names, c.names) << c.options.bits();
        QString output;
        RunProgram("unzip", {"-p", Host("u.zip"), "a.txt"}, &output);
        EXPECT_EQ(output, "new a");
    }
}

TEST_F(ZipArchiveTest, MoveDeletesOnlyWhatReadBackIntact) {
    for (const bool encrypt : {false, true}) {
        SCOPED_TRACE(encrypt ? "AES" : "plain");
        MakeFolder();
        Write("Folder/.keep/unarchived", "hidden folders stay without the hidden flag");
        const auto original = Snapshot(Host("Folder"));
        zip.Password = encrypt ? kPassword : QString();
        AddOpts options{AddDirNames, AddRecurseDirs, AddMove};
        if (encrypt) options.Include(AddEncrypt);
        const QString archive = Host(encrypt ? "moved-aes.zip" : "moved.zip");
        EXPECT_EQ(Add(archive, {"Folder/*.*"}, options), 6);
        // Everything archived is gone; the hidden folder was not archived and keeps its folder.
        EXPECT_EQ(
            Snapshot(Host("Folder")),
            (std::map<QString, QByteArray>{{".hidden", "f:hidden"},
                                           {".keep", "d"},
                                           {".keep/unarchived", original.at(".keep/unarchived")}}));
        EXPECT_EQ(Extract(archive, encrypt ? "back-aes" : "back"), 6);
        auto restored = Snapshot(Host(encrypt ? "back-aes/Folder" : "back/Folder"));
        restored.insert({{".hidden", "f:hidden"},
                         {".keep", "d"},
                         {".keep/unarchived", original.at(".keep/unarchived")}});
        EXPECT_EQ(restored, original);
        QDir(Host("Folder")).removeRecursively();
        QDir::setCurrent(Host());
    }
    // A folder whose every entry went is removed itself; a name that is not UTF-8 comes back
    // as the same bytes.
    MakeFolder();
    const QByteArray latin1 = Host("Folder/sub/").toLocal8Bit() + "caf\xe9.txt";
    const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(
        Add(Host("all.zip"), {"Folder"}, {AddDirNames, AddRecurseDirs, AddHiddenFiles, AddMove}), 8)
        << MessageTexts().join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(Host("Folder")));
    EXPECT_EQ(Extract(Host("all.zip"), "all"), 8);
    const QByteArray restored = Host("all/Folder/sub/").toLocal8Bit() + "caf\xe9.txt";
    EXPECT_EQ(::access(restored.constData(), F_OK), 0);
    ::unlink(restored.constData());  // Qt cannot remove a name it cannot decode
}

TEST_F(ZipArchiveTest, AStopLeavesEverySourceAndNoArchive) {
    const struct {
        const char* when;
        int fileStarts, steps;  // stop at whichever comes first
        bool existing;
    } cases[] = {
        {"at the third file", 3, 1000, false},
        {"at the third file, updating an archive", 3, 1000, true},
        {"while reading back", 1000, 35, false},
        {"while reading back, updating an archive", 1000, 35, true},
    };
    for (int i = 0; i < 5; ++i) Write(QString("Folder/f%1.bin").arg(i), Noise(200000, i));
    const auto original = Snapshot(Host("Folder"));
    Write("keep.txt", "in the archive before");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        QDir(Host("out")).removeRecursively();
        tree.folder("out");
        QByteArray before;
        if (c.existing) {
            ASSERT_EQ(Add(Host("out/a.zip"), {"keep.txt"}, {}), 1);
            before = Read("out/a.zip");
        }
        int starts = 0, steps = 0;
        messages.clear();
        zip.OnProgress = [&](TZipEngine*, ProgressType kind, const QString&, int64_t) {
            if ((kind == ProgressFileStart && ++starts == c.fileStarts) ||
                (kind == ProgressStep && ++steps == c.steps))
                zip.RequestCancel();
        };
        EXPECT_EQ(Add(Host("out/a.zip"), {"Folder/*.*"}, {AddDirNames, AddMove}), 0);
        zip.OnProgress = nullptr;
        EXPECT_EQ(Snapshot(Host("Folder")), original);
        EXPECT_EQ(
            QDir(Host("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            c.existing ? QStringList{"a.zip"} : QStringList{});
        EXPECT_EQ(Read("out/a.zip"), before);
        EXPECT_EQ(MessageCodes(), std::vector<int>{ZipErrorStopped});
    }
}

// A close that fails for lack of room: a 1 MiB tmpfs where this process may mount one (in a
// mount namespace of its own), and a file size limit that makes the archive's writes fail.
TEST_F(ZipArchiveTest, AFailingCloseLeavesEverySourceAndNoArchive) {
    enum Fault { SmallTmpfs, FileSizeLimit };
    for (int i = 0; i < 4; ++i) Write(QString("Folder/f%1.bin").arg(i), Noise(800000, 10 + i));
    const auto original = Snapshot(Host("Folder"));
    for (const Fault fault : {SmallTmpfs, FileSizeLimit}) {
        const QString out = tree.folder(fault == SmallTmpfs ? "tmpfs" : "limited");
        rlimit previous{};
        if (fault == SmallTmpfs) {
            const bool mounted =
                ::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount("tmpfs", out.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") == 0;
            std::cout << "[ full disk ] 1 MiB tmpfs: "
                      << (mounted ? "mounted" : "not allowed here, not run") << "\n";
            RecordProperty("tmpfs", mounted ? "ran" : "not allowed");
            if (!mounted) continue;
        } else {
            std::cout << "[ full disk ] file size limit of 512 KiB: run\n";
            ::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
            rlimit limited = previous;
            limited.rlim_cur = 512 * 1024;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        }
        messages.clear();
        const int added = Add(out + "/a.zip", {"Folder/*.*"}, {AddDirNames, AddMove});
        if (fault == FileSizeLimit) ::setrlimit(RLIMIT_FSIZE, &previous);
        if (fault == SmallTmpfs) ::umount2(out.toLocal8Bit().constData(), MNT_DETACH);
        EXPECT_EQ(added, 0);
        EXPECT_EQ(MessageCodes(), std::vector<int>{ZipErrorWrite});
        EXPECT_EQ(Snapshot(Host("Folder")), original);
        EXPECT_TRUE(QDir(out).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}

// Links come back as the links they were, wherever they point; nothing is written through one.
TEST_F(ZipArchiveTest, HostileEntriesWriteNothingOutsideTheTarget) {
    const QString absolute = Host("abs-outside.txt");
    QString output;
    ASSERT_EQ(RunProgram("python3",
                         {"-c",
                          "import sys, zipfile\n"
                          "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                          "def link(name, target):\n"
                          "    i = zipfile.ZipInfo(name); i.create_system = 3\n"
                          "    i.external_attr = 0o120777 << 16; z.writestr(i, target)\n"
                          "for name in ['../evil1.txt', 'sub/../../evil2.txt', '..\\\\evil3.txt', "
                          "sys.argv[2]]:\n"
                          "    z.writestr(zipfile.ZipInfo(name), 'evil')\n"
                          "link('up', '../outside')\n"
                          "link('abs', '/etc')\n"
                          "link('deep/esc', '../../x')\n"
                          "link('trick', 'sub/../../x')\n"
                          "z.writestr('ok.txt', 'fine')\n"
                          "link('inside', 'ok.txt')\n"
                          "link('deep/ok', '../ok.txt')\n"
                          "z.writestr('inside/x.txt', 'through an inside link')\n"
                          "z.writestr('pre/through.txt', 'through a link that was there')\n"
                          "z.writestr('pre2', 'replaces the link')\n",
                          Host("hostile.zip"), absolute},
                         &output),
              0)
        << output.toStdString();
    Write("outside/victim.txt", "victim");
    tree.folder("target");
    ASSERT_EQ(::symlink(Host("outside").toLocal8Bit().constData(),
                        Host("target/pre").toLocal8Bit().constData()),
              0);
    ASSERT_EQ(::symlink(Host("outside/victim.txt").toLocal8Bit().constData(),
                        Host("target/pre2").toLocal8Bit().constData()),
              0);
    const auto outsideBefore = Snapshot(Host("outside"));
    const QStringList rootBefore =
        QDir(Host()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    EXPECT_EQ(Extract(Host("hostile.zip"), "target"), 8);
    EXPECT_EQ(MessageCodes(), std::vector<int>(6, ZipErrorRefused))
        << MessageTexts().join('\n').toStdString();
    EXPECT_EQ(Snapshot(Host("outside")), outsideBefore);
    EXPECT_EQ(QDir(Host()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              rootBefore);
    EXPECT_FALSE(QFileInfo::exists(absolute));
    EXPECT_FALSE(QFileInfo::exists(Host("../evil1.txt")));
    const std::map<QString, QByteArray> expected{
        {"ok.txt", "f:fine"},
        {"inside", "l:ok.txt"},
        {"up", "l:../outside"},
        {"abs", "l:/etc"},
        {"trick", "l:sub/../../x"},
        {"deep", "d"},
        {"deep/esc", "l:../../x"},
        {"deep/ok", "l:../ok.txt"},
        {"pre", "l:" + Host("outside").toLocal8Bit()},
        {"pre2", "f:replaces the link"},
    };
    EXPECT_EQ(Snapshot(Host("target")), expected);
}

TEST_F(ZipArchiveTest, HiddenAndSystemFilesAndLinksToFolders) {
    Write("Folder/a.txt", "a");
    Write("Folder/.dot", "dot");
    Write("Folder/.dotdir/x.txt", "x");
    Write("Folder/sub/s.txt", "s");
    ASSERT_EQ(::mkfifo(Host("Folder/fifo").toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(::symlink("sub", Host("Folder/dirlink").toLocal8Bit().constData()), 0);
    const struct {
        bool hidden;
        QStringList names;
        std::vector<int> codes;
    } cases[] = {
        {false,
         {"Folder/", "Folder/a.txt", "Folder/dirlink", "Folder/sub/", "Folder/sub/s.txt"},
         {}},
        {true,
         {"Folder/", "Folder/.dot", "Folder/.dotdir/", "Folder/.dotdir/x.txt", "Folder/a.txt",
          "Folder/dirlink", "Folder/sub/", "Folder/sub/s.txt"},
         {ZipErrorWarning}},
    };
    for (const auto& c : cases) {
        messages.clear();
        const QString archive = Host(c.hidden ? "h1.zip" : "h0.zip");
        AddOpts options{AddDirNames, AddRecurseDirs};
        if (c.hidden) options.Include(AddHiddenFiles);
        EXPECT_EQ(Add(archive, {"Folder/*.*"}, options), c.names.size());
        EXPECT_EQ(PythonNames(archive), c.names);
        EXPECT_EQ(MessageCodes(), c.codes);
    }
    EXPECT_TRUE(MessageTexts().front().contains("Folder/fifo"));
}

TEST_F(ZipArchiveTest, RunsThatCannotWorkSaySoAndWriteNothing) {
    Write("Folder/a.txt", "a");
    const struct {
        const char* what;
        QStringList patterns;
        AddOpts options;
        std::vector<int> codes;
    } cases[] = {
        {"no match", {"nothing*"}, {}, {ZipErrorWarning, ZipErrorWarning}},
        {"a password nobody can be asked for", {"Folder"}, {AddEncrypt}, {ZipErrorPassword}},
    };
    for (const auto& c : cases) {
        messages.clear();
        EXPECT_EQ(Add(Host("none.zip"), c.patterns, c.options), 0) << c.what;
        EXPECT_EQ(MessageCodes(), c.codes) << c.what;
        EXPECT_FALSE(QFileInfo::exists(Host("none.zip"))) << c.what;
    }
    EXPECT_EQ(messages.back().second,
              "A password is needed, and none can be asked for without a display");

    // An encrypted archive asks for its password when extracted; without a display nothing is.
    zip.Password = kPassword;
    ASSERT_EQ(Add(Host("aes.zip"), {"Folder"}, {AddDirNames, AddEncrypt}), 2);
    zip.Password.clear();
    messages.clear();
    EXPECT_EQ(Extract(Host("aes.zip"), "back"), 1);  // the folder only
    EXPECT_EQ(MessageCodes(), std::vector<int>{ZipErrorPassword});
    EXPECT_FALSE(QFileInfo::exists(Host("back/Folder/a.txt")));
}

}  // namespace
