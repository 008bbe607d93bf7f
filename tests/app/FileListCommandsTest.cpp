// The file lists from the command line, without a display: what they say against what the disk
// says of the same files, from a scan and from an imported export, and how they fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <map>

#include "tests/fixtures/TempTree.h"

using testing_support::HeadlessProgramEnvironment;
using testing_support::TempTree;

namespace {

struct TRun {
    int status = -1;
    QByteArray out;
    QString err;
};

// Runs the program with the tree mapped as drive T: and its home as U:.
TRun RunProgram(const QStringList& arguments, const TempTree& tree, const TempTree& home) {
    QProcess program;
    program.setProcessEnvironment(
        HeadlessProgramEnvironment(home.host("config"), "T=" + tree.host() + ";U=" + home.host()));
    program.setWorkingDirectory(home.host());
    program.start(QStringLiteral(QUILLON_EXECUTABLE), arguments);
    program.closeWriteChannel();
    if (!program.waitForFinished(20000)) return {};
    return {program.exitCode(), program.readAllStandardOutput(),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

// The lines after the captions, each split at its commas (the tree's names hold none).
std::vector<QByteArrayList> Rows(const QByteArray& csv) {
    std::vector<QByteArrayList> rows;
    const QByteArrayList lines = csv.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].trimmed().isEmpty()) rows.push_back(lines[i].trimmed().split(','));
    return rows;
}

// What lstat says of a file, as find -printf '%s %b' would: length, bytes on the disk.
std::pair<int64_t, int64_t> Stat(const QByteArray& path) {
    struct stat st {};
    ::lstat(path.constData(), &st);
    return {st.st_size, int64_t(st.st_blocks) * 512};
}

class FileListProgram : public ::testing::Test {
protected:
    void SetUp() override {
        tree.file("media/film.mkv", 64 << 20);  // sparse: a hole of 64 MB
        testing_support::WriteFile(tree.host("media/photo.jpg"), QByteArray(9000, 'p'));
        testing_support::WriteFile(tree.host("docs/a.pdf"), QByteArray(5000, 'a'));
        testing_support::WriteFile(tree.host("docs/notes"), QByteArray(100, 'n'));
        // A name that is not UTF-8, by bytes.
        const QByteArray odd = QFile::encodeName(tree.host("docs")) + "/caf\xe9.txt";
        FILE* f = std::fopen(odd.constData(), "w");
        std::fputs("hello", f);
        std::fclose(f);
    }
    TempTree tree, home;
};

}  // namespace

TEST_F(FileListProgram, TheLargestFilesAgreeWithTheDisk) {
    const TRun run = RunProgram({"--largest", "4", tree.host()}, tree, home);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Path,Size,Size on Disk,Last Change,Type,Category,Marks\r\n"));
    const auto rows = Rows(run.out);
    ASSERT_EQ(rows.size(), 4u);
    const QByteArray root = QFile::encodeName(tree.host());
    const QByteArray expected[] = {"/media/film.mkv", "/media/photo.jpg", "/docs/a.pdf",
                                   "/docs/notes"};
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].join(',').toStdString());
        EXPECT_EQ(rows[i][0], root + expected[i]);
        const auto [length, onDisk] = Stat(rows[i][0]);
        EXPECT_EQ(rows[i][1].toLongLong(), length);
        EXPECT_EQ(rows[i][2].toLongLong(), onDisk);
    }
    EXPECT_EQ(rows[0][4], "mkv");
    EXPECT_EQ(rows[0][5], "Videos");
    EXPECT_EQ(rows[0][6].trimmed(), "sparse");
    EXPECT_EQ(rows[3][4], "");
    EXPECT_EQ(rows[3][5], "Other");

    // All of them: the name that is not UTF-8 comes back byte for byte.
    const TRun all = RunProgram({"--largest", "100", tree.host("docs"), "all.csv"}, tree, home);
    ASSERT_EQ(all.status, 0) << all.err.toStdString();
    const auto files = Rows(testing_support::ReadFile(home.host("all.csv")));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[2][0], QFile::encodeName(tree.host("docs")) + "/caf\xe9.txt");
    EXPECT_EQ(files[2][1], "5");
}

TEST_F(FileListProgram, TheTypesAddUpToTheFolder) {
    const TRun run = RunProgram({"--types", tree.host(), "-"}, tree, home);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    std::map<QByteArray, QByteArrayList> byName;
    for (const QByteArrayList& row : Rows(run.out)) byName[row[0] + ':' + row[1]] = row;
    EXPECT_EQ(byName["Category:Videos"][2], "1");
    EXPECT_EQ(byName["Category:Videos"][3].toLongLong(), 64 << 20);
    EXPECT_EQ(byName["Category:Documents"][2], "2");  // a.pdf and café.txt
    EXPECT_EQ(byName["Extension:(none)"][3], "100");
    EXPECT_EQ(byName["Extension:jpg"][4].toLongLong(),
              Stat(QFile::encodeName(tree.host("media/photo.jpg"))).second);
    int64_t files = 0, length = 0;
    for (const auto& [name, row] : byName)
        if (name.startsWith("Category:")) {
            files += row[2].toLongLong();
            length += row[3].toLongLong();
        }
    EXPECT_EQ(files, 5);
    EXPECT_EQ(length, (64 << 20) + 9000 + 5000 + 100 + 5);
}

TEST_F(FileListProgram, AnImportedExportListsTheSameFiles) {
    const QString json = home.host("scan.json");
    ASSERT_EQ(RunProgram({"--export-ncdu", tree.host(), json}, tree, home).status, 0);
    const TRun scanned = RunProgram({"--largest", "3", tree.host("media")}, tree, home);
    const TRun imported =
        RunProgram({"--import-ncdu", json, "--largest", "3", tree.host("media")}, tree, home);
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, scanned.out);
}

TEST_F(FileListProgram, ABadRequestOrFolderOrFileSaysSo) {
    const struct {
        QStringList arguments;
        int status;
        const char* err;
    } cases[] = {
        {{"--largest", "0", tree.host()}, 2, "--largest takes a number"},
        {{"--largest", "many", tree.host()}, 2, "--largest takes a number"},
        {{"--types"}, 2, "needs a folder"},
        {{"--types", tree.host(), "a.csv", "b.csv"}, 2, "needs a folder"},
        {{"--types", tree.host("missing")}, 2, "could not be opened"},
        {{"--types", tree.host("docs/a.pdf")}, 2, "could not be opened"},
        {{"--largest", "3", tree.host(), tree.host("docs/a.pdf") + "/x.csv"}, 1, "not be written"},
        {{"--import-ncdu", home.host("none.json"), "--types", "/srv"}, 2, "cannot be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const TRun run = RunProgram(c.arguments, tree, home);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(c.err)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}
