// The hidden attribute kept in a folder's ".hidden" list, as every way the program looks at a
// folder's entries sees it.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "platform/FindFile.h"
#include "platform/HiddenNames.h"
#include "tests/fixtures/TempTree.h"

using testing_support::ReadFile;
using testing_support::TempDrive;
using testing_support::WriteFile;

TEST(HiddenNames, AListedNameIsHiddenWhereverTheProgramLooks) {
    TempDrive drive;
    drive.folder("Archives Bin");
    drive.folder("Shown");
    drive.file("Shown/f.txt", 3);
    WriteFile(drive.host(".hidden"), "other name\r\n");
    const auto hidden = [&](const QString& name) {
        const bool attribute =
            platform::GetFileAttributes(drive.path(name)) & platform::FILE_ATTRIBUTE_HIDDEN;
        platform::FindHandle one;
        platform::FindData data;
        const bool found = one.FindFirst(drive.path(name), data) &&
                           (data.attributes & platform::FILE_ATTRIBUTE_HIDDEN);
        bool listed = false;
        platform::FindHandle all;
        for (bool more = all.FindFirst(drive.path("*.*"), data); more; more = all.FindNext(data))
            if (data.name == name) listed = data.attributes & platform::FILE_ATTRIBUTE_HIDDEN;
        bool walked = false;
        platform::FolderReader reader;
        EXPECT_TRUE(reader.Open(drive.root()));
        while (reader.Next())
            if (reader.entryName() == name)
                walked = reader.entry().attributes & platform::FILE_ATTRIBUTE_HIDDEN;
        EXPECT_EQ(attribute, found);
        EXPECT_EQ(attribute, listed);
        EXPECT_EQ(attribute, walked);
        return attribute;
    };
    EXPECT_FALSE(hidden("Archives Bin"));
    ASSERT_TRUE(platform::SetHiddenAttribute(drive.path("Archives Bin"), true));
    ASSERT_TRUE(platform::SetHiddenAttribute(drive.path("Archives Bin"), true));
    EXPECT_EQ(ReadFile(drive.host(".hidden")), "other name\r\nArchives Bin\n");
    EXPECT_TRUE(hidden("Archives Bin"));
    EXPECT_FALSE(hidden("Shown"));
    EXPECT_TRUE(hidden(".hidden"));

    ASSERT_TRUE(platform::SetHiddenAttribute(drive.path("Archives Bin"), false));
    EXPECT_EQ(ReadFile(drive.host(".hidden")), "other name\r\n");
    EXPECT_FALSE(hidden("Archives Bin"));
    ASSERT_TRUE(platform::SetHiddenAttribute(drive.path("Shown\\f.txt"), true));
    ASSERT_TRUE(platform::SetHiddenAttribute(drive.path("Shown\\f.txt"), false));
    EXPECT_FALSE(QFileInfo::exists(drive.host("Shown/.hidden")));  // an empty list goes
    EXPECT_FALSE(platform::SetHiddenAttribute(drive.root(), true));
}
