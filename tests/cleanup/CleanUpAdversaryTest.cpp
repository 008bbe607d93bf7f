// Every clean-up action against the file system as Linux has it, as an unlucky user or an
// attacker meets it: names of any bytes, links, mount points, folders swapped for links while
// the action asks or works, programs writing meanwhile, trees deeper than the open-file limit,
// hostile registers and archives. After each: nothing outside the selection changed, nothing
// inside it lost, and the result says what happened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "cleanup/ArchiveCore.h"
#include "cleanup/ArchivesRegister.h"
#include "cleanup/ProfileFile.h"
#include "platform/Drives.h"
#include "platform/FileOperations.h"
#include "platform/HostNames.h"
#include "tests/cleanup/ArchiveTestSupport.h"
#include "tests/cleanup/ZipTestSupport.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/TestMounts.h"

using namespace archive_testing;
using testing_support::DriveMapScope;
using testing_support::TestMount;

namespace {

enum class Op { Delete, Trash, MoveAcross, MoveWithin, Archive, Restore };

const char* NameOf(Op op) {
    switch (op) {
        case Op::Delete:
            return "delete";
        case Op::Trash:
            return "trash";
        case Op::MoveAcross:
            return "move to another file system";
        case Op::MoveWithin:
            return "move within its file system";
        case Op::Archive:
            return "archive with Move";
        case Op::Restore:
            return "restore";
    }
    return "?";
}

const std::set<Op> kAll = {Op::Delete,     Op::Trash,   Op::MoveAcross,
                           Op::MoveWithin, Op::Archive, Op::Restore};

// What an action reported: whether it says all went as asked, and everything it said.
struct Outcome {
    bool done = false;
    QString said;
};

// Drive S: on the temporary folder's file system with the folder proj/ holding the selection
// and its siblings, drive D: on a tmpfs for moves across file systems, a folder outside every
// drive that links inside lead to, and a data home of its own for the Trash.
class CleanUpAdversary : public ::testing::Test {
public:
    CleanUpAdversary()
        : shm_(QStringLiteral("/dev/shm/quillon-adversary-XXXXXX")),
          drives_("S=" + base_.path() + "/s;D=" + shm_.path()),
          dataHome_(qgetenv("XDG_DATA_HOME")) {
        QDir().mkpath(S("proj"));
        QDir().mkpath(Outside());
        WriteFile(Outside() + "/secret.txt", "outside every drive");
        WriteFile(Outside() + "/victim/precious.txt", "what a link may lead to");
        qputenv("XDG_DATA_HOME", (base_.path() + "/data").toUtf8());
        desktop::SetMessageAnswerer([this](const desktop::MessageRequest& r) {
            said_ << r.text;
            return (r.buttons & desktop::Yes) ? desktop::Yes : desktop::Ok;
        });
    }
    ~CleanUpAdversary() override {
        desktop::SetMessageAnswerer({});
        qputenv("XDG_DATA_HOME", dataHome_);
    }

    QString S(const QString& relative) const { return base_.path() + "/s/" + relative; }
    QString Outside() const { return base_.path() + "/outside"; }
    QString Selection() const { return S("proj/") + platform::DecodeHostName(selection_); }
    // Where a place is now that a hostile act may have moved it away (and put a link in its
    // stead): the act renames it to the same name with ".moved".
    QString Unswapped(const QString& host) const {
        for (const QString& swapped : swapped_)
            if (host == swapped || host.startsWith(swapped + u'/'))
                return swapped + ".moved" + host.mid(swapped.size());
        return host;
    }
    QString Program(const QString& host) const { return platform::FromHostPath(host); }

    // The selection: the sample folder with links inside, one relative and one leading out.
    void MakeSelection(const QByteArray& name) {
        selection_ = name;
        MakeSampleFolder(S("proj"), platform::DecodeHostName(name));
        ASSERT_EQ(::symlink((Outside() + "/secret.txt").toUtf8().constData(),
                            platform::EncodeHostName(Selection() + "/far").constData()),
                  0);
        WriteFile(S("proj/keep.txt"), "a sibling");
    }

    // The hostile acts.
    void SwapForLink(const QString& host, const QString& target) {
        swapped_ << host;
        ASSERT_EQ(::rename(platform::EncodeHostName(host).constData(),
                           platform::EncodeHostName(host + ".moved").constData()),
                  0);
        ASSERT_EQ(::symlink(platform::EncodeHostName(target).constData(),
                            platform::EncodeHostName(host).constData()),
                  0);
    }

    // Runs an action on the selection. atConfirm runs where the action asks (before the action
    // for the archive, which asks nothing itself), midway once while it works.
    Outcome Run(Op op, const std::function<void()>& atConfirm,
                const std::function<void()>& midway) {
        Outcome outcome;
        bool fired = false;
        const auto once = [&] {
            if (fired || !midway) return;
            fired = true;
            midway();
        };
        platform::FileOperationCallbacks callbacks;
        callbacks.confirm = [&](const QString&, const QString& text, bool) {
            outcome.said += text + u'\n';
            if (atConfirm) atConfirm();
            return true;
        };
        callbacks.progress = [&](const platform::FileOperationProgress& p) {
            // Mid-way: for a move once the subfolder is copied and its removal begins, for a
            // delete some entries in.
            if (op == Op::Delete ? p.doneEntries >= 3 : QDir(shm_.path() + "/sel/sub").exists())
                once();
            return true;
        };
        callbacks.error = callbacks.notice = [&](const QString&, const QString& text) {
            outcome.said += text + u'\n';
        };
        cleanup::ArchiveCallbacks archiving;
        archiving.progress = [&](ProgressType kind, const QString& name, int64_t) {
            // Mid-way for the archive: once it is written and is being read back, before the
            // engine deletes; for a restore, at its first file.
            if (op == Op::Restore ? kind == ProgressFileStart && name.contains("/sub/")
                                  : !QDir(S("Archives Bin")).entryList({"S*.ZIP"}).isEmpty())
                once();
            return true;
        };
        archiving.confirm = [&](const QString& text) {
            outcome.said += text + u'\n';
            return true;
        };
        const QString selection = Program(Selection());
        platform::FileOperationResult result;
        switch (op) {
            case Op::Delete:
                result = platform::DeleteItems({selection}, 0, callbacks);
                break;
            case Op::Trash:
                callbacks.deleteInstead = [](const QString&, const QString&) { return false; };
                result = platform::RecycleItems({selection}, 0, callbacks);
                break;
            case Op::MoveAcross:
            case Op::MoveWithin: {
                const QString target = op == Op::MoveAcross ? "D:\\" : "S:\\elsewhere\\";
                result = platform::MoveFolder(selection, target + selection.mid(8), 0, callbacks);
                break;
            }
            case Op::Archive: {
                if (atConfirm) atConfirm();
                const cleanup::ArchiveResult r =
                    cleanup::ArchiveFolder(ArchiveRequestOf(), archiving);
                outcome.done = r.archived && r.problems.isEmpty();
                outcome.said += r.refusal + r.problems;
                return outcome;
            }
            case Op::Restore: {
                if (atConfirm) atConfirm();
                cleanup::RestoreRequest request;
                request.drive = 'S';
                request.key = archiveKey_;
                request.target = "S:\\proj";
                request.deleteArchive = true;
                request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
                const cleanup::RestoreResult r = cleanup::RestoreArchive(request, archiving);
                outcome.done = r.restored && r.problems.isEmpty() && r.archiveDeleted;
                outcome.said += r.refusal + r.problems;
                return outcome;
            }
        }
        outcome.done = result.ok();
        outcome.said += result.failures.join(u'\n');
        return outcome;
    }

    cleanup::ArchiveRequest ArchiveRequestOf() const {
        cleanup::ArchiveRequest request;
        request.folder = Program(Selection());
        request.archiveDrive = 'S';
        request.move = true;
        request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
        return request;
    }

    // A restore starts from the selection archived with Move.
    void ArchiveForRestore() {
        const cleanup::ArchiveResult r = cleanup::ArchiveFolder(ArchiveRequestOf(), {});
        ASSERT_TRUE(r.archived) << (r.refusal + r.problems).toStdString();
        archiveKey_ = r.archive.mid(r.archive.lastIndexOf(u'\\') + 1);
        ASSERT_TRUE(FactsOf(Selection()).empty());
    }

    // Every place an entry of the selection may be whole in afterwards: the selection where it
    // was (or where a hostile act moved it), the move targets, the Trash, and every archive;
    // entries by their own name, kind and bytes, as a hostile act may rename the folders above.
    std::multiset<std::tuple<QString, char, QByteArray>> Places() {
        QStringList roots = {Unswapped(Selection()), Unswapped(Selection()) + ".moved", shm_.path(),
                             S("elsewhere"), base_.path() + "/data/Trash/files"};
        const QString bin = Unswapped(S("Archives Bin"));
        for (const QString& zip : QDir(bin).entryList({"*.ZIP"}, QDir::Files)) {
            // By the engine, which keeps names as bytes (Info-ZIP's unzip converts them).
            const QString into = base_.path() + "/unzipped/" + zip;
            QDir().mkpath(into);
            TZipEngine engine;
            engine.SetDLLDirectory(QStringLiteral(QUILLON_ZIP_ENGINE_DIR));
            engine.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
            engine.ExtrBaseDir = into;
            try {
                engine.SetZipFilename(bin + u'/' + zip);
            } catch (const EZipReadError&) {
            }
            engine.ExtractFiles();
            roots << into;
        }
        std::multiset<std::tuple<QString, char, QByteArray>> entries;
        for (const QString& root : roots)
            for (const auto& [path, e] : FactsOf(root))
                entries.emplace(path.section(u'/', -1), e.kind, e.bytes);
        return entries;
    }

    // What lies outside the selection: the folder outside every drive, the selection's
    // siblings, a mount point's own files.
    std::map<QString, TreeFacts> OutsideFacts() const {
        std::map<QString, TreeFacts> facts{{"outside", FactsOf(Outside())}};
        TreeFacts siblings;
        for (const auto& [path, e] : FactsOf(Unswapped(S("proj")))) {
            const QString top = path.section(u'/', 0, 0);
            // The folder itself changes with what leaves it; its other entries may not.
            if (!path.isEmpty() && top != platform::DecodeHostName(selection_) &&
                top != platform::DecodeHostName(selection_) + ".moved")
                siblings[path] = e;
        }
        facts["siblings"] = siblings;
        for (const QString& mount : mounts_) facts[mount] = FactsOf(mount);
        return facts;
    }

    QByteArray selection_;
    QString archiveKey_;
    QStringList mounts_;   // host paths of the mount points a case made
    QStringList swapped_;  // host paths a hostile act replaced by a link
    QStringList said_;     // message boxes, of the register's reads and writes

protected:
    QTemporaryDir base_;
    QTemporaryDir shm_;
    DriveMapScope drives_;
    QByteArray dataHome_;
};

// The expectations of a case: whether the action may report success, and what its words say.
enum class Expect {
    Done,     // it all went, and the result says so
    NotDone,  // something stays, and the result says what
    Refused,  // nothing of the selection was touched, and the result says why
};

struct Case {
    const char* name;
    QByteArray selection;
    std::set<Op> ops;
    // Made before the action: siblings, mounts.
    std::function<void(CleanUpAdversary&)> make;
    std::function<void(CleanUpAdversary&)> atConfirm;
    std::function<void(CleanUpAdversary&)> midway;
    Expect expect;
    const char* says;  // what the result's words hold; nullptr: no particular words
    // The names of the files the hostile act writes to, and what they then hold: the new
    // contents must be whole somewhere, the old ones need not.
    std::map<QString, QByteArray> written = {};
};

void PrintTo(const std::pair<Case, Op>& run, std::ostream* os) {
    *os << run.first.name << ", " << NameOf(run.second);
}

class CleanUpAdversaryTest : public CleanUpAdversary,
                             public ::testing::WithParamInterface<std::pair<Case, Op>> {};

const Case kCases[] = {
    {"a name that is not UTF-8, beside the name its lossy form gives",
     "a\xff",
     kAll,
     [](CleanUpAdversary& f) { WriteFile(f.S("proj/a\xEF\xBF\xBD/sibling.txt"), "not selected"); },
     {},
     {},
     Expect::Done,
     nullptr},
    {"names with every character the disk allows",
     "odd *?\\ name",
     kAll,
     [](CleanUpAdversary& f) {
         for (const QByteArray& name : {QByteArray(255, 'x'), QByteArray("star*"), QByteArray("q?"),
                                        QByteArray("back\\slash"), QByteArray("new\nline")})
             WriteFile(f.Selection() + u'/' + platform::DecodeHostName(name), name);
     },
     {},
     {},
     Expect::Done,
     nullptr},
    {"the selection swapped for a link at the confirmation",
     "sel",
     {Op::Delete, Op::Trash, Op::MoveAcross, Op::MoveWithin, Op::Archive},
     {},
     [](CleanUpAdversary& f) { f.SwapForLink(f.Selection(), f.Outside() + "/victim"); },
     {},
     Expect::Refused,
     nullptr},
    {"the parent swapped for a link at the confirmation",
     "sel",
     kAll,
     [](CleanUpAdversary& f) {
         // The link's target holds a folder of the selection's name.
         WriteFile(f.Outside() + "/proj/sel/bait.txt", "outside");
     },
     [](CleanUpAdversary& f) { f.SwapForLink(f.S("proj"), f.Outside() + "/proj"); },
     {},
     Expect::Refused,
     "symbolic link"},
    {"the selection swapped for a link mid-way",
     "sel",
     {Op::Delete, Op::MoveAcross, Op::Archive, Op::Restore},
     {},
     {},
     [](CleanUpAdversary& f) { f.SwapForLink(f.Selection(), f.Outside() + "/victim"); },
     Expect::NotDone,
     nullptr},
    {"a subfolder swapped for a link mid-way",
     "sel",
     {Op::Delete, Op::MoveAcross, Op::Archive, Op::Restore},
     {},
     {},
     [](CleanUpAdversary& f) { f.SwapForLink(f.Selection() + "/sub", f.Outside() + "/victim"); },
     Expect::NotDone,
     nullptr},
    {"a program adding and appending files meanwhile",
     "sel",
     {Op::MoveAcross, Op::Archive},
     {},
     {},
     [](CleanUpAdversary& f) {
         WriteFile(f.Selection() + "/sub/b.txt", ReadFile(f.Selection() + "/sub/b.txt") + "more");
         WriteFile(f.Selection() + "/sub/new.txt", "saved meanwhile");
     },
     Expect::NotDone,
     nullptr,
     {{"b.txt", QByteArray("Nothing is lost on the way back.\n").repeated(400).left(999) + "more"},
      {"new.txt", "saved meanwhile"}}},
    {"a file system mounted inside",
     "sel",
     {Op::Delete, Op::Trash, Op::MoveAcross, Op::MoveWithin, Op::Archive},
     [](CleanUpAdversary& f) { f.mounts_ << f.Selection() + "/sub/mnt"; },
     {},
     {},
     Expect::NotDone,
     "mounted"},
    {"the selection a mount point itself",
     "sel",
     {Op::Delete, Op::Trash, Op::MoveAcross, Op::MoveWithin, Op::Archive},
     [](CleanUpAdversary& f) { f.mounts_ << f.Selection(); },
     {},
     {},
     Expect::Refused,
     "mounted"},
};

std::vector<std::pair<Case, Op>> AllRuns() {
    std::vector<std::pair<Case, Op>> runs;
    for (const Case& c : kCases)
        for (Op op : c.ops) runs.emplace_back(c, op);
    return runs;
}

TEST_P(CleanUpAdversaryTest, NothingOutsideChangesNothingInsideIsLostAndTheResultIsTrue) {
    const Case& c = GetParam().first;
    const Op op = GetParam().second;
    MakeSelection(c.selection);
    std::vector<std::unique_ptr<TestMount>> mounted;
    if (c.make) c.make(*this);
    for (const QString& mount : mounts_) {
        const TreeFacts below = FactsOf(mount);
        mounted.push_back(TestMount::Tmpfs(mount, "1m"));
        if (!mounted.back()->ok()) GTEST_SKIP() << mounted.back()->Describe().toStdString();
        std::cout << "[ mount ] " << mounted.back()->Describe().toStdString() << "\n";
        WriteFile(mount + "/on-the-mount.txt", "another file system");
    }
    const TreeFacts inside = FactsOf(Selection());
    if (op == Op::Restore) ArchiveForRestore();
    const auto outside = OutsideFacts();

    const Outcome outcome =
        Run(op, c.atConfirm ? std::function<void()>([&] { c.atConfirm(*this); }) : nullptr,
            c.midway ? std::function<void()>([&] { c.midway(*this); }) : nullptr);
    SCOPED_TRACE(outcome.said.toStdString());

    EXPECT_EQ(OutsideFacts(), outside);
    if (c.expect == Expect::Done) {
        EXPECT_TRUE(outcome.done);
    } else if (c.expect == Expect::Refused) {
        EXPECT_FALSE(outcome.done);
        EXPECT_FALSE(outcome.said.isEmpty());
        if (op != Op::Restore) {
            EXPECT_EQ(FactsOf(Unswapped(Selection())), inside);
        }
    } else {
        EXPECT_FALSE(outcome.done);
        EXPECT_FALSE(outcome.said.isEmpty());
    }
    if (c.says) {
        EXPECT_TRUE(outcome.said.contains(QLatin1String(c.says)));
    }
    // A delete is meant to lose what it deletes; every other action, and a delete refused,
    // keeps each entry whole in one of its places.
    const auto places = Places();
    if (op != Op::Delete || c.expect == Expect::Refused) {
        for (const auto& [path, e] : inside) {
            const QString name = path.section(u'/', -1);
            if (e.kind == 'd' || c.written.count(name)) continue;
            EXPECT_TRUE(places.count({name, e.kind, e.bytes}))
                << path.toStdString() << " is whole nowhere";
        }
    }
    for (const auto& [name, bytes] : c.written)
        EXPECT_TRUE(places.count({name, 'f', bytes})) << name.toStdString() << " as written";

    // Done means done: nothing of the selection is left where it was.
    if (outcome.done && op != Op::Restore) {
        EXPECT_TRUE(FactsOf(Unswapped(Selection())).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Actions, CleanUpAdversaryTest, ::testing::ValuesIn(AllRuns()),
                         [](const ::testing::TestParamInfo<std::pair<Case, Op>>& info) {
                             std::string name = std::string(info.param.first.name) + " " +
                                                NameOf(info.param.second);
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name + "_" + std::to_string(info.index);
                         });

// A restore under a hostile register or archive writes nothing outside the recorded folder,
// never through a link, and keeps the archive unless every entry came back.
TEST_F(CleanUpAdversary, ARestoreWritesOnlyTheRecordedFolderWhateverTheRegisterOrArchiveSay) {
    const auto registerValue = [this](const char* section, const QString& value) {
        cleanup::ProfileFile(S("Archives Bin/archives.ini"))
            .WriteString(section, archiveKey_, value);
    };
    // An archive the program did not write, registered for the folder "Photos" of S:\proj.
    const auto foreignArchive = [this](const QString& python) {
        archiveKey_ = "S7654321.ZIP";
        QDir().mkpath(S("Archives Bin"));
        ASSERT_EQ(
            zip_testing::RunProgram("python3", {"-c", python, S("Archives Bin/") + archiveKey_}),
            0);
        TArchivesRegister(Program(S("Archives Bin")))
            .Record(archiveKey_, "foreign", "Photos", "S:\\proj");
    };
    const struct {
        const char* name;
        std::function<void()> make;
        const char* target;  // nullptr: the recorded place
        bool restored;
        const char* says;
        QStringList absent;  // host paths relative to S: nothing may be written there
    } cases[] = {
        {"an original path through a link",
         [&] {
             ArchiveForRestore();
             ASSERT_EQ(::symlink(Outside().toUtf8().constData(), S("lnk").toUtf8().constData()), 0);
             registerValue("OriginalPaths", "S:\\lnk\\.config");
         },
         nullptr,
         false,
         "\"S:\\lnk\" is a symbolic link",
         {}},
        {"a folder name that climbs out",
         [&] {
             ArchiveForRestore();
             registerValue("FolderNames", "../../escaped");
         },
         nullptr,
         false,
         "names no folder that can be restored",
         {"escaped"}},
        {"an archive holding more than its folder",
         [&] {
             foreignArchive(
                 "import sys, zipfile\n"
                 "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                 "z.writestr('Photos/a.jpg', 'a photo')\n"
                 "z.writestr('.profile', 'PATH=/tmp/evil')\n"
                 "z.writestr('PhotosX/b.jpg', 'a neighbour')\n");
         },
         nullptr,
         false,
         ".profile: it lies outside the folder Photos",
         {"proj/.profile", "proj/PhotosX"}},
        {"an archive written as a stream",
         [&] {
             WriteFile(S("proj/Photos/a.jpg"), "a photo");
             WriteFile(S("proj/Photos/deep/b.jpg"), Noise(70000, 5));
             archiveKey_ = "S1234567.ZIP";
             QDir().mkpath(S("Archives Bin"));
             ASSERT_EQ(zip_testing::RunProgram(
                           "sh", {"-c", "cd \"$1\" && zip -qr - Photos | cat > \"$2\"", "sh",
                                  S("proj"), S("Archives Bin/") + archiveKey_}),
                       0);
             TArchivesRegister(Program(S("Archives Bin")))
                 .Record(archiveKey_, "streamed", "Photos", "S:\\proj");
             ::system(("rm -rf '" + S("proj/Photos") + "'").toUtf8().constData());
         },
         nullptr,
         true,
         nullptr,
         {}},
        {"a register that is a link",
         [&] {
             ArchiveForRestore();
             ::unlink(S("Archives Bin/archives.ini").toUtf8().constData());
             ASSERT_EQ(::symlink((Outside() + "/secret.txt").toUtf8().constData(),
                                 S("Archives Bin/archives.ini").toUtf8().constData()),
                       0);
         },
         "S:\\proj",
         false,
         "names no folder",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MakeSelection("sel");
        c.make();
        const TreeFacts outside = FactsOf(Outside());
        cleanup::RestoreRequest request;
        request.drive = 'S';
        request.key = archiveKey_;
        request.target =
            c.target ? QString(c.target)
                     : TArchivesRegister(Program(S("Archives Bin"))).OriginalPath(archiveKey_);
        request.deleteArchive = true;
        request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
        const cleanup::RestoreResult r = cleanup::RestoreArchive(request, {});
        const QString said = r.refusal + r.problems;
        EXPECT_EQ(r.restored, c.restored) << said.toStdString();
        if (c.says) {
            EXPECT_TRUE(said.contains(QLatin1String(c.says))) << said.toStdString();
        }
        EXPECT_EQ(QFileInfo::exists(S("Archives Bin/") + archiveKey_), !c.restored);
        EXPECT_EQ(FactsOf(Outside()), outside);
        for (const QString& path : c.absent)
            EXPECT_FALSE(QFileInfo::exists(S(path))) << path.toStdString();
        ::system(("rm -rf '" + S("proj") + "' '" + S("Archives Bin") + "' '" + S("lnk") + "'")
                     .toUtf8()
                     .constData());
        QDir().mkpath(S("proj"));
    }
    // A key of the register's own name is listed, but never deleted as an archive.
    MakeSelection("sel");
    ArchiveForRestore();
    TArchivesRegister(Program(S("Archives Bin")))
        .Record("archives.ini", "hand-edited", "x", "S:\\");
    const QByteArray registerBytes = ReadFile(S("Archives Bin/archives.ini"));
    QString why;
    EXPECT_FALSE(cleanup::DeleteArchive('S', "archives.ini", why));
    EXPECT_TRUE(why.contains("not named as Quillon Pro names its archives")) << why.toStdString();
    EXPECT_EQ(ReadFile(S("Archives Bin/archives.ini")), registerBytes);
}

// What would stop an archive with "Move" half-way is said before anything is written, in one
// message; without "Move" a file nobody may read is left out with its own words.
TEST_F(CleanUpAdversary, WhatWouldStopAnArchiveIsSaidOnceAndBeforeAnythingIsWritten) {
    const struct {
        const char* name;
        std::function<bool()> make;  // false: the machine cannot make the case
        bool move;
        bool archived;
        const char* says;
    } cases[] = {
        {"a file that cannot be deleted",
         [this] {
             return zip_testing::RunProgram("chattr", {"+i", Selection() + "/a.txt"}) == 0;
         },
         true, false, "cannot be removed afterwards: it is immutable"},
        {"a read-only folder of forty files",
         [this] {
             for (int i = 0; i < 40; ++i)
                 WriteFile(Selection() + QStringLiteral("/locked/f%1.txt").arg(i), "locked in");
             return ::chmod((Selection() + "/locked").toUtf8().constData(), 0555) == 0;
         },
         true, false, "\"S:\\proj\\sel\\locked\" cannot be emptied: Permission denied"},
        {"a file nobody may read",
         [this] { return ::chmod((Selection() + "/a.txt").toUtf8().constData(), 0) == 0; }, false,
         true, "Skipped sel/a.txt: Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MakeSelection("sel");
        if (!c.make()) {
            std::cout << "[ skipped ] " << c.name << ": not possible on this machine\n";
            continue;
        }
        const TreeFacts before = FactsOf(Selection());
        cleanup::ArchiveResult r;
        {
            testing_support::WithoutPermissionOverride asAnyUser;
            if (!asAnyUser.ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
            cleanup::ArchiveRequest request = ArchiveRequestOf();
            request.move = c.move;
            r = cleanup::ArchiveFolder(request, {});
        }
        const QString said = r.refusal + r.problems;
        EXPECT_EQ(r.archived, c.archived) << said.toStdString();
        EXPECT_TRUE(said.contains(QLatin1String(c.says))) << said.toStdString();
        EXPECT_LE(said.count(u'\n'), 11) << "one message of at most ten items";
        EXPECT_EQ(FactsOf(Selection()), before);
        EXPECT_EQ(QFileInfo::exists(S("Archives Bin")), c.archived);
        zip_testing::RunProgram("chattr", {"-i", Selection() + "/a.txt"});
        ::system(("chmod -R u+rwX '" + S("") + "' && rm -rf '" + S("proj") + "' '" +
                  S("Archives Bin") + "'")
                     .toUtf8()
                     .constData());
        QDir().mkpath(S("proj"));
    }
}

// Trees deeper than the open-file limit allows folders, with paths longer than the system
// takes: the actions keep only a few folders open and reach the rest through them.
TEST_F(CleanUpAdversary, TreesDeeperThanTheOpenFileLimitAreDeletedTrashedAndMovedWhole) {
    constexpr int kDepth = 1500;
    const QByteArray leaf = "at the bottom";
    // Built and read through descriptors: the paths are longer than PATH_MAX.
    const auto build = [&](const QString& top) {
        ASSERT_EQ(::mkdir(top.toUtf8().constData(), 0755), 0);
        int fd = ::open(top.toUtf8().constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < kDepth; ++i) {
            ::mkdirat(fd, "level", 0755);
            const int next = ::openat(fd, "level", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        const int file = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(file, leaf.constData(), size_t(leaf.size())), ssize_t(leaf.size()));
        ::close(file);
        ::close(fd);
    };
    // The depth of the chain of "level" folders below top and what its bottom holds.
    const auto depthOf = [&](const QString& top, QByteArray& bottom) {
        int fd = ::open(top.toUtf8().constData(), O_RDONLY | O_DIRECTORY);
        int depth = 0;
        for (int next; fd >= 0 && (next = ::openat(fd, "level", O_RDONLY | O_DIRECTORY)) >= 0;
             ++depth) {
            ::close(fd);
            fd = next;
        }
        char bytes[64] = {};
        const int file = fd >= 0 ? ::openat(fd, "leaf.txt", O_RDONLY) : -1;
        bottom =
            file >= 0 ? QByteArray(bytes, int(::read(file, bytes, sizeof bytes))) : QByteArray();
        if (file >= 0) ::close(file);
        if (fd >= 0) ::close(fd);
        return fd >= 0 ? depth : -1;
    };
    const QString name = "deep";
    for (const Op op : {Op::Delete, Op::Trash, Op::MoveAcross, Op::MoveWithin}) {
        SCOPED_TRACE(NameOf(op));
        selection_ = name.toUtf8();
        build(Selection());
        struct rlimit saved {};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        struct rlimit few = saved;
        few.rlim_cur = 512;
        ::setrlimit(RLIMIT_NOFILE, &few);
        const Outcome outcome = Run(op, {}, {});
        ::setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_TRUE(outcome.done) << outcome.said.toStdString();
        QByteArray bottom;
        EXPECT_EQ(depthOf(Selection(), bottom), -1);
        const QString moved = op == Op::MoveAcross   ? shm_.path() + u'/' + name
                              : op == Op::MoveWithin ? S("elsewhere/") + name
                              : op == Op::Trash      ? base_.path() + "/data/Trash/files/" + name
                                                     : QString();
        if (!moved.isEmpty()) {
            EXPECT_EQ(depthOf(moved, bottom), kDepth);
            EXPECT_EQ(bottom, leaf);
            zip_testing::RunProgram("rm", {"-rf", moved});
        }
    }
}

}  // namespace
