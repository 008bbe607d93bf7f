// The files kept beside the tree: what the store holds of each file against the disk, and the
// largest files, the types and the names found below a folder.
#include "engine/FileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <map>

#include "engine/FileQueries.h"
#include "engine/Ncdu.h"
#include "platform/ByteInput.h"
#include "platform/HostNames.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine_test;
using testing_support::TempDrive;

namespace {

class FileStoreTest : public EngineTest {
protected:
    // Writes a file of real bytes (a file made by TempTree::file is sparse beyond its start).
    void Write(const QByteArray& relative, int64_t length) const {
        if (const qsizetype slash = relative.lastIndexOf('/'); slash > 0)
            drive.folder(QString::fromUtf8(relative.left(slash)));
        const QByteArray path = QFile::encodeName(drive.host()) + '/' + relative;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << relative.toStdString();
        const QByteArray bytes(int(length), 'x');
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), length);
        ::close(fd);
    }
    TFolderNode* Scan(const TScanSession& session = {}) {
        top = ScanTestDrive(tree, drive, session);
        return top;
    }
    // Host name -> length, bytes on disk as stat gives them.
    std::map<QByteArray, std::pair<int64_t, int64_t>> OnTheDisk(const QByteArray& folder) const {
        std::map<QByteArray, std::pair<int64_t, int64_t>> files;
        const TFileStore* store = FileStoreOf(top);
        const TFolderNode* node = folder.isEmpty() ? top : FindNodeByPath(top, folder, true);
        const TFolderSize& r = *node->Record();
        for (uint32_t i = r.FirstFile; i < r.FirstFile + r.StoredFiles; ++i) {
            const QByteArray name = store->HostName(store->At(i));
            struct stat st {};
            ::lstat((QFile::encodeName(drive.host()) + '/' + folder + '/' + name).constData(), &st);
            files[name] = {st.st_size, int64_t(st.st_blocks) * 512};
        }
        return files;
    }
    QStringList Names(const std::vector<TFileHit>& hits) const {
        QStringList names;
        const TFileStore* store = FileStoreOf(top);
        for (const TFileHit& hit : hits) names << store->Name(store->At(hit.Index));
        return names;
    }

    TempDrive drive;
    TFolderTree tree;
    TFolderNode* top = nullptr;
};

}  // namespace

TEST_F(FileStoreTest, EachFileIsKeptAsTheDiskHasIt) {
    drive.folder("a");
    const QByteArray names[] = {"photo.JPG", "bad\xff\xfe.txt", QByteArray(251, 'n') + ".zip",
                                "new\nline", ".bashrc",         "archive.tar.gz",
                                "empty"};
    for (const QByteArray& name : names) Write("a/" + name, 5000);
    drive.file("a/video.mkv", 64 << 20);  // sparse: one block of bytes, the rest a hole
    Write("a/empty", 0);
    drive.setTimes("a/photo.JPG", QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC),
                   QDateTime(QDate(2002, 3, 4), QTime(5, 6, 7), Qt::UTC));
    Scan();
    const TFileStore* store = FileStoreOf(top);
    ASSERT_NE(store, nullptr);
    const TFolderNode* a = FindNodeByPath(top, "a", true);
    const TFolderSize& r = *a->Record();
    ASSERT_EQ(r.StoredFiles, 8u);
    ASSERT_EQ(int(r.StoredFiles), r.FileCount);

    int64_t onDisk = 0;
    for (const auto& [name, facts] : OnTheDisk("a")) {
        SCOPED_TRACE(name.toStdString());
        const auto stored = std::find_if(
            &store->At(r.FirstFile), &store->At(r.FirstFile) + r.StoredFiles,
            [&, name = name](const TStoredFile& f) { return store->HostName(f) == name; });
        EXPECT_EQ(stored->Length, facts.first);
        EXPECT_EQ(stored->OnDisk, facts.second);
        EXPECT_EQ(store->Name(*stored), platform::ProgramNameOf(platform::DecodeHostName(name)));
        EXPECT_EQ(stored->IsSparse(), name == "video.mkv");
        onDisk += facts.second;
    }
    EXPECT_EQ(r.FilesOnDisk, onDisk);
    EXPECT_EQ(top->Record()->TreeOnDisk, onDisk + top->Record()->FilesOnDisk);
    EXPECT_LT(r.FilesOnDisk, r.FilesSize);  // the hole takes no space

    const struct {
        const char* name;
        const char* extension;
        TFileCategory category;
    } types[] = {
        {"photo.JPG", "jpg", TFileCategory::Images},
        {"archive.tar.gz", "gz", TFileCategory::Archives},
        {".bashrc", "", TFileCategory::Other},
        {"empty", "", TFileCategory::Other},
        {"video.mkv", "mkv", TFileCategory::Videos},
    };
    for (const auto& t : types) {
        SCOPED_TRACE(t.name);
        const auto hits = LargestFiles(a, 100, false);
        const auto hit = std::find_if(hits.begin(), hits.end(), [&](const TFileHit& h) {
            return store->HostName(store->At(h.Index)) == QByteArrayView(t.name);
        });
        ASSERT_NE(hit, hits.end());
        const TStoredFile& file = store->At(hit->Index);
        EXPECT_EQ(store->Extension(file.Type), QLatin1String(t.extension));
        EXPECT_EQ(store->Category(file.Type), t.category);
    }
    const auto photo = LargestFiles(a, 100, false, {{}, true, QStringLiteral("jpg")});
    ASSERT_EQ(photo.size(), 1u);
    EXPECT_EQ(FileTimeOfSeconds(store->At(photo[0].Index).LastChange),
              platform::FileTimeFromUnix(
                  QDateTime(QDate(2002, 3, 4), QTime(5, 6, 7), Qt::UTC).toSecsSinceEpoch(), 0));

    // Without file details the scan keeps no store, and its totals stay as they are.
    const TFolderSize before = *top->Record();
    ScannedDrives().Clear();
    TFolderTree other;
    top = ScanTestDrive(other, drive, {.KeepFileDetails = false});
    EXPECT_EQ(FileStoreOf(top), nullptr);
    EXPECT_EQ(top->Record()->TreeSize, before.TreeSize);
    EXPECT_EQ(top->Record()->TreeOnDisk, before.TreeOnDisk);
    EXPECT_TRUE(LargestFiles(top, 10, false).empty());
}

TEST_F(FileStoreTest, TheLargestFilesAndTheTypesBelowAFolder) {
    Write("big.iso", 9000);
    drive.file("deep/er/sparse.img", 100000);  // long, but one block on the disk
    Write("deep/er/b.jpg", 7000);
    Write("deep/c.jpg", 7000);  // as large as b.jpg: after it by name
    Write("deep/d.txt", 10);
    Write("other/e.mp3", 8000);
    Scan();
    const TFolderNode* deep = FindNodeByPath(top, "deep", true);
    const struct {
        const TFolderNode* root;
        size_t count;
        bool byOnDisk;
        TFileFilter filter;
        QStringList names;
    } cases[] = {
        {top, 3, false, {}, {"sparse.img", "big.iso", "e.mp3"}},
        {top, 3, true, {}, {"big.iso", "b.jpg", "c.jpg"}},  // 8192 bytes each, as e.mp3
        {deep, 10, false, {}, {"sparse.img", "b.jpg", "c.jpg", "d.txt"}},
        {top, 10, false, {TFileCategory::Images}, {"b.jpg", "c.jpg"}},
        {top, 10, false, {{}, true, QStringLiteral("txt")}, {"d.txt"}},
        {top, 10, false, {TFileCategory::Code}, {}},
        {top, 0, false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        EXPECT_EQ(Names(LargestFiles(c.root, c.count, c.byOnDisk, c.filter)), c.names);
    }

    const TFileTypes types = FileTypesBelow(top);
    EXPECT_EQ(types.All.Files, 6);
    EXPECT_EQ(types.All.Length, top->Record()->TreeSize);
    EXPECT_EQ(types.All.OnDisk, top->Record()->TreeOnDisk);
    ASSERT_FALSE(types.Extensions.empty());
    EXPECT_EQ(types.Extensions[0].Extension, QStringLiteral("img"));  // by length
    const TTypeTotals& images = types.Categories[size_t(TFileCategory::Images)];
    EXPECT_EQ(images.Files, 2);
    EXPECT_EQ(images.Length, 14000);
    EXPECT_EQ(types.Categories[size_t(TFileCategory::Archives)].Files, 2);  // iso and img
    EXPECT_EQ(FileTypesBelow(deep).All.Files, 4);
}

TEST_F(FileStoreTest, NamesAreFoundBySubstringWildcardOrExpression) {
    drive.file("Photos/Summer.JPG", 1);
    drive.file("Photos/winter.jpg", 1);
    drive.file("Photos/notes [1].txt", 1);
    drive.file("summer/a.txt", 1);
    Scan();
    using TKind = TNamePattern::TKind;
    const struct {
        TNamePattern pattern;
        QStringList found;  // folder names end in "/"
    } cases[] = {
        {{TKind::Substring, "summer", false}, {"Summer.JPG", "summer/"}},
        {{TKind::Substring, "summer", true}, {"summer/"}},
        {{TKind::Wildcard, "*.jpg", false}, {"Summer.JPG", "winter.jpg"}},
        {{TKind::Wildcard, "?.txt", false}, {"a.txt"}},
        {{TKind::Wildcard, "notes [1].txt", false}, {"notes [1].txt"}},
        {{TKind::Wildcard, "jpg", false}, {}},  // the whole name
        {{TKind::RegularExpression, "^[sw].*\\.jpg$", false}, {"Summer.JPG", "winter.jpg"}},
        {{TKind::RegularExpression, "(", false}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern.Text.toStdString());
        const TNameMatcher matcher(c.pattern);
        EXPECT_EQ(matcher.IsValid(), c.pattern.Text != "(");
        QStringList found;
        FindNames(top, matcher, [&](const TFoundName& hit) {
            const TFileStore* store = FileStoreOf(hit.Folder);
            found << (hit.IsFile ? store->Name(store->At(hit.Index))
                                 : hit.Folder->DisplayName() + u'/');
            return true;
        });
        found.sort();
        QStringList expected = c.found;
        expected.sort();
        EXPECT_EQ(found, expected);
    }
    // The search stops when it is told to.
    int calls = 0;
    FindNames(top, TNameMatcher({TKind::Substring, "", false}),
              [&](const TFoundName&) { return ++calls < 2; });
    EXPECT_EQ(calls, 2);
}

TEST_F(FileStoreTest, RescansRemovalsAndCompactingKeepTheStoreInStep) {
    Write("keep/a.bin", 3000);
    Write("change/b.bin", 2000);
    Scan();
    TFolderNode* change = FindNodeByPath(top, "change", true);
    Write("change/c.bin", 5000);
    RescanFolder(NodePath(change), change);
    EXPECT_EQ(Names(LargestFiles(top, 10, false)), QStringList({"c.bin", "a.bin", "b.bin"}));
    EXPECT_EQ(FileTypesBelow(top).All.Length, top->Record()->TreeSize);

    // A file deleted from its folder leaves the lists; a folder that went takes its files.
    ForgetStoredFile(change, QStringLiteral("c.bin"));
    EXPECT_EQ(Names(LargestFiles(top, 10, false)), QStringList({"a.bin", "b.bin"}));
    QDir(drive.host("keep")).removeRecursively();
    ASSERT_TRUE(RemoveVanishedFolder(drive.path("keep"), FindNodeByPath(top, "keep", true)));
    EXPECT_EQ(Names(LargestFiles(top, 10, false)), QStringList({"b.bin"}));

    // Compacting drops what no folder names any more and keeps what they do.
    TFileStore* store = FileStoreOf(top);
    const uint32_t before = store->Count();
    store->Compact(top);
    EXPECT_LT(store->Count(), before);
    EXPECT_EQ(store->Count(), TFileStore::NamedBy(top));
    EXPECT_EQ(Names(LargestFiles(top, 10, false)), QStringList({"b.bin"}));
}

TEST_F(FileStoreTest, AnImportedExportKeepsItsFilesToo) {
    const QByteArray json = R"([1,2,{"progname":"ncdu","progver":"2.3","timestamp":1700000000},)"
                            R"([{"name":"/srv"},{"name":"video.mp4","asize":1000000,"dsize":8192},)"
                            R"({"name":"notes.txt","asize":100,"dsize":4096,"mtime":1600000000},)"
                            R"([{"name":"sub"},{"name":"x.bin","asize":50}]]])";
    const QString file = drive.file("export.json");
    testing_support::WriteFile(file, json);
    platform::ByteInput input;
    ASSERT_TRUE(input.Open(file));
    DriveRecord* record = ScannedDrives().Add('Y');
    QString error;
    top = ImportNcdu(tree, *record, 'Y', input, 4096, error, {});
    ASSERT_NE(top, nullptr) << error.toStdString();
    EXPECT_EQ(Names(LargestFiles(top, 10, false)),
              QStringList({"video.mp4", "notes.txt", "x.bin"}));
    EXPECT_EQ(Names(LargestFiles(top, 10, true)), QStringList({"video.mp4", "notes.txt", "x.bin"}));
    const TFileStore* store = FileStoreOf(top);
    const auto video = LargestFiles(top, 1, false);
    EXPECT_TRUE(store->At(video[0].Index).IsSparse());
    EXPECT_EQ(top->Record()->TreeOnDisk, 8192 + 4096);
    EXPECT_EQ(FileTypesBelow(top).Categories[size_t(TFileCategory::Videos)].OnDisk, 8192);
}
