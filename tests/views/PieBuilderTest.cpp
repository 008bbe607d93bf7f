// The pie's builder on its own: the items a folder's pie is made of, their thresholds, groups,
// labels and links, built from a scanned temporary drive without any window.
#include "views/PieBuilder.h"

#include <gtest/gtest.h>

#include "desktop/Shell.h"
#include "draw/PainterCanvas.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/TextForms.h"
#include "engine/VolumeFacts.h"
#include "platform/ByteInput.h"
#include "tests/fixtures/TempTree.h"
#include "views/HPieChart.h"
#include "views/PageParts.h"

using engine::TFolderNode;
using testing_support::TempDrive;

namespace {

class PieBuilderTest : public ::testing::Test {
protected:
    void TearDown() override {
        engine::ScannedDrives().Clear();
        engine::ClusterSizeChoice = 0;
    }

    // Plain labels, sizes without wasted space, the folder's files taken together.
    static TPieSettings Plain() {
        TPieSettings settings;
        settings.IncludeWasted = false;
        settings.ShowFileNames = false;
        settings.ShowPercent = 0;
        return settings;
    }

    // Scans the drive once, then builds the pie of a folder of it.
    void Build(const QString& relative, TPieSettings settings = Plain()) {
        if (!top) {
            engine::DriveRecord* record = engine::ScannedDrives().Add(drive.letter());
            top = engine::ScanDrive(tree,
                                    QChar(drive.letter()) + engine::DriveDisplayName(drive.root()),
                                    *record, session);
        }
        TFolderNode* node = engine::FindNodeByPath(top, relative, true);
        ASSERT_NE(node, nullptr);
        settings.DriveClusterSize = engine::ScannedDrives().Find(drive.letter())->ClusterSize;
        infos = BuildPie(chart, *node, settings);
    }

    QStringList Labels() const {
        QStringList labels;
        for (const auto& section : chart.Sections()) labels << section->Text;
        return labels;
    }
    const TPieSection& Section(const QString& text) const {
        for (const auto& section : chart.Sections()) {
            if (section->Text == text) return *section;
        }
        ADD_FAILURE() << "no section " << text.toStdString();
        return *chart.Sections().front();
    }
    const engine::TFolderSize& RecordOf(const QString& relative) const {
        return *engine::FindNodeByPath(top, relative, true)->Record();
    }

    TempDrive drive;
    engine::TFolderTree tree;
    TFolderNode* top = nullptr;
    engine::TScanSession session;  // what the scan is asked to do
    draw::Bitmap picture{400, 300};
    THPieChart chart{&picture.Canvas(), 400, 300};
    std::vector<TSectionInfo> infos;
    const TAppColors& colors = DefaultAppColors;
};

}  // namespace

TEST_F(PieBuilderTest, AFolderOfNoBytesIsOneFullDiscInTheColourOfOtherFolders) {
    drive.file("empty/nothing.txt", 0);
    drive.folder("empty/hollow");
    TPieSettings settings = Plain();
    settings.ShowPercent = 1;
    Build("empty", settings);
    ASSERT_EQ(Labels(), QStringList{"This folder (0 bytes) (100%)"});
    EXPECT_EQ(chart.GetSection(0)->Angle, 360.0);
    EXPECT_EQ(chart.GetSection(0)->Color, colors[4]);
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[1].Kind, TItemKind::Other);
    EXPECT_EQ(infos[1].Node, nullptr);
    EXPECT_EQ(infos[1].Path, QStringLiteral("This folder (0 bytes)"));
}

TEST_F(PieBuilderTest, SubfoldersAllBelowTheThresholdShowOnlyTheFilesAndTheOtherFolders) {
    drive.file("many/own.bin", 3'590'000);
    for (const char* name : {"a", "b", "c", "d", "e"})
        drive.file(QString("many/%1/x.bin").arg(name), 1000);
    Build("many");
    EXPECT_EQ(Labels(), (QStringList{"Files in this folder", "Other smaller folders"}));
    EXPECT_EQ(Section("Files in this folder").Color, colors[3]);
    EXPECT_EQ(Section("Other smaller folders").Color, colors[4]);
}

// A total of 360,000 bytes makes 1,000 bytes exactly one degree.
TEST_F(PieBuilderTest, AnItemExactlyAtItsThresholdGoesIntoItsGroup) {
    drive.file("edge/at/x.bin", 1000);     // 1.0 degree: the folder threshold
    drive.file("edge/above/x.bin", 1001);  // just over it
    drive.file("edge/two.bin", 2000);      // 2.0 degrees: the file threshold
    drive.file("edge/more.bin", 2001);
    drive.file("edge/rest.bin", 353'998);
    TPieSettings settings = Plain();
    settings.ShowFileNames = true;
    Build("edge", settings);
    QStringList labels = Labels();
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"Other smaller files", "Other smaller folders", "above",
                                   "more.bin", "rest.bin"}));
    EXPECT_EQ(Section("Other smaller files").Color, colors[6]);
    EXPECT_EQ(Section("more.bin").Color, colors[5]);
    EXPECT_EQ(Section("above").Color, colors[2]);
    EXPECT_DOUBLE_EQ(Section("Other smaller folders").Angle, 1.0);
    EXPECT_DOUBLE_EQ(Section("Other smaller files").Angle, 2.0);
}

// A label is one line whatever the name: its line breaks and undecodable bytes as escapes, the
// section still standing for the folder itself.
TEST_F(PieBuilderTest, ALabelShowsAControlCharacterOrAnUndecodableByteVisibly) {
    drive.file("n/two\nlines/x.bin", 5000);
    drive.file(QString("n/caf") + QChar(0xDCE9) + "/x.bin", 6000);
    Build("n", Plain());
    QStringList labels = Labels();
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"caf%E9", "two%0Alines"}));
    EXPECT_TRUE(std::any_of(infos.begin(), infos.end(), [](const TSectionInfo& info) {
        return info.Name == QStringLiteral("two\nlines");
    }));
}

TEST_F(PieBuilderTest, WithFileNamesAFileOfNoBytesGetsNoSectionAndTheFilesAreNotTakenTogether) {
    drive.file("z/zero.txt", 0);
    drive.file("z/data.bin", 10000);
    TPieSettings settings = Plain();
    settings.ShowFileNames = true;
    Build("z", settings);
    EXPECT_EQ(Labels(), QStringList{"data.bin"});
    for (const TSectionInfo& info : infos) EXPECT_NE(info.Name, QStringLiteral("zero.txt"));
    EXPECT_EQ(infos.back().Path, drive.path("z/data.bin"));
    EXPECT_EQ(infos.back().Kind, TItemKind::File);
}

// A file's section is drawn only when the folder's record counts the file as the disk lists it;
// otherwise the record's own files make one section.
TEST_F(PieBuilderTest, FileSectionsShowOnlyWhatTheFolderRecordCounts) {
    drive.file("links/A/own.bin", 1000);
    drive.file("links/A/f", 100000);
    drive.file("links/B/own.bin", 2000);
    drive.hardLink("links/A/f", "links/B/f");
    drive.file("changed/old.bin", 5000);
    session.CountHardLinksOnce = true;
    TPieSettings settings = Plain();
    settings.ShowFileNames = true;
    Build("links", settings);
    const bool aCounts = RecordOf("links\\A").FilesSize > 1000;
    drive.file("changed/new.bin", 7000);  // after the scan

    // An imported folder has no files on this computer to list.
    const QString json = drive.host("export.json");
    testing_support::WriteFile(json,
                               R"([1,2,{},[{"name":"/srv"},{"name":"big.iso","asize":1000000},)"
                               R"([{"name":"sub"},{"name":"x","asize":10}]]])");
    platform::ByteInput input;
    ASSERT_TRUE(input.Open(json));
    QString error;
    TFolderNode* imported =
        engine::ImportNcdu(tree, *engine::ScannedDrives().Add('Z'), 'Z', input, 4096, error, {});
    ASSERT_NE(imported, nullptr) << error.toStdString();

    const struct {
        TFolderNode* folder;
        QStringList labels;
    } cases[] = {
        {engine::FindNodeByPath(top, aCounts ? "links\\A" : "links\\B", true), {"f", "own.bin"}},
        {engine::FindNodeByPath(top, aCounts ? "links\\B" : "links\\A", true), {"own.bin"}},
        {engine::FindNodeByPath(top, "changed", true), {"Files in this folder"}},
        {imported, {"Files in this folder", "Other smaller folders"}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.folder, nullptr);
        SCOPED_TRACE(engine::NodePath(c.folder).toStdString());
        infos = BuildPie(chart, *c.folder, settings);
        QStringList labels = Labels();
        labels.sort();
        EXPECT_EQ(labels, c.labels);
        double angles = 0;
        for (const auto& section : chart.Sections()) angles += section->Angle;
        EXPECT_NEAR(angles, 360.0, 0.01);
    }
    // Nor is there a file to take an icon from: an imported folder is drawn as a folder.
    desktop::ShellIconList& icons = desktop::ShellIconList::Instance();
    EXPECT_EQ(ShellIconIndexOf(engine::NodePath(imported->Child(0))), icons.FolderIndex());
}

// 3,599 of 36,000 bytes is 35.99 degrees, 9.997 percent.
TEST_F(PieBuilderTest, LabelsCarryTheTruncatedPercentOrTheSize) {
    drive.file("p/s/x.bin", 3599);
    drive.file("p/rest.bin", 32401);
    const struct {
        int mode;
        QString label;
    } cases[] = {
        {0, "s"},
        {1, "s (9%)"},
        {2, "s (" + engine::SizeText(3599) + ")"},
    };
    TPieSettings settings = Plain();
    for (const auto& c : cases) {
        settings.ShowPercent = c.mode;
        Build("p", settings);
        EXPECT_TRUE(Labels().contains(c.label))
            << c.mode << " " << Labels().join('|').toStdString();
    }
    EXPECT_EQ(Section("s (" + engine::SizeText(3599) + ")").Angle, double(float(35.99)));

    // Sizes with wasted space: the item's allocated bytes.
    settings.IncludeWasted = true;
    Build("p", settings);
    const engine::TFolderSize& s = RecordOf("p\\s");
    EXPECT_TRUE(Labels().contains("s (" + engine::SizeText(s.TreeSize + s.TreeWasted) + ")"))
        << Labels().join('|').toStdString();
}

TEST_F(PieBuilderTest, FilesAreWastedAtTheClusterSizeTheViewsShow) {
    drive.file("w/a.bin", 100'000);
    drive.file("w/b.bin", 150'000);
    TPieSettings settings = Plain();
    settings.ShowFileNames = true;
    settings.IncludeWasted = true;
    engine::ClusterSizeChoice = 7;  // 64 K
    Build("w", settings);
    for (const TSectionInfo& info : infos) {
        if (info.Kind != TItemKind::File) continue;
        EXPECT_EQ(info.Wasted, engine::Slack(info.Size, 65536)) << info.Name.toStdString();
    }
    // 131,072 and 196,608 allocated bytes: the two files fill the pie without a gap.
    EXPECT_DOUBLE_EQ(Section("a.bin").Angle, 144.0);
    EXPECT_DOUBLE_EQ(Section("b.bin").Angle, 216.0);
}

TEST_F(PieBuilderTest, EverySectionLeadsToWhatItStandsFor) {
    drive.file("l/big/x.bin", 50'000);
    drive.file("l/Files in this folder/y.bin", 30'000);
    drive.file("l/own.bin", 20'000);
    Build("l");
    ASSERT_EQ(infos[0].Path, drive.path("l"));
    EXPECT_EQ(infos[0].Cursor, int(crZoomOut));
    for (const auto& section : chart.Sections()) {
        SCOPED_TRACE(section->Text.toStdString());
        ASSERT_GT(section->Tag, 0);
        ASSERT_LT(size_t(section->Tag), infos.size());
        const TSectionInfo& info = infos[size_t(section->Tag)];
        EXPECT_TRUE(section->Text.startsWith(info.Name));
        if (info.Kind == TItemKind::Folder) {
            EXPECT_EQ(engine::NodePath(info.Node), info.Path);
        }
    }
    // The folder's own files lead to the folder itself and show no zoom cursor; a subfolder of
    // their name still does lead into itself.
    const auto own = std::find_if(infos.begin(), infos.end(), [](const TSectionInfo& i) {
        return i.Kind == TItemKind::Other && i.Name == QLatin1String("Files in this folder");
    });
    ASSERT_NE(own, infos.end());
    EXPECT_EQ(own->Node, infos[0].Node);
    EXPECT_EQ(own->Cursor, int(crPieDefault));
}
