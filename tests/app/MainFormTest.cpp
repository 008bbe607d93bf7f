#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QUrl>
#include <memory>

#include "app/main.h"
#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "config/SettingsStore.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "engine/Scanner.h"
#include "tests/fixtures/MainWindow.h"
#include "tests/fixtures/TempTree.h"
#include "views/FormBarChart.h"
#include "views/PieChartPage.h"
#include "views/SubfoldersPage.h"

using desktop::MessageRequest;
using engine::TFolderNode;
using testing_support::DriveMapScope;
using testing_support::HeadlessProgramEnvironment;
using testing_support::MainWindowTest;
using testing_support::TempDrive;
using testing_support::TempTree;

namespace {

QStringList ChildNames(const TFolderNode* node) {
    QStringList names;
    for (int i = 0; i < node->ChildCount(); ++i) names << node->Child(i)->DisplayName();
    return names;
}

// Passes everything to the window's own scan host and presses Stop once n folders are done,
// so that a test can stop a scan at a known point. It can also look around at that moment.
class StopAfter : public engine::IScanHost {
public:
    StopAfter(engine::IScanHost* inner, int folders) : inner_(inner), left_(folders) {
        engine::SetScanHost(this);
    }
    ~StopAfter() override { engine::SetScanHost(inner_); }

    std::function<void()> atStop;

    void ShowScanStatus(const QString& text) override { inner_->ShowScanStatus(text); }
    void ProcessPendingEvents() override { inner_->ProcessPendingEvents(); }
    void SetScanning(bool on) override { inner_->SetScanning(on); }
    void FolderScanned(TFolderNode* node) override {
        inner_->FolderScanned(node);
        if (--left_ == 0) {
            if (atStop) atStop();
            engine::StopRequested = true;
        }
    }

private:
    engine::IScanHost* inner_;
    int left_;
};

// Passes everything to the window's own scan host, counts the scans begun, and calls onFolder
// each time a folder is done (with the number done so far), so that a test can act mid-scan.
class ScanWatch : public engine::IScanHost {
public:
    explicit ScanWatch(engine::IScanHost* inner) : inner_(inner) { engine::SetScanHost(this); }
    ~ScanWatch() override { engine::SetScanHost(inner_); }

    std::function<void(int folders)> onFolder;
    int scans = 0;

    void ShowScanStatus(const QString& text) override { inner_->ShowScanStatus(text); }
    void ProcessPendingEvents() override { inner_->ProcessPendingEvents(); }
    void SetScanning(bool on) override {
        scans += on;
        inner_->SetScanning(on);
    }
    void FolderScanned(TFolderNode* node) override {
        inner_->FolderScanned(node);
        if (onFolder) onFolder(++folders_);
    }

private:
    engine::IScanHost* inner_;
    int folders_ = 0;
};

// A drag of host paths, in that order, entering the window as a file manager's does, and with
// drop its drop too. True when the window accepted the last of the two.
bool SendDrag(QWidget& target, const QStringList& hostPaths, bool drop) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : hostPaths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target.windowHandle(), &enter);
    if (!drop || !enter.isAccepted()) return enter.isAccepted();
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target.windowHandle(), &dropped);
    return dropped.isAccepted();
}

class MainFormTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        answer = [](const MessageRequest& r) {
            return (r.buttons & desktop::Cancel) ? desktop::Cancel : desktop::Ok;
        };
    }

    // The memo's text, with the line breaks written as the notice texts write them.
    QString Notice() const {
        return Control<QTextEdit>("txtNotReady")
            ->toPlainText()
            .replace(u'\n', QLatin1String("\r\n"));
    }
    QString NoticeCaption() const {
        return Control<QTabWidget>("ThePages")
            ->tabText(Control<QTabWidget>("ThePages")->indexOf(Control<QWidget>("pageNotScanned")));
    }
    bool NoticeShown() const {
        return Control<QTabWidget>("ThePages")->currentWidget() ==
               Control<QWidget>("pageNotScanned");
    }
};

}  // namespace

TEST_F(MainFormTest, WithNothingToScanTheDriveSelectionOpensByItself) {
    TempDrive drive;
    Start();
    EXPECT_EQ(dialogs, QStringList{"Scan Drives"});
    // The program lies on no drive of the map: the drive box offers the first drive.
    EXPECT_EQ(Control<TOrbDriveComboBox>("DriveBox")->Drive().toUpper(), QChar(drive.letter()));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillon Pro"));
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(NoticeCaption(), QStringLiteral("No scanned items"));
    EXPECT_TRUE(Notice().startsWith("No drives have been scanned."));
    EXPECT_FALSE(Menu("cmdFileRescan")->menuAction()->isEnabled());
    EXPECT_FALSE(Action("toolStop")->isEnabled());
}

TEST_F(MainFormTest, AScanFillsTheTreeAndEndsWithDone) {
    TempTree t, u;
    t.file("beta/x.bin", 100);
    t.folder("alpha/inner");
    t.file("top.txt", 5);
    u.folder("only");
    DriveMapScope drives("T=" + t.host() + ";U=" + u.host());
    Start();

    form->ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
    ASSERT_EQ(form->Tree().TopLevelCount(), 1);
    const TFolderNode* top = form->Tree().TopLevel(0);
    EXPECT_EQ(top->DisplayName(), t.host() + " (T:)");
    EXPECT_EQ(ChildNames(top), (QStringList{"alpha", "beta"}));
    EXPECT_EQ(ChildNames(top->Child(0)), QStringList{"inner"});
    ASSERT_NE(top->Record(), nullptr);
    EXPECT_EQ(top->Record()->TreeSize, 105);
    // The first drive becomes the selection, so the status bar shows its path...
    EXPECT_EQ(form->SelectedNode(), top);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillon Pro - T:\\"));
    EXPECT_TRUE(Menu("cmdFileRescan")->menuAction()->isEnabled());
    EXPECT_FALSE(form->Navigator().Scanning());

    // ...and a later scan, with the selection in place, ends with "Done.".
    form->ScanOrRescanDrive(TMainForm::DriveTextOf('U'));
    EXPECT_EQ(Control<QLabel>("StatusField1")->text(), QStringLiteral("Done."));
    EXPECT_EQ(form->ScannedLetters(), QStringLiteral("TU"));
}

TEST_F(MainFormTest, StopLeavesTheNoticesAndTheNextScanStartsAfresh) {
    TempDrive drive;
    for (const char* folder : {"a/1", "a/2", "a/3", "a/4", "a/5"})
        drive.file(QString(folder) + "/f", 10);
    TMainForm& window = Start();

    QString noticeWhileScanning;
    {
        StopAfter stop(window.ScanHost(), 2);  // a\1 and a\2 finish, then Stop
        stop.atStop = [&] {
            window.SelectNode(window.Tree().TopLevel(0));  // the drive, still being scanned
            noticeWhileScanning = Notice();
        };
        window.ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
    }
    EXPECT_TRUE(noticeWhileScanning.startsWith(
        "Quillon Pro has not finished gathering information about this drive.\r\n\r\n"
        "You may wait until the drive is completely scanned"))
        << noticeWhileScanning.toStdString();
    TFolderNode* top = window.Tree().TopLevel(0);
    EXPECT_EQ(top->Record(), nullptr);
    ASSERT_EQ(ChildNames(top), QStringList{"a"});
    TFolderNode* a = top->Child(0);
    EXPECT_EQ(a->Record(), nullptr);

    window.SelectNode(a);
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(NoticeCaption(), QStringLiteral("Folder not scanned"));
    EXPECT_EQ(Notice(),
              "The scannning process was interrupted before Quillon Pro had finished scanning this "
              "folder.\r\n\r\nYou may rescan the folder\r\n\r\nor\r\n\r\nyou may select another "
              "drive or folder from the left folder tree view.");

    window.ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
    EXPECT_FALSE(engine::StopRequested);
    ASSERT_NE(window.Tree().TopLevel(0)->Record(), nullptr);
    EXPECT_EQ(window.Tree().TopLevel(0)->Record()->TreeFileCount, 5);
}

TEST_F(MainFormTest, RightClickOnAnInterruptedFolderExplainsWhyNoMenuShows) {
    TempDrive drive;
    drive.file("a/1/f", 1);
    drive.file("a/2/f", 1);
    TMainForm& window = Start();
    {
        StopAfter stop(window.ScanHost(), 1);
        window.ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
    }
    TFolderNode* a = window.Tree().TopLevel(0)->Child(0);
    Control<QTreeView>("FolderTree")->expandAll();
    boxes.clear();
    const QRect row =
        Control<QTreeView>("FolderTree")
            ->visualRect(Control<QTreeView>("FolderTree")
                             ->model()
                             ->index(0, 0, Control<QTreeView>("FolderTree")->model()->index(0, 0)));
    ASSERT_TRUE(row.isValid());
    emit Control<QTreeView>("FolderTree")->customContextMenuRequested(row.center());
    EXPECT_EQ(window.SelectedNode(), a);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              QStringLiteral("The context menu of the selected folder cannot be displayed "
                             "because Quillon Pro has not finished scanning the folder"));
    EXPECT_EQ(boxes[0].icon, desktop::MessageIcon::Error);
}

TEST_F(MainFormTest, RescanningADriveMovesItToTheEnd) {
    TempTree t, u;
    t.folder("x");
    u.folder("y");
    DriveMapScope drives("T=" + t.host() + ";U=" + u.host());
    TMainForm& window = Start({"T:\\", "U:\\"});
    ASSERT_EQ(window.Tree().TopLevelCount(), 2);
    ScanWatch watch(window.ScanHost());
    window.RescanDrives("T");
    EXPECT_EQ(watch.scans, 1);
    ASSERT_EQ(window.Tree().TopLevelCount(), 2);
    EXPECT_EQ(window.Tree().TopLevel(0)->DriveLetter(), 'U');
    EXPECT_EQ(window.Tree().TopLevel(1)->DriveLetter(), 'T');
    EXPECT_EQ(window.ScannedLetters(), QStringLiteral("UT"));
    EXPECT_EQ(engine::ScannedDrives().Find('T')->Node, window.Tree().TopLevel(1));
}

TEST_F(MainFormTest, RemovingAllDrivesLeavesTheNoDrivesNotice) {
    TempTree t, u, v;
    DriveMapScope drives("T=" + t.host() + ";U=" + u.host() + ";V=" + v.host());
    TMainForm& window = Start({"T:", "U:", "V:"});
    ASSERT_EQ(window.Tree().TopLevelCount(), 3);
    window.cmdFileRemoveAllDrivesClick();
    QCoreApplication::processEvents();  // the selection's procedures, posted by the removals
    EXPECT_EQ(window.Tree().TopLevelCount(), 0);
    EXPECT_EQ(engine::ScannedDrives().Count(), 0);
    EXPECT_EQ(window.SelectedNode(), nullptr);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillon Pro"));
    EXPECT_TRUE(NoticeShown());
    EXPECT_EQ(NoticeCaption(), QStringLiteral("No scanned items"));
    EXPECT_TRUE(Notice().startsWith("No drives have been scanned."));
    EXPECT_FALSE(Menu("cmdFileRemove")->menuAction()->isEnabled());
}

TEST_F(MainFormTest, OpeningAFolderOfAScannedDriveDoesNotScanAgain) {
    TempDrive drive;
    drive.folder("Sub/deep");
    TMainForm& window = Start({"T:\\"});
    const TFolderNode* top = window.Tree().TopLevel(0);
    EXPECT_TRUE(window.OpenFolderPath("t:\\Sub"));
    EXPECT_EQ(window.Tree().TopLevel(0), top);
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\Sub"));
    // A folder made after the scan is not in the tree: true, and nothing selected anew.
    drive.folder("Later");
    EXPECT_TRUE(window.OpenFolderPath("T:\\Later"));
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\Sub"));
    EXPECT_FALSE(window.OpenFolderPath("T:"));
    EXPECT_FALSE(window.OpenFolderPath("\\\\server\\share"));
}

TEST_F(MainFormTest, TheTreeBarChartOpensTheFolderChosenInIt) {
    TempDrive drive;
    drive.folder("Other");
    drive.folder("Sub/deep");
    TMainForm& window = Start({"T:\\"});
    TBarChartBox box(&window);
    BarChartBox = &box;
    const auto forget = qScopeGuard([] { BarChartBox = nullptr; });
    // Rows: T:\, Other, Sub, Sub\deep. The key goes to the list, where the user presses it.
    const struct {
        int row;
        Qt::Key key;
        const char* path;  // selected afterwards
    } cases[] = {
        {3, Qt::Key_Return, "T:\\Sub\\deep"},
        {1, Qt::Key_Escape, "T:\\"},
        {1, Qt::Key_Enter, "T:\\Other"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        ASSERT_TRUE(window.OpenFolderPath("T:\\"));
        QStringList opened;
        desktop::SetDialogRunner([&](QDialog& d) {
            opened << d.windowTitle() + " " + QString::number(box.RowCount());
            box.BarList->setCurrentIndex(box.BarList->model()->index(c.row, 0));
            QTest::keyClick(box.BarList, c.key);
            return box.result();
        });
        Action("cmdViewBarChart")->trigger();
        EXPECT_EQ(opened, QStringList{"Tree Bar Chart - T:\\ 4"});
        EXPECT_EQ(window.Navigator().CurrentPath(), QString::fromLatin1(c.path));
        EXPECT_EQ(box.RowCount(), 0);
    }
}

TEST_F(MainFormTest, AFolderDeletedOnDiskLeavesTheTreeWhenSelected) {
    TempDrive drive;
    drive.file("keep/a.bin", 5000);
    drive.file("gone/one/b.bin", 300);
    drive.file("gone/c.bin", 20);
    TMainForm& window = Start({"T:\\"});
    TFolderNode* top = window.Tree().TopLevel(0);
    const engine::TFolderSize before = *top->Record();
    TFolderNode* gone = top->Child(0);
    ASSERT_EQ(gone->DisplayName(), QStringLiteral("gone"));
    const engine::TFolderSize removed = *gone->Record();

    ASSERT_TRUE(QDir(drive.host("gone")).removeRecursively());
    window.SelectNode(gone);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ChildNames(top) == QStringList{"keep"}; }));
    const engine::TFolderSize& after = *top->Record();
    EXPECT_EQ(after.TreeSize, before.TreeSize - removed.TreeSize);
    EXPECT_EQ(after.TreeFileCount, before.TreeFileCount - 2);
    EXPECT_EQ(after.TreeFolderCount, before.TreeFolderCount - 2);
    EXPECT_EQ(after.SubfolderCount, before.SubfolderCount - 1);
    EXPECT_EQ(after.TreeWasted, before.TreeWasted - removed.TreeWasted);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(engine::TreeWastedAt(after, i),
                  engine::TreeWastedAt(before, i) - engine::TreeWastedAt(removed, i));
    EXPECT_NE(window.Navigator().CurrentNode(), gone);
}

TEST_F(MainFormTest, SubfolderSortIsCheckedOnLoad) {
    RegWriteInteger(AppRegistryKey, "Options", "FoldersDisplaySort", -3);
    RegWriteInteger(AppRegistryKey, "Options", "FoldersDisplayType", 7);
    {
        Start();
        EXPECT_EQ(Control<TSubfoldersPage>("pageSubfolders")->SortCode(), -3);
        EXPECT_EQ(Control<TSubfoldersPage>("pageSubfolders")
                      ->findChild<QComboBox*>("cbFoldersDisplayType")
                      ->currentIndex(),
                  2);
        form.reset();
    }
    RegWriteInteger(AppRegistryKey, "Options", "FoldersDisplaySort", 9);
    Start();
    EXPECT_EQ(Control<TSubfoldersPage>("pageSubfolders")->SortCode(), 1);
}

TEST_F(MainFormTest, CommandLineOpensDrivesAndFolders) {
    TempDrive drive;
    drive.folder("sub/inner");
    struct Case {
        QStringList arguments;
        int drives;
        QString current;
    };
    const Case cases[] = {
        {{"T:\\"}, 1, "T:\\"},
        {{"t:"}, 1, "T:\\"},
        {{"T:\\sub"}, 1, "T:\\sub"},
        {{drive.host("sub")}, 1, "T:\\sub"},  // a host path
        // Neither a program path nor an absolute host path: nothing opens.
        {{"foo"}, 0, ""},
        {{"sub"}, 0, ""},
        {{"--help"}, 0, ""},
        // A first argument beginning with /r is never a folder, and an unknown report does
        // nothing at all.
        {{"/rX", "T:\\sub", "report.txt"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        TMainForm& window = Start(c.arguments);
        EXPECT_EQ(window.Tree().TopLevelCount(), c.drives) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(window.Navigator().CurrentPath(), c.current)
            << c.arguments.join(' ').toStdString();
        if (!c.current.isEmpty()) {
            EXPECT_EQ(window.windowTitle(), "Quillon Pro - " + c.current);
        }
        form.reset();
    }
}

// Writes the add-ons file of a temporary program folder; the window is pointed at it.
TMainFormSetup UseAddons(const TempTree& folder, const QByteArray& text,
                         const QStringList& arguments = {}) {
    testing_support::WriteFile(folder.host("ADDONS.INI"), text);
    return {.Arguments = arguments, .AddonsFolder = folder.host()};
}

TEST_F(MainFormTest, AddonToolsFillTheToolsMenu) {
    TempTree folder;
    TMainForm& window = Start(UseAddons(
        folder, "\"Clean Up\",\"Cleans up, quickly\",/bin/true\r\nOther,hint,/bin/false\r\n"));
    EXPECT_EQ(window.AddonCommands(), (QStringList{"/bin/true", "/bin/false"}));
    QStringList captions;
    for (QAction* item : Menu("mnuTools")->actions()) captions << item->text();
    EXPECT_EQ(captions.mid(2), (QStringList{"Clean Up", "Other"}));
    EXPECT_TRUE(Action("LT1")->isVisible());
}

TEST_F(MainFormTest, AnAddonLineWithTooFewFieldsEndsTheProgram) {
    TempTree folder;
    TMainForm window(UseAddons(folder, "Editor,hint,/bin/true\r\nBroken,line\r\n"));
    EXPECT_TRUE(window.CreationFailed());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Fatal error"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Fatal error: Quillon Pro must close"));
}

// A folder's path is its name, not a pattern: "*star?" is not the file "f-*star?" beside it.
TEST_F(MainFormTest, AFolderNamedWithWildcardCharactersIsNotTakenForItsNeighbour) {
    TempDrive drive;
    drive.file("f-*star?", 10);
    drive.file("*star?/inside.bin", 4000);
    TMainForm& window = Start({"T:\\"});
    ASSERT_TRUE(window.OpenFolderPath("T:\\*star?"));
    QApplication::processEvents();
    const engine::TFolderNode* node = window.SelectedNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(engine::NodePath(node), QStringLiteral("T:\\*star?"));
    ASSERT_NE(node->Record(), nullptr);
    EXPECT_EQ(node->Record()->TreeSize, 4000);
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\*star?"));
}

TEST_F(MainFormTest, DroppingThreeFoldersOpensTheFirst) {
    TempDrive drive;
    for (const char* name : {"one", "two", "three"}) drive.folder(name);
    TMainForm& window = Start({"T:\\"});
    window.WMDropFiles({drive.host("two"), drive.host("one"), drive.host("three")});
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\two"));
}

TEST_F(MainFormTest, ClosingSavesPlacementAndEveryOptionAndTheNextStartRestoresThem) {
    {
        TMainForm& window = Start();
        window.setGeometry(40, 50, 700, 500);
        optShowFileNames->Value = false;
        form.reset();
    }
    QFile file(config::SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("[HKEY_CURRENT_USER\\Software\\Norvane\\Quillon Pro\\Desktop]"));
    for (const char* value :
         {"\"Left\"", "\"Top\"", "\"Width\"=\"700\"", "\"Height\"=\"500\"", "\"WindowState\"",
          "\"IncludeWastedInformation\"=\"1\"", "\"ShowFileNames\"=\"0\"", "\"ZIPDeleteArchive\"",
          "\"ViewToolbar\"", "\"ShowSurvey\"", "\"FoldersDisplaySort\""})
        EXPECT_TRUE(text.contains(value)) << value;

    TMainForm& window = Start();
    EXPECT_EQ(window.geometry().size(), QSize(700, 500));
    EXPECT_FALSE(Action("toolShowFiles")->isChecked());
}

// --- the scanning state: nothing scans or changes the tree while a walk runs ---

TEST_F(MainFormTest, NothingScansOrChangesTheTreeWhileAScanRuns) {
    TempTree t, u, v;
    for (const char* folder : {"a/1", "a/2", "a/3", "a/4"}) t.file(QString(folder) + "/f", 10);
    u.folder("kept");
    v.folder("never");
    DriveMapScope drives("T=" + t.host() + ";U=" + u.host() + ";V=" + v.host());
    TMainForm& window = Start({"U:\\kept"});

    ScanWatch watch(window.ScanHost());
    QStringList enabledDuringScan;
    bool dragAccepted = true;
    bool dropAccepted = true;
    watch.onFolder = [&](int folders) {
        if (folders != 2) return;
        for (QAction* command :
             {Action("cmdFileScanDrives"), Action("cmdFileSelectFolder"), Action("toolScan"),
              Action("toolRescanDir"), Menu("cmdFileRescan")->menuAction(),
              Menu("cmdFileRemove")->menuAction()})
            if (command->isEnabled()) enabledDuringScan << command->text();
        // Every way in that would scan or remove is refused by the one gate.
        EXPECT_FALSE(window.OpenFolderPath("V:\\never"));
        window.WMDropFiles({v.host("never")});
        window.RescanDrives("U");
        window.RemoveDrive('U');
        window.cmdFileRemoveAllDrivesClick();
        window.RescanFolder(window.SelectedNode());
        window.toolScanClick();
        dragAccepted = SendDrag(window, {v.host("never")}, false);
        dropAccepted = SendDrag(window, {v.host("never")}, true);
        QCoreApplication::processEvents();
    };
    window.ScanOrRescanDrive(TMainForm::DriveTextOf('T'));

    EXPECT_EQ(watch.scans, 1);
    EXPECT_TRUE(enabledDuringScan.isEmpty()) << enabledDuringScan.join(", ").toStdString();
    EXPECT_FALSE(dragAccepted);
    EXPECT_FALSE(dropAccepted);
    EXPECT_EQ(window.ScannedLetters(), QStringLiteral("UT"));
    ASSERT_EQ(window.Tree().TopLevelCount(), 2);
    const TFolderNode* top = window.Tree().TopLevel(1);
    ASSERT_NE(top->Record(), nullptr);
    EXPECT_EQ(top->Record()->TreeFileCount, 4);
    EXPECT_EQ(top->Record()->TreeFolderCount, 5);
    EXPECT_FALSE(window.Navigator().Scanning());
    EXPECT_TRUE(Action("cmdFileSelectFolder")->isEnabled());
    EXPECT_TRUE(SendDrag(window, {v.host("never")}, false));
}

TEST_F(MainFormTest, ClosingWhileScanningStopsTheScanAndClosesOnceItHasUnwound) {
    TempDrive drive;
    for (int i = 0; i < 20; ++i) drive.file(QStringLiteral("f%1/x").arg(i), 10);
    TMainForm& window = Start();
    ScanWatch watch(window.ScanHost());
    bool visibleAfterClose = false;
    watch.onFolder = [&](int folders) {
        if (folders != 3) return;
        window.close();
        visibleAfterClose = window.isVisible();
    };
    window.ScanOrRescanDrive(TMainForm::DriveTextOf('T'));
    EXPECT_TRUE(visibleAfterClose);                           // the window waited for the walk
    EXPECT_EQ(window.Tree().TopLevel(0)->Record(), nullptr);  // which stopped
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
    form.reset();
    EXPECT_TRUE(QFile::exists(config::SettingsFilePath()));
}

TEST_F(MainFormTest, AnUnreachableDriveEndsInAMessageFromEveryWayIn) {
    // A drive whose root became a file: the access check fails with an error of its own kind.
    TempTree t, u, v;
    t.folder("root/sub");
    u.folder("other");
    v.file("root", 1);
    DriveMapScope drives("T=" + t.host("root") + ";U=" + u.host() + ";V=" + v.host("root"));
    TMainForm& window = Start({"T:\\sub", "U:\\other"});
    ASSERT_TRUE(QDir(t.host("root")).removeRecursively());
    QFile(t.host("root")).open(QIODevice::WriteOnly);

    const struct {
        const char* way;
        std::function<void()> act;
    } ways[] = {
        {"menu command", [&] { Action("cmdFileRescanAllDrives")->trigger(); }},
        {"click in the tree",
         [&] {
             Control<QTreeView>("FolderTree")
                 ->setCurrentIndex(Control<QTreeView>("FolderTree")->model()->index(0, 0));
         }},
        {"drop on a drive not yet scanned",
         [&] {
             SendDrag(window, {v.host("root")}, true);
             QCoreApplication::processEvents();
         }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        boxes.clear();
        w.act();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, QCoreApplication::applicationName());
        EXPECT_EQ(boxes[0].icon, desktop::MessageIcon::Error);
        EXPECT_TRUE(boxes[0].text.contains("Not a directory")) << boxes[0].text.toStdString();
        EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("U:\\other"));
        EXPECT_EQ(window.ScannedLetters(), QStringLiteral("TU"));
    }
}

TEST_F(MainFormTest, DroppedFoldersOpenAfterTheDropInTheDropsOrder) {
    TempDrive drive;
    for (const char* name : {"one", "two", "three"}) drive.folder(name);
    TMainForm& window = Start({"T:\\one"});
    EXPECT_TRUE(SendDrag(window, {drive.host("two"), drive.host("one")}, true));
    EXPECT_EQ(window.Navigator().CurrentPath(),
              QStringLiteral("T:\\one"));  // the drop has not waited
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\two"));
}

TEST_F(MainFormTest, CancelInTheRetryBoxOfARescanKeepsTheDrive) {
    TempTree t;
    t.file("root/sub/f", 10);
    DriveMapScope drives("T=" + t.host("root"));
    TMainForm& window = Start({"T:\\sub"});
    const TFolderNode* top = window.Tree().TopLevel(0);
    ASSERT_TRUE(QDir().rename(t.host("root"), t.host("away")));  // unplugged

    boxes.clear();
    window.cmdFileRescanCurrentDriveClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("T: is not accessible."));
    ASSERT_EQ(window.Tree().TopLevelCount(), 1);
    EXPECT_EQ(window.Tree().TopLevel(0), top);
    EXPECT_EQ(engine::ScannedDrives().Find('T')->Node, top);
    EXPECT_EQ(window.ScannedLetters(), QStringLiteral("T"));
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\sub"));
    EXPECT_EQ(window.SelectedNode(), window.Navigator().CurrentNode());
    EXPECT_EQ(top->Record()->TreeFileCount, 1);

    ASSERT_TRUE(QDir().rename(t.host("away"), t.host("root")));  // back
    window.cmdFileRescanCurrentDriveClick();
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\sub"));
    EXPECT_EQ(window.Tree().TopLevel(0)->Record()->TreeFileCount, 1);
}

TEST_F(MainFormTest, AddonToolsGetTheFolderAsTheHostNamesIt) {
    TempDrive drive;
    drive.folder("my folder");
    const QString tool = drive.file("tools/run.sh", 0);
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString document = drive.file("tools/notes.txt", 0);
    TempTree folder;
    const TMainFormSetup setup =
        UseAddons(folder,
                  "Run,\"Run it|Runs the tool on the folder\",T:\\tools\\run.sh\r\n"
                  "Notes,Notes," +
                      document.toUtf8() + "\r\n",
                  {"T:\\my folder"});
    std::vector<desktop::ShellLaunch> launches;
    desktop::SetShellLauncher([&](const desktop::ShellLaunch& l) {
        launches.push_back(l);
        return desktop::ShellOutcome{};
    });
    Start(setup);
    const QList<QAction*> items = Menu("mnuTools")->actions().mid(2);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->toolTip(), QStringLiteral("Run it"));
    EXPECT_EQ(items[0]->statusTip(), QStringLiteral("Runs the tool on the folder"));
    for (QAction* item : items) item->trigger();
    desktop::SetShellLauncher({});

    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].kind, desktop::ShellLaunch::Kind::StartProgram);
    EXPECT_EQ(launches[0].target, tool);
    EXPECT_EQ(launches[0].arguments, QStringList{drive.host("my folder")});
    EXPECT_EQ(launches[0].workingFolder, drive.host("tools"));
    EXPECT_EQ(launches[1].kind, desktop::ShellLaunch::Kind::OpenUrl);  // a document opens
    EXPECT_EQ(launches[1].target, QUrl::fromLocalFile(document).toString());
}

TEST_F(MainFormTest, FoldersOfADriveThatIgnoresCaseOpenUnderTheirShownNames) {
    TempDrive drive('T', "vfat");
    drive.file("DATA/one.bin", 300);
    drive.file("DATA/two.bin", 200);
    drive.folder("My Files");
    TMainForm& window = Start({"T:\\"});
    optShowFileNames->Value = true;
    ASSERT_TRUE(window.OpenFolderPath("T:\\DATA"));
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\Data"));
    QStringList names;
    for (const TSectionInfo& item : Control<TPieChartPage>("pagePieChart")->SectionInfos())
        names << item.Name;
    EXPECT_TRUE(names.contains("one.bin")) << names.join(", ").toStdString();
    EXPECT_TRUE(names.contains("two.bin")) << names.join(", ").toStdString();
    window.RescanFolder(window.SelectedNode());
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\Data"));
    EXPECT_EQ(window.Navigator().CurrentNode()->Record()->TreeSize, 500);
    EXPECT_TRUE(window.OpenFolderPath("T:\\My Files"));
    EXPECT_EQ(window.Navigator().CurrentPath(), QStringLiteral("T:\\My Files"));
}

TEST_F(MainFormTest, StartUpLeavesOnlyWhatAScanNeedsEnabled) {
    Start();
    EXPECT_FALSE(Action("LT1")->isVisible());  // no add-on tools: no separator below Find
    EXPECT_FALSE(Action("cmdFileAbort")->isEnabled());
    EXPECT_FALSE(Action("toolStop")->isEnabled());
    Action("cmdFileAbort")->trigger();  // an idle stop is no stop
    EXPECT_FALSE(engine::StopRequested);
    EXPECT_EQ(HelpContextOf(Menu("mnuFile")), 4000);
    EXPECT_EQ(HelpContextOf(Menu("mnuView")), 4010);
    EXPECT_EQ(HelpContextOf(Menu("mnuTools")), 4020);
    EXPECT_EQ(HelpContextOf(Menu("mnuHelp")), 4030);
}

TEST_F(MainFormTest, TheIntroductoryLetterIsMarkedShownBeforeItShows) {
    RegWriteString(AppRegistryKey, "Version", "ShowIntroLetter", "1");
    QString valueWhileShown;
    desktop::SetDialogRunner([&](QDialog& d) {
        if (d.windowTitle() != QLatin1String("Scan Drives"))
            valueWhileShown = RegReadString(AppRegistryKey, "Version", "ShowIntroLetter", "?");
        return int(QDialog::Rejected);
    });
    Start();
    EXPECT_EQ(valueWhileShown, QStringLiteral("0"));
}

// --- the program without a display ---

TEST(Program, WithoutADisplayOnlyHelpVersionAndReportsRun) {
    TempTree home;
    const struct {
        QStringList arguments;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {{"--help"}, 0, "Usage: quillon", ""},     {{"T:\\", "-h"}, 0, "/RINF", ""},
        {{"--version"}, 0, "Quillon Pro 2.0", ""}, {{"foo"}, 2, "", "quillon /RINF"},
        {{}, 2, "", "there is no display"},        {{home.host()}, 2, "", "there is no display"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess program;
        program.setProcessEnvironment(
            HeadlessProgramEnvironment(home.host("config"), "T=" + home.host()));
        program.start(QStringLiteral(QUILLON_EXECUTABLE), c.arguments);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.status);
        EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(c.out));
        EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardError()).contains(c.err));
    }
    EXPECT_FALSE(QFileInfo::exists(home.host("config")));  // nothing ran far enough to save
}

TEST_F(MainFormTest, AWindowClosedMaximisedKeepsItsLastNormalPlacement) {
    Start().setGeometry(40, 50, 700, 500);
    form.reset();
    {
        TMainForm& window = Start();
        ASSERT_EQ(window.geometry().size(), QSize(700, 500));
        window.showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.geometry().size() != QSize(700, 500); }));
        form.reset();
    }
    QFile file(config::SettingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("\"Width\"=\"700\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("\"WindowState\"=\"2\"")) << text.toStdString();

    TMainForm& window = Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMaximized(); }));
    window.showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.geometry().size() == QSize(700, 500); }));
}
