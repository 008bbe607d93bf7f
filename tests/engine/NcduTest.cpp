// Scans in ncdu's export format: our export read back by ncdu and by ourselves, exports written
// by hand with every kind of entry, and input that is damaged or hostile.
#include "engine/Ncdu.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <cstring>

#include "platform/ByteInput.h"
#include "tests/engine/EngineTestSupport.h"

using namespace engine;
using namespace engine_test;
using testing_support::TempDrive;
using testing_support::TempTree;
using testing_support::WriteFile;

namespace {

class Ncdu : public EngineTest {
protected:
    // Imports a file into a fresh tree; the node, or nullptr.
    TFolderNode* Import(const QString& file, QString* error = nullptr, int32_t cluster = 4096) {
        platform::ByteInput input;
        EXPECT_TRUE(input.Open(file)) << input.errorText().toStdString();
        record = ScannedDrives().Add('Z');
        QString why;
        TFolderNode* top = ImportNcdu(tree, *record, 'Z', input, cluster, why, session);
        if (error) *error = why;
        return top;
    }
    TFolderNode* ImportText(const QByteArray& json, QString* error = nullptr) {
        const QString file = files.host(QStringLiteral("in%1.json").arg(++count));
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(json);
        f.close();
        return Import(file, error);
    }

    TFolderTree tree;
    DriveRecord* record = nullptr;
    TScanSession session;  // what the imports are asked to do
    TempTree files;
    int count = 0;
};

// Every folder below two nodes alike in name and in the totals a scan and an import share
// (an export keeps no access times and, from ncdu, no attributes).
void ExpectSameTree(const TFolderNode* a, const TFolderNode* b, const QString& where = {}) {
    SCOPED_TRACE(where.toStdString());
    ASSERT_TRUE(a->Record() && b->Record());
    const TFolderSize& x = *a->Record();
    const TFolderSize& y = *b->Record();
    EXPECT_EQ(x.TreeSize, y.TreeSize);
    EXPECT_EQ(x.FilesSize, y.FilesSize);
    EXPECT_EQ(x.TreeFileCount, y.TreeFileCount);
    EXPECT_EQ(x.TreeFolderCount, y.TreeFolderCount);
    EXPECT_EQ(x.TreeWastedAt, y.TreeWastedAt);
    EXPECT_EQ(x.TreeWasted, y.TreeWasted);
    ASSERT_EQ(a->ChildCount(), b->ChildCount());
    for (int i = 0; i < a->ChildCount(); ++i) {
        EXPECT_EQ(a->Child(i)->DisplayName(), b->Child(i)->DisplayName());
        ExpectSameTree(a->Child(i), b->Child(i), where + u'/' + a->Child(i)->DisplayName());
    }
}

}  // namespace

TEST_F(Ncdu, AScanExportedReadsBackAlikeHereAndThroughNcdu) {
    TempDrive drive;
    drive.file("a/data.bin", 5000);
    drive.file("a/odd \"name\"\twith\\tab/x", 77);
    drive.file(QString::fromUtf8("a/ünïcödé/y"), 4097);
    drive.file("new\nline/z", 1);
    QString deep = "deep";
    for (int i = 0; i < 60; ++i) deep += "/d";
    drive.file(deep + "/leaf", 3);
    ASSERT_TRUE(QFile::link(drive.host("a/data.bin"), drive.host("a/link")));
    ASSERT_EQ(QProcess::execute("cp", {"-al", drive.host("a"), drive.host("b")}), 0);
    // A name that is not UTF-8 goes through byte for byte.
    ASSERT_TRUE(QDir().mkdir(drive.host() + QFile::decodeName("/bad\xff\xfe")));

    for (const bool once : {false, true}) {
        SCOPED_TRACE(once);
        session.CountHardLinksOnce = once;
        TFolderTree scanned;
        TFolderNode* top = ScanTestDrive(scanned, drive, session);
        const QString ours = files.host(QStringLiteral("ours%1.json").arg(once));
        {
            QFile out(ours);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            QString error;
            ASSERT_TRUE(ExportNcdu(drive.root(), out, error)) << error.toStdString();
        }
        QStringList readers = {ours};
        if (!QStandardPaths::findExecutable("ncdu").isEmpty()) {
            const QString theirs = files.host(QStringLiteral("theirs%1.json").arg(once));
            ASSERT_EQ(QProcess::execute("ncdu", {"-0", "-f", ours, "-o", theirs}), 0);
            readers << theirs;
        }
        for (const QString& file : readers) {
            SCOPED_TRACE(file.toStdString());
            QString error;
            TFolderNode* imported = Import(file, &error);
            ASSERT_NE(imported, nullptr) << error.toStdString();
            EXPECT_EQ(error, QString());
            EXPECT_TRUE(ImportFactsOf(imported)->Complete);
            EXPECT_EQ(ImportFactsOf(imported)->RootPath, drive.host());
            ExpectSameTree(top, imported);
            ExpectConsistentTotals(imported);
            TFolderTree::DeleteNode(imported);
            ScannedDrives().Remove(record);
        }
    }
    if (QStandardPaths::findExecutable("ncdu").isEmpty())
        GTEST_SKIP() << "ncdu is not installed (scripts/setup-deps.sh installs it)";
}

TEST_F(Ncdu, EveryKindOfEntryCountsAsTheFormatSays) {
    // Format 1.0 without extended fields beside 1.2 with them; fields of later versions; a
    // folder ncdu could not read, entries it left out, links, special files and odd names.
    const QByteArray json = R"([1, 2, {"progname": "ncdu", "progver": "1.18",
        "timestamp": 1700000000, "future": {"nested": [1, {"deep": true}]}},
      [{"name": "/srv/data", "asize": 4096, "dev": 7},
        {"name": "plain", "asize": 1000, "dsize": 4096, "mode": 33188, "mtime": 1600000000},
        {"name": ".hidden", "asize": 10, "mode": 33060},
        {"name": "link", "asize": 12, "notreg": true, "mode": 41471},
        {"name": "fifo", "notreg": true, "mode": 4516},
        {"name": "skipped", "asize": 999999, "excluded": "pattern"},
        {"name": "gone", "asize": 5, "read_error": true},
        {"name": "h1", "asize": 300, "ino": 42, "hlnkc": true},
        [{"name": "sub/with\\back", "asize": 4096, "read_error": true, "unknown": [[[]]]},
          {"name": "h2", "asize": 300, "ino": 42, "nlink": 2},
          {"name": "", "asize": 1}],
        {"name": "mnt", "excluded": "otherfs"},
        [{"name": ".."}]
      ]])";
    for (const bool once : {false, true}) {
        SCOPED_TRACE(once);
        session.CountHardLinksOnce = once;
        QString error;
        TFolderNode* top = ImportText(json, &error);
        ASSERT_NE(top, nullptr) << error.toStdString();
        EXPECT_EQ(error, QString());
        const TImportFacts& facts = *ImportFactsOf(top);
        EXPECT_EQ(facts.Program, QStringLiteral("ncdu"));
        EXPECT_EQ(facts.ProgramVersion, QStringLiteral("1.18"));
        EXPECT_EQ(facts.Created, platform::FileTimeFromUnix(1700000000, 0));
        EXPECT_EQ(facts.ReadErrors, 2);  // the folder and the file; the file is still counted
        EXPECT_EQ(facts.Excluded, 2);
        EXPECT_EQ(top->DisplayName(), QStringLiteral("/srv/data (imported) (Z:)"));

        const TFolderSize& root = *top->Record();
        // plain, .hidden, link, fifo, gone, h1 directly; h2 and the unnamed one below.
        EXPECT_EQ(root.FileCount, 6);
        EXPECT_EQ(root.FilesSize, 1000 + 10 + 12 + 5 + 300);
        EXPECT_EQ(root.TreeFileCount, once ? 7 : 8);
        EXPECT_EQ(root.TreeSize, root.FilesSize + 1 + (once ? 0 : 300));
        EXPECT_EQ(root.TreeFolderCount, 2);
        EXPECT_EQ(root.LastWriteTime, platform::FileTimeFromUnix(1600000000, 0));
        EXPECT_EQ(root.LastAccessTime, FileTime(0));
        const uint32_t expected =
            platform::FILE_ATTRIBUTE_ARCHIVE | platform::FILE_ATTRIBUTE_HIDDEN |
            platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_REPARSE_POINT |
            platform::FILE_ATTRIBUTE_SYSTEM;
        EXPECT_EQ(root.Attributes, expected);
        // Names keep the program's path syntax whole.
        ASSERT_EQ(top->ChildCount(), 2);
        EXPECT_EQ(top->Child(0)->DisplayName(), QStringLiteral("(unnamed)"));
        EXPECT_EQ(top->Child(1)->DisplayName(),
                  QString("sub") + QChar(0xFF0F) + "with" + QChar(0xFF3C) + "back");
        EXPECT_EQ(top->Child(1)->ChildCount(), 0);
        ExpectConsistentTotals(top);
        EXPECT_EQ(ImportedEntryFacts(NodePath(top->Child(1))).Attributes,
                  uint32_t(platform::FILE_ATTRIBUTE_DIRECTORY));
        TFolderTree::DeleteNode(top);
        ScannedDrives().Remove(record);
    }
}

TEST_F(Ncdu, DamagedOrHostileInputGivesAClearErrorOrAnIncompleteTree) {
    QByteArray deep = R"([1,2,{},[{"name":"/"},)";
    for (int i = 0; i < 100000; ++i) deep += R"([{"name":"d"},)";
    deep += R"({"name":"f","asize":1})";
    for (int i = 0; i < 100000; ++i) deep += "]";
    deep += "]]";
    const QByteArray huge = R"([1,2,{},[{"name":")" + QByteArray(1 << 21, 'x') + R"("}]])";
    const struct {
        const char* what;
        QByteArray input;
        bool tree;          // something was imported
        int folders;        // below the root
        const char* error;  // the start of what went wrong; "" for nothing
    } cases[] = {
        {"not JSON", "hello", false, 0, "unexpected character"},
        {"empty", "", false, 0, "this is not an ncdu export"},
        {"wrong format", "[2,0,{},[{\"name\":\"/\"}]]", false, 0, "this is not an ncdu export"},
        {"no folder", "[1,0,{}]", false, 0, "the export holds no folder"},
        {"cut short", R"([1,0,{},[{"name":"/r"},[{"name":"a"},{"name":"f","asize":7})", true, 1,
         "the input ends too early"},
        {"wrong type", R"([1,0,{},[{"name":"/r"},{"name":"f","asize":"big"}]])", true, 0,
         "\"asize\" is not a number"},
        {"a name that is no text", R"([1,0,{},[{"name":"/r"},{"name":7}]])", true, 0,
         "\"name\" is not a text"},
        {"a bad escape", R"([1,0,{},[{"name":"/r\q"}]])", false, 0, "a malformed escape"},
        {"too deep", deep, true, 4095, ""},
        {"a name of 2 MiB", huge, false, 0, "a text of more than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        TFolderNode* top = ImportText(c.input, &error);
        EXPECT_EQ(top != nullptr, c.tree);
        EXPECT_EQ(error.left(qsizetype(strlen(c.error))), QString(c.error));
        if (top) {
            int folders = 0;
            for (const TFolderNode* n = top; n->ChildCount() > 0; n = n->Child(0)) ++folders;
            EXPECT_EQ(folders, c.folders);
            EXPECT_EQ(top->Record()->TreeFolderCount, c.folders);
            EXPECT_FALSE(ImportFactsOf(top)->Complete);
            ExpectConsistentTotals(top);
            TFolderTree::DeleteNode(top);
        }
        ScannedDrives().Remove(record);
    }
}

TEST_F(Ncdu, CompressedInputIsUnpackedAndDamagedCompressionReported) {
    const QByteArray json = R"([1,2,{},[{"name":"/r"},{"name":"f","asize":1234}]])";
    const QString plain = files.host("plain.json");
    WriteFile(plain, json);
    ASSERT_EQ(QProcess::execute("gzip", {"-k", plain}), 0);
    QFile packed(plain + ".gz");
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    const QByteArray gz = packed.readAll();
    // Two members one after the other, as concatenated files give them.
    WriteFile(files.host("twice.gz"), gz);
    const struct {
        const char* what;
        QByteArray bytes;
        int64_t size;  // -1: nothing imported; -2: whatever was read before the failure
        const char* error;
    } cases[] = {
        {"gzip", gz, 1234, ""},
        {"cut short", gz.left(gz.size() - 12), -2, "the compressed data ends too early"},
        {"damaged", gz.left(12) + QByteArray(40, '\x55') + gz.mid(52), -2,
         "the compressed data is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = files.host(QStringLiteral("%1.gz").arg(++count));
        WriteFile(file, c.bytes);
        QString error;
        TFolderNode* top = Import(file, &error);
        if (c.size != -2) {
            EXPECT_EQ(top ? top->Record()->TreeSize : -1, c.size);
        }
        EXPECT_TRUE(error.contains(c.error)) << error.toStdString();
        if (top) TFolderTree::DeleteNode(top);
        ScannedDrives().Remove(record);
    }
}

TEST_F(Ncdu, TheDescriptionCountsEntriesInTheirNumber) {
    const struct {
        int32_t readErrors;
        int32_t excluded;
        const char* ending;
    } cases[] = {
        {0, 0, "; cluster size 4096 bytes."},
        {1, 1, " 1 entry could not be read when it was written. 1 entry was left out of it."},
        {2, 3, " 2 entries could not be read when it was written. 3 entries were left out of it."},
    };
    for (const auto& c : cases) {
        TImportFacts facts;
        facts.RootPath = QStringLiteral("/srv");
        facts.ClusterSize = 4096;
        facts.ReadErrors = c.readErrors;
        facts.Excluded = c.excluded;
        EXPECT_TRUE(ImportDescription(facts).endsWith(QLatin1String(c.ending)))
            << ImportDescription(facts).toStdString();
    }
}
