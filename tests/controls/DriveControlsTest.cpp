// The drive lists, the drive selection dialog, the glyph drive and folder lists and the folder
// browser, over drives made of temporary folders.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "controls/FilCtl95.h"
#include "controls/FormSelectDrives.h"
#include "controls/Helpers.h"
#include "controls/OrbDriveControls.h"
#include "controls/ShBrowse.h"
#include "desktop/MessageBox.h"
#include "platform/Drives.h"
#include "platform/Volume.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::DriveMapScope;
using testing_support::TempTree;

namespace {

// Drives made of temporary folders: "A#vfat,removable" and so on, one tree each.
class Drives {
public:
    explicit Drives(std::initializer_list<const char*> entries) {
        QStringList map;
        for (const char* entry : entries) {
            trees_.push_back(std::make_unique<TempTree>());
            const QString text = QString::fromLatin1(entry);
            map << text.left(1) + u'=' + trees_.back()->host() + text.mid(1);
        }
        scope_ = std::make_unique<DriveMapScope>(map.join(u';'));
    }
    const TempTree& tree(size_t i) const { return *trees_[i]; }

private:
    std::vector<std::unique_ptr<TempTree>> trees_;
    std::unique_ptr<DriveMapScope> scope_;
};

QString EntryText(char letter) {
    return QString(QChar(letter)) + platform::DriveDisplayNameOf(QString(QChar(letter)) + ":\\");
}

// Drives each modal dialog while in scope: the driver runs once the dialog is up.
class Driving {
public:
    explicit Driving(std::function<void(QDialog&)> driver) {
        desktop::SetDialogRunner([driver](QDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog, driver] { driver(dialog); });
            return dialog.exec();
        });
    }
    ~Driving() { desktop::SetDialogRunner({}); }
};

}  // namespace

TEST(OrbDriveControls, BothListEveryDriveInLetterOrder) {
    Drives drives{"A#vfat,removable", "C", "D#iso9660"};
    TOrbDriveComboBox combo;
    TOrbDriveCheckListBox list;
    ASSERT_EQ(combo.count(), 3);
    ASSERT_EQ(list.count(), 3);
    const char letters[] = {'A', 'C', 'D'};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(combo.itemText(i), EntryText(letters[i]));
        EXPECT_EQ(list.item(i)->text(), EntryText(letters[i]));
        EXPECT_FALSE(combo.itemIcon(i).isNull());
    }
    EXPECT_EQ(combo.SmallIconHeight(), 16);
    EXPECT_EQ(combo.ItemHeight(), std::max(combo.fontMetrics().height(), 16));
    QFont big = combo.font();
    big.setPixelSize(30);
    combo.setFont(big);
    EXPECT_EQ(combo.ItemHeight(), QFontMetrics(big).height());
    EXPECT_EQ(combo.count(), 3);
}

TEST(OrbDriveControls, DriveWriteFiresTheChangeUnlessTheLetterIsCurrent) {
    Drives drives{"A#vfat,removable", "C", "D"};
    TOrbDriveComboBox combo;
    int changes = 0;
    QObject::connect(&combo, &TOrbDriveComboBox::OnChange, [&] { ++changes; });
    EXPECT_TRUE(combo.Drive().isNull());

    combo.setDrive('c');
    EXPECT_EQ(combo.Drive(), u'C');
    EXPECT_EQ(changes, 1);
    combo.setDrive('C');
    combo.setDrive('c');
    EXPECT_EQ(changes, 1);
    combo.setDrive('q');  // not listed: the selection stays, the event fires all the same
    EXPECT_EQ(combo.Drive(), u'C');
    EXPECT_EQ(changes, 2);
    combo.setDrive('d');
    EXPECT_EQ(combo.currentIndex(), 2);
    EXPECT_EQ(changes, 3);
}

TEST(OrbDriveControls, CheckedDrivesInListOrder) {
    Drives drives{"A", "C", "D", "E"};
    TOrbDriveCheckListBox list;
    EXPECT_EQ(list.CheckedDrives(), "");
    list.setChecked(3, true);
    list.setChecked(1, true);
    EXPECT_EQ(list.CheckedDrives(), "CE");
    list.setChecked(3, false);
    EXPECT_EQ(list.CheckedDrives(), "C");
}

TEST(OrbDriveControls, AnEntryDrawsItsIconTwoPixelsInAndTheNameAfterIt) {
    QImage image(120, 24, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::blue);
    {
        QPainter painter(&image);
        // Rows 3 to 20: the icon's top is (3 + 21 - 16) / 2 = 4.
        DrawDriveEntry(painter, QRect(0, 3, 120, 18), QIcon(red), "Xname&", false, palette,
                       {16, 16});
    }
    EXPECT_EQ(image.pixelColor(1, 10), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(2, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(17, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(18, 10), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 3), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 4), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(5, 19), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(5, 20), QColor(Qt::white));
    bool textDrawn = false;
    for (int x = 22; x < 120; ++x)
        for (int y = 3; y < 21; ++y) textDrawn |= image.pixelColor(x, y) != QColor(Qt::white);
    EXPECT_TRUE(textDrawn);
}

class SelectDrives : public ::testing::Test {
protected:
    Drives drives{"C", "D#tmpfs", "E#iso9660"};
};

TEST_F(SelectDrives, TheDialogCarriesItsTexts) {
    TDrivesSelectBox box(nullptr, "D:\\bin\\quillon");
    EXPECT_EQ(box.windowTitle(), "Scan Drives");
    QStringList labels;
    for (QLabel* label : box.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains(
        "Quillon Pro will show you detailed information about how your disk space is being used, "
        "but first it has to collect information about your folders and files. This process is "
        "called scanning."));
    EXPECT_TRUE(labels.contains(
        "Note: NO changes will take place on your drives during the scan process."));
    ASSERT_EQ(box.findChildren<QGroupBox*>().size(), 1);
    EXPECT_EQ(box.findChildren<QGroupBox*>()[0]->title(), " Select one or more drives to scan ");
    const std::pair<QPushButton*, QString> buttons[] = {
        {box.cmdScan(), "&Scan"},
        {box.cmdCancel(), "Cancel"},
        {box.cmdSelectAll(), "Select &all"},
        {box.cmdFixedDrives(), "&Fixed drives"},
        {box.cmdDeselectAll(), "&Deselect all"},
    };
    for (const auto& [button, text] : buttons) EXPECT_EQ(button->text(), text);
    EXPECT_TRUE(box.cmdScan()->isDefault());
    EXPECT_EQ(box.cmdSelectAll()->property("tag").toInt(), 0);
    EXPECT_EQ(box.cmdDeselectAll()->property("tag").toInt(), 1);
    EXPECT_EQ(box.TheDrivesBox()->ItemHeight(), 16);
    EXPECT_EQ(box.TheDrivesBox()->visualItemRect(box.TheDrivesBox()->item(1)).height(), 16);
}

TEST_F(SelectDrives, TheProgramsDriveStartsCheckedAndHighlighted) {
    TDrivesSelectBox box(nullptr, "d:\\bin\\quillon");
    EXPECT_FALSE(box.ScanChosen());
    EXPECT_EQ(box.TheDrivesBox()->CheckedDrives(), "D");
    EXPECT_EQ(box.TheDrivesBox()->currentRow(), 1);

    for (const QString& program : {QStringLiteral("\\\\server\\share\\quillon.exe"), QString(),
                                   TDrivesSelectBox::ProgramPath()}) {
        TDrivesSelectBox elsewhere(nullptr, program);
        EXPECT_EQ(elsewhere.TheDrivesBox()->CheckedDrives(), "") << program.toStdString();
    }
}

TEST_F(SelectDrives, TheButtonsCheckAndUncheck) {
    TDrivesSelectBox box(nullptr, "D:\\quillon");
    box.cmdFixedDrives()->click();
    EXPECT_EQ(box.TheDrivesBox()->CheckedDrives(), "CD");  // D keeps its mark
    box.cmdDeselectAll()->click();
    EXPECT_EQ(box.TheDrivesBox()->CheckedDrives(), "");
    box.cmdFixedDrives()->click();
    EXPECT_EQ(box.TheDrivesBox()->CheckedDrives(), "C");
    box.cmdSelectAll()->click();
    box.cmdFixedDrives()->click();
    EXPECT_EQ(box.TheDrivesBox()->CheckedDrives(), "CDE");
}

TEST_F(SelectDrives, ScanAndCancelCloseButScanWithNothingCheckedSaysWhatToDo) {
    QStringList said;
    desktop::SetMessageAnswerer([&](const desktop::MessageRequest& r) {
        said << r.text;
        return desktop::Ok;
    });
    TDrivesSelectBox none(nullptr, "Q:\\q");
    none.show();
    none.cmdScan()->click();
    desktop::SetMessageAnswerer({});
    EXPECT_EQ(said, QStringList{TDrivesSelectBox::kNothingTicked});
    EXPECT_FALSE(none.ScanChosen());
    EXPECT_TRUE(none.isVisible());

    TDrivesSelectBox scan(nullptr, "C:\\q");
    scan.cmdScan()->click();
    EXPECT_TRUE(scan.ScanChosen());
    EXPECT_EQ(scan.result(), QDialog::Accepted);
    TDrivesSelectBox cancel(nullptr, "C:\\q");
    cancel.cmdCancel()->click();
    EXPECT_FALSE(cancel.ScanChosen());
    EXPECT_EQ(cancel.result(), QDialog::Rejected);
}

TEST(FilCtl95, TheDriveListShowsEachTypeItsOwnWay) {
    Drives drives{"A#vfat,removable", "C", "D#nfs", "E#iso9660", "F#tmpfs"};
    TDrive95ComboBox combo;
    platform::VolumeInformation volume;
    auto label = [&](const char* root) {
        platform::GetVolumeInformation(QString::fromLatin1(root), volume);
        return volume.volumeName.toLower();
    };
    const QStringList expected = {
        "a:",
        "c: [" + label("C:\\") + "]",
        "d: " + platform::FindDrive('D')->device,
        "e: [" + label("E:\\") + "]",
        "f: [" + label("F:\\") + "]",
    };
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i) {
        texts << combo.itemText(i);
        EXPECT_FALSE(combo.itemIcon(i).isNull()) << i;
    }
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(combo.ItemHeight(), std::max(combo.fontMetrics().height(), 16));
    combo.setTextCase(tcUpperCase);
    EXPECT_EQ(combo.itemText(0), "A:");
    for (const char* name : {"FLOPPY_95", "FIXED_95", "NETWORK_95", "CDROM_95", "RAM_95",
                             "OPENFOLDER_95", "CLOSEDFOLDER_95", "CURRENTFOLDER_95"})
        EXPECT_EQ(Glyph95(name).size(), QSize(16, 16)) << name;
}

TEST(FilCtl95, TheFolderListShowsThePathThenTheSubfolders) {
    Drives drives{"C", "E"};
    drives.tree(0).folder("x/Zeta");
    drives.tree(0).folder("x/alpha");
    drives.tree(0).folder("x/.hidden");
    drives.tree(0).file("x/file.txt", 1);
    TDirectory95ListBox list;
    int changes = 0;
    QObject::connect(&list, &TDirectory95ListBox::OnChange, [&] { ++changes; });
    ASSERT_TRUE(list.setDirectory("c:\\x\\"));
    EXPECT_EQ(list.Directory(), "C:\\x");
    struct Row {
        QString text, glyph;
        int level;
    };
    const Row rows[] = {{"C:\\", "OPENFOLDER_95", 0},
                        {"x", "CURRENTFOLDER_95", 1},
                        {"alpha", "CLOSEDFOLDER_95", 2},
                        {"Zeta", "CLOSEDFOLDER_95", 2}};
    ASSERT_EQ(list.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.item(i)->text(), rows[i].text);
        EXPECT_EQ(list.item(i)->data(TDirectory95ListBox::GlyphRole).toString(), rows[i].glyph);
        EXPECT_EQ(list.item(i)->data(TDirectory95ListBox::LevelRole).toInt(), rows[i].level);
    }
    EXPECT_EQ(list.currentRow(), 1);

    emit list.itemActivated(list.item(3));
    EXPECT_EQ(list.Directory(), "C:\\x\\Zeta");
    EXPECT_EQ(changes, 1);
    emit list.itemActivated(list.item(0));
    EXPECT_EQ(list.Directory(), "C:\\");
    EXPECT_EQ(list.item(0)->data(TDirectory95ListBox::GlyphRole).toString(), "CURRENTFOLDER_95");
    EXPECT_FALSE(list.setDirectory("C:\\x\\file.txt"));
    EXPECT_EQ(list.Directory(), "C:\\");

    TDrive95ComboBox combo;
    combo.setDirList(&list);
    list.setDirectory("C:\\x");
    combo.setDrive('e');
    EXPECT_EQ(list.Directory(), "E:\\");
    combo.setDrive('c');
    EXPECT_EQ(list.Directory(), "C:\\x");  // the folder last shown on that drive
    EXPECT_EQ(list.setDrive('q'), platform::ChangeDirectoryResult::OtherError);
}

TEST(FolderBrowse, ARootCannotBeChosenUnlessAllowed) {
    testing_support::TempDrive drive;
    drive.folder("a");
    TFolderBrowse browse;
    browse.Folder = drive.root();
    browse.Title = "Pick one";
    bool okEnabled = true, stillOpen = false;
    {
        Driving driving([&](QDialog& dialog) {
            // The dialog reads its folders in the background: wait for it, not for a fixed time.
            QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            (void)QTest::qWaitFor([&] { return !ok->isEnabled(); }, 5000);
            okEnabled = ok->isEnabled();
            dialog.accept();
            stillOpen = dialog.isVisible();
            dialog.reject();
        });
        EXPECT_FALSE(browse.Execute());
    }
    EXPECT_FALSE(okEnabled);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(browse.Folder, drive.root());

    browse.AllowRoot = true;
    browse.Folder = drive.path("a");
    {
        Driving driving([](QDialog& dialog) { dialog.accept(); });
        EXPECT_TRUE(browse.Execute());
    }
    EXPECT_EQ(browse.Folder, drive.path("a"));
    // Offscreen with no one driving, nothing is shown and nothing chosen.
    EXPECT_FALSE(browse.Execute());
}
