// Our own context menu and properties dialog of an item, driven as a person would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include "controls/Helpers.h"
#include "controls/ItemProp.h"
#include "desktop/MessageBox.h"
#include "desktop/Shell.h"
#include "platform/HostNames.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/TempTree.h"

using testing_support::TempDrive;

namespace {

// Chooses an entry of the context menu (by its text without '&'); a dialog that follows is read
// and closed. Keeps the entries' enabled states and the dialog's labels.
class MenuChoice {
public:
    explicit MenuChoice(QString entry) : entry_(std::move(entry)) {
        SetPopupDriver([this](QWidget& popup) {
            if (auto* menu = qobject_cast<QMenu*>(&popup)) {
                QAction* chosen = nullptr;
                for (QAction* a : menu->actions()) {
                    const QString text = a->text().remove(u'&');
                    if (!a->isSeparator()) enabled.insert(text, a->isEnabled());
                    if (text == entry_) chosen = a;
                }
                if (chosen && chosen->isEnabled()) chosen->trigger();
                menu->close();
            }
        });
        desktop::SetDialogRunner([this](QDialog& dialog) {
            QTimer::singleShot(0, &dialog, [this, &dialog] {
                // The sizes are counted once the dialog is up.
                EXPECT_TRUE(QTest::qWaitFor([&dialog] {
                    for (const QLabel* label : dialog.findChildren<QLabel*>())
                        if (label->text() == QLatin1String("Calculating...")) return false;
                    return true;
                }));
                for (QLabel* label : dialog.findChildren<QLabel*>())
                    if (!label->objectName().isEmpty())
                        labels.insert(label->objectName(), label->text());
                title = dialog.windowTitle();
                dialog.reject();
            });
            return dialog.exec();
        });
        desktop::SetMessageAnswerer([this](const desktop::MessageRequest& r) {
            asked << r.text;
            return desktop::Yes;
        });
    }
    ~MenuChoice() {
        SetPopupDriver({});
        desktop::SetDialogRunner({});
        desktop::SetMessageAnswerer({});
    }

    QMap<QString, bool> enabled;
    QMap<QString, QString> labels;
    QString title;
    QStringList asked;

private:
    QString entry_;
};

}  // namespace

TEST(ItemContextMenu, DeleteRemovesTheFolder) {
    TempDrive drive;
    drive.file("old/inner/a.bin", 10);
    MenuChoice choice("Delete");
    EXPECT_TRUE(ShowItemContextMenu(drive.path("old"), nullptr, {10, 10}));
    EXPECT_EQ(choice.asked, QStringList{"Are you sure you want to permanently delete \"old\"?"});
    EXPECT_FALSE(QFileInfo::exists(drive.host("old")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(ItemContextMenu, AWildcardActsOnAllMatchesAtOnce) {
    TempDrive drive;
    drive.file("d/one.tmp", 1);
    drive.file("d/two.tmp", 1);
    drive.file("d/keep.txt", 1);
    MenuChoice choice("Delete");
    EXPECT_TRUE(ShowItemContextMenu(drive.path("d/*.tmp"), nullptr, {}));
    EXPECT_EQ(choice.asked,
              QStringList{"Are you sure you want to permanently delete these 2 items?"});
    EXPECT_EQ(QDir(drive.host("d")).entryList(QDir::Files), QStringList{"keep.txt"});
}

TEST(ItemContextMenu, ADriveRootCannotBeDeletedOrTrashed) {
    TempDrive drive;
    drive.file("a.txt", 1);
    MenuChoice choice("Delete");
    EXPECT_TRUE(ShowItemContextMenu(drive.root(), nullptr, {}));
    EXPECT_FALSE(choice.enabled.value("Delete", true));
    EXPECT_FALSE(choice.enabled.value("Move to Trash", true));
    EXPECT_TRUE(choice.enabled.value("Properties", false));
    EXPECT_TRUE(choice.asked.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(drive.host("a.txt")));
}

TEST(ItemContextMenu, NothingAtThePathShowsNoMenu) {
    TempDrive drive;
    MenuChoice choice("Delete");
    EXPECT_FALSE(ShowItemContextMenu(drive.path("missing"), nullptr, {}));
    EXPECT_FALSE(ShowItemContextMenu(drive.path("*.none"), nullptr, {}));
    EXPECT_TRUE(choice.enabled.isEmpty());
}

TEST(ItemProperties, TheDialogAddsUpWhatTheItemsHold) {
    TempDrive drive;
    drive.file("f/a.bin", 1000);
    drive.file("f/sub/b.bin", 24);
    drive.file("f/c.bin", 0);
    MenuChoice choice("Properties");
    EXPECT_TRUE(ShowItemContextMenu(drive.path("f"), nullptr, {}));
    EXPECT_EQ(choice.title, "f Properties");
    EXPECT_EQ(choice.labels.value("Name"), "f");
    EXPECT_EQ(choice.labels.value("Type"), "Folder");
    EXPECT_EQ(choice.labels.value("Location"), drive.host());
    EXPECT_EQ(choice.labels.value("Size"), "1.0 KB (1,024 bytes)");
    EXPECT_EQ(choice.labels.value("Contents"), "3 files, 1 folder");
    EXPECT_EQ(choice.labels.value("Attributes"), "Directory");

    MenuChoice many("");
    EXPECT_TRUE(ShowItemProperties(drive.path("f/*.bin"), nullptr));
    EXPECT_EQ(many.labels.value("Name"), "2 items");
    EXPECT_FALSE(ShowItemProperties(drive.path("nothing"), nullptr));
}

// Another program can use only the path this computer gives the item, byte for byte: not the
// drive letter path, and not a name whose undecodable bytes were replaced.
TEST(ItemContextMenu, WhatGoesToOtherProgramsIsTheHostPath) {
    TempDrive drive;
    const QString name = platform::DecodeHostName(QByteArray("caf\xe9 *?.txt"));
    const QString file = drive.file("d/" + name, 5);
    const QByteArray url = "file://" + QFile::encodeName(drive.host("d")).toPercentEncoding("/") +
                           "/caf%E9%20%2A%3F.txt";
    {
        MenuChoice choice("Copy Location");
        EXPECT_TRUE(ShowItemContextMenu(drive.path("d\\" + name), nullptr, {}));
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(copied, nullptr);
        EXPECT_EQ(copied->text(), file);
        ASSERT_EQ(copied->urls().size(), 1);
        EXPECT_EQ(copied->urls()[0].toEncoded(), url);
    }
    {
        std::vector<desktop::ShellLaunch> launches;
        desktop::SetShellLauncher([&](const desktop::ShellLaunch& launch) {
            launches.push_back(launch);
            return desktop::ShellOutcome{};
        });
        MenuChoice choice("Open Containing Folder");
        EXPECT_TRUE(ShowItemContextMenu(drive.path("d\\" + name), nullptr, {}));
        desktop::SetShellLauncher({});
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].target, url.left(url.lastIndexOf('/')));
    }
    {
        MenuChoice choice("Properties");
        EXPECT_TRUE(ShowItemContextMenu(drive.path("d\\" + name), nullptr, {}));
        EXPECT_EQ(choice.labels.value("Location"), drive.host("d"));
        EXPECT_EQ(choice.labels.value("Name"), name);
    }
}
