// The fault sweep and the kill test of the operations that write, move or delete user files.
//
//   quillon_faults sweep [--every K] [--all-errnos] [--kills K] [--seed S] [--ops a,b,...]
//   quillon_faults run OPERATION           (the child the sweep starts)
//
// For each operation the sweep makes its fixture on temporary drives, then starts this program
// as the child that runs the operation alone: once with the fault shim only counting, then with
// the Nth counted call failing for N = 1, 2, ... until a run meets no fault (--every K tries
// only the first and last three and every Kth; the call fails with ENOSPC, EIO or EACCES in turn,
// or with each of them with --all-errnos), and then K times killed after a seeded random
// delay within the operation's measured duration. After each run it checks what the operation
// promises on disk, and prints a line per violation and a table of the figures. Exit status 1
// when anything was violated.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cleanup/ArchiveCore.h"
#include "cleanup/ArchivesRegister.h"
#include "cleanup/ZipEngine.h"
#include "config/Options.h"
#include "desktop/MessageBox.h"
#include "platform/Drives.h"
#include "platform/FileOperations.h"

extern char** environ;

namespace {

// ---- the places: drive S: on the temporary folder's file system, D: on a tmpfs ----

struct Places {
    QString base;  // /tmp/quillon-faults-XXXXXX
    QString shm;   // /dev/shm/quillon-faults-XXXXXX, or empty
    QString s() const { return base + "/s"; }
    QString d() const { return shm + "/d"; }
    QString config() const { return base + "/config"; }
    // On the tmpfs when there is one, so that the home Trash is on the trashed items' drive.
    QString data() const { return shm.isEmpty() ? base + "/data" : shm + "/data"; }
    // The trash of the tmpfs's own top, for what the home Trash cannot take.
    QString topTrash() const { return "/dev/shm/.Trash-" + QString::number(::getuid()); }
    // Names the trashed items have only here: the top trash is shared with other programs.
    QString tag() const { return base.section('-', -1); }
    QString scratch() const { return base + "/scratch"; }
    QString settingsFile() const { return config() + "/Norvane/Quillon Pro.reg"; }
    QString registerFile() const { return s() + "/Archives Bin/archives.ini"; }
};

const char* const kSettingsKey = "Software\\Norvane\\Quillon Pro";

// Sets the environment the child inherits and this process uses for its checks.
void UsePlaces(const Places& p) {
    QString drives = "S=" + p.s();
    if (!p.shm.isEmpty()) drives += ";D=" + p.d();
    qputenv("QUILLON_DRIVES", drives.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", p.config().toLocal8Bit());
    qputenv("XDG_DATA_HOME", p.data().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (p.base + "/cache").toLocal8Bit());
    qputenv("QUILLON_FAULT_TAG", p.tag().toLocal8Bit());
    QString roots = p.s() + ':' + p.config() + ':' + p.data();
    if (!p.shm.isEmpty()) roots += ':' + p.d() + ':' + p.topTrash();
    qputenv("QUILLON_FAULT_ROOTS", roots.toLocal8Bit());
    platform::ReloadDriveMap();
}

void Run(const QStringList& command) {
    std::vector<QByteArray> args;
    for (const QString& a : command) args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

void RemoveTree(const QString& host) {
    if (QFileInfo::exists(host) || QFileInfo(host).isSymLink()) {
        Run({"chmod", "-R", "u+rwX", host});
        Run({"rm", "-rf", host});
    }
}

// Copies what a folder holds into another, which is created when missing.
void CopyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    Run({"cp", "-a", from + "/.", to});
}

// ---- what a tree holds ----

// Every entry below a folder by its relative path: "d" for a folder, "l:" and the target for a
// link, "f:" and the SHA-1 of the contents for a file.
using Facts = std::map<QString, QByteArray>;

QByteArray Digest(const QString& host) {
    QFile f(host);
    if (!f.open(QIODevice::ReadOnly)) return "unreadable";
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&f);
    return hash.result().toHex();
}

void Walk(const QString& host, const QString& relative, Facts& facts) {
    struct stat st {};
    if (::lstat(QFile::encodeName(host).constData(), &st) != 0) return;
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(host).constData(), target, sizeof target);
        facts[relative] = "l:" + QByteArray(target, n > 0 ? n : 0);
    } else if (S_ISDIR(st.st_mode)) {
        if (!relative.isEmpty()) facts[relative] = "d";
        const QStringList names = QDir(host).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names)
            Walk(host + u'/' + name, relative.isEmpty() ? name : relative + u'/' + name, facts);
    } else {
        facts[relative] = "f:" + Digest(host);
    }
}

Facts FactsOf(const QString& host) {
    Facts facts;
    Walk(host, {}, facts);
    return facts;
}

QByteArray ReadAll(const QString& host) {
    QFile f(host);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& host, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(host).path());
    QFile f(host);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray Noise(int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes) c = char(random.bounded(256));
    return bytes;
}

// A folder of files of several sizes, nested folders, an empty one and a link.
void MakeSample(const QString& host) {
    const QByteArray text = QByteArray("Nothing is lost on the way.\n").repeated(500);
    WriteAll(host + "/a.txt", text);
    WriteAll(host + "/big.bin", Noise(400000, 7));
    WriteAll(host + "/empty.dat", {});
    WriteAll(host + "/.hidden", "hidden\n");
    WriteAll(host + "/sub/b.txt", text.left(999));
    WriteAll(host + "/sub/deeper/c.bin", Noise(70000, 8));
    WriteAll(host + "/sub/deeper/d.txt", text.left(5000));
    WriteAll(host + "/z/e.txt", text.left(3000));
    QDir().mkpath(host + "/emptydir");
    QFile::link("a.txt", host + "/link");
}

// ---- the operations, as the child runs them ----

// Lets the sweep know the operation starts now, and arms the shim.
void Start() {
    if (const char* fd = getenv("QUILLON_FAULT_READY_FD")) [[maybe_unused]]
        const ssize_t n = ::write(atoi(fd), "r", 1);
    if (auto* arm = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "quillon_fault_arm")))
        arm(1);
}

void Stop() {
    auto* arm = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "quillon_fault_arm"));
    auto* points = reinterpret_cast<long (*)()>(dlsym(RTLD_DEFAULT, "quillon_fault_points"));
    auto* fired = reinterpret_cast<long (*)()>(dlsym(RTLD_DEFAULT, "quillon_fault_fired"));
    if (arm) arm(0);
    // The end of the operation: the sweep times the operation alone, without the teardown.
    if (const char* fd = getenv("QUILLON_FAULT_READY_FD")) {
        [[maybe_unused]] const ssize_t n = ::write(atoi(fd), "d", 1);
        ::close(atoi(fd));
    }
    std::printf("points %ld fired %ld\n", points ? points() : -1L, fired ? fired() : -1L);
    std::fflush(stdout);
}

desktop::MessageButton Answer(const desktop::MessageRequest& request) {
    std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
    return (request.buttons & desktop::Ok) ? desktop::Ok : desktop::No;
}

void SaveSettings() {
    TOptions options(kSettingsKey, "Options");
    options.AddInt("Columns", 0)->Value = 7;
    options.AddBool("ShowHidden", false)->Value = true;
    options.AddStr("LastFolder", {})->Value = "S:\\work\\" + QString("new ").repeated(200);
    options.AddInt("Sort", 0)->Value = 3;
    options.AddStr("Filter", {})->Value = "*.tmp;*.bak;*.old";
    options.Save();
}

int RunOperation(const QString& op) {
    desktop::SetMessageAnswerer(Answer);
    const QString s = qEnvironmentVariable("QUILLON_DRIVES").section(';', 0, 0).mid(2);
    QDir::setCurrent(s);
    platform::FileOperationCallbacks quiet;
    quiet.progress = [](const platform::FileOperationProgress&) { return true; };
    const unsigned flags = platform::NoConfirmation | platform::NoErrorUi;
    try {
        if (op == "move") {
            Start();
            platform::MoveFolder("S:\\work\\Data", "D:\\Data", flags, quiet);
        } else if (op == "archive") {
            cleanup::ArchiveRequest request;
            request.folder = "S:\\work\\Docs";
            request.archiveDrive = 'S';
            request.description = "Docs Folder";
            request.usedSpace = 600000;
            request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
            Start();
            const cleanup::ArchiveResult result = cleanup::ArchiveFolder(request, {});
            if (!result.problems.isEmpty() || !result.refusal.isEmpty())
                std::fprintf(stderr, "box: %s%s\n", qPrintable(result.refusal),
                             qPrintable(result.problems));
        } else if (op == "restore") {
            TArchivesRegister reg("S:\\Archives Bin");
            cleanup::RestoreRequest request;
            request.drive = 'S';
            request.key = reg.Keys().value(0);
            request.target = reg.OriginalPath(request.key);
            request.deleteArchive = true;
            request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
            Start();
            const cleanup::RestoreResult result = cleanup::RestoreArchive(request, {});
            if (!result.problems.isEmpty() || !result.refusal.isEmpty())
                std::fprintf(stderr, "box: %s%s\n", qPrintable(result.refusal),
                             qPrintable(result.problems));
        } else if (op == "settings") {
            Start();
            SaveSettings();
        } else if (op == "register") {
            TArchivesRegister reg("S:\\Archives Bin");
            Start();
            reg.Record("S1234567.ZIP", "New archive", "Photos", "S:\\work");
            reg.SetDescription("S0000001.ZIP", "Described again");
            reg.Forget("S0000002.ZIP");
        } else if (op == "delete") {
            Start();
            platform::DeleteItems({"S:\\work\\Sel"}, flags, quiet);
        } else if (op == "trash") {
            Start();
            const QString tag = qEnvironmentVariable("QUILLON_FAULT_TAG");
            platform::RecycleItems({"D:\\work\\Sel-" + tag, "D:\\work\\lone-" + tag + ".txt"},
                                   flags, quiet);
        } else {
            std::fprintf(stderr, "no operation %s\n", qPrintable(op));
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
    }
    Stop();
    return 0;
}

// ---- the child ----

struct ChildRun {
    bool completed = false;  // exited by itself with status 0
    bool killed = false;     // ended by our SIGKILL
    QString how;             // how it ended otherwise
    long points = -1;
    long fired = -1;
    QString fault;       // the shim's line about the call it failed
    double seconds = 0;  // from the start of the operation to the end of the child
};

struct ChildOptions {
    bool shim = true;
    long failAt = 0;
    QString errnoName = "ENOSPC";
    QString snapshotOf, snapshotTo;
    double killAfter = -1;  // seconds after the operation starts; < 0: never
};

ChildRun RunChild(const Places& p, const QString& op, const ChildOptions& o) {
    QStringList env;
    for (char** e = environ; *e; ++e) {
        const QString v = QString::fromLocal8Bit(*e);
        if (!v.startsWith("LD_PRELOAD=") && !v.startsWith("QUILLON_FAULT_AT=") &&
            !v.startsWith("QUILLON_FAULT_ERRNO=") && !v.startsWith("QUILLON_FAULT_SNAPSHOT") &&
            !v.startsWith("QUILLON_FAULT_READY_FD="))
            env << v;
    }
    int ready[2];
    if (::pipe(ready) != 0) return {};
    if (o.shim) {
        env << "LD_PRELOAD=" QUILLON_FAULT_SHIM;
        env << QString("QUILLON_FAULT_AT=%1").arg(o.failAt) << "QUILLON_FAULT_ERRNO=" + o.errnoName;
    }
    if (!o.snapshotOf.isEmpty())
        env << "QUILLON_FAULT_SNAPSHOT_OF=" + o.snapshotOf
            << "QUILLON_FAULT_SNAPSHOT_TO=" + o.snapshotTo;
    env << QString("QUILLON_FAULT_READY_FD=%1").arg(ready[1]) << "QT_QPA_PLATFORM=offscreen";
    std::vector<QByteArray> envBytes;
    for (const QString& v : env) envBytes.push_back(v.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& v : envBytes) envp.push_back(v.data());
    envp.push_back(nullptr);
    QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    QByteArray mode = "run", opBytes = op.toLocal8Bit();
    char* argv[] = {self.data(), mode.data(), opBytes.data(), nullptr};
    const QByteArray out = QFile::encodeName(p.base + "/child.out");
    const QByteArray err = QFile::encodeName(p.base + "/child.err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    ChildRun run;
    if (spawned != 0) {
        ::close(ready[0]);
        run.how = "could not be started";
        return run;
    }
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    const auto t0 = std::chrono::steady_clock::now();
    if (started && o.killAfter >= 0) {
        const long ns = long(o.killAfter * 1e9);
        const struct timespec delay = {time_t(ns / 1000000000), ns % 1000000000};
        ::nanosleep(&delay, nullptr);
        ::kill(pid, SIGKILL);
    } else if (started && ::read(ready[0], &byte, 1) == 1) {
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    ::close(ready[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.completed = true;
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && o.killAfter >= 0)
        run.killed = true;
    else
        run.how = WIFEXITED(status) ? QString("exit status %1").arg(WEXITSTATUS(status))
                                    : QString("signal %1").arg(WTERMSIG(status));
    for (const QByteArray& line : ReadAll(p.base + "/child.out").split('\n')) {
        if (line.startsWith("points ")) {
            const QList<QByteArray> f = line.split(' ');
            run.points = f.value(1).toLong();
            run.fired = f.value(3).toLong();
        }
    }
    for (const QByteArray& line : ReadAll(p.base + "/child.err").split('\n'))
        if (line.startsWith("fault: ")) run.fault = QString::fromLocal8Bit(line.mid(7));
    if (!run.completed && !run.killed) {
        const QByteArray err = ReadAll(p.base + "/child.err");
        run.how += ": " + QString::fromLocal8Bit(err.right(2000));
    }
    return run;
}

// ---- the operations as the sweep sees them: fixture and promise ----

struct Check {
    QStringList violations;
    QStringList leftovers;
};

class Operation {
public:
    explicit Operation(const Places& p) : p_(p) {}
    virtual ~Operation() = default;
    virtual QString Name() const = 0;
    // Makes the fixture in the places (which are empty) for the template.
    virtual void Make() = 0;
    // After the reference run: what the operation left when nothing failed.
    virtual void Learn() {}
    virtual QString SnapshotOf() const { return {}; }
    virtual Check Verify() = 0;
    // After the run without faults: what the operation should have done and did not, so that
    // a sweep over an operation that does nothing cannot pass.
    virtual QString NotDone() const = 0;

    // The states a file replaced atomically may be found in: as it was, and each it was
    // given during the reference run.
    std::set<QByteArray> states;

protected:
    const Places& p_;
};

// Compares the entries of a tree that were there before with what a place holds now.
class MoveOp : public Operation {
public:
    using Operation::Operation;
    QString Name() const override { return "move"; }
    QString NotDone() const override {
        if (FactsOf(p_.d() + "/Data") != before_) return "the target does not hold the folder";
        return QFileInfo::exists(p_.s() + "/work/Data") ? "the source is still there" : QString();
    }
    void Make() override {
        MakeSample(p_.s() + "/work/Data");
        QDir().mkpath(p_.d());
        before_ = FactsOf(p_.s() + "/work/Data");
    }
    Check Verify() override {
        Check c;
        const Facts src = FactsOf(p_.s() + "/work/Data");
        const Facts dst = FactsOf(p_.d() + "/Data");
        for (const auto& [rel, sig] : before_) {
            if (sig == "d") continue;
            const bool inSource = src.count(rel) && src.at(rel) == sig;
            const bool atTarget = dst.count(rel) && dst.at(rel) == sig;
            if (!inSource && !atTarget)
                c.violations << rel + " is whole neither in the source nor at the target";
        }
        for (const auto& [rel, sig] : src)
            if (sig != "d" && before_.count(rel) && before_.at(rel) != sig)
                c.violations << "source " + rel + " changed";
        for (const auto& [rel, sig] : dst) {
            const QString top = rel.section('/', 0, 0);
            if (top.startsWith(".qpmove-")) {
                if (!rel.contains('/')) c.leftovers << "target " + top;
                continue;
            }
            if (!before_.count(rel))
                c.violations << "target " + rel + " was never in the source";
            else if (before_.at(rel) != sig)
                c.violations << "target " + rel + " is not whole but has its name";
        }
        return c;
    }

private:
    Facts before_;
};

// Extracts every archive of the Archives Bin and answers what each holds, by the path
// relative to the archived folder.
std::map<QString, Facts> ArchiveContents(const Places& p, QStringList& unreadable) {
    std::map<QString, Facts> contents;
    const QString bin = p.s() + "/Archives Bin";
    for (const QString& name : QDir(bin).entryList({"*.ZIP"}, QDir::Files | QDir::Hidden)) {
        const QString into = p.scratch() + "/x-" + name;
        RemoveTree(into);
        QDir().mkpath(into);
        TZipEngine zip;
        zip.SetDLLDirectory(QStringLiteral(QUILLON_ZIP_ENGINE_DIR));
        bool bad = false;
        zip.OnMessage = [&](TZipEngine*, int code, const QString& text) {
            if (code != 0) {
                bad = true;
                std::fprintf(stderr, "  %s: %s\n", qPrintable(name), qPrintable(text));
            }
        };
        try {
            zip.SetZipFilename(bin + u'/' + name);
            zip.ExtrBaseDir = into;
            zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
            zip.FileSpecs.clear();
            zip.ExtractFiles();
        } catch (const std::exception& e) {
            bad = true;
        }
        if (bad) {
            unreadable << name;
            continue;
        }
        contents[name] = FactsOf(into);
    }
    return contents;
}

// Whether an archive holds a file of the folder Docs whole, under whichever prefix.
bool Holds(const Facts& archive, const QString& rel, const QByteArray& sig) {
    for (const QString& prefix : {QString(), QString("Docs/"), QString("work/Docs/")})
        if (archive.count(prefix + rel) && archive.at(prefix + rel) == sig) return true;
    return false;
}

class ArchiveOp : public Operation {
public:
    using Operation::Operation;
    QString Name() const override { return "archive"; }
    QString NotDone() const override {
        if (QFileInfo::exists(p_.s() + "/work/Docs/a.txt")) return "the sources are still there";
        return QDir(p_.s() + "/Archives Bin").entryList({"*.ZIP"}, QDir::Files).size() == 1
                   ? QString()
                   : "there is no archive";
    }
    void Make() override {
        MakeSample(p_.s() + "/work/Docs");
        before_ = FactsOf(p_.s() + "/work/Docs");
    }
    Check Verify() override {
        Check c;
        const Facts now = FactsOf(p_.s() + "/work/Docs");
        std::map<QString, Facts> archives;
        QStringList unreadable;
        bool extracted = false;
        for (const auto& [rel, sig] : before_) {
            if (sig == "d") continue;
            if (now.count(rel)) {
                if (now.at(rel) != sig) c.violations << "source " + rel + " changed";
                continue;
            }
            if (!extracted) {
                archives = ArchiveContents(p_, unreadable);
                extracted = true;
            }
            bool held = false;
            for (const auto& [name, facts] : archives) held = held || Holds(facts, rel, sig);
            if (!held)
                c.violations << rel + " is gone and no archive that reads back holds it" +
                                    (unreadable.isEmpty()
                                         ? QString()
                                         : " (unreadable: " + unreadable.join(", ") + ")");
        }
        for (const QString& name :
             QDir(p_.s() + "/Archives Bin").entryList(QDir::Files | QDir::Hidden))
            if (!name.endsWith(".ZIP") && name != "archives.ini")
                c.leftovers << "Archives Bin/" + name;
        return c;
    }

private:
    Facts before_;
};

class RestoreOp : public Operation {
public:
    using Operation::Operation;
    QString Name() const override { return "restore"; }
    QString NotDone() const override {
        if (FactsOf(p_.s() + "/work/Docs") != before_) return "the folder did not come back";
        return QFileInfo::exists(p_.s() + "/Archives Bin/" + archive_)
                   ? "the archive is still there"
                   : QString();
    }
    void Make() override {
        MakeSample(p_.s() + "/work/Docs");
        before_ = FactsOf(p_.s() + "/work/Docs");
        // The archive the restore starts from, made without removing anything.
        desktop::SetMessageAnswerer(Answer);
        cleanup::ArchiveRequest request;
        request.folder = "S:\\work\\Docs";
        request.archiveDrive = 'S';
        request.move = false;
        request.engineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
        cleanup::ArchiveFolder(request, {});
        RemoveTree(p_.s() + "/work/Docs");
        const QStringList zips = QDir(p_.s() + "/Archives Bin").entryList({"*.ZIP"}, QDir::Files);
        archive_ = zips.value(0);
        if (zips.size() != 1)
            std::fprintf(stderr, "restore: the fixture has %d archives\n", int(zips.size()));
        archiveDigest_ = Digest(p_.s() + "/Archives Bin/" + archive_);
    }
    Check Verify() override {
        Check c;
        const QString archive = p_.s() + "/Archives Bin/" + archive_;
        const Facts now = FactsOf(p_.s() + "/work/Docs");
        if (QFileInfo::exists(archive)) {
            if (Digest(archive) != archiveDigest_) c.violations << "the archive changed";
        } else {
            for (const auto& [rel, sig] : before_)
                if (!now.count(rel) || now.at(rel) != sig)
                    c.violations << "the archive is gone but " + rel + " was not restored whole";
        }
        for (const auto& [rel, sig] : now)
            if (!before_.count(rel)) c.leftovers << "work/Docs/" + rel;
        return c;
    }

private:
    Facts before_;
    QString archive_;
    QByteArray archiveDigest_;
};

// A file replaced atomically: it must be in one of the states it was given.
class ReplacedFileOp : public Operation {
public:
    ReplacedFileOp(const Places& p, QString name, QString file)
        : Operation(p), name_(std::move(name)), file_(std::move(file)) {}
    QString Name() const override { return name_; }
    QString NotDone() const override {
        return states.size() > 1 && ReadAll(file_) != first_ ? QString()
                                                             : "the file did not change";
    }
    QString SnapshotOf() const override { return file_; }
    Check Verify() override {
        Check c;
        const QByteArray now = QFileInfo::exists(file_) ? ReadAll(file_) : QByteArray("<missing>");
        if (!states.count(now))
            c.violations << QFileInfo(file_).fileName() + " is neither the old nor a new state (" +
                                QString::number(now.size()) + " bytes)";
        const QString folder = QFileInfo(file_).path();
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            if (name != QFileInfo(file_).fileName() && !fixtureFiles_.contains(name))
                c.leftovers << name;
        return c;
    }

protected:
    void Remember() {
        first_ = QFileInfo::exists(file_) ? ReadAll(file_) : QByteArray("<missing>");
        states.insert(first_);
        fixtureFiles_ = QDir(QFileInfo(file_).path()).entryList(QDir::Files | QDir::Hidden);
    }

private:
    QString name_;
    QString file_;
    QByteArray first_;
    QStringList fixtureFiles_;
};

class SettingsOp : public ReplacedFileOp {
public:
    explicit SettingsOp(const Places& p) : ReplacedFileOp(p, "settings", p.settingsFile()) {}
    void Make() override {
        TOptions options(kSettingsKey, "Options");
        options.AddInt("Columns", 0)->Value = 3;
        options.AddBool("ShowHidden", false)->Value = false;
        options.AddStr("LastFolder", {})->Value = "S:\\old\\" + QString("old ").repeated(300);
        options.AddInt("Sort", 0)->Value = 1;
        options.Save();
        RegWriteString(kSettingsKey, "Window", "Layout", QString("x").repeated(2000));
        Remember();
    }
};

class RegisterOp : public ReplacedFileOp {
public:
    explicit RegisterOp(const Places& p) : ReplacedFileOp(p, "register", p.registerFile()) {}
    void Make() override {
        CreateArchivesFolder("S:\\Archives Bin");
        TArchivesRegister reg("S:\\Archives Bin");
        for (int i = 0; i < 12; ++i)
            reg.Record(QString("S%1.ZIP").arg(i, 7, 10, QChar('0')),
                       QString("Archive number %1 of the old register").arg(i),
                       QString("Folder%1").arg(i), "S:\\work\\old");
        Remember();
    }
};

// Delete and Trash: nothing outside what was selected changes. Delete works on S:; the Trash
// on D:, so that a trash that cannot be used falls back to the top trash of a file system that
// is only scratch (the tmpfs), never to that of the root file system.
class RemovalOp : public Operation {
public:
    RemovalOp(const Places& p, bool trash)
        : Operation(p), trash_(trash), root_(trash ? p.d() : p.s()) {
        selected_ = trash ? QStringList{"work/Sel-" + p.tag(), "work/lone-" + p.tag() + ".txt"}
                          : QStringList{"work/Sel"};
    }
    QString Name() const override { return trash_ ? "trash" : "delete"; }
    QString NotDone() const override {
        for (const QString& item : selected_) {
            if (QFileInfo::exists(root_ + '/' + item)) return item + " is still there";
            const QString trashed = p_.data() + "/Trash/files/" + QFileInfo(item).fileName();
            if (trash_ && !QFileInfo::exists(trashed)) return item + " is not in the Trash";
        }
        return {};
    }
    void Make() override {
        const QString sel = root_ + '/' + selected_[0];
        MakeSample(sel);
        MakeSample(root_ + "/work/Other");
        WriteAll(root_ + "/work/lone-" + p_.tag() + ".txt", "a file of its own\n");
        WriteAll(root_ + "/keep.txt", "beside the drive's root\n");
        // Links from the selection to outside it: removing them must not reach their targets.
        QFile::link("../Other/a.txt", sel + "/out-file");
        QFile::link("../Other", sel + "/out-folder");
        QFile::link(root_ + "/work/Other/sub", sel + "/sub/abs-folder");
        QDir().mkpath(p_.data());
        WriteAll(p_.data() + "/unrelated.txt", "data home\n");
        before_ = FactsOf(root_);
        data_ = FactsOf(p_.data());
    }
    Check Verify() override {
        Check c;
        const Facts now = FactsOf(root_);
        auto inSelection = [&](const QString& rel) {
            for (const QString& s : selected_)
                if (rel == s || rel.startsWith(s + '/')) return true;
            return false;
        };
        for (const auto& [rel, sig] : before_)
            if (!inSelection(rel) && (!now.count(rel) || now.at(rel) != sig))
                c.violations << rel + " outside the selection changed";
        for (const auto& [rel, sig] : now) {
            if (!before_.count(rel))
                c.violations << rel + " appeared";
            else if (inSelection(rel) && before_.at(rel) != sig)
                c.violations << rel + " in the selection changed";
        }
        if (!trash_) {
            if (FactsOf(p_.data()) != data_) c.violations << "the data folder changed";
            return c;
        }
        for (const QString& item : selected_) {
            const QString name = QFileInfo(item).fileName();
            auto below = [&](const Facts& facts, const QString& top) {
                Facts part;  // relative to the item's parent
                for (const auto& [rel, sig] : facts)
                    if (rel == top || rel.startsWith(top + '/'))
                        part[name + rel.mid(top.size())] = sig;
                return part;
            };
            const Facts whole = below(before_, item);
            const bool inPlace = below(now, item) == whole;
            int inTrash = 0;
            for (const QString& trash : {p_.data() + "/Trash", p_.topTrash()}) {
                const Facts trashed = below(FactsOf(trash + "/files"), name);
                const QString info = trash + "/info/" + name + ".trashinfo";
                const bool hasInfo =
                    QFileInfo::exists(info) && ReadAll(info).contains(QFile::encodeName(
                                                   QFileInfo(root_ + '/' + item).fileName()));
                if (trashed == whole && hasInfo)
                    inTrash += 1;
                else if (!trashed.empty())
                    c.violations << item + " is in " + trash +
                                        (hasInfo ? " in part" : " without its .trashinfo");
                else if (hasInfo)
                    c.leftovers << ".trashinfo without its item";
            }
            if (inPlace + inTrash != 1)
                c.violations << item + (inPlace   ? " is both in place and in the Trash"
                                        : inTrash ? " is in the Trash twice"
                                                  : " is neither whole in place nor in "
                                                    "the Trash with its .trashinfo");
        }
        // The top trash is shared: what this run put there goes.
        for (const char* part : {"/files/", "/info/"})
            for (const QString& name : QDir(p_.topTrash() + part)
                                           .entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot))
                if (name.contains(p_.tag())) RemoveTree(p_.topTrash() + part + name);
        return c;
    }

private:
    bool trash_;
    QString root_;
    QStringList selected_;
    Facts before_;
    Facts data_;
};

// ---- the sweep ----

struct Figures {
    QString op;
    int points = 0;  // counted calls of the run without faults
    int tried = 0;   // runs with a fault injected
    int faultViolations = 0;
    int kills = 0;  // runs ended by the kill (the others ran to the end first)
    int killRuns = 0;
    int killViolations = 0;
    int crashes = 0;                   // runs that ended neither by themselves nor by the kill
    std::map<QString, int> leftovers;  // the kind of leftover, and after how many runs
    std::map<QString, int> calls;      // the calls failed, by name
};

class Sweep {
public:
    Sweep(Places p, int every, bool allErrnos, int kills, quint32 seed)
        : p_(std::move(p)), every_(every), allErrnos_(allErrnos), kills_(kills), seed_(seed) {}

    Figures RunOperation(Operation& op) {
        Figures f;
        f.op = op.Name();
        const QString tmpl = p_.base + "-template";
        // The fixture, once, kept as a template each run starts from.
        Clear();
        op.Make();
        RemoveTree(tmpl);
        for (const auto& [place, name] : Parts())
            if (QFileInfo::exists(place)) CopyTree(place, tmpl + '/' + name);
        auto reset = [&] {
            Clear();
            for (const auto& [place, name] : Parts())
                if (QFileInfo::exists(tmpl + '/' + name)) CopyTree(tmpl + '/' + name, place);
        };

        // The reference run: counts the points and records every state of a replaced file.
        ChildOptions count;
        if (!op.SnapshotOf().isEmpty()) {
            count.snapshotOf = op.SnapshotOf();
            count.snapshotTo = p_.base + "-states";
            RemoveTree(count.snapshotTo);
            QDir().mkpath(count.snapshotTo);
        }
        ChildRun reference = RunChild(p_, op.Name(), count);
        if (!reference.completed)
            std::printf("%s: the run without faults failed: %s\n", qPrintable(f.op),
                        qPrintable(reference.how));
        for (const QString& s : QDir(count.snapshotTo).entryList(QDir::Files))
            op.states.insert(ReadAll(count.snapshotTo + '/' + s));
        Note(f, op.Verify(), "without faults", &f.faultViolations);
        if (const QString missing = op.NotDone(); !missing.isEmpty()) {
            std::printf("VIOLATION %s without faults: %s\n", qPrintable(f.op), qPrintable(missing));
            f.faultViolations += 1;
        }
        f.points = int(reference.points);
        const double duration = reference.seconds;

        // The faults.
        const char* errnos[] = {"ENOSPC", "EIO", "EACCES"};
        bool through = false;
        for (long n = 1; !through; ++n) {
            const bool last = n > f.points - 3;
            if (every_ > 1 && n > 3 && !last && n % every_ != 0) continue;
            for (int e = 0; e < (allErrnos_ ? 3 : 1) && !through; ++e) {
                reset();
                ChildOptions o;
                o.failAt = n;
                o.errnoName = errnos[allErrnos_ ? e : n % 3];
                const ChildRun run = RunChild(p_, op.Name(), o);
                if (run.fired <= 0) {  // it got through without a fault
                    if (!run.completed)
                        std::printf("VIOLATION %s N=%ld without a fault: %s\n", qPrintable(f.op), n,
                                    qPrintable(run.how));
                    f.faultViolations += run.completed ? 0 : 1;
                    through = true;
                    break;
                }
                f.tried += 1;
                f.calls[run.fault.section(' ', 2, 2).section('(', 0, 0)] += 1;
                QString what = QString("N=%1 %2 %3").arg(n).arg(o.errnoName, run.fault);
                if (!run.completed) {
                    f.crashes += 1;
                    f.faultViolations += 1;
                    std::printf("VIOLATION %s %s: the program did not end by itself: %s\n",
                                qPrintable(f.op), qPrintable(what), qPrintable(run.how));
                }
                Note(f, op.Verify(), what, &f.faultViolations);
            }
        }

        // The kills.
        std::mt19937 random(seed_ + qChecksum(f.op.toLatin1()));
        std::uniform_real_distribution<double> within(0.0, duration);
        for (int k = 0; k < kills_; ++k) {
            reset();
            ChildOptions o;
            o.shim = false;
            o.killAfter = within(random);
            const ChildRun run = RunChild(p_, op.Name(), o);
            f.killRuns += 1;
            if (run.killed) f.kills += 1;
            const QString what =
                QString("kill %1 after %2 ms").arg(k + 1).arg(o.killAfter * 1000, 0, 'f', 2);
            if (!run.completed && !run.killed) {
                f.crashes += 1;
                f.killViolations += 1;
                std::printf("VIOLATION %s %s: %s\n", qPrintable(f.op), qPrintable(what),
                            qPrintable(run.how));
            }
            Note(f, op.Verify(), what, &f.killViolations);
        }
        return f;
    }

private:
    // The folders an operation may change, with their names in the template.
    std::vector<std::pair<QString, QString>> Parts() const {
        std::vector<std::pair<QString, QString>> parts = {
            {p_.s(), "s"}, {p_.config(), "config"}, {p_.data(), "data"}};
        if (!p_.shm.isEmpty()) parts.push_back({p_.d(), "d"});
        return parts;
    }
    void Clear() {
        for (const auto& [place, name] : Parts()) RemoveTree(place);
        RemoveTree(p_.base + "/cache");
        RemoveTree(p_.scratch());
        QDir().mkpath(p_.s());
        QDir().mkpath(p_.scratch());
    }

    static void Note(Figures& f, const Check& c, const QString& what, int* violations) {
        for (const QString& v : c.violations)
            std::printf("VIOLATION %s %s: %s\n", qPrintable(f.op), qPrintable(what), qPrintable(v));
        if (!c.violations.isEmpty()) *violations += 1;
        // A leftover by its kind: the names' random or numbered parts do not count.
        std::set<QString> kinds;
        for (QString l : c.leftovers) {
            l.replace(QRegularExpression("\\.qpmove-[0-9a-f]+-\\d+$"), ".qpmove-HASH-N");
            l.replace(QRegularExpression("[^/]+\\.ZIP\\.\\w{6}$"), "ARCHIVE.ZIP.XXXXXX");
            l.replace(QRegularExpression("/\\.[^/]+\\.part\\d+-\\d+$"), "/.NAME.partN-N");
            l.replace(QRegularExpression("\\.[0-9a-f]+\\.new-\\d+-\\d+$"), ".HASH.new-PID-N");
            kinds.insert(l.startsWith("work/Docs/") ? "work/Docs/.../.NAME.partN-N" : l);
        }
        const QString when = what.startsWith("kill") ? "kills" : "faults";
        for (const QString& k : kinds) f.leftovers[k + " (after " + when] += 1;
        std::fflush(stdout);
    }

    Places p_;
    int every_;
    bool allErrnos_;
    int kills_;
    quint32 seed_;
};

int RunSweep(const QStringList& args) {
    int every = 1, kills = 50;
    bool allErrnos = args.contains("--all-errnos");
    quint32 seed = 20261208;
    QStringList ops = {"move", "archive", "restore", "settings", "register", "delete", "trash"};
    for (int i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--every") every = args[i + 1].toInt();
        if (args[i] == "--kills") kills = args[i + 1].toInt();
        if (args[i] == "--seed") seed = args[i + 1].toUInt();
        if (args[i] == "--ops") ops = args[i + 1].split(',');
    }
    Places p;
    QByteArray base = "/tmp/quillon-faults-XXXXXX";
    if (!mkdtemp(base.data())) return 2;
    p.base = QFile::decodeName(base);
    QByteArray shm = "/dev/shm/quillon-faults-XXXXXX";
    struct stat a {
    }, b{};
    if (::stat("/dev/shm", &b) == 0 && ::stat(base.constData(), &a) == 0 && a.st_dev != b.st_dev &&
        mkdtemp(shm.data()))
        p.shm = QFile::decodeName(shm);
    UsePlaces(p);
    desktop::SetMessageAnswerer(Answer);

    std::vector<Figures> table;
    bool failed = false;
    for (const QString& name : ops) {
        std::unique_ptr<Operation> op;
        if (name == "move") {
            if (p.shm.isEmpty()) {
                std::printf("move: skipped, no second file system (/dev/shm) to move across\n");
                continue;
            }
            op = std::make_unique<MoveOp>(p);
        } else if (name == "archive") {
            op = std::make_unique<ArchiveOp>(p);
        } else if (name == "restore") {
            op = std::make_unique<RestoreOp>(p);
        } else if (name == "settings") {
            op = std::make_unique<SettingsOp>(p);
        } else if (name == "register") {
            op = std::make_unique<RegisterOp>(p);
        } else if (name == "trash" && p.shm.isEmpty()) {
            std::printf("trash: skipped, no tmpfs (/dev/shm) for its top trash\n");
            continue;
        } else if (name == "delete" || name == "trash") {
            op = std::make_unique<RemovalOp>(p, name == "trash");
        } else {
            std::printf("no operation %s\n", qPrintable(name));
            return 2;
        }
        Sweep sweep(p, every, allErrnos, kills, seed);
        const Figures f = sweep.RunOperation(*op);
        failed = failed || f.faultViolations > 0 || f.killViolations > 0 || f.points <= 0;
        table.push_back(f);
        QStringList calls;
        for (const auto& [call, count] : f.calls) calls << QString("%1 %2").arg(call).arg(count);
        std::printf("%s: the calls failed: %s\n", qPrintable(f.op), qPrintable(calls.join(", ")));
        std::fflush(stdout);
    }
    std::printf(
        "\n| Operation | Write-path calls | Faults injected | Violations | Kills (landed) | "
        "Violations | Leftovers |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Figures& f : table) {
        QStringList left;
        for (const auto& [kind, runs] : f.leftovers) left << QString("%1: %2)").arg(kind).arg(runs);
        std::printf("| %s | %d | %d | %d | %d (%d) | %d | %s |\n", qPrintable(f.op), f.points,
                    f.tried, f.faultViolations, f.killRuns, f.kills, f.killViolations,
                    left.isEmpty() ? "none" : qPrintable(left.join(", ")));
    }
    RemoveTree(p.base);
    RemoveTree(p.base + "-template");
    RemoveTree(p.base + "-states");
    if (!p.shm.isEmpty()) RemoveTree(p.shm);
    // The top trash goes too when nothing but this sweep used it.
    for (const char* part : {"/files", "/info", ""})
        ::rmdir(QFile::encodeName(p.topTrash() + part).constData());
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillon Pro"));
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == "run") return RunOperation(args.value(1));
    if (args.value(0) == "sweep") return RunSweep(args.mid(1));
    std::fprintf(stderr,
                 "usage: quillon_faults sweep [--every K] [--all-errnos] [--kills K] [--seed S] "
                 "[--ops a,b]\n"
                 "       quillon_faults run OPERATION\n");
    return 2;
}
