// The main window's menus, tool strip and their texts, read from the window as a person meets
// them and compared with one table.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "app/main.h"
#include "config/AppConfiguration.h"
#include "config/SettingsStore.h"
#include "controls/OrbDriveControls.h"
#include "desktop/MessageBox.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/QtPrinters.h"

using testing_support::MainWindowTest;

namespace {

// One line per item: caption, shortcut and status-bar hint separated by " | "; a submenu's
// items follow it indented; "-" is a separator.
void Describe(const QMenu* menu, const QString& indent, QStringList& lines) {
    for (const QAction* item : menu->actions()) {
        if (item->isSeparator()) {
            lines << indent + "-";
            continue;
        }
        lines << indent + item->text() + " | " + item->shortcut().toString() + " | " +
                     item->statusTip();
        if (item->menu()) Describe(item->menu(), indent + "  ", lines);
    }
}

class MainLayoutTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Start();
    }
};

}  // namespace

TEST_F(MainLayoutTest, MenusCarryTheirCaptionsAccessKeysShortcutsHintsAndSeparators) {
    const QStringList expected = {
        "&File |  | Scan or rescan drives, export pie charts and reports or quit the program",
        "  &Scan Drive(s)... |  | Scans one or more drives.",
        "  Resca&n |  | Contains commands for rescanning folders or drives.",
        "    Current &Folder |  | Rescans the current folder and all its subfolders.",
        "    &Current Drive |  | Rescans the current drive.",
        "    &All Drives |  | Rescans all scanned drives.",
        "  Remo&ve from Tree |  | Contains commands for removing drives from the folder tree.",
        "    &Current Drive |  | Removes the current selected drive from the folder tree.",
        "    &All Drives |  | Removes all drives from the folder tree.",
        "  -",
        "  &Abort Scanning | Ctrl+A | Aborts the scanning process.",
        "  -",
        "  Export &Pie |  | Copies the pie chart to the clipboard or saves it in a graphic file.",
        "    To &Clipboard |  | Copies the pie chart to the clipboard in metafile or bitmap "
        "format.",
        "      As &Metafile |  | Copies the pie chart to the clipboard in metafile format.",
        "      As &Bitmap |  | Copies the pie chart to the clipboard in bitmap format.",
        "    To &File... |  | Saves the pie chart in a bitmap of metafile file.",
        "  &Reports |  | Export folder reports.",
        "    Folder &Information... |  | Generates a report with detailed information about the "
        "current folder.",
        "    Subfolder &List... |  | Generates a report with the list of subfolders of the "
        "current folder.",
        "  -",
        "  Select &Folder... |  | Selectes a new folder to be analyzed.",
        "  &Open ncdu Export... |  | Shows a scan saved by ncdu, as a drive of its own.",
        "  Save as ncdu &Export... |  | Saves the current folder in ncdu's export format.",
        "  -",
        "  Restore &Compressed Folders... |  | Decompresses and restores the folders compressed by "
        "Quillon Pro to their original location.",
        "  -",
        "  E&xit |  | Quits Quillon Pro.",
        "&View |  | Customize the main window and set program options",
        "  Toolbar |  | Shows or hides the toolbar.",
        "  Status &Bar |  | Shows or hides the status bar.",
        "  Folder T&ree |  | Shows or hides the folder tree view from the left panel.",
        "  -",
        "  &Pie Chart |  | Displays a graphical pie chart view of the space used by the current "
        "folder.",
        "  Folder &Information |  | Displays detailed information about the current folder.",
        "  Subfo&lders |  | Displays a detailed list of the subfolders of the current folder.",
        "  &Wasted Space |  | Displays information about the space wasted by the current "
        "folder/drive.",
        "  &Free Some Space |  | Displays a few options that can be use to free up some disk "
        "space.",
        "  -",
        "  Wasted && Drive Pie &Charts | Ctrl+C | Shows or hides the Section & Free Information "
        "Window.",
        "  &Tree Bar Chart | Ctrl+T | Displays the Tree Bar Chart Window, that helps you quickly "
        "find large folders (hogs).",
        "  &Largest Files | Ctrl+L | Lists the largest files below the current folder, at any "
        "depth.",
        "  File T&ypes | Ctrl+Y | Shows how much space each kind of file takes below the current "
        "folder.",
        "  Fi&nd in Scan... | Ctrl+F | Finds files and folders of the scanned drives by name.",
        "  Tree&map | Ctrl+Shift+T | Shows every file below the current folder at once, as "
        "rectangles sized by their space.",
        "  Measure Space on &Disk |  | Measures the pie and the tree bar chart by the space files "
        "take on the disk rather than by their length.",
        "  -",
        "  Pie Sections &Sort |  | Contains commands for arranging the pie sections.",
        "    &Ascending |  | Sorts pie sections by size in ascending order.",
        "    &Descending |  | Sorts pie sections by size in descending order.",
        "  -",
        "  &Options... |  | Changes program configuration.",
        "&Tools |  | Contains tools commands",
        "  Find Files or Folders... |  | Opens the Windows Find dialog box, that allows you to "
        "search for files or folders based on various search criteria.",
        "  -",
        "&Help |  | Display help, ordering or program information",
        "  &Help Topics | F1 | Opens Help.",
        "  -",
        "  Visit the Quillon Pro &Web page |  | Visit the Quillon Pro Web page for the latest "
        "information about the product.",
        "  Introductory &Letter... |  | Displays the introductory letter.",
        "  User &Survey... |  | Displays a survey form that can help the authors improve "
        "Quillon Pro.",
        "  -",
        "  &About... |  | ",
    };
    QStringList lines;
    for (const QAction* menu : form->menuBar()->actions()) {
        lines << menu->text() + " |  | " + menu->statusTip();
        Describe(menu->menu(), "  ", lines);
    }
    EXPECT_EQ(lines, expected);
}

TEST_F(MainLayoutTest, TheToolStripHoldsItsButtonsInTheirFirstStates) {
    // The check buttons start as the settings say; the others as the layout has them.
    const bool percent = optShowPercentInPie->Value == 1;
    const bool absolute = optShowPercentInPie->Value == 2;
    struct Button {
        QString hint;  // tool tip | status text
        bool checkable, down, enabled;
    };
    const std::vector<Button> expected = {
        {"Scan/Rescan Selected Drive|Scan or rescan the drive that is selected in the Drives List "
         "Box",
         false, false, true},
        {"-"},
        {"Rescan Current Folder|Rescans the current folder and all its subfolders", false, false,
         false},
        {"-"},
        {"Abort scanning|Abort the scanning process", false, false, false},
        {"-"},
        {"Up One Level|Select the parent folder of the current folder", false, false, false},
        {"Explore Current Folder|Explore the current folder", false, false, false},
        {"-"},
        {"Include Wasted Space|Show the actual allocated space for each folder and file in the "
         "pie chart",
         true, optIncludeWastedInformation->Value, true},
        {"Show Files|Display individual files in the pie chart", true, optShowFileNames->Value,
         true},
        {"-"},
        {"Relative sizes|Display relative sizes near the pie chart sections", true, percent, true},
        {"Absolute sizes|Display absolute sizes near the pie chart sections", true, absolute, true},
    };
    const QList<QAction*> actions = Control<QToolBar>("TheToolbar")->actions();
    ASSERT_EQ(size_t(actions.size()), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const QAction* a = actions[qsizetype(i)];
        SCOPED_TRACE(expected[i].hint.toStdString());
        if (expected[i].hint == "-") {
            EXPECT_TRUE(a->isSeparator());
            continue;
        }
        EXPECT_EQ(a->toolTip() + "|" + a->statusTip(), expected[i].hint);
        EXPECT_EQ(a->isCheckable(), expected[i].checkable);
        EXPECT_EQ(a->isChecked(), expected[i].down);
        EXPECT_EQ(a->isEnabled(), expected[i].enabled);
    }
    EXPECT_EQ(Control<TOrbDriveComboBox>("DriveBox")->toolTip() + "|" +
                  Control<TOrbDriveComboBox>("DriveBox")->statusTip(),
              "Drives List Box|Select a drive and press the Scan button to scan it");
    EXPECT_EQ(Control<QComboBox>("ClustersBox")->toolTip(), "User Defined Cluster Size");
    QStringList clusters;
    for (int i = 0; i < Control<QComboBox>("ClustersBox")->count(); ++i)
        clusters << Control<QComboBox>("ClustersBox")->itemText(i);
    EXPECT_EQ(clusters, (QStringList{"Drive cluster size", "0.5 K (high density floppy disks)",
                                     "2 K (CD-ROM)", "4 K (FAT 128 MB - 255 MB, FAT32)",
                                     "8 K (FAT 256 MB - 511 MB)", "16 K (FAT 512 MB - 1023 MB)",
                                     "32 K (FAT 1 GB - 2 GB)", "64 K"}));
}

TEST_F(MainLayoutTest, TheClusterSizeBoxShowsOnlyWhileItIsAtLeast32PixelsWide) {
    QFrame* strip = Control<QFrame>("ToolbarSupport");
    const int toolbarRight = [&] {
        form->resize(900, 500);
        EXPECT_TRUE(QTest::qWaitFor([&] { return strip->width() > 600; }));
        EXPECT_EQ(Control<QToolBar>("TheToolbar")->width(), 247);
        return Control<QToolBar>("TheToolbar")->geometry().right();
    }();
    // The box starts 4 pixels right of the toolbar and ends 4 pixels before the strip's end.
    const struct {
        int stripWidth;
        bool shown;
    } cases[] = {
        {toolbarRight + 1 + 4 + 32 + 4, true}, {toolbarRight + 1 + 4 + 31 + 4, false}, {800, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stripWidth);
        strip->setFixedWidth(c.stripWidth);
        QCoreApplication::processEvents();
        EXPECT_EQ(Control<QComboBox>("ClustersBox")->isVisible(), c.shown);
        if (!c.shown) continue;
        EXPECT_EQ(Control<QComboBox>("ClustersBox")->x(), toolbarRight + 1 + 4);
        EXPECT_EQ(Control<QComboBox>("ClustersBox")->geometry().right() + 1, c.stripWidth - 4);
    }
}
