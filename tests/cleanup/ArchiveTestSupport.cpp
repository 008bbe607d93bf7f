#include "tests/cleanup/ArchiveTestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <algorithm>
#include <string>
#include <vector>

#include "cleanup/FormCleanUpCompress.h"
#include "cleanup/ProfileFile.h"
#include "platform/HostNames.h"

namespace archive_testing {

namespace {

void Walk(const std::string& host, const QString& relative, TreeFacts& facts) {
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) return;
    EntryFacts e;
    e.mode = st.st_mode & 07777;
    e.mtime = st.st_mtim.tv_sec;
    e.mtimeNs = st.st_mtim.tv_nsec;
    if (S_ISLNK(st.st_mode)) {
        e.kind = 'l';
        std::vector<char> target(4096);
        const ssize_t n = ::readlink(host.c_str(), target.data(), target.size());
        e.bytes = QByteArray(target.data(), n > 0 ? qsizetype(n) : 0);
        e.mode = 0;  // a link's own permissions mean nothing on Linux
    } else if (S_ISDIR(st.st_mode)) {
        e.kind = 'd';
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(host.c_str())) {
            while (const dirent* d = ::readdir(dir)) {
                const std::string name = d->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        for (const std::string& name : names) {
            const QString decoded = platform::DecodeHostName(name.c_str(), qsizetype(name.size()));
            Walk(host + '/' + name, relative.isEmpty() ? decoded : relative + u'/' + decoded,
                 facts);
        }
    } else {
        e.kind = 'f';
        e.bytes = ReadFile(platform::DecodeHostName(host.c_str(), qsizetype(host.size())));
    }
    facts[relative] = e;
}

void SetTime(const QByteArray& host, qint64 seconds) {
    const struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    ::utimensat(AT_FDCWD, host.constData(), times, AT_SYMLINK_NOFOLLOW);
}

}  // namespace

void PrintTo(const EntryFacts& e, std::ostream* os) {
    *os << e.kind << " mode " << std::oct << e.mode << std::dec << " mtime " << e.mtime << "."
        << e.mtimeNs << " " << e.bytes.size() << " bytes";
}

TreeFacts FactsOf(const QString& hostFolder) {
    TreeFacts facts;
    Walk(platform::EncodeHostName(hostFolder).toStdString(), QString(), facts);
    return facts;
}

QString MakeSampleFolder(const QString& hostFolder, const QString& name) {
    const QString top = hostFolder + u'/' + name;
    const QByteArray base = platform::EncodeHostName(top);
    struct Item {
        const char* path;  // relative bytes; a trailing '/' for a folder
        QByteArray bytes;  // a file's contents, or a link's target after "->"
        unsigned mode;
    };
    const QByteArray text = QByteArray("Nothing is lost on the way back.\n").repeated(400);
    const std::vector<Item> items = {
        {"sub/", {}, 0750},
        {"sub/deeper/", {}, 0755},
        {"sub/.git/", {}, 0755},
        {"empty/", {}, 0755},
        {"a.txt", text, 0644},
        {"big.bin", Noise(300000, 7), 0600},
        {"empty.dat", {}, 0644},
        {".hidden-file", "secret", 0640},
        {"run.sh", "#!/bin/sh\necho run\n", 0755},
        {"readonly.txt", "read me only", 0444},
        {"caf\xe9.txt", "a name that is not UTF-8", 0644},
        {"sub/b.txt", text.left(999), 0644},
        {"sub/deeper/c.txt", Noise(70000, 8), 0644},
        {"sub/.git/config", "[core]\n", 0644},
        {"link", "->sub/b.txt", 0},
    };
    QDir().mkpath(hostFolder);
    ::mkdir(base.constData(), 0755);
    for (const Item& item : items) {
        const QByteArray path = base + '/' + item.path;
        if (path.endsWith('/')) {
            ::mkdir(path.chopped(1).constData(), 0700);
        } else if (item.bytes.startsWith("->")) {
            EXPECT_EQ(::symlink(item.bytes.mid(2).constData(), path.constData()), 0);
        } else {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            EXPECT_GE(fd, 0) << path.constData();
            EXPECT_EQ(::write(fd, item.bytes.constData(), size_t(item.bytes.size())),
                      ssize_t(item.bytes.size()));
            ::close(fd);
        }
    }
    // Permissions and times last, deepest first: writing into a folder changes its time.
    qint64 seconds = 1600000000;  // even, as every time here
    std::vector<Item> ordered = items;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Item& a, const Item& b) {
        return std::count(a.path, a.path + strlen(a.path), '/') >
               std::count(b.path, b.path + strlen(b.path), '/');
    });
    for (const Item& item : ordered) {
        QByteArray path = base + '/' + item.path;
        if (path.endsWith('/')) path.chop(1);
        if (item.mode) ::chmod(path.constData(), item.mode);
        SetTime(path, seconds += 2 * 3600 + 2);
    }
    SetTime(base, seconds + 86400);
    return top;
}

ArchiveTest::ArchiveTest() : startFolder_(QDir::currentPath()) {
    // The drive is the current one, as the program's own folder's drive would be.
    QDir::setCurrent(drive.host());
    TCleanUpCompressFolderBox::EngineFolder = QStringLiteral(QUILLON_ZIP_ENGINE_DIR);
    desktop::SetMessageAnswerer([this](const desktop::MessageRequest& request) {
        boxes << request.text;
        if (!answers.isEmpty()) return answers.takeFirst();
        return (request.buttons & desktop::Ok) ? desktop::Ok : desktop::No;
    });
}

ArchiveTest::~ArchiveTest() {
    desktop::SetMessageAnswerer({});
    TCleanUpCompressFolderBox::EngineFolder.clear();
    QDir::setCurrent(startFolder_);
}

QStringList ArchiveTest::ArchiveFiles() const {
    return QDir(drive.host("Archives Bin")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QStringList ArchiveTest::RegisterLines() const {
    QStringList lines;
    const cleanup::ProfileFile file(RegisterHost());
    for (const char* section : {"Descriptions", "FolderNames", "OriginalPaths"}) {
        for (const QString& key : file.ReadKeys(section))
            lines << QStringLiteral("%1/%2=%3")
                         .arg(section, key, file.ReadString(section, key, "<none>"));
    }
    return lines;
}

ArchiveTest::ArchiveRun ArchiveTest::Archive(
    const QString& folder, bool move, int64_t usedSpace,
    const std::function<void(TCleanUpCompressFolderBox&)>& run) {
    const QStringList before = ArchiveFiles();
    ArchiveRun result;
    TCleanUpCompressFolderBox box;
    box.SetFolder(folder, usedSpace, usedSpace);
    box.findChild<QCheckBox*>("chkDeleteAfterCompressing")->setChecked(move);
    if (run) run(box);
    box.show();
    box.findChild<QPushButton*>("cmdCompress")->click();
    result.resultsShown = !box.findChild<QWidget*>("panResults")->isHidden();
    for (const char* name : {"txtCResults1", "txtCResults2", "txtCResults3"}) {
        const auto* line = box.findChild<QLabel*>(name);
        if (result.resultsShown && !line->isHidden()) result.results << line->text();
    }
    for (const QString& file : ArchiveFiles())
        if (!before.contains(file) && file != "archives.ini") result.archive = file;
    return result;
}

}  // namespace archive_testing
