// Where the main window stands and the rules a change of selection follows, without a window.
#include "app/Navigator.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/FolderTree.h"
#include "engine/Ncdu.h"
#include "engine/Scanner.h"
#include "engine/VolumeFacts.h"
#include "tests/fixtures/TempTree.h"

using engine::TFolderNode;
using testing_support::DriveMapScope;
using testing_support::TempTree;

namespace {

// Two drives of the map, T: with T:\a\b and U:, and Z:, a drive imported from an export.
class NavigatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        top = tree.AppendDrive('T', "Disk");
        a = tree.AppendChild(top, "a");
        b = tree.AppendChild(a, "b");
        other = tree.AppendDrive('U', "Other");
        imported = tree.AppendDrive('Z', "Export");
        importedChild = tree.AppendChild(imported, "srv");
        engine::ScannedDrives().Add('T')->ClusterSize = 4096;
        engine::ScannedDrives().Add('U')->ClusterSize = 512;
        engine::DriveRecord* z = engine::ScannedDrives().Add('Z');
        z->ClusterSize = 4096;
        z->Import = std::make_shared<engine::TImportFacts>();
    }
    void TearDown() override { engine::ScannedDrives().Clear(); }

    // The navigator after the user went to node, as the window takes a drive's facts.
    void Go(TFolderNode* node) {
        navigator.Present(node);
        if (navigator.EntersDrive()) navigator.EnterDrive();
    }

    TempTree t, u;
    DriveMapScope map{"T=" + t.host() + ";U=" + u.host()};
    engine::TFolderTree tree;
    TFolderNode *top, *a, *b, *other, *imported, *importedChild;
    TNavigator navigator;
};

}  // namespace

TEST_F(NavigatorTest, OnlyADriveEnteredAnewIsCheckedBeforeItIsSelected) {
    Go(a);
    const struct {
        const char* name;
        TFolderNode* node;
        char checked;
    } cases[] = {
        {"a folder of the current drive", b, 0},
        {"the current drive's root", top, 'T'},
        {"another drive's root", other, 'U'},
        {"an imported drive's root", imported, 0},
        {"a folder of an imported drive", importedChild, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(navigator.DriveToCheck(*c.node), c.checked);
    }
}

TEST_F(NavigatorTest, EnteringADriveTakesItsFactsAndLeavingAFolderKeepsItsPath) {
    Go(b);
    EXPECT_EQ(navigator.CurrentPath(), QStringLiteral("T:\\a\\b"));
    EXPECT_EQ(navigator.CurrentDriveLetter(), 'T');
    EXPECT_EQ(navigator.CurrentClusterSize(), 4096);
    EXPECT_GT(navigator.DriveTotal(), 0);
    EXPECT_EQ(navigator.DriveTotal(), engine::DriveTotalBytes("T:\\"));
    EXPECT_EQ(navigator.ClusterText(),
              QStringLiteral("4K Cluster (%1)").arg(engine::FileSystemName("T:\\")));

    Go(other);
    EXPECT_EQ(navigator.CurrentDriveLetter(), 'U');
    EXPECT_EQ(navigator.ClusterText(),
              QStringLiteral("512 bytes Cluster (%1)").arg(engine::FileSystemName("U:\\")));
    Go(importedChild);
    EXPECT_EQ(navigator.ClusterText(), QStringLiteral("4K Cluster (ncdu export)"));

    // A folder that cannot be presented leaves its path for the window to speak of.
    navigator.Present(nullptr);
    EXPECT_EQ(navigator.CurrentNode(), nullptr);
    EXPECT_EQ(navigator.CurrentPath(), QStringLiteral("Z:\\srv"));
    navigator.Clear();
    EXPECT_EQ(navigator.CurrentPath(), QString());
    EXPECT_EQ(navigator.CurrentDriveLetter(), 'Z');
}

TEST_F(NavigatorTest, TheCleanUpPageIsOfferedBelowADrivesRootOnly) {
    const struct {
        int chosen;
        TFolderNode* node;
        int shown;
    } cases[] = {
        {PageCleanUp, a, PageCleanUp},
        {PageCleanUp, top, PagePieChart},
        {PageSubfolders, top, PageSubfolders},
        {PageWastedSpace, b, PageWastedSpace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.chosen << " at " << engine::NodePath(c.node).toStdString());
        Go(c.node);
        navigator.ChoosePage(c.chosen);
        EXPECT_EQ(navigator.PageShown(), c.shown);
        EXPECT_EQ(navigator.CurrentPage(), c.shown);  // the choice follows what is shown
        for (int page = PagePieChart; page <= PageCleanUp; ++page)
            EXPECT_EQ(TNavigator::Offers(page, *c.node), page != PageCleanUp || c.node != top);
    }
}

TEST_F(NavigatorTest, TheNoticeSaysWhatIsMissingAndWhy) {
    const struct {
        TFolderNode* node;
        bool scanning;
        const char* start;
    } cases[] = {
        {b, true, "Quillon Pro has not finished gathering information about this folder."},
        {top, true, "Quillon Pro has not finished gathering information about this drive."},
        {nullptr, true, "Quillon Pro has not finished gathering information about this item."},
        {b, false,
         "The scannning process was interrupted before Quillon Pro had finished scanning this "
         "folder."},
        {top, false,
         "The scannning process was interrupted before Quillon Pro had finished scanning this "
         "drive."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        navigator.Present(c.node);
        navigator.SetScanning(c.scanning);
        EXPECT_TRUE(navigator.NoticeText(true).startsWith(QLatin1String(c.start)))
            << navigator.NoticeText(true).toStdString();
    }
    EXPECT_EQ(TNavigator::NoticeCaption(true), QStringLiteral("Folder not scanned"));
    EXPECT_EQ(TNavigator::NoticeCaption(false), QStringLiteral("No scanned items"));
    EXPECT_TRUE(navigator.NoticeText(false).startsWith("No drives have been scanned."));
}

TEST_F(NavigatorTest, ANodeLeavingTheTreeIsLetGoOfWithItsAncestorsSubtree) {
    const struct {
        TFolderNode* current;
        TFolderNode* gone;
        bool kept;
    } cases[] = {{b, b, false}, {b, a, false}, {b, top, false}, {a, b, true}, {b, other, true}};
    for (const auto& c : cases) {
        navigator.Present(c.current);
        navigator.NodeLeaving(c.gone);
        EXPECT_EQ(navigator.CurrentNode(), c.kept ? c.current : nullptr);
    }
}

TEST_F(NavigatorTest, APageIsHandedTheCurrentFolderAndItsDrive) {
    Go(b);
    const TPresentation p = navigator.Presentation(true);
    EXPECT_EQ(p.Node, b);
    EXPECT_EQ(p.Path, QStringLiteral("T:\\a\\b"));
    EXPECT_EQ(p.DriveLetter, QChar(u'T'));
    EXPECT_EQ(p.ClusterSize, 4096);
    EXPECT_EQ(p.DriveTotal, navigator.DriveTotal());
    EXPECT_EQ(p.DriveFree, navigator.DriveFree());
    EXPECT_TRUE(p.IncludeWasted);
}
