// Moving a folder without a window: a target inside the folder is refused before anything is
// touched, and a move that fails or is cancelled part-way leaves every file whole in exactly
// one place, the source or the target, and says what stayed where.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <csignal>
#include <iostream>
#include <map>
#include <memory>

#include "platform/FileOperations.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"
#include "tests/fixtures/TestMounts.h"

using namespace platform;
using testing_support::DriveMapScope;
using testing_support::Noise;
using testing_support::TempTree;
using testing_support::TestMount;
using testing_support::WriteFile;

namespace {

using Files = std::map<QString, QByteArray>;

// Every file and link below root by relative path: a file's bytes (its length alone when it is
// large), a link's target.
Files FilesBelow(const QString& root) {
    Files files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            files[relative] = "-> " + info.symLinkTarget().toUtf8();
        } else if (info.size() > (64 << 20)) {
            files[relative] = "length " + QByteArray::number(info.size());
        } else {
            QFile f(info.filePath());
            files[relative] = f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>";
        }
    }
    return files;
}

// Each file of before is whole in exactly one place: still in the source, or at the target
// with the same bytes. Nothing else is at the target, no half copy under another name. Gives
// the files that moved.
QStringList ExpectEachFileInOnePlace(const Files& before, const QString& source,
                                     const QString& target) {
    const Files left = FilesBelow(source);
    const Files arrived = FilesBelow(target);
    QStringList moved;
    for (const auto& [name, bytes] : before) {
        SCOPED_TRACE(name.toStdString());
        const bool stayed = left.count(name) > 0;
        EXPECT_NE(stayed, arrived.count(name) > 0);
        EXPECT_EQ(stayed                ? left.at(name)
                  : arrived.count(name) ? arrived.at(name)
                                        : "<lost>",
                  bytes);
        if (!stayed) moved << name;
    }
    for (const auto& [name, bytes] : arrived)
        EXPECT_EQ(before.count(name), 1u) << name.toStdString();
    return moved;
}

// Callbacks that write down what they were told.
struct Heard {
    QStringList asked, errors, notices;
    std::function<bool(const FileOperationProgress&)> progress = [](const auto&) { return true; };

    FileOperationCallbacks Callbacks() {
        FileOperationCallbacks c;
        c.progress = [this](const FileOperationProgress& p) { return progress(p); };
        c.confirm = [this](const QString&, const QString& text, bool) {
            asked << text;
            return true;
        };
        c.error = [this](const QString& caption, const QString& text) {
            errors << caption + " | " + text;
        };
        c.notice = [this](const QString& caption, const QString& text) {
            notices << caption + " | " + text;
        };
        return c;
    }
};

bool OnOneFileSystem(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

}  // namespace

TEST(MoveFolder, ATargetInsideTheFolderIsRefusedBeforeAnythingIsTouched) {
    TempTree tree;
    WriteFile(tree.host("t/src/a/file.txt"), "a");
    WriteFile(tree.host("t/src/b.txt"), "b");
    ASSERT_TRUE(QFile::link(tree.host("t/src"), tree.host("t/via")));
    WriteFile(tree.host("u/src/c.txt"), "c");
    // T: looks names up as FAT does (without regard to case); U: as Linux does.
    DriveMapScope map("T=" + tree.host("t") + "#vfat;U=" + tree.host("u"));
    const Files before = FilesBelow(tree.host("t"));
    const struct {
        const char* target;
        const char* why;
    } cases[] = {
        {"T:\\src\\inner", "the target \"T:\\src\\inner\" lies inside it"},
        {"T:\\src\\a\\deeper\\x", "the target \"T:\\src\\a\\deeper\\x\" lies inside it"},
        {"T:\\src", "the target is the folder itself"},
        {"T:\\src\\", "the target is the folder itself"},
        {"T:\\via\\moved", "the target \"T:\\via\\moved\" lies inside it"},
        {"T:\\SRC\\A\\x", "the target \"T:\\SRC\\A\\x\" lies inside it"},
        {"T:\\SRC", "the target is the folder itself"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        Heard heard;
        const FileOperationResult r = MoveFolder("T:\\src", c.target, 0, heard.Callbacks());
        EXPECT_EQ(r.status, FileOperationStatus::Failed);
        EXPECT_EQ(r.moved, 0);
        EXPECT_EQ(heard.asked, QStringList{});  // not even whether to create the target
        EXPECT_EQ(heard.errors,
                  QStringList{QStringLiteral("Quillon Pro | Cannot move \"T:\\src\": ") + c.why});
        EXPECT_EQ(FilesBelow(tree.host("t")), before);
        EXPECT_EQ(QDir(tree.host("t")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList({"src", "via"}));
    }
    // Where names differ in case, another spelling is another folder.
    const FileOperationResult r = MoveFolder("U:\\src", "U:\\SRC", NoConfirmation, {});
    EXPECT_TRUE(r.ok()) << r.errorText.toStdString();
    EXPECT_EQ(FilesBelow(tree.host("u")), Files({{"SRC/c.txt", "c"}}));
}

TEST(MoveFolder, WhatAFatDriveCannotHoldStaysWholeInTheSourceWithItsReason) {
    TempTree source;
    QTemporaryDir other(QStringLiteral("/dev/shm/quillon-test-XXXXXX"));
    if (!other.isValid() || OnOneFileSystem(source.host(), other.path()))
        GTEST_SKIP() << "no second file system to move to";
    // The target is taken for a FAT drive: its limits are checked before anything is copied.
    DriveMapScope map("S=" + source.host() + ";O=" + other.path() + "#vfat");
    WriteFile(source.host("src/fits.txt"), "fits");
    WriteFile(source.host("src/album/one.jpg"), Noise(5000, 1));
    source.file("src/album/huge.iso", (int64_t(4) << 30));  // sparse: 4 GiB
    WriteFile(source.host("src/what?.txt"), "q");
    WriteFile(source.host("src/a:b.txt"), "c");
    WriteFile(source.host("src/ends with dot."), "d");
    WriteFile(source.host("src/docs/fine.txt"), "f");
    ASSERT_TRUE(QFile::link("fits.txt", source.host("src/docs/link")));
    const Files before = FilesBelow(source.host("src"));

    Heard heard;
    const FileOperationResult r =
        MoveFolder("S:\\src", "O:\\dst", NoConfirmation, heard.Callbacks());
    EXPECT_EQ(r.status, FileOperationStatus::Failed);
    const QStringList moved =
        ExpectEachFileInOnePlace(before, source.host("src"), other.filePath("dst"));
    EXPECT_EQ(moved, QStringList{"fits.txt"});
    QStringList expected = {
        "\"S:\\src\\a:b.txt\": has a name with characters a FAT drive does not allow (\\ / : * "
        "? \" < > | or control characters)",
        "\"S:\\src\\album\": \"S:\\src\\album\\huge.iso\" is 4 GB or larger; a FAT drive holds "
        "no file that large",
        "\"S:\\src\\docs\": \"S:\\src\\docs\\link\" is a symbolic link, which a FAT drive "
        "cannot hold",
        "\"S:\\src\\ends with dot.\": has a name ending in a dot or a blank, which a FAT drive "
        "does not keep",
        "\"S:\\src\\what?.txt\": has a name with characters a FAT drive does not allow (\\ / : * "
        "? \" < > | or control characters)",
    };
    QStringList failures = r.failures;
    failures.sort();
    EXPECT_EQ(failures, expected);
    ASSERT_EQ(heard.errors.size(), 1);
    EXPECT_TRUE(heard.errors[0].startsWith(
        "Quillon Pro | Cannot move 5 items; they remain in \"S:\\src\":\n"))
        << heard.errors[0].toStdString();
    EXPECT_TRUE(heard.errors[0].endsWith("\n\nWhat was moved is now in \"O:\\dst\"."));
}

// Two ways to fail part-way across file systems: a folder at the target that cannot be written
// to, and a target that fills up (a 1 MiB tmpfs where this process may mount one, otherwise a
// file size limit that stops each write past 512 KiB).
TEST(MoveFolder, AMoveFailingPartWayLeavesEveryFileWholeInOnePlaceAndSaysWhere) {
    enum Fault { ReadOnlyFolder, FullTarget };
    for (const Fault fault : {ReadOnlyFolder, FullTarget}) {
        SCOPED_TRACE(fault == ReadOnlyFolder ? "read-only folder" : "full target");
        TempTree source;
        TempTree mounts;
        QTemporaryDir shm(QStringLiteral("/dev/shm/quillon-test-XXXXXX"));
        QString targetRoot = shm.path();
        std::unique_ptr<TestMount> tmpfs;
        rlimit previous{};
        bool limited = false;
        if (fault == FullTarget) {
            tmpfs = TestMount::Tmpfs(mounts.folder("small"), "1m");
            std::cout << "[ full target ] " << tmpfs->Describe().toStdString() << "\n";
            if (tmpfs->ok()) {
                targetRoot = mounts.host("small");
            } else {
                std::cout << "[ full target ] a file size limit of 512 KiB instead\n";
                limited = true;
            }
        }
        if (OnOneFileSystem(source.host(), targetRoot))
            GTEST_SKIP() << "no second file system to move to";
        DriveMapScope map("S=" + source.host() + ";O=" + targetRoot);
        WriteFile(source.host("src/a.bin"), Noise(300 << 10, 1));
        WriteFile(source.host("src/sub/x.bin"), Noise(700 << 10, 2));
        WriteFile(source.host("src/sub/y.bin"), Noise(20, 3));
        WriteFile(source.host("src/b.bin"), Noise(700 << 10, 4));
        WriteFile(source.host("src/z/w.bin"), Noise(300 << 10, 5));
        const Files before = FilesBelow(source.host("src"));
        const QString dst = targetRoot + "/dst";
        std::unique_ptr<testing_support::WithoutPermissionOverride> asAnyUser;
        if (fault == ReadOnlyFolder) {
            QDir().mkpath(dst + "/sub");
            ASSERT_TRUE(QFile::setPermissions(dst + "/sub", QFile::ReadOwner | QFile::ExeOwner));
            asAnyUser = std::make_unique<testing_support::WithoutPermissionOverride>();
            if (!asAnyUser->ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
        }
        if (limited) {
            ::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
            rlimit small = previous;
            small.rlim_cur = 512 << 10;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }

        Heard heard;
        const FileOperationResult r =
            MoveFolder("S:\\src", "O:\\dst", NoConfirmation, heard.Callbacks());
        if (limited) ::setrlimit(RLIMIT_FSIZE, &previous);
        asAnyUser.reset();
        QFile::setPermissions(dst + "/sub", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        EXPECT_EQ(r.status, FileOperationStatus::Failed);
        const QStringList moved = ExpectEachFileInOnePlace(before, source.host("src"), dst);
        EXPECT_GT(r.moved, 0);
        EXPECT_FALSE(moved.isEmpty());
        EXPECT_LT(moved.size(), int(before.size()));
        if (fault == ReadOnlyFolder) {
            EXPECT_EQ(moved, QStringList({"a.bin", "b.bin", "z/w.bin"}));
            QStringList failed = r.failed;
            failed.sort();
            EXPECT_EQ(failed, QStringList({"S:\\src\\sub\\x.bin", "S:\\src\\sub\\y.bin"}));
        }
        // What stayed is named with where it stayed, and where the rest went.
        ASSERT_EQ(heard.errors.size(), 1);
        const QString& text = heard.errors[0];
        if (r.failed.size() > 1) {
            EXPECT_TRUE(text.startsWith(
                QStringLiteral("Quillon Pro | Cannot move %1 items; they remain in \"S:\\src\":\n")
                    .arg(r.failed.size())))
                << text.toStdString();
        }
        for (const QString& item : r.failed) EXPECT_TRUE(text.contains(item)) << text.toStdString();
        EXPECT_TRUE(text.endsWith("\n\nWhat was moved is now in \"O:\\dst\"."))
            << text.toStdString();
        EXPECT_TRUE(QFileInfo::exists(source.host("src")));
    }
}

TEST(MoveFolder, ACancelPartWayLeavesWhatMovedAtTheTargetAndTheRestInTheSource) {
    TempTree source;
    QTemporaryDir other(QStringLiteral("/dev/shm/quillon-test-XXXXXX"));
    if (!other.isValid() || OnOneFileSystem(source.host(), other.path()))
        GTEST_SKIP() << "no second file system to move to";
    DriveMapScope map("S=" + source.host() + ";O=" + other.path());
    for (int i = 0; i < 6; ++i)
        WriteFile(source.host(QStringLiteral("src/f%1.bin").arg(i)), Noise(1 << 20, quint32(i)));
    WriteFile(source.host("src/sub/inner.bin"), Noise(1 << 20, 9));
    const Files before = FilesBelow(source.host("src"));

    Heard heard;
    // Cancelled in the middle of the third file's copy.
    heard.progress = [](const FileOperationProgress& p) {
        return p.doneBytes < (5 << 20) / 2 || p.totalBytes == 0;
    };
    const FileOperationResult r =
        MoveFolder("S:\\src", "O:\\dst", NoConfirmation, heard.Callbacks());
    EXPECT_EQ(r.status, FileOperationStatus::Cancelled);
    const QStringList moved =
        ExpectEachFileInOnePlace(before, source.host("src"), other.filePath("dst"));
    EXPECT_EQ(moved.size(), 2);
    EXPECT_EQ(r.moved, 2);
    EXPECT_EQ(heard.errors, QStringList{});
    EXPECT_EQ(heard.notices,
              QStringList{"Quillon Pro | The move was cancelled. What was moved is now in "
                          "\"O:\\dst\". Everything else remains in \"S:\\src\"."});
}
