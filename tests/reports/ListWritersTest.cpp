// The list writers, read back byte for byte and by the readers people use on such files.
#include "reports/ListWriters.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>

#include "desktop/MessageBox.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::TempTree;
using testing_support::WriteFile;

namespace {

const QStringList kCaptions = {"Name",        "-> Size", "Allocated",   "Wasted",
                               "% of Parent", "Objects", "Last Access", "Last Change"};

QStringList Row(const QString& name, const QString& size = "1 KB") {
    return {name, size, "4 KB", "3 KB", "50.00 %", "2", "1/2/03 4:05:06 AM", ""};
}

QByteArray Read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

class ListWritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop::SetMessageAnswerer([this](const desktop::MessageRequest& r) {
            boxes << r.caption + ": " + r.text;
            return desktop::Ok;
        });
    }
    void TearDown() override { desktop::SetMessageAnswerer({}); }

    TempTree dir;
    QStringList boxes;
};

}  // namespace

TEST_F(ListWritersTest, EachFormWritesWhatTheListShows) {
    const TListTable empty{kCaptions, {}};
    const TListTable odd{
        kCaptions,
        {Row("plain"), Row("a, \"b\""), Row("tab\there"), Row("new\nline"), Row("Ünïcode ♫")}};
    const struct {
        const char* form;
        const TListTable& list;
        QByteArray expected;
    } cases[] = {
        {"csv", empty,
         "Name,\"-> Size\",Allocated,Wasted,\"% of Parent\",Objects,\"Last Access\",\"Last "
         "Change\"\r\n"},
        {"csv", odd,
         "Name,\"-> Size\",Allocated,Wasted,\"% of Parent\",Objects,\"Last Access\",\"Last "
         "Change\"\r\n"
         "plain,\"1 KB\",\"4 KB\",\"3 KB\",\"50.00 %\",2,\"1/2/03 4:05:06 AM\",\r\n"
         "\"a, \"\"b\"\"\",\"1 KB\",\"4 KB\",\"3 KB\",\"50.00 %\",2,\"1/2/03 4:05:06 AM\",\r\n"
         "\"tab\there\",\"1 KB\",\"4 KB\",\"3 KB\",\"50.00 %\",2,\"1/2/03 4:05:06 AM\",\r\n"
         "\"new\nline\",\"1 KB\",\"4 KB\",\"3 KB\",\"50.00 %\",2,\"1/2/03 4:05:06 AM\",\r\n" +
             QByteArray("\"") + QString("Ünïcode ♫").toUtf8() +
             "\",\"1 KB\",\"4 KB\",\"3 KB\",\"50.00 %\",2,\"1/2/03 4:05:06 AM\",\r\n"},
        {"tab", empty,
         "Name\t-> Size\tAllocated\tWasted\t% of Parent\tObjects\tLast Access\tLast Change\t\r\n"},
        {"tab", TListTable{kCaptions, {Row("a, \"b\"")}},
         "Name\t-> Size\tAllocated\tWasted\t% of Parent\tObjects\tLast Access\tLast Change\t\r\n"
         "a, \"b\"\t1 KB\t4 KB\t3 KB\t50.00 %\t2\t1/2/03 4:05:06 AM\t\t\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        const QString file = dir.host("list");
        ASSERT_TRUE(QByteArray(c.form) == "csv" ? ListViewToCSV(c.list, file)
                                                : ListViewToTabText(c.list, file));
        EXPECT_EQ(Read(file), c.expected);
    }
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(ListWritersTest, FormattedColumnsAreAsWideAsTheirLongestTextPlusFour) {
    // The longest name has 10 characters: the first column is 14 wide. "-> Size" (7) is shorter
    // than "1,000 KB" (8): 12. "Allocated" is longer than its texts: 13. And so on.
    const TListTable list{kCaptions, {Row("abcdefghij"), Row("short", "1,000 KB")}};
    const int widths[8] = {14, 12, 13, 10, 15, 11, 21, 15};
    auto line = [&](const QStringList& fields) {
        QByteArray text;
        for (int c = 0; c < 8; ++c)
            text +=
                (c == 0 ? fields[c].leftJustified(widths[c]) : fields[c].rightJustified(widths[c]))
                    .toUtf8();
        return text + "\r\n";
    };
    const QString file = dir.host("list.txt");
    ASSERT_TRUE(ListViewToFormattedText(list, file, false));
    EXPECT_EQ(Read(file), line(kCaptions) + line(list.Rows[0]) + line(list.Rows[1]));
    EXPECT_TRUE(
        Read(file).startsWith("Name          "
                              "     -> Size"));

    // Appended to what is there; an empty list still writes its captions.
    ASSERT_TRUE(ListViewToFormattedText({kCaptions, {}}, file, true));
    EXPECT_EQ(Read(file).count("Last Change"), 2);

    // A row short of fields has blanks where they would be, and one with more keeps to the
    // captions' columns.
    const TListTable uneven{kCaptions, {{"lone"}, Row("abcdefghij") << "beyond", list.Rows[1]}};
    ASSERT_TRUE(ListViewToFormattedText(uneven, file, false));
    const QByteArray blank =
        QByteArray("lone").leftJustified(14) + QByteArray(12 + 13 + 10 + 15 + 11 + 21 + 15, ' ');
    EXPECT_EQ(Read(file),
              line(kCaptions) + blank + "\r\n" + line(uneven.Rows[1]) + line(uneven.Rows[2]));
}

TEST_F(ListWritersTest, FailuresAreShownOnceAndLeaveTheFileAsItWas) {
    const TListTable list{kCaptions, {Row("a")}};
    // Appending to a file that is not there makes no file.
    EXPECT_FALSE(ListViewToFormattedText(list, dir.host("missing.txt"), true));
    EXPECT_FALSE(QFile::exists(dir.host("missing.txt")));
    EXPECT_FALSE(ListViewToCSV(list, dir.host("no/such/folder/list.csv")));
    EXPECT_EQ(boxes, QStringList(2, "Quillon Pro: Generating report failed"));

    // A disk that fills up: the report that was there stays whole, with no half-written one.
    boxes.clear();
    WriteFile(dir.host("full.txt"), "the report before\r\n");
    TListTable big{kCaptions, {}};
    for (int i = 0; i < 2000; ++i) big.Rows.push_back(Row(QStringLiteral("folder %1").arg(i)));
    struct rlimit saved;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = ListViewToTabText(big, dir.host("full.txt"));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(boxes, QStringList{"Quillon Pro: Generating report failed"});
    EXPECT_EQ(Read(dir.host("full.txt")), "the report before\r\n");
    EXPECT_EQ(QDir(dir.host()).entryList(QDir::Files | QDir::Hidden).filter("full"),
              QStringList{"full.txt"});

    // A link where the report goes is refused: nothing is written through it.
    WriteFile(dir.host("elsewhere.txt"), "not a report");
    ASSERT_EQ(::symlink("elsewhere.txt", QFile::encodeName(dir.host("link.txt")).constData()), 0);
    boxes.clear();
    EXPECT_FALSE(ListViewToTabText(list, dir.host("link.txt")));
    EXPECT_EQ(boxes, QStringList{"Quillon Pro: Generating report failed"});
    EXPECT_EQ(Read(dir.host("elsewhere.txt")), "not a report");
}

// A name holding a tab or a line break breaks no field or line of the text lists.
TEST_F(ListWritersTest, NamesWithControlCharactersKeepEveryLineAndField) {
    TListTable list{kCaptions, {}};
    for (const QString& name : {QString("tab\there"), QString("new\nline"),
                                QString("caf") + QChar(0xDCE9), QString("nul") + QChar(0)})
        list.Rows.push_back(Row(name));
    ASSERT_TRUE(ListViewToTabText(list, dir.host("list.txt")));
    ASSERT_TRUE(ListViewToFormattedText(list, dir.host("table.txt"), false));
    const QList<QByteArray> tab = Read(dir.host("list.txt")).split('\n');
    ASSERT_EQ(tab.size(), 6);  // captions, four rows, and the end
    for (qsizetype i = 1; i <= 4; ++i) EXPECT_EQ(tab[i].count('\t'), 8) << tab[i].constData();
    EXPECT_TRUE(tab[1].startsWith("tab%09here\t"));
    EXPECT_TRUE(tab[2].startsWith("new%0Aline\t"));
    EXPECT_TRUE(tab[3].startsWith("caf%E9\t"));
    EXPECT_TRUE(tab[4].startsWith("nul%00\t"));
    const QList<QByteArray> table = Read(dir.host("table.txt")).split('\n');
    ASSERT_EQ(table.size(), 6);
    for (const QByteArray& line : table.mid(0, 5)) EXPECT_EQ(line.size(), table[0].size());
}

TEST_F(ListWritersTest, CsvReadersSeeEightFieldsAndTheNamesIntact) {
    const QStringList names = {"plain",     "a, \"b\"",       "tab\there",
                               "new\nline", "Ünïcode ♫ 名前", "100%"};
    TListTable list{kCaptions, {}};
    for (const QString& name : names) list.Rows.push_back(Row(name));
    const QString file = dir.host("list.csv");
    ASSERT_TRUE(ListViewToCSV(list, file));
    const struct {
        const char* program;
        QStringList arguments;
    } readers[] = {
        {"python3",
         {"-c",
          "import csv, sys\n"
          "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8')))\n"
          "assert all(len(r) == 8 for r in rows), rows\n"
          "print('\\0'.join(r[0] for r in rows[1:]), end='')",
          file}},
        {"mlr", {"--icsv", "--ojson", "--jvquoteall", "cat", file}},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.program);
        if (QStandardPaths::findExecutable(reader.program).isEmpty()) {
            ADD_FAILURE() << reader.program << " is not installed (scripts/setup-deps.sh)";
            continue;
        }
        QProcess run;
        run.start(reader.program, reader.arguments);
        ASSERT_TRUE(run.waitForFinished(20000));
        ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        if (QByteArray(reader.program) == "python3") {
            QStringList written = names;
            written.last() = "100%25";  // "%" is the escapes' own mark
            EXPECT_EQ(out.split(QChar(0)), written);
        } else {
            for (const QString& caption : kCaptions)
                EXPECT_EQ(out.count("\"" + caption + "\":"), names.size()) << caption.toStdString();
            EXPECT_TRUE(out.contains("Ünïcode ♫ 名前"));
            EXPECT_TRUE(out.contains("\"a, \\\"b\\\"\""));
        }
    }
}
