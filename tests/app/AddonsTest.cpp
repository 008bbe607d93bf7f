#include <gtest/gtest.h>

#include <QFile>

#include "app/Addons.h"
#include "tests/fixtures/TempTree.h"

TEST(Addons, CommaTextSplitsLikeTheListsDo) {
    const struct {
        const char* line;
        QStringList fields;
    } cases[] = {
        {"a,b,c", {"a", "b", "c"}},
        {"a b c", {"a", "b", "c"}},
        {"  a ,  b,c  ", {"a", "b", "c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b", ""}},
        {"\"Disk Cleanup\",\"Frees space, fast\",/usr/bin/cleanup",
         {"Disk Cleanup", "Frees space, fast", "/usr/bin/cleanup"}},
        {"\"say \"\"hi\"\"\",x,y", {"say \"hi\"", "x", "y"}},
        {"\"ab\"cd,e", {"ab", "cd", "e"}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.line), c.fields) << c.line;
}

TEST(Addons, ToolsComeInLineOrderAndAShortLineIsAnError) {
    testing_support::TempTree tree;
    const QString path = tree.host("ADDONS.INI");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Editor,\"Edit a file\",/usr/bin/editor,ignored\r\n\"Two words\",hint,/bin/two\r\n");
    f.close();
    const auto tools = ReadAddonTools(path);
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].caption, QStringLiteral("Editor"));
    EXPECT_EQ(tools[0].hint, QStringLiteral("Edit a file"));
    EXPECT_EQ(tools[0].command, QStringLiteral("/usr/bin/editor"));
    EXPECT_EQ(tools[1].caption, QStringLiteral("Two words"));

    EXPECT_TRUE(ReadAddonTools(tree.host("missing.ini")).empty());
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("\r\n");  // an empty line has no fields
    f.close();
    EXPECT_THROW(ReadAddonTools(path), std::runtime_error);
}
