// TZipEngine against a stand-in engine that describes what reached it, and its reading of
// archives' entry lists.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ZipTestSupport.h"

using namespace zip_testing;

namespace {

// Installs a stand-in engine under the libraries' names in a folder of the tree.
QString InstallProbe(const testing_support::TempTree& tree, const QString& folder,
                     const char* probe) {
    const QString dir = tree.folder(folder);
    for (const char* name : {"libzipadd.so", "libzipext.so"})
        EXPECT_TRUE(QFile::copy(QString::fromUtf8(probe), dir + u'/' + QLatin1String(name)));
    return dir;
}

class ZipEngineProbeTest : public ZipTest {
protected:
    ZipEngineProbeTest() { zip.SetDLLDirectory(InstallProbe(tree, "probe", QUILLON_ZIP_PROBE)); }

    // What the stand-in said about the block it got (its first message).
    QString Described() const { return messages.empty() ? QString() : messages.front().second; }
};

TEST_F(ZipEngineProbeTest, NothingIsLoadedWithoutFilesOrArchiveName) {
    struct Case {
        QStringList patterns;
        QString archive;
        QString box;
    };
    const Case cases[] = {
        {{}, "a.zip", "Error - no files to zip"},
        {{}, "", "Error - no files to zip"},
        {{"x"}, "", "Error - no zip file specified"},
    };
    zip.Trace = true;  // a loaded library would say so
    for (const Case& c : cases) {
        boxes.clear();
        zip.SetZipFilename(c.archive);
        zip.FileSpecs = c.patterns;
        zip.AddFiles();
        EXPECT_EQ(boxes, QStringList{c.box}) << c.box.toStdString();
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(zip.ResultCount(), 0);
    }
    boxes.clear();
    zip.SetZipFilename("missing.zip");
    zip.ExtractFiles();
    EXPECT_EQ(boxes, QStringList{"Error - no zip file specified"});
}

TEST_F(ZipEngineProbeTest, OptionsReachTheAddBlockAsFlags) {
    struct Case {
        AddOpts options;
        int level;
        const char* flags;  // the part of the description between "hidden" and "r128"
    };
    const Case cases[] = {
        {{},
         9,
         "hidden0 r44=-1 verbose0 r56=-1 level9 drop-1 recurse0 r80=-1 dos0 move0 update0 freshen0 "
         "ziptime0"},
        {{AddUpdate, AddFreshen},
         5,
         "hidden0 r44=-1 verbose0 r56=-1 level5 drop-1 recurse0 r80=-1 dos0 move0 update-1 "
         "freshen0 ziptime0"},
        {{AddFreshen},
         0,
         "hidden0 r44=-1 verbose0 r56=-1 level0 drop-1 recurse0 r80=-1 dos0 move0 update0 "
         "freshen-1 ziptime0"},
        {{AddDirNames, AddRecurseDirs, AddMove, AddZipTime, AddForceDOS, AddHiddenFiles},
         9,
         "hidden-1 r44=-1 verbose0 r56=-1 level9 drop0 recurse-1 r80=-1 dos-1 move-1 update0 "
         "freshen0 "
         "ziptime-1"},
    };
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_EQ(Add("a.zip", {"Folder\\*.*", "b.txt"}, c.options, c.level), 2);
        EXPECT_EQ(Described(), "add v140 trace0 pw= enc0 " + QLatin1String(c.flags) +
                                   " r128=7 zip=a.zip files=Folder/*.*|b.txt")
            << c.flags;
        EXPECT_TRUE(zip.FileSpecs.isEmpty());
    }
}

TEST_F(ZipEngineProbeTest, TraceImpliesVerboseAndSaysTheLibraryLoaded) {
    zip.Trace = true;
    zip.Password = QString(100, u'p');
    Add("a.zip", {"b"}, {AddEncrypt});
    EXPECT_EQ(boxes, QStringList{"ZIPADD Loaded"});
    EXPECT_TRUE(Described().startsWith("add v140 trace-1 pw=" + QString(80, u'p') + " enc-1 "));
    EXPECT_TRUE(Described().contains(" verbose-1 "));
}

TEST_F(ZipEngineProbeTest, OptionsReachTheExtractBlockAsFlags) {
    struct Case {
        ExtrOpts options;
        const char* flags;
    };
    const Case cases[] = {
        {{ExtrDirNames, ExtrOverWrite},
         "test0 r40=-1 verbose0 update0 freshen0 names-1 overwrite-1"},
        {{ExtrUpdate, ExtrFreshen}, "test0 r40=-1 verbose0 update-1 freshen0 names0 overwrite0"},
        {{ExtrFreshen, ExtrTest}, "test-1 r40=-1 verbose0 update0 freshen-1 names0 overwrite0"},
    };
    Write("a.zip", "not read by the stand-in");
    const QString base = tree.folder("target");
    for (const Case& c : cases) {
        messages.clear();
        QDir::setCurrent(Host());
        zip.SetZipFilename(Host("a.zip"));
        zip.ExtrOptions = c.options;
        zip.ExtrBaseDir = base;
        zip.FileSpecs = {"docs\\*.txt"};
        zip.ExtractFiles();
        EXPECT_EQ(zip.ResultCount(), 1);
        // The engine extracts beneath the base folder; the process's current folder stays.
        EXPECT_EQ(Described(), "extract v140 trace0 pw= " + QLatin1String(c.flags) +
                                   " r72=7 zip=" + Host("a.zip") + " files=docs/*.txt base=" + base)
            << c.flags;
        EXPECT_EQ(QDir::currentPath(), Host());
    }
}

TEST_F(ZipEngineProbeTest, ProgramPathsBecomeHostPaths) {
    testing_support::TempDrive drive('T');
    zip.SetDLLDirectory(InstallProbe(drive, "engine", QUILLON_ZIP_PROBE));
    Add("T:\\Archives Bin\\TABC1234.ZIP",
        {"Docs\\*.*", "T:\\x\\*.txt",
         "a\xEF\xBC\xBC"
         "b"},
        {});
    EXPECT_EQ(Described(),
              "add v140 trace0 pw= enc0 hidden0 r44=-1 verbose0 r56=-1 level9 drop-1 recurse0 "
              "r80=-1 dos0 move0 update0 freshen0 ziptime0 r128=7 zip=" +
                  drive.host("Archives Bin/TABC1234.ZIP") + " files=Docs/*.*|" + drive.host("x") +
                  "/*.txt|a\\b");
}

TEST_F(ZipEngineProbeTest, DLLDirectoryDropsOneTrailingSeparator) {
    const struct {
        QString set, kept;
    } cases[] = {{"/opt/q/", "/opt/q"}, {"/opt/q\\", "/opt/q"},   {"/opt/q//", "/opt/q/"},
                 {"/opt/q", "/opt/q"},  {"C:\\Zip\\", "C:\\Zip"}, {"", ""}};
    for (const auto& c : cases) {
        zip.SetDLLDirectory(c.set);
        EXPECT_EQ(zip.DLLDirectory(), c.kept);
        zip.SetDLLDirectory(zip.DLLDirectory() + "/");
        zip.SetDLLDirectory(c.set);
        EXPECT_EQ(zip.DLLDirectory(), c.kept);
    }
    // The engine is found in a folder given with its trailing slash.
    zip.SetDLLDirectory(Host("probe/"));
    EXPECT_EQ(Add("a.zip", {"b"}, {}), 1);
    EXPECT_TRUE(Described().startsWith("add v140"));
}

TEST_F(ZipEngineProbeTest, MissingLibrariesAndExportsAreNamed) {
    struct Case {
        const char* probe;  // nullptr: no library in the folder
        bool adding;
        QString box;
    };
    const Case cases[] = {
        {nullptr, true, "libzipadd.so not found"},
        {nullptr, false, "libzipext.so not found"},
        {QUILLON_ZIP_PROBE_VERSIONS, true, "ZipAddExec function not found in libzipadd.so"},
        {QUILLON_ZIP_PROBE_VERSIONS, false, "ZipExtExec function not found in libzipext.so"},
    };
    Write("a.zip", "x");
    int n = 0;
    for (const Case& c : cases) {
        const QString folder = "engines" + QString::number(n++);
        zip.SetDLLDirectory(c.probe ? InstallProbe(tree, folder, c.probe) : tree.folder(folder));
        zip.SetZipFilename(Host("a.zip"));
        boxes.clear();
        zip.FileSpecs = {"b"};
        c.adding ? zip.AddFiles() : zip.ExtractFiles();
        EXPECT_EQ(boxes, QStringList{c.box});
        EXPECT_EQ(zip.ResultCount(), 0);
        EXPECT_FALSE(zip.AddBusy() || zip.ExtractBusy());
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(ZipEngineProbeTest, CallbacksBecomeEventsAndCancelStopsTheEngine) {
    int steps = 0;
    zip.OnProgress = [&](TZipEngine* sender, ProgressType kind, const QString& name, int64_t size) {
        EXPECT_EQ(sender, &zip);
        progress.push_back({kind, name, size});
        if (kind == ProgressStep && ++steps == 3) zip.RequestCancel();
    };
    EXPECT_EQ(Add("steps.zip", {"b"}, {}), 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[0].second.endsWith('\n') || messages[0].second.endsWith('\r'));
    EXPECT_EQ(messages[1], std::make_pair(7, QString("stopped after 3")));
    ASSERT_GE(progress.size(), 4u);
    EXPECT_EQ(progress[0].kind, ProgressFileStart);
    EXPECT_EQ(progress[0].fileName, "a/b.txt");
    EXPECT_EQ(progress[0].fileSize, 5000000000LL);
    EXPECT_EQ(progress[1].kind, ProgressStep);
    EXPECT_EQ(progress[1].fileName, " ");

    // The cancel flag is cleared by the next operation.
    messages.clear();
    progress.clear();
    zip.OnProgress = [&](TZipEngine*, ProgressType kind, const QString&, int64_t) {
        progress.push_back({kind, {}, 0});
    };
    Add("steps.zip", {"b"}, {});
    EXPECT_EQ(progress.back().kind, ProgressBatchEnd);
    EXPECT_EQ(progress.size(), 102u);
}

TEST_F(ZipEngineProbeTest, AHandlerThatThrowsStopsTheEngineAndIsReported) {
    zip.OnProgress = [](TZipEngine*, ProgressType kind, const QString&, int64_t) {
        if (kind == ProgressStep) throw std::runtime_error("handler failed");
    };
    Add("steps.zip", {"b"}, {});
    EXPECT_EQ(boxes, QStringList{"Fatal engine error: abort exception"});
    EXPECT_EQ(messages.back(), std::make_pair(7, QString("stopped after 1")));
    EXPECT_FALSE(zip.AddBusy());
    EXPECT_TRUE(zip.FileSpecs.isEmpty());
}

TEST_F(ZipEngineProbeTest, ASecondAddFromAHandlerReturnsAtOnce) {
    bool sawBusy = false;
    zip.OnProgress = [&](TZipEngine*, ProgressType kind, const QString&, int64_t) {
        if (kind != ProgressFileStart) return;
        sawBusy = zip.AddBusy();
        zip.AddFiles();
    };
    EXPECT_EQ(Add("steps.zip", {"b"}, {}), 1);
    EXPECT_TRUE(sawBusy);
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const auto& m) { return m.second.startsWith("add "); }),
              1);
    EXPECT_FALSE(zip.AddBusy());
}

// The entry list.

QStringList EntryNames(const TZipEngine& zip) {
    QStringList names;
    for (const auto& e : zip.ZipContents()) names << e->FileName;
    return names;
}

class ZipEntryListTest : public ZipTest {
protected:
    // A ZIP archive made by Info-ZIP from files of the given names and contents (stored).
    QByteArray InfoZip(const std::vector<std::pair<QString, QByteArray>>& files) {
        static int archives = 0;
        const QString folder = tree.folder("src" + QString::number(++archives));
        QStringList names;
        for (const auto& [name, bytes] : files) {
            QFile f(folder + u'/' + name);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            names << name;
        }
        QFile::remove(folder + "/made.zip");
        QDir::setCurrent(folder);
        QString output;
        EXPECT_EQ(RunProgram("zip", QStringList{"-0", "-q", "-X", "made.zip"} + names, &output), 0)
            << output.toStdString();
        QDir::setCurrent(tree.host());
        QFile made(folder + "/made.zip");
        EXPECT_TRUE(made.open(QIODevice::ReadOnly));
        return made.readAll();
    }
};

TEST_F(ZipEntryListTest, ReadsTheLocalHeaders) {
    Write("a.zip", InfoZip({{"one.txt", "first"}, {"two.txt", QByteArray(3000, 'x')}}));
    zip.SetZipFilename(Host("a.zip"));
    EXPECT_EQ(dirUpdates, 1);
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(EntryNames(zip), (QStringList{"one.txt", "two.txt"}));
    EXPECT_EQ(zip.FirstHeaderOffset(), 0);
    const ZipEntryHeader& two = zip.Entry(1);
    EXPECT_EQ(two.ComprMethod, 0);
    EXPECT_EQ(two.UncomprSize, 3000u);
    EXPECT_EQ(two.UncompressedSize, 3000);
    EXPECT_EQ(two.CompressedSize, 3000);
    EXPECT_EQ(two.FileNameLen, 7);

    zip.SetZipFilename(Host("missing.zip"));
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(dirUpdates, 2);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(ZipEntryListTest, AByteThatBrokeAMatchIsNotTestedAgain) {
    const QByteArray archive = InfoZip({{"one.txt", "first"}, {"two.txt", "second"}});
    const struct {
        QByteArray prefix;
        QStringList names;
    } cases[] = {
        {"Q", {"one.txt", "two.txt"}},
        {"PQ", {"one.txt", "two.txt"}},
        {"P", {"two.txt"}},   // "PPK\3\4": the second P broke the match and is passed over
        {"PK", {"two.txt"}},  // "PKPK\3\4" likewise
    };
    for (const auto& c : cases) {
        Write("a.zip", c.prefix + archive);
        zip.SetZipFilename(Host("a.zip"));
        EXPECT_EQ(EntryNames(zip), c.names) << c.prefix.constData();
        EXPECT_EQ(zip.FirstHeaderOffset(), c.names.size() == 2
                                               ? c.prefix.size()
                                               : archive.indexOf("PK\3\4", 1) + c.prefix.size());
    }
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(ZipEntryListTest, ExeFilesAreSearchedFrom14000) {
    QByteArray file = InfoZip({{"early.txt", "e"}});
    file.append(QByteArray(14000 - file.size(), '\0'));
    file.append(InfoZip({{"late.txt", "l"}}));
    const struct {
        const char* name;
        const char* entry;
        int64_t offset;
    } cases[] = {{"x.exe", "late.txt", 14000},
                 {"x.EXE", "late.txt", 14000},
                 {"x.Exe", "late.txt", 14000},
                 {"x.zip", "early.txt", 0},
                 {"x.exe.zip", "early.txt", 0}};
    for (const auto& c : cases) {
        Write(c.name, file);
        zip.SetZipFilename(Host(c.name));
        EXPECT_EQ(EntryNames(zip), QStringList{c.entry}) << c.name;
        EXPECT_EQ(zip.FirstHeaderOffset(), c.offset) << c.name;
    }
}

TEST_F(ZipEntryListTest, DamageEndsTheReadingWithItsError) {
    const QString longName = QString(40, u'n') + ".txt";
    const QByteArray two = InfoZip({{"one.txt", "first"}, {longName, "second"}});
    const QByteArray one = InfoZip({{"only.txt", "only"}});
    const int second = two.indexOf("PK\3\4", 1);
    const int oneEnd = 30 + 8 + 4;  // header, name, data
    QByteArray hugeSecond = two;
    hugeSecond.replace(second + 18, 4, QByteArray("\xff\xff\xff\x7f", 4));
    // A stored entry whose ZIP64 field gives an uncompressed size above 2^63.
    const QByteArray beyond2To63 = QByteArray("PK\3\4\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0", 22) +
                                   QByteArray("\xff\xff\xff\xff\5\0\x0c\0a.txt\1\0\x08\0", 17) +
                                   QByteArray(8, '\xff') + "x";

    const struct {
        const char* what;
        QByteArray bytes;
        const char* error;  // nullptr: no error raised
        QString box;
        int entries;
    } cases[] = {
        {"second header cut in its name",
         two.left(second + 30 + 10),
         "Error 2 reading Zip file",
         {},
         0},
        {"second entry larger than the file", hugeSecond, "Error 3 reading Zip file", {}, 0},
        {"second entry's size above 2^63",
         one.left(oneEnd) + beyond2To63 + one.mid(oneEnd),
         "Error 3 reading Zip file",
         {},
         0},
        {"a signature cut short",
         one.left(oneEnd) + QByteArray(25, '\0'),
         "Error reading Zip File",
         {},
         0},
        {"no header at all", QByteArray(5000, 'z'), nullptr, "No valid zip entries found", 0},
        {"the first header cut short", QByteArray("PK\3\4abcdefghij"), nullptr,
         "No valid zip entries found", 0},
        {"a first header too large is passed over", hugeSecond.mid(second) + one, nullptr, {}, 1},
    };
    for (const auto& c : cases) {
        boxes.clear();
        dirUpdates = 0;
        Write("d.zip", c.bytes);
        try {
            zip.SetZipFilename(Host("d.zip"));
            EXPECT_EQ(c.error, nullptr) << c.what;
        } catch (const EZipReadError& e) {
            EXPECT_STREQ(e.what(), c.error) << c.what;
        }
        EXPECT_EQ(dirUpdates, 1) << c.what;
        EXPECT_EQ(zip.Count(), c.entries) << c.what;
        EXPECT_EQ(boxes, c.box.isEmpty() ? QStringList() : QStringList{c.box}) << c.what;
    }
}

}  // namespace
