// The file operations without a window: delete, Trash and a move across file systems, told
// what to do and heard from only through their callbacks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/FileOperations.h"
#include "platform/Trash.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::EnvironmentScope;
using testing_support::ReadFile;
using namespace platform;
using testing_support::DriveMapScope;
using testing_support::TempTree;
using testing_support::WriteFile;

namespace {

enum class Op { Delete, Recycle, MoveAcross };

const char* NameOf(Op op) {
    switch (op) {
        case Op::Delete:
            return "delete";
        case Op::Recycle:
            return "recycle";
        case Op::MoveAcross:
            return "move across";
    }
    return "";
}

// Callbacks that answer as told and write down what they heard.
struct Listener {
    bool answer = false;
    int stopWhenDone = -1;  // progress answers false once this many entries are done
    QStringList asked;      // "caption | text | yes or no by default"
    QStringList errors;     // "caption | text"
    int progressCalls = 0;

    FileOperationCallbacks Callbacks() {
        FileOperationCallbacks c;
        c.progress = [this](const FileOperationProgress& p) {
            ++progressCalls;
            return stopWhenDone < 0 || p.doneEntries < stopWhenDone;
        };
        c.confirm = [this](const QString& caption, const QString& text, bool yesIsDefault) {
            asked << caption + " | " + text + (yesIsDefault ? " | yes" : " | no");
            return answer;
        };
        c.deleteInstead = [this](const QString& caption, const QString& text) {
            asked << caption + " | " + text;
            return answer;
        };
        c.error = [this](const QString& caption, const QString& text) {
            errors << caption + " | " + text;
        };
        return c;
    }
};

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// A second file system: tmpfs at /dev/shm, when it is one.
bool HasSecondFileSystem() {
    struct stat a {
    }, b{};
    return ::stat("/dev/shm", &a) == 0 && ::stat(QFile::encodeName(QDir::tempPath()), &b) == 0 &&
           a.st_dev != b.st_dev;
}

const QStringList kNames{"a.txt", "b.txt", "c.txt"};

// Three files on drive S:, a home trash on the same file system, and a drive O: on the second
// file system for the moves, with a folder dst.
class Scene {
public:
    Scene() {
        for (const QString& name : kNames) WriteFile(source.host(name), name.toUtf8() + " data");
        QDir().mkpath(other.filePath("dst"));
    }

    FileOperationResult Run(Op op, const QStringList& paths, unsigned flags,
                            const FileOperationCallbacks& callbacks,
                            const QString& target = QStringLiteral("O:\\dst")) {
        switch (op) {
            case Op::Delete:
                return DeleteItems(paths, flags, callbacks);
            case Op::Recycle:
                return RecycleItems(paths, flags, callbacks);
            case Op::MoveAcross:
                return MoveItems(paths, target, flags, callbacks);
        }
        return {};
    }

    static QStringList Items() {
        QStringList items;
        for (const QString& name : kNames) items << "S:\\" + name;
        return items;
    }

    // Where an item done by op went; empty for a deletion.
    QString DoneAt(Op op, const QString& name) const {
        if (op == Op::Recycle) return HomeTrashFolder() + "/files/" + name;
        if (op == Op::MoveAcross) return other.filePath("dst/" + name);
        return {};
    }

    void ExpectUntouched(const QString& name) const {
        EXPECT_EQ(ReadFile(source.host(name)), name.toUtf8() + " data") << name.toStdString();
    }

    TempTree source;
    QTemporaryDir xdg;  // in the temporary folder, as the source is: one file system
    EnvironmentScope data{"XDG_DATA_HOME", xdg.filePath(QStringLiteral("data"))};
    QTemporaryDir other{QStringLiteral("/dev/shm/quillon-test-XXXXXX")};
    DriveMapScope map{QStringLiteral("S=%1;O=%2").arg(source.host(), other.path())};
};

TEST(FileOperationCallbacks, ADeclinedOrUnansweredQuestionTouchesNothing) {
    const bool crossDevice = HasSecondFileSystem();
    const struct {
        Op op;
        QString target;
        QString question;
    } cases[] = {
        {Op::Delete,
         {},
         "Delete | Are you sure you want to permanently delete these 3 items? | no"},
        {Op::Recycle,
         {},
         "Move to Trash | Are you sure you want to move these 3 items to the Trash? | yes"},
        {Op::MoveAcross, "O:\\new",
         "Quillon Pro | The folder \"O:\\new\" does not exist. Do you want to create it? | yes"},
    };
    for (const auto& c : cases) {
        if (c.op == Op::MoveAcross && !crossDevice) continue;
        for (const bool askable : {true, false}) {
            SCOPED_TRACE(std::string(NameOf(c.op)) +
                         (askable ? ", answered no" : ", no one asked"));
            Scene scene;
            Listener listener;
            FileOperationCallbacks callbacks = listener.Callbacks();
            if (!askable) callbacks.confirm = nullptr;
            const FileOperationResult r = scene.Run(c.op, Scene::Items(), 0, callbacks, c.target);
            EXPECT_EQ(r.status, FileOperationStatus::Declined);
            EXPECT_EQ(listener.asked, askable ? QStringList{c.question} : QStringList{});
            EXPECT_EQ(listener.progressCalls, 0);
            EXPECT_EQ(listener.errors, QStringList{});
            for (const QString& name : kNames) scene.ExpectUntouched(name);
            EXPECT_FALSE(QFileInfo::exists(HomeTrashFolder() + "/files"));
            EXPECT_FALSE(QFileInfo::exists(scene.other.filePath("new")));
        }
    }
    if (!crossDevice) GTEST_SKIP() << "no second file system to move across";
}

TEST(FileOperationCallbacks, ACancelFromProgressLeavesTheItemsNotReached) {
    const bool crossDevice = HasSecondFileSystem();
    const struct {
        Op op;
        int stopWhenDone;  // a move counts an entry when its copy is written, before it is named
    } cases[] = {{Op::Delete, 1}, {Op::Recycle, 1}, {Op::MoveAcross, 2}};
    for (const auto& c : cases) {
        if (c.op == Op::MoveAcross && !crossDevice) continue;
        SCOPED_TRACE(NameOf(c.op));
        Scene scene;
        Listener listener;
        listener.stopWhenDone = c.stopWhenDone;
        const FileOperationResult r =
            scene.Run(c.op, Scene::Items(), NoConfirmation, listener.Callbacks());
        EXPECT_EQ(r.status, FileOperationStatus::Cancelled);
        EXPECT_EQ(r.failed, QStringList{});
        EXPECT_EQ(listener.errors, QStringList{});
        // The first item is done, wholly; the others were never reached.
        EXPECT_FALSE(QFileInfo::exists(scene.source.host("a.txt")));
        if (c.op != Op::Delete) {
            EXPECT_EQ(ReadFile(scene.DoneAt(c.op, "a.txt")), "a.txt data");
        }
        scene.ExpectUntouched("b.txt");
        scene.ExpectUntouched("c.txt");
        if (c.op == Op::MoveAcross) {
            EXPECT_EQ(Entries(scene.other.filePath("dst")), QStringList{"a.txt"});
        }
    }
    if (!crossDevice) GTEST_SKIP() << "no second file system to move across";
}

TEST(FileOperationCallbacks, FailuresArriveThroughTheErrorCallbackUnlessNoErrorUi) {
    const bool crossDevice = HasSecondFileSystem();
    const QString noSuchFile = QString::fromLocal8Bit(std::strerror(ENOENT));
    const struct {
        Op op;
        QString verb;
    } cases[] = {
        {Op::Delete, "delete"}, {Op::Recycle, "move to the Trash"}, {Op::MoveAcross, "move"}};
    for (const auto& c : cases) {
        if (c.op == Op::MoveAcross && !crossDevice) continue;
        for (const unsigned quiet : {0u, unsigned{NoErrorUi}}) {
            SCOPED_TRACE(std::string(NameOf(c.op)) + (quiet ? ", NoErrorUi" : ""));
            Scene scene;
            Listener listener;
            const FileOperationResult r =
                scene.Run(c.op, {"S:\\a.txt", "S:\\missing", "S:\\b.txt", "S:\\gone"},
                          NoConfirmation | quiet, listener.Callbacks());
            EXPECT_EQ(r.status, FileOperationStatus::Failed);
            EXPECT_EQ(r.failed, QStringList({"S:\\missing", "S:\\gone"}));
            // Each item that remains, with the system's words.
            const QString error = QStringLiteral(
                                      "Quillon Pro | Cannot %1 2 items; they remain:\n"
                                      "\"S:\\missing\": %2\n\"S:\\gone\": %2")
                                      .arg(c.verb, noSuchFile);
            EXPECT_EQ(listener.errors, quiet ? QStringList{} : QStringList{error});
            // The failure of one item stops none of the others.
            for (const QString& name : QStringList{"a.txt", "b.txt"}) {
                EXPECT_FALSE(QFileInfo::exists(scene.source.host(name)));
                if (c.op != Op::Delete) {
                    EXPECT_EQ(ReadFile(scene.DoneAt(c.op, name)), name.toUtf8() + " data");
                }
            }
            scene.ExpectUntouched("c.txt");
        }
    }
    if (!crossDevice) GTEST_SKIP() << "no second file system to move across";
}

TEST(FileOperationCallbacks, AFolderWhoseCopyFailsStaysWholeAndLeavesNoHalfCopy) {
    if (!HasSecondFileSystem()) GTEST_SKIP() << "no second file system to move across";
    Scene scene;
    WriteFile(scene.source.host("src/first.txt"), "first");
    WriteFile(scene.source.host("src/locked.txt"), "locked");
    WriteFile(scene.source.host("src/z/last.txt"), "last");
    ASSERT_TRUE(QFile::setPermissions(scene.source.host("src/locked.txt"), {}));
    testing_support::WithoutPermissionOverride asAnyUser;
    if (!asAnyUser.ok()) GTEST_SKIP() << "cannot drop the permission override";

    Listener listener;
    const FileOperationResult r =
        MoveItems({"S:\\src"}, "O:\\", NoConfirmation, listener.Callbacks());
    EXPECT_EQ(r.status, FileOperationStatus::Failed);
    // The folder is what remains; the file that kept it there says why. Nothing was copied.
    EXPECT_EQ(
        listener.errors,
        QStringList{"Quillon Pro | Cannot move \"S:\\src\": \"S:\\src\\locked.txt\" cannot be "
                    "read: " +
                    QString::fromLocal8Bit(std::strerror(EACCES))});
    EXPECT_EQ(r.failed, QStringList{"S:\\src"});
    EXPECT_EQ(ReadFile(scene.source.host("src/first.txt")), "first");
    EXPECT_EQ(ReadFile(scene.source.host("src/z/last.txt")), "last");
    EXPECT_TRUE(QFileInfo::exists(scene.source.host("src/locked.txt")));
    EXPECT_EQ(Entries(scene.other.path()), QStringList{"dst"});
    EXPECT_EQ(Entries(scene.other.filePath("dst")), QStringList{});
}

TEST(FileOperationCallbacks, WhereNoTrashCanTakeItAndNobodyIsAskedTheItemStays) {
    for (const bool askable : {true, false}) {
        SCOPED_TRACE(askable ? "answered no" : "no one asked");
        Scene scene;
        // The folder that holds the Trash cannot go into it.
        DriveMapScope holder(QStringLiteral("H=") + scene.xdg.path());
        WriteFile(scene.xdg.filePath("data/kept.txt"), "kept");
        Listener listener;
        FileOperationCallbacks callbacks = listener.Callbacks();
        if (!askable) callbacks.deleteInstead = nullptr;
        const FileOperationResult r = RecycleItems({"H:\\data"}, NoConfirmation, callbacks);
        EXPECT_EQ(r.status, FileOperationStatus::Failed);
        ASSERT_EQ(listener.asked.size(), askable ? 1 : 0);
        if (askable) {
            EXPECT_TRUE(listener.asked[0].startsWith(
                "Move to Trash | \"data\" cannot be moved to the Trash: the Trash is inside it."))
                << listener.asked[0].toStdString();
        }
        // Keeping the item was the answer, not a failure to report.
        EXPECT_EQ(listener.errors, QStringList{});
        EXPECT_EQ(ReadFile(scene.xdg.filePath("data/kept.txt")), "kept");
    }
}

}  // namespace

TEST(FileOperationCallbacks, ASubfolderSwappedForALinkMidWayIsNeverFollowed) {
    const bool crossDevice = HasSecondFileSystem();
    for (const Op op : {Op::Delete, Op::Recycle, Op::MoveAcross}) {
        if (op == Op::MoveAcross && !crossDevice) continue;
        SCOPED_TRACE(NameOf(op));
        Scene scene;
        TempTree outside;
        TempTree aside;  // where the real subfolder is taken away to
        WriteFile(outside.host("keep/precious.txt"), "precious");
        WriteFile(scene.source.host("sel/a/one.txt"), "one");
        WriteFile(scene.source.host("sel/b/two.txt"), "two");
        // Once the operation runs, sel\b becomes a link to a folder outside the selection.
        bool swapped = false;
        Listener listener;
        FileOperationCallbacks callbacks = listener.Callbacks();
        callbacks.progress = [&](const FileOperationProgress&) {
            if (!swapped) {
                swapped = true;
                EXPECT_TRUE(QDir().rename(scene.source.host("sel/b"), aside.host("b")));
                EXPECT_TRUE(QFile::link(outside.host("keep"), scene.source.host("sel/b")));
            }
            return true;
        };
        scene.Run(op, {"S:\\sel"}, NoConfirmation, callbacks);
        EXPECT_TRUE(swapped);
        EXPECT_EQ(ReadFile(outside.host("keep/precious.txt")), "precious");
        EXPECT_EQ(Entries(outside.host("keep")), QStringList{"precious.txt"});
        EXPECT_EQ(ReadFile(aside.host("b/two.txt")), "two");
        if (op == Op::MoveAcross) {  // the link arrives as a link, never as a copy of its target
            const QFileInfo moved(scene.other.filePath("dst/sel/b"));
            EXPECT_TRUE(!moved.exists() || moved.isSymLink());
        }
    }
    if (!crossDevice) GTEST_SKIP() << "no second file system to move across";
}
