// The pie chart page in the main window: the items a folder's pie is built from, their labels
// and thresholds, hovering, clicks, the right-click menu, the page caches, and the section size
// window beside the page.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "app/main.h"
#include "config/AppConfiguration.h"
#include "config/SettingsStore.h"
#include "controls/Helpers.h"
#include "desktop/MessageBox.h"
#include "draw/RecordingCanvas.h"
#include "engine/TextForms.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/Pictures.h"
#include "tests/fixtures/TempTree.h"
#include "tests/views/Inkscape.h"
#include "views/FileRows.h"
#include "views/FindBox.h"
#include "views/FolderInfoPage.h"
#include "views/FormSectionSize.h"
#include "views/HPieChart.h"
#include "views/LargestFilesBox.h"
#include "views/PieChartPage.h"
#include "views/SimpleControls.h"

using draw::CanvasCall;
using engine::TFolderNode;
using testing_support::MainWindowTest;
using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

class PiePageTest : public MainWindowTest {
protected:
    void TearDown() override {
        SectionSizeBox = nullptr;
        box.reset();
        MainWindowTest::TearDown();
        SetPopupDriver({});
    }

    // The window over the drive as the test made it, scanned, with plain labels, sizes without
    // wasted space and the folder's files taken together unless the test says otherwise.
    TMainForm& Start(const std::function<void()>& options = {}) {
        MainWindowTest::Start({}, [&](TMainForm& window) {
            box = std::make_unique<TSectionSizeBox>(&window);
            SectionSizeBox = box.get();
            optIncludeWastedInformation->Value = false;
            optShowFileNames->Value = false;
            optShowPercentInPie->Value = 0;
            if (options) options();
            window.resize(900, 640);
        });
        form->ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
        return *form;
    }
    void Open(const QString& relative) {
        ASSERT_TRUE(form->OpenFolderPath(relative.isEmpty() ? drive.root() : drive.path(relative)));
        QCoreApplication::processEvents();
    }

    TPieChartPage& Page() const { return *Control<TPieChartPage>("pagePieChart"); }
    const THPieChart& Chart() const { return Page().Chart(); }
    QWidget* Pie() const { return Page().findChild<QWidget*>("FolderPie"); }
    QLabel* Header(const char* name) const { return Page().findChild<QLabel*>(name); }
    const std::vector<TSectionInfo>& SectionInfos() const { return Page().SectionInfos(); }
    QStringList Labels() const {
        QStringList labels;
        for (const auto& section : Chart().Sections()) labels << section->Text;
        return labels;
    }
    const TPieSection& Section(const QString& text) const {
        for (const auto& section : Chart().Sections()) {
            if (section->Text == text) return *section;
        }
        ADD_FAILURE() << "no section " << text.toStdString();
        return *Chart().Sections().front();
    }
    // A point in the middle of a section, halfway out from the centre.
    QPoint PointIn(const QString& text) const {
        long double from = 0;
        for (int i = 0; i < Chart().Count(); ++i) {
            const TPieSection& s = *Chart().GetSection(i);
            const long double to = i == Chart().Count() - 1 ? 360 : from + s.Angle;
            if (s.Text == text)
                return Chart().Center() -
                       Chart().PointOnCircle((from + to) / 2, Chart().Radius() / 2, false);
            from = to;
        }
        ADD_FAILURE() << "no section " << text.toStdString();
        return {};
    }
    QPoint Outside() const { return {2, 2}; }
    // The next item menu chooses "Delete" (the confirmation is answered yes).
    static void DeleteFromMenu() {
        SetPopupDriver([](QWidget& popup) {
            for (QAction* a : popup.actions()) {
                if (a->text().remove(u'&') == QLatin1String("Delete")) a->trigger();
            }
            popup.close();
        });
    }

    void Send(QEvent::Type type, const QPoint& at, Qt::MouseButton button = Qt::NoButton) {
        QWidget* pie = Pie();
        QMouseEvent event(type, QPointF(at), QPointF(pie->mapToGlobal(at)), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(pie, &event);
    }
    void Move(const QPoint& at) { Send(QEvent::MouseMove, at); }
    void Click(const QPoint& at, Qt::MouseButton button = Qt::LeftButton) {
        Move(at);  // a pointer reaches a place before it presses there
        Send(QEvent::MouseButtonPress, at, button);
        QCoreApplication::processEvents();
    }
    // The cursor the pie shows now, as the number of the pie's cursors.
    int PieCursor() const {
        const QCursor cursor = Pie()->cursor();
        for (int id : {crZoomIn, crZoomOut}) {
            if (cursor.shape() == Qt::BitmapCursor &&
                cursor.pixmap().cacheKey() == Page().Cursor(id).pixmap().cacheKey())
                return id;
        }
        return cursor.shape() == Qt::ArrowCursor ? crPieDefault : -1;
    }
    const engine::TFolderSize& RecordOf(const QString& relative) const {
        const TFolderNode* node = engine::FindNodeByPath(form->Tree().TopLevel(0), relative, true);
        return *node->Record();
    }

    TempDrive drive;
    std::unique_ptr<TSectionSizeBox> box;
};

// --- the items of a pie (the builder alone: PieBuilderTest.cpp) ---

TEST_F(PiePageTest, SectionsAreSortedBySizeAsTheSettingSays) {
    drive.file("o/small/x.bin", 10'000);
    drive.file("o/large/x.bin", 60'000);
    drive.file("o/middle/x.bin", 30'000);
    Start();
    Open("o");
    EXPECT_EQ(Labels(), (QStringList{"large", "middle", "small"}));
    Action("cmdViewPieSortAscending")->trigger();
    EXPECT_EQ(Labels(), (QStringList{"small", "middle", "large"}));
}

// --- the header, the pointer and the clicks ---

TEST_F(PiePageTest, OutsideTheDiscTheHeaderShowsTheFolderWithTheZoomOutCursorBelowTheRoot) {
    drive.file("p/s/x.bin", 5000);
    drive.file("p/y.bin", 5000);
    Start();

    Open("p");
    Move(PointIn("s"));
    EXPECT_EQ(PieCursor(), int(crZoomIn));
    EXPECT_EQ(Header("txtWebFolderName")->text(), QStringLiteral("s"));
    EXPECT_EQ(Control<QLabel>("StatusField1")->text(), "Folder " + drive.path("p\\s"));
    Move(Outside());
    EXPECT_EQ(PieCursor(), int(crZoomOut));
    EXPECT_EQ(Header("txtWebFolderName")->text(), QStringLiteral("p"));
    EXPECT_EQ(Header("txtWebFolderType")->text(), QStringLiteral("Folder"));
    EXPECT_EQ(Control<QLabel>("StatusField1")->text(), "Folder " + drive.path("p"));

    Open("");
    Move(PointIn("p"));
    Move(Outside());
    EXPECT_EQ(PieCursor(), int(crPieDefault));
    EXPECT_EQ(Header("txtWebFolderType")->text(), QStringLiteral("Root Folder of Drive"));
    EXPECT_EQ(Control<QLabel>("StatusField1")->text(), "Folder " + drive.root());
}

TEST_F(PiePageTest, HoveringAGroupNamesItWithItsPicture) {
    drive.file("g/own.bin", 90'000);
    for (int i = 0; i < 30; ++i) drive.file(QString("g/tiny%1/x.bin").arg(i), 250);
    Start();
    Open("g");
    const TPieChartPage& page = *Control<TPieChartPage>("pagePieChart");
    // A point of the picture where both group pictures are opaque and differ.
    auto iconShows = [&](int image) {
        return page.findChild<QLabel*>("imgIcon")->pixmap().toImage().pixel(10, 24) ==
               page.GroupImage(image).toImage().pixel(10, 24);
    };
    Move(PointIn("Files in this folder"));
    EXPECT_EQ(PieCursor(), int(crPieDefault));
    EXPECT_EQ(page.findChild<QLabel*>("txtWebFolderName")->text(),
              QStringLiteral("Files in this folder"));
    EXPECT_TRUE(page.findChild<QLabel*>("txtWebFolderType")->text().isEmpty());
    EXPECT_EQ(Control<QLabel>("StatusField1")->text(), QStringLiteral("Files in this folder"));
    EXPECT_EQ(page.findChild<QLabel*>("txtWebFolderSize")->text(), engine::SizeText(90'000));
    EXPECT_TRUE(iconShows(giOtherItems));
    Move(PointIn("Other smaller folders"));
    EXPECT_EQ(page.findChild<QLabel*>("txtWebFolderName")->text(),
              QStringLiteral("Other smaller folders"));
    EXPECT_TRUE(iconShows(giOtherFolders));
}

TEST_F(PiePageTest, ClickingASubfolderZoomsInAndClickingOutsideZoomsOut) {
    drive.file("p/s/x.bin", 5000);
    drive.file("p/s/t/y.bin", 100);
    drive.file("p/y.bin", 5000);
    Start();
    Open("p");

    Click(PointIn("s"));
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p\\s"));
    EXPECT_EQ(Page().ShownFor(), form->Navigator().CurrentPath());
    EXPECT_TRUE(Control<QTreeView>("FolderTree")
                    ->isExpanded(Control<QTreeView>("FolderTree")->currentIndex()));  // AutoExpand
    const QModelIndex s = Control<QTreeView>("FolderTree")->currentIndex();

    Click(Outside());
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p"));
    EXPECT_EQ(Page().ShownFor(), form->Navigator().CurrentPath());
    EXPECT_FALSE(Control<QTreeView>("FolderTree")->isExpanded(s));  // AutoCollapse
    EXPECT_TRUE(Labels().contains("s"));
}

TEST_F(PiePageTest, ClickingTheFolderOwnFilesKeepsTheSelectionAndExpandsIt) {
    drive.file("p/own.bin", 90'000);
    drive.file("p/s/x.bin", 10'000);
    Start();
    Open("p");
    Control<QTreeView>("FolderTree")->collapse(Control<QTreeView>("FolderTree")->currentIndex());
    Click(PointIn("Files in this folder"));
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p"));
    EXPECT_TRUE(Control<QTreeView>("FolderTree")
                    ->isExpanded(Control<QTreeView>("FolderTree")->currentIndex()));
}

TEST_F(PiePageTest, ASubfolderNamedLikeTheFilesGroupHasNoZoomCursorYetOpensOnClick) {
    drive.file("p/Files in this folder/x.bin", 50'000);
    drive.file("p/own.bin", 40'000);
    Start([] { optShowFileNames->Value = true; });  // no group of that name beside it
    Open("p");
    Move(PointIn("Files in this folder"));
    ASSERT_EQ(Page().ContextItem().Kind, TItemKind::Folder);
    EXPECT_EQ(PieCursor(), int(crPieDefault));
    Click(PointIn("Files in this folder"));
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p\\Files in this folder"));
}

TEST_F(PiePageTest, RightClickOpensTheItemMenuExceptOnGroups) {
    drive.file("p/s/x.bin", 50'000);
    drive.file("p/own.bin", 40'000);
    // Thirty folders below one degree each: a group wide enough to point at.
    for (int i = 0; i < 30; ++i) drive.file(QString("p/tiny%1/x.bin").arg(i), 250);
    Start();
    Open("p");
    int menus = 0;
    SetPopupDriver([&](QWidget& popup) {
        ++menus;
        popup.close();
    });
    const struct {
        QString section;
        int menus;
    } cases[] = {{"s", 1}, {"Files in this folder", 0}, {"Other smaller folders", 0}};
    for (const auto& c : cases) {
        menus = 0;
        Click(PointIn(c.section), Qt::RightButton);  // a menu runs and closes inside the click
        EXPECT_EQ(menus, c.menus) << c.section.toStdString();
    }
}

TEST_F(PiePageTest, DeletingASubfolderFromItsMenuShowsTheParentWithoutIt) {
    drive.file("p/gone/x.bin", 50'000);
    drive.file("p/stays/x.bin", 40'000);
    Start();
    Open("p");
    DeleteFromMenu();
    Click(PointIn("gone"), Qt::RightButton);
    ASSERT_FALSE(QFile::exists(drive.host("p/gone")));
    EXPECT_EQ(Control<QTabWidget>("ThePages")->currentWidget(),
              Control<TPieChartPage>("pagePieChart"));
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p"));
    EXPECT_EQ(Labels(), QStringList{"stays"});
}

TEST_F(PiePageTest, AFileDeletedFromItsMenuLeavesTheTotalsWithItsSlackAtTheDriveClusterSize) {
    drive.file("f/keep.bin", 60'000);
    drive.file("f/drop.bin", 40'001);
    Start([] { optShowFileNames->Value = true; });
    Open("f");
    Control<QComboBox>("ClustersBox")->setCurrentIndex(7);
    form->ClustersBoxChange();
    const engine::TFolderSize before = RecordOf("f");
    const int32_t cluster = engine::ScannedDrives().Find('T')->ClusterSize;
    DeleteFromMenu();
    Click(PointIn("drop.bin"), Qt::RightButton);
    ASSERT_FALSE(QFile::exists(drive.host("f/drop.bin")));
    EXPECT_EQ(RecordOf("f").TreeSize, before.TreeSize - 40'001);
    EXPECT_EQ(RecordOf("f").TreeWasted, before.TreeWasted - engine::Slack(40'001, cluster));
    EXPECT_EQ(Labels(), QStringList{"keep.bin"});
}

// --- drawing costs and the caches ---

TEST_F(PiePageTest, HoveringRedrawsOnlyTheTwoLabelBoxes) {
    drive.file("h/a/x.bin", 40'000);
    drive.file("h/b/x.bin", 30'000);
    drive.file("h/c/x.bin", 20'000);
    drive.file("h/own.bin", 10'000);
    Start();
    Open("h");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    // The hot label shows in the highlighted colours on the picture.
    Move(PointIn("a"));
    const QPoint label = Section("a").LabelPos;
    EXPECT_EQ(draw::ColorToRGB(AppColors[10]),
              PixelAt(Page().Picture().Image(), label.x() - 2, label.y()));

    draw::RecordingCanvas recording;
    Page().Chart().SetCanvas(&recording);
    recording.ClearCalls();
    std::vector<int> painted;  // the area each repaint of the pie covered
    struct PaintWatch : QObject {
        std::vector<int>* areas;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() != QEvent::Paint) return false;
            int area = 0;
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                area += r.width() * r.height();
            areas->push_back(area);
            return false;
        }
    } watch;
    watch.areas = &painted;
    Pie()->installEventFilter(&watch);

    // Each move onto another section repaints the two labels; one within a section nothing.
    const struct {
        QPoint at;
        bool repaints;
    } path[] = {{PointIn("b"), true}, {PointIn("b") + QPoint(1, 0), false},
                {PointIn("c"), true}, {PointIn("Files in this folder"), true},
                {Outside(), true},    {PointIn("a"), true}};
    for (const auto& step : path) {
        const size_t before = painted.size();
        Move(step.at);
        if (step.repaints) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return painted.size() > before; }));
        }
    }
    Pie()->removeEventFilter(&watch);
    Page().Chart().SetCanvas(&Page().Picture().Canvas());

    int boxes = 0;
    for (const CanvasCall& call : recording.Calls()) {
        EXPECT_NE(call.kind, CanvasCall::FillRect);  // a full drawing starts with the background
        EXPECT_NE(call.kind, CanvasCall::Ellipse);
        EXPECT_NE(call.kind, CanvasCall::Pie);
        boxes += call.kind == CanvasCall::Rectangle;
    }
    // a->b, c, files, none, a: the old label back and the new one lit, where there is one.
    EXPECT_EQ(boxes, 2 + 2 + 2 + 1 + 1);
    const int fullArea = Pie()->width() * Pie()->height();
    EXPECT_FALSE(painted.empty());
    for (int area : painted) EXPECT_LT(area, fullArea / 50);  // two label boxes at the most
}

TEST_F(PiePageTest, ThePieIsBuiltAgainOnlyWhenItsFolderOrItsFiguresChange) {
    drive.file("c/s/x.bin", 40'000);
    drive.file("c/own.bin", 10'001);
    Start();
    Open("c");
    // A mark on the pie's items, gone as soon as the pie is built again.
    const_cast<std::vector<TSectionInfo>&>(SectionInfos())[0].Name = "kept";

    form->PresentPage(PagePieChart);
    Control<QTabWidget>("ThePages")->setCurrentWidget(Control<TFolderInfoPage>("pageFolderInfo"));
    Control<QTabWidget>("ThePages")->setCurrentWidget(Control<TPieChartPage>("pagePieChart"));
    EXPECT_EQ(form->Navigator().CurrentPage(), int(PagePieChart));
    EXPECT_EQ(SectionInfos()[0].Name, QStringLiteral("kept"));

    Control<QComboBox>("ClustersBox")->setCurrentIndex(7);
    form->ClustersBoxChange();
    EXPECT_EQ(SectionInfos()[0].Name, QStringLiteral("c"));
    EXPECT_EQ(SectionInfos()[0].Wasted, engine::TreeWastedAt(RecordOf("c"), 7));
}

TEST_F(PiePageTest, TheToolButtonsChangeTheSettingsAndTheLabels) {
    drive.file("t/s/x.bin", 40'000);
    drive.file("t/own.bin", 40'000);
    Start();
    Open("t");

    Action("toolShowFiles")->trigger();
    EXPECT_TRUE(optShowFileNames->Value);
    EXPECT_TRUE(Labels().contains("own.bin"));

    Action("toolPercent")->trigger();
    EXPECT_EQ(optShowPercentInPie->Value, 1);
    EXPECT_TRUE(Labels().contains("s (50%)"));
    Action("toolMB")->trigger();
    EXPECT_EQ(optShowPercentInPie->Value, 2);
    EXPECT_FALSE(Action("toolPercent")->isChecked());
    EXPECT_TRUE(Labels().contains("s (" + engine::SizeText(40'000) + ")"));
    Action("toolMB")->trigger();
    EXPECT_EQ(optShowPercentInPie->Value, 0);
    EXPECT_TRUE(Labels().contains("s"));
}

TEST_F(PiePageTest, ResizingThePageGivesChartAndPictureThePaintBoxSize) {
    drive.file("r/s/x.bin", 40'000);
    Start();
    Open("r");
    form->resize(700, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->size() == QSize(700, 500); }));
    const QSize box = Pie()->size();
    EXPECT_EQ(QSize(Chart().Width(), Chart().Height()), box);
    EXPECT_EQ(Page().Picture().Image().size(), box);
    SavePicture(Page().Picture().Image(), "pie-page");
}

TEST_F(PiePageTest, TheOptionsDialogsChangesReachTheChartTheWindowAndTheButtons) {
    drive.file("k/s/x.bin", 40'000);
    drive.file("k/own.bin", 3'000);  // 25 degrees
    Start();
    Open("k");
    AppColors[2] = draw::RGBColor(1, 2, 3);
    AppColors[16] = draw::RGBColor(4, 5, 6);
    MinTextSectionAngle = 30;
    optIncludeWastedInformation->Value = true;
    const_cast<std::vector<TSectionInfo>&>(SectionInfos())[0].Name = "kept";
    form->PieOptionsChanged();
    EXPECT_EQ(Chart().FillColor(), draw::RGBColor(1, 2, 3));
    EXPECT_EQ(box->gaugeDriveFreeSpace->ForeColor(), draw::RGBColor(4, 5, 6));
    EXPECT_EQ(Chart().MinTextAngle, 30.0);
    EXPECT_EQ(SectionInfos()[0].Name, QStringLiteral("k"));  // built again
    EXPECT_TRUE(Action("toolShowWasted")->isChecked());
}

// --- the section size window ---

TEST_F(PiePageTest, TheSectionSizeWindowFollowsThePageAndItsSetting) {
    drive.file("d/s/x.bin", 40'000);
    Start();
    EXPECT_EQ(box->width(), 98);
    EXPECT_EQ(box->gaugeWasted->ForeColor(), AppColors[15]);
    EXPECT_EQ(box->gaugeDriveFreeSpace->ForeColor(), AppColors[16]);
    Open("d");
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->txtDrive->text(), QStringLiteral("Drive T:"));
    EXPECT_TRUE(box->txtDriveFreeSpace->text().endsWith(" out of"));
    EXPECT_EQ(box->txtDriveCapacity->text(), engine::SizeText(form->Navigator().DriveTotal()));

    form->PresentPage(PageFolderInfo);
    EXPECT_FALSE(box->isVisible());
    form->PresentPage(PagePieChart);
    EXPECT_TRUE(box->isVisible());

    box->resize(150, 300);
    box->popSectionBoxDefaultSize->trigger();
    EXPECT_EQ(box->size(), QSize(98, 238));

    box->popSectionBoxHide->trigger();
    EXPECT_FALSE(box->isVisible());
    EXPECT_FALSE(optPieSectionSizeWindow->Value);
    EXPECT_FALSE(Action("cmdViewPieSectionSizeWindow")->isChecked());
    form->RefreshViews(true);
    EXPECT_FALSE(box->isVisible());

    Action("cmdViewPieSectionSizeWindow")->trigger();
    EXPECT_TRUE(optPieSectionSizeWindow->Value);
    EXPECT_TRUE(box->isVisible());
}

// Only the user's close clears the window's setting: the one that comes with the program's end
// does not, and the next start shows it again.
TEST_F(PiePageTest, TheSectionSizeWindowComesBackAtTheNextStart) {
    drive.file("v/x.bin", 5000);
    Start();
    form->PresentPage(PagePieChart);
    ASSERT_TRUE(box->isVisible());
    // File > Exit: the window closes, and the program's end closes every other window.
    form->close();
    QApplication::closeAllWindows();
    SectionSizeBox = nullptr;
    box.reset();
    form.reset();  // saves the settings
    Start();
    EXPECT_TRUE(optPieSectionSizeWindow->Value);
    EXPECT_TRUE(Action("cmdViewPieSectionSizeWindow")->isChecked());
    form->PresentPage(PagePieChart);
    EXPECT_TRUE(box->isVisible());
}

TEST_F(PiePageTest, TheSectionSizeWindowShowsTheHoveredItemsWaste) {
    drive.file("v/s/x.bin", 5000);
    drive.file("v/own.bin", 70'000);
    Start();
    Open("v");
    Move(PointIn("s"));
    const engine::TFolderSize& s = RecordOf("v\\s");
    EXPECT_EQ(box->txtWasted->text(), engine::SizeText(s.TreeWasted));
    EXPECT_EQ(box->gaugeWasted->Progress(), PercentOf(s.TreeWasted, s.TreeSize + s.TreeWasted));
}

TEST_F(PiePageTest, TheSectionSizeWindowKeepsItsPlacement) {
    {
        TSectionSizeBox first;
        first.SetWasted(42, "3 KB");
        EXPECT_EQ(first.txtWasted->text(), QStringLiteral("3 KB"));
        EXPECT_EQ(first.gaugeWasted->Progress(), 42);
        first.SetDrive(u'Q', 25, "1 GB", "4 GB");
        EXPECT_EQ(first.txtDrive->text(), QStringLiteral("Drive Q:"));
        EXPECT_EQ(first.txtDriveFreeSpace->text(), QStringLiteral("1 GB out of"));
        EXPECT_EQ(first.txtDriveCapacity->text(), QStringLiteral("4 GB"));
        EXPECT_EQ(first.gaugeDriveFreeSpace->Progress(), 25);
        first.move(130, 140);
        first.resize(110, 250);
    }
    TSectionSizeBox second;
    EXPECT_EQ(second.pos(), QPoint(130, 140));
    EXPECT_EQ(second.size(), QSize(110, 250));
    EXPECT_EQ(second.txtDrive->text(), QStringLiteral("Drive ?:"));
}

}  // namespace

// --- the pie's pictures ---

TEST_F(PiePageTest, ThePieExportsAsTheScreenShowsItWhileTheShownPageStays) {
    drive.file("e/big/x.bin", 60'000);
    drive.file("e/small/x.bin", 30'000);
    drive.file("e/one/only.bin", 5000);
    Start();
    Open("e");
    const QPoint big = PointIn("big");
    const QSize area = Pie()->size();
    form->PresentPage(PageFolderInfo);
    TempTree out;
    const struct {
        int filter;  // 1 bitmap, 2 metafile, 3 enhanced metafile
        const char* chosen;
        const char* saved;
    } cases[] = {{1, "pie.emf", "pie.BMP"}, {2, "pie", "pie.WMF"}, {3, "pie.x.wmf", "pie.x.EMF"}};
    QStringList metafiles;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        desktop::SetDialogRunner([&](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            files.selectNameFilter(files.nameFilters()[c.filter - 1]);
            files.selectFile(out.host(c.chosen));
            return int(QDialog::Accepted);
        });
        Action("cmdFilePieToFile")->trigger();
        const QString saved = out.host(c.saved);
        ASSERT_TRUE(QFile::exists(saved));
        EXPECT_EQ(form->Navigator().CurrentPage(), int(PageFolderInfo));
        EXPECT_EQ(Control<QTabWidget>("ThePages")->currentWidget(),
                  Control<TFolderInfoPage>("pageFolderInfo"));
        if (c.filter == 1) {
            const QImage bitmap(saved, "BMP");
            EXPECT_EQ(bitmap.size(), area);
            EXPECT_EQ(PixelAt(bitmap, big.x(), big.y()), draw::ColorToRGB(AppColors[2]));
        } else {
            metafiles << saved;
        }
    }

    // A folder whose pie is one full disc, to the clipboard: a metafile with a picture beside.
    Open("e/one");
    form->PresentPage(PageSubfolders);
    Action("cmdFilePieAsMetafile")->trigger();
    const QMimeData* pasted = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(pasted->hasFormat("image/x-emf"));
    EXPECT_EQ(qvariant_cast<QImage>(pasted->imageData()).size(), area);
    QFile disc(out.host("disc.emf"));
    ASSERT_TRUE(disc.open(QIODevice::WriteOnly));
    disc.write(pasted->data("image/x-emf"));
    disc.close();
    metafiles << disc.fileName();
    Action("cmdFilePieAsBitmap")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), area);
    EXPECT_EQ(form->Navigator().CurrentPage(), int(PageSubfolders));

    SavePicture(Page().Picture().Image(), "export-screen");
    for (const QString& file : metafiles)  // beside the pictures, for other readers to try
        QFile::copy(file, QCoreApplication::applicationDirPath() + "/pictures/export-" +
                              QFileInfo(file).fileName());
    // What a real reader draws: the wedge's colour in its middle, the whole disc for one item.
    if (QStandardPaths::findExecutable("inkscape").isEmpty())
        GTEST_SKIP() << "inkscape is not installed (scripts/setup-deps.sh installs it)";
    ASSERT_EQ(RenderWithInkscape(metafiles, out.host("home")), QString());
    const QPoint centre = Chart().Center();
    const struct {
        QString png;
        QPoint at;
        draw::TColor color;
    } probes[] = {{out.host("pie.png"), big, AppColors[2]},    // inkscape names it without
                  {out.host("pie.x.png"), big, AppColors[2]},  // the extension
                  {out.host("disc.png"), centre + QPoint(7, 9), AppColors[3]}};
    for (const auto& p : probes) {
        SCOPED_TRACE(p.png.toStdString());
        const QImage png(p.png);
        ASSERT_FALSE(png.isNull());
        SavePicture(png, "export-" + QFileInfo(p.png).completeBaseName());
        EXPECT_EQ(PixelAt(png, p.at.x(), p.at.y()), draw::ColorToRGB(p.color));
    }
}

// --- the files below a folder, from the pie ---

TEST_F(PiePageTest, OtherSmallerFilesOpensTheLargestFilesOfTheFolder) {
    testing_support::WriteFile(drive.host("p/big.bin"), QByteArray(90'000, 'b'));
    for (int i = 0; i < 30; ++i)
        testing_support::WriteFile(drive.host(QStringLiteral("p/small%1.txt").arg(i)),
                                   QByteArray(20 + i, 's'));
    Start([] { optShowFileNames->Value = true; });
    Open("p");
    ASSERT_TRUE(Labels().contains("Other smaller files"));
    QStringList listed;
    runDialog = [&](QDialog& dialog) {
        if (auto* files = qobject_cast<TLargestFilesBox*>(&dialog)) {
            for (int i = 0; i < files->FileList->topLevelItemCount(); ++i)
                listed << files->FileList->RowTexts(i)[TFileRows::Name];
        }
        return int(QDialog::Rejected);
    };
    Click(PointIn("Other smaller files"));
    EXPECT_EQ(dialogs.last(), QStringLiteral("Largest Files"));
    ASSERT_EQ(listed.size(), 31);
    EXPECT_EQ(listed.first(), QStringLiteral("big.bin"));
    EXPECT_EQ(listed.last(), QStringLiteral("small0.txt"));
    EXPECT_EQ(form->Navigator().CurrentPath(), drive.path("p"));  // nothing chosen there
}

TEST_F(PiePageTest, MeasuringSpaceOnDiskTurnsASparseFileSmall) {
    drive.file("v/movie.mkv", 256 << 20);  // a hole of 256 MB
    testing_support::WriteFile(drive.host("v/real/clip.mp4"), QByteArray(300'000, 'c'));
    Start([] { optShowPercentInPie->Value = 1; });
    Open("v");
    const auto share = [&](const QString& name) {
        for (const QString& label : Labels())
            if (label.startsWith(name + " (")) return label.mid(name.size() + 2).chopped(2).toInt();
        return -1;
    };
    EXPECT_GE(share("Files in this folder"), 99);
    Action("cmdViewMeasureOnDisk")->trigger();
    EXPECT_TRUE(optMeasureSpaceOnDisk->Value);
    EXPECT_GE(share("real"), 90);
    EXPECT_EQ(SectionInfos()[0].Size, RecordOf("v").TreeOnDisk);
    Action("cmdViewMeasureOnDisk")->trigger();
    EXPECT_GE(share("Files in this folder"), 99);
}

TEST_F(PiePageTest, ItemsDeletedFromTheFileWindowsLeaveTheTreeAndTheStore) {
    testing_support::WriteFile(drive.host("w/a/drop.bin"), QByteArray(40'000, 'd'));
    testing_support::WriteFile(drive.host("w/a/keep.bin"), QByteArray(30'000, 'k'));
    testing_support::WriteFile(drive.host("w/gone/x.bin"), QByteArray(20'000, 'x'));
    Start();
    Open("w");
    const engine::TFolderSize before = RecordOf("w");
    const auto rightClick = [](TFileRows& rows, const QString& name) {
        for (int i = 0; i < rows.topLevelItemCount(); ++i)
            if (rows.RowTexts(i)[TFileRows::Name] == name)
                emit rows.customContextMenuRequested(
                    rows.visualItemRect(rows.topLevelItem(i)).center());
    };
    QStringList left;
    bool open = true;
    runDialog = [&](QDialog& dialog) {
        auto* find = qobject_cast<TFindBox*>(&dialog);
        if (!find) return int(QDialog::Rejected);
        find->show();
        find->ediText->setText("o");  // drop.bin and gone
        find->Find();
        DeleteFromMenu();
        rightClick(*find->FoundList, "drop.bin");
        for (int i = 0; i < find->FoundList->topLevelItemCount(); ++i)
            left << find->FoundList->RowTexts(i)[TFileRows::Name];
        DeleteFromMenu();
        rightClick(*find->FoundList, "gone");
        open = find->isVisible();
        return find->result();
    };
    Action("cmdViewFindInScan")->trigger();
    EXPECT_FALSE(QFile::exists(drive.host("w/a/drop.bin")));
    EXPECT_EQ(left, QStringList{"gone"});  // the file's row went with it
    EXPECT_FALSE(open);                    // a folder gone closes the window
    EXPECT_FALSE(QFile::exists(drive.host("w/gone")));
    EXPECT_EQ(RecordOf("w").TreeSize, before.TreeSize - 40'000 - 20'000);
    EXPECT_EQ(RecordOf("w").TreeOnDisk, RecordOf("w\\a").TreeOnDisk);  // keep.bin's alone
    const auto files = engine::LargestFiles(form->Tree().TopLevel(0), 10, false);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(engine::ProgramPathOfFile(files[0]), drive.path("w\\a\\keep.bin"));
}
