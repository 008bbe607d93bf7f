// The main window's View, Tools and Help commands as a person reaches them: the Options dialog
// through its command and what the window does after it, the view toggles, the page items, the
// menus' states, the file search, the help topics and F1.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/main.h"
#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "config/SettingsStore.h"
#include "controls/FormOptions.h"
#include "controls/HelpWindow.h"
#include "controls/Helpers.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "draw/SystemColors.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/TempTree.h"
#include "views/HPieChart.h"
#include "views/PieChartPage.h"
#include "views/WastedSpacePage.h"

using testing_support::MainWindowTest;
using testing_support::TempDrive;

namespace {

class ViewToolsHelpTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        desktop::RemoveFolderVerb();
        answer = [](const desktop::MessageRequest&) { return desktop::Ok; };
        runDialog = [this](QDialog& dialog) {
            if (auto* box = qobject_cast<TOptionsBox*>(&dialog); box && options) options(*box);
            return dialog.result();
        };
        drive.file("a/b/x.bin", 40'000);
        drive.file("a/own.bin", 3'000);
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        desktop::RemoveFolderVerb();
    }

    // The window on the drive's folder "a" unless told otherwise, active.
    TMainForm& Start(TMainFormSetup setup = {}) {
        if (setup.Arguments.isEmpty()) setup.Arguments = QStringList{drive.path("a")};
        MainWindowTest::Start(std::move(setup), [](TMainForm& window) { window.resize(900, 640); });
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    TMainForm& Start(const QStringList& arguments) {
        return Start(TMainFormSetup{.Arguments = arguments});
    }
    // The help window's page after the events of a key or click have run; empty for none.
    QUrl HelpShown(QWidget* owner) const {
        QApplication::processEvents();
        const THelpWindow* help = HelpWindowOf(owner);
        return help ? help->Source() : QUrl();
    }
    // Opens a menu as its title in the menu bar does (its items get their states).
    static void Open(QMenu* menu) { emit menu->aboutToShow(); }

    TempDrive drive;
    std::function<void(TOptionsBox&)> options;  // what the person does in the dialog
};

}  // namespace

TEST_F(ViewToolsHelpTest, TheOptionsCommandAppliesWhatOkChangedToThePieTheWindowAndTheButtons) {
    Start();
    ASSERT_TRUE(Action("toolShowWasted")->isChecked());
    options = [](TOptionsBox& box) {
        box.chkIncludeWastedInformation->setChecked(false);
        box.chkShowFileNames->setChecked(false);
        box.EditColors[2] = draw::RGBColor(1, 2, 3);
        box.EditColors[16] = draw::RGBColor(4, 5, 6);
        box.ediMinTextSection->setText("10");
        box.cmdOK->click();
    };
    Action("cmdViewOptions")->trigger();
    const THPieChart& chart = Control<TPieChartPage>("pagePieChart")->Chart();
    EXPECT_EQ(chart.FillColor(), draw::RGBColor(1, 2, 3));
    EXPECT_DOUBLE_EQ(chart.MinTextAngle, 36.0);
    EXPECT_FALSE(Action("toolShowWasted")->isChecked());
    EXPECT_FALSE(Action("toolShowFiles")->isChecked());
    EXPECT_FALSE(optIncludeWastedInformation->Value);
    QStringList labels;
    for (const auto& section : chart.Sections()) labels << section->Text;
    // The folder's files together now, their label given its percentage.
    EXPECT_TRUE(labels.join('|').contains(QStringLiteral("Files in this folder (")))
        << labels.join(", ").toStdString();

    // OK refused at the second threshold, then Cancel: what OK did before it still counts.
    options = [](TOptionsBox& box) {
        box.chkIncludeWastedInformation->setChecked(true);
        box.ediMinFolderSection->setText("abc");
        box.cmdOK->click();
        box.cmdCancel->click();
    };
    asked.clear();
    Action("cmdViewOptions")->trigger();
    EXPECT_EQ(asked, QStringList{"abc is not a valid positive value between 0 and 360"});
    EXPECT_TRUE(Action("toolShowWasted")->isChecked());

    // Cancel alone changes nothing.
    options = [](TOptionsBox& box) {
        box.chkIncludeWastedInformation->setChecked(false);
        box.cmdCancel->click();
    };
    Action("cmdViewOptions")->trigger();
    EXPECT_TRUE(optIncludeWastedInformation->Value);
    EXPECT_TRUE(Action("toolShowWasted")->isChecked());
}

TEST_F(ViewToolsHelpTest, TheViewTogglesShowAndHideTheirRegionsAndKeepTheSetting) {
    Start();
    const struct {
        QAction* item;
        TBoolOption* option;
        QWidget* region;
    } toggles[] = {
        {Action("cmdViewToolbar"), optViewToolbar, Control<QFrame>("ToolbarSupport")},
        {Action("cmdViewStatusBar"), optViewStatusBar, Control<QStatusBar>("TheStatusBar")},
        {Action("cmdViewFolderTree"), optViewFolderTree, Control<QWidget>("TheLeftPanel")},
    };
    for (const auto& t : toggles) {
        SCOPED_TRACE(t.item->text().toStdString());
        ASSERT_TRUE(t.item->isChecked());
        for (const bool shown : {false, true}) {
            t.item->trigger();
            EXPECT_EQ(t.item->isChecked(), shown);
            EXPECT_EQ(t.option->Value, shown);
            EXPECT_EQ(t.region->isVisible(), shown);
        }
    }
}

TEST_F(ViewToolsHelpTest, ThePageItemsShowTheirPagesAndTheMenuOffersThemForScannedFolders) {
    TMainForm& window = Start();
    QAction* const items[] = {Action("cmdViewPieChart"), Action("cmdViewFolderInformation"),
                              Action("cmdViewSubfolders"), Action("cmdViewWastedSpace"),
                              Action("cmdViewCleanUp")};
    for (int page = 4; page >= 0; --page) {
        items[page]->trigger();
        EXPECT_EQ(window.Navigator().CurrentPage(), page);
        EXPECT_EQ(Control<QTabWidget>("ThePages")->currentWidget(),
                  Control<QTabWidget>("ThePages")->widget(page + 1));
    }

    Open(Menu("mnuView"));
    EXPECT_TRUE(Action("cmdViewPieChart")->isChecked());
    for (QAction* item : items) EXPECT_TRUE(item->isEnabled()) << item->text().toStdString();
    EXPECT_TRUE(Action("cmdViewBarChart")->isEnabled());

    // A drive's root: no clean-up page.
    ASSERT_TRUE(window.OpenFolderPath(drive.root()));
    Open(Menu("mnuView"));
    EXPECT_FALSE(Action("cmdViewCleanUp")->isEnabled());
    EXPECT_TRUE(Action("cmdViewWastedSpace")->isEnabled());
    // Nothing selected: no page items, no chart windows.
    Control<QTreeView>("FolderTree")->setCurrentIndex({});
    Open(Menu("mnuView"));
    for (QAction* item : items) EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
    EXPECT_FALSE(Action("cmdViewPieSectionSizeWindow")->isEnabled());
    EXPECT_FALSE(Action("cmdViewBarChart")->isEnabled());
    EXPECT_TRUE(Action("cmdViewOptions")->isEnabled());
}

// The shortcuts of the commands that need a scanned folder (Ctrl+T, Ctrl+C) follow the folder
// shown, whenever the View menu was last opened, also with the focus in the folder tree.
TEST_F(ViewToolsHelpTest, ShortcutsActOnlyWhereTheViewMenuWouldOfferThem) {
    TMainForm& window = Start();
    QSignalSpy barChart(Action("cmdViewBarChart"), &QAction::triggered);
    QSignalSpy pies(Action("cmdViewPieSectionSizeWindow"), &QAction::triggered);
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(Control<QTreeView>("FolderTree"), key, Qt::ControlModifier);
        QApplication::processEvents();
    };
    const struct {
        const char* shown;
        std::function<void()> select;
        int barCharts;  // triggered by Ctrl+T, counted from the start
        int pies;       // by Ctrl+C, "Wasted & Drive Pie Charts"
    } steps[] = {
        {"a scanned folder", [] {}, 1, 1},
        {"nothing, after the menu was opened for a folder",
         [&] {
             Open(Menu("mnuView"));
             Control<QTreeView>("FolderTree")->setCurrentIndex({});
         },
         1, 1},
        {"a folder again, after the menu was opened for nothing",
         [&] {
             Open(Menu("mnuView"));
             ASSERT_TRUE(window.OpenFolderPath(drive.path("a\\b")));
         },
         2, 2},
        {"the drive's root", [&] { ASSERT_TRUE(window.OpenFolderPath(drive.root())); }, 3, 3},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.shown);
        step.select();
        press(Qt::Key_T);
        press(Qt::Key_C);
        EXPECT_EQ(barChart.count(), step.barCharts);
        EXPECT_EQ(pies.count(), step.pies);
    }
}

TEST_F(ViewToolsHelpTest, TheWebPageItemIsHiddenInADistributorsCopy) {
    Start();
    const struct {
        const char* url;
        bool shown;
    } cases[] = {
        {"", true},
        {"http://www.norvane.example/quillon-pro", true},
        {"http://shop.example/DISTRIBUTOR/qp", false},
        {"http://shop.example/distributor-copy", false},  // compared in upper case
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        RegWriteString(AppRegistryKey, "Version", "URL", QString::fromUtf8(c.url));
        Open(Menu("mnuHelp"));
        EXPECT_EQ(Action("cmdHelpVisitWebPage")->isVisible(), c.shown);
    }
}

TEST_F(ViewToolsHelpTest, FindFilesAsksTheDesktopForTheSelectedFolderAndSaysWhenNothingCan) {
    Start();
    std::vector<desktop::ShellLaunch> launches;
    desktop::SetShellLauncher([&](const desktop::ShellLaunch& launch) {
        launches.push_back(launch);
        return desktop::ShellOutcome{};
    });
    Action("cmdToolsFindFiles")->trigger();
    ASSERT_EQ(launches.size(), 1u);
    const QString search = desktop::FileSearchProgram();
    if (search.isEmpty()) {
        EXPECT_EQ(launches[0].target, QUrl::fromLocalFile(drive.host("a")).toString());
    } else {
        EXPECT_EQ(launches[0].target, search);
        EXPECT_TRUE(launches[0].arguments.join(' ').contains(drive.host("a")));
    }
    EXPECT_TRUE(asked.isEmpty());

    // Nothing on this desktop can search or show a folder: the user is told, not left waiting.
    desktop::SetShellLauncher([](const desktop::ShellLaunch&) {
        return desktop::ShellOutcome{desktop::ShellError::NoAssociation, "No program is set."};
    });
    Action("cmdToolsFindFiles")->trigger();
    Action("toolExplore")->trigger();
    EXPECT_EQ(asked, (QStringList{"Files cannot be searched for:\nNo program is set.",
                                  "The folder cannot be shown:\nNo program is set."}));
}

TEST_F(ViewToolsHelpTest, F1TheHelpCommandAndTheWastedSpaceLinkOpenTheirTopics) {
    TMainForm& window = Start();
    Action("cmdHelpHelpTopics")->trigger();
    EXPECT_EQ(HelpShown(&window), QUrl("qrc:/help/contents.html"));

    const struct {
        int page;
        const char* folder;  // "" for the drive's root
        const char* topic;
    } pages[] = {
        {PagePieChart, "a", "qrc:/help/4010.html#pie"},
        {PageFolderInfo, "a", "qrc:/help/4010.html#info"},
        {PageSubfolders, "a", "qrc:/help/4010.html#subfolders"},
        {PageWastedSpace, "a", "qrc:/help/3010.html"},
        {PageWastedSpace, "", "qrc:/help/3020.html"},
        {PageCleanUp, "a", "qrc:/help/4010.html#cleanup"},
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.topic);
        ASSERT_TRUE(window.OpenFolderPath(drive.root() + p.folder));
        window.PresentPage(p.page);
        QTest::keyClick(Control<QTreeView>("FolderTree"), Qt::Key_F1);  // the tree has the focus
        EXPECT_EQ(HelpShown(&window), QUrl(p.topic));
    }
    // The link on the wasted-space page.
    ASSERT_TRUE(window.OpenFolderPath(drive.path("a")));
    window.PresentPage(PageWastedSpace);
    auto* link =
        Control<TWastedSpacePage>("pageWastedSpace")->findChild<QLabel*>("txtWebReduceWaste");
    ASSERT_NE(link, nullptr);
    Action("cmdHelpHelpTopics")->trigger();
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(HelpShown(&window), QUrl("qrc:/help/3010.html"));

    // An open menu: its own topic.
    for (QMenu* menu : {Menu("mnuFile"), Menu("mnuView"), Menu("mnuTools"), Menu("mnuHelp")}) {
        menu->popup(window.mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
        QTest::keyClick(menu, Qt::Key_F1);
        EXPECT_EQ(HelpShown(&window),
                  QUrl(QStringLiteral("qrc:/help/%1.html").arg(HelpContextOf(menu))));
        EXPECT_FALSE(menu->isVisible());
    }

    // The Options dialog: F1 and its Help button both open 4040, in a window of its own.
    QUrl byKey, byButton;
    options = [&](TOptionsBox& box) {
        QTest::keyClick(box.ediMinFileSection, Qt::Key_F1);
        byKey = HelpShown(&box);
        HelpWindowOf(&box)->close();
        box.cmdHelp->click();
        byButton = HelpShown(&box);
        box.cmdCancel->click();
    };
    Action("cmdViewOptions")->trigger();
    EXPECT_EQ(byKey, QUrl("qrc:/help/4040.html"));
    EXPECT_EQ(byButton, QUrl("qrc:/help/4040.html"));
}

TEST_F(ViewToolsHelpTest, TheStatusBarsFirstFieldTakesTheWidthTheSecondLeaves) {
    TMainForm& window = Start();
    for (const int width : {700, 1100}) {
        window.resize(width, 600);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.width() == width; }));
        QApplication::processEvents();
        EXPECT_EQ(Control<QLabel>("StatusField2")->width(), 150);
        // The rest of the bar, less the size grip.
        EXPECT_NEAR(Control<QLabel>("StatusField1")->width(),
                    Control<QStatusBar>("TheStatusBar")->width() - 150, 30);
    }
}

// The folder verb's command line: the folder as the file manager names it, a host path.
TEST_F(ViewToolsHelpTest, AFolderTheFileManagerHandsOverOpensWhateverItsName) {
    const QString folder = drive.folder(QStringLiteral("Mes Données/Ärger Ordner ñ"));
    drive.file(QStringLiteral("Mes Données/Ärger Ordner ñ/groß.bin"), 5000);
    TMainForm& window = Start({folder});
    EXPECT_EQ(window.Navigator().CurrentPath(),
              drive.path(QStringLiteral("Mes Données/Ärger Ordner ñ")));
    ASSERT_NE(window.Navigator().CurrentNode(), nullptr);
    ASSERT_NE(window.Navigator().CurrentNode()->Record(), nullptr);
    EXPECT_EQ(window.Navigator().CurrentNode()->Record()->TreeSize, 5000);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(ViewToolsHelpTest, AVersionMoreThanThreeYearsOldSaysSoAtTheFirstActivation) {
    const QDate due = TMainForm::ReleaseDate().addYears(3);
    ASSERT_TRUE(due.isValid());
    const struct {
        QDate today;
        bool notice;
    } cases[] = {{TMainForm::ReleaseDate(), false}, {due, false}, {due.addDays(1), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.today.toString(Qt::ISODate).toStdString());
        asked.clear();
        Start(TMainFormSetup{.Today = [&c] { return c.today; }});
        ASSERT_EQ(asked.size(), c.notice ? 1 : 0) << asked.join(u'|').toStdString();
        if (c.notice) {
            EXPECT_TRUE(
                asked[0].startsWith("This version of Quillon Pro is more than 3 years old."));
            EXPECT_TRUE(
                asked[0].endsWith("you are missing out on new features and support for "
                                  "modern hardware."));
        }
        form.reset();
    }
}
