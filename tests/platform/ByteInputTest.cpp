#include "platform/ByteInput.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/HostNames.h"
#include "tests/fixtures/TempTree.h"

using platform::ByteInput;
using platform::DecodeHostName;
using testing_support::TempTree;
using testing_support::WriteFile;

namespace {

QByteArray Gzipped(const QByteArray& bytes) {
    z_stream zip{};
    deflateInit2(&zip, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&zip, uLong(bytes.size()))), '\0');
    zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    zip.avail_in = uInt(bytes.size());
    zip.next_out = reinterpret_cast<Bytef*>(out.data());
    zip.avail_out = uInt(out.size());
    deflate(&zip, Z_FINISH);
    out.resize(int(zip.total_out));
    deflateEnd(&zip);
    return out;
}

// Everything the input gives, read in small pieces so that the pieces' edges are crossed.
QByteArray ReadAll(ByteInput& input) {
    QByteArray all;
    char piece[7];
    for (int64_t n; (n = input.Read(piece, sizeof piece)) > 0;) all.append(piece, qsizetype(n));
    return all;
}

}  // namespace

TEST(ByteInput, GivesAFilesBytesWhateverItsNameAndPacking) {
    const QByteArray text = QByteArrayLiteral("[1,2,{\"progname\":\"ncdu\"}]\n");
    struct Case {
        const char* name;  // host bytes
        QByteArray stored;
    } const cases[] = {
        {"plain.json", text},
        {"caf\xe9 not utf-8.json", text},
        {"two \xff\xfe members.json.gz", Gzipped(text.left(9)) + Gzipped(text.mid(9))},
        {"packed.gz", Gzipped(text)},
        {"one byte", "x"},
        {"empty", ""},
    };
    TempTree tree;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString host = tree.host(DecodeHostName(QByteArray(c.name)));
        WriteFile(host, c.stored);
        ByteInput input;
        ASSERT_TRUE(input.Open(host)) << input.errorText().toStdString();
        const QByteArray expected = c.stored.startsWith("\x1f\x8b") ? text : c.stored;
        EXPECT_EQ(ReadAll(input), expected);
        EXPECT_EQ(input.Consumed(), c.stored.size());
    }
}

TEST(ByteInput, SaysWhyAFileCannotBeReadOrUnpacked) {
    TempTree tree;
    const QByteArray packed = Gzipped(QByteArray(4000, 'a'));
    WriteFile(tree.host("cut.gz"), packed.left(packed.size() / 2));
    tree.folder("a folder");

    ByteInput missing;
    EXPECT_FALSE(missing.Open(tree.host("missing \xe9")));
    EXPECT_EQ(missing.errorText(), QStringLiteral("No such file or directory"));

    ByteInput folder;
    const bool opened = folder.Open(tree.host("a folder"));
    char buffer[16];
    EXPECT_TRUE(!opened || folder.Read(buffer, sizeof buffer) < 0);
    EXPECT_EQ(folder.errorText(), QStringLiteral("Is a directory"));

    ByteInput cut;
    ASSERT_TRUE(cut.Open(tree.host("cut.gz")));
    ReadAll(cut);
    EXPECT_EQ(cut.Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(cut.errorText(), QStringLiteral("the compressed data ends too early"));
}
