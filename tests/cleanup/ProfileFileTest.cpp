// Profile files as the Windows profile functions read and write them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "cleanup/ProfileFile.h"
#include "tests/fixtures/Privileges.h"
#include "tests/fixtures/TempTree.h"

using cleanup::ProfileFile;
using testing_support::ReadFile;
using testing_support::TempDrive;
using testing_support::WriteFile;

TEST(ProfileFile, ReadsAsTheProfileFunctionsDo) {
    TempDrive drive;
    // A register edited by hand: blanks, case, quotes, a repeated section and key, a line cut
    // in half, a comment, a line outside any section, bytes that are not UTF-8.
    WriteFile(drive.host("p.ini"),
              "stray=outside\r\n"
              "[Descriptions]\r\n"
              "  A.ZIP  =   first value   \r\n"
              "a.zip=second of the same key\r\n"
              "B.ZIP=\"  quoted blanks  \"\r\n"
              "C.ZIP='single'\r\n"
              "D.ZIP=\"only one quote\r\n"
              "E.ZI\r\n"
              "; a comment=not a key\r\n"
              "F.ZIP=caf\xe9\r\n"
              "[ folderNAMES ]\n"
              "A.ZIP=Docs\n"
              "[Descriptions]\r\n"
              "G.ZIP=in the repeated section\r\n");
    const ProfileFile file(drive.path("p.ini"));
    EXPECT_EQ(file.state(), ProfileFile::State::Read);
    EXPECT_EQ(file.ReadKeys("descriptions"),
              QStringList({"A.ZIP", "a.zip", "B.ZIP", "C.ZIP", "D.ZIP", "E.ZI", "F.ZIP"}));
    const struct {
        const char* section;
        const char* key;
        QString value;
    } cases[] = {
        {"Descriptions", "a.ZIP", "first value"},
        {"DESCRIPTIONS", "B.ZIP", "  quoted blanks  "},
        {"Descriptions", "C.ZIP", "single"},
        {"Descriptions", "D.ZIP", "\"only one quote"},
        {"Descriptions", "E.ZI", "<default>"},   // a key without "=" has no value
        {"Descriptions", "G.ZIP", "<default>"},  // the second section of a name is not read
        {"Descriptions", "stray", "<default>"},
        {"FolderNames", "A.ZIP", "Docs"},
        {"Missing", "A.ZIP", "<default>"},
        {"Descriptions", "F.ZIP", QStringLiteral("caf") + QChar(0xDCE9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(file.ReadString(c.section, c.key, "<default>"), c.value);
    }
    EXPECT_FALSE(file.HoldsNoKeys());
}

TEST(ProfileFile, WritesChangeOnlyTheirLineAndReadBackWhatWasWritten) {
    TempDrive drive;
    const QString host = drive.host("p.ini");
    ProfileFile file(drive.path("p.ini"));
    EXPECT_EQ(file.state(), ProfileFile::State::Missing);
    EXPECT_TRUE(file.HoldsNoKeys());
    ASSERT_TRUE(file.WriteString("Descriptions", "T1.ZIP", "Photos Folder"));
    ASSERT_TRUE(file.WriteString("FolderNames", "T1.ZIP", "Photos"));
    ASSERT_TRUE(file.WriteString("Descriptions", "T2.ZIP", "Second"));
    EXPECT_EQ(ReadFile(host),
              "[Descriptions]\r\nT1.ZIP=Photos Folder\r\nT2.ZIP=Second\r\n"
              "[FolderNames]\r\nT1.ZIP=Photos\r\n");

    // Someone else's lines, odd bytes and a repeated section stay as they were.
    WriteFile(host,
              "; kept\n[descriptions]\nt1.zip = old \n\n[Other]\nx=\xff\xfe\n"
              "[Descriptions]\nT9.ZIP=second section\n");
    ProfileFile again(drive.path("p.ini"));
    ASSERT_TRUE(again.WriteString("Descriptions", "T1.ZIP", "new"));
    ASSERT_TRUE(again.WriteString("DESCRIPTIONS", "T3.ZIP", "added"));
    EXPECT_EQ(ReadFile(host),
              "; kept\r\n[descriptions]\r\nt1.zip=new\r\nT3.ZIP=added\r\n\r\n[Other]\r\n"
              "x=\xff\xfe\r\n[Descriptions]\r\nT9.ZIP=second section\r\n");

    // Values that trimming or unquoting would change come back as they were written.
    for (const QString& value :
         {QStringLiteral("  blanks  "), QStringLiteral("\"quoted\""), QStringLiteral("'x'"),
          QStringLiteral(""), QStringLiteral("a=b")}) {
        ASSERT_TRUE(again.WriteString("Descriptions", "V.ZIP", value));
        EXPECT_EQ(ProfileFile(drive.path("p.ini")).ReadString("Descriptions", "V.ZIP", "-"), value);
    }
    // What a line cannot carry is refused, and nothing is written.
    const QByteArray before = ReadFile(host);
    EXPECT_FALSE(again.WriteString("Descriptions", "V.ZIP", "two\nlines"));
    EXPECT_FALSE(again.WriteString("Descriptions", "K=Y", "v"));
    EXPECT_FALSE(again.WriteString("Descriptions", "[K", "v"));
    EXPECT_FALSE(again.WriteString("Sec]tion", "K", "v"));
    EXPECT_EQ(ReadFile(host), before);

    ASSERT_TRUE(again.DeleteKey("descriptions", "T3.ZIP"));
    ASSERT_TRUE(again.DeleteKey("Descriptions", "absent"));
    ASSERT_TRUE(again.DeleteSection("other"));
    EXPECT_EQ(ReadFile(host),
              "; kept\r\n[descriptions]\r\nt1.zip=new\r\nV.ZIP=a=b\r\n\r\n"
              "[Descriptions]\r\nT9.ZIP=second section\r\n");
    ASSERT_TRUE(again.DeleteKey("Descriptions", "t1.zip"));
    ASSERT_TRUE(again.DeleteKey("Descriptions", "V.ZIP"));
    EXPECT_FALSE(again.HoldsNoKeys());  // the repeated section still holds one
    ASSERT_TRUE(again.DeleteSection("Descriptions"));
    ASSERT_TRUE(again.DeleteSection("Descriptions"));
    EXPECT_TRUE(again.HoldsNoKeys());
    EXPECT_TRUE(again.Remove());
    EXPECT_FALSE(QFileInfo::exists(host));
    EXPECT_TRUE(again.Remove());
}

TEST(ProfileFile, AFileThatCannotBeReadIsNeverReplaced) {
    TempDrive drive;
    const QString host = drive.host("p.ini");
    WriteFile(host, "[Descriptions]\r\nA.ZIP=kept\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(host).constData(), 0200), 0);
    testing_support::WithoutPermissionOverride asAnyUser;
    if (!asAnyUser.ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
    ProfileFile file(drive.path("p.ini"));
    EXPECT_EQ(file.state(), ProfileFile::State::Unreadable);
    EXPECT_TRUE(file.ReadKeys("Descriptions").isEmpty());
    EXPECT_FALSE(file.WriteString("Descriptions", "B.ZIP", "new"));
    EXPECT_FALSE(file.ErrorText().isEmpty());
    EXPECT_FALSE(file.DeleteSection("Descriptions"));
    ::chmod(QFile::encodeName(host).constData(), 0600);
    EXPECT_EQ(ReadFile(host), "[Descriptions]\r\nA.ZIP=kept\r\n");
}

TEST(ProfileFile, AWriteThatCannotReplaceTheFileLeavesItAsItWas) {
    TempDrive drive;
    drive.folder("locked");
    const QString host = drive.host("locked/p.ini");
    WriteFile(host, "[S]\r\nK=old\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(drive.host("locked")).constData(), 0555), 0);
    testing_support::WithoutPermissionOverride asAnyUser;
    if (!asAnyUser.ok()) GTEST_SKIP() << "the capabilities cannot be dropped";
    ProfileFile file(drive.path("locked\\p.ini"));
    EXPECT_FALSE(file.WriteString("S", "K", "new"));
    EXPECT_EQ(file.ReadString("S", "K", "-"), "old");
    ::chmod(QFile::encodeName(drive.host("locked")).constData(), 0755);
    EXPECT_EQ(ReadFile(host), "[S]\r\nK=old\r\n");
    EXPECT_EQ(QDir(drive.host("locked")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"p.ini"});
}

TEST(ProfileFile, AKeyLeavesSeveralSectionsInOneWriteOrNotAtAll) {
    TempDrive drive;
    drive.folder("locked");
    const QString host = drive.host("locked/p.ini");
    const QByteArray text = "[A]\r\nK=1\r\nL=2\r\n[B]\r\nk=3\r\n[C]\r\nL=4\r\n";
    WriteFile(host, text);
    ProfileFile file(drive.path("locked\\p.ini"));
    ::chmod(QFile::encodeName(drive.host("locked")).constData(), 0555);
    testing_support::WithoutPermissionOverride asAnyUser;
    if (asAnyUser.ok()) {
        EXPECT_FALSE(file.DeleteKeyInSections({"A", "B", "C"}, "K"));
        EXPECT_EQ(ReadFile(host), text);
    }
    ::chmod(QFile::encodeName(drive.host("locked")).constData(), 0755);
    ASSERT_TRUE(file.DeleteKeyInSections({"A", "b", "C", "absent"}, "K"));
    EXPECT_EQ(ReadFile(host), "[A]\r\nL=2\r\n[B]\r\n[C]\r\nL=4\r\n");
    ASSERT_TRUE(file.DeleteKeyInSections({"A", "B"}, "absent"));
    EXPECT_EQ(ReadFile(host), "[A]\r\nL=2\r\n[B]\r\n[C]\r\nL=4\r\n");
}
